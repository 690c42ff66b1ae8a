#pragma once

// Decides, request by request, whether the installed FaultPlan makes a
// request fail, and numbers the requests it sees.

#include <chrono>
#include <cstdint>
#include <optional>

#include "sim/sim_camera.h"

namespace emberline::sim {

class FaultGate {
 public:
  void install(const FaultPlan& plan);
  const FaultPlan& plan() const { return plan_; }

  // Numbers one more request and returns the failure that hits it whatever
  // it is: -ENODEV once vanished, the plan's error for the chosen request;
  // 0 otherwise.
  int admit();

  // The failure a request that reached the unit meets for its selector and
  // direction or, for selector 1, the register it addresses; 0 when none.
  int inspect(std::uint32_t selector, device::XuOp op,
              std::optional<std::uint16_t> register_address) const;

  // How much longer than usual the request admitted last takes.
  std::chrono::microseconds extraDelay() const;

  // The errno injected failures carry.
  int error() const;

  bool vanished() const;

 private:
  FaultPlan plan_;
  std::uint64_t number_ = 0;  // of the last request admitted
};

}  // namespace emberline::sim
