#include <system_error>
#include <thread>

#include "core/device/utf8_path.h"
#include "frontend/device_selection.h"
#include "frontend/hotplug.h"
#include "platform/file_replacement.h"
#include "platform/folder_writes.h"

namespace emberline::frontend {

struct SimFolderSource::Look {
  std::uintmax_t size = 0;
  std::filesystem::file_time_type written{};
  bool operator==(const Look&) const = default;
};

SimFolderSource::SimFolderSource(std::filesystem::path folder, std::string query)
    : folder_(std::move(folder)), query_(std::move(query)), writes_(platform::FolderWrites::watch(folder_)) {}

SimFolderSource::~SimFolderSource() = default;

std::string SimFolderSource::deviceOf(const std::string& file) const {
  return "sim:" + file + (query_.empty() ? "" : "?" + query_);
}

std::vector<PlugEvent> SimFolderSource::poll(std::chrono::milliseconds wait) {
  // The first look reports what is already there at once.
  if (!first_) std::this_thread::sleep_for(wait);
  writes_->update();
  std::map<std::string, Look> now;
  std::error_code ec;
  for (std::filesystem::directory_iterator it(folder_, ec), end; !ec && it != end; it.increment(ec)) {
    // Only state files: a save's temporary file is named differently.
    std::error_code ignored;
    if (it->path().extension() != ".sim" || !it->is_regular_file(ignored)) continue;
    Look look{it->file_size(ignored), it->last_write_time(ignored)};
    now.emplace(utf8Text(it->path()), look);
  }
  // A listing that failed part way says nothing of the files it missed.
  if (ec) return {};
  std::vector<PlugEvent> events;
  for (auto it = present_.begin(); it != present_.end();) {
    if (now.count(it->first)) {
      missing_once_.erase(it->first);
      ++it;
      continue;
    }
    // Gone at two looks in a row: a save replacing the file may hide it at one.
    if (missing_once_.insert(it->first).second) {
      ++it;
      continue;
    }
    missing_once_.erase(it->first);
    events.push_back({deviceOf(it->first), false});
    it = present_.erase(it);
  }
  std::erase_if(pending_, [&now](const auto& entry) { return !now.count(entry.first); });
  for (const auto& [file, look] : now) {
    if (first_) {  // plugged in when the watch began
      present_[file] = look;
      events.push_back({deviceOf(file), true});
      continue;
    }
    const auto known = present_.find(file);
    if (known != present_.end() && known->second == look) continue;  // as reported
    // New or written anew: complete once nobody writes it and it looks as
    // it did at the last poll (a copy in progress keeps growing).
    const auto seen = pending_.find(file);
    if (writes_->beingWritten(utf8Path(file)) || seen == pending_.end() || !(seen->second == look)) {
      pending_[file] = look;
      continue;
    }
    pending_.erase(seen);
    present_[file] = look;
    events.push_back({deviceOf(file), true});
  }
  first_ = false;
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
