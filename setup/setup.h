// setup.h - the installer's shared declarations: its messages, run state and stages.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

// ===== Messages and language selection =====

// Number of texts in each message table (numbers 0 to 70).
constexpr int NLS_SETUP_MSG_COUNT = 71;

// The six parallel message tables, ISO-8859-1 texts used as printf formats. A number
// names the same message in every table, with the same placeholders in the same order.
extern const char* const NLS_ENGLISH[NLS_SETUP_MSG_COUNT];
extern const char* const NLS_SPANISH[NLS_SETUP_MSG_COUNT];
extern const char* const NLS_ITALIAN[NLS_SETUP_MSG_COUNT];
extern const char* const NLS_FRENCH[NLS_SETUP_MSG_COUNT];
extern const char* const NLS_GERMAN[NLS_SETUP_MSG_COUNT];
extern const char* const NLS_PORTUGUESE[NLS_SETUP_MSG_COUNT];

// The table of this run: null until the first nlsSetupStrCvt, then fixed.
extern const char* const* pCurLang;

// Message n (0 to 70) in the run's language, chosen from LANG at the first call:
// one of the six codes, else by the language part of a locale name (de_DE: German),
// else English. LANG is cut at its first '.' in the environment, so later commands
// see the cut value. When the terminal's locale names UTF-8 (LocaleIsUtf8, asked
// before the cut), the text comes as UTF-8. The text is constant: never modify or
// release it. "" for n out of range.
const char* nlsSetupStrCvt(int n);

// ===== Run state of the driver =====
// Written during start-up and read by every stage afterwards; never released.
// (flUseLog, my_name and LineBuf belong to the utilities: utils/utils.h.)

extern char* pPathToSetup;        // the installer's own directory; the distribution is read there
extern char* pKanduInstallDir;    // the work area: /tmp/KanduInstall or <base>/KanduInstall
extern char flCreatedTmpDir;      // the installer created the work-area base itself
extern char* pCmdLineInstallDir;  // installation directory named on the command line, or null
extern char* pCurrentInstallDir;  // installation directory of a previous installation, or null
extern char* pTargetInstallDir;   // installation directory of this run
extern char* pAppDir;             // the product directory <target>/Kandu/tvnn
extern const char pBinaryInstanceCheckList[];  // ",tvadmin,tvqadmin,tavlo,tvrtvnntty,TVQ,TVRM,qmf,"
extern const char pPathToInstallf[];           // "/usr/sbin/installf"

// Names and constants of the suite's layout.
constexpr const char* MAKER_NAME = "Kandu";
constexpr const char* PRODUCT_NAME = "tvnn";
constexpr const char* DEFAULT_INSTALL_DIR = "/usr";
constexpr const char* DEFAULT_WORK_AREA_BASE = "/tmp";
constexpr const char* SETUP_VERSION = "4.10.05";

// Checks the words that begin with '-' before anything is made or logged: "-h" and
// "--help" print the usage and end with status 0; a word that is no option ends the
// run with status 2 (its name and the usage on standard error).
void checkCommandLineOptions(int argc, char** argv);
// Reads the command line: work-area bases, "install" and a directory, "-v" (or
// "--version").
void parseCommandLineOptions(int argc, char** argv);

// ===== The end of a run =====

// How a run ended: the installation done (a first one, an update in place, an
// update after moving the previous tree), a fatal failure, or one of the reasons
// to install nothing: a refusal before any change (an unsafe path, a work-area base
// that cannot be made), not enough space, suite programs running (or another run
// installing), the operator's "no" (or no answer), not root. Incomplete: the
// distribution or the host lacks what the installation needs (a size record, the
// package list, a host command, a valid checksum or signature, a name that can stand
// in a command line). Stopped: quit while suite programs run, part-way through the
// package list.
enum class RunOutcome { Installed, Updated, Relocated, Failed, Refused, NoSpace, Busy,
                        Declined, NotRoot, Incomplete, Stopped };

// The one way a run ends: logs the outcome, then on standard error, for a run that
// installed nothing "<program>: nothing installed: <reason>" (Incomplete and
// Stopped: "<program>: installation incomplete: <reason>"; Failed: no line, the
// failure was reported where it was met), and for every run that failed or
// installed nothing "<program>: see /tmp/<program>.log" as the last line. Writes the
// result file when TVNN_RESULT names one. Ends the process with status, or with the
// outcome's own status under TVNN_STATUS=detailed (ExitStatusOf). A null reason
// counts as empty.
[[noreturn]] void EndRun(RunOutcome outcome, int status, const char* reason);
// The exit status of a run that ended with outcome: status as the caller gives it;
// under TVNN_STATUS=detailed the outcome's own (0 installed, 1 failed, 2 refused,
// 3 no space, 4 busy, 5 declined, 6 not root, 7 incomplete).
int ExitStatusOf(RunOutcome outcome, int status);
// The outcome's name in the result file ("installed", "no-space", "not-root", ...).
const char* ResultOutcomeName(RunOutcome outcome);
// Makes every fatal report of the library (a failed command of the fatal mode,
// ErrorMsg's mode 2, SysError) end the run through EndRun: as Failed, or as
// Incomplete for the reports that end with status 0 (a host command missing from
// the table, a package list that cannot be opened).
void EndRunOnFatalReports();

// ===== Unattended runs: answers and the result from the environment =====

// The answers and reports an unattended run takes from its environment. An unset or
// empty variable leaves its default: questions read standard input, statuses as
// ever, no result file.
enum class ContinueAnswer { Ask, Yes, No };
enum class RunningAnswer { Ask, Wait, Quit };
struct UnattendedSettings {
  ContinueAnswer answerContinue = ContinueAnswer::Ask;  // TVNN_CONTINUE: yes, no
  RunningAnswer answerRunning = RunningAnswer::Ask;     // TVNN_RUNNING: wait, quit
  bool detailedStatus = false;                          // TVNN_STATUS: detailed
  std::string resultPath;                               // TVNN_RESULT, absolute; "" for none
};
extern UnattendedSettings Unattended;

// "" when value (not null, not empty) is allowed for the variable name; otherwise
// the line that refuses it, naming the variable and the allowed values
// ("TVNN_RUNNING must be wait or quit, not 'maybe'"). A TVNN_RESULT path must keep
// the path rule (CheckSafePath) and lie in an existing folder.
std::string UnattendedRefusal(const char* name, const char* value);
// Reads TVNN_CONTINUE, TVNN_RUNNING, TVNN_STATUS and TVNN_RESULT into Unattended
// before anything is made or logged. A value that is not allowed ends the program
// with status 2 and "<program>: <refusal>" on standard error.
void readUnattendedSettings();

// Writes the result file of a run that ended with outcome and exit status (reason:
// its words, "" for an installation) to Unattended.resultPath, when set: one JSON
// object, written to a new file in the same folder (never through a link, mode 644)
// that then replaces the path. A failure is reported on standard error and changes
// nothing else. 1 when written, 0 otherwise (or when no result file is asked for).
int writeRunResult(RunOutcome outcome, int status, const char* reason);
// text as a JSON string, quotes included: quote, backslash and control characters
// escaped, a well-formed UTF-8 sequence as its character and every other byte from
// 0x80 on as the Latin-1 character it is in the message tables (\u00XX).
std::string JsonString(const char* text);

// ===== Previous installation, relocation and clean-up =====

// The installation directory of the previous installation found through
// /usr/Kandu/tvnn (a managed text), or null; removes a dangling link there.
char* locatePreviousInstallation();
// Reduces a product path in place to its installation directory; returns path.
char* StripToBaseName(char* path);
// Removes the work area and runs tvqadmin -upgrade, then -clean.
void KanduClean(const char* workArea);

// ===== Free space =====

// Returns when the work area and the installation directory have room for the
// distribution (isize, tsize); otherwise prints the matching message and exits 0.
void FreeSpaceForInstall(const char* workArea, const char* installDir, const char* maker);

// ===== Running programs =====

// 0 when none of the programs of the comma list runs (at once or after waiting),
// 1 when the operator (or TVNN_RUNNING) chose to quit, 2 when standard input ended
// at the menu. TVNN_RUNNING=wait chooses to wait, at most RUNNING_WAITS_MOST times
// in the whole run, then to quit.
constexpr int QUIT_CHOSEN = 1;
constexpr int QUIT_END_OF_INPUT = 2;
constexpr int RUNNING_WAITS_MOST = 10;
int QuitForRunningProcesses(const char* list);
// Why the last QuitForRunningProcesses that did not return 0 quit, in words for the
// end of the run ("quit while suite programs run: tvqadmin"); "" before any quit.
const char* RunningQuitReason();
// The pause between two checks of the running programs (sleep by default); a test
// may put a pause of its own in its place. Null restores sleep.
using RunningPause = void (*)(unsigned seconds);
void SetRunningPause(RunningPause pause);

// ===== Readiness =====

// 1 when the installation may go on, 0 when it must not (not root); ends the run
// itself at the answers "n" and "no" and at the end of input.
int readyForInstallation();

// ===== Distribution media, unpacking and the installation tree =====

// Leaves the text of dir/disks (or dir/DISKS, upper-cased up to end_of_list) in
// LineBuf; ends the program with status 1 when there is neither.
void GetDisksData(const char* dir);
// The names a list text (as GetDisksData leaves it) gives the copy step: each line
// split into words at blanks and tabs (backslash escapes apply); end_of_list ends its
// line, a line that is exactly end_of_list ends the list.
std::vector<std::string> NamesToCopy(const std::string& list);
// Empties and recreates the work area, copies the listed files, runs Install;
// returns Install's result.
int installFromSite(const char* workArea);
// Joins the archive pieces in the work area, which becomes the current directory.
void genZFile();
// The installation step: INSTALL_DONE when it ran to its end, INSTALL_STOPPED
// when the package list stopped early, INSTALL_NOT_ROOT when refused (not root).
constexpr int INSTALL_DONE = 0;
constexpr int INSTALL_STOPPED = 1;
constexpr int INSTALL_NOT_ROOT = 2;
int Install();
// Makes the product directory and, for another directory than /usr, the link
// /usr/Kandu/tvnn.
void createInstallationDirectories(const char* installDir);

// ===== Package list =====

// Interprets <work area>/<pkg>/pkg.list: 0 at its end, 1 when the operator chose to
// quit at a checkps line.
int ProcessPkgList(const char* pkg);

// Checks DIR/pkg.list (DIR holding the product's files, as pkg/ of the archive) with
// the interpreter's own reader, running nothing: an unknown command, attribute or
// operator, a name that is not in DIR where the command copies it, a word that cannot
// stand in a command line, a launcher outside /usr/bin, a line too long for the
// reader, a sed on a file that is not in DIR. Each problem is added to problems as
// "pkg.list:LINE: reason"; a missing tvqadmin, tvrtvnntty or qmf to warnings. Returns
// the number of problems, -1 (with the reason in problems) when the list cannot be
// opened.
int CheckPkgList(const char* dir, std::vector<std::string>* problems, std::vector<std::string>* warnings);

// ===== Queue interface scripts and the flags file =====

extern const char ScriptShShell[];         // "#!/bin/sh"
extern const char ScriptCopyRight[];       // the 63-column banner; one placeholder: the year
extern const char SimpleScript[];          // the launcher; placeholders D, D, N
extern const char KanduPrinttvnnScript[];  // the print queue script; six placeholders
extern const char pv4DriverScript[];       // the driver queue script; one placeholder
extern const char KanduQMFScript[];        // the filter-tool queue script; two placeholders

// Writes dir/.tv_cfg naming the host's print system (" BSD ", " LPRng ", " CUPS ").
void createPrintingSubsystemFile(const char* dir);
// True when the host's lpd is LPRng.
bool SniffLprng();
// True when the CUPS scheduler (cupsd) is running.
bool SniffCUPS();
// Writes the three queue scripts into the product directory; links the print queue
// script into the printconf utility directory on an LPRng host.
void createQueueScripts(const char* spoolBase);
// Each writes one queue script; true when written, false when it could not be opened.
bool generateKanduPrinttvnnScript(const char* path, const char* shell, const char* templ);
bool generatev4DriverScript(const char* path, const char* shell, const char* templ);
bool generateKanduQMFScript(const char* path, const char* shell, const char* templ,
                            const char* spoolDir);
// Writes a script from a template with three string values (the bat launchers).
void GenSimpleScript(const char* path, const char* shell, const char* templ, const char* s1,
                     const char* s2, const char* s3);

// ===== Solaris package upgrade =====

// Brings an installed System V package up to the new distribution; returns 1.
int upgradeSolarisPackage(const char* pkg, const char* pkgDir);

// ===== Driver helpers: path safety, relocation, created work-area bases =====
// (a path reaches shell command lines, so it is checked before it is used)

// Prints message n of the run's language (nlsSetupStrCvt) filled with the
// arguments that its English text asks for, to standard output, and flushes it.
void PrintSetupMessage(int n, ...);
// Longest work-area base, installation directory or installer directory accepted.
constexpr int SAFE_PATH_MAX = 256;
// 1 when path may be pasted into a shell command line: not empty, at most
// SAFE_PATH_MAX characters, and free of blanks, tabs, line feeds, other control
// characters and the characters " $ ` \ ' ; & | < > ( ) * ? [ ] { } ~. Otherwise 0,
// with the reason in words ("it contains a blank") in reason (size bytes).
int CheckSafePath(const char* path, char* reason, int size);
// Ends the program with exit status 2 and "ERROR: unsafe <what> '<path>': <reason>
// ..." on standard error unless CheckSafePath accepts path.
void RequireSafePath(const char* what, const char* path);
// Moves the previous installation's product tree from pCurrentInstallDir to
// pTargetInstallDir and points /usr/Kandu/tvnn at it; nothing when both name the
// same product directory. The move and the link are fatal on failure (status 1).
void relocatePreviousInstallation();
// Removes, with rmdir (never recursively), the work-area bases this run created and
// the parents it created for them, as far as they are empty.
void removeCreatedWorkAreaBases();

// ===== Trust: checksums, signature, the work area and one run at a time =====

// Size of a SHA-256 digest as lowercase hex with its terminator.
constexpr int SHA256_HEX_SIZE = 65;
// The SHA-256 digest of size bytes at data, as 64 lowercase hex digits in hex.
void Sha256Hex(const void* data, size_t size, char hex[SHA256_HEX_SIZE]);
// The digest of the file at path into hex; 1 when read to its end, 0 when it cannot
// be opened or read (hex is then untouched).
int Sha256File(const char* path, char hex[SHA256_HEX_SIZE]);
// The keyring of the keys the host trusts; when it exists, a distribution must be signed.
constexpr const char* TRUSTED_KEYRING = "/etc/Kandu/tvnn-trusted.gpg";
// Checks the distribution in dir before anything on the host changes: with the
// trusted keyring, SHA256SUMS.sig must be a good signature of SHA256SUMS by one of its
// keys (gpgv); with SHA256SUMS, every file it lists must be present and match, and
// every name the list of files gives must be listed. Logs "verified N files"; without
// SHA256SUMS and keyring logs that nothing was verified. Any failure ends the run:
// "ERROR: the distribution is damaged: <file>: <reason>" on standard output, status 1.
void verifyDistribution(const char* dir);
// Checks the copies of names in the work area against the digests verifyDistribution
// accepted (nothing without SHA256SUMS), so that a file changed on the medium between
// the verification and the copy is not installed. A mismatch ends the run as above.
void verifyCopies(const char* workArea, const std::vector<std::string>& names);
// 1 when no user but root and the running one can change what path names: every
// existing part from "/" on (a link and its target) is owned by one of them, and a
// part that others may write to has the sticky bit (as /tmp). Otherwise 0 with the
// reason ("/x is writable by other users and has no sticky bit") in reason (size bytes).
int CheckTrustedFolder(const char* path, char* reason, int size);
// Ends the run with status 2 ("ERROR: unsafe work-area base ...") unless
// CheckTrustedFolder accepts base.
void RequireTrustedBase(const char* base);
// Makes the work area afresh: removes what stands there, then makes it with mode
// 0700 (it must not exist by then) and checks with lstat that it is a real folder
// owned by the running user and closed to others. Otherwise ends the run before
// anything is copied: "ERROR: the work area <path> is not safe: <reason>; choose
// another work-area base", status 1.
void makeWorkArea(const char* workArea);
// The lock that keeps two runs apart: /run/tvnn-setup.lock (/var/lock without /run).
extern const char* pRunLockPath;
// Takes the run lock (flock, held until the process ends) and writes the process id
// into it. When another run holds it, ends this run at once with status 0, naming
// that run's process id. A lock file that cannot be opened (not root) is logged and
// the run goes on unlocked.
void lockRun();
