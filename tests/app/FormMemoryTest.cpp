#include "app/FormMemory.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <optional>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "platform/Errors.h"
#include "support/TempFolder.h"

namespace quillet {
namespace {

using testing::TempFolder;

// The window's texts when the program starts: empty boxes, port "25".
std::array<std::string, kRememberedTextCount> FormDefaults() {
  std::array<std::string, kRememberedTextCount> texts;
  texts[static_cast<size_t>(RememberedText::Edit6)] = "25";
  return texts;
}

std::vector<std::pair<RememberedList, StringList>> RestoredLists(const FormMemory& memory) {
  std::vector<std::pair<RememberedList, StringList>> found;
  memory.RestoreLists([&](RememberedList list, StringList items) {
    found.emplace_back(list, std::move(items));
  });
  return found;
}

TEST(FormMemory, FirstRunKeepsTheDefaultsAndFindsNoList) {
  TempFolder folder;
  const FormMemory memory(folder.File("Quillet.ini"), folder.Path());
  EXPECT_EQ(memory.RestoreTexts(FormDefaults()), FormDefaults());
  EXPECT_TRUE(RestoredLists(memory).empty());
}

TEST(FormMemory, SavedTextsAndListsComeBack) {
  TempFolder folder;
  const FormMemory memory(folder.File("Quillet.ini"), folder.Path());
  std::array<std::string, kRememberedTextCount> texts = {
      "theme1", "body", "from@x", "to@y", "theme", "smtp.example", "abc", "login", "pa ss"};
  memory.SaveLists({StringList{"b", "a"}, StringList{}, StringList{"f"}, StringList{"t", "t"},
                    StringList{""}});
  memory.SaveTexts(texts);

  EXPECT_EQ(memory.RestoreTexts(FormDefaults()), texts);
  const auto lists = RestoredLists(memory);
  ASSERT_EQ(lists.size(), 5u);
  EXPECT_EQ(lists[0], std::make_pair(RememberedList::Combo, StringList{"b", "a"}));
  EXPECT_EQ(lists[1], std::make_pair(RememberedList::Combo1, StringList{}));
  EXPECT_EQ(lists[3], std::make_pair(RememberedList::Combo3, StringList{"t", "t"}));
  EXPECT_EQ(lists[4], std::make_pair(RememberedList::Combo4, StringList{""}));
  // The password is kept in clear under its fixed section and key.
  EXPECT_NE(folder.Read("Quillet.ini").find("[NOCH]\r\nPar=pa ss\r\n"), std::string::npos);
  EXPECT_NE(folder.Read("Quillet.ini").find("[PORT]\r\nPop3Port=abc\r\n"), std::string::npos);
  EXPECT_EQ(folder.Read("Theme1.txt"), "b\r\na\r\n");
}

TEST(FormMemory, OnlyExistingListFilesAreReported) {
  TempFolder folder;
  folder.Write("Theme.txt", "s\n");
  folder.Write("Body.txt", "");
  const auto lists = RestoredLists(FormMemory(folder.File("Quillet.ini"), folder.Path()));
  ASSERT_EQ(lists.size(), 2u);
  EXPECT_EQ(lists[0], std::make_pair(RememberedList::Combo1, StringList{}));
  EXPECT_EQ(lists[1], std::make_pair(RememberedList::Combo4, StringList{"s"}));
}

TEST(FormMemory, RestoringStopsAtTheFirstListThatCannotBeRead) {
  TempFolder folder;
  folder.Write("Theme1.txt", "a\r\n");
  folder.Write("To.txt", "t\r\n");
  // Reading this memory file fails (its first page is never mapped), even for root.
  ASSERT_EQ(::symlink("/proc/self/mem", folder.File("From.txt").c_str()), 0);
  const FormMemory memory(folder.File("Quillet.ini"), folder.Path());
  std::vector<RememberedList> found;
  EXPECT_THROW(memory.RestoreLists([&](RememberedList list, StringList) { found.push_back(list); }),
               EFOpenError);
  EXPECT_EQ(found, std::vector<RememberedList>{RememberedList::Combo});
}

TEST(FormMemory, SavingStopsAtTheFirstListThatCannotBeWritten) {
  TempFolder folder;
  ASSERT_EQ(::mkdir(folder.File("From.txt").c_str(), 0700), 0);
  const FormMemory memory(folder.File("Quillet.ini"), folder.Path());
  EXPECT_THROW(memory.SaveLists({StringList{"1"}, StringList{"2"}, StringList{"3"},
                                 StringList{"4"}, StringList{"5"}}),
               EFCreateError);
  EXPECT_EQ(folder.Read("Body.txt"), "2\r\n");
  EXPECT_EQ(folder.Read("To.txt"), "<missing>");
}

TEST(FormMemory, ListFilesLiveInTheWorkingDirectoryWhenNoFolderIsGiven) {
  TempFolder folder;
  const FormMemory memory(folder.File("Quillet.ini"), "");
  EXPECT_EQ(memory.ListFilePath(RememberedList::Combo2), "From.txt");
  EXPECT_EQ(FormMemory(folder.File("Quillet.ini"), folder.Path() + "/")
                .ListFilePath(RememberedList::Combo),
            folder.File("Theme1.txt"));
}

// Sets or clears an environment variable for one test.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, std::optional<std::string> value) : name_(name) {
    if (const char* old = std::getenv(name)) previous_ = old;
    if (value) {
      ::setenv(name, value->c_str(), 1);
    } else {
      ::unsetenv(name);
    }
  }
  ~ScopedEnv() {
    if (previous_) {
      ::setenv(name_, previous_->c_str(), 1);
    } else {
      ::unsetenv(name_);
    }
  }

 private:
  const char* name_;
  std::optional<std::string> previous_;
};

TEST(FormMemory, TheSettingsFileStaysBesideAProgramInAWritableFolder) {
  TempFolder folder;
  EXPECT_EQ(FormMemory::SettingsPathFor(folder.Path()), folder.File("Quillet.ini"));
  EXPECT_EQ(FormMemory::SettingsPathFor(folder.Path() + "/"), folder.File("Quillet.ini"));
}

// The program folder is "not writable" when it is a regular file's path: a
// test run as root may write into any folder, whatever its mode.
TEST(FormMemory, TheSettingsFileMovesToTheConfigFolderWhenTheProgramFolderIsNotWritable) {
  TempFolder folder;
  folder.Write("bin", "");
  {
    ScopedEnv config("XDG_CONFIG_HOME", folder.File("config"));
    const std::string path = FormMemory::SettingsPathFor(folder.File("bin"));
    EXPECT_EQ(path, folder.File("config/quillet/Quillet.ini"));
    struct stat info {};
    EXPECT_EQ(::stat(folder.File("config/quillet").c_str(), &info), 0);
    EXPECT_TRUE(S_ISDIR(info.st_mode));
  }
  {
    ScopedEnv config("XDG_CONFIG_HOME", std::string("relative/ignored"));
    ScopedEnv home("HOME", folder.File("home"));
    EXPECT_EQ(FormMemory::SettingsPathFor(folder.File("bin")),
              folder.File("home/.config/quillet/Quillet.ini"));
  }
}

}  // namespace
}  // namespace quillet
