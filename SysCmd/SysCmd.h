// SysCmd.h - the system command layer: the table of host commands, running them
// with logging and failure modes, capturing their output, process and disk queries.
#pragma once

#include <cstdint>
#include <dirent.h>

#include "utils/utils.h"

// One host command of the table.
struct ComListEntry {
  const char* pName;   // the command's file name; "" for indexes 0 and 1, null ends the table
  const char* pFlags;  // default arguments placed right after the name
  char* pPath;         // directory where it was found (no trailing slash); null until resolved
  int32_t Wait;        // after running: 0 nothing, >0 pause seconds, -1 wait for the process
};

constexpr int COM_LIST_SIZE = 84;  // indexes 0 to 83; 83 ends the table
extern ComListEntry ComList[COM_LIST_SIZE];
extern char SearchPaths[];          // "/usr/sbin:/usr/bin:/bin:/sbin:/etc:/usr/etc"
extern char* FullSearchPath;        // SearchPaths ":" PATH, built once
extern char flInitSysCmd;           // 1 until InitSysCmdList: entries resolve lazily
extern char flSysCmdLog;            // command logging and progress dots

// Buffer limits of the runners.
constexpr int SYS_CMD_LINE_SIZE = 8272;
constexpr int SYS_CMD_REDIRECT_SIZE = 256;
constexpr int CMD_RESPONSE_LINE_SIZE = 4096;
constexpr int SYS_CMD_P_LINE_SIZE = 512;

// Resolves every entry once (system directories, then PATH), sets SHELL and, when
// logging is on, switches command logging on and logs "initializing system".
void InitSysCmdList();
// Resolves the unresolved entries present in dir (stored, not copied). 1 when some
// entry from index 2 on is still unresolved or dir cannot be listed, else 0.
int FillCmdPaths(char* dir);
// Resolves one entry along FullSearchPath; 1 when found.
int FillCmdPath(int index);
// 1 when the index is above 1 and its entry is resolved.
int TestCmd(int index);
// New managed "<dir>/<name> <flags>", or null when unresolved.
char* GetCmd(int index);
// New managed "<dir>/<name>" for indexes up to 82; null otherwise or when unresolved.
char* GetCmdNoFlags(int index);
// Name of the stream's next entry, or null at the end.
char* ReadDir(DIR* dir);
// New managed " n1 n2 ... " of every entry ("." and ".." included), or null.
char* GetDirFileList(const char* dir);

// Run modes of SysCmd and SysCmdP.
constexpr int SYS_QUIET = 0;   // output discarded, nothing logged or reported
constexpr int SYS_LOG = 1;     // logged; a failure is logged as a warning and the run goes on
constexpr int SYS_FATAL = 2;   // logged; a failure is reported and ends the process (status 1)

// Runs a table command with the formatted arguments; a negative index runs entry
// -index without logging or redirection. Returns 0 on success, non-zero on failure.
int SysCmd(int index, int mode, const char* fmt, ...) KANDU_PRINTF(3, 4);

// One captured output line: one managed allocation holding the node and its text.
struct CmdResponse {
  CmdResponse* pNext;  // next line, null at the end
  char* pLine;         // the text, stored right after the node
};

// Runs a table command through a pipe; the output lines holding filter (all lines
// for a null or empty filter), or null. Release with FreeResponseList.
CmdResponse* GetCmdResponse(int index, const char* filter, const char* fmt, ...) KANDU_PRINTF(3, 4);
// As GetCmdResponse, the kept lines joined in one managed text, each ending in LF.
char* GetCmdResponseStr(int index, const char* filter, const char* fmt, ...) KANDU_PRINTF(3, 4);
void FreeResponseList(CmdResponse* list);
// Number of commands run in mode 1 (SYS_LOG) whose failure was logged since the
// program started; a failure in mode 2 ends the program instead.
int SysCmdLoggedFailures();
// Runs a formatted command line directly, without the table.
void SysCmdP(int mode, const char* fmt, ...) KANDU_PRINTF(2, 3);

// ===== Process, directory and disk queries =====

// The df data line and its available figure.
struct DiskSpaceInfo {
  char Text[512];  // the df data line
  double Avail;    // the figure of the column whose heading begins with "avail"
};

// New managed " id id ... " of the processes whose command name is name, or null.
char* GetSysPsIdList(const char* name);
// New managed report "<name> (<ids>)\n" per running program of the comma list, or null.
char* CheckProcTableForExecs(const char* list);
// Sends SIGKILL to every process named name; returns 0.
int KillProcessByName(const char* name);
// 1 when df gave an available figure for path (filled into info), else 0.
int GetDiskSpace(const char* path, DiskSpaceInfo* info);
// 1 when dir's file system has at least need available (counting file's own size).
int AvailSpace(const char* dir, const char* file, double need);
// The first figure du -s prints for path; 0 when it prints nothing.
double DUPath(const char* path);
// New managed " n1 n2 ... " of the names with extension ext (all but "." and ".."
// for a null ext), or null.
char* SearchDirFileList(const char* dir, const char* ext);
// Has no behaviour in this system.
void SysGetSubnetMask(const char* iface, char* mask, int size);
