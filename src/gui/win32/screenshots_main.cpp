// emberline-gui-screenshots.exe OUTDIR: both pages of the native dialog in
// both languages on a simulated camera, each window captured from the screen
// into OUTDIR/win32-{burn,auxiliary}-{en,zh_CN}.bmp (run under a display).

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

bool shoot(w::Language language, const std::filesystem::path& out_dir, const std::filesystem::path& image) {
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
  if (ok) {
    // The Burn page with a source image loaded, as an operator sees it before GO.
    std::wstring names = image.wstring() + L'\0' + L'\0';
    HGLOBAL memory = GlobalAlloc(GHND, sizeof(DROPFILES) + names.size() * sizeof(wchar_t));
    auto* drop = static_cast<DROPFILES*>(GlobalLock(memory));
    drop->pFiles = sizeof(DROPFILES);
    drop->fWide = TRUE;
    std::memcpy(drop + 1, names.data(), names.size() * sizeof(wchar_t));
    GlobalUnlock(memory);
    PostMessageW(main, WM_DROPFILES, reinterpret_cast<WPARAM>(memory), 0);
    settle();
    const char* suffix = language == w::Language::SimplifiedChinese ? "zh_CN" : "en";
    HWND tab = GetDlgItem(main, w::kCtlTab);
    const char* pages[] = {"burn", "auxiliary"};
    for (int page = 0; page < 2 && ok; ++page) {
      SendMessageW(tab, TCM_SETCURSEL, static_cast<WPARAM>(page), 0);
      NMHDR header{tab, static_cast<UINT_PTR>(w::kCtlTab), static_cast<UINT>(TCN_SELCHANGE)};
      SendMessageW(main, WM_NOTIFY, w::kCtlTab, reinterpret_cast<LPARAM>(&header));
      SetForegroundWindow(main);
      RedrawWindow(main, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
      settle();
      ok = capture(main, out_dir / (std::string("win32-") + pages[page] + "-" + suffix + ".bmp"));
    }
    PostMessageW(main, WM_COMMAND, IDCANCEL, 0);
  }
  ui.join();
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: emberline-gui-screenshots OUTDIR\n");
    return 2;
  }
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_TAB_CLASSES | ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&controls);
  const std::filesystem::path out_dir(argv[1]);
  std::filesystem::create_directories(out_dir);
  const auto image = std::filesystem::temp_directory_path() / "sample.src";
  {
    std::vector<char> bytes(w::kImageSize, '\xFF');
    std::memcpy(bytes.data(), "QR5X", 4);
    std::ofstream(image, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  }
  for (w::Language language : {w::Language::English, w::Language::SimplifiedChinese})
    if (!shoot(language, out_dir, image)) {
      std::fprintf(stderr, "emberline-gui-screenshots: the dialog could not be captured\n");
      return 1;
    }
  std::filesystem::remove(image);
  return 0;
}
