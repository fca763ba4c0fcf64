#include "platform/TextUtils.h"

#include <algorithm>
#include <limits>

#include "platform/Errors.h"

namespace quillet {

namespace {

bool IsBlankOrControl(char c) { return static_cast<unsigned char>(c) <= 32; }

char UpperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }
char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::string CutToken(std::string& source, std::string_view delimiter) {
  const auto pos = delimiter.empty() ? std::string::npos : source.find(delimiter);
  if (pos == std::string::npos) {
    std::string all = std::move(source);
    source.clear();
    return all;
  }
  std::string before = source.substr(0, pos);
  source.erase(0, pos + delimiter.size());
  return before;
}

std::string TrimLeft(std::string_view text) {
  size_t start = 0;
  while (start < text.size() && IsBlankOrControl(text[start])) ++start;
  return std::string(text.substr(start));
}

std::string TrimRight(std::string_view text) {
  size_t end = text.size();
  while (end > 0 && IsBlankOrControl(text[end - 1])) --end;
  return std::string(text.substr(0, end));
}

std::string Trim(std::string_view text) { return TrimLeft(TrimRight(text)); }

std::string UpperCaseAscii(std::string_view text) {
  std::string result(text);
  for (char& c : result) c = UpperAscii(c);
  return result;
}

std::string LowerCaseAscii(std::string_view text) {
  std::string result(text);
  for (char& c : result) c = LowerAscii(c);
  return result;
}

bool SameTextAscii(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (UpperAscii(a[i]) != UpperAscii(b[i])) return false;
  }
  return true;
}

bool TryStrToInt(std::string_view text, int32_t& value) {
  size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  int base = 10;
  if (i < text.size() && (text[i] == '$' || text[i] == 'x' || text[i] == 'X')) {
    base = 16;
    ++i;
  } else if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
    base = 16;
    i += 2;
  }
  if (i >= text.size()) return false;
  const int64_t limit = negative ? int64_t{1} << 31 : std::numeric_limits<int32_t>::max();
  int64_t magnitude = 0;
  for (; i < text.size(); ++i) {
    const int digit = HexDigitValue(text[i]);
    if (digit < 0 || digit >= base) return false;
    magnitude = magnitude * base + digit;
    if (magnitude > limit) return false;
  }
  value = static_cast<int32_t>(negative ? -magnitude : magnitude);
  return true;
}

int32_t StrToInt(std::string_view text) {
  int32_t value = 0;
  if (!TryStrToInt(text, value)) {
    throw EConvertError("'" + std::string(text) + "' is not a valid integer value");
  }
  return value;
}

StringList SplitLines(std::string_view text, bool stopAtNul) {
  if (stopAtNul) text = text.substr(0, text.find('\0'));
  StringList lines;
  // One count first: a long letter has many lines, and growing the list
  // would copy them all again and again.
  lines.reserve(static_cast<size_t>(std::count(text.begin(), text.end(), '\n')) + 1);
  size_t start = 0;
  while (start < text.size()) {
    const size_t end = text.find_first_of("\r\n", start);
    if (end == std::string_view::npos) {
      lines.emplace_back(text.substr(start));
      break;
    }
    lines.emplace_back(text.substr(start, end - start));
    const bool crLf = text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n';
    start = end + (crLf ? 2 : 1);
  }
  return lines;
}

std::string JoinLines(const StringList& lines) {
  size_t size = 0;
  for (const auto& line : lines) size += line.size() + 2;
  std::string text;
  text.reserve(size);
  for (const auto& line : lines) {
    text += line;
    text += "\r\n";
  }
  return text;
}

}  // namespace quillet
