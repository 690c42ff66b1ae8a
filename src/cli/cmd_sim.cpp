// emberline sim init|show PATH: simulated cameras whose state (settings,
// registers, memories and flash) lives in a file between commands, so that
// `burn` and then `export` on sim:PATH give the image back.

#include <CLI/CLI.hpp>

#include <system_error>

#include "cli/command.h"
#include "cli/number_parsing.h"
#include "cli/report.h"
#include "cli/text_format.h"
#include "core/device/utf8_path.h"
#include "core/serialflash/catalogue.h"
#include "sim/sim_camera.h"

namespace emberline::cli {

namespace {

constexpr std::size_t kTagLength = 5;
constexpr std::size_t kFieldLength = 10;
constexpr std::uint64_t kMinFlashSize = 0x1000;
constexpr std::uint64_t kMaxFlashSize = 0x1000000;

// Chip bytes shown as text: printable ASCII as is, anything else as \xNN.
std::string printable(std::string_view bytes) {
  std::string out;
  for (unsigned char c : bytes) {
    if (c >= 0x20 && c < 0x7F) {
      out.push_back(static_cast<char>(c));
    } else {
      char esc[8];
      std::snprintf(esc, sizeof esc, "\\x%02X", static_cast<unsigned>(c));
      out += esc;
    }
  }
  return out;
}

struct InitOptions {
  std::string path;
  std::string chip_id, flash, flash_size, kind, mode_byte, wp_config;
  std::optional<std::string> tag, field1, field2, field3;
  bool force = false;
};

class SimCommand final : public Command {
 public:
  std::string name() const override { return "sim"; }
  std::string summary() const override { return "Create or show a simulated camera (use it with --device sim:PATH)."; }
  DeviceNeed need() const override { return DeviceNeed::None; }

  void declare(CLI::App& command) override {
    command.require_subcommand(1);
    init_ = command.add_subcommand("init", "Create a simulated camera whose state lives in PATH");
    init_->fallthrough();
    init_->add_option("PATH", o_.path, "The state file to create")->required();
    init_->add_option("--chip-id", o_.chip_id, "Chip id, register 0x101F (default 0x33)")->option_text("N");
    init_->add_option("--flash", o_.flash,
                      "The flash part by its identification bytes, e.g. C2:20:11, or by maker (" +
                          flashMakerNames() + "); default: the first catalogue part")
        ->option_text("ID");
    init_->add_option("--flash-size", o_.flash_size,
                      "Flash size in bytes, a power of two (default 131072; a smaller part wraps offsets)")
        ->option_text("BYTES");
    init_->add_option("--kind", o_.kind, "Device kind: 23 answers the space-9 probe, 0 refuses it (default 23)")
        ->option_text("0|23");
    init_->add_option("--mode-byte", o_.mode_byte, "Mode byte of the device information record (default 0)")
        ->option_text("N");
    init_->add_option("--wp-config", o_.wp_config, "Write-protect configuration byte (default 0)")
        ->option_text("N");
    init_->add_option("--tag", o_.tag, "ROM tag, up to 5 characters (default QR5XA)")->option_text("TEXT");
    init_->add_option("--field1", o_.field1, "First version field, up to 10 characters")->option_text("TEXT");
    init_->add_option("--field2", o_.field2, "Second version field, up to 10 characters")->option_text("TEXT");
    init_->add_option("--field3", o_.field3, "Third version field, up to 10 characters")->option_text("TEXT");
    init_->add_flag("--force", o_.force, "Replace an existing file");
    init_->footer("Numbers are decimal or 0x-prefixed hexadecimal. The new camera's flash is blank and write-protected.");

    show_ = command.add_subcommand("show", "Print a simulated camera's settings and flash summary");
    show_->fallthrough();
    show_->add_option("PATH", show_path_, "The state file")->required();
  }

  Outcome run(RunContext& ctx) override { return init_->parsed() ? init(ctx) : show(ctx); }

 private:
  // Fills `out` from `text` when given; false (and the reason) when it is not a number up to `max`.
  bool number(Report& report, const char* option, const std::string& text, std::uint64_t max,
              std::uint64_t& out) {
    if (text.empty()) return true;
    const auto value = parseNumber(text);
    if (!value || *value > max) {
      report.fail(std::string(option) + " takes a number from 0 to " + std::to_string(max) + ", not '" + text + "'");
      return false;
    }
    out = *value;
    return true;
  }

  bool text(Report& report, const char* option, const std::optional<std::string>& given, std::size_t max,
            std::string& out) {
    if (!given) return true;
    if (given->size() > max) {
      report.fail(std::string(option) + " takes at most " + std::to_string(max) + " characters");
      return false;
    }
    out = *given;
    return true;
  }

  Outcome init(RunContext& ctx) {
    Report& report = ctx.report;
    sim::SimSettings s;
    std::uint64_t chip = s.chip_id, size = s.flash_size, kind = static_cast<std::uint64_t>(s.device_kind),
                  mode = s.mode_byte, wp = s.wp_config;
    if (!number(report, "--chip-id", o_.chip_id, 0xFF, chip) ||
        !number(report, "--flash-size", o_.flash_size, kMaxFlashSize, size) ||
        !number(report, "--kind", o_.kind, 0xFF, kind) || !number(report, "--mode-byte", o_.mode_byte, 0xFF, mode) ||
        !number(report, "--wp-config", o_.wp_config, 0xFF, wp) || !text(report, "--tag", o_.tag, kTagLength, s.tag) ||
        !text(report, "--field1", o_.field1, kFieldLength, s.field1) ||
        !text(report, "--field2", o_.field2, kFieldLength, s.field2) ||
        !text(report, "--field3", o_.field3, kFieldLength, s.field3))
      return Outcome::BadUsage;
    if (kind != 0 && kind != 23) {
      report.fail("--kind takes 0 or 23");
      return Outcome::BadUsage;
    }
    if (size < kMinFlashSize || (size & (size - 1)) != 0) {
      report.fail("--flash-size takes a power of two from " + std::to_string(kMinFlashSize) + " to " +
                  std::to_string(kMaxFlashSize));
      return Outcome::BadUsage;
    }
    if (!o_.flash.empty()) {
      std::string error;
      const auto id = parseFlashId(o_.flash, &error);
      if (!id) {
        report.fail(error);
        return Outcome::BadUsage;
      }
      s.flash_id = *id;
    } else {
      const auto& first = serialflash::kFlashCatalogue[1];
      s.flash_id = {first.manufacturer, first.device, first.third};
    }
    s.chip_id = static_cast<std::uint8_t>(chip);
    s.flash_size = static_cast<std::uint32_t>(size);
    s.device_kind = static_cast<int>(kind);
    s.mode_byte = static_cast<std::uint8_t>(mode);
    s.wp_config = static_cast<std::uint8_t>(wp);

    std::error_code ec;
    if (!o_.force && std::filesystem::exists(utf8Path(o_.path), ec)) {
      report.fail(o_.path + " already exists (--force replaces it)");
      return Outcome::BadUsage;
    }
    auto camera = std::make_shared<sim::SimCamera>(s);
    const int rc = camera->save(utf8Path(o_.path));
    if (rc != 0) {
      report.fail("cannot write " + o_.path + ": " + std::generic_category().message(-rc));
      return Outcome::BadUsage;
    }
    report.details()["path"] = o_.path;
    describe(report, *camera);
    report.say("Use it with --device sim:" + o_.path);
    return Outcome::Success;
  }

  Outcome show(RunContext& ctx) {
    std::string error;
    auto camera = sim::SimCamera::load(utf8Path(show_path_), &error);
    if (!camera) {
      ctx.report.fail(error.empty() ? "cannot read " + show_path_ : error);
      return Outcome::CameraUnavailable;
    }
    ctx.report.details()["path"] = show_path_;
    describe(ctx.report, *camera);
    return Outcome::Success;
  }

  // The simulator's description of the part `id` selects.
  static std::string partDescription(const std::array<std::uint8_t, 3>& id) {
    for (const auto& part : sim::simulatedFlashParts()) {
      if (part.id[0] == id[0] && part.id[1] == id[1] && (part.any_third || part.id[2] == id[2]))
        return part.description;
    }
    return "generic part answering this id";
  }

  static void describe(Report& report, const sim::SimCamera& camera) {
    const auto& s = camera.settings();
    const auto flash = camera.flash();
    std::size_t programmed = 0;
    for (std::uint8_t b : flash) programmed += b != 0xFF ? 1 : 0;

    auto& d = report.details();
    d["name"] = s.name;
    d["chip_id"] = s.chip_id;
    d["device_kind"] = s.device_kind;
    d["mode_byte"] = s.mode_byte;
    d["wp_config"] = s.wp_config;
    d["flash_id"] = flashIdText(s.flash_id);
    d["flash_part"] = partDescription(s.flash_id);
    d["flash_size"] = s.flash_size;
    d["flash_status"] = camera.flashStatus();
    d["flash_bytes_not_ff"] = programmed;
    d["tag"] = s.tag;
    d["fields"] = {s.field1, s.field2, s.field3};
    d["node_id"] = s.node_id;

    report.say("Name:            " + s.name);
    report.say("Chip id:         " + hexByte(s.chip_id) + " (" + std::to_string(s.chip_id) + ")");
    report.say("Device kind:     " + std::to_string(s.device_kind));
    report.say("Mode byte:       " + hexByte(s.mode_byte));
    report.say("WP config:       " + hexByte(s.wp_config));
    report.say("Flash:           " + flashIdText(s.flash_id) + ", " + std::to_string(s.flash_size) +
               " bytes, status register " + hexByte(camera.flashStatus()));
    report.say("Flash part:      " + partDescription(s.flash_id));
    report.say("Flash content:   " + (programmed == 0 ? std::string("blank (all 0xFF)")
                                                      : std::to_string(programmed) + " bytes are not 0xFF"));
    report.say("ROM tag:         " + printable(s.tag));
    report.say("Version fields:  " + printable(s.field1) + " / " + printable(s.field2) + " / " +
               printable(s.field3));
    report.say("Extension unit:  node " + std::to_string(s.node_id));
  }

  InitOptions o_;
  std::string show_path_;
  CLI::App* init_ = nullptr;
  CLI::App* show_ = nullptr;
};

}  // namespace

std::unique_ptr<Command> makeSimCommand() { return std::make_unique<SimCommand>(); }

}  // namespace emberline::cli
