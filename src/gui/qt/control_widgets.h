#pragma once

// Widgets for the controls of the dialog template: one Qt widget per control
// kind, placed from dialog units scaled to the dialog's font.

#include <QString>

#include "core/app/dialog_template.h"

class QFont;
class QWidget;

namespace emberline::gui {

// The dialog's base units for `font`: a quarter of the average width of the
// Latin letters and an eighth of the line height make one dialog unit.
app::DialogBaseUnits baseUnitsFor(const QFont& font);

// Creates the widget for `control` as a child of `parent`, at its position in
// `language`'s template, with its caption, styles and initial visibility.
QWidget* createControlWidget(const app::ControlTemplate& control, workflows::Language language,
                             app::DialogBaseUnits base, QWidget* parent);

// Text of the widgets that carry one (buttons, labels, edits).
void setWidgetText(QWidget* widget, const QString& text);
QString widgetText(const QWidget* widget);

}  // namespace emberline::gui
