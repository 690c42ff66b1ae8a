#include "core/app/dialog_template.h"

#include <algorithm>

#include "version/version_number.h"

namespace emberline::app {

namespace {

using workflows::Language;
namespace w = workflows;

constexpr std::uint32_t kEditBox = kStyleBorder | kStyleReadOnly | kStyleAutoHScroll;

// Dialog 102. The Chinese template moves the Browse row, GO and the tab
// control by a few units to fit its captions; everything else matches. The
// image's identity under the path box is ours: two lines beside GO.
constexpr std::array<ControlTemplate, 20> kControls{{
    {w::kCtlBrowse, ControlKind::PushButton, "Browse", "浏览", kStyleTabStop,
     {18, 71, 50, 14}, {18, 69, 50, 14}},
    {w::kCtlImagePath, ControlKind::Edit, "", "", kEditBox,
     {70, 71, 226, 14}, {70, 69, 226, 14}},
    {w::kCtlGo, ControlKind::PushButton, "GO", "开始烧录", kStyleTabStop,
     {232, 94, 64, 23}, {233, 96, 65, 21}},
    {w::kCtlProgressData, ControlKind::ProgressBar, "", "", 0,
     {14, 145, 290, 8}, {14, 145, 290, 8}},
    {w::kCtlProgressStage, ControlKind::ProgressBar, "", "", 0,
     {14, 163, 289, 8}, {14, 163, 289, 8}},
    {w::kCtlEraseSf, ControlKind::PushButton, "Erase SF", "擦除Flash", 0,
     {18, 75, 50, 14}, {18, 75, 50, 14}},
    {w::kCtlRomExport, ControlKind::PushButton, "Rom Export", "导出ROM", 0,
     {78, 75, 50, 14}, {78, 75, 50, 14}},
    {w::kCtlStageErase, ControlKind::StaticText, "Erase and Check", "擦除", kStyleGroup,
     {15, 154, 54, 8}, {15, 154, 54, 8}},
    {w::kCtlStageEraseOk, ControlKind::StaticText, "OK!", "OK!", kStyleGroup,
     {75, 154, 13, 8}, {75, 154, 13, 8}},
    {w::kCtlStageBurnOk, ControlKind::StaticText, "OK!", "OK!", kStyleGroup,
     {152, 154, 13, 8}, {152, 154, 13, 8}},
    {w::kCtlStageVerifyOk, ControlKind::StaticText, "OK!", "OK!", kStyleGroup,
     {243, 154, 13, 8}, {243, 154, 13, 8}},
    {w::kCtlStageBurn, ControlKind::StaticText, "Burning", "烧录", kStyleGroup,
     {122, 154, 25, 8}, {122, 154, 25, 8}},
    {w::kCtlStageVerify, ControlKind::StaticText, "Verify", "校验", kStyleGroup,
     {219, 154, 20, 8}, {219, 154, 20, 8}},
    {w::kCtlExportName, ControlKind::Edit, "", "", kEditBox,
     {130, 75, 165, 14}, {130, 75, 165, 14}},
    {w::kCtlStatus, ControlKind::Edit, "", "",
     kStyleReadOnly | kStyleMultiLine | kStyleCentred | kStyleAutoHScroll,
     {90, 20, 132, 19}, {90, 20, 132, 19}},
    {w::kCtlGetRomType, ControlKind::PushButton, "Get Rom Type", "获取DSP型号",
     kStyleHidden | kStyleDisabled | kStyleTabStop, {252, 20, 50, 14}, {252, 20, 50, 14}},
    {w::kCtlFwVersion, ControlKind::PushButton, "F/W Version", "获取F/W版本", 0,
     {17, 100, 50, 14}, {17, 100, 50, 14}},
    {w::kCtlRename, ControlKind::PushButton, "Rename", "命名文件", kStyleHidden | kStyleDisabled,
     {78, 100, 50, 14}, {78, 100, 50, 14}},
    {w::kCtlImageIdentity, ControlKind::StaticText, "", "", kStyleNoPrefix,
     {70, 88, 158, 18}, {70, 86, 158, 18}},
    {w::kCtlTab, ControlKind::TabControl, "", "", 0,
     {11, 44, 295, 90}, {11, 43, 307, 90}},
}};

constexpr std::array<FileFilter, 4> kSourceFilters{{
    {"Source File(*.SRC)", "*.SRC"},
    {"Source File(*.BIN)", "*.BIN"},
    {"Source File(*.HEX)", "*.HEX"},
    {"All File (*.*)", "*.*"},
}};
constexpr std::array<FileFilter, 4> kSourceFiltersChinese{{
    {"源文件(*.SRC)", "*.SRC"},
    {"源文件(*.BIN)", "*.BIN"},
    {"源文件(*.HEX)", "*.HEX"},
    {"所有文件 (*.*)", "*.*"},
}};

// Rounds a * b / c to the nearest integer, halves away from zero.
int mulDiv(int a, int b, int c) {
  const long long p = static_cast<long long>(a) * b;
  const long long half = c / 2;
  return static_cast<int>(p >= 0 ? (p + half) / c : (p - half) / c);
}

}  // namespace

std::span<const ControlTemplate> mainDialogControls() { return kControls; }

const ControlTemplate* findControl(int id) {
  const auto it = std::find_if(kControls.begin(), kControls.end(),
                               [id](const ControlTemplate& c) { return c.id == id; });
  return it == kControls.end() ? nullptr : &*it;
}

AboutTemplate aboutTemplate(Language language) {
  if (language == Language::SimplifiedChinese)
    return {"关于 Common USB Emberline", "Common USB Emberline 版本 " EMBERLINE_VERSION,
            "USB 摄像头固件烧录工具", "确定", 190, 62};
  return {"About Common USB Emberline", "Common USB Emberline, Version " EMBERLINE_VERSION,
          "Firmware programmer for USB video cameras", "OK", 190, 62};
}

SourceFileDialog sourceFileDialog(Language language) {
  return {language == Language::SimplifiedChinese ? std::span<const FileFilter>(kSourceFiltersChinese)
                                                  : std::span<const FileFilter>(kSourceFilters),
          "*.SRC"};
}

int dialogUnitsToPixelsX(int units, DialogBaseUnits base) { return mulDiv(units, base.x, 4); }
int dialogUnitsToPixelsY(int units, DialogBaseUnits base) { return mulDiv(units, base.y, 8); }

PixelRect toPixels(const DialogRect& r, DialogBaseUnits base) {
  return {dialogUnitsToPixelsX(r.x, base), dialogUnitsToPixelsY(r.y, base),
          dialogUnitsToPixelsX(r.width, base), dialogUnitsToPixelsY(r.height, base)};
}

}  // namespace emberline::app
