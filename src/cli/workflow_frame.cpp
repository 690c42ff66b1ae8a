#include "cli/workflow_frame.h"

#include "cli/recording_ui.h"
#include "cli/report.h"
#include "frontend/device_selection.h"

namespace emberline::cli {

bool saveCamera(RunContext& ctx) {
  if (ctx.camera_saved || ctx.context == nullptr) return true;
  ctx.camera_saved = true;
  std::string error;
  if (ctx.context->persist(&error) == 0) return true;
  ctx.report.fail(error + "; the camera's file still holds its state from before this run");
  return false;
}

std::string finishWorkflow(RunContext& ctx, bool& succeeded, int success_id, int failure_id,
                           std::size_t messages_before, const std::string& fallback) {
  if (succeeded && !saveCamera(ctx)) succeeded = false;
  ctx.ui->setStatus(succeeded ? success_id : failure_id);
  ctx.report.details()["result"] =
      std::string(workflows::loadString(ctx.language, succeeded ? success_id : failure_id));
  const auto& messages = ctx.ui->messages();
  const std::string first = messages.size() > messages_before ? messages[messages_before] : std::string{};
  if (!succeeded) {
    if (first.empty())
      ctx.report.fail(fallback);
    else
      ctx.report.fail(first);
  }
  return first;
}

}  // namespace emberline::cli
