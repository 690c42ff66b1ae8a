#pragma once

// One `emberline` command: its name, its options and help, which devices it
// needs, and what it does. The runner does everything around it (device
// selection, tracing, discovery, saving a simulated camera, the exit status).

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cli/exit_status.h"
#include "core/workflows/strings.h"

namespace CLI {
class App;
}

namespace emberline::device {
class DeviceList;
class StopSource;
}
namespace emberline::workflows {
class CameraSession;
}
namespace emberline::frontend {
class DeviceContext;
}

namespace emberline::cli {

class Report;
class RecordingUiPort;
class TraceWriter;

// Options every command accepts (before or after the command name).
struct GlobalOptions {
  std::string device;  // --device: a /dev path, an index of `list`, sim:PATH (the first one given)
  std::vector<std::string> devices;  // every --device given, in order
  bool json = false;   // --json
  std::string trace;   // --trace FILE
  std::string lang;    // --lang en|zh_CN; empty: from the locale
  std::string rom_tag_table;  // --rom-tag-table FILE; empty: the built-in table
};

// A file a command reads or writes, for the check that no output overwrites
// an input or another output. `what` names it for the user ("--backup").
struct FileUse {
  std::string what;
  std::string path;
  bool output = false;
};

enum class DeviceNeed {
  None,    // works without a camera
  List,    // the device list, no session (list)
  Camera,  // one camera, found by discovery, driven by a session
};

struct RunContext {
  const GlobalOptions& options;
  workflows::Language language;
  Report& report;
  // DeviceNeed::List and ::Camera:
  frontend::DeviceContext* context = nullptr;
  device::DeviceList* devices = nullptr;  // the (traced) list the command uses
  TraceWriter* trace = nullptr;           // --trace
  // Set by signals; a command that runs until stopped (watch) looks at it.
  const device::StopSource* stop = nullptr;
  // DeviceNeed::Camera:
  workflows::CameraSession* session = nullptr;
  RecordingUiPort* ui = nullptr;
  // Set once a simulated camera's state was written back (see saveCamera).
  bool camera_saved = false;
  // Every file the run reads or writes, for outputs named only later.
  std::vector<FileUse> files{};
  // Set when an output named by the camera (the export's default name) was
  // refused as one of `files`.
  bool output_refused = false;
};

// A command run as a station: one job per camera, in parallel, each attempt
// recorded.
struct StationRequest {
  bool erase = false;  // erase, else burn
  std::string image;
  bool verify_full = false;
  std::string record;  // --record FILE
  bool all = false;    // --all: every camera of the family
  std::string backup;  // refused: a backup takes one camera
};

class Command {
 public:
  virtual ~Command() = default;
  virtual std::string name() const = 0;
  virtual std::string summary() const = 0;
  virtual DeviceNeed need() const = 0;
  // Declares the command's options, arguments and help on its subcommand.
  virtual void declare(CLI::App& command) = 0;
  // Camera commands: runs before any request reaches a camera (load and check
  // input files here, so that a bad file never touches the flash).
  virtual Outcome prepare(RunContext& context) {
    (void)context;
    return Outcome::Success;
  }
  virtual Outcome run(RunContext& context) = 0;
  // The files named on the command line, inputs and outputs.
  virtual std::vector<FileUse> files() const { return {}; }
  // True for commands that write the flash (burn, erase): the machine is
  // kept awake, and a shutdown asked for meanwhile stops the command at its
  // next safe point.
  virtual bool writesFlash() const { return false; }
  // Set when the options ask for several cameras or a record.
  virtual std::optional<StationRequest> stationRequest(const GlobalOptions& options) const {
    (void)options;
    return std::nullopt;
  }
};

// Every command, in the order --help lists them.
std::unique_ptr<Command> makeListCommand();
std::unique_ptr<Command> makeInfoCommand();
std::unique_ptr<Command> makeBurnCommand();
std::unique_ptr<Command> makeVerifyCommand();
std::unique_ptr<Command> makeEraseCommand();
std::unique_ptr<Command> makeExportCommand();
std::unique_ptr<Command> makeVersionCommand();
std::unique_ptr<Command> makeSimCommand();
std::unique_ptr<Command> makeUdevRuleCommand();
std::unique_ptr<Command> makeWatchCommand();
std::unique_ptr<Command> makeDoctorCommand();

}  // namespace emberline::cli
