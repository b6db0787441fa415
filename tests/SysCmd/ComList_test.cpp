// ComList_test.cpp - where the table's commands are found (system directories before
// PATH, in bulk or lazily), the formatted commands, and directory listings.
#include "SysCmdFixture.h"

namespace {

using namespace syscmdtest;
using testutil::RunChild;

const char* Text(const char* text) { return text != nullptr ? text : "(null)"; }

TEST(ComList, ResolvesInBulkFromTheSystemDirectoriesThenPathInOrder) {
  REQUIRE_SANDBOX();  // writes /tmp/sctinit.log
  testutil::ScratchDir first, second;
  // Neither executable nor a file: presence of the name is the only test.
  for (const std::string& file : {first / "cat", first / "lsque", second / "lsque"}) {
    ASSERT_TRUE(testutil::WriteFile(file, ""));
  }
  ASSERT_EQ(mkdir((second / "mkque").c_str(), 0755), 0);
  const std::string path = "::" + first.path() + "::" + second.path() + ":";
  unlink("/tmp/sctinit.log");
  EXPECT_EQ(RunChild([&] {
              setenv("PATH", path.c_str(), 1);
              flUseLog = 1;
              my_name = const_cast<char*>("sctinit");
              InitSysCmdList();
              testutil::WriteFile(second / "lsallq", "");  // too late: the lazy phase has ended
              std::printf("%s|%s|%s|%s|%s|%d%d|%s", ComList[CMD_CAT].pPath, getenv("SHELL"), ComList[CMD_LSQUE].pPath,
                          ComList[CMD_MKQUE].pPath, Take(GetCmd(CMD_LSALLQ)).c_str(), flSysCmdLog, flInitSysCmd,
                          FullSearchPath);
            }).out,
            "/usr/bin|/usr/bin/sh |" + first.path() + "|" + second.path() + "|(null)|10|" + SearchPaths + ":" + path);
  EXPECT_EQ(testutil::ReadFile("/tmp/sctinit.log"), "initializing system\n");
  // Without PATH only the system directories; with sh nowhere SHELL is left alone.
  EXPECT_EQ(RunChild([] {
              unsetenv("PATH");
              setenv("SHELL", "/kept", 1);
              ComList[CMD_SH].pName = "sh-nowhere";
              InitSysCmdList();
              std::printf("%s|%s|%s|%d", FullSearchPath, Text(ComList[CMD_SH].pPath), getenv("SHELL"), flSysCmdLog);
            }).out,
            std::string(SearchPaths) + ":|(null)|/kept|0");
}

TEST(ComList, ResolvesLazilyOnFirstUseAndFormatsTheCommands) {
  testutil::ScratchDir dir;
  ASSERT_TRUE(testutil::WriteFile(dir / "lsallq", ""));
  const std::string path = "::" + dir.path() + ":";
  EXPECT_EQ(RunChild([&] {
              setenv("PATH", path.c_str(), 1);
              std::printf("%s|", Text(ComList[CMD_LSALLQ].pPath));  // one printf a call: arguments go in any order
              std::printf("%d|", TestCmd(CMD_LSALLQ));
              std::printf("%s|%s|", ComList[CMD_LSALLQ].pPath, FullSearchPath);
              std::printf("%s|%d|%d|", Take(GetCmd(CMD_LS)).c_str(), FillCmdPath(CMD_MKQUE), FillCmdPath(CMD_LINE));
              static char bin[] = "/bin";
              ComList[CMD_RM_RF].pPath = bin;
              std::printf("%s|%s|", Take(GetCmd(CMD_RM_RF)).c_str(), Take(GetCmdNoFlags(CMD_RM_RF)).c_str());
              flInitSysCmd = 0;  // no more lookups: lsque stays unresolved
              for (int i : {CMD_LSQUE, CMD_LINE_UNLOGGED, CMD_LINE, CMD_END})
                std::printf("%s%s", Take(GetCmd(i)).c_str(), Take(GetCmdNoFlags(i)).c_str());
              for (int i : {-3, 0, 1, 83, 500, int{CMD_LSQUE}}) std::printf("%d", TestCmd(i));
              // FillCmdPaths keeps the directory it is given; 0 once every entry is resolved.
              for (int i = 2; i <= CMD_GPGV; ++i) ComList[i].pPath = i == CMD_LSALLQ ? nullptr : bin;
              std::string d = dir.path();
              std::printf("|%d", FillCmdPaths(d.data()));
              std::printf("%d", ComList[CMD_LSALLQ].pPath == d.data());
            }).out,
            "(null)|1|" + dir.path() + "|" + SearchPaths + ":" + path +
                "|/usr/bin/ls |0|0|/bin/rm -rf|/bin/rm|(null)(null)(null)(null)(null)(null)(null)(null)000000|01");
}

// A listing holds every entry, dots included; a search the names with the extension, or all.
TEST(ComList, ListsAndSearchesADirectory) {
  testutil::ScratchDir dir, empty;
  for (const char* n : {"a.log", "b.tar.log", "log", "a.logx", ".log"}) ASSERT_TRUE(testutil::WriteFile(dir / n, ""));
  ASSERT_EQ(mkdir((dir / "sub.d").c_str(), 0755), 0);
  ASSERT_EQ(symlink("/no/such", (dir / "dangling").c_str()), 0);
  const std::string d = dir.path();
  EXPECT_EQ(Names(Take(GetDirFileList(d.c_str()))), ". .. .log a.log a.logx b.tar.log dangling log sub.d ");
  EXPECT_EQ(Names(Take(SearchDirFileList(d.c_str(), "log"))), ".log a.log b.tar.log ");
  EXPECT_EQ(Names(Take(SearchDirFileList(d.c_str(), nullptr))), ".log a.log a.logx b.tar.log dangling log sub.d ");
  ASSERT_TRUE(testutil::WriteFile(empty / "a.txt", ""));
  for (const std::string& none : {dir / "none", dir / "log"}) EXPECT_EQ(GetDirFileList(none.c_str()), nullptr);
  for (const std::string& none : {empty.path(), dir / "none"}) EXPECT_FALSE(SearchDirFileList(none.c_str(), "log"));
  EXPECT_FALSE(GetDirFileList(nullptr) || SearchDirFileList(nullptr, nullptr) || ReadDir(nullptr));
}

}  // namespace
