// emberline: the command line. This file only assembles the commands; each
// lives in its own cmd_*.cpp, the frame around them in command_runner.cpp.

#include <cstdio>
#include <memory>
#include <sstream>
#include <string_view>
#include <vector>

#include <CLI/CLI.hpp>

#include "cli/command.h"
#include "cli/command_runner.h"
#include "cli/exit_status.h"
#include "cli/global_options.h"
#include "cli/report.h"
#include "core/device/stop_token.h"
#include "platform/console.h"
#include "platform/stop_signals.h"
#include "version/version.h"

namespace {

// Whether the command line asks for JSON, looked at before (and whatever)
// the parser says: even a usage error must then print one JSON object.
// "--json", "--json=true" and the like; "--json=false" turns it off.
bool wantsJson(int argc, char** argv) {
  bool json = false;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--") break;
    if (arg == "--json") {
      json = true;
    } else if (arg.starts_with("--json=")) {
      const std::string_view value = arg.substr(7);
      json = !(value == "false" || value == "0" || value == "no" || value == "off");
    }
  }
  return json;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace emberline::cli;
  emberline::platform::prepareStandardStreams();
  // From here on every argument is UTF-8, whatever the platform, and the
  // common options come first wherever the user put them.
  std::vector<std::string> arguments = emberline::platform::utf8Arguments(argc, argv);
  if (!arguments.empty()) {
    auto moved = commonOptionsFirst({arguments.begin() + 1, arguments.end()});
    moved.insert(moved.begin(), arguments.front());
    arguments = std::move(moved);
  }
  std::vector<char*> utf8_argv;
  for (auto& argument : arguments) utf8_argv.push_back(argument.data());
  utf8_argv.push_back(nullptr);
  argc = static_cast<int>(arguments.size());
  argv = utf8_argv.data();

  // Signals become a stop request that the workflows see between requests.
  emberline::device::StopSource stop;
  emberline::platform::routeStopRequests(stop);
  const bool json = wantsJson(argc, argv);

  std::vector<std::unique_ptr<Command>> commands;
  commands.push_back(makeListCommand());
  commands.push_back(makeInfoCommand());
  commands.push_back(makeBurnCommand());
  commands.push_back(makeVerifyCommand());
  commands.push_back(makeEraseCommand());
  commands.push_back(makeExportCommand());
  commands.push_back(makeVersionCommand());
  commands.push_back(makeWatchCommand());
  commands.push_back(makeDoctorCommand());
  commands.push_back(makeSimCommand());
#ifdef __linux__
  commands.push_back(makeUdevRuleCommand());  // access to the cameras is a udev matter
#endif

  CLI::App app{"emberline: program the SPI flash of the family's USB cameras through their UVC "
               "extension unit, or of a simulated camera."};
  app.name("emberline");
  // The same syntax everywhere: on Windows CLI11 would take /PATH for an option.
  app.allow_windows_style_options(false);
  app.set_version_flag("--version", "emberline " + std::string(emberline::version::program()));
  app.require_subcommand(1);
  app.footer(std::string(exitStatusHelp()));

  GlobalOptions options;
  declareGlobalOptions(app, options);

  std::vector<CLI::App*> subcommands;
  for (auto& command : commands) {
    CLI::App* sub = app.add_subcommand(command->name(), command->summary());
    sub->fallthrough();
    command->declare(*sub);
    // A command's help also names the options it shares with every command.
    const std::string own = sub->get_footer();
    sub->footer((own.empty() ? "" : own + "\n\n") +
                "Common options (anywhere on the command line): -d,--device DEV  --json  --trace FILE  "
                "--lang LANG  --rom-tag-table FILE; see emberline --help.\n\n" + std::string(exitStatusHelp()));
    subcommands.push_back(sub);
  }

  const auto parsedCommand = [&]() -> Command* {
    for (std::size_t i = 0; i < commands.size(); ++i)
      if (subcommands[i]->parsed()) return commands[i].get();
    return nullptr;
  };

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    Report report(json, stdout, stderr);
    if (Command* command = parsedCommand()) report.setCommand(command->name());
    if (e.get_exit_code() == 0) {
      // --help, --version: their text, as a field of the object with --json.
      std::ostringstream text;
      app.exit(e, text, text);
      const bool version = e.get_name() == "CallForVersion";
      if (json) {
        report.details()[version ? "version" : "help"] =
            version ? std::string(emberline::version::program()) : text.str();
      } else {
        std::fputs(text.str().c_str(), stdout);
      }
      return report.finish(Outcome::Success);
    }
    // A usage error is exit status 2, whatever CLI11's own code would be.
    report.fail(std::string(e.what()) + " (emberline --help shows the usage)");
    return report.finish(Outcome::BadUsage);
  }

  options.json = json;
  if (Command* command = parsedCommand()) return runCommand(*command, options, stdout, stderr, &stop);
  Report report(json, stdout, stderr);
  report.fail("no command given (emberline --help shows the usage)");
  return report.finish(Outcome::BadUsage);
}
