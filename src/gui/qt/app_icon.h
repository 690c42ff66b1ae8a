#pragma once

#include <QIcon>

namespace emberline::gui {

// The application icon (an ember over a flash chip) in every size it is drawn in.
QIcon applicationIcon();

}  // namespace emberline::gui
