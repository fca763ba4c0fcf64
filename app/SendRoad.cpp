#include "app/SendRoad.h"

#include <cstdio>
#include <memory>
#include <random>

#include "mail/Message.h"
#include "platform/CodePage.h"
#include "platform/SystemLocale.h"
#include "smtp/SMTP.h"

namespace quillet {

namespace {

// The right side of the Message-ID: the sender's domain, never this machine's
// name; "localhost" when the sender has no usable domain (RFC 5322 section
// 3.6.4 asks for a dot-atom there).
std::string MessageIdDomain(const std::string& senderAddress) {
  const auto at = senderAddress.rfind('@');
  if (at == std::string::npos) return "localhost";
  const std::string domain = senderAddress.substr(at + 1);
  const bool usable = !domain.empty() && domain.front() != '.' && domain.back() != '.' &&
                      domain.find("..") == std::string::npos &&
                      domain.find_first_not_of(
                          "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-._") ==
                          std::string::npos;
  return usable ? domain : "localhost";
}

std::string RandomHex128() {
  std::random_device source;
  std::string hex;
  for (int i = 0; i < 4; ++i) {
    char part[9];
    std::snprintf(part, sizeof part, "%08x", static_cast<unsigned>(source()));
    hex += part;
  }
  return hex;
}

std::unique_ptr<TQlMessage> BuildMessage(const LetterForm& form) {
  auto message = std::make_unique<TQlMessage>();
  // Joined and split again, so a line holding a line break becomes two lines.
  message->SetBody(SplitLines(JoinLines(form.lines)));
  message->From().SetText(form.sender);
  message->Recipients().SetAddressListText(form.recipient);
  message->SetSubject(form.subject);
  // The body is 8-bit text of the ANSI code page; say so, so readers can show it.
  message->SetContentType("text/plain");
  message->SetCharSet(CodePageMimeName(AnsiCodePage()));
  message->SetContentTransferEncoding("8bit");
  message->ExtraHeaders().SetHeader(
      "Message-ID", "<" + RandomHex128() + "@" + MessageIdDomain(message->From().Address()) + ">");
  return message;
}

void ConfigureClient(TQlSMTP& client, const LetterForm& form) {
  client.SetAuthenticationType(TAuthenticationType::atLogin);
  client.SetUsername(form.login);
  client.SetPassword(form.password);
  client.SetHost(form.server);
  client.SetPort(StrToInt(form.portText));
  client.SetReadTimeout(kSendReadTimeoutMs);
}

// Ends the conversation; a failed QUIT is never the news: either Deliver's own
// error is, or the letter was accepted and the send succeeded.
void CloseQuietly(TQlSMTP& client) noexcept {
  try {
    client.CloseSession();
  } catch (...) {
  }
}

}  // namespace

void SendLetter(TQlSMTP& client, const LetterForm& form) {
  const std::unique_ptr<TQlMessage> message = BuildMessage(form);
  ConfigureClient(client, form);
  client.OpenSession(kSendConnectTimeoutMs);
  try {
    client.Deliver(*message);
  } catch (...) {
    CloseQuietly(client);
    throw;
  }
  CloseQuietly(client);
}

}  // namespace quillet
