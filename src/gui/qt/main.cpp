// emberline-gui [--device DEV] [--lang L]: the operator's dialog.

#include <QApplication>
#include <QCommandLineParser>
#include <QMessageBox>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "core/app/dialog_template.h"
#include "core/workflows/strings.h"
#include "frontend/camera_claims.h"
#include "frontend/device_advice.h"
#include "frontend/device_selection.h"
#include "gui/qt/app_icon.h"
#include "gui/qt/emberline_dialog.h"
#include "gui/qt/qt_translations.h"
#include "gui/qt/station_main.h"
#include "version/version.h"

namespace {

using emberline::workflows::Language;

int fail(const QString& text) {
  std::fprintf(stderr, "emberline-gui: %s\n", text.toLocal8Bit().constData());
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("emberline-gui"));
  const std::string_view version = emberline::version::program();
  QApplication::setApplicationVersion(QString::fromUtf8(version.data(), static_cast<qsizetype>(version.size())));
  QApplication::setWindowIcon(emberline::gui::applicationIcon());

  QCommandLineParser parser;
  parser.setApplicationDescription(QStringLiteral("Firmware programmer for USB video cameras: the operator's dialog."));
  parser.addHelpOption();
  parser.addVersionOption();
  const QCommandLineOption device_option(
      QStringLiteral("device"),
      QStringLiteral("The camera: /dev/videoN, an index from 'emberline list', or sim:PATH for a simulated "
                     "camera. Default: every camera, discovery chooses."),
      QStringLiteral("DEV"));
  const QCommandLineOption lang_option(
      QStringLiteral("lang"), QStringLiteral("Language: en or zh_CN. Default: from the locale."),
      QStringLiteral("L"));
  parser.addOption(device_option);
  parser.addOption(lang_option);
  const QCommandLineOption station_option(
      QStringLiteral("station"),
      QStringLiteral("The station window: burn IMAGE into every camera plugged in (udev, or --device "
                     "sim-dir:DIR for a folder of simulated cameras)."),
      QStringLiteral("IMAGE"));
  const QCommandLineOption record_option(
      QStringLiteral("record"), QStringLiteral("For the station window: append one JSON line per attempt to FILE."),
      QStringLiteral("FILE"));
  parser.addOption(station_option);
  parser.addOption(record_option);
  parser.process(app);

  Language language = emberline::workflows::languageFromEnvironment();
  if (parser.isSet(lang_option)) {
    const auto chosen = emberline::workflows::parseLanguage(parser.value(lang_option).toStdString());
    if (!chosen) return fail(QStringLiteral("unknown language '%1' (use en or zh_CN)").arg(parser.value(lang_option)));
    language = *chosen;
  }

  // Qt's own texts (message-box buttons, the file dialog) in the same language.
  const auto qt_texts = emberline::gui::installQtTranslations(language);

  if (parser.isSet(station_option))
    return emberline::gui::runStationWindow(parser.value(station_option).toStdString(),
                                            parser.value(record_option).toStdString(),
                                            parser.value(device_option).toStdString(), language);

  std::string error;
  const auto selection = emberline::frontend::parseDeviceSpec(parser.value(device_option).toStdString(), &error);
  if (!selection) return fail(QString::fromStdString(error));
  std::unique_ptr<emberline::frontend::DeviceContext> context =
      emberline::frontend::openDeviceContext(*selection, &error);
  if (!context) {
    const QString title = QString::fromUtf8(emberline::app::kMainDialogCaption.data(),
                                            static_cast<qsizetype>(emberline::app::kMainDialogCaption.size()));
    QMessageBox::critical(nullptr, title,
                          QString::fromStdString(emberline::frontend::deviceSetupText(*selection, error, language)));
    return 1;
  }

  emberline::frontend::DeviceContext* ctx = context.get();
  const std::string device = parser.value(device_option).toStdString();
  const std::string record = parser.value(record_option).toStdString();
  // The window menu's station window. It drives the dialog's camera too; a
  // simulated one is read anew afterwards, so the dialog neither works on nor
  // writes back what the station replaced.
  auto station = [ctx, device, record, language](const std::filesystem::path& image, QWidget* parent) {
    emberline::gui::openStationFromDialog(image, record, device, language, parent);
    std::string why;
    if (ctx->reload(&why) != 0)
      QMessageBox::warning(parent, parent->window()->windowTitle(), QString::fromStdString(why));
  };
  // Every operation takes the camera's lock, as the command line does.
  emberline::frontend::ClaimingDeviceList devices(*ctx);
  emberline::gui::EmberlineDialog dialog(
      devices, language,
      [ctx] {
        std::string why;
        if (ctx->persist(&why) == 0) return std::string();
        return why.empty() ? std::string("Can't save the camera's state!") : why;
      },
      station, [&devices] { return devices.claim(); });
  dialog.runModal();
  // The program ends with the dialog, whatever its result.
  return 0;
}
