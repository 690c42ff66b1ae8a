#pragma once

// What Emberline asks of systemd-logind to keep a machine at work during a
// burn, behind an interface that tests replace with a fake.

#include <functional>
#include <memory>
#include <string>

#include "platform/machine_hold.h"

namespace emberline::platform::linux_uvc {

class Logind {
 public:
  virtual ~Logind() = default;
  // org.freedesktop.login1.Manager.Inhibit(what, who, why, mode): a
  // descriptor that holds the inhibitor until it is closed, or a negative
  // errno.
  virtual int inhibit(const std::string& what, const std::string& who, const std::string& why,
                      const std::string& mode) = 0;
  // From now on calls `handler`, on a thread of the connection's, whenever
  // logind announces PrepareForShutdown(true); until the object goes. Call
  // it after the inhibits.
  virtual void watchShutdown(std::function<void()> handler) = 0;
};

// logind on the system bus; nullptr where logind does not run (no
// /run/systemd/seats) or the bus cannot be reached.
std::unique_ptr<Logind> connectLogind();

// A hold through `logind`: a "sleep" block inhibitor and a "shutdown" delay
// inhibitor whose PrepareForShutdown calls the request's on_shutdown once.
// With no logind, a hold that does nothing.
std::unique_ptr<MachineHold> holdWithLogind(std::unique_ptr<Logind> logind, HoldRequest request);

}  // namespace emberline::platform::linux_uvc
