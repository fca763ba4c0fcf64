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

HeaderEncodingSettings ChooseHeaderCharset();

// Extra must-encode characters for display names: the RFC 822 specials.
extern const std::string_view kRfc822Specials;

std::string EncodeWords(std::string_view text, std::string_view extraChars, char letter,
                        TTransfer transfer, std::string_view charset);

std::string ConvertToIso2022Jp(std::string_view shiftJis);

}  // namespace quillet
