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

// Indexes of the table: callers name a command by its place, so the places never
// change. A command listed twice differs in its default arguments.
enum ComIndex : int {
  CMD_LINE_UNLOGGED = 0,  // the caller's text is the whole line; no logging, no redirection
  CMD_LINE = 1,           // the caller's text is the whole line
  CMD_CANCEL = 2,
  CMD_CAT = 3,
  CMD_CHGRP = 4,
  CMD_CHMOD = 5,
  CMD_CHOWN = 6,
  CMD_CLEAR = 7,
  CMD_COMPRESS = 8,
  CMD_CP_P = 9,           // cp -p
  CMD_CP_PR = 10,         // cp -pr
  CMD_CUPSD = 11,
  CMD_ID = 12,
  CMD_ECHO = 13,
  CMD_EJECT_F = 14,       // eject -f
  CMD_EJECT_Q = 15,       // eject -q
  CMD_FILE = 16,
  CMD_LN = 17,
  CMD_LP = 18,
  CMD_LPC = 19,
  CMD_LPR = 20,
  CMD_LPRM = 21,
  CMD_LPSTAT = 22,
  CMD_LS = 23,
  CMD_KILL = 24,          // kill -KILL
  CMD_MV = 25,            // mv -f
  CMD_MKDIR = 26,         // mkdir -p
  CMD_MORE = 27,
  CMD_PING = 28,
  CMD_RM_F = 29,          // rm -f
  CMD_RM_RF = 30,         // rm -rf
  CMD_SH = 31,
  CMD_SLEEP = 32,
  CMD_TAR_C = 33,         // tar cvfp
  CMD_TAR_X = 34,         // tar xvfp
  CMD_TOUCH = 35,
  CMD_UNCOMPRESS = 36,
  CMD_WHOAMI = 37,
  CMD_ZCAT = 38,
  CMD_UNAME = 39,
  CMD_SED = 40,
  CMD_DU = 41,            // du -s
  CMD_CHECKPC = 42,
  CMD_LPD = 43,
  CMD_PKGADD = 44,
  CMD_PKGINFO = 45,
  CMD_PKGRM = 46,
  CMD_ACCEPT = 47,
  CMD_DISABLE = 48,
  CMD_ENABLE = 49,
  CMD_LPADMIN = 50,
  CMD_LPFILTER = 51,
  CMD_LPSCHED = 52,
  CMD_LPSHUT = 53,
  CMD_LPSYSTEM = 54,
  CMD_PS = 55,            // ps -ace
  CMD_BAR = 56,
  CMD_DF = 57,
  CMD_LPQ = 58,           // lpq -P
  CMD_YPCAT = 59,
  CMD_REJECT = 60,
  CMD_PMADM = 61,
  CMD_SACADM = 62,
  CMD_VOLCHECK = 63,
  CMD_CAPTURE = 64,
  CMD_LPSET = 65,
  CMD_INSTNETPR = 66,
  CMD_PIOMKPQ = 67,
  CMD_PIOMISC_EXT = 68,
  CMD_PIOMISC_BASE = 69,
  CMD_LSALLQ = 70,
  CMD_MKQUE = 71,
  CMD_MKQUEDEV = 72,
  CMD_RMQUE = 73,
  CMD_RMQUEDEV = 74,
  CMD_PIOCHDFQ = 75,
  CMD_ENQ = 76,
  CMD_LSQUEDEV = 77,
  CMD_LSQUE = 78,
  CMD_STARTSRC = 79,
  CMD_STOPSRC = 80,
  CMD_LSSRC = 81,
  CMD_GPGV = 82,          // checks the signature of a distribution's checksum list
  CMD_END = 83,           // no name: ends the table
};
constexpr int CMD_LAST = CMD_GPGV;  // the last entry with a name
constexpr int COM_LIST_SIZE = CMD_END + 1;
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
// Number of commands run in a logged mode (1 or 2) since the program started, and
// of those the ones that failed (a failure in mode 2 ends the program after it).
int SysCmdLoggedRuns();
int SysCmdFailedRuns();
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
// Does nothing (the installer needs no network settings); kept so that the interface
// stays whole.
void SysGetSubnetMask(const char* iface, char* mask, int size);
