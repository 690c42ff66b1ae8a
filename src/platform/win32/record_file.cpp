// Records appended through a handle opened for appending only: Windows puts
// each WriteFile at the end of the file atomically, so whole records from
// several processes never interleave; FlushFileBuffers makes a record durable
// before the job is done. A record the disk had room for only part of is
// ended with a newline, so that the next one is not glued to the fragment.

#include <windows.h>

#include "platform/record_file.h"
#include "platform/text_windows.h"
#include "platform/windows_errors.h"

#include <mutex>
#include <system_error>

namespace emberline::platform {

namespace {

std::string errorText(DWORD error) { return std::generic_category().message(-errnoFromWin32(error)); }

class WindowsRecordFile final : public RecordFile {
 public:
  WindowsRecordFile(HANDLE handle, std::string path) : handle_(handle), path_(std::move(path)) {}
  ~WindowsRecordFile() override { ::CloseHandle(handle_); }

  std::string append(std::string_view line) override {
    // Station jobs append from their own threads; one at a time keeps torn_
    // right, and Wine places an appending write at the end non-atomically.
    std::lock_guard<std::mutex> one_at_a_time(mutex_);
    // A record cut short earlier is ended before this one, so that this
    // record stands on a line of its own.
    std::string text = torn_ ? "\n" : "";
    text += line;
    DWORD written = 0;
    const BOOL wrote = ::WriteFile(handle_, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    const DWORD error = wrote ? ERROR_SUCCESS : ::GetLastError();
    if (written > 0) torn_ = written != text.size();
    if (torn_) endTornRecord();
    if (!wrote) return "cannot append to " + path_ + ": " + errorText(error);
    if (written != text.size())
      return "cannot append to " + path_ + ": only part of a record was written (disk full?)";
    if (!::FlushFileBuffers(handle_)) return "cannot flush " + path_ + " to disk: " + errorText(::GetLastError());
    return {};
  }

 private:
  // Ends a fragment with a newline now if the disk takes one byte more;
  // otherwise the next append does.
  void endTornRecord() {
    DWORD written = 0;
    if (::WriteFile(handle_, "\n", 1, &written, nullptr) && written == 1) torn_ = false;
  }

  HANDLE handle_;
  std::string path_;
  bool torn_ = false;
  std::mutex mutex_;
};

}  // namespace

std::unique_ptr<RecordFile> openRecordFile(const std::string& path, std::string* error) {
  const HANDLE handle = ::CreateFileW(wideFromUtf8(path).c_str(), FILE_APPEND_DATA | SYNCHRONIZE,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                      OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    if (error) *error = "cannot open the record file " + path + ": " + errorText(::GetLastError());
    return nullptr;
  }
  return std::make_unique<WindowsRecordFile>(handle, path);
}

std::string hostName() {
  wchar_t name[256];
  DWORD size = 256;
  if (!::GetComputerNameExW(ComputerNameDnsHostname, name, &size)) return {};
  return utf8FromWide(std::wstring_view(name, size));
}

}  // namespace emberline::platform
