// Doctor's Windows facts: the camera privacy settings and the programs using a
// camera from registry keys given by hand, and the real machine's (under Wine:
// no video-input device, no setting).

#include <gtest/gtest.h>

#include <map>

#include "platform/windows/doctor_facts.h"
#include "platform/windows/windows_device_list.h"

namespace emberline::platform::windows {
namespace {

using diagnosis::Consent;

class FakeRegistry final : public RegistryView {
 public:
  std::map<std::pair<std::string, std::string>, std::string> texts;
  std::map<std::pair<std::string, std::string>, std::uint64_t> numbers;
  std::map<std::string, std::vector<std::string>> keys;

  std::optional<std::string> text(const std::string& key, const std::string& value) override {
    const auto found = texts.find({key, value});
    return found == texts.end() ? std::nullopt : std::optional(found->second);
  }
  std::optional<std::uint64_t> number(const std::string& key, const std::string& value) override {
    const auto found = numbers.find({key, value});
    return found == numbers.end() ? std::nullopt : std::optional(found->second);
  }
  std::vector<std::string> subkeys(const std::string& key) override { return keys[key]; }
};

class NoDevices final : public device::DeviceList {
 public:
  int enumerate(std::vector<device::DeviceEntry>& out) override {
    out.clear();
    return 0;
  }
  std::shared_ptr<device::CaptureDevice> open(const device::DeviceEntry&, int*) override { return nullptr; }
};

TEST(WindowsDoctorFacts, ReadsTheCameraPrivacySettingsAndWhoUsesTheCamera) {
  const std::string user = "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\CapabilityAccessManager\\ConsentStore\\webcam";
  const std::string desktop = user + "\\NonPackaged";
  FakeRegistry registry;
  registry.texts[{"HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\CapabilityAccessManager\\ConsentStore\\webcam",
                  "Value"}] = "Allow";
  registry.texts[{desktop, "Value"}] = "Deny";
  registry.keys[user] = {"NonPackaged", "Microsoft.WindowsCamera_8wekyb3d8bbwe", "Idle.App_1"};
  registry.keys[desktop] = {"C:#Program Files#Meet#meet.exe", "C:#Tools#old.exe"};
  const auto used = [&](const std::string& key, std::uint64_t start, std::uint64_t stop) {
    registry.numbers[{key, "LastUsedTimeStart"}] = start;
    registry.numbers[{key, "LastUsedTimeStop"}] = stop;
  };
  used(desktop + "\\C:#Program Files#Meet#meet.exe", 133000000000000000, 0);
  used(desktop + "\\C:#Tools#old.exe", 133000000000000000, 133000000000000001);
  used(user + "\\Microsoft.WindowsCamera_8wekyb3d8bbwe", 133000000000000000, 0);

  NoDevices devices;
  const auto facts = gatherSystemFacts(devices, registry);
  EXPECT_EQ(facts.device_access, Consent::Allow);
  EXPECT_EQ(facts.app_access, Consent::NotSet);
  EXPECT_EQ(facts.desktop_app_access, Consent::Deny);
  EXPECT_EQ(facts.using_camera, (std::vector<std::string>{"C:\\Program Files\\Meet\\meet.exe",
                                                           "Microsoft.WindowsCamera_8wekyb3d8bbwe"}));
}

TEST(WindowsDoctorFacts, TheRealMachineAnswersWithoutACamera) {
  WindowsDeviceList list;
  const auto facts = gatherSystemFacts(list, *systemRegistry());
  EXPECT_EQ(facts.enumerate_error, 0);
  if (!facts.devices.empty()) GTEST_SKIP() << "this machine has a camera: " << facts.devices[0].path;
  EXPECT_EQ(describeSystem().rfind("Windows", 0), 0u) << describeSystem();
}

}  // namespace
}  // namespace emberline::platform::windows
