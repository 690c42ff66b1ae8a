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

std::string exportFolderText(const std::filesystem::path& folder, const std::string& why,
                             Language language) {
  if (language == Language::SimplifiedChinese)
    return "无法在文件夹 " + folder.string() + " 中保存导出的文件：" + why +
           "。\n请从一个可以写入的文件夹启动本程序。";
  return "Can't save the exported file in the folder " + folder.string() + ": " + why +
         ".\nStart the program from a folder you may write to.";
}

std::string eraseQuestion(Language language) {
  if (language == Language::SimplifiedChinese) return "要擦除摄像头的固件吗？在烧录固件之前，摄像头将无法启动。";
  return "Erase the camera's firmware? The camera will not start until an image is burned.";
}

std::string imageChangedQuestion(const std::filesystem::path& file, const std::string& loaded, Language language) {
  if (language == Language::SimplifiedChinese)
    return "文件 " + file.string() + " 在载入后已被更改或无法再读取。\n\n要烧录载入时的内容吗？\n" + loaded;
  return "The file " + file.string() + " has changed or cannot be read since it was loaded.\n\n"
         "Burn the copy loaded then?\n" + loaded;
}

std::string cameraBusyText(long pid, const std::string& program, Language language) {
  const bool zh = language == Language::SimplifiedChinese;
  if (pid <= 0) return zh ? "摄像头正忙：另一个程序正在使用它" : "Camera busy: used by another program";
  const std::string name = program.empty() ? std::string() : (zh ? "（" + program + "）" : " (" + program + ")");
  if (zh) return "摄像头正忙：进程 " + std::to_string(pid) + (name.empty() ? " " : name) + "正在使用它";
  return "Camera busy: used by process " + std::to_string(pid) + name;
}

}  // namespace emberline::app
