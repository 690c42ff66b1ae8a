#pragma once

// Dialog 100: the About box with the application icon.

#include <QDialog>

#include "core/workflows/strings.h"

namespace emberline::gui {

class AboutDialog final : public QDialog {
  Q_OBJECT

 public:
  AboutDialog(workflows::Language language, QWidget* parent);
};

}  // namespace emberline::gui
