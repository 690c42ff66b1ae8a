#pragma once

// Setting and clearing environment variables of the test process, on POSIX
// and Windows alike.

#include <cstdlib>

namespace emberline::test {

// `value` nullptr removes the variable.
inline void setEnvironment(const char* name, const char* value) {
#ifdef _WIN32
  _putenv_s(name, value != nullptr ? value : "");  // "" removes it on Windows
#else
  value != nullptr ? setenv(name, value, 1) : unsetenv(name);
#endif
}

}  // namespace emberline::test
