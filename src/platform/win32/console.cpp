#include <windows.h>
// windows.h first: shellapi.h builds on it.
#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

#include "platform/console.h"
#include "platform/text_windows.h"
#include "platform/windows_handles.h"

namespace emberline::platform {

void prepareStandardStreams() {
  for (std::FILE* stream : {stdin, stdout, stderr}) ::_setmode(::_fileno(stream), _O_BINARY);
  ::SetConsoleOutputCP(CP_UTF8);
  ::SetConsoleCP(CP_UTF8);
}

bool isTerminal(std::FILE* stream) {
  // _isatty is also true for NUL; only a console has a console mode.
  const auto handle = reinterpret_cast<HANDLE>(::_get_osfhandle(::_fileno(stream)));
  DWORD mode = 0;
  return handle != INVALID_HANDLE_VALUE && ::GetConsoleMode(handle, &mode) != 0;
}

std::vector<std::string> utf8Arguments(int argc, char** argv) {
  int count = 0;
  const UniqueLocalMemory<LPWSTR> wide(::CommandLineToArgvW(::GetCommandLineW(), &count));
  if (!wide) return {argv, argv + argc};
  std::vector<std::string> out;
  for (int i = 0; i < count; ++i) out.push_back(utf8FromWide(wide.get()[i]));
  return out;
}

}  // namespace emberline::platform
