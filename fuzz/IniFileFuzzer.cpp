// The profile file: any file content reads without failing, a value written
// reads back as written (cut at its first line break), and writing one key
// leaves every other key's value as it was.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "app/IniFile.h"
#include "platform/TextUtils.h"
#include "support/FuzzSupport.h"

using namespace quillet;
using quillet::fuzz::InputReader;

namespace {

struct Entry {
  const char* section;
  const char* key;
};

// The program's own settings, and two that differ from them only in case.
constexpr Entry kEntries[] = {
    {"THEME1", "Theme1"}, {"BODY", "Body"},       {"FROM", "From"},       {"TO", "To"},
    {"THEME", "Theme"},   {"SERVER", "Name"},     {"PORT", "Pop3Port"},   {"LOGIN", "UserLogin"},
    {"NOCH", "Par"},      {"noch", "PAR"},        {"Server", "name"},
};

constexpr const char* kMissing = "\x01missing";

void WriteBytes(const std::string& path, std::string_view bytes) {
  FILE* file = std::fopen(path.c_str(), "wb");
  FUZZ_CHECK(file != nullptr, path);
  FUZZ_CHECK(std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size(), path);
  std::fclose(file);
}

std::vector<std::string> ReadAll(const TIniFile& ini) {
  std::vector<std::string> values;
  for (const Entry& entry : kEntries) values.push_back(ini.ReadString(entry.section, entry.key, kMissing));
  return values;
}

// Sections and keys compare without regard to case.
bool SameEntry(const Entry& a, const Entry& b) {
  return SameTextAscii(a.section, b.section) && SameTextAscii(a.key, b.key);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  InputReader input(data, size);
  const Entry& target = kEntries[input.Byte() % std::size(kEntries)];
  const std::string value(input.Bytes(input.Byte() % 40));
  const std::string path = quillet::fuzz::ScratchFolder() + "/Quillet.ini";
  WriteBytes(path, input.Rest());

  TIniFile ini(path);
  const std::vector<std::string> before = ReadAll(ini);
  ini.WriteString(target.section, target.key, value);
  const std::vector<std::string> after = ReadAll(ini);

  const std::string stored = value.substr(0, value.find_first_of(std::string_view("\r\n\0", 3)));
  for (size_t i = 0; i < std::size(kEntries); ++i) {
    if (SameEntry(kEntries[i], target)) {
      FUZZ_CHECK(after[i] == stored, std::string(kEntries[i].section) + " " + after[i]);
    } else {
      FUZZ_CHECK(after[i] == before[i], std::string(kEntries[i].section) + " was " + before[i] +
                                            ", is " + after[i]);
    }
  }
  return 0;
}
