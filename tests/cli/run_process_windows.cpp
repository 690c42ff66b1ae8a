// runProcess on Windows: CreateProcessW with a quoted UTF-16 command line and
// both output pipes drained while the child runs, so a child filling one
// cannot stall. The end is the child's exit, not the pipes' end: helper
// processes the system starts on the child's behalf (Wine's desktop
// process, say) inherit the pipes and may keep them open long after.

#include <windows.h>

#include "run_process.h"

namespace emberline::test {

namespace {

std::wstring wide(const std::string& text) {
  if (text.empty()) return {};
  const int units = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring out(static_cast<std::size_t>(units), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), units);
  return out;
}

// The quoting CommandLineToArgvW and the C runtime undo: backslashes are
// literal except before a quote.
void appendQuoted(std::wstring& line, const std::wstring& argument) {
  if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos) {
    line += argument;
    return;
  }
  line += L'"';
  std::size_t backslashes = 0;
  for (wchar_t c : argument) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    line.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    backslashes = 0;
    line += c;
  }
  line.append(backslashes * 2, L'\\');
  line += L'"';
}

// The test's own environment with `extra` set on top, as CreateProcessW takes it.
std::wstring environmentBlock(const std::vector<std::pair<std::string, std::string>>& extra) {
  std::vector<std::wstring> entries;
  if (wchar_t* block = GetEnvironmentStringsW()) {
    for (const wchar_t* p = block; *p; p += wcslen(p) + 1) entries.emplace_back(p);
    FreeEnvironmentStringsW(block);
  }
  for (const auto& [name, value] : extra) {
    const std::wstring key = wide(name) + L"=";
    std::erase_if(entries, [&](const std::wstring& e) { return _wcsnicmp(e.c_str(), key.c_str(), key.size()) == 0; });
    entries.push_back(key + wide(value));
  }
  std::wstring out;
  for (const auto& e : entries) out += e + L'\0';
  out += L'\0';
  return out;
}

// Reads what `pipe` holds now, without waiting for more.
void drainAvailable(HANDLE pipe, std::string& sink) {
  char buffer[4096];
  DWORD available = 0;
  while (PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr) && available > 0) {
    DWORD n = 0;
    if (!ReadFile(pipe, buffer, available < sizeof buffer ? available : sizeof buffer, &n, nullptr) || n == 0) return;
    sink.append(buffer, n);
  }
}

}  // namespace

ProcessResult runProcess(const std::string& program, const std::vector<std::string>& args,
                         const ProcessOptions& options) {
  ProcessResult result;
  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  HANDLE out_read, out_write, err_read, err_write;
  if (!CreatePipe(&out_read, &out_write, &inherit, 0)) return result;
  if (!CreatePipe(&err_read, &err_write, &inherit, 0)) {
    CloseHandle(out_read);
    CloseHandle(out_write);
    return result;
  }
  SetHandleInformation(out_read, HANDLE_FLAG_INHERIT, 0);
  SetHandleInformation(err_read, HANDLE_FLAG_INHERIT, 0);

  std::wstring line;
  appendQuoted(line, wide(program));
  for (const auto& a : args) {
    line += L' ';
    appendQuoted(line, wide(a));
  }
  std::wstring environment = environmentBlock(options.env);
  const std::wstring cwd = options.cwd.wstring();

  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = INVALID_HANDLE_VALUE;
  startup.hStdOutput = out_write;
  startup.hStdError = err_write;
  PROCESS_INFORMATION process{};
  const BOOL started = CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE,
                                      CREATE_UNICODE_ENVIRONMENT | CREATE_NO_WINDOW, environment.data(),
                                      cwd.empty() ? nullptr : cwd.c_str(), &startup, &process);
  CloseHandle(out_write);
  CloseHandle(err_write);
  if (started) {
    for (bool exited = false; !exited;) {
      exited = WaitForSingleObject(process.hProcess, 2) == WAIT_OBJECT_0;
      drainAvailable(out_read, result.out);
      drainAvailable(err_read, result.err);
    }
    DWORD code = 0;
    if (GetExitCodeProcess(process.hProcess, &code)) result.exit_code = static_cast<int>(code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  }
  CloseHandle(out_read);
  CloseHandle(err_read);
  return result;
}

}  // namespace emberline::test
