#include "platform/user_language.h"

namespace emberline::platform {

std::optional<std::string> userInterfaceLocale() { return std::nullopt; }

}  // namespace emberline::platform
