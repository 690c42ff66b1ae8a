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

}  // namespace emberline::app
