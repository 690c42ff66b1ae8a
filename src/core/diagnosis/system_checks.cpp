// The checks of the machine and of the search for the camera: facts in,
// verdicts and advice out.

#include <cerrno>
#include <cstdio>
#include <system_error>

#include "core/diagnosis/doctor.h"
#include "core/diagnosis/texts.h"

namespace emberline::diagnosis {

namespace {

constexpr const char* kInstalledRule = "/etc/udev/rules.d/70-emberline.rules";
constexpr const char* kPackageRule = "/usr/lib/udev/rules.d/70-emberline.rules";

std::string errnoText(int error) { return std::generic_category().message(error < 0 ? -error : error); }

std::string joined(const std::vector<std::string>& items, std::string_view separator = ", ") {
  std::string text;
  for (const auto& item : items) text += (text.empty() ? "" : std::string(separator)) + item;
  return text;
}

Check driverCheck(const LinuxSystemFacts& f, Language l) {
  if (f.driver_loaded)
    return {"driver", CheckStatus::Ok,
            say(l, "uvcvideo is loaded ({0} USB interfaces bound to it)", "uvcvideo 驱动已加载（绑定了 {0} 个 USB 接口）",
                {std::to_string(f.bound_interfaces)}),
            ""};
  return {"driver", CheckStatus::Failed, say(l, "the uvcvideo driver is not loaded", "uvcvideo 驱动未加载"),
          say(l,
              "Load it: sudo modprobe uvcvideo (every distribution kernel has it; in a container the host "
              "must load it).",
              "加载驱动：sudo modprobe uvcvideo（各发行版内核都自带；在容器中须由宿主机加载）。")};
}

Check nodesCheck(const LinuxSystemFacts& f, Language l) {
  if (f.nodes.empty())
    return {"video_nodes", CheckStatus::Failed, say(l, "no video node of uvcvideo", "没有 uvcvideo 的视频节点"),
            say(l,
                "Plug the camera in, directly rather than through an unpowered hub, and run doctor again; "
                "'lsusb' should list it.",
                "插上摄像头（直接插在电脑上，不要经过无源集线器）后再次运行 doctor；'lsusb' 应能列出它。")};
  std::vector<std::string> listed, missing;
  for (const auto& node : f.nodes) {
    listed.push_back(node.path + " \"" + node.name + "\" (index " + std::to_string(node.index) + ")");
    if (!node.present) missing.push_back(node.path);
  }
  if (!missing.empty())
    return {"video_nodes", CheckStatus::Failed,
            say(l, "the kernel has {0}, but /dev lacks {1}", "内核中有 {0}，但 /dev 中缺少 {1}",
                {joined(listed), joined(missing)}),
            say(l,
                "udev did not create the device node: plug the camera in again; in a container, pass the "
                "device in (for example docker run --device {0}).",
                "udev 没有创建设备节点：请重新插拔摄像头；在容器中请把设备传入（例如 docker run --device {0}）。",
                {missing.front()})};
  return {"video_nodes", CheckStatus::Ok, say(l, "{0}", "{0}", {joined(listed)}), ""};
}

// Why this user cannot open a node, and the one fix that applies.
std::string accessAdvice(const LinuxSystemFacts& f, const VideoNode& node, Language l) {
  const std::string group = node.group.empty() ? "video" : node.group;
  if (node.group_after_login)
    return say(l,
               "{0} joined the group '{1}' after logging in: log out and in again (or start a shell with "
               "'newgrp {1}').",
               "{0} 是在登录之后才加入 '{1}' 组的：请注销后重新登录（或用 'newgrp {1}' 打开新的 shell）。",
               {f.user, group});
  if (f.remote || !f.at_seat)
    return say(l,
               "Without a seat (over ssh, in a service or a container) the udev rule's uaccess does not apply: "
               "add the user to the group: sudo usermod -aG {1} {0}, then log in again.",
               "不在本机座席登录时（ssh、服务或容器中），udev 规则的 uaccess 不起作用：请把用户加入该组："
               "sudo usermod -aG {1} {0}，然后重新登录。",
               {f.user, group});
  if (!f.rule_files.empty())
    return say(l,
               "The rule {0} is installed but not yet applied to this camera: sudo udevadm control --reload && "
               "sudo udevadm trigger --subsystem-match=video4linux, or plug the camera in again.",
               "规则 {0} 已安装，但尚未作用于这台摄像头：sudo udevadm control --reload && sudo udevadm trigger "
               "--subsystem-match=video4linux，或重新插拔摄像头。",
               {f.rule_files.front()});
  return say(l,
             "Install the udev rule: emberline udev-rule | sudo tee {0}, then sudo udevadm control --reload && "
             "sudo udevadm trigger --subsystem-match=video4linux, and plug the camera in again (the emberline "
             "package installs the same rule as {1}).",
             "安装 udev 规则：emberline udev-rule | sudo tee {0}，然后 sudo udevadm control --reload && sudo "
             "udevadm trigger --subsystem-match=video4linux，再重新插拔摄像头（emberline 软件包会把同样的规则"
             "装到 {1}）。",
             {kInstalledRule, kPackageRule});
}

Check permissionCheck(const LinuxSystemFacts& f, Language l) {
  std::vector<std::string> allowed;
  for (const auto& node : f.nodes) {
    if (!node.present) continue;
    if (node.access_error == 0) {
      allowed.push_back(node.path);
      continue;
    }
    std::string found =
        say(l, "user {0} may not open {1} read-write ({2})", "用户 {0} 无法以读写方式打开 {1}（{2}）",
            {f.user, node.path, errnoText(node.access_error)});
    if (!node.group.empty())
      found += say(l, "; its group is '{0}', {1}", "；其所属组为 '{0}'，{1}",
                   {node.group, node.in_group ? say(l, "which this login has", "本次登录已具有该组")
                                              : say(l, "which this login lacks", "本次登录不具有该组")});
    const bool denied = node.access_error == -EACCES || node.access_error == -EPERM;
    return {"permission", CheckStatus::Failed, found,
            denied ? accessAdvice(f, node, l)
                   : say(l, "Plug the camera in again; if it persists, reboot.", "请重新插拔摄像头；若问题仍在，请重启。")};
  }
  return {"permission", CheckStatus::Ok,
          say(l, "user {0} may open {1} read-write", "用户 {0} 可以读写 {1}", {f.user, joined(allowed)}), ""};
}

std::string consentWord(Consent consent, Language l) {
  switch (consent) {
    case Consent::Allow: return say(l, "on", "开");
    case Consent::Deny: return say(l, "off", "关");
    case Consent::NotSet: break;
  }
  return say(l, "not set (on)", "未设置（开）");
}

std::vector<Check> windowsChecks(const WindowsSystemFacts& f, Language l) {
  std::vector<Check> checks;
  if (f.enumerate_error != 0) {
    checks.push_back({"video_devices", CheckStatus::Failed,
                      say(l, "DirectShow's device list cannot be read ({0})", "无法读取 DirectShow 的设备列表（{0}）",
                          {errnoText(f.enumerate_error)}),
                      say(l, "Restart the computer; if it persists, repair Windows' media components.",
                          "请重启电脑；若问题仍在，请修复 Windows 的媒体组件。")});
  } else if (f.devices.empty()) {
    checks.push_back({"video_devices", CheckStatus::Failed,
                      say(l, "DirectShow lists no video-input device", "DirectShow 中没有视频输入设备"),
                      say(l,
                          "Plug the camera in, directly rather than through an unpowered hub; Device Manager should "
                          "show it under Cameras or Imaging devices.",
                          "请插上摄像头（直接插在电脑上，不要经过无源集线器）；设备管理器的“照相机”或“图像设备”下"
                          "应能看到它。")});
  } else {
    std::vector<std::string> listed;
    for (const auto& d : f.devices) listed.push_back("\"" + d.name + "\" " + d.path);
    checks.push_back({"video_devices", CheckStatus::Ok, joined(listed, "; "), ""});
  }

  const std::string settings =
      say(l,
          "camera access for this device: {0}; let apps access your camera: {1}; let desktop apps access your "
          "camera: {2}",
          "此设备的相机访问权限：{0}；允许应用访问你的相机：{1}；允许桌面应用访问你的相机：{2}",
          {consentWord(f.device_access, l), consentWord(f.app_access, l), consentWord(f.desktop_app_access, l)});
  if (f.device_access == Consent::Deny)
    checks.push_back({"camera_privacy", CheckStatus::Failed, settings,
                      say(l,
                          "Settings > Privacy & security > Camera: turn \"Camera access\" on (it needs an "
                          "administrator), then \"Let desktop apps access your camera\".",
                          "设置 > 隐私和安全性 > 相机：打开“相机访问权限”（需要管理员），再打开“允许桌面应用访问你的"
                          "相机”。")});
  else if (f.app_access == Consent::Deny || f.desktop_app_access == Consent::Deny)
    checks.push_back({"camera_privacy", CheckStatus::Failed, settings,
                      say(l,
                          "Settings > Privacy & security > Camera: turn on \"Let apps access your camera\" and "
                          "\"Let desktop apps access your camera\".",
                          "设置 > 隐私和安全性 > 相机：打开“允许应用访问你的相机”和“允许桌面应用访问你的相机”。")});
  else
    checks.push_back({"camera_privacy", CheckStatus::Ok, settings, ""});

  if (f.using_camera.empty())
    checks.push_back({"camera_in_use", CheckStatus::Ok,
                      say(l, "Windows counts no program as using a camera", "Windows 显示没有程序正在使用相机"), ""});
  else
    checks.push_back({"camera_in_use", CheckStatus::Warning,
                      say(l, "in use by {0}", "正在使用相机的程序：{0}", {joined(f.using_camera)}),
                      say(l,
                          "Close these programs before a burn or an erase: a camera in use may refuse requests, "
                          "and nobody should unplug it meanwhile.",
                          "烧录或擦除前请关闭这些程序：相机被占用时可能拒绝请求，期间也不应拔下摄像头。")});
  return checks;
}

}  // namespace

std::vector<Check> systemChecks(const SystemFacts& facts, Language l) {
  std::vector<Check> checks;
  if (facts.linux_facts) {
    const auto& f = *facts.linux_facts;
    checks.push_back(driverCheck(f, l));
    checks.push_back(nodesCheck(f, l));
    if (!f.nodes.empty()) checks.push_back(permissionCheck(f, l));
  }
  if (facts.windows_facts) {
    const auto more = windowsChecks(*facts.windows_facts, l);
    checks.insert(checks.end(), more.begin(), more.end());
  }
  return checks;
}

Check cameraCheck(const CameraSearch& s, Language l) {
  if (s.answering.size() == 1)
    return {"camera", CheckStatus::Ok,
            say(l, "{0} answers the vendor extension unit", "{0} 响应了厂商扩展单元", {s.answering.front()}), ""};
  if (s.answering.size() > 1)
    return {"camera", CheckStatus::Failed,
            say(l, "{0} cameras answer: {1}", "有 {0} 台摄像头响应：{1}",
                {std::to_string(s.answering.size()), joined(s.answering, "; ")}),
            say(l, "Name the one to examine: emberline doctor --device PATH (a path or an index of 'emberline list').",
                "请指定要检查的摄像头：emberline doctor --device 路径（路径或 'emberline list' 中的序号）。")};
  std::string found;
  if (s.enumerate_error != 0)
    found = say(l, "the device list cannot be read ({0})", "无法读取设备列表（{0}）", {errnoText(s.enumerate_error)});
  else if (s.listed == 0)
    found = say(l, "no video-capture device (searched {0})", "没有视频采集设备（已搜索 {0}）", {s.searched});
  else
    found = say(l, "none of the {0} devices answers the vendor extension unit", "{0} 个设备中没有一个响应厂商扩展单元",
                {std::to_string(s.listed)});
  if (!s.problems.empty()) found += ": " + joined(s.problems, " ");
  return {"camera", CheckStatus::Failed, found,
          say(l,
              "Plug in a camera of the family; when a device could not be opened, the checks above say why.",
              "请插上本系列的摄像头；若有设备无法打开，上面的检查项说明了原因。")};
}

Check lockCheck(bool busy, long holder, Language l) {
  if (!busy)
    return {"camera_lock", CheckStatus::Ok,
            say(l, "no other emberline is driving the camera", "没有其他 emberline 正在操作这台摄像头"), ""};
  return {"camera_lock", CheckStatus::Failed,
          holder > 0 ? say(l, "emberline process {0} is driving the camera", "emberline 进程 {0} 正在操作这台摄像头",
                           {std::to_string(holder)})
                     : say(l, "another emberline is driving the camera", "另一个 emberline 正在操作这台摄像头"),
          say(l,
              "Wait for it to end (a burn takes a minute or two), then run doctor again; doctor asks the camera "
              "nothing meanwhile.",
              "请等它结束（烧录需要一两分钟）后再运行 doctor；在此期间 doctor 不会向摄像头发送任何请求。")};
}

std::vector<Check> cameraPlatformChecks(const CameraFacts& f, Language l) {
  std::vector<Check> checks;
  if (f.holders_known) {
    if (f.holders.empty()) {
      checks.push_back({"other_programs", CheckStatus::Ok,
                        say(l, "no other program has {0} open", "没有其他程序打开 {0}", {f.device_path}), ""});
    } else {
      std::vector<std::string> who;
      for (const auto& h : f.holders)
        who.push_back((h.program.empty() ? std::string("?") : h.program) + " (pid " + std::to_string(h.pid) + ")");
      checks.push_back({"other_programs", CheckStatus::Warning,
                        say(l, "{0} is open in {1}", "{0} 正被以下程序打开：{1}", {f.device_path, joined(who)}),
                        say(l,
                            "Vendor requests work while another program streams, but close it before a burn or "
                            "an erase, so that nobody unplugs the camera thinking it has hung.",
                            "其他程序取流时厂商请求仍可工作，但烧录或擦除前请关闭它，以免有人以为摄像头卡住而拔掉它。")});
    }
  }
  if (!f.usb_port.empty() || f.usb_speed_mbps) {
    char speed[32] = "?";
    if (f.usb_speed_mbps) std::snprintf(speed, sizeof speed, "%g", *f.usb_speed_mbps);
    const std::string found =
        say(l, "port {0}, {1} Mbit/s", "端口 {0}，{1} Mbit/s", {f.usb_port.empty() ? "?" : f.usb_port, speed});
    if (f.usb_speed_mbps && *f.usb_speed_mbps < 480)
      checks.push_back({"usb_port", CheckStatus::Warning, found,
                        say(l,
                            "The camera runs at USB 1.1 speed: it is behind a USB 1.1 hub, or the cable is poor. "
                            "Plug it directly into the computer with a short cable.",
                            "摄像头工作在 USB 1.1 速度：它接在 USB 1.1 集线器后面，或线缆质量差。请用短线直接插到电脑上。")});
    else if (!f.usb_speed_mbps)
      checks.push_back({"usb_port", CheckStatus::Warning, found,
                        say(l, "sysfs does not show the port's speed; plug the camera in again.",
                            "sysfs 中看不到端口速度；请重新插拔摄像头。")});
    else
      checks.push_back({"usb_port", CheckStatus::Ok, found, ""});
  }
  if (!f.device_path.empty() && f.usb_port.empty() && !f.holders_known)
    checks.push_back({"device_path", CheckStatus::Ok, f.device_path, ""});
  return checks;
}

}  // namespace emberline::diagnosis
