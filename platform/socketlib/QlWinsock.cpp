// The socket library: Winsock 2 calls over POSIX sockets. Every call that
// fails records a Winsock error number in the calling thread's last error.

#include "platform/socketlib/QlWinsock.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstring>
#include <string>
#include <vector>

namespace {

thread_local int32_t lastError = 0;
std::atomic<int32_t> startCount{0};

int32_t WinsockErrorOfErrno(int error) {
  switch (error) {
    case EINTR: return QLWSAEINTR;
    case EBADF: return QLWSAEBADF;
    case EACCES:
    case EPERM: return QLWSAEACCES;
    case EFAULT: return QLWSAEFAULT;
    case EINVAL: return QLWSAEINVAL;
    case EMFILE:
    case ENFILE: return QLWSAEMFILE;
    case EAGAIN: return QLWSAEWOULDBLOCK;
#if EWOULDBLOCK != EAGAIN
    case EWOULDBLOCK: return QLWSAEWOULDBLOCK;
#endif
    case EINPROGRESS: return QLWSAEINPROGRESS;
    case EALREADY: return QLWSAEALREADY;
    case ENOTSOCK: return QLWSAENOTSOCK;
    case EDESTADDRREQ: return QLWSAEDESTADDRREQ;
    case EMSGSIZE: return QLWSAEMSGSIZE;
    case EPROTOTYPE: return QLWSAEPROTOTYPE;
    case ENOPROTOOPT: return QLWSAENOPROTOOPT;
    case EPROTONOSUPPORT: return QLWSAEPROTONOSUPPORT;
    case ESOCKTNOSUPPORT: return QLWSAESOCKTNOSUPPORT;
    case EOPNOTSUPP: return QLWSAEOPNOTSUPP;
    case EPFNOSUPPORT: return QLWSAEPFNOSUPPORT;
    case EAFNOSUPPORT: return QLWSAEAFNOSUPPORT;
    case EADDRINUSE: return QLWSAEADDRINUSE;
    case EADDRNOTAVAIL: return QLWSAEADDRNOTAVAIL;
    case ENETDOWN: return QLWSAENETDOWN;
    case ENETUNREACH: return QLWSAENETUNREACH;
    case ENETRESET: return QLWSAENETRESET;
    case ECONNABORTED: return QLWSAECONNABORTED;
    case ECONNRESET: return QLWSAECONNRESET;
    case ENOBUFS:
    case ENOMEM: return QLWSAENOBUFS;
    case EISCONN: return QLWSAEISCONN;
    case ENOTCONN: return QLWSAENOTCONN;
    case EPIPE:
    case ESHUTDOWN: return QLWSAESHUTDOWN;
    case ETOOMANYREFS: return QLWSAETOOMANYREFS;
    case ETIMEDOUT: return QLWSAETIMEDOUT;
    case ECONNREFUSED: return QLWSAECONNREFUSED;
    case ELOOP: return QLWSAELOOP;
    case ENAMETOOLONG: return QLWSAENAMETOOLONG;
    case EHOSTDOWN: return QLWSAEHOSTDOWN;
    case EHOSTUNREACH: return QLWSAEHOSTUNREACH;
    case ENOTEMPTY: return QLWSAENOTEMPTY;
    default: return QLWSASYSCALLFAILURE;
  }
}

int32_t WinsockErrorOfResolver(int code, int savedErrno) {
  switch (code) {
    case EAI_NONAME: return QLWSAHOST_NOT_FOUND;
    case EAI_AGAIN: return QLWSATRY_AGAIN;
    case EAI_NODATA:
    case EAI_ADDRFAMILY: return QLWSANO_DATA;
    case EAI_MEMORY: return QLWSAENOBUFS;
    case EAI_SYSTEM: return WinsockErrorOfErrno(savedErrno);
    default: return QLWSANO_RECOVERY;
  }
}

int32_t Fail(int32_t error) {
  lastError = error;
  return QLWS_SOCKET_ERROR;
}

int32_t FailWithErrno() { return Fail(WinsockErrorOfErrno(errno)); }

bool Started() {
  if (startCount.load() > 0) return true;
  lastError = QLWSANOTINITIALISED;
  return false;
}

// ---- addresses ----

bool ToSystemAddress(const qlws_sockaddr_in* name, int32_t length, sockaddr_in& out) {
  if (name == nullptr || length < static_cast<int32_t>(sizeof(qlws_sockaddr_in))) {
    Fail(QLWSAEFAULT);
    return false;
  }
  if (name->sin_family != QLWS_AF_INET) {
    Fail(QLWSAEAFNOSUPPORT);
    return false;
  }
  out = sockaddr_in{};
  out.sin_family = AF_INET;
  out.sin_port = name->sin_port;
  std::memcpy(&out.sin_addr, name->sin_addr, 4);
  return true;
}

int32_t FromSystemAddress(const sockaddr_storage& in, qlws_sockaddr_in* name, int32_t* length) {
  if (name == nullptr || length == nullptr ||
      *length < static_cast<int32_t>(sizeof(qlws_sockaddr_in))) {
    return Fail(QLWSAEFAULT);
  }
  if (in.ss_family != AF_INET) return Fail(QLWSAEAFNOSUPPORT);
  const auto& address = reinterpret_cast<const sockaddr_in&>(in);
  *name = qlws_sockaddr_in{};
  name->sin_family = QLWS_AF_INET;
  name->sin_port = address.sin_port;
  std::memcpy(name->sin_addr, &address.sin_addr, 4);
  *length = sizeof(qlws_sockaddr_in);
  return 0;
}

template <typename Call>
int32_t QueryAddress(qlws_socket_t s, qlws_sockaddr_in* name, int32_t* length, Call call) {
  if (!Started()) return QLWS_SOCKET_ERROR;
  sockaddr_storage address{};
  socklen_t size = sizeof(address);
  if (call(s, reinterpret_cast<sockaddr*>(&address), &size) != 0) return FailWithErrno();
  return FromSystemAddress(address, name, length);
}

// ---- socket options ----

struct SystemOption {
  int level;
  int option;
};

bool ToSystemOption(int32_t level, int32_t option, SystemOption& out) {
  if (level == QLWS_IPPROTO_TCP && option == QLWS_TCP_NODELAY) {
    out = {IPPROTO_TCP, TCP_NODELAY};
    return true;
  }
  if (level == QLWS_IPPROTO_TCP && option == QLWS_TCP_CORK) {
    out = {IPPROTO_TCP, TCP_CORK};
    return true;
  }
  if (level != QLWS_SOL_SOCKET) return false;
  switch (option) {
    case QLWS_SO_REUSEADDR: out = {SOL_SOCKET, SO_REUSEADDR}; return true;
    case QLWS_SO_KEEPALIVE: out = {SOL_SOCKET, SO_KEEPALIVE}; return true;
    case QLWS_SO_SNDBUF: out = {SOL_SOCKET, SO_SNDBUF}; return true;
    case QLWS_SO_RCVBUF: out = {SOL_SOCKET, SO_RCVBUF}; return true;
    case QLWS_SO_ERROR: out = {SOL_SOCKET, SO_ERROR}; return true;
    case QLWS_SO_SNDTIMEO: out = {SOL_SOCKET, SO_SNDTIMEO}; return true;
    default: return false;
  }
}

// ---- select over poll (poll has no descriptor-number limit) ----

constexpr short kReadEvents = POLLIN | POLLHUP | POLLERR;
constexpr short kWriteEvents = POLLOUT | POLLHUP | POLLERR;
constexpr short kFailEvents = POLLPRI | POLLERR;

struct WatchedSet {
  qlws_fd_set* set;
  short events;
};

int PollLimitMs(const qlws_timeval* limit, bool& invalid) {
  invalid = false;
  if (limit == nullptr) return -1;
  if (limit->tv_sec < 0 || limit->tv_usec < 0) {
    invalid = true;
    return 0;
  }
  const int64_t ms = int64_t{limit->tv_sec} * 1000 + (int64_t{limit->tv_usec} + 999) / 1000;
  return static_cast<int>(std::min<int64_t>(ms, INT_MAX));
}

// poll, resumed with the time still left when a signal interrupts it.
int PollWithoutInterruption(std::vector<pollfd>& fds, int limitMs) {
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::milliseconds(limitMs < 0 ? 0 : limitMs);
  int wait = limitMs;
  for (;;) {
    const int ready = poll(fds.data(), fds.size(), wait);
    if (ready >= 0 || errno != EINTR) return ready;
    if (limitMs >= 0) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
      wait = static_cast<int>(std::max<int64_t>(left.count(), 0));
    }
  }
}

// ---- name resolution ----

int32_t SystemResolver(const char* name, uint8_t (*addresses)[4], int32_t capacity) {
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  const int code = getaddrinfo(name, nullptr, &hints, &found);
  if (code != 0) return code > 0 ? -code : code;
  int32_t count = 0;
  for (addrinfo* item = found; item != nullptr && count < capacity; item = item->ai_next) {
    if (item->ai_family != AF_INET) continue;
    std::memcpy(addresses[count++], &reinterpret_cast<sockaddr_in*>(item->ai_addr)->sin_addr, 4);
  }
  freeaddrinfo(found);
  return count > 0 ? count : EAI_NODATA;
}

std::atomic<qlws_host_resolver> hostResolver{nullptr};

constexpr int32_t kMaxHostAddresses = 16;

// The per-thread result of gethostbyname, valid until the thread's next call.
// Trivially destructible, so the library stays unloadable after a lookup.
struct HostRecord {
  char name[256];
  uint8_t addresses[kMaxHostAddresses][4]{};
  char* addressList[kMaxHostAddresses + 1]{};
  char* aliases[1]{};
  qlws_hostent entry{};
};
thread_local HostRecord hostRecord;

}  // namespace

extern "C" {

QLWS_API int32_t qlws_WSAStartup(uint16_t version, qlws_wsadata* data) {
  if (data == nullptr) return QLWSAEFAULT;
  if ((version & 0xFF) < 2) return QLWSAVERNOTSUPPORTED;
  *data = qlws_wsadata{};
  data->wVersion = 0x0202;
  data->wHighVersion = 0x0202;
  std::strcpy(data->szDescription, "Quillet sockets over POSIX");
  std::strcpy(data->szSystemStatus, "Running");
  startCount.fetch_add(1);
  return 0;
}

QLWS_API int32_t qlws_WSACleanup(void) {
  int32_t count = startCount.load();
  while (count > 0 && !startCount.compare_exchange_weak(count, count - 1)) {
  }
  return count > 0 ? 0 : Fail(QLWSANOTINITIALISED);
}

QLWS_API int32_t qlws_WSAGetLastError(void) { return lastError; }

QLWS_API void qlws_WSASetLastError(int32_t error) { lastError = error; }

QLWS_API qlws_socket_t qlws_socket(int32_t family, int32_t type, int32_t protocol) {
  if (!Started()) return QLWS_INVALID_SOCKET;
  if (family != QLWS_AF_INET) return Fail(QLWSAEAFNOSUPPORT);
  int systemType = 0;
  if (type == QLWS_SOCK_STREAM) {
    systemType = SOCK_STREAM;
  } else if (type == QLWS_SOCK_DGRAM) {
    systemType = SOCK_DGRAM;
  } else {
    return Fail(QLWSAESOCKTNOSUPPORT);
  }
  const int s = ::socket(AF_INET, systemType | SOCK_CLOEXEC, protocol);
  return s < 0 ? FailWithErrno() : s;
}

QLWS_API int32_t qlws_bind(qlws_socket_t s, const qlws_sockaddr_in* name, int32_t length) {
  if (!Started()) return QLWS_SOCKET_ERROR;
  sockaddr_in address{};
  if (!ToSystemAddress(name, length, address)) return QLWS_SOCKET_ERROR;
  return ::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0 ? 0 : FailWithErrno();
}

QLWS_API int32_t qlws_connect(qlws_socket_t s, const qlws_sockaddr_in* name, int32_t length) {
  if (!Started()) return QLWS_SOCKET_ERROR;
  sockaddr_in address{};
  if (!ToSystemAddress(name, length, address)) return QLWS_SOCKET_ERROR;
  if (::connect(s, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0) return 0;
  if (errno != EINTR) return FailWithErrno();
  // An interrupted blocking connect goes on in the background: wait for its end.
  std::vector<pollfd> fds{{s, POLLOUT, 0}};
  if (PollWithoutInterruption(fds, -1) < 0) return FailWithErrno();
  int error = 0;
  socklen_t size = sizeof(error);
  if (getsockopt(s, SOL_SOCKET, SO_ERROR, &error, &size) != 0) return FailWithErrno();
  return error == 0 ? 0 : Fail(WinsockErrorOfErrno(error));
}

QLWS_API int32_t qlws_getsockname(qlws_socket_t s, qlws_sockaddr_in* name, int32_t* length) {
  return QueryAddress(s, name, length, ::getsockname);
}

QLWS_API int32_t qlws_getpeername(qlws_socket_t s, qlws_sockaddr_in* name, int32_t* length) {
  return QueryAddress(s, name, length, ::getpeername);
}

QLWS_API int32_t qlws_send(qlws_socket_t s, const void* buffer, int32_t length, int32_t flags) {
  if (!Started()) return QLWS_SOCKET_ERROR;
  if (length < 0 || (buffer == nullptr && length > 0)) return Fail(QLWSAEFAULT);
  const int systemFlags = MSG_NOSIGNAL | ((flags & QLWS_MSG_OOB) ? MSG_OOB : 0);
  for (;;) {
    const ssize_t sent = ::send(s, buffer, static_cast<size_t>(length), systemFlags);
    if (sent >= 0) return static_cast<int32_t>(sent);
    // On a blocking socket "would block" means the send time limit ran out.
    if ((errno == EAGAIN || errno == EWOULDBLOCK) && (::fcntl(s, F_GETFL) & O_NONBLOCK) == 0) {
      return Fail(QLWSAETIMEDOUT);
    }
    if (errno != EINTR) return FailWithErrno();
  }
}

QLWS_API int32_t qlws_recv(qlws_socket_t s, void* buffer, int32_t length, int32_t flags) {
  if (!Started()) return QLWS_SOCKET_ERROR;
  if (length < 0 || (buffer == nullptr && length > 0)) return Fail(QLWSAEFAULT);
  const int systemFlags =
      ((flags & QLWS_MSG_OOB) ? MSG_OOB : 0) | ((flags & QLWS_MSG_PEEK) ? MSG_PEEK : 0);
  for (;;) {
    const ssize_t received = ::recv(s, buffer, static_cast<size_t>(length), systemFlags);
    if (received >= 0) return static_cast<int32_t>(received);
    if (errno != EINTR) return FailWithErrno();
  }
}

QLWS_API int32_t qlws_select(int32_t, qlws_fd_set* readable, qlws_fd_set* writable,
                             qlws_fd_set* failed, const qlws_timeval* limit) {
  if (!Started()) return QLWS_SOCKET_ERROR;
  const WatchedSet sets[] = {{readable, kReadEvents}, {writable, kWriteEvents}, {failed, kFailEvents}};
  std::vector<pollfd> fds;
  for (const WatchedSet& watched : sets) {
    if (watched.set == nullptr) continue;
    if (watched.set->fd_count > QLWS_FD_SETSIZE) return Fail(QLWSAEINVAL);
    for (uint32_t i = 0; i < watched.set->fd_count; ++i) {
      if (watched.set->fd_array[i] < 0) return Fail(QLWSAENOTSOCK);
      fds.push_back({watched.set->fd_array[i], watched.events, 0});
    }
  }
  bool invalid = false;
  const int limitMs = PollLimitMs(limit, invalid);
  if (fds.empty() || invalid) return Fail(QLWSAEINVAL);
  if (PollWithoutInterruption(fds, limitMs) < 0) return FailWithErrno();
  for (const pollfd& fd : fds) {
    if (fd.revents & POLLNVAL) return Fail(QLWSAENOTSOCK);
  }
  int32_t ready = 0;
  size_t next = 0;
  for (const WatchedSet& watched : sets) {
    if (watched.set == nullptr) continue;
    const uint32_t count = watched.set->fd_count;
    watched.set->fd_count = 0;
    for (uint32_t i = 0; i < count; ++i, ++next) {
      if (fds[next].revents & watched.events) {
        watched.set->fd_array[watched.set->fd_count++] = fds[next].fd;
        ++ready;
      }
    }
  }
  return ready;
}

QLWS_API int32_t qlws_shutdown(qlws_socket_t s, int32_t how) {
  if (!Started()) return QLWS_SOCKET_ERROR;
  static constexpr int kHows[] = {SHUT_RD, SHUT_WR, SHUT_RDWR};
  if (how < QLWS_SD_RECEIVE || how > QLWS_SD_BOTH) return Fail(QLWSAEINVAL);
  return ::shutdown(s, kHows[how]) == 0 ? 0 : FailWithErrno();
}

QLWS_API int32_t qlws_closesocket(qlws_socket_t s) {
  if (!Started()) return QLWS_SOCKET_ERROR;
  if (s < 0) return Fail(QLWSAENOTSOCK);
  // Linux releases the descriptor even when close reports EINTR: never retry.
  return ::close(s) == 0 || errno == EINTR ? 0 : FailWithErrno();
}

QLWS_API int32_t qlws_setsockopt(qlws_socket_t s, int32_t level, int32_t option, const void* value,
                                 int32_t length) {
  if (!Started()) return QLWS_SOCKET_ERROR;
  SystemOption system{};
  if (!ToSystemOption(level, option, system) || option == QLWS_SO_ERROR) {
    return Fail(QLWSAENOPROTOOPT);
  }
  if (value == nullptr || length < static_cast<int32_t>(sizeof(int32_t))) return Fail(QLWSAEFAULT);
  int32_t flag = 0;
  std::memcpy(&flag, value, sizeof(flag));
  if (option == QLWS_SO_SNDTIMEO && level == QLWS_SOL_SOCKET) {
    const timeval limit{flag / 1000, (flag % 1000) * 1000};
    return ::setsockopt(s, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof(limit)) == 0 ? 0
                                                                                : FailWithErrno();
  }
  const int systemValue = flag;
  return ::setsockopt(s, system.level, system.option, &systemValue, sizeof(systemValue)) == 0
             ? 0
             : FailWithErrno();
}

QLWS_API int32_t qlws_getsockopt(qlws_socket_t s, int32_t level, int32_t option, void* value,
                                 int32_t* length) {
  if (!Started()) return QLWS_SOCKET_ERROR;
  SystemOption system{};
  if (!ToSystemOption(level, option, system)) return Fail(QLWSAENOPROTOOPT);
  if (value == nullptr || length == nullptr || *length < static_cast<int32_t>(sizeof(int32_t))) {
    return Fail(QLWSAEFAULT);
  }
  int systemValue = 0;
  socklen_t size = sizeof(systemValue);
  if (::getsockopt(s, system.level, system.option, &systemValue, &size) != 0) return FailWithErrno();
  int32_t result = systemValue;
  if (option == QLWS_SO_ERROR && level == QLWS_SOL_SOCKET && result != 0) {
    result = WinsockErrorOfErrno(result);
  }
  std::memcpy(value, &result, sizeof(result));
  *length = sizeof(result);
  return 0;
}

QLWS_API int32_t qlws_ioctlsocket(qlws_socket_t s, int32_t command, uint32_t* argument) {
  if (!Started()) return QLWS_SOCKET_ERROR;
  if (command != QLWS_FIONBIO) return Fail(QLWSAEINVAL);
  if (argument == nullptr) return Fail(QLWSAEFAULT);
  const int flags = fcntl(s, F_GETFL);
  if (flags < 0) return FailWithErrno();
  const int wanted = *argument != 0 ? (flags | O_NONBLOCK) : (flags & ~O_NONBLOCK);
  return fcntl(s, F_SETFL, wanted) == 0 ? 0 : FailWithErrno();
}

QLWS_API uint16_t qlws_htons(uint16_t value) { return htons(value); }

QLWS_API uint16_t qlws_ntohs(uint16_t value) { return ntohs(value); }

QLWS_API qlws_hostent* qlws_gethostbyname(const char* name) {
  if (!Started()) return nullptr;
  if (name == nullptr || *name == '\0') {
    Fail(QLWSAHOST_NOT_FOUND);
    return nullptr;
  }
  HostRecord& record = hostRecord;
  const qlws_host_resolver replaced = hostResolver.load();
  errno = 0;
  const int32_t count = (replaced != nullptr ? replaced : SystemResolver)(
      name, record.addresses, kMaxHostAddresses);
  if (count <= 0) {
    Fail(WinsockErrorOfResolver(count == 0 ? EAI_NODATA : count, errno));
    return nullptr;
  }
  std::strncpy(record.name, name, sizeof(record.name) - 1);
  record.name[sizeof(record.name) - 1] = '\0';
  for (int32_t i = 0; i <= kMaxHostAddresses; ++i) {
    record.addressList[i] =
        i < std::min(count, kMaxHostAddresses) ? reinterpret_cast<char*>(record.addresses[i]) : nullptr;
  }
  record.aliases[0] = nullptr;
  record.entry = qlws_hostent{record.name, record.aliases, QLWS_AF_INET, 4, record.addressList};
  return &record.entry;
}

QLWS_API int32_t qlws_gethostname(char* name, int32_t length) {
  if (!Started()) return QLWS_SOCKET_ERROR;
  if (name == nullptr || length <= 0) return Fail(QLWSAEFAULT);
  if (::gethostname(name, static_cast<size_t>(length)) != 0) {
    return Fail(errno == ENAMETOOLONG ? QLWSAEFAULT : WinsockErrorOfErrno(errno));
  }
  name[length - 1] = '\0';
  return 0;
}

QLWS_API qlws_host_resolver qlws_SetHostResolver(qlws_host_resolver resolver) {
  return hostResolver.exchange(resolver);
}

}  // extern "C"
