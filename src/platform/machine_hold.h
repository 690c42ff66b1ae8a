#pragma once

// Keeping the machine at work while a camera's flash is being written: a
// burn or an erase cut off by sleep, a shutdown or a log-off leaves a camera
// that no longer starts. While a hold lives the system does not go to sleep,
// and a shutdown or log-off asked for meanwhile is held off with the hold's
// reason (Windows) or delayed (Linux, as long as logind allows), and the
// holder is told so it can stop at its next safe point.
//
// Windows: SetThreadExecutionState, and a hidden window that answers the
// session's end. Linux: a systemd-logind "sleep" block inhibitor and a
// "shutdown" delay inhibitor over D-Bus; nothing where logind does not run.

#include <functional>
#include <memory>
#include <string>

namespace emberline::platform {

class MachineHold {
 public:
  virtual ~MachineHold() = default;
};

struct HoldRequest {
  // What the system shows as the reason, "Burning camera firmware".
  std::string why;
  // Called once when a shutdown or log-off is asked for while the hold
  // lives, possibly on another thread. Empty: the work simply runs on for as
  // long as the system waits. A program that has no window of its own to
  // answer the session's end (the command line) asks for this.
  std::function<void()> on_shutdown;
};

// Never fails: where the system offers no such thing, the hold does
// nothing. Release it on the thread that took it (Windows keeps the
// execution state per thread).
std::unique_ptr<MachineHold> holdMachine(HoldRequest request);

// The reason a hold gives, in English: both systems show it as it stands.
inline constexpr const char* kBurningReason = "Emberline is writing a camera's firmware";

}  // namespace emberline::platform
