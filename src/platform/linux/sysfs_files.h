#pragma once

// Small readers for sysfs attribute files and the ordering of sysfs paths.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace emberline::platform::linux_uvc {

// Reads a whole file of at most `limit` bytes into `out`. 0, or a negative
// errno (-EFBIG when the file is longer than `limit`).
int readWholeFile(const std::filesystem::path& path, std::string& out, std::size_t limit);

// An attribute's text without its trailing newline and spaces; nullopt when
// it cannot be read or is empty.
std::optional<std::string> readAttribute(const std::filesystem::path& path);

// An attribute holding one unsigned number in `base` (sysfs writes
// bConfigurationValue in decimal, bInterfaceNumber in hex); nullopt when it
// cannot be read or is not such a number below 256.
std::optional<std::uint8_t> readByteAttribute(const std::filesystem::path& path, int base);

// Orders text with digit runs compared as numbers, so that USB port 1-2 comes
// before 1-10 and video2 before video10.
bool naturalLess(const std::string& a, const std::string& b);

}  // namespace emberline::platform::linux_uvc
