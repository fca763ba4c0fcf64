#pragma once
// Conversions between a code page's bytes and Unicode, through iconv.

#include <string>
#include <string_view>

namespace quillet {

// The MIME charset name of a code page: "windows-1250" to "windows-1258",
// "windows-874", "Shift_JIS" (932), "GB2312" (936), "ks_c_5601-1987" (949),
// "Big5" (950).
std::string CodePageMimeName(int codePage);

// Lead bytes of the double-byte code pages (932, 936, 949, 950); always false
// for single-byte ones.
bool IsLeadByte(int codePage, unsigned char byte);
bool IsAnsiLeadByte(unsigned char byte);  // of AnsiCodePage()

// A character the target lacks, and input that is not valid in its code
// page (one "?" per bad byte), becomes "?". A code page without a converter
// is read as Latin-1. Never throws.
std::u16string CodePageToUtf16(std::string_view bytes, int codePage);
std::string Utf16ToCodePage(std::u16string_view text, int codePage);

// Shorthands for the ANSI code page in force.
std::u16string AnsiToUtf16(std::string_view bytes);
std::string Utf16ToAnsi(std::u16string_view text);
std::string AnsiToUtf8(std::string_view bytes);
std::string Utf8ToAnsi(std::string_view utf8);

}  // namespace quillet
