#include "app/IniFile.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include "platform/Errors.h"
#include "support/TempFolder.h"

namespace quillet {
namespace {

using testing::TempFolder;

TEST(IniFile, ReadsTheDefaultWhenFileSectionOrKeyIsMissing) {
  TempFolder folder;
  TIniFile missing(folder.File("Quillet.ini"));
  EXPECT_EQ(missing.ReadString("PORT", "Pop3Port", "25"), "25");
  folder.Write("Quillet.ini", "[SERVER]\r\nName=smtp.example\r\n");
  TIniFile ini(folder.File("Quillet.ini"));
  EXPECT_EQ(ini.ReadString("PORT", "Pop3Port", "25"), "25");
  EXPECT_EQ(ini.ReadString("SERVER", "Other", "d"), "d");
  EXPECT_EQ(ini.FileName(), folder.File("Quillet.ini"));
}

TEST(IniFile, ComparesSectionsAndKeysWithoutLetterCase) {
  TempFolder folder;
  folder.Write("Quillet.ini", "[server]\nNAME=smtp.example\n[Login]\nuserlogin=vasya\n");
  TIniFile ini(folder.File("Quillet.ini"));
  EXPECT_EQ(ini.ReadString("SERVER", "Name", ""), "smtp.example");
  EXPECT_EQ(ini.ReadString("LOGIN", "UserLogin", ""), "vasya");
  ini.WriteString("SERVER", "name", "mail.example");
  EXPECT_EQ(folder.Read("Quillet.ini"),
            "[server]\r\nname=mail.example\r\n[Login]\r\nuserlogin=vasya\r\n");
}

TEST(IniFile, WritesEachValueAtOnceAndKeepsTheOthers) {
  TempFolder folder;
  TIniFile ini(folder.File("Quillet.ini"));
  ini.WriteString("THEME1", "Theme1", "\xCF\xE8\xF1\xFC\xEC\xE5\xF6\xEE");
  ini.WriteString("NOCH", "Par", "p=a ss;#\"'");
  ini.WriteString("THEME1", "Extra", "");
  EXPECT_EQ(folder.Read("Quillet.ini"),
            "[THEME1]\r\nTheme1=\xCF\xE8\xF1\xFC\xEC\xE5\xF6\xEE\r\nExtra=\r\n\r\n"
            "[NOCH]\r\nPar=p=a ss;#\"'\r\n");
  // Values come back unquoted and untrimmed, exactly as written.
  ini.WriteString("NOCH", "Par", " secret ");
  EXPECT_EQ(TIniFile(folder.File("Quillet.ini")).ReadString("NOCH", "Par", "x"), " secret ");
}

TEST(IniFile, ReadsALongValueBackWhole) {
  TempFolder folder;
  TIniFile ini(folder.File("Quillet.ini"));
  const std::string value(5000, 'v');
  ini.WriteString("THEME", "Theme", value);
  EXPECT_EQ(ini.ReadString("THEME", "Theme", ""), value);
}

TEST(IniFile, ALineBreakInAValueCannotStartAnotherEntry) {
  TempFolder folder;
  TIniFile ini(folder.File("Quillet.ini"));
  ini.WriteString("TO", "To", "a@x\r\n[NOCH]\r\nPar=stolen");
  EXPECT_EQ(ini.ReadString("TO", "To", ""), "a@x");
  EXPECT_EQ(ini.ReadString("NOCH", "Par", "none"), "none");
}

TEST(IniFile, TheFileIsReadableByItsOwnerOnly) {
  TempFolder folder;
  folder.Write("Quillet.ini", "[NOCH]\r\nPar=old\r\n");
  ::chmod(folder.File("Quillet.ini").c_str(), 0644);
  TIniFile ini(folder.File("Quillet.ini"));
  ini.WriteString("NOCH", "Par", "secret");
  struct stat info {};
  ASSERT_EQ(::stat(folder.File("Quillet.ini").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);

  TIniFile fresh(folder.File("New.ini"));
  fresh.WriteString("NOCH", "Par", "secret");
  ASSERT_EQ(::stat(folder.File("New.ini").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
}

TEST(IniFile, AFailedWriteRaisesWithThePathAndLeavesTheFile) {
  TempFolder folder;
  folder.Write("plain", "x");
  TIniFile underFile(folder.File("plain/Quillet.ini"));
  try {
    underFile.WriteString("SERVER", "Name", "a");
    FAIL() << "no error";
  } catch (const EIniFileException& error) {
    EXPECT_EQ(error.Message(), "Unable to write to " + folder.File("plain/Quillet.ini"));
  }
  // A settings file that cannot be read is not replaced by one holding one value.
  ASSERT_EQ(::mkdir(folder.File("dir.ini").c_str(), 0700), 0);
  EXPECT_THROW(TIniFile(folder.File("dir.ini")).WriteString("SERVER", "Name", "a"),
               EIniFileException);
}

}  // namespace
}  // namespace quillet
