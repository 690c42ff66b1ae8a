#pragma once

// A camera behind the UvcIoctl seam that answers as uvcvideo does: ENOENT for
// an unknown unit or control, ENOBUFS for a size that is not the control's
// length, GET_LEN in two little-endian bytes. Results can be injected ahead of
// the emulation to play signals, stalls and unplugs.

#include <cerrno>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/linux/uvc_ioctl.h"

namespace emberline::testing {

using platform::linux_uvc::NodeCapabilities;
using platform::linux_uvc::UvcIoctl;
using platform::linux_uvc::UvcNodeOpener;

struct FakeCall {
  std::uint8_t unit;
  std::uint8_t selector;
  std::uint8_t query;
  std::vector<std::uint8_t> data;  // as sent
};

struct FakeCamera {
  NodeCapabilities caps{"uvcvideo", "Fake Camera", platform::linux_uvc::kCapVideoCapture};
  int open_error = 0;  // what open() of this node returns
  int caps_error = 0;  // what VIDIOC_QUERYCAP returns
  std::map<std::pair<std::uint8_t, std::uint8_t>, std::vector<std::uint8_t>> controls;
  std::deque<int> injected;  // results returned, in order, before any emulation
  std::vector<FakeCall> calls;
  int open_nodes = 0;

  void addControl(std::uint8_t unit, std::uint8_t selector, std::size_t length) {
    controls[{unit, selector}].assign(length, 0);
  }
  std::size_t countQueries(std::uint8_t query) const {
    std::size_t n = 0;
    for (const auto& call : calls) n += call.query == query;
    return n;
  }
};

class FakeUvcNode final : public UvcIoctl {
 public:
  explicit FakeUvcNode(std::shared_ptr<FakeCamera> camera) : camera_(std::move(camera)) {
    ++camera_->open_nodes;
  }
  ~FakeUvcNode() override { --camera_->open_nodes; }

  int queryCapabilities(NodeCapabilities& out) override {
    if (camera_->caps_error != 0) return camera_->caps_error;
    out = camera_->caps;
    return 0;
  }

  int controlQuery(std::uint8_t unit, std::uint8_t selector, std::uint8_t query,
                   std::span<std::uint8_t> data) override {
    camera_->calls.push_back({unit, selector, query, {data.begin(), data.end()}});
    if (!camera_->injected.empty()) {
      const int result = camera_->injected.front();
      camera_->injected.pop_front();
      if (result != 0) return result;
    }
    const auto control = camera_->controls.find({unit, selector});
    if (control == camera_->controls.end()) return -ENOENT;
    auto& value = control->second;
    if (query == platform::linux_uvc::kUvcGetLen) {
      if (data.size() != 2) return -ENOBUFS;
      data[0] = static_cast<std::uint8_t>(value.size());
      data[1] = static_cast<std::uint8_t>(value.size() >> 8);
      return 0;
    }
    if (data.size() != value.size()) return -ENOBUFS;
    if (query == platform::linux_uvc::kUvcSetCur) {
      value.assign(data.begin(), data.end());
    } else {
      std::copy(value.begin(), value.end(), data.begin());
    }
    return 0;
  }

 private:
  std::shared_ptr<FakeCamera> camera_;
};

class FakeNodeOpener final : public UvcNodeOpener {
 public:
  std::shared_ptr<FakeCamera> add(const std::filesystem::path& node) {
    auto camera = std::make_shared<FakeCamera>();
    cameras_[node] = camera;
    return camera;
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
