// The fixes an operator on Windows can make: the cable and Device Manager,
// the camera privacy setting for desktop programs, and the program that
// already uses the camera. The setting's names are those Windows shows.

#include "frontend/device_advice.h"

namespace emberline::frontend {

std::string platformAdvice(DeviceProblem problem, workflows::Language language) {
  const bool zh = language == workflows::Language::SimplifiedChinese;
  switch (problem) {
    case DeviceProblem::NoCamera:
      return zh ? "请检查：摄像头已插好、USB 线已接牢（设备管理器的“照相机”或“图像设备”下应列出它）；"
                  "“设置 > 隐私和安全性 > 相机”中的“允许桌面应用访问相机”已打开；"
                  "没有其他程序正在使用摄像头。然后重新启动本程序。"
                : "Check that the camera is plugged in and its USB cable is seated (Device Manager "
                  "lists it under Cameras or Imaging devices), that \"Let desktop apps access your "
                  "camera\" is on in Settings > Privacy & security > Camera, and that no other program "
                  "is using the camera. Then start the program again.";
    case DeviceProblem::NotConnected:
      return zh ? "摄像头未连接或已被拔出：请检查 USB 线并重新插上摄像头（设备管理器的“照相机”或“图像设备”下"
                  "应列出它），然后重新启动本程序。"
                : "The camera is not connected or was removed: check the USB cable and plug the camera "
                  "in again (Device Manager lists it under Cameras or Imaging devices), then start the "
                  "program again.";
    case DeviceProblem::AccessDenied:
      return zh ? "Windows 不允许本程序使用摄像头：请在“设置 > 隐私和安全性 > 相机”中打开"
                  "“允许桌面应用访问相机”，然后重新启动本程序。"
                : "Windows does not let this program use the camera: turn on \"Let desktop apps access "
                  "your camera\" in Settings > Privacy & security > Camera, then start the program "
                  "again.";
    case DeviceProblem::InUse:
      return zh ? "另一个程序正在使用摄像头：请关闭正在使用摄像头的程序（例如视频通话或“相机”应用），"
                  "然后重新启动本程序。"
                : "Another program is using the camera: close the program that uses it (a video call, "
                  "the Camera app), then start the program again.";
    case DeviceProblem::NotACamera:
    case DeviceProblem::Other:
      break;
  }
  return {};
}

}  // namespace emberline::frontend
