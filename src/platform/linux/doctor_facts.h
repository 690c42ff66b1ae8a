#pragma once

// What doctor learns from a Linux machine: uvcvideo in sysfs, the video
// nodes in /dev and whether this user may open them (and why not), the udev
// rule files, who else holds a node (from /proc), and where a camera is
// plugged in. Every root is a parameter, and what the running process is
// (user, groups, access) comes through LinuxIdentity, so tests stage a
// machine in a folder.

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/diagnosis/facts.h"

namespace emberline::platform::linux_uvc {

struct LinuxRoots {
  std::filesystem::path sysfs = "/sys";
  std::filesystem::path dev = "/dev";
  std::filesystem::path proc = "/proc";
  std::filesystem::path fs = "/";  // where /etc and /usr/lib are
};

struct GroupEntry {
  std::string name;
  std::vector<std::string> members;  // listed in the group database, not by primary group
};

// The running process as the facts need it.
struct LinuxIdentity {
  std::string user;
  std::vector<unsigned> groups;  // this process's groups, the primary one included
  bool at_seat = false;          // a login at a seat (XDG_SEAT)
  bool remote = false;           // over ssh (SSH_CONNECTION)
  std::function<std::optional<GroupEntry>(unsigned gid)> group;
  // 0 when this process may open `path` read-write, else a negative errno.
  std::function<int(const std::filesystem::path& path)> access;

  static LinuxIdentity current();
};

diagnosis::LinuxSystemFacts gatherSystemFacts(const LinuxRoots& roots, const LinuxIdentity& identity);

// `node` is the camera's node as the device list names it (under roots.dev);
// `own_pid` is left out of the holders.
diagnosis::CameraFacts gatherCameraFacts(const LinuxRoots& roots, const std::string& node, long own_pid);

// "Linux 6.1.0-18-amd64 x86_64"
std::string describeSystem();

}  // namespace emberline::platform::linux_uvc
