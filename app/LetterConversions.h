#pragma once
// The editor's two conversions of the selected text between the ANSI code
// page and UTF-8; both work on 8-bit strings.

#include <string>
#include <string_view>

namespace quillet {

// Each byte becomes its UTF-16 code unit by the ANSI code page, and each code
// unit is encoded on its own in one, two or three UTF-8 bytes.
std::string AnsiToUtf8Bytes(std::string_view ansi);

// Decodes UTF-8 sequences of up to three bytes into UTF-16 code units and
// converts them to the ANSI code page (a missing character becomes "?"). A
// cut-off sequence or a missing continuation byte makes the whole result empty.
std::string Utf8BytesToAnsi(std::string_view bytes);

}  // namespace quillet
