#pragma once
// A line connection that knows its target (Host, Port) and connects to it.
//
// OpenConnection creates and owns a socket transport when none is set (one
// that can later be switched to TLS, TQlIOHandlerTLS), then prepares it,
// clears the input state and connects. Raises EQlAlreadyConnected
// ("Already connected.") while the transport's socket is open; any failure of
// the connect itself (bind, resolution, refusal) passes on as the transport
// raises it, after the socket has been closed. The transport stays for reuse
// until the next DropConnection.

#include <cstdint>
#include <string>

#include "smtp/TCPConnection.h"

namespace quillet {

class TQlTCPClient : public TQlTCPConnection {
 public:
  const std::string& Host() const { return host_; }
  virtual void SetHost(const std::string& value) { host_ = value; }
  int32_t Port() const { return port_; }
  virtual void SetPort(int32_t value) { port_ = value; }
  const std::string& BoundIP() const { return boundIp_; }
  void SetBoundIP(const std::string& value) { boundIp_ = value; }
  int32_t BoundPort() const { return boundPort_; }
  void SetBoundPort(int32_t value) { boundPort_ = value; }
  void SetOnConnected(NotifyEvent handler) { onConnected_ = std::move(handler); }

  // limit: connect time limit in ms; -1 = no limit of the client's own.
  virtual void OpenConnection(int32_t limit = -1);

 protected:
  virtual void FireConnected();

 private:
  std::string host_;
  int32_t port_ = 0;
  std::string boundIp_;
  int32_t boundPort_ = 0;
  int32_t portRangeLow_ = 0;
  int32_t portRangeHigh_ = 0;
  NotifyEvent onConnected_;
};

}  // namespace quillet
