#pragma once

// Cameras arriving and leaving while `watch` runs: from udev on Linux, from a
// folder of simulator files for simulated cameras. Cameras present when the
// source starts count as plugged in then.

#include <chrono>
#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace emberline::platform {
class FolderWrites;
}

namespace emberline::frontend {

struct PlugEvent {
  std::string device;  // as a station names it: /dev/videoN or sim:PATH[?latency-us=N]
  bool plugged = true;  // false: unplugged
};

class HotplugSource {
 public:
  virtual ~HotplugSource() = default;
  // Waits up to `wait` for changes; what changed since the last call.
  virtual std::vector<PlugEvent> poll(std::chrono::milliseconds wait) = 0;
};

// A folder of simulated cameras: a `*.sim` file appearing is a camera
// plugged in, one removed is unplugged. `query` ("latency-us=125" or empty)
// is added to every camera's device. The folder is looked at on each poll.
// A file is taken only once it is complete: no longer being written and
// unchanged since the poll before. A camera whose file is written anew
// (by another program, or by its own burn's save) is reported plugged in
// again; whoever drives it decides whether that calls for another burn.
// A file is taken as removed once it is missing at two polls in a row (a
// save replacing it may hide it for a moment); a poll whose listing of the
// folder fails reports nothing.
class SimFolderSource final : public HotplugSource {
 public:
  SimFolderSource(std::filesystem::path folder, std::string query);
  ~SimFolderSource() override;
  std::vector<PlugEvent> poll(std::chrono::milliseconds wait) override;

 private:
  struct Look;  // a file's size and modification time
  std::string deviceOf(const std::string& file) const;
  std::filesystem::path folder_;
  std::string query_;
  std::unique_ptr<platform::FolderWrites> writes_;
  std::map<std::string, Look> present_;  // reported as plugged in
  std::map<std::string, Look> pending_;  // seen, not yet complete
  std::set<std::string> missing_once_;   // reported, missing at the last poll
  bool first_ = true;
};

// True when `file` is, or would become, a camera of the folder that `source`
// ("sim-dir:DIR[?...]") watches: a *.sim file in DIR. An output written there
// would be taken for a camera, and a camera's save would replace it.
bool isSimFolderCamera(const std::string& source, const std::filesystem::path& file);

// "sim-dir:DIR[?latency-us=N]": the folder source; nullptr and a message for
// anything else that starts with sim-dir:.
std::unique_ptr<HotplugSource> openSimFolder(const std::string& text, std::string* error);

}  // namespace emberline::frontend
