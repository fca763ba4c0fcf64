#pragma once
// The SMTP client (RFC 5321): greeting and EHLO/HELO, optional AUTH LOGIN,
// the envelope, the data phase and QUIT.
//
// OpenSession connects and greets; any failure after the TCP connect closes
// the session before the first error goes on. Deliver sends one message over
// the open session; it raises EQlUnsafeAddress, before anything is sent, for
// an envelope address holding CR, LF or NUL, and EQlProtocolReplyError for a
// refused command. CloseSession sends QUIT when the connection is open
// (without reading the reply), always drops the connection, and then passes
// on a failure to write QUIT.

#include <cstdint>
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

  TAuthenticationType authenticationType_ = TAuthenticationType::atNone;
  bool useEhlo_ = true;
  std::string heloName_;
  std::string mailAgent_;
  std::string username_;
  std::string password_;
  StringList serverAuthSchemes_;
  bool authDone_ = false;
};

}  // namespace quillet
