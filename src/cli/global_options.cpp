#include "cli/global_options.h"

#include <algorithm>
#include <iterator>
#include <string_view>

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

std::vector<std::string> commonOptionsFirst(const std::vector<std::string>& args) {
  static constexpr std::string_view kWithValue[] = {"-d", "--device", "--trace", "--lang", "--rom-tag-table"};
  const auto takesValue = [](std::string_view arg) {
    return std::find(std::begin(kWithValue), std::end(kWithValue), arg) != std::end(kWithValue);
  };
  const auto joined = [](std::string_view arg) {  // --device=X, -dX, --json, --json=false
    if (arg == "--json" || arg.starts_with("--json=")) return true;
    if (arg.starts_with("-d") && !arg.starts_with("--")) return arg.size() > 2;
    for (std::string_view name : kWithValue)
      if (name.starts_with("--") && arg.starts_with(name) && arg.size() > name.size() && arg[name.size()] == '=')
        return true;
    return false;
  };
  std::vector<std::string> common, rest;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--") {
      rest.insert(rest.end(), args.begin() + static_cast<std::ptrdiff_t>(i), args.end());
      break;
    }
    if (joined(args[i])) {
      common.push_back(args[i]);
    } else if (takesValue(args[i])) {
      common.push_back(args[i]);
      if (i + 1 < args.size()) common.push_back(args[++i]);
    } else {
      rest.push_back(args[i]);
    }
  }
  common.insert(common.end(), rest.begin(), rest.end());
  return common;
}

}  // namespace emberline::cli
