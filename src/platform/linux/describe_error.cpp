// The sentences a person sees when the Linux transport fails: what happened to
// which device, and what to do about it.

#include <cerrno>
#include <system_error>

#include "platform/linux/linux_device_list.h"
#include "platform/linux/uvc_errors.h"

namespace emberline::platform::linux_uvc {

std::string describeError(int error, const std::string& device_path) {
  const std::string device = device_path.empty() ? std::string("the camera") : device_path;
  const int code = error < 0 ? error : -error;
  switch (code) {
    case 0: return "No error on " + device + ".";
    case -EACCES:
    case -EPERM:
      return "Permission denied on " + device +
             ". Emberline needs read-write access to the video device: add your user to the "
             "'video' group (sudo usermod -aG video $USER, then log out and in again), or "
             "install the udev rule Emberline ships (emberline udev-rule | sudo tee " +
             std::string(kUdevRuleInstallPath) +
             ", then sudo udevadm control --reload && sudo udevadm trigger) and plug the camera "
             "in again.";
    case -ENOENT:
      return device +
             " does not exist. The camera may have been unplugged; 'emberline list' "
             "shows the cameras present.";
    case -ENODEV:
    case -ENXIO:
      return "The camera at " + device +
             " was unplugged or stopped responding. Plug it in again and repeat the operation; "
             "if the flash was being written, burn the image again.";
    case -ENOTTY:
      return device +
             " is not the video-capture node of a UVC camera (it does not answer "
             "extension-unit requests). Choose another device from 'emberline list'.";
    case kErrNoSuchControl:
      return "The camera at " + device +
             " has no such extension unit or control: it is probably not a camera of the "
             "supported family.";
    case kErrWrongState:
      return "The camera at " + device +
             " refused the request in its current state. Plug it in again and retry.";
    case kErrBadAnswer: return "The camera at " + device + " gave an answer outside the protocol.";
    case kErrPayloadTooLong:
      return "A request was longer than the camera's control on " + device +
             " and was not sent: this camera's firmware uses shorter controls than Emberline "
             "expects.";
    case -ENOBUFS:
      return "The camera at " + device +
             " reported a control length that changed while it was in use. Plug it in again and "
             "retry.";
    case -EBADRQC:
      return "The camera at " + device + " does not accept this request on its control.";
    case -EBUSY:
      return "The camera at " + device + " is busy or not ready. Wait a moment and retry.";
    case -EREMOTE:
      return "The camera at " + device +
             " refused the request in its power state. Connect it directly to a powered USB port.";
    case -ERANGE:
    case -EINVAL: return "The camera at " + device + " rejected a value in the request as invalid.";
    case -EIO:
      return "The camera at " + device +
             " reported an invalid unit, control or request, or a USB transfer failed. Check the "
             "cable and retry.";
    case -EPIPE: return "The camera at " + device + " stalled the request.";
    case -ETIMEDOUT:
      return "The camera at " + device +
             " did not answer in time. Check the cable, avoid unpowered hubs, and plug the "
             "camera in again.";
    case -EPROTO:
    case -EILSEQ:
    case -EOVERFLOW:
      return "A USB transfer to " + device +
             " failed. Check the cable, avoid unpowered hubs, and retry.";
    case -ENOTSUP: return "This request is not available for " + device + " on Linux.";
    default:
      return "A request to " + device + " failed: " + std::generic_category().message(-code) + ".";
  }
}

}  // namespace emberline::platform::linux_uvc
