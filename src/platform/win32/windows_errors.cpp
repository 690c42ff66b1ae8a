// The one table from Win32 errors to errno values. A code means the same in
// a file call and wrapped in an HRESULT from a camera, with one exception,
// kept in its own column: "not found" of a device that was there is an
// unplugged camera.

#include "platform/windows_errors.h"

#include <array>
#include <cerrno>

namespace emberline::platform {

namespace {

struct Row {
  DWORD code;
  int file;    // from a file or system call
  int device;  // in an HRESULT from a camera
};

constexpr int kSame = 0;  // the device column repeats the file column

// Missing from mingw-w64's winerror.h.
constexpr DWORD kErrorNoSuchDevice = 433;  // ERROR_NO_SUCH_DEVICE

constexpr std::array<Row, 33> kTable{{
    {ERROR_FILE_NOT_FOUND, ENOENT, ENODEV},
    {ERROR_PATH_NOT_FOUND, ENOENT, ENODEV},
    {ERROR_INVALID_DRIVE, ENOENT, kSame},
    {ERROR_BAD_NETPATH, ENOENT, kSame},
    {ERROR_ACCESS_DENIED, EACCES, kSame},  // also E_ACCESSDENIED: the camera privacy setting
    {ERROR_WRITE_PROTECT, EACCES, kSame},
    {ERROR_SHARING_VIOLATION, EBUSY, kSame},
    {ERROR_LOCK_VIOLATION, EBUSY, kSame},
    {ERROR_BUSY, EBUSY, kSame},
    {ERROR_FILE_EXISTS, EEXIST, kSame},
    {ERROR_ALREADY_EXISTS, EEXIST, kSame},
    {ERROR_DISK_FULL, ENOSPC, kSame},
    {ERROR_HANDLE_DISK_FULL, ENOSPC, kSame},
    {ERROR_INVALID_NAME, EINVAL, kSame},
    {ERROR_BAD_PATHNAME, EINVAL, kSame},
    {ERROR_INVALID_PARAMETER, EINVAL, kSame},  // also E_INVALIDARG
    {ERROR_FILENAME_EXCED_RANGE, ENAMETOOLONG, kSame},
    {ERROR_NOT_ENOUGH_MEMORY, ENOMEM, kSame},
    {ERROR_OUTOFMEMORY, ENOMEM, kSame},  // also E_OUTOFMEMORY
    {ERROR_DIRECTORY, ENOTDIR, kSame},
    // What a camera pulled out in the middle of a request gives.
    {ERROR_GEN_FAILURE, ENODEV, kSame},
    {ERROR_DEV_NOT_EXIST, ENODEV, kSame},
    {kErrorNoSuchDevice, ENODEV, kSame},
    {ERROR_DEVICE_NOT_CONNECTED, ENODEV, kSame},
    {ERROR_DEVICE_REMOVED, ENODEV, kSame},
    {ERROR_BAD_COMMAND, ENODEV, kSame},  // a handle to a removed device
    // Kernel streaming: E_PROP_SET_UNSUPPORTED, E_PROP_ID_UNSUPPORTED.
    {ERROR_SET_NOT_FOUND, ENOPROTOOPT, kSame},
    {ERROR_NOT_FOUND, ENOPROTOOPT, kSame},
    {ERROR_NOT_SUPPORTED, ENOTSUP, kSame},
    {ERROR_INSUFFICIENT_BUFFER, EMSGSIZE, kSame},
    {ERROR_MORE_DATA, EMSGSIZE, kSame},
    {ERROR_SEM_TIMEOUT, ETIMEDOUT, kSame},
    {ERROR_TIMEOUT, ETIMEDOUT, kSame},
}};

const Row* find(DWORD code) {
  for (const Row& row : kTable)
    if (row.code == code) return &row;
  return nullptr;
}

}  // namespace

int errnoFromWin32(DWORD error) {
  if (error == ERROR_SUCCESS) return 0;
  const Row* row = find(error);
  return row ? -row->file : -EIO;
}

int errnoFromHresult(HRESULT result) {
  if (result == S_OK) return 0;
  if (HRESULT_FACILITY(result) == FACILITY_WIN32 && FAILED(result)) {
    const Row* row = find(static_cast<DWORD>(HRESULT_CODE(result)));
    if (row) return -(row->device != kSame ? row->device : row->file);
    return -EIO;
  }
  switch (result) {
    case E_NOINTERFACE: return -ENOTTY;  // not a kernel-streaming device
    case E_NOTIMPL: return -ENOTSUP;
    default: return -EIO;
  }
}

}  // namespace emberline::platform
