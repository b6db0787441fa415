// HelpFixture.h - helpers of the help tests: rendering an HTML text and reading back
// a page's image and link records.
#pragma once

#include "help/help.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

// One link record as the tests compare it.
struct LinkRec {
  int kind;
  std::string target;
  int start, end, len;
  bool operator==(const LinkRec&) const = default;
};

inline std::ostream& operator<<(std::ostream& os, const LinkRec& l) {
  return os << "{" << l.kind << ", \"" << l.target << "\", " << l.start << ", " << l.end << ", "
            << l.len << "}";
}

// Every test starts with no help file loaded.
class HtmlTest : public ::testing::Test {
 protected:
  void SetUp() override { HtmlResetFiles(); }
  void TearDown() override { HtmlResetFiles(); }

  // Loads html under a new name and returns the image of the named page (the first
  // page for null); "<no file>" or "<no page>" when that fails.
  static std::string Image(const std::string& html, const char* page = nullptr) {
    static int serial = 0;
    const std::string name = "t" + std::to_string(++serial) + ".html";
    HtmlFile* f = ParseHtmlFile(name.c_str(), html.c_str());
    if (f == nullptr) return "<no file>";
    HtmlPage* p = FindHtmlPage(f, page);
    if (p == nullptr) return "<no page>";
    return p->pImage != nullptr ? p->pImage : "<no image>";
  }

  // A body alone, wrapped into a page.
  static std::string Body(const std::string& body) {
    return Image("<html><body>" + body + "</body></html>");
  }

  // The link records of a page.
  static std::vector<LinkRec> Links(HtmlPage* page) {
    std::vector<LinkRec> out;
    if (page == nullptr) return out;
    for (ListLink* l = page->pLinks->pFirst; l != nullptr; l = l->pNext) {
      const HtmlLink* k = *static_cast<HtmlLink**>(l->pItem);
      out.push_back({k->Kind, k->pTarget ? k->pTarget : "", k->Start, k->End, k->DrawnLen});
    }
    return out;
  }

  // The first measured table of the current page's body, or null.
  static HtmlTable* FirstTable() {
    if (pCurrentPage == nullptr) return nullptr;
    for (ListLink* l = pCurrentPage->pBody->pFirst; l != nullptr; l = l->pNext) {
      const auto* item = static_cast<HtmlItem*>(l->pItem);
      if (item->pTag != nullptr && std::string(item->pTag) == "fitab")
        return static_cast<HtmlTable*>(item->pValue);
    }
    return nullptr;
  }
};
