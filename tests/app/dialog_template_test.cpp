// The dialog template as data, and dialog units scaled as the native dialog
// manager scales them.

#include <gtest/gtest.h>

#include "core/app/dialog_template.h"

namespace emberline::app {
namespace {

TEST(DialogTemplate, PassesItsSelfCheckWithNineteenControls) {
  EXPECT_EQ(checkMainDialogTemplate(), "");
  EXPECT_EQ(mainDialogControls().size(), 19u);
  EXPECT_EQ(findControl(1016), nullptr);
  EXPECT_EQ(sourceFileDialog().filters[0].pattern, "*.SRC");
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
