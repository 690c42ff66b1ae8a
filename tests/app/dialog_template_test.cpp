// The dialog template as data, against the template written out by hand, and
// dialog units scaled as the native dialog manager scales them.

#include <gtest/gtest.h>

#include "core/app/dialog_template.h"
#include "support/dialog_layout.h"

namespace emberline::app {
namespace {

using test::kExpectedControls;

TEST(DialogTemplate, EveryControlHasItsIdKindStyleCaptionsAndPlaceInBothLanguages) {
  const auto controls = mainDialogControls();
  ASSERT_EQ(controls.size(), kExpectedControls.size());
  for (std::size_t i = 0; i < controls.size(); ++i) {
    const ControlTemplate& got = controls[i];
    const test::ExpectedControl& want = kExpectedControls[i];
    SCOPED_TRACE("control " + std::to_string(want.id));
    EXPECT_EQ(got.id, want.id);
    EXPECT_EQ(got.kind, want.kind);
    EXPECT_EQ(got.style, want.style);
    EXPECT_EQ(got.caption_en, want.caption_en);
    EXPECT_EQ(got.caption_zh, want.caption_zh);
    EXPECT_EQ(got.rect_en, want.rect_en);
    if (want.rect_zh) {
      EXPECT_EQ(got.rect_zh, *want.rect_zh);
    } else {
      EXPECT_TRUE(test::nearEnglish(got.rect_zh, want.rect_en));
    }
    EXPECT_EQ(findControl(want.id), &got);
  }
  EXPECT_EQ(findControl(1016), nullptr);
}

TEST(DialogTemplate, DialogUnitsScaleByAQuarterWidthAndAnEighthHeightRounded) {
  const DialogBaseUnits base{6, 13};  // an 8-point dialog font
  EXPECT_EQ(toPixels({232, 94, 64, 23}, base), (PixelRect{348, 153, 96, 37}));
  EXPECT_EQ(dialogUnitsToPixelsX(1, base), 2);       // 1.5 rounds up
  EXPECT_EQ(dialogUnitsToPixelsY(3, {6, 12}), 5);    // 4.5 rounds up
  EXPECT_EQ(dialogUnitsToPixelsY(1, base), 2);       // 1.625
}

}  // namespace
}  // namespace emberline::app
