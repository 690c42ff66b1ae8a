#pragma once

// What the operator reads when the camera chosen on the command line cannot
// be set up: what is wrong and what to do about it from the station, in the
// dialog's language.

#include <QString>

#include <string>

#include "core/workflows/strings.h"
#include "frontend/device_selection.h"

namespace emberline::gui {

// `detail` is the reason the device selection gave.
QString deviceSetupText(const frontend::DeviceSpec& selection, const std::string& detail,
                        workflows::Language language);

}  // namespace emberline::gui
