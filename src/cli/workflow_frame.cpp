#include "cli/workflow_frame.h"

#include "cli/recording_ui.h"
#include "cli/report.h"

namespace emberline::cli {

std::string finishWorkflow(RunContext& ctx, bool succeeded, int success_id, int failure_id,
                           std::size_t messages_before, const std::string& fallback) {
  ctx.ui->setStatus(succeeded ? success_id : failure_id);
  ctx.report.details()["result"] =
      std::string(workflows::loadString(ctx.language, succeeded ? success_id : failure_id));
  const auto& messages = ctx.ui->messages();
  const std::string first = messages.size() > messages_before ? messages[messages_before] : std::string{};
  if (!succeeded) {
    if (first.empty())
      ctx.report.fail(fallback);
    else
      ctx.report.fail(first, true);
  }
  return first;
}

}  // namespace emberline::cli
