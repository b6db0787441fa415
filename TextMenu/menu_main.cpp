// menu_main.cpp - the menu program: runs a menu described in a text file for a
// shell script and prints the chosen values as NAME=VALUE lines.
//   menu [-b] [-s SETTINGS] [-o FILE] DESCRIPTION|-
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
      "       menu --help | --version\n"
      "  runs the menu described in DESCRIPTION (\"-\": standard input); when it is left\n"
      "  with applying, prints the chosen values as NAME=VALUE lines on standard output\n"
      "  and exits with status 0 (1 otherwise, 2 on errors); the menu itself is drawn\n"
      "  on the terminal\n"
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

// 1 when the settings file can be read, 0 when it does not exist, -1 (reported)
// when it exists but cannot be read.
int SettingsReadable(const char* path) {
  FILE* f = std::fopen(path, "r");
  if (f == nullptr && errno == ENOENT) return 0;
  if (f != nullptr) {
    std::fgetc(f);
    const bool failed = std::ferror(f) != 0;
    const int err = errno;
    std::fclose(f);
    if (!failed) return 1;
    errno = err;
  }
  FileError("menu", path, errno);
  return -1;
}

// Writes the settings to path through a new file renamed over it. 1 on success.
int SaveSettings(const char* path) {
  const std::string tmp = std::string(path) + ".new";
  FILE* saved = pOut;
  pOut = std::fopen(tmp.c_str(), "w");
  if (pOut == nullptr) {
    FileError("menu", tmp.c_str(), errno);
    pOut = saved;
    return 0;
  }
  StoreMenu(S.pTop);
  const bool written = std::ferror(pOut) == 0;
  const bool closed = std::fclose(pOut) == 0;
  pOut = saved;
  if (!written || !closed || std::rename(tmp.c_str(), path) != 0) {
    FileError("menu", path, errno);
    std::remove(tmp.c_str());
    return 0;
  }
  return 1;
}

// Writes the values to the named file, or to out. 1 on success.
int WriteValues(const char* values, const char* path, FILE* out) {
  if (path == nullptr) {
    // Standard output apart from the screen is converted to the terminal's encoding
    // as the screen's stream is.
    char* shown = out != stdout ? SaveOutputText(values) : nullptr;
    std::fputs(shown != nullptr ? shown : values, out);
    PutMem(shown);
    if (std::fflush(out) == 0 && std::ferror(out) == 0) return 1;
    FileError("menu", "standard output", errno);
    return 0;
  }
  FILE* f = std::fopen(path, "w");
  if (f == nullptr) {
    FileError("menu", path, errno);
    return 0;
  }
  std::fputs(values, f);
  if (std::fclose(f) != 0) {
    FileError("menu", path, errno);
    return 0;
  }
  return 1;
}

// The screen goes to the terminal and only the values to standard output, so that
// values=$(menu f.menu) works: when standard output is no terminal, the screen is
// drawn on /dev/tty, or on standard error when there is no terminal. Returns the
// stream the values are written to (standard output as the caller started it).
FILE* SeparateScreen() {
  if (isatty(STDOUT_FILENO)) return stdout;
  std::fflush(stdout);
  const int values = fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 3);
  if (values < 0) return stdout;
  FILE* out = fdopen(values, "w");
  if (out == nullptr) {
    close(values);
    return stdout;
  }
  int screen = open("/dev/tty", O_WRONLY | O_NOCTTY | O_CLOEXEC);
  if (screen >= 0) {
    dup2(screen, STDOUT_FILENO);
    close(screen);
  } else {
    dup2(STDERR_FILENO, STDOUT_FILENO);
  }
  return out;
}

// The command line's options and description.
struct Options {
  const char* settings = nullptr;  // -s
  const char* output = nullptr;    // -o
  bool batch = false;              // -b
  const char* path = nullptr;      // the description, "-" for standard input
};

// Reads the command line into *o. -1 when the program goes on; else the status it
// exits with (help or version shown, or usage reported).
int ReadOptions(int argc, char** argv, Options* o) {
  if (argc > 1) {
    const int status = StandardOption(argv[1], "menu", Usage);
    if (status >= 0) return status;
  }
  int opt;
  while ((opt = getopt(argc, argv, "bs:o:h")) != -1) {
    switch (opt) {
      case 'b':
        o->batch = true;
        break;
      case 's':
        o->settings = optarg;
        break;
      case 'o':
        o->output = optarg;
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
  o->path = argv[optind];
  return -1;
}

// Makes desc's top menu the program's: its apply and refresh hooks and its accept
// entries record whether the values are applied.
void TakeTopMenu(MenuDescription* desc) {
  if (desc->pName != nullptr) my_name = desc->pName;
  S.pTop = desc->pTop;
  S.pTop->pfnApply = Apply;
  S.pTop->pfnRefresh = Refresh;
  for (TextMenuItem* it = S.pTop->pItems; it->pLabel != nullptr; ++it)
    if (it->ItemType == ITEM_ACCEPT) it->pfnAction = Accept;
}

// After an applied menu: writes the settings file (not in batch) and the values to
// -o's file or to values. The exit status: 0, or 2 when either could not be written.
int HandOver(const Options& o, const MenuDescription* desc, FILE* values) {
  int status = 0;
  if (!o.batch && o.settings != nullptr && !SaveSettings(o.settings)) status = 2;
  // Values that follow the dialogue on the terminal begin on a line of their own.
  if (!o.batch && o.output == nullptr && values == stdout) std::fputc('\n', stdout);
  char* text = FormatMenuValues(desc);
  if (!WriteValues(text, o.output, values)) status = 2;
  PutMem(text);
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  OpenClosedStandardStreams();
  UseOutputEncoding();  // Latin-1 texts reach a UTF-8 terminal as UTF-8
  flUseLog = 0;
  my_name = const_cast<char*>("menu");
  Options o;
  const int status = ReadOptions(argc, argv, &o);
  if (status >= 0) return status;

  NlsInitToolPath(argv[0]);
  pDrvCoreDB = NlsOpenDB("CoreString", 0);
  MenuDescription* desc = LoadMenuDescription(o.path);
  if (desc == nullptr) return 2;
  // A description read from standard input leaves the answers to the terminal.
  if (!o.batch && std::strcmp(o.path, "-") == 0 && std::freopen("/dev/tty", "r", stdin) == nullptr)
    std::freopen("/dev/null", "r", stdin);
  TakeTopMenu(desc);

  // A settings file that does not exist yet is written when the menu is applied;
  // one that exists but cannot be read (a folder, no permission) ends the program.
  const char* load = nullptr;
  if (o.settings != nullptr) {
    const int readable = SettingsReadable(o.settings);
    if (readable < 0) return 2;
    if (readable > 0) load = o.settings;
  }
  FILE* values = o.batch ? stdout : SeparateScreen();
  // On a pipe or a file a screen image would be one long line.
  flPickListLines = isatty(STDOUT_FILENO) ? 0 : 1;
  if (RunMenu(S.pTop, load, o.batch ? 0 : 1) != 0) return 2;
  if (!S.Applied || flInputEnded) return 1;
  return HandOver(o, desc, values);
}
