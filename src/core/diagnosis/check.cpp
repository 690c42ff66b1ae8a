#include "core/diagnosis/check.h"

namespace emberline::diagnosis {

std::string_view statusName(CheckStatus status) {
  switch (status) {
    case CheckStatus::Ok: return "ok";
    case CheckStatus::Warning: return "warning";
    case CheckStatus::Failed: return "failed";
  }
  return "failed";
}

CheckStatus worst(const std::vector<Check>& checks) {
  CheckStatus result = CheckStatus::Ok;
  for (const auto& check : checks) {
    if (check.status == CheckStatus::Failed) return CheckStatus::Failed;
    if (check.status == CheckStatus::Warning) result = CheckStatus::Warning;
  }
  return result;
}

}  // namespace emberline::diagnosis
