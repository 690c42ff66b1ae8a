// What the command line must get right on every platform and that Windows
// gets wrong by default: UTF-8 file names in arguments, stations and records
// in any folder, paths over 260 characters, binary output, short simulated
// latencies, the no-camera path of the real device list, replacing a state
// file another process holds, and the camera lock as the dialogs take it.

#include <algorithm>
#include <thread>

#include "cli_fixture.h"
#include "core/device/utf8_path.h"
#include "frontend/camera_claims.h"
#include "frontend/device_selection.h"
#include "platform/camera_lock.h"
#include "platform/process_name.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace emberline::test {
namespace {

bool hasCarriageReturn(const std::string& text) { return text.find('\r') != std::string::npos; }

TEST_F(CliTest, ChineseFileNamesOnTheCommandLine) {
  const std::string folder = "\xE7\x9B\xB8\xE6\x9C\xBA";  // 相机
  std::filesystem::create_directory(dir_ / utf8Path(folder));
  const std::string base = utf8Text(dir_) + "/" + folder + "/";
  const auto image = sampleImage();
  writeFile(folder + "/\xE5\x9B\xBA\xE4\xBB\xB6.src", image);  // 固件.src

  const auto init = run({"sim", "init", base + "\xE6\xA8\xA1\xE6\x8B\x9F.sim"});  // 模拟.sim
  ASSERT_EQ(init.exit_code, 0) << init.err;
  const std::string sim = "sim:" + base + "\xE6\xA8\xA1\xE6\x8B\x9F.sim";
  const auto burn = run({"--device", sim, "burn", base + "\xE5\x9B\xBA\xE4\xBB\xB6.src"});
  ASSERT_EQ(burn.exit_code, 0) << burn.err;
  const auto exported = run({"--device", sim, "export", base + "\xE5\xAF\xBC\xE5\x87\xBA.src"});  // 导出.src
  ASSERT_EQ(exported.exit_code, 0) << exported.err;
  EXPECT_NE(exported.out.find(folder), std::string::npos) << "the name is shown as UTF-8: " << exported.out;

  const auto back = readFile(dir_ / utf8Path(folder) / utf8Path("\xE5\xAF\xBC\xE5\x87\xBA.src"));
  ASSERT_EQ(back.size(), kImageBytes);
  EXPECT_TRUE(std::equal(image.begin(), image.begin() + kProgrammedBytes, back.begin()));
}

// Every file a run touches, in a folder with a Chinese name and in one whose
// paths are longer than the 260 characters Windows once allowed: a camera
// made there, an image burned from there, an export and a station's records
// written there.
TEST_F(CliTest, AnyFolderHoldsCamerasImagesExportsAndRecords) {
  std::string deep;
  while (deep.size() < 280) deep += (deep.empty() ? "" : "/") + std::string(60, 'd');
  for (const std::string& folder : {std::string("\xE7\x9B\xB8\xE6\x9C\xBA"), deep}) {  // 相机
    std::filesystem::create_directories(dir_ / utf8Path(folder));
    const std::string base = utf8Text(dir_) + "/" + folder + "/";
    SCOPED_TRACE(base.size());
    writeFile(folder + "/\xE5\x9B\xBA\xE4\xBB\xB6.src", sampleImage());  // 固件.src
    const std::string image = base + "\xE5\x9B\xBA\xE4\xBB\xB6.src";
    for (const char* camera : {"a.sim", "b.sim"}) ASSERT_EQ(run({"sim", "init", base + camera}).exit_code, 0);

    const auto burn = run({"--device", "sim:" + base + "a.sim", "burn", image});
    ASSERT_EQ(burn.exit_code, 0) << burn.err;
    const auto exported = run({"--device", "sim:" + base + "a.sim", "export", base + "back.src"});
    ASSERT_EQ(exported.exit_code, 0) << exported.err;
    EXPECT_EQ(readFile(dir_ / utf8Path(folder) / "back.src").size(), kImageBytes);

    const std::string record = base + "\xE8\xAE\xB0\xE5\xBD\x95.jsonl";  // 记录.jsonl
    const auto station = run({"-d", "sim:" + base + "a.sim", "-d", "sim:" + base + "b.sim", "burn", image,
                              "--record", record});
    ASSERT_EQ(station.exit_code, 0) << station.out << station.err;
    const auto lines = readFile(dir_ / utf8Path(folder) / utf8Path("\xE8\xAE\xB0\xE5\xBD\x95.jsonl"));
    std::size_t records = 0;
    std::string text(lines.begin(), lines.end());
    for (std::size_t at = 0, end; (end = text.find('\n', at)) != std::string::npos; at = end + 1, ++records) {
      const auto line = nlohmann::json::parse(text.substr(at, end - at));
      EXPECT_EQ(line["result"], "passed");
      EXPECT_EQ(line["image"], image);
      EXPECT_EQ(line["device"].get<std::string>().rfind("sim:" + base, 0), 0u) << line["device"];
    }
    EXPECT_EQ(records, 2u);
  }
}

TEST_F(CliTest, OutputIsBinaryWithSubMillisecondLatency) {
  const std::string sim = makeSim();
  const auto trace = (dir_ / "trace.jsonl").string();
  const auto result = run({"--json", "--trace", trace, "--device", sim + "?latency-us=250", "info"});
  ASSERT_EQ(result.exit_code, 0) << result.err;
  EXPECT_FALSE(hasCarriageReturn(result.out)) << "JSON on stdout";
  const auto lines = readFile(trace);
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(std::count(lines.begin(), lines.end(), '\r'), 0) << "trace lines";
  const auto human = run({"--device", sim, "info"});
  EXPECT_FALSE(hasCarriageReturn(human.out));
}

TEST_F(CliTest, WithoutACameraTheDeviceListSaysSo) {
  EXPECT_EQ(run({"list"}).exit_code, 3);
  const auto info = run({"info"});
  EXPECT_EQ(info.exit_code, 3);
  EXPECT_NE((info.out + info.err).find("There are no VideoInputDevice devices available"), std::string::npos)
      << info.out << info.err;
}

// A dialog's operation claims the camera as it opens it: a camera with
// another holder does not open, and the claim names the holder by process
// and program; once free, the claim holds it until the operation ends.
TEST_F(CliTest, ADialogsClaimRefusesAHeldCameraAndNamesTheHolder) {
#ifdef _WIN32
  const long pid = static_cast<long>(GetCurrentProcessId());
  const std::string program = "cli_tests.exe";
#else
  const long pid = static_cast<long>(::getpid());
  const std::string program = "cli_tests";
#endif
  EXPECT_EQ(platform::processName(pid), program);
  EXPECT_EQ(platform::processName(0), "");
  std::string error;
  auto context = frontend::openDeviceContext(*frontend::parseDeviceSpec(makeSim(), &error), &error);
  ASSERT_TRUE(context) << error;
  frontend::ClaimingDeviceList devices(*context);
  std::vector<device::DeviceEntry> entries;
  ASSERT_EQ(devices.enumerate(entries), 0);
  ASSERT_EQ(entries.size(), 1u);

  auto other = platform::lockCamera(context->cameraPath(), true);
  ASSERT_EQ(other.state, platform::LockAttempt::State::Taken);
  {
    const auto claim = devices.claim();
    int open_error = 0;
    EXPECT_EQ(devices.open(entries[0], &open_error), nullptr);
    EXPECT_EQ(open_error, -EBUSY);
    const auto holder = claim->busyHolder();
    ASSERT_TRUE(holder);
    EXPECT_EQ(holder->pid, pid);
    EXPECT_EQ(holder->program, program);
  }
  other.lock.reset();
  const auto claim = devices.claim();
  EXPECT_NE(devices.open(entries[0]), nullptr);
  EXPECT_FALSE(claim->busyHolder());
  EXPECT_EQ(platform::lockCamera(context->cameraPath(), true).state, platform::LockAttempt::State::Busy);
}

#ifdef _WIN32
// The program's manifest takes paths over 260 characters where the system
// allows them (LongPathsEnabled), and asks for no elevation.
TEST(CliManifest, AllowsLongPathsAndRunsAsTheInvoker) {
  wchar_t self[MAX_PATH];
  const DWORD length = GetModuleFileNameW(nullptr, self, MAX_PATH);
  const auto program = std::filesystem::path(std::wstring(self, length)).parent_path() / "emberline.exe";
  HMODULE module = LoadLibraryExW(program.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  ASSERT_NE(module, nullptr);
  HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(1), RT_MANIFEST);
  ASSERT_NE(found, nullptr);
  const std::string manifest(static_cast<const char*>(LockResource(LoadResource(module, found))),
                             SizeofResource(module, found));
  EXPECT_NE(manifest.find(">true</longPathAware>"), std::string::npos) << manifest;
  EXPECT_NE(manifest.find("level=\"asInvoker\""), std::string::npos);
  FreeLibrary(module);
}

// Another process reading the state file (opened as the C runtime opens files,
// without FILE_SHARE_DELETE) must not make the save at the end of a command
// fail: the replacement waits for the reader.
TEST_F(CliTest, StateFileReplacedWhileAnotherProcessHoldsIt) {
  const std::string sim = makeSim();
  const auto state = dir_ / "camera.sim";
  HANDLE held = CreateFileW(state.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  std::thread reader([held] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    CloseHandle(held);
  });
  const auto erase = run({"--device", sim, "erase"});
  reader.join();
  EXPECT_EQ(erase.exit_code, 0) << erase.err;
}
#endif

}  // namespace
}  // namespace emberline::test
