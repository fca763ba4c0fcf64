#include "support/SmallFileSystem.h"

#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace quillet::testing {

namespace {

constexpr const char* kFillerName = "/.filler";

// "" once the calling thread has a private mount namespace, else why not.
std::string PrivateMountNamespace() {
  thread_local std::string reason = [] {
    if (::unshare(CLONE_NEWNS) != 0) return std::string("unshare: ") + std::strerror(errno);
    // Mounts made from now on stay in this namespace.
    if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
      return std::string("making mounts private: ") + std::strerror(errno);
    }
    return std::string();
  }();
  return reason;
}

}  // namespace

SmallFileSystem::SmallFileSystem(std::string folder, std::size_t bytes)
    : folder_(std::move(folder)) {
  reason_ = PrivateMountNamespace();
  if (!reason_.empty()) return;
  const std::string options = "size=" + std::to_string(bytes) + ",mode=0755";
  if (::mount("tmpfs", folder_.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, options.c_str()) != 0) {
    reason_ = "mounting tmpfs: " + std::string(std::strerror(errno));
  }
}

SmallFileSystem::~SmallFileSystem() {
  if (Available()) ::umount2(folder_.c_str(), MNT_DETACH);
}

void SmallFileSystem::Fill() {
  const std::string path = folder_ + kFillerName;
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) return;
  const char block[4096] = {};
  // Bounded by the file system's size: the first failed write ends it.
  while (::write(fd, block, sizeof block) > 0) {
  }
  ::close(fd);
}

void SmallFileSystem::Free() { ::unlink((folder_ + kFillerName).c_str()); }

}  // namespace quillet::testing
