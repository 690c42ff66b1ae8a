// libFuzzer target: the USB descriptor scanner must give a clear answer for
// any bytes at all, without reading outside them.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "core/device/guid.h"
#include "platform/linux/usb_descriptors.h"

using namespace emberline::platform::linux_uvc;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto scan = scanUsbDescriptors(std::span(data, size));
  // A fault leaves no units and points inside the input; a clean scan's units
  // each have a unit id.
  if (!scan.ok() && (!scan.units.empty() || scan.fault_offset > size)) std::abort();
  for (const auto& unit : scan.units) {
    if (unit.unit_id == 0 || unit.controls.size() > size) std::abort();
  }
  (void)describeFault(scan.fault);
  (void)findExtensionUnit(scan, emberline::device::kExtensionUnitPropertySet, std::nullopt,
                          std::nullopt);
  return 0;
}
