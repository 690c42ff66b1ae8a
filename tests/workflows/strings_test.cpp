// The built-in string table and the choice of language.

#include <gmock/gmock.h>

#include <cstdlib>

#include "core/workflows/strings.h"
#include "core/workflows/ui_port.h"
#include "support/environment.h"

namespace emberline::workflows {
namespace {

// The string table as the resources have it, both languages.
struct StringRow {
  int id;
  const char* english;
  const char* chinese;  // nullptr: not checked here
};
constexpr StringRow kStringRows[] = {
    {101, "&About Common USB Emberline...", nullptr},
    {102, "Burn", "烧录"},
    {103, "Auxiliary Function", "辅助功能"},
    {104, "No Task is Running...", "没有任务正在运行..."},
    {105, "Click 'GO' to start burning...", "请单击“开始烧录”！"},
    {106, "Burning...", "烧录中..."},
    {107, "Burn Successes!", "烧录成功！"},
    {108, "Burn Failed!", "烧录失败！"},
    {109, "Erasing...", "擦除中..."},
    {110, "Flash Erase Successes!", "擦除成功！"},
    {111, "Flash Erase Failed!", "擦除失败！"},
    {112, "Exporting...", "正在导出..."},
    {113, "Export Rom Successes!", "导出成功！"},
    {114, "Export Failed!", "导出失败！"},
};

TEST(Strings, BothLanguagesCarryEveryIdAndNothingElse) {
  for (const auto& row : kStringRows) {
    EXPECT_EQ(loadString(Language::English, row.id), row.english) << row.id;
    if (row.chinese != nullptr) {
      EXPECT_EQ(loadString(Language::SimplifiedChinese, row.id), row.chinese) << row.id;
    }
  }
  EXPECT_NE(loadString(Language::SimplifiedChinese, 101), "");
  for (Language language : {Language::English, Language::SimplifiedChinese}) {
    EXPECT_EQ(loadString(language, 100), "");
    EXPECT_EQ(loadString(language, 115), "");
  }
  EXPECT_EQ(parseLanguage("zh-CN"), Language::SimplifiedChinese);
  EXPECT_EQ(parseLanguage("fr"), std::nullopt);
}

TEST(Strings, LanguageFromTheLocaleVariablesInPosixOrderThenTheSystems) {
  const struct {
    const char* lc_all;
    const char* lc_messages;
    const char* lang;
    const char* system;
    Language expected;
  } cases[] = {
      {nullptr, nullptr, "zh_CN.UTF-8", "", Language::SimplifiedChinese},
      {nullptr, nullptr, "zh_SG", "", Language::SimplifiedChinese},
      {nullptr, nullptr, "zh_TW.UTF-8", "", Language::English},
      {nullptr, "en_US.UTF-8", "zh_CN.UTF-8", "", Language::English},
      {"zh_CN.GB18030", "en_US.UTF-8", nullptr, "", Language::SimplifiedChinese},
      {"", nullptr, "zh_CN", "", Language::SimplifiedChinese},
      // Nothing set (the usual case on Windows): the system's language decides.
      {nullptr, nullptr, nullptr, "zh_CN", Language::SimplifiedChinese},
      {nullptr, nullptr, nullptr, "en_US", Language::English},
      {nullptr, nullptr, nullptr, "", Language::English},
      {nullptr, nullptr, "en_GB", "zh_CN", Language::English},
  };
  for (const auto& c : cases) {
    for (auto [name, value] : {std::pair{"LC_ALL", c.lc_all}, {"LC_MESSAGES", c.lc_messages}, {"LANG", c.lang}}) {
      test::setEnvironment(name, value);
    }
    EXPECT_EQ(languageFromEnvironment(c.system), c.expected)
        << (c.lang ? c.lang : "-") << " / " << c.system;
  }
}

}  // namespace
}  // namespace emberline::workflows
