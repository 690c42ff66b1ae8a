#include "gui/win32/win32_dialog.h"

#include <commctrl.h>
#include <commdlg.h>
#include <ole2.h>
#include <shellapi.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "frontend/device_advice.h"
#include "gui/win32/ui_call.h"
#include "platform/text_windows.h"
#include "platform/windows_handles.h"

namespace emberline::gui::win32 {

namespace {

using platform::utf8FromWide;
using platform::wideFromUtf8;

constexpr UINT_PTR kScreenTickTimer = 1;
constexpr UINT kScreenTickMs = 16;
constexpr int kIconId = 128;
constexpr int kAboutDialogId = 100;
constexpr int kMainDialogId = 102;

// Shows the controller's texts: it writes "\n", an edit control wants "\r\n".
std::wstring withCrLf(const std::string& text) {
  std::wstring out;
  for (wchar_t c : wideFromUtf8(text)) {
    if (c == L'\n' && (out.empty() || out.back() != L'\r')) out += L'\r';
    out += c;
  }
  return out;
}

// The thread's single-threaded apartment for the life of the dialog.
class OleApartment {
 public:
  OleApartment() : joined_(SUCCEEDED(::OleInitialize(nullptr))) {}
  ~OleApartment() {
    if (joined_) ::OleUninitialize();
  }
  OleApartment(const OleApartment&) = delete;
  OleApartment& operator=(const OleApartment&) = delete;

 private:
  bool joined_;
};

// Places the next box the thread opens in the middle of its owner and gives
// it the owner's icons: a message box is centred on the screen otherwise,
// away from the dialog the operator looks at.
class BoxPlacement {
 public:
  explicit BoxPlacement(HWND owner) : owner_(owner) {
    current_ = this;
    hook_ = ::SetWindowsHookExW(WH_CBT, &BoxPlacement::onCbt, nullptr, ::GetCurrentThreadId());
  }
  ~BoxPlacement() {
    if (hook_) ::UnhookWindowsHookEx(hook_);
    current_ = nullptr;
  }
  BoxPlacement(const BoxPlacement&) = delete;
  BoxPlacement& operator=(const BoxPlacement&) = delete;

 private:
  static LRESULT CALLBACK onCbt(int code, WPARAM wparam, LPARAM lparam) {
    BoxPlacement* self = current_;
    if (code == HCBT_ACTIVATE && self && self->hook_) {
      self->place(reinterpret_cast<HWND>(wparam));
      ::UnhookWindowsHookEx(self->hook_);  // one box only
      self->hook_ = nullptr;
    }
    return ::CallNextHookEx(nullptr, code, wparam, lparam);
  }

  void place(HWND box) const {
    RECT owner{}, mine{};
    if (!::GetWindowRect(owner_, &owner) || !::GetWindowRect(box, &mine)) return;
    const LONG width = mine.right - mine.left;
    const LONG height = mine.bottom - mine.top;
    LONG x = owner.left + (owner.right - owner.left - width) / 2;
    LONG y = owner.top + (owner.bottom - owner.top - height) / 2;
    // Whole on the owner's monitor.
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    if (::GetMonitorInfoW(::MonitorFromWindow(owner_, MONITOR_DEFAULTTONEAREST), &monitor)) {
      const RECT& work = monitor.rcWork;
      x = std::max(work.left, std::min(x, work.right - width));
      y = std::max(work.top, std::min(y, work.bottom - height));
    }
    ::SetWindowPos(box, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    for (WPARAM which : {static_cast<WPARAM>(ICON_SMALL), static_cast<WPARAM>(ICON_BIG)}) {
      const LRESULT icon = ::SendMessageW(owner_, WM_GETICON, which, 0);
      if (icon) ::SendMessageW(box, WM_SETICON, which, icon);
    }
  }

  HWND owner_;
  HHOOK hook_ = nullptr;
  static thread_local BoxPlacement* current_;
};

thread_local BoxPlacement* BoxPlacement::current_ = nullptr;

INT_PTR CALLBACK aboutProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM) {
  if (message == WM_INITDIALOG) return TRUE;
  if (message == WM_COMMAND && (LOWORD(wparam) == IDOK || LOWORD(wparam) == IDCANCEL)) {
    EndDialog(hwnd, LOWORD(wparam));
    return TRUE;
  }
  return FALSE;
}

}  // namespace

LANGID resourceLanguage(workflows::Language language) {
  return language == workflows::Language::SimplifiedChinese
             ? MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED)
             : MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);
}

const DLGTEMPLATE* findDialogTemplate(HINSTANCE module, int dialog_id, LANGID language) {
  // Explicitly by language: the resource loader's own choice follows the
  // system's language and ignores the thread's (under Wine in particular).
  HRSRC found = FindResourceExW(module, RT_DIALOG, MAKEINTRESOURCEW(dialog_id), language);
  if (!found) return nullptr;
  HGLOBAL loaded = LoadResource(module, found);
  return loaded ? static_cast<const DLGTEMPLATE*>(LockResource(loaded)) : nullptr;
}

Win32Dialog::Win32Dialog(device::DeviceList& devices, workflows::Language language, HINSTANCE module,
                         std::function<std::string()> persist, device::Clock* clock, app::ClaimCamera claim,
                         StationOpener station)
    : devices_(devices),
      language_(language),
      module_(module),
      persist_(std::move(persist)),
      clock_(clock),
      claim_(std::move(claim)),
      station_(std::move(station)) {}

Win32Dialog::~Win32Dialog() { tearDown(); }

int Win32Dialog::runModal() {
  const DLGTEMPLATE* tmpl = findDialogTemplate(module_, kMainDialogId, resourceLanguage(language_));
  if (!tmpl) return -1;
  // Before any window: the dialog's thread stays a single-threaded apartment.
  const OleApartment apartment;
  ui_thread_ = GetCurrentThreadId();
  const INT_PTR result =
      DialogBoxIndirectParamW(module_, tmpl, nullptr, &Win32Dialog::dialogProc, reinterpret_cast<LPARAM>(this));
  tearDown();
  return static_cast<int>(result);
}

INT_PTR CALLBACK Win32Dialog::dialogProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_INITDIALOG) {
    SetWindowLongPtrW(hwnd, DWLP_USER, lparam);
    reinterpret_cast<Win32Dialog*>(lparam)->initialise(hwnd);
    return TRUE;
  }
  auto* self = reinterpret_cast<Win32Dialog*>(GetWindowLongPtrW(hwnd, DWLP_USER));
  return self ? self->handle(message, wparam, lparam) : FALSE;
}

void Win32Dialog::initialise(HWND hwnd) {
  hwnd_ = hwnd;
  app::DialogOptions options;
  options.language = language_;
  options.persist = persist_;
  options.clock = clock_;
  options.chip_text_decoder = platform::utf8FromAnsi;
  options.claim_camera = claim_;
  options.station_window = static_cast<bool>(station_);
  options.no_camera_advice = [this] { return frontend::noCameraAdvice(devices_, language_); };
  controller_ = std::make_unique<app::CEmberline_testDlg>(devices_, *this, workers_, std::move(options));
  initialising_ = true;
  controller_->OnInitDialog();
  initialising_ = false;
  if (init_end_result_) EndDialog(hwnd_, *init_end_result_);
}

INT_PTR Win32Dialog::handle(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case kUiCallMessage:
      runUiCall(lparam);
      return TRUE;
    case WM_CTLCOLORSTATIC:
      // The image's identity sits on the tab page, whose body is the
      // window colour, not the dialog's.
      if (GetDlgCtrlID(reinterpret_cast<HWND>(lparam)) == workflows::kCtlImageIdentity) {
        const auto dc = reinterpret_cast<HDC>(wparam);
        SetBkColor(dc, GetSysColor(COLOR_WINDOW));
        SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
        return reinterpret_cast<INT_PTR>(GetSysColorBrush(COLOR_WINDOW));
      }
      return FALSE;
    case WM_TIMER:
      if (wparam == kScreenTickTimer && screen_tick_) screen_tick_();
      return TRUE;
    case WM_DROPFILES:
      dropFiles(reinterpret_cast<HDROP>(wparam));
      return TRUE;
    case WM_SYSCOMMAND:
      // The low four bits belong to the system; the About item is 0x0010.
      if (controller_ && controller_->OnSysCommand(static_cast<unsigned>(wparam & 0xFFF0))) return TRUE;
      return FALSE;
    case WM_NOTIFY: {
      const auto* header = reinterpret_cast<const NMHDR*>(lparam);
      if (controller_ && header->idFrom == static_cast<UINT_PTR>(workflows::kCtlTab) &&
          header->code == TCN_SELCHANGE) {
        const auto selected = SendMessageW(header->hwndFrom, TCM_GETCURSEL, 0, 0);
        SetWindowLongPtrW(hwnd_, DWLP_MSGRESULT, controller_->OnTcnSelchangeTab(static_cast<int>(selected)));
        return TRUE;
      }
      return FALSE;
    }
    case WM_COMMAND: {
      const int id = LOWORD(wparam);
      if (id == IDOK || id == IDCANCEL) {  // Enter, Esc, the close box
        close(id);
        return TRUE;
      }
      if (HIWORD(wparam) == BN_CLICKED && controller_) return controller_->OnCommand(id) ? TRUE : FALSE;
      return FALSE;
    }
    case WM_CLOSE:
      close(IDCANCEL);
      return TRUE;
    case WM_QUERYENDSESSION:
      if (!shutdown_block_) return FALSE;
      SetWindowLongPtrW(hwnd_, DWLP_MSGRESULT, FALSE);  // not now: the flash is being written
      return TRUE;
    case WM_DESTROY:
      KillTimer(hwnd_, kScreenTickTimer);
      return FALSE;
    default:
      return FALSE;
  }
}

void Win32Dialog::close(int result) {
  // While a workflow runs the close waits; the controller ends the dialog
  // once the operator has seen the result.
  if (controller_ && !controller_->requestClose(result)) return;
  EndDialog(hwnd_, result);
}

void Win32Dialog::dropFiles(HDROP drop) {
  std::vector<std::filesystem::path> files;
  const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
  for (UINT i = 0; i < count; ++i) {
    const UINT length = DragQueryFileW(drop, i, nullptr, 0);
    std::wstring name(length + 1, L'\0');
    DragQueryFileW(drop, i, name.data(), length + 1);
    name.resize(length);
    files.emplace_back(name);
  }
  // The program the files came from waits until the drop is released:
  // release it first, load (and show any message box) afterwards.
  DragFinish(drop);
  post([this, files = std::move(files)] {
    if (controller_) controller_->OnDropFiles(files);
  });
}

bool Win32Dialog::post(std::function<void()> fn, HANDLE done) {
  // After the window has gone (while the dialog waits for its worker), the
  // thread's own queue carries it.
  return postUiCall(hwnd_, ui_thread_, std::move(fn), done);
}

void Win32Dialog::tearDown() {
  if (!controller_) return;
  // A worker still reports through this dialog: let its calls in until it
  // ends. Its SendMessage reaches the thread while it waits here.
  while (controller_->busy()) {
    MSG msg;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT | QS_SENDMESSAGE);
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message != kUiCallMessage) {
        DispatchMessageW(&msg);
        continue;
      }
      // What the worker waits for runs; a late drop is not loaded any more.
      if (reinterpret_cast<const UiCall*>(msg.lParam)->done)
        runUiCall(msg.lParam);
      else
        dropUiCall(msg.lParam);
    }
  }
  controller_->OnDestroy();
  controller_.reset();
  hwnd_ = nullptr;
}

void Win32Dialog::runOnUiThread(const std::function<void()>& fn) {
  if (GetCurrentThreadId() == ui_thread_) {
    fn();
    return;
  }
  // Posted, then waited for, rather than sent: under Wine a worker's
  // SendMessage was seen to stay undelivered for good while another
  // program's window took the foreground. Every message loop of the dialog's
  // thread (its own, a message box's, the file dialog's) dispatches it.
  const platform::UniqueHandle done(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  if (!done || !post([&fn] { fn(); }, done.get())) return;
  WaitForSingleObject(done.get(), INFINITE);
}

void Win32Dialog::setControlVisible(int id, bool visible) {
  if (HWND control = GetDlgItem(hwnd_, id)) ShowWindow(control, visible ? SW_SHOWNA : SW_HIDE);
}

void Win32Dialog::setControlEnabled(int id, bool enabled) {
  if (HWND control = GetDlgItem(hwnd_, id)) EnableWindow(control, enabled ? TRUE : FALSE);
}

void Win32Dialog::setControlText(int id, const std::string& text) {
  SetDlgItemTextW(hwnd_, id, withCrLf(text).c_str());
}

void Win32Dialog::setProgress(int id, int minimum, int maximum, int position) {
  HWND bar = GetDlgItem(hwnd_, id);
  if (!bar) return;
  PBRANGE range{};
  SendMessageW(bar, PBM_GETRANGE, FALSE, reinterpret_cast<LPARAM>(&range));
  if (range.iLow != minimum || range.iHigh != maximum) SendMessageW(bar, PBM_SETRANGE32, minimum, maximum);
  SendMessageW(bar, PBM_SETPOS, static_cast<WPARAM>(position), 0);
}

void Win32Dialog::setDialogIcon() {
  if (!big_icon_)
    big_icon_.reset(static_cast<HICON>(LoadImageW(module_, MAKEINTRESOURCEW(kIconId), IMAGE_ICON,
                                                  GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON), 0)));
  if (!small_icon_)
    small_icon_.reset(static_cast<HICON>(LoadImageW(module_, MAKEINTRESOURCEW(kIconId), IMAGE_ICON,
                                                    GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0)));
  SendMessageW(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big_icon_.get()));
  SendMessageW(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small_icon_.get()));
}

void Win32Dialog::addSystemMenuItem(unsigned command, const std::string& text) {
  HMENU menu = GetSystemMenu(hwnd_, FALSE);
  if (!menu) return;
  AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
  AppendMenuW(menu, MF_STRING, command, wideFromUtf8(text).c_str());
}

void Win32Dialog::insertTab(int index, const std::string& text) {
  std::wstring caption = wideFromUtf8(text);
  TCITEMW item{};
  item.mask = TCIF_TEXT;
  item.pszText = caption.data();
  SendDlgItemMessageW(hwnd_, workflows::kCtlTab, TCM_INSERTITEMW, static_cast<WPARAM>(index),
                      reinterpret_cast<LPARAM>(&item));
}

void Win32Dialog::selectTab(int index) {
  // TCM_SETCURSEL sends no TCN_SELCHANGE, as the controller expects.
  SendDlgItemMessageW(hwnd_, workflows::kCtlTab, TCM_SETCURSEL, static_cast<WPARAM>(index), 0);
}

int Win32Dialog::messageBox(const std::wstring& text, const std::wstring& title, UINT style) {
  std::wstring caption = title;
  if (caption.empty()) {
    caption.resize(static_cast<std::size_t>(GetWindowTextLengthW(hwnd_)) + 1);
    caption.resize(static_cast<std::size_t>(GetWindowTextW(hwnd_, caption.data(), static_cast<int>(caption.size()))));
  }
  const BoxPlacement placement(hwnd_);
  return MessageBoxW(hwnd_, text.c_str(), caption.c_str(), style);
}

void Win32Dialog::showMessage(const std::string& text, const std::string& caption, app::MessageIcon icon,
                              const std::string& details) {
  // A message box has no place of its own for details: they follow the text,
  // where Ctrl+C copies them with it.
  const std::string body = details.empty() ? text : text + "\n\n" + details;
  const UINT style = MB_OK | (icon == app::MessageIcon::Warning ? MB_ICONEXCLAMATION : MB_ICONINFORMATION);
  messageBox(withCrLf(body), wideFromUtf8(caption), style);
}

bool Win32Dialog::askYesNo(const std::string& text, bool default_yes) {
  const UINT style = MB_YESNO | MB_ICONQUESTION | (default_yes ? MB_DEFBUTTON1 : MB_DEFBUTTON2);
  return messageBox(withCrLf(text), {}, style) == IDYES;
}

std::optional<std::filesystem::path> Win32Dialog::chooseSourceFile(const app::SourceFileDialog& settings) {
  // "Label\0pattern\0" for each filter, one more NUL at the end.
  std::wstring filter;
  for (const app::FileFilter& f : settings.filters) {
    filter += wideFromUtf8(f.label);
    filter += L'\0';
    filter += wideFromUtf8(f.pattern);
    filter += L'\0';
  }
  filter += L'\0';
  std::wstring file = wideFromUtf8(settings.initial_name);
  file.resize(32768, L'\0');  // long paths
  OPENFILENAMEW ofn{};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = hwnd_;
  ofn.lpstrFilter = filter.c_str();
  ofn.nFilterIndex = 1;
  ofn.lpstrFile = file.data();
  ofn.nMaxFile = static_cast<DWORD>(file.size());
  ofn.Flags = OFN_HIDEREADONLY | OFN_FILEMUSTEXIST | OFN_LONGNAMES | OFN_EXPLORER;
  if (!GetOpenFileNameW(&ofn)) return std::nullopt;
  return std::filesystem::path(std::wstring(file.c_str()));
}

void Win32Dialog::showAbout() {
  const DLGTEMPLATE* tmpl = findDialogTemplate(module_, kAboutDialogId, resourceLanguage(language_));
  if (tmpl) DialogBoxIndirectParamW(module_, tmpl, hwnd_, aboutProc, 0);
}

void Win32Dialog::openStation(const std::filesystem::path& image) {
  if (station_) station_(image, hwnd_);
}

void Win32Dialog::endDialog(int result) {
  if (initialising_) {
    init_end_result_ = result;  // the dialog ends once initialisation returns
    return;
  }
  // Once the current handler (or a worker's last call) has returned.
  post([this, result] { EndDialog(hwnd_, result); });
}

void Win32Dialog::workflowStarted(bool writes_flash) {
  if (!writes_flash) return;
  machine_hold_ = platform::holdMachine({platform::kBurningReason, {}});
  shutdown_block_ = std::make_unique<platform::win32::ShutdownBlock>(hwnd_, platform::kBurningReason);
}

void Win32Dialog::workflowEnded() {
  shutdown_block_.reset();
  machine_hold_.reset();
}

void Win32Dialog::setScreenTick(std::function<void()> tick) {
  screen_tick_ = std::move(tick);
  if (screen_tick_)
    SetTimer(hwnd_, kScreenTickTimer, kScreenTickMs, nullptr);
  else
    KillTimer(hwnd_, kScreenTickTimer);
}

}  // namespace emberline::gui::win32
