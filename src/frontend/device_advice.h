#pragma once

// What an operator is told when a camera cannot be opened or used: what is
// wrong and what to do, in the operator's language and in this platform's
// terms (a udev rule on Linux, the camera privacy setting on Windows). The
// core knows only the kind of error, a negative errno of the device layer;
// the wording of the fix is here, one file per platform
// (device_advice_<os>.cpp). Both dialogs show these texts.

#include <string>

#include "core/workflows/strings.h"

namespace emberline::device {
class DeviceList;
}

namespace emberline::frontend {

struct DeviceSpec;

enum class DeviceProblem {
  NoCamera,      // nothing answered: no camera plugged in, or none of the family
  NotConnected,  // the camera is not there any more, or never was (ENOENT, ENODEV, ENXIO)
  AccessDenied,  // the system refused access to it (EACCES, EPERM)
  InUse,         // another program holds it (EBUSY)
  NotACamera,    // the device answers no request of the family (ENOTTY, ENOPROTOOPT)
  Other,
};

// The problem an errno of the device layer stands for (either sign).
DeviceProblem deviceProblem(int error);

// What the operator can do about `problem`: one or two sentences in this
// platform's terms.
std::string deviceAdvice(DeviceProblem problem, workflows::Language language);

// The part of deviceAdvice that differs between platforms (no camera, not
// connected, access denied, in use); empty for the rest. One per platform.
std::string platformAdvice(DeviceProblem problem, workflows::Language language);

// "Details: " in `language`: the line for whoever files a bug (device name,
// the system's own error code) follows it.
std::string detailsLabel(workflows::Language language);

// The text below "Can't find video device!": what to do, from what the
// devices of `devices` did when they were opened, and a details line naming
// the first device that could not be opened and the system's code for it.
std::string noCameraAdvice(device::DeviceList& devices, workflows::Language language);

// The message when the camera named with --device cannot be set up at
// start-up; `detail` is the reason the device selection gave, kept as the
// details line. Speaks of the station, never of the command line.
std::string deviceSetupText(const DeviceSpec& selection, const std::string& detail, workflows::Language language);

}  // namespace emberline::frontend
