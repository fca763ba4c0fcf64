#include "support/FuzzSupport.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace quillet::fuzz {

void Fail(const char* property, std::string_view detail) {
  std::fprintf(stderr, "Property failed: %s\n", property);
  if (!detail.empty()) {
    std::fprintf(stderr, "Detail: %.*s\n", static_cast<int>(detail.size()), detail.data());
  }
  std::abort();
}

uint8_t InputReader::Byte() {
  if (rest_.empty()) return 0;
  const auto byte = static_cast<uint8_t>(rest_.front());
  rest_.remove_prefix(1);
  return byte;
}

std::string_view InputReader::Bytes(size_t count) {
  const std::string_view taken = rest_.substr(0, count);
  rest_.remove_prefix(taken.size());
  return taken;
}

namespace {

int Base64Value(char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The text of a Q-encoded word back to its bytes; only upper-case hex digits,
// as the encoder writes them.
bool DecodeQ(std::string_view text, std::string& bytes) {
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '_') {
      bytes += ' ';
    } else if (c == '=') {
      if (i + 2 >= text.size()) return false;
      const int high = HexValue(text[i + 1]);
      const int low = HexValue(text[i + 2]);
      if (high < 0 || low < 0) return false;
      bytes += static_cast<char>(high * 16 + low);
      i += 2;
    } else if (static_cast<unsigned char>(c) <= ' ' || static_cast<unsigned char>(c) >= 127 ||
               c == '?') {
      return false;
    } else {
      bytes += c;
    }
  }
  return true;
}

}  // namespace

bool DecodeBase64(std::string_view text, std::string& bytes) {
  if (text.size() % 4 != 0) return false;
  for (size_t group = 0; group < text.size(); group += 4) {
    const bool last = group + 4 == text.size();
    int values[4];
    int padding = 0;
    for (int k = 0; k < 4; ++k) {
      const char c = text[group + static_cast<size_t>(k)];
      if (c == '=' && last && k >= 2) {
        values[k] = 0;
        ++padding;
        continue;
      }
      if (padding > 0) return false;  // data after padding
      values[k] = Base64Value(c);
      if (values[k] < 0) return false;
    }
    const uint32_t bits = static_cast<uint32_t>(values[0] << 18 | values[1] << 12 |
                                                values[2] << 6 | values[3]);
    bytes += static_cast<char>(bits >> 16);
    if (padding < 2) bytes += static_cast<char>((bits >> 8) & 0xFF);
    if (padding < 1) bytes += static_cast<char>(bits & 0xFF);
  }
  return true;
}

bool DecodeEncodedWords(std::string_view text, std::string_view charset, char letter,
                        std::string& decoded, std::vector<std::string>& words) {
  const std::string begin = "=?" + std::string(charset) + "?" + letter + "?";
  const bool q = letter == 'Q' || letter == 'q';
  constexpr std::string_view kRunJoin = "\r\n\t";
  size_t i = 0;
  while (i < text.size()) {
    if (text.substr(i, begin.size()) != begin) {
      decoded += text[i++];
      continue;
    }
    for (;;) {  // one run of encoded words
      const size_t start = i + begin.size();
      const size_t end = text.find("?=", start);
      if (end == std::string_view::npos) return false;
      words.emplace_back(text.substr(i, end + 2 - i));
      const std::string_view payload = text.substr(start, end - start);
      if (!(q ? DecodeQ(payload, decoded) : DecodeBase64(payload, decoded))) return false;
      i = end + 2;
      if (text.substr(i, kRunJoin.size()) != kRunJoin ||
          text.substr(i + kRunJoin.size(), begin.size()) != begin) {
        break;
      }
      i += kRunJoin.size();
    }
  }
  return true;
}

std::string CanonicalIso2022Jp(std::string_view text) {
  constexpr std::string_view kEnterDoubleByte = "\x1B$B";
  constexpr std::string_view kEnterAscii = "\x1B(B";
  std::string out;
  bool inText = false;  // the mode of the text read
  bool inOut = false;   // the mode written
  for (size_t i = 0; i < text.size();) {
    const std::string_view rest = text.substr(i);
    if (rest.starts_with(kEnterDoubleByte) || rest.starts_with(kEnterAscii)) {
      inText = rest.starts_with(kEnterDoubleByte);
      i += kEnterAscii.size();
      continue;
    }
    if (inText != inOut) {
      out += inText ? kEnterDoubleByte : kEnterAscii;
      inOut = inText;
    }
    const size_t length = inText && rest.size() >= 2 ? 2 : 1;
    out += rest.substr(0, length);
    i += length;
  }
  if (inOut) out += kEnterAscii;
  return out;
}

std::string WithoutBlanks(std::string_view text) {
  std::string out;
  for (const char c : text) {
    if (static_cast<unsigned char>(c) > ' ') out += c;
  }
  return out;
}

const std::string& ScratchFolder() {
  // Never destroyed: the exit handler below still needs it.
  static const std::string& folder = *new std::string([] {
    std::string base = "/dev/shm";
    if (access(base.c_str(), W_OK) != 0) {
      const char* tmp = std::getenv("TMPDIR");
      base = tmp != nullptr && *tmp != '\0' ? tmp : "/tmp";
    }
    std::string pattern = base + "/quillet-fuzz-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) Fail("scratch folder can be made", pattern);
    std::atexit([] {
      std::error_code ignored;
      std::filesystem::remove_all(ScratchFolder(), ignored);
    });
    return pattern;
  }());
  return folder;
}

}  // namespace quillet::fuzz
