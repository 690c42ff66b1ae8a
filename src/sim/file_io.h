#pragma once

// Whole-file reads of the saved state (it is written by the platform's file
// replacement, as exports are).

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

namespace emberline::sim {

// Reads a whole regular file of at most `limit` bytes. Anything else (a FIFO,
// a device, a folder, a larger file) is refused at once, without waiting on
// it: false, and what is wrong in `what`.
bool readRegularFile(const std::filesystem::path& path, std::vector<std::uint8_t>& out,
                     std::size_t limit, std::string& what);

}  // namespace emberline::sim
