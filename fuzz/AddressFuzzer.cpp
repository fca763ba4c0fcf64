// One address and address lists as a user types them: parsing never fails
// except with the one parse error, every parsed item can be written back as
// header text, and a well-formed name and address survive the trip through
// their header text.

#include <cstddef>
#include <cstdint>
#include <string>

#include "mail/EmailAddress.h"
#include "platform/Errors.h"
#include "platform/TextUtils.h"
#include "support/FuzzSupport.h"

using namespace quillet;
using quillet::fuzz::InputReader;

namespace {

constexpr std::string_view kAtomChars =
    "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789!#$%&'*+-/=?_{}~|`";

// Text made of the given characters, picked by the input's bytes.
std::string PickFrom(std::string_view alphabet, std::string_view bytes) {
  std::string text;
  for (const char c : bytes) text += alphabet[static_cast<unsigned char>(c) % alphabet.size()];
  return text;
}

void ParseOne(std::string_view text) {
  TQlEMailAddressItem item;
  try {
    item.SetText(text);
  } catch (const EQlEmailParseError&) {
    // Keeps what was parsed up to the error; that must still write back.
  }
  (void)item.Text();
}

void ParseList(std::string_view text) {
  TQlEMailAddressList list;
  try {
    list.SetAddressListText(text);
  } catch (const EQlEmailParseError&) {
  }
  for (int i = 0; i < list.Count(); ++i) (void)list[i].Text();
}

// A display name of words joined by single blanks, written bare or quoted
// (blanks only in names without escapes), and a mailbox of atom characters
// with dots inside the local part and a domain of letters, digits, hyphens
// and dots: parsing the item's Text gives back both.
void RoundTrip(InputReader& input) {
  const uint8_t nameKind = input.Byte() % 3;
  const std::string_view nameBytes = input.Bytes(input.Byte() % 24);
  std::string picked;
  if (nameKind == 0) {
    // Quotes and backslashes, escaped in the text.
    picked = PickFrom("!\"#$%&'()*+,-./0123456789:;<=>?@ABCXYZ[\\]^_`abcxyz{|}~", nameBytes);
  } else if (nameKind == 1) {
    // Specials and blanks inside the quotes.
    picked = PickFrom(" !#$%&'()*+,-./0123456789:;<=>?@ABCXYZ[]^_`abcxyz{|}~", nameBytes);
  } else {
    picked = PickFrom(std::string(kAtomChars) + ' ', nameBytes);
  }
  // A bare name's words are read back with one blank between them.
  std::string name;
  for (const char c : picked) {
    if (c == ' ' && (name.empty() || name.back() == ' ')) continue;
    name += c;
  }
  name = Trim(name);
  std::string local = PickFrom(std::string(kAtomChars) + '.', input.Bytes(1 + input.Byte() % 16));
  while (!local.empty() && local.front() == '.') local.erase(0, 1);
  if (local.empty()) local = "a";
  const std::string domain =
      PickFrom("abcdefghijklmnopqrstuvwxyz0123456789-.", input.Bytes(input.Byte() % 16));
  const std::string address = local + "@" + domain + "x";
  if (name == UpperCaseAscii(address)) return;  // written without the name

  TQlEMailAddressItem item;
  item.SetName(name);
  item.SetAddress(address);
  const std::string text = item.Text();
  TQlEMailAddressItem parsed;
  parsed.SetText(text);
  FUZZ_CHECK(parsed.Address() == address, text + " -> address " + parsed.Address());
  FUZZ_CHECK(parsed.Name() == name, text + " -> name " + parsed.Name());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  InputReader input(data, size);
  const uint8_t mode = input.Byte();
  if (mode == 'R') {
    RoundTrip(input);
    return 0;
  }
  ParseOne(input.Rest());
  ParseList(input.Rest());
  return 0;
}
