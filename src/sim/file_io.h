#pragma once

// Whole-file reads and crash-safe whole-file writes for the saved state.

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

namespace emberline::sim {

// Writes `bytes` to a temporary file beside `path`, flushes it to disk and
// renames it over `path`, so a reader sees the old file or the new one, never
// a mix. 0 or -errno; the temporary file is removed on failure.
int writeFileAtomically(const std::filesystem::path& path, std::span<const std::uint8_t> bytes);

// Reads a whole regular file of at most `limit` bytes. Anything else (a FIFO,
// a device, a folder, a larger file) is refused at once, without waiting on
// it: false, and what is wrong in `what`.
bool readRegularFile(const std::filesystem::path& path, std::vector<std::uint8_t>& out,
                     std::size_t limit, std::string& what);

}  // namespace emberline::sim
