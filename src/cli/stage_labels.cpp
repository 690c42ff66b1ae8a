#include "cli/stage_labels.h"

#include "core/workflows/ui_port.h"

namespace emberline::cli {

using namespace workflows;

std::string_view stageLabel(int control_id) {
  switch (control_id) {
    case kCtlStageErase:
      return "Erase and Check";
    case kCtlStageBurn:
      return "Burning";
    case kCtlStageVerify:
      return "Verify";
    case kCtlStageEraseOk:
    case kCtlStageBurnOk:
    case kCtlStageVerifyOk:
      return "OK!";
    default:
      return {};
  }
}

bool isStageDone(int control_id) {
  return control_id == kCtlStageEraseOk || control_id == kCtlStageBurnOk ||
         control_id == kCtlStageVerifyOk;
}

}  // namespace emberline::cli
