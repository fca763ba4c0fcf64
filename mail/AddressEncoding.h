#pragma once
// Addresses as header text: a display name in double quotes, or as RFC 2047
// encoded words when it holds bytes outside printable ASCII.

#include <string>
#include <string_view>

#include "coders/EncodedWords.h"
#include "mail/EmailAddress.h"

namespace quillet {

// "Name" <address>, =?charset?Q?...?= <address>, or the bare address when the
// item has no name. Never throws.
std::string EncodeMailbox(const TQlEMailAddressItem& item, char letter, TTransfer transfer,
                          std::string_view charset);

// The mailboxes of the list in order, joined by ", "; empty for an empty list.
std::string EncodeAddressList(const TQlEMailAddressList& list, char letter, TTransfer transfer,
                              std::string_view charset);

}  // namespace quillet
