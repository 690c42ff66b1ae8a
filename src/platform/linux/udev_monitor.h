#pragma once

// Video nodes appearing and leaving, from udev's video4linux events.

#include <chrono>
#include <memory>
#include <string>
#include <vector>

namespace emberline::platform::linux_uvc {

struct NodeChange {
  std::string node;  // /dev/videoN
  bool added = true;
};

class UdevVideoMonitor {
 public:
  // nullptr and the reason when udev cannot be reached.
  static std::unique_ptr<UdevVideoMonitor> open(std::string* error);
  ~UdevVideoMonitor();

  // The first call lists the nodes already there as added; later calls wait
  // up to `wait` for events.
  std::vector<NodeChange> poll(std::chrono::milliseconds wait);

 private:
  struct Handles;
  explicit UdevVideoMonitor(std::unique_ptr<Handles> handles);
  std::unique_ptr<Handles> handles_;
  bool listed_ = false;
};

}  // namespace emberline::platform::linux_uvc
