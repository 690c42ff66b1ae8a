#pragma once

// Which listed devices are cameras of the family: each entry is opened on its
// own and asked for its chip id, the way discovery asks. A face uses it to
// show the list and to refuse guessing when several cameras answer.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/device/transport.h"

namespace emberline::frontend {

struct ProbedDevice {
  std::size_t index = 0;     // position in the device list
  device::DeviceEntry entry;
  int open_error = 0;        // negative errno when the device could not be opened
  std::string open_detail;   // the platform's own code for that, when it has one
  bool answers = false;      // the vendor extension unit gave the chip id
  std::optional<std::uint32_t> node_id;  // the unit's node as discovery bound it
  std::optional<std::uint8_t> chip_id;
  std::string unit_problem;  // why the vendor unit could not be looked for, when the platform knows
};

struct ProbeResult {
  int enumerate_error = 0;  // from DeviceList::enumerate; the list is empty then
  std::vector<ProbedDevice> devices;

  std::size_t answering() const;
};

ProbeResult probeDevices(device::DeviceList& devices);

// The camera a face may use when the user named none.
struct CameraChoice {
  enum class Kind {
    One,      // exactly one camera answers: `id`
    None,     // nothing answers; discovery will say so
    Several,  // more than one answers: the user must choose
  };
  Kind kind = Kind::None;
  std::string id;
};

CameraChoice chooseCamera(const ProbeResult& probe);

// "  0  /dev/video2  Name  chip 0x33" lines of the answering cameras, for the
// refusal message.
std::string describeAnswering(const ProbeResult& probe);

}  // namespace emberline::frontend
