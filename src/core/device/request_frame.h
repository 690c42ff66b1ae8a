#pragma once

// The request frame shared by the dialog's channel and the library's channel:
// one SET or one GET on the channel's extension-unit node. Nothing is sent
// without a device; nothing is retried or delayed. Internal to the device
// layer.

#include <cerrno>
#include <cstdint>
#include <span>

#include "core/device/transport.h"

namespace emberline::device::detail {

// One SET of `payload` to `selector` on `node_id`. 0 or -errno; -ENODEV
// without sending anything when `device` is null. The payload is copied, so
// a transport can never alter the caller's bytes.
int setControl(CaptureDevice* device, std::uint32_t node_id, std::uint8_t selector,
               std::span<const std::uint8_t> payload);

// One GET of payload.size() bytes, sent zero-filled. `payload` is written
// only when the request succeeded.
int getControl(CaptureDevice* device, std::uint32_t node_id, std::uint8_t selector,
               std::span<std::uint8_t> payload);

// The same on a channel (ExtensionUnitChannel or LibraryChannel): the result
// is also kept in channel.last_error (0 after success).
template <class Channel>
bool setOn(Channel& channel, std::uint8_t selector, std::span<const std::uint8_t> payload) {
  channel.last_error = setControl(channel.device.get(), channel.node_id, selector, payload);
  return channel.last_error == 0;
}

template <class Channel>
bool getOn(Channel& channel, std::uint8_t selector, std::span<std::uint8_t> payload) {
  channel.last_error = getControl(channel.device.get(), channel.node_id, selector, payload);
  return channel.last_error == 0;
}

}  // namespace emberline::device::detail
