#pragma once

// HRESULTs of the COM and kernel-streaming calls as text a person can quote.
// Their errno values come from the one table of platform/windows_errors.h.

#include <windows.h>

#include <string>

#include "platform/windows_errors.h"

namespace emberline::platform::windows {

using platform::errnoFromHresult;

// "HRESULT 0x8007001F" and, when the system has one, its message.
std::string describeHresult(HRESULT result);

}  // namespace emberline::platform::windows
