#include "frontend/device_advice.h"

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "frontend/camera_probe.h"
#include "frontend/device_selection.h"

namespace emberline::frontend {

namespace {

using workflows::Language;

bool chinese(Language language) { return language == Language::SimplifiedChinese; }

std::string detailsLine(const std::string& detail, Language language) {
  return detail.empty() ? std::string() : "\n\n" + detailsLabel(language) + detail;
}

}  // namespace

DeviceProblem deviceProblem(int error) {
  switch (std::abs(error)) {
    case ENOENT:
    case ENODEV:
    case ENXIO: return DeviceProblem::NotConnected;
    case EACCES:
    case EPERM: return DeviceProblem::AccessDenied;
    case EBUSY: return DeviceProblem::InUse;
    case ENOTTY:
    case ENOPROTOOPT: return DeviceProblem::NotACamera;
    default: return DeviceProblem::Other;
  }
}

std::string deviceAdvice(DeviceProblem problem, Language language) {
  const bool zh = chinese(language);
  switch (problem) {
    case DeviceProblem::NotACamera:
      return zh ? "请让本工位的管理员检查摄像头设置（--device）。"
                : "Ask whoever looks after this station to check the camera setting (--device).";
    case DeviceProblem::Other:
      return zh ? "请重新插上摄像头，然后重新启动本程序。" : "Plug the camera in again, then start the program again.";
    default:
      return platformAdvice(problem, language);
  }
}

std::string detailsLabel(Language language) { return chinese(language) ? "详细信息：" : "Details: "; }

std::string noCameraAdvice(device::DeviceList& devices, Language language) {
  const ProbeResult probe = probeDevices(devices);
  const auto why = [](int error, const std::string& platform_detail) {
    return platform_detail.empty() ? std::generic_category().message(std::abs(error)) : platform_detail;
  };
  if (probe.enumerate_error != 0)
    return deviceAdvice(DeviceProblem::Other, language) +
           detailsLine("the device list: " + why(probe.enumerate_error, devices.failureDetail()), language);
  for (const auto& d : probe.devices) {
    if (d.open_error == 0) continue;
    const std::string name = d.entry.display_name.value_or(d.entry.id);
    return deviceAdvice(deviceProblem(d.open_error), language) +
           detailsLine(name + ": " + why(d.open_error, d.open_detail), language);
  }
  return deviceAdvice(DeviceProblem::NoCamera, language);
}

std::string deviceSetupText(const DeviceSpec& selection, const std::string& detail, Language language) {
  using Kind = DeviceSpec::Kind;
  const bool zh = chinese(language);
  if (selection.kind == Kind::Sim)
    return (zh ? "无法使用模拟摄像头：" : "The simulated camera cannot be used: ") + detail;
  // The selection's own reason speaks of the command line; the device named
  // here is all the operator needs.
  std::string device;
  if (selection.kind == Kind::Path) device = selection.path;
  if (selection.kind == Kind::Index) device = "#" + std::to_string(selection.index);
  std::error_code ec;
  // A node that is there but was refused is the wrong device, not a loose cable.
  if (selection.kind == Kind::Path && std::filesystem::exists(selection.path, ec))
    return (zh ? device + " 被设置为本工位的摄像头，但它不是摄像头。"
               : device + " is set up as this station's camera, but it is not a camera.") +
           "\n\n" + deviceAdvice(DeviceProblem::NotACamera, language);
  return (zh ? "本工位使用的摄像头（" + device + "）未连接。" : "The camera this station uses (" + device + ") is not connected.") +
         "\n\n" + deviceAdvice(DeviceProblem::NotConnected, language);
}

}  // namespace emberline::frontend
