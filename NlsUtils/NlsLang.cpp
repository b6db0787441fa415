// NlsLang.cpp - the language of the process: the translation table trans.conf, the
// choice from LANG, and the tool directory of the library's programs.
#include "NlsUtils/Nls.h"

#include "Dbm/Dbm.h"
#include "MemMgr/MemMgr.h"
#include "utils/utils.h"

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <string_view>

#include <unistd.h>

char* pNLSLang = nullptr;
char* pTransBuf = nullptr;

namespace {

constexpr const char* kLangNotSet = "___LANG_NOT_SET___";
constexpr const char* kEnglish = "en_US";
constexpr const char* kTransFile = "trans.conf";
constexpr const char* kCoreCatalogue = "en_US/CoreString";

bool IsWhite(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// The normalised table under construction, in a fixed NLS_TRANS_SIZE buffer.
struct TableWriter {
  char Text[NLS_TRANS_SIZE] = {};
  size_t Len = 0;
  size_t LastLine = 0;  // length up to and including the last line feed written
  bool Cut = false;

  // Appends the word and its ending; once the table is full it is cut after its
  // last whole line (or after its last whole word when it has a single line).
  void Put(std::string_view word, std::string_view ending) {
    if (Cut) return;
    if (Len + word.size() + ending.size() > NLS_TRANS_SIZE - 1) {
      Cut = true;
      if (LastLine > 0) Len = LastLine;
      Text[Len] = '\0';
      return;
    }
    std::memcpy(Text + Len, word.data(), word.size());
    Len += word.size();
    std::memcpy(Text + Len, ending.data(), ending.size());
    Len += ending.size();
    Text[Len] = '\0';
    if (!ending.empty() && ending.back() == '\n') LastLine = Len;
  }
};

// The word of text starting at p, up to the first of the delimiters.
std::string WordAt(const char* p, const char* delims) {
  return std::string(p, std::strcspn(p, delims));
}

// The default language named by the table's Default line, "" when none.
std::string DefaultLanguage(const char* table) {
  const char* d = std::strstr(table, "Default");
  if (d == nullptr || d[7] == '\n') return "";
  const char* p = std::strchr(d, ' ');
  if (p == nullptr) return "";
  while (*p == ' ' || *p == '\t') ++p;
  if (*p == '\n' || *p == '\r' || *p == '\0') return "";
  return WordAt(p, " \t\r\n");
}

// The language of the mapping line that lists the search text: the first match
// that follows the '=' of its own line gives the first word of that line. A match
// elsewhere (on the Default line, or on a line without '=') does not name a
// language and the search goes on. "" when no mapping lists the text.
std::string MappedLanguage(const char* table, const std::string& search) {
  for (const char* m = std::strstr(table, search.c_str()); m != nullptr;
       m = std::strstr(m + 1, search.c_str())) {
    const char* eq = nullptr;
    for (const char* q = m; q > table;) {
      --q;
      if (*q == '\n') break;
      if (*q == '=') {
        eq = q;
        break;
      }
    }
    if (eq == nullptr) continue;
    const char* start = eq;
    while (start > table && start[-1] != '\n') --start;
    std::string lang = WordAt(start, " =");
    if (!lang.empty()) return lang;
  }
  return "";
}

// The search text " <LANG> " with the codeset and the closing blank cut at a '.'.
std::string SearchText() {
  const char* lang = std::getenv("LANG");
  if (lang == nullptr || *lang == '\0') lang = kLangNotSet;
  std::string search = std::string(" ") + lang + " ";
  const size_t dot = search.find('.');
  if (dot != std::string::npos) search.resize(dot);
  return search;
}

// The translation table kept in message 999/1 of the English core catalogue, as
// a managed text, or null. Opens the core catalogue when none is open.
char* TableFromCatalogue() {
  if (pDrvCoreDB == nullptr) pDrvCoreDB = DbTOpen(kCoreCatalogue, 0);
  if (pDrvCoreDB == nullptr) return nullptr;
  char* t = NlsFetchString(pDrvCoreDB, nullptr, NLS_KIND_NUM, NLS_SET_TRANS, 1);
  if (t == pErrBuf || std::strcmp(t, "999_1") == 0) return nullptr;
  return t;
}

// The directory that holds the running program, "" when it cannot be told.
std::filesystem::path ProgramDir(const char* argv0) {
  namespace fs = std::filesystem;
  std::error_code ec;
  fs::path exe;
  if (argv0 != nullptr && std::strchr(argv0, '/') != nullptr) {
    exe = fs::absolute(argv0, ec);
  } else if (argv0 != nullptr && *argv0 != '\0') {
    const char* path = std::getenv("PATH");
    std::string_view dirs = path ? path : "";
    while (exe.empty() && !dirs.empty()) {
      const size_t colon = dirs.find(':');
      std::string dir(dirs.substr(0, colon));
      dirs = colon == std::string_view::npos ? "" : dirs.substr(colon + 1);
      const std::string cand = (dir.empty() ? std::string(".") : dir) + "/" + argv0;
      if (access(cand.c_str(), X_OK) == 0) exe = fs::absolute(cand, ec);
    }
  }
  if (exe.empty()) exe = fs::read_symlink("/proc/self/exe", ec);
  if (exe.empty()) return {};
  // A program reached through a link belongs to the tree that holds its file.
  fs::path real = fs::canonical(exe, ec);
  return (ec ? exe : real).lexically_normal().parent_path();
}

}  // namespace

// Sets pToolPath from $KANDU_TOOL_PATH or the program's place; see Nls.h.
char* NlsInitToolPath(const char* argv0) {
  namespace fs = std::filesystem;
  std::error_code ec;
  fs::path tool;
  const char* env = std::getenv("KANDU_TOOL_PATH");
  if (env != nullptr && *env != '\0') {
    tool = fs::absolute(env, ec);
  } else {
    fs::path dir = ProgramDir(argv0);
    if (dir.empty()) return nullptr;
    tool = dir.parent_path() / "share" / "tvnn";
  }
  std::string text = tool.lexically_normal().string();
  while (text.size() > 1 && text.back() == '/') text.pop_back();
  pToolPath = SaveStr_(text.c_str());
  return pToolPath;
}

// Reads and normalises pToolPath/name; see Nls.h.
char* ParseTransFile(const char* name) {
  if (pToolPath == nullptr || name == nullptr) return nullptr;
  char* content = GetSavedFileContent(pToolPath, name);
  if (content == nullptr) return nullptr;

  TableWriter out;
  bool afterDefault = false;
  const char* p = content;
  while (*p != '\0') {
    if (IsWhite(*p)) {
      ++p;
      continue;
    }
    if (*p == '#') {  // a comment runs to the next carriage return or line feed
      p += std::strcspn(p, "\r\n");
      continue;
    }
    if (*p == '=') {
      out.Put("=", " ");
      ++p;
      continue;
    }
    const size_t n = std::strcspn(p, " \t\r\n");
    const std::string_view word(p, n);
    p += n;
    out.Put(word, (*p == '\n' || afterDefault) ? " \n" : " ");
    afterDefault = word == "Default";
  }
  PutMem(content);
  if (out.Cut) {
    std::fprintf(stderr, "WARNING: %s/%s: translation table longer than %d bytes, cut after %zu\n",
                 pToolPath, name, NLS_TRANS_SIZE - 1, out.Len);
  }
  return SaveStr_(out.Text);
}

// Chooses the language once per process; see Nls.h.
char* GetDesiredNLSLang() {
  if (pNLSLang != nullptr) return pNLSLang;
  const std::string search = SearchText();
  if (pTransBuf == nullptr) pTransBuf = ParseTransFile(kTransFile);
  if (pTransBuf == nullptr) pTransBuf = TableFromCatalogue();
  if (pTransBuf == nullptr) {
    pNLSLang = SaveStr_(kEnglish);
    return pNLSLang;
  }
  std::string lang = MappedLanguage(pTransBuf, search);
  if (lang.empty()) lang = DefaultLanguage(pTransBuf);
  if (lang.empty()) lang = kEnglish;
  pNLSLang = SaveStr_(lang.c_str());
  return pNLSLang;
}
