#pragma once

// The program's version. The release number is set once, in project() of the
// top CMakeLists.txt; the commit comes from git when the program is built
// from a checkout.

#include <string_view>

namespace emberline::version {

// "1.0.0": what the packages, the About boxes and the Windows version block
// carry.
std::string_view release();

// This build: the release, followed by "+g" and the commit when it was built
// from a git checkout ("1.0.0+g1a2b3c4d5e6f"), and ".dirty" when tracked
// files differed from that commit. --version, every --json object and every
// record line carry it.
std::string_view program();

}  // namespace emberline::version
