// pkgcheck_main.cpp - pkgcheck, the package-list checker that tools/mkdist runs: the
// installer's own reader of pkg.list over a product folder, running nothing.
#include "setup/setup.h"

#include "utils/utils.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

// pkgcheck DIR: DIR/pkg.list checked against the files of DIR. Each problem on
// standard output as "pkg.list:LINE: reason", each warning as "warning: ...".
// Status 0 without problems, 1 with some (or an unreadable list), 2 for a usage error.
int main(int argc, char** argv) {
  OpenClosedStandardStreams();
  flUseLog = 0;
  my_name = SaveStr_("pkgcheck");
  if (argc == 2 && (std::strcmp(argv[1], "-h") == 0 || std::strcmp(argv[1], "--help") == 0)) {
    std::puts("usage: pkgcheck DIR\nChecks DIR/pkg.list as setup reads it, against the files of DIR.");
    return 0;
  }
  if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
    std::printf("pkgcheck %s\n", SETUP_VERSION);
    return 0;
  }
  if (argc != 2 || argv[1][0] == '-') {
    std::fputs("usage: pkgcheck DIR\n", stderr);
    return 2;
  }
  std::vector<std::string> problems;
  std::vector<std::string> warnings;
  const int found = CheckPkgList(argv[1], &problems, &warnings);
  for (const std::string& problem : problems) std::printf("%s\n", problem.c_str());
  for (const std::string& warning : warnings) std::printf("warning: %s\n", warning.c_str());
  return found == 0 ? 0 : 1;
}
