// PathSafety.cpp - the rule for paths that the installer pastes into shell command lines.
//
// The work area, the installation directory, the installer's own directory and the
// product path found through /usr/Kandu/tvnn all end up inside "sh -c" lines, in
// double quotes and as unquoted words. A blank there would split "rm -rf" into
// removals of other trees, and a quote, '$' or '`' would run commands as root. Such
// paths are refused before anything on the host is changed.
#include "setup/setup.h"

#include "utils/utils.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <sys/stat.h>
#include <unistd.h>

namespace {

// Characters that the shell gives a meaning, even inside double quotes or in a
// word: quoting, expansion, command separators, redirection, globbing and '~'.
constexpr const char* kShellCharacters = "\"$`\\';&|<>()*?[]{}~";

// The text after the reason of every refusal: what a path may hold.
constexpr const char* kRuleText = "a path may hold only letters, digits and / . _ - + , : @";

// The path as it can be shown on one line: control characters as \t, \n, \r or \xHH.
std::string Visible(const char* path) {
  std::string out;
  for (const unsigned char* p = reinterpret_cast<const unsigned char*>(path); *p != '\0'; ++p) {
    if (*p == '\t') {
      out += "\\t";
    } else if (*p == '\n') {
      out += "\\n";
    } else if (*p == '\r') {
      out += "\\r";
    } else if (*p < 0x20 || *p == 0x7f) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02x", *p);
      out += hex;
    } else {
      out += static_cast<char>(*p);
    }
  }
  return out;
}

// The reason why path is unsafe in a command line, or "" when it is safe.
std::string UnsafeReason(const char* path) {
  if (path == nullptr || *path == '\0') return "it is empty";
  if (std::strlen(path) > static_cast<size_t>(SAFE_PATH_MAX)) {
    return "it is longer than " + std::to_string(SAFE_PATH_MAX) + " characters";
  }
  for (const unsigned char* p = reinterpret_cast<const unsigned char*>(path); *p != '\0'; ++p) {
    if (*p == ' ') return "it contains a blank";
    if (*p == '\t') return "it contains a tab";
    if (*p == '\n') return "it contains a line feed";
    if (*p < 0x20 || *p == 0x7f) {
      char code[8];
      std::snprintf(code, sizeof code, "0x%02x", *p);
      return std::string("it contains the control character ") + code;
    }
    if (std::strchr(kShellCharacters, *p) != nullptr) {
      return std::string("it contains the character ") + static_cast<char>(*p);
    }
  }
  return "";
}

}  // namespace

// 1 when path is safe in a command line; otherwise 0 with the reason in words in
// reason (size bytes, always terminated when size is above 0; may be null).
int CheckSafePath(const char* path, char* reason, int size) {
  const std::string why = UnsafeReason(path);
  if (reason != nullptr && size > 0) std::snprintf(reason, static_cast<size_t>(size), "%s", why.c_str());
  return why.empty() ? 1 : 0;
}

// Ends the program with exit status 2, naming what was refused and why, unless path
// is safe.
void RequireSafePath(const char* what, const char* path) {
  char reason[128];
  if (CheckSafePath(path, reason, sizeof reason)) return;
  const std::string shown = Visible(path != nullptr ? path : "");
  PutLogMsg("ERROR: unsafe %s '%s': %s\n", what, shown.c_str(), reason);
  std::fflush(stdout);
  std::fprintf(stderr, "ERROR: unsafe %s '%s': %s; %s\n", what, shown.c_str(), reason, kRuleText);
  const std::string why = std::string("unsafe ") + what + " '" + shown + "'";
  EndRun(RunOutcome::Refused, 2, why.c_str());
}

namespace {

// Why the folder at path (lstat result st) could be changed by a user other than
// root and the one running the installer, or "" when it cannot.
std::string UntrustedReason(const std::string& path, const struct stat& st, uid_t self) {
  if (st.st_uid != 0 && st.st_uid != self) {
    return path + (S_ISLNK(st.st_mode) ? " is a link" : " is") + " owned by another user (uid " +
           std::to_string(st.st_uid) + ")";
  }
  if (S_ISLNK(st.st_mode)) return "";
  if ((st.st_mode & (S_IWGRP | S_IWOTH)) != 0 && (st.st_mode & S_ISVTX) == 0) {
    return path + " is writable by other users and has no sticky bit";
  }
  return "";
}

}  // namespace

// 1 when no other user can change what path names: every existing part of it, from
// "/" on, is owned by root or the running user, and one that others may write to has
// the sticky bit; a link must be so owned and its target is checked too. A missing
// part ends the walk (the installer makes it). Otherwise 0 with the reason in reason.
int CheckTrustedFolder(const char* path, char* reason, int size) {
  const uid_t self = geteuid();
  std::string why;
  std::string walked;
  const std::string full = path != nullptr ? path : "";
  size_t pos = 0;
  for (int links = 0; why.empty();) {
    struct stat st;
    const std::string at = walked.empty() ? "/" : walked;
    if (lstat(at.c_str(), &st) != 0) break;
    why = UntrustedReason(at, st, self);
    if (why.empty() && S_ISLNK(st.st_mode)) {
      struct stat target;
      if (++links > 40 || stat(at.c_str(), &target) != 0) break;
      char resolved[PATH_MAX];
      if (realpath(at.c_str(), resolved) == nullptr) break;
      // The target's own parts are checked from "/" on; the walk then goes on there.
      char inner[256];
      if (!CheckTrustedFolder(resolved, inner, sizeof inner)) why = inner;
      walked = resolved;
      if (walked == "/") walked.clear();
    }
    if (!why.empty()) break;
    while (pos < full.size() && full[pos] == '/') ++pos;
    if (pos >= full.size()) break;
    size_t end = full.find('/', pos);
    if (end == std::string::npos) end = full.size();
    walked += "/" + full.substr(pos, end - pos);
    pos = end;
  }
  if (reason != nullptr && size > 0) std::snprintf(reason, static_cast<size_t>(size), "%s", why.c_str());
  return why.empty() ? 1 : 0;
}

// Ends the run with status 2 unless CheckTrustedFolder accepts the work-area base.
void RequireTrustedBase(const char* base) {
  char reason[512];
  if (CheckTrustedFolder(base, reason, sizeof reason)) return;
  PutLogMsg("ERROR: unsafe work-area base '%s': %s\n", base, reason);
  std::fflush(stdout);
  std::fprintf(stderr, "ERROR: unsafe work-area base '%s': %s; other users could change the work area\n", base,
               reason);
  const std::string why = std::string("unsafe work-area base '") + base + "'";
  EndRun(RunOutcome::Refused, 2, why.c_str());
}
