#include "gui/qt/device_messages.h"

#include <filesystem>
#include <system_error>

namespace emberline::gui {

namespace {

struct Texts {
  const char* not_connected;  // %1: the device
  const char* check_cable;
  const char* not_a_camera;   // %1: the device
  const char* ask_setup;
  const char* simulator;      // %1: the reason
};

constexpr Texts kEnglish{
    "The camera this station uses (%1) is not connected.",
    "Check that the camera is plugged in and its USB cable is seated, then start the program again.",
    "%1 is set up as this station's camera, but it is not a camera.",
    "Ask whoever looks after this station to check the camera setting (--device).",
    "The simulated camera cannot be used: %1",
};

constexpr Texts kChinese{
    "本工位使用的摄像头（%1）未连接。",
    "请检查摄像头是否已插好、USB 线是否接牢，然后重新启动本程序。",
    "%1 被设置为本工位的摄像头，但它不是摄像头。",
    "请让本工位的管理员检查摄像头设置（--device）。",
    "无法使用模拟摄像头：%1",
};

QString tr(const char* text) { return QString::fromUtf8(text); }

}  // namespace

QString deviceSetupText(const frontend::DeviceSpec& selection, const std::string& detail,
                        workflows::Language language) {
  const Texts& t = language == workflows::Language::SimplifiedChinese ? kChinese : kEnglish;
  using Kind = frontend::DeviceSpec::Kind;
  switch (selection.kind) {
    case Kind::Sim:
      return tr(t.simulator).arg(QString::fromStdString(detail));
    case Kind::Path: {
      std::error_code ec;
      const QString device = QString::fromStdString(selection.path);
      // A node that is there but was refused is the wrong device, not a loose cable.
      if (std::filesystem::exists(selection.path, ec))
        return tr(t.not_a_camera).arg(device) + QStringLiteral("\n\n") + tr(t.ask_setup);
      return tr(t.not_connected).arg(device) + QStringLiteral("\n\n") + tr(t.check_cable);
    }
    case Kind::Index:
    case Kind::Auto:
      break;
  }
  const QString device = selection.kind == Kind::Index
                             ? QStringLiteral("#%1").arg(selection.index)
                             : QString();
  return tr(t.not_connected).arg(device) + QStringLiteral("\n\n") + tr(t.check_cable);
}

}  // namespace emberline::gui
