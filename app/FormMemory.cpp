#include "app/FormMemory.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "app/IniFile.h"
#include "app/ListFile.h"

namespace quillet {

namespace {

constexpr const char* kSettingsFileName = "Quillet.ini";

std::string WithSeparator(std::string folder) {
  if (!folder.empty() && folder.back() != '/') folder += '/';
  return folder;
}

bool IsWritableFolder(const std::string& folder) {
  struct stat info {};
  const std::string path = folder.empty() ? "." : folder;
  return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode) &&
         ::access(path.c_str(), W_OK | X_OK) == 0;
}

std::string HomeFolder() {
  const char* home = std::getenv("HOME");
  if (home != nullptr && home[0] == '/') return home;
  if (const passwd* entry = ::getpwuid(::getuid()); entry != nullptr && entry->pw_dir != nullptr) {
    return entry->pw_dir;
  }
  return "/tmp";
}

// XDG Base Directory: a relative $XDG_CONFIG_HOME is to be ignored.
std::string ConfigFolder() {
  const char* configHome = std::getenv("XDG_CONFIG_HOME");
  if (configHome != nullptr && configHome[0] == '/') return configHome;
  return WithSeparator(HomeFolder()) + ".config";
}

// Creates every missing folder of the path; the last one private to its owner.
void MakeFolders(const std::string& path) {
  for (size_t slash = path.find('/', 1); slash != std::string::npos;
       slash = path.find('/', slash + 1)) {
    ::mkdir(path.substr(0, slash).c_str(), 0755);
  }
  ::mkdir(path.c_str(), 0700);
}

}  // namespace

const std::array<SettingsKey, kRememberedTextCount>& SettingsKeys() {
  static const std::array<SettingsKey, kRememberedTextCount> keys = {{
      {"THEME1", "Theme1"},
      {"BODY", "Body"},
      {"FROM", "From"},
      {"TO", "To"},
      {"THEME", "Theme"},
      {"SERVER", "Name"},
      {"PORT", "Pop3Port"},  // holds the SMTP port despite its name; kept for old files
      {"LOGIN", "UserLogin"},
      {"NOCH", "Par"},
  }};
  return keys;
}

const std::array<const char*, kRememberedListCount>& ListFileNames() {
  static const std::array<const char*, kRememberedListCount> names = {
      "Theme1.txt", "Body.txt", "From.txt", "To.txt", "Theme.txt"};
  return names;
}

FormMemory::FormMemory(std::string settingsPath, std::string listFolder)
    : settingsPath_(std::move(settingsPath)), listFolder_(std::move(listFolder)) {}

std::string FormMemory::SettingsPathFor(const std::string& programDir) {
  if (IsWritableFolder(programDir)) return WithSeparator(programDir) + kSettingsFileName;
  const std::string folder = WithSeparator(ConfigFolder()) + "quillet";
  MakeFolders(folder);
  return folder + "/" + kSettingsFileName;
}

std::string FormMemory::ListFilePath(RememberedList list) const {
  return WithSeparator(listFolder_) + ListFileNames()[static_cast<size_t>(list)];
}

std::array<std::string, kRememberedTextCount> FormMemory::RestoreTexts(
    const std::array<std::string, kRememberedTextCount>& current) const {
  const TIniFile settings(settingsPath_);
  std::array<std::string, kRememberedTextCount> texts;
  for (size_t i = 0; i < kRememberedTextCount; ++i) {
    texts[i] = settings.ReadString(SettingsKeys()[i].section, SettingsKeys()[i].key, current[i]);
  }
  return texts;
}

void FormMemory::RestoreLists(
    const std::function<void(RememberedList, StringList)>& found) const {
  for (size_t i = 0; i < kRememberedListCount; ++i) {
    const auto list = static_cast<RememberedList>(i);
    const std::string path = ListFilePath(list);
    if (FileExists(path)) found(list, LoadListFile(path));
  }
}

void FormMemory::SaveLists(const std::array<StringList, kRememberedListCount>& lists) const {
  for (size_t i = 0; i < kRememberedListCount; ++i) {
    SaveListFile(ListFilePath(static_cast<RememberedList>(i)), lists[i]);
  }
}

void FormMemory::SaveTexts(const std::array<std::string, kRememberedTextCount>& texts) const {
  TIniFile settings(settingsPath_);
  for (size_t i = 0; i < kRememberedTextCount; ++i) {
    settings.WriteString(SettingsKeys()[i].section, SettingsKeys()[i].key, texts[i]);
  }
}

}  // namespace quillet
