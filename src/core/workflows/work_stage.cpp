#include "core/workflows/work_stage.h"

#include "core/serialflash/serial_flash.h"
#include "core/workflows/device_error_text.h"

namespace emberline::workflows {

namespace {

constexpr const char* kBurnAgain = "burn again before unplugging the camera.";

std::string at(std::optional<std::uint32_t> offset) {
  return offset ? " at flash offset " + formatOffset(*offset) : std::string{};
}

}  // namespace

std::string interruptedText(WorkStage stage, std::optional<std::uint32_t> offset) {
  switch (stage) {
    case WorkStage::BeforeChange:
      return "Interrupted before the flash was changed: it still holds its old content.";
    case WorkStage::WriteProtectLifted:
      return "Interrupted after lifting write protection, before the erase: the flash still holds its old "
             "content.";
    case WorkStage::Erasing:
      return std::string("Interrupted while the flash was erasing: the flash is erased or partly erased "
                         "and write protection stays lifted: ") + kBurnAgain;
    case WorkStage::EraseCheck:
      return "Interrupted during \"Erase and Check\"" + at(offset) + ": the flash is erased: " + kBurnAgain;
    case WorkStage::Programming:
      return "Interrupted during \"Burning\"" + at(offset) + ": the flash is partly written: " + kBurnAgain;
    case WorkStage::Verifying:
      return "Interrupted during \"Verify\"" + at(offset) +
             ": the flash is written but not verified: run verify or " + kBurnAgain;
    case WorkStage::BlankCheck:
      return "Interrupted during the blank check" + at(offset) +
             ": the flash was erased, but the check did not finish.";
    case WorkStage::Reading:
      return "Interrupted while reading the flash" + at(offset) + ": nothing was written; the flash is unchanged.";
  }
  return "Interrupted.";
}

std::string flashStayedBusyText(WorkStage stage, bool request_failed) {
  const std::string polls = std::to_string(serialflash::kFlashReadyPolls);
  const std::string what = request_failed ? "The flash's status could not be read" : "The flash stayed busy";
  const std::string why = request_failed ? " the camera refused a request of the status poll, and none of the " +
                                               polls + " polls after it read the flash's status, "
                                         : " it did not get ready within " + polls + " status polls, ";
  switch (stage) {
    case WorkStage::BeforeChange:
    case WorkStage::WriteProtectLifted:
      return what + " while write protection was lifted:" + why + "so nothing was erased or written.";
    case WorkStage::Erasing:
      return what + " after the chip erase:" + why + "so it cannot be checked or written; its content is unknown.";
    default:
      return what + ":" + why + "so its content cannot be read.";
  }
}

bool canRestoreWriteProtect(WorkStage stage) {
  return stage == WorkStage::WriteProtectLifted || stage == WorkStage::EraseCheck ||
         stage == WorkStage::Programming || stage == WorkStage::Verifying;
}

}  // namespace emberline::workflows
