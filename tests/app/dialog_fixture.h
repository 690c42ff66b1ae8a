#pragma once

// The main dialog's controller on one simulated camera, with a view that
// records what the dialog would show and launchers that run a worker inline
// or hold it back until the test lets it run.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "core/app/main_dialog.h"
#include "core/device/clock.h"
#include "core/workflows/camera_session.h"
#include "sim/sim_camera.h"

namespace emberline::app {
namespace w = workflows;
}

namespace emberline::app::testing {

// Records every view call as one line ("hide 1005", "text 1014 Burning...").
class RecordingView : public DialogView {
 public:
  std::vector<std::string> events;
  std::vector<std::string> messages;  // "text" or "caption: text"
  std::deque<std::optional<std::filesystem::path>> file_answers;  // for chooseSourceFile
  std::vector<std::string> offered_filters;
  int about_boxes = 0;
  int ended_workflows = 0;
  std::function<void(const std::string&)> on_message;  // runs inside the "modal" box

  void runOnUiThread(const std::function<void()>& fn) override { fn(); }
  void setControlVisible(int id, bool visible) override {
    log((visible ? "show " : "hide ") + std::to_string(id));
  }
  void setControlEnabled(int id, bool enabled) override {
    log((enabled ? "enable " : "disable ") + std::to_string(id));
  }
  void setControlText(int id, const std::string& text) override {
    log("text " + std::to_string(id) + " " + text);
  }
  void setProgress(int id, int minimum, int maximum, int position) override {
    log("progress " + std::to_string(id) + " " + std::to_string(minimum) + ".." +
        std::to_string(maximum) + " @" + std::to_string(position));
  }
  void setDialogIcon() override { log("icon"); }
  void addSystemMenuItem(unsigned command, const std::string& text) override {
    log("sysmenu " + std::to_string(command) + " " + text);
  }
  void insertTab(int index, const std::string& text) override {
    log("tab " + std::to_string(index) + " " + text);
  }
  void selectTab(int index) override { log("select " + std::to_string(index)); }
  void showMessage(const std::string& text, const std::string& caption) override {
    const std::string line = caption.empty() ? text : caption + ": " + text;
    log("message " + line);
    messages.push_back(line);
    if (on_message) on_message(text);
  }
  std::optional<std::filesystem::path> chooseSourceFile(const SourceFileDialog& settings) override {
    log("file-dialog");
    offered_filters.clear();
    for (const FileFilter& f : settings.filters) offered_filters.emplace_back(f.pattern);
    if (file_answers.empty()) return std::nullopt;
    auto answer = file_answers.front();
    file_answers.pop_front();
    return answer;
  }
  void showAbout() override {
    log("about");
    ++about_boxes;
  }
  void endDialog(int result) override { log("end " + std::to_string(result)); }
  void workflowEnded() override { ++ended_workflows; }

  // Events that start with `prefix`, in order.
  std::vector<std::string> matching(const std::string& prefix) const {
    std::vector<std::string> out;
    for (const std::string& e : events)
      if (e.rfind(prefix, 0) == 0) out.push_back(e);
    return out;
  }

 protected:
  virtual void log(std::string line) { events.push_back(std::move(line)); }
};

// Holds a started worker until the test runs it (join() runs it too, as a
// dialog waiting for its worker would).
class HeldLauncher final : public WorkerLauncher {
 public:
  void start(std::function<void()> work) override {
    ++starts;
    held = std::move(work);
  }
  void join() override { runHeld(); }
  void runHeld() {
    if (!held) return;
    auto work = std::move(held);
    held = nullptr;
    work();
  }
  std::function<void()> held;
  int starts = 0;
};

// A temporary folder for image files, removed with the test.
class TempFolder {
 public:
  TempFolder() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string("emberline-app-") + info->test_suite_name() + "-" + info->name();
    std::replace(name.begin(), name.end(), '/', '_');
    path_ = std::filesystem::temp_directory_path() / name;
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
  }
  ~TempFolder() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// A firmware image of the family: the signature, then a pattern with blank stretches.
inline std::vector<std::uint8_t> familyImage(std::size_t size = w::kImageSize) {
  std::vector<std::uint8_t> image(size, 0xFF);
  const char signature[] = "QR5X";
  for (std::size_t i = 0; i < size; ++i) {
    if (i < 4)
      image[i] = static_cast<std::uint8_t>(signature[i]);
    else if ((i / 4096) % 3 != 2)
      image[i] = static_cast<std::uint8_t>((i * 13) ^ (i >> 9));
  }
  return image;
}

inline std::filesystem::path writeFile(const std::filesystem::path& path,
                                       const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return path;
}

// A dialog on one simulated camera; nothing happens until init().
template <typename Launcher = InlineLauncher, typename View = RecordingView>
class DialogRig {
 public:
  explicit DialogRig(w::Language language = w::Language::English, bool with_camera = true) {
    if (with_camera) devices.add(camera);
    DialogOptions options;
    options.language = language;
    options.clock = &clock;
    options.persist = [this] {
      ++persists;
      return std::string();
    };
    dialog = std::make_unique<CEmberline_testDlg>(devices, view, launcher, std::move(options));
  }

  bool init() { return dialog->OnInitDialog(); }

  std::set<int> visibleControls() const {
    std::set<int> ids;
    for (const ControlTemplate& c : mainDialogControls())
      if (dialog->control(c.id).visible) ids.insert(c.id);
    return ids;
  }
  const std::string& status() const { return dialog->control(w::kCtlStatus).text; }

  std::shared_ptr<sim::SimCamera> camera = std::make_shared<sim::SimCamera>();
  sim::SimDeviceList devices;
  device::ManualClock clock;
  Launcher launcher;
  View view;
  int persists = 0;
  std::unique_ptr<CEmberline_testDlg> dialog;
};

inline const std::set<int> kBurnPageVisible{w::kCtlBrowse, w::kCtlImagePath, w::kCtlGo,
                                            w::kCtlProgressData, w::kCtlStatus, w::kCtlTab};
inline const std::set<int> kAuxiliaryPageVisible{w::kCtlEraseSf, w::kCtlRomExport, w::kCtlExportName,
                                                 w::kCtlFwVersion, w::kCtlProgressData, w::kCtlStatus,
                                                 w::kCtlTab};

}  // namespace emberline::app::testing
