#pragma once
// Text encoders: bytes to printable text. TQlEncoderMIME is RFC 2045 Base64.

#include <cstdint>
#include <string>
#include <string_view>

namespace quillet {

// A read-only view of bytes with a position, the source of an encoder.
class ByteStream {
 public:
  explicit ByteStream(std::string_view bytes) : bytes_(bytes) {}
  size_t Remaining() const { return bytes_.size() - position_; }
  // Returns up to count bytes from the position and moves past them.
  std::string_view Read(size_t count);

 private:
  std::string_view bytes_;
  size_t position_ = 0;
};

class TQlEncoder {
 public:
  virtual ~TQlEncoder() = default;
  // Encodes at most byteCount bytes from the stream's position.
  virtual std::string EncodeFromStream(ByteStream& source, int32_t byteCount) = 0;
  std::string EncodeText(std::string_view text);
};

class TQlEncoder3to4 : public TQlEncoder {
 public:
  std::string EncodeFromStream(ByteStream& source, int32_t byteCount) override;
  const std::string& CodingTable() const { return codingTable_; }
  char FillChar() const { return fillChar_; }
  void SetFillChar(char c) { fillChar_ = c; }

 protected:
  std::string codingTable_;
  char fillChar_ = '=';
};

class TQlEncoderMIME : public TQlEncoder3to4 {
 public:
  TQlEncoderMIME();
};

extern const char kBase64Alphabet[65];

// The class-level form: a temporary encoder of the given class encodes text.
template <class TEncoderClass>
std::string EncodeText(std::string_view text) {
  TEncoderClass encoder;
  return encoder.EncodeText(text);
}

}  // namespace quillet
