#include "support/AiosmtpdServer.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace quillet::testing {

namespace {

constexpr auto kStartLimit = std::chrono::seconds(20);
constexpr auto kStopLimit = std::chrono::seconds(5);

// The first line the child writes, within the limit.
std::string ReadFirstLine(int fd, std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  std::string line;
  while (line.find('\n') == std::string::npos) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) break;
    pollfd wait{fd, POLLIN, 0};
    if (::poll(&wait, 1, static_cast<int>(left.count())) <= 0) continue;
    char chunk[64];
    const ssize_t got = ::read(fd, chunk, sizeof chunk);
    if (got <= 0) break;
    line.append(chunk, static_cast<size_t>(got));
  }
  return line.substr(0, line.find('\n'));
}

void StopChild(pid_t pid) {
  ::kill(pid, SIGTERM);
  const auto deadline = std::chrono::steady_clock::now() + kStopLimit;
  while (std::chrono::steady_clock::now() < deadline) {
    if (::waitpid(pid, nullptr, WNOHANG) == pid) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  ::kill(pid, SIGKILL);
  ::waitpid(pid, nullptr, 0);
}

}  // namespace

std::string ReceivedLetter::Header(std::string_view name) const {
  for (const auto& [headerName, value] : headers) {
    if (SameTextAscii(headerName, name)) return value;
  }
  return "<none>";
}

AiosmtpdServer::AiosmtpdServer(AiosmtpdOptions options) {
  std::vector<std::string> arguments = {
      "/usr/bin/python3", std::string(QUILLET_SOURCE_DIR) + "/tests/support/aiosmtpd_server.py",
      "--folder",         folder_.Path(),
      "--login",          options.login,
      "--password",       options.password};
  for (const auto& address : options.refusedRecipients) {
    arguments.push_back("--refuse");
    arguments.push_back(address);
  }
  if (options.tls != AiosmtpdTls::none) {
    arguments.insert(arguments.end(),
                     {"--tls", options.tls == AiosmtpdTls::startTls ? "starttls" : "implicit",
                      "--cert", options.certificateFile, "--key", options.keyFile});
  }
  if (!options.afterStartTlsReply.empty()) {
    arguments.insert(arguments.end(), {"--inject", options.afterStartTlsReply});
  }
  std::vector<char*> argv;
  for (auto& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);

  int pipeFds[2];
  if (::pipe2(pipeFds, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
  posix_spawn_file_actions_t actions;
  ::posix_spawn_file_actions_init(&actions);
  ::posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
  ::posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  const int spawned = ::posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
  ::posix_spawn_file_actions_destroy(&actions);
  ::close(pipeFds[1]);
  if (spawned != 0) {
    ::close(pipeFds[0]);
    pid_ = -1;
    throw std::runtime_error("cannot start /usr/bin/python3");
  }
  const std::string portLine = ReadFirstLine(pipeFds[0], kStartLimit);
  ::close(pipeFds[0]);
  const long port = std::strtol(portLine.c_str(), nullptr, 10);
  if (port <= 0 || port > 65535) {
    StopChild(pid_);
    pid_ = -1;
    throw std::runtime_error("aiosmtpd did not start: '" + portLine + "'");
  }
  port_ = static_cast<uint16_t>(port);
}

AiosmtpdServer::~AiosmtpdServer() {
  if (pid_ > 0) StopChild(pid_);
}

std::vector<ReceivedLetter> AiosmtpdServer::Letters(size_t count,
                                                    std::chrono::milliseconds limit) const {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  std::vector<ReceivedLetter> letters = ReadLetters();
  while (letters.size() < count && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    letters = ReadLetters();
  }
  return letters;
}

std::vector<ReceivedLetter> AiosmtpdServer::ReadLetters() const {
  std::vector<ReceivedLetter> letters;
  // The meta file is written last, so a letter with one is complete.
  for (int number = 1;; ++number) {
    const std::string base = std::to_string(number);
    const std::string meta = folder_.Read(base + ".meta");
    if (meta == "<missing>") break;
    ReceivedLetter letter;
    for (const auto& line : SplitLines(meta)) {
      std::string rest = line;
      const std::string tag = CutToken(rest, " ");
      if (tag == "from") letter.mailFrom = rest;
      if (tag == "rcpt") letter.recipients.push_back(rest);
      if (tag == "login") letter.login = rest;
      if (tag == "login-tls") letter.loginTls = rest;
    }
    letter.data = folder_.Read(base + ".eml");
    for (const auto& line : SplitLines(folder_.Read(base + ".headers"))) {
      std::string value = line;
      std::string name = CutToken(value, "\t");
      letter.headers.emplace_back(std::move(name), std::move(value));
    }
    letters.push_back(std::move(letter));
  }
  return letters;
}

}  // namespace quillet::testing
