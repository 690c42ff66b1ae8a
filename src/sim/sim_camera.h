#pragma once

// A simulated camera of the family: a DSP with its registers, memory spaces 7
// and 9, its SPI port wired to a SPI NOR flash model, and the vendor extension
// unit in front of it. It implements the transport seam, so everything above
// the transports runs on it unchanged; it records requests when asked to and
// fails on demand.
//
// Selector 3 has one meaning whatever its payload length (a UVC control has
// one length, and the drivers fit every payload to it): the DSP's block path
// to the serial flash. So the library's memory space 7, and the version block
// and write-protect configuration byte read through it, are flash content.

#include <array>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "core/device/transport.h"

namespace emberline::sim {

inline constexpr std::uint8_t kNoWriteProtectPin = 0xFF;
// The most a flash may stay busy and a host still see it ready: a host's
// wait for ready reads the status at most 10,000 times.
inline constexpr std::uint32_t kMaxBusyPolls = 9'999;
inline constexpr std::chrono::microseconds kMaxLatency{1'000'000};  // per request

// Everything that makes one simulated camera what it is. Persisted by save().
struct SimSettings {
  std::uint8_t chip_id = 0x33;       // register 0x101F
  int device_kind = 23;              // 23: answers the space-9 probe reads; 0: refuses them
  std::uint8_t mode_byte = 0;        // DeviceInfoRecord byte 2
  std::uint8_t reg_3c5 = 0;          // register 0x3C5 (3 = one byte per request)
  std::array<std::uint8_t, 3> flash_id{0xC2, 0x20, 0x11};  // selects the flash part model
  bool flash_id_continuation = false;  // 0x9F answers 0x7F before the maker code
  std::uint32_t flash_size = 0x20000;  // a smaller part wraps offsets
  std::uint32_t busy_polls_after_erase = 3;  // status polls that still read busy
  std::uint32_t busy_polls_after_program = 1;
  std::uint32_t busy_polls_after_status_write = 2;
  // The flash status register at power-up. Unset: every block-protect bit
  // set, except on a kind-23 camera with mode byte 2, whose firmware skips the
  // status write and so expects a flash that is already unprotected.
  std::optional<std::uint8_t> flash_status{};
  // The DSP pin (0-7, driven by registers 0x1007 and 0x1006) wired to the
  // flash's WP#; kNoWriteProtectPin: WP# is tied high.
  std::uint8_t wp_pin = kNoWriteProtectPin;
  std::uint32_t node_id = 4;         // extension-unit id
  bool node_findable = true;         // false: the platform's unit search finds nothing
  std::string name = "Emberline Simulated Camera";
  std::chrono::microseconds latency{0};  // added to every request (models USB timing)

  // What a new camera's flash holds: the version block at the chip's places
  // and the write-protect configuration byte. Not kept: afterwards the flash
  // itself is what counts. Any bytes; longer text is cut.
  std::uint8_t wp_config = 0;
  std::string tag = "QR5XA";         // RomTag, 5 bytes
  std::string field1 = "2026-12-06"; // version fields, 10 bytes each
  std::string field2 = "EM-1234567";
  std::string field3 = "2612061200";
};

// One request as the camera saw it.
struct TrafficRecord {
  enum class Kind : std::uint8_t { Control, DriverSetA, DriverSetB };
  Kind kind = Kind::Control;
  std::uint32_t selector = 0;
  device::XuOp op = device::XuOp::Set;
  std::uint32_t node_id = 0;
  std::vector<std::uint8_t> payload{};  // Set: as sent. Get: as returned (as sent when it failed)
  int result = 0;                       // 0 or -errno
};

// Failures on demand; kept in the state file. Request numbers count every
// request (control and driver property) from the moment the plan is
// installed, or from the start of a command on a saved camera, starting at 1.
struct FaultPlan {
  std::optional<std::uint64_t> fail_request{};  // exactly this request fails
  std::set<std::uint32_t> fail_selectors{};     // every request of these selectors fails
  std::set<std::uint32_t> fail_selector_sets{}; // every SET of these selectors fails
  std::set<std::uint32_t> fail_selector_gets{}; // every GET of these selectors fails
  std::set<std::uint16_t> fail_registers{};     // selector-1 requests addressing these fail
  std::optional<std::uint64_t> vanish_after{};  // after this many requests everything fails (-ENODEV)
  std::optional<std::uint32_t> fail_read_at{};  // a block read covering this flash offset fails
  std::optional<std::uint32_t> wrong_byte_at{}; // ... delivers this flash byte inverted
  bool flash_never_ready = false;               // status register keeps its busy bit
  bool transfer_never_done = false;             // 0x1084 never reads 1
  std::optional<std::uint64_t> slow_request{};  // this request takes `slow_by` longer
  std::chrono::microseconds slow_by{0};         // at most kMaxLatency
  // Chip-id fallback: which driver property sets answer (with the chip id).
  bool driver_set_a = false;
  bool driver_set_b = false;
  int error = -EIO;  // errno used for injected failures (vanishing uses -ENODEV)

  bool empty() const;
};

class SimCamera : public std::enable_shared_from_this<SimCamera> {
 public:
  explicit SimCamera(SimSettings settings = {});
  ~SimCamera();
  SimCamera(const SimCamera&) = delete;
  SimCamera& operator=(const SimCamera&) = delete;

  const SimSettings& settings() const;

  // A new handle on this camera, as a platform's open() would give. Handles
  // share the camera's state; requests are serialised by the camera.
  std::shared_ptr<device::CaptureDevice> open();

  // --- state, for tests and the command line (all thread-safe) ---
  std::vector<std::uint8_t> flash() const;  // flash_size bytes
  void setFlash(std::span<const std::uint8_t> content);
  std::uint8_t flashStatus() const;  // the part's status register
  void setFlashStatus(std::uint8_t status);
  std::uint8_t reg(std::uint16_t address) const;
  void setReg(std::uint16_t address, std::uint8_t value);
  // Memory spaces as the library names them: 6 and 7 are the flash, 9 the
  // DSP memory the device-kind probe reads.
  std::uint8_t memory(std::uint8_t space, std::uint32_t address) const;
  void setMemory(std::uint8_t space, std::uint32_t address, std::span<const std::uint8_t> bytes);

  // The requests recorded since the log was turned on (tests that assert
  // request sequences). Off by default: a camera in a station or a command
  // would otherwise keep every request it ever saw, and nothing reads them.
  std::vector<TrafficRecord> traffic() const;
  void clearTraffic();
  void setTrafficLog(bool enabled);
  // Installing a plan restarts its request numbering and brings back a
  // camera that had vanished.
  void setFaults(const FaultPlan& plan);
  FaultPlan faults() const;
  // Requests seen since the camera was made (never reset).
  std::uint64_t requestCount() const;
  // False once the fault plan made the camera vanish (as if unplugged).
  bool present() const;

  // --- persistence: settings, faults, registers, memory, flash and status ---
  // Written whole or not at all, as exports are: a temporary file beside it
  // renamed over it, a symbolic link followed, mode and owner kept; a path
  // that names anything but a regular file is refused. 0 or -errno, and the
  // reason in `why`.
  int save(const std::filesystem::path& path, std::string* why = nullptr) const;
  // False when nothing that the state file keeps has changed since load():
  // saving would write the same camera again. Always true for a camera that
  // was not loaded. The SPI port's shift and done registers do not count.
  bool changedSinceLoad() const;
  // nullptr and a message naming the file and what is wrong when it cannot be
  // read or is damaged.
  static std::shared_ptr<SimCamera> load(const std::filesystem::path& path, std::string* error);

  struct State;  // the DSP and flash model, defined in the implementation

 private:
  std::unique_ptr<State> state_;
};

// One flash part the simulator models, chosen by SimSettings::flash_id. Ids
// that match none of them get a generic JEDEC part answering that id.
struct SimFlashPartInfo {
  std::array<std::uint8_t, 3> id{};
  bool any_third = false;  // the part is chosen by the first two bytes alone
  std::string description;
};
std::vector<SimFlashPartInfo> simulatedFlashParts();

// A device list of simulated devices, in the order added.
// Not thread-safe: one list per user; the cameras in it are.
class SimDeviceList final : public device::DeviceList {
 public:
  void add(std::shared_ptr<SimCamera> camera);
  // The same, listed under `path` (e.g. the camera's state file) instead of
  // "sim://<n>".
  void add(std::shared_ptr<SimCamera> camera, std::string path);
  // An ordinary webcam: listed and opened, no vendor extension unit (its unit
  // search finds nothing and every control request fails with -ENOENT).
  void addWebcam(std::string name);
  // Listed, but it cannot be opened.
  void addUnopenable(std::string name);
  // A camera whose display name or device path cannot be read.
  void addWithoutName(std::shared_ptr<SimCamera> camera);
  void addWithoutPath(std::shared_ptr<SimCamera> camera);
  // Make enumerate() itself fail with `error` (0 restores it).
  void setEnumerateError(int error);

  int enumerate(std::vector<device::DeviceEntry>& out) override;
  std::shared_ptr<device::CaptureDevice> open(const device::DeviceEntry& entry, int* error) override;

 private:
  struct Slot;
  std::vector<std::shared_ptr<Slot>> slots_;
  int enumerate_error_ = 0;
};

}  // namespace emberline::sim
