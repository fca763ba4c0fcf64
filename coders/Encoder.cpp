#include "coders/Encoder.h"

#include <algorithm>
#include <limits>

namespace quillet {

const char kBase64Alphabet[65] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

std::string_view ByteStream::Read(size_t count) {
  std::string_view block = bytes_.substr(position_, std::min(count, Remaining()));
  position_ += block.size();
  return block;
}

std::string TQlEncoder::EncodeText(std::string_view text) {
  ByteStream source(text);
  return EncodeFromStream(source, std::numeric_limits<int32_t>::max());
}

std::string TQlEncoder3to4::EncodeFromStream(ByteStream& source, int32_t byteCount) {
  if (byteCount <= 0 || source.Remaining() == 0) return {};
  std::string_view block = source.Read(static_cast<size_t>(byteCount));
  const auto* in = reinterpret_cast<const unsigned char*>(block.data());
  const size_t n = block.size();
  std::string result((n + 2) / 3 * 4, '\0');
  char* out = result.data();
  // A table of fewer than 64 characters would be read past its end.
  char table[64];
  std::fill(std::begin(table), std::end(table), fillChar_);
  std::copy_n(codingTable_.begin(), std::min<size_t>(64, codingTable_.size()), table);

  const size_t whole = n - n % 3;
  for (size_t i = 0; i < whole; i += 3, out += 4) {
    const uint32_t group = (uint32_t{in[i]} << 16) | (uint32_t{in[i + 1]} << 8) | in[i + 2];
    out[0] = table[group >> 18];
    out[1] = table[(group >> 12) & 63];
    out[2] = table[(group >> 6) & 63];
    out[3] = table[group & 63];
  }
  if (n % 3 != 0) {
    const uint32_t b0 = in[whole];
    const uint32_t b1 = n % 3 == 2 ? in[whole + 1] : 0;
    out[0] = table[b0 >> 2];
    out[1] = table[((b0 << 4) & 63) | (b1 >> 4)];
    out[2] = n % 3 == 2 ? table[(b1 << 2) & 63] : fillChar_;
    out[3] = fillChar_;
  }
  return result;
}

TQlEncoderMIME::TQlEncoderMIME() {
  codingTable_ = kBase64Alphabet;
  fillChar_ = '=';
}

}  // namespace quillet
