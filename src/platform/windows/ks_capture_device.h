#pragma once

// A camera's capture filter as the device layer's CaptureDevice: vendor
// requests through IKsControl::KsProperty on the extension-unit node, the
// node found through IKsTopologyInfo, and driver-register access through
// IKsPropertySet for the chip-id fallback.

#include <strmif.h>

#include <mutex>
#include <string>
#include <vector>

#include "core/device/transport.h"
#include "platform/windows/com_ptr.h"

namespace emberline::platform::windows {

class KsCaptureDevice final : public device::CaptureDevice {
 public:
  // `name` says which camera in messages (its friendly name or path).
  KsCaptureDevice(ComPtr<IBaseFilter> filter, std::string name);

  // The first device-specific node, in node order, whose node instance
  // accepts the SETSUPPORT probe of `property_set`.
  std::optional<std::uint32_t> findExtensionUnitNode(const device::Guid& property_set) override;
  // One KsProperty call: a KSP_NODE (set, selector, flags, node id) and the
  // payload. 0 only for S_OK.
  int control(const device::ControlRequest& request) override;
  // A GET of the control with no buffer: the driver answers with the length
  // it needs (ERROR_MORE_DATA and the byte count).
  int controlLength(std::uint32_t node_id, std::uint32_t selector, std::size_t& length) override;
  // IKsPropertySet Set or Get, property id 0, the record as both instance
  // and property data.
  int driverProperty(const device::Guid& property_set, device::XuOp op,
                     std::span<std::uint8_t, 40> record) override;

  std::string unitLookupProblem() const override;
  // "<name>: HRESULT 0x...: <system text>" for the last failed call.
  std::string failureDetail() const override;
  // The HRESULT of the last failed call (S_OK when none failed).
  HRESULT lastFailure() const;

  // The filter's kernel-streaming nodes in node order, for a bug report.
  struct TopologyNode {
    std::uint32_t index = 0;
    std::string type;  // the node type GUID, {XXXXXXXX-...}
    std::string name;  // empty when the driver gives none
  };
  // Empty, with the reason in `problem`, when the filter has no topology.
  std::vector<TopologyNode> topology(std::string* problem);

 private:
  int fail(HRESULT result);
  std::optional<std::uint32_t> searchTopology(const GUID& property_set);

  mutable std::mutex mutex_;  // one request at a time
  ComPtr<IBaseFilter> filter_;
  const std::string name_;
  HRESULT last_failure_ = S_OK;
  std::string lookup_problem_;
};

// device::Guid (bytes as laid out in memory) as a Windows GUID and back.
GUID toWindowsGuid(const device::Guid& guid);

}  // namespace emberline::platform::windows
