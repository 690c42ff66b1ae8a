#include <system_error>
#include <thread>

#include "core/device/utf8_path.h"
#include "frontend/device_selection.h"
#include "frontend/hotplug.h"
#include "platform/file_replacement.h"

namespace emberline::frontend {

SimFolderSource::SimFolderSource(std::filesystem::path folder, std::string query)
    : folder_(std::move(folder)), query_(std::move(query)) {}

std::string SimFolderSource::deviceOf(const std::string& file) const {
  return "sim:" + file + (query_.empty() ? "" : "?" + query_);
}

std::vector<PlugEvent> SimFolderSource::poll(std::chrono::milliseconds wait) {
  // The first look reports what is already there at once.
  if (!first_) std::this_thread::sleep_for(wait);
  first_ = false;
  std::set<std::string> now;
  std::error_code ec;
  for (std::filesystem::directory_iterator it(folder_, ec), end; !ec && it != end; it.increment(ec)) {
    // Only whole state files: a save's temporary file and a lock file are
    // named differently.
    if (it->path().extension() == ".sim" && it->is_regular_file(ec)) now.insert(utf8Text(it->path()));
  }
  std::vector<PlugEvent> events;
  for (const auto& file : present_)
    if (!now.count(file)) events.push_back({deviceOf(file), false});
  for (const auto& file : now)
    if (!present_.count(file)) events.push_back({deviceOf(file), true});
  present_ = std::move(now);
  return events;
}

bool isSimFolderCamera(const std::string& source, const std::filesystem::path& file) {
  constexpr std::string_view kPrefix = "sim-dir:";
  if (source.rfind(kPrefix, 0) != 0 || file.extension() != ".sim") return false;
  const std::string rest = source.substr(kPrefix.size());
  const std::filesystem::path folder = utf8Path(rest.substr(0, rest.rfind('?')));
  const std::filesystem::path parent = file.parent_path().empty() ? "." : file.parent_path();
  return platform::sameFile(parent, folder.empty() ? "." : folder);
}

std::unique_ptr<HotplugSource> openSimFolder(const std::string& text, std::string* error) {
  constexpr std::string_view kPrefix = "sim-dir:";
  std::string rest = text.substr(kPrefix.size());
  std::string query;
  const auto question = rest.rfind('?');
  if (question != std::string::npos) {
    query = rest.substr(question + 1);
    rest = rest.substr(0, question);
    // The same options as one simulated camera, checked the same way.
    if (!parseDeviceSpec("sim:x?" + query, error)) return nullptr;
  }
  std::error_code ec;
  if (rest.empty() || !std::filesystem::is_directory(utf8Path(rest), ec)) {
    if (error) *error = "sim-dir: needs a folder of simulated cameras ('" + rest + "' is none)";
    return nullptr;
  }
  return std::make_unique<SimFolderSource>(utf8Path(rest), query);
}

}  // namespace emberline::frontend
