#include "support/ScriptedServer.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <stdexcept>

namespace quillet::testing {

namespace {

using Clock = std::chrono::steady_clock;

enum class WaitResult { ready, timedOut, stopped };

// Waits until fd is readable, the stop pipe is written, or the deadline passes.
WaitResult WaitReadable(int fd, int stopFd, Clock::time_point deadline) {
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) return WaitResult::timedOut;
    pollfd fds[2] = {{fd, POLLIN, 0}, {stopFd, POLLIN, 0}};
    const int ready = ::poll(fds, 2, static_cast<int>(left.count()));
    if (ready < 0 && errno == EINTR) continue;
    if (ready < 0 || (fds[1].revents & POLLIN)) return WaitResult::stopped;
    if (ready > 0) return WaitResult::ready;
  }
}

std::string Unescape(const std::string& text) {
  std::string bytes;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\' || i + 1 == text.size()) {
      bytes += text[i];
      continue;
    }
    const char kind = text[++i];
    if (kind == 'r') bytes += '\r';
    else if (kind == 'n') bytes += '\n';
    else if (kind == 't') bytes += '\t';
    else if (kind == 'x' && i + 2 < text.size()) {
      bytes += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
      i += 2;
    } else bytes += kind;
  }
  return bytes;
}

// Control bytes shown as escapes, so a report shows what was on the wire.
std::string Visible(const std::string& bytes) {
  std::string text;
  for (unsigned char c : bytes) {
    if (c == '\r') text += "\\r";
    else if (c == '\n') text += "\\n";
    else if (c < 32) text += "\\x" + std::string(1, "0123456789ABCDEF"[c >> 4]) +
                             "0123456789ABCDEF"[c & 15];
    else text += static_cast<char>(c);
  }
  return text;
}

bool StartsWith(const std::string& text, const std::string& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

void SendAll(int fd, const std::string& bytes) {
  size_t pos = 0;
  while (pos < bytes.size()) {
    const ssize_t sent = ::send(fd, bytes.data() + pos, bytes.size() - pos, MSG_NOSIGNAL);
    if (sent <= 0) return;  // the client went away; the next expectation reports it
    pos += static_cast<size_t>(sent);
  }
}

// Reads until the input holds the terminator; "" or why it never came.
std::string ReadUntil(int fd, int stopFd, std::string& input, const std::string& terminator,
                             std::chrono::milliseconds limit) {
  const auto deadline = Clock::now() + limit;
  while (input.find(terminator) == std::string::npos) {
    const WaitResult wait = WaitReadable(fd, stopFd, deadline);
    if (wait == WaitResult::stopped) return "server stopped";
    if (wait == WaitResult::timedOut) {
      return "nothing within " + std::to_string(limit.count()) + " ms; buffered `" +
             Visible(input) + "`";
    }
    char block[4096];
    const ssize_t count = ::recv(fd, block, sizeof block, 0);
    if (count <= 0) return "the client closed the connection; buffered `" + Visible(input) + "`";
    input.append(block, static_cast<size_t>(count));
  }
  return {};
}

}  // namespace

struct ScriptedServer::Connection {
  int fd = -1;
  std::string input;

  ~Connection() { Close(); }
  void Close() {
    if (fd < 0) return;
    ::shutdown(fd, SHUT_WR);
    // Unread input would turn the close into a reset; read it away first.
    char scrap[4096];
    while (::recv(fd, scrap, sizeof scrap, MSG_DONTWAIT) > 0) {
    }
    ::close(fd);
    fd = -1;
  }
};

ScriptedServer::ScriptedServer(std::string script, std::chrono::milliseconds readLimit)
    : script_(std::move(script)), readLimit_(readLimit) {
  if (::pipe(stopPipe_) != 0) throw std::runtime_error("pipe failed");
  listenFd_ = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  socklen_t length = sizeof address;
  if (listenFd_ < 0 || ::bind(listenFd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(listenFd_, 4) != 0 ||
      ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    throw std::runtime_error("cannot listen on the loopback interface");
  }
  port_ = ntohs(address.sin_port);
  thread_ = std::thread([this] { Run(); });
}

ScriptedServer::~ScriptedServer() {
  if (thread_.joinable()) {
    const char stop = 1;
    (void)!::write(stopPipe_[1], &stop, 1);
    thread_.join();
  }
  ::close(listenFd_);
  ::close(stopPipe_[0]);
  ::close(stopPipe_[1]);
}

std::string ScriptedServer::Finish() {
  if (thread_.joinable()) thread_.join();
  return failure_;
}

bool ScriptedServer::AcceptConnection(Connection& connection) {
  connection.Close();
  connection.input.clear();
  if (WaitReadable(listenFd_, stopPipe_[0], Clock::now() + readLimit_) != WaitResult::ready) {
    return false;
  }
  connection.fd = ::accept(listenFd_, nullptr, nullptr);
  return connection.fd >= 0;
}

void ScriptedServer::Run() {
  Connection connection;
  if (!AcceptConnection(connection)) {
    failure_ = "no client connected";
    return;
  }
  std::string rest = script_;
  int number = 0;
  while (!rest.empty()) {
    const std::string step = TrimRight(CutToken(rest, "\n"));
    ++number;
    const std::string trimmed = Trim(step);
    if (trimmed.empty() || trimmed[0] == '#') continue;
    const std::string problem = RunStep(connection, TrimLeft(step));
    if (!problem.empty()) {
      failure_ = "script line " + std::to_string(number) + " `" + trimmed + "`: " + problem;
      return;
    }
  }
  if (connection.fd >= 0) {
    const std::string problem = ExpectClose(connection, "after the end of the script");
    if (!problem.empty()) failure_ = problem;
  }
}

std::string ScriptedServer::RunStep(Connection& connection, const std::string& step) {
  if (StartsWith(step, "S:")) {
    std::string text = step.substr(2);
    if (StartsWith(text, " ")) text.erase(0, 1);
    SendAll(connection.fd, text + "\r\n");
    return {};
  }
  if (StartsWith(step, "C:")) {
    std::string text = step.substr(2);
    if (StartsWith(text, " ")) text.erase(0, 1);
    return ExpectLine(connection, text);
  }
  if (StartsWith(step, "RAW:")) {
    SendAll(connection.fd, Unescape(TrimLeft(step.substr(4))));
    return {};
  }
  if (step == "DATA>") return TakeData(connection);
  if (StartsWith(step, "SILENT")) {
    const auto quiet = std::chrono::milliseconds(std::stoi(step.substr(6)));
    if (connection.input.empty()) WaitReadable(connection.fd, stopPipe_[0], Clock::now() + quiet);
    return {};
  }
  if (step == "CLOSE") {
    connection.Close();
    return {};
  }
  if (step == "RESET") {
    // A zero linger time makes close send RST instead of FIN.
    const linger abort{1, 0};
    ::setsockopt(connection.fd, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
    ::close(connection.fd);
    connection.fd = -1;
    return {};
  }
  if (step == "EOF") return ExpectClose(connection, "instead of closing");
  if (step == "ACCEPT") return AcceptConnection(connection) ? "" : "no second client connected";
  return "unknown script step";
}

std::string ScriptedServer::ExpectLine(Connection& connection, const std::string& expected) {
  if (connection.fd < 0) return "the connection is closed";
  const std::string problem =
      ReadUntil(connection.fd, stopPipe_[0], connection.input, "\r\n", readLimit_);
  if (!problem.empty()) return problem;
  const size_t end = connection.input.find("\r\n");
  std::string line = connection.input.substr(0, end);
  connection.input.erase(0, end + 2);
  receivedLines_.push_back(line);
  if (line == expected) return {};
  return "got `" + Visible(line) + "`";
}

std::string ScriptedServer::TakeData(Connection& connection) {
  if (connection.fd < 0) return "the connection is closed";
  // RFC 5321 section 4.1.1.4: the data ends with a line holding one dot.
  if (StartsWith(connection.input, ".\r\n")) {
    connection.input.erase(0, 3);
    dataBytes_.clear();
    return {};
  }
  const std::string problem =
      ReadUntil(connection.fd, stopPipe_[0], connection.input, "\r\n.\r\n", readLimit_);
  if (!problem.empty()) return "no end of data: " + problem;
  const size_t end = connection.input.find("\r\n.\r\n");
  dataBytes_ = connection.input.substr(0, end + 2);
  connection.input.erase(0, end + 5);
  return {};
}

std::string ScriptedServer::ExpectClose(Connection& connection, const std::string& what) {
  const auto deadline = Clock::now() + readLimit_;
  for (;;) {
    if (!connection.input.empty()) {
      const std::string unexpected = Visible(connection.input);
      connection.Close();
      return "the client sent `" + unexpected + "` " + what;
    }
    const WaitResult wait = WaitReadable(connection.fd, stopPipe_[0], deadline);
    if (wait == WaitResult::stopped) return "server stopped";
    if (wait == WaitResult::timedOut) return "the client did not close the connection";
    char block[4096];
    const ssize_t count = ::recv(connection.fd, block, sizeof block, 0);
    if (count <= 0) {
      connection.Close();
      return {};
    }
    connection.input.append(block, static_cast<size_t>(count));
  }
}

uint16_t UnusedLoopbackPort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  ::close(fd);
  return ntohs(address.sin_port);
}

}  // namespace quillet::testing
