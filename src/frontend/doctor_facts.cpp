#include "frontend/doctor_facts.h"

namespace emberline::frontend {

namespace {

class SimulatedFacts final : public diagnosis::PlatformFacts {
 public:
  explicit SimulatedFacts(diagnosis::UnitSource source) : source_(source) {}
  diagnosis::SystemFacts system() override { return {}; }
  diagnosis::CameraFacts camera(const std::string& device_path) override {
    diagnosis::CameraFacts facts;
    facts.device_path = device_path;
    facts.unit_source = source_;
    return facts;
  }
  std::string description() override { return systemDescription(); }

 private:
  diagnosis::UnitSource source_;
};

}  // namespace

std::unique_ptr<diagnosis::PlatformFacts> makeSimulatedFacts(diagnosis::UnitSource source) {
  return std::make_unique<SimulatedFacts>(source);
}

}  // namespace emberline::frontend
