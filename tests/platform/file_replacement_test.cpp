// Replacing a file the user owns: what stays of the old one (links, modes,
// devices), the ways out when the folder refuses new files, and what is left
// behind after a failure: nothing.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <csignal>
#include <cstdlib>
#include <functional>
#include <thread>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/file_replacement.h"
#include "platform/posix/file_calls.h"
#include "platform/record_file.h"
#include "support/files.h"

namespace emberline::platform {
namespace {

namespace fs = std::filesystem;
using test::readFile;
using test::writeFile;

const std::vector<std::uint8_t> kOld{'o', 'l', 'd'};
const std::vector<std::uint8_t> kNew(4096, 0x5A);

class FileReplacementTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "emberline-files-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir = pattern;
  }
  void TearDown() override {
    fs::permissions(dir, fs::perms::all, fs::perm_options::add);
    fs::remove_all(dir);
  }

  // Replaces `target` with kNew; the error text ("path: why") when it fails.
  static std::string replace(const fs::path& target) {
    FileError error;
    auto file = FileReplacement::begin(target, &error);
    if (file && file->commit(kNew, &error)) return {};
    return error.path.string() + ": " + error.why;
  }

  // Runs `body` in a child process (as an unprivileged user when the test
  // runs as root, so that folder permissions bind); its exit status.
  static int inChild(const std::function<int()>& body, bool unprivileged) {
    const pid_t pid = fork();
    if (pid == 0) {
      if (unprivileged && geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(99);
      _exit(body());
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  std::vector<std::string> names() const {
    std::vector<std::string> out;
    for (const auto& e : fs::directory_iterator(dir)) out.push_back(e.path().filename().string());
    std::sort(out.begin(), out.end());
    return out;
  }

  fs::path dir;
};

TEST_F(FileReplacementTest, ALinkStaysALinkAndAFileKeepsItsMode) {
  writeFile(dir / "real.src", kOld);
  fs::create_directory(dir / "sub");
  fs::create_symlink("../real.src", dir / "sub/link.src");
  ASSERT_EQ(replace(dir / "sub/link.src"), "");
  EXPECT_TRUE(fs::is_symlink(dir / "sub/link.src"));
  EXPECT_EQ(readFile(dir / "real.src"), kNew);

  fs::permissions(dir / "real.src", fs::perms(0640));
  ASSERT_EQ(replace(dir / "real.src"), "");
  EXPECT_EQ(fs::status(dir / "real.src").permissions(), fs::perms(0640));
  EXPECT_EQ(names(), (std::vector<std::string>{"real.src", "sub"}));

  // A link to a file that does not exist yet creates it where it points.
  fs::create_symlink("made.src", dir / "dangling.src");
  ASSERT_EQ(replace(dir / "dangling.src"), "");
  EXPECT_EQ(readFile(dir / "made.src"), kNew);
  EXPECT_TRUE(fs::is_symlink(dir / "dangling.src"));
}

TEST_F(FileReplacementTest, NonRegularTargetsAreWrittenInPlace) {
  ASSERT_EQ(mkfifo((dir / "pipe").c_str(), 0600), 0);
  std::vector<std::uint8_t> received;
  std::thread reader([&] { received = readFile(dir / "pipe"); });
  EXPECT_EQ(replace(dir / "pipe"), "");
  reader.join();
  EXPECT_EQ(received, kNew);
  EXPECT_EQ(fs::status(dir / "pipe").type(), fs::file_type::fifo);

  EXPECT_EQ(replace("/dev/full"), "/dev/full: No space left on device");
  EXPECT_EQ(fs::status("/dev/full").type(), fs::file_type::character);
  EXPECT_EQ(replace(dir), dir.string() + ": Is a directory");
}

TEST_F(FileReplacementTest, AFolderThatTakesNoNewFileStillLetsAWritableFileBeWritten) {
  fs::create_directory(dir / "locked");
  writeFile(dir / "locked/out.src", std::vector<std::uint8_t>(3 * kNew.size(), 'o'));  // no tail of it may stay
  fs::permissions(dir, fs::perms(0755));
  fs::permissions(dir / "locked/out.src", fs::perms(0666));
  fs::permissions(dir / "locked", fs::perms(0555));
  EXPECT_EQ(inChild([&] { return replace(dir / "locked/out.src").empty() ? 0 : 1; }, true), 0);
  EXPECT_EQ(readFile(dir / "locked/out.src"), kNew);
  // A new file there cannot be made, and the failure names it.
  EXPECT_EQ(inChild([&] { return replace(dir / "locked/new.src") == (dir / "locked/new.src").string() + ": Permission denied" ? 0 : 1; }, true), 0);
}

TEST_F(FileReplacementTest, AFailedOrAbandonedReplacementLeavesNothingBehind) {
  writeFile(dir / "out.src", kOld);
  {
    FileError error;
    auto file = FileReplacement::begin(dir / "out.src", &error);
    ASSERT_NE(file, nullptr);
  }  // never committed, as when the export is stopped
  EXPECT_EQ(readFile(dir / "out.src"), kOld);
  EXPECT_EQ(names(), std::vector<std::string>{"out.src"});

  // A write cut short (here by a file size limit, as by a full disk).
  const int status = inChild(
      [&] {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{1024, 1024};
        setrlimit(RLIMIT_FSIZE, &limit);
        return replace(dir / "out.src") == (dir / "out.src").string() + ": File too large" ? 0 : 1;
      },
      false);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(readFile(dir / "out.src"), kOld);
  EXPECT_EQ(names(), std::vector<std::string>{"out.src"});
}

// The calls a replacement makes, in order; the temporary file's creation
// fails with `create_error` when it is set.
class WatchedCalls final : public posix::FileCalls {
 public:
  int open(const char* path, int flags, mode_t mode) override {
    if ((flags & O_CREAT) && create_error != 0) {
      errno = create_error;
      return -1;
    }
    log.push_back((flags & O_CREAT) ? "create" : "open");
    return FileCalls::open(path, flags, mode);
  }
  ssize_t write(int fd, const void* data, std::size_t size) override {
    log.push_back("write");
    return FileCalls::write(fd, data, size);
  }
  int fsync(int fd) override {
    log.push_back("fsync");
    return FileCalls::fsync(fd);
  }
  int ftruncate(int fd, off_t length) override {
    log.push_back("truncate");
    return FileCalls::ftruncate(fd, length);
  }
  int rename(const char* from, const char* to) override {
    log.push_back("rename");
    return FileCalls::rename(from, to);
  }
  int create_error = 0;
  std::vector<std::string> log;
};

// The new file is on disk before it takes the old one's place; when no
// temporary file can be made, only a folder that refuses new files leaves
// writing in place: a full disk, no inodes or a quota fail and keep the old
// file whole. A long name is no reason to write in place either.
TEST_F(FileReplacementTest, TheOldFileGoesOnlyForAWholeNewOne) {
  const auto target = dir / "out.src";
  const struct {
    int create_error;
    std::vector<std::string> calls;  // empty: refused before writing
  } cases[] = {
      {0, {"create", "write", "fsync", "rename"}},
      {ENOSPC, {}},
      {EDQUOT, {}},
      {ENAMETOOLONG, {}},
      {EACCES, {"open", "truncate", "write", "fsync"}},
  };
  for (const auto& c : cases) {
    writeFile(target, kOld);
    WatchedCalls calls;
    calls.create_error = c.create_error;
    FileError error;
    auto file = posix::beginReplacement(target, &error, ReplacementTargets::Any, calls);
    if (file) file->commit(kNew, &error);
    EXPECT_EQ(calls.log, c.calls) << c.create_error;
    EXPECT_EQ(readFile(target), c.calls.empty() ? kOld : kNew) << c.create_error;
    if (c.calls.empty()) {
      EXPECT_EQ(error.why, std::strerror(c.create_error));
    }
  }
  const auto long_name = dir / std::string(250, 'n');
  writeFile(long_name, kOld);
  struct stat old_inode {}, new_inode {};
  ASSERT_EQ(stat(long_name.c_str(), &old_inode), 0);
  ASSERT_EQ(replace(long_name), "");
  ASSERT_EQ(stat(long_name.c_str(), &new_inode), 0);
  EXPECT_NE(old_inode.st_ino, new_inode.st_ino) << "replaced by a rename, not written in place";
  EXPECT_EQ(readFile(long_name), kNew);
}

// A record the disk had no room for is taken back whole, and a record after
// a fragment (from a crash) starts a line of its own: no record is lost to
// the one before it.
TEST_F(FileReplacementTest, RecordsAreWholeLinesEvenWhenTheDiskIsFull) {
  const auto path = (dir / "records.jsonl").string();
  const std::string first = "{\"n\":1}\n", big = "{\"n\":2,\"pad\":\"" + std::string(4000, 'x') + "\"}\n";
  writeFile(path, {first.begin(), first.end()});
  const int status = inChild(
      [&] {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{2048, 2048};  // as a full disk: the write is cut short
        setrlimit(RLIMIT_FSIZE, &limit);
        std::string why;
        return openRecordFile(path, &why)->append(big).empty() ? 1 : 0;
      },
      false);
  EXPECT_EQ(status, 0) << "the cut record is a failure";
  std::string why;
  EXPECT_EQ(openRecordFile(path, &why)->append("{\"n\":3}\n"), "");
  const std::string fragment = "{\"n\":4,\"cut";  // as a crash leaves it
  const auto now = readFile(path);
  std::vector<std::uint8_t> with_fragment = now;
  with_fragment.insert(with_fragment.end(), fragment.begin(), fragment.end());
  writeFile(path, with_fragment);
  EXPECT_EQ(openRecordFile(path, &why)->append("{\"n\":5}\n"), "");
  const std::string expected = first + "{\"n\":3}\n" + fragment + "\n{\"n\":5}\n";
  EXPECT_EQ(readFile(path), std::vector<std::uint8_t>(expected.begin(), expected.end()));
}

TEST_F(FileReplacementTest, SameFileSeesThroughLinks) {
  writeFile(dir / "a.src", kOld);
  fs::create_hard_link(dir / "a.src", dir / "hard.src");
  fs::create_symlink("a.src", dir / "soft.src");
  writeFile(dir / "b.src", kOld);
  EXPECT_TRUE(sameFile(dir / "a.src", dir / "hard.src"));
  EXPECT_TRUE(sameFile(dir / "soft.src", dir / "hard.src"));
  EXPECT_FALSE(sameFile(dir / "a.src", dir / "b.src"));
  EXPECT_TRUE(sameFile(dir / "new.src", dir / "." / "new.src"));
  EXPECT_FALSE(sameFile(dir / "new.src", dir / "other.src"));
  EXPECT_FALSE(sameFile(dir / "new.src", dir / "a.src"));
}

}  // namespace
}  // namespace emberline::platform
