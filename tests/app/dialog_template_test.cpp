// The dialog template as data: consistent, complete, and scaled like the
// native dialog manager scales it.

#include <gtest/gtest.h>

#include "core/app/dialog_template.h"
#include "core/workflows/ui_port.h"

namespace emberline::app {
namespace {

namespace w = workflows;

TEST(DialogTemplate, PassesItsSelfCheckAndHoldsEveryControlOnce) {
  EXPECT_EQ(checkMainDialogTemplate(), "");
  const int ids[] = {w::kCtlBrowse,       w::kCtlImagePath,    w::kCtlGo,           w::kCtlProgressData,
                     w::kCtlProgressStage, w::kCtlEraseSf,      w::kCtlRomExport,    w::kCtlStageErase,
                     w::kCtlStageEraseOk,  w::kCtlStageBurn,    w::kCtlStageBurnOk,  w::kCtlStageVerify,
                     w::kCtlStageVerifyOk, w::kCtlExportName,   w::kCtlStatus,       w::kCtlGetRomType,
                     w::kCtlFwVersion,     w::kCtlRename,       w::kCtlTab};
  EXPECT_EQ(mainDialogControls().size(), std::size(ids));
  for (int id : ids) EXPECT_NE(findControl(id), nullptr) << id;
  EXPECT_EQ(findControl(1016), nullptr);
}

TEST(DialogTemplate, ChineseTemplateMovesOnlyWhatItsCaptionsNeed) {
  const auto* go = findControl(w::kCtlGo);
  EXPECT_EQ(go->rect(w::Language::SimplifiedChinese), (DialogRect{233, 96, 65, 21}));
  EXPECT_EQ(go->rect(w::Language::English), (DialogRect{232, 94, 64, 23}));
  EXPECT_EQ(go->caption(w::Language::SimplifiedChinese), "开始烧录");
  EXPECT_EQ(findControl(w::kCtlTab)->rect(w::Language::SimplifiedChinese), (DialogRect{11, 43, 307, 90}));
  EXPECT_EQ(findControl(w::kCtlStatus)->rect(w::Language::SimplifiedChinese),
            findControl(w::kCtlStatus)->rect(w::Language::English));
}

TEST(DialogTemplate, DialogUnitsScaleByQuarterWidthAndEighthHeightRounded) {
  // 6 x 13 pixel base units, as an 8-point dialog font gives.
  const DialogBaseUnits base{6, 13};
  EXPECT_EQ(toPixels({232, 94, 64, 23}, base), (PixelRect{348, 153, 96, 37}));
  EXPECT_EQ(dialogUnitsToPixelsX(1, base), 2);   // 1.5 rounds up
  EXPECT_EQ(dialogUnitsToPixelsY(1, base), 2);   // 1.625
  EXPECT_EQ(dialogUnitsToPixelsY(3, {6, 12}), 5);  // 4.5 rounds up
  EXPECT_EQ(dialogUnitsToPixelsX(kMainDialogWidth, base), 480);
}

TEST(DialogTemplate, FileDialogOffersSourceFilesFirst) {
  const SourceFileDialog d = sourceFileDialog();
  ASSERT_EQ(d.filters.size(), 4u);
  EXPECT_EQ(d.filters[0].pattern, "*.SRC");
  EXPECT_EQ(d.filters[0].label, "Source File(*.SRC)");
  EXPECT_EQ(d.filters[1].pattern, "*.BIN");
  EXPECT_EQ(d.filters[2].pattern, "*.HEX");
  EXPECT_EQ(d.filters[3].label, "All File (*.*)");
  EXPECT_EQ(d.initial_name, "*.SRC");
}

}  // namespace
}  // namespace emberline::app
