#pragma once
// The send button's road without the window: the letter's texts become one
// message, delivered over one SMTP conversation of the given client.

#include <cstdint>
#include <string>

#include "platform/TextUtils.h"

namespace quillet {

class TQlSMTP;

// The window's texts, in the ANSI code page.
struct LetterForm {
  std::string server;
  std::string portText;
  std::string login;
  std::string password;
  std::string sender;
  std::string recipient;
  std::string subject;
  StringList lines;  // the letter's lines as the editor shows them
};

// Time limits of every send, in milliseconds: a silent server or an
// unanswered connect ends in an error instead of holding the user.
inline constexpr int32_t kSendReadTimeoutMs = 120000;
inline constexpr int32_t kSendConnectTimeoutMs = 30000;

// Builds the message, configures the client, opens the session, delivers and
// closes; every failure leaves as an exception of the system's tree.
void SendLetter(TQlSMTP& client, const LetterForm& form);

}  // namespace quillet
