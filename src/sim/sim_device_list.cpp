#include <cerrno>

#include "sim/sim_camera.h"

namespace emberline::sim {

namespace {

constexpr const char* kIdPrefix = "sim:";

// A webcam without the vendor unit: it opens, but has nothing to talk to.
class WebcamHandle final : public device::CaptureDevice {
 public:
  std::optional<std::uint32_t> findExtensionUnitNode(const device::Guid&) override {
    return std::nullopt;
  }
  int control(const device::ControlRequest&) override { return -ENOENT; }
};

}  // namespace

struct SimDeviceList::Slot {
  enum class Type { Camera, Webcam, Unopenable };
  Type type = Type::Camera;
  std::shared_ptr<SimCamera> camera;
  std::string name;
  std::optional<std::string> path;  // nullopt: "sim://<n>"
  bool name_readable = true;
  bool path_readable = true;
};

void SimDeviceList::add(std::shared_ptr<SimCamera> camera) {
  auto slot = std::make_shared<Slot>();
  slot->name = camera->settings().name;
  slot->camera = std::move(camera);
  slots_.push_back(std::move(slot));
}

void SimDeviceList::add(std::shared_ptr<SimCamera> camera, std::string path) {
  add(std::move(camera));
  slots_.back()->path = std::move(path);
}

void SimDeviceList::addWebcam(std::string name) {
  auto slot = std::make_shared<Slot>();
  slot->type = Slot::Type::Webcam;
  slot->name = std::move(name);
  slots_.push_back(std::move(slot));
}

void SimDeviceList::addUnopenable(std::string name) {
  auto slot = std::make_shared<Slot>();
  slot->type = Slot::Type::Unopenable;
  slot->name = std::move(name);
  slots_.push_back(std::move(slot));
}

void SimDeviceList::addWithoutName(std::shared_ptr<SimCamera> camera) {
  add(std::move(camera));
  slots_.back()->name_readable = false;
}

void SimDeviceList::addWithoutPath(std::shared_ptr<SimCamera> camera) {
  add(std::move(camera));
  slots_.back()->path_readable = false;
}

void SimDeviceList::setEnumerateError(int error) { enumerate_error_ = error; }

// A camera that vanished is unplugged: it is no longer listed.
int SimDeviceList::enumerate(std::vector<device::DeviceEntry>& out) {
  out.clear();
  if (enumerate_error_ != 0) return enumerate_error_;
  for (std::size_t i = 0; i < slots_.size(); ++i) {
    const Slot& slot = *slots_[i];
    if (slot.camera && !slot.camera->present()) continue;
    device::DeviceEntry entry;
    entry.id = kIdPrefix + std::to_string(i);
    if (slot.name_readable) entry.display_name = slot.name;
    if (slot.path_readable) entry.path = slot.path.value_or("sim://" + std::to_string(i));
    out.push_back(std::move(entry));
  }
  return 0;
}

std::shared_ptr<device::CaptureDevice> SimDeviceList::open(const device::DeviceEntry& entry,
                                                           int* error) {
  const auto fail = [&](int code) -> std::shared_ptr<device::CaptureDevice> {
    if (error) *error = code;
    return nullptr;
  };
  const std::string prefix = kIdPrefix;
  if (entry.id.rfind(prefix, 0) != 0) return fail(-ENODEV);
  const std::string number = entry.id.substr(prefix.size());
  if (number.empty() || number.size() > 9 ||
      number.find_first_not_of("0123456789") != std::string::npos) {
    return fail(-ENODEV);
  }
  const std::size_t index = std::stoul(number);
  if (index >= slots_.size()) return fail(-ENODEV);
  const Slot& slot = *slots_[index];
  switch (slot.type) {
    case Slot::Type::Unopenable:
      return fail(-EACCES);
    case Slot::Type::Webcam:
      return std::make_shared<WebcamHandle>();
    case Slot::Type::Camera:
      break;
  }
  if (!slot.camera->present()) return fail(-ENODEV);
  return slot.camera->open();
}

}  // namespace emberline::sim
