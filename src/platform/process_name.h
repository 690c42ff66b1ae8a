#pragma once

// The program a process runs, for telling an operator who holds a camera.

#include <string>

namespace emberline::platform {

// The file name of the program process `pid` runs ("emberline",
// "emberline-gui.exe"); empty when the system does not tell (no such
// process, not allowed to ask).
std::string processName(long pid);

}  // namespace emberline::platform
