// Queries_test.cpp - the process, disk and directory queries, against the real ps and
// df and against stand-ins that print controlled output.
#include "SysCmdFixture.h"

#include <csignal>

#include <sys/wait.h>

namespace {

using namespace syscmdtest;
using testutil::ScratchDir;

// A process of the given name (a copy of sleep in dir) that runs for a minute; its id.
pid_t Spawn(const ScratchDir& dir, const std::string& name) {
  const std::string prog = dir / name;
  if (!testutil::Exists(prog) && std::system(("cp /bin/sleep " + prog).c_str()) != 0) return -1;
  const pid_t pid = fork();
  if (pid == 0) _exit(execl(prog.c_str(), name.c_str(), "60", static_cast<char*>(nullptr)));
  return pid;
}

// One line of "ps -ace".
std::string Ps(int pid, const std::string& name) {
  return "  " + std::to_string(pid) + " TS   19 ?        00:00:00 " + name + "\n";
}

using Queries = Fakes;

// The real ps finds the processes of a name, and only those are killed; with stand-in
// output, a process counts when its command column is the name, and id 0 (the caller's
// own process group) is never signalled.
TEST_F(Queries, FindsAndKillsTheProcessesOfAName) {
  ScratchDir work;
  const pid_t a = Spawn(work, "victim"), b = Spawn(work, "victim"), other = Spawn(work, "bystander");
  usleep(200000);  // let the children exec under their names
  EXPECT_EQ(Take(GetSysPsIdList("victim")), " " + std::to_string(a) + " " + std::to_string(b) + " ");
  EXPECT_EQ(KillProcessByName("victim"), 0);
  kill(other, SIGTERM);
  for (pid_t pid : {a, b, other}) {
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_EQ(WTERMSIG(status), pid == other ? SIGTERM : SIGKILL);
  }
  Fake(CMD_PS);
  Set("ps.out", "    PID CLS PRI TTY          TIME CMD\n" + Ps(120, "TavloD") + Ps(400, "TavloDStop") +
                    Ps(377, "TavloD") + Ps(500, "/opt/TavloD") + "  600 TS   19 TavloD   00:00:00 sh\n");
  EXPECT_EQ(Take(GetSysPsIdList("TavloD")), " 120 377 ");
  EXPECT_EQ(Get("ps.args"), "-ace\n");
  for (const char* none : {"tvadmin", "", static_cast<const char*>(nullptr)}) EXPECT_EQ(GetSysPsIdList(none), nullptr);
  Set("ps.out", Ps(0, "victim"));
  EXPECT_EXIT((setpgid(0, 0), exit(KillProcessByName("victim"))), ::testing::ExitedWithCode(0), "");
}

TEST_F(Queries, RunningProgramsAreReportedInListOrderWithinBothLimits) {
  Fake(CMD_PS);
  std::string many, alpha = "alpha (", beta = "beta (";
  for (int pid = 1000; pid < 1150; ++pid) many += Ps(pid, "alpha"), alpha += " " + std::to_string(pid);
  for (int pid = 2000; pid < 2300; ++pid) many += Ps(pid, "beta"), beta += pid < 2202 ? " " + std::to_string(pid) : "";
  const std::string few = Ps(42, "tvadmin") + Ps(471, "tvqadmin") + Ps(43, "tvadmin") + Ps(7, "tvadm");
  const struct { const std::string& ps; std::string list, report; } rows[] = {
      {few, ",tvqadmin,TavloD,tvadmin,", "tvqadmin ( 471 )\ntvadmin ( 42 43 )\n"},
      {few, "", "(null)"},
      // The list is taken up to 511 characters: a name cut there is dropped, not looked up
      // as "tvadm"; a name that ends right at the limit stays.
      {few, std::string(505, 'x') + ",tvadmin", "(null)"},
      {few, std::string(504, 'x') + ",tvadm,tvadmin", "tvadm ( 7 )\n"},
      // The report holds 1023 characters: alpha's line fits and beta's is left out; alone,
      // beta's line is cut after the ids that fit (202 of them, 1019 characters).
      {many, "alpha,beta", alpha + " )\n"},
      {many, "beta,alpha", beta + " )\n"},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.list.substr(0, 40));
    Set("ps.out", r.ps);
    EXPECT_EQ(Take(CheckProcTableForExecs(r.list.c_str())), r.report);
  }
  EXPECT_EQ(CheckProcTableForExecs(nullptr), nullptr);
}

TEST_F(Queries, DiskSpaceIsTheFigureUnderTheAvailHeadingUpToAMeasurableAncestor) {
  DiskSpaceInfo info;
  EXPECT_EQ(GetDiskSpace("/", &info), 1);  // the real df
  EXPECT_GT(info.Avail, 0);
  Fake(CMD_DF);
  Fake(CMD_DU);
  // df prints only for a path that exists, as the real one does.
  ASSERT_TRUE(testutil::WriteTool(dir_ / "df", "#!/bin/sh\necho \"$*\" >>\"$0.args\"\n[ -e \"$1\" ] && cat $0.out\n"));
  const std::string heading = "Filesystem     1K-blocks  Used Available Use% Mounted on\n";
  const std::string longData = "/dev/" + std::string(1000, 'v') + " 1000 400 600 40% /\n";
  const struct { std::string df; int found; double avail; std::string text; } rows[] = {
      {heading + "/dev/sda1 1000 400 600 40% /\n", 1, 600, "/dev/sda1 1000 400 600 40% /\n"},
      {"Device AVAILABLE Size\nd0 77.5 100\n", 1, 77.5, "d0 77.5 100\n"},
      {heading + "/dev/mapper/long-name\n 1000 400 600 40% /\n", 0, 0, "/dev/mapper/long-name\n"},  // a wrapped line
      {heading, 1, 0, ""},  // the heading alone: nothing available
      {heading + longData, 1, 600, longData.substr(0, 511)},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.df);
    Set("df.out", r.df);
    info.Avail = 99;
    EXPECT_EQ(GetDiskSpace("/", &info), r.found);
    EXPECT_EQ(info.Avail, r.avail);
    EXPECT_EQ(std::string(info.Text), r.text);
  }
  EXPECT_EQ(GetDiskSpace("/", nullptr), 0);
  // AvailSpace counts the space the named file takes as available, and answers for the
  // nearest ancestor df measures; the climb ends at the root or the current directory.
  const std::string& w = path_;
  Set("old.tar", "x");
  Set("df.out", heading + "/dev/sda1 1000 900 100 90% /\n");  // 100 available
  Set("du.out", "30\t" + w + "/old.tar\n");
  Set("df.args", "");
  const struct { std::string dir; const char* file; double need; int enough; } checks[] = {
      {w, "old.tar", 130, 1}, {w, "old.tar", 131, 0}, {w, "none.tar", 101, 0}, {w + "/new/deeper", "old.tar", 100, 1},
      {"/kandu-none/x", nullptr, 0, 0}, {"a/b", nullptr, 0, 0},  // df measures nothing from here on
  };
  for (const auto& c : checks) {
    if (c.file == nullptr) Set("df.out", "");
    EXPECT_EQ(AvailSpace(c.dir.c_str(), c.file, c.need), c.enough) << c.dir << " " << c.need;
  }
  EXPECT_EQ(Get("df.args"), w + "\n" + w + "\n" + w + "\n" + w + "/new/deeper\n" + w + "/new\n" + w +
                                "\n/kandu-none/x\n/kandu-none\n/\na/b\na\n.\n");
  EXPECT_EQ(Get("du.args"), "-s " + w + "/old.tar\n-s " + w + "/old.tar\n");
  EXPECT_EQ(DUPath("/x"), 30);
  Set("du.out", "");
  EXPECT_EQ(DUPath("/x"), 0);
}

}  // namespace
