// What an operator reads when a camera cannot be opened, on this platform:
// the fix in the platform's own terms for each kind of error, never the
// other platform's, and the system's code on a details line.

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <string>
#include <vector>

#include "core/device/transport.h"
#include "frontend/device_advice.h"
#include "frontend/device_selection.h"

namespace emberline::frontend {
namespace {

using workflows::Language;

bool contains(const std::string& text, const std::string& word) { return text.find(word) != std::string::npos; }

#ifdef _WIN32
constexpr const char* kOtherPlatformsWords[] = {"udev", "/dev/"};
const std::string kMissingDevice = "\\\\?\\usb#vid_0000&pid_0000#emberline-gone#{65e8773d-8f56-11d0-a3b9-00a0c9223196}\\global";
#else
constexpr const char* kOtherPlatformsWords[] = {"Device Manager", "设备管理器", "Settings", "隐私"};
const std::string kMissingDevice = "/dev/emberline-no-such-video";
#endif

// Words each advice must hold, per platform: {errno, language, Linux, Windows}.
struct AdviceCase {
  int error;
  Language language;
  std::vector<std::string> linux_words;
  std::vector<std::string> windows_words;
};

const AdviceCase kAdvice[] = {
    {-EACCES, Language::English, {"udev rule"}, {"Let desktop apps access your camera", "Privacy"}},
    {-EACCES, Language::SimplifiedChinese, {"udev 规则"}, {"允许桌面应用访问相机", "隐私"}},
    {-EBUSY, Language::English, {"close it"}, {"close the program that uses it"}},
    {-EBUSY, Language::SimplifiedChinese, {"关闭"}, {"关闭正在使用摄像头的程序"}},
    {-ENODEV, Language::English, {"USB cable"}, {"USB cable", "Device Manager"}},
    {-ENOENT, Language::SimplifiedChinese, {"USB 线"}, {"USB 线", "设备管理器"}},
    {-EIO, Language::English, {"Plug the camera in again"}, {"Plug the camera in again"}},
};

TEST(DeviceAdvice, EachKindOfErrorGetsThisPlatformsFix) {
  for (const AdviceCase& c : kAdvice) {
    const std::string text = deviceAdvice(deviceProblem(c.error), c.language);
#ifdef _WIN32
    const auto& words = c.windows_words;
#else
    const auto& words = c.linux_words;
#endif
    for (const auto& word : words) EXPECT_TRUE(contains(text, word)) << c.error << ": " << text;
    for (const char* other : kOtherPlatformsWords) EXPECT_FALSE(contains(text, other)) << text;
  }
}

// A device list whose one camera cannot be opened, the platform saying why.
class RefusingList final : public device::DeviceList {
 public:
  RefusingList(int error, std::string detail) : error_(error), detail_(std::move(detail)) {}
  int enumerate(std::vector<device::DeviceEntry>& out) override {
    out = {{"cam-1", std::string("USB Camera"), std::string("cam-1")}};
    return 0;
  }
  std::shared_ptr<device::CaptureDevice> open(const device::DeviceEntry&, int* error) override {
    if (error) *error = error_;
    return nullptr;
  }
  std::string failureDetail() const override { return detail_; }

 private:
  int error_;
  std::string detail_;
};

TEST(DeviceAdvice, NoCameraSaysWhatToDoAndQuotesTheSystemOnADetailsLine) {
  RefusingList denied(-EACCES, "HRESULT 0x80070005: Access is denied");
  std::string text = noCameraAdvice(denied, Language::English);
  EXPECT_EQ(text.rfind(deviceAdvice(DeviceProblem::AccessDenied, Language::English), 0), 0u) << text;
  EXPECT_TRUE(contains(text, "\n\nDetails: USB Camera: HRESULT 0x80070005: Access is denied")) << text;

  RefusingList busy(-EBUSY, "");  // no code of the platform's own: the errno's text
  text = noCameraAdvice(busy, Language::SimplifiedChinese);
  EXPECT_EQ(text.rfind(deviceAdvice(DeviceProblem::InUse, Language::SimplifiedChinese), 0), 0u) << text;
  EXPECT_TRUE(contains(text, "详细信息：USB Camera: ")) << text;

  struct Empty final : device::DeviceList {
    int enumerate(std::vector<device::DeviceEntry>& out) override { return out.clear(), 0; }
    std::shared_ptr<device::CaptureDevice> open(const device::DeviceEntry&, int*) override { return nullptr; }
  } empty;
  text = noCameraAdvice(empty, Language::English);
  EXPECT_EQ(text, deviceAdvice(DeviceProblem::NoCamera, Language::English));
  EXPECT_FALSE(contains(text, "Details"));
}

TEST(DeviceSetupText, SaysWhatIsWrongAndWhatToDoWithoutTheCommandLine) {
  using Kind = DeviceSpec::Kind;
  DeviceSpec missing{Kind::Path, kMissingDevice, 0, {}, {}};
  DeviceSpec not_camera{Kind::Path, std::filesystem::temp_directory_path().string(), 0, {}, {}};
  DeviceSpec index{Kind::Index, {}, 7, {}, {}};
  const struct {
    DeviceSpec wanted;
    Language language;
    std::vector<std::string> words;
  } cases[] = {
      {missing, Language::English, {kMissingDevice, "not connected", "USB cable"}},
      {missing, Language::SimplifiedChinese, {kMissingDevice, "未连接", "USB 线"}},
      {index, Language::English, {"#7", "not connected", "USB cable"}},
      {not_camera, Language::English, {"is not a camera", "--device"}},
      {not_camera, Language::SimplifiedChinese, {"不是摄像头", "--device"}},
  };
  for (const auto& c : cases) {
    const std::string text = deviceSetupText(c.wanted, "see 'emberline list'", c.language);
    for (const auto& word : c.words) EXPECT_TRUE(contains(text, word)) << text;
    EXPECT_FALSE(contains(text, "emberline list")) << text;
    for (const char* other : kOtherPlatformsWords) EXPECT_FALSE(contains(text, other)) << text;
  }
}

}  // namespace
}  // namespace emberline::frontend
