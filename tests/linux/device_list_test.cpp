#include "platform/linux/linux_device_list.h"

#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "fake_uvc_node.h"
#include "hex_fixture.h"
#include "platform/linux/unique_fd.h"
#include "platform/linux/uvc_capture_device.h"
#include "platform/linux/uvc_errors.h"

namespace emberline::platform::linux_uvc {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;
using testing::FakeNodeOpener;
using testing::loadHexFixture;

constexpr std::uint32_t kCapMetaCapture = 0x00800000;

void writeFile(const fs::path& path, const std::string& text) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << text;
}

// A sysfs and /dev tree shaped like the kernel's: USB devices and their
// interfaces under devices/, video nodes below the interface uvcvideo bound,
// class/video4linux links to the nodes, driver links to bus/usb/drivers/.
class SysfsTree {
 public:
  SysfsTree() : root_(fs::path(::testing::TempDir()) / ("emberline-sysfs-" + std::to_string(::getpid()))) {
    fs::remove_all(root_);
    fs::create_directories(dev());
  }
  ~SysfsTree() { fs::remove_all(root_); }

  fs::path sys() const { return root_ / "sys"; }
  fs::path dev() const { return root_ / "dev"; }

  fs::path addUsbDevice(const std::string& port, const Bytes& descriptors, const std::string& product,
                        const std::string& configuration = "1") {
    const auto dir = sys() / "devices/pci0000:00/0000:00:14.0/usb1" / port;
    writeFile(dir / "descriptors", std::string(descriptors.begin(), descriptors.end()));
    writeFile(dir / "product", product + "\n");
    writeFile(dir / "bConfigurationValue", configuration + "\n");
    return dir;
  }

  // Node `node` on interface `number` of `usb_dir`, bound to `driver`.
  void addNode(const fs::path& usb_dir, int number, const std::string& driver, const std::string& node,
               unsigned index, const std::optional<std::string>& name) {
    const auto interface_name = usb_dir.filename().string() + ":1." + std::to_string(number);
    const auto interface_dir = usb_dir / interface_name;
    char hex[8];
    std::snprintf(hex, sizeof hex, "%02x\n", number);
    writeFile(interface_dir / "bInterfaceNumber", hex);
    const auto driver_dir = sys() / "bus/usb/drivers" / driver;
    fs::create_directories(driver_dir);
    if (!fs::exists(interface_dir / "driver")) fs::create_directory_symlink(driver_dir, interface_dir / "driver");

    const auto node_dir = interface_dir / "video4linux" / node;
    writeFile(node_dir / "index", std::to_string(index) + "\n");
    if (name) writeFile(node_dir / "name", *name + "\n");
    fs::create_directory_symlink("../../../" + interface_name, node_dir / "device");
    fs::create_directories(sys() / "class/video4linux");
    fs::create_directory_symlink(node_dir, sys() / "class/video4linux" / node);
    writeFile(dev() / node, "");
  }

 private:
  fs::path root_;
};

class DeviceList : public ::testing::Test {
 protected:
  DeviceList() : opener(std::make_shared<FakeNodeOpener>()), list(tree.sys(), tree.dev(), opener) {}

  std::shared_ptr<testing::FakeCamera> node(const std::string& name, std::uint32_t caps = kCapVideoCapture,
                                             const std::string& driver = "uvcvideo") {
    auto camera = opener->add(tree.dev() / name);
    camera->caps.device_caps = caps;
    camera->caps.driver = driver;
    return camera;
  }
  std::string devPath(const std::string& name) const { return (tree.dev() / name).string(); }

  std::shared_ptr<UvcCaptureDevice> openNode(const std::string& name, int* error = nullptr) {
    device::DeviceEntry entry;
    entry.id = devPath(name);
    entry.path = entry.id;
    return std::dynamic_pointer_cast<UvcCaptureDevice>(list.open(entry, error));
  }

  SysfsTree tree;
  std::shared_ptr<FakeNodeOpener> opener;
  LinuxDeviceList list;
};

TEST_F(DeviceList, ListsCaptureNodesOfUvcvideoByUsbPortThenNodeIndex) {
  // Port 1-10 sorts after 1-2; on 1-10 node index 0 (video10) comes before
  // index 2 (video3) whatever their numbers.
  const auto family = tree.addUsbDevice("1-10", loadHexFixture("camera_several_extension_units.hex"), "Family Cam");
  tree.addNode(family, 0, "uvcvideo", "video10", 0, "Family Cam: Front");
  tree.addNode(family, 0, "uvcvideo", "video11", 1, "Family Cam: Front");
  tree.addNode(family, 0, "uvcvideo", "video3", 2, std::nullopt);
  node("video10");
  node("video11", kCapMetaCapture);
  node("video3");

  const auto webcam = tree.addUsbDevice("1-2", loadHexFixture("webcam_without_vendor_unit.hex"), "Plain Webcam");
  tree.addNode(webcam, 0, "uvcvideo", "video0", 0, "Plain Webcam");
  tree.addNode(webcam, 0, "uvcvideo", "video1", 1, "Plain Webcam");
  node("video0");
  node("video1", kCapMetaCapture);

  const auto tuner = tree.addUsbDevice("2-1", {}, "TV Tuner");
  tree.addNode(tuner, 0, "em28xx", "video5", 0, "Tuner");
  node("video5", kCapVideoCapture, "em28xx");
  fs::create_directories(tree.sys() / "class/video4linux/v4l-subdev0");

  std::vector<device::DeviceEntry> entries;
  ASSERT_EQ(list.enumerate(entries), 0);
  std::vector<std::string> ids;
  std::vector<std::string> names;
  for (const auto& entry : entries) {
    ids.push_back(entry.id);
    names.push_back(entry.display_name.value_or("<none>"));
    EXPECT_EQ(entry.path, entry.id);
  }
  EXPECT_EQ(ids, (std::vector<std::string>{devPath("video0"), devPath("video10"), devPath("video3")}));
  // video3 has no sysfs name: the USB product string stands in.
  EXPECT_EQ(names, (std::vector<std::string>{"Plain Webcam", "Family Cam: Front", "Family Cam"}));
}

TEST_F(DeviceList, NoVideoClassOrAnEmptyOneIsAnEmptyListNotAnError) {
  std::vector<device::DeviceEntry> entries(1);
  EXPECT_EQ(list.enumerate(entries), 0);
  EXPECT_TRUE(entries.empty());
  fs::create_directories(tree.sys() / "class/video4linux");
  EXPECT_EQ(list.enumerate(entries), 0);
  EXPECT_TRUE(entries.empty());
}

TEST_F(DeviceList, ANodeThatCannotBeOpenedStaysListedAndOpenSaysWhy) {
  const auto usb = tree.addUsbDevice("1-1", loadHexFixture("composite_with_audio.hex"), "Cam");
  tree.addNode(usb, 0, "uvcvideo", "video0", 0, "Cam");
  node("video0")->open_error = -EACCES;

  std::vector<device::DeviceEntry> entries;
  ASSERT_EQ(list.enumerate(entries), 0);
  ASSERT_EQ(entries.size(), 1u);
  int error = 0;
  EXPECT_EQ(list.open(entries[0], &error), nullptr);
  EXPECT_EQ(error, -EACCES);
}

TEST_F(DeviceList, OpenRefusesNodesThatAreNotUvcCaptureNodes) {
  node("video1", kCapMetaCapture);
  node("video5", kCapVideoCapture, "em28xx");
  node("video7")->caps_error = -ENOTTY;
  for (const char* name : {"video1", "video5", "video7"}) {
    int error = 0;
    EXPECT_EQ(openNode(name, &error), nullptr) << name;
    EXPECT_EQ(error, -ENOTTY) << name;
  }
  int error = 0;
  EXPECT_EQ(openNode("video9", &error), nullptr);
  EXPECT_EQ(error, -ENOENT);
}

TEST_F(DeviceList, OneNodeHandlePerOpenedDeviceReleasedWithIt) {
  const auto camera = node("video0");
  auto device = openNode("video0");
  ASSERT_NE(device, nullptr);
  EXPECT_EQ(camera->open_nodes, 1);
  device.reset();
  EXPECT_EQ(camera->open_nodes, 0);
}

struct LookupCase {
  const char* fixture;
  const char* configuration;
  std::optional<std::uint32_t> unit;
  const char* problem;  // part of lookupProblem(), "" when found
};

void PrintTo(const LookupCase& c, std::ostream* os) { *os << c.fixture << " " << c.problem; }

class UnitLookup : public DeviceList, public ::testing::WithParamInterface<LookupCase> {};

TEST_P(UnitLookup, ReadsTheVendorUnitOfTheActiveConfigurationFromSysfs) {
  const auto& c = GetParam();
  Bytes descriptors = loadHexFixture(c.fixture);
  if (std::string(c.problem) == "malformed") descriptors.resize(descriptors.size() - 3);
  const auto usb = tree.addUsbDevice("3-4", descriptors, "Cam", c.configuration);
  tree.addNode(usb, 0, "uvcvideo", "video2", 0, "Cam");
  if (std::string(c.problem) == "unreadable") fs::remove(usb / "descriptors");
  node("video2");

  const auto device = openNode("video2");
  ASSERT_NE(device, nullptr);
  EXPECT_EQ(device->findExtensionUnitNode(device::kExtensionUnitPropertySet), c.unit);
  const auto problem = device->lookupProblem();
  if (c.unit) {
    EXPECT_EQ(problem, "");
  } else {
    EXPECT_NE(problem.find(c.problem), std::string::npos) << problem;
    EXPECT_NE(problem.find(devPath("video2")), std::string::npos) << problem;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Sysfs, UnitLookup,
    ::testing::Values(LookupCase{"camera_several_extension_units.hex", "1", 6, ""},
                      LookupCase{"composite_with_audio.hex", "1", 3, ""},
                      LookupCase{"two_configurations.hex", "2", 7, ""},
                      LookupCase{"two_configurations.hex", "", 3, ""},  // unconfigured: any
                      LookupCase{"webcam_without_vendor_unit.hex", "1", std::nullopt, "no extension unit"},
                      LookupCase{"camera_several_extension_units.hex", "1", std::nullopt, "malformed"},
                      LookupCase{"camera_several_extension_units.hex", "1", std::nullopt, "unreadable"}));

// ---- the real kernel boundary, on files that are not video nodes ------------

TEST(RealNodes, AFileThatIsNotAVideoNodeIsRefusedAndAMissingOneReported) {
  LinuxDeviceList list("/nonexistent-sysfs", "/dev");
  device::DeviceEntry entry;
  entry.id = "/dev/null";
  int error = 0;
  EXPECT_EQ(list.open(entry, &error), nullptr);
  EXPECT_EQ(error, -ENOTTY);
  entry.id = "/nonexistent-dev/video0";
  EXPECT_EQ(list.open(entry, &error), nullptr);
  EXPECT_EQ(error, -ENOENT);
}

TEST(RealNodes, UniqueFdClosesItsDescriptorOnceAndOnlyItsOwn) {
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  {
    UniqueFd read_end(fds[0]);
    UniqueFd moved = std::move(read_end);
    EXPECT_FALSE(read_end.isValid());
    UniqueFd write_end(fds[1]);
    EXPECT_EQ(::close(write_end.release()), 0);
    EXPECT_EQ(::fcntl(fds[0], F_GETFD), 0);
  }
  EXPECT_EQ(::fcntl(fds[0], F_GETFD), -1);
  EXPECT_EQ(errno, EBADF);
}

// ---- what a person reads ----------------------------------------------------

TEST(Messages, EveryErrorNamesTheDeviceAndPermissionSaysHowToGetAccess) {
  for (const int error : {-EACCES, -EPERM, -ENOENT, -ENODEV, -ENXIO, -ENOTTY, kErrNoSuchControl,
                          kErrWrongState, kErrBadAnswer, kErrPayloadTooLong, -ENOBUFS, -EBADRQC, -EBUSY,
                          -EREMOTE, -ERANGE, -EINVAL, -EIO, -EPIPE, -ETIMEDOUT, -EPROTO, -ENOTSUP, -ENOSPC}) {
    const auto text = describeError(error, "/dev/video4");
    EXPECT_NE(text.find("/dev/video4"), std::string::npos) << error << ": " << text;
    EXPECT_EQ(describeError(-error, "/dev/video4"), text) << "positive errno gives the same text";
  }
  const auto access = describeError(-EACCES, "/dev/video4");
  EXPECT_NE(access.find("'video' group"), std::string::npos);
  EXPECT_NE(access.find("emberline udev-rule"), std::string::npos);
  EXPECT_NE(describeError(-ENODEV, "/dev/video4").find("unplugged"), std::string::npos);
  EXPECT_NE(describeError(-ENOSPC, "/dev/video4").find("No space left"), std::string::npos);
}

TEST(Messages, TheBuiltInUdevRuleIsTheShippedFile) {
  std::ifstream in(EMBERLINE_UDEV_RULE_FILE);
  const std::string shipped((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(udevRuleText(), shipped);
  EXPECT_NE(shipped.find("SUBSYSTEM==\"video4linux\""), std::string::npos);
  EXPECT_NE(shipped.find("TAG+=\"uaccess\""), std::string::npos);
}

}  // namespace
}  // namespace emberline::platform::linux_uvc
