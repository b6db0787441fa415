// fuzz_html.cpp - fuzz target of the HTML parser and text renderer: the input is a
// help file, loaded from memory (named with a "#target"), every page rendered and
// packed; each page's links must lie within its image. The loaded file is
// forgotten after each input.
#include "List/List.h"
#include "fuzz/support/FuzzSupport.h"
#include "help/help.h"
#include "utils/utils.h"

#include <cstring>
#include <string>

namespace {

void CheckPage(HtmlFile* file, HtmlPage* page) {
  pCurrentPage = page;
  fuzz::Check(PrintTextImage(file) == 1 || page->pImage == nullptr, "a page renders");
  if (page->pImage == nullptr) return;
  const int length = static_cast<int>(std::strlen(page->pImage));
  for (ListLink* l = page->pLinks != nullptr ? page->pLinks->pFirst : nullptr; l != nullptr; l = l->pNext) {
    const HtmlLink* link = *static_cast<HtmlLink**>(l->pItem);
    fuzz::Check(link->Start >= 0 && link->Start <= link->End && link->End <= length,
                "a link lies within its page's image");
  }
}

void Load(const std::string& text) {
  HtmlFile* file = ParseHtmlFile("fuzz.html#s2", text.c_str());
  if (file == nullptr) return;
  fuzz::Check(FindHtmlFile("fuzz.html") == file, "a loaded file is found by its name");
  for (ListLink* l = file->pPages->pFirst; l != nullptr; l = l->pNext) {
    CheckPage(file, static_cast<HtmlPage*>(l->pItem));
  }
  FindHtmlPage(file, "contents");
  FindHtmlPage(file, "intro");
  GoToTarget("#s1");
  HtmlSetHistory(-1);
  HtmlResetFiles();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::Init();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  fuzz::CheckBalanced("the help releases a file it forgets", [&] { Load(text); });
  return 0;
}
