// The native station window under Windows (Wine in CI) on a folder of
// simulated cameras, driven by window messages from the test's thread while
// the window runs on a thread of its own, as an operator's clicks reach it:
// "Start All" burns every camera and writes the record file, in both
// languages and in a folder with a Chinese name; "Stop", or a shutdown
// asked for (refused while cameras run), stops the cameras that have not
// written yet, and closing the window waits for the burns in flight.

#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "core/device/utf8_path.h"
#include "core/station/station_board.h"
#include "core/station/station_texts.h"
#include "core/workflows/camera_session.h"
#include "core/workflows/strings.h"
#include "gui/win32/win32_station_window.h"
#include "platform/text_windows.h"
#include "sim/sim_camera.h"
#include "support/temp_dir.h"

namespace emberline::gui::win32 {
namespace {

namespace w = workflows;
using platform::utf8FromWide;

bool waitFor(const std::function<bool()>& done, std::chrono::milliseconds limit = std::chrono::seconds(60)) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    Sleep(10);
  }
  return true;
}

std::vector<std::uint8_t> sampleImage() {
  std::vector<std::uint8_t> bytes(w::kImageSize, 0xFF);
  for (std::size_t i = 0; i < 0x9000; ++i) bytes[i] = i < 4 ? "QR5X"[i] : static_cast<std::uint8_t>(i * 29 + (i >> 9));
  return bytes;
}

BOOL CALLBACK keepVisibleWindow(HWND hwnd, LPARAM out) {
  if (IsWindowVisible(hwnd)) *reinterpret_cast<HWND*>(out) = hwnd;
  return TRUE;
}

std::string windowText(HWND hwnd) {
  std::wstring s(static_cast<std::size_t>(GetWindowTextLengthW(hwnd)) + 1, L'\0');
  s.resize(static_cast<std::size_t>(GetWindowTextW(hwnd, s.data(), static_cast<int>(s.size()))));
  return utf8FromWide(s);
}

struct StationCase {
  const char* name;
  w::Language language;
  std::wstring folder;  // of the cameras, the image and the record file
  int cameras;
  int latency_us;  // per request
  enum class Stop { None, Button, SessionEnd } stop;  // "Stop", or a shutdown asked for, after "Start All"
};

void PrintTo(const StationCase& c, std::ostream* out) { *out << c.name; }

class Win32StationRun : public ::testing::TestWithParam<StationCase> {
 protected:
  void SetUp() override {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    folder_ = dir_.path() / GetParam().folder;
    std::filesystem::create_directories(folder_);
    image_ = sampleImage();
    std::ofstream(folder_ / L"固件.src", std::ios::binary)
        .write(reinterpret_cast<const char*>(image_.data()), static_cast<std::streamsize>(image_.size()));
    for (int i = 1; i <= GetParam().cameras; ++i) {
      const auto file = folder_ / ("cam" + std::to_string(i) + ".sim");
      sim::SimCamera camera;
      ASSERT_EQ(camera.save(file), 0);
      before_[file.filename().string()] = camera.flash();
    }
  }

  void open() {
    StationWindowSettings settings;
    settings.image = folder_ / L"固件.src";
    settings.record = utf8Text(folder_ / L"记录.jsonl");
    settings.source = "sim-dir:" + utf8Text(folder_);
    if (GetParam().latency_us > 0) settings.source += "?latency-us=" + std::to_string(GetParam().latency_us);
    settings.language = GetParam().language;
    ui_ = std::thread([this, settings] {
      ui_thread_ = GetCurrentThreadId();
      result_ = runStationWindow(GetModuleHandleW(nullptr), nullptr, settings);
      finished_ = true;
    });
    HWND shown = nullptr;  // the window, or the box that says why there is none
    ASSERT_TRUE(waitFor([&] {
      if (ui_thread_ != 0) EnumThreadWindows(ui_thread_, keepVisibleWindow, reinterpret_cast<LPARAM>(&shown));
      return shown != nullptr || finished_;
    }));
    ASSERT_NE(GetDlgItem(shown, kStationTable), nullptr) << windowText(GetDlgItem(shown, 0xFFFF));
    window_ = shown;
    table_ = GetDlgItem(window_, kStationTable);
  }

  void TearDown() override {
    if (window_ && !finished_) PostMessageW(window_, WM_COMMAND, IDCANCEL, 0);
    waitFor([&] { return finished_.load(); });
    if (ui_.joinable()) ui_.join();
  }

  int rows() { return static_cast<int>(SendMessageW(table_, LVM_GETITEMCOUNT, 0, 0)); }

  std::string cell(int row, int column) {
    wchar_t text[512] = {};
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = text;
    item.cchTextMax = 512;
    SendMessageW(table_, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
    return utf8FromWide(text);
  }

  std::string header(int column) {
    wchar_t text[128] = {};
    LVCOLUMNW c{};
    c.mask = LVCF_TEXT;
    c.pszText = text;
    c.cchTextMax = 128;
    SendMessageW(table_, LVM_GETCOLUMNW, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&c));
    return utf8FromWide(text);
  }

  bool enabled(int id) { return IsWindowEnabled(GetDlgItem(window_, id)) != FALSE; }
  void click(int id) { PostMessageW(window_, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0); }

  // The record file's lines by camera file name.
  std::map<std::string, nlohmann::json> records() {
    std::ifstream in(folder_ / L"记录.jsonl", std::ios::binary);
    std::map<std::string, nlohmann::json> by_camera;
    for (std::string line; std::getline(in, line);) {
      auto record = nlohmann::json::parse(line, nullptr, false);
      if (record.is_discarded()) continue;  // a line being written
      const std::string device = record["device"];  // sim:PATH[?latency-us=N]
      const std::string path = device.substr(4, device.rfind('?') == std::string::npos ? std::string::npos
                                                                                        : device.rfind('?') - 4);
      by_camera[utf8Text(utf8Path(path).filename())] = std::move(record);
    }
    return by_camera;
  }

  std::vector<std::uint8_t> flashOf(const std::string& camera) {
    std::string error;
    const auto loaded = sim::SimCamera::load(folder_ / camera, &error);
    EXPECT_TRUE(loaded) << error;
    return loaded ? loaded->flash() : std::vector<std::uint8_t>{};
  }

  bool holdsImage(const std::vector<std::uint8_t>& flash) const {
    return flash.size() >= image_.size() && std::equal(image_.begin(), image_.end(), flash.begin());
  }

  // Every row's stage and result, and the buttons, for a failure's message.
  std::string board() {
    std::string shown;
    for (int r = 0; r < rows(); ++r)
      shown += cell(r, station::kColumnDevice) + ": " + cell(r, station::kColumnStage) + " / " +
               cell(r, station::kColumnResult) + "\n";
    return shown + "Start All " + (enabled(kStationStartAll) ? "on" : "off") + ", Stop " +
           (enabled(kStationStop) ? "on" : "off");
  }

  std::string text(station::StationText id) const { return station::stationText(GetParam().language, id); }

  test::TempDir dir_;
  std::filesystem::path folder_;
  std::vector<std::uint8_t> image_;
  std::map<std::string, std::vector<std::uint8_t>> before_;  // each camera's flash before the run
  std::thread ui_;
  std::atomic<DWORD> ui_thread_{0};
  std::atomic<bool> finished_{false};
  int result_ = -1;
  HWND window_ = nullptr;
  HWND table_ = nullptr;
};

TEST_P(Win32StationRun, StartAllBurnsEveryCameraAndRecordsIt) {
  const StationCase& run = GetParam();
  open();
  ASSERT_TRUE(waitFor([&] { return rows() == run.cameras; })) << rows();
  EXPECT_EQ(header(station::kColumnChip), text(station::StationText::ChipId));
  EXPECT_EQ(windowText(GetDlgItem(window_, kStationStartAll)), text(station::StationText::StartAll));
  EXPECT_NE(windowText(GetDlgItem(window_, kStationIdentity)).find("SHA-256 "), std::string::npos);
  EXPECT_NE(windowText(window_).find("固件.src"), std::string::npos) << windowText(window_);
  ASSERT_TRUE(waitFor([&] { return enabled(kStationStartAll); }));
  EXPECT_FALSE(enabled(kStationStop));

  click(kStationStartAll);
  if (run.stop != StationCase::Stop::None) {
    if (run.stop == StationCase::Stop::Button) {
      click(kStationStop);
    } else {
      // Refused while cameras run; no camera starts writing afterwards.
      ASSERT_TRUE(waitFor([&] { return enabled(kStationStop); }));
      EXPECT_EQ(SendMessageW(window_, WM_QUERYENDSESSION, 0, 0), FALSE);
      // The refusal alone stops them (the close below would too).
      ASSERT_TRUE(waitFor([&] { return records().size() == static_cast<std::size_t>(run.cameras); },
                          std::chrono::minutes(3)));
    }
    // The close box: the window goes once the cameras in flight have ended.
    PostMessageW(window_, WM_COMMAND, IDCANCEL, 0);
    // The window goes once the cameras in flight have ended.
    ASSERT_TRUE(waitFor([&] { return finished_.load(); }, std::chrono::minutes(3)));
    EXPECT_EQ(result_, 0);
    int stopped = 0;
    const auto lines = records();
    ASSERT_EQ(lines.size(), static_cast<std::size_t>(run.cameras));
    for (const auto& [camera, record] : lines) {
      SCOPED_TRACE(camera);
      // A safe point: untouched, or burned to the end.
      if (record["result"] == "stopped") {
        ++stopped;
        EXPECT_TRUE(flashOf(camera) == before_[camera]);
      } else {
        EXPECT_EQ(record["result"], "passed");
        EXPECT_TRUE(holdsImage(flashOf(camera)));
      }
    }
    EXPECT_GT(stopped, 0) << "every camera had started writing before the stop";
    return;
  }

  const std::string passed = station::resultText(run.language, station::JobResult::Passed);
  ASSERT_TRUE(waitFor([&] {
    for (int r = 0; r < rows(); ++r)
      if (cell(r, station::kColumnResult) != passed) return false;
    return enabled(kStationStartAll) == false && enabled(kStationStop) == false;
  })) << board();
  for (int r = 0; r < run.cameras; ++r) {
    EXPECT_EQ(cell(r, station::kColumnProgress), "100 %");
    EXPECT_EQ(cell(r, station::kColumnChip), "0x33");
    EXPECT_EQ(cell(r, station::kColumnStage), text(station::StationText::Done));
  }
  EXPECT_EQ(windowText(GetDlgItem(window_, kStationTotals)),
            station::totalsText(run.language, run.cameras, 0, 0, 0, run.cameras));
  const auto lines = records();
  ASSERT_EQ(lines.size(), static_cast<std::size_t>(run.cameras));
  for (const auto& [camera, record] : lines) {
    SCOPED_TRACE(camera);
    EXPECT_EQ(record["result"], "passed");
    EXPECT_EQ(record["image"], utf8Text(folder_ / L"固件.src"));
    EXPECT_TRUE(holdsImage(flashOf(camera)));
  }
}

// A record file that would overwrite the image opens no window: a box says why.
TEST(Win32Station, ARecordFileThatIsTheImageIsRefused) {
  test::TempDir dir;
  const auto image = dir.path() / "image.src";
  std::ofstream(image, std::ios::binary) << "x";
  StationWindowSettings settings;
  settings.image = image;
  settings.record = utf8Text(image);
  settings.source = "sim-dir:" + utf8Text(dir.path());
  std::atomic<DWORD> thread{0};
  std::atomic<int> result{-1};
  std::thread ui([&] {
    thread = GetCurrentThreadId();
    result = runStationWindow(GetModuleHandleW(nullptr), nullptr, settings);
  });
  // The box: answered as the operator would.
  HWND box = nullptr;
  waitFor([&] {
    if (thread != 0) EnumThreadWindows(thread, keepVisibleWindow, reinterpret_cast<LPARAM>(&box));
    return box != nullptr;
  });
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(GetDlgItem(box, kStationTable), nullptr);
  PostMessageW(box, WM_COMMAND, IDOK, 0);
  ui.join();
  EXPECT_EQ(result, 2);
}

const StationCase kRuns[] = {
    {"TwoCamerasInEnglish", w::Language::English, L"line", 2, 0, StationCase::Stop::None},
    {"ThreeCamerasInAChineseFolder", w::Language::SimplifiedChinese, L"相机 线3", 3, 0, StationCase::Stop::None},
    {"StopAndCloseWhileStarting", w::Language::English, L"停止", 3, 5000, StationCase::Stop::Button},
    {"ShutdownRefusedAndCloseWhileStarting", w::Language::SimplifiedChinese, L"关机", 2, 10000,
     StationCase::Stop::SessionEnd},
};

INSTANTIATE_TEST_SUITE_P(Runs, Win32StationRun, ::testing::ValuesIn(kRuns),
                         [](const ::testing::TestParamInfo<StationCase>& param) { return std::string(param.param.name); });

}  // namespace
}  // namespace emberline::gui::win32
