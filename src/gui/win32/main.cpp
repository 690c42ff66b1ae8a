// emberline-gui.exe [--device DEV] [--lang L]: the operator's dialog on Windows;
// with --station IMAGE [--record FILE], the station window.

#include <windows.h>

#include <commctrl.h>
#include <shellapi.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/app/dialog_template.h"
#include "core/device/utf8_path.h"
#include "core/workflows/strings.h"
#include "frontend/camera_claims.h"
#include "frontend/device_advice.h"
#include "frontend/device_selection.h"
#include "frontend/station_inputs.h"
#include "gui/win32/win32_dialog.h"
#include "gui/win32/win32_station_window.h"
#include "platform/text_windows.h"
#include "platform/user_language.h"
#include "platform/windows_handles.h"
#include "version/version.h"

namespace {

namespace w = emberline::workflows;
using emberline::platform::utf8FromWide;
using emberline::platform::wideFromUtf8;

constexpr const char* kUsage =
    "emberline-gui [--device DEV] [--lang L]\n"
    "emberline-gui --station IMAGE [--record FILE] [--device sim-dir:DIR] [--lang L]\n\n"
    "--device DEV   the camera: an index from 'emberline list', a device path, or sim:PATH for a "
    "simulated camera. Default: every camera, discovery chooses.\n"
    "--lang L       en or zh_CN. Default: the user's display language.\n"
    "--station IMAGE  the station window: burn IMAGE into every camera plugged in (or every "
    "simulated camera in the folder of --device sim-dir:DIR).\n"
    "--record FILE  append one JSON line per station attempt to FILE.\n"
    "--version      this program's version.";

int tell(const std::string& text, UINT icon) {
  MessageBoxW(nullptr, wideFromUtf8(text).c_str(), wideFromUtf8(emberline::app::kMainDialogCaption).c_str(),
              MB_OK | icon);
  return icon == MB_ICONINFORMATION ? 0 : 2;
}

// The program's arguments in UTF-8, from the wide command line (the ANSI one
// loses every character outside the code page).
std::vector<std::string> arguments() {
  std::vector<std::string> out;
  int count = 0;
  const emberline::platform::UniqueLocalMemory<LPWSTR> argv(CommandLineToArgvW(GetCommandLineW(), &count));
  if (!argv) return out;
  for (int i = 1; i < count; ++i) out.push_back(utf8FromWide(argv.get()[i]));
  return out;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_TAB_CLASSES | ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES |
                                                     ICC_LISTVIEW_CLASSES};
  InitCommonControlsEx(&controls);

  std::string device;
  std::optional<std::string> lang;
  std::optional<std::string> station_image;
  std::string record;
  const std::vector<std::string> args = arguments();
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--help" || a == "-h") return tell(kUsage, MB_ICONINFORMATION);
    if (a == "--version") return tell("emberline-gui " + std::string(emberline::version::program()), MB_ICONINFORMATION);
    const bool has_value = i + 1 < args.size();
    if (a == "--device" && has_value) {
      device = args[++i];
    } else if (a.rfind("--device=", 0) == 0) {
      device = a.substr(9);
    } else if (a == "--lang" && has_value) {
      lang = args[++i];
    } else if (a.rfind("--lang=", 0) == 0) {
      lang = a.substr(7);
    } else if (a == "--station" && has_value) {
      station_image = args[++i];
    } else if (a.rfind("--station=", 0) == 0) {
      station_image = a.substr(10);
    } else if (a == "--record" && has_value) {
      record = args[++i];
    } else if (a.rfind("--record=", 0) == 0) {
      record = a.substr(9);
    } else {
      return tell("Unknown or incomplete option '" + a + "'.\n\n" + kUsage, MB_ICONERROR);
    }
  }

  // The user's display language; LANG and LC_* are normally unset here.
  w::Language language = w::languageFromEnvironment(emberline::platform::userInterfaceLocale().value_or(""));
  if (lang) {
    const auto chosen = w::parseLanguage(*lang);
    if (!chosen) return tell("Unknown language '" + *lang + "' (use en or zh_CN).", MB_ICONERROR);
    language = *chosen;
  }

  namespace gw = emberline::gui::win32;
  if (station_image) {
    gw::StationWindowSettings settings{emberline::utf8Path(*station_image), record, device, language};
    return gw::runStationWindow(instance, nullptr, settings);
  }

  std::string error;
  const auto selection = emberline::frontend::parseDeviceSpec(device, &error);
  if (!selection) return tell(error, MB_ICONERROR);
  std::unique_ptr<emberline::frontend::DeviceContext> context =
      emberline::frontend::openDeviceContext(*selection, &error);
  if (!context) {
    tell(emberline::frontend::deviceSetupText(*selection, error, language), MB_ICONERROR);
    return 1;
  }

  emberline::frontend::DeviceContext* ctx = context.get();
  // Every operation takes the camera's lock, as the command line does.
  emberline::frontend::ClaimingDeviceList devices(*ctx);
  // The system menu's station window. It drives the dialog's camera too; a
  // simulated one is read anew afterwards, so the dialog neither works on nor
  // writes back what the station replaced.
  auto station = [instance, ctx, device, record, language](const std::filesystem::path& image, HWND owner) {
    const gw::StationWindowSettings settings{image, record, emberline::frontend::stationSourceFor(device), language};
    gw::runStationWindow(instance, owner, settings);
    std::string why;
    if (ctx->reload(&why) != 0)
      MessageBoxW(owner, wideFromUtf8(why).c_str(), wideFromUtf8(emberline::app::kMainDialogCaption).c_str(),
                  MB_OK | MB_ICONEXCLAMATION);
  };
  gw::Win32Dialog dialog(
      devices, language, instance,
      [ctx] {
        std::string why;
        if (ctx->persist(&why) == 0) return std::string();
        return why.empty() ? std::string("Can't save the camera's state!") : why;
      },
      nullptr, [&devices] { return devices.claim(); }, station);
  dialog.runModal();
  // The program ends with the dialog, whatever its result.
  return 0;
}
