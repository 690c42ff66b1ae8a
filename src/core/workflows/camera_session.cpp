#include "core/workflows/camera_session.h"

#include "core/workflows/device_error_text.h"
#include "core/workflows/flash_layout.h"

namespace emberline::workflows {

CameraSession::CameraSession(device::DeviceList& devices, UiPort& ui, device::Clock& clock)
    : devices_(devices), ui_(ui), clock_(clock), backend_(library_devices_, &channel_), library_(backend_, clock_) {}

CameraSession::~CameraSession() = default;

int CameraSession::DiscoverCamera() {
  return device::DiscoverCamera(devices_, channel_, discovery_output_);
}

void CameraSession::setStopToken(device::StopToken stop) {
  stop_ = stop;
  library_.setStopToken(stop);
}

int CameraSession::stopped(WorkStage stage, std::optional<std::uint32_t> offset, std::string* failure,
                           bool restore_write_protect) {
  fail(interruptedText(stage, offset), failure);
  // A stopped burn leaves the flash open to writes only where the flash is
  // still busy with its own erase; everywhere else protection goes back on.
  if (restore_write_protect && canRestoreWriteProtect(stage) && EnableFlashWriteProtect() == 0)
    ui_.showMessage("Enable Flash Write Protect Failed!");
  return 0;
}

int CameraSession::flashNotReady(WorkStage stage, std::string* failure) {
  return fail(flashStayedBusyText(stage, library_.readyWaitRequestFailed()), failure);
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

int CameraSession::fail(const std::string& text, std::string* failure) {
  ui_.showMessage(text);
  if (failure != nullptr) *failure = text;
  return 0;
}

}  // namespace emberline::workflows
