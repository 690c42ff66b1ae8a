#pragma once

// Whole-file reads, new files flushed to disk, and atomic replacement, with
// the same meaning on every platform. Every call returns 0 or a negative
// errno value; files are always binary.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <span>
#include <vector>

namespace emberline::platform {

// Creates `path` (failing with -EEXIST when it exists), writes `bytes` and
// flushes them to the disk before closing.
int writeNewFile(const std::filesystem::path& path, std::span<const std::uint8_t> bytes);

// Puts `from` in the place of `to`, replacing any file there in one step, and
// makes the change durable. On Windows a reader holding `to` for a moment
// makes the replacement wait for it briefly instead of failing.
int replaceFile(const std::filesystem::path& from, const std::filesystem::path& to);

// Reads the whole file (at most `limit` bytes; a larger file gives -EFBIG).
// The file stays open for as short as possible and, on Windows, open in a
// way that does not stop another process from replacing it meanwhile.
int readWholeFile(const std::filesystem::path& path, std::vector<std::uint8_t>& out,
                  std::size_t limit);

// std::fopen by path: binary whatever `mode` says, and on Windows by the
// path's wide name (a narrow name there is in the ANSI code page).
std::FILE* openStdioFile(const std::filesystem::path& path, const char* mode);

}  // namespace emberline::platform
