// Media.cpp - reads the distribution's list of files (disks or DISKS), copies the
// listed files into the work area and joins the archive pieces there.
#include "setup/setup.h"

#include "SysCmd/SysCmd.h"
#include "utils/utils.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr const char* kEndOfList = "end_of_list";
constexpr size_t kEndOfListLength = 11;
constexpr const char* kPiecePrefix = "pkg_tar.";
constexpr const char* kPiecePrefixUpper = "PKG_TAR.";
constexpr size_t kPiecePrefixLength = 8;
constexpr const char* kArchive = "LinuxppcTvnn";

constexpr const char* kCopySeparators = " \t\r\n";  // words of the copy step
constexpr const char* kLineSeparators = "\n\r";
constexpr const char* kJoinSeparators = " \n\r";    // words of the joining (no tab)

constexpr int kMsgNoList = 21;  // "can't open file, %sInstall/disks"

// True for a character that ends a word of the list.
bool IsSeparator(char c) { return c != '\0' && std::strchr(kCopySeparators, c) != nullptr; }

// When the list file dir/name is longer than LineBuf holds, its text was cut: a
// last word cut in the middle would name a file that does not exist (or the wrong
// one), so it is dropped. Either way a warning goes to the log.
void DropCutWord(const char* dir, const char* name) {
  const std::string path = std::string(dir) + "/" + name;
  if (GetFileSize(path.c_str()) <= LINE_BUF_SIZE) return;
  const size_t length = std::strlen(LineBuf);
  char next = '\0';
  if (FILE* f = std::fopen(path.c_str(), "r")) {
    if (std::fseek(f, LINE_BUF_SIZE, SEEK_SET) == 0) {
      const int c = std::fgetc(f);
      if (c != EOF) next = static_cast<char>(c);
    }
    std::fclose(f);
  }
  if (length < LINE_BUF_SIZE || IsSeparator(LineBuf[length - 1]) || IsSeparator(next)) {
    PutLogMsg("WARNING_MSG: %s is longer than %d bytes: only its first %d bytes are read\n",
              path.c_str(), LINE_BUF_SIZE, LINE_BUF_SIZE);
    return;
  }
  size_t start = length;
  while (start > 0 && !IsSeparator(LineBuf[start - 1])) --start;
  PutLogMsg("WARNING_MSG: %s is longer than %d bytes: its last, incomplete name '%s' is dropped\n",
            path.c_str(), LINE_BUF_SIZE, LineBuf + start);
  LineBuf[start] = '\0';
}

// Turns the list into capitals up to the word end_of_list, which keeps its form
// together with everything after it.
void UpperCaseList() {
  for (char* p = LineBuf; *p != '\0'; ++p) {
    if (std::strncmp(p, kEndOfList, kEndOfListLength) == 0) return;
    *p = static_cast<char>(std::toupper(static_cast<unsigned char>(*p)));
  }
}

// Ends the run with exit status 1 when a name of the list cannot safely stand in a
// command line.
void RequireSafeName(const char* name, const char* dir) {
  char reason[128];
  if (CheckSafePath(name, reason, sizeof reason)) return;
  const std::string why = std::string("unsafe name '") + name + "' in the list of " + dir + ": " + reason;
  PutLogMsg("ERROR: %s\n", why.c_str());
  std::fflush(stdout);
  std::fprintf(stderr, "ERROR: %s\n", why.c_str());
  EndRun(RunOutcome::Incomplete, 1, why.c_str());
}

// The pieces of text between runs of any of seps, up to the piece end_of_list.
std::vector<std::string> Split(std::string_view text, const char* seps) {
  std::vector<std::string> pieces;
  size_t pos = 0;
  while ((pos = text.find_first_not_of(seps, pos)) != std::string_view::npos) {
    size_t end = text.find_first_of(seps, pos);
    if (end == std::string_view::npos) end = text.size();
    std::string piece(text.substr(pos, end - pos));
    if (piece == kEndOfList) break;
    pieces.push_back(std::move(piece));
    pos = end;
  }
  return pieces;
}

}  // namespace

// The names of the copy step: each line is split into words at blanks and tabs
// (backslash escapes apply); end_of_list ends its line, a line that is exactly
// end_of_list ends the list.
std::vector<std::string> NamesToCopy(const std::string& list) {
  std::vector<std::string> names;
  for (std::string& line : Split(list, kLineSeparators)) {
    std::vector<char> word(line.size() + 1);
    char* cursor = nullptr;
    for (char* input = line.data();; input = nullptr) {
      if (GetTokenD(input, kCopySeparators, &cursor, word.data(), word.size()) == nullptr) break;
      if (std::strcmp(word.data(), kEndOfList) == 0) break;
      names.emplace_back(word.data());
    }
  }
  return names;
}

// Leaves the text of dir/disks in LineBuf, or that of dir/DISKS turned into
// capitals up to end_of_list. Neither file: "ERROR: can't open file,
// KanduInstall/disks" on standard error and exit status 1. A list longer than
// 4096 bytes is cut there, without a last word cut in the middle.
void GetDisksData(const char* dir) {
  if (GetFileContent(dir, "disks")) {
    DropCutWord(dir, "disks");
    return;
  }
  if (!GetFileContent(dir, "DISKS")) {
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"  // message 21 is the table's format
    ErrorMsg(ERR_FATAL, 1, nlsSetupStrCvt(kMsgNoList), MAKER_NAME);
#pragma GCC diagnostic pop
  }
  DropCutWord(dir, "DISKS");
  UpperCaseList();
}

// Empties and recreates the work area, copies every file the list names from the
// installer's directory into it (a failed copy ends the run with status 1), then
// runs the installation step. Returns its result.
int installFromSite(const char* workArea) {
  makeWorkArea(workArea);
  GetDisksData(pPathToSetup);
  const std::vector<std::string> names = NamesToCopy(LineBuf);
  for (const std::string& name : names) RequireSafeName(name.c_str(), pPathToSetup);
  for (const std::string& name : names) {
    SysCmd(CMD_CP_P, SYS_FATAL, "%s/%s %s", pPathToSetup, name.c_str(), workArea);
  }
  verifyCopies(workArea, names);
  return Install();
}

// Joins the archive pieces named by the list's copy in the work area, in list
// order, into LinuxppcTvnn.tar.Z there; the work area becomes the current
// directory. A piece that cannot be appended ends the run with status 1.
void genZFile() {
  if (chdir(pKanduInstallDir) != 0) PutLogMsg("WARNING_MSG: cannot change to %s\n", pKanduInstallDir);
  GetDisksData(pKanduInstallDir);
  const std::vector<std::string> words = Split(LineBuf, kJoinSeparators);
  for (const std::string& word : words) {
    if (word.compare(0, kPiecePrefixLength, kPiecePrefix) != 0 &&
        word.compare(0, kPiecePrefixLength, kPiecePrefixUpper) != 0) {
      continue;
    }
    if (!FindFile(pKanduInstallDir, word.c_str())) continue;
    RequireSafeName(word.c_str(), pKanduInstallDir);
    // Unlogged: a logged command's output is redirected to the log, which would take the ">>".
    SysCmd(-CMD_CAT, SYS_FATAL, "%s/%s >> %s/%s.tar.Z", pKanduInstallDir, word.c_str(), pKanduInstallDir,
           kArchive);
  }
}
