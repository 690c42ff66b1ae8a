#pragma once

// One process per camera: an advisory lock held for a whole command, so that
// a second process on the same camera is refused at once instead of
// interleaving its requests with the first one's. Released when the object
// goes (or the process dies, whatever kills it).

#include <memory>
#include <string>

namespace emberline::platform {

class CameraLock {
 public:
  virtual ~CameraLock() = default;
};

struct LockAttempt {
  enum class State {
    Taken,  // `lock` holds the camera
    Busy,   // another process holds it; `holder` is its id when known (0 otherwise)
    Error,  // the lock could not be tried (`error`); the camera was not taken
  };
  State state = State::Error;
  std::unique_ptr<CameraLock> lock;
  long holder = 0;
  std::string error;
};

// Locks the camera whose device node (a real camera) or state file (a
// simulated one) is `camera_path`. Never waits for the holder.
LockAttempt lockCamera(const std::string& camera_path, bool simulated);

// "camera busy: used by process N" (or "... by another process" when the
// holder is not known).
std::string busyText(long holder);

}  // namespace emberline::platform
