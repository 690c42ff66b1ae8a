#pragma once

// Turning a face's --device string into the device list a session runs on,
// shared by the command line and the dialog so both accept the same strings:
//   (nothing)        every camera of this platform; discovery chooses
//   /dev/video2      that node only
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
  std::string path;                 // Kind::Path
  std::size_t index = 0;            // Kind::Index
  std::filesystem::path sim_state;  // Kind::Sim
  std::chrono::microseconds latency{0};
};

// nullopt and a message saying what is wrong with `text` when it is not one
// of the forms above.
std::optional<DeviceSpec> parseDeviceSpec(std::string_view text, std::string* error);

// The device list for one run of a face, and what must happen after it (a
// simulated camera's state written back to its file).
class DeviceContext {
 public:
  virtual ~DeviceContext() = default;
  virtual device::DeviceList& devices() = 0;
  // Writes back a simulated camera's state; 0 or -errno (message in `error`).
  virtual int persist(std::string* error) = 0;
};

// nullptr and a message naming the device and what to do when it cannot be
// set up (missing or damaged simulator file, no such index, no such node).
std::unique_ptr<DeviceContext> openDeviceContext(const DeviceSpec& spec, std::string* error);

}  // namespace emberline::frontend
