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

#include <sys/stat.h>

namespace {

constexpr const char* kGuide = "help/setup.html";  // the operator's guide below pToolPath

void Usage(FILE* out) {
  std::fputs(
      "usage: ttyhelp [FILE[#TARGET]]\n"
      "       ttyhelp --dump FILE [PAGE]\n"
      "       ttyhelp --links FILE [PAGE]\n"
      "  browses the help pages of FILE (the installer's guide when FILE is absent)\n"
      "  --dump   writes the rendered text of the page (the first page by default)\n"
      "  --links  lists the page's links: kind, target, start, end, drawn length\n"
      "           (tab-separated; kind 1 is an anchor <a name>, 2 a link <a href>)\n",
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
    std::fprintf(stderr, "ttyhelp: cannot read %s: %s\n", name.c_str(), std::strerror(errno));
    return false;
  }
  if (S_ISDIR(st.st_mode)) {
    std::fprintf(stderr, "ttyhelp: cannot read %s: %s\n", name.c_str(), std::strerror(EISDIR));
    return false;
  }
  FILE* f = std::fopen(name.c_str(), "r");
  if (f == nullptr) {
    std::fprintf(stderr, "ttyhelp: cannot read %s: %s\n", name.c_str(), std::strerror(errno));
    return false;
  }
  std::fclose(f);
  if (st.st_size == 0) {
    std::fprintf(stderr, "ttyhelp: %s: no pages\n", name.c_str());
    return false;
  }
  return true;
}

// Loads FILE for --dump and --links; the page named page (the first when null).
HtmlPage* LoadPage(const char* file, const char* page) {
  if (!Readable(file)) return nullptr;
  HtmlFile* f = ParseHtmlFile(file, nullptr);
  if (f == nullptr) {
    std::fprintf(stderr, "ttyhelp: %s: no pages\n", FilePart(file).c_str());
    return nullptr;
  }
  HtmlPage* p = FindHtmlPage(f, page);
  if (p == nullptr) {
    std::fprintf(stderr, "ttyhelp: %s: no page named %s\n", FilePart(file).c_str(), page);
    return nullptr;
  }
  return p;
}

int Dump(const char* file, const char* page) {
  HtmlPage* p = LoadPage(file, page);
  if (p == nullptr) return 1;
  const char* image = p->pImage != nullptr ? p->pImage : "";
  std::fwrite(image, 1, std::strlen(image), stdout);
  return std::fflush(stdout) == 0 ? 0 : 1;
}

int Links(const char* file, const char* page) {
  HtmlPage* p = LoadPage(file, page);
  if (p == nullptr) return 1;
  for (ListLink* l = p->pLinks->pFirst; l != nullptr; l = l->pNext) {
    const HtmlLink* link = *static_cast<HtmlLink**>(l->pItem);
    std::printf("%d\t%s\t%d\t%d\t%d\n", link->Kind, link->pTarget != nullptr ? link->pTarget : "",
                link->Start, link->End, link->DrawnLen);
  }
  return std::fflush(stdout) == 0 ? 0 : 1;
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

  if (argc >= 2 && (std::strcmp(argv[1], "-h") == 0 || std::strcmp(argv[1], "--help") == 0)) {
    Usage(stdout);
    return 0;
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
