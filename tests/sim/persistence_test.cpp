// Saving and loading a camera's state, and refusing damaged state files.

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <functional>

#include "sim/state_file.h"

namespace emberline::sim {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

class PersistenceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("emberline-sim-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  Bytes readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
  }
  void writeFile(const fs::path& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  }
  std::size_t filesIn(const fs::path& dir) {
    return static_cast<std::size_t>(std::distance(fs::directory_iterator(dir), fs::directory_iterator()));
  }

  fs::path dir_;
};

TEST_F(PersistenceTest, RoundTripKeepsSettingsRegistersMemoriesFlashAndStatus) {
  SimSettings settings{.chip_id = 0x16, .device_kind = 0, .mode_byte = 2, .reg_3c5 = 3,
                       .wp_config = 0x1A, .flash_id = {0xBF, 0x48, 0x00}, .flash_size = 0x10000,
                       .busy_polls_after_erase = 7, .tag = "ZK5TO", .node_id = 9, .name = "Bench camera",
                       .latency = std::chrono::microseconds(42)};
  SimCamera camera(settings);
  Bytes flash(0x10000);
  for (std::size_t i = 0; i < flash.size(); ++i) flash[i] = static_cast<std::uint8_t>(i ^ (i >> 8));
  camera.setFlash(flash);
  camera.setFlashStatus(0x80);
  camera.setReg(0x5F5, 0xAF);
  camera.setMemory(7, 0x1FFFE, Bytes{1, 2});
  camera.setMemory(9, 0xC7F8, Bytes{3});

  const fs::path path = dir_ / "camera.state";
  ASSERT_EQ(camera.save(path), 0);
  std::string error;
  const auto loaded = SimCamera::load(path, &error);
  ASSERT_NE(loaded, nullptr) << error;
  const auto& s = loaded->settings();
  EXPECT_EQ(s.chip_id, 0x16);
  EXPECT_EQ(s.device_kind, 0);
  EXPECT_EQ(s.mode_byte, 2);
  EXPECT_EQ(s.wp_config, 0x1A);
  EXPECT_EQ(s.flash_id, settings.flash_id);
  EXPECT_EQ(s.busy_polls_after_erase, 7u);
  EXPECT_EQ(s.tag, "ZK5TO");
  EXPECT_EQ(s.node_id, 9u);
  EXPECT_EQ(s.name, "Bench camera");
  EXPECT_EQ(s.latency, std::chrono::microseconds(42));
  EXPECT_EQ(loaded->flash(), flash);
  EXPECT_EQ(loaded->flashStatus(), 0x80);
  EXPECT_EQ(loaded->reg(0x5F5), 0xAF);
  EXPECT_EQ(loaded->reg(0x03C5), 3);
  EXPECT_EQ(loaded->memory(7, 0x1FFFF), 2);
  EXPECT_EQ(loaded->memory(7, 0x5834), 0x1A);
  EXPECT_EQ(loaded->memory(9, 0xC7F8), 3);
  EXPECT_EQ(filesIn(dir_), 1u) << "no temporary file is left beside it";
}

TEST_F(PersistenceTest, SavingReplacesTheFileAndFailsCleanlyWhereItCannotWrite) {
  const fs::path path = dir_ / "camera.state";
  writeFile(path, Bytes{'o', 'l', 'd'});
  SimCamera camera;
  ASSERT_EQ(camera.save(path), 0);
  EXPECT_NE(SimCamera::load(path, nullptr), nullptr);
  EXPECT_EQ(camera.save(dir_ / "missing" / "camera.state"), -ENOENT);
  EXPECT_EQ(filesIn(dir_), 1u);
}

struct Damage {
  const char* name;
  std::function<void(Bytes&)> apply;
  const char* expected;  // part of the message
};

TEST_F(PersistenceTest, DamagedFilesAreRefusedWithTheFileAndTheFaultNamed) {
  const fs::path good = dir_ / "good.state";
  ASSERT_EQ(SimCamera().save(good), 0);
  const Bytes original = readFile(good);
  const auto withWrongRegisterCount = [] {
    SavedState state;
    state.registers.assign(100, 0);
    state.memory7.assign(0x20000, 0);
    state.memory9.assign(0x10000, 0);
    state.flash.assign(0x20000, 0xFF);
    return encodeState(state);
  };

  const Damage damages[] = {
      {"magic", [](Bytes& b) { b[0] = 'X'; }, "bad magic"},
      {"version", [](Bytes& b) { b[8] = 2; }, "format version 2"},
      {"cut in flash", [](Bytes& b) { b.resize(b.size() - 1000); }, "truncated"},
      {"cut in checksum", [](Bytes& b) { b.resize(b.size() - 2); }, "truncated"},
      {"cut in header", [](Bytes& b) { b.resize(5); }, "truncated"},
      {"flipped flash bit", [](Bytes& b) { b[b.size() - 3000] ^= 0x01; }, "checksum mismatch"},
      {"trailing bytes", [](Bytes& b) { b.push_back(0); }, "after the checksum"},
      {"register count", [&](Bytes& b) { b = withWrongRegisterCount(); }, "wrong size"},
      {"empty", [](Bytes& b) { b.clear(); }, "truncated"},
  };
  for (const auto& damage : damages) {
    Bytes bytes = original;
    damage.apply(bytes);
    const fs::path path = dir_ / (std::string(damage.name) + ".state");
    writeFile(path, bytes);
    std::string error;
    EXPECT_EQ(SimCamera::load(path, &error), nullptr) << damage.name;
    EXPECT_NE(error.find(path.string()), std::string::npos) << error;
    EXPECT_NE(error.find(damage.expected), std::string::npos) << damage.name << ": " << error;
  }
  std::string error;
  EXPECT_EQ(SimCamera::load(dir_ / "absent.state", &error), nullptr);
  EXPECT_NE(error.find("cannot be read"), std::string::npos) << error;
}

TEST(StateFile, SettingsOfTheWrongTypeOrRangeAreRefused) {
  SavedState state;
  state.registers.assign(0x10000, 0);
  state.memory7.assign(0x20000, 0);
  state.memory9.assign(0x10000, 0);
  state.flash.assign(0x20000, 0xFF);
  Bytes bytes = encodeState(state);
  // Replace "chip_id":51 with an out-of-range value of the same length.
  const std::string needle = "\"chip_id\":51";
  auto at = std::search(bytes.begin(), bytes.end(), needle.begin(), needle.end());
  ASSERT_NE(at, bytes.end());
  std::copy_n("\"chip_id\":-1", needle.size(), at);
  bytes.resize(bytes.size() - 4);
  const auto crc = crc32(bytes);
  for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<std::uint8_t>(crc >> (8 * i)));
  SavedState out;
  std::string what;
  EXPECT_FALSE(decodeState(bytes, out, what));
  EXPECT_NE(what.find("chip_id"), std::string::npos) << what;
}

}  // namespace
}  // namespace emberline::sim
