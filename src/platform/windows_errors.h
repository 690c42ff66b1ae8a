#pragma once

// Win32 error codes and HRESULTs as the negative errno values the rest of the
// program speaks, from one table (win32/windows_errors.cpp). Windows-only.

#include <windows.h>

namespace emberline::platform {

// A Win32 error of a file or system call: ERROR_FILE_NOT_FOUND is -ENOENT.
int errnoFromWin32(DWORD error);

// The result of a COM or kernel-streaming call on a camera: 0 for S_OK
// only (S_FALSE and other success codes fail a request). Win32 codes wrapped
// in an HRESULT read as in errnoFromWin32, except that a device that is not
// found any more is gone (-ENODEV). E_NOINTERFACE (no kernel-streaming
// interface) is -ENOTTY, E_NOTIMPL -ENOTSUP, anything unknown -EIO.
int errnoFromHresult(HRESULT result);

inline int lastErrno() { return errnoFromWin32(::GetLastError()); }

}  // namespace emberline::platform
