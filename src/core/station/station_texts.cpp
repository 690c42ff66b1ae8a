#include "core/station/station_texts.h"

#include <map>

namespace emberline::station {

namespace {

using workflows::Language;

struct Pair {
  const char* english;
  const char* chinese;
};

std::string pick(Language language, const Pair& pair) {
  return language == Language::SimplifiedChinese ? pair.chinese : pair.english;
}

}  // namespace

std::string stationText(Language language, StationText id) {
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
      {StationText::Clear, {"Clear", "清除"}},
      {StationText::Ready, {"Ready", "就绪"}},
      {StationText::Unplugged, {"unplugged", "已拔出"}},
      {StationText::Done, {"Done", "完成"}},
      {StationText::Stopping, {"Stopping after the burns in flight...", "正在等待进行中的烧录结束..."}},
      {StationText::Image, {"Image", "固件"}},
  };
  return pick(language, kTexts.at(id));
}

std::string stageText(Language language, const std::string& label) {
  static const std::map<std::string, Pair> kStages = {
      {"Connecting", {"Connecting", "连接"}},
      {"Reading the version", {"Reading the version", "读取版本"}},
      {"Erase and Check", {"Erase and Check", "擦除并检查"}},
      {"Burning", {"Burning", "烧录"}},
      {"Verify", {"Verify", "校验"}},
      {"Erasing", {"Erasing", "擦除"}},
  };
  const auto it = kStages.find(label);
  return it == kStages.end() ? label : pick(language, it->second);
}

std::string failedStageText(Language language, const std::string& label) {
  return stageText(language, label) + (language == Language::SimplifiedChinese ? "：失败" : ": failed");
}

std::string resultText(Language language, JobResult result) {
  switch (result) {
    case JobResult::Passed: return pick(language, {"Passed", "成功"});
    case JobResult::Failed: return pick(language, {"Failed", "失败"});
    case JobResult::BadImage: return pick(language, {"Bad image", "固件文件错误"});
    case JobResult::NoCamera: return pick(language, {"No camera", "无摄像头"});
    case JobResult::Busy: return pick(language, {"Busy", "被占用"});
    case JobResult::Unavailable: return pick(language, {"Unavailable", "无法打开"});
    case JobResult::Stopped: return pick(language, {"Stopped", "已停止"});
  }
  return {};
}

std::string totalsText(Language language, std::size_t passed, std::size_t failed, std::size_t running,
                       std::size_t waiting, std::size_t attempts) {
  const auto n = [](std::size_t v) { return std::to_string(v); };
  if (language == Language::SimplifiedChinese)
    return "成功：" + n(passed) + "    失败：" + n(failed) + "    进行中：" + n(running) + "    等待：" + n(waiting) +
           "    尝试次数：" + n(attempts);
  return "Passed: " + n(passed) + "    Failed: " + n(failed) + "    Running: " + n(running) +
         "    Waiting: " + n(waiting) + "    Attempts: " + n(attempts);
}

}  // namespace emberline::station
