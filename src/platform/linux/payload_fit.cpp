#include "platform/linux/payload_fit.h"

#include <algorithm>

namespace emberline::platform::linux_uvc {

bool fitSetPayload(std::span<const std::uint8_t> payload, std::size_t length,
                   std::vector<std::uint8_t>& out) {
  if (payload.size() > length) {
    const auto cut = payload.subspan(length);
    if (std::any_of(cut.begin(), cut.end(), [](std::uint8_t b) { return b != 0; })) return false;
    payload = payload.first(length);
  }
  out.assign(length, 0);
  std::copy(payload.begin(), payload.end(), out.begin());
  return true;
}

void copyGetAnswer(std::span<const std::uint8_t> answer, std::span<std::uint8_t> payload) {
  const std::size_t count = std::min(answer.size(), payload.size());
  std::copy_n(answer.begin(), count, payload.begin());
}

}  // namespace emberline::platform::linux_uvc
