// ComList_test.cpp - where the table's commands are found (system directories before
// PATH, in bulk or lazily), the formatted commands, and directory listings.
#include "SysCmdFixture.h"

namespace {

using namespace syscmdtest;
using testutil::RunChild;

std::string Text(const char* text) { return text != nullptr ? text : "(null)"; }

TEST(ComList, ResolvesInBulkFromTheSystemDirectoriesThenPathInOrder) {
  REQUIRE_SANDBOX();  // writes /tmp/sctinit.log and hides the host's sh for a moment
  testutil::ScratchDir first, second;
  ASSERT_TRUE(testutil::WriteFile(first / "cat", ""));
  // Neither executable nor a file: presence of the name is the only test.
  ASSERT_TRUE(testutil::WriteFile(first / "lsque", ""));
  ASSERT_TRUE(testutil::WriteFile(second / "lsque", ""));
  ASSERT_EQ(mkdir((second / "mkque").c_str(), 0755), 0);
  const std::string path = "::" + first.path() + "::" + second.path() + ":";
  unlink("/tmp/sctinit.log");
  EXPECT_EQ(RunChild([&] {
              setenv("PATH", path.c_str(), 1);
              flUseLog = 1;
              my_name = const_cast<char*>("sctinit");
              InitSysCmdList();
              testutil::WriteFile(second / "lsallq", "");  // too late: the lazy phase has ended
              std::printf("%s|%s|%s|%s|%s|%s|%d|%d|%s", Text(ComList[3].pPath).c_str(), Text(getenv("SHELL")).c_str(),
                          Text(ComList[LSQUE].pPath).c_str(), Text(ComList[MKQUE].pPath).c_str(),
                          Text(ComList[LSALLQ].pPath).c_str(), Take(GetCmd(LSALLQ)).c_str(), flSysCmdLog,
                          flInitSysCmd, FullSearchPath);
            }).out,
            "/usr/bin|/usr/bin/sh |" + first.path() + "|" + second.path() + "|(null)|(null)|1|0|" + SearchPaths +
                ":" + path);
  EXPECT_EQ(testutil::ReadFile("/tmp/sctinit.log"), "initializing system\n");
  // Without PATH only the system directories; without sh anywhere SHELL stays.
  ASSERT_EQ(rename("/usr/bin/sh", "/usr/bin/sh.hidden"), 0);
  const std::string noShell = RunChild([&] {
    unsetenv("PATH");
    setenv("SHELL", "/kept", 1);
    InitSysCmdList();
    std::printf("%s|%s|%s|%d", FullSearchPath, Text(ComList[SH].pPath).c_str(), getenv("SHELL"), flSysCmdLog);
  }).out;
  ASSERT_EQ(rename("/usr/bin/sh.hidden", "/usr/bin/sh"), 0);
  EXPECT_EQ(noShell, std::string(SearchPaths) + ":|(null)|/kept|0");
}

TEST(ComList, FillCmdPathsStoresTheDirectoryAndTellsWhetherEntriesRemain) {
  testutil::ScratchDir dir;
  ASSERT_TRUE(testutil::WriteFile(dir / "lsallq", ""));
  EXPECT_EQ(RunChild([&] {
              std::string name = dir.path();
              std::printf("%d", FillCmdPaths(name.data()));
              std::printf("%s", ComList[LSALLQ].pPath == name.data() ? " stored" : " copied");
              // With every other entry resolved, one more directory completes the table.
              static char elsewhere[] = "/elsewhere", missing[] = "/no/such/dir";
              for (int i = 2; i < COM_LIST_SIZE - 1; ++i) ComList[i].pPath = i == LSQUE ? nullptr : elsewhere;
              testutil::WriteFile(dir / "lsque", "");
              std::printf(" %d %d", FillCmdPaths(name.data()), FillCmdPaths(missing));
            }).out,
            "1 stored 0 1");
}

TEST(ComList, ResolvesLazilyOnFirstUseAndFormatsTheCommands) {
  testutil::ScratchDir dir;
  ASSERT_TRUE(testutil::WriteFile(dir / "lsallq", ""));
  const std::string path = "::" + dir.path() + ":";
  EXPECT_EQ(RunChild([&] {
              setenv("PATH", path.c_str(), 1);
              std::printf("%s|", Text(ComList[LSALLQ].pPath).c_str());  // arguments are evaluated in any order
              std::printf("%d|", TestCmd(LSALLQ));
              std::printf("%s|%s|", Text(ComList[LSALLQ].pPath).c_str(), FullSearchPath);
              std::printf("%s|%d|%d|", Take(GetCmd(LS)).c_str(), FillCmdPath(MKQUE), FillCmdPath(1));
              static char bin[] = "/bin";
              ComList[RM_RF].pPath = bin;
              std::printf("%s|%s|", Take(GetCmd(RM_RF)).c_str(), Take(GetCmdNoFlags(RM_RF)).c_str());
              flInitSysCmd = 0;  // no more lookups: lsque stays unresolved
              for (int i : {LSQUE, 0, 1, 82}) std::printf("%s%s", Take(GetCmd(i)).c_str(), Take(GetCmdNoFlags(i)).c_str());
              for (int i : {-3, 0, 1, 82, 500, LSQUE}) std::printf("%d", TestCmd(i));
            }).out,
            "(null)|1|" + dir.path() + "|" + SearchPaths + ":" + path +
                "|/usr/bin/ls |0|0|/bin/rm -rf|/bin/rm|(null)(null)(null)(null)(null)(null)(null)(null)000000");
}

TEST(ComList, ListsEveryEntryOfADirectoryDotsIncluded) {
  testutil::ScratchDir dir;
  ASSERT_TRUE(testutil::WriteFile(dir / "a", ""));
  ASSERT_EQ(mkdir((dir / "bb").c_str(), 0755), 0);
  ASSERT_EQ(symlink("/no/such", (dir / "dangling").c_str()), 0);
  EXPECT_EQ(Names(Take(GetDirFileList(dir.path().c_str()))), ". .. a bb dangling ");
  for (const std::string& none : {dir / "none", dir / "a"}) EXPECT_EQ(GetDirFileList(none.c_str()), nullptr);
  EXPECT_EQ(GetDirFileList(nullptr), nullptr);
  DIR* d = opendir(dir.path().c_str());
  std::string names = " ";
  while (char* name = ReadDir(d)) names += std::string(name) + " ";
  closedir(d);
  EXPECT_EQ(Names(names), ". .. a bb dangling ");
  EXPECT_EQ(ReadDir(nullptr), nullptr);
}

}  // namespace
