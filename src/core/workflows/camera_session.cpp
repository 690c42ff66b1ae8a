#include "core/workflows/camera_session.h"

#include <cerrno>
#include <cstdlib>

#include "core/workflows/device_error_text.h"
#include "core/workflows/flash_layout.h"

namespace emberline::workflows {

CameraSession::CameraSession(device::DeviceList& devices, UiPort& ui, device::Clock& clock)
    : devices_(devices), ui_(ui), clock_(clock), backend_(library_devices_, &channel_), library_(backend_, clock_) {}

CameraSession::~CameraSession() = default;

int CameraSession::DiscoverCamera() {
  // The chip id the camera answered with is the last one read.
  return device::DiscoverCamera(devices_, channel_, discovery_output_, &chip_id_);
}

void CameraSession::setStopToken(device::StopToken stop) {
  stop_ = stop;
  library_.setStopToken(stop);
}

int CameraSession::stopped(WorkStage stage, std::optional<std::uint32_t> offset, std::string* failure,
                           bool restore_write_protect) {
  // A stopped burn leaves the flash open to writes only where the flash is
  // still busy with its own erase; everywhere else protection goes back on,
  // and a failure to do so is said in the same message.
  std::string text = interruptedText(stage, offset);
  if (restore_write_protect && canRestoreWriteProtect(stage)) {
    const std::string not_restored = restoreWriteProtect(/*show=*/false);
    if (!not_restored.empty()) text += "\n" + not_restored;
  }
  return fail(FailureKind::Interrupted, text, failure);
}

int CameraSession::flashNotReady(WorkStage stage, std::string* failure) {
  // A wait cut short by a refused status request never saw the flash busy:
  // the camera is what failed.
  const bool refused = library_.readyWaitRequestFailed();
  return fail(refused ? requestFailure() : FailureKind::FlashBusy, flashStayedBusyText(stage, refused), failure);
}

bool CameraSession::ReadChipId(std::uint8_t& chip_id) {
  if (!device::ReadChipId(channel_, chip_id)) return false;
  chip_id_ = chip_id;
  return true;
}

bool CameraSession::readBlock(std::uint32_t offset, std::span<std::uint8_t, 8> block) {
  return device::ReadFlashBlock(channel_, high_bank_flag_, static_cast<std::uint8_t>(offset >> 8),
                                static_cast<std::uint8_t>(offset), block);
}

bool CameraSession::writeBlock(std::uint32_t offset, std::span<const std::uint8_t, 8> block) {
  return device::WriteFlashBlock(channel_, high_bank_flag_, block,
                                 static_cast<std::uint8_t>(offset >> 8),
                                 static_cast<std::uint8_t>(offset));
}

std::string CameraSession::blockFailure(const char* what, std::uint32_t offset) const {
  return std::string(what) + " Failed at " + formatOffset(offset) + "! " +
         describeDeviceError(channel_.last_error);
}

namespace {

bool isUnplugError(int error) { return std::abs(error) == ENODEV || std::abs(error) == ENXIO; }

}  // namespace

bool CameraSession::cameraGone() const {
  return isUnplugError(channel_.last_error) || isUnplugError(backend_.channel().last_error);
}

FailureKind CameraSession::requestFailure() const {
  return cameraGone() ? unplugged_kind_ : FailureKind::Refused;
}

FailureKind CameraSession::initFailure(int init) const {
  // The camera was found moments ago: a library that finds no device means
  // it has left since.
  return init == serialflash::kInitNoDevice ? unplugged_kind_ : requestFailure();
}

int CameraSession::fail(FailureKind kind, const std::string& text, std::string* failure, std::string detail) {
  // A device that failed because the camera left the bus: that is what the
  // operator needs to hear about.
  const bool device_failure =
      kind == FailureKind::Refused || kind == FailureKind::Protected || kind == FailureKind::FlashBusy;
  if (device_failure && cameraGone()) kind = unplugged_kind_;
  last_failure_ = {kind, text, std::move(detail)};
  for (const auto* device : {channel_.device.get(), backend_.channel().device.get()}) {
    if (!last_failure_.detail.empty()) break;
    if (device != nullptr) last_failure_.detail = device->failureDetail();
  }
  ui_.showFailure(last_failure_);
  if (failure != nullptr) *failure = text;
  return 0;
}

}  // namespace emberline::workflows
