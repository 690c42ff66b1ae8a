// SimCamera::save and SimCamera::load: the camera's state to and from one file.

#include <cstring>

#include "sim/camera_core.h"
#include "sim/file_io.h"
#include "sim/sim_camera.h"
#include "sim/state_file.h"

namespace emberline::sim {

namespace {
constexpr std::size_t kLargestStateFile = 64u << 20;  // 16 MB of flash and change
}

int SimCamera::save(const std::filesystem::path& path) const {
  SavedState state;
  {
    auto& core = *state_->core;
    std::lock_guard lock(core.mutex);
    state.settings = core.settings;
    state.registers = core.dsp.registers();
    state.memory7 = core.dsp.memory7();
    state.memory9 = core.dsp.memory9();
    const auto flash = core.flash.content();
    state.flash.assign(flash.begin(), flash.end());
    state.flash_status = core.flash.status();
  }
  return writeFileAtomically(path, encodeState(state));
}

std::shared_ptr<SimCamera> SimCamera::load(const std::filesystem::path& path, std::string* error) {
  const auto fail = [&](const std::string& what) -> std::shared_ptr<SimCamera> {
    if (error) *error = path.string() + ": " + what;
    return nullptr;
  };
  std::vector<std::uint8_t> bytes;
  if (const int result = readWholeFile(path, bytes, kLargestStateFile); result != 0) {
    return fail(std::string("cannot be read: ") + std::strerror(-result));
  }
  SavedState state;
  std::string what;
  if (!decodeState(bytes, state, what)) return fail(what);

  auto camera = std::make_shared<SimCamera>(state.settings);
  auto& core = *camera->state_->core;
  std::lock_guard lock(core.mutex);
  core.dsp.registers() = std::move(state.registers);
  core.dsp.memory7() = std::move(state.memory7);
  core.dsp.memory9() = std::move(state.memory9);
  core.flash.setContent(state.flash);
  core.flash.setStatus(state.flash_status);
  return camera;
}

}  // namespace emberline::sim
