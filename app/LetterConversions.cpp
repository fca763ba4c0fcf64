#include "app/LetterConversions.h"

#include <optional>

#include "platform/CodePage.h"

namespace quillet {

namespace {

bool IsContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// Every code unit encoded on its own, as the editor's conversion always did:
// a surrogate pair becomes two three-byte sequences.
void AppendCodeUnit(std::string& out, char16_t unit) {
  if (unit < 0x80) {
    out += static_cast<char>(unit);
  } else if (unit < 0x800) {
    out += static_cast<char>(0xC0 | (unit >> 6));
    out += static_cast<char>(0x80 | (unit & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (unit >> 12));
    out += static_cast<char>(0x80 | ((unit >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (unit & 0x3F));
  }
}

// Decodes sequences of at most three bytes; any byte of 0x80 or more starts
// one, its bit 0x20 choosing three bytes over two. Nothing on a broken sequence.
std::optional<std::u16string> DecodeCodeUnits(std::string_view bytes) {
  std::u16string units;
  units.reserve(bytes.size());
  size_t i = 0;
  const auto byteAt = [&](size_t index) { return static_cast<unsigned char>(bytes[index]); };
  while (i < bytes.size()) {
    const unsigned char lead = byteAt(i);
    if (lead < 0x80) {
      units += static_cast<char16_t>(lead);
      ++i;
    } else if (lead & 0x20) {
      if (i + 2 >= bytes.size() || !IsContinuation(byteAt(i + 1)) || !IsContinuation(byteAt(i + 2))) {
        return std::nullopt;
      }
      units += static_cast<char16_t>(((lead & 0x0F) << 12) | ((byteAt(i + 1) & 0x3F) << 6) |
                                     (byteAt(i + 2) & 0x3F));
      i += 3;
    } else {
      if (i + 1 >= bytes.size() || !IsContinuation(byteAt(i + 1))) return std::nullopt;
      units += static_cast<char16_t>(((lead & 0x1F) << 6) | (byteAt(i + 1) & 0x3F));
      i += 2;
    }
  }
  return units;
}

}  // namespace

std::string AnsiToUtf8Bytes(std::string_view ansi) {
  std::string utf8;
  utf8.reserve(ansi.size() * 2);
  for (const char16_t unit : AnsiToUtf16(ansi)) AppendCodeUnit(utf8, unit);
  return utf8;
}

std::string Utf8BytesToAnsi(std::string_view bytes) {
  const std::optional<std::u16string> units = DecodeCodeUnits(bytes);
  if (!units) return {};
  return Utf16ToAnsi(*units);
}

}  // namespace quillet
