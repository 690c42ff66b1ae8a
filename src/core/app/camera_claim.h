#pragma once

// One process per camera, for the dialog too: every operation that talks to
// the camera (the start-up's chip-id read included) runs under a claim that
// holds the camera's lock, taken by the face from the platform. A camera
// another process holds is not opened; the claim remembers who holds it, so
// that the operator is told rather than shown "no camera".

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace emberline::app {

struct CameraHolder {
  long pid = 0;          // 0 when the platform cannot tell
  std::string program;   // its program's name; empty when unknown
};

class CameraClaim {
 public:
  virtual ~CameraClaim() = default;
  // Who held a camera this operation wanted; nullopt when none was refused.
  virtual std::optional<CameraHolder> busyHolder() const = 0;
};

// Called on the worker at the start of each camera operation; the locks go
// when the claim does, at the operation's end.
using ClaimCamera = std::function<std::unique_ptr<CameraClaim>()>;

}  // namespace emberline::app
