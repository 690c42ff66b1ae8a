#include <windows.h>

#include "platform/user_language.h"

namespace emberline::platform {

std::optional<std::string> userInterfaceLocale() {
  switch (::GetUserDefaultUILanguage()) {
    case 0x0804: return "zh_CN";  // Chinese (Simplified, PRC)
    case 0x1004: return "zh_SG";  // Chinese (Simplified, Singapore)
    default: return "en_US";
  }
}

}  // namespace emberline::platform
