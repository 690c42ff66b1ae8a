#pragma once

// A camera behind the UvcIoctl seam that answers as uvcvideo does: ENOENT for
// an unknown control, ENOBUFS for a size other than the control's length,
// GET_LEN in two little-endian bytes. `injected` results come first, to play
// signals, stalls and unplugs.

#include <cerrno>
#include <deque>
#include <filesystem>
#include <map>
#include <memory>
#include <vector>

#include "platform/linux/uvc_ioctl.h"

namespace emberline::testing {

using namespace platform::linux_uvc;

struct FakeCamera {
  struct Call {
    std::uint8_t query;
    std::vector<std::uint8_t> data;  // as sent
  };
  NodeCapabilities caps{"uvcvideo", "Fake Camera", kCapVideoCapture};
  int open_error = 0;
  std::map<std::pair<int, int>, std::vector<std::uint8_t>> controls;  // (unit, selector) -> value
  std::deque<int> injected;
  std::vector<Call> calls;
  int open_nodes = 0;

  std::size_t count(std::uint8_t query) const {
    std::size_t n = 0;
    for (const auto& call : calls) n += call.query == query;
    return n;
  }
};

class FakeUvcNode final : public UvcIoctl {
 public:
  explicit FakeUvcNode(std::shared_ptr<FakeCamera> camera) : cam_(std::move(camera)) {
    ++cam_->open_nodes;
  }
  ~FakeUvcNode() override { --cam_->open_nodes; }

  int queryCapabilities(NodeCapabilities& out) override {
    out = cam_->caps;
    return 0;
  }
  int controlQuery(std::uint8_t unit, std::uint8_t selector, std::uint8_t query,
                   std::span<std::uint8_t> data) override {
    cam_->calls.push_back({query, {data.begin(), data.end()}});
    if (!cam_->injected.empty()) {
      const int result = cam_->injected.front();
      cam_->injected.pop_front();
      if (result != 0) return result;
    }
    const auto control = cam_->controls.find({unit, selector});
    if (control == cam_->controls.end()) return -ENOENT;
    auto& value = control->second;
    if (query == kUvcGetLen) {
      if (data.size() != 2) return -ENOBUFS;
      data[0] = static_cast<std::uint8_t>(value.size());
      data[1] = static_cast<std::uint8_t>(value.size() >> 8);
    } else if (data.size() != value.size()) {
      return -ENOBUFS;
    } else if (query == kUvcSetCur) {
      value.assign(data.begin(), data.end());
    } else {
      std::copy(value.begin(), value.end(), data.begin());
    }
    return 0;
  }

 private:
  std::shared_ptr<FakeCamera> cam_;
};

class FakeNodeOpener final : public UvcNodeOpener {
 public:
  std::shared_ptr<FakeCamera> add(const std::filesystem::path& node) {
    return cameras_[node] = std::make_shared<FakeCamera>();
  }
  int open(const std::filesystem::path& node, std::unique_ptr<UvcIoctl>& out) override {
    const auto found = cameras_.find(node);
    if (found == cameras_.end()) return -ENOENT;
    if (found->second->open_error != 0) return found->second->open_error;
    out = std::make_unique<FakeUvcNode>(found->second);
    return 0;
  }

 private:
  std::map<std::filesystem::path, std::shared_ptr<FakeCamera>> cameras_;
};

}  // namespace emberline::testing
