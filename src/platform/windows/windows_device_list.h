#pragma once

// The video-input devices of a Windows machine as the device layer's
// DeviceList: the system device enumerator's video-input category, in the
// order it gives, each moniker's "FriendlyName" and "DevicePath", and its
// capture filter when opened.

#include <strmif.h>

#include <functional>
#include <mutex>
#include <string>

#include "core/device/transport.h"
#include "platform/windows/com_ptr.h"

namespace emberline::platform::windows {

// Makes the system device enumerator (tests hand in their own).
using DeviceEnumeratorFactory = std::function<HRESULT(ComPtr<ICreateDevEnum>& out)>;

class WindowsDeviceList final : public device::DeviceList {
 public:
  WindowsDeviceList();
  explicit WindowsDeviceList(DeviceEnumeratorFactory factory);

  // -ENODEV when the system device enumerator cannot be made; an empty list
  // when the category is empty. Entry ids and paths are the devices'
  // "DevicePath" (the moniker's display name when a device has none).
  int enumerate(std::vector<device::DeviceEntry>& out) override;
  // Enumerates again on the calling thread and binds the moniker whose id
  // matches to its capture filter.
  std::shared_ptr<device::CaptureDevice> open(const device::DeviceEntry& entry,
                                              int* error = nullptr) override;

  // The HRESULT of the last failed enumerate or open on this list.
  HRESULT lastFailure() const;
  // That HRESULT and the system's text for it; empty when none failed.
  std::string failureDetail() const override;

 private:
  struct Listed;
  int list(std::vector<Listed>& out);
  int fail(HRESULT result);

  DeviceEnumeratorFactory factory_;
  mutable std::mutex mutex_;
  HRESULT last_failure_ = S_OK;
};

// A sentence for a negative errno from this transport, naming the device
// and, when known, quoting the HRESULT behind it.
std::string describeError(int error, HRESULT result, const std::string& device);

}  // namespace emberline::platform::windows
