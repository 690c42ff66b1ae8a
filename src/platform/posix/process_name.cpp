// From /proc: the program's path behind /proc/PID/exe where this user may
// read it, else the short name in /proc/PID/comm (readable for every process).

#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

#include "platform/process_name.h"

namespace emberline::platform {

std::string processName(long pid) {
  if (pid <= 0) return {};
  const std::filesystem::path proc = "/proc/" + std::to_string(pid);
  std::error_code ec;
  const auto exe = std::filesystem::read_symlink(proc / "exe", ec);
  if (!ec && !exe.filename().empty()) return exe.filename().string();
  std::ifstream comm(proc / "comm");
  std::string name;
  std::getline(comm, name);
  return name;
}

}  // namespace emberline::platform
