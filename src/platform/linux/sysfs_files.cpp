#include "platform/linux/sysfs_files.h"

#include <fcntl.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <charconv>

#include "platform/linux/unique_fd.h"

namespace emberline::platform::linux_uvc {

int readWholeFile(const std::filesystem::path& path, std::string& out, std::size_t limit) {
  out.clear();
  int raw;
  do {
    raw = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  } while (raw < 0 && errno == EINTR);
  if (raw < 0) return -errno;
  const UniqueFd fd(raw);

  char buffer[4096];
  for (;;) {
    const ssize_t got = ::read(fd.get(), buffer, sizeof buffer);
    if (got < 0) {
      if (errno == EINTR) continue;
      return -errno;
    }
    if (got == 0) return 0;
    if (out.size() + static_cast<std::size_t>(got) > limit) return -EFBIG;
    out.append(buffer, static_cast<std::size_t>(got));
  }
}

std::optional<std::string> readAttribute(const std::filesystem::path& path) {
  std::string text;
  if (readWholeFile(path, text, 4096) != 0) return std::nullopt;
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.pop_back();
  if (text.empty()) return std::nullopt;
  return text;
}

std::optional<std::uint8_t> readByteAttribute(const std::filesystem::path& path, int base) {
  const auto text = readAttribute(path);
  if (!text) return std::nullopt;
  unsigned value = 0;
  const char* end = text->data() + text->size();
  const auto [stop, error] = std::from_chars(text->data(), end, value, base);
  if (error != std::errc{} || stop != end || value > 0xFF) return std::nullopt;
  return static_cast<std::uint8_t>(value);
}

bool naturalLess(const std::string& a, const std::string& b) {
  const auto digit = [](char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; };
  std::size_t i = 0;
  std::size_t j = 0;
  while (i < a.size() && j < b.size()) {
    if (digit(a[i]) && digit(b[j])) {
      std::size_t i_end = i;
      std::size_t j_end = j;
      while (i_end < a.size() && digit(a[i_end])) ++i_end;
      while (j_end < b.size() && digit(b[j_end])) ++j_end;
      // Compare numbers without converting them: skip leading zeros, then a
      // longer run is larger, then digit by digit.
      std::size_t i_start = i;
      std::size_t j_start = j;
      while (i_start + 1 < i_end && a[i_start] == '0') ++i_start;
      while (j_start + 1 < j_end && b[j_start] == '0') ++j_start;
      const std::size_t i_len = i_end - i_start;
      const std::size_t j_len = j_end - j_start;
      if (i_len != j_len) return i_len < j_len;
      const int order = a.compare(i_start, i_len, b, j_start, j_len);
      if (order != 0) return order < 0;
      i = i_end;
      j = j_end;
    } else {
      if (a[i] != b[j]) return a[i] < b[j];
      ++i;
      ++j;
    }
  }
  return (a.size() - i) < (b.size() - j);
}

}  // namespace emberline::platform::linux_uvc
