// The editor's conversions between the ANSI code page and UTF-8: any bytes
// convert without failing either way, and for a single-byte code page every
// text of its characters comes back from UTF-8 as the same text.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "app/LetterConversions.h"
#include "platform/CodePage.h"
#include "platform/SystemLocale.h"
#include "support/FuzzSupport.h"

using namespace quillet;
using quillet::fuzz::InputReader;

namespace {

struct Locale {
  const char* name;
  bool singleByte;
};

constexpr Locale kLocales[] = {
    {"en_US", true}, {"pl_PL", true}, {"ru_RU", true},  {"el_GR", true},  {"tr_TR", true},
    {"he_IL", true}, {"ar_EG", true}, {"et_EE", true},  {"vi_VN", true},  {"th_TH", true},
    {"ja_JP", false}, {"zh_CN", false}, {"zh_TW", false}, {"ko_KR", false},
};

// Bytes that are characters of the code page; the others have no Unicode
// counterpart and come back as "?".
std::array<bool, 256> DefinedBytes(int codePage) {
  std::array<bool, 256> defined{};
  for (int b = 0; b < 256; ++b) {
    const std::string byte(1, static_cast<char>(b));
    defined[static_cast<size_t>(b)] = b == '?' || CodePageToUtf16(byte, codePage) != u"?";
  }
  return defined;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  InputReader input(data, size);
  const Locale& locale = kLocales[input.Byte() % std::size(kLocales)];
  const std::string text(input.Rest());
  ScopedSystemLocale scoped(locale.name);

  (void)Utf8BytesToAnsi(text);
  const std::string utf8 = AnsiToUtf8Bytes(text);
  if (!locale.singleByte) return 0;

  static std::array<std::array<bool, 256>, std::size(kLocales)> defined{};
  static std::array<bool, std::size(kLocales)> known{};
  const size_t index = static_cast<size_t>(&locale - kLocales);
  if (!known[index]) {
    defined[index] = DefinedBytes(AnsiCodePage());
    known[index] = true;
  }
  for (const char c : text) {
    if (!defined[index][static_cast<unsigned char>(c)]) return 0;
  }
  const std::string back = Utf8BytesToAnsi(utf8);
  // Code page 1258 writes Vietnamese letters either precomposed or with a
  // combining mark; the conversion may bring back the other spelling of the
  // same text.
  const bool sameText =
      back == text || (AnsiCodePage() == 1258 && AnsiToUtf16(back) == AnsiToUtf16(text));
  FUZZ_CHECK(sameText, locale.name);
  return 0;
}
