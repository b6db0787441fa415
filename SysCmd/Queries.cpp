// Queries.cpp - process, directory and disk queries read from the output of ps, df and du.
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include <dirent.h>
#include <strings.h>
#include <unistd.h>

#include "MemMgr/MemMgr.h"
#include "SysCmd/SysCmd.h"
#include "utils/utils.h"

namespace {

constexpr size_t EXEC_LIST_SIZE = 512;    // copy of the program-name list
constexpr size_t EXEC_REPORT_SIZE = 1024; // report of running programs
constexpr size_t DU_PATH_SIZE = 4096;     // "<dir>/<file>" measured by du

// Fields of ps, df and du output are separated by these characters.
constexpr std::string_view FIELD_BLANKS = " \t\n";

// The command-name column of "ps -ace" and the process-id column.
constexpr int PS_NAME_FIELD = 6;
constexpr int PS_ID_FIELD = 1;

// Releases a response list when it goes out of scope.
struct ResponseDeleter {
  void operator()(CmdResponse* list) const { FreeResponseList(list); }
};
using ResponseList = std::unique_ptr<CmdResponse, ResponseDeleter>;

struct DirCloser {
  void operator()(DIR* dir) const { closedir(dir); }
};

// The n-th field (1-based) of text split at blanks, tabs and line ends; empty when
// the text has fewer fields. The queries split their lines here rather than with the
// shared tokenizer, so a caller in the middle of a scan (the package-list interpreter
// asks for running processes) keeps its scan state.
std::string_view NthField(std::string_view text, int n) {
  size_t pos = 0;
  for (int i = 1;; ++i) {
    pos = text.find_first_not_of(FIELD_BLANKS, pos);
    if (pos == std::string_view::npos) return {};
    size_t end = text.find_first_of(FIELD_BLANKS, pos);
    if (end == std::string_view::npos) end = text.size();
    if (i == n) return text.substr(pos, end - pos);
    pos = end;
  }
}

// 1-based position of the first field whose first five characters are "avail" in any
// case; 0 when the line has none.
int AvailColumn(std::string_view heading) {
  for (int n = 1;; ++n) {
    std::string_view field = NthField(heading, n);
    if (field.empty()) return 0;
    if (field.size() >= 5 && strncasecmp(field.data(), "avail", 5) == 0) return n;
  }
}

// The number at the start of the first output line, 0 when there is no output.
double LeadingFigure(const CmdResponse* list) {
  if (!list || !list->pLine) return 0;
  return strtod(list->pLine, nullptr);
}

// The directory part of a path by the rules of the path splitter (a trailing slash
// counts as the separator, "/x" gives "/", a name without a slash gives "."), with no
// limit on the path's length.
std::string ParentDir(const std::string& path) {
  size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

// Appends "<name> (<ids>)\n" to the report when it fits whole. When it does not fit
// and the report is still empty, the line is cut after the last id that fits, so the
// report still names a running program. Returns false when the line was not appended
// whole (the report is then complete).
bool AppendRunning(std::string& report, std::string_view name, std::string_view ids) {
  const size_t room = EXEC_REPORT_SIZE - 1 - report.size();
  std::string line = std::string(name) + " (" + std::string(ids) + ")\n";
  if (line.size() <= room) {
    report += line;
    return true;
  }
  if (!report.empty()) return false;
  // ids is " id id ... ": keep the ids that fit before the closing " )\n".
  std::string cut = std::string(name) + " (";
  for (int n = 1;; ++n) {
    std::string_view id = NthField(ids, n);
    if (id.empty() || cut.size() + 1 + id.size() + 3 > room) break;
    cut += ' ';
    cut += id;
  }
  if (cut.size() + 3 <= room) report = cut + " )\n";
  return false;
}

}  // namespace

// The ids of the processes whose command name is exactly name, as " id id ... ".
// Returns a new managed text (the caller releases it), or null when none runs.
// The list is assembled in the shared buffer Line, which it overwrites.
char* GetSysPsIdList(const char* name) {
  Line[0] = '\0';
  if (!name || !*name) return nullptr;
  ResponseList list(GetCmdResponse(CMD_PS, name, "%s", ""));
  size_t used = 0;
  for (const CmdResponse* r = list.get(); r; r = r->pNext) {
    std::string_view text = r->pLine;
    if (NthField(text, PS_NAME_FIELD) != name) continue;
    std::string_view id = NthField(text, PS_ID_FIELD);
    // Room for the blank, the id, the final blank and the terminator.
    if (used + id.size() + 3 > sizeof(Line)) break;
    Line[used++] = ' ';
    memcpy(Line + used, id.data(), id.size());
    used += id.size();
  }
  if (used == 0) return nullptr;
  Line[used++] = ' ';
  Line[used] = '\0';
  return SaveStr_(Line);
}

// A report with one line "<name> (<ids>)\n" for each program of the comma-separated
// list that runs, in list order; a new managed text, or null when none runs. The list
// is taken up to 511 characters (cut at a name boundary) and the report holds at most
// 1023 characters: it ends with the programs that fit.
char* CheckProcTableForExecs(const char* list) {
  if (!list) return nullptr;
  std::string_view names = list;
  if (names.size() >= EXEC_LIST_SIZE) {
    // A name cut by the limit would be looked up by the wrong name: drop it.
    bool atBoundary = names[EXEC_LIST_SIZE - 1] == ',';
    names = names.substr(0, EXEC_LIST_SIZE - 1);
    if (!atBoundary) {
      size_t comma = names.find_last_of(',');
      names = comma == std::string_view::npos ? std::string_view() : names.substr(0, comma);
    }
  }
  std::string report;
  int running = 0;
  while (!names.empty()) {
    size_t comma = names.find(',');
    std::string name(names.substr(0, comma));
    names = comma == std::string_view::npos ? std::string_view() : names.substr(comma + 1);
    if (name.empty()) continue;
    char* ids = GetSysPsIdList(name.c_str());
    if (!ids) continue;
    ++running;
    bool whole = AppendRunning(report, name, ids);
    PutMem(ids);
    if (!whole) break;
  }
  if (running == 0) return nullptr;
  return SaveStr_(report.c_str());
}

// Sends SIGKILL to every process named name, pausing one second afterwards. Stops at
// the first process it may not signal. Always returns 0.
int KillProcessByName(const char* name) {
  char* ids = GetSysPsIdList(name);
  if (ids) {
    std::string_view text = ids;
    for (int n = 1;; ++n) {
      std::string id(NthField(text, n));
      if (id.empty()) break;
      char* end = nullptr;
      long pid = strtol(id.c_str(), &end, 10);
      // Only a whole positive id names one process: 0 and negative values would
      // signal process groups or every process of the host.
      if (*end != '\0' || pid <= 0) continue;
      if (kill(static_cast<pid_t>(pid), SIGKILL) != 0 && errno == EPERM) break;
    }
    PutMem(ids);
  }
  sleep(1);
  return 0;
}

// Fills info from the df output for path: Text is the data line (cut to 511
// characters), Avail the figure under the heading that begins with "avail". Returns 1
// when that figure was found (or df printed the heading alone), else 0.
int GetDiskSpace(const char* path, DiskSpaceInfo* info) {
  if (!info) return 0;
  info->Avail = 0;
  info->Text[0] = '\0';
  ResponseList list(GetCmdResponse(CMD_DF, "", "%s", path ? path : ""));
  if (!list) return 0;
  int column = AvailColumn(list->pLine);
  if (column == 0) return 0;
  const CmdResponse* data = list->pNext;
  if (!data) return 1;
  snprintf(info->Text, sizeof(info->Text), "%s", data->pLine);
  std::string figure(NthField(data->pLine, column));
  if (figure.empty()) return 0;
  info->Avail = strtod(figure.c_str(), nullptr);
  return 1;
}

// 1 when the file system of dir has at least need available, counting the space the
// file (when given and present in dir) already takes. A directory that df cannot
// measure is answered for its nearest measurable ancestor; 0 when there is none.
int AvailSpace(const char* dir, const char* file, double need) {
  std::string current = dir && *dir ? dir : ".";
  DiskSpaceInfo info;
  for (;;) {
    char path[DU_PATH_SIZE];
    if (file && *file && FindFile(current.c_str(), file) &&
        snprintf(path, sizeof(path), "%s/%s", current.c_str(), file) < static_cast<int>(sizeof(path))) {
      ResponseList du(GetCmdResponse(CMD_DU, "", "%s", path));
      GetDiskSpace(current.c_str(), &info);
      info.Avail += LeadingFigure(du.get());
      return info.Avail >= need;
    }
    if (GetDiskSpace(current.c_str(), &info)) return info.Avail >= need;
    std::string parent = ParentDir(current);
    if (parent == current) return 0;
    current = parent;
    file = nullptr;
  }
}

// The first figure "du -s" prints for path; 0 when it prints nothing.
double DUPath(const char* path) {
  ResponseList du(GetCmdResponse(CMD_DU, "", "%s", path ? path : ""));
  return LeadingFigure(du.get());
}

// The names in dir whose text after the last '.' equals ext (every name but "." and
// ".." when ext is null), as " n1 n2 ... ". A new managed text, or null when the
// directory cannot be opened or no name qualifies.
char* SearchDirFileList(const char* dir, const char* ext) {
  if (!dir) return nullptr;
  std::unique_ptr<DIR, DirCloser> stream(opendir(dir));
  if (!stream) return nullptr;
  std::string names;
  while (const dirent* entry = readdir(stream.get())) {
    std::string_view name = entry->d_name;
    if (name == "." || name == "..") continue;
    if (ext) {
      size_t dot = name.find_last_of('.');
      if (dot == std::string_view::npos || name.substr(dot + 1) != ext) continue;
    }
    names += ' ';
    names += name;
  }
  if (names.empty()) return nullptr;
  names += ' ';
  return SaveStr_(names.c_str());
}

// Does nothing: the installer needs no network settings. Kept so that the interface
// stays whole.
void SysGetSubnetMask(const char* iface, char* mask, int size) {
  (void)iface;
  (void)mask;
  (void)size;
}
