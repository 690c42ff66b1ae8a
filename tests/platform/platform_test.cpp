// Files, sleeps and UTF-8 paths behave the same on every platform.

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "core/device/utf8_path.h"
#include "platform/camera_lock.h"
#include "platform/file_replacement.h"
#include "platform/files.h"
#include "platform/record_file.h"
#include "platform/sleep.h"
#include "support/temp_dir.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace emberline {
namespace {

std::vector<std::uint8_t> text(std::string_view s) { return {s.begin(), s.end()}; }

std::vector<std::uint8_t> contents(const std::filesystem::path& path) {
  std::vector<std::uint8_t> out;
  EXPECT_EQ(platform::readWholeFile(path, out, 1 << 20), 0) << path;
  return out;
}

class PlatformFilesTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_FALSE(dir.path().empty()); }
  test::TempDir dir;
};

TEST_F(PlatformFilesTest, NewFilesAreBinaryAndNeverOverwritten) {
  const auto path = dir.path() / "new.bin";
  // LF, CR LF and the byte that ends text-mode reads on Windows.
  const std::vector<std::uint8_t> bytes = {'a', '\n', 'b', '\r', '\n', 0x1A, 'c', 0x00};
  ASSERT_EQ(platform::writeNewFile(path, bytes), 0);
  EXPECT_EQ(contents(path), bytes);
  EXPECT_EQ(platform::writeNewFile(path, text("other")), -EEXIST);
  EXPECT_EQ(contents(path), bytes);
}

TEST_F(PlatformFilesTest, ReadsRefuseWhatCannotBeRead) {
  std::vector<std::uint8_t> out;
  EXPECT_EQ(platform::readWholeFile(dir.path() / "missing", out, 100), -ENOENT);
  ASSERT_EQ(platform::writeNewFile(dir.path() / "big", std::vector<std::uint8_t>(101, 7)), 0);
  EXPECT_EQ(platform::readWholeFile(dir.path() / "big", out, 100), -EFBIG);
}

TEST_F(PlatformFilesTest, ReplaceTakesThePlaceOfAnExistingFileOrNone) {
  const auto target = dir.path() / "state";
  ASSERT_EQ(platform::writeNewFile(dir.path() / "a", text("first")), 0);
  ASSERT_EQ(platform::replaceFile(dir.path() / "a", target), 0);
  ASSERT_EQ(platform::writeNewFile(dir.path() / "b", text("second")), 0);
  ASSERT_EQ(platform::replaceFile(dir.path() / "b", target), 0);
  EXPECT_EQ(contents(target), text("second"));
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "b"));
  EXPECT_EQ(platform::replaceFile(dir.path() / "gone", target), -ENOENT);
  EXPECT_EQ(contents(target), text("second"));
}

TEST_F(PlatformFilesTest, ChineseNamesRoundTripThroughUtf8) {
  const std::string folder = "\xE7\x9B\xB8\xE6\x9C\xBA";          // 相机
  const std::string name = "\xE5\x9B\xBA\xE4\xBB\xB6.src";         // 固件.src
  std::filesystem::create_directory(dir.path() / utf8Path(folder));
  const auto path = dir.path() / utf8Path(folder) / utf8Path(name);
  ASSERT_EQ(platform::writeNewFile(path, text("image")), 0);
  EXPECT_EQ(contents(path), text("image"));
  const auto listed = std::filesystem::directory_iterator(dir.path() / utf8Path(folder))->path();
  EXPECT_EQ(utf8Text(listed.filename()), name);
}

#ifdef _WIN32
// A reader that holds the target without FILE_SHARE_DELETE (as the C runtime
// opens files) blocks MoveFileEx; the replacement waits for it to let go.
TEST_F(PlatformFilesTest, ReplaceWaitsForAReaderToLetGo) {
  const auto target = dir.path() / "held";
  ASSERT_EQ(platform::writeNewFile(target, text("old")), 0);
  ASSERT_EQ(platform::writeNewFile(dir.path() / "fresh", text("new")), 0);
  HANDLE held = CreateFileW(target.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  std::thread reader([held] {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    CloseHandle(held);
  });
  EXPECT_EQ(platform::replaceFile(dir.path() / "fresh", target), 0);
  reader.join();
  EXPECT_EQ(contents(target), text("new"));
}
#endif

TEST_F(PlatformFilesTest, ReplacementGivesNewContentOrLeavesTheOld) {
  const auto target = dir.path() / "export.src";
  ASSERT_EQ(platform::writeNewFile(target, text("old")), 0);
  platform::FileError error;
  {
    auto abandoned = platform::FileReplacement::begin(target, &error);
    ASSERT_NE(abandoned, nullptr) << error.why;
  }
  EXPECT_EQ(contents(target), text("old"));
  auto replacement = platform::FileReplacement::begin(target, &error);
  ASSERT_NE(replacement, nullptr) << error.why;
  ASSERT_TRUE(replacement->commit(text("new\r\n"), &error)) << error.why;
  EXPECT_EQ(contents(target), text("new\r\n"));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1) << "no temporary file left";
  EXPECT_TRUE(platform::sameFile(target, dir.path() / "." / "export.src"));
  EXPECT_FALSE(platform::sameFile(target, dir.path() / "other.src"));
}

// A simulated camera is its state file, whatever name leads to it; a file
// its holder has replaced (by saving it) is no longer the one held.
TEST_F(PlatformFilesTest, ACameraIsLockedOnceAndRecordsAppendWhole) {
  using State = platform::LockAttempt::State;
  const auto file = dir.path() / "camera.sim";
  ASSERT_EQ(platform::writeNewFile(file, text("state")), 0);
  std::filesystem::create_hard_link(file, dir.path() / "hard.sim");
  const auto state = utf8Text(file);
  auto first = platform::lockCamera(state, true);
  ASSERT_EQ(first.state, State::Taken) << first.error;
  EXPECT_EQ(platform::lockCamera(state, true).state, State::Busy);
  EXPECT_EQ(platform::lockCamera(utf8Text(dir.path() / "hard.sim"), true).state, State::Busy);
  ASSERT_EQ(platform::writeNewFile(dir.path() / "saved.sim", text("saved")), 0);
  ASSERT_EQ(platform::replaceFile(dir.path() / "saved.sim", file), 0);
  EXPECT_EQ(platform::lockCamera(state, true).state, State::Taken);
  first.lock.reset();
  EXPECT_EQ(platform::lockCamera(state, true).state, State::Taken);

  std::string why;
  const auto path = utf8Text(dir.path() / "records.jsonl");
  for (int i = 0; i < 2; ++i) {
    auto records = platform::openRecordFile(path, &why);
    ASSERT_NE(records, nullptr) << why;
    EXPECT_EQ(records->append("{\"n\":" + std::to_string(i) + "}\n"), "");
  }
  EXPECT_EQ(contents(dir.path() / "records.jsonl"), text("{\"n\":0}\n{\"n\":1}\n"));
}

// A sleep lasts at least what was asked, below a millisecond too (a plain
// sleep on Windows returns at once there).
TEST(PlatformSleepTest, LastsAtLeastTheTimeAsked) {
  for (const auto asked : {std::chrono::microseconds(40), std::chrono::microseconds(300),
                           std::chrono::microseconds(1500)}) {
    const auto start = std::chrono::steady_clock::now();
    platform::sleepFor(asked);
    EXPECT_GE(std::chrono::steady_clock::now() - start, asked) << asked.count() << " us";
  }
}

}  // namespace
}  // namespace emberline
