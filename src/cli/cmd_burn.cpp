// emberline burn IMAGE: the dialog's "GO": erase and check, program, verify.

#include <cstdio>

#include <CLI/CLI.hpp>

#include "cli/command.h"
#include "cli/image_input.h"
#include "cli/recording_ui.h"
#include "cli/report.h"
#include "cli/text_format.h"
#include "cli/workflow_frame.h"
#include "core/device/utf8_path.h"
#include "core/station/image_identity.h"
#include "core/workflows/camera_session.h"

namespace emberline::cli {

namespace {

class BurnCommand final : public Command {
 public:
  std::string name() const override { return "burn"; }
  std::string summary() const override {
    return "Write a 131,072-byte image into the camera's flash: \"Erase and Check\", \"Burning\", \"Verify\".";
  }
  DeviceNeed need() const override { return DeviceNeed::Camera; }
  bool writesFlash() const override { return true; }

  void declare(CLI::App& command) override {
    command.add_option("IMAGE", image_, "The image file (exactly 131,072 bytes, starting with the family signature)")
        ->required();
    command.add_option("--verify", verify_,
                       "sampled: compare 8 bytes in every 1024, as the dialog does (default); "
                       "full: read back every programmed block and report the first differing offset")
        ->check(CLI::IsMember({"sampled", "full"}))
        ->option_text("sampled|full");
    command.add_option("--backup", backup_,
                       "Export the flash into FILE before erasing it; nothing is burned when the backup fails")
        ->option_text("FILE");
    command.add_flag("--all", all_, "Burn every camera of the family at once, one job per camera");
    command.add_option("--record", record_,
                       "Append one JSON line per camera and attempt to FILE, flushed to disk")
        ->option_text("FILE");
    command.footer(
        "The last 8 bytes of the image (0x1FFF8-0x1FFFF) are never programmed; the flash keeps 0xFF there.");
  }

  std::optional<StationRequest> stationRequest(const GlobalOptions& options) const override {
    if (!all_ && record_.empty() && options.devices.size() < 2) return std::nullopt;
    return StationRequest{false, image_, verify_ == "full", record_, all_, backup_};
  }

  Outcome prepare(RunContext& ctx) override { return loadImage(ctx, utf8Path(image_)); }
  std::vector<FileUse> files() const override {
    return {{"IMAGE", image_, false}, {"--backup", backup_, true}, {"--record", record_, true}};
  }

  Outcome run(RunContext& ctx) override {
    auto& session = *ctx.session;
    auto& details = ctx.report.details();
    details["verify"] = verify_;
    // Which image this is, as the dialog and the station window show it.
    const auto chip = session.chipId();
    const auto identity = station::identifyImage(session.image(), chip ? std::optional(chip) : std::nullopt);
    details["image_version"] = identity.version;
    details["image_sha256"] = identity.sha256;
    ctx.report.say("Image: " + visibleText(identity.line()));

    if (!backup_.empty()) {
      // The export's own frame: its status text, and no burn when it failed.
      std::filesystem::path written;
      const bool saved = session.ExportRom(utf8Path(backup_), &written) == 1;
      ctx.ui->setStatus(saved ? workflows::kStrExportSucceeded : workflows::kStrExportFailed);
      if (!saved) {
        ctx.report.fail("the backup into " + backup_ + " failed; nothing was burned");
        details["result"] = std::string(workflows::loadString(ctx.language, workflows::kStrBurnFailed));
        return Outcome::OperationFailed;
      }
      details["backup"] = written.string();
      ctx.report.say("Backup written to " + written.string());
    }

    workflows::BurnOptions options;
    options.verify_full = verify_ == "full";
    workflows::BurnReport burn;
    const auto before = ctx.ui->messages().size();
    bool burned = session.BurnRom(options, &burn) == 1;
    details["blocks_written"] = burn.blocks_written;
    details["blocks_skipped"] = burn.blocks_skipped;
    details["first_difference"] =
        burn.first_difference ? nlohmann::ordered_json(*burn.first_difference) : nlohmann::ordered_json();
    const std::string shown = finishWorkflow(ctx, burned, workflows::kStrBurnSucceeded,
                                             workflows::kStrBurnFailed, before,
                                             burn.failure.empty() ? "the burn failed" : burn.failure);
    if (burned) {
      if (burn.transfer_waits_ran_out > 0) {
        // Verified, so the flash holds the image; but the camera never
        // confirmed some register traffic (write protection, the flash
        // type record): say so rather than report a bare success.
        details["transfer_waits_ran_out"] = burn.transfer_waits_ran_out;
        std::fprintf(ctx.report.errors(),
                     "emberline: warning: %d SPI transfer waits ran out (the camera never reported the byte "
                     "sent); the flash verified, but check write protection and the flash type record\n",
                     burn.transfer_waits_ran_out);
      }
      return Outcome::Success;
    }
    if (burn.first_difference)
      ctx.report.say("First difference at flash offset " + hexOffset(*burn.first_difference));
    return burnFailureOutcome(burn.failure.empty() ? shown : burn.failure);
  }

 private:
  std::string image_;
  std::string verify_ = "sampled";
  std::string backup_;
  bool all_ = false;
  std::string record_;
};

}  // namespace

std::unique_ptr<Command> makeBurnCommand() { return std::make_unique<BurnCommand>(); }

}  // namespace emberline::cli
