#include "mail/AddressEncoding.h"

namespace quillet {

namespace {

bool NeedsEncoding(std::string_view name) {
  for (const char c : name) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 32 || byte >= 127) return true;
  }
  return false;
}

std::string Quoted(std::string_view name) {
  std::string result = "\"";
  for (const char c : name) {
    if (c == '\\' || c == '"') result += '\\';
    result += c;
  }
  return result + "\"";
}

}  // namespace

std::string EncodeMailbox(const TQlEMailAddressItem& item, char letter, TTransfer transfer,
                          std::string_view charset) {
  if (item.Name().empty()) return item.Address();
  const std::string display = NeedsEncoding(item.Name())
                                  ? EncodeWords(item.Name(), kRfc822Specials, letter, transfer, charset)
                                  : Quoted(item.Name());
  return display + " <" + item.Address() + ">";
}

std::string EncodeAddressList(const TQlEMailAddressList& list, char letter, TTransfer transfer,
                              std::string_view charset) {
  std::string text;
  for (int i = 0; i < list.Count(); ++i) {
    if (i > 0) text += ", ";
    text += EncodeMailbox(list[i], letter, transfer, charset);
  }
  return text;
}

}  // namespace quillet
