// ComList_test.cpp - behaviour of the command table: where commands are found (system
// directories before PATH), lazy and bulk resolution, the formatted commands, listings.
#include "SysCmd/SysCmd.h"

#include "MemMgr/MemMgr.h"
#include "testutil.h"

#include <algorithm>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

namespace {

using testutil::Take;
using Texts = std::vector<std::string>;  // a braced list is evaluated in order

// Runs body in a child process, so that the one-time resolution and the changed
// table stay there; the texts body gives, in order, joined by '|'.
template <typename Body>
std::string InChild(Body body) {
  return testutil::RunChild([&] {
    std::string joined;
    for (const std::string& t : body()) joined += (joined.empty() ? "" : "|") + t;
    std::fputs(joined.c_str(), stdout);
  }).out;
}

std::string Text(const char* text) { return text != nullptr ? text : "(null)"; }
std::string Num(int n) { return std::to_string(n); }
void SetPath(const std::string& path) { setenv("PATH", path.c_str(), 1); }

constexpr int LS = 23;
constexpr int RM_RF = 30;
constexpr int SH = 31;
constexpr int LSALLQ = 70;  // AIX queue tools: on no host of these tests
constexpr int MKQUE = 71;
constexpr int LSQUE = 78;

}  // namespace

// ===== Bulk resolution =====

TEST(InitSysCmdList, FindsCommandsInTheSystemDirectoriesBeforePathAndSearchesPathInOrder) {
  EXPECT_EQ(ComList[82].pName, nullptr);  // ends the table
  EXPECT_STREQ(SearchPaths, "/usr/sbin:/usr/bin:/bin:/sbin:/etc:/usr/etc");
  testutil::ScratchDir first, second;
  ASSERT_TRUE(testutil::WriteFile(first / "cat", "#!/bin/sh\n"));
  // Not executable, and a directory: presence of the name is the only test.
  ASSERT_TRUE(testutil::WriteFile(first / "lsque", "not a program\n"));
  ASSERT_TRUE(testutil::WriteFile(second / "lsque", "#!/bin/sh\n"));
  ASSERT_EQ(mkdir((second / "mkque").c_str(), 0755), 0);
  EXPECT_EQ(InChild([&] {
              SetPath("::" + first.path() + "::" + second.path() + ":");
              InitSysCmdList();
              return Texts{Text(ComList[3].pPath), Take(GetCmd(3)), Num(flInitSysCmd), Text(getenv("SHELL")),
                           Text(ComList[LSQUE].pPath), Text(ComList[MKQUE].pPath), Text(ComList[LSALLQ].pPath)};
            }),
            "/usr/bin|/usr/bin/cat |0|/usr/bin/sh |" + first.path() + "|" + second.path() + "|(null)");
  // Without PATH only the system directories, without log no dots.
  EXPECT_EQ(InChild([&] {
              unsetenv("PATH");
              flUseLog = 0;
              InitSysCmdList();
              return Texts{Text(FullSearchPath), Num(flSysCmdLog), Text(ComList[LS].pPath)};
            }),
            "/usr/sbin:/usr/bin:/bin:/sbin:/etc:/usr/etc:|0|/usr/bin");
}

TEST(InitSysCmdList, EndsTheLazyPhaseForGood) {
  testutil::ScratchDir path;
  EXPECT_EQ(InChild([&] {
              SetPath(path.path());
              InitSysCmdList();
              testutil::WriteFile(path / "lsallq", "#!/bin/sh\n");  // installed later
              return Texts{Num(TestCmd(LSALLQ)), Take(GetCmd(LSALLQ))};
            }),
            "0|(null)");
}

TEST(InitSysCmdList, LeavesShellAloneWhenShIsNowhere) {
  REQUIRE_SANDBOX();  // hides the host's sh for a moment, in the sandbox's /usr
  ASSERT_EQ(rename("/usr/bin/sh", "/usr/bin/sh.hidden"), 0);
  const std::string got = InChild([&] {
    unsetenv("PATH");
    setenv("SHELL", "/kept/shell", 1);
    InitSysCmdList();
    return Texts{Text(ComList[SH].pPath), Text(getenv("SHELL"))};
  });
  ASSERT_EQ(rename("/usr/bin/sh.hidden", "/usr/bin/sh"), 0);
  EXPECT_EQ(got, "(null)|/kept/shell");
}

TEST(FillCmdPaths, StoresTheDirectoryItselfAndTellsWhetherEntriesRemain) {
  testutil::ScratchDir dir;
  ASSERT_TRUE(testutil::WriteFile(dir / "lsallq", ""));
  EXPECT_EQ(InChild([&] {
              std::string name = dir.path();
              Texts got{Num(FillCmdPaths(name.data()))};
              got.push_back(ComList[LSALLQ].pPath == name.data() ? "stored" : "copied");
              // With every other entry resolved, one more directory completes the table.
              static char elsewhere[] = "/elsewhere", missing[] = "/no/such/dir";
              for (int i = 2; i < COM_LIST_SIZE - 1; ++i) {
                if (i != LSQUE) ComList[i].pPath = elsewhere;
              }
              ComList[LSQUE].pPath = nullptr;
              testutil::WriteFile(dir / "lsque", "");
              got.push_back(Num(FillCmdPaths(name.data())));
              got.push_back(Num(FillCmdPaths(missing)));  // a directory that cannot be listed
              return got;
            }),
            "1|stored|0|1");
}

// ===== Lazy resolution and the queries =====

TEST(FillCmdPath, ResolvesOnFirstUseAlongSystemDirectoriesAndPath) {
  testutil::ScratchDir dir;
  ASSERT_TRUE(testutil::WriteFile(dir / "lsallq", ""));
  EXPECT_EQ(InChild([&] {
              SetPath("::" + dir.path() + ":");
              return Texts{Text(ComList[LSALLQ].pPath), Num(TestCmd(LSALLQ)), Text(ComList[LSALLQ].pPath),
                           Text(FullSearchPath), Take(GetCmd(LS)), Num(FillCmdPath(MKQUE)), Num(FillCmdPath(1))};
            }),
            "(null)|1|" + dir.path() + "|/usr/sbin:/usr/bin:/bin:/sbin:/etc:/usr/etc:::" + dir.path() +
                ":|/usr/bin/ls |0|0");
}

TEST(GetCmd, FormatsDirectoryNameAndDefaultArgumentsOrGivesNothingForUnresolvedEntries) {
  EXPECT_EQ(InChild([&] {
              static char bin[] = "/bin";
              ComList[LS].pPath = bin;
              ComList[RM_RF].pPath = bin;
              return Texts{Take(GetCmd(LS)), Take(GetCmd(RM_RF)), Take(GetCmdNoFlags(RM_RF)), Num(TestCmd(LS))};
            }),
            "/bin/ls |/bin/rm -rf|/bin/rm|1");
  EXPECT_EQ(InChild([&] {
              flInitSysCmd = 0;  // no more lookups: lsallq stays unresolved
              Texts got{Take(GetCmd(LSALLQ)), Take(GetCmdNoFlags(LSALLQ)), Take(GetCmdNoFlags(82)),
                        Take(GetCmd(82)), Take(GetCmd(0))};
              for (int i : {-3, 0, 1, 82, 500, LSALLQ}) got.push_back(Num(TestCmd(i)));
              return got;
            }),
            "(null)|(null)|(null)|(null)|(null)|0|0|0|0|0|0");
}

// ===== Directory listings =====

TEST(GetDirFileList, ListsEveryEntryDotsIncludedEachAfterOneBlankOrIsNull) {
  testutil::ScratchDir dir;
  ASSERT_TRUE(testutil::WriteFile(dir / "a", ""));
  ASSERT_EQ(mkdir((dir / "bb").c_str(), 0755), 0);
  ASSERT_EQ(symlink("/no/such", (dir / "dangling").c_str()), 0);
  const std::string list = Take(GetDirFileList(dir.path().c_str()));
  // One blank before each name and after the last, no doubled blank.
  ASSERT_EQ(list.size(), std::string(" . .. a bb dangling ").size());
  EXPECT_TRUE(list.front() == ' ' && list.back() == ' ' && list.find("  ") == std::string::npos) << list;
  std::istringstream in(list);
  std::vector<std::string> names;
  for (std::string n; in >> n;) names.push_back(n);
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{".", "..", "a", "bb", "dangling"}));
  EXPECT_GT(FindToken("bb", list.c_str()), 0);
  // Null for a directory that cannot be opened.
  EXPECT_EQ(GetDirFileList((dir / "none").c_str()), nullptr);
  EXPECT_EQ(GetDirFileList((dir / "a").c_str()), nullptr);
  EXPECT_EQ(GetDirFileList(nullptr), nullptr);
  // ReadDir gives each name, then null.
  DIR* d = opendir(dir.path().c_str());
  ASSERT_NE(d, nullptr);
  names.clear();
  while (char* name = ReadDir(d)) names.push_back(name);
  closedir(d);
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{".", "..", "a", "bb", "dangling"}));
  EXPECT_EQ(ReadDir(nullptr), nullptr);
}
