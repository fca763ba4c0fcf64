#include "coders/EncodedWords.h"

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "coders/Encoder.h"
#include "platform/CodePage.h"
#include "platform/SystemLocale.h"

namespace quillet {

const std::string_view kRfc822Specials = "\"(),.:;<>@[\\]";

namespace {

// RFC 2047 section 2: an encoded word may not be more than 75 characters long.
constexpr size_t kMaxEncodedWordLength = 75;
constexpr std::string_view kEncodedWordEnd = "?=";
constexpr std::string_view kFold = "\r\n\t";

constexpr std::string_view kEnterDoubleByte = "\x1B$B";
constexpr std::string_view kEnterAscii = "\x1B(B";

// Windows numbers of the East Asian languages.
constexpr int kLanguageChinese = 4;
constexpr int kLanguageJapanese = 17;
constexpr int kLanguageKorean = 18;
constexpr int kSubLanguageChineseSimplified = 2;
constexpr int kSubLanguageChineseSingapore = 4;

using ByteSet = std::array<bool, 256>;

bool IsWhiteSpace(unsigned char byte) { return byte == 9 || byte == 10 || byte == 13 || byte == 32; }

ByteSet MustEncodeSet(std::string_view extraChars) {
  ByteSet set{};
  for (int byte = 0; byte < 256; ++byte) set[byte] = byte < 32 || byte >= 127;
  for (unsigned char extra : extraChars) set[extra] = true;
  return set;
}

ByteSet MustEscapeSet(std::string_view extraChars) {
  ByteSet set = MustEncodeSet(extraChars);
  set['='] = set['?'] = set['_'] = true;
  return set;
}

// One character of a run; doubleByte marks a JIS X 0208 pair of ISO-2022-JP text.
struct RunCharacter {
  std::string_view bytes;
  bool doubleByte = false;
};

// ISO-2022-JP text as characters, its mode switches dropped: each encoded word
// puts back the switches it needs to stand alone.
std::vector<RunCharacter> SplitIso2022Jp(std::string_view run) {
  std::vector<RunCharacter> characters;
  bool doubleByte = false;
  size_t i = 0;
  while (i < run.size()) {
    std::string_view rest = run.substr(i);
    if (rest.starts_with(kEnterDoubleByte) || rest.starts_with(kEnterAscii)) {
      doubleByte = rest.starts_with(kEnterDoubleByte);
      i += kEnterAscii.size();
      continue;
    }
    size_t length = doubleByte && rest.size() >= 2 ? 2 : 1;
    characters.push_back({rest.substr(0, length), length == 2});
    i += length;
  }
  return characters;
}

// Text of the ANSI code page as characters, a lead byte and its trail together.
std::vector<RunCharacter> SplitCodePageText(std::string_view run, int codePage) {
  std::vector<RunCharacter> characters;
  size_t i = 0;
  while (i < run.size()) {
    size_t length = IsLeadByte(codePage, run[i]) && i + 1 < run.size() ? 2 : 1;
    characters.push_back({run.substr(i, length)});
    i += length;
  }
  return characters;
}

// The bytes one encoded word carries: in ISO-2022-JP it starts and ends in
// ASCII mode (RFC 1468), so no word depends on the one before it.
std::string WordBytes(std::span<const RunCharacter> characters) {
  std::string bytes;
  bool doubleByte = false;
  for (const RunCharacter& character : characters) {
    if (character.doubleByte != doubleByte) {
      bytes += character.doubleByte ? kEnterDoubleByte : kEnterAscii;
      doubleByte = character.doubleByte;
    }
    bytes += character.bytes;
  }
  if (doubleByte) bytes += kEnterAscii;
  return bytes;
}

void AppendQEncoded(std::string& out, std::string_view bytes, const ByteSet& mustEscape) {
  static constexpr char kHexDigits[] = "0123456789ABCDEF";
  for (unsigned char byte : bytes) {
    if (byte == ' ') {
      out += '_';
    } else if (mustEscape[byte]) {
      out += '=';
      out += kHexDigits[byte >> 4];
      out += kHexDigits[byte & 15];
    } else {
      out += static_cast<char>(byte);
    }
  }
}

class RunEncoder {
 public:
  RunEncoder(std::string_view charset, char letter, const ByteSet& mustEscape)
      : begin_("=?" + std::string(charset) + "?" + letter + "?"),
        qEncoding_(letter == 'Q' || letter == 'q'),
        mustEscape_(mustEscape) {}

  // Writes the characters as encoded words of at most 75 characters each,
  // separated by folds, each holding whole characters (RFC 2047 section 5).
  void Write(std::string& out, std::span<const RunCharacter> characters) const {
    size_t first = 0;
    while (first < characters.size()) {
      size_t end = first + 1;
      while (end < characters.size() && Fits(characters.subspan(first, end + 1 - first))) ++end;
      if (first > 0) out += kFold;
      out += begin_;
      AppendEncoded(out, WordBytes(characters.subspan(first, end - first)));
      out += kEncodedWordEnd;
      first = end;
    }
  }

 private:
  bool Fits(std::span<const RunCharacter> characters) const {
    std::string encoded;
    AppendEncoded(encoded, WordBytes(characters));
    return begin_.size() + encoded.size() + kEncodedWordEnd.size() <= kMaxEncodedWordLength;
  }

  void AppendEncoded(std::string& out, std::string_view bytes) const {
    if (qEncoding_) {
      AppendQEncoded(out, bytes, mustEscape_);
    } else {
      out += EncodeText<TQlEncoderMIME>(bytes);
    }
  }

  std::string begin_;
  bool qEncoding_;
  const ByteSet& mustEscape_;
};

// Half-width katakana A1 to DF as JIS X 0208 codes.
constexpr std::array<uint16_t, 63> kKatakana = {
    0x2123, 0x2156, 0x2157, 0x2122, 0x2126, 0x2572, 0x2521, 0x2523, 0x2525, 0x2527, 0x2529,
    0x2563, 0x2565, 0x2567, 0x2543, 0x213C, 0x2522, 0x2524, 0x2526, 0x2528, 0x252A, 0x252B,
    0x252D, 0x252F, 0x2531, 0x2533, 0x2535, 0x2537, 0x2539, 0x253B, 0x253D, 0x253F, 0x2541,
    0x2544, 0x2546, 0x2548, 0x254A, 0x254B, 0x254C, 0x254D, 0x254E, 0x254F, 0x2552, 0x2555,
    0x2558, 0x255B, 0x255E, 0x255F, 0x2560, 0x2561, 0x2562, 0x2564, 0x2566, 0x2568, 0x2569,
    0x256A, 0x256B, 0x256C, 0x256D, 0x256F, 0x2573, 0x212B, 0x212C};

// The same katakana followed by the voiced mark DE; 0 where it takes none.
uint16_t VoicedKatakana(unsigned char byte) {
  switch (byte) {
    case 0xB3: return 0x2574;
    case 0xB6: return 0x252C;
    case 0xB7: return 0x252E;
    case 0xB8: return 0x2530;
    case 0xB9: return 0x2532;
    case 0xBA: return 0x2534;
    case 0xBB: return 0x2536;
    case 0xBC: return 0x2538;
    case 0xBD: return 0x253A;
    case 0xBE: return 0x253C;
    case 0xBF: return 0x253E;
    case 0xC0: return 0x2540;
    case 0xC1: return 0x2542;
    case 0xC2: return 0x2545;
    case 0xC3: return 0x2547;
    case 0xC4: return 0x2549;
    case 0xCA: return 0x2550;
    case 0xCB: return 0x2553;
    case 0xCC: return 0x2556;
    case 0xCD: return 0x2559;
    case 0xCE: return 0x255C;
    default: return 0;
  }
}

constexpr unsigned char kVoicedMark = 0xDE;
constexpr unsigned char kSemiVoicedMark = 0xDF;

class Iso2022JpWriter {
 public:
  void Ascii(char byte) {
    if (doubleByte_) {
      out_ += kEnterAscii;
      doubleByte_ = false;
    }
    out_ += byte;
  }

  void Pair(int high, int low) {
    if (!doubleByte_) {
      out_ += kEnterDoubleByte;
      doubleByte_ = true;
    }
    out_ += static_cast<char>(high);
    out_ += static_cast<char>(low);
  }

  std::string Finish() {
    if (doubleByte_) out_ += kEnterAscii;
    return std::move(out_);
  }

 private:
  std::string out_;
  bool doubleByte_ = false;
};

// Returns how many bytes the katakana at position i took, with its mark.
size_t ConvertKatakana(std::string_view text, size_t i, Iso2022JpWriter& writer) {
  auto byte = static_cast<unsigned char>(text[i]);
  uint16_t code = kKatakana[byte - 0xA1];
  uint16_t voiced = VoicedKatakana(byte);
  size_t taken = 1;
  if (i + 1 < text.size()) {
    auto mark = static_cast<unsigned char>(text[i + 1]);
    if (mark == kVoicedMark && voiced != 0) {
      code = voiced;
      taken = 2;
    } else if (mark == kSemiVoicedMark && voiced >= 0x2550 && voiced <= 0x255C) {
      code = voiced + 1;
      taken = 2;
    }
  }
  writer.Pair(code >> 8, code & 0xFF);
  return taken;
}

// Shift_JIS lead and trail to JIS X 0208; false for a trail outside the code.
bool ConvertDoubleByte(unsigned char lead, unsigned char trail, Iso2022JpWriter& writer) {
  int row = lead <= 159 ? 33 + 2 * (lead - 129) : 95 + 2 * (lead - 224);
  if (trail >= 64 && trail <= 126) {
    writer.Pair(row, trail - 31);
  } else if (trail >= 128 && trail <= 158) {
    writer.Pair(row, trail - 32);
  } else if (trail >= 159 && trail <= 252) {
    writer.Pair(row + 1, trail - 126);
  } else {
    return false;
  }
  return true;
}

}  // namespace

HeaderEncodingSettings ChooseHeaderCharset() {
  LocaleIdentity locale = SystemLocale();
  HeaderEncodingSettings settings;
  switch (locale.primaryLanguage) {
    case kLanguageChinese:
      // Singapore writes simplified Chinese, in the same code page as the mainland.
      settings.VCharSet = locale.subLanguage == kSubLanguageChineseSimplified ||
                                  locale.subLanguage == kSubLanguageChineseSingapore
                              ? "GB2312"
                              : "Big5";
      break;
    case kLanguageJapanese:
      settings.VCharSet = "ISO-2022-JP";
      settings.VTransferHeader = TTransfer::iso2022jp;
      break;
    case kLanguageKorean:
      settings.VCharSet = "EUC-KR";
      break;
    default:
      // The header text is in the ANSI code page, so that is the charset to name.
      settings.VCharSet = CodePageMimeName(locale.ansiCodePage);
      settings.VHeaderEncoding = 'Q';
      break;
  }
  return settings;
}

std::string EncodeWords(std::string_view text, std::string_view extraChars, char letter,
                        TTransfer transfer, std::string_view charset) {
  std::string converted;
  if (transfer == TTransfer::iso2022jp) {
    converted = ConvertToIso2022Jp(text);
    text = converted;
  }
  if (letter == '8') return std::string(text);

  const ByteSet mustEncode = MustEncodeSet(extraChars);
  const ByteSet mustEscape = MustEscapeSet(extraChars);
  const RunEncoder encoder(charset, letter, mustEscape);
  const int codePage = AnsiCodePage();
  auto closeRun = [&](std::string& out, std::string_view run) {
    encoder.Write(out, transfer == TTransfer::iso2022jp ? SplitIso2022Jp(run)
                                                       : SplitCodePageText(run, codePage));
  };

  std::string result;
  bool runOpen = false;
  size_t runStart = 0;
  size_t position = 0;
  while (position < text.size()) {
    const size_t gapStart = position;
    while (position < text.size() && IsWhiteSpace(text[position])) ++position;
    const size_t wordStart = position;
    bool needsEncoding = false;
    while (position < text.size() && !IsWhiteSpace(text[position])) {
      needsEncoding = needsEncoding || mustEncode[static_cast<unsigned char>(text[position])];
      ++position;
    }
    if (needsEncoding) {
      if (!runOpen) {
        result += text.substr(gapStart, wordStart - gapStart);
        runOpen = true;
        runStart = wordStart;
      }
      continue;
    }
    if (runOpen) {
      closeRun(result, text.substr(runStart, gapStart - runStart));
      runOpen = false;
    }
    result += text.substr(gapStart, position - gapStart);
  }
  if (runOpen) closeRun(result, text.substr(runStart));
  return result;
}

std::string ConvertToIso2022Jp(std::string_view shiftJis) {
  Iso2022JpWriter writer;
  size_t i = 0;
  while (i < shiftJis.size()) {
    auto byte = static_cast<unsigned char>(shiftJis[i]);
    if (byte < 128) {
      writer.Ascii(shiftJis[i]);
      ++i;
    } else if (byte >= 161 && byte <= 223) {
      i += ConvertKatakana(shiftJis, i, writer);
    } else if ((byte >= 129 && byte <= 159) || (byte >= 224 && byte <= 239)) {
      if (i + 1 < shiftJis.size()) ConvertDoubleByte(byte, shiftJis[i + 1], writer);
      i += 2;
    } else if (byte >= 240 && byte <= 252) {
      i += 2;  // the user-defined area has no JIS code
    } else {
      ++i;  // 128, 160 and 253 to 255 stand for nothing
    }
  }
  return writer.Finish();
}

}  // namespace quillet
