// Launch.h - how SysCmd starts the command line of a table command: the words of a
// plain line directly, other lines through the table's shell, and whatever the C
// library's system would treat differently through system itself. Private to the
// system command layer (and its tests).
#pragma once

#include <cstddef>

namespace syscmd {

constexpr int kMaxWords = 256;     // words of a command started directly
constexpr int kMaxRedirects = 4;   // its redirections

// One redirection of a plain line: "1>path", "2>>path", "> path".
struct Redirect {
  int fd;            // 1 or 2
  bool append;       // ">>" rather than ">"
  const char* path;
};

// A command line that a shell would only split into words and redirections.
struct PlainCommand {
  char* words[kMaxWords + 1];  // the command's absolute path and its arguments; null after the last
  int count;
  Redirect redirects[kMaxRedirects];  // in the order of the line
  int redirectCount;
};

// Splits text in place into the words and redirections of a plain command: words
// separated by blanks and tabs, made of letters, digits and % + , - . / : = @ _
// (and # or ~ inside a word), the first word an absolute path, redirections of
// standard output or error to a plain path (">", ">>", with 1 or 2 before them), and
// a comment from a word that begins with # to the end. False, with text unusable,
// when the line holds anything a shell would read otherwise (quotes, variables,
// globs, separators, other redirections), or more words or redirections than a
// plain command holds.
bool SplitPlainCommand(char* text, PlainCommand* out);

// Runs the line of a table command and waits for it; the result is the wait status,
// as the C library's system gives it (-1 when no process could be started). line is
// the whole line as system would run it: "<shell> -c "<command>"", with command
// (length bytes, inside the quotes) the table command, its arguments and their
// redirection; shell is the table's shell ("<dir>/sh"; null leaves the line to
// system as it stands). When the shell would pass the quoted text through unchanged, the
// shell is started directly; when the text is a plain command as well and the
// shell is the host's own /bin/sh, the command is. Any start that fails runs the
// line with system instead, so the shell reports what a shell would report.
int RunTableCommand(const char* line, const char* shell, const char* command, size_t length);

}  // namespace syscmd
