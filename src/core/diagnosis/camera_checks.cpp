// The checks that ask the camera. Every request is a read: registers and the
// device information are read, the flash is asked for its identification and
// status through the SPI port, and memory space 7 is read for the version
// block and the configuration byte. Nothing is erased, programmed or
// unprotected.

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <system_error>

#include "core/device/backend.h"
#include "core/device/clock.h"
#include "core/device/protocol.h"
#include "core/diagnosis/doctor.h"
#include "core/diagnosis/texts.h"
#include "core/serialflash/catalogue.h"
#include "core/serialflash/serial_flash.h"
#include "core/workflows/camera_session.h"
#include "core/workflows/device_error_text.h"
#include "core/workflows/spi_sequencer.h"

namespace emberline::diagnosis {

namespace {

constexpr std::uint8_t kOpReadStatus = 0x05;
constexpr std::uint8_t kStatusBusy = 0x01;
constexpr std::uint8_t kBlockProtectBits = 0x3C;  // BP0-BP3
constexpr std::uint8_t kBypassModeByte = 2;
constexpr std::uint16_t kRegPinLevel = 0x1006;
constexpr std::uint16_t kRegPinOutput = 0x1007;

// A register read slower than this makes a burn of 17,161 requests take
// minutes rather than seconds.
constexpr std::chrono::microseconds kSlowRead{10'000};
constexpr std::size_t kDenseBurnRequests = 17'161;

// Keeps the workflows' messages, so a check can quote why a read failed.
class MessageRecorder final : public workflows::NullUiPort {
 public:
  void showMessage(const std::string& text, const std::string&) override { messages.push_back(text); }
  std::vector<std::string> messages;
};

std::string hex2(unsigned value) {
  char text[8];
  std::snprintf(text, sizeof text, "0x%02X", value & 0xFF);
  return text;
}

std::string idText(const std::array<std::uint8_t, 3>& id) {
  char text[16];
  std::snprintf(text, sizeof text, "%02X:%02X:%02X", id[0], id[1], id[2]);
  return text;
}

std::string milliseconds(std::chrono::microseconds value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.2f ms", static_cast<double>(value.count()) / 1000.0);
  return text;
}

std::string unitSourceText(UnitSource source, Language l) {
  switch (source) {
    case UnitSource::UsbDescriptors: return say(l, "the camera's USB descriptors", "摄像头的 USB 描述符");
    case UnitSource::KsTopology: return say(l, "the kernel-streaming topology", "内核流拓扑");
    case UnitSource::Simulator: return say(l, "the simulated camera's unit", "模拟摄像头的单元");
    case UnitSource::Replay: return say(l, "the replayed trace", "回放的跟踪记录");
    case UnitSource::Unknown: break;
  }
  return say(l, "the platform", "平台");
}

Check unitCheck(device::CaptureDevice& device, std::uint32_t node, const CameraFacts& facts, Language l) {
  const auto found = device.findExtensionUnitNode(device::kExtensionUnitPropertySet);
  const std::string source = unitSourceText(facts.unit_source, l);
  if (found && *found == node)
    return {"extension_unit", CheckStatus::Ok,
            say(l, "unit {0}, found through {1}", "单元 {0}，通过{1}找到", {std::to_string(node), source}), ""};
  const std::string problem = device.unitLookupProblem();
  return {"extension_unit", CheckStatus::Warning,
          say(l, "unit {0}, reached by the fallback ids: {1} did not show it{2}",
              "单元 {0}，通过备用编号访问：{1}中没有找到它{2}",
              {std::to_string(node), source, problem.empty() ? "" : " (" + problem + ")"}),
          say(l,
              "Requests work, but only through a guessed unit id; send a bundle (emberline doctor --bundle FILE) "
              "with a bug report so the lookup can be mended.",
              "请求可以工作，但只是通过猜测的单元编号；请在问题报告中附上诊断包（emberline doctor --bundle 文件），"
              "以便修正查找方法。")};
}

// The lengths each selector's requests have, as this program sends them.
struct SentLengths {
  std::uint32_t selector;
  std::size_t shortest, longest;
  bool needed;  // the burn cannot do without it
};
constexpr std::array<SentLengths, 5> kSent{{
    {device::XU_SEL_REGISTER, device::kRegisterPayloadSize, device::kRegisterPayloadSize, true},
    {device::XU_SEL_MULTI, device::kMultiPayloadSize, device::kMultiPayloadSize, false},
    {device::XU_SEL_FLASH, device::kDialogFlashPayloadSize, device::kLibraryPayloadSize, true},
    {device::XU_SEL_SPACE9, device::kLibraryPayloadSize, device::kLibraryPayloadSize, false},
    {device::XU_SEL_INFO, device::kLibraryPayloadSize, device::kLibraryPayloadSize, true},
}};

Check lengthsCheck(device::CaptureDevice& device, std::uint32_t node, Language l) {
  std::string found;
  CheckStatus status = CheckStatus::Ok;
  std::vector<std::string> problems;
  for (const auto& sent : kSent) {
    std::size_t length = 0;
    const int result = device.controlLength(node, sent.selector, length);
    if (result == -ENOTSUP)
      return {"control_lengths", CheckStatus::Ok,
              say(l, "this platform does not report control lengths", "此平台不报告控件长度"), ""};
    if (!found.empty()) found += say(l, ", ", "，");
    const std::string selector = std::to_string(sent.selector);
    if (result != 0) {
      found += say(l, "selector {0}: none", "选择器 {0}：无", {selector});
      if (sent.needed) {
        status = CheckStatus::Failed;
        problems.push_back(say(l, "selector {0} is missing", "缺少选择器 {0}", {selector}));
      }
      continue;
    }
    found += say(l, "selector {0}: {1} bytes", "选择器 {0}：{1} 字节", {selector, std::to_string(length)});
    if (length < sent.shortest) {
      status = CheckStatus::Failed;
      problems.push_back(say(l, "selector {0} is shorter than the {1} bytes sent on it", "选择器 {0} 比发送的 {1} 字节短",
                             {selector, std::to_string(sent.shortest)}));
    } else if (length < sent.longest || length > sent.longest) {
      if (status == CheckStatus::Ok) status = CheckStatus::Warning;
      problems.push_back(say(l, "selector {0} is not the {1} bytes sent on it", "选择器 {0} 不是发送的 {1} 字节",
                             {selector, std::to_string(sent.longest)}));
    }
  }
  if (status == CheckStatus::Ok) return {"control_lengths", status, found, ""};
  std::string what;
  for (const auto& p : problems) what += (what.empty() ? "" : say(l, "; ", "；")) + p;
  return {"control_lengths", status, found + " (" + what + ")",
          status == CheckStatus::Failed
              ? say(l, "This camera's controls are not the family's: it is probably another kind of camera.",
                    "这台摄像头的控件与本系列不符：它可能是另一种摄像头。")
              : say(l, "Requests are fitted to the camera's lengths; if a burn fails, send a bundle with the report.",
                    "请求会按摄像头的长度调整；若烧录失败，请在报告中附上诊断包。")};
}

Check flashCheck(const serialflash::DetectionResult& detection, int flash_type, Language l) {
  const std::string id = idText(detection.id);
  if (detection.entry != 0)
    return {"flash_part", CheckStatus::Ok,
            say(l, "{0}, catalogue entry {1}, flash type {2}", "{0}，目录第 {1} 项，闪存类型 {2}",
                {id, std::to_string(detection.entry), std::to_string(flash_type)}),
            ""};
  const bool silent = detection.id == std::array<std::uint8_t, 3>{0xFF, 0xFF, 0xFF} ||
                      detection.id == std::array<std::uint8_t, 3>{0x00, 0x00, 0x00};
  if (silent)
    return {"flash_part", CheckStatus::Failed,
            say(l, "{0}: the flash does not answer on the SPI port", "{0}：闪存在 SPI 端口上没有应答", {id}),
            say(l, "The camera's flash cannot be reached; it needs service. Send a bundle with the report.",
                "无法访问摄像头的闪存，需要维修。请在报告中附上诊断包。")};
  return {"flash_part", CheckStatus::Failed,
          say(l, "{0} is not in the catalogue of flash parts", "{0} 不在闪存型号目录中", {id}),
          say(l,
              "Emberline does not know this flash part, and a burn would fail. Send a bundle "
              "(emberline doctor --bundle FILE) with a bug report.",
              "Emberline 不认识这种闪存，烧录会失败。请在问题报告中附上诊断包（emberline doctor --bundle 文件）。")};
}

struct ProtectionReading {
  std::uint8_t status = 0xFF;
  std::uint8_t config = 0;
  bool config_read = false;
  std::uint8_t pin_level = 0, pin_output = 0;
  bool bypass = false;  // the firmware leaves the status register alone when protection is lifted
};

Check protectionCheck(const ProtectionReading& r, Language l) {
  const std::string found =
      say(l, "status register {0}, configuration byte {1}, pin registers 0x1006 = {2}, 0x1007 = {3}",
          "状态寄存器 {0}，配置字节 {1}，引脚寄存器 0x1006 = {2}，0x1007 = {3}",
          {hex2(r.status), r.config_read ? hex2(r.config) : "?", hex2(r.pin_level), hex2(r.pin_output)});
  if (r.status == 0xFF)
    return {"write_protection", CheckStatus::Warning,
            found + say(l, ": the flash did not answer", "：闪存没有应答"),
            say(l, "Plug the camera in again and run doctor again.", "请重新插拔摄像头后再运行 doctor。")};
  if (r.status & kStatusBusy)
    return {"write_protection", CheckStatus::Warning,
            found + say(l, ": the flash reports busy", "：闪存报告忙"),
            say(l,
                "An erase or a write may still be running, or the flash is stuck: wait a minute and run doctor "
                "again; if it stays busy, the camera needs service.",
                "可能仍有擦除或写入在进行，或闪存卡住：请等一分钟后再运行 doctor；若一直忙，摄像头需要维修。")};
  const bool protected_now = (r.status & kBlockProtectBits) != 0;
  if (r.bypass && protected_now)
    return {"write_protection", CheckStatus::Failed,
            found + say(l, ": block protection on, and this camera's firmware does not lift it",
                        "：块保护已开启，而这台摄像头的固件不会解除它"),
            say(l,
                "A burn or an erase will fail on this camera. Send a bundle (emberline doctor --bundle FILE) "
                "with a bug report.",
                "这台摄像头上的烧录或擦除会失败。请在问题报告中附上诊断包（emberline doctor --bundle 文件）。")};
  return {"write_protection", CheckStatus::Ok,
          found + (protected_now ? say(l, ": block protection on (a burn lifts it and puts it back)",
                                       "：块保护已开启（烧录时会解除并在结束后恢复）")
                                 : say(l, ": not protected", "：未保护")),
          ""};
}

ProtectionReading readProtection(workflows::CameraSession& session, std::uint8_t chip_id, int kind) {
  auto& library = session.library();
  ProtectionReading r;
  workflows::SpiSequencer spi(library, /*echo_read=*/true);
  spi.takePort();
  spi.select();
  spi.send(kOpReadStatus);
  r.status = spi.receive();
  spi.release();
  spi.givePort();
  library.SfReadRegister(kRegPinLevel, r.pin_level);
  library.SfReadRegister(kRegPinOutput, r.pin_output);
  r.config_read = library.SfTransferMemory(device::kSpaceRead, workflows::writeProtectConfigAddress(chip_id),
                                           std::span<std::uint8_t>(&r.config, 1));
  std::uint8_t mode = 0;
  r.bypass = serialflash::deviceKindFlags(kind).mode2_bypass && session.backend().BeReadInfoByte(0, mode) &&
             mode == kBypassModeByte;
  return r;
}

Check versionCheck(const std::optional<std::string>& text, const std::vector<std::string>& messages, Language l) {
  if (text) {
    std::string lines;
    std::size_t at = 0;
    while (at <= text->size()) {
      auto end = text->find('\n', at);
      std::string line = text->substr(at, end == std::string::npos ? std::string::npos : end - at);
      if (!line.empty() && line.back() == '\r') line.pop_back();
      lines += (lines.empty() ? "" : " / ") + line;
      if (end == std::string::npos) break;
      at = end + 1;
    }
    return {"version_text", CheckStatus::Ok, lines, ""};
  }
  return {"version_text", CheckStatus::Failed,
          messages.empty() ? say(l, "the version cannot be read", "无法读取版本") : messages.back(),
          say(l, "Plug the camera in again and run doctor again; if it persists, send a bundle with a bug report.",
              "请重新插拔摄像头后再运行 doctor；若问题仍在，请在问题报告中附上诊断包。")};
}

}  // namespace

Check timingCheck(std::vector<std::chrono::microseconds> reads, std::size_t failed, Language l) {
  const std::size_t total = reads.size() + failed;
  if (reads.empty() || failed > 0)
    return {"request_timing", CheckStatus::Failed,
            say(l, "{0} of {1} register reads failed", "{1} 次寄存器读取中有 {0} 次失败",
                {std::to_string(failed), std::to_string(total)}),
            say(l, "Check the cable, avoid unpowered hubs, plug the camera in again and run doctor again.",
                "请检查线缆，避免使用无源集线器，重新插拔摄像头后再运行 doctor。")};
  std::sort(reads.begin(), reads.end());
  const auto median = reads[reads.size() / 2];
  const auto worst = reads.back();
  char burn[32];
  std::snprintf(burn, sizeof burn, "%.1f",
                static_cast<double>(median.count()) * kDenseBurnRequests / 2 / 1e6);
  const std::string found =
      say(l, "{0} register reads (a SET and a GET each): median {1}, worst {2}; a full burn would take about {3} s",
          "{0} 次寄存器读取（每次一个 SET 和一个 GET）：中位数 {1}，最慢 {2}；完整烧录约需 {3} 秒",
          {std::to_string(reads.size()), milliseconds(median), milliseconds(worst), burn});
  if (median > kSlowRead)
    return {"request_timing", CheckStatus::Warning, found,
            say(l, "Requests are slow: plug the camera directly into the computer, not through a hub or a long cable.",
                "请求很慢：请把摄像头直接插到电脑上，不要经过集线器或长线缆。")};
  return {"request_timing", CheckStatus::Ok, found, ""};
}

std::vector<Check> cameraChecks(device::DeviceList& devices, const CameraFacts& facts, device::Clock& clock,
                                Language l) {
  MessageRecorder ui;
  workflows::CameraSession session(devices, ui, clock);
  session.setDiscoveryOutput([](std::string_view) {});
  std::vector<Check> checks;
  if (session.DiscoverCamera() != 0) {
    checks.push_back({"extension_unit", CheckStatus::Failed,
                      say(l, "the camera no longer answers the vendor extension unit", "摄像头不再响应厂商扩展单元"),
                      say(l, "Plug the camera in again and run doctor again.", "请重新插拔摄像头后再运行 doctor。")});
    return checks;
  }
  auto& channel = session.channel();
  checks.push_back(unitCheck(*channel.device, channel.node_id, facts, l));
  checks.push_back(lengthsCheck(*channel.device, channel.node_id, l));

  std::uint8_t chip = 0;
  if (!session.ReadChipId(chip)) {
    checks.push_back({"chip", CheckStatus::Failed,
                      say(l, "the chip id cannot be read: {0}", "无法读取芯片编号：{0}",
                          {workflows::describeDeviceError(channel.last_error)}),
                      say(l, "Check the cable, plug the camera in again and run doctor again.",
                          "请检查线缆，重新插拔摄像头后再运行 doctor。")});
    return checks;
  }
  auto& library = session.library();
  const int init = library.SfInit();
  if (init <= 0) {
    checks.push_back({"chip", CheckStatus::Failed,
                      say(l, "chip id {0}; the serial-flash library cannot open the camera: {1}",
                          "芯片编号 {0}；串行闪存库无法打开摄像头：{1}", {hex2(chip), serialflash::initFailureText(init)}),
                      say(l, "Plug the camera in again and run doctor again.", "请重新插拔摄像头后再运行 doctor。")});
    return checks;
  }
  const int kind = library.deviceKind();
  checks.push_back({"chip", CheckStatus::Ok,
                    say(l, "chip id {0}, device kind {1}", "芯片编号 {0}，设备类型 {1}", {hex2(chip), std::to_string(kind)}),
                    ""});
  const int flash_type = library.SfDetectFlash();
  checks.push_back(flashCheck(library.detection(), flash_type, l));
  checks.push_back(protectionCheck(readProtection(session, chip, kind), l));
  library.SfClose();

  const auto version = session.FirmwareVersionText();
  checks.push_back(versionCheck(version, ui.messages, l));

  std::vector<std::chrono::microseconds> reads;
  std::size_t failed = 0;
  for (std::size_t i = 0; i < kTimingReads; ++i) {
    const auto start = clock.now();
    std::uint8_t again = 0;
    if (!session.ReadChipId(again)) {
      ++failed;
      continue;
    }
    reads.push_back(std::chrono::duration_cast<std::chrono::microseconds>(clock.now() - start));
  }
  checks.push_back(timingCheck(std::move(reads), failed, l));
  return checks;
}

}  // namespace emberline::diagnosis
