// Runs a program as a child process for end-to-end tests, its output captured in files.
#pragma once

#include <sys/types.h>

#include <string>
#include <utility>
#include <vector>

namespace orichalcumite::testing {

using Environment = std::vector<std::pair<std::string, std::string>>;

struct ProgramRun {
  int exitCode = -1;  // the exit status, or 128 + the signal that ended it
  std::string out;
  std::string err;
};

// Starts `argv` with `environment` added to ours, stdout and stderr going to the files
// `outPath` and `errPath`. Returns the process id, or -1.
pid_t startProgram(const std::vector<std::string>& argv, const Environment& environment,
                   const std::string& outPath, const std::string& errPath);
// Waits for a started program; its exit code as in ProgramRun.
int waitForProgram(pid_t pid);
// Starts, waits and reads back what it printed; `scratch` is a folder for the output files.
ProgramRun runProgram(const std::vector<std::string>& argv, const Environment& environment,
                      const std::string& scratch);

}  // namespace orichalcumite::testing
