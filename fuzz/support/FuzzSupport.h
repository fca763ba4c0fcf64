#pragma once
// Helpers shared by the fuzz targets: a property check that stops the run
// with a message, a reader that takes control values off the front of the
// input, decoders that undo Base64 and encoded words, and a scratch folder.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quillet::fuzz {

// Prints the failed property and aborts, so libFuzzer keeps the input.
[[noreturn]] void Fail(const char* property, std::string_view detail = {});

#define FUZZ_CHECK(condition, detail)                  \
  do {                                                 \
    if (!(condition)) ::quillet::fuzz::Fail(#condition, (detail)); \
  } while (false)

// Takes control bytes from the front of the input; the rest is the payload.
class InputReader {
 public:
  InputReader(const uint8_t* data, size_t size)
      : rest_(reinterpret_cast<const char*>(data), size) {}
  // One byte, 0 when the input is used up.
  uint8_t Byte();
  // Up to count bytes.
  std::string_view Bytes(size_t count);
  std::string_view Rest() const { return rest_; }

 private:
  std::string_view rest_;
};

// RFC 2045 Base64 with "=" padding; returns false on anything else.
bool DecodeBase64(std::string_view text, std::string& bytes);

// Undoes EncodeWords for one charset and encoding letter: every encoded word
// that starts with "=?charset?letter?" is decoded, consecutive words of one
// run (joined by CR LF TAB) are merged, and all other text is kept as it is.
// Returns false for a malformed encoded word. words receives every encoded
// word as written, from "=?" through "?=".
bool DecodeEncodedWords(std::string_view text, std::string_view charset, char letter,
                        std::string& decoded, std::vector<std::string>& words);

// ISO-2022-JP text with its mode switches put only where the mode changes,
// and ASCII mode restored at the end: two texts of the same characters give
// the same bytes however often they switched.
std::string CanonicalIso2022Jp(std::string_view text);

// Text with every byte of code 32 or below removed.
std::string WithoutBlanks(std::string_view text);

// A folder of this process's own for files the targets write, under
// /dev/shm when it exists (no disk writes per run), else under TMPDIR or /tmp.
const std::string& ScratchFolder();

}  // namespace quillet::fuzz
