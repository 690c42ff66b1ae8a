#include "cli/stage_labels.h"

#include <algorithm>

#include "core/app/dialog_template.h"
#include "core/workflows/ui_port.h"

namespace emberline::cli {

using namespace workflows;

std::string_view stageLabel(int control_id, Language language) {
  // The dialog's own captions, so both faces name the stages alike.
  constexpr int kLabels[] = {kCtlStageErase, kCtlStageEraseOk, kCtlStageBurn,
                             kCtlStageBurnOk, kCtlStageVerify, kCtlStageVerifyOk};
  if (std::find(std::begin(kLabels), std::end(kLabels), control_id) == std::end(kLabels)) return {};
  const app::ControlTemplate* label = app::findControl(control_id);
  return label ? label->caption(language) : std::string_view{};
}

bool isStageDone(int control_id) {
  return control_id == kCtlStageEraseOk || control_id == kCtlStageBurnOk ||
         control_id == kCtlStageVerifyOk;
}

}  // namespace emberline::cli
