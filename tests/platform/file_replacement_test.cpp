// Replacing a file the user owns: what stays of the old one (links, modes,
// devices), the ways out when the folder refuses new files, and what is left
// behind after a failure: nothing.

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <functional>
#include <thread>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/file_replacement.h"
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
  writeFile(dir / "locked/out.src", kOld);
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
