#include "core/workflows/device_error_text.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace emberline::workflows {

std::string describeDeviceError(int error) {
  switch (std::abs(error)) {
    case 0:
      return "The camera gave no reason.";
    case ENODEV:
    case ENXIO:
      return "The camera is gone (unplugged?) (ENODEV).";
    case ENOENT:
      return "The camera does not answer the vendor request (ENOENT).";
    case EIO:
      return "The camera refused the request (EIO).";
    case EPIPE:
      return "The camera stalled the request (EPIPE).";
    case ETIMEDOUT:
      return "The camera did not answer in time (ETIMEDOUT).";
    case EBUSY:
      return "The camera is busy (EBUSY).";
    case EACCES:
    case EPERM:
      return "No permission to use the camera (EACCES).";
    default:
      return "The request failed (errno " + std::to_string(std::abs(error)) + ").";
  }
}

std::string formatOffset(std::uint32_t offset) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%05X", static_cast<unsigned>(offset));
  return text;
}

}  // namespace emberline::workflows
