#pragma once

// A camera session on one simulated camera, a UI port that records every
// event as a short text ("pos 1004 3", "message No Source File!"), and
// helpers for images, files and fault plans.

#include <gmock/gmock.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "core/device/clock.h"
#include "core/workflows/camera_session.h"
#include "sim/sim_camera.h"
#include "support/files.h"

namespace emberline::workflows::testing {

class RecordingUi final : public UiPort {
 public:
  void setStatus(int id) override { add("status " + std::to_string(id)); }
  void setControlText(int id, const std::string& text) override { add("text " + std::to_string(id) + " " + text); }
  void showControl(int id, bool visible) override { add("show " + std::to_string(id) + " " + std::to_string(visible)); }
  void enableControl(int id, bool on) override { add("enable " + std::to_string(id) + " " + std::to_string(on)); }
  void setProgressRange(int id, int lo, int hi) override {
    add("range " + std::to_string(id) + " " + std::to_string(lo) + ".." + std::to_string(hi));
  }
  void setProgressPos(int id, int pos) override { add("pos " + std::to_string(id) + " " + std::to_string(pos)); }
  void showMessage(const std::string& text, const std::string&) override { add("message " + text); }

  std::vector<std::string> messages() const { return withPrefix("message ", true); }
  std::vector<int> positions(int bar) const {
    std::vector<int> out;
    for (const auto& p : withPrefix("pos " + std::to_string(bar) + " ", true)) out.push_back(std::stoi(p));
    return out;
  }
  // Everything but bar 1003's positions.
  std::vector<std::string> outline() const { return withPrefix("pos 1003 ", false); }

  std::vector<std::string> events;
  std::function<void(const std::string&)> on_event;  // fault injection mid-workflow

 private:
  void add(std::string e) {
    events.push_back(std::move(e));
    if (on_event) on_event(events.back());
  }
  std::vector<std::string> withPrefix(const std::string& prefix, bool keep) const {
    std::vector<std::string> out;
    for (const auto& e : events) {
      if (e.starts_with(prefix) == keep) out.push_back(keep ? e.substr(prefix.size()) : e);
    }
    return out;
  }
};

using test::readFile;
using test::writeFile;

// Fault plans and settings by name (designated initialisers would trip
// -Wmissing-field-initializers).
template <typename T>
T with(const std::function<void(T&)>& edit) {
  T value;
  edit(value);
  return value;
}
inline sim::FaultPlan failRegisters(std::set<std::uint16_t> r) {
  return with<sim::FaultPlan>([&](auto& p) { p.fail_registers = r; });
}
inline sim::FaultPlan failSelectors(std::set<std::uint32_t> s) {
  return with<sim::FaultPlan>([&](auto& p) { p.fail_selectors = s; });
}
inline sim::FaultPlan failRequest(std::uint64_t n) { return with<sim::FaultPlan>([&](auto& p) { p.fail_request = n; }); }
inline sim::FaultPlan vanishAfter(std::uint64_t n) { return with<sim::FaultPlan>([&](auto& p) { p.vanish_after = n; }); }

// The signature, then a pattern without a single blank block.
inline std::vector<std::uint8_t> patternImage() {
  std::vector<std::uint8_t> image(kImageSize);
  for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<std::uint8_t>((i * 7 + i / 251) % 0xFF);
  std::copy_n("QR5X", 4, image.begin());
  return image;
}

inline bool isBlank(const std::uint8_t* bytes) {
  return std::all_of(bytes, bytes + 8, [](std::uint8_t b) { return b == 0xFF; });
}

// Offsets of the dialog's 11-byte block requests with command `low` (or
// `high`, the upper-bank form, which adds bit 16).
inline std::vector<std::uint32_t> blockOffsets(const sim::SimCamera& camera, std::uint8_t low, std::uint8_t high) {
  std::vector<std::uint32_t> out;
  for (const auto& r : camera.traffic()) {
    if (r.selector != 3 || r.op != device::XuOp::Set || r.payload.size() != 11) continue;
    if (r.payload[2] != low && r.payload[2] != high) continue;
    out.push_back((r.payload[2] == high ? 0x10000u : 0u) | r.payload[1] << 8 | r.payload[0]);
  }
  return out;
}

// A scratch folder named after the running test.
inline std::filesystem::path scratchDir() {
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string name = std::string("emberline-wf-") + info->test_suite_name() + "." + info->name();
  std::replace(name.begin(), name.end(), '/', '_');
  return std::filesystem::temp_directory_path() / name;
}

// A clock that never blocks and can act at each sleep (a stop request in the
// middle of a wait).
class HookedClock final : public device::Clock {
 public:
  void sleepFor(std::chrono::microseconds duration) override {
    inner_.sleepFor(duration);
    if (on_sleep) on_sleep();
  }
  std::chrono::steady_clock::time_point now() const override { return inner_.now(); }
  std::function<void()> on_sleep;

 private:
  device::ManualClock inner_;
};

class SessionTest : public ::testing::Test {
 protected:
  explicit SessionTest(const std::function<void(sim::SimSettings&)>& edit = [](auto&) {})
      : camera(std::make_shared<sim::SimCamera>(with<sim::SimSettings>(edit))) {
    camera->setTrafficLog(true);  // tests assert request sequences
    devices.add(camera);
    session.setDiscoveryOutput([](std::string_view) {});
    EXPECT_EQ(session.DiscoverCamera(), 0);
    std::filesystem::create_directories(dir);
  }
  ~SessionTest() override { std::filesystem::remove_all(dir); }

  // Puts `image` into the session through a file, as an operator would.
  void load(const std::vector<std::uint8_t>& image) {
    writeFile(dir / "image.src", image);
    ASSERT_EQ(session.LoadSourceImage(dir / "image.src"), LoadResult::Loaded);
    ui.events.clear();
  }

  // Runs `action` once, at the first event equal to `event`.
  void at(const std::string& event, std::function<void()> action) {
    ui.on_event = [event, action, done = false](const std::string& e) mutable {
      if (!done && e == event) {
        done = true;
        action();
      }
    };
  }

  const std::filesystem::path dir = scratchDir();
  std::shared_ptr<sim::SimCamera> camera;
  sim::SimDeviceList devices;
  RecordingUi ui;
  HookedClock clock;
  CameraSession session{devices, ui, clock};
};

}  // namespace emberline::workflows::testing
