// PkgList.cpp - interprets the package list: copies, directories, links, modes,
// owners, launchers, renames and edits of the product's files, by release.
//
// Each line is a command, its name N and attribute pairs that work on D/N (D the
// product directory). The interpreter keeps its own copy of the line and its own
// cursor in it, so the helpers it calls may tokenize and use the shared line
// buffer freely.
#include "setup/setup.h"
#include "setup/SetupPrivate.h"

#include "MemMgr/MemMgr.h"
#include "SysCmd/SysCmd.h"
#include "utils/utils.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/utsname.h>
#include <unistd.h>

using setup_internal::Text;

namespace {

constexpr char kCommands[] = ",dir,dirto,t,c,m,#,v,s,newdir,checkps";
enum Command { kDir = 1, kDirTo, kTouchCmd, kCopy, kModify, kComment, kRelease, kSame, kNewDir,
               kCheckPs };

constexpr char kAttributes[] = ",mode,bat,owner,group,link,name,sed";
enum Attribute { kMode = 1, kBat, kOwner, kGroup, kLink, kName, kEdit };

constexpr char kOperators[] = ",<,<=,=,>,>=,";
enum Operator { kLess = 1, kLessEqual, kEqual, kGreater, kGreaterEqual };

constexpr char kWordDelims[] = " \n\r";   // a tab belongs to the word around it
constexpr char kRestOfLine[] = "\n\r";    // the value of a line's first sed

constexpr int kReleaseMsg = 60;           // "failed ts get version"
constexpr size_t kPathMax = 4096;         // the longest path the file layer takes

// What one call works on: the work area W, the package P, the product directory
// D and the program's name M (the sed attribute's temporary file), and the line
// being carried out.
struct Run {
  const char* work;
  const char* pkg;
  const char* app;
  const char* name;
  std::string line;  // for the log's warnings, without its line end
  // A check reads the list as the interpreter does but runs nothing: what would go
  // wrong or be skipped is noted instead, with the line's number.
  bool check = false;
  std::string pkgDir;                      // the folder holding pkg.list and the product's files
  int number = 0;                          // of the line being read
  std::vector<std::string>* problems = nullptr;
};

// The text formatted like printf.
std::string VFormat(const char* fmt, va_list ap) KANDU_PRINTF(1, 0);
std::string VFormat(const char* fmt, va_list ap) {
  va_list again;
  va_copy(again, ap);
  const int n = std::vsnprintf(nullptr, 0, fmt, again);
  va_end(again);
  if (n <= 0) return std::string();
  std::string out(static_cast<size_t>(n) + 1, '\0');
  std::vsnprintf(out.data(), out.size(), fmt, ap);
  out.resize(static_cast<size_t>(n));
  return out;
}

std::string Format(const char* fmt, ...) KANDU_PRINTF(1, 2);
std::string Format(const char* fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  std::string out = VFormat(fmt, ap);
  va_end(ap);
  return out;
}

// A line the installer cannot carry out as written ends the run (status 1): it is
// logged and reported, and nothing of it is run.
[[noreturn]] void Refuse(const char* what, const std::string& text) {
  PutLogMsg("ERROR: %s, not run: %.200s\n", what, text.c_str());
  ErrorMsg(ERR_FATAL, 1, "%s, not run: %.200s", what, text.c_str());
  exit_app(1);  // not reached: ErrorMsg ends the process in mode 2
}

// Length of "<dir>/<name> <flags>" of a resolved table entry.
size_t EntryLength(int index) {
  char* cmd = GetCmd(index);
  const size_t n = cmd != nullptr ? std::strlen(cmd) : 0;
  PutMem(cmd);
  return n;
}

// Makes sure that the command line of table entry index with the argument text
// args can be run as written: the whole line (shell, command, arguments and the
// runner's redirections) fits the runner's buffer, and the arguments hold no double
// quote, which would end the runner's quoted command early. Otherwise the run ends.
void CheckCommandLine(int index, const std::string& args) {
  if (args.find('"') != std::string::npos) {
    Refuse("a double quote cannot stand in a command line",
           Format("%s %s", ComList[index].pName, args.c_str()));
  }
  if (!TestCmd(index) || !TestCmd(CMD_SH)) return;  // the runner reports a missing command
  const size_t need = EntryLength(CMD_SH) + std::strlen(" -c \"") + EntryLength(index) + 1 +
                      args.size() + SYS_CMD_REDIRECT_SIZE + 1;
  if (need >= SYS_CMD_LINE_SIZE) {
    Refuse("command line too long", Format("%s %s", ComList[index].pName, args.c_str()));
  }
}

// Runs table entry index in mode with the formatted arguments once
// CheckCommandLine has accepted them; the runner's result.
int RunCmd(int index, int mode, const char* fmt, ...) KANDU_PRINTF(3, 4);
int RunCmd(int index, int mode, const char* fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  const std::string args = VFormat(fmt, ap);
  va_end(ap);
  CheckCommandLine(index, args);
  return SysCmd(index, mode, "%s", args.c_str());
}

// A path handed to the file layer must fit its buffers.
void CheckPath(const std::string& path) {
  if (path.size() >= kPathMax) Refuse("path too long", path);
}

// Notes a problem of the line being checked: "pkg.list:LINE: reason".
void Problem(const Run& run, const std::string& reason) {
  run.problems->push_back(Format("pkg.list:%d: %s", run.number, reason.c_str()));
}

// Logs that a line is skipped because its command lacks a word.
void SkipLine(const Run& run, const char* command, const char* missing) {
  if (run.check) {
    Problem(run, Format("'%s' lacks %s", command, missing));
    return;
  }
  PutLogMsg("WARNING: pkg.list: '%s' lacks %s, line skipped: %s\n", command, missing,
            run.line.c_str());
}

// The next word at *cursor (split at delims, backslash escapes translated) into
// out; false when none is left.
bool NextWord(char** cursor, const char* delims, std::string* out) {
  char word[LINE_BUF_SIZE + 1];
  if (GetTokenD(nullptr, delims, cursor, word, sizeof word) == nullptr) return false;
  out->assign(word);
  return true;
}

// ----- attributes -----

// Where "ln -s target at" puts the link: at itself, or inside it under the last
// component of target when at is a directory (a link to one counts, as for ln).
std::string LinkPlace(const std::string& target, const std::string& at) {
  struct stat st;
  if (stat(at.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return at;
  std::string last = target;
  while (last.size() > 1 && last.back() == '/') last.pop_back();
  const size_t slash = last.rfind('/');
  if (slash != std::string::npos) last.erase(0, slash + 1);
  return at + "/" + last;
}

// True when path is a symbolic link whose text is exactly target.
bool LinksTo(const std::string& path, const std::string& target) {
  char text[kPathMax];
  const ssize_t n = readlink(path.c_str(), text, sizeof text);
  if (n < 0 || static_cast<size_t>(n) >= sizeof text) return false;
  return target.compare(0, std::string::npos, text, static_cast<size_t>(n)) == 0;
}

// link: a symbolic link at V to D/N. A link from an earlier installation that
// already points there is kept; one that points elsewhere is replaced. Anything
// else in the way makes ln fail, which ends the run.
void AttrLink(const Run& run, const std::string& n, const std::string& v) {
  const std::string target = Format("%s/%s", run.app, n.c_str());
  if (LinksTo(v, target)) {
    PutLogMsg("link %s -> %s is in place\n", v.c_str(), target.c_str());
    return;
  }
  const std::string place = LinkPlace(target, v);
  if (GetFileType(place.c_str()) == 2) {
    if (LinksTo(place, target)) {
      PutLogMsg("link %s -> %s is in place\n", place.c_str(), target.c_str());
      return;
    }
    PutLogMsg("link %s points elsewhere: replaced\n", place.c_str());
    RunCmd(CMD_RM_F, SYS_FATAL, "%s", place.c_str());
  }
  RunCmd(CMD_LN, SYS_FATAL, "-s %s/%s %s", run.app, n.c_str(), v.c_str());
}

// bat: the launcher /usr/bin/V that starts D/N from D. A V that would leave
// /usr/bin (a '/' in it, or a leading '.') is refused with a warning in the log. A
// symbolic link standing at /usr/bin/V is replaced by the launcher, so the file it
// points at, wherever it lies, is never written; so is a fifo or other special
// file, which would swallow the launcher and leave none installed.
void AttrBat(const Run& run, const std::string& n, const std::string& v) {
  if (v.find('/') != std::string::npos || v[0] == '.') {
    PutLogMsg("WARNING: pkg.list: launcher name '%s' refused, it would not stand in /usr/bin\n",
              v.c_str());
    return;
  }
  const std::string path = Format("/usr/bin/%s", v.c_str());
  struct stat st;
  if (lstat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode)) {
    PutLogMsg("launcher %s was %s: replaced\n", path.c_str(),
              S_ISLNK(st.st_mode) ? "a link" : "not a regular file");
    RunCmd(CMD_RM_F, SYS_FATAL, "%s", path.c_str());
  }
  GenSimpleScript(path.c_str(), ScriptShShell, SimpleScript, run.app, run.app, n.c_str());
}

// The file that receives the error output of a logged command, as the runner
// names it.
std::string LogTarget() {
  if (!flUseLog) return "/dev/null";
  const char* name = my_name != nullptr && *my_name != '\0' ? my_name : program_invocation_short_name;
  return Format("/tmp/%s.log", name);
}

// Makes /tmp/M.tmp a new, empty regular file of the installer's own, with the
// permission bits of the file being edited: whatever stood there (a link, a
// directory, a leftover) is removed first, so the edit never writes through it.
void PrepareEditFile(const Run& run, const std::string& n) {
  const std::string tmp = Format("/tmp/%s.tmp", run.name);
  if (GetFileType(tmp.c_str()) != 0) {
    PutLogMsg("removing %s before the edit\n", tmp.c_str());
    RunCmd(CMD_RM_RF, SYS_FATAL, "%s", tmp.c_str());
  }
  mode_t perm = 0600;
  struct stat st;
  const std::string file = Format("%s/%s", run.app, n.c_str());
  if (stat(file.c_str(), &st) == 0 && S_ISREG(st.st_mode)) perm = st.st_mode & 0777;
  const int fd = open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) Refuse(Format("can't create %s: %s", tmp.c_str(), std::strerror(errno)).c_str(), n);
  fchmod(fd, perm);
  close(fd);
}

// sed: D/N edited with the sed arguments V. The edited text goes to /tmp/M.tmp and
// only sed's error output to the log: the command ends in a comment, so the
// runner's own redirections, which come after it, are not applied.
void AttrSed(const Run& run, const std::string& n, const std::string& v) {
  const std::string args = Format("%s %s/%s > /tmp/%s.tmp 2>>%s #", v.c_str(), run.app,
                                  n.c_str(), run.name, LogTarget().c_str());
  CheckCommandLine(CMD_SED, args);
  PrepareEditFile(run, n);
  RunCmd(CMD_SED, SYS_FATAL, "%s", args.c_str());
  // The quiet copy back is what applies the edit: when it fails, the file would stay
  // unedited without a word, so the run ends and the edited text stays in /tmp.
  if (RunCmd(CMD_CP_P, SYS_QUIET, "/tmp/%s.tmp %s/%s", run.name, run.app, n.c_str()) != 0) {
    const std::string what =
        Format("the edited text of %s/%s could not be copied back; it is kept in /tmp/%s.tmp",
               run.app, n.c_str(), run.name);
    PutLogMsg("ERROR: %s\n", what.c_str());
    ErrorMsg(ERR_FATAL, 1, "%s", what.c_str());
  }
  RunCmd(CMD_RM_F, SYS_QUIET, "/tmp/%s.tmp", run.name);
}

// ----- the check -----

// True when pkg/N exists in the product being checked.
bool InProduct(const Run& run, const std::string& n) {
  struct stat st;
  return lstat((run.pkgDir + "/" + n).c_str(), &st) == 0;
}

// Notes a path word that cannot stand in a command line.
void CheckWord(const Run& run, const char* what, const std::string& word) {
  char reason[128];
  if (!CheckSafePath(word.c_str(), reason, sizeof reason)) {
    Problem(run, Format("unsafe %s '%s': %s", what, word.c_str(), reason));
  }
}

// What the interpreter would refuse or skip in one attribute pair on D/N.
void CheckAttribute(const Run& run, const std::string& n, const std::string& attr, const std::string& v) {
  if (v.find('"') != std::string::npos) Problem(run, "a double quote cannot stand in a command line");
  switch (FindToken(attr.c_str(), kAttributes)) {
    case kBat:
      if (v.find('/') != std::string::npos || v[0] == '.') {
        Problem(run, Format("launcher name '%s' would not stand in /usr/bin", v.c_str()));
      }
      CheckWord(run, "launcher name", v);
      break;
    case kLink:
    case kName:
      CheckWord(run, attr == "link" ? "link" : "new name", v);
      break;
    case kEdit:
      if (!InProduct(run, n)) Problem(run, Format("sed edits %s, which is not in pkg/", n.c_str()));
      break;
    case kMode:
    case kOwner:
    case kGroup:
      break;
    default:
      Problem(run, Format("unknown attribute '%s'", attr.c_str()));
      break;
  }
}

// What the interpreter would refuse or skip in a command cmd (its word command) on N.
void CheckCommand(const Run& run, int cmd, const std::string& command, const std::string& n) {
  if (cmd == kCheckPs) return;
  if (cmd == 0) Problem(run, Format("unknown command '%s'", command.c_str()));
  CheckWord(run, "name", n);
  if (n.find('"') != std::string::npos) Problem(run, "a double quote cannot stand in a command line");
  const bool fromProduct = cmd == kDir || cmd == kDirTo || cmd == kCopy || cmd == 0;
  if (fromProduct && !InProduct(run, n)) Problem(run, Format("%s is not in pkg/", n.c_str()));
}

// Carries out one attribute pair on D/N; a word that names no attribute is skipped.
void DoAttribute(const Run& run, const std::string& n, const std::string& attr,
                 const std::string& v) {
  if (run.check) {
    CheckAttribute(run, n, attr, v);
    return;
  }
  const char* app = run.app;
  switch (FindToken(attr.c_str(), kAttributes)) {
    case kMode:
      RunCmd(CMD_CHMOD, SYS_FATAL, "%s %s/%s", v.c_str(), app, n.c_str());
      break;
    case kBat:
      AttrBat(run, n, v);
      break;
    case kOwner:
      RunCmd(CMD_CHOWN, SYS_FATAL, "-R %s %s/%s", v.c_str(), app, n.c_str());
      break;
    case kGroup:
      RunCmd(CMD_CHGRP, SYS_FATAL, "-R %s %s/%s", v.c_str(), app, n.c_str());
      break;
    case kLink:
      AttrLink(run, n, v);
      break;
    case kName:
      RunCmd(CMD_MV, SYS_FATAL, "%s/%s %s/%s", app, n.c_str(), app, v.c_str());
      break;
    case kEdit:
      AttrSed(run, n, v);
      break;
    default:
      break;
  }
}

// True when a value holds something besides blanks and tabs.
bool HasText(const std::string& s) { return s.find_first_not_of(" \t") != std::string::npos; }

// The attribute pairs of the rest of the line, left to right, on D/N. A first
// attribute "sed" takes the rest of the line as its value; the pairs end at the
// line's end or at an attribute without a value.
void DoAttributes(const Run& run, char** cursor, const std::string& n) {
  std::string attr;
  std::string value;
  if (!NextWord(cursor, kWordDelims, &attr)) return;
  bool first = true;
  for (;;) {
    const bool wholeRest = first && attr == "sed";
    first = false;
    if (!NextWord(cursor, wholeRest ? kRestOfLine : kWordDelims, &value)) return;
    if (wholeRest && !HasText(value)) return;
    DoAttribute(run, n, attr, value);
    if (!NextWord(cursor, kWordDelims, &attr)) return;
  }
}

// ----- commands -----

// True when the running release compares with the given one (byte-wise, as
// strcmp, the running release on the left) as the operator says.
bool ReleaseHolds(const std::string& op, const char* running, const std::string& given) {
  const int cmp = std::strcmp(running, given.c_str());
  switch (FindToken(op.c_str(), kOperators)) {
    case kLess: return cmp < 0;
    case kLessEqual: return cmp <= 0;
    case kEqual: return cmp == 0;
    case kGreater: return cmp > 0;
    case kGreaterEqual: return cmp >= 0;
    default: return false;
  }
}

// Reads the line's "v <operator> <release>" conditions, each followed by the rest of
// the line, into *command: the command word after them. False when the line ends here:
// a comment, a condition the running release fails, or a fault reported. When checking,
// every condition holds.
bool ReleaseConditionsHold(const Run& run, char** cursor, std::string* command) {
  for (;;) {
    const int cmd = FindToken(command->c_str(), kCommands);
    if (cmd == kComment) return false;
    if (cmd != kRelease) return true;
    std::string op;
    if (!NextWord(cursor, kWordDelims, &op)) {
      SkipLine(run, "v", "its operator");
      return false;
    }
    struct utsname host;
    if (!run.check && uname(&host) != 0) {
      const int err = errno;
      std::fflush(stdout);
      std::fprintf(stderr, "%s: %s\n", nlsSetupStrCvt(kReleaseMsg), std::strerror(err));
      DoAttributes(run, cursor, op);
      return false;
    }
    std::string release;
    if (!NextWord(cursor, kWordDelims, &release)) {
      SkipLine(run, "v", "its release");
      return false;
    }
    if (run.check) {
      // Every release is checked: the rest of the line as if it held here.
      if (FindToken(op.c_str(), kOperators) == 0) Problem(run, Format("unknown operator '%s'", op.c_str()));
    } else if (!ReleaseHolds(op, host.release, release)) {
      return false;
    }
    if (!NextWord(cursor, kWordDelims, command)) return false;
  }
}

// Checks the line of command cmd for name n and the words after it, changing nothing.
void CheckLine(const Run& run, char** cursor, int cmd, const std::string& command, const std::string& n) {
  if (cmd == kDirTo) {
    std::string dest;
    if (!NextWord(cursor, kWordDelims, &dest)) {
      SkipLine(run, "dirto", "its destination");
      return;
    }
    CheckWord(run, "destination", dest);
  }
  CheckCommand(run, cmd, command, n);
  DoAttributes(run, cursor, n);
}

// Does command cmd for name n, then the attributes after it; a file to modify that is
// missing, or a new directory that exists, ends the line first. True when the operator
// chose to quit at a running-programs check.
bool DoCommand(const Run& run, char** cursor, int cmd, const std::string& n) {
  const char* app = run.app;
  switch (cmd) {
    case kDir:
      RunCmd(CMD_CP_PR, SYS_LOG, "%s/%s/%s %s", run.work, run.pkg, n.c_str(), app);
      break;
    case kDirTo: {
      std::string dest;
      if (!NextWord(cursor, kWordDelims, &dest)) {
        SkipLine(run, "dirto", "its destination");
        return false;
      }
      RunCmd(CMD_CP_PR, SYS_LOG, "%s/%s/%s %s", run.work, run.pkg, n.c_str(), dest.c_str());
      break;
    }
    case kTouchCmd:
      RunCmd(CMD_TOUCH, SYS_LOG, "%s/%s", app, n.c_str());
      break;
    case kModify:
    case kSame: {
      const std::string path = Format("%s/%s", app, n.c_str());
      CheckPath(path);
      if (!FindFile(app, n.c_str())) return false;
      break;
    }
    case kNewDir: {
      const std::string path = Format("%s/%s", app, n.c_str());
      CheckPath(path);
      if (FindFile(path.c_str(), nullptr)) return false;
      // The directory is made by mkdir and chmod command lines: the same rules hold.
      CheckCommandLine(CMD_MKDIR, path);
      CreateFile(path.c_str(), nullptr, "775", nullptr, nullptr);
      break;
    }
    case kCheckPs:
      if (QuitForRunningProcesses(n.c_str()) != 0) return true;
      break;
    default:  // c, and any word that is no command
      RunCmd(CMD_CP_P, SYS_LOG, "%s/%s/%s %s", run.work, run.pkg, n.c_str(), app);
      break;
  }
  DoAttributes(run, cursor, n);
  return false;
}

// Carries out one line from its command word on; true when the operator chose to
// quit at a running-programs check.
bool DoLine(const Run& run, char** cursor, std::string command) {
  if (!ReleaseConditionsHold(run, cursor, &command)) return false;
  const int cmd = FindToken(command.c_str(), kCommands);
  std::string n;
  if (!NextWord(cursor, kWordDelims, &n)) {
    SkipLine(run, command.c_str(), cmd == kCheckPs ? "its list of programs" : "its name");
    return false;
  }
  if (run.check) {
    CheckLine(run, cursor, cmd, command, n);
    return false;
  }
  return DoCommand(run, cursor, cmd, n);
}

// The line without its line end, for the log.
std::string Shown(const char* text) {
  std::string s(text);
  while (!s.empty() && (s.back() == '\n' || s.back() == '\r')) s.pop_back();
  return s;
}


// Reads the open list line by line as the interpreter does (a line too long for the
// reader is skipped whole, a line continued with a backslash reads as one) and hands
// each line with its command word to DoLine. True when DoLine asked to stop.
bool ReadList(Run& run) {
  char text[LINE_BUF_SIZE + 1];
  bool inLongLine = false;  // the pieces of a line too long for the reader
  int lines = 0;            // line ends read so far
  while (GetFileLine()) {
    run.number = lines + 1;
    for (const char* p = LineBuf; *p != '\0'; ++p) lines += *p == '\n';
    const bool cut = GetFileLineCut();
    if (inLongLine || cut) {
      if (!inLongLine) {
        if (run.check) {
          Problem(run, "line longer than 510 characters: setup skips it");
        } else {
          PutLogMsg("WARNING: pkg.list: line longer than 510 characters skipped: %.60s...\n", LineBuf);
        }
      }
      inLongLine = cut;
      continue;
    }
    std::snprintf(text, sizeof text, "%s", LineBuf);
    // A line continued with a backslash at its end reads as one line; the joint
    // counts as a blank.
    for (char* joint = std::strstr(text, "\\\n"); joint != nullptr;
         joint = std::strstr(joint, "\\\n")) {
      joint[0] = ' ';
      joint[1] = ' ';
    }
    run.line = Shown(text);
    char* cursor = text;
    std::string command;
    if (!NextWord(&cursor, kWordDelims, &command)) continue;
    if (DoLine(run, &cursor, command)) return true;
  }
  return false;
}

// The programs of the product that the installer itself starts or sets up.
constexpr const char* kCalledPrograms[] = {"tvqadmin", "tvrtvnntty", "qmf"};

}  // namespace

// Interprets W/pkg/pkg.list line by line, carrying out each line at once. Returns
// 0 at the end of the list and 1 when the operator chose to quit at a checkps
// line (nothing after it is read). A list that can't be opened ends the program
// (status 0); a failed mode-2 command or a command line too long ends it (status 1).
int ProcessPkgList(const char* pkg) {
  Run run{Text(pKanduInstallDir), Text(pkg), Text(pAppDir), Text(my_name), std::string(), false, std::string(),
          0, nullptr};
  const std::string list = Format("%s/%s/pkg.list", run.work, run.pkg);
  if (!OpenInputFile(list.c_str(), 0)) {
    // The run ends here (status 0, as the file layer ends it): the log says why.
    PutLogMsg("ERROR: can't open file, %s\n", list.c_str());
    ErrorMsg(ERR_FATAL, 0, "can't open file, %s", list.c_str());
  }
  if (ReadList(run)) {
    CloseInputFile();
    return 1;
  }
  return 0;
}

int CheckPkgList(const char* dir, std::vector<std::string>* problems, std::vector<std::string>* warnings) {
  Run run{"", "", "", "", std::string(), true, Text(dir), 0, problems};
  const std::string list = run.pkgDir + "/pkg.list";
  if (!OpenInputFile(list.c_str(), 0)) {
    problems->push_back(list + ": " + std::strerror(errno));
    return -1;
  }
  const size_t before = problems->size();
  ReadList(run);
  CloseInputFile();
  for (const char* program : kCalledPrograms) {
    if (!InProduct(run, program)) {
      warnings->push_back(Format("pkg/ has no %s, which setup calls after the list", program));
    }
  }
  return static_cast<int>(problems->size() - before);
}
