#pragma once

// The language the user chose for the system, where the locale environment
// variables do not say it: on Windows they are normally unset.

#include <optional>
#include <string>

namespace emberline::platform {

// A locale name ("zh_CN", "en_US") from the system's user-interface language;
// nullopt where the environment variables are the system's own answer.
std::optional<std::string> userInterfaceLocale();

}  // namespace emberline::platform
