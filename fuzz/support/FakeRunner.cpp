// FakeRunner.cpp - a recording stand-in for the runner of the system command layer
// (every function of SysCmd/SysCmd.cpp), linked into the fuzz targets in its place:
// lines are composed as the real runner composes them, checked and recorded, never
// run; output queries get scripted texts.
#include "fuzz/support/FakeRunner.h"

#include "MemMgr/MemMgr.h"
#include "SysCmd/SysCmd.h"
#include "fuzz/support/FuzzSupport.h"
#include "utils/utils.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

constexpr int kShell = 31;
constexpr int kLastCommand = 81;
constexpr int kRmF = 29;
constexpr int kRmRf = 30;

struct {
  std::vector<fuzz::RecordedCommand> recorded;
  std::map<int, std::string> outputs;
  std::vector<std::string> removable;
} S;

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

// The table entry of index, or the end of the program as the real runner ends it
// for an unknown or unresolved command (status 0).
const ComListEntry& Entry(int index) {
  if (index > 1 && index <= kLastCommand && TestCmd(index)) return ComList[index];
  exit_app(0);
}

// The caller's text of a table command lies inside one double-quoted word of
// "sh -c": a double quote in it, or a backslash that escapes the closing quote,
// would let the rest of the text reach the shell outside that word.
void CheckQuoted(const std::string& args, const std::string& tail, const std::string& line) {
  fuzz::Check(args.find('"') == std::string::npos, "no double quote reaches a quoted command line", line);
  const std::string inside = args + tail;
  size_t slashes = 0;
  while (slashes < inside.size() && inside[inside.size() - 1 - slashes] == '\\') ++slashes;
  fuzz::Check(slashes % 2 == 0, "the closing quote of a command line is never escaped", line);
}

// The fake rm removes a path the target allowed, when the command names it alone.
void EmulateRemoval(int index, const std::string& args) {
  if (index != kRmF && index != kRmRf) return;
  std::string path = args;
  while (!path.empty() && path.front() == ' ') path.erase(0, 1);
  for (const std::string& allowed : S.removable) {
    if (path == allowed) unlink(path.c_str());
  }
}

// The pieces fgets would give of text with a 4096-byte buffer, those that hold
// filter (all for a null or empty filter).
std::vector<std::string> OutputPieces(int index, const char* filter) {
  std::vector<std::string> pieces;
  const auto it = S.outputs.find(index < 0 ? -index : index);
  if (it == S.outputs.end()) return pieces;
  const std::string& text = it->second;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    end = end == std::string::npos ? text.size() : end + 1;
    if (end - pos > static_cast<size_t>(CMD_RESPONSE_LINE_SIZE - 1)) end = pos + CMD_RESPONSE_LINE_SIZE - 1;
    std::string piece = text.substr(pos, end - pos);
    // fgets stops reading a piece at its first zero byte only as far as C texts go.
    piece.resize(std::strlen(piece.c_str()));
    pos = end;
    if (filter == nullptr || *filter == '\0' || piece.find(filter) != std::string::npos) {
      pieces.push_back(std::move(piece));
    }
  }
  return pieces;
}

// The command line of an output query, as the real runner builds it (the caller's
// text alone for index 0 and 1); false when it would not fit its buffer.
bool QueryLine(int index, const std::string& args) {
  std::string line;
  if (index > 1 || index < 0) {
    const ComListEntry& e = Entry(index < 0 ? -index : index);
    line = std::string(e.pPath) + "/" + e.pName + " " + e.pFlags + " ";
  }
  line += args;
  return line.size() < static_cast<size_t>(CMD_RESPONSE_LINE_SIZE);
}

}  // namespace

namespace fuzz {

const std::vector<RecordedCommand>& Recorded() { return S.recorded; }

void ResetRunner() {
  S.recorded.clear();
  S.outputs.clear();
  S.removable.clear();
}

void ScriptOutput(int index, std::string text) { S.outputs[index] = std::move(text); }

void AllowRemoval(std::string path) { S.removable.push_back(std::move(path)); }

}  // namespace fuzz

int SysCmd(int index, int mode, const char* fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  const std::string args = VFormat(fmt, ap);
  va_end(ap);

  bool logging = true;
  int entry = index;
  if (entry < 0) {
    logging = false;
    entry = entry < -kLastCommand ? kLastCommand + 1 : -entry;
  }
  if (entry == 0) logging = false;
  const bool logs = logging && (mode == SYS_LOG || mode == SYS_FATAL);

  std::string line;
  if (entry > 1) {
    const ComListEntry& e = Entry(entry);
    const ComListEntry& sh = Entry(kShell);
    line = std::string(sh.pPath) + "/" + sh.pName + " -c \"" + e.pPath + "/" + e.pName + " " + e.pFlags + " ";
  }
  std::string redirect;
  if (mode == SYS_QUIET) {
    redirect = " 1>/dev/null 2>/dev/null";
  } else if (logs) {
    redirect = " 1>>/tmp/setup.log 2>>/tmp/setup.log";
  }
  const std::string closing = entry > 1 ? "\"" : "";
  line += args + redirect + closing;
  if (line.size() >= static_cast<size_t>(SYS_CMD_LINE_SIZE)) {
    // The real runner refuses the line; in the fatal mode the program ends.
    if (mode == SYS_FATAL) exit_app(1);
    return -1;
  }
  if (entry > 1) CheckQuoted(args, redirect, line);
  S.recorded.push_back({index, mode, args, line});
  EmulateRemoval(entry, args);
  return 0;
}

CmdResponse* GetCmdResponse(int index, const char* filter, const char* fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  const std::string args = VFormat(fmt, ap);
  va_end(ap);
  if (!QueryLine(index, args)) return nullptr;
  S.recorded.push_back({index, -1, args, args});
  CmdResponse* head = nullptr;
  CmdResponse** tail = &head;
  for (const std::string& piece : OutputPieces(index, filter)) {
    auto* node = static_cast<CmdResponse*>(GetMem(sizeof(CmdResponse) + piece.size() + 1));
    if (node == nullptr) continue;
    node->pLine = reinterpret_cast<char*>(node + 1);
    std::memcpy(node->pLine, piece.c_str(), piece.size() + 1);
    *tail = node;
    tail = &node->pNext;
  }
  return head;
}

char* GetCmdResponseStr(int index, const char* filter, const char* fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  const std::string args = VFormat(fmt, ap);
  va_end(ap);
  if (!QueryLine(index, args)) return nullptr;
  S.recorded.push_back({index, -1, args, args});
  std::string joined;
  for (const std::string& piece : OutputPieces(index, filter)) {
    joined += piece;
    if (piece.empty() || piece.back() != '\n') joined += '\n';
  }
  return joined.empty() ? nullptr : SaveStr_(joined.c_str());
}

void FreeResponseList(CmdResponse* list) {
  while (list != nullptr) {
    CmdResponse* next = list->pNext;
    PutMem(list);
    list = next;
  }
}

int SysCmdLoggedFailures() { return 0; }

void SysCmdP(int mode, const char* fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  const std::string args = VFormat(fmt, ap);
  va_end(ap);
  if (args.size() >= static_cast<size_t>(SYS_CMD_P_LINE_SIZE)) {
    if (mode == SYS_FATAL) exit_app(1);
    return;
  }
  S.recorded.push_back({0, mode, args, args});
}
