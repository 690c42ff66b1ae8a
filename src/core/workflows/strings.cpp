#include "core/workflows/strings.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

#include "core/workflows/string_table_data.h"

namespace emberline::workflows {
namespace {

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

// A locale name such as "zh_CN.UTF-8" or "zh_SG@stroke" without its
// encoding and modifier.
std::string_view localeTerritory(std::string_view locale) {
  return locale.substr(0, locale.find_first_of(".@"));
}

}  // namespace

std::string_view loadString(Language language, int id) {
  const auto table = language == Language::SimplifiedChinese ? detail::chineseTable()
                                                             : detail::englishTable();
  const auto it = std::find_if(table.begin(), table.end(),
                               [id](const detail::StringTableEntry& e) { return e.id == id; });
  return it == table.end() ? std::string_view{} : it->text;
}

std::optional<Language> parseLanguage(std::string_view name) {
  if (equalsIgnoringCase(name, "en")) return Language::English;
  for (std::string_view chinese : {"zh_CN", "zh", "zh-CN"}) {
    if (equalsIgnoringCase(name, chinese)) return Language::SimplifiedChinese;
  }
  return std::nullopt;
}

Language languageFromEnvironment(std::string_view system_locale) {
  const auto fromLocale = [](std::string_view locale) {
    const std::string_view territory = localeTerritory(locale);
    return territory == "zh_CN" || territory == "zh_SG" ? Language::SimplifiedChinese
                                                        : Language::English;
  };
  // POSIX precedence: the first of these that is set and not empty decides.
  for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = std::getenv(variable);
    if (value == nullptr || *value == '\0') continue;
    return fromLocale(value);
  }
  return system_locale.empty() ? Language::English : fromLocale(system_locale);
}

}  // namespace emberline::workflows
