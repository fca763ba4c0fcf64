// The Base64 encoder: the text decodes back to the bytes, is sized
// ((n + 2) / 3) * 4 with no line breaks, and encoding in pieces of whole
// three-byte groups gives the same text as encoding at once.

#include <cstddef>
#include <cstdint>
#include <string>

#include "coders/Encoder.h"
#include "support/FuzzSupport.h"

using namespace quillet;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const std::string text = EncodeText<TQlEncoderMIME>(bytes);
  FUZZ_CHECK(text.size() == (size + 2) / 3 * 4, text);
  FUZZ_CHECK(text.find_first_of("\r\n") == std::string::npos, text);
  std::string decoded;
  FUZZ_CHECK(quillet::fuzz::DecodeBase64(text, decoded), text);
  FUZZ_CHECK(decoded == bytes, text);

  TQlEncoderMIME encoder;
  ByteStream stream(bytes);
  const int32_t piece = size == 0 ? 3 : 3 * (1 + data[0] % 7);
  std::string pieces;
  while (stream.Remaining() > 0) pieces += encoder.EncodeFromStream(stream, piece);
  FUZZ_CHECK(pieces == text, pieces);
  return 0;
}
