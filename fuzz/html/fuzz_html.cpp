// fuzz_html.cpp - fuzz target of the HTML parser and text renderer: the input is a help
// file, loaded from memory (named with a "#target") and every page rendered and packed;
// each page's links must lie within its image, and the file, forgotten after each
// input, gives back all it held.
#include "fuzz/support/FuzzSupport.h"
#include "help/help.h"
#include "help/HelpTesting.h"

void fuzz::Run(std::string_view input) {
  const std::string text(input);
  CheckReleased("the help releases a file it forgets", [&] {
    HtmlFile* file = ParseHtmlFile("fuzz.html#s2", text.c_str());
    if (file == nullptr) return;
    for (ListLink* l = file->pPages->pFirst; l != nullptr; l = l->pNext) {
      auto* page = pCurrentPage = static_cast<HtmlPage*>(l->pItem);
      PrintTextImage(file);
      const int length = page->pImage != nullptr ? static_cast<int>(std::strlen(page->pImage)) : 0;
      for (ListLink* k = page->pImage != nullptr ? page->pLinks->pFirst : nullptr; k != nullptr; k = k->pNext) {
        const HtmlLink* link = *static_cast<HtmlLink**>(k->pItem);
        Check(link->Start >= 0 && link->Start <= link->End && link->End <= length, "a link lies in its page's image");
      }
    }
    FindHtmlPage(file, "contents");
    GoToTarget("#s1");
    HtmlSetHistory(-1);
    HtmlResetFiles();
  }, true);
}
