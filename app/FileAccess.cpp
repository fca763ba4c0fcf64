#include "app/FileAccess.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <random>
#include <system_error>

namespace quillet {

namespace {

[[noreturn]] void RaiseErrno(int error) { throw std::system_error(error, std::generic_category()); }

// Closes and removes the temporary file unless it was renamed into place.
class TemporaryFile {
 public:
  TemporaryFile(std::string path, int fd) : path_(std::move(path)), fd_(fd) {}
  ~TemporaryFile() {
    if (fd_ >= 0) ::close(fd_);
    if (!renamed_) ::unlink(path_.c_str());
  }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  int Fd() const { return fd_; }
  const std::string& Path() const { return path_; }
  void CloseChecked() {
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) RaiseErrno(errno);
  }
  void MarkRenamed() { renamed_ = true; }

 private:
  std::string path_;
  int fd_;
  bool renamed_ = false;
};

std::string DirectoryOf(const std::string& path) {
  const auto slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

// The file a symbolic link names, so the link itself survives the rename.
std::string FollowLinks(const std::string& path) {
  struct stat info {};
  if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return path;
  char resolved[PATH_MAX];
  if (::realpath(path.c_str(), resolved) == nullptr) return path;
  return resolved;
}

std::string TemporaryName(const std::string& target) {
  static std::atomic<unsigned> counter{0};
  thread_local std::mt19937 random{std::random_device{}()};
  return target + ".tmp" + std::to_string(::getpid()) + "-" + std::to_string(counter++) + "-" +
         std::to_string(random() % 1000000);
}

TemporaryFile CreateTemporary(const std::string& target, mode_t mode) {
  for (int attempt = 0; attempt < 16; ++attempt) {
    std::string name = TemporaryName(target);
    const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd >= 0) return TemporaryFile(std::move(name), fd);
    if (errno != EEXIST) RaiseErrno(errno);
  }
  RaiseErrno(EEXIST);
}

void WriteAll(int fd, std::string_view data) {
  while (!data.empty()) {
    const ssize_t written = ::write(fd, data.data(), data.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      RaiseErrno(errno);
    }
    data.remove_prefix(static_cast<size_t>(written));
  }
}

void SyncDirectory(const std::string& directory) {
  const int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;  // the rename is done; a directory we cannot open cannot be synced
  ::fsync(fd);
  ::close(fd);
}

}  // namespace

void ReplaceFileContent(const std::string& path, std::string_view data, mode_t newFileMode,
                        bool keepMode) {
  const std::string target = FollowLinks(path);
  struct stat existing {};
  const bool exists = ::stat(target.c_str(), &existing) == 0;
  if (exists && S_ISDIR(existing.st_mode)) RaiseErrno(EISDIR);
  // A file its owner made read-only stays unwritten, though the rename could replace it.
  if (exists && ::access(target.c_str(), W_OK) != 0) RaiseErrno(errno);

  TemporaryFile temporary = CreateTemporary(target, newFileMode);
  if (exists && keepMode) {
    ::fchmod(temporary.Fd(), existing.st_mode & 07777);
  } else if (!keepMode) {
    if (::fchmod(temporary.Fd(), newFileMode) != 0) RaiseErrno(errno);
  }
  WriteAll(temporary.Fd(), data);
  if (::fsync(temporary.Fd()) != 0) RaiseErrno(errno);
  temporary.CloseChecked();
  if (::rename(temporary.Path().c_str(), target.c_str()) != 0) RaiseErrno(errno);
  temporary.MarkRenamed();
  SyncDirectory(DirectoryOf(target));
}

int ReadFileContent(const std::string& path, std::string& content) {
  content.clear();
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return errno;
  char chunk[65536];
  for (;;) {
    const ssize_t got = ::read(fd, chunk, sizeof chunk);
    if (got < 0) {
      if (errno == EINTR) continue;
      const int error = errno;
      ::close(fd);
      content.clear();
      return error;
    }
    if (got == 0) break;
    content.append(chunk, static_cast<size_t>(got));
  }
  ::close(fd);
  return 0;
}

std::string AbsolutePath(const std::string& path) {
  if (!path.empty() && path.front() == '/') return path;
  char* cwd = ::getcwd(nullptr, 0);
  if (cwd == nullptr) return path;
  std::string result(cwd);
  std::free(cwd);
  if (result.back() != '/') result += '/';
  return result + path;
}

}  // namespace quillet
