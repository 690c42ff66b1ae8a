#pragma once

// The lock of a real camera on Windows, by the camera's identity: its device
// path without regard to case. One lock for every process of the machine,
// whatever its user, session or architecture. Windows-only.

#include <string>

#include "platform/camera_lock.h"

namespace emberline::platform::win32 {

// "Global\Emberline.Camera.<SHA-256 of the upper-cased path, hex>": the
// name of the machine-wide mutex that is the lock.
std::wstring deviceLockName(const std::string& device_path);

// Takes the lock, never waiting. A lock whose holder died is free at once;
// a refused caller learns the holder's process id from a pipe the holder
// serves while it holds the lock.
LockAttempt lockDevice(const std::string& device_path);

}  // namespace emberline::platform::win32
