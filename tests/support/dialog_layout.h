#pragma once

// The operator's dialog as its template lays it out, written out by hand
// rather than taken from the program's own table, so that the tests compare
// two independent descriptions: the 19 controls in template order with their
// kinds, styles, captions and English positions (dialog units), and our own
// twentieth, the loaded image's identity under the path box. Of the
// Chinese template only the positions below are known; its other controls
// sit within a few units of their English places.

#include <array>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string_view>

#include "core/app/dialog_template.h"

namespace emberline::test {

struct ExpectedControl {
  int id;
  app::ControlKind kind;
  std::string_view caption_en;
  std::string_view caption_zh;
  std::uint32_t style;
  app::DialogRect rect_en;
  std::optional<app::DialogRect> rect_zh;  // where the Chinese template is known
};

namespace layout {
using K = app::ControlKind;
inline constexpr std::uint32_t kEditBox = app::kStyleBorder | app::kStyleReadOnly | app::kStyleAutoHScroll;
inline constexpr std::uint32_t kHiddenDisabled = app::kStyleHidden | app::kStyleDisabled;
}  // namespace layout

inline const std::array<ExpectedControl, 20> kExpectedControls{{
    {1000, layout::K::PushButton, "Browse", "浏览", app::kStyleTabStop, {18, 71, 50, 14}, app::DialogRect{18, 69, 50, 14}},
    {1001, layout::K::Edit, "", "", layout::kEditBox, {70, 71, 226, 14}, std::nullopt},
    {1002, layout::K::PushButton, "GO", "开始烧录", app::kStyleTabStop, {232, 94, 64, 23}, app::DialogRect{233, 96, 65, 21}},
    {1003, layout::K::ProgressBar, "", "", 0, {14, 145, 290, 8}, std::nullopt},
    {1004, layout::K::ProgressBar, "", "", 0, {14, 163, 289, 8}, std::nullopt},
    {1005, layout::K::PushButton, "Erase SF", "擦除Flash", 0, {18, 75, 50, 14}, std::nullopt},
    {1006, layout::K::PushButton, "Rom Export", "导出ROM", 0, {78, 75, 50, 14}, std::nullopt},
    {1007, layout::K::StaticText, "Erase and Check", "擦除", app::kStyleGroup, {15, 154, 54, 8}, std::nullopt},
    {1008, layout::K::StaticText, "OK!", "OK!", app::kStyleGroup, {75, 154, 13, 8}, std::nullopt},
    {1010, layout::K::StaticText, "OK!", "OK!", app::kStyleGroup, {152, 154, 13, 8}, std::nullopt},
    {1012, layout::K::StaticText, "OK!", "OK!", app::kStyleGroup, {243, 154, 13, 8}, std::nullopt},
    {1009, layout::K::StaticText, "Burning", "烧录", app::kStyleGroup, {122, 154, 25, 8}, std::nullopt},
    {1011, layout::K::StaticText, "Verify", "校验", app::kStyleGroup, {219, 154, 20, 8}, std::nullopt},
    {1013, layout::K::Edit, "", "", layout::kEditBox, {130, 75, 165, 14}, std::nullopt},
    {1014, layout::K::Edit, "", "",
     app::kStyleReadOnly | app::kStyleMultiLine | app::kStyleCentred | app::kStyleAutoHScroll, {90, 20, 132, 19},
     std::nullopt},
    {1015, layout::K::PushButton, "Get Rom Type", "获取DSP型号", layout::kHiddenDisabled | app::kStyleTabStop,
     {252, 20, 50, 14}, std::nullopt},
    {1017, layout::K::PushButton, "F/W Version", "获取F/W版本", 0, {17, 100, 50, 14}, std::nullopt},
    {1024, layout::K::PushButton, "Rename", "命名文件", layout::kHiddenDisabled, {78, 100, 50, 14}, std::nullopt},
    {1026, layout::K::StaticText, "", "", app::kStyleNoPrefix, {70, 88, 158, 18}, app::DialogRect{70, 86, 158, 18}},
    {1025, layout::K::TabControl, "", "", 0, {11, 44, 295, 90}, app::DialogRect{11, 43, 307, 90}},
}};

// How far, in dialog units per coordinate, the Chinese template may move a
// control whose Chinese place is not known (the tab control's width moves 12).
inline constexpr int kChineseDrift = 12;

inline bool nearEnglish(const app::DialogRect& zh, const app::DialogRect& en) {
  return std::abs(zh.x - en.x) <= kChineseDrift && std::abs(zh.y - en.y) <= kChineseDrift &&
         std::abs(zh.width - en.width) <= kChineseDrift && std::abs(zh.height - en.height) <= kChineseDrift;
}

}  // namespace emberline::test
