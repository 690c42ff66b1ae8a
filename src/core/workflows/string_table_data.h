#pragma once

// The string table as built into the library (generated from res/strings.*).

#include <span>
#include <string_view>

namespace emberline::workflows::detail {

struct StringTableEntry {
  int id;
  std::string_view text;  // UTF-8
};

std::span<const StringTableEntry> englishTable();
std::span<const StringTableEntry> chineseTable();

}  // namespace emberline::workflows::detail
