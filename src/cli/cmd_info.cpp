// emberline info: what the camera is: chip id, device kind, the flash part
// the library identifies, the flash type code and the firmware version text.

#include <CLI/CLI.hpp>

#include "cli/command.h"
#include "cli/recording_ui.h"
#include "cli/report.h"
#include "cli/text_format.h"
#include "core/workflows/camera_session.h"

namespace emberline::cli {

namespace {

class InfoCommand final : public Command {
 public:
  std::string name() const override { return "info"; }
  std::string summary() const override {
    return "Show the chip id, the device kind, the flash part and type, and the firmware version text.";
  }
  DeviceNeed need() const override { return DeviceNeed::Camera; }
  void declare(CLI::App&) override {}

  Outcome run(RunContext& ctx) override {
    auto& session = *ctx.session;
    Report& report = ctx.report;
    auto& details = report.details();

    std::uint8_t chip = 0;
    if (!session.ReadChipId(chip)) {
      report.fail("the chip id cannot be read");
      return Outcome::OperationFailed;
    }
    details["chip_id"] = chip;
    report.say("Chip id:      " + hexByte(chip) + " (" + std::to_string(chip) + ")");

    // The version reader opens and closes the library itself, so it runs
    // before the library is opened for the flash questions.
    const auto version = session.FirmwareVersionText();

    auto& library = session.library();
    const int init = library.SfInit();
    details["library_init"] = init;
    if (init <= 0) {
      report.fail(serialflash::initFailureText(init));
      return Outcome::OperationFailed;
    }
    const int kind = library.deviceKind();
    const int flash_type = library.SfDetectFlash();
    const auto detection = library.detection();
    session.DetectSFType();
    const std::uint8_t sf_type = session.sfType();
    library.SfClose();

    details["device_kind"] = kind;
    details["flash"] = {{"id", flashIdText(detection.id)},
                        {"catalogue_entry", detection.entry},
                        {"flash_type", flash_type},
                        {"command_set", detection.command_set}};
    details["sf_type"] = sf_type;
    report.say("Device kind:  " + std::to_string(kind));
    report.say("Flash:        " + flashIdText(detection.id) +
               (detection.entry == 0 ? std::string(" (not in the catalogue)")
                                     : ", catalogue entry " + std::to_string(detection.entry) +
                                           ", flash type " + std::to_string(flash_type)));
    report.say("SFType:       " + std::to_string(sf_type) + " (" + hexByte(sf_type) + ")");

    if (version) {
      const auto lines = splitLines(*version);
      details["version_text"] = lines;
      report.say("Version:");
      for (const auto& line : lines) report.say("  " + visibleText(line));
    } else {
      details["version_text"] = nullptr;
      report.say("Version:      (Camera Init Failed!)");
    }
    return Outcome::Success;
  }
};

}  // namespace

std::unique_ptr<Command> makeInfoCommand() { return std::make_unique<InfoCommand>(); }

}  // namespace emberline::cli
