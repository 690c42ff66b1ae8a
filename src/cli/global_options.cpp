#include "cli/global_options.h"

#include <CLI/CLI.hpp>

#include "frontend/platform_devices.h"

namespace emberline::cli {

void declareGlobalOptions(CLI::App& app, GlobalOptions& options) {
  app.add_option("-d,--device", options.devices,
                 "The camera: a device path (" + std::string(frontend::devicePathExample()) +
                     "), an index from 'emberline list', or "
                 "sim:PATH for a simulated camera (sim:PATH?latency-us=125 adds that much time to "
                 "every request). Without it, the one camera that answers; several answering is an "
                 "error. burn and erase take it several times, one job per camera.")
      ->expected(1)
      ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll)
      ->each([&options](const std::string& device) {
        if (options.device.empty()) options.device = device;  // the one camera of most commands
      })
      ->option_text("DEV");
  app.add_flag("--json", options.json,
               "Print one JSON object with the result and its details on stdout; human text goes "
               "to stderr.");
  app.add_option("--trace", options.trace,
                 "Write every extension-unit request as a JSON line (time, selector, SET or GET, "
                 "payload in hex, result) to FILE.")
      ->option_text("FILE");
  app.add_option("--lang", options.lang,
                 "Language of the status texts: en or zh_CN (default: from the locale).")
      ->option_text("LANG");
  app.add_option("--rom-tag-table", options.rom_tag_table,
                 "The table that says which chip register receives the flash type before an erase, "
                 "in the format of res/rom_tag_table.txt (default: Emberline's own table).")
      ->option_text("FILE");
}

}  // namespace emberline::cli
