#include "sim/replay_camera.h"

#include <algorithm>
#include <cerrno>
#include <fstream>

#include <nlohmann/json.hpp>

#include "platform/file_replacement.h"

namespace emberline::sim {

namespace {

constexpr std::string_view kHeaderStart = "{\"emberline_replay\":";

TracedRequest came(TracedOp op, std::uint32_t node, std::uint32_t selector) {
  TracedRequest r;
  r.op = op;
  r.node = node;
  r.selector = selector;
  return r;
}

// Whether `came` is the request `expected` recorded. The unit search carries
// nothing to compare; a GET is compared by its length, since its payload is
// the answer.
bool sameRequest(const TracedRequest& expected, const TracedRequest& came) {
  if (expected.driver != came.driver || expected.op != came.op) return false;
  if (expected.driver)
    return expected.property_set == came.property_set &&
           (came.op != TracedOp::Set || expected.payload == came.payload);
  switch (came.op) {
    case TracedOp::Support: return true;
    case TracedOp::Length: return expected.node == came.node && expected.selector == came.selector;
    case TracedOp::Set:
      return expected.node == came.node && expected.selector == came.selector && expected.payload == came.payload;
    case TracedOp::Get:
      return expected.node == came.node && expected.selector == came.selector &&
             expected.payload.size() == came.payload.size();
  }
  return false;
}

class ReplayHandle final : public device::CaptureDevice {
 public:
  explicit ReplayHandle(std::shared_ptr<ReplayCamera> camera) : camera_(std::move(camera)) {}

  std::optional<std::uint32_t> findExtensionUnitNode(const device::Guid&) override {
    TracedRequest recorded;
    if (camera_->answer(came(TracedOp::Support, 0, 0), &recorded) != 0) return std::nullopt;
    return recorded.node;
  }

  int control(const device::ControlRequest& request) override {
    const bool support = (request.flags & device::kKsPropertyTypeSetSupport) != 0;
    TracedRequest r = came(support ? TracedOp::Support
                           : request.op() == device::XuOp::Set ? TracedOp::Set
                                                                 : TracedOp::Get,
                           request.node_id, request.selector);
    if (r.op != TracedOp::Support) r.payload.assign(request.payload.begin(), request.payload.end());
    TracedRequest recorded;
    const int result = camera_->answer(r, &recorded);
    if (r.op == TracedOp::Get && result == 0)
      std::copy(recorded.payload.begin(), recorded.payload.end(), request.payload.begin());
    return result;
  }

  int controlLength(std::uint32_t node_id, std::uint32_t selector, std::size_t& length) override {
    TracedRequest recorded;
    const int result = camera_->answer(came(TracedOp::Length, node_id, selector), &recorded);
    if (result == 0) length = static_cast<std::size_t>(recorded.payload[0] | recorded.payload[1] << 8);
    return result;
  }

  int driverProperty(const device::Guid& property_set, device::XuOp op,
                     std::span<std::uint8_t, 40> record) override {
    TracedRequest r = came(op == device::XuOp::Set ? TracedOp::Set : TracedOp::Get, 0, 0);
    r.driver = true;
    r.property_set = property_set;
    r.payload.assign(record.begin(), record.end());
    TracedRequest recorded;
    const int result = camera_->answer(r, &recorded);
    if (op == device::XuOp::Get && result == 0 && recorded.payload.size() == record.size())
      std::copy(recorded.payload.begin(), recorded.payload.end(), record.begin());
    return result;
  }

  std::string failureDetail() const override { return camera_->divergence(); }

 private:
  std::shared_ptr<ReplayCamera> camera_;
};

}  // namespace

ReplayCamera::ReplayCamera(Trace trace, std::vector<TracedRequest> expected)
    : trace_(std::move(trace)), expected_(std::move(expected)) {
  trace_.requests.clear();  // kept: only its name and kind
}

std::shared_ptr<device::CaptureDevice> ReplayCamera::open() {
  return std::make_shared<ReplayHandle>(shared_from_this());
}

int ReplayCamera::answer(const TracedRequest& request, TracedRequest* recorded) {
  const std::lock_guard lock(mutex_);
  if (!divergence_.empty()) return -EPROTO;
  const std::size_t number = next_ + 1;
  const std::string prefix = "replay of " + trace_.name + ": request " + std::to_string(number);
  if (next_ >= expected_.size()) {
    divergence_ = prefix + " came after the trace's last (" + std::to_string(expected_.size()) +
                  " requests): " + describeRequest(request);
    return -EPROTO;
  }
  const TracedRequest& expected = expected_[next_];
  if (!sameRequest(expected, request)) {
    divergence_ = prefix + " differs from " + where(trace_, expected.line) + ": expected " +
                  describeRequest(expected) + ", came " + describeRequest(request);
    return -EPROTO;
  }
  ++next_;
  // A recorded GET of the right length is the answer as it was; the trace
  // reader checked the LEN answers' two bytes.
  *recorded = expected;
  return expected.result;
}

std::string ReplayCamera::divergence() const {
  const std::lock_guard lock(mutex_);
  return divergence_;
}

std::string ReplayCamera::verdict() const {
  const std::lock_guard lock(mutex_);
  if (!divergence_.empty() || next_ == expected_.size()) return divergence_;
  const TracedRequest& missing = expected_[next_];
  return "replay of " + trace_.name + ": the run ended after " + std::to_string(next_) + " requests, the trace has " +
         std::to_string(expected_.size()) + "; request " + std::to_string(next_ + 1) + " (" +
         where(trace_, missing.line) + ") was expected: " + describeRequest(missing);
}

std::size_t ReplayCamera::served() const {
  const std::lock_guard lock(mutex_);
  return next_;
}

std::size_t ReplayCamera::expected() const { return expected_.size(); }

ReplayDeviceList::ReplayDeviceList(std::shared_ptr<ReplayCamera> camera, std::string id)
    : camera_(std::move(camera)), id_(std::move(id)) {}

int ReplayDeviceList::enumerate(std::vector<device::DeviceEntry>& out) {
  out.clear();
  out.push_back({id_, "Replay of " + camera_->source(), id_});
  return 0;
}

std::shared_ptr<device::CaptureDevice> ReplayDeviceList::open(const device::DeviceEntry& entry, int* error) {
  if (entry.id != id_) {
    if (error) *error = -ENODEV;
    return nullptr;
  }
  return camera_->open();
}

bool isReplayFile(const std::filesystem::path& path) {
  // Only a regular file is opened: opening a FIFO would wait for a writer.
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) return false;
  std::ifstream in(path, std::ios::binary);
  std::string start(kHeaderStart.size(), '\0');
  in.read(start.data(), static_cast<std::streamsize>(start.size()));
  return in.gcount() == static_cast<std::streamsize>(start.size()) && start == kHeaderStart;
}

int writeReplayFile(const std::filesystem::path& path, const std::string& source,
                    const std::vector<TracedRequest>& requests, std::string* why) {
  nlohmann::ordered_json header;
  header["emberline_replay"] = 1;
  header["source"] = source;
  header["requests"] = requests.size();
  std::string text = header.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + '\n';
  for (const auto& r : requests) text += formatTraceLine(r) + '\n';
  platform::FileError error;
  auto file = platform::FileReplacement::begin(path, &error, platform::ReplacementTargets::RegularOnly);
  if (file && file->commit(std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()), &error))
    return 0;
  if (why) *why = error.why;
  return error.code > 0 ? -error.code : -EIO;
}

std::shared_ptr<ReplayCamera> loadReplayCamera(const std::filesystem::path& path, std::string& error) {
  Trace trace;
  if (!readTrace(path, trace, error)) return nullptr;
  if (trace.replay_source.empty()) {
    error = path.string() + ": not a replaying camera's file (make one with 'emberline sim from-trace --replay')";
    return nullptr;
  }
  auto requests = std::move(trace.requests);
  return std::make_shared<ReplayCamera>(std::move(trace), std::move(requests));
}

}  // namespace emberline::sim
