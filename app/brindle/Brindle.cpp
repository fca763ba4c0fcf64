// The desktop opener: hands a URL to xdg-open, which starts the desktop's
// handler for the URL's scheme.

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <string>
#include <thread>

#include "app/ShellExec.h"

extern char** environ;

namespace {

using Opener = void (*)(const char* url);

std::atomic<Opener> customOpener{nullptr};

// Waits for the child in the background so it never stays a zombie.
void ReapLater(pid_t child) {
  try {
    std::thread([child] {
      while (::waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
      }
    }).detach();
  } catch (...) {
    // Without a thread the child is reaped by nobody until we exit; the URL
    // is still opened.
  }
}

void OpenWithXdgOpen(const std::string& url) {
  posix_spawn_file_actions_t actions;
  if (::posix_spawn_file_actions_init(&actions) != 0) return;
  for (const int fd : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) {
    ::posix_spawn_file_actions_addopen(&actions, fd, "/dev/null",
                                       fd == STDIN_FILENO ? O_RDONLY : O_WRONLY, 0);
  }
  posix_spawnattr_t attributes;
  if (::posix_spawnattr_init(&attributes) != 0) {
    ::posix_spawn_file_actions_destroy(&actions);
    return;
  }
  // Its own session, so the opener outlives a closed terminal of ours.
  ::posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);

  std::string program = "xdg-open";
  std::string argument = url;
  char* argv[] = {program.data(), argument.data(), nullptr};
  pid_t child = 0;
  if (::posix_spawnp(&child, program.c_str(), &actions, &attributes, argv, environ) == 0) {
    ReapLater(child);
  }
  ::posix_spawnattr_destroy(&attributes);
  ::posix_spawn_file_actions_destroy(&actions);
}

}  // namespace

extern "C" __attribute__((visibility("default"))) void ShellExec(const char* url) {
  if (url == nullptr) return;
  const std::string copy(url);  // the caller frees its string as soon as we return
  if (const Opener opener = customOpener.load()) {
    opener(copy.c_str());
    return;
  }
  OpenWithXdgOpen(copy);
}

extern "C" __attribute__((visibility("default"))) void ShellExecSetOpener(Opener opener) {
  customOpener.store(opener);
}
