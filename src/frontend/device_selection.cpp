#include "frontend/device_selection.h"

#include <cerrno>
#include <charconv>
#include <cstdint>
#include <system_error>
#include <utility>
#include <vector>

#include "core/device/device_filter.h"
#include "core/device/transport.h"
#include "core/device/utf8_path.h"
#include "frontend/delayed_device_list.h"
#include "frontend/platform_devices.h"
#include "frontend/replay_context.h"
#include "platform/sleep.h"
#include "sim/replay_camera.h"
#include "sim/sim_camera.h"

namespace emberline::frontend {

namespace {

constexpr std::string_view kSimPrefix = "sim:";
constexpr std::string_view kLatencyKey = "latency-us";

void setError(std::string* error, std::string text) {
  if (error) *error = std::move(text);
}

std::string errnoText(int error) { return std::generic_category().message(error < 0 ? -error : error); }

// Decimal digits only, no sign, no spaces; nullopt on anything else or overflow.
std::optional<std::uint64_t> parseUnsigned(std::string_view text) {
  if (text.empty()) return std::nullopt;
  std::uint64_t value = 0;
  const auto* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, value);
  if (ec != std::errc{} || ptr != end) return std::nullopt;
  return value;
}

bool allDigits(std::string_view text) {
  if (text.empty()) return false;
  for (char c : text)
    if (c < '0' || c > '9') return false;
  return true;
}

std::optional<DeviceSpec> parseSim(std::string_view rest, std::string* error) {
  DeviceSpec selection;
  selection.kind = DeviceSpec::Kind::Sim;
  std::string_view path = rest;
  // Options follow a '?' after the file name: a Windows path may hold '?'
  // itself (\\?\C:\...), so only the last path component is searched.
  const auto last_separator = rest.find_last_of("/\\");
  const auto name_start = last_separator == std::string_view::npos ? 0 : last_separator + 1;
  const auto question = rest.rfind('?');
  if (question != std::string_view::npos && question >= name_start) {
    path = rest.substr(0, question);
    std::string_view query = rest.substr(question + 1);
    while (!query.empty()) {
      const auto amp = query.find('&');
      const std::string_view item = query.substr(0, amp);
      query = amp == std::string_view::npos ? std::string_view{} : query.substr(amp + 1);
      const auto eq = item.find('=');
      const std::string_view key = item.substr(0, eq);
      if (key != kLatencyKey || eq == std::string_view::npos) {
        setError(error, "unknown simulator option '" + std::string(item) +
                            "' (the only one is latency-us=MICROSECONDS)");
        return std::nullopt;
      }
      const auto value = parseUnsigned(item.substr(eq + 1));
      if (!value || *value > static_cast<std::uint64_t>(kMaxSimLatency.count())) {
        setError(error, "latency-us takes a whole number of microseconds from 0 to " +
                            std::to_string(kMaxSimLatency.count()));
        return std::nullopt;
      }
      selection.latency = std::chrono::microseconds(static_cast<std::int64_t>(*value));
    }
  }
  if (path.empty()) {
    setError(error, "sim: needs the path of a simulated camera's state file "
                    "(create one with 'emberline sim init PATH')");
    return std::nullopt;
  }
  selection.sim_state = utf8Path(path);
  return selection;
}

class PlatformContext final : public DeviceContext {
 public:
  PlatformContext() : platform_(makePlatformDevices()) {}

  device::DeviceList& devices() override { return only_ ? *only_ : platform_->list(); }
  int persist(std::string*) override { return 0; }

  std::string searched() const override { return only_ ? only_id_ : platform_->searched(); }

  std::string describeOpenError(int error, const std::string& id) const override {
    return platform_->describeOpenError(error, id);
  }

  std::string cameraPath() const override { return only_id_; }

  // Narrows the context to the listed device whose id is `id`.
  void restrictTo(const std::string& id) {
    only_id_ = id;
    only_ = std::make_unique<device::SingleDeviceList>(platform_->list(), id);
  }

  int enumerate(std::vector<device::DeviceEntry>& out) { return platform_->list().enumerate(out); }
  const PlatformDevices& platform() const { return *platform_; }

 private:
  std::unique_ptr<PlatformDevices> platform_;
  std::string only_id_;
  std::unique_ptr<device::SingleDeviceList> only_;  // refers to platform_'s list
};

// The device list a simulated camera is reached through, repointed when the
// camera is read anew from its file.
class ForwardingList final : public device::DeviceList {
 public:
  void point(device::DeviceList& inner) { inner_ = &inner; }
  int enumerate(std::vector<device::DeviceEntry>& out) override { return inner_->enumerate(out); }
  std::shared_ptr<device::CaptureDevice> open(const device::DeviceEntry& entry, int* error) override {
    return inner_->open(entry, error);
  }

 private:
  device::DeviceList* inner_ = nullptr;
};

class SimContext final : public DeviceContext {
 public:
  SimContext(std::filesystem::path state, std::shared_ptr<sim::SimCamera> camera,
             std::chrono::microseconds latency)
      : state_(std::move(state)), latency_(latency) {
    is_simulated_ = true;
    attach(std::move(camera));
  }

  device::DeviceList& devices() override { return front_; }

  // A command that changed nothing the state file keeps leaves the file as it is.
  int persist(std::string* error) override {
    if (!camera_->changedSinceLoad()) return 0;
    std::string why;
    const int rc = camera_->save(state_, &why);
    if (rc != 0)
      setError(error, "cannot save the simulated camera to " + state_.string() + ": " +
                          (why.empty() ? errnoText(rc) : why));
    return rc;
  }

  int reload(std::string* error) override {
    std::string message;
    auto camera = sim::SimCamera::load(state_, &message);
    if (!camera) {
      setError(error, message.empty() ? "cannot read the simulated camera in " + state_.string() : message);
      return -EIO;
    }
    attach(std::move(camera));
    return 0;
  }

  std::string searched() const override { return "the simulated camera in " + state_.string(); }
  std::string cameraPath() const override { return state_.string(); }

  std::string describeOpenError(int error, const std::string&) const override {
    return "the simulated camera in " + state_.string() + " cannot be opened: " + errnoText(error);
  }

 private:
  struct Lists {
    sim::SimDeviceList sim;
    std::unique_ptr<DelayedDeviceList> delayed;  // refers to sim
  };

  void attach(std::shared_ptr<sim::SimCamera> camera) {
    auto lists = std::make_unique<Lists>();
    lists->sim.add(camera, "sim:" + state_.string());
    if (latency_.count() > 0)
      lists->delayed = std::make_unique<DelayedDeviceList>(lists->sim, latency_, platform::systemClock());
    front_.point(lists->delayed ? static_cast<device::DeviceList&>(*lists->delayed) : lists->sim);
    camera_ = std::move(camera);
    // Earlier lists stay: a device opened through one may still be in use.
    lists_.push_back(std::move(lists));
  }

  std::filesystem::path state_;
  std::chrono::microseconds latency_;
  std::shared_ptr<sim::SimCamera> camera_;
  std::vector<std::unique_ptr<Lists>> lists_;
  ForwardingList front_;
};

std::unique_ptr<DeviceContext> openSim(const DeviceSpec& selection, std::string* error) {
  std::error_code ec;
  if (!std::filesystem::exists(selection.sim_state, ec)) {
    setError(error, "there is no simulated camera at " + selection.sim_state.string() +
                        " (create one with 'emberline sim init " + selection.sim_state.string() + "')");
    return nullptr;
  }
  if (sim::isReplayFile(selection.sim_state)) return openReplayContext(selection.sim_state, error);
  std::string message;
  auto camera = sim::SimCamera::load(selection.sim_state, &message);
  if (!camera) {
    setError(error, message.empty() ? "cannot read the simulated camera in " + selection.sim_state.string()
                                    : message);
    return nullptr;
  }
  return std::make_unique<SimContext>(selection.sim_state, std::move(camera), selection.latency);
}

std::unique_ptr<DeviceContext> openPlatform(const DeviceSpec& selection, std::string* error) {
  auto context = std::make_unique<PlatformContext>();
  if (selection.kind == DeviceSpec::Kind::Auto) return context;

  std::vector<device::DeviceEntry> entries;
  const int rc = context->enumerate(entries);
  if (rc != 0) {
    setError(error, "cannot list the video-capture devices: " + errnoText(rc));
    return nullptr;
  }

  if (selection.kind == DeviceSpec::Kind::Index) {
    if (selection.index >= entries.size()) {
      setError(error, "there is no video-capture device " + selection.path + " ('emberline list' shows " +
                          std::to_string(entries.size()) + (entries.size() == 1 ? " device)" : " devices)"));
      return nullptr;
    }
    context->restrictTo(entries[selection.index].id);
    return context;
  }

  const auto id = context->platform().findByPath(entries, selection.path, error);
  if (!id) return nullptr;
  context->restrictTo(*id);
  return context;
}

}  // namespace

std::optional<DeviceSpec> parseDeviceSpec(std::string_view text, std::string* error) {
  if (text.empty()) return DeviceSpec{};
  if (text.substr(0, kSimPrefix.size()) == kSimPrefix) return parseSim(text.substr(kSimPrefix.size()), error);
  if (allDigits(text)) {
    // However large, an index past the list is a device that is not there.
    const auto value = parseUnsigned(text);
    DeviceSpec selection;
    selection.kind = DeviceSpec::Kind::Index;
    selection.index = value && *value <= 0xFFFF ? static_cast<std::size_t>(*value) : SIZE_MAX;
    selection.path = std::string(text);
    return selection;
  }
  if (isDevicePath(text)) {
    DeviceSpec selection;
    selection.kind = DeviceSpec::Kind::Path;
    selection.path = std::string(text);
    return selection;
  }
  setError(error, "'" + std::string(text) +
                      "' is not a device: give a device path such as " + std::string(devicePathExample()) +
                      ", an index from 'emberline list', or sim:PATH for a simulated camera");
  return std::nullopt;
}

std::unique_ptr<DeviceContext> openDeviceContext(const DeviceSpec& selection, std::string* error) {
  if (selection.kind == DeviceSpec::Kind::Sim) return openSim(selection, error);
  return openPlatform(selection, error);
}

}  // namespace emberline::frontend
