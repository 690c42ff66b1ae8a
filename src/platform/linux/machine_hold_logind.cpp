// Holding the machine through logind: the inhibitors live as long as their
// descriptors, so the hold is two descriptors and the connection that
// listens for a shutdown. The "shutdown" inhibitor delays (logind waits for
// it at most InhibitDelayMaxSec, 5 s by default): long enough for a burn to
// reach a request boundary, put write protection back and let go.

#include <atomic>

#include "platform/linux/logind.h"
#include "platform/linux/unique_fd.h"

namespace emberline::platform {

namespace linux_uvc {

namespace {

constexpr const char* kWho = "Emberline";

class NoHold final : public MachineHold {};

class LogindHold final : public MachineHold {
 public:
  LogindHold(std::unique_ptr<Logind> logind, HoldRequest request) {
    sleep_.reset(logind->inhibit("sleep", kWho, request.why, "block"));
    shutdown_.reset(logind->inhibit("shutdown", kWho, request.why, "delay"));
    if (shutdown_.isValid() && request.on_shutdown) {
      logind->watchShutdown([told = std::make_shared<std::atomic<bool>>(false),
                             on_shutdown = std::move(request.on_shutdown)] {
        if (!told->exchange(true)) on_shutdown();
      });
    }
    logind_ = std::move(logind);
  }

 private:
  // Released in reverse: the connection (and its thread) first, then the
  // inhibitors, so the shutdown goes on once nothing can call back.
  UniqueFd sleep_;
  UniqueFd shutdown_;
  std::unique_ptr<Logind> logind_;
};

}  // namespace

std::unique_ptr<MachineHold> holdWithLogind(std::unique_ptr<Logind> logind, HoldRequest request) {
  if (!logind) return std::make_unique<NoHold>();
  return std::make_unique<LogindHold>(std::move(logind), std::move(request));
}

}  // namespace linux_uvc

std::unique_ptr<MachineHold> holdMachine(HoldRequest request) {
  return linux_uvc::holdWithLogind(linux_uvc::connectLogind(), std::move(request));
}

}  // namespace emberline::platform
