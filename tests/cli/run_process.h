#pragma once

// Runs the built `emberline` binary as a user would, capturing what it writes
// and how it ends.

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace emberline::test {

struct ProcessResult {
  int exit_code = -1;  // -1 when the process did not exit normally
  std::string out;
  std::string err;
};

struct ProcessOptions {
  std::filesystem::path cwd;                                // empty: the test's own
  std::vector<std::pair<std::string, std::string>> env;     // set on top of the test's environment
};

ProcessResult runProcess(const std::string& program, const std::vector<std::string>& args,
                         const ProcessOptions& options = {});

}  // namespace emberline::test
