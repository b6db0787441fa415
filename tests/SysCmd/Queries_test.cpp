// Queries_test.cpp - behaviour of the process, disk and directory queries against
// fake ps, df and du programs that print controlled output.
#include "SysCmd/SysCmd.h"

#include "MemMgr/MemMgr.h"
#include "testutil.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr int DU = 41;
constexpr int PS = 55;
constexpr int DF = 57;

// Every fake appends its arguments to <fake>.args and prints <fake>.out, if any.
const char* const PRINTER = "#!/bin/sh\nprintf '%s\\n' \"$*\" >> \"$0.args\"\n"
                            "[ -f \"$0.out\" ] && cat \"$0.out\"\nexit 0\n";
// A df that prints only for a path that exists, as the real one does.
const char* const EXISTING_DF = "#!/bin/sh\nprintf '%s\\n' \"$*\" >> \"$0.args\"\n"
                                "[ -e \"$1\" ] || exit 1\ncat \"$0.out\"\n";

const char* const DF_HEADING = "Filesystem     1K-blocks  Used Available Use% Mounted on\n";

using testutil::EndSpawned;
using testutil::SpawnNamed;
using testutil::Take;

// The names of a blank-delimited list, sorted; empty when the form is wrong.
std::vector<std::string> Names(const std::string& list) {
  std::vector<std::string> names;
  if (list.size() < 2 || list.front() != ' ' || list.back() != ' ') return names;
  std::istringstream in(list);
  for (std::string n; in >> n;) names.push_back(n);
  std::sort(names.begin(), names.end());
  return names;
}

// One "ps -ace" line.
std::string PsLine(int pid, const std::string& name) {
  return "  " + std::to_string(pid) + " TS   19 ?        00:00:00 " + name + "\n";
}

// Points table entries at fake programs in a scratch directory for one test.
class FakeTools : public ::testing::Test {
 protected:
  void TearDown() override {
    for (auto& [index, path] : saved_) ComList[index].pPath = path;
  }
  void Fake(int index, const char* script = PRINTER) {
    ASSERT_TRUE(testutil::WriteTool(dir_ / ComList[index].pName, script));
    if (!saved_.count(index)) saved_[index] = ComList[index].pPath;
    ComList[index].pPath = fakeDir_.data();
  }
  void Output(int index, const std::string& text) {
    ASSERT_TRUE(testutil::WriteFile(dir_ / (std::string(ComList[index].pName) + ".out"), text));
  }
  std::string Args(int index) {
    return testutil::ReadFile(dir_ / (std::string(ComList[index].pName) + ".args"));
  }

  testutil::ScratchDir dir_;
  testutil::ScratchDir work_;
  std::string fakeDir_ = dir_.path();
  std::map<int, char*> saved_;
};

}  // namespace

// ===== GetSysPsIdList =====

using GetSysPsIdListTest = FakeTools;

TEST_F(GetSysPsIdListTest, FindsAChildInTheRealTableAndKeepsOnlyProcessesWhoseCommandColumnIsTheName) {
  const pid_t pid = SpawnNamed(work_.path(), "kandusleeper");
  ASSERT_GT(pid, 0);
  usleep(200000);  // let the child exec under its name
  EXPECT_EQ(Take(GetSysPsIdList("kandusleeper")), " " + std::to_string(pid) + " ");
  EndSpawned(pid);
  Fake(PS);
  Output(PS, "    PID CLS PRI TTY          TIME CMD\n" + PsLine(120, "TavloD") +
                 PsLine(400, "TavloDStop") + PsLine(377, "TavloD") + PsLine(500, "/opt/TavloD") +
                 "  600 TS   19 TavloD   00:00:00 sh\n");
  EXPECT_EQ(Take(GetSysPsIdList("TavloD")), " 120 377 ");
  EXPECT_EQ(Args(PS), "-ace\n");
  EXPECT_EQ(GetSysPsIdList("tvadmin"), nullptr);
  EXPECT_EQ(GetSysPsIdList(""), nullptr);
  EXPECT_EQ(GetSysPsIdList(nullptr), nullptr);
}

// ===== CheckProcTableForExecs =====

using CheckProcTableForExecsTest = FakeTools;

TEST_F(CheckProcTableForExecsTest, ReportsTheRunningProgramsInListOrderOrNullAndCutsALongListAtANameBoundary) {
  Fake(PS);
  Output(PS, PsLine(42, "tvadmin") + PsLine(471, "tvqadmin") + PsLine(43, "tvadmin"));
  EXPECT_EQ(Take(CheckProcTableForExecs("TavloD,tvadmin")), "tvadmin ( 42 43 )\n");
  EXPECT_EQ(Take(CheckProcTableForExecs(",tvqadmin,TavloD,tvadmin,")),
            "tvqadmin ( 471 )\ntvadmin ( 42 43 )\n");
  EXPECT_EQ(CheckProcTableForExecs(",TavloD,qmf,"), nullptr);
  EXPECT_EQ(CheckProcTableForExecs(""), nullptr);
  EXPECT_EQ(CheckProcTableForExecs(nullptr), nullptr);
  Output(PS, PsLine(7, "tvadm") + PsLine(8, "tvadmin"));
  // "tvadmin" straddles the 511-character limit: it is dropped, not looked up as "tvadm".
  EXPECT_EQ(CheckProcTableForExecs((std::string(505, 'x') + ",tvadmin").c_str()), nullptr);
  // Here the limit falls right after "tvadm,": that name is whole and stays.
  EXPECT_EQ(Take(CheckProcTableForExecs((std::string(504, 'x') + ",tvadm,tvadmin").c_str())),
            "tvadm ( 7 )\n");
}

TEST_F(CheckProcTableForExecsTest, AFullReportEndsWithTheProgramsThatFit) {
  Fake(PS);
  std::string out, alpha = "alpha (", beta = "beta (";
  for (int pid = 1000; pid < 1150; ++pid) {
    out += PsLine(pid, "alpha");
    alpha += " " + std::to_string(pid);
  }
  for (int pid = 2000; pid < 2300; ++pid) out += PsLine(pid, "beta");
  for (int pid = 2000; pid < 2202; ++pid) beta += " " + std::to_string(pid);
  Output(PS, out);
  // alpha's line (760 characters) fits; beta's (1509) would pass 1023 and is left out.
  EXPECT_EQ(Take(CheckProcTableForExecs("alpha,beta")), alpha + " )\n");
  // Alone, beta's line is cut after the 202 ids that fit, so beta is still named.
  EXPECT_EQ(Take(CheckProcTableForExecs("beta,alpha")), beta + " )\n");
  EXPECT_EQ(beta.size() + 3, 1019u);
}

// ===== KillProcessByName =====

using KillProcessByNameTest = FakeTools;

TEST_F(KillProcessByNameTest, KillsEveryProcessOfTheNameAndNoOtherNorTheGroupForAnIdOfZero) {
  pid_t a = SpawnNamed(work_.path(), "victim");
  pid_t b = SpawnNamed(work_.path(), "victim");
  pid_t other = SpawnNamed(work_.path(), "bystander");
  ASSERT_GT(a, 0);
  ASSERT_GT(b, 0);
  ASSERT_GT(other, 0);
  Fake(PS);
  Output(PS, PsLine(a, "victim") + PsLine(other, "bystander") + PsLine(b, "victim"));
  EXPECT_EQ(KillProcessByName("victim"), 0);
  for (pid_t pid : {a, b}) {
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
  }
  EXPECT_EQ(waitpid(other, nullptr, WNOHANG), 0);  // still running
  EndSpawned(other);
  Output(PS, "  0 TS   19 ?        00:00:00 victim\n");
  // In a child of its own process group: signalling group 0 would kill the child.
  EXPECT_EXIT(
      {
        setpgid(0, 0);
        exit(KillProcessByName("victim") == 0 ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
}

// ===== GetDiskSpace =====

using GetDiskSpaceTest = FakeTools;

TEST_F(GetDiskSpaceTest, TakesTheColumnWhoseHeadingBeginsWithAvailInAnyCaseAndTellsWhetherItExists) {
  DiskSpaceInfo info;
  EXPECT_EQ(GetDiskSpace("/", &info), 1);  // the real df measures the root
  EXPECT_GT(info.Avail, 0);
  EXPECT_NE(info.Text[0], '\0');
  Fake(DF);
  Output(DF, std::string(DF_HEADING) + "/dev/sda1        1000   400       600  40% /\n");
  EXPECT_EQ(GetDiskSpace("/some/where", &info), 1);
  EXPECT_EQ(info.Avail, 600);
  EXPECT_STREQ(info.Text, "/dev/sda1        1000   400       600  40% /\n");
  EXPECT_EQ(Args(DF), "/some/where\n");
  Output(DF, "Device AVAILABLE Size\nd0 77.5 100\n");
  EXPECT_EQ(GetDiskSpace("/", &info), 1);
  EXPECT_EQ(info.Avail, 77.5);
  // The result tells whether the avail field looked at exists.
  info.Avail = 99;
  Output(DF, "Filesystem 1K-blocks Used Free\n/dev/sda1 1000 400 600\n");  // no avail heading
  EXPECT_EQ(GetDiskSpace("/", &info), 0);
  EXPECT_EQ(info.Avail, 0);
  Output(DF, "");
  EXPECT_EQ(GetDiskSpace("/", &info), 0);
  Output(DF, std::string(DF_HEADING) + "/dev/mapper/very-long-volume-name\n 1000 400 600 40% /\n");
  EXPECT_EQ(GetDiskSpace("/", &info), 0);  // df wrapped the data line
  Output(DF, DF_HEADING);
  info.Avail = 99;
  EXPECT_EQ(GetDiskSpace("/", &info), 1);  // a heading alone: nothing available
  EXPECT_EQ(info.Avail, 0);
  EXPECT_STREQ(info.Text, "");
  // A data line longer than Text is cut to 511 characters.
  const std::string data = "/dev/" + std::string(1000, 'v') + " 1000 400 600 40% /\n";
  Output(DF, DF_HEADING + data);
  EXPECT_EQ(GetDiskSpace("/", &info), 1);
  EXPECT_EQ(std::string(info.Text), data.substr(0, 511));
  EXPECT_EQ(info.Avail, 600);
}

// ===== AvailSpace and DUPath =====

using AvailSpaceTest = FakeTools;

TEST_F(AvailSpaceTest, CountsTheSpaceTheNamedFileTakesAsAvailableAndClimbsToAnExistingAncestor) {
  Fake(DF, EXISTING_DF);
  Fake(DU);
  Output(DF, std::string(DF_HEADING) + "/dev/sda1 1000 900 100 90% /\n");
  Output(DU, "30\t" + work_.path() + "/old.tar\n");
  ASSERT_TRUE(testutil::WriteFile(work_ / "old.tar", "x"));
  EXPECT_EQ(AvailSpace(work_.path().c_str(), "old.tar", 130), 1);
  EXPECT_EQ(AvailSpace(work_.path().c_str(), "old.tar", 131), 0);
  EXPECT_EQ(Args(DU), "-s " + work_.path() + "/old.tar\n-s " + work_.path() + "/old.tar\n");
  // A file that is not there counts nothing.
  EXPECT_EQ(AvailSpace(work_.path().c_str(), "none.tar", 101), 0);
  // A missing directory is answered for its nearest existing ancestor.
  ASSERT_EQ(unlink((dir_ / "df.args").c_str()), 0);
  ASSERT_EQ(unlink((dir_ / "du.args").c_str()), 0);
  EXPECT_EQ(AvailSpace((work_ / "new/deeper").c_str(), "old.tar", 100), 1);
  const std::string& w = work_.path();
  EXPECT_EQ(Args(DF), w + "/new/deeper\n" + w + "/new\n" + w + "\n");
  EXPECT_EQ(Args(DU), "");
}

TEST_F(AvailSpaceTest, TheClimbStopsAtTheRootOrTheCurrentDirectoryAndDUPathReadsTheFigure) {
  Fake(DF);  // prints nothing at all
  EXPECT_EQ(AvailSpace("/kandu-none/x", nullptr, 0), 0);
  EXPECT_EQ(Args(DF), "/kandu-none/x\n/kandu-none\n/\n");
  ASSERT_EQ(unlink((dir_ / "df.args").c_str()), 0);
  EXPECT_EQ(AvailSpace("a/b", nullptr, 0), 0);
  EXPECT_EQ(Args(DF), "a/b\na\n.\n");
  // DUPath reads the figure before the path, 0 without output.
  Fake(DU);
  EXPECT_EQ(DUPath("/x"), 0);
  Output(DU, "1234\t/x\n");
  EXPECT_EQ(DUPath("/x"), 1234);
  EXPECT_EQ(Args(DU), "-s /x\n-s /x\n");
}

// ===== SearchDirFileList =====

TEST(SearchDirFileList, SelectsTheNamesWhoseTextAfterTheLastDotIsTheExtensionOrEveryName) {
  testutil::ScratchDir dir, empty;
  for (const char* n : {"a.log", "b.tar.log", "log", "a.logx", ".log"}) {
    ASSERT_TRUE(testutil::WriteFile(dir / n, ""));
  }
  ASSERT_EQ(mkdir((dir / "sub.d").c_str(), 0755), 0);
  EXPECT_EQ(Names(Take(SearchDirFileList(dir.path().c_str(), "log"))),
            (std::vector<std::string>{".log", "a.log", "b.tar.log"}));
  // Without extension every name but dot and dot-dot; null when none or no directory.
  EXPECT_EQ(Names(Take(SearchDirFileList(dir.path().c_str(), nullptr))),
            (std::vector<std::string>{".log", "a.log", "a.logx", "b.tar.log", "log", "sub.d"}));
  EXPECT_EQ(SearchDirFileList(empty.path().c_str(), nullptr), nullptr);
  EXPECT_EQ(SearchDirFileList((dir / "none").c_str(), nullptr), nullptr);
  ASSERT_TRUE(testutil::WriteFile(empty / "a.txt", ""));
  EXPECT_EQ(SearchDirFileList(empty.path().c_str(), "log"), nullptr);
}
