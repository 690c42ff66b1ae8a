#pragma once

// Runs the built `emberline` binary as a user would, capturing what it writes
// and how it ends.

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace emberline::test {

struct ProcessResult {
  int exit_code = -1;  // 128 + the signal that killed it, as a shell says; -1 when it could not run
  std::string out;
  std::string err;
};

struct ProcessOptions {
  std::filesystem::path cwd{};                              // empty: the test's own
  std::vector<std::pair<std::string, std::string>> env{};   // set on top of the test's environment
  // Sends `signal` once `signal_after` has appeared on stderr, then
  // `second_signal` (if any) a moment later.
  int signal = 0;
  std::string signal_after{};
  int second_signal = 0;
  // Signals the program is started with ignored, as nohup starts it.
  std::vector<int> ignored_signals{};
  // Killed after this long (0: never), so that a program that hangs fails
  // its test instead of stalling the suite.
  int timeout_s = 0;
  // Standard output into this file (e.g. /dev/full) instead of the pipe.
  std::filesystem::path stdout_file{};
  // The reading end of stdout closed at once, as `| head -0` would.
  bool close_stdout = false;
  // Run as this user (when the test runs as root).
  int uid = -1;
};

ProcessResult runProcess(const std::string& program, const std::vector<std::string>& args,
                         const ProcessOptions& options = {});

}  // namespace emberline::test
