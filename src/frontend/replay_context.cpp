#include "frontend/replay_context.h"

#include <cerrno>

#include "sim/replay_camera.h"

namespace emberline::frontend {

namespace {

class ReplayContext final : public DeviceContext {
 public:
  ReplayContext(std::filesystem::path path, std::shared_ptr<sim::ReplayCamera> camera)
      : path_(std::move(path)), camera_(std::move(camera)), list_(std::make_unique<sim::ReplayDeviceList>(camera_, id())) {
    is_simulated_ = true;
  }

  device::DeviceList& devices() override { return *list_; }

  // Nothing is saved: the run is judged against the trace instead.
  int persist(std::string* error) override {
    const std::string verdict = camera_->verdict();
    if (verdict.empty()) return 0;
    if (error) *error = verdict;
    return -EPROTO;
  }

  // A new run starts at the trace's first request.
  int reload(std::string* error) override {
    std::string message;
    auto camera = sim::loadReplayCamera(path_, message);
    if (!camera) {
      if (error) *error = message;
      return -EIO;
    }
    camera_ = std::move(camera);
    lists_.push_back(std::move(list_));  // a device opened through it may still be in use
    list_ = std::make_unique<sim::ReplayDeviceList>(camera_, id());
    return 0;
  }

  std::string searched() const override { return "the replaying camera in " + path_.string(); }
  std::string cameraPath() const override { return path_.string(); }
  std::string describeOpenError(int, const std::string&) const override {
    return "the replaying camera in " + path_.string() + " cannot be opened";
  }

 private:
  std::string id() const { return "sim:" + path_.string(); }

  std::filesystem::path path_;
  std::shared_ptr<sim::ReplayCamera> camera_;
  std::unique_ptr<sim::ReplayDeviceList> list_;
  std::vector<std::unique_ptr<sim::ReplayDeviceList>> lists_;
};

}  // namespace

std::unique_ptr<DeviceContext> openReplayContext(const std::filesystem::path& path, std::string* error) {
  std::string message;
  auto camera = sim::loadReplayCamera(path, message);
  if (!camera) {
    if (error) *error = message;
    return nullptr;
  }
  return std::make_unique<ReplayContext>(path, std::move(camera));
}

}  // namespace emberline::frontend
