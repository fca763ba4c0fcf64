// Encoded header words under every locale's charset and all three encoding
// letters: no encoded word is longer than 75 characters, and decoding the
// words gives back the text (after the ISO-2022-JP conversion where the
// locale asks for it: the same characters, each word switching modes itself).

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "coders/EncodedWords.h"
#include "platform/SystemLocale.h"
#include "support/FuzzSupport.h"

using namespace quillet;
using quillet::fuzz::InputReader;

namespace {

// One locale per charset choice and per ANSI code page.
constexpr const char* kLocales[] = {
    "C",          "en_US.UTF-8", "ru_RU.UTF-8", "pl_PL",      "el_GR",     "tr_TR",
    "he_IL",      "ar_EG",       "et_EE",       "vi_VN",      "th_TH",     "ja_JP.UTF-8",
    "zh_CN.UTF-8", "zh_TW",      "zh_HK",       "ko_KR.EUC-KR", "sr_RS@latin", "uk_UA",
};

constexpr char kLetters[] = {'Q', 'q', 'B', 'b', '8'};

constexpr size_t kMaxWord = 75;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  InputReader input(data, size);
  const uint8_t choice = input.Byte();
  const char* locale = kLocales[choice % std::size(kLocales)];
  const char letter = kLetters[(choice / std::size(kLocales)) % std::size(kLetters)];
  const bool displayName = input.Byte() & 1;
  const std::string text(input.Rest());

  ScopedSystemLocale scoped(locale);
  const HeaderEncodingSettings settings = ChooseHeaderCharset();
  const std::string_view extras = displayName ? kRfc822Specials : std::string_view();
  const std::string encoded =
      EncodeWords(text, extras, letter, settings.VTransferHeader, settings.VCharSet);

  const std::string expected = settings.VTransferHeader == TTransfer::iso2022jp
                                   ? ConvertToIso2022Jp(text)
                                   : text;
  if (letter == '8') {
    FUZZ_CHECK(encoded == expected, text);
    return 0;
  }
  // Plain text that already looks like an encoded word cannot be told apart.
  if (expected.find("=?") != std::string::npos) return 0;

  std::string decoded;
  std::vector<std::string> words;
  FUZZ_CHECK(quillet::fuzz::DecodeEncodedWords(encoded, settings.VCharSet, letter, decoded, words),
             encoded);
  for (const std::string& word : words) FUZZ_CHECK(word.size() <= kMaxWord, word);
  if (settings.VTransferHeader == TTransfer::iso2022jp) {
    // Each word stands alone in ISO-2022-JP (RFC 1468): it switches modes
    // itself and ends in ASCII, so compare the characters, not the switches.
    // An ESC typed into Shift_JIS text has no meaning there and is not kept.
    if (text.find('\x1B') != std::string::npos) return 0;
    FUZZ_CHECK(quillet::fuzz::CanonicalIso2022Jp(decoded) ==
                   quillet::fuzz::CanonicalIso2022Jp(expected),
               encoded);
  } else {
    FUZZ_CHECK(decoded == expected, encoded);
  }
  // Nothing outside the encoded words needs encoding.
  std::string plain = encoded;
  for (const std::string& word : words) plain.replace(plain.find(word), word.size(), "");
  for (const char c : plain) {
    const auto byte = static_cast<unsigned char>(c);
    const bool blank = byte == ' ' || byte == '\t' || byte == '\r' || byte == '\n';
    FUZZ_CHECK(blank || (byte > 31 && byte < 127 && extras.find(c) == std::string_view::npos),
               encoded);
  }
  return 0;
}
