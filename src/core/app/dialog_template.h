#pragma once

// The main dialog's template as data: its 20 controls with ids, kinds,
// captions in both languages, styles and positions in dialog units, plus the
// About box and the source-file filters. A face builds its widgets from this
// table alone, so both languages share one description of the window.

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "core/workflows/strings.h"
#include "core/workflows/ui_port.h"

namespace emberline::app {

enum class ControlKind : std::uint8_t { PushButton, Edit, ProgressBar, StaticText, TabControl };

// Styles beyond "child window", as bits.
enum ControlStyle : std::uint32_t {
  kStyleHidden = 1u << 0,     // created without the visible style
  kStyleDisabled = 1u << 1,
  kStyleTabStop = 1u << 2,
  kStyleBorder = 1u << 3,
  kStyleReadOnly = 1u << 4,
  kStyleAutoHScroll = 1u << 5,
  kStyleMultiLine = 1u << 6,
  kStyleCentred = 1u << 7,
  kStyleGroup = 1u << 8,
  kStyleNoPrefix = 1u << 9,   // static text: '&' is shown, not taken as a mnemonic
};

// A rectangle in dialog units (x, y, width, height).
struct DialogRect {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
  friend bool operator==(const DialogRect&, const DialogRect&) = default;
};

struct ControlTemplate {
  int id = 0;
  ControlKind kind = ControlKind::StaticText;
  std::string_view caption_en;
  std::string_view caption_zh;
  std::uint32_t style = 0;
  DialogRect rect_en;
  DialogRect rect_zh;

  std::string_view caption(workflows::Language language) const {
    return language == workflows::Language::SimplifiedChinese ? caption_zh : caption_en;
  }
  const DialogRect& rect(workflows::Language language) const {
    return language == workflows::Language::SimplifiedChinese ? rect_zh : rect_en;
  }
  bool has(ControlStyle s) const { return (style & s) != 0; }
};

inline constexpr int kMainDialogWidth = 320;  // dialog units, both languages
inline constexpr int kMainDialogHeight = 185;
inline constexpr std::string_view kMainDialogCaption = "Common USB Emberline";

// The controls in template order (the tab control last, so the page controls
// lie above it).
std::span<const ControlTemplate> mainDialogControls();
// The entry for `id`, or nullptr.
const ControlTemplate* findControl(int id);

// Dialog 100.
struct AboutTemplate {
  std::string_view caption;
  std::string_view title_line;
  std::string_view detail_line;
  std::string_view ok_caption;
  int width = 0;  // dialog units
  int height = 0;
};
AboutTemplate aboutTemplate(workflows::Language language);

// The file-open dialog of "Browse": the filters in order (the first one is
// preselected) and the initial file name.
struct FileFilter {
  std::string_view label;
  std::string_view pattern;
};
struct SourceFileDialog {
  std::span<const FileFilter> filters;
  std::string_view initial_name;
};
// The filters' names are in the dialog's language; the patterns are the same.
SourceFileDialog sourceFileDialog(workflows::Language language = workflows::Language::English);

// Dialog units to pixels: x by a quarter of the font's average character
// width, y by an eighth of its height, rounded to the nearest pixel.
struct DialogBaseUnits {
  int x = 0;  // average character width, pixels
  int y = 0;  // character height, pixels
};
struct PixelRect {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
  friend bool operator==(const PixelRect&, const PixelRect&) = default;
};
int dialogUnitsToPixelsX(int units, DialogBaseUnits base);
int dialogUnitsToPixelsY(int units, DialogBaseUnits base);
PixelRect toPixels(const DialogRect& rect, DialogBaseUnits base);

// Control groups.
inline constexpr std::array<int, 4> kBurnPageControls{workflows::kCtlBrowse, workflows::kCtlImagePath,
                                                     workflows::kCtlGo, workflows::kCtlImageIdentity};
// The Auxiliary page's rows: "Erase SF", "Rom Export", its name box, "F/W Version".
inline constexpr std::array<int, 4> kAuxiliaryRow{workflows::kCtlEraseSf, workflows::kCtlRomExport,
                                                 workflows::kCtlExportName, workflows::kCtlFwVersion};
// The stage row in the order the start handlers hide it.
inline constexpr std::array<int, 7> kStageRow{
    workflows::kCtlProgressStage, workflows::kCtlStageErase,  workflows::kCtlStageEraseOk,
    workflows::kCtlStageBurn,     workflows::kCtlStageBurnOk, workflows::kCtlStageVerify,
    workflows::kCtlStageVerifyOk};

}  // namespace emberline::app
