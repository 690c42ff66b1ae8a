#include "gui/qt/qt_translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>

namespace emberline::gui {

std::unique_ptr<QTranslator> installQtTranslations(workflows::Language language) {
  if (language != workflows::Language::SimplifiedChinese) return nullptr;
  auto translator = std::make_unique<QTranslator>();
  // qtbase holds the texts of every widget the dialog uses.
  if (!translator->load(QStringLiteral("qtbase_zh_CN"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
    return nullptr;
  QCoreApplication::installTranslator(translator.get());
  return translator;
}

}  // namespace emberline::gui
