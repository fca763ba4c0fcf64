#include "smtp/TCPClient.h"

#include "net/IOHandlerTLS.h"
#include "platform/Errors.h"

namespace quillet {

void TQlTCPClient::OpenConnection(int32_t limit) {
  if (IOHandler() == nullptr) {
    auto handler = std::make_unique<TQlIOHandlerTLS>();
    handler->SetOnStatus(OnStatus());
    AdoptIOHandler(std::move(handler));
  } else if (IOHandler()->HasOpenSocket()) {
    throw EQlAlreadyConnected();
  }
  // A server that stops reading holds a send as long as one that stops
  // answering holds a read.
  IOHandler()->SetSendTimeLimit(ReadTimeout());
  try {
    IOHandler()->PrepareBinding();
    ClearInput();
    IOHandler()->ConnectEndpoint(host_, port_, boundIp_, boundPort_, portRangeLow_, portRangeHigh_,
                                 limit);
    ReportStatus(TQlStatus::hsConnected, {host_});
    FireConnected();
  } catch (...) {
    CloseTransport();
    throw;
  }
}

void TQlTCPClient::FireConnected() {
  if (onConnected_) onConnected_(*this);
}

}  // namespace quillet
