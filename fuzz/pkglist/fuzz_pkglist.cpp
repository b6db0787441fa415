// fuzz_pkglist.cpp - fuzz target of the package-list interpreter: the input is a
// pkg.list, carried out on the fake host (nothing is run), with a product directory that
// holds a few files and a ps that shows two suite programs running.
#include "SysCmd/SysCmd.h"
#include "fuzz/support/FuzzSupport.h"
#include "setup/setup.h"

constexpr const char* kName = "fuzzsetup";  // my_name: the sed scratch file is /tmp/fuzzsetup.tmp
constexpr const char* kPsOutput = "  PID TTY      STAT   TIME COMMAND\n  471 ?        S      0:00 TavloD\n"
                                  "  472 pts/0    S      0:00 tvadmin\n";

// The launchers of the bat attribute are checked instead of written: a launcher must
// stand directly in /usr/bin under a plain, visible name.
void GenSimpleScript(const char* path, const char*, const char*, const char*, const char*, const char*) {
  const std::string p = path != nullptr ? path : "", name = p.substr(std::min<size_t>(p.size(), 9));
  fuzz::Check(p.rfind("/usr/bin/", 0) == 0, "a launcher stands in /usr/bin", p);
  fuzz::Check(!name.empty() && name.find('/') == std::string::npos && name[0] != '.',
              "a launcher's name is a plain name", p);
}

void fuzz::Setup() {
  if (std::getenv("KANDU_SANDBOX") == nullptr) {
    std::fprintf(stderr, "fuzz_pkglist writes /tmp/%s.tmp: run it in the sandbox (tools/fuzz)\n", kName);
    std::exit(2);
  }
  my_name = SaveStr_(kName);
  WriteFile(InScratch("app/lib/libtv.so"), "lib\n");
  WriteFile(InScratch("app/tool"), "tool\n");
  WriteFile(InScratch("app/tavlo.conf"), "@HOST@\n");
  pKanduInstallDir = SaveStr_(InScratch("work").c_str());
  pAppDir = SaveStr_(InScratch("app").c_str());
  pTargetInstallDir = SaveStr_(InScratch("").c_str());
}

void fuzz::Run(std::string_view input) {
  static const std::string list = InScratch("work/pkg/pkg.list"), edit = std::string("/tmp/") + kName + ".tmp";
  host = {{}, {{CMD_PS, kPsOutput}}, edit};
  unlink(edit.c_str());
  WriteFile(list, input);
  const int status = Guard([] { ProcessPkgList("pkg"); });
  CloseInputFile();
  // The interpreter ends the program only for a fatal command or a refused line.
  Check(status == -1 || status == 1, "the package list ends the run only with status 1");
}
