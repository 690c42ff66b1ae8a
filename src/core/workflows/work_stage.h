#pragma once

// Where a workflow was when it stopped early, and what the flash holds then:
// the texts an operator reads after an interruption or a flash that never
// got ready.

#include <cstdint>
#include <optional>
#include <string>

namespace emberline::workflows {

enum class WorkStage {
  BeforeChange,        // nothing on the flash changed yet
  WriteProtectLifted,  // protection lifted, content untouched
  Erasing,             // the chip erase was sent and may still be running
  EraseCheck,          // erased, the blank check running
  Programming,         // erased and partly written
  Verifying,           // written, the read-back running
  BlankCheck,          // the erase workflow's check after erasing
  Reading,             // reading the flash (export, verify, backup): nothing changes
};

// "Interrupted during "Burning" at flash offset 0x0A3F0: the flash is partly
// written: burn again before unplugging the camera."
std::string interruptedText(WorkStage stage, std::optional<std::uint32_t> offset);

// "The flash stayed busy ...": a wait for flash ready ran out its bound.
// `request_failed`: the camera refused a request of that wait, so the flash
// was never seen busy: the text says that instead.
std::string flashStayedBusyText(WorkStage stage, bool request_failed = false);

// True when write protection may be put back after stopping in `stage`: the
// flash is not in the middle of an operation of its own.
bool canRestoreWriteProtect(WorkStage stage);

}  // namespace emberline::workflows
