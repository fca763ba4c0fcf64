#pragma once
// Small pieces several suites send letters with.

#include <cstdint>

#include "app/SendRoad.h"

namespace quillet {
class TQlMessage;
class TQlSMTP;
}  // namespace quillet

namespace quillet::testing {

// As the send command does it: open, deliver, and close whatever happened.
void OpenDeliverClose(TQlSMTP& smtp, TQlMessage& message);

// A one-line letter from vasya@example.ru to b@example.com, logging in as
// user/secret, to a server on 127.0.0.1 at the given port.
LetterForm LoopbackLetterForm(uint16_t port);

}  // namespace quillet::testing
