#pragma once

// HRESULTs of the COM and kernel-streaming calls as the negative errno values
// of the transport seam, and as text a person can quote. The one place that
// knows both.

#include <windows.h>

#include <string>

namespace emberline::platform::windows {

// 0 for S_OK only; every other result, success codes such as S_FALSE
// included, is a failure of the request. Device gone -> -ENODEV, access
// denied -> -EACCES, in use -> -EBUSY, no such property or node ->
// -ENOPROTOOPT, unsupported -> -ENOTSUP, not a kernel-streaming device ->
// -ENOTTY, anything else -> -EIO.
int errnoFromHresult(HRESULT result);

// "HRESULT 0x8007001F" and, when the system has one, its message.
std::string describeHresult(HRESULT result);

}  // namespace emberline::platform::windows
