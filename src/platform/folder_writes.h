#pragma once

// Which files of a folder another program may still be writing, so that a
// watcher does not take a file that is only half there. On Linux the
// kernel says so (inotify: created or written and not yet closed); on
// Windows a file another program holds open for writing cannot be opened
// without sharing writes.

#include <filesystem>
#include <memory>

namespace emberline::platform {

class FolderWrites {
 public:
  // Starts watching `folder`; never nullptr (where nothing can be watched,
  // no file counts as being written).
  static std::unique_ptr<FolderWrites> watch(const std::filesystem::path& folder);

  virtual ~FolderWrites() = default;
  // Takes in what happened in the folder since the last call.
  virtual void update() = 0;
  // True while `file` (in the folder) was opened for writing, created or
  // written to, and not closed since.
  virtual bool beingWritten(const std::filesystem::path& file) = 0;
};

}  // namespace emberline::platform
