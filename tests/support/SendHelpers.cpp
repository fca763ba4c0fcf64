#include "support/SendHelpers.h"

#include <string>

#include "mail/Message.h"
#include "smtp/SMTP.h"

namespace quillet::testing {

void OpenDeliverClose(TQlSMTP& smtp, TQlMessage& message) {
  smtp.OpenSession();
  try {
    smtp.Deliver(message);
  } catch (...) {
    smtp.CloseSession();
    throw;
  }
  smtp.CloseSession();
}

LetterForm LoopbackLetterForm(uint16_t port) {
  LetterForm form;
  form.server = "127.0.0.1";
  form.portText = std::to_string(port);
  form.login = "user";
  form.password = "secret";
  form.sender = "vasya@example.ru";
  form.recipient = "b@example.com";
  form.subject = "Hi";
  form.lines = {"one"};
  return form;
}

}  // namespace quillet::testing
