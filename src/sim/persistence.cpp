// SimCamera::save and SimCamera::load: the camera's state to and from one file.


#include "platform/file_replacement.h"
#include "sim/camera_core.h"
#include "sim/file_io.h"
#include "sim/sim_camera.h"
#include "sim/state_file.h"

namespace emberline::sim {

namespace {

constexpr std::size_t kLargestStateFile = 64u << 20;  // 16 MB of flash and change

// The saved form with the SPI port's passing state left out, for telling
// whether anything kept has changed.
std::vector<std::uint8_t> comparable(SavedState state) {
  for (std::size_t address = 0; address < state.registers.size(); ++address) {
    if (isSpiShiftRegister(static_cast<std::uint16_t>(address))) state.registers[address] = 0;
  }
  return encodeState(state);
}

}  // namespace

SavedState CameraCore::snapshot() const {
  SavedState state;
  state.settings = settings;
  state.faults = faults.plan();
  state.registers = dsp.registers();
  state.memory9 = dsp.memory9();
  const auto content = flash.content();
  state.flash.assign(content.begin(), content.end());
  state.flash_status = flash.status();
  return state;
}

int SimCamera::save(const std::filesystem::path& path, std::string* why) const {
  SavedState state;
  {
    auto& core = *state_->core;
    std::lock_guard lock(core.mutex);
    state = core.snapshot();
  }
  // As an export is written: whole or not at all, a link followed, the
  // file's mode and owner kept; a device or FIFO in its place is refused.
  platform::FileError error;
  auto file = platform::FileReplacement::begin(path, &error, platform::ReplacementTargets::RegularOnly);
  if (file && file->commit(encodeState(state), &error)) return 0;
  if (why) *why = error.why;
  return error.code > 0 ? -error.code : -EIO;
}

bool SimCamera::changedSinceLoad() const {
  if (state_->as_loaded.empty()) return true;
  SavedState state;
  {
    auto& core = *state_->core;
    std::lock_guard lock(core.mutex);
    state = core.snapshot();
  }
  return comparable(std::move(state)) != state_->as_loaded;
}

std::shared_ptr<SimCamera> SimCamera::load(const std::filesystem::path& path, std::string* error) {
  const auto fail = [&](const std::string& what) -> std::shared_ptr<SimCamera> {
    if (error) *error = path.string() + ": " + what;
    return nullptr;
  };
  std::vector<std::uint8_t> bytes;
  std::string what;
  if (!readRegularFile(path, bytes, kLargestStateFile, what)) return fail(what);
  SavedState state;
  if (!decodeState(bytes, state, what)) return fail(what);

  auto camera = std::make_shared<SimCamera>(state.settings);
  auto& core = *camera->state_->core;
  std::lock_guard lock(core.mutex);
  core.dsp.registers() = std::move(state.registers);
  core.dsp.memory9() = std::move(state.memory9);
  core.dsp.updateWriteProtectPin();
  core.flash.setContent(state.flash);
  core.flash.setStatus(state.flash_status);
  core.installFaults(state.faults);
  camera->state_->as_loaded = comparable(core.snapshot());
  return camera;
}

}  // namespace emberline::sim
