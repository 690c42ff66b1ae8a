// The built-in string table and the choice of language.

#include <gmock/gmock.h>

#include <cstdlib>

#include "core/workflows/strings.h"
#include "core/workflows/ui_port.h"
#include "support/environment.h"

namespace emberline::workflows {
namespace {

TEST(Strings, BothLanguagesCarryEveryIdAndNothingElse) {
  for (Language language : {Language::English, Language::SimplifiedChinese}) {
    for (int id = 101; id <= 114; ++id) EXPECT_NE(loadString(language, id), "") << id;
    EXPECT_EQ(loadString(language, 115), "");
  }
  EXPECT_EQ(loadString(Language::English, kStrAbout), "&About Common USB Emberline...");
  EXPECT_EQ(loadString(Language::English, kStrClickGo), "Click 'GO' to start burning...");
  EXPECT_EQ(loadString(Language::English, kStrBurnSucceeded), "Burn Successes!");
  EXPECT_EQ(loadString(Language::SimplifiedChinese, kStrClickGo), "请单击“开始烧录”！");
  EXPECT_EQ(loadString(Language::SimplifiedChinese, kStrNoTask), "没有任务正在运行...");
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
