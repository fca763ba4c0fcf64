#pragma once
// RFC 2047 encoded words for header text, the charset label chosen from the
// system locale, and Shift_JIS to ISO-2022-JP.

#include <string>
#include <string_view>

namespace quillet {

enum class TTransfer { bit7, bit8, iso2022jp };

// The three header-encoding settings, under the names the message's
// OnInitializeISO event gives them.
struct HeaderEncodingSettings {
  TTransfer VTransferHeader = TTransfer::bit8;
  char VHeaderEncoding = 'B';
  std::string VCharSet;
};

// The settings for the locale in force: B encoding with "GB2312" (simplified
// Chinese), "Big5" (traditional Chinese), "ISO-2022-JP" with the iso2022jp
// transfer (Japanese) or "EUC-KR" (Korean); elsewhere Q encoding labelled with
// the MIME name of the ANSI code page ("windows-1251", ...).
HeaderEncodingSettings ChooseHeaderCharset();

// Extra must-encode characters for display names: the RFC 822 specials.
extern const std::string_view kRfc822Specials;

// Header text with every run of words that hold bytes outside printable ASCII
// (or one of extraChars) written as RFC 2047 encoded words: letter 'Q'/'q' or
// any other ('B'), '8' for no encoding. Each encoded word is at most 75
// characters, holds whole characters of the ANSI code page in force (or, with
// iso2022jp, starts and ends in ASCII mode) and is separated from the next by
// CR LF TAB. Never throws.
std::string EncodeWords(std::string_view text, std::string_view extraChars, char letter,
                        TTransfer transfer, std::string_view charset);

// Bytes that have no JIS X 0208 code are dropped; the result ends in ASCII mode.
std::string ConvertToIso2022Jp(std::string_view shiftJis);

}  // namespace quillet
