#pragma once
// The far end of transport tests: a plain POSIX listener on 127.0.0.1 with an
// ephemeral port, and the connections it accepts. Every wait is bounded.

#include <cstdint>
#include <string>
#include <vector>

namespace quillet::testing {

// An accepted connection; closed with the object.
class PeerConnection {
 public:
  explicit PeerConnection(int fd = -1) : fd_(fd) {}
  ~PeerConnection();
  PeerConnection(PeerConnection&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
  PeerConnection& operator=(PeerConnection&&) = delete;

  bool Valid() const { return fd_ >= 0; }
  void Write(const std::string& bytes);
  // Reads until count bytes came, the peer closed or the limit ran out.
  std::string Read(size_t count, int limitMs = 5000);
  void Close();

 private:
  int fd_;
};

class LoopbackListener {
 public:
  explicit LoopbackListener(int backlog = 8);
  ~LoopbackListener();
  LoopbackListener(const LoopbackListener&) = delete;
  LoopbackListener& operator=(const LoopbackListener&) = delete;

  uint16_t Port() const { return port_; }
  // An invalid connection when none arrived within the limit.
  PeerConnection Accept(int limitMs = 5000);
  // Connects from outside until the accept queue is full, so that the next
  // connect to this listener waits in the handshake (the system drops its
  // SYNs). False when the queue never filled within a few attempts.
  bool FillAcceptQueue();

 private:
  int fd_ = -1;
  uint16_t port_ = 0;
  std::vector<int> fillers_;
};

}  // namespace quillet::testing
