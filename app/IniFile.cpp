#include "app/IniFile.h"

#include <cerrno>
#include <system_error>

#include "app/FileAccess.h"
#include "platform/Errors.h"
#include "platform/TextUtils.h"

namespace quillet {

namespace {

// The settings file holds the password in clear.
constexpr mode_t kSettingsFileMode = 0600;

struct LoadedLines {
  int error = 0;  // 0, or the errno of the failed read
  StringList lines;
};

LoadedLines LoadLines(const std::string& path) {
  std::string content;
  const int error = ReadFileContent(path, content);
  return {error, SplitLines(content)};
}

// The section's name when the line is a section line.
bool SectionOf(const std::string& line, std::string& name) {
  const std::string trimmed = Trim(line);
  if (trimmed.size() < 2 || trimmed.front() != '[') return false;
  const auto close = trimmed.find(']');
  if (close == std::string::npos) return false;
  name = Trim(std::string_view(trimmed).substr(1, close - 1));
  return true;
}

// True when the line is "key=value" for this key; value gets what follows "=".
bool MatchKey(const std::string& line, std::string_view key, std::string& value) {
  const auto equals = line.find('=');
  if (equals == std::string::npos) return false;
  if (!SameTextAscii(Trim(std::string_view(line).substr(0, equals)), Trim(key))) return false;
  value = line.substr(equals + 1);
  return true;
}

// Index range [begin, end) of the section's key lines, or begin == npos.
struct SectionRange {
  size_t begin = std::string::npos;
  size_t end = 0;
};

SectionRange FindSection(const StringList& lines, std::string_view section) {
  SectionRange range;
  std::string name;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (!SectionOf(lines[i], name)) continue;
    if (range.begin != std::string::npos) {
      range.end = i;
      return range;
    }
    if (SameTextAscii(name, Trim(section))) range.begin = i + 1;
  }
  range.end = lines.size();
  return range;
}

// A line holds one value: it ends at the first line break or NUL.
std::string_view OneLine(std::string_view value) {
  const auto cut = value.find_first_of(std::string_view("\r\n\0", 3));
  return cut == std::string_view::npos ? value : value.substr(0, cut);
}

void SetValue(StringList& lines, std::string_view section, std::string_view key,
              std::string_view value) {
  const std::string entry = std::string(Trim(key)) + "=" + std::string(OneLine(value));
  const SectionRange range = FindSection(lines, section);
  if (range.begin == std::string::npos) {
    if (!lines.empty() && !Trim(lines.back()).empty()) lines.emplace_back();
    lines.push_back("[" + Trim(section) + "]");
    lines.push_back(entry);
    return;
  }
  std::string ignored;
  size_t lastEntry = range.begin;
  for (size_t i = range.begin; i < range.end; ++i) {
    if (MatchKey(lines[i], key, ignored)) {
      lines[i] = entry;
      return;
    }
    if (!Trim(lines[i]).empty()) lastEntry = i + 1;
  }
  lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(lastEntry), entry);
}

}  // namespace

TIniFile::TIniFile(std::string path) : path_(std::move(path)) {}

std::string TIniFile::ReadString(std::string_view section, std::string_view key,
                                 std::string_view defaultValue) const {
  const LoadedLines file = LoadLines(path_);
  const SectionRange range = FindSection(file.lines, section);
  if (range.begin == std::string::npos) return std::string(defaultValue);
  std::string value;
  for (size_t i = range.begin; i < range.end; ++i) {
    if (MatchKey(file.lines[i], key, value)) return value;
  }
  return std::string(defaultValue);
}

void TIniFile::WriteString(std::string_view section, std::string_view key, std::string_view value) {
  try {
    LoadedLines file = LoadLines(path_);
    // An unreadable file must not be replaced by one holding this value alone.
    if (file.error != 0 && file.error != ENOENT) {
      throw std::system_error(file.error, std::generic_category());
    }
    SetValue(file.lines, section, key, value);
    ReplaceFileContent(path_, JoinLines(file.lines), kSettingsFileMode, /*keepMode=*/false);
  } catch (const std::system_error&) {
    throw EIniFileException("Unable to write to " + path_);
  }
}

}  // namespace quillet
