// emberline sim init|show|fault PATH: simulated cameras whose state
// (settings, faults, registers, memory and flash) lives in a file between
// commands, so that `burn` and then `export` on sim:PATH give the image back.

#include <CLI/CLI.hpp>

#include <system_error>

#include "cli/cmd_sim_fault.h"
#include "cli/cmd_sim_from_trace.h"
#include "cli/command.h"
#include "cli/command_runner.h"
#include "cli/number_parsing.h"
#include "cli/report.h"
#include "cli/text_format.h"
#include "core/device/utf8_path.h"
#include "core/serialflash/catalogue.h"
#include "platform/camera_lock.h"
#include "sim/chip_memory_layout.h"
#include "sim/replay_camera.h"
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
  std::string chip_id, flash, flash_size, kind, mode_byte, wp_config, reg_3c5, flash_status, wp_pin;
  std::string erase_polls, program_polls, status_polls;
  std::optional<std::string> tag, field1, field2, field3;
  bool continuation = false;
  bool force = false;
};

class SimCommand final : public Command {
 public:
  std::string name() const override { return "sim"; }
  std::string summary() const override {
    return "Create or show a simulated camera, or set its faults (use it with --device sim:PATH).";
  }
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
    init_->add_option("--reg-3c5", o_.reg_3c5, "Register 0x3C5 (default 0; 3 with kind 0: one byte per request)")
        ->option_text("N");
    init_->add_flag("--jedec-continuation", o_.continuation, "The flash answers 0x9F with 0x7F before its maker code");
    init_->add_option("--flash-status", o_.flash_status,
                      "The flash status register at power-up (default: protect bits set, or 0 for kind 23 "
                      "with mode byte 2)")
        ->option_text("N");
    init_->add_option("--wp-pin", o_.wp_pin,
                      "The DSP pin (0-7, registers 0x1007/0x1006) wired to the flash's WP#; default: none")
        ->option_text("N");
    init_->add_option("--erase-busy-polls", o_.erase_polls, "Status polls an erase stays busy (default 3)")
        ->option_text("N");
    init_->add_option("--program-busy-polls", o_.program_polls, "Status polls a program stays busy (default 1)")
        ->option_text("N");
    init_->add_option("--status-busy-polls", o_.status_polls, "Status polls a status write stays busy (default 2)")
        ->option_text("N");
    init_->add_option("--tag", o_.tag, "ROM tag, up to 5 bytes (default QR5XA)")->option_text("TEXT");
    init_->add_option("--field1", o_.field1, "First version field, up to 10 bytes")->option_text("TEXT");
    init_->add_option("--field2", o_.field2, "Second version field, up to 10 bytes")->option_text("TEXT");
    init_->add_option("--field3", o_.field3, "Third version field, up to 10 bytes")->option_text("TEXT");
    init_->add_flag("--force", o_.force, "Replace an existing file");
    init_->footer(
        "Numbers are decimal or 0x-prefixed hexadecimal. The new camera's flash is blank but for the version "
        "block and the write-protect configuration byte, which live in the flash.");

    show_ = command.add_subcommand("show", "Print a simulated camera's settings, flash summary and faults");
    show_->fallthrough();
    show_->add_option("PATH", show_path_, "The state file")->required();

    fault_ = command.add_subcommand("fault", "Set or clear the faults a simulated camera keeps in its state file");
    fault_->fallthrough();
    declareSimFault(*fault_, fault_options_);

    from_trace_ = command.add_subcommand("from-trace", "Make a simulated camera from a trace or a doctor bundle");
    from_trace_->fallthrough();
    declareFromTrace(*from_trace_, from_trace_options_);
  }

  std::vector<FileUse> files() const override {
    return from_trace_ != nullptr && from_trace_->parsed() ? fromTraceFiles(from_trace_options_)
                                                           : std::vector<FileUse>{};
  }

  Outcome run(RunContext& ctx) override {
    if (init_->parsed()) return init(ctx);
    if (fault_->parsed()) return fault(ctx);
    if (from_trace_->parsed()) return runFromTrace(from_trace_options_, ctx.report);
    return show(ctx);
  }

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

  // Any bytes: they go into the flash as they are.
  bool text(Report& report, const char* option, const std::optional<std::string>& given, std::size_t max,
            std::string& out) {
    if (!given) return true;
    if (given->size() > max) {
      report.fail(std::string(option) + " takes at most " + std::to_string(max) + " bytes, not " +
                  std::to_string(given->size()));
      return false;
    }
    out = *given;
    return true;
  }

  Outcome init(RunContext& ctx) {
    Report& report = ctx.report;
    sim::SimSettings s;
    std::uint64_t chip = s.chip_id, size = s.flash_size, kind = static_cast<std::uint64_t>(s.device_kind),
                  mode = s.mode_byte, wp = s.wp_config, reg_3c5 = s.reg_3c5, status = 0x100,
                  wp_pin = s.wp_pin, erase_polls = s.busy_polls_after_erase,
                  program_polls = s.busy_polls_after_program, status_polls = s.busy_polls_after_status_write;
    if (!number(report, "--reg-3c5", o_.reg_3c5, 0xFF, reg_3c5) ||
        !number(report, "--flash-status", o_.flash_status, 0xFF, status) ||
        !number(report, "--wp-pin", o_.wp_pin, 7, wp_pin) ||
        !number(report, "--erase-busy-polls", o_.erase_polls, sim::kMaxBusyPolls, erase_polls) ||
        !number(report, "--program-busy-polls", o_.program_polls, sim::kMaxBusyPolls, program_polls) ||
        !number(report, "--status-busy-polls", o_.status_polls, sim::kMaxBusyPolls, status_polls) ||
        !number(report, "--chip-id", o_.chip_id, 0xFF, chip) ||
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
    s.reg_3c5 = static_cast<std::uint8_t>(reg_3c5);
    if (!o_.flash_status.empty()) s.flash_status = static_cast<std::uint8_t>(status);
    s.wp_pin = static_cast<std::uint8_t>(wp_pin);
    s.flash_id_continuation = o_.continuation;
    s.busy_polls_after_erase = static_cast<std::uint32_t>(erase_polls);
    s.busy_polls_after_program = static_cast<std::uint32_t>(program_polls);
    s.busy_polls_after_status_write = static_cast<std::uint32_t>(status_polls);

    std::error_code ec;
    const bool exists = std::filesystem::exists(utf8Path(o_.path), ec);
    if (!o_.force && exists) {
      report.fail(o_.path + " already exists (--force replaces it)");
      return Outcome::BadUsage;
    }
    // Held as a burn holds it: a change made under a running burn would be
    // lost when the burn saves, while both said they succeeded.
    std::unique_ptr<platform::CameraLock> lock;
    if (exists && !claimCamera(o_.path, true, report, lock)) return Outcome::CameraUnavailable;
    auto camera = std::make_shared<sim::SimCamera>(s);
    std::string why;
    const int rc = camera->save(utf8Path(o_.path), &why);
    if (rc != 0) {
      report.fail("cannot write " + o_.path + ": " + (why.empty() ? std::generic_category().message(-rc) : why));
      return Outcome::OperationFailed;
    }
    report.details()["path"] = o_.path;
    describe(report, *camera);
    report.say("Use it with --device sim:" + o_.path);
    return Outcome::Success;
  }

  Outcome show(RunContext& ctx) {
    std::string error;
    if (sim::isReplayFile(utf8Path(show_path_))) return showReplay(ctx);
    auto camera = sim::SimCamera::load(utf8Path(show_path_), &error);
    if (!camera) {
      ctx.report.fail(error.empty() ? "cannot read " + show_path_ : error);
      return Outcome::CameraUnavailable;
    }
    ctx.report.details()["path"] = show_path_;
    describe(ctx.report, *camera);
    return Outcome::Success;
  }

  Outcome showReplay(RunContext& ctx) {
    std::string error;
    const auto camera = sim::loadReplayCamera(utf8Path(show_path_), error);
    if (!camera) {
      ctx.report.fail(error);
      return Outcome::CameraUnavailable;
    }
    ctx.report.details()["path"] = show_path_;
    ctx.report.details()["replay"] = true;
    ctx.report.details()["requests"] = camera->expected();
    ctx.report.say("Replaying camera: expects " + std::to_string(camera->expected()) +
                   " requests in the traced order (made with 'emberline sim from-trace --replay')");
    return Outcome::Success;
  }

  // Loads the camera, changes its faults, saves it. Without a fault option
  // it only shows them.
  Outcome fault(RunContext& ctx) {
    Report& report = ctx.report;
    const auto& path = fault_options_.path;
    std::unique_ptr<platform::CameraLock> lock;  // as for sim init --force
    if (!claimCamera(path, true, report, lock)) return Outcome::CameraUnavailable;
    std::string error;
    auto camera = sim::SimCamera::load(utf8Path(path), &error);
    if (!camera) {
      report.fail(error.empty() ? "cannot read " + path : error);
      return Outcome::CameraUnavailable;
    }
    sim::FaultPlan plan = camera->faults();
    if (!applySimFault(fault_options_, plan, error)) {
      report.fail(error);
      return Outcome::BadUsage;
    }
    camera->setFaults(plan);
    if (camera->changedSinceLoad()) {
      std::string why;
      if (const int rc = camera->save(utf8Path(path), &why); rc != 0) {
        report.fail("cannot save the simulated camera to " + path + ": " +
                    (why.empty() ? std::generic_category().message(-rc) : why));
        return Outcome::OperationFailed;
      }
    }
    report.details()["path"] = path;
    report.details()["faults"] = faultsJson(plan);
    for (const auto& line : describeFaults(plan)) report.say("Fault:           " + line);
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

  // The version block and configuration byte as the flash holds them now,
  // at the places the version query reads (the export name's for chips it
  // does not list).
  struct FlashView {
    std::string tag, field1, field2, field3;
    std::uint8_t wp_config = 0;
  };
  static FlashView flashView(const sim::SimCamera& camera) {
    const auto chip = camera.settings().chip_id;
    const auto place = sim::versionBlockPlaces(chip).back();
    const auto bytes = [&](std::uint32_t at, std::size_t n) {
      std::string text;
      for (std::size_t i = 0; i < n; ++i) text.push_back(static_cast<char>(camera.memory(7, at + static_cast<std::uint32_t>(i))));
      return text;
    };
    return {bytes(place.tag, kTagLength), bytes(place.base, kFieldLength), bytes(place.base + 10u, kFieldLength),
            bytes(place.base + 20u, kFieldLength), camera.memory(7, sim::writeProtectConfigAddress(chip))};
  }

  static void describe(Report& report, const sim::SimCamera& camera) {
    const auto& s = camera.settings();
    const auto flash = camera.flash();
    std::size_t programmed = 0;
    for (std::uint8_t b : flash) programmed += b != 0xFF ? 1 : 0;
    const FlashView view = flashView(camera);
    const auto faults = camera.faults();

    auto& d = report.details();
    d["name"] = s.name;
    d["chip_id"] = s.chip_id;
    d["device_kind"] = s.device_kind;
    d["mode_byte"] = s.mode_byte;
    d["reg_3c5"] = s.reg_3c5;
    d["wp_config"] = view.wp_config;
    d["wp_pin"] = s.wp_pin == sim::kNoWriteProtectPin ? nlohmann::ordered_json(nullptr) : nlohmann::ordered_json(s.wp_pin);
    d["flash_id"] = flashIdText(s.flash_id);
    d["flash_id_continuation"] = s.flash_id_continuation;
    d["flash_part"] = partDescription(s.flash_id);
    d["flash_size"] = s.flash_size;
    d["flash_status"] = camera.flashStatus();
    d["busy_polls"] = {{"erase", s.busy_polls_after_erase},
                       {"program", s.busy_polls_after_program},
                       {"status_write", s.busy_polls_after_status_write}};
    d["flash_bytes_not_ff"] = programmed;
    d["tag"] = printable(view.tag);
    d["fields"] = {printable(view.field1), printable(view.field2), printable(view.field3)};
    d["node_id"] = s.node_id;
    d["faults"] = faultsJson(faults);

    report.say("Name:            " + printable(s.name));
    report.say("Chip id:         " + hexByte(s.chip_id) + " (" + std::to_string(s.chip_id) + ")");
    report.say("Device kind:     " + std::to_string(s.device_kind) + ", mode byte " + hexByte(s.mode_byte) +
               ", register 0x3C5 " + hexByte(s.reg_3c5));
    report.say("WP config:       " + hexByte(view.wp_config) + " (in the flash); WP# " +
               (s.wp_pin == sim::kNoWriteProtectPin ? std::string("tied high")
                                                   : "on pin " + std::to_string(s.wp_pin)));
    report.say("Flash:           " + flashIdText(s.flash_id) + (s.flash_id_continuation ? " (after 0x7F)" : "") +
               ", " + std::to_string(s.flash_size) + " bytes, status register " + hexByte(camera.flashStatus()));
    report.say("Flash part:      " + partDescription(s.flash_id));
    report.say("Busy polls:      erase " + std::to_string(s.busy_polls_after_erase) + ", program " +
               std::to_string(s.busy_polls_after_program) + ", status write " +
               std::to_string(s.busy_polls_after_status_write));
    report.say("Flash content:   " + (programmed == 0 ? std::string("blank (all 0xFF)")
                                                      : std::to_string(programmed) + " bytes are not 0xFF"));
    report.say("ROM tag:         " + printable(view.tag));
    report.say("Version fields:  " + printable(view.field1) + " / " + printable(view.field2) + " / " +
               printable(view.field3));
    report.say("Extension unit:  node " + std::to_string(s.node_id));
    for (const auto& line : describeFaults(faults)) report.say("Fault:           " + line);
  }

  InitOptions o_;
  std::string show_path_;
  SimFaultOptions fault_options_;
  CLI::App* init_ = nullptr;
  CLI::App* show_ = nullptr;
  CLI::App* fault_ = nullptr;
  CLI::App* from_trace_ = nullptr;
  FromTraceOptions from_trace_options_;
};

}  // namespace

std::unique_ptr<Command> makeSimCommand() { return std::make_unique<SimCommand>(); }

}  // namespace emberline::cli
