#pragma once

// A simulated camera made from a trace of a real one: the trace's requests are
// decoded as the camera's DSP would take them (register reads and writes, the
// SPI port's commands, block reads and writes of the flash, memory-space-9
// reads, the device information record), and the camera keeps the last word
// the trace has on each of them: the chip id, the device kind and mode byte,
// the flash part's identification, its status register, every register,
// memory byte and flash byte the trace read or wrote. What the trace never
// touched stays as a new simulated camera has it, the flash blank. Failed
// requests teach nothing and are skipped: the camera models the traced one's
// content, not its faults (a replaying camera reproduces those exactly).

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "sim/sim_camera.h"
#include "sim/trace_format.h"

namespace emberline::sim {

struct TracedCamera {
  std::shared_ptr<SimCamera> camera;
  // What the trace told, for the person who made it.
  std::optional<std::uint8_t> chip_id;
  std::optional<std::array<std::uint8_t, 3>> flash_id;
  std::optional<std::uint8_t> flash_status;
  std::size_t flash_bytes = 0;  // flash bytes the trace read, wrote or erased
  std::size_t registers = 0;    // registers it read or wrote (the SPI port's own excepted)
  std::size_t memory9_bytes = 0;
};

// `requests` are one device's, in their order (see requestsOfOneDevice);
// `trace` names their file in messages. False, with "<file>:<line>: ..." in
// `error`, when a request contradicts the protocol (a payload of the wrong
// size for its control) or an answer has no request before it that asked
// for it (a trace cut or reordered).
bool cameraFromTrace(const Trace& trace, const std::vector<TracedRequest>& requests, TracedCamera& out,
                     std::string& error);

}  // namespace emberline::sim
