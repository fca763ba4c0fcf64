#pragma once
// The SMTP client (RFC 5321): greeting and EHLO/HELO, optional AUTH LOGIN,
// the envelope, the data phase and QUIT.
//
// OpenSession connects and greets; any failure after the TCP connect closes
// the session before the first error goes on. The conversation is encrypted
// whenever it can be: with ImplicitTLS (port 465) the TLS handshake comes
// right after the connect, before the greeting (RFC 8314); otherwise, when the
// EHLO reply offers STARTTLS, the client sends it, requires 220, drops every
// byte already received, runs the handshake and sends EHLO again, taking the
// login mechanisms from that reply alone (RFC 3207). The server's certificate
// and name are always checked; a failed handshake raises EQlTLSError ("TLS:
// ...") and closes the connection without another word (no plain fallback).
// Becoming encrypted is reported as the status text "Encrypted with <protocol>.". Deliver sends one message over
// the open session; it raises EQlUnsafeAddress, before anything is sent, for
// an envelope address holding CR, LF or NUL, and EQlProtocolReplyError for a
// refused command. CloseSession sends QUIT when the connection is open
// (without reading the reply), always drops the connection, and then passes
// on a failure to write QUIT.

#include <cstdint>
#include <optional>
#include <string>

#include "mail/Message.h"
#include "smtp/MessageClient.h"

namespace quillet {

enum class TAuthenticationType { atNone, atLogin };

class TQlSMTP : public TQlMessageClient {
 public:
  TQlSMTP();

  TAuthenticationType AuthenticationType() const { return authenticationType_; }
  // atLogin also turns UseEhlo on.
  void SetAuthenticationType(TAuthenticationType value);
  bool UseEhlo() const { return useEhlo_; }
  // Turning it off also sets AuthenticationType to atNone.
  void SetUseEhlo(bool value);
  // Name sent with EHLO/HELO; empty sends this machine's host name.
  const std::string& HeloName() const { return heloName_; }
  void SetHeloName(const std::string& value) { heloName_ = value; }
  // Value of the X-Mailer header Deliver sets; empty removes the header.
  const std::string& MailAgent() const { return mailAgent_; }
  void SetMailAgent(const std::string& value) { mailAgent_ = value; }
  const std::string& Username() const { return username_; }
  void SetUsername(const std::string& value) { username_ = value; }
  const std::string& Password() const { return password_; }
  void SetPassword(const std::string& value) { password_ = value; }

  // Whether the TLS handshake comes right after the connect. Unless set, true
  // exactly for port 465 (the port read when the session opens).
  bool ImplicitTLS() const { return implicitTls_.value_or(Port() == kImplicitTLSPort); }
  void SetImplicitTLS(bool value) { implicitTls_ = value; }
  static constexpr int32_t kImplicitTLSPort = 465;
  // Whether the open conversation runs over TLS.
  bool Encrypted() const;

  // Upper-case mechanism names of the last EHLO reply, each once.
  const StringList& ServerAuthSchemes() const { return serverAuthSchemes_; }
  bool AuthDone() const { return authDone_; }

  void OpenConnection(int32_t limit = -1) override { OpenSession(limit); }
  void DropConnection() override { CloseSession(); }

  virtual void OpenSession(int32_t limit = -1);
  virtual void CloseSession();
  virtual bool SchemeOffered(TAuthenticationType type) const;
  virtual void RunAuthentication();
  virtual void Deliver(TQlMessage& message);

 protected:
  void CollectAuthSchemes();
  bool AuthenticationDue() const;
  void LoginExchange();
  void AnnounceRecipients(const TQlEMailAddressList& list);

 private:
  void Greet();
  void SayHello(const std::string& name);
  void StartSecurity();

  TAuthenticationType authenticationType_ = TAuthenticationType::atNone;
  bool useEhlo_ = true;
  std::string heloName_;
  std::string mailAgent_;
  std::string username_;
  std::string password_;
  std::optional<bool> implicitTls_;
  StringList serverAuthSchemes_;
  bool startTlsOffered_ = false;
  bool authDone_ = false;
};

}  // namespace quillet
