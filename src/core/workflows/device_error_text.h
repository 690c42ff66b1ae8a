#pragma once

#include <cstdint>
#include <string>

namespace emberline::workflows {

// Why a request failed, in words for the operator, from the errno a transport
// reported (either sign; 0 when the transport gave none).
std::string describeDeviceError(int error);

// A flash offset as five hex digits, "0x0A3F0".
std::string formatOffset(std::uint32_t offset);

}  // namespace emberline::workflows
