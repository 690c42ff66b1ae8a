// emberline erase: the dialog's "Erase SF": lift write protection, erase the
// whole flash and check that it reads blank.

#include <CLI/CLI.hpp>

#include "cli/command.h"
#include "cli/recording_ui.h"
#include "cli/report.h"
#include "cli/workflow_frame.h"
#include "core/workflows/camera_session.h"

namespace emberline::cli {

namespace {

class EraseCommand final : public Command {
 public:
  std::string name() const override { return "erase"; }
  std::string summary() const override {
    return "Erase the whole flash and check that it reads blank (write protection stays lifted).";
  }
  DeviceNeed need() const override { return DeviceNeed::Camera; }
  bool writesFlash() const override { return true; }
  void declare(CLI::App& command) override {
    command.add_option("--record", record_,
                       "Append one JSON line per camera and attempt to FILE, flushed to disk")
        ->option_text("FILE");
  }

  std::vector<FileUse> files() const override { return {{"--record", record_, true}}; }

  std::optional<StationRequest> stationRequest(const GlobalOptions& options) const override {
    if (record_.empty() && options.devices.size() < 2) return std::nullopt;
    return StationRequest{true, {}, false, record_, false, {}};
  }

  Outcome run(RunContext& ctx) override {
    const auto before = ctx.ui->messages().size();
    bool erased = ctx.session->EraseFlash() == 1;
    finishWorkflow(ctx, erased, workflows::kStrEraseSucceeded, workflows::kStrEraseFailed, before,
                   "the erase failed");
    return erased ? Outcome::Success : Outcome::OperationFailed;
  }

 private:
  std::string record_;
};

}  // namespace

std::unique_ptr<Command> makeEraseCommand() { return std::make_unique<EraseCommand>(); }

}  // namespace emberline::cli
