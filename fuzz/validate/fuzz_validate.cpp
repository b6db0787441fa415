// fuzz_validate.cpp - fuzz target of entry validation: the input is
// "<pattern>\0<text>"; the text is judged by the pattern and by the simpler length
// and digit checks (the pattern then serves as their range). Refusals show their
// reason and wait for Enter: standard input is empty.
#include "Dbm/Dbm.h"
#include "NlsUtils/Nls.h"
#include "TextMenu/TextMenu.h"
#include "fuzz/support/FuzzSupport.h"
#include "utils/utils.h"

#include <cstring>
#include <string>
#include <vector>

namespace {

void Judge(const char* pattern, const char* text) {
  flInputEnded = 0;
  const int result = ValidateEntry(text, pattern);
  fuzz::Check(result >= 0 && result <= 4, "ValidateEntry gives 0 to 4");
  if (*pattern == '\0') fuzz::Check(result == 0, "an empty pattern accepts everything");
  const int tty = ValidateEntryTty(text, pattern);
  fuzz::Check(tty == 0 || tty == 2 || tty == 3, "ValidateEntryTty gives 0, 2 or 3");
  ValidateEntryLen(text, pattern);
  const int bad = ValidateEntryDigit(text);
  if (bad != 0) fuzz::Check(std::strchr(text, bad) != nullptr, "the refused digit is in the text");
  int min = 0;
  getMinMax(pattern, &min);
  TestName(text);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::Init();
  pToolPath = const_cast<char*>(KANDU_BINARY_DIR "/share/tvnn");
  pDrvCoreDB = NlsOpenDB("CoreString", 0);
  my_name = const_cast<char*>("fuzz");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::vector<std::string> parts = fuzz::Split(data, size, 2);
  // The engine keeps each catalogue text it fetched: a second judgement of the same
  // input must take no memory at all.
  fuzz::CheckBalanced("validation releases what it takes",
                      [&] { Judge(parts[0].c_str(), parts[1].c_str()); });
  return 0;
}
