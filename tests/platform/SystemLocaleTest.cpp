#include "platform/SystemLocale.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace quillet {
namespace {

struct LocaleRow {
  std::string rowName;
  std::string posixName;
  int primaryLanguage;
  int subLanguage;
  int ansiCodePage;
};

class LocaleFromNameTest : public testing::TestWithParam<LocaleRow> {};

TEST_P(LocaleFromNameTest, GivesWindowsLanguageAndCodePage) {
  const LocaleRow& row = GetParam();
  LocaleIdentity identity = LocaleFromName(row.posixName);
  EXPECT_EQ(identity.primaryLanguage, row.primaryLanguage);
  EXPECT_EQ(identity.subLanguage, row.subLanguage);
  EXPECT_EQ(identity.ansiCodePage, row.ansiCodePage);
}

INSTANTIATE_TEST_SUITE_P(
    Names, LocaleFromNameTest,
    testing::Values(LocaleRow{"Russian", "ru_RU.UTF-8", 25, 1, 1251},
                    LocaleRow{"UkrainianWithModifier", "uk_UA.UTF-8@euro", 34, 1, 1251},
                    LocaleRow{"Belarusian", "be_BY", 35, 1, 1251},
                    LocaleRow{"Bulgarian", "bg_BG.CP1251", 2, 1, 1251},
                    LocaleRow{"SerbianCyrillic", "sr_RS.UTF-8", 26, 3, 1251},
                    LocaleRow{"SerbianLatin", "sr_RS.UTF-8@latin", 26, 2, 1250},
                    LocaleRow{"Macedonian", "mk_MK", 47, 1, 1251},
                    LocaleRow{"Czech", "cs_CZ.UTF-8", 5, 1, 1250},
                    LocaleRow{"Polish", "pl_PL", 21, 1, 1250},
                    LocaleRow{"Hungarian", "hu_HU", 14, 1, 1250},
                    LocaleRow{"Slovak", "sk_SK", 27, 1, 1250},
                    LocaleRow{"Slovenian", "sl_SI", 36, 1, 1250},
                    LocaleRow{"Croatian", "hr_HR", 26, 1, 1250},
                    LocaleRow{"Romanian", "ro_RO", 24, 1, 1250},
                    LocaleRow{"Greek", "el_GR.UTF-8", 8, 1, 1253},
                    LocaleRow{"Turkish", "tr_TR", 31, 1, 1254},
                    LocaleRow{"Hebrew", "he_IL", 13, 1, 1255},
                    LocaleRow{"Arabic", "ar_EG", 1, 1, 1256},
                    LocaleRow{"Lithuanian", "lt_LT", 39, 1, 1257},
                    LocaleRow{"Latvian", "lv_LV", 38, 1, 1257},
                    LocaleRow{"Estonian", "et_EE", 37, 1, 1257},
                    LocaleRow{"Vietnamese", "vi_VN", 42, 1, 1258},
                    LocaleRow{"Thai", "th_TH.UTF-8", 30, 1, 874},
                    LocaleRow{"Japanese", "ja_JP.UTF-8", 17, 1, 932},
                    LocaleRow{"ChineseMainland", "zh_CN.UTF-8", 4, 2, 936},
                    LocaleRow{"ChineseSingapore", "zh_SG", 4, 4, 936},
                    LocaleRow{"ChineseTaiwan", "zh_TW.UTF-8", 4, 1, 950},
                    LocaleRow{"ChineseHongKong", "zh_HK", 4, 3, 950},
                    LocaleRow{"Korean", "ko_KR.EUC-KR", 18, 1, 949},
                    LocaleRow{"EnglishUS", "en_US.UTF-8", 9, 1, 1252},
                    LocaleRow{"EnglishGB", "en_GB", 9, 2, 1252},
                    LocaleRow{"German", "de_DE", 7, 1, 1252},
                    LocaleRow{"C", "C", 9, 1, 1252},
                    LocaleRow{"CUtf8", "C.UTF-8", 9, 1, 1252},
                    LocaleRow{"Posix", "POSIX", 9, 1, 1252},
                    LocaleRow{"Empty", "", 9, 1, 1252},
                    LocaleRow{"Unknown", "xx_YY", 9, 1, 1252}),
    [](const testing::TestParamInfo<LocaleRow>& info) { return info.param.rowName; });

// Sets or clears an environment variable for one scope.
class ScopedEnvironment {
 public:
  ScopedEnvironment(const char* name, const char* value) : name_(name) {
    const char* old = std::getenv(name);
    hadOld_ = old != nullptr;
    if (hadOld_) old_ = old;
    if (value != nullptr) {
      setenv(name, value, 1);
    } else {
      unsetenv(name);
    }
  }
  ~ScopedEnvironment() {
    if (hadOld_) {
      setenv(name_, old_.c_str(), 1);
    } else {
      unsetenv(name_);
    }
  }

 private:
  const char* name_;
  bool hadOld_;
  std::string old_;
};

TEST(SystemLocaleTest, TakesLcAllThenLcCtypeThenLang) {
  ScopedEnvironment lang("LANG", "ja_JP.UTF-8");
  {
    ScopedEnvironment ctype("LC_CTYPE", "ru_RU.UTF-8");
    {
      ScopedEnvironment all("LC_ALL", "pl_PL.UTF-8");
      EXPECT_EQ(AnsiCodePage(), 1250);
    }
    ScopedEnvironment emptyAll("LC_ALL", "");
    EXPECT_EQ(AnsiCodePage(), 1251);
  }
  ScopedEnvironment all("LC_ALL", nullptr);
  ScopedEnvironment ctype("LC_CTYPE", nullptr);
  EXPECT_EQ(AnsiCodePage(), 932);
  EXPECT_EQ(SystemLocale().primaryLanguage, 17);
}

TEST(SystemLocaleTest, ScopesOverrideTheEnvironmentAndNestedOnesRestore) {
  ScopedEnvironment all("LC_ALL", "C");
  {
    ScopedSystemLocale outer("ru_RU.UTF-8");
    EXPECT_EQ(AnsiCodePage(), 1251);
    {
      ScopedSystemLocale inner("zh_TW.UTF-8");
      EXPECT_EQ(AnsiCodePage(), 950);
      EXPECT_EQ(SystemLocale().subLanguage, 1);
    }
    EXPECT_EQ(AnsiCodePage(), 1251);
  }
  EXPECT_EQ(AnsiCodePage(), 1252);
}

}  // namespace
}  // namespace quillet
