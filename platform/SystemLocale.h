#pragma once
// The system's locale as the rest of the program sees it: the ANSI code page
// and the language numbers, both numbered as Windows numbers them. Taken from
// LC_ALL, else LC_CTYPE, else LANG; tests put another in force with
// ScopedSystemLocale.

#include <string>

namespace quillet {

struct LocaleIdentity {
  int primaryLanguage = 9;  // English
  int subLanguage = 1;
  int ansiCodePage = 1252;
};

// Maps a POSIX locale name ("ru_RU.UTF-8", "zh_CN", "C", ...) to its identity.
LocaleIdentity LocaleFromName(const std::string& posixName);

// The locale in force: the override of the innermost ScopedSystemLocale, else
// the environment's.
LocaleIdentity SystemLocale();
int AnsiCodePage();

class ScopedSystemLocale {
 public:
  explicit ScopedSystemLocale(const std::string& posixName);
  ~ScopedSystemLocale();
  ScopedSystemLocale(const ScopedSystemLocale&) = delete;
  ScopedSystemLocale& operator=(const ScopedSystemLocale&) = delete;

 private:
  bool hadPrevious_;
  LocaleIdentity previous_;
};

}  // namespace quillet
