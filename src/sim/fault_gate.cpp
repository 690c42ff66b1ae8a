#include "sim/fault_gate.h"

#include <cerrno>

namespace emberline::sim {

void FaultGate::install(const FaultPlan& plan) {
  plan_ = plan;
  number_ = 0;
}

bool FaultGate::vanished() const {
  return plan_.vanish_after.has_value() && number_ >= *plan_.vanish_after;
}

// An error of 0 or above would read as success; such a plan fails with -EIO.
int FaultGate::error() const { return plan_.error < 0 ? plan_.error : -EIO; }

int FaultGate::admit() {
  const bool gone = vanished();  // the request after the last one allowed finds nothing
  ++number_;
  if (gone) return -ENODEV;
  if (plan_.fail_request && *plan_.fail_request == number_) return error();
  return 0;
}

int FaultGate::inspect(std::uint32_t selector, device::XuOp op,
                       std::optional<std::uint16_t> register_address) const {
  if (plan_.fail_selectors.contains(selector)) return error();
  const auto& by_direction =
      op == device::XuOp::Set ? plan_.fail_selector_sets : plan_.fail_selector_gets;
  if (by_direction.contains(selector)) return error();
  if (register_address && plan_.fail_registers.contains(*register_address)) return error();
  return 0;
}

std::chrono::microseconds FaultGate::extraDelay() const {
  if (plan_.slow_request && *plan_.slow_request == number_) return plan_.slow_by;
  return std::chrono::microseconds{0};
}

bool FaultPlan::empty() const {
  return !fail_request && fail_selectors.empty() && fail_selector_sets.empty() &&
         fail_selector_gets.empty() && fail_registers.empty() && !vanish_after && !fail_read_at &&
         !wrong_byte_at && !flash_never_ready && !transfer_never_done && !slow_request &&
         !driver_set_a && !driver_set_b;
}

}  // namespace emberline::sim
