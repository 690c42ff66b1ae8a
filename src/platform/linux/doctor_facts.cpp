#include "platform/linux/doctor_facts.h"

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <system_error>

#include "platform/linux/sysfs_files.h"
#include "platform/linux/usb_port.h"

namespace emberline::platform::linux_uvc {

namespace {

namespace fs = std::filesystem;

constexpr const char* kRuleName = "70-emberline.rules";
constexpr const char* kRuleFolders[] = {"etc/udev/rules.d", "usr/lib/udev/rules.d", "lib/udev/rules.d"};
constexpr std::size_t kDescriptorsLimit = 1 << 20;

std::string hex(std::string_view bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string text;
  text.reserve(bytes.size() * 2);
  for (unsigned char b : bytes) {
    text.push_back(kDigits[b >> 4]);
    text.push_back(kDigits[b & 0x0F]);
  }
  return text;
}

bool isDriverUvc(const fs::path& node_dir) {
  std::error_code ec;
  const auto interface_dir = fs::canonical(node_dir / "device", ec);
  if (ec) return false;
  const auto driver = fs::read_symlink(interface_dir / "driver", ec);
  return !ec && driver.filename() == "uvcvideo";
}

unsigned readUnsigned(const fs::path& path) {
  const auto text = readAttribute(path);
  unsigned value = 0;
  if (text) std::from_chars(text->data(), text->data() + text->size(), value);
  return value;
}

// A path under `root` as it reads on the machine itself ("/etc/...").
std::string onMachine(const fs::path& root, const fs::path& path) {
  std::error_code ec;
  const auto relative = fs::relative(path, root, ec);
  return ec ? path.string() : "/" + relative.string();
}

void fillAccess(diagnosis::VideoNode& node, const LinuxIdentity& identity) {
  struct stat info {};
  if (::stat(node.path.c_str(), &info) != 0) {
    node.present = false;
    node.access_error = -errno;
    return;
  }
  node.access_error = identity.access ? identity.access(node.path) : 0;
  node.in_group = std::find(identity.groups.begin(), identity.groups.end(), info.st_gid) != identity.groups.end();
  if (const auto entry = identity.group ? identity.group(info.st_gid) : std::nullopt) {
    node.group = entry->name;
    node.group_after_login =
        !node.in_group && std::find(entry->members.begin(), entry->members.end(), identity.user) != entry->members.end();
  }
}

std::optional<std::string> readLink(const fs::path& link) {
  std::error_code ec;
  const auto target = fs::read_symlink(link, ec);
  if (ec) return std::nullopt;
  return target.string();
}

}  // namespace

LinuxIdentity LinuxIdentity::current() {
  LinuxIdentity identity;
  if (const passwd* user = ::getpwuid(::geteuid())) identity.user = user->pw_name;
  else identity.user = std::to_string(::geteuid());
  const int count = ::getgroups(0, nullptr);
  std::vector<gid_t> groups(count > 0 ? static_cast<std::size_t>(count) : 0);
  if (count > 0 && ::getgroups(count, groups.data()) == count) identity.groups.assign(groups.begin(), groups.end());
  identity.groups.push_back(::getegid());
  const char* seat = std::getenv("XDG_SEAT");
  identity.at_seat = seat != nullptr && *seat != '\0';
  identity.remote = std::getenv("SSH_CONNECTION") != nullptr;
  identity.group = [](unsigned gid) -> std::optional<GroupEntry> {
    const ::group* entry = ::getgrgid(static_cast<gid_t>(gid));
    if (entry == nullptr) return std::nullopt;
    GroupEntry out{entry->gr_name, {}};
    for (char** member = entry->gr_mem; member != nullptr && *member != nullptr; ++member)
      out.members.emplace_back(*member);
    return out;
  };
  identity.access = [](const fs::path& path) { return ::access(path.c_str(), R_OK | W_OK) == 0 ? 0 : -errno; };
  return identity;
}

diagnosis::LinuxSystemFacts gatherSystemFacts(const LinuxRoots& roots, const LinuxIdentity& identity) {
  diagnosis::LinuxSystemFacts facts;
  facts.user = identity.user;
  facts.at_seat = identity.at_seat;
  facts.remote = identity.remote;

  std::error_code ec;
  const auto driver_dir = roots.sysfs / "bus/usb/drivers/uvcvideo";
  facts.driver_loaded = fs::exists(driver_dir, ec) || fs::exists(roots.sysfs / "module/uvcvideo", ec);
  for (fs::directory_iterator it(driver_dir, ec), end; !ec && it != end; it.increment(ec))
    if (it->path().filename().string().find(':') != std::string::npos) ++facts.bound_interfaces;

  const auto class_dir = roots.sysfs / "class/video4linux";
  std::vector<std::string> names;
  for (fs::directory_iterator it(class_dir, ec), end; !ec && it != end; it.increment(ec)) {
    const auto name = it->path().filename().string();
    if (name.rfind("video", 0) == 0 && isDriverUvc(it->path())) names.push_back(name);
  }
  std::sort(names.begin(), names.end(), naturalLess);
  for (const auto& name : names) {
    diagnosis::VideoNode node;
    node.path = (roots.dev / name).string();
    node.name = readAttribute(class_dir / name / "name").value_or("");
    node.index = readUnsigned(class_dir / name / "index");
    fillAccess(node, identity);
    facts.nodes.push_back(std::move(node));
  }

  for (const char* folder : kRuleFolders) {
    const auto rule = roots.fs / folder / kRuleName;
    if (fs::exists(rule, ec)) facts.rule_files.push_back(onMachine(roots.fs, rule));
  }
  return facts;
}

diagnosis::CameraFacts gatherCameraFacts(const LinuxRoots& roots, const std::string& node, long own_pid) {
  diagnosis::CameraFacts facts;
  facts.device_path = node;
  facts.unit_source = diagnosis::UnitSource::UsbDescriptors;

  // Who has the node open: every /proc/PID/fd link this user may read.
  std::error_code ec;
  const auto wanted = fs::weakly_canonical(node, ec);
  const std::string target = ec ? node : wanted.string();
  fs::directory_iterator processes(roots.proc, ec);
  facts.holders_known = !ec;
  for (fs::directory_iterator end; !ec && processes != end; processes.increment(ec)) {
    const auto name = processes->path().filename().string();
    long pid = 0;
    const auto [stop, error] = std::from_chars(name.data(), name.data() + name.size(), pid);
    if (error != std::errc{} || stop != name.data() + name.size() || pid == own_pid) continue;
    std::error_code fd_error;
    for (fs::directory_iterator fd(processes->path() / "fd", fd_error), fd_end; !fd_error && fd != fd_end;
         fd.increment(fd_error)) {
      const auto link = readLink(fd->path());
      if (!link || (*link != target && *link != node)) continue;
      facts.holders.push_back({pid, readAttribute(processes->path() / "comm").value_or("")});
      break;
    }
  }
  std::sort(facts.holders.begin(), facts.holders.end(),
            [](const auto& a, const auto& b) { return a.pid < b.pid; });

  facts.usb_port = usbPortPath(roots.sysfs, node);
  if (!facts.usb_port.empty()) {
    const auto device_dir = roots.sysfs / fs::path(facts.usb_port).relative_path();
    if (const auto speed = readAttribute(device_dir / "speed")) {
      double value = 0;
      const auto [stop, error] = std::from_chars(speed->data(), speed->data() + speed->size(), value);
      if (error == std::errc{} && stop == speed->data() + speed->size() && value > 0) facts.usb_speed_mbps = value;
    }
    std::string raw;
    if (readWholeFile(device_dir / "descriptors", raw, kDescriptorsLimit) == 0) facts.usb_descriptors = hex(raw);
  }
  return facts;
}

std::string describeSystem() {
  utsname name{};
  if (::uname(&name) != 0) return "Linux";
  return std::string(name.sysname) + " " + name.release + " " + name.machine;
}

}  // namespace emberline::platform::linux_uvc
