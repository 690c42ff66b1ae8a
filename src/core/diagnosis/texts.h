#pragma once

// Doctor's words in the two languages: each text is given in English and in
// Simplified Chinese side by side, with {0}, {1}... for what was found.

#include <initializer_list>
#include <string>
#include <string_view>

#include "core/diagnosis/check.h"
#include "core/workflows/strings.h"

namespace emberline::diagnosis {

// `english` or `chinese` by `language`, with {N} replaced by the N-th of `values`.
std::string say(workflows::Language language, std::string_view english, std::string_view chinese,
                std::initializer_list<std::string> values = {});

// "ok" / "warning" / "failed" as a person reads them in `language`.
std::string_view statusWord(workflows::Language language, CheckStatus status);

}  // namespace emberline::diagnosis
