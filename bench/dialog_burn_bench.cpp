// The dialog's burn against the command line's, on the same simulated camera
// (sim:PATH?latency-us=N, as both faces take it), back to back, with the Qt
// dialog on the offscreen platform unless QT_QPA_PLATFORM says otherwise.
// Each iteration is one pair of burns; the order inside a pair alternates.
// Reported (the time column is the dialog's burn):
//   ratio           median over the pairs of dialog time / command-line time
//   dialog_ms       median dialog burn, GO pressed to the buttons enabled again
//   cli_ms          median command-line burn, the command's whole run in-process
//   blocking/burn   times the dialog's worker waited for the UI thread
//   ui_gap_max_ms   longest interval of a 5 ms timer on the UI thread during
//                   any of the dialog's burns
//   ui_gap_med_ms   median over the burns of each burn's longest interval
// The machine's noise moves single pairs; the medians are what to compare.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QEventLoop>
#include <QMessageBox>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "cli/command.h"
#include "cli/command_runner.h"
#include "cli/global_options.h"
#include "frontend/device_selection.h"
#include "gui/qt/emberline_dialog.h"
#include "sample_image.h"
#include "sim/sim_camera.h"

namespace {

namespace fs = std::filesystem;
using emberline::tools::ImageKind;
using Clock = std::chrono::steady_clock;

constexpr int kTimerMs = 5;
bool any_failed = false;  // makes the program's exit status say so
constexpr int kBurnTimeoutMs = 120'000;

double median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const std::size_t mid = values.size() / 2;
  return values.size() % 2 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
}

double ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// A fresh folder with a blank simulated camera's state and the image.
struct Workspace {
  explicit Workspace(ImageKind kind) {
    dir = fs::temp_directory_path() / ("emberline-dialog-bench-" + std::to_string(static_cast<int>(kind)));
    fs::remove_all(dir);
    fs::create_directories(dir);
    image = dir / "image.src";
    const auto bytes = emberline::tools::makeImage(kind);
    std::ofstream(image, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  }
  ~Workspace() {
    std::error_code ignored;
    fs::remove_all(dir, ignored);
  }
  // The device string of a new simulated camera named `name`.
  std::string camera(const std::string& name, long latency_us) const {
    const fs::path state = dir / name;
    emberline::sim::SimCamera().save(state);
    return "sim:" + state.string() + "?latency-us=" + std::to_string(latency_us);
  }
  fs::path dir;
  fs::path image;
};

// `emberline --device DEV --lang en burn IMAGE`, run in this process with its
// output thrown away.
class CommandLineBurn {
 public:
  CommandLineBurn(const std::string& device, const fs::path& image)
      : burn_(emberline::cli::makeBurnCommand()), null_(std::fopen("/dev/null", "w")) {
    CLI::App app;
    emberline::cli::declareGlobalOptions(app, options_);
    CLI::App* sub = app.add_subcommand(burn_->name());
    sub->fallthrough();
    burn_->declare(*sub);
    // CLI11 takes the arguments last first.
    std::vector<std::string> args{image.string(), "burn", "en", "--lang", device, "--device"};
    app.parse(args);
  }
  ~CommandLineBurn() {
    if (null_) std::fclose(null_);
  }
  bool run() { return null_ && emberline::cli::runCommand(*burn_, options_, null_, null_) == 0; }

 private:
  emberline::cli::GlobalOptions options_;
  std::unique_ptr<emberline::cli::Command> burn_;
  std::FILE* null_;
};

// Notes when the last start button is enabled again: the worker's last call,
// which ends the burn.
class EndWatcher final : public QObject {
 public:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::EnabledChange && static_cast<QWidget*>(watched)->isEnabled()) {
      ended_at = Clock::now();
      ended = true;
    }
    return false;
  }
  bool ended = false;
  Clock::time_point ended_at;
};

// The dialog as emberline-gui runs it: the device context of the same string,
// its state saved after every operation.
class DialogBurn {
 public:
  DialogBurn(const std::string& device, const fs::path& image) {
    std::string error;
    const auto selection = emberline::frontend::parseDeviceSpec(device, &error);
    if (selection) context_ = emberline::frontend::openDeviceContext(*selection, &error);
    if (!context_) return;
    auto* ctx = context_.get();
    dialog_ = std::make_unique<emberline::gui::EmberlineDialog>(
        ctx->devices(), emberline::workflows::Language::English, [ctx] {
          std::string why;
          return ctx->persist(&why) == 0 ? std::string() : why;
        });
    if (!dialog_->initialise()) return;
    dialog_->show();
    // The camera is found on the dialog's worker.
    while (dialog_->controller().busy()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
    dialog_->controller().OnDropFiles({image});
    dialog_->control(emberline::workflows::kCtlFwVersion)->installEventFilter(&end_);
    ready_ = true;
  }
  ~DialogBurn() {
    if (dialog_) dialog_->control(emberline::workflows::kCtlFwVersion)->removeEventFilter(&end_);
  }

  // One burn from the GO button; false when it failed (a message box came up,
  // closed at once) or did not end in time.
  bool run(Clock::duration& took, std::uint64_t& blocking, double& longest_gap_ms) {
    if (!ready_) return false;
    auto& controller = dialog_->controller();
    const std::uint64_t blocking_before = controller.blockingUiCalls();
    QEventLoop loop;
    QTimer timer;
    timer.setTimerType(Qt::PreciseTimer);
    QElapsedTimer since_last;
    bool boxed = false;
    QObject::connect(&timer, &QTimer::timeout, &loop, [&] {
      longest_gap_ms = std::max(longest_gap_ms, since_last.nsecsElapsed() / 1e6);
      since_last.restart();
      if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
        boxed = true;
        box->done(QMessageBox::Ok);
      }
      if (end_.ended) loop.quit();
    });
    end_.ended = false;
    timer.start(kTimerMs);
    since_last.start();
    QTimer::singleShot(kBurnTimeoutMs, &loop, &QEventLoop::quit);
    const auto start = Clock::now();
    controller.OnBnClickedGo();  // as the button's click
    loop.exec();
    longest_gap_ms = std::max(longest_gap_ms, since_last.nsecsElapsed() / 1e6);
    // The worker's last call has returned once the dialog is no longer busy.
    while (controller.busy()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
    if (!end_.ended || boxed) return false;
    took = end_.ended_at - start;
    blocking = controller.blockingUiCalls() - blocking_before;
    return controller.control(emberline::workflows::kCtlStatus).text == "Burn Successes!";
  }

 private:
  std::unique_ptr<emberline::frontend::DeviceContext> context_;
  std::unique_ptr<emberline::gui::EmberlineDialog> dialog_;
  EndWatcher end_;
  bool ready_ = false;
};

void dialogAgainstCommandLine(benchmark::State& state) {
  const auto kind = static_cast<ImageKind>(state.range(0));
  const long latency_us = static_cast<long>(state.range(1));
  Workspace workspace(kind);
  CommandLineBurn cli(workspace.camera("cli.sim", latency_us), workspace.image);
  DialogBurn dialog(workspace.camera("dialog.sim", latency_us), workspace.image);

  std::vector<double> ratios, dialog_ms, cli_ms, gaps_ms;
  std::uint64_t blocking_total = 0;
  bool dialog_first = false;
  for (auto _ : state) {
    Clock::duration dialog_took{};
    std::uint64_t blocking = 0;
    Clock::duration cli_took{};
    double longest_gap_ms = 0;
    bool ok = true;
    auto run_cli = [&] {
      const auto start = Clock::now();
      ok = cli.run() && ok;
      cli_took = Clock::now() - start;
    };
    auto run_dialog = [&] { ok = dialog.run(dialog_took, blocking, longest_gap_ms) && ok; };
    dialog_first = !dialog_first;
    if (dialog_first) {
      run_dialog();
      run_cli();
    } else {
      run_cli();
      run_dialog();
    }
    if (!ok) {
      any_failed = true;
      state.SkipWithError("a burn failed");
      return;
    }
    state.SetIterationTime(std::chrono::duration<double>(dialog_took).count());
    ratios.push_back(ms(dialog_took) / ms(cli_took));
    dialog_ms.push_back(ms(dialog_took));
    cli_ms.push_back(ms(cli_took));
    gaps_ms.push_back(longest_gap_ms);
    blocking_total += blocking;
  }
  state.counters["ratio"] = median(ratios);
  state.counters["dialog_ms"] = median(dialog_ms);
  state.counters["cli_ms"] = median(cli_ms);
  state.counters["blocking/burn"] = static_cast<double>(blocking_total) / static_cast<double>(state.iterations());
  state.counters["ui_gap_max_ms"] = gaps_ms.empty() ? 0 : *std::max_element(gaps_ms.begin(), gaps_ms.end());
  state.counters["ui_gap_med_ms"] = median(gaps_ms);
}

void arguments(benchmark::internal::Benchmark* b) {
  b->ArgNames({"image", "latency_us"});
  for (ImageKind kind : {ImageKind::Dense, ImageKind::HalfBlank}) {
    b->Args({static_cast<int>(kind), 0});
    b->Args({static_cast<int>(kind), 125});
  }
  b->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(7);
}

}  // namespace

BENCHMARK(dialogAgainstCommandLine)->Apply(arguments);

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return any_failed ? 1 : 0;
}
