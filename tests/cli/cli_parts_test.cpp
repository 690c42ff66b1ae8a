// The command line's pieces in process: device strings, the choice among
// several cameras, terminal rendering, trace lines and option values.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

#include "cli/number_parsing.h"
#include "cli/terminal_ui.h"
#include "cli/text_format.h"
#include "cli/trace_writer.h"
#include "core/device/clock.h"
#include "core/device/tracing.h"
#include "core/workflows/camera_session.h"
#include "frontend/camera_probe.h"
#include "frontend/device_selection.h"
#include "sim/sim_camera.h"
#include "support/files.h"
#include "support/scripted_device.h"
#include "support/temp_dir.h"

namespace emberline {
namespace {

using frontend::DeviceSpec;

TEST(DeviceSpecTest, AcceptsEachForm) {
  struct Case {
    const char* text;
    DeviceSpec::Kind kind;
    std::string path;
    std::size_t index;
    std::string sim_state;
    long latency_us;
  };
  const Case cases[] = {
      {"", DeviceSpec::Kind::Auto, "", 0, "", 0},
#ifdef _WIN32
      {R"(\\?\usb#vid_0c45&pid_6366&mi_00#7&1b2f&0&0000#{65e8773d-8f56-11d0-a3b9-00a0c9223196}\global)",
       DeviceSpec::Kind::Path,
       R"(\\?\usb#vid_0c45&pid_6366&mi_00#7&1b2f&0&0000#{65e8773d-8f56-11d0-a3b9-00a0c9223196}\global)", 0, "", 0},
      // A '?' before the last separator belongs to the path.
      {R"(sim:\\?\C:\cams\a.sim)", DeviceSpec::Kind::Sim, "", 0, R"(\\?\C:\cams\a.sim)", 0},
      {R"(sim:\\?\C:\cams\a.sim?latency-us=7)", DeviceSpec::Kind::Sim, "", 0, R"(\\?\C:\cams\a.sim)", 7},
#else
      {"/dev/video2", DeviceSpec::Kind::Path, "/dev/video2", 0, "", 0},
      {"/dev/v4l/by-id/usb-cam-video-index0", DeviceSpec::Kind::Path, "/dev/v4l/by-id/usb-cam-video-index0", 0, "", 0},
#endif
      {"sim:/x?y/a.sim", DeviceSpec::Kind::Sim, "", 0, "/x?y/a.sim", 0},
      {"0", DeviceSpec::Kind::Index, "0", 0, "", 0},
      {"12", DeviceSpec::Kind::Index, "12", 12, "", 0},
      // No list is that long: a device that is not there, as any index past the list.
      {"99999999999999999999999", DeviceSpec::Kind::Index, "99999999999999999999999", SIZE_MAX, "", 0},
      {"sim:/tmp/a.sim", DeviceSpec::Kind::Sim, "", 0, "/tmp/a.sim", 0},
      {"sim:rel/a.sim?latency-us=125", DeviceSpec::Kind::Sim, "", 0, "rel/a.sim", 125},
      {"sim:a?b.sim?latency-us=0", DeviceSpec::Kind::Sim, "", 0, "a?b.sim", 0},
  };
  for (const auto& c : cases) {
    std::string error;
    const auto selection = frontend::parseDeviceSpec(c.text, &error);
    ASSERT_TRUE(selection) << c.text << ": " << error;
    EXPECT_EQ(selection->kind, c.kind) << c.text;
    EXPECT_EQ(selection->path, c.path) << c.text;
    EXPECT_EQ(selection->index, c.index) << c.text;
    EXPECT_EQ(selection->sim_state.string(), c.sim_state) << c.text;
    EXPECT_EQ(selection->latency.count(), c.latency_us) << c.text;
  }
}

TEST(DeviceSpecTest, RefusesWithAReason) {
  for (const char* text : {"video2", "sim:", "sim:?latency-us=5", "sim:/a?latency-us=", "sim:/a?latency-us=-1",
                           "sim:/a?latency-us=1000001", "sim:/a?speed=fast", "sim:/a?latency-us=1x",
                           "-1", " 2"}) {
    std::string error;
    EXPECT_FALSE(frontend::parseDeviceSpec(text, &error)) << text;
    EXPECT_FALSE(error.empty()) << text;
  }
}

TEST(DeviceContextTest, SimulatorFileMustExistAndBeIntact) {
  test::TempDir temp("emberline-ctx-");
  const auto dir = temp.path();
  ASSERT_FALSE(dir.empty());
  DeviceSpec selection;
  selection.kind = DeviceSpec::Kind::Sim;
  selection.sim_state = dir / "camera.sim";

  std::string error;
  EXPECT_FALSE(frontend::openDeviceContext(selection, &error));
  EXPECT_NE(error.find("sim init"), std::string::npos) << "says how to make one: " << error;

  ASSERT_EQ(sim::SimCamera().save(selection.sim_state), 0);
  auto context = frontend::openDeviceContext(selection, &error);
  ASSERT_TRUE(context) << error;
  std::vector<device::DeviceEntry> entries;
  ASSERT_EQ(context->devices().enumerate(entries), 0);
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(context->persist(&error), 0) << error;

  { std::FILE* f = test::openFile(selection.sim_state, "wb"); std::fputs("{ broken", f); std::fclose(f); }
  error.clear();
  EXPECT_FALSE(frontend::openDeviceContext(selection, &error));
  EXPECT_NE(error.find(selection.sim_state.string()), std::string::npos) << error;
}

// The station window opened from the dialog drives the dialog's simulated
// camera through the file; the dialog reads it anew afterwards and must never
// write its own older state over what the station burned.
TEST(DeviceContextTest, ReloadTakesTheFileAsAnotherProgramLeftIt) {
  const auto dir = std::filesystem::temp_directory_path() / ("context-reload-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  frontend::DeviceSpec selection;
  selection.kind = frontend::DeviceSpec::Kind::Sim;
  selection.sim_state = dir / "camera.sim";
  selection.latency = std::chrono::microseconds(1);
  ASSERT_EQ(sim::SimCamera().save(selection.sim_state), 0);
  std::string error;
  auto context = frontend::openDeviceContext(selection, &error);
  ASSERT_TRUE(context) << error;

  device::ManualClock clock;
  workflows::NullUiPort quiet;
  workflows::CameraSession before(context->devices(), quiet, clock);
  ASSERT_EQ(before.DiscoverCamera(), 0);
  ASSERT_EQ(before.EraseFlash(), 1);  // the context's camera now differs from its file

  sim::SimSettings other;
  other.chip_id = 0x25;
  ASSERT_EQ(sim::SimCamera(other).save(selection.sim_state), 0);
  ASSERT_EQ(context->reload(&error), 0) << error;
  EXPECT_EQ(context->persist(&error), 0) << error;
  const auto kept = sim::SimCamera::load(selection.sim_state, &error);
  ASSERT_TRUE(kept) << error;
  EXPECT_EQ(kept->settings().chip_id, 0x25);

  workflows::CameraSession after(context->devices(), quiet, clock);
  std::uint8_t chip = 0;
  ASSERT_EQ(after.DiscoverCamera(), 0);
  ASSERT_TRUE(after.ReadChipId(chip));
  EXPECT_EQ(chip, 0x25);

  std::filesystem::remove(selection.sim_state);
  EXPECT_NE(context->reload(&error), 0);
  EXPECT_NE(error.find("camera.sim"), std::string::npos) << error;
  std::filesystem::remove_all(dir);
}

TEST(CameraChoiceTest, OnlyOneAnsweringCameraIsChosenUnasked) {
  auto first = std::make_shared<sim::SimCamera>();
  sim::SimSettings other_settings;
  other_settings.chip_id = 0x25;
  auto second = std::make_shared<sim::SimCamera>(other_settings);

  sim::SimDeviceList two;
  two.addWebcam("Plain webcam");
  two.add(first, "first");
  two.add(second, "second");
  const auto probe = frontend::probeDevices(two);
  ASSERT_EQ(probe.devices.size(), 3u);
  EXPECT_FALSE(probe.devices[0].answers);
  EXPECT_EQ(probe.devices[2].chip_id, 0x25);
  EXPECT_EQ(probe.answering(), 2u);
  EXPECT_EQ(frontend::chooseCamera(probe).kind, frontend::CameraChoice::Kind::Several);
  const auto listed = frontend::describeAnswering(probe);
  EXPECT_NE(listed.find("first"), std::string::npos);
  EXPECT_NE(listed.find("0x25"), std::string::npos);
  EXPECT_EQ(listed.find("Plain webcam"), std::string::npos);

  sim::SimDeviceList one;
  one.addWebcam("Plain webcam");
  one.addUnopenable("Busy camera");
  one.add(first, "first");
  const auto single = frontend::probeDevices(one);
  EXPECT_LT(single.devices[1].open_error, 0);
  const auto choice = frontend::chooseCamera(single);
  EXPECT_EQ(choice.kind, frontend::CameraChoice::Kind::One);
  EXPECT_EQ(choice.id, single.devices[2].entry.id);

  sim::SimDeviceList none;
  none.addWebcam("Plain webcam");
  EXPECT_EQ(frontend::chooseCamera(frontend::probeDevices(none)).kind, frontend::CameraChoice::Kind::None);
}

TEST(CameraChoiceTest, ADeviceWithoutTheUnitSaysWhyWhenThePlatformKnows) {
  test::ScriptedDeviceList list;
  auto webcam = list.add("Webcam");
  webcam->setNode(std::nullopt);
  webcam->failAll(-ENOENT);
  webcam->setLookupProblem("The USB descriptors of /dev/video0 are unreadable (Permission denied).");
  // Through the trace decorator too, as `emberline --trace FILE list` runs it.
  device::TracingDeviceList traced(list, [](const device::TraceEvent&) {});
  const auto probe = frontend::probeDevices(traced);
  ASSERT_EQ(probe.devices.size(), 1u);
  EXPECT_FALSE(probe.devices[0].answers);
  EXPECT_EQ(probe.devices[0].unit_problem,
            "The USB descriptors of /dev/video0 are unreadable (Permission denied).");
}

// Feeds the terminal port the events of a short burn and returns what it wrote.
std::string renderBurn(bool interactive) {
  test::TempDir dir;
  const auto file = dir.path() / "terminal.txt";
  std::FILE* out = test::openFile(file, "wb");
  {
    cli::TerminalUi ui(out, out, interactive, workflows::Language::English);
    ui.setStatus(workflows::kStrBurning);
    ui.showControl(workflows::kCtlStageErase, true);
    ui.setProgressRange(workflows::kCtlProgressData, 0, 2);  // a step, not progress
    ui.setProgressPos(workflows::kCtlProgressData, 2);
    ui.setProgressRange(workflows::kCtlProgressData, 0, 200);
    for (int pos = 0; pos <= 200; pos += 10) ui.setProgressPos(workflows::kCtlProgressData, pos);
    ui.setProgressPos(workflows::kCtlProgressData, 500);  // held at the end, as the control does
    ui.showControl(workflows::kCtlStageEraseOk, true);
    ui.showControl(workflows::kCtlStageBurn, true);
    for (int half = 0; half < 2; ++half)  // one sweep of the data bar per 64 KB half
      for (int pos = 0; pos <= 200; pos += 100) ui.setProgressPos(workflows::kCtlProgressData, pos);
    ui.enableControl(workflows::kCtlGo, true);
    ui.showMessage("Check Data Failed!", "");
    ui.setStatus(workflows::kStrBurnFailed);
  }
  std::fclose(out);
  const auto bytes = test::readFile(file);
  return std::string(bytes.begin(), bytes.end());
}

TEST(TerminalUiTest, PlainLinesWithoutATerminal) {
  EXPECT_EQ(renderBurn(false),
            "Burning...\nErase and Check\nErase and Check: OK!\nBurning\nCheck Data Failed!\nBurn Failed!\n");
}

TEST(TerminalUiTest, BarRedrawnInPlaceOnATerminal) {
  const auto text = renderBurn(true);
  EXPECT_NE(text.find("\rErase and Check  [###############---------------]  50%"), std::string::npos) << text;
  EXPECT_NE(text.find("100% OK!\n"), std::string::npos) << text;
  EXPECT_EQ(text.find("101%"), std::string::npos);
  EXPECT_EQ(text.find("\rErase and Check  [##############################] 100%\rErase"), std::string::npos)
      << "no full bar before the stage has begun: " << text;
  // Both halves of the programming fill one bar.
  EXPECT_NE(text.find("\rBurning          [###############---------------]  50%"
                      "\rBurning          [######################--------]  75%"),
            std::string::npos)
      << text;
  // Messages start on a line of their own even with a bar on screen.
  EXPECT_NE(text.find("\nCheck Data Failed!\nBurn Failed!\n"), std::string::npos) << text;
}

TEST(TraceWriterTest, OneLinePerRequest) {
  device::TraceEvent event;
  const auto start = std::chrono::steady_clock::time_point{} + std::chrono::seconds(5);
  event.time = start + std::chrono::microseconds(1500);
  event.device_id = "/dev/video2";
  event.selector = 1;
  event.node_id = 4;
  event.op = device::XuOp::Get;
  event.payload = {0x1F, 0x10, 0xAB, 0xFF};
  event.result = -5;
  EXPECT_EQ(cli::TraceWriter::formatLine(event, start),
            R"({"time_us":1500,"device":"/dev/video2","request":"xu","node":4,"selector":1,"op":"GET",)"
            R"("payload":"1f10abff","result":-5})");

  event.driver_property = true;
  event.property_set = device::kDriverPropertySetA;
  event.payload.clear();
  EXPECT_NE(cli::TraceWriter::formatLine(event, start).find(
                R"("request":"driver","property_set":"{F1CAFC1D-D7D6-400F-A7FD-96715E0BD958}")"),
            std::string::npos);
}

// A camera's text must not be able to drive the terminal it is printed on.
TEST(VisibleTextTest, ControlsAndBrokenUtf8BecomeVisible) {
  const struct {
    std::string in, out;
  } cases[] = {
      {"QR5XA", "QR5XA"},
      {"\x1b]0;owned\x07", "\\x1B]0;owned\\x07"},     // escape sequence setting the title
      {"a\rb\x7f", "a\\x0Db\\x7F"},                   // carriage return, DEL
      {"\xc2\x9b" "31m", "\\xC2\\x9B31m"},            // C1 CSI, UTF-8 encoded
      {"\xff\xe4\xb8", "\\xFF\\xE4\\xB8"},         // not UTF-8, a cut sequence
      {"\xc0\xaf", "\\xC0\\xAF"},                     // overlong '/'
      {"\xe7\x83\xa7\xe5\xbd\x95", "\xe7\x83\xa7\xe5\xbd\x95"},  // Chinese passes as it is
      {"cam\xe2\x80\xae" "exe.src", "cam\\xE2\\x80\\xAEexe.src"},     // right-to-left override
      {"\xe2\x81\xa7x\xe2\x81\xa9", "\\xE2\\x81\\xA7x\\xE2\\x81\\xA9"},  // isolate and its end
  };
  for (const auto& c : cases) EXPECT_EQ(cli::visibleText(c.in), c.out) << c.in;
}

TEST(OptionValuesTest, NumbersAndFlashIds) {
  EXPECT_EQ(cli::parseNumber("131072"), 131072u);
  EXPECT_EQ(cli::parseNumber("0x20000"), 0x20000u);
  EXPECT_EQ(cli::parseNumber("010"), 10u) << "a leading zero is not octal";
  for (const char* bad : {"", "0x", "-1", "12k", " 1", "0x1G"}) EXPECT_FALSE(cli::parseNumber(bad)) << bad;

  std::string error;
  EXPECT_EQ(cli::parseFlashId("C2:20:11", &error), (std::array<std::uint8_t, 3>{0xC2, 0x20, 0x11}));
  EXPECT_EQ(cli::parseFlashId("ef:30:10", &error), (std::array<std::uint8_t, 3>{0xEF, 0x30, 0x10}));
  EXPECT_EQ(cli::parseFlashId("Winbond", &error), (std::array<std::uint8_t, 3>{0xEF, 0x30, 0x10}));
  EXPECT_EQ(cli::parseFlashId("issi", &error), (std::array<std::uint8_t, 3>{0x9D, 0x20, 0x10}));
  for (const char* bad : {"C2:20", "C2:20:11:00", "C2::11", "C220:11", "C2:20:1G", "100:20:11", "nobody"}) {
    EXPECT_FALSE(cli::parseFlashId(bad, &error)) << bad;
  }
}

}  // namespace
}  // namespace emberline
