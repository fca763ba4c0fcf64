#include "app/ListFile.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <system_error>

#include "app/FileAccess.h"
#include "platform/Errors.h"

namespace quillet {

namespace {

[[noreturn]] void RaiseOpenError(const std::string& path, int error) {
  throw EFOpenError("Cannot open file \"" + AbsolutePath(path) + "\". " + std::strerror(error));
}

}  // namespace

StringList LoadListFile(const std::string& path) {
  std::string content;
  if (const int error = ReadFileContent(path, content); error != 0) RaiseOpenError(path, error);
  return SplitLines(content, /*stopAtNul=*/true);
}

void SaveListFile(const std::string& path, const StringList& items) {
  try {
    ReplaceFileContent(path, JoinLines(items), 0666, /*keepMode=*/true);
  } catch (const std::system_error& error) {
    throw EFCreateError("Cannot create file \"" + AbsolutePath(path) + "\". " +
                        std::strerror(error.code().value()));
  }
}

bool FileExists(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && !S_ISDIR(info.st_mode);
}

}  // namespace quillet
