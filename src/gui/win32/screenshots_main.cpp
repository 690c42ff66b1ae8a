// emberline-gui-screenshots.exe OUTDIR: both pages of the native dialog in
// both languages on a simulated camera (the Burn page with an image and its
// identity), the question "Erase SF" asks and the box a file of the wrong
// size gets, and the station window after four simulated cameras were burned
// at once (one with a flash too small for the image), each window captured
// from the screen into
// OUTDIR/win32-{burn,auxiliary,erase-question,message,station}-{en,zh_CN}.bmp
// (run under a display).

#include <windows.h>

#include <commctrl.h>
#include <shellapi.h>
#include <shlobj.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "core/workflows/camera_session.h"
#include "core/workflows/ui_port.h"
#include "gui/win32/win32_dialog.h"
#include "gui/win32/win32_station_window.h"
#include "sim/sim_camera.h"

namespace {

namespace w = emberline::workflows;
using emberline::gui::win32::Win32Dialog;

BOOL CALLBACK keepMainDialog(HWND hwnd, LPARAM out) {
  if (IsWindowVisible(hwnd) && GetDlgItem(hwnd, w::kCtlTab)) *reinterpret_cast<HWND*>(out) = hwnd;
  return TRUE;
}

HWND mainDialogOf(DWORD thread) {
  HWND found = nullptr;
  EnumThreadWindows(thread, keepMainDialog, reinterpret_cast<LPARAM>(&found));
  return found;
}

BOOL CALLBACK keepMessageBox(HWND hwnd, LPARAM out) {
  wchar_t name[16] = {};
  GetClassNameW(hwnd, name, 16);
  if (IsWindowVisible(hwnd) && !GetDlgItem(hwnd, w::kCtlTab) && std::wstring(name) == L"#32770")
    *reinterpret_cast<HWND*>(out) = hwnd;
  return TRUE;
}

// The box the dialog's thread opened, once it is there (null after 5 s).
HWND boxOf(DWORD thread) {
  HWND found = nullptr;
  for (int i = 0; i < 500 && !found; ++i) {
    Sleep(10);
    EnumThreadWindows(thread, keepMessageBox, reinterpret_cast<LPARAM>(&found));
  }
  return found;
}

// A shell drop of one file, as Explorer hands it over.
HDROP dropOf(const std::filesystem::path& file) {
  std::wstring names = file.wstring() + L'\0' + L'\0';
  HGLOBAL memory = GlobalAlloc(GHND, sizeof(DROPFILES) + names.size() * sizeof(wchar_t));
  auto* drop = static_cast<DROPFILES*>(GlobalLock(memory));
  drop->pFiles = sizeof(DROPFILES);
  drop->fWide = TRUE;
  std::memcpy(drop + 1, names.data(), names.size() * sizeof(wchar_t));
  GlobalUnlock(memory);
  return static_cast<HDROP>(memory);
}

// The window as the screen shows it, as a 24-bit bottom-up BMP file.
bool capture(HWND hwnd, const std::filesystem::path& file) {
  RECT r;
  GetWindowRect(hwnd, &r);
  const int width = r.right - r.left;
  const int height = r.bottom - r.top;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
  HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, width, height, screen, r.left, r.top, SRCCOPY);
  SelectObject(memory, old);

  BITMAPINFOHEADER info{};
  info.biSize = sizeof info;
  info.biWidth = width;
  info.biHeight = height;
  info.biPlanes = 1;
  info.biBitCount = 24;
  info.biCompression = BI_RGB;
  const int stride = (width * 3 + 3) & ~3;
  std::vector<char> pixels(static_cast<std::size_t>(stride) * static_cast<std::size_t>(height));
  GetDIBits(memory, bitmap, 0, static_cast<UINT>(height), pixels.data(), reinterpret_cast<BITMAPINFO*>(&info),
            DIB_RGB_COLORS);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);

  BITMAPFILEHEADER header{};
  header.bfType = 0x4D42;
  header.bfOffBits = sizeof header + sizeof info;
  header.bfSize = header.bfOffBits + static_cast<DWORD>(pixels.size());
  std::ofstream out(file, std::ios::binary);
  out.write(reinterpret_cast<const char*>(&header), sizeof header);
  out.write(reinterpret_cast<const char*>(&info), sizeof info);
  out.write(pixels.data(), static_cast<std::streamsize>(pixels.size()));
  return static_cast<bool>(out);
}

void settle() {
  for (int i = 0; i < 30; ++i) Sleep(20);
}

bool shoot(w::Language language, const std::filesystem::path& out_dir, const std::filesystem::path& image,
           const std::filesystem::path& odd) {
  auto camera = std::make_shared<emberline::sim::SimCamera>();
  emberline::sim::SimDeviceList devices;
  devices.add(camera);
  std::atomic<DWORD> thread_id{0};
  std::thread ui([&] {
    Win32Dialog dialog(devices, language, GetModuleHandleW(nullptr));
    thread_id = GetCurrentThreadId();
    dialog.runModal();
  });
  HWND main = nullptr;
  for (int i = 0; i < 500 && !main; ++i) {
    Sleep(10);
    if (thread_id) main = mainDialogOf(thread_id);
  }
  bool ok = main != nullptr;
  // The camera is found on the dialog's worker; GO comes on after.
  for (int i = 0; ok && i < 500 && !IsWindowEnabled(GetDlgItem(main, w::kCtlGo)); ++i) Sleep(10);
  if (ok) {
    const char* suffix = language == w::Language::SimplifiedChinese ? "zh_CN" : "en";
    const auto shot = [&](const char* name) { return out_dir / (std::string("win32-") + name + "-" + suffix + ".bmp"); };
    // A file of the wrong size: the failure, and what to do below it.
    PostMessageW(main, WM_DROPFILES, reinterpret_cast<WPARAM>(dropOf(odd)), 0);
    if (HWND box = boxOf(thread_id)) {
      settle();
      ok = capture(box, shot("message"));
      PostMessageW(box, WM_COMMAND, IDOK, 0);
    } else {
      ok = false;
    }
    // The Burn page with a source image loaded, as an operator sees it before GO.
    PostMessageW(main, WM_DROPFILES, reinterpret_cast<WPARAM>(dropOf(image)), 0);
    settle();
    HWND tab = GetDlgItem(main, w::kCtlTab);
    const char* pages[] = {"burn", "auxiliary"};
    for (int page = 0; page < 2 && ok; ++page) {
      SendMessageW(tab, TCM_SETCURSEL, static_cast<WPARAM>(page), 0);
      NMHDR header{tab, static_cast<UINT_PTR>(w::kCtlTab), static_cast<UINT>(TCN_SELCHANGE)};
      SendMessageW(main, WM_NOTIFY, w::kCtlTab, reinterpret_cast<LPARAM>(&header));
      SetForegroundWindow(main);
      RedrawWindow(main, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
      settle();
      ok = capture(main, shot(pages[page]));
    }
    // The question "Erase SF" asks, answered No.
    PostMessageW(main, WM_COMMAND, MAKEWPARAM(w::kCtlEraseSf, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(main, w::kCtlEraseSf)));
    if (HWND box = boxOf(thread_id)) {
      settle();
      ok = capture(box, shot("erase-question")) && ok;
      PostMessageW(box, WM_COMMAND, IDNO, 0);
      settle();
    } else {
      ok = false;
    }
    PostMessageW(main, WM_COMMAND, IDCANCEL, 0);
  }
  ui.join();
  return ok;
}

BOOL CALLBACK keepStationWindow(HWND hwnd, LPARAM out) {
  if (IsWindowVisible(hwnd) && GetDlgItem(hwnd, emberline::gui::win32::kStationTable)) *reinterpret_cast<HWND*>(out) = hwnd;
  return TRUE;
}

// The station window once "Start All" has burned four cameras, the third
// with a flash too small for the image (its row says where and why it failed).
bool shootStation(w::Language language, const std::filesystem::path& out_dir, const std::filesystem::path& image) {
  namespace gw = emberline::gui::win32;
  const char* suffix = language == w::Language::SimplifiedChinese ? "zh_CN" : "en";
  const auto cameras = std::filesystem::temp_directory_path() / (std::string("emberline-station-") + suffix);
  std::filesystem::remove_all(cameras);
  std::filesystem::create_directories(cameras);
  for (int i = 1; i <= 4; ++i) {
    emberline::sim::SimSettings settings;
    if (i == 3) settings.flash_size = 0x10000;
    if (emberline::sim::SimCamera(settings).save(cameras / ("line-" + std::to_string(i) + ".sim")) != 0) return false;
  }
  // Relative device names read better in the table.
  const auto previous = std::filesystem::current_path();
  std::filesystem::current_path(cameras);
  std::atomic<DWORD> thread_id{0};
  std::thread ui([&] {
    thread_id = GetCurrentThreadId();
    gw::runStationWindow(GetModuleHandleW(nullptr), nullptr, {image, {}, "sim-dir:.", language});
  });
  HWND window = nullptr;
  for (int i = 0; i < 500 && !window; ++i) {
    Sleep(10);
    if (thread_id) EnumThreadWindows(thread_id, keepStationWindow, reinterpret_cast<LPARAM>(&window));
  }
  bool ok = window != nullptr;
  if (ok) {
    // Whole on the screen (1024 pixels wide under the script's Xvfb).
    SetWindowPos(window, nullptr, 8, 8, 1000, 250, SWP_NOZORDER);
    HWND start = GetDlgItem(window, gw::kStationStartAll);
    for (int i = 0; i < 500 && !IsWindowEnabled(start); ++i) Sleep(10);
    PostMessageW(window, WM_COMMAND, MAKEWPARAM(gw::kStationStartAll, BN_CLICKED), 0);
    // Done when nothing runs and nothing waits.
    Sleep(200);
    for (int i = 0; i < 6000 && (IsWindowEnabled(start) || IsWindowEnabled(GetDlgItem(window, gw::kStationStop)));
         ++i)
      Sleep(10);
    SetForegroundWindow(window);
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
    settle();
    ok = capture(window, out_dir / (std::string("win32-station-") + suffix + ".bmp"));
    PostMessageW(window, WM_COMMAND, IDCANCEL, 0);
  }
  ui.join();
  std::filesystem::current_path(previous);
  std::filesystem::remove_all(cameras);
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: emberline-gui-screenshots OUTDIR\n");
    return 2;
  }
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_TAB_CLASSES | ICC_PROGRESS_CLASS | ICC_LISTVIEW_CLASSES};
  InitCommonControlsEx(&controls);
  const std::filesystem::path out_dir(argv[1]);
  std::filesystem::create_directories(out_dir);
  const auto image = std::filesystem::temp_directory_path() / "sample.src";
  const auto odd = std::filesystem::temp_directory_path() / "old-firmware.bin";
  {
    // The signature and a version block where the simulated camera's chip keeps it.
    std::vector<char> bytes(w::kImageSize, '\xFF');
    std::memcpy(bytes.data(), "QR5X", 4);
    std::memcpy(bytes.data() + 0x01F3, "QR5XS", 5);
    std::memcpy(bytes.data() + 0x1E00, "2026-12-06EM-12345672612061200", 30);
    std::ofstream(image, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    std::ofstream(odd, std::ios::binary).write(bytes.data(), 0x10000);
  }
  for (w::Language language : {w::Language::English, w::Language::SimplifiedChinese}) {
    if (!shoot(language, out_dir, image, odd)) {
      std::fprintf(stderr, "emberline-gui-screenshots: the dialog could not be captured\n");
      return 1;
    }
    if (!shootStation(language, out_dir, image)) {
      std::fprintf(stderr, "emberline-gui-screenshots: the station window could not be captured\n");
      return 1;
    }
  }
  std::filesystem::remove(image);
  std::filesystem::remove(odd);
  return 0;
}
