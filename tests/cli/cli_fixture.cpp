#include "cli_fixture.h"

#include <fstream>
#include <iterator>

#include "core/device/utf8_path.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace emberline::test {

namespace {

std::string cliBinary() {
#ifdef _WIN32
  wchar_t self[MAX_PATH];
  const DWORD length = GetModuleFileNameW(nullptr, self, MAX_PATH);
  return (std::filesystem::path(std::wstring(self, length)).parent_path() / "emberline.exe").string();
#else
  return EMBERLINE_CLI_BINARY;
#endif
}

}  // namespace

void CliTest::SetUp() {
  temp_ = std::make_unique<TempDir>("emberline-cli-");
  ASSERT_FALSE(temp_->path().empty());
  dir_ = temp_->path();
  std::filesystem::create_directories(dir_ / "sys");
  std::filesystem::create_directories(dir_ / "dev");
}

void CliTest::TearDown() { temp_.reset(); }

ProcessResult CliTest::run(const std::vector<std::string>& args, ProcessOptions options) {
  options.cwd = dir_;
  options.env = {{"EMBERLINE_SYSFS_ROOT", (dir_ / "sys").string()},
                 {"EMBERLINE_DEV_ROOT", (dir_ / "dev").string()},
                 {"LC_ALL", "C"},
                 {"LANG", "C"}};
  return runProcess(cliBinary(), args, options);
}

nlohmann::json CliTest::runJson(std::vector<std::string> args, int expected_exit) {
  args.insert(args.begin(), "--json");
  const auto result = run(args);
  EXPECT_EQ(result.exit_code, expected_exit) << result.err;
  const auto doc = nlohmann::json::parse(result.out, nullptr, false);
  EXPECT_TRUE(doc.is_object()) << "stdout is not one JSON object:\n" << result.out;
  return doc.is_object() ? doc : nlohmann::json::object();
}

std::string CliTest::makeSim(const std::string& name, const std::vector<std::string>& options) {
  std::vector<std::string> args{"sim", "init", (dir_ / name).string()};
  args.insert(args.end(), options.begin(), options.end());
  const auto result = run(args);
  EXPECT_EQ(result.exit_code, 0) << result.err;
  return "sim:" + (dir_ / name).string();
}

std::filesystem::path CliTest::writeFile(const std::string& name, const std::vector<std::uint8_t>& bytes) {
  const auto path = dir_ / utf8Path(name);
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return path;
}

std::vector<std::uint8_t> CliTest::readFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<std::uint8_t> CliTest::sampleImage(std::uint8_t seed) {
  std::vector<std::uint8_t> image(kImageBytes);
  for (std::size_t i = 0; i < image.size(); ++i)
    image[i] = static_cast<std::uint8_t>((i * 131 + seed + (i >> 9)) & 0xFF);
  image[0] = 'Q';
  image[1] = 'R';
  image[2] = '5';
  image[3] = 'X';
  for (std::size_t i = 0x8000; i < 0x9000; ++i) image[i] = 0xFF;
  for (std::size_t i = 0x10000; i < 0x10008; ++i) image[i] = 0xFF;
  for (std::size_t i = kProgrammedBytes; i < kImageBytes; ++i) image[i] = 0x5A;
  return image;
}

}  // namespace emberline::test
