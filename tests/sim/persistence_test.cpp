// Saving and loading a camera's state, and refusing damaged state files.

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <functional>
#include <tuple>

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
  SimSettings settings{.chip_id = 0x16, .device_kind = 0, .mode_byte = 2, .wp_config = 0x1A, .flash_id = {0xBF, 0x48, 0x00}, .flash_size = 0x10000,
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
  const auto fields = [](const SimSettings& s) {
    return std::tie(s.chip_id, s.device_kind, s.mode_byte, s.wp_config, s.flash_id, s.flash_size,
                    s.busy_polls_after_erase, s.tag, s.node_id, s.name, s.latency);
  };
  EXPECT_EQ(fields(loaded->settings()), fields(settings));
  EXPECT_EQ(loaded->flash(), flash);
  EXPECT_EQ(loaded->flashStatus(), 0x80);
  EXPECT_EQ(loaded->reg(0x5F5), 0xAF);
  EXPECT_EQ(loaded->memory(7, 0x1FFFF), 2);
  EXPECT_EQ(loaded->memory(7, 0x5834), 0x1A);
  EXPECT_EQ(loaded->memory(9, 0xC7F8), 3);

  // Saving again replaces the file; a save that cannot write leaves nothing behind.
  ASSERT_EQ(SimCamera().save(path), 0);
  EXPECT_EQ(SimCamera::load(path, nullptr)->settings().chip_id, 0x33);
  EXPECT_EQ(camera.save(dir_ / "missing" / "camera.state"), -ENOENT);
  EXPECT_EQ(filesIn(dir_), 1u) << "no temporary file is left beside it";
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

}  // namespace
}  // namespace emberline::sim
