// The remembered lists' files: any file content reads without failing, and
// items without CR, LF or NUL written and read back come back unchanged.

#include <cstddef>
#include <cstdint>
#include <string>

#include "app/ListFile.h"
#include "platform/TextUtils.h"
#include "support/FuzzSupport.h"

using namespace quillet;

namespace {

void WriteBytes(const std::string& path, std::string_view bytes) {
  FILE* file = std::fopen(path.c_str(), "wb");
  FUZZ_CHECK(file != nullptr, path);
  FUZZ_CHECK(std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size(), path);
  std::fclose(file);
}

std::string Show(const StringList& items) {
  std::string text;
  for (const std::string& item : items) text += "[" + item + "]";
  return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const std::string path = quillet::fuzz::ScratchFolder() + "/To.txt";

  WriteBytes(path, bytes);
  const StringList read = LoadListFile(path);
  for (const std::string& item : read) {
    FUZZ_CHECK(item.find_first_of(std::string_view("\r\n\0", 3)) == std::string::npos, Show(read));
  }
  // A file we wrote ourselves reads back as the items it was written from.
  SaveListFile(path, read);
  FUZZ_CHECK(LoadListFile(path) == read, Show(read));

  // Items cut from the input at LF, with CR and NUL left out.
  StringList items(1);
  for (const char c : bytes) {
    if (c == '\n') {
      items.emplace_back();
    } else if (c != '\r' && c != '\0') {
      items.back() += c;
    }
  }
  if (size % 2 == 1) items.pop_back();  // sometimes no items at all
  SaveListFile(path, items);
  const StringList back = LoadListFile(path);
  FUZZ_CHECK(back == items, Show(items) + " -> " + Show(back));
  return 0;
}
