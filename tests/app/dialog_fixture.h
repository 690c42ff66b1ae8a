#pragma once

// The main dialog's controller on one simulated camera, a view that records
// every call as one short line ("hide 1005", "text 1014 Burning...") and
// launchers that run a worker inline or hold it back until the test lets it.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <type_traits>
#include <vector>

#include "core/app/main_dialog.h"
#include "core/device/clock.h"
#include "core/workflows/camera_session.h"
#include "sim/sim_camera.h"
#include "support/files.h"

namespace emberline::app {
namespace w = workflows;
}

namespace emberline::app::testing {

class RecordingView : public DialogView {
 public:
  std::vector<std::string> events;
  std::vector<MessageIcon> icons;  // of every message, in order
  std::function<void()> on_message;  // runs while the "modal box" is open

  void runOnUiThread(const std::function<void()>& fn) override { fn(); }
  void setControlVisible(int id, bool v) override { log((v ? "show " : "hide ") + std::to_string(id)); }
  void setControlEnabled(int id, bool e) override { log((e ? "enable " : "disable ") + std::to_string(id)); }
  void setControlText(int id, const std::string& t) override { log("text " + std::to_string(id) + " " + t); }
  void setProgress(int id, int, int, int pos) override {
    log("progress " + std::to_string(id) + " @" + std::to_string(pos));
  }
  void setDialogIcon() override { log("icon"); }
  void addSystemMenuItem(unsigned c, const std::string& t) override { log("sysmenu " + std::to_string(c) + " " + t); }
  void insertTab(int i, const std::string& t) override { log("tab " + std::to_string(i) + " " + t); }
  void selectTab(int i) override { log("select " + std::to_string(i)); }
  void showMessage(const std::string& text, const std::string& caption, MessageIcon icon,
                   const std::string& detail) override {
    icons.push_back(icon);
    details.push_back(detail);
    log("message " + (caption.empty() ? text : caption + ": " + text));
    if (on_message) on_message();
  }
  std::vector<std::string> details;  // of every message, in order
  bool askYesNo(const std::string& text, bool default_yes) override {
    log(std::string("ask ") + (default_yes ? "[yes] " : "[no] ") + text);
    return answer;
  }
  bool answer = true;  // what the operator answers a question
  std::optional<std::filesystem::path> chooseSourceFile(const SourceFileDialog& settings) override {
    log("file-dialog " + std::string(settings.filters[0].pattern));
    return chosen_file;
  }
  std::optional<std::filesystem::path> chosen_file;  // what the "file dialog" returns
  void openStation(const std::filesystem::path& image) override { log("station " + image.string()); }
  void showAbout() override { log("about"); }
  void endDialog(int result) override {
    log("end " + std::to_string(result));
    ended = result;
  }
  std::optional<int> ended;
  void workflowStarted(bool writes_flash) override {
    if (writes_flash) log("hold machine");  // awake, shutdown held off
  }
  void workflowEnded() override { log("ended"); }

  // The events starting with `prefix`, that prefix removed.
  std::vector<std::string> matching(const std::string& prefix) const {
    std::vector<std::string> out;
    for (const std::string& e : events)
      if (e.rfind(prefix, 0) == 0) out.push_back(e.substr(prefix.size()));
    return out;
  }
  std::vector<std::string> messages() const { return matching("message "); }

 protected:
  virtual void log(std::string line) { events.push_back(std::move(line)); }
};

// Holds a started worker until runHeld(); join() runs it, as a dialog
// waiting for its worker would.
class HeldLauncher final : public WorkerLauncher {
 public:
  void start(std::function<void()> work) override {
    ++starts;
    held = std::move(work);
  }
  void join() override { runHeld(); }
  void runHeld() {
    if (auto work = std::exchange(held, nullptr)) work();
  }
  std::function<void()> held;
  int starts = 0;
};

// `size` bytes in a fresh temporary folder: the family signature, a pattern,
// and blank stretches the burn skips.
inline std::filesystem::path writeImage(const std::string& name, std::size_t size = w::kImageSize) {
  const auto dir = std::filesystem::temp_directory_path() / "emberline-app-tests";
  std::filesystem::create_directories(dir);
  std::vector<char> bytes(size, '\xFF');
  for (std::size_t i = 0; i < size; ++i)
    if (i < 4 || (i / 4096) % 3 != 2) bytes[i] = i < 4 ? "QR5X"[i] : static_cast<char>((i * 13) ^ (i >> 9));
  std::ofstream(dir / name, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(size));
  return dir / name;
}

using test::readFile;

template <typename Launcher = InlineLauncher, typename View = RecordingView>
struct DialogRig {
  explicit DialogRig(w::Language language = w::Language::English, bool with_camera = true,
                     std::filesystem::path export_folder = {}, bool station_window = false) {
    if (with_camera) devices.add(camera);
    DialogOptions options{language, &clock,
                          [this] {
                            ++persists;
                            return std::string();
                          },
                          std::move(export_folder), station_window};
    dialog = std::make_unique<CEmberline_testDlg>(devices, view, launcher, std::move(options));
  }
  // OnInitDialog, and the start-up's worker run to its end.
  void open() {
    dialog->OnInitDialog();
    if constexpr (std::is_same_v<Launcher, HeldLauncher>) launcher.runHeld();
  }
  std::set<int> visible() const {
    std::set<int> ids;
    for (const ControlTemplate& c : mainDialogControls())
      if (dialog->control(c.id).visible) ids.insert(c.id);
    return ids;
  }
  const std::string& status() const { return dialog->control(w::kCtlStatus).text; }
  bool imageIs(const std::vector<std::uint8_t>& bytes) const {
    const auto image = dialog->session()->image();
    return std::equal(image.begin(), image.end(), bytes.begin(), bytes.end());
  }
  bool flashHolds(const std::filesystem::path& file) const { return test::flashHolds(*camera, file); }

  std::shared_ptr<sim::SimCamera> camera = std::make_shared<sim::SimCamera>();
  sim::SimDeviceList devices;
  device::ManualClock clock;
  Launcher launcher;
  View view;
  int persists = 0;
  std::unique_ptr<CEmberline_testDlg> dialog;  // last: it goes first
};

inline const std::set<int> kBurnPage{w::kCtlBrowse, w::kCtlImagePath, w::kCtlGo, w::kCtlImageIdentity,
                                     w::kCtlProgressData, w::kCtlStatus, w::kCtlTab};
inline const std::set<int> kAuxiliaryPage{w::kCtlEraseSf, w::kCtlRomExport, w::kCtlExportName, w::kCtlFwVersion,
                                          w::kCtlProgressData, w::kCtlStatus, w::kCtlTab};

}  // namespace emberline::app::testing
