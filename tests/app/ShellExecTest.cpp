#include "app/ShellExec.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "app/LaunchUrl.h"
#include "support/TempFolder.h"

namespace quillet {
namespace {

std::vector<std::string>& OpenedUrls() {
  static std::vector<std::string> urls;
  return urls;
}

void RecordUrl(const char* url) { OpenedUrls().emplace_back(url); }

class ShellExecTest : public ::testing::Test {
 protected:
  void SetUp() override {
    OpenedUrls().clear();
    ShellExecSetOpener(&RecordUrl);
  }
  void TearDown() override { ShellExecSetOpener(nullptr); }
};

TEST_F(ShellExecTest, HandsACopyOfTheUrlToTheOpener) {
  {
    std::string url = BuildLaunchUrl("a@x", "Q&A", "");
    ShellExec(url.c_str());
    url.assign(url.size(), 'X');  // the caller's string is gone once the call returns
  }
  ShellExec(AuthorMailUrl().c_str());
  ASSERT_EQ(OpenedUrls().size(), 2u);
  EXPECT_EQ(OpenedUrls()[0], "mailto:a@x?Subject=Q%26A&Body=");
  EXPECT_EQ(OpenedUrls()[1], AuthorMailUrl());
}

TEST_F(ShellExecTest, ANullUrlOpensNothing) {
  ShellExec(nullptr);
  EXPECT_TRUE(OpenedUrls().empty());
}

// Our children that have ended but were not waited for.
int ZombieChildren() {
  int count = 0;
  DIR* proc = ::opendir("/proc");
  if (proc == nullptr) return 0;
  while (const dirent* entry = ::readdir(proc)) {
    std::ifstream stat(std::string("/proc/") + entry->d_name + "/stat");
    std::string line;
    if (!std::getline(stat, line)) continue;
    // pid (comm) state ppid ...; comm may hold blanks, so parse after the last ")".
    const auto close = line.rfind(')');
    if (close == std::string::npos || close + 4 > line.size()) continue;
    char state = line[close + 2];
    const long parent = std::strtol(line.c_str() + close + 4, nullptr, 10);
    if (state == 'Z' && parent == ::getpid()) ++count;
  }
  ::closedir(proc);
  return count;
}

// The real opener, with a stand-in xdg-open first on PATH that records its
// argument and where its output goes.
TEST(ShellExecSpawn, StartsXdgOpenDetachedAndReapsIt) {
  testing::TempFolder folder;
  folder.Write("xdg-open",
               "#!/bin/sh\n"
               "printf '%s\\n' \"$1\" \"$(readlink /proc/$$/fd/0)\" \"$(readlink /proc/$$/fd/1)\" "
               "> \"$(dirname \"$0\")/seen.tmp\"\n"
               "mv \"$(dirname \"$0\")/seen.tmp\" \"$(dirname \"$0\")/seen\"\n");
  ASSERT_EQ(::chmod(folder.File("xdg-open").c_str(), 0755), 0);
  const std::string oldPath = std::getenv("PATH") ? std::getenv("PATH") : "/usr/bin:/bin";
  ::setenv("PATH", (folder.Path() + ":" + oldPath).c_str(), 1);
  ShellExecSetOpener(nullptr);
  ShellExec("mailto:a@x?Subject=a%20b");
  ::setenv("PATH", oldPath.c_str(), 1);

  std::string seen = "<missing>";
  for (int i = 0; i < 100 && seen == "<missing>"; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    seen = folder.Read("seen");
  }
  EXPECT_EQ(seen, "mailto:a@x?Subject=a%20b\n/dev/null\n/dev/null\n");
  int zombies = ZombieChildren();
  for (int i = 0; i < 100 && zombies > 0; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    zombies = ZombieChildren();
  }
  EXPECT_EQ(zombies, 0);
}

}  // namespace
}  // namespace quillet
