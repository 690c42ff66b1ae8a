// Saving and loading a camera's state, and refusing damaged state files.

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <functional>
#include <tuple>

#include <sys/stat.h>

#include "raw_camera.h"
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

TEST_F(PersistenceTest, RoundTripKeepsSettingsFaultsRegistersMemoryFlashAndStatus) {
  SimSettings settings{.chip_id = 0x16, .device_kind = 0, .mode_byte = 2, .reg_3c5 = 3,
                       .flash_id = {0xBF, 0x48, 0x00}, .flash_id_continuation = true, .flash_size = 0x10000,
                       .busy_polls_after_erase = 7, .busy_polls_after_program = 4,
                       .busy_polls_after_status_write = 5, .flash_status = 0x84, .wp_pin = 3, .node_id = 9,
                       .name = "Bench camera \xFF", .latency = std::chrono::microseconds(42)};
  SimCamera camera(settings);
  const FaultPlan faults{.fail_request = 7, .fail_selector_gets = {3}, .fail_registers = {0x1084},
                         .vanish_after = 900, .fail_read_at = 0x1FFF0, .wrong_byte_at = 0x10,
                         .flash_never_ready = true, .slow_request = 3,
                         .slow_by = std::chrono::microseconds(500), .error = -EPIPE};
  camera.setFaults(faults);
  Bytes flash(0x10000);
  for (std::size_t i = 0; i < flash.size(); ++i) flash[i] = static_cast<std::uint8_t>(i ^ (i >> 8));
  camera.setFlash(flash);
  camera.setReg(0x5F5, 0xAF);
  camera.setMemory(9, 0xC7F8, Bytes{3});

  const fs::path path = dir_ / "camera.state";
  ASSERT_EQ(camera.save(path), 0);
  std::string error;
  const auto loaded = SimCamera::load(path, &error);
  ASSERT_NE(loaded, nullptr) << error;
  const auto fields = [](const SimSettings& s) {
    return std::tie(s.chip_id, s.device_kind, s.mode_byte, s.reg_3c5, s.flash_id, s.flash_id_continuation,
                    s.flash_size, s.busy_polls_after_erase, s.busy_polls_after_program,
                    s.busy_polls_after_status_write, s.flash_status, s.wp_pin, s.node_id, s.latency);
  };
  EXPECT_EQ(fields(loaded->settings()), fields(settings));
  EXPECT_EQ(loaded->settings().name, "Bench camera \uFFFD") << "bytes that are not UTF-8 are replaced";
  const auto plan = [](const FaultPlan& f) {
    return std::tie(f.fail_request, f.fail_selector_gets, f.fail_registers, f.vanish_after, f.fail_read_at,
                    f.wrong_byte_at, f.flash_never_ready, f.slow_request, f.slow_by, f.error);
  };
  EXPECT_EQ(plan(loaded->faults()), plan(faults));
  EXPECT_EQ(loaded->flash(), flash);
  EXPECT_EQ(loaded->flashStatus() & ~0x01, 0x84);
  EXPECT_EQ(loaded->reg(0x5F5), 0xAF);
  EXPECT_EQ(loaded->memory(9, 0xC7F8), 3);

  // Saving again replaces the file; a save that cannot write leaves nothing behind.
  ASSERT_EQ(SimCamera().save(path), 0);
  EXPECT_EQ(SimCamera::load(path, nullptr)->settings().chip_id, 0x33);
  EXPECT_EQ(camera.save(dir_ / "missing" / "camera.state"), -ENOENT);
  EXPECT_EQ(filesIn(dir_), 1u) << "no temporary file is left beside it";
}

// Reading the flash's identity moves the SPI port but changes nothing kept;
// programming, a status write or a new fault plan does.
TEST_F(PersistenceTest, ALoadedCameraTellsWhetherAnythingKeptHasChanged) {
  const fs::path path = dir_ / "camera.state";
  ASSERT_EQ(SimCamera().save(path), 0);
  EXPECT_TRUE(SimCamera().changedSinceLoad()) << "a camera that was not loaded is always saved";
  const std::function<void(SimCamera&)> changes[] = {
      [](SimCamera& c) { c.setMemory(7, 0x100, Bytes{0x00}); },
      [](SimCamera& c) { c.setFlashStatus(0x00); },
      [](SimCamera& c) { c.setFaults(FaultPlan{.flash_never_ready = true}); },
      [](SimCamera& c) { c.setReg(0x1006, 0x04); },
  };
  for (const auto& change : changes) {
    const auto camera = SimCamera::load(path, nullptr);
    ASSERT_NE(camera, nullptr);
    testing::RawCamera raw(*camera);
    raw.spi({0x9F}, 3);
    raw.readBlock(0x1E00);
    EXPECT_FALSE(camera->changedSinceLoad());
    change(*camera);
    EXPECT_TRUE(camera->changedSinceLoad());
  }
}

// Files that are no state file are refused at once, without waiting on a
// FIFO or reading a huge file; so are hand-edited values a command would
// hang on.
TEST_F(PersistenceTest, FilesAndValuesThatWouldHangACommandAreRefused) {
  const fs::path huge = dir_ / "huge.state";
  { std::ofstream(huge) << "EMBSIMST"; }
  fs::resize_file(huge, 100u << 20);  // sparse
  std::vector<std::pair<fs::path, const char*>> files = {{dir_, "a folder"}, {huge, "too large"}};
#ifndef _WIN32
  const fs::path fifo = dir_ / "fifo.state";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  files.push_back({fifo, "a FIFO"});
  files.push_back({"/dev/null", "a device"});
#endif
  for (const auto& [path, expected] : files) {
    std::string error;
    EXPECT_EQ(SimCamera::load(path, &error), nullptr);
    EXPECT_NE(error.find(path.string() + ": is " + expected), std::string::npos) << error;
  }

  const std::pair<std::function<void(SavedState&)>, const char*> edits[] = {
      {[](SavedState& s) { s.settings.latency = std::chrono::microseconds(1'000'001); }, "latency_us"},
      {[](SavedState& s) { s.settings.busy_polls_after_erase = 10'001; }, "busy_polls_after_erase"},
      {[](SavedState& s) { s.settings.busy_polls_after_status_write = 0xFFFFFFFF; }, "busy_polls_after_status_write"},
      {[](SavedState& s) { s.faults.slow_by = std::chrono::microseconds(5'000'000); }, "slow_us"},
      {[](SavedState& s) { s.settings.wp_pin = 8; }, "wp_pin"},
  };
  for (const auto& [edit, key] : edits) {
    SavedState state;
    state.registers.assign(0x10000, 0);
    state.memory9.assign(0x10000, 0);
    state.flash.assign(0x20000, 0xFF);
    edit(state);
    const fs::path path = dir_ / (std::string(key) + ".state");
    writeFile(path, encodeState(state));
    std::string error;
    EXPECT_EQ(SimCamera::load(path, &error), nullptr) << key;
    EXPECT_NE(error.find(path.string()), std::string::npos) << error;
    EXPECT_NE(error.find(key), std::string::npos) << error;
  }
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
    state.memory9.assign(0x10000, 0);
    state.flash.assign(0x20000, 0xFF);
    return encodeState(state);
  };

  const Damage damages[] = {
      {"magic", [](Bytes& b) { b[0] = 'X'; }, "bad magic"},
      {"version", [](Bytes& b) { b[8] = 1; }, "format version 1, expected 2 (create the camera again"},
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
