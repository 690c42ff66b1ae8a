// emberline verify IMAGE: compares the camera's flash with an image and
// writes nothing.

#include <CLI/CLI.hpp>

#include "cli/command.h"
#include "cli/image_input.h"
#include "cli/recording_ui.h"
#include "cli/report.h"
#include "cli/text_format.h"
#include "core/device/utf8_path.h"
#include "core/workflows/camera_session.h"

namespace emberline::cli {

namespace {

class VerifyCommand final : public Command {
 public:
  std::string name() const override { return "verify"; }
  std::string summary() const override {
    return "Compare the camera's flash with an image without writing anything.";
  }
  DeviceNeed need() const override { return DeviceNeed::Camera; }

  void declare(CLI::App& command) override {
    command.add_option("IMAGE", image_, "The image file (exactly 131,072 bytes)")->required();
    command.footer("Exit status 1 when the flash differs from the image or cannot be read.");
  }

  Outcome prepare(RunContext& ctx) override { return loadImage(ctx, utf8Path(image_)); }
  std::vector<FileUse> files() const override { return {{"IMAGE", image_, false}}; }

  Outcome run(RunContext& ctx) override {
    const auto result = ctx.session->VerifyImage(ctx.session->image());
    auto& details = ctx.report.details();
    details["matches"] = result.matches;
    details["first_difference"] =
        result.first_difference ? nlohmann::ordered_json(*result.first_difference) : nlohmann::ordered_json();
    if (!result.failure.empty()) {
      ctx.report.fail(result.failure);
      return Outcome::OperationFailed;
    }
    if (!result.matches) {
      ctx.report.fail("the flash differs from " + image_ +
                      (result.first_difference ? " at flash offset " + hexOffset(*result.first_difference)
                                               : std::string{}));
      return Outcome::OperationFailed;
    }
    ctx.report.say("The flash matches " + image_);
    return Outcome::Success;
  }

 private:
  std::string image_;
};

}  // namespace

std::unique_ptr<Command> makeVerifyCommand() { return std::make_unique<VerifyCommand>(); }

}  // namespace emberline::cli
