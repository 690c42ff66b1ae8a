// `watch` on Windows: the system's device-interface notifications (here sent
// to the monitor's window as the system would) become plug events for the
// family's cameras, named as the device list names them.

#include <gtest/gtest.h>

#include <windows.h>
// windows.h first
#include <dbt.h>

#include <map>
#include <string>
#include <vector>

#include "frontend/device_interface_source.h"
#include "platform/text_windows.h"

namespace emberline {
namespace {

using platform::windows::DeviceInterfaceMonitor;

// What the system sends for one interface: the header, the class and the
// name, NUL-terminated, in one block.
void notify(HWND window, bool arrived, const std::string& path) {
  const std::wstring name = platform::wideFromUtf8(path);
  std::vector<std::uint8_t> block(sizeof(DEV_BROADCAST_DEVICEINTERFACE_W) + name.size() * sizeof(wchar_t));
  auto* change = reinterpret_cast<DEV_BROADCAST_DEVICEINTERFACE_W*>(block.data());
  change->dbcc_size = static_cast<DWORD>(block.size());
  change->dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
  change->dbcc_classguid = platform::windows::kCaptureInterfaceClass;
  std::copy(name.begin(), name.end(), change->dbcc_name);
  SendMessageW(window, WM_DEVICECHANGE, arrived ? DBT_DEVICEARRIVAL : DBT_DEVICEREMOVECOMPLETE,
               reinterpret_cast<LPARAM>(change));
}

std::vector<std::pair<std::string, bool>> pairs(const std::vector<frontend::PlugEvent>& events) {
  std::vector<std::pair<std::string, bool>> out;
  for (const auto& e : events) out.emplace_back(e.device, e.plugged);
  return out;
}

constexpr const char* kCamera = "\\\\?\\usb#vid_1e4e&pid_0109#5&1&0&1#{65e8773d-8f56-11d0-a3b9-00a0c9223196}\\global";
constexpr const char* kCameraAsNotified =
    "\\\\?\\USB#VID_1E4E&PID_0109#5&1&0&1#{65e8773d-8f56-11d0-a3b9-00a0c9223196}\\global";
constexpr const char* kWebcam = "\\\\?\\usb#vid_046d&pid_0825#7&2&0&0#{65e8773d-8f56-11d0-a3b9-00a0c9223196}\\global";
constexpr const char* kPresent = "\\\\?\\usb#vid_1e4e&pid_0109#5&1&0&2#{65e8773d-8f56-11d0-a3b9-00a0c9223196}\\global";

TEST(DeviceArrival, TheFamilysCamerasComeAndGoByTheirListedNames) {
  std::string error;
  auto monitor = DeviceInterfaceMonitor::open(&error);  // the system's registration, under Wine too
  ASSERT_NE(monitor, nullptr) << error;
  const HWND window = monitor->window();

  std::map<std::string, int> asked;
  frontend::FamilyCameras cameras;
  cameras.present = [] { return std::vector<std::string>{kPresent}; };
  cameras.probe = [&asked](const std::string& path) -> std::optional<std::string> {
    ++asked[path];
    if (path == kCameraAsNotified) return std::string(kCamera);  // the list's own spelling
    return std::nullopt;                                          // another kind of camera
  };
  auto source = frontend::makeDeviceInterfaceSource(std::move(monitor), cameras);

  using Events = std::vector<std::pair<std::string, bool>>;
  EXPECT_EQ(pairs(source->poll(std::chrono::milliseconds(0))), (Events{{kPresent, true}}));

  notify(window, true, kCameraAsNotified);
  notify(window, true, kWebcam);
  EXPECT_EQ(pairs(source->poll(std::chrono::milliseconds(0))), (Events{{kCamera, true}}));
  EXPECT_EQ(asked[kWebcam], 1);

  // Removals in any spelling; one never reported plugged in is not passed on.
  notify(window, false, kCameraAsNotified);
  notify(window, false, kWebcam);
  notify(window, false, kPresent);
  EXPECT_EQ(pairs(source->poll(std::chrono::milliseconds(0))), (Events{{kCamera, false}, {kPresent, false}}));

  // Plugged in again: a camera again.
  notify(window, true, kCameraAsNotified);
  EXPECT_EQ(pairs(source->poll(std::chrono::milliseconds(0))), (Events{{kCamera, true}}));
}

// The list may show an arriving camera, or the camera answer, a moment after
// the notification: it is asked again until it does, for a while.
TEST(DeviceArrival, ACameraThatAnswersLateIsStillTaken) {
  std::string error;
  auto monitor = DeviceInterfaceMonitor::open(&error);
  ASSERT_NE(monitor, nullptr) << error;
  const HWND window = monitor->window();
  int asked = 0;
  frontend::FamilyCameras cameras;
  cameras.present = [] { return std::vector<std::string>{}; };
  cameras.probe = [&asked](const std::string&) -> std::optional<std::string> {
    return ++asked < 2 ? std::nullopt : std::optional<std::string>(kCamera);
  };
  auto source = frontend::makeDeviceInterfaceSource(std::move(monitor), cameras);
  source->poll(std::chrono::milliseconds(0));
  notify(window, true, kCamera);
  EXPECT_TRUE(source->poll(std::chrono::milliseconds(0)).empty());
  std::vector<frontend::PlugEvent> events;
  for (int i = 0; i < 20 && events.empty(); ++i) events = source->poll(std::chrono::milliseconds(100));
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].device, kCamera);
  EXPECT_EQ(asked, 2);
}

}  // namespace
}  // namespace emberline
