// SPDX-License-Identifier: MIT
#pragma once

#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

namespace quillstash::test {

struct ProcessResult {
  int exitCode = -1;      // -1 when the process did not end by itself
  bool timedOut = false;  // killed after the time budget
  std::string out;        // standard output
  std::string err;        // standard error
};

// False where runProcess cannot interrupt a process as a user's Ctrl-C
// would (Windows: a console control event needs a console shared with the
// child, which a test runner does not give).
bool canInterruptProcesses();

// True when the tests run under wine rather than on Windows itself. Wine
// reports a peer's reset as an orderly close (it takes the socket's pending
// error before the program's receive sees it), so tests of resets skip there.
bool runningUnderWine();

// `arguments` with the options of QUILLSTASH_TEST_CLI_OPTIONS (separated by
// blanks) before them when `program` is the command-line program, so that a
// whole suite can run again with other defaults, such as one connection.
// runProcess passes its arguments through this.
inline std::vector<std::string> withTestOptions(const std::string& program, const std::vector<std::string>& arguments) {
  const char* options = std::getenv("QUILLSTASH_TEST_CLI_OPTIONS");
  const std::size_t slash = program.find_last_of("/\\");
  const std::string name = program.substr(slash == std::string::npos ? 0 : slash + 1);
  if (options == nullptr || (name != "quillstash-cli" && name != "quillstash-cli.exe")) return arguments;
  std::vector<std::string> all;
  std::string option;
  for (const char* p = options;; ++p) {
    if (*p == ' ' || *p == '\0') {
      if (!option.empty()) all.push_back(std::move(option));
      option.clear();
      if (*p == '\0') break;
    } else {
      option += *p;
    }
  }
  all.insert(all.end(), arguments.begin(), arguments.end());
  return all;
}

// Runs `program` with `arguments`, collecting its output, and kills it when it
// is still running after `budget`. `interruptAfter` (when above zero) sends it
// SIGINT once that time has passed, where canInterruptProcesses().
ProcessResult runProcess(const std::string& program, const std::vector<std::string>& arguments,
                         std::chrono::milliseconds budget = std::chrono::seconds(60),
                         std::chrono::milliseconds interruptAfter = std::chrono::milliseconds(0));

}  // namespace quillstash::test
