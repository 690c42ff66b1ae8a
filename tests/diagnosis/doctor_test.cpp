// Doctor's checks: the camera's on simulated cameras with every fault the
// simulator offers (never a write), and the platform's from facts given by
// hand, with the advice each situation calls for.

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <set>

#include "core/device/clock.h"
#include "core/device/tracing.h"
#include "core/diagnosis/doctor.h"
#include "sim/dsp.h"
#include "sim/sim_camera.h"

namespace emberline::diagnosis {
namespace {

template <typename T>
T with(const std::function<void(T&)>& edit) {
  T value;
  edit(value);
  return value;
}

const Check* find(const std::vector<Check>& checks, const std::string& name) {
  for (const auto& c : checks)
    if (c.name == name) return &c;
  return nullptr;
}

// The camera's state a write would change: flash, status, and every register
// but the SPI port's own.
struct Kept {
  std::vector<std::uint8_t> flash;
  std::uint8_t status;
  std::vector<std::uint8_t> registers;
  bool operator==(const Kept&) const = default;
};
Kept kept(const sim::SimCamera& camera) {
  Kept k{camera.flash(), camera.flashStatus(), {}};
  for (std::uint32_t a = 0; a < 0x10000; ++a) {
    const auto address = static_cast<std::uint16_t>(a);
    const bool port = address == sim::reg::kSpiOwner || address == sim::reg::kChipSelect || sim::isSpiShiftRegister(address);
    k.registers.push_back(port ? 0 : camera.reg(address));
  }
  return k;
}

// Requests that would change the camera: a block write, a register write
// outside the SPI port, an SPI opcode that writes, erases or unprotects.
std::vector<std::string> writes(const std::vector<device::TraceEvent>& events) {
  const std::set<std::uint16_t> port{0x1080, 0x1081, 0x1082, 0x1083, 0x1091};
  const std::set<std::uint8_t> writing_opcodes{0x01, 0x02, 0x06, 0x20, 0x50, 0x52, 0x60, 0xAF, 0xC7, 0xD8};
  std::vector<std::string> found;
  for (const auto& e : events) {
    if (e.driver_property || e.op != device::XuOp::Set || e.length_query || e.payload.size() < 4) continue;
    const auto address = static_cast<std::uint16_t>(e.payload[0] | e.payload[1] << 8);
    if (e.selector == 3 && (e.payload[2] & 0xC0) == 0 && (e.payload[2] & 0x0F) != 0)
      found.push_back("block write at " + std::to_string(address));
    if (e.selector == 1 && e.payload[3] == 0x00 && !port.contains(address))
      found.push_back("register write " + std::to_string(address));
    if (e.selector == 1 && e.payload[3] == 0x00 && address == 0x1082 && writing_opcodes.contains(e.payload[2]))
      found.push_back("SPI opcode " + std::to_string(e.payload[2]));
  }
  return found;
}

TEST(Doctor, NeverWritesWhateverFaultTheCameraHas) {
  using sim::FaultPlan;
  using sim::SimSettings;
  const struct {
    const char* what;
    FaultPlan faults;
    SimSettings settings;
    std::map<std::string, CheckStatus> expected;  // checks whose verdict the fault decides
  } cases[] = {
      {"no fault", {}, {}, {{"chip", CheckStatus::Ok}, {"flash_part", CheckStatus::Ok}, {"request_timing", CheckStatus::Ok}}},
      {"unplugged at once", with<FaultPlan>([](auto& f) { f.vanish_after = 0; }), {},
       {{"extension_unit", CheckStatus::Failed}}},
      {"unplugged during the checks", with<FaultPlan>([](auto& f) { f.vanish_after = 40; }), {}, {}},
      {"unplugged late", with<FaultPlan>([](auto& f) { f.vanish_after = 110; }), {},
       {{"request_timing", CheckStatus::Failed}}},
      {"request 5 refused", with<FaultPlan>([](auto& f) { f.fail_request = 5; }), {}, {}},
      {"request 60 refused", with<FaultPlan>([](auto& f) { f.fail_request = 60; }), {}, {}},
      {"selector 1 refused", with<FaultPlan>([](auto& f) { f.fail_selectors = {1}; }), {}, {}},
      {"selector 3 refused", with<FaultPlan>([](auto& f) { f.fail_selectors = {3}; }), {},
       {{"version_text", CheckStatus::Failed}}},
      {"selector 4 refused", with<FaultPlan>([](auto& f) { f.fail_selectors = {4}; }), {}, {}},
      {"selector 5 refused", with<FaultPlan>([](auto& f) { f.fail_selectors = {5}; }), {}, {}},
      {"register GETs refused", with<FaultPlan>([](auto& f) { f.fail_selector_gets = {1}; }), {}, {}},
      {"register SETs refused, driver set A answers",
       with<FaultPlan>([](auto& f) { f.fail_selector_sets = {1}; f.driver_set_a = true; }), {}, {}},
      {"block reads refused", with<FaultPlan>([](auto& f) { f.fail_selector_gets = {3}; }), {}, {}},
      {"chip id register refused", with<FaultPlan>([](auto& f) { f.fail_registers = {0x101F}; }), {}, {}},
      {"SPI receive register refused", with<FaultPlan>([](auto& f) { f.fail_registers = {0x1083}; }), {},
       {{"flash_part", CheckStatus::Failed}}},
      {"read fails at the version block", with<FaultPlan>([](auto& f) { f.fail_read_at = 0x1E00; }), {},
       {{"version_text", CheckStatus::Failed}}},
      {"wrong byte in the version block", with<FaultPlan>([](auto& f) { f.wrong_byte_at = 0x1E00; }), {}, {}},
      {"flash stuck busy", with<FaultPlan>([](auto& f) { f.flash_never_ready = true; }), {},
       {{"write_protection", CheckStatus::Warning}}},
      {"SPI transfer never done", with<FaultPlan>([](auto& f) { f.transfer_never_done = true; }), {}, {}},
      {"one slow request", with<FaultPlan>([](auto& f) { f.slow_request = 3; f.slow_by = std::chrono::microseconds(500); }),
       {}, {}},
      {"firmware that leaves protection on", {},
       with<SimSettings>([](auto& s) { s.mode_byte = 2; s.flash_status = 0x0C; }),
       {{"write_protection", CheckStatus::Failed}}},
      {"flash part not in the catalogue", {}, with<SimSettings>([](auto& s) { s.flash_id = {0xC2, 0x99, 0x99}; }),
       {{"flash_part", CheckStatus::Failed}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    auto camera = std::make_shared<sim::SimCamera>(c.settings);
    camera->setFaults(c.faults);
    const Kept before = kept(*camera);
    sim::SimDeviceList devices;
    devices.add(camera);
    std::vector<device::TraceEvent> events;
    device::TracingDeviceList traced(devices, [&](const device::TraceEvent& e) { events.push_back(e); });
    device::ManualClock clock;
    CameraFacts facts;
    facts.unit_source = UnitSource::Simulator;

    const auto checks = cameraChecks(traced, facts, clock, Language::English);

    EXPECT_EQ(writes(events), std::vector<std::string>{});
    EXPECT_TRUE(kept(*camera) == before);
    ASSERT_FALSE(checks.empty());
    for (const auto& [name, status] : c.expected) {
      const Check* check = find(checks, name);
      ASSERT_NE(check, nullptr) << name;
      EXPECT_EQ(check->status, status) << name << ": " << check->found;
    }
    if (c.faults.empty() && c.expected.size() == 3) {
      EXPECT_EQ(worst(checks), CheckStatus::Ok);
    }
  }
}

TEST(Doctor, TimesAFixedNumberOfReadsAndWarnsWhenTheyAreSlow) {
  using std::chrono::microseconds;
  const std::vector<microseconds> fast(kTimingReads, microseconds(900));
  EXPECT_EQ(timingCheck(fast, 0, Language::English).status, CheckStatus::Ok);
  EXPECT_NE(timingCheck(fast, 0, Language::English).found.find("median 0.90 ms"), std::string::npos);
  auto slow = fast;
  for (std::size_t i = 0; i < slow.size() / 2 + 1; ++i) slow[i] = microseconds(25'000);
  const auto warned = timingCheck(slow, 0, Language::English);
  EXPECT_EQ(warned.status, CheckStatus::Warning);
  EXPECT_NE(warned.found.find("worst 25.00 ms; a full burn would take about 214.5 s"), std::string::npos) << warned.found;
  EXPECT_EQ(timingCheck({fast.begin(), fast.end() - 1}, 1, Language::English).status, CheckStatus::Failed);
}

// Facts as a machine shows them, and what doctor makes of them.
struct Verdict {
  const char* what;
  SystemFacts facts;
  std::string check;
  CheckStatus status;
  std::string advice;  // a piece of it
};

void expectVerdicts(const std::vector<Verdict>& cases) {
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const auto checks = systemChecks(c.facts, Language::English);
    const Check* check = find(checks, c.check);
    ASSERT_NE(check, nullptr);
    EXPECT_EQ(check->status, c.status) << check->found;
    EXPECT_NE(check->advice.find(c.advice), std::string::npos) << check->advice;
  }
}

LinuxSystemFacts linuxMachine(const std::function<void(LinuxSystemFacts&, VideoNode&)>& edit) {
  LinuxSystemFacts f;
  f.driver_loaded = true;
  f.bound_interfaces = 2;
  f.user = "ana";
  f.at_seat = true;
  VideoNode node{"/dev/video0", "USB Camera", 0, true, 0, "video", false, false};
  edit(f, node);
  f.nodes.push_back(node);
  return f;
}

TEST(Doctor, SaysWhyThisUserCannotReachTheCameraAndWhatFixesIt) {
  const auto denied = [](LinuxSystemFacts&, VideoNode& n) { n.access_error = -EACCES; };
  expectVerdicts({
      {"all well", {linuxMachine([](auto&, auto&) {}), {}}, "permission", CheckStatus::Ok, ""},
      {"driver not loaded", {linuxMachine([](auto& f, auto&) { f.driver_loaded = false; }), {}}, "driver",
       CheckStatus::Failed, "sudo modprobe uvcvideo"},
      {"node missing in /dev", {linuxMachine([](auto&, auto& n) { n.present = false; }), {}}, "video_nodes",
       CheckStatus::Failed, "docker run --device /dev/video0"},
      {"at the seat, no rule", {linuxMachine(denied), {}}, "permission", CheckStatus::Failed,
       "emberline udev-rule | sudo tee /etc/udev/rules.d/70-emberline.rules"},
      {"at the seat, the package's rule not applied",
       {linuxMachine([&](auto& f, auto& n) { denied(f, n); f.rule_files = {"/usr/lib/udev/rules.d/70-emberline.rules"}; }),
        {}},
       "permission", CheckStatus::Failed, "The rule /usr/lib/udev/rules.d/70-emberline.rules is installed but not yet"},
      {"over ssh", {linuxMachine([&](auto& f, auto& n) { denied(f, n); f.remote = true; }), {}}, "permission",
       CheckStatus::Failed, "sudo usermod -aG video ana"},
      {"joined the group after logging in",
       {linuxMachine([&](auto& f, auto& n) { denied(f, n); f.remote = true; n.group_after_login = true; }), {}},
       "permission", CheckStatus::Failed, "log out and in again"},
  });
  const auto chinese = systemChecks({linuxMachine(denied), {}}, Language::SimplifiedChinese);
  EXPECT_NE(find(chinese, "permission")->advice.find("安装 udev 规则"), std::string::npos);
}

TEST(Doctor, NamesTheWindowsCameraSettingThatBlocksDesktopPrograms) {
  const auto windows = [](const std::function<void(WindowsSystemFacts&)>& edit) {
    WindowsSystemFacts f;
    f.devices = {{"USB Camera", "\\\\?\\usb#vid_1234&pid_5678#1&2&3#{65e8773d-8f56-11d0-a3b9-00a0c9223196}\\global"}};
    edit(f);
    return SystemFacts{std::nullopt, f};
  };
  expectVerdicts({
      {"all well", windows([](auto&) {}), "camera_privacy", CheckStatus::Ok, ""},
      {"no device", windows([](auto& f) { f.devices.clear(); }), "video_devices", CheckStatus::Failed,
       "Cameras or Imaging devices"},
      {"desktop apps denied", windows([](auto& f) { f.desktop_app_access = Consent::Deny; }), "camera_privacy",
       CheckStatus::Failed, "\"Let desktop apps access your camera\""},
      {"the device denied", windows([](auto& f) { f.device_access = Consent::Deny; f.app_access = Consent::Allow; }),
       "camera_privacy", CheckStatus::Failed, "turn \"Camera access\" on"},
      {"in use", windows([](auto& f) { f.using_camera = {"C:\\Program Files\\Meet\\meet.exe"}; }), "camera_in_use",
       CheckStatus::Warning, "Close these programs"},
  });
}

}  // namespace
}  // namespace emberline::diagnosis
