#include "TlsPeer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>

namespace quillet::testing {

namespace {

constexpr int kWaitLimitMs = 5000;

void BoundWaits(int fd) {
  timeval limit{kWaitLimitMs / 1000, 0};
  ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
  ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
}

}  // namespace

TlsPeer::TlsPeer(const CertificateFiles& files, Script script) {
  listenFd_ = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (listenFd_ < 0 || ::bind(listenFd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(listenFd_, 1) != 0 ||
      ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    throw std::runtime_error("cannot listen on the loopback interface");
  }
  port_ = ntohs(address.sin_port);
  thread_ = std::thread([this, files, script = std::move(script)] { Serve(files, script); });
}

TlsPeer::~TlsPeer() {
  thread_.join();
  ::close(listenFd_);
}

void TlsPeer::Serve(const CertificateFiles& files, const Script& script) {
  pollfd wait{listenFd_, POLLIN, 0};
  if (::poll(&wait, 1, kWaitLimitMs) != 1) return;
  const int fd = ::accept(listenFd_, nullptr, nullptr);
  if (fd < 0) return;
  BoundWaits(fd);
  SSL_CTX* context = SSL_CTX_new(TLS_server_method());
  SSL_CTX_use_certificate_chain_file(context, files.certificate.c_str());
  SSL_CTX_use_PrivateKey_file(context, files.key.c_str(), SSL_FILETYPE_PEM);
  SSL* session = SSL_new(context);
  SSL_set_fd(session, fd);
  if (SSL_accept(session) == 1) script(session);
  SSL_free(session);
  SSL_CTX_free(context);
  ::close(fd);
}

}  // namespace quillet::testing
