// fuzz_validate.cpp - fuzz target of entry validation: the input is "<pattern>\0<text>";
// the text is judged by the pattern and by the simpler length and digit checks (the
// pattern then serves as their range). Refusals show their reason and wait for Enter:
// standard input is empty.
#include "Dbm/Dbm.h"
#include "NlsUtils/Nls.h"
#include "TextMenu/TextMenu.h"
#include "fuzz/support/FuzzSupport.h"

void fuzz::Setup() {
  pToolPath = const_cast<char*>(KANDU_BINARY_DIR "/share/tvnn");
  pDrvCoreDB = NlsOpenDB("CoreString", 0);
}

void fuzz::Run(std::string_view input) {
  const std::vector<std::string> parts = Split(input, 2);
  const char *pattern = parts[0].c_str(), *text = parts[1].c_str();
  // The engine keeps each catalogue text it fetched: a second judgement of the same
  // input must take no memory at all.
  CheckReleased("validation releases what it takes", [&] {
    flInputEnded = 0;
    ValidateEntry(text, pattern);
    ValidateEntryTty(text, pattern);
    ValidateEntryLen(text, pattern);
    ValidateEntryDigit(text);
    int min = 0;
    getMinMax(pattern, &min);
    TestName(text);
  }, true);
}
