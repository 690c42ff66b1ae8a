#pragma once

// The string table (ids 101-114) in English and Simplified Chinese, built
// into the program from res/strings.*.

#include <optional>
#include <string>
#include <string_view>

namespace emberline::workflows {

enum class Language { English, SimplifiedChinese };

// The text of `id` in `language` (UTF-8); empty when the id is not in the table.
std::string_view loadString(Language language, int id);

// "en" / "zh_CN" (also "zh", "zh-CN"); nullopt for anything else.
std::optional<Language> parseLanguage(std::string_view name);

// From the user's locale (LC_ALL, LC_MESSAGES, LANG; when none is set, the
// `system_locale` the face got from the system, e.g. "zh_CN"): zh_CN and
// zh_SG give Simplified Chinese, everything else English.
Language languageFromEnvironment(std::string_view system_locale = {});

}  // namespace emberline::workflows
