#include "cli/rom_tag_table_option.h"

#include <filesystem>
#include <fstream>
#include <iterator>

#include "cli/report.h"
#include "core/workflows/camera_session.h"

namespace emberline::cli {

namespace {
constexpr std::uintmax_t kLargestTable = 1 << 20;
}

Outcome applyRomTagTableOption(RunContext& ctx) {
  const std::string& path = ctx.options.rom_tag_table;
  if (path.empty()) return Outcome::Success;
  const auto refuse = [&](const std::string& why) {
    ctx.report.fail("--rom-tag-table " + path + ": " + why);
    return Outcome::BadInputFile;
  };
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error)) return refuse("not a readable file");
  if (std::filesystem::file_size(path, error) > kLargestTable) return refuse("larger than 1 MB");
  std::ifstream in(path, std::ios::binary);
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (!in && !in.eof()) return refuse("cannot be read");
  workflows::RomTagTable table;
  std::string what;
  if (!workflows::parseRomTagTable(text, table, what)) return refuse(what);
  // The same self-check as the built-in table: a register the workflows or
  // the library drive for another purpose (the SPI port, chip select, the
  // write-protect pin) would have the flash type written into it.
  if (const auto problems = workflows::checkRomTagTable(table); !problems.empty()) {
    std::string all;
    for (const auto& problem : problems) all += (all.empty() ? "" : "; ") + problem;
    return refuse(all);
  }
  ctx.session->setRomTagTable(std::move(table));
  return Outcome::Success;
}

}  // namespace emberline::cli
