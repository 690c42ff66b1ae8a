// emberline: the command line. This file only assembles the commands; each
// lives in its own cmd_*.cpp, the frame around them in command_runner.cpp.

#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include <CLI/CLI.hpp>

#include "cli/command.h"
#include "cli/command_runner.h"
#include "cli/exit_status.h"
#include "cli/global_options.h"
#include "cli/report.h"

#ifndef EMBERLINE_VERSION
#define EMBERLINE_VERSION "unknown"
#endif

int main(int argc, char** argv) {
  using namespace emberline::cli;

  std::vector<std::unique_ptr<Command>> commands;
  commands.push_back(makeListCommand());
  commands.push_back(makeInfoCommand());
  commands.push_back(makeBurnCommand());
  commands.push_back(makeVerifyCommand());
  commands.push_back(makeEraseCommand());
  commands.push_back(makeExportCommand());
  commands.push_back(makeVersionCommand());
  commands.push_back(makeWatchCommand());
  commands.push_back(makeSimCommand());
  commands.push_back(makeUdevRuleCommand());

  CLI::App app{"emberline: program the SPI flash of the family's USB cameras through their UVC "
               "extension unit, or of a simulated camera."};
  app.name("emberline");
  app.set_version_flag("--version", "emberline " EMBERLINE_VERSION);
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
                "Common options (before or after the command): -d,--device DEV  --json  --trace FILE  "
                "--lang LANG; see emberline --help.\n\n" + std::string(exitStatusHelp()));
    subcommands.push_back(sub);
  }

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    if (e.get_exit_code() == 0) return app.exit(e);  // --help, --version
    // A usage error is exit status 2, whatever CLI11's own code would be.
    bool json = false;
    for (int i = 1; i < argc; ++i) json = json || std::strcmp(argv[i], "--json") == 0;
    Report report(json, stdout, stderr);
    for (std::size_t i = 0; i < commands.size(); ++i)
      if (subcommands[i]->parsed()) report.setCommand(commands[i]->name());
    report.fail(std::string(e.what()) + " (emberline --help shows the usage)");
    return report.finish(Outcome::BadUsage);
  }

  if (!options.devices.empty()) options.device = options.devices.front();
  for (std::size_t i = 0; i < commands.size(); ++i) {
    if (subcommands[i]->parsed()) return runCommand(*commands[i], options, stdout, stderr);
  }
  return exitCode(Outcome::BadUsage);
}
