#include "frontend/station_inputs.h"

#include "core/device/utf8_path.h"
#include "frontend/device_selection.h"
#include "frontend/udev_source.h"
#include "platform/file_replacement.h"

namespace emberline::frontend {

StationInputs openStationInputs(const std::filesystem::path& image, const std::string& record,
                                const std::string& source) {
  StationInputs in;
  if (!record.empty() && platform::sameFile(utf8Path(record), image)) {
    in.error = "IMAGE " + utf8Text(image) + " and --record " + record +
               " are the same file; an output never overwrites an input";
    return in;
  }
  if (!record.empty() && isSimFolderCamera(source, utf8Path(record))) {
    in.error = "--record " + record + " would be a camera of " + source + "; an output never overwrites a camera";
    return in;
  }
  if (source.rfind("sim-dir:", 0) == 0) {
    in.source = openSimFolder(source, &in.error);
  } else if (source.empty()) {
    in.source = openUdevSource(&in.error);
  } else {
    in.error = "the station finds the cameras itself: give no --device, or sim-dir:DIR";
  }
  if (in.source && !record.empty()) {
    in.log = RecordLog::open(record, &in.error);
    if (!in.log) in.source.reset();
  }
  return in;
}

std::string stationSourceFor(const std::string& device) {
  std::string ignored;
  const auto wanted = parseDeviceSpec(device, &ignored);
  if (!wanted || wanted->kind != DeviceSpec::Kind::Sim) return {};
  std::filesystem::path folder = wanted->sim_state.parent_path();
  if (folder.empty()) folder = ".";
  std::string text = "sim-dir:" + utf8Text(folder);
  if (wanted->latency.count() > 0) text += "?latency-us=" + std::to_string(wanted->latency.count());
  return text;
}

}  // namespace emberline::frontend
