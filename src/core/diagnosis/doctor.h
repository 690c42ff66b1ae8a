#pragma once

// `emberline doctor`'s checks, in the order they are shown: the system's
// (driver, video devices, access, camera privacy), the search for the camera,
// then the camera's own (who else holds it, where it is plugged in, its
// extension unit and control lengths, chip, flash part, write protection,
// firmware version, request timing). Every check on the camera is a read: no
// flash byte is written and write protection is never touched.

#include <chrono>
#include <cstddef>
#include <string>
#include <vector>

#include "core/diagnosis/check.h"
#include "core/diagnosis/facts.h"
#include "core/workflows/strings.h"

namespace emberline::device {
class Clock;
class DeviceList;
}  // namespace emberline::device

namespace emberline::diagnosis {

using workflows::Language;

// The platform's checks, before any camera is asked anything.
std::vector<Check> systemChecks(const SystemFacts& facts, Language language);

// How the search for the camera went.
struct CameraSearch {
  int enumerate_error = 0;             // the device list could not be read (negative errno)
  std::size_t listed = 0;              // devices listed
  std::vector<std::string> answering;  // "path (name)" of each device that answered the vendor unit
  std::vector<std::string> problems;   // why other devices could not be opened or asked, one sentence each
  std::string searched;                // what was searched, e.g. "the video-capture devices in /sys/class/video4linux"
};
// Ok for exactly one camera; Failed for none or several (a person must name one).
Check cameraCheck(const CameraSearch& search, Language language);

// `busy`: another emberline holds the camera (`holder` its process id, 0 when unknown).
Check lockCheck(bool busy, long holder, Language language);

// Who else has the camera open, where it is plugged in.
std::vector<Check> cameraPlatformChecks(const CameraFacts& facts, Language language);

// Register reads the timing check makes (a SET and a GET each).
inline constexpr std::size_t kTimingReads = 16;

// The checks that ask the camera: `devices` lists this camera alone. Only
// reads: the chip id, the device information, the flash's identification and
// status register, memory-space reads of the version block and the
// configuration byte, and kTimingReads reads of the chip id, each timed with
// `clock`, which also paces the library's waits.
std::vector<Check> cameraChecks(device::DeviceList& devices, const CameraFacts& facts, device::Clock& clock,
                                Language language);

// The timing check from the durations of the register reads that succeeded
// and the number that failed.
Check timingCheck(std::vector<std::chrono::microseconds> reads, std::size_t failed, Language language);

}  // namespace emberline::diagnosis
