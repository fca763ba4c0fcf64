// Writing the list and settings files when the disk is full: the write is
// refused with the file's error, and the file written before stays whole.

#include <sys/resource.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <functional>

#include <gtest/gtest.h>

#include "app/IniFile.h"
#include "app/ListFile.h"
#include "platform/Errors.h"
#include "support/SmallFileSystem.h"
#include "support/TempFolder.h"

namespace quillet {
namespace {

using testing::SmallFileSystem;
using testing::TempFolder;

struct WriterCase {
  const char* name;
  const char* file;
  std::string before;  // the file as the previous run left it
  std::function<void(const std::string& path)> write;
  std::function<std::string(const std::string& path, int error)> message;
};

std::string CreateErrorText(const std::string& path, int error) {
  return "Cannot create file \"" + path + "\". " + std::strerror(error);
}
std::string IniErrorText(const std::string& path, int) { return "Unable to write to " + path; }

// The new content is well past a few hundred bytes, the seam's limit below.
const StringList kLongList(50, std::string(40, 'n'));
const std::string kLongValue(600, 'v');

const WriterCase kWriters[] = {
    {"ListFile", "To.txt", "old 1\r\nold 2\r\n",
     [](const std::string& path) { SaveListFile(path, kLongList); }, CreateErrorText},
    {"EmptyListFile", "From.txt", "",
     [](const std::string& path) { SaveListFile(path, kLongList); }, CreateErrorText},
    {"SettingsFile", "Quillet.ini", "[SERVER]\r\nName=smtp.example\r\n",
     [](const std::string& path) { TIniFile(path).WriteString("NOCH", "Par", kLongValue); },
     IniErrorText},
    {"SettingsValueReplaced", "Quillet.ini", "[NOCH]\r\nPar=old\r\n",
     [](const std::string& path) { TIniFile(path).WriteString("NOCH", "Par", kLongValue); },
     IniErrorText},
};

class FileFault : public ::testing::TestWithParam<WriterCase> {
 protected:
  // Runs the writer, expecting the given system error in its message, and
  // checks that only the previous file is in the folder, byte for byte.
  void ExpectRefusedAndKept(const std::string& folder, int error) {
    const WriterCase& c = GetParam();
    const std::string path = folder + "/" + c.file;
    try {
      c.write(path);
      FAIL() << "the write was not refused";
    } catch (const Exception& raised) {
      EXPECT_EQ(raised.Message(), c.message(path, error));
    }
    std::string content;
    ASSERT_EQ(ReadFileOf(path, content), 0);
    EXPECT_EQ(content, c.before);
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
      const std::string name = entry.path().filename().string();
      EXPECT_TRUE(name == c.file || name == ".filler") << "left behind: " << name;
    }
  }

  static int ReadFileOf(const std::string& path, std::string& content) {
    content.clear();
    FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) return errno;
    char block[4096];
    size_t got = 0;
    while ((got = std::fread(block, 1, sizeof block, file)) > 0) content.append(block, got);
    std::fclose(file);
    return 0;
  }
};

TEST_P(FileFault, AFullDiskKeepsThePreviousFile) {
  TempFolder folder;
  SmallFileSystem disk(folder.Path());
  if (!disk.Available()) GTEST_SKIP() << "no small file system here: " << disk.Reason();
  folder.Write(GetParam().file, GetParam().before);
  disk.Fill();
  ExpectRefusedAndKept(folder.Path(), ENOSPC);
  // With room again the same write goes through.
  disk.Free();
  EXPECT_NO_THROW(GetParam().write(folder.File(GetParam().file)));
}

// Every write past the limit fails with EFBIG, as on a full disk; this holds
// wherever the test runs, root or not, mount or not.
class ScopedFileSizeLimit {
 public:
  explicit ScopedFileSizeLimit(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &previous_);
    previousHandler_ = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit = previous_;
    limit.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~ScopedFileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &previous_);
    std::signal(SIGXFSZ, previousHandler_);
  }
  ScopedFileSizeLimit(const ScopedFileSizeLimit&) = delete;
  ScopedFileSizeLimit& operator=(const ScopedFileSizeLimit&) = delete;

 private:
  rlimit previous_{};
  void (*previousHandler_)(int);
};

TEST_P(FileFault, AWriteThatFailsPartWayKeepsThePreviousFile) {
  TempFolder folder;
  folder.Write(GetParam().file, GetParam().before);
  ScopedFileSizeLimit limit(256);
  ExpectRefusedAndKept(folder.Path(), EFBIG);
}

INSTANTIATE_TEST_SUITE_P(Writers, FileFault, ::testing::ValuesIn(kWriters),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace quillet
