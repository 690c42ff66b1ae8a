// Doctor's facts on Linux: sysfs, /dev, /proc and the udev rule folders.

#include <unistd.h>

#include <cstdlib>

#include "frontend/doctor_facts.h"
#include "platform/linux/doctor_facts.h"

namespace emberline::frontend {

namespace {

std::filesystem::path envPath(const char* name, const char* fallback) {
  const char* value = std::getenv(name);
  return (value && *value) ? std::filesystem::path(value) : std::filesystem::path(fallback);
}

class LinuxFacts final : public diagnosis::PlatformFacts {
 public:
  LinuxFacts() {
    roots_.sysfs = envPath("EMBERLINE_SYSFS_ROOT", "/sys");
    roots_.dev = envPath("EMBERLINE_DEV_ROOT", "/dev");
  }
  diagnosis::SystemFacts system() override {
    diagnosis::SystemFacts facts;
    facts.linux_facts = platform::linux_uvc::gatherSystemFacts(roots_, platform::linux_uvc::LinuxIdentity::current());
    return facts;
  }
  diagnosis::CameraFacts camera(const std::string& device_path) override {
    return platform::linux_uvc::gatherCameraFacts(roots_, device_path, static_cast<long>(::getpid()));
  }
  std::string description() override { return systemDescription(); }

 private:
  platform::linux_uvc::LinuxRoots roots_;
};

}  // namespace

std::unique_ptr<diagnosis::PlatformFacts> makePlatformFacts() { return std::make_unique<LinuxFacts>(); }

std::string systemDescription() { return platform::linux_uvc::describeSystem(); }

}  // namespace emberline::frontend
