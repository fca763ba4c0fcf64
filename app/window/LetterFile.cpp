#include "app/window/LetterFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>

#include "platform/Errors.h"

namespace quillet {
namespace {

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

std::string FullPath(const std::string& path) {
  std::error_code error;
  const std::filesystem::path full = std::filesystem::absolute(path, error);
  return error ? path : full.string();
}

std::string Reason(int error) {
  std::string text = std::strerror(error);
  if (!text.empty() && text.back() != '.') text += '.';
  return text;
}

}  // namespace

std::string LoadLetterFile(const std::string& path) {
  errno = 0;
  std::error_code error;
  if (std::filesystem::is_directory(path, error)) errno = EISDIR;
  FileHandle file(errno == 0 ? std::fopen(path.c_str(), "rb") : nullptr);
  if (!file) {
    throw EFOpenError("Cannot open file \"" + FullPath(path) + "\". " + Reason(errno));
  }
  std::string bytes;
  char block[65536];
  std::size_t count = 0;
  while ((count = std::fread(block, 1, sizeof block, file.get())) > 0) bytes.append(block, count);
  if (std::ferror(file.get())) {
    throw EFOpenError("Cannot open file \"" + FullPath(path) + "\". " + Reason(EIO));
  }
  return bytes;
}

void SaveLetterFile(const std::string& path, const std::string& bytes) {
  FileHandle file(std::fopen(path.c_str(), "wb"));
  if (!file) {
    throw EFCreateError("Cannot create file \"" + FullPath(path) + "\". " + Reason(errno));
  }
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file.get()) == bytes.size();
  if (!written || std::fclose(file.release()) != 0) {
    throw EOutOfResources("Failed to Save Stream");
  }
}

std::string WithDefaultExtension(const std::string& path, const std::string& suffix) {
  if (suffix.empty() || std::filesystem::path(path).has_extension()) return path;
  return path + "." + suffix;
}

}  // namespace quillet
