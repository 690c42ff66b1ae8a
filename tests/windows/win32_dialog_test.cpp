// The native dialog under Windows (Wine in CI): its resources against the
// controller's template table, and the running dialog on a simulated camera,
// driven by window messages from the test's thread while the dialog runs on a
// thread of its own, as an operator's clicks and drops would reach it. The
// simulated camera is reached as the Windows transport reaches a camera: each
// call joins COM on the thread that makes it.

#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>
#include <objbase.h>
#include <shlobj.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <fstream>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "core/app/dialog_template.h"
#include "core/workflows/camera_session.h"
#include "core/workflows/strings.h"
#include "gui/win32/win32_dialog.h"
#include "core/app/operator_texts.h"
#include "platform/text_windows.h"
#include "platform/windows/com_apartment.h"
#include "sim/sim_camera.h"
#include "support/temp_dir.h"

namespace emberline::gui::win32 {
namespace {

namespace w = workflows;
using platform::utf8FromWide;
using platform::wideFromUtf8;

constexpr w::Language kLanguages[] = {w::Language::English, w::Language::SimplifiedChinese};

// ------------------------------------------------ reading a dialog template

struct ParsedControl {
  int id = 0;
  std::string window_class;  // lower case
  std::string caption;
  DWORD style = 0;
  app::DialogRect rect;
};

struct ParsedDialog {
  DWORD style = 0;
  DWORD ex_style = 0;
  app::DialogRect rect;
  std::string caption;
  std::string font;
  int point_size = 0;
  std::vector<ParsedControl> controls;
};

class TemplateReader {
 public:
  explicit TemplateReader(const void* data) : p_(static_cast<const BYTE*>(data)) {}
  WORD word() { WORD v; std::memcpy(&v, p_, 2); p_ += 2; return v; }
  DWORD dword() { DWORD v; std::memcpy(&v, p_, 4); p_ += 4; return v; }
  short coord() { return static_cast<short>(word()); }
  std::wstring text() {
    std::wstring s;
    for (WORD c = word(); c != 0; c = word()) s += static_cast<wchar_t>(c);
    return s;
  }
  // A name or an ordinal (0xFFFF then the number), as "#n" for an ordinal.
  std::wstring nameOrOrdinal() {
    WORD first;
    std::memcpy(&first, p_, 2);
    if (first == 0xFFFF) {
      word();
      return L"#" + std::to_wstring(word());
    }
    return text();
  }
  void alignToDword(const void* base) {
    const auto offset = static_cast<std::size_t>(p_ - static_cast<const BYTE*>(base));
    p_ += (4 - offset % 4) % 4;
  }
  void skip(std::size_t bytes) { p_ += bytes; }

 private:
  const BYTE* p_;
};

std::string lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return s;
}

std::string className(const std::wstring& name) {
  if (name == L"#128") return "button";
  if (name == L"#129") return "edit";
  if (name == L"#130") return "static";
  return lower(utf8FromWide(name));
}

ParsedDialog parseDialog(const DLGTEMPLATE* tmpl) {
  TemplateReader r(tmpl);
  ParsedDialog d;
  EXPECT_EQ(r.word(), 1);       // extended template
  EXPECT_EQ(r.word(), 0xFFFF);
  r.dword();                    // help id
  d.ex_style = r.dword();
  d.style = r.dword();
  const WORD count = r.word();
  d.rect = {r.coord(), r.coord(), r.coord(), r.coord()};
  r.nameOrOrdinal();  // menu
  r.nameOrOrdinal();  // class
  d.caption = utf8FromWide(r.text());
  if (d.style & DS_SETFONT) {
    d.point_size = r.word();
    r.word();  // weight
    r.skip(2);  // italic, charset
    d.font = utf8FromWide(r.text());
  }
  for (WORD i = 0; i < count; ++i) {
    r.alignToDword(tmpl);
    ParsedControl c;
    r.dword();  // help id
    r.dword();  // extended style
    c.style = r.dword();
    c.rect = {r.coord(), r.coord(), r.coord(), r.coord()};
    c.id = static_cast<int>(r.dword());
    c.window_class = className(r.nameOrOrdinal());
    c.caption = utf8FromWide(r.nameOrOrdinal());
    r.skip(r.word());  // creation data
    d.controls.push_back(c);
  }
  return d;
}

HINSTANCE self() { return GetModuleHandleW(nullptr); }

ParsedDialog resourceDialog(int id, w::Language language) {
  const DLGTEMPLATE* tmpl = findDialogTemplate(self(), id, resourceLanguage(language));
  if (!tmpl) {
    ADD_FAILURE() << "dialog " << id << " is missing in language " << resourceLanguage(language);
    return {};
  }
  return parseDialog(tmpl);
}

// String `id` of the string table in exactly `language`.
std::string resourceString(int id, LANGID language) {
  HRSRC found = FindResourceExW(self(), RT_STRING, MAKEINTRESOURCEW(id / 16 + 1), language);
  if (!found) return "<missing>";
  const auto* p = static_cast<const WORD*>(LockResource(LoadResource(self(), found)));
  for (int i = 0; i < id % 16; ++i) p += 1 + *p;
  return utf8FromWide(std::wstring(reinterpret_cast<const wchar_t*>(p + 1), *p));
}

const char* classOf(app::ControlKind kind) {
  switch (kind) {
    case app::ControlKind::PushButton: return "button";
    case app::ControlKind::Edit: return "edit";
    case app::ControlKind::ProgressBar: return "msctls_progress32";
    case app::ControlKind::StaticText: return "static";
    case app::ControlKind::TabControl: return "systabcontrol32";
  }
  return "";
}

// The template table's style bits as window styles.
DWORD windowStyle(const app::ControlTemplate& c) {
  DWORD s = WS_CHILD;
  if (!c.has(app::kStyleHidden)) s |= WS_VISIBLE;
  if (c.has(app::kStyleDisabled)) s |= WS_DISABLED;
  if (c.has(app::kStyleTabStop)) s |= WS_TABSTOP;
  if (c.has(app::kStyleBorder)) s |= WS_BORDER;
  if (c.has(app::kStyleGroup)) s |= WS_GROUP;
  if (c.has(app::kStyleReadOnly)) s |= ES_READONLY;
  if (c.has(app::kStyleAutoHScroll)) s |= ES_AUTOHSCROLL;
  if (c.has(app::kStyleMultiLine)) s |= ES_MULTILINE;
  if (c.has(app::kStyleCentred)) s |= ES_CENTER;
  return s;
}

TEST(Win32Resources, MainDialogMatchesTheTemplateTableInBothLanguages) {
  for (w::Language language : kLanguages) {
    SCOPED_TRACE(resourceLanguage(language));
    const ParsedDialog d = resourceDialog(102, language);
    EXPECT_EQ(d.style, 0x90C800C8u);
    EXPECT_EQ(d.ex_style, 0x00040010u);
    EXPECT_EQ(d.rect, (app::DialogRect{0, 0, 320, 185}));
    EXPECT_EQ(d.caption, "Common USB Emberline");
    EXPECT_EQ(d.font, "MS Shell Dlg");
    EXPECT_EQ(d.point_size, 8);

    const auto table = app::mainDialogControls();
    ASSERT_EQ(d.controls.size(), table.size());
    for (std::size_t i = 0; i < table.size(); ++i) {
      const app::ControlTemplate& want = table[i];
      const ParsedControl& got = d.controls[i];
      SCOPED_TRACE(want.id);
      EXPECT_EQ(got.id, want.id);
      EXPECT_EQ(got.window_class, classOf(want.kind));
      EXPECT_EQ(got.caption, want.caption(language));
      EXPECT_EQ(got.rect, want.rect(language));
      // Edit bits mean other things on buttons and statics (all zero there).
      const DWORD mask = got.window_class == "edit" ? 0xFFFFFFFFu : 0xFFFF0000u;
      EXPECT_EQ(got.style & mask, windowStyle(want) & mask);
    }
  }
}

TEST(Win32Resources, AboutBoxAndStringTableInBothLanguages) {
  // Transcribed: the status texts the operator reads first and last.
  // String 200 names the installer's Start-menu shortcut in the user's language.
  const struct {
    w::Language language;
    const char* no_task;
    const char* burn_ok;
    const char* shortcut;
  } rows[] = {{w::Language::English, "No Task is Running...", "Burn Successes!", "Emberline"},
              {w::Language::SimplifiedChinese, "没有任务正在运行...", "烧录成功！", "Emberline 烧录工具"}};
  for (const auto& row : rows) {
    const LANGID lang = resourceLanguage(row.language);
    SCOPED_TRACE(lang);
    EXPECT_EQ(resourceString(104, lang), row.no_task);
    EXPECT_EQ(resourceString(107, lang), row.burn_ok);
    EXPECT_EQ(resourceString(200, lang), row.shortcut);
    for (int id = 101; id <= 114; ++id) EXPECT_EQ(resourceString(id, lang), w::loadString(row.language, id)) << id;

    const app::AboutTemplate about = app::aboutTemplate(row.language);
    const ParsedDialog d = resourceDialog(100, row.language);
    EXPECT_EQ(d.caption, about.caption);
    EXPECT_EQ(d.rect, (app::DialogRect{0, 0, about.width, about.height}));
    std::vector<std::string> captions;
    for (const ParsedControl& c : d.controls) captions.push_back(c.caption);
    EXPECT_EQ(captions, (std::vector<std::string>{"#128", std::string(about.title_line),
                                                  std::string(about.detail_line), std::string(about.ok_caption)}));
  }
}

// Long paths: the manifest says the program takes them (Windows then lifts
// the 260-character limit where LongPathsEnabled is set).
TEST(Win32Resources, TheManifestAllowsLongPathsAndRunsAsTheInvoker) {
  HRSRC found = FindResourceW(self(), MAKEINTRESOURCEW(1), RT_MANIFEST);
  ASSERT_NE(found, nullptr);
  const std::string manifest(static_cast<const char*>(LockResource(LoadResource(self(), found))),
                             SizeofResource(self(), found));
  EXPECT_NE(manifest.find(">true</longPathAware>"), std::string::npos) << manifest;
  EXPECT_NE(manifest.find("level=\"asInvoker\""), std::string::npos);
}

// ------------------------------------------------------- the running dialog

struct Box {
  HWND window = nullptr;
  std::string caption;
  std::string text;  // a message box's text (line ends as "\n"); empty for other dialogs
  RECT rect{};
  HICON icon = nullptr;       // its small icon
  bool default_no = false;    // No is the button Enter presses
};

// The devices as the Windows transport offers them: every call joins COM on
// its thread, as the DirectShow device list does.
class ComJoiningList final : public device::DeviceList {
 public:
  explicit ComJoiningList(device::DeviceList& inner) : inner_(inner) {}
  int enumerate(std::vector<device::DeviceEntry>& out) override {
    platform::windows::joinComOnThisThread();
    return inner_.enumerate(out);
  }
  std::shared_ptr<device::CaptureDevice> open(const device::DeviceEntry& entry, int* error) override {
    platform::windows::joinComOnThisThread();
    return inner_.open(entry, error);
  }

 private:
  device::DeviceList& inner_;
};

std::string withoutCr(std::string text) {
  text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
  return text;
}

std::string windowText(HWND hwnd) {
  std::wstring s(static_cast<std::size_t>(GetWindowTextLengthW(hwnd)) + 1, L'\0');
  s.resize(static_cast<std::size_t>(GetWindowTextW(hwnd, s.data(), static_cast<int>(s.size()))));
  return utf8FromWide(s);
}

bool waitFor(const std::function<bool()>& done, std::chrono::milliseconds limit = std::chrono::seconds(30)) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    Sleep(5);
  }
  return true;
}

// A file of `size` bytes: the family signature, a pattern, then blank.
std::filesystem::path writeImage(const std::filesystem::path& dir) {
  std::vector<char> bytes(w::kImageSize, '\xFF');
  for (std::size_t i = 0; i < 0x14000; ++i) bytes[i] = i < 4 ? "QR5X"[i] : static_cast<char>(i * 31 + (i >> 10));
  const auto path = dir / L"固件 sample.src";
  std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return path;
}

// A shell drop of `files`, as Explorer hands it over (wide names).
HDROP makeDrop(const std::vector<std::filesystem::path>& files) {
  std::wstring names;
  for (const auto& f : files) names += f.wstring() + L'\0';
  names += L'\0';
  const std::size_t bytes = sizeof(DROPFILES) + names.size() * sizeof(wchar_t);
  HGLOBAL memory = GlobalAlloc(GHND, bytes);
  auto* drop = static_cast<DROPFILES*>(GlobalLock(memory));
  drop->pFiles = sizeof(DROPFILES);
  drop->fWide = TRUE;
  std::memcpy(reinterpret_cast<BYTE*>(drop) + sizeof(DROPFILES), names.data(), names.size() * sizeof(wchar_t));
  GlobalUnlock(memory);
  return static_cast<HDROP>(memory);
}

// EnumThreadWindows callback: collects the visible dialog windows.
BOOL CALLBACK collectDialog(HWND hwnd, LPARAM out) {
  wchar_t name[32] = {};
  GetClassNameW(hwnd, name, 32);
  if (IsWindowVisible(hwnd) && std::wstring(name) == L"#32770")
    reinterpret_cast<std::vector<HWND>*>(out)->push_back(hwnd);
  return TRUE;
}

class Win32DialogRun : public ::testing::TestWithParam<w::Language> {
 protected:
  void SetUp() override {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_TAB_CLASSES | ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
    devices_.add(camera_);
    ui_ = std::thread([this] {
      ComJoiningList devices(devices_);
      Win32Dialog dialog(devices, GetParam(), self(), {}, nullptr, {},
                         [this](const std::filesystem::path& image, HWND owner) {
                           station_image_ = image;
                           station_owner_ = owner;
                         });
      dialog_ = &dialog;
      ui_thread_ = GetCurrentThreadId();
      result_ = dialog.runModal();
      finished_ = true;
    });
    ASSERT_TRUE(waitFor([&] { return (main_ = findMain()) != nullptr; })) << "the dialog did not open";
    ASSERT_TRUE(idle()) << "the camera was not found";
  }

  void TearDown() override {
    if (main_ && !finished_) PostMessageW(main_, WM_COMMAND, IDCANCEL, 0);
    waitFor([&] { return finished_.load(); });
    if (ui_.joinable()) ui_.join();
  }

  std::vector<HWND> dialogsOfTheUiThread() {
    std::vector<HWND> found;
    EnumThreadWindows(ui_thread_, collectDialog, reinterpret_cast<LPARAM>(&found));
    return found;
  }

  HWND findMain() {
    if (ui_thread_ == 0) return nullptr;
    for (HWND hwnd : dialogsOfTheUiThread())
      if (GetDlgItem(hwnd, w::kCtlTab)) return hwnd;
    return nullptr;
  }

  // The dialog's thread is in a single-threaded apartment (the process's
  // first, here as in the program, is its main one), asked on that thread.
  bool dialogThreadIsSingleThreaded() {
    APTTYPE type = APTTYPE_CURRENT;
    APTTYPEQUALIFIER qualifier = APTTYPEQUALIFIER_NONE;
    dialog_.load()->runOnUiThread([&] {
      if (FAILED(CoGetApartmentType(&type, &qualifier))) type = APTTYPE_CURRENT;
    });
    return type == APTTYPE_STA || type == APTTYPE_MAINSTA;
  }

  // The next box the dialog opens, answered with `answer`.
  Box nextBox(WPARAM answer = IDOK) {
    Box box;
    waitFor([&] {
      for (HWND hwnd : dialogsOfTheUiThread())
        if (hwnd != main_) box.window = hwnd;
      return box.window != nullptr;
    });
    if (!box.window) return box;
    box.caption = windowText(box.window);
    if (HWND text = GetDlgItem(box.window, 0xFFFF)) box.text = withoutCr(windowText(text));
    GetWindowRect(box.window, &box.rect);
    box.icon = reinterpret_cast<HICON>(SendMessageW(box.window, WM_GETICON, ICON_SMALL, 0));
    if (HWND no = GetDlgItem(box.window, IDNO))
      box.default_no = (GetWindowLongW(no, GWL_STYLE) & BS_TYPEMASK) == BS_DEFPUSHBUTTON;
    PostMessageW(box.window, WM_COMMAND, answer, 0);
    waitFor([&] { return !IsWindow(box.window) || !IsWindowVisible(box.window); });
    return box;
  }

  void click(int id) {
    HWND button = GetDlgItem(main_, id);
    ASSERT_TRUE(IsWindowVisible(button) && IsWindowEnabled(button)) << id;
    PostMessageW(main_, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
  }

  // As a click on a tab: the control changes its selection, then tells the dialog.
  void selectTab(int index) {
    HWND tab = GetDlgItem(main_, w::kCtlTab);
    SendMessageW(tab, TCM_SETCURSEL, static_cast<WPARAM>(index), 0);
    NMHDR header{tab, static_cast<UINT_PTR>(w::kCtlTab), static_cast<UINT>(TCN_SELCHANGE)};
    SendMessageW(main_, WM_NOTIFY, w::kCtlTab, reinterpret_cast<LPARAM>(&header));
  }

  std::set<int> visibleControls() {
    std::set<int> ids;
    for (const app::ControlTemplate& c : app::mainDialogControls())
      if (IsWindowVisible(GetDlgItem(main_, c.id))) ids.insert(c.id);
    return ids;
  }

  std::string text(int id) { return windowText(GetDlgItem(main_, id)); }

  // Waits for the status line to read `want`. A box opening first ends the
  // wait (answered, its text returned), as it would block the workflow.
  std::string waitForStatus(const std::string& want) {
    std::string box;
    waitFor([&] {
      for (HWND hwnd : dialogsOfTheUiThread())
        if (hwnd != main_) box = "box: " + nextBox().text;
      return !box.empty() || text(w::kCtlStatus) == want;
    });
    return box.empty() ? text(w::kCtlStatus) : box;
  }

  bool idle() {
    return waitFor([&] { return IsWindowEnabled(GetDlgItem(main_, w::kCtlGo)) != FALSE; });
  }

  bool chinese() const { return GetParam() == w::Language::SimplifiedChinese; }

  std::shared_ptr<sim::SimCamera> camera_ = std::make_shared<sim::SimCamera>();
  sim::SimDeviceList devices_;
  std::thread ui_;
  std::atomic<Win32Dialog*> dialog_{nullptr};
  std::atomic<DWORD> ui_thread_{0};
  std::atomic<bool> finished_{false};
  int result_ = 0;
  HWND main_ = nullptr;
  std::filesystem::path station_image_;  // what the system menu's station item opened
  std::atomic<HWND> station_owner_{nullptr};
};

const std::set<int> kBurnPage{w::kCtlBrowse, w::kCtlImagePath, w::kCtlGo, w::kCtlImageIdentity, w::kCtlProgressData, w::kCtlStatus,
                              w::kCtlTab};
const std::set<int> kAuxiliaryPage{w::kCtlEraseSf,       w::kCtlRomExport, w::kCtlExportName, w::kCtlFwVersion,
                                   w::kCtlProgressData, w::kCtlStatus,    w::kCtlTab};

TEST_P(Win32DialogRun, OpensOnTheBurnPageAndTheTabsSwitchThePages) {
  EXPECT_EQ(text(w::kCtlStatus), chinese() ? "没有任务正在运行..." : "No Task is Running...");
  EXPECT_EQ(visibleControls(), kBurnPage);
  HWND tab = GetDlgItem(main_, w::kCtlTab);
  EXPECT_EQ(SendMessageW(tab, TCM_GETITEMCOUNT, 0, 0), 2);

  selectTab(1);
  EXPECT_EQ(visibleControls(), kAuxiliaryPage);
  selectTab(0);
  EXPECT_EQ(visibleControls(), kBurnPage);
}

TEST_P(Win32DialogRun, AboutIsTheLastItemOfTheSystemMenuAndOpensDialog100) {
  HMENU menu = GetSystemMenu(main_, FALSE);
  const int count = GetMenuItemCount(menu);
  ASSERT_GE(count, 2);
  EXPECT_EQ(GetMenuItemID(menu, count - 1), 0x0010u);
  EXPECT_TRUE(GetMenuState(menu, static_cast<UINT>(count - 2), MF_BYPOSITION) & MF_SEPARATOR);
  wchar_t item[128] = {};
  GetMenuStringW(menu, static_cast<UINT>(count - 1), item, 128, MF_BYPOSITION);
  EXPECT_EQ(utf8FromWide(item), chinese() ? "关于 Common USB Emberline(&A)..." : "&About Common USB Emberline...");
  // The station window's item comes before it.
  ASSERT_GE(count, 4);
  EXPECT_EQ(GetMenuItemID(menu, count - 3), app::kIdmStation);
  GetMenuStringW(menu, static_cast<UINT>(count - 3), item, 128, MF_BYPOSITION);
  EXPECT_EQ(utf8FromWide(item), app::stationMenuText(GetParam()));

  PostMessageW(main_, WM_SYSCOMMAND, 0x0010, 0);
  const Box about = nextBox();
  EXPECT_EQ(about.caption, chinese() ? "关于 Common USB Emberline" : "About Common USB Emberline");
}

// A box of the dialog sits in its middle and carries its icon.
void expectOnTheDialog(const Box& box, HWND main) {
  RECT dialog{};
  GetWindowRect(main, &dialog);
  EXPECT_LE(std::abs((box.rect.left + box.rect.right) - (dialog.left + dialog.right)), 4);
  EXPECT_LE(std::abs((box.rect.top + box.rect.bottom) - (dialog.top + dialog.bottom)), 4);
  EXPECT_EQ(box.icon, reinterpret_cast<HICON>(SendMessageW(main, WM_GETICON, ICON_SMALL, 0)));
}

TEST_P(Win32DialogRun, GoWithoutAnImageThenADropAndABurnOnTheSimulatedCamera) {
  // The camera was found on the worker: the dialog's thread is still a
  // single-threaded apartment, as the shell's file dialog needs it.
  EXPECT_TRUE(dialogThreadIsSingleThreaded());
  click(w::kCtlGo);
  const Box refused = nextBox();
  EXPECT_EQ(refused.text, "No Source File!\n\n" + std::string(w::operatorAdvice(w::FailureKind::NoImage, GetParam())));
  expectOnTheDialog(refused, main_);
  ASSERT_TRUE(idle());

  test::TempDir dir;
  const auto image = writeImage(dir.path());
  PostMessageW(main_, WM_DROPFILES, reinterpret_cast<WPARAM>(makeDrop({image})), 0);
  const std::string loaded = chinese() ? "请单击“开始烧录”！" : "Click 'GO' to start burning...";
  ASSERT_EQ(waitForStatus(loaded), loaded);
  EXPECT_EQ(text(w::kCtlImagePath), utf8FromWide(image.wstring()));
  EXPECT_NE(withoutCr(text(w::kCtlImageIdentity)).find("\nSHA-256 "), std::string::npos) << text(w::kCtlImageIdentity);
  // The system menu's station window burns the image loaded, over the dialog.
  PostMessageW(main_, WM_SYSCOMMAND, app::kIdmStation, 0);
  ASSERT_TRUE(waitFor([&] { return station_owner_.load() != nullptr; }));
  EXPECT_EQ(station_owner_.load(), main_);
  EXPECT_EQ(station_image_, image);

  click(w::kCtlGo);
  const std::string burnt = chinese() ? "烧录成功！" : "Burn Successes!";
  ASSERT_EQ(waitForStatus(burnt), burnt);
  ASSERT_TRUE(idle());
  std::ifstream in(image, std::ios::binary);
  const std::vector<std::uint8_t> want((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_TRUE(camera_->flash() == want);
  for (int id : app::kStageRow) EXPECT_TRUE(IsWindowVisible(GetDlgItem(main_, id))) << id;
  EXPECT_TRUE(dialogThreadIsSingleThreaded());
}

TEST_P(Win32DialogRun, EraseSfAsksFirstAndAStartWithoutACameraSaysSo) {
  selectTab(1);
  const auto before = camera_->flash();
  click(w::kCtlEraseSf);
  const Box question = nextBox(IDNO);
  EXPECT_EQ(question.text, app::eraseQuestion(GetParam()));
  EXPECT_TRUE(question.default_no);
  expectOnTheDialog(question, main_);
  ASSERT_TRUE(idle());
  EXPECT_TRUE(camera_->flash() == before);

  click(w::kCtlEraseSf);
  nextBox(IDYES);
  const std::string erased = chinese() ? "擦除成功！" : "Flash Erase Successes!";
  ASSERT_EQ(waitForStatus(erased), erased);
  ASSERT_TRUE(idle());

  // The camera is gone: the last result goes, the status line says why.
  devices_.setEnumerateError(-EIO);
  click(w::kCtlFwVersion);
  ASSERT_EQ(waitForStatus("Can't find video device!"), "Can't find video device!");
}

// The chip's version bytes are read in the ANSI code page, as Windows shows
// narrow text (read as Latin-1, 0x80 would be a control character).
TEST_P(Win32DialogRun, TheFirmwareVersionIsReadInTheAnsiCodePage) {
  const std::string field = "EM\x80" "-12345";
  camera_->setMemory(7, 0x1E0A, std::vector<std::uint8_t>(field.begin(), field.end()));  // the second field
  selectTab(1);
  click(w::kCtlFwVersion);
  const Box version = nextBox();
  EXPECT_NE(version.text.find(platform::utf8FromAnsi(field)), std::string::npos) << version.text;
}

INSTANTIATE_TEST_SUITE_P(BothLanguages, Win32DialogRun, ::testing::ValuesIn(kLanguages),
                         [](const ::testing::TestParamInfo<w::Language>& param) {
                           return param.param == w::Language::English ? std::string("English")
                                                                      : std::string("SimplifiedChinese");
                         });

}  // namespace
}  // namespace emberline::gui::win32
