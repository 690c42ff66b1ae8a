// emberline export [FILE]: the dialog's "Rom Export": the flash read back
// into a file.

#include <CLI/CLI.hpp>

#include "cli/command.h"
#include "cli/recording_ui.h"
#include "cli/report.h"
#include "cli/workflow_frame.h"
#include "core/device/utf8_path.h"
#include "core/workflows/camera_session.h"

namespace emberline::cli {

namespace {

class ExportCommand final : public Command {
 public:
  std::string name() const override { return "export"; }
  std::string summary() const override {
    return "Read the flash back into FILE (default: the name built from the firmware version, "
           "else QorinAllRomFile.src, in the current folder).";
  }
  DeviceNeed need() const override { return DeviceNeed::Camera; }

  void declare(CLI::App& command) override {
    command.add_option("FILE", file_, "Where to write the 131,072 bytes (an existing file is replaced)");
    command.footer(
        "The flash's last 8 bytes (0x1FFF8-0x1FFFF) are not read; the file holds 0xFF there.");
  }

  std::vector<FileUse> files() const override { return {{"FILE", file_, true}}; }

  Outcome run(RunContext& ctx) override {
    const auto before = ctx.ui->messages().size();
    std::filesystem::path written;
    bool exported = ctx.session->ExportRom(utf8Path(file_), &written) == 1;
    finishWorkflow(ctx, exported, workflows::kStrExportSucceeded, workflows::kStrExportFailed, before,
                   "the export failed");
    // The name built from the version met an input or another output: as
    // for a name on the command line, bad usage.
    if (!exported) return ctx.output_refused ? Outcome::BadUsage : Outcome::OperationFailed;
    ctx.report.details()["file"] = written.string();
    ctx.report.say("Exported to " + written.string());
    return Outcome::Success;
  }

 private:
  std::string file_;
};

}  // namespace

std::unique_ptr<Command> makeExportCommand() { return std::make_unique<ExportCommand>(); }

}  // namespace emberline::cli
