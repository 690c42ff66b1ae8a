// Files being written, on Windows: a program writing a file holds it open
// with write access, so an open that will not share writing fails with a
// sharing violation until it lets go.

#include <windows.h>

#include "platform/folder_writes.h"

namespace emberline::platform {

namespace {

class SharingWrites final : public FolderWrites {
 public:
  void update() override {}
  bool beingWritten(const std::filesystem::path& file) override {
    const HANDLE handle = ::CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle != INVALID_HANDLE_VALUE) {
      ::CloseHandle(handle);
      return false;
    }
    return ::GetLastError() == ERROR_SHARING_VIOLATION;
  }
};

}  // namespace

std::unique_ptr<FolderWrites> FolderWrites::watch(const std::filesystem::path&) {
  return std::make_unique<SharingWrites>();
}

}  // namespace emberline::platform
