#pragma once

// Turning a face's --device string into the device list a session runs on,
// shared by the command line and the dialog so both accept the same strings:
//   (nothing)        every camera of this platform; discovery chooses
//   /dev/video2      that node only (a symlink such as /dev/v4l/by-id/... works too)
//   2                the third entry of `emberline list`
//   sim:PATH         the simulated camera whose state lives in PATH
//   sim:PATH?latency-us=125   the same, each request taking that long

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace emberline::device {
class DeviceList;
}

namespace emberline::frontend {

struct DeviceSpec {
  enum class Kind { Auto, Path, Index, Sim };
  Kind kind = Kind::Auto;
  std::string path;                 // Kind::Path; Kind::Index: the index as the user wrote it
  std::size_t index = 0;            // Kind::Index
  std::filesystem::path sim_state;  // Kind::Sim
  std::chrono::microseconds latency{0};
};

// Upper bound of sim:PATH?latency-us=N, so a typing slip cannot make a burn
// take days.
inline constexpr std::chrono::microseconds kMaxSimLatency{1'000'000};

// nullopt and a message saying what is wrong with `text` when it is not one
// of the forms above. An empty text is Kind::Auto.
std::optional<DeviceSpec> parseDeviceSpec(std::string_view text, std::string* error);

// The device list for one run of a face, and what must happen after it (a
// simulated camera's state written back to its file).
class DeviceContext {
 public:
  virtual ~DeviceContext() = default;
  virtual device::DeviceList& devices() = 0;
  // Writes back a simulated camera's state; 0 or -errno (message in `error`).
  // A platform context has nothing to write and returns 0.
  virtual int persist(std::string* error) = 0;
  // Reads a simulated camera anew from its file, after something else (the
  // station window) drove it; 0 or -errno (message in `error`). A platform
  // context holds no camera state and returns 0.
  virtual int reload(std::string* error) {
    (void)error;
    return 0;
  }
  // What this context searches, for "no camera found" messages, e.g.
  // "the video-capture devices in /sys/class/video4linux".
  virtual std::string searched() const = 0;
  // A sentence saying why the device `id` could not be opened (`error` is a
  // negative errno from DeviceList::open), with a hint where one helps.
  virtual std::string describeOpenError(int error, const std::string& id) const = 0;
  // The one camera this context is narrowed to (its device node, or a
  // simulated camera's state file), for the camera lock; empty when every
  // camera is a candidate.
  virtual std::string cameraPath() const { return {}; }
  bool simulated() const { return is_simulated_; }

 protected:
  bool is_simulated_ = false;
};

// nullptr and a message naming the device and what to do when it cannot be
// set up (missing or damaged simulator file, no such index, no such node).
//
// Auto, Path and Index use this platform's device list. On Linux the
// environment variables EMBERLINE_SYSFS_ROOT and EMBERLINE_DEV_ROOT replace
// /sys and /dev (tests use them to stage a machine without cameras).
std::unique_ptr<DeviceContext> openDeviceContext(const DeviceSpec& selection, std::string* error);

}  // namespace emberline::frontend
