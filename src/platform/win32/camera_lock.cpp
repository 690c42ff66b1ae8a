// Camera locks on Windows. A real camera: a machine-wide mutex named after
// its device path (device_lock.cpp). A simulated camera: a byte-range lock
// on a file named after its state file's identity, so that hard links are
// one camera (sim_camera_lock.cpp). Both are dropped by the system when
// their holder dies, and both tell a refused caller the holder's process id.

#include "platform/camera_lock.h"
#include "platform/win32/device_lock.h"

namespace emberline::platform {

LockAttempt lockSimulatedCamera(const std::string& state_file);  // sim_camera_lock.cpp

LockAttempt lockCamera(const std::string& camera_path, bool simulated) {
  return simulated ? lockSimulatedCamera(camera_path) : win32::lockDevice(camera_path);
}

std::string busyText(long holder) {
  return holder > 0 ? "camera busy: used by process " + std::to_string(holder)
                    : std::string("camera busy: used by another process");
}

}  // namespace emberline::platform
