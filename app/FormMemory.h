#pragma once
// What the window remembers between runs: the texts of its five drop-down
// boxes and four edit fields in the settings file, and the boxes' item lists
// in five list files. The window hands in and takes back plain texts and lists.

#include <array>
#include <functional>
#include <string>

#include "platform/TextUtils.h"

namespace quillet {

// The remembered texts in the order they are restored and saved.
enum class RememberedText { Combo, Combo1, Combo2, Combo3, Combo4, Edit3, Edit6, Edit4, Edit5 };
inline constexpr std::size_t kRememberedTextCount = 9;

// The remembered lists in the order their files are read and written:
// Theme1.txt, Body.txt, From.txt, To.txt, Theme.txt.
enum class RememberedList { Combo, Combo1, Combo2, Combo3, Combo4 };
inline constexpr std::size_t kRememberedListCount = 5;

struct SettingsKey {
  const char* section;
  const char* key;
};

// Section and key of each remembered text, indexed by RememberedText.
const std::array<SettingsKey, kRememberedTextCount>& SettingsKeys();
// File name of each remembered list, indexed by RememberedList.
const std::array<const char*, kRememberedListCount>& ListFileNames();

class FormMemory {
 public:
  // settingsPath: the settings file; listFolder: the folder of the list files
  // ("" for the working directory).
  FormMemory(std::string settingsPath, std::string listFolder);

  // Where the settings file lives: "Quillet.ini" in programDir when that
  // folder is writable; otherwise $XDG_CONFIG_HOME/quillet/Quillet.ini, else
  // ~/.config/quillet/Quillet.ini (the folder is created as needed).
  static std::string SettingsPathFor(const std::string& programDir);

  // Each text as stored, or the current one when its value is missing.
  std::array<std::string, kRememberedTextCount> RestoreTexts(
      const std::array<std::string, kRememberedTextCount>& current) const;

  // Calls found(list, items) for each list file that exists, in order; raises
  // EFOpenError at the first that cannot be opened (the later ones are not read).
  void RestoreLists(const std::function<void(RememberedList, StringList)>& found) const;

  // Writes the five list files in order; raises EFCreateError at the first
  // failure (the later ones are not written).
  void SaveLists(const std::array<StringList, kRememberedListCount>& lists) const;

  // Writes the nine texts in order; raises EIniFileException at the first failure.
  void SaveTexts(const std::array<std::string, kRememberedTextCount>& texts) const;

  const std::string& SettingsPath() const { return settingsPath_; }
  std::string ListFilePath(RememberedList list) const;

 private:
  std::string settingsPath_;
  std::string listFolder_;
};

}  // namespace quillet
