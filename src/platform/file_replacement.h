#pragma once

// Giving a file new content without losing the old one on the way:
//  - a regular file is written to a temporary file beside it, which replaces
//    it by a rename once everything is on disk; the new file keeps the old
//    one's permissions and owner;
//  - a symbolic link is followed and its target replaced; the link stays;
//  - a target that is not a regular file (a device, a FIFO) is written in
//    place, never renamed over (or refused, for files that must be regular);
//  - only where the folder refuses new files (permissions, a read-only
//    folder) but the file itself is writable is it written in place,
//    truncated only when the new content is ready; any other failure to
//    make the temporary file (a full disk, no inodes) fails the replacement
//    and leaves the old file whole;
//  - a replacement that is never committed, or fails, leaves no temporary
//    file behind.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <string>

namespace emberline::platform {

// Which path failed, and why, in the system's words.
struct FileError {
  std::filesystem::path path;
  std::string why;
  bool creating = false;  // the failure came before any byte was written
  int code = 0;           // the errno value behind `why` (EINVAL for a target of the wrong kind)
};

enum class ReplacementTargets {
  Any,          // devices and FIFOs are written in place
  RegularOnly,  // anything but a regular file (or none yet) is refused
};

class FileReplacement {
 public:
  // Prepares the replacement of `target` (created when missing). nullptr and
  // `error` when it cannot be written.
  static std::unique_ptr<FileReplacement> begin(const std::filesystem::path& target, FileError* error,
                                                ReplacementTargets targets = ReplacementTargets::Any);

  virtual ~FileReplacement() = default;
  // Writes `bytes` as the whole new content; false and `error` on failure.
  virtual bool commit(std::span<const std::uint8_t> bytes, FileError* error) = 0;
};

// True when `a` and `b` name one file: the same device and inode once links
// are followed, or, for a file that does not exist yet, the same name in the
// same folder.
bool sameFile(const std::filesystem::path& a, const std::filesystem::path& b);

// True when writing to `path` would write into this process's standard
// output (a file, pipe or terminal stdout is redirected to), where it would
// break the report; /dev/null and other sinks do not count.
bool isStandardOutput(const std::filesystem::path& path);

}  // namespace emberline::platform
