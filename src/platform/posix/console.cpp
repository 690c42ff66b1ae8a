#include <unistd.h>

#include "platform/console.h"

namespace emberline::platform {

void prepareStandardStreams() {}

bool isTerminal(std::FILE* stream) { return ::isatty(::fileno(stream)) != 0; }

std::vector<std::string> utf8Arguments(int argc, char** argv) { return {argv, argv + argc}; }

}  // namespace emberline::platform
