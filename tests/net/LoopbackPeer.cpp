#include "LoopbackPeer.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>

namespace quillet::testing {
namespace {

sockaddr_in Loopback(uint16_t port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return address;
}

bool WaitFor(int fd, short events, int limitMs) {
  pollfd watched{fd, events, 0};
  return poll(&watched, 1, limitMs) == 1;
}

}  // namespace

PeerConnection::~PeerConnection() { Close(); }

void PeerConnection::Write(const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t sent = ::send(fd_, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
    if (sent <= 0) throw std::runtime_error("peer write failed");
    done += static_cast<size_t>(sent);
  }
}

std::string PeerConnection::Read(size_t count, int limitMs) {
  std::string bytes;
  char buffer[4096];
  while (bytes.size() < count && WaitFor(fd_, POLLIN, limitMs)) {
    const ssize_t got = ::recv(fd_, buffer, std::min(sizeof(buffer), count - bytes.size()), 0);
    if (got <= 0) break;
    bytes.append(buffer, static_cast<size_t>(got));
  }
  return bytes;
}

void PeerConnection::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

LoopbackListener::LoopbackListener(int backlog) {
  fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address = Loopback(0);
  socklen_t size = sizeof(address);
  if (fd_ < 0 || ::bind(fd_, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
      ::listen(fd_, backlog) != 0 ||
      ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
    throw std::runtime_error("loopback listener failed");
  }
  port_ = ntohs(address.sin_port);
}

LoopbackListener::~LoopbackListener() {
  for (int fd : fillers_) ::close(fd);
  if (fd_ >= 0) ::close(fd_);
}

PeerConnection LoopbackListener::Accept(int limitMs) {
  if (!WaitFor(fd_, POLLIN, limitMs)) return PeerConnection();
  return PeerConnection(::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC));
}

bool LoopbackListener::FillAcceptQueue() {
  for (int attempt = 0; attempt < 16; ++attempt) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    fillers_.push_back(fd);
    const sockaddr_in address = Loopback(port_);
    ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address));
    // A handshake that does not finish quickly means the queue is full.
    if (!WaitFor(fd, POLLOUT, 200)) return true;
  }
  return false;
}

}  // namespace quillet::testing
