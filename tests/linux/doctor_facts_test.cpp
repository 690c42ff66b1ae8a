// Doctor's Linux facts from a machine staged in a folder: sysfs, /dev, /proc
// and the udev rule folders, with the process's identity given by hand.

#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>

#include "platform/linux/doctor_facts.h"

namespace emberline::platform::linux_uvc {
namespace {

namespace fs = std::filesystem;

void writeFile(const fs::path& path, const std::string& text) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << text;
}

class DoctorFacts : public ::testing::Test {
 protected:
  DoctorFacts() : root(fs::path(::testing::TempDir()) / ("emberline-doctor-" + std::to_string(::getpid()))) {
    fs::remove_all(root);
    roots = {root / "sys", root / "dev", root / "proc", root};
    const auto driver = root / "sys/bus/usb/drivers/uvcvideo";
    fs::create_directories(driver);
    fs::create_directories(root / "sys/module/uvcvideo");
    usb = root / "sys/devices/pci0000:00/0000:00:14.0/usb1/1-2";
    writeFile(usb / "speed", "480\n");
    writeFile(usb / "descriptors", std::string("\x12\x01\x00\x02", 4));
    for (const auto& [node, index, name] : {std::tuple{"video0", 0, "USB Camera"}, {"video1", 1, "USB Camera"}}) {
      const auto interface = usb / (index == 0 ? "1-2:1.0" : "1-2:1.1");
      if (!fs::exists(interface / "driver")) {
        fs::create_directories(interface);
        fs::create_directory_symlink(driver, interface / "driver");
        fs::create_directory_symlink(interface, driver / interface.filename());
      }
      const auto node_dir = interface / "video4linux" / node;
      writeFile(node_dir / "index", std::to_string(index) + "\n");
      writeFile(node_dir / "name", std::string(name) + "\n");
      fs::create_directory_symlink(interface, node_dir / "device");
      fs::create_directories(root / "sys/class/video4linux");
      fs::create_directory_symlink(node_dir, root / "sys/class/video4linux" / node);
    }
    writeFile(root / "dev/video0", "");  // video1 has no node in /dev
    writeFile(root / "usr/lib/udev/rules.d/70-emberline.rules", "# the package's rule\n");
  }
  ~DoctorFacts() override { fs::remove_all(root); }

  fs::path root;
  fs::path usb;
  LinuxRoots roots;
};

TEST_F(DoctorFacts, SeesTheDriverTheNodesAndWhyThisUserCannotOpenThem) {
  LinuxIdentity ana;
  ana.user = "ana";
  ana.groups = {1000};
  ana.at_seat = true;
  ana.group = [](unsigned) { return GroupEntry{"video", {"bob", "ana"}}; };
  ana.access = [](const fs::path&) { return -EACCES; };

  const auto facts = gatherSystemFacts(roots, ana);
  EXPECT_TRUE(facts.driver_loaded);
  EXPECT_EQ(facts.bound_interfaces, 2u);
  EXPECT_TRUE(facts.at_seat);
  EXPECT_EQ(facts.rule_files, std::vector<std::string>{"/usr/lib/udev/rules.d/70-emberline.rules"});
  ASSERT_EQ(facts.nodes.size(), 2u);
  const auto& video0 = facts.nodes[0];
  EXPECT_EQ(video0.path, (root / "dev/video0").string());
  EXPECT_EQ(video0.name, "USB Camera");
  EXPECT_TRUE(video0.present);
  EXPECT_EQ(video0.access_error, -EACCES);
  EXPECT_EQ(video0.group, "video");
  EXPECT_FALSE(video0.in_group);
  EXPECT_TRUE(video0.group_after_login);  // listed in the group, not in this login
  EXPECT_EQ(facts.nodes[1].index, 1u);
  EXPECT_FALSE(facts.nodes[1].present);

  fs::remove_all(root / "sys/bus");
  fs::remove_all(root / "sys/module");
  EXPECT_FALSE(gatherSystemFacts(roots, ana).driver_loaded);
}

TEST_F(DoctorFacts, FindsWhoElseHoldsTheNodeAndWhereTheCameraIsPluggedIn) {
  const auto node = (root / "dev/video0").string();
  const auto process = [&](long pid, const std::string& program, const std::string& target) {
    const auto dir = root / "proc" / std::to_string(pid);
    writeFile(dir / "comm", program + "\n");
    fs::create_directories(dir / "fd");
    fs::create_symlink(target, dir / "fd/3");
  };
  process(4242, "cheese", node);
  process(77, "bash", "/dev/null");
  process(500, "emberline", node);  // this process
  fs::create_directories(root / "proc/sys");

  const auto facts = gatherCameraFacts(roots, node, 500);
  EXPECT_TRUE(facts.holders_known);
  ASSERT_EQ(facts.holders.size(), 1u);
  EXPECT_EQ(facts.holders[0].pid, 4242);
  EXPECT_EQ(facts.holders[0].program, "cheese");
  EXPECT_EQ(facts.usb_port, "/devices/pci0000:00/0000:00:14.0/usb1/1-2");
  EXPECT_EQ(facts.usb_speed_mbps, 480.0);
  EXPECT_EQ(facts.usb_descriptors, "12010002");
  EXPECT_EQ(facts.unit_source, diagnosis::UnitSource::UsbDescriptors);
}

}  // namespace
}  // namespace emberline::platform::linux_uvc
