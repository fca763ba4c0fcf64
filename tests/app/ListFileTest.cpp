#include "app/ListFile.h"

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include <gtest/gtest.h>

#include "platform/Errors.h"
#include "support/TempFolder.h"

namespace quillet {
namespace {

using testing::TempFolder;

struct LineCase {
  const char* name;
  std::string bytes;
  StringList items;
};

class ListFileLinesTest : public ::testing::TestWithParam<LineCase> {};

TEST_P(ListFileLinesTest, ReadsTheItems) {
  TempFolder folder;
  folder.Write("To.txt", GetParam().bytes);
  EXPECT_EQ(LoadListFile(folder.File("To.txt")), GetParam().items);
}

INSTANTIATE_TEST_SUITE_P(
    LineRules, ListFileLinesTest,
    ::testing::Values(
        LineCase{"CrLf", "a\r\nb\r\n", {"a", "b"}},
        LineCase{"LfOnlyNoFinalBreak", "b\na", {"b", "a"}},
        LineCase{"LoneCr", "a\rb\r", {"a", "b"}},
        LineCase{"MixedEnds", "a\r\n\nb\rc", {"a", "", "b", "c"}},
        LineCase{"EmptyLinesAreItems", "\r\n\r\n", {"", ""}},
        LineCase{"EmptyFile", "", {}},
        LineCase{"StopsAtFirstNul", std::string("a\r\nb\0c\r\nd\r\n", 11), {"a", "b"}},
        LineCase{"NulAtStart", std::string("\0a\r\n", 4), {}},
        LineCase{"AnsiBytesKept", "\xC0\xE1\xE2\r\n", {"\xC0\xE1\xE2"}}),
    [](const ::testing::TestParamInfo<LineCase>& info) { return std::string(info.param.name); });

TEST(ListFile, WritesEveryItemWithCrLfAndAnEmptyListAsAnEmptyFile) {
  TempFolder folder;
  SaveListFile(folder.File("From.txt"), {"a", "", "\xC0"});
  EXPECT_EQ(folder.Read("From.txt"), "a\r\n\r\n\xC0\r\n");
  SaveListFile(folder.File("From.txt"), {});
  EXPECT_EQ(folder.Read("From.txt"), "");
}

TEST(ListFile, LoadingAMissingFileRaisesWithTheFullPathAndTheSystemText) {
  TempFolder folder;
  try {
    LoadListFile(folder.File("none.txt"));
    FAIL() << "no error";
  } catch (const EFOpenError& error) {
    EXPECT_EQ(error.Message(),
              "Cannot open file \"" + folder.File("none.txt") + "\". No such file or directory");
  }
}

TEST(ListFile, ACreateFailureRaisesWithTheFullPath) {
  TempFolder folder;
  folder.Write("plain", "x");
  // A path under a regular file cannot be created, whoever runs the test.
  const std::string path = folder.File("plain/To.txt");
  try {
    SaveListFile(path, {"a"});
    FAIL() << "no error";
  } catch (const EFCreateError& error) {
    EXPECT_EQ(error.Message(), "Cannot create file \"" + path + "\". Not a directory");
  }
}

// Makes every write past the given size fail with EFBIG, as a full disk does;
// unlike a read-only folder this holds for root as well.
class ScopedFileSizeLimit {
 public:
  explicit ScopedFileSizeLimit(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &previous_);
    previousHandler_ = signal(SIGXFSZ, SIG_IGN);
    rlimit limit = previous_;
    limit.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~ScopedFileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &previous_);
    signal(SIGXFSZ, previousHandler_);
  }

 private:
  rlimit previous_{};
  sighandler_t previousHandler_;
};

TEST(ListFile, AFailedWriteLeavesTheOldFileWholeAndNoTemporaryFile) {
  TempFolder folder;
  SaveListFile(folder.File("To.txt"), {"old 1", "old 2"});
  const StringList longList(100, std::string(100, 'n'));
  {
    ScopedFileSizeLimit limit(64);
    EXPECT_THROW(SaveListFile(folder.File("To.txt"), longList), EFCreateError);
  }
  EXPECT_EQ(folder.Read("To.txt"), "old 1\r\nold 2\r\n");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.Path()),
                          std::filesystem::directory_iterator()),
            1);
}

TEST(ListFile, RewritingKeepsTheFileModeAndFollowsALink) {
  TempFolder folder;
  folder.Write("real.txt", "x\r\n");
  ::chmod(folder.File("real.txt").c_str(), 0640);
  ASSERT_EQ(::symlink("real.txt", folder.File("To.txt").c_str()), 0);
  SaveListFile(folder.File("To.txt"), {"y"});
  struct stat info {};
  ASSERT_EQ(::lstat(folder.File("To.txt").c_str(), &info), 0);
  EXPECT_TRUE(S_ISLNK(info.st_mode));
  ASSERT_EQ(::stat(folder.File("real.txt").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0640u);
  EXPECT_EQ(folder.Read("real.txt"), "y\r\n");
}

TEST(ListFile, AReadOnlyFileIsNotReplaced) {
  if (::geteuid() == 0) GTEST_SKIP() << "root may write any file";
  TempFolder folder;
  folder.Write("To.txt", "old\r\n");
  ::chmod(folder.File("To.txt").c_str(), 0444);
  EXPECT_THROW(SaveListFile(folder.File("To.txt"), {"new"}), EFCreateError);
  EXPECT_EQ(folder.Read("To.txt"), "old\r\n");
}

TEST(ListFile, ADirectoryIsNoFile) {
  TempFolder folder;
  std::filesystem::create_directory(folder.File("To.txt"));
  folder.Write("From.txt", "");
  EXPECT_FALSE(FileExists(folder.File("To.txt")));
  EXPECT_TRUE(FileExists(folder.File("From.txt")));
  EXPECT_FALSE(FileExists(folder.File("Body.txt")));
  EXPECT_THROW(SaveListFile(folder.File("To.txt"), {"a"}), EFCreateError);
}

}  // namespace
}  // namespace quillet
