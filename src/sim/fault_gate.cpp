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
int FaultGate::failure() const { return plan_.error < 0 ? plan_.error : -EIO; }

int FaultGate::admit() {
  const bool gone = vanished();  // the request after the last one allowed finds nothing
  ++number_;
  if (gone) return -ENODEV;
  if (plan_.fail_request && *plan_.fail_request == number_) return failure();
  return 0;
}

int FaultGate::inspect(std::uint32_t selector,
                       std::optional<std::uint16_t> register_address) const {
  if (plan_.fail_selectors.contains(selector)) return failure();
  if (register_address && plan_.fail_registers.contains(*register_address)) return failure();
  return 0;
}

}  // namespace emberline::sim
