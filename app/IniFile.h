#pragma once
// A profile file of the standard form: "[SECTION]" lines followed by
// "key=value" lines. Sections and keys are compared case-insensitively
// (ASCII); values are stored unquoted and unencoded.

#include <string>
#include <string_view>

namespace quillet {

class TIniFile {
 public:
  // No file access here; the file is read at every ReadString and rewritten at
  // every WriteString.
  explicit TIniFile(std::string path);

  // The stored value, or defaultValue when the file, the section or the key is
  // missing or the file cannot be read. Never throws on a missing file.
  std::string ReadString(std::string_view section, std::string_view key,
                         std::string_view defaultValue) const;

  // Stores the value at once, creating the file and the section as needed.
  // The file is replaced whole (written beside it, flushed, renamed into
  // place) and, when created, readable by its owner only. A value holding CR
  // or LF cannot be stored in a line and is cut at the first of them.
  // Raises EIniFileException "Unable to write to <path>" on any failure; the
  // old file then stays as it was.
  void WriteString(std::string_view section, std::string_view key, std::string_view value);

  const std::string& FileName() const { return path_; }

 private:
  std::string path_;
};

}  // namespace quillet
