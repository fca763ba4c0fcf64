#pragma once
// Text helpers shared by every layer. Text is a string of 8-bit bytes in the
// system's ANSI code page; all operations here are byte-wise.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quillet {

using StringList = std::vector<std::string>;

// Returns the text before the first occurrence of the delimiter and leaves the
// text after it in source; without the delimiter, returns all of source and
// empties it. The delimiter is compared exactly.
std::string CutToken(std::string& source, std::string_view delimiter);

// Trims remove every byte of code 32 or below.
std::string Trim(std::string_view text);
std::string TrimLeft(std::string_view text);
std::string TrimRight(std::string_view text);

std::string UpperCaseAscii(std::string_view text);
std::string LowerCaseAscii(std::string_view text);
bool SameTextAscii(std::string_view a, std::string_view b);

// The runtime's integer conversion: optional leading blanks, an optional sign,
// then decimal digits or a hexadecimal number after "$", "x", "X", "0x" or "0X";
// nothing after the digits; the value must fit a 32-bit signed integer.
bool TryStrToInt(std::string_view text, int32_t& value);
// As TryStrToInt; raises EConvertError "'<text>' is not a valid integer value".
int32_t StrToInt(std::string_view text);

// Splits text into lines at CR LF, at a lone CR and at a lone LF; a line break
// at the very end adds no empty line; with stopAtNul the text ends at its first NUL.
StringList SplitLines(std::string_view text, bool stopAtNul = false);
// Every line followed by CR LF.
std::string JoinLines(const StringList& lines);

}  // namespace quillet
