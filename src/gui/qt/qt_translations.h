#pragma once

// Qt's own texts (message-box buttons, the file dialog) in the dialog's
// language, from the translations the system's Qt ships.

#include <QTranslator>

#include <memory>

#include "core/workflows/strings.h"

namespace emberline::gui {

// Loads and installs Qt's translations for `language`; nullptr when the
// language needs none (English) or they are not installed. The application
// uses them as long as the returned translator lives.
std::unique_ptr<QTranslator> installQtTranslations(workflows::Language language);

}  // namespace emberline::gui
