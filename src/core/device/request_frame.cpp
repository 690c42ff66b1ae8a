#include "core/device/request_frame.h"

#include <algorithm>
#include <vector>

namespace emberline::device::detail {

namespace {

int send(CaptureDevice& device, std::uint32_t node_id, std::uint8_t selector, std::uint32_t flags,
         std::span<std::uint8_t> payload) {
  ControlRequest request;
  request.property_set = kExtensionUnitPropertySet;
  request.selector = selector;
  request.flags = flags;
  request.node_id = node_id;
  request.payload = payload;
  const int result = device.control(request);
  // Anything positive is outside the transport contract: treat it as an I/O
  // failure rather than as success.
  return result > 0 ? -EIO : result;
}

}  // namespace

int setControl(CaptureDevice* device, std::uint32_t node_id, std::uint8_t selector,
               std::span<const std::uint8_t> payload) {
  if (device == nullptr) return -ENODEV;
  std::vector<std::uint8_t> bytes(payload.begin(), payload.end());
  return send(*device, node_id, selector, kFlagsSet, bytes);
}

int getControl(CaptureDevice* device, std::uint32_t node_id, std::uint8_t selector,
               std::span<std::uint8_t> payload) {
  if (device == nullptr) return -ENODEV;
  std::vector<std::uint8_t> answer(payload.size(), 0);
  const int result = send(*device, node_id, selector, kFlagsGet, answer);
  if (result == 0) std::copy(answer.begin(), answer.end(), payload.begin());
  return result;
}

}  // namespace emberline::device::detail
