#pragma once

// emberline-gui --station IMAGE [--record FILE] [--device sim-dir:DIR]: the
// station window until it is closed; the program's exit status.

#include <string>

#include "core/workflows/strings.h"

namespace emberline::gui {

int runStationWindow(const std::string& image, const std::string& record, const std::string& device,
                     workflows::Language language);

}  // namespace emberline::gui
