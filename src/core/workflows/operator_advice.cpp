// The operator's line below a failure text: one sentence on what happened,
// one on what to do, in the dialog's language.

#include <array>

#include "core/workflows/failure.h"

namespace emberline::workflows {

namespace {

struct Advice {
  FailureKind kind;
  std::string_view english;
  std::string_view chinese;
};

constexpr std::array<Advice, 17> kAdvice{{
    {FailureKind::NoImage, "No firmware image is loaded. Load the firmware file, then start again.",
     "尚未载入固件文件。请先载入固件文件，然后重新开始。"},
    {FailureKind::BadImage, "This file is not a firmware image for these cameras. Check that you chose the right file.",
     "该文件不是本系列摄像头的固件。请确认选择了正确的文件。"},
    {FailureKind::NoCamera, "No camera answers. Plug the camera in, wait a few seconds and try again.",
     "没有摄像头应答。请插好摄像头，等几秒钟后重试。"},
    {FailureKind::CameraBusy, "Close that program or wait until it has finished, then try again.",
     "请关闭该程序或等它完成，然后重试。"},
    {FailureKind::UnpluggedDuringBurn,
     "The camera was unplugged while burning. Plug it in and burn again; do not use it before that.",
     "烧录时摄像头被拔出。请重新插上并再次烧录；在此之前不要使用它。"},
    {FailureKind::UnpluggedDuringErase,
     "The camera was unplugged while erasing. It holds no complete firmware: plug it in and burn it.",
     "擦除时摄像头被拔出，其中已没有完整的固件。请重新插上并烧录。"},
    {FailureKind::Unplugged, "The camera was unplugged; nothing on it was changed. Plug it in and try again.",
     "摄像头被拔出，其中内容没有改变。请重新插上后重试。"},
    {FailureKind::Refused,
     "The camera did not take a request. Plug it in again, directly rather than through a hub, and try again.",
     "摄像头没有接受请求。请重新插上摄像头（直接插在电脑上，不经集线器）后重试。"},
    {FailureKind::Protected,
     "The camera's flash stayed write-protected. Plug the camera in again and try again; if it fails again, set it aside.",
     "摄像头的 Flash 仍处于写保护状态。请重新插上摄像头后重试；如果仍然失败，请将其放在一边。"},
    {FailureKind::Unprotected,
     "The work itself succeeded, but the flash could not be write-protected again. Repeat it to protect the camera.",
     "操作本身已成功，但 Flash 未能恢复写保护。请重做一次以保护摄像头。"},
    {FailureKind::NotErased, "The flash could not be erased. Try again; if it fails again, set this camera aside.",
     "Flash 无法擦除。请重试；如果仍然失败，请将这台摄像头放在一边。"},
    {FailureKind::FlashBusy,
     "The camera's flash stopped responding. Unplug the camera, plug it in again and try again.",
     "摄像头的 Flash 没有响应。请拔下摄像头，重新插上后重试。"},
    {FailureKind::VerifyMismatch,
     "The camera does not hold what was written. Burn again; if it fails again, set this camera aside.",
     "摄像头中的内容与写入的不一致。请再次烧录；如果仍然失败，请将这台摄像头放在一边。"},
    {FailureKind::FlashTooSmall, "The camera's flash is smaller than the image: this image is not for this camera.",
     "摄像头的 Flash 比固件小：该固件不适用于这台摄像头。"},
    {FailureKind::UnknownChip, "This camera's chip keeps its version where this program does not know to look.",
     "本程序不知道这种芯片的版本信息存放在哪里。"},
    {FailureKind::FileNotWritten, "The file could not be written. Check the folder and its free space, then try again.",
     "文件无法写入。请检查文件夹及其剩余空间，然后重试。"},
    {FailureKind::Interrupted,
     "The work was stopped before it ended. If the camera was being burned, burn it again before unplugging it.",
     "任务在完成前被停止。如果摄像头正在烧录，请在拔下之前再次烧录。"},
}};

}  // namespace

std::string_view operatorAdvice(FailureKind kind, Language language) {
  for (const Advice& a : kAdvice)
    if (a.kind == kind) return language == Language::SimplifiedChinese ? a.chinese : a.english;
  return {};
}

}  // namespace emberline::workflows
