// The fixes an operator on Linux can make: the cable, and access to the
// video device through the udev rule Emberline ships.

#include "frontend/device_advice.h"

namespace emberline::frontend {

std::string platformAdvice(DeviceProblem problem, workflows::Language language) {
  const bool zh = language == workflows::Language::SimplifiedChinese;
  switch (problem) {
    case DeviceProblem::NoCamera:
      return zh ? "请检查摄像头是否已插好、USB 线是否接牢，然后重新启动本程序。"
                  "如果摄像头已插好，可能是当前用户没有使用摄像头的权限："
                  "请让本工位的管理员安装摄像头的 udev 规则。"
                : "Check that the camera is plugged in and its USB cable is seated, then start the "
                  "program again. If it is plugged in, this user may not be allowed to use it: ask "
                  "whoever looks after this station to install the camera's udev rule.";
    case DeviceProblem::NotConnected:
      return zh ? "请检查摄像头是否已插好、USB 线是否接牢，然后重新启动本程序。"
                : "Check that the camera is plugged in and its USB cable is seated, then start the "
                  "program again.";
    case DeviceProblem::AccessDenied:
      return zh ? "当前用户没有使用摄像头的权限：请让本工位的管理员安装摄像头的 udev 规则，"
                  "然后重新插上摄像头。"
                : "This user is not allowed to use the camera: ask whoever looks after this station "
                  "to install the camera's udev rule, then plug the camera in again.";
    case DeviceProblem::InUse:
      return zh ? "另一个程序正在使用摄像头：请关闭该程序，然后重新启动本程序。"
                : "Another program is using the camera: close it, then start the program again.";
    case DeviceProblem::NotACamera:
    case DeviceProblem::Other:
      break;
  }
  return {};
}

}  // namespace emberline::frontend
