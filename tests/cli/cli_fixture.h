#pragma once

// A temporary folder with an empty /sys and /dev (so no real camera takes
// part), helpers to make simulated cameras and images in it, and the built
// binary to run there.

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "run_process.h"
#include "support/temp_dir.h"

namespace emberline::test {

inline constexpr std::size_t kImageBytes = 0x20000;
inline constexpr std::size_t kProgrammedBytes = 0x1FFF8;  // the last 8 bytes are never written

class CliTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  ProcessResult run(const std::vector<std::string>& args, ProcessOptions options = {});
  // run(), and stdout parsed as one JSON object (fails the test when it is not).
  nlohmann::json runJson(std::vector<std::string> args, int expected_exit);

  // `emberline sim init` in the folder; returns "sim:<path>".
  std::string makeSim(const std::string& name = "camera.sim", const std::vector<std::string>& options = {});
  std::filesystem::path writeFile(const std::string& name, const std::vector<std::uint8_t>& bytes);
  static std::vector<std::uint8_t> readFile(const std::filesystem::path& path);

  // An image of the family: the signature, a pattern, blank stretches (also
  // the block at 0x10000) and non-blank last 8 bytes.
  static std::vector<std::uint8_t> sampleImage(std::uint8_t seed = 7);

  std::unique_ptr<TempDir> temp_;
  std::filesystem::path dir_;
};

}  // namespace emberline::test
