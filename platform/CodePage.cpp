#include "platform/CodePage.h"

#include <iconv.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <map>
#include <memory>
#include <utility>

#include "platform/SystemLocale.h"

namespace quillet {

namespace {

constexpr char16_t kQuestionMark = u'?';

const char* Utf16IconvName() {
  return std::endian::native == std::endian::little ? "UTF-16LE" : "UTF-16BE";
}

// glibc's converter names: its CP9xx are the Windows variants (CP932 is
// Windows-31J, CP949 is the unified Hangul code, CP936 is GBK).
std::string IconvName(int codePage) { return "CP" + std::to_string(codePage); }

struct IconvCloser {
  void operator()(void* handle) const { iconv_close(static_cast<iconv_t>(handle)); }
};
using IconvHandle = std::unique_ptr<void, IconvCloser>;

// Opening a converter is costly; each thread keeps its own, as a converter
// holds state and may not be shared.
// A code page iconv does not know is read as Latin-1, which keeps every byte.
iconv_t Converter(const std::string& to, const std::string& from) {
  thread_local std::map<std::pair<std::string, std::string>, IconvHandle> cache;
  auto key = std::make_pair(to, from);
  auto found = cache.find(key);
  if (found == cache.end()) {
    iconv_t handle = iconv_open(to.c_str(), from.c_str());
    if (handle == reinterpret_cast<iconv_t>(-1)) {
      bool toUtf16 = to.starts_with("UTF-16");
      handle = iconv_open(toUtf16 ? to.c_str() : "ISO-8859-1", toUtf16 ? "ISO-8859-1" : from.c_str());
    }
    if (handle == reinterpret_cast<iconv_t>(-1)) return handle;
    found = cache.emplace(key, IconvHandle(handle)).first;
  }
  iconv(static_cast<iconv_t>(found->second.get()), nullptr, nullptr, nullptr, nullptr);
  return static_cast<iconv_t>(found->second.get());
}

bool IsHighSurrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(char16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

// Runs the converter over the whole input. Where it stops at input it cannot
// take, the replacement goes out and skipLength(position) input bytes are
// passed over; the input is always consumed to its end.
template <class Output, class SkipLength>
Output ConvertAll(iconv_t handle, std::string_view input, std::string_view replacement,
                  SkipLength skipLength) {
  Output output;
  if (handle == reinterpret_cast<iconv_t>(-1)) return output;
  using Unit = typename Output::value_type;
  char* in = const_cast<char*>(input.data());
  size_t inLeft = input.size();
  char buffer[4096];
  auto append = [&output](const char* bytes, size_t count) {
    output.append(reinterpret_cast<const Unit*>(bytes), count / sizeof(Unit));
  };
  // Some converters hold back a character to combine it with marks after it.
  auto flush = [&] {
    char* out = buffer;
    size_t outLeft = sizeof buffer;
    iconv(handle, nullptr, nullptr, &out, &outLeft);
    append(buffer, out - buffer);
  };
  while (inLeft > 0) {
    char* out = buffer;
    size_t outLeft = sizeof buffer;
    size_t result = iconv(handle, &in, &inLeft, &out, &outLeft);
    append(buffer, out - buffer);
    if (result != static_cast<size_t>(-1) || errno == E2BIG) continue;
    // EILSEQ or EINVAL: an unmappable character, bad bytes or a cut-off end.
    flush();
    append(replacement.data(), replacement.size());
    size_t skip = std::min(inLeft, std::max<size_t>(1, skipLength(input.size() - inLeft)));
    in += skip;
    inLeft -= skip;
  }
  flush();
  return output;
}

std::string_view AsBytes(std::u16string_view text) {
  return {reinterpret_cast<const char*>(text.data()), text.size() * sizeof(char16_t)};
}

// Decodes UTF-8 by hand so that every ill-formed byte becomes one "?".
std::u16string Utf8ToUtf16(std::string_view utf8) {
  std::u16string text;
  text.reserve(utf8.size());
  size_t i = 0;
  while (i < utf8.size()) {
    unsigned char lead = utf8[i];
    int length = lead < 0x80 ? 1 : lead >= 0xC2 && lead <= 0xDF ? 2 : lead >= 0xE0 && lead <= 0xEF ? 3
                 : lead >= 0xF0 && lead <= 0xF4                 ? 4
                                                                : 0;
    char32_t code = length == 1 ? lead : length == 2 ? lead & 0x1F : length == 3 ? lead & 0x0F : lead & 0x07;
    bool valid = length > 0 && i + length <= utf8.size();
    for (int k = 1; valid && k < length; ++k) {
      unsigned char trail = utf8[i + k];
      valid = (trail & 0xC0) == 0x80;
      code = (code << 6) | (trail & 0x3F);
    }
    // Overlong forms, surrogates and values past U+10FFFF are ill-formed.
    if (valid && ((length == 3 && (code < 0x800 || (code >= 0xD800 && code <= 0xDFFF))) ||
                  (length == 4 && (code < 0x10000 || code > 0x10FFFF)))) {
      valid = false;
    }
    if (!valid) {
      text.push_back(kQuestionMark);
      ++i;
      continue;
    }
    if (code >= 0x10000) {
      text.push_back(static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10)));
      text.push_back(static_cast<char16_t>(0xDC00 + ((code - 0x10000) & 0x3FF)));
    } else {
      text.push_back(static_cast<char16_t>(code));
    }
    i += length;
  }
  return text;
}

std::string Utf16ToUtf8(std::u16string_view text) {
  std::string utf8;
  utf8.reserve(text.size() * 2);
  for (size_t i = 0; i < text.size(); ++i) {
    char32_t code = text[i];
    if (IsHighSurrogate(text[i]) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
      code = 0x10000 + ((code - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (IsHighSurrogate(text[i]) || IsLowSurrogate(text[i])) {
      code = kQuestionMark;
    }
    if (code < 0x80) {
      utf8 += static_cast<char>(code);
    } else if (code < 0x800) {
      utf8 += static_cast<char>(0xC0 | (code >> 6));
      utf8 += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
      utf8 += static_cast<char>(0xE0 | (code >> 12));
      utf8 += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      utf8 += static_cast<char>(0x80 | (code & 0x3F));
    } else {
      utf8 += static_cast<char>(0xF0 | (code >> 18));
      utf8 += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
      utf8 += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      utf8 += static_cast<char>(0x80 | (code & 0x3F));
    }
  }
  return utf8;
}

}  // namespace

std::string CodePageMimeName(int codePage) {
  switch (codePage) {
    case 874:
      return "windows-874";
    case 932:
      return "Shift_JIS";
    case 936:
      return "GB2312";
    case 949:
      return "ks_c_5601-1987";
    case 950:
      return "Big5";
    default:
      return "windows-" + std::to_string(codePage);
  }
}

bool IsLeadByte(int codePage, unsigned char byte) {
  switch (codePage) {
    case 932:
      return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
    case 936:
    case 949:
    case 950:
      return byte >= 0x81 && byte <= 0xFE;
    default:
      return false;
  }
}

bool IsAnsiLeadByte(unsigned char byte) { return IsLeadByte(AnsiCodePage(), byte); }

std::u16string CodePageToUtf16(std::string_view bytes, int codePage) {
  iconv_t handle = Converter(Utf16IconvName(), IconvName(codePage));
  std::u16string question(1, kQuestionMark);
  // A bad lead byte goes alone, so that the byte after it is read afresh.
  return ConvertAll<std::u16string>(handle, bytes, AsBytes(question), [](size_t) { return 1; });
}

std::string Utf16ToCodePage(std::u16string_view text, int codePage) {
  iconv_t handle = Converter(IconvName(codePage), Utf16IconvName());
  // A character outside the basic plane takes two code units and gives one "?".
  auto skipLength = [text](size_t byteOffset) -> size_t {
    size_t unit = byteOffset / sizeof(char16_t);
    bool pair = unit + 1 < text.size() && IsHighSurrogate(text[unit]) && IsLowSurrogate(text[unit + 1]);
    return (pair ? 2 : 1) * sizeof(char16_t);
  };
  return ConvertAll<std::string>(handle, AsBytes(text), "?", skipLength);
}

std::u16string AnsiToUtf16(std::string_view bytes) { return CodePageToUtf16(bytes, AnsiCodePage()); }

std::string Utf16ToAnsi(std::u16string_view text) { return Utf16ToCodePage(text, AnsiCodePage()); }

std::string AnsiToUtf8(std::string_view bytes) { return Utf16ToUtf8(AnsiToUtf16(bytes)); }

std::string Utf8ToAnsi(std::string_view utf8) { return Utf16ToAnsi(Utf8ToUtf16(utf8)); }

}  // namespace quillet
