#include "core/app/operator_texts.h"

namespace emberline::app {

using workflows::Language;

std::string stationMenuText(Language language) {
  return language == Language::SimplifiedChinese ? "烧录站窗口(&S)..." : "&Station Window...";
}

std::string closeWaitNote(Language language) {
  return language == Language::SimplifiedChinese ? "任务结束后关闭窗口..."
                                                 : "Closing when the task ends...";
}

std::string noCameraAdvice(Language language) {
  if (language == Language::SimplifiedChinese)
    return "请检查摄像头是否已插好、USB 线是否接牢，然后重新启动本程序。"
           "如果摄像头已插好，可能是当前用户没有使用摄像头的权限："
           "请让本工位的管理员安装摄像头的 udev 规则。";
  return "Check that the camera is plugged in and its USB cable is seated, then start the "
         "program again. If it is plugged in, this user may not be allowed to use it: ask "
         "whoever looks after this station to install the camera's udev rule.";
}

std::string exportFolderText(const std::filesystem::path& folder, const std::string& why,
                             Language language) {
  if (language == Language::SimplifiedChinese)
    return "无法在文件夹 " + folder.string() + " 中保存导出的文件：" + why +
           "。\n请从一个可以写入的文件夹启动本程序。";
  return "Can't save the exported file in the folder " + folder.string() + ": " + why +
         ".\nStart the program from a folder you may write to.";
}

}  // namespace emberline::app
