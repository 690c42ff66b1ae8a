// The built-in string table and the choice of language.

#include <gmock/gmock.h>

#include <cstdlib>

#include "core/workflows/strings.h"
#include "core/workflows/ui_port.h"

namespace emberline::workflows {
namespace {

TEST(Strings, BothLanguagesCarryEveryIdAndNothingElse) {
  for (Language language : {Language::English, Language::SimplifiedChinese}) {
    for (int id = 101; id <= 114; ++id) EXPECT_FALSE(loadString(language, id).empty()) << id;
    EXPECT_TRUE(loadString(language, 100).empty());
    EXPECT_TRUE(loadString(language, 115).empty());
  }
  EXPECT_EQ(loadString(Language::English, kStrAbout), "&About Common USB Emberline...");
  EXPECT_EQ(loadString(Language::English, kStrClickGo), "Click 'GO' to start burning...");
  EXPECT_EQ(loadString(Language::English, kStrBurnSucceeded), "Burn Successes!");
  EXPECT_EQ(loadString(Language::English, kStrExportFailed), "Export Failed!");
  EXPECT_EQ(loadString(Language::SimplifiedChinese, kStrClickGo), "请单击“开始烧录”！");
  EXPECT_EQ(loadString(Language::SimplifiedChinese, kStrTabAuxiliary), "辅助功能");
  EXPECT_EQ(loadString(Language::SimplifiedChinese, kStrNoTask), "没有任务正在运行...");
}

TEST(Strings, LanguageNames) {
  EXPECT_EQ(parseLanguage("en"), Language::English);
  for (const char* name : {"zh_CN", "zh", "zh-CN"}) EXPECT_EQ(parseLanguage(name), Language::SimplifiedChinese);
  EXPECT_EQ(parseLanguage("fr"), std::nullopt);
  EXPECT_EQ(parseLanguage(""), std::nullopt);
}

TEST(Strings, LanguageFromTheLocaleVariablesInPosixOrder) {
  const struct {
    const char* lc_all;
    const char* lc_messages;
    const char* lang;
    Language expected;
  } cases[] = {
      {nullptr, nullptr, "zh_CN.UTF-8", Language::SimplifiedChinese},
      {nullptr, nullptr, "zh_SG", Language::SimplifiedChinese},
      {nullptr, nullptr, "zh_TW.UTF-8", Language::English},
      {nullptr, "en_US.UTF-8", "zh_CN.UTF-8", Language::English},
      {"zh_CN.GB18030", "en_US.UTF-8", nullptr, Language::SimplifiedChinese},
      {"", nullptr, "zh_CN", Language::SimplifiedChinese},
      {nullptr, nullptr, nullptr, Language::English},
  };
  const auto set = [](const char* name, const char* value) {
    if (value == nullptr) {
      unsetenv(name);
    } else {
      setenv(name, value, 1);
    }
  };
  for (const auto& c : cases) {
    set("LC_ALL", c.lc_all);
    set("LC_MESSAGES", c.lc_messages);
    set("LANG", c.lang);
    EXPECT_EQ(languageFromEnvironment(), c.expected) << (c.lang ? c.lang : "-");
  }
}

}  // namespace
}  // namespace emberline::workflows
