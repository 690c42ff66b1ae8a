#pragma once

// Win32 error codes as the negative errno values the rest of the program
// speaks. Windows-only; included by the *_windows.cpp files.

#include <windows.h>

#include <cerrno>

namespace emberline::platform {

inline int errnoFromWin32(DWORD error) {
  switch (error) {
    case ERROR_SUCCESS: return 0;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH: return -ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT: return -EACCES;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION: return -EBUSY;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS: return -EEXIST;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: return -ENOSPC;
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_INVALID_PARAMETER: return -EINVAL;
    case ERROR_FILENAME_EXCED_RANGE: return -ENAMETOOLONG;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY: return -ENOMEM;
    case ERROR_DIRECTORY: return -ENOTDIR;
    case ERROR_DEV_NOT_EXIST:
    case ERROR_DEVICE_NOT_CONNECTED: return -ENODEV;
    default: return -EIO;
  }
}

inline int lastErrno() { return errnoFromWin32(::GetLastError()); }

}  // namespace emberline::platform
