#pragma once

// A camera session on one simulated camera, a UI port that records every
// event, and helpers to put an image into the session.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/device/clock.h"
#include "core/workflows/camera_session.h"
#include "sim/sim_camera.h"

namespace emberline::workflows::testing {

struct UiEvent {
  enum class Kind { Status, Text, Show, Enable, Range, Pos, Message };
  Kind kind;
  int id = 0;   // string id or control id
  int a = 0;    // visible / enabled / minimum / position
  int b = 0;    // maximum
  std::string text;
};

class RecordingUi final : public UiPort {
 public:
  void setStatus(int string_id) override { add({UiEvent::Kind::Status, string_id, 0, 0, {}}); }
  void setControlText(int control_id, const std::string& text) override {
    add({UiEvent::Kind::Text, control_id, 0, 0, text});
  }
  void showControl(int control_id, bool visible) override {
    add({UiEvent::Kind::Show, control_id, visible ? 1 : 0, 0, {}});
  }
  void enableControl(int control_id, bool enabled) override {
    add({UiEvent::Kind::Enable, control_id, enabled ? 1 : 0, 0, {}});
  }
  void setProgressRange(int bar_id, int minimum, int maximum) override {
    add({UiEvent::Kind::Range, bar_id, minimum, maximum, {}});
  }
  void setProgressPos(int bar_id, int position) override {
    add({UiEvent::Kind::Pos, bar_id, position, 0, {}});
  }
  void showMessage(const std::string& text, const std::string&) override {
    add({UiEvent::Kind::Message, 0, 0, 0, text});
  }

  std::vector<std::string> messages() const {
    std::vector<std::string> out;
    for (const auto& e : events) {
      if (e.kind == UiEvent::Kind::Message) out.push_back(e.text);
    }
    return out;
  }
  // Positions of one bar, in order.
  std::vector<int> positions(int bar) const {
    std::vector<int> out;
    for (const auto& e : events) {
      if (e.kind == UiEvent::Kind::Pos && e.id == bar) out.push_back(e.a);
    }
    return out;
  }
  // Everything but bar 1003's positions, as short texts ("pos 1004 3").
  std::vector<std::string> outline() const {
    std::vector<std::string> out;
    for (const auto& e : events) {
      if (e.kind == UiEvent::Kind::Pos && e.id == kCtlProgressData) continue;
      switch (e.kind) {
        case UiEvent::Kind::Status: out.push_back("status " + std::to_string(e.id)); break;
        case UiEvent::Kind::Text: out.push_back("text " + std::to_string(e.id) + " " + e.text); break;
        case UiEvent::Kind::Show: out.push_back("show " + std::to_string(e.id) + " " + std::to_string(e.a)); break;
        case UiEvent::Kind::Enable: out.push_back("enable " + std::to_string(e.id) + " " + std::to_string(e.a)); break;
        case UiEvent::Kind::Range:
          out.push_back("range " + std::to_string(e.id) + " " + std::to_string(e.a) + ".." + std::to_string(e.b));
          break;
        case UiEvent::Kind::Pos: out.push_back("pos " + std::to_string(e.id) + " " + std::to_string(e.a)); break;
        case UiEvent::Kind::Message: out.push_back("message " + e.text); break;
      }
    }
    return out;
  }

  // Runs for every event after it was recorded (fault injection mid-workflow).
  std::function<void(const UiEvent&)> on_event;
  std::vector<UiEvent> events;

 private:
  void add(UiEvent e) {
    events.push_back(std::move(e));
    if (on_event) on_event(events.back());
  }
};

// A scratch folder, removed with everything in it.
class TempDir {
 public:
  TempDir() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = "emberline-wf-" + std::string(info->test_suite_name()) + "-" + info->name();
    std::replace(name.begin(), name.end(), '/', '_');
    path_ = std::filesystem::temp_directory_path() / name;
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
  }
  ~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

inline void writeFile(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

inline std::vector<std::uint8_t> readFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Fault plans and settings by name (designated initialisers would leave the
// other members to -Wmissing-field-initializers).
inline sim::FaultPlan failRegisters(std::initializer_list<std::uint16_t> registers) {
  sim::FaultPlan plan;
  plan.fail_registers = registers;
  return plan;
}
inline sim::FaultPlan failSelectors(std::initializer_list<std::uint32_t> selectors) {
  sim::FaultPlan plan;
  plan.fail_selectors = selectors;
  return plan;
}
inline sim::FaultPlan failRequest(std::uint64_t number) {
  sim::FaultPlan plan;
  plan.fail_request = number;
  return plan;
}
inline sim::FaultPlan vanishAfter(std::uint64_t requests) {
  sim::FaultPlan plan;
  plan.vanish_after = requests;
  return plan;
}
inline sim::SimSettings settings(const std::function<void(sim::SimSettings&)>& edit) {
  sim::SimSettings s;
  edit(s);
  return s;
}

// An image with the signature and no blank block.
inline std::vector<std::uint8_t> patternImage() {
  std::vector<std::uint8_t> image(kImageSize);
  for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<std::uint8_t>((i * 7 + i / 251) % 0xFF);
  image[0] = 'Q'; image[1] = 'R'; image[2] = '5'; image[3] = 'X';
  return image;
}

class SessionTest : public ::testing::Test {
 protected:
  explicit SessionTest(sim::SimSettings settings = {})
      : camera(std::make_shared<sim::SimCamera>(std::move(settings))) {
    devices.add(camera);
    session.setDiscoveryOutput([](std::string_view) {});
    EXPECT_EQ(session.DiscoverCamera(), 0);
  }

  // Puts `image` into the session through a file, as an operator would.
  void load(const std::vector<std::uint8_t>& image) {
    const auto path = dir / "image.src";
    writeFile(path, image);
    ASSERT_EQ(session.LoadSourceImage(path), LoadResult::Loaded);
    ui.events.clear();
  }

  // Runs `action` once, at the first event `when` accepts.
  void at(std::function<bool(const UiEvent&)> when, std::function<void()> action) {
    ui.on_event = [this, when, action, done = false](const UiEvent& e) mutable {
      if (!done && when(e)) {
        done = true;
        action();
      }
    };
  }

  static std::function<bool(const UiEvent&)> shown(int control) {
    return [control](const UiEvent& e) { return e.kind == UiEvent::Kind::Show && e.id == control && e.a == 1; };
  }
  static std::function<bool(const UiEvent&)> stage(int position) {
    return [position](const UiEvent& e) {
      return e.kind == UiEvent::Kind::Pos && e.id == kCtlProgressStage && e.a == position;
    };
  }

  // Selector-3 SETs of the dialog's 11-byte form with a write command.
  std::vector<sim::TrafficRecord> blockWrites() const {
    std::vector<sim::TrafficRecord> out;
    for (auto& r : camera->traffic()) {
      if (r.selector == 3 && r.op == device::XuOp::Set && r.payload.size() == 11 &&
          (r.payload[2] == 0x08 || r.payload[2] == 0x18)) {
        out.push_back(r);
      }
    }
    return out;
  }

  TempDir dir;
  std::shared_ptr<sim::SimCamera> camera;
  sim::SimDeviceList devices;
  RecordingUi ui;
  device::ManualClock clock;
  CameraSession session{devices, ui, clock};
};

}  // namespace emberline::workflows::testing
