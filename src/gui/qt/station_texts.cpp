#include "gui/qt/station_texts.h"

#include <map>

namespace emberline::gui {

namespace {

struct Pair {
  const char* english;
  const char* chinese;
};

QString pick(workflows::Language language, const Pair& pair) {
  return QString::fromUtf8(language == workflows::Language::SimplifiedChinese ? pair.chinese : pair.english);
}

}  // namespace

QString stationText(workflows::Language language, StationText id) {
  static const std::map<StationText, Pair> kTexts = {
      {StationText::Title, {"Emberline Station", "Emberline 烧录站"}},
      {StationText::Device, {"Device", "设备"}},
      {StationText::Port, {"Port", "端口"}},
      {StationText::ChipId, {"Chip ID", "芯片 ID"}},
      {StationText::Stage, {"Stage", "阶段"}},
      {StationText::Progress, {"Progress", "进度"}},
      {StationText::Result, {"Result", "结果"}},
      {StationText::Time, {"Time", "时间"}},
      {StationText::StartAll, {"Start All", "全部开始"}},
      {StationText::Stop, {"Stop", "停止"}},
      {StationText::Totals, {"Passed: %1    Failed: %2    Running: %3    Waiting: %4",
                             "成功：%1    失败：%2    进行中：%3    等待：%4"}},
      {StationText::Ready, {"Ready", "就绪"}},
      {StationText::Unplugged, {"Unplugged", "已拔出"}},
      {StationText::Done, {"Done", "完成"}},
      {StationText::Stopping, {"Stopping after the burns in flight...", "正在等待进行中的烧录结束..."}},
  };
  return pick(language, kTexts.at(id));
}

QString stageText(workflows::Language language, const std::string& label) {
  static const std::map<std::string, Pair> kStages = {
      {"Connecting", {"Connecting", "连接"}},
      {"Reading the version", {"Reading the version", "读取版本"}},
      {"Erase and Check", {"Erase and Check", "擦除并检查"}},
      {"Burning", {"Burning", "烧录"}},
      {"Verify", {"Verify", "校验"}},
      {"Erasing", {"Erasing", "擦除"}},
  };
  const auto it = kStages.find(label);
  return it == kStages.end() ? QString::fromStdString(label) : pick(language, it->second);
}

QString resultText(workflows::Language language, station::JobResult result) {
  switch (result) {
    case station::JobResult::Passed: return pick(language, {"Passed", "成功"});
    case station::JobResult::Failed: return pick(language, {"Failed", "失败"});
    case station::JobResult::BadImage: return pick(language, {"Bad image", "映像文件错误"});
    case station::JobResult::NoCamera: return pick(language, {"No camera", "无摄像头"});
    case station::JobResult::Busy: return pick(language, {"Busy", "被占用"});
    case station::JobResult::Unavailable: return pick(language, {"Unavailable", "无法打开"});
    case station::JobResult::Stopped: return pick(language, {"Stopped", "已停止"});
  }
  return {};
}

}  // namespace emberline::gui
