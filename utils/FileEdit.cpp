// FileEdit.cpp - edits text files line by line through an output file beside them,
// which then takes the file's place in one step.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include <sys/stat.h>
#include <unistd.h>

#include "utils/utils.h"

char Fn[EDIT_NAME_SIZE];
char FnOut[EDIT_NAME_SIZE];
FILE* pOut = nullptr;

namespace {

constexpr int EDIT_LINE_SIZE = 512;      // a longer line is edited as several lines
constexpr size_t MAX_REPLACEMENT = 127;  // characters of a FileChangeChar replacement
constexpr long long MAX_COUNTER = 999999999;  // counter digits beyond this are ignored

struct FileCloser {
  void operator()(FILE* f) const { fclose(f); }
};
using File = std::unique_ptr<FILE, FileCloser>;

// The file an editor changes and the output file it writes first.
struct EditNames {
  std::string file;
  std::string out;
};

// "<base>.<ext>" edited through "<base>.<ext>out"; with no extension, "<base>"
// through "<base>.out".
EditNames FormNames(const char* base, const char* ext) {
  std::string b = base ? base : "";
  if (ext && *ext) return {b + "." + ext, b + "." + ext + "out"};
  return {b, b + ".out"};
}

// The first occurrence of text in line; a null or empty text matches no line, so a
// missing search text never deletes or rewrites a whole file.
char* Find(char* line, const char* text) {
  if (!text || !*text) return nullptr;
  return strstr(line, text);
}

// A character code written as the C library's %i reads it ("65", "0x41", "0101");
// -1 when the text holds no number.
int ParseCode(const char* text) {
  int value = 0;
  if (!text || sscanf(text, "%i", &value) != 1) return -1;
  return value & 0xFF;
}

// Puts out in file's place with one rename, so the file holds either its old or its
// edited text. The file's permission bits pass to the edited text. Returns 0, or the
// error number when the rename fails: the file then stays as it was and the edited
// text stays in out.
int ReplaceByOutput(const char* file, const char* out) {
  struct stat st;
  if (stat(file, &st) == 0) chmod(out, st.st_mode & 07777);
  if (rename(out, file) == 0) return 0;
  int err = errno ? errno : EIO;
  ErrorMsg(ERR_WARNING, 0, "can't replace %s by %s: %s", file, out, strerror(err));
  return err;
}

// Closes the finished output file and, when all of it was written, puts it in the
// file's place. An output file that could not be written whole is removed and the
// file stays as it was. Returns 0 or an error number.
int FinishOutput(FILE* out, const char* file, const char* outName) {
  bool failed = ferror(out) != 0;
  if (fclose(out) != 0) failed = true;
  if (failed) {
    int err = errno ? errno : EIO;
    ErrorMsg(ERR_WARNING, 0, "can't write %s: %s", outName, strerror(err));
    unlink(outName);
    return err;
  }
  return ReplaceByOutput(file, outName);
}

// The common frame of the editors: opens the file and its output file (a file that
// cannot be opened ends the process), hands every line of at most 511 characters to
// edit, which writes what is kept, then replaces the file. Returns 0 or an error number.
template <typename Edit>
int EditFile(const char* base, const char* ext, Edit edit) {
  EditNames names = FormNames(base, ext);
  File in(OpenFile(nullptr, names.file.c_str(), "rt", 2));
  if (!in) return 1;
  FILE* out = OpenFile(nullptr, names.out.c_str(), "wt", 2);
  if (!out) return 1;
  char line[EDIT_LINE_SIZE];
  while (fgets(line, sizeof(line), in.get())) edit(line, out);
  in.reset();
  return FinishOutput(out, names.file.c_str(), names.out.c_str());
}

// Writes line without the first length characters at hit.
void WriteWithout(const char* line, const char* hit, size_t length, FILE* out) {
  fwrite(line, 1, static_cast<size_t>(hit - line), out);
  fputs(hit + length, out);
}

// A line-numbering template: "%s<digits>" sets the counter's start and is removed from
// the caller's text; "%#<digits K>" is where the counter minus K goes, as "%05i".
struct Template {
  std::string before;      // text before "%#", or the whole template without one
  std::string after;       // text after "%#" and its digits
  long long offset = 0;    // K
  bool counted = false;    // the template holds "%#"
  long long counter = 0;   // the value for the next line
};

// Reads the digits at text into value (saturating); returns the first non-digit.
char* ReadDigits(char* text, long long* value) {
  *value = 0;
  for (; *text >= '0' && *text <= '9'; ++text) {
    if (*value <= MAX_COUNTER) *value = *value * 10 + (*text - '0');
  }
  if (*value > MAX_COUNTER) *value = MAX_COUNTER;
  return text;
}

Template ParseTemplate(char* text) {
  Template t;
  if (!text) return t;
  if (char* start = strstr(text, "%s")) {
    char* rest = ReadDigits(start + 2, &t.counter);
    memmove(start, rest, strlen(rest) + 1);
  }
  std::string_view whole = text;
  char* mark = strstr(text, "%#");
  if (!mark) {
    t.before = whole;
    return t;
  }
  t.counted = true;
  char* rest = ReadDigits(mark + 2, &t.offset);
  t.before = whole.substr(0, static_cast<size_t>(mark - text));
  t.after = rest;
  return t;
}

// Writes the template for one line and advances the counter. With "%#<K>" nothing is
// written while the counter is below K.
void WriteTemplate(Template& t, FILE* out) {
  if (!t.counted) {
    fputs(t.before.c_str(), out);
  } else if (t.counter >= t.offset) {
    fprintf(out, "%s%05lld%s", t.before.c_str(), t.counter - t.offset, t.after.c_str());
  }
  ++t.counter;
}

bool IsFormatMode(char mode) {
  return mode == 'b' || mode == 'a' || mode == 'c' || mode == 'l' || mode == '\0';
}

}  // namespace

// Replaces the first occurrence of search in every line that holds it by repl.
// Returns 0 when the edited file took the file's place, else an error number (the
// file then stays as it was). A file that cannot be opened ends the process.
int FileChange(const char* base, const char* ext, const char* search, const char* repl) {
  return EditFile(base, ext, [&](char* line, FILE* out) {
    char* hit = Find(line, search);
    if (!hit) {
      fputs(line, out);
      return;
    }
    fwrite(line, 1, static_cast<size_t>(hit - line), out);
    fputs(repl ? repl : "", out);
    fputs(hit + strlen(search), out);
  });
}

// Replaces every character of the given code by the characters of repl, a comma
// list of codes (at most 127). Result and failures as FileChange.
int FileChangeChar(const char* base, const char* ext, const char* code, const char* repl) {
  int target = ParseCode(code);
  std::string with;
  for (std::string_view rest = repl ? repl : ""; !rest.empty() && with.size() < MAX_REPLACEMENT;) {
    size_t comma = rest.find(',');
    std::string item(rest.substr(0, comma));
    rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 1);
    int value = ParseCode(item.c_str());
    if (value >= 0) with += static_cast<char>(value);
  }
  return EditFile(base, ext, [&](char* line, FILE* out) {
    for (const char* p = line; *p; ++p) {
      if (static_cast<unsigned char>(*p) == target) {
        fwrite(with.data(), 1, with.size(), out);
      } else {
        fputc(*p, out);
      }
    }
  });
}

// Cuts the first occurrence of text out of every line that holds it, sparing the
// first spare such lines. Result and failures as FileChange.
int FileDel(const char* base, const char* ext, int spare, const char* text) {
  int seen = 0;
  return EditFile(base, ext, [&](char* line, FILE* out) {
    char* hit = Find(line, text);
    if (!hit || seen < spare) {
      if (hit) ++seen;
      fputs(line, out);
      return;
    }
    WriteWithout(line, hit, strlen(text), out);
  });
}

// Deletes the lines that hold text, sparing the first spare of them. Result and
// failures as FileChange.
int FileDelLine(const char* base, const char* ext, int spare, const char* text) {
  int seen = 0;
  return EditFile(base, ext, [&](char* line, FILE* out) {
    char* hit = Find(line, text);
    if (hit && seen >= spare) return;
    if (hit) ++seen;
    fputs(line, out);
  });
}

// Deletes each line holding start (after the first spare of them) together with the
// next line holding end; the lines between stay. Result and failures as FileChange.
int FileDelLinePair(const char* base, const char* ext, int spare, const char* start,
                    const char* end) {
  int seen = 0;
  int pending = 0;
  return EditFile(base, ext, [&](char* line, FILE* out) {
    if (Find(line, start)) {
      if (seen < spare) {
        ++seen;
        fputs(line, out);
      } else {
        ++pending;
      }
      return;
    }
    if (pending > 0 && Find(line, end)) {
      --pending;
      return;
    }
    fputs(line, out);
  });
}

// One of five edits by the mode's first letter: "b" keeps each matching line from
// text on, "a" up to and including text, "" cuts text out, "c" removes every character
// of the code text, "l" deletes matching lines. Returns 0; 1 for another letter,
// before anything is opened or written; an error number when the replacement failed.
int FileDelFormat(const char* base, const char* ext, const char* mode, const char* text) {
  const char letter = mode ? mode[0] : '\0';
  if (!IsFormatMode(letter)) return 1;
  const int code = letter == 'c' ? ParseCode(text) : -1;
  return EditFile(base, ext, [&](char* line, FILE* out) {
    if (letter == 'c') {
      for (const char* p = line; *p; ++p) {
        if (static_cast<unsigned char>(*p) != code) fputc(*p, out);
      }
      return;
    }
    char* hit = Find(line, text);
    if (!hit) {
      fputs(line, out);
      return;
    }
    switch (letter) {
      case 'b':
        fputs(hit, out);
        break;
      case 'a':
        fwrite(line, 1, static_cast<size_t>(hit - line) + strlen(text), out);
        fputc('\n', out);
        break;
      case 'l':
        break;
      default:
        WriteWithout(line, hit, strlen(text), out);
        break;
    }
  });
}

// Writes the template before every line; templ may number the lines ("%s<n>" start,
// "%#<K>" place) and loses its "%s" directive. Result and failures as FileChange.
int FileInsert(const char* base, const char* ext, char* templ) {
  Template t = ParseTemplate(templ);
  return EditFile(base, ext, [&](char* line, FILE* out) {
    WriteTemplate(t, out);
    fputs(line, out);
  });
}

// As FileInsert, only before the lines that hold search; only they count.
int FileSearchInsert(const char* base, const char* ext, char* templ, const char* search) {
  Template t = ParseTemplate(templ);
  return EditFile(base, ext, [&](char* line, FILE* out) {
    if (Find(line, search)) WriteTemplate(t, out);
    fputs(line, out);
  });
}

// Opens pIn on "<base>.<ext>" (or base) and pOut on that name with "out" added,
// closing the previous streams first; a file that cannot be opened ends the process.
// Returns pOut; null, with a warning and nothing opened, for names past 127 characters.
FILE* OpenIOFiles(const char* base, const char* ext) {
  std::string file = FormNames(base, ext).file;
  std::string out = file + "out";
  if (out.size() >= EDIT_NAME_SIZE) {
    Fn[0] = '\0';
    FnOut[0] = '\0';
    ErrorMsg(ERR_WARNING, 0, "file name too long, %s", out.c_str());
    return nullptr;
  }
  snprintf(Fn, sizeof(Fn), "%s", file.c_str());
  snprintf(FnOut, sizeof(FnOut), "%s", out.c_str());
  pIn = OpenFile(pIn, Fn, "rt", 2);
  pOut = OpenFile(pOut, FnOut, "wt", 2);
  return pOut;
}

// Closes pIn and pOut (both are null afterwards) and puts FnOut in Fn's place.
// Returns 0, or non-zero when nothing was opened, the output could not be written
// whole (it is removed) or the rename failed; Fn then stays as it was.
int ReplaceInputFile() {
  if (pIn) {
    fclose(pIn);
    pIn = nullptr;
  }
  FILE* out = pOut;
  pOut = nullptr;
  if (!Fn[0] || !FnOut[0]) {
    if (out) fclose(out);
    return 1;
  }
  if (!out) return ReplaceByOutput(Fn, FnOut);
  return FinishOutput(out, Fn, FnOut);
}
