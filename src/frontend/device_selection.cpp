#include "frontend/device_selection.h"

#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <system_error>
#include <utility>
#include <vector>

#include "core/device/device_filter.h"
#include "core/device/transport.h"
#include "frontend/delayed_device_list.h"
#include "platform/linux/linux_device_list.h"
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
  const auto question = rest.rfind('?');
  if (question != std::string_view::npos) {
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
  selection.sim_state = std::filesystem::path(std::string(path));
  return selection;
}

std::filesystem::path envPath(const char* name, const char* fallback) {
  const char* value = std::getenv(name);
  return (value && *value) ? std::filesystem::path(value) : std::filesystem::path(fallback);
}

// The same node whatever link or spelling names it.
std::string canonicalText(const std::string& path) {
  std::error_code ec;
  auto canonical = std::filesystem::canonical(path, ec);
  return ec ? path : canonical.string();
}

class PlatformContext final : public DeviceContext {
 public:
  PlatformContext(std::filesystem::path sysfs_root, std::filesystem::path dev_root)
      : sysfs_root_(sysfs_root), all_(std::move(sysfs_root), std::move(dev_root)) {}

  device::DeviceList& devices() override { return only_ ? *only_ : static_cast<device::DeviceList&>(all_); }
  int persist(std::string*) override { return 0; }

  std::string searched() const override {
    if (only_) return only_id_;
    return "the video-capture devices in " + (sysfs_root_ / "class/video4linux").string();
  }

  std::string describeOpenError(int error, const std::string& id) const override {
    return platform::linux_uvc::describeError(error, id);
  }

  std::string cameraPath() const override { return only_id_; }

  // Narrows the context to the listed device whose id is `id`.
  void restrictTo(const std::string& id) {
    only_id_ = id;
    only_ = std::make_unique<device::SingleDeviceList>(all_, id);
  }

  int enumerate(std::vector<device::DeviceEntry>& out) { return all_.enumerate(out); }

 private:
  std::filesystem::path sysfs_root_;
  platform::linux_uvc::LinuxDeviceList all_;
  std::string only_id_;
  std::unique_ptr<device::SingleDeviceList> only_;  // refers to all_, so declared after it
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
    const int rc = camera_->save(state_);
    if (rc != 0)
      setError(error, "cannot save the simulated camera to " + state_.string() + ": " + errnoText(rc));
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
    if (latency_.count() > 0) lists->delayed = std::make_unique<DelayedDeviceList>(lists->sim, latency_);
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
  auto context = std::make_unique<PlatformContext>(envPath("EMBERLINE_SYSFS_ROOT", "/sys"),
                                                   envPath("EMBERLINE_DEV_ROOT", "/dev"));
  if (selection.kind == DeviceSpec::Kind::Auto) return context;

  std::vector<device::DeviceEntry> entries;
  const int rc = context->enumerate(entries);
  if (rc != 0) {
    setError(error, "cannot list the video-capture devices: " + errnoText(rc));
    return nullptr;
  }

  if (selection.kind == DeviceSpec::Kind::Index) {
    if (selection.index >= entries.size()) {
      setError(error, "there is no video-capture device " + std::to_string(selection.index) + " ('emberline list' shows " +
                          std::to_string(entries.size()) + (entries.size() == 1 ? " device)" : " devices)"));
      return nullptr;
    }
    context->restrictTo(entries[selection.index].id);
    return context;
  }

  std::error_code ec;
  if (!std::filesystem::exists(selection.path, ec)) {
    setError(error, selection.path + " does not exist ('emberline list' shows the video-capture devices)");
    return nullptr;
  }
  const std::string wanted = canonicalText(selection.path);
  for (const auto& entry : entries) {
    if (entry.id == selection.path || canonicalText(entry.id) == wanted) {
      context->restrictTo(entry.id);
      return context;
    }
  }
  setError(error, selection.path + " is not a video-capture device ('emberline list' shows them)");
  return nullptr;
}

}  // namespace

std::optional<DeviceSpec> parseDeviceSpec(std::string_view text, std::string* error) {
  if (text.empty()) return DeviceSpec{};
  if (text.substr(0, kSimPrefix.size()) == kSimPrefix) return parseSim(text.substr(kSimPrefix.size()), error);
  if (allDigits(text)) {
    const auto value = parseUnsigned(text);
    if (!value || *value > 0xFFFF) {
      setError(error, "device index " + std::string(text) + " is out of range");
      return std::nullopt;
    }
    DeviceSpec selection;
    selection.kind = DeviceSpec::Kind::Index;
    selection.index = static_cast<std::size_t>(*value);
    return selection;
  }
  if (text.front() == '/') {
    DeviceSpec selection;
    selection.kind = DeviceSpec::Kind::Path;
    selection.path = std::string(text);
    return selection;
  }
  setError(error, "'" + std::string(text) +
                      "' is not a device: give a device path such as /dev/video2, an index from "
                      "'emberline list', or sim:PATH for a simulated camera");
  return std::nullopt;
}

std::unique_ptr<DeviceContext> openDeviceContext(const DeviceSpec& selection, std::string* error) {
  if (selection.kind == DeviceSpec::Kind::Sim) return openSim(selection, error);
  return openPlatform(selection, error);
}

}  // namespace emberline::frontend
