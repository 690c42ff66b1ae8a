#pragma once

// The process's standard streams and command line, the same on every
// platform: UTF-8 text in, UTF-8 bytes out, nothing translated.

#include <cstdio>
#include <string>
#include <vector>

namespace emberline::platform {

// Call first thing in main: on Windows puts the standard streams in binary
// mode (no CR before LF in JSON, traces or images) and makes the console
// show UTF-8. Nothing to do elsewhere.
void prepareStandardStreams();

// Whether `stream` is a terminal a person watches (not a file, pipe or NUL).
bool isTerminal(std::FILE* stream);

// The command line as UTF-8, program name first. On Windows it is taken
// from the wide command line: main's argv holds the ANSI code page, which
// has no room for a Chinese file name.
std::vector<std::string> utf8Arguments(int argc, char** argv);

}  // namespace emberline::platform
