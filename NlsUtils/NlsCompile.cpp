// NlsCompile.cpp - the catalogue compiler: reads a catalogue source of numbered and
// keyed texts and writes it as a typed record database below a tool directory.
#include "NlsUtils/Nls.h"

#include "Dbm/Dbm.h"
#include "MemMgr/MemMgr.h"
#include "utils/utils.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr size_t kMaxKeyLen = 255;  // longest text key of a source line
constexpr int kCatalogueFlags = 2 | 4;  // no refresh, written back once at the end

struct Message {
  std::string Key;
  std::string Text;
  int Line = 0;
};

// One source line being read: position and the first error found.
struct LineReader {
  std::string_view Rest;
  std::string Error;

  void SkipBlanks() {
    while (!Rest.empty() && (Rest.front() == ' ' || Rest.front() == '\t')) Rest.remove_prefix(1);
  }
  bool Fail(std::string why) {
    if (Error.empty()) Error = std::move(why);
    return false;
  }

  // A decimal number from 0 to INT_MAX.
  bool Number(const char* what, int* out) {
    size_t n = 0;
    long long v = 0;
    while (n < Rest.size() && Rest[n] >= '0' && Rest[n] <= '9') {
      v = v * 10 + (Rest[n] - '0');
      if (v > INT_MAX) return Fail(std::string(what) + " is larger than " + std::to_string(INT_MAX));
      ++n;
    }
    if (n == 0) return Fail(std::string("expected ") + what + " (a number), or key:NAME");
    Rest.remove_prefix(n);
    *out = static_cast<int>(v);
    return true;
  }

  // The key of the line: "set number" as "set_number", or "key:NAME".
  bool Key(std::string* key) {
    if (Rest.substr(0, 4) == "key:") {
      Rest.remove_prefix(4);
      const size_t n = std::min(Rest.find_first_of(" \t\""), Rest.size());
      if (n == 0) return Fail("key: needs a name");
      if (n > kMaxKeyLen) return Fail("key name longer than " + std::to_string(kMaxKeyLen) + " characters");
      *key = std::string(Rest.substr(0, n));
      Rest.remove_prefix(n);
      return true;
    }
    int set = 0;
    int num = 0;
    if (!Number("a message set", &set)) return false;
    if (Rest.empty() || (Rest.front() != ' ' && Rest.front() != '\t'))
      return Fail("expected a blank after the message set");
    SkipBlanks();
    if (!Number("a message number", &num)) return false;
    *key = std::to_string(set) + "_" + std::to_string(num);
    return true;
  }

  // One escape after the backslash: \n \t \r \\ \" \' \a \b \f \v or octal \ooo.
  bool Escape(std::string* text) {
    if (Rest.empty()) return Fail("missing closing quote");
    const char c = Rest.front();
    if (c >= '0' && c <= '7') {
      int v = 0;
      size_t n = 0;
      while (n < 3 && n < Rest.size() && Rest[n] >= '0' && Rest[n] <= '7') v = v * 8 + (Rest[n++] - '0');
      if (v == 0) return Fail("a zero byte (\\0) cannot be part of a text");
      if (v > 255) return Fail("octal escape \\" + std::string(Rest.substr(0, n)) + " is above \\377");
      Rest.remove_prefix(n);
      text->push_back(static_cast<char>(v));
      return true;
    }
    static constexpr std::string_view kFrom = "nt\\\"'rabfv";
    static constexpr std::string_view kTo = "\n\t\\\"'\r\a\b\f\v";
    const size_t i = kFrom.find(c);
    if (i == std::string_view::npos) return Fail(std::string("unknown escape \\") + c);
    text->push_back(kTo[i]);
    Rest.remove_prefix(1);
    return true;
  }

  // The quoted text: one or more quoted pieces, joined; then a comment or the end.
  bool Text(std::string* text) {
    SkipBlanks();
    if (Rest.empty() || Rest.front() != '"') return Fail("expected a quoted text");
    while (!Rest.empty() && Rest.front() == '"') {
      Rest.remove_prefix(1);
      for (;;) {
        if (Rest.empty()) return Fail("missing closing quote");
        const char c = Rest.front();
        Rest.remove_prefix(1);
        if (c == '"') break;
        if (c == '\0') return Fail("a zero byte cannot be part of a text");
        if (c != '\\') {
          text->push_back(c);
        } else if (!Escape(text)) {
          return false;
        }
      }
      SkipBlanks();
    }
    if (!Rest.empty() && Rest.front() != '#') return Fail("unexpected text after the closing quote");
    return true;
  }
};

// Reads the source into messages; reports every error and returns their count.
int ReadSource(const char* path, size_t maxText, std::vector<Message>* out) {
  std::string content;
  if (!ReadWholeFile("nlscompile", path, &content)) return 1;
  const char* source = std::strcmp(path, "-") == 0 ? "standard input" : path;
  std::istringstream in(content);
  std::map<std::string, int> seen;  // key -> line of its first definition
  int errors = 0;
  int lineNo = 0;
  std::string line;
  auto report = [&](const std::string& why) {
    std::fprintf(stderr, "%s:%d: error: %s\n", source, lineNo, why.c_str());
    ++errors;
  };
  while (std::getline(in, line)) {
    ++lineNo;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    LineReader r{line, {}};
    r.SkipBlanks();
    if (r.Rest.empty() || r.Rest.front() == '#') continue;
    Message m;
    m.Line = lineNo;
    if (!r.Key(&m.Key) || !r.Text(&m.Text)) {
      report(r.Error);
      continue;
    }
    if (m.Text.size() > maxText) {
      report("text of " + std::to_string(m.Text.size()) + " bytes is longer than the limit of " +
             std::to_string(maxText) + " bytes");
      continue;
    }
    auto [it, added] = seen.emplace(m.Key, lineNo);
    if (!added) {
      report("duplicate key " + m.Key + " (first defined at line " + std::to_string(it->second) + ")");
      continue;
    }
    out->push_back(std::move(m));
  }
  if (errors == 0 && out->empty()) {
    std::fprintf(stderr, "%s: error: no messages\n", source);
    return 1;
  }
  return errors;
}

// A language or catalogue name: one path component, not "." or "..".
bool PlainName(const char* name) {
  return name != nullptr && *name != '\0' && std::strchr(name, '/') == nullptr &&
         std::strcmp(name, ".") != 0 && std::strcmp(name, "..") != 0;
}

// Writes the messages to <tool>/db/<dbName>.xdb through the typed database layer,
// with pToolPath set to tool; false after a report when anything fails.
bool WriteCatalogue(const std::vector<Message>& messages, const std::string& dbName) {
  DbTHandle* db = DbTOpen(dbName.c_str(), kCatalogueFlags);
  if (db == nullptr) {
    std::fprintf(stderr, "nlscompile: cannot create the catalogue %s\n", dbName.c_str());
    return false;
  }
  bool ok = true;
  for (const Message& m : messages) {
    // A text is stored with its zero, so that every reader gets a whole text.
    if (DbmTPutRecord(db, m.Key.c_str(), m.Text.c_str(), static_cast<int>(m.Text.size() + 1)) != 1) {
      std::fprintf(stderr, "nlscompile: cannot store the message %s\n", m.Key.c_str());
      ok = false;
      break;
    }
  }
  if (ok && DbmTArchiveDb(db) != 1) ok = false;
  DbTClose(db);
  return ok;
}

// Keeps the current directory and pToolPath, and puts them back when it goes away.
struct PlaceGuard {
  int CwdFd = open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  decltype(pToolPath) OldTool = pToolPath;
  ~PlaceGuard() {
    if (pToolPath != OldTool) {
      PutMem(pToolPath);
      pToolPath = OldTool;
    }
    if (CwdFd >= 0) {
      if (fchdir(CwdFd) != 0) std::perror("nlscompile: cannot return to the working directory");
      close(CwdFd);
    }
  }
};

}  // namespace

// Compiles a catalogue source; see Nls.h.
int NlsCompileCatalog(const char* source, const char* toolDir, const char* lang, const char* name,
                      bool allowLong) {
  namespace fs = std::filesystem;
  if (source == nullptr || toolDir == nullptr || *toolDir == '\0' || !PlainName(lang) || !PlainName(name)) {
    std::fprintf(stderr, "nlscompile: the language and the catalogue name must be plain names\n");
    return 2;
  }
  std::vector<Message> messages;
  if (ReadSource(source, allowLong ? NLS_LONG_TEXT_MAX : NLS_REC_SIZE - 1, &messages) != 0) return 1;

  std::error_code ec;
  const fs::path tool = fs::absolute(toolDir, ec).lexically_normal();
  const fs::path langDir = tool / "db" / lang;
  fs::create_directories(langDir, ec);
  if (ec) {
    FileError("nlscompile", langDir.c_str(), ec.value());
    return 1;
  }
  // The new catalogue is written under a name of its own and renamed into place,
  // so a program that reads the old one never sees half a catalogue.
  const std::string tmpName = std::string(lang) + "/" + name + "~" + std::to_string(getpid());
  const fs::path tmpFile = tool / "db" / (tmpName + ".xdb");
  const fs::path tmpNew = tool / "db" / (tmpName + ".xdb_new");
  const fs::path target = langDir / (std::string(name) + ".xdb");
  fs::remove(tmpFile, ec);
  fs::remove(tmpNew, ec);

  PlaceGuard guard;
  // The database layer makes "db" in the working directory when it is missing;
  // working in the tool directory keeps that "db" the catalogue's own.
  if (chdir(tool.c_str()) != 0) {
    FileError("nlscompile", tool.c_str(), errno);
    return 1;
  }
  pToolPath = SaveStr_(tool.c_str());
  errno = 0;
  bool ok = WriteCatalogue(messages, tmpName);
  if (ok && chmod(tmpFile.c_str(), 0644) != 0) ok = false;
  int err = errno != 0 ? errno : EIO;
  ec.clear();
  if (ok) fs::rename(tmpFile, target, ec);
  if (ec) err = ec.value();
  if (!ok || ec) {
    FileError("nlscompile", target.c_str(), err);
    fs::remove(tmpFile, ec);
    fs::remove(tmpNew, ec);
    return 1;
  }
  return 0;
}
