#include "platform/SystemLocale.h"

#include <cstdlib>
#include <mutex>
#include <optional>
#include <string_view>

#include "platform/TextUtils.h"

namespace quillet {

namespace {

// Windows primary-language numbers of the languages we tell apart.
struct LanguageRow {
  std::string_view isoCode;
  int primaryLanguage;
  int ansiCodePage;
};

constexpr LanguageRow kLanguages[] = {
    {"ar", 1, 1256},  {"bg", 2, 1251},  {"ca", 3, 1252},  {"zh", 4, 936},   {"cs", 5, 1250},
    {"da", 6, 1252},  {"de", 7, 1252},  {"el", 8, 1253},  {"en", 9, 1252},  {"es", 10, 1252},
    {"fi", 11, 1252}, {"fr", 12, 1252}, {"he", 13, 1255}, {"iw", 13, 1255}, {"hu", 14, 1250},
    {"is", 15, 1252}, {"it", 16, 1252}, {"ja", 17, 932},  {"ko", 18, 949},  {"nl", 19, 1252},
    {"nb", 20, 1252}, {"nn", 20, 1252}, {"no", 20, 1252}, {"pl", 21, 1250}, {"pt", 22, 1252},
    {"ro", 24, 1250}, {"ru", 25, 1251}, {"hr", 26, 1250}, {"sr", 26, 1251}, {"bs", 26, 1250},
    {"sk", 27, 1250}, {"sq", 28, 1250}, {"sv", 29, 1252}, {"th", 30, 874},  {"tr", 31, 1254},
    {"ur", 32, 1256}, {"id", 33, 1252}, {"uk", 34, 1251}, {"be", 35, 1251}, {"sl", 36, 1250},
    {"et", 37, 1257}, {"lv", 38, 1257}, {"lt", 39, 1257}, {"tg", 40, 1251}, {"fa", 41, 1256},
    {"vi", 42, 1258}, {"hy", 43, 1252}, {"az", 44, 1254}, {"eu", 45, 1252}, {"mk", 47, 1251},
    {"af", 54, 1252}, {"ka", 55, 1252}, {"fo", 56, 1252}, {"hi", 57, 1252}, {"ms", 62, 1252},
    {"kk", 63, 1251}, {"ky", 64, 1251}, {"sw", 65, 1252}, {"uz", 67, 1254}, {"tt", 68, 1251},
    {"mn", 80, 1251}, {"cy", 82, 1252}, {"gl", 86, 1252},
};

// Sub-languages that depend on the country; every other pair has sub-language 1.
struct CountryRow {
  std::string_view isoCode;
  std::string_view country;
  int subLanguage;
  int ansiCodePage;
};

constexpr CountryRow kCountries[] = {
    {"zh", "TW", 1, 950}, {"zh", "CN", 2, 936}, {"zh", "HK", 3, 950}, {"zh", "SG", 4, 936},
    {"zh", "MO", 5, 950}, {"en", "US", 1, 1252}, {"en", "GB", 2, 1252}, {"en", "AU", 3, 1252},
    {"en", "CA", 4, 1252}, {"en", "NZ", 5, 1252}, {"en", "IE", 6, 1252}, {"en", "ZA", 7, 1252},
    {"hr", "HR", 1, 1250}, {"bs", "BA", 5, 1250},
};

// Chinese without a country is taken as simplified, as the mainland's default.
constexpr int kChineseSimplified = 2;
// Serbian is written in Cyrillic unless the locale asks for Latin letters.
constexpr int kSerbianCyrillic = 3;
constexpr int kSerbianLatin = 2;

struct LocaleNameParts {
  std::string language;
  std::string country;
  std::string modifier;
};

// "ll_CC.charset@modifier", each part after the language optional.
LocaleNameParts SplitLocaleName(std::string_view name) {
  LocaleNameParts parts;
  size_t at = name.find('@');
  if (at != std::string_view::npos) {
    parts.modifier = LowerCaseAscii(name.substr(at + 1));
    name = name.substr(0, at);
  }
  name = name.substr(0, name.find('.'));
  size_t underscore = name.find('_');
  parts.language = LowerCaseAscii(name.substr(0, underscore));
  if (underscore != std::string_view::npos) parts.country = UpperCaseAscii(name.substr(underscore + 1));
  return parts;
}

std::mutex overrideMutex;
std::optional<LocaleIdentity> localeOverride;

std::string EnvironmentLocaleName() {
  for (const char* variable : {"LC_ALL", "LC_CTYPE", "LANG"}) {
    const char* value = std::getenv(variable);
    if (value != nullptr && *value != '\0') return value;
  }
  return "C";
}

}  // namespace

LocaleIdentity LocaleFromName(const std::string& posixName) {
  LocaleNameParts parts = SplitLocaleName(posixName);
  LocaleIdentity identity;
  for (const LanguageRow& row : kLanguages) {
    if (row.isoCode != parts.language) continue;
    identity.primaryLanguage = row.primaryLanguage;
    identity.subLanguage = 1;
    identity.ansiCodePage = row.ansiCodePage;
    break;
  }
  if (parts.language == "zh") identity.subLanguage = kChineseSimplified;
  if (parts.language == "sr") {
    bool latin = parts.modifier == "latin";
    identity.subLanguage = latin ? kSerbianLatin : kSerbianCyrillic;
    identity.ansiCodePage = latin ? 1250 : 1251;
  }
  for (const CountryRow& row : kCountries) {
    if (row.isoCode != parts.language || row.country != parts.country) continue;
    identity.subLanguage = row.subLanguage;
    identity.ansiCodePage = row.ansiCodePage;
    break;
  }
  return identity;
}

LocaleIdentity SystemLocale() {
  {
    std::lock_guard lock(overrideMutex);
    if (localeOverride) return *localeOverride;
  }
  return LocaleFromName(EnvironmentLocaleName());
}

int AnsiCodePage() { return SystemLocale().ansiCodePage; }

ScopedSystemLocale::ScopedSystemLocale(const std::string& posixName) {
  LocaleIdentity identity = LocaleFromName(posixName);
  std::lock_guard lock(overrideMutex);
  hadPrevious_ = localeOverride.has_value();
  if (hadPrevious_) previous_ = *localeOverride;
  localeOverride = identity;
}

ScopedSystemLocale::~ScopedSystemLocale() {
  std::lock_guard lock(overrideMutex);
  if (hadPrevious_) {
    localeOverride = previous_;
  } else {
    localeOverride.reset();
  }
}

}  // namespace quillet
