# What the dialog checks on an X server share: sourced by tests/gui/*_gui_test.sh after they
# have set `bin` (the program's folder) and `work` (their scratch folder).
failures=0

fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

count() { grep -c "$2" "$1" 2>/dev/null || true; }

# Waits until LOG holds at least N lines matching PATTERN, for at most SECONDS.
wait_for() {
  local log=$1 pattern=$2 n=$3 seconds=$4
  local tries=$((seconds * 10))
  for _ in $(seq "$tries"); do
    [ "$(count "$log" "$pattern")" -ge "$n" ] && return 0
    sleep 0.1
  done
  return 1
}

# Starts the dialog (the program's render with --dialog and ARGS, its standard error in LOG);
# sets pid, wid, X and Y (the client area's corner).
start_dialog() {
  local log=$1
  shift
  "$bin/orichalcumite" render "$@" --dialog >"$log.out" 2>"$log" &
  pid=$!
  wid=""
  for _ in $(seq 100); do
    wid=$(xdotool search --onlyvisible --name '^Orichalcumite$' 2>/dev/null | head -1)
    [ -n "$wid" ] && break
    sleep 0.2
  done
  if [ -z "$wid" ]; then
    fail "no dialog window appeared"
    cat "$log" >&2
    kill "$pid" 2>/dev/null
    return 1
  fi
  eval "$(xwininfo -id "$wid" | awk '/Absolute upper-left X/{print "X="$4} /Absolute upper-left Y/{print "Y="$4}')"
  wait_for "$log" "first preview shown" 1 20 || fail "no first preview"
  # Let the window settle under the pointer before input arrives.
  sleep 0.5
}

# Ends the dialog's process; sets status to its exit code.
finish() {
  local waited=0
  while kill -0 "$pid" 2>/dev/null && [ $waited -lt 300 ]; do
    sleep 0.1
    waited=$((waited + 1))
  done
  if kill -0 "$pid" 2>/dev/null; then
    fail "the program did not end"
    kill -9 "$pid"
  fi
  wait "$pid"
  status=$?
}

# A click at client coordinates (X, Y) with BUTTON (default 1).
click() { xdotool mousemove $((X + $1)) $((Y + $2)) click "${3:-1}"; }
