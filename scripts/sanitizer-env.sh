# Sourced by the scripts that run sanitized programs: what the sanitizers do on a finding.
# Child processes (the program run by the end-to-end tests) inherit these.
sanitizer_root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
# Allocation stacks are unwound the slow way: libstdc++ has no frame pointers, and a leak
# suppression can only match frames below it when they were recorded.
export ASAN_OPTIONS="detect_leaks=1:fast_unwind_on_malloc=0:strict_init_order=1:detect_stack_use_after_return=1:check_initialization_order=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
symbolizer=/usr/lib/llvm-14/bin/llvm-symbolizer
if [ -x "$symbolizer" ]; then
  export ASAN_SYMBOLIZER_PATH="$symbolizer" UBSAN_SYMBOLIZER_PATH="$symbolizer"
fi
# Leaks inside system libraries only, each entry explained in the file.
export LSAN_OPTIONS="suppressions=$sanitizer_root/tests/sanitizer/lsan.supp:print_suppressions=0"
