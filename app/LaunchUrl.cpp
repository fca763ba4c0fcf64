#include "app/LaunchUrl.h"

namespace quillet {

namespace {

constexpr std::string_view kAuthorSite = "https://quillet.example/";
constexpr std::string_view kAuthorMailbox = "author@quillet.example";

bool IsUnreserved(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
         c == '.' || c == '_' || c == '~';
}

std::string PercentEncode(std::string_view utf8, std::string_view keptPlain) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string encoded;
  encoded.reserve(utf8.size());
  for (const char c : utf8) {
    const auto byte = static_cast<unsigned char>(c);
    if (IsUnreserved(byte) || keptPlain.find(c) != std::string_view::npos) {
      encoded += c;
    } else {
      encoded += '%';
      encoded += kHex[byte >> 4];
      encoded += kHex[byte & 0x0F];
    }
  }
  return encoded;
}

// RFC 6068 section 2: the address list of a mailto URL may keep "@" and the
// "," between addresses as they are.
std::string EncodeRecipients(std::string_view utf8) { return PercentEncode(utf8, "@,"); }

std::string MailtoUrl(std::string_view recipient, std::string_view subject,
                      std::string_view body) {
  return "mailto:" + EncodeRecipients(recipient) + "?Subject=" + PercentEncodeUrlPart(subject) +
         "&Body=" + PercentEncodeUrlPart(body);
}

}  // namespace

std::string PercentEncodeUrlPart(std::string_view utf8) { return PercentEncode(utf8, {}); }

std::string BuildLaunchUrl(std::string_view recipientUtf8, std::string_view subjectUtf8,
                           std::string_view greetingUtf8) {
  return MailtoUrl(recipientUtf8, subjectUtf8, greetingUtf8);
}

std::string AuthorSiteUrl() { return std::string(kAuthorSite); }

std::string AuthorMailUrl() { return MailtoUrl(kAuthorMailbox, "Впечатления", "Привет, "); }

}  // namespace quillet
