#pragma once

// The texts of the dialog's stage labels, which the command line shows in
// place of the labels themselves.

#include <string_view>

#include "core/workflows/strings.h"

namespace emberline::cli {

// The caption the dialog shows on control `control_id` in `language`:
// "Erase and Check", "Burning", "Verify" (擦除, 烧录, 校验) for 1007/1009/1011,
// "OK!" for 1008/1010/1012; empty for any other control.
std::string_view stageLabel(int control_id, workflows::Language language);

// True for the three "OK!" labels.
bool isStageDone(int control_id);

}  // namespace emberline::cli
