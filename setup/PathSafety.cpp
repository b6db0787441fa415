// PathSafety.cpp - the rule for paths that the installer pastes into shell command lines.
//
// The work area, the installation directory, the installer's own directory and the
// product path found through /usr/Kandu/tvnn all end up inside "sh -c" lines, in
// double quotes and as unquoted words. A blank there would split "rm -rf" into
// removals of other trees, and a quote, '$' or '`' would run commands as root. Such
// paths are refused before anything on the host is changed.
#include "setup/setup.h"

#include "utils/utils.h"

#include <cstdio>
#include <cstring>
#include <string>

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
  ErrorMsg(ERR_FATAL, 2, "unsafe %s '%s': %s; %s", what, shown.c_str(), reason, kRuleText);
}
