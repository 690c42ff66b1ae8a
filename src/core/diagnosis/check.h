#pragma once

// One line of `emberline doctor`: what was checked, how it stands, what was
// found and, when it is not ok, what to do. The texts are in the language the
// checks were run in; the name is a stable identifier for scripts.

#include <string>
#include <string_view>
#include <vector>

namespace emberline::diagnosis {

enum class CheckStatus { Ok, Warning, Failed };

struct Check {
  std::string name;  // "driver", "permission", "flash_part", ...
  CheckStatus status = CheckStatus::Ok;
  std::string found;
  std::string advice;  // empty when there is nothing to do
};

// "ok", "warning", "failed": the JSON words.
std::string_view statusName(CheckStatus status);

// Failed before Warning before Ok.
CheckStatus worst(const std::vector<Check>& checks);

}  // namespace emberline::diagnosis
