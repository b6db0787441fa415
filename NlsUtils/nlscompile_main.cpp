// nlscompile_main.cpp - the catalogue compiler's command line:
//   nlscompile [--long] SOURCE TOOLDIR LANGUAGE NAME
// writes TOOLDIR/db/LANGUAGE/NAME.xdb from the catalogue source SOURCE.
#include "NlsUtils/Nls.h"

#include "utils/utils.h"

#include <cstdio>
#include <cstring>

namespace {

void Usage(FILE* out) {
  std::fprintf(out,
               "usage: nlscompile [--long] SOURCE TOOLDIR LANGUAGE NAME\n"
               "       nlscompile --help | --version\n"
               "  writes TOOLDIR/db/LANGUAGE/NAME.xdb from the catalogue source SOURCE\n"
               "  (\"-\": standard input);\n"
               "  --long accepts texts of up to %d bytes instead of %d\n",
               NLS_LONG_TEXT_MAX, NLS_REC_SIZE - 1);
}

}  // namespace

int main(int argc, char** argv) {
  OpenClosedStandardStreams();
  // The compiler keeps no log: it runs during builds, outside any sandbox.
  flUseLog = 0;
  my_name = const_cast<char*>("nlscompile");
  bool allowLong = false;
  int first = 1;
  if (argc > 1 && std::strcmp(argv[1], "--long") == 0) {
    allowLong = true;
    first = 2;
  }
  if (argc > 1 && std::strcmp(argv[1], "-h") == 0) {
    Usage(stdout);
    return 0;
  }
  if (argc > 1) {
    const int status = StandardOption(argv[1], "nlscompile", Usage);
    if (status >= 0) return status;
  }
  if (argc - first != 4) {
    Usage(stderr);
    return 2;
  }
  const int status = NlsCompileCatalog(argv[first], argv[first + 1], argv[first + 2], argv[first + 3],
                                       allowLong);
  if (status == 2) Usage(stderr);
  return status;
}
