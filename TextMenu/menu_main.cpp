// menu_main.cpp - the menu program: runs a menu described in a text file for a
// shell script and prints the chosen values as NAME=VALUE lines.
//   menu [-b] [-s SETTINGS] [-o FILE] DESCRIPTION
#include "TextMenu/TextMenu.h"

#include "MemMgr/MemMgr.h"
#include "NlsUtils/Nls.h"
#include "utils/utils.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include <fcntl.h>
#include <unistd.h>

namespace {

struct ProgramState {
  TextMenu* pTop = nullptr;
  bool Applied = false;  // the top menu was left with its settings applied
};
ProgramState S;

void Usage(FILE* out) {
  std::fputs(
      "usage: menu [-b] [-s SETTINGS] [-o FILE] DESCRIPTION\n"
      "  runs the menu described in DESCRIPTION; when it is left with applying, prints\n"
      "  the chosen values as NAME=VALUE lines and exits with status 0 (1 otherwise)\n"
      "  -s SETTINGS  loads the settings file when it exists, and writes it on applying\n"
      "  -o FILE      writes the NAME=VALUE lines to FILE instead of standard output\n"
      "  -b           no dialogue: prints the values of the defaults and the settings file\n",
      out);
}

// The top menu's apply hook: the values will be handed to the script.
void Apply(TextMenu* /*menu*/) { S.Applied = true; }

// Called when the menu starts and after a refused leave: nothing is applied yet.
void Refresh(TextMenu* /*menu*/) { S.Applied = false; }

// The accept entries of the top menu apply; in a submenu they only return.
int Accept(TextMenu* menu, TextMenuItem* /*item*/) {
  if (menu == S.pTop) S.Applied = true;
  return 0;
}

// Writes the settings to path through a new file renamed over it. 1 on success.
int SaveSettings(const char* path) {
  const std::string tmp = std::string(path) + ".new";
  FILE* saved = pOut;
  pOut = std::fopen(tmp.c_str(), "w");
  if (pOut == nullptr) {
    std::fprintf(stderr, "ERROR: can't open file, %s: %s\n", tmp.c_str(), std::strerror(errno));
    pOut = saved;
    return 0;
  }
  StoreMenu(S.pTop);
  const bool written = std::ferror(pOut) == 0;
  const bool closed = std::fclose(pOut) == 0;
  pOut = saved;
  if (!written || !closed || std::rename(tmp.c_str(), path) != 0) {
    std::fprintf(stderr, "ERROR: can't write file, %s: %s\n", path, std::strerror(errno));
    std::remove(tmp.c_str());
    return 0;
  }
  return 1;
}

// Writes the values to the named file, or to standard output. 1 on success.
int WriteValues(const char* values, const char* path) {
  if (path == nullptr) {
    std::fputs(values, stdout);
    return std::fflush(stdout) == 0 ? 1 : 0;
  }
  FILE* f = std::fopen(path, "w");
  if (f == nullptr) {
    std::fprintf(stderr, "ERROR: can't open file, %s: %s\n", path, std::strerror(errno));
    return 0;
  }
  std::fputs(values, f);
  if (std::fclose(f) != 0) {
    std::fprintf(stderr, "ERROR: can't write file, %s: %s\n", path, std::strerror(errno));
    return 0;
  }
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  OpenClosedStandardStreams();
  UseOutputEncoding();  // Latin-1 texts reach a UTF-8 terminal as UTF-8
  flUseLog = 0;
  my_name = const_cast<char*>("menu");
  const char* settings = nullptr;
  const char* output = nullptr;
  bool batch = false;
  int opt;
  while ((opt = getopt(argc, argv, "bs:o:h")) != -1) {
    switch (opt) {
      case 'b':
        batch = true;
        break;
      case 's':
        settings = optarg;
        break;
      case 'o':
        output = optarg;
        break;
      case 'h':
        Usage(stdout);
        return 0;
      default:
        Usage(stderr);
        return 2;
    }
  }
  if (argc - optind != 1) {
    Usage(stderr);
    return 2;
  }

  NlsInitToolPath(argv[0]);
  pDrvCoreDB = NlsOpenDB("CoreString", 0);
  MenuDescription* desc = LoadMenuDescription(argv[optind]);
  if (desc == nullptr) return 2;
  if (desc->pName != nullptr) my_name = desc->pName;
  S.pTop = desc->pTop;
  S.pTop->pfnApply = Apply;
  S.pTop->pfnRefresh = Refresh;
  for (TextMenuItem* it = S.pTop->pItems; it->pLabel != nullptr; ++it)
    if (it->ItemType == ITEM_ACCEPT) it->pfnAction = Accept;

  // A settings file that does not exist yet is written when the menu is applied.
  const char* load = nullptr;
  if (settings != nullptr && access(settings, F_OK) == 0) {
    if (access(settings, R_OK) != 0) {
      std::fprintf(stderr, "ERROR: can't open file, %s: %s\n", settings, std::strerror(errno));
      return 2;
    }
    load = settings;
  }
  if (RunMenu(S.pTop, load, batch ? 0 : 1) != 0) return 2;
  if (!S.Applied || flInputEnded) return 1;

  int status = 0;
  if (!batch && settings != nullptr && !SaveSettings(settings)) status = 2;
  // Values that follow the dialogue on standard output begin on a line of their own.
  if (!batch && output == nullptr) std::fputc('\n', stdout);
  char* values = FormatMenuValues(desc);
  if (!WriteValues(values, output)) status = 2;
  PutMem(values);
  return status;
}
