#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>

#include "fake_uvc_node.h"
#include "hex_fixture.h"
#include "platform/linux/linux_device_list.h"
#include "platform/linux/uvc_capture_device.h"
#include "platform/linux/uvc_errors.h"

namespace emberline::platform::linux_uvc {
namespace {

namespace fs = std::filesystem;
using testing::loadHexFixture;
constexpr std::uint32_t kCapMetaCapture = 0x00800000;

void writeFile(const fs::path& path, const std::string& text) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << text;
}

// A sysfs and /dev tree shaped like the kernel's: USB devices and their
// interfaces under devices/, each video node below the interface its driver
// bound, class/video4linux links to the nodes, fake video nodes in dev/.
class DeviceList : public ::testing::Test {
 protected:
  DeviceList()
      : root(fs::path(::testing::TempDir()) / ("emberline-sysfs-" + std::to_string(::getpid()))) {
    fs::remove_all(root);
    fs::create_directories(root / "dev");
  }
  ~DeviceList() override { fs::remove_all(root); }

  fs::path addUsbDevice(const std::string& port, const char* fixture,
                        const std::string& configuration = "1") {
    const auto dir = root / "sys/devices/pci0000:00/0000:00:14.0/usb1" / port;
    const auto bytes = loadHexFixture(fixture);
    writeFile(dir / "descriptors", std::string(bytes.begin(), bytes.end()));
    writeFile(dir / "product", "Product " + port + "\n");
    writeFile(dir / "bConfigurationValue", configuration + "\n");
    return dir;
  }
  // Node `node` (index `index`) on interface 0 of `usb`, its driver's caps `caps`.
  std::shared_ptr<testing::FakeCamera> addNode(const fs::path& usb, const std::string& node,
                                               unsigned index,
                                               std::uint32_t caps = kCapVideoCapture,
                                               const std::string& driver = "uvcvideo",
                                               bool named = true) {
    const auto interface_name = usb.filename().string() + ":1.0";
    const auto interface_dir = usb / interface_name;
    writeFile(interface_dir / "bInterfaceNumber", "00\n");
    fs::create_directories(root / "sys/bus/usb/drivers" / driver);
    if (!fs::exists(interface_dir / "driver")) {
      fs::create_directory_symlink(root / "sys/bus/usb/drivers" / driver, interface_dir / "driver");
    }
    const auto node_dir = interface_dir / "video4linux" / node;
    writeFile(node_dir / "index", std::to_string(index) + "\n");
    if (named) writeFile(node_dir / "name", "Name of " + node + "\n");
    fs::create_directory_symlink("../../../" + interface_name, node_dir / "device");
    fs::create_directories(root / "sys/class/video4linux");
    fs::create_directory_symlink(node_dir, root / "sys/class/video4linux" / node);
    writeFile(root / "dev" / node, "");
    auto camera = opener->add(root / "dev" / node);
    camera->caps.device_caps = caps;
    camera->caps.driver = driver;
    return camera;
  }
  std::string dev(const std::string& node) const { return (root / "dev" / node).string(); }
  std::shared_ptr<UvcCaptureDevice> open(const std::string& node, int* error = nullptr) {
    return std::dynamic_pointer_cast<UvcCaptureDevice>(
        list.open({dev(node), std::nullopt, dev(node)}, error));
  }

  fs::path root;
  std::shared_ptr<testing::FakeNodeOpener> opener = std::make_shared<testing::FakeNodeOpener>();
  LinuxDeviceList list{root / "sys", root / "dev", opener};
};

TEST_F(DeviceList, ListsUvcCaptureNodesByUsbPortThenNodeIndex) {
  std::vector<device::DeviceEntry> entries(1);
  ASSERT_EQ(list.enumerate(entries), 0);  // no video4linux class: an empty list
  EXPECT_TRUE(entries.empty());

  // Port 1-10 sorts after 1-2; on 1-10, index 0 (video10) before index 2 (video3).
  const auto family = addUsbDevice("1-10", "camera_several_extension_units.hex");
  addNode(family, "video10", 0);
  addNode(family, "video11", 1, kCapMetaCapture);
  addNode(family, "video3", 2, kCapVideoCapture, "uvcvideo", /*named=*/false);
  const auto webcam = addUsbDevice("1-2", "webcam_without_vendor_unit.hex");
  addNode(webcam, "video0", 0)->open_error = -EACCES;  // cannot tell what it is: stays
  addNode(webcam, "video1", 1, kCapMetaCapture);
  addNode(addUsbDevice("2-1", "webcam_without_vendor_unit.hex"), "video5", 0, kCapVideoCapture,
          "em28xx");
  fs::create_directories(root / "sys/class/video4linux/v4l-subdev0");

  ASSERT_EQ(list.enumerate(entries), 0);
  std::vector<std::string> listed;
  for (const auto& e : entries) listed.push_back(*e.path + " " + e.display_name.value_or("-"));
  EXPECT_EQ(listed, (std::vector<std::string>{dev("video0") + " Name of video0",
                                              dev("video10") + " Name of video10",
                                              dev("video3") + " Product 1-10"}));
  EXPECT_EQ(entries[0].id, *entries[0].path);
}

TEST_F(DeviceList, OpenSaysWhyANodeCannotBeUsedAndHoldsOneHandleWhileInUse) {
  const auto usb = addUsbDevice("1-1", "composite_with_audio.hex");
  addNode(usb, "video0", 0)->open_error = -EACCES;
  addNode(usb, "video1", 1, kCapMetaCapture);
  addNode(usb, "video2", 2, kCapVideoCapture, "em28xx");
  for (const auto& [node, expected] : {std::pair{"video0", -EACCES},
                                       {"video1", -ENOTTY},
                                       {"video2", -ENOTTY},
                                       {"video9", -ENOENT}}) {
    int error = 0;
    EXPECT_EQ(open(node, &error), nullptr) << node;
    EXPECT_EQ(error, expected) << node;
  }
  const auto camera = addNode(usb, "video4", 3);
  auto device = open("video4");
  ASSERT_NE(device, nullptr);
  EXPECT_EQ(camera->open_nodes, 1);
  device.reset();
  EXPECT_EQ(camera->open_nodes, 0);
}

TEST_F(DeviceList, FindsTheVendorUnitOfTheActiveConfigurationThroughSysfs) {
  struct Case {
    const char* fixture;
    const char* configuration;
    std::optional<std::uint32_t> unit;
    const char* problem;  // in unitLookupProblem() when not found
  };
  const std::vector<Case> cases = {
      {"camera_several_extension_units.hex", "1", 6, ""},
      {"composite_with_audio.hex", "1", 3, ""},
      {"two_configurations.hex", "2", 7, ""},
      {"webcam_without_vendor_unit.hex", "1", std::nullopt, "no extension unit"},
      {"camera_several_extension_units.hex", "1", 6, "trimmed"},  // the kernel kept less
      {"composite_with_audio.hex", "1", std::nullopt, "only part"},
      {"camera_several_extension_units.hex", "1", std::nullopt, "malformed"},
      {"camera_several_extension_units.hex", "1", std::nullopt, "unreadable"}};
  int port = 0;
  for (const auto& c : cases) {
    std::string problem = c.problem;
    const std::string node = "video" + std::to_string(port);
    const auto usb = addUsbDevice("3-" + std::to_string(++port), c.fixture, c.configuration);
    const auto descriptors = usb / "descriptors";
    if (problem == "trimmed") {
      fs::resize_file(descriptors, fs::file_size(descriptors) - 3);
      problem.clear();
    }
    if (problem == "only part") fs::resize_file(descriptors, 18 + 9 + 20);  // cut before the unit
    if (problem == "malformed") {
      std::fstream file(descriptors, std::ios::in | std::ios::out | std::ios::binary);
      file.seekp(18 + 9);  // the first interface descriptor's bLength
      file.put(0);
    }
    if (problem == "unreadable") fs::remove(descriptors);
    addNode(usb, node, 0);
    const auto device = open(node);
    ASSERT_NE(device, nullptr);
    EXPECT_EQ(device->findExtensionUnitNode(device::kExtensionUnitPropertySet), c.unit)
        << c.fixture;
    const auto said = device->unitLookupProblem();
    EXPECT_EQ(said.empty(), problem.empty()) << said;
    EXPECT_NE(said.find(problem), std::string::npos) << said;
    if (!problem.empty()) {
      EXPECT_NE(said.find(dev(node)), std::string::npos) << said;
    }
    if (problem == "malformed" || problem == "unreadable" || problem == "only part") {
      EXPECT_NE(said.find("uvcvideo accepts only"), std::string::npos) << said;
    }
  }
}

TEST(RealNodes, AFileThatIsNotAVideoNodeIsRefusedAndAMissingOneReported) {
  LinuxDeviceList list("/nonexistent-sysfs", "/dev");
  int error = 0;
  EXPECT_EQ(list.open({"/dev/null", std::nullopt, std::nullopt}, &error), nullptr);
  EXPECT_EQ(error, -ENOTTY);
  EXPECT_EQ(list.open({"/nonexistent-dev/video0", std::nullopt, std::nullopt}, &error), nullptr);
  EXPECT_EQ(error, -ENOENT);
}

TEST(Messages, NameTheDeviceAndSayHowToGetAccess) {
  for (const int error :
       {-EACCES, -ENOENT, -ENODEV, -ENOTTY, kErrNoSuchControl, kErrWrongState, kErrBadAnswer,
        kErrPayloadTooLong, -EBADRQC, -EBUSY, -EIO, -EPIPE, -ETIMEDOUT, -EPROTO, -ENOSPC}) {
    EXPECT_NE(describeError(error, "/dev/video4").find("/dev/video4"), std::string::npos) << error;
  }
  // A gone device (ENXIO too) and a refusal for the power state say what they are.
  EXPECT_NE(describeError(-ENXIO, "/dev/video4").find("was unplugged or stopped responding"), std::string::npos);
  EXPECT_NE(describeError(-EREMOTE, "/dev/video4").find("refused the request in its power state"),
            std::string::npos);
  const auto access = describeError(EACCES, "/dev/video4");
  EXPECT_NE(access.find("'video' group"), std::string::npos) << access;
  EXPECT_NE(access.find("emberline udev-rule"), std::string::npos) << access;

  std::ifstream in(EMBERLINE_UDEV_RULE_FILE);
  const std::string shipped((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(udevRuleText(), shipped);
  EXPECT_NE(shipped.find("TAG+=\"uaccess\""), std::string::npos);
}

}  // namespace
}  // namespace emberline::platform::linux_uvc
