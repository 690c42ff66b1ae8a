// Doctor's facts on Windows: DirectShow, kernel streaming and the camera
// privacy settings in the registry.

#include "frontend/doctor_facts.h"
#include "platform/windows/doctor_facts.h"
#include "platform/windows/windows_device_list.h"

namespace emberline::frontend {

namespace {

class WindowsFacts final : public diagnosis::PlatformFacts {
 public:
  diagnosis::SystemFacts system() override {
    diagnosis::SystemFacts facts;
    facts.windows_facts = platform::windows::gatherSystemFacts(list_, *platform::windows::systemRegistry());
    return facts;
  }
  diagnosis::CameraFacts camera(const std::string& device_path) override {
    return platform::windows::gatherCameraFacts(list_, device_path);
  }
  std::string description() override { return systemDescription(); }

 private:
  platform::windows::WindowsDeviceList list_;
};

}  // namespace

std::unique_ptr<diagnosis::PlatformFacts> makePlatformFacts() { return std::make_unique<WindowsFacts>(); }

std::string systemDescription() { return platform::windows::describeSystem(); }

}  // namespace emberline::frontend
