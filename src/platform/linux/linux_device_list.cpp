#include "platform/linux/linux_device_list.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <climits>

#include "platform/linux/sysfs_files.h"
#include "platform/linux/uvc_capture_device.h"
#include "platform/linux/uvc_ioctl.h"

namespace emberline::platform::linux_uvc {

namespace {

namespace fs = std::filesystem;

int queryCapabilities(UvcIoctl& node, NodeCapabilities& caps) {
  int result;
  do {
    result = node.queryCapabilities(caps);
  } while (result == -EINTR);
  return result;
}

// Whether a node is a uvcvideo video-capture node. When the node cannot be
// opened (no permission, say) it cannot be told apart and stays listed: open()
// then says what is wrong with it.
bool mayBeUvcCaptureNode(UvcNodeOpener& opener, const fs::path& node) {
  std::unique_ptr<UvcIoctl> ioctl;
  if (opener.open(node, ioctl) != 0) return true;
  NodeCapabilities caps;
  const int result = queryCapabilities(*ioctl, caps);
  if (result == -ENOTTY) return false;  // not a V4L2 node at all
  return result != 0 || caps.isUvcVideoCapture();
}

unsigned readIndex(const fs::path& path) {
  const auto text = readAttribute(path);
  unsigned value = UINT_MAX;
  if (text) std::from_chars(text->data(), text->data() + text->size(), value);
  return value;
}

// The sysfs directory of the node at `node`: found by its device number when
// it is a character device, else by its name (resolving /dev/v4l/... links).
fs::path sysfsNodeOf(const fs::path& sysfs_root, const fs::path& node) {
  struct stat info {};
  if (::stat(node.c_str(), &info) == 0 && S_ISCHR(info.st_mode)) {
    const auto by_number =
        sysfs_root / "dev" / "char" /
        (std::to_string(major(info.st_rdev)) + ":" + std::to_string(minor(info.st_rdev)));
    std::error_code error;
    if (fs::exists(by_number, error)) return by_number;
  }
  std::error_code error;
  auto resolved = fs::weakly_canonical(node, error);
  if (error) resolved = node;
  auto by_name = sysfs_root / "class" / "video4linux" / resolved.filename();
  if (fs::exists(by_name, error)) return by_name;
  return {};
}

struct ListedNode {
  std::string usb_device;  // sysfs path of the USB device: where it is plugged in
  unsigned index = 0;      // node index within the device
  std::string name;        // videoN
  device::DeviceEntry entry;
};

bool listOrder(const ListedNode& a, const ListedNode& b) {
  if (a.usb_device != b.usb_device) return naturalLess(a.usb_device, b.usb_device);
  if (a.index != b.index) return a.index < b.index;
  return naturalLess(a.name, b.name);
}

}  // namespace

LinuxDeviceList::LinuxDeviceList(fs::path sysfs_root, fs::path dev_root)
    : LinuxDeviceList(std::move(sysfs_root), std::move(dev_root), systemNodeOpener()) {}

LinuxDeviceList::LinuxDeviceList(fs::path sysfs_root, fs::path dev_root,
                                 std::shared_ptr<UvcNodeOpener> opener)
    : sysfs_root_(std::move(sysfs_root)),
      dev_root_(std::move(dev_root)),
      opener_(std::move(opener)) {}

LinuxDeviceList::~LinuxDeviceList() = default;

int LinuxDeviceList::enumerate(std::vector<device::DeviceEntry>& out) {
  out.clear();
  const auto class_dir = sysfs_root_ / "class" / "video4linux";
  std::error_code error;
  fs::directory_iterator it(class_dir, error);
  if (error) {
    // No video4linux class at all: the driver core has no video device.
    if (error == std::errc::no_such_file_or_directory || error == std::errc::not_a_directory)
      return 0;
    return -error.value();
  }

  std::vector<ListedNode> nodes;
  for (; it != fs::directory_iterator(); it.increment(error)) {
    if (error) return -error.value();
    const auto name = it->path().filename().string();
    if (name.rfind("video", 0) != 0) continue;  // radio, vbi, v4l-subdev ...

    const auto node_dir = class_dir / name;
    std::error_code link_error;
    const auto interface_dir = fs::canonical(node_dir / "device", link_error);
    if (link_error) continue;
    const auto driver = fs::read_symlink(interface_dir / "driver", link_error);
    if (link_error || driver.filename() != "uvcvideo") continue;
    const auto dev_path = dev_root_ / name;
    if (!mayBeUvcCaptureNode(*opener_, dev_path)) continue;

    const auto usb_dir = interface_dir.parent_path();
    ListedNode node;
    node.usb_device = usb_dir.string();
    node.index = readIndex(node_dir / "index");
    node.name = name;
    node.entry.id = dev_path.string();
    node.entry.path = dev_path.string();
    node.entry.display_name = readAttribute(node_dir / "name");
    if (!node.entry.display_name) node.entry.display_name = readAttribute(usb_dir / "product");
    nodes.push_back(std::move(node));
  }
  if (error) return -error.value();

  std::sort(nodes.begin(), nodes.end(), listOrder);
  for (auto& node : nodes) out.push_back(std::move(node.entry));
  return 0;
}

std::shared_ptr<device::CaptureDevice> LinuxDeviceList::open(const device::DeviceEntry& entry,
                                                             int* error) {
  const fs::path node = entry.path ? *entry.path : entry.id;
  std::unique_ptr<UvcIoctl> ioctl;
  int result = opener_->open(node, ioctl);
  if (result == 0) {
    NodeCapabilities caps;
    result = queryCapabilities(*ioctl, caps);
    // Only a uvcvideo capture node answers extension-unit requests.
    if (result == 0 && !caps.isUvcVideoCapture()) result = -ENOTTY;
  }
  if (result != 0) {
    if (error) *error = result;
    return nullptr;
  }
  return std::make_shared<UvcCaptureDevice>(std::move(ioctl), node.string(),
                                            sysfsNodeOf(sysfs_root_, node));
}

}  // namespace emberline::platform::linux_uvc
