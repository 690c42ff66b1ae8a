#include "core/diagnosis/texts.h"

#include <vector>

namespace emberline::diagnosis {

std::string say(workflows::Language language, std::string_view english, std::string_view chinese,
                std::initializer_list<std::string> values) {
  const std::string_view pattern = language == workflows::Language::SimplifiedChinese ? chinese : english;
  const std::vector<std::string> given(values);
  std::string text;
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    if (pattern[i] == '{' && i + 2 < pattern.size() && pattern[i + 2] == '}' && pattern[i + 1] >= '0' &&
        pattern[i + 1] <= '9') {
      const auto index = static_cast<std::size_t>(pattern[i + 1] - '0');
      if (index < given.size()) text += given[index];
      i += 2;
      continue;
    }
    text.push_back(pattern[i]);
  }
  return text;
}

std::string_view statusWord(workflows::Language language, CheckStatus status) {
  const bool chinese = language == workflows::Language::SimplifiedChinese;
  switch (status) {
    case CheckStatus::Ok: return chinese ? "正常" : "ok";
    case CheckStatus::Warning: return chinese ? "警告" : "warning";
    case CheckStatus::Failed: break;
  }
  return chinese ? "失败" : "failed";
}

}  // namespace emberline::diagnosis
