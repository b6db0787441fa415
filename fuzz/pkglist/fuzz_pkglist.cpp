// fuzz_pkglist.cpp - fuzz target of the package-list interpreter: the input is a
// pkg.list, carried out with the recording runner (nothing is run), with a product
// directory that holds a few files and a ps that shows two suite programs running.
#include "fuzz/support/FakeRunner.h"
#include "fuzz/support/FuzzSupport.h"
#include "MemMgr/MemMgr.h"
#include "setup/setup.h"
#include "utils/utils.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <unistd.h>

namespace {

constexpr int kPs = 55;
constexpr const char* kName = "fuzzsetup";  // my_name: the sed scratch file is /tmp/fuzzsetup.tmp

// The commands recorded by a run as text lines, for reports.
std::string Commands() {
  std::string text;
  for (const fuzz::RecordedCommand& c : fuzz::Recorded()) text += c.line + "\n";
  return text;
}

}  // namespace

// The launchers of the bat attribute are recorded and checked instead of written:
// a launcher must stand directly in /usr/bin under a plain, visible name.
void GenSimpleScript(const char* path, const char* shell, const char* templ, const char* s1, const char* s2,
                     const char* s3) {
  (void)shell;
  (void)templ;
  (void)s1;
  (void)s2;
  (void)s3;
  const std::string p = path != nullptr ? path : "";
  const std::string prefix = "/usr/bin/";
  fuzz::Check(p.compare(0, prefix.size(), prefix) == 0, "a launcher stands in /usr/bin", p);
  const std::string name = p.substr(prefix.size());
  fuzz::Check(!name.empty() && name.find('/') == std::string::npos && name[0] != '.',
              "a launcher's name is a plain name", p);
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  if (std::getenv("KANDU_SANDBOX") == nullptr) {
    std::fprintf(stderr, "fuzz_pkglist writes /tmp/%s.tmp: run it in the sandbox (tools/fuzz)\n", kName);
    std::exit(2);
  }
  fuzz::Init();
  flUseLog = 0;
  my_name = SaveStr_(kName);
  const std::string work = fuzz::InScratch("work");
  const std::string app = fuzz::InScratch("app");
  fuzz::MakeDirs(work + "/pkg");
  fuzz::MakeDirs(app + "/lib");
  fuzz::WriteFile(app + "/tool", "tool\n");
  fuzz::WriteFile(app + "/tavlo.conf", "@HOST@\n");
  pKanduInstallDir = SaveStr_(work.c_str());
  pAppDir = SaveStr_(app.c_str());
  pTargetInstallDir = SaveStr_(fuzz::Scratch().c_str());
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string list = fuzz::InScratch("work/pkg/pkg.list");
  static const std::string editFile = std::string("/tmp/") + kName + ".tmp";
  fuzz::ResetRunner();
  fuzz::ScriptOutput(kPs,
                     "  PID TTY      STAT   TIME COMMAND\n"
                     "  471 ?        S      0:00 TavloD\n"
                     "  472 pts/0    S      0:00 tvadmin\n");
  fuzz::AllowRemoval(editFile);
  unlink(editFile.c_str());
  fuzz::WriteFile(list, std::string_view(reinterpret_cast<const char*>(data), size));
  const int status = fuzz::Guard([] { ProcessPkgList("pkg"); });
  CloseInputFile();
  // The interpreter ends the program only for a fatal command, a refused line or a
  // list it cannot open: with status 1, or 0 for the missing list.
  fuzz::Check(status == -1 || status == 1, "the package list ends the run only with status 1", Commands());
  return 0;
}
