#pragma once

// uvcvideo takes a control's value only in the control's own length. These fit
// a request's payload to that length without changing what it means.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace emberline::platform::linux_uvc {

// The bytes to SET on a control of `length` bytes: the payload padded with
// zeros, or cut when that drops only zeros. False (request refused) when
// cutting would drop a non-zero byte.
bool fitSetPayload(std::span<const std::uint8_t> payload, std::size_t length,
                   std::vector<std::uint8_t>& out);

// Copies a GET answer into the caller's payload: as many bytes as both hold.
// Payload bytes past the answer are left as they were.
void copyGetAnswer(std::span<const std::uint8_t> answer, std::span<std::uint8_t> payload);

}  // namespace emberline::platform::linux_uvc
