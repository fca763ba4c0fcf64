#include "smtp/SMTP.h"

#include <algorithm>

#include "coders/Encoder.h"
#include "net/IOHandlerTLS.h"
#include "net/Stack.h"
#include "platform/Errors.h"

namespace quillet {

namespace {

constexpr int32_t kDefaultSmtpPort = 25;

bool HoldsLineBreakOrNul(const std::string& text) {
  return text.find_first_of(std::string_view("\r\n\0", 3)) != std::string::npos;
}

// An address that would end the command line early and inject text of its own.
void CheckEnvelopeAddress(const TQlEMailAddressItem& item, const char* role) {
  if (!HoldsLineBreakOrNul(item.Address())) return;
  throw EQlUnsafeAddress(std::string("The ") + role +
                         " address holds a line break or NUL character and cannot be sent.");
}

void CheckEnvelopeAddresses(const TQlEMailAddressList& list, const char* role) {
  for (int i = 0; i < list.Count(); ++i) CheckEnvelopeAddress(list[i], role);
}

// RFC 3207 section 4: the EHLO reply names the extension on a line of its own.
bool OffersStartTls(const StringList& replyLines) {
  return std::any_of(replyLines.begin(), replyLines.end(),
                     [](const std::string& line) { return SameTextAscii(Trim(line), "STARTTLS"); });
}

}  // namespace

TQlSMTP::TQlSMTP() { SetPort(kDefaultSmtpPort); }

void TQlSMTP::SetAuthenticationType(TAuthenticationType value) {
  authenticationType_ = value;
  if (value == TAuthenticationType::atLogin) useEhlo_ = true;
}

void TQlSMTP::SetUseEhlo(bool value) {
  useEhlo_ = value;
  if (!value) authenticationType_ = TAuthenticationType::atNone;
}

void TQlSMTP::OpenSession(int32_t limit) {
  TQlMessageClient::OpenConnection(limit);
  try {
    if (ImplicitTLS()) StartSecurity();
    Greet();
  } catch (...) {
    // The first failure is the one worth reporting; a failed QUIT on a
    // connection that is going down anyway must not replace it.
    try {
      CloseSession();
    } catch (...) {
    }
    throw;
  }
}

void TQlSMTP::Greet() {
  ExpectReply({220});
  const std::string name = heloName_.empty() ? SocketStack().LocalHostName() : heloName_;
  SayHello(name);
  if (!startTlsOffered_ || Encrypted()) return;
  ExchangeCommand("STARTTLS", 220);
  // RFC 3207 section 5: whatever came with or after the 220 was not protected
  // and is never read as a reply.
  ClearInput();
  StartSecurity();
  // RFC 3207 section 4.2: what the server offered in plain text no longer counts.
  SayHello(name);
}

void TQlSMTP::SayHello(const std::string& name) {
  serverAuthSchemes_.clear();
  startTlsOffered_ = false;
  if (useEhlo_ && ExchangeCommand("EHLO " + name, -1) == 250) {
    CollectAuthSchemes();
    startTlsOffered_ = OffersStartTls(LastReply().Text());
    return;
  }
  ExchangeCommand("HELO " + name, 250);
}

void TQlSMTP::StartSecurity() {
  auto* transport = dynamic_cast<TQlIOHandlerTLS*>(IOHandler());
  if (transport == nullptr) {
    CloseTransport();
    throw EQlTLSError("TLS: this connection's transport cannot encrypt");
  }
  transport->StartTLS(Host(), ReadTimeout() == 0 ? -2 : ReadTimeout());
  ReportStatus(TQlStatus::hsStatusText, {"Encrypted with " + transport->ProtocolVersion() + "."});
}

bool TQlSMTP::Encrypted() const {
  const auto* transport = dynamic_cast<const TQlIOHandlerTLS*>(IOHandler());
  return transport != nullptr && transport->Encrypted();
}

void TQlSMTP::CollectAuthSchemes() {
  for (const auto& line : LastReply().Text()) {
    const std::string upper = UpperCaseAscii(line);
    const std::string_view head = std::string_view(upper).substr(0, 5);
    if (head != "AUTH " && head != "AUTH=") continue;
    std::string rest = upper.substr(4);
    std::replace(rest.begin(), rest.end(), '=', ' ');
    while (!rest.empty()) {
      const std::string word = CutToken(rest, " ");
      if (word.empty()) continue;
      const bool known = std::any_of(serverAuthSchemes_.begin(), serverAuthSchemes_.end(),
                                     [&](const std::string& s) { return SameTextAscii(s, word); });
      if (!known) serverAuthSchemes_.push_back(word);
    }
  }
}

bool TQlSMTP::SchemeOffered(TAuthenticationType type) const {
  if (type != TAuthenticationType::atLogin) return false;
  return std::find(serverAuthSchemes_.begin(), serverAuthSchemes_.end(), "LOGIN") !=
         serverAuthSchemes_.end();
}

bool TQlSMTP::AuthenticationDue() const {
  return authenticationType_ != TAuthenticationType::atNone &&
         SchemeOffered(authenticationType_) && !authDone_;
}

void TQlSMTP::RunAuthentication() {
  if (authenticationType_ == TAuthenticationType::atLogin) LoginExchange();
  authDone_ = true;
}

void TQlSMTP::LoginExchange() {
  ExchangeCommand("AUTH LOGIN", 334);
  SecretLines secret(*this);
  ExchangeCommand(EncodeText<TQlEncoderMIME>(username_), 334);
  ExchangeCommand(EncodeText<TQlEncoderMIME>(password_), 235);
}

void TQlSMTP::Deliver(TQlMessage& message) {
  CheckEnvelopeAddress(message.From(), "sender");
  CheckEnvelopeAddresses(message.Recipients(), "recipient");
  CheckEnvelopeAddresses(message.CCList(), "CC recipient");
  CheckEnvelopeAddresses(message.BccList(), "BCC recipient");

  ExchangeCommand("RSET", -1);
  if (AuthenticationDue()) RunAuthentication();
  // RFC 5321 section 4.1.2: no blank between the colon and the path.
  ExchangeCommand("MAIL FROM:<" + message.From().Address() + ">", 250);
  AnnounceRecipients(message.Recipients());
  AnnounceRecipients(message.CCList());
  AnnounceRecipients(message.BccList());
  ExchangeCommand("DATA", 354);
  message.ExtraHeaders().SetHeader("X-Mailer", mailAgent_);
  WriteMessage(message, false);
  ExchangeCommand(".", 250);
}

void TQlSMTP::AnnounceRecipients(const TQlEMailAddressList& list) {
  for (int i = 0; i < list.Count(); ++i) {
    ExchangeCommand("RCPT TO:<" + list[i].Address() + ">", TQlReplyCodes{250, 251});
  }
}

void TQlSMTP::CloseSession() {
  try {
    if (IsOpen()) WriteTextLine("QUIT");
  } catch (...) {
    TQlMessageClient::DropConnection();
    authDone_ = false;
    throw;
  }
  TQlMessageClient::DropConnection();
  authDone_ = false;
}

}  // namespace quillet
