#pragma once

// The texts of the dialog's stage labels, which the command line shows in
// place of the labels themselves.

#include <string_view>

namespace emberline::cli {

// "Erase and Check", "Burning", "Verify" for 1007/1009/1011, "OK!" for
// 1008/1010/1012; empty for any other control.
std::string_view stageLabel(int control_id);

// True for the three "OK!" labels.
bool isStageDone(int control_id);

}  // namespace emberline::cli
