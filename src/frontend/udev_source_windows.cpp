// Windows has no udev: watching for cameras being plugged in is not there yet.

#include "frontend/udev_source.h"

namespace emberline::frontend {

std::unique_ptr<HotplugSource> openUdevSource(std::string* error) {
  if (error) *error = "watching for cameras being plugged in is not available on Windows yet";
  return nullptr;
}

}  // namespace emberline::frontend
