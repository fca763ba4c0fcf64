#include "support/ChildProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

extern char** environ;

namespace quillet::testing {

namespace {

std::vector<std::string> ChangedEnvironment(const ChildEnvironment& environment) {
  std::vector<std::string> result;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const std::string text = *entry;
    const std::string name = text.substr(0, text.find('='));
    bool changed = false;
    for (const auto& change : environment.changes) changed = changed || change.first == name;
    if (!changed) result.push_back(text);
  }
  for (const auto& [name, value] : environment.changes) {
    if (value) result.push_back(name + "=" + *value);
  }
  return result;
}

std::vector<char*> Pointers(std::vector<std::string>& texts) {
  std::vector<char*> pointers;
  for (auto& text : texts) pointers.push_back(text.data());
  pointers.push_back(nullptr);
  return pointers;
}

struct Pipe {
  int read = -1;
  int write = -1;
  Pipe() {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
    read = fds[0];
    write = fds[1];
  }
  ~Pipe() {
    CloseRead();
    CloseWrite();
  }
  void CloseRead() {
    if (read >= 0) ::close(read);
    read = -1;
  }
  void CloseWrite() {
    if (write >= 0) ::close(write);
    write = -1;
  }
};

}  // namespace

ChildResult RunChild(const std::string& program, const std::vector<std::string>& arguments,
                     const ChildEnvironment& environment, const std::string& input,
                     std::chrono::milliseconds limit) {
  std::vector<std::string> argvTexts = {program};
  argvTexts.insert(argvTexts.end(), arguments.begin(), arguments.end());
  std::vector<std::string> envTexts = ChangedEnvironment(environment);
  std::vector<char*> argv = Pointers(argvTexts);
  std::vector<char*> envp = Pointers(envTexts);

  // A child that exits without reading its input must not kill us with SIGPIPE.
  ::signal(SIGPIPE, SIG_IGN);
  Pipe in, out, err;
  posix_spawn_file_actions_t actions;
  ::posix_spawn_file_actions_init(&actions);
  ::posix_spawn_file_actions_adddup2(&actions, in.read, STDIN_FILENO);
  ::posix_spawn_file_actions_adddup2(&actions, out.write, STDOUT_FILENO);
  ::posix_spawn_file_actions_adddup2(&actions, err.write, STDERR_FILENO);
  pid_t pid = 0;
  const int spawned = ::posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data());
  ::posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) throw std::runtime_error("cannot start " + program + ": " + std::strerror(spawned));
  in.CloseRead();
  out.CloseWrite();
  err.CloseWrite();
  ::fcntl(in.write, F_SETFL, O_NONBLOCK);

  ChildResult result;
  size_t written = 0;
  if (input.empty()) in.CloseWrite();
  const auto deadline = std::chrono::steady_clock::now() + limit;
  bool timedOut = false;
  while (out.read >= 0 || err.read >= 0) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      timedOut = true;
      break;
    }
    pollfd fds[3] = {{out.read, POLLIN, 0}, {err.read, POLLIN, 0}, {in.write, POLLOUT, 0}};
    if (::poll(fds, 3, static_cast<int>(left.count())) < 0 && errno != EINTR) break;
    if (fds[2].revents & (POLLOUT | POLLERR | POLLHUP)) {
      const ssize_t sent = ::write(in.write, input.data() + written, input.size() - written);
      if (sent > 0) written += static_cast<size_t>(sent);
      if (sent < 0 || written == input.size()) in.CloseWrite();
    }
    for (int i = 0; i < 2; ++i) {
      if (!(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
      Pipe& source = i == 0 ? out : err;
      char chunk[4096];
      const ssize_t got = ::read(source.read, chunk, sizeof chunk);
      if (got > 0) {
        (i == 0 ? result.out : result.err).append(chunk, static_cast<size_t>(got));
      } else {
        source.CloseRead();
      }
    }
  }
  in.CloseWrite();
  if (timedOut) ::kill(pid, SIGKILL);
  int status = 0;
  ::waitpid(pid, &status, 0);
  result.exitCode = (!timedOut && WIFEXITED(status)) ? WEXITSTATUS(status) : -1;
  return result;
}

}  // namespace quillet::testing
