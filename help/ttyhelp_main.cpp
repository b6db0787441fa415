// ttyhelp_main.cpp - the help viewer: browses HTML help pages on a terminal, or
// prints a page's rendered text or its link records.
//   ttyhelp [FILE[#TARGET]]
//   ttyhelp --dump FILE [PAGE]
//   ttyhelp --links FILE [PAGE]
#include "help/help.h"

#include "Dbm/Dbm.h"
#include "MemMgr/MemMgr.h"
#include "NlsUtils/Nls.h"
#include "utils/utils.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <sys/stat.h>

namespace {

constexpr const char* kGuide = "help/setup.html";  // the operator's guide below pToolPath

void Usage(FILE* out) {
  std::fputs(
      "usage: ttyhelp [FILE[#TARGET]]\n"
      "       ttyhelp --dump FILE [PAGE]\n"
      "       ttyhelp --links FILE [PAGE]\n"
      "       ttyhelp --help | --version\n"
      "  browses the help pages of FILE (the installer's guide when FILE is absent)\n"
      "  --dump   writes the rendered text of the page, or of every page in order\n"
      "           when PAGE is absent; FILE \"-\" is standard input\n"
      "  --links  lists the links of the page (of every page when PAGE is absent): kind,\n"
      "           target, start, end, drawn length, tab-separated; kind 1 is an anchor\n"
      "           <a name>, 2 a link <a href>; offsets count in the --dump text\n",
      out);
}

// The file part of FILE[#TARGET], as the loader will read it.
std::string FilePart(const char* arg) {
  std::string name = arg;
  if (name.compare(0, 7, "file://") == 0) name.erase(0, 7);
  const size_t hash = name.find('#');
  if (hash != std::string::npos) name.erase(hash);
  return name;
}

// Checks that the file can be read and holds text; reports on standard error.
bool Readable(const char* arg) {
  const std::string name = FilePart(arg);
  struct stat st {};
  if (stat(name.c_str(), &st) != 0) {
    FileError("ttyhelp", name.c_str(), errno);
    return false;
  }
  if (S_ISDIR(st.st_mode)) {
    FileError("ttyhelp", name.c_str(), EISDIR);
    return false;
  }
  FILE* f = std::fopen(name.c_str(), "r");
  if (f == nullptr) {
    FileError("ttyhelp", name.c_str(), errno);
    return false;
  }
  std::fclose(f);
  if (st.st_size == 0) {
    std::fprintf(stderr, "ttyhelp: %s: no pages\n", name.c_str());
    return false;
  }
  return true;
}

// Loads FILE ("-": standard input) for --dump and --links; null after a report.
HtmlFile* LoadFile(const char* file) {
  HtmlFile* f = nullptr;
  if (std::strcmp(file, "-") == 0) {
    std::string text;
    if (!ReadWholeFile("ttyhelp", file, &text)) return nullptr;
    f = ParseHtmlFile(file, text.c_str());
  } else {
    if (!Readable(file)) return nullptr;
    f = ParseHtmlFile(file, nullptr);
  }
  if (f == nullptr) std::fprintf(stderr, "ttyhelp: %s: no pages\n", FilePart(file).c_str());
  return f;
}

// The pages to write: the one named page, or every page in order when page is null.
// Empty after a report.
std::vector<HtmlPage*> SelectPages(const char* file, const char* page) {
  std::vector<HtmlPage*> pages;
  HtmlFile* f = LoadFile(file);
  if (f == nullptr) return pages;
  if (page != nullptr) {
    HtmlPage* p = FindHtmlPage(f, page);
    if (p != nullptr) pages.push_back(p);
    else std::fprintf(stderr, "ttyhelp: %s: no page named %s\n", FilePart(file).c_str(), page);
    return pages;
  }
  for (auto* p = static_cast<HtmlPage*>(ListWalk(f->pPages, 0)); p != nullptr;
       p = static_cast<HtmlPage*>(ListWalk(f->pPages, 1)))
    pages.push_back(p);
  return pages;
}

int Flushed() {
  if (std::fflush(stdout) == 0 && std::ferror(stdout) == 0) return 0;
  FileError("ttyhelp", "standard output", errno);
  return 1;
}

int Dump(const char* file, const char* page) {
  const std::vector<HtmlPage*> pages = SelectPages(file, page);
  if (pages.empty()) return 1;
  for (const HtmlPage* p : pages) {
    const char* image = p->pImage != nullptr ? p->pImage : "";
    std::fwrite(image, 1, std::strlen(image), stdout);
  }
  return Flushed();
}

int Links(const char* file, const char* page) {
  const std::vector<HtmlPage*> pages = SelectPages(file, page);
  if (pages.empty()) return 1;
  // Offsets count in the text --dump writes, where the pages follow each other.
  long base = 0;
  for (const HtmlPage* p : pages) {
    for (ListLink* l = p->pLinks->pFirst; l != nullptr; l = l->pNext) {
      const HtmlLink* link = *static_cast<HtmlLink**>(l->pItem);
      std::printf("%d\t%s\t%ld\t%ld\t%d\n", link->Kind, link->pTarget != nullptr ? link->pTarget : "",
                  base + link->Start, base + link->End, link->DrawnLen);
    }
    base += p->pImage != nullptr ? static_cast<long>(std::strlen(p->pImage)) : 0;
  }
  return Flushed();
}

int Browse(const char* file) {
  if (!Readable(file)) return 1;
  pDrvCoreDB = NlsOpenDB("CoreString", 0);
  TtyHelpInstallHook();
  TtyHtmlHelp(file, nullptr, "Help");
  return FileIndex > 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  OpenClosedStandardStreams();
  UseOutputEncoding();  // Latin-1 texts reach a UTF-8 terminal as UTF-8
  flUseLog = 0;
  my_name = const_cast<char*>("ttyhelp");
  NlsInitToolPath(argv[0]);

  if (argc >= 2 && std::strcmp(argv[1], "-h") == 0) {
    Usage(stdout);
    return 0;
  }
  if (argc >= 2) {
    const int status = StandardOption(argv[1], "ttyhelp", Usage);
    if (status >= 0) return status;
  }
  if (argc >= 2 && (std::strcmp(argv[1], "--dump") == 0 || std::strcmp(argv[1], "--links") == 0)) {
    if (argc < 3 || argc > 4) {
      Usage(stderr);
      return 2;
    }
    const char* page = argc == 4 ? argv[3] : nullptr;
    return std::strcmp(argv[1], "--dump") == 0 ? Dump(argv[2], page) : Links(argv[2], page);
  }
  if (argc > 2 || (argc == 2 && argv[1][0] == '-')) {
    Usage(stderr);
    return 2;
  }
  if (argc == 2) return Browse(argv[1]);
  if (pToolPath == nullptr) {
    std::fputs("ttyhelp: the guide's folder cannot be found\n", stderr);
    return 1;
  }
  const std::string guide = std::string(pToolPath) + "/" + kGuide;
  return Browse(guide.c_str());
}
