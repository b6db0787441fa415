// HelpTty.cpp - the help navigator: the help menu built per page, links as numbered
// entries, Exit Help, Contents and Back, the history, and following links.
#include "help/help.h"

#include "Dbm/Dbm.h"
#include "MemMgr/MemMgr.h"
#include "NlsUtils/Nls.h"
#include "utils/utils.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>
#include <strings.h>

HelpHistoryEntry History[HELP_HISTORY_SIZE];
int HistoryI = 0;
int TargetPos = 0;
char flBuildingFile = 0;
TextMenuItem* HelpMenuItems = nullptr;
int HelpMenuItemCnt = 0;
char TmpKey[HELP_TMP_KEY_SIZE];
DbTHandle* pPrtHelpDB = nullptr;

TextMenu HelpMenu = {
    nullptr,                            // pTitle
    1,                                  // TitleStyle: centred
    nullptr, nullptr, nullptr, nullptr, nullptr,
    nullptr,                            // pItems: HelpMenuItems
    MENU_EMPTY_SELECTS | MENU_REINIT | MENU_END_BY_OLD_TYPE | MENU_SINGLE_SPACED | MENU_SAY_INVALID,
};

namespace {

constexpr int kFixedItems = 6;     // HelpCommonItems, the end entry included
constexpr const char* kMaker = "Kandu";
constexpr int kHelpMsgExit = 150;  // set 20: the labels of Exit Help, Contents, Back
constexpr int kHelpMsgNoScheme = 153;  // set 20: a link of a kind the viewer cannot open
constexpr int kHelpTitleMsg = 22;  // set 30: the help menu's title, with the maker's name

TextMenuItem MakeItem(const char* label, int type, long value, int key, MenuActionFn action) {
  TextMenuItem it{};
  it.pLabel = const_cast<char*>(label);
  it.ItemType = type;
  it.Value = MenuValue(value);
  it.Key = key;
  it.pfnAction = action;
  it.Saved = -1;
  return it;
}

// Enters page p of file f with a history entry first.
void Enter(int f, HtmlPage* p, int pos) {
  SetHistory();
  CurrentFile = f;
  pCurrentPage = p;
  TargetPos = pos;
}

// The first page of loaded file f.
HtmlPage* FirstPage(int f) {
  if (f < 0 || f >= FileIndex || aFile[f].pPages == nullptr) return nullptr;
  return static_cast<HtmlPage*>(ListFindItemN(aFile[f].pPages, 1));
}

// The folder of the current file with a '/', "" when its name has none.
std::string CurrentFolder() {
  if (CurrentFile < 0 || CurrentFile >= FileIndex || aFile[CurrentFile].pName == nullptr) return "";
  const std::string name = aFile[CurrentFile].pName;
  const size_t slash = name.rfind('/');
  return slash == std::string::npos ? "" : name.substr(0, slash + 1);
}

// The name without its folder.
const char* BaseName(const char* name) {
  const char* slash = std::strrchr(name, '/');
  return slash != nullptr ? slash + 1 : name;
}

// True when the link names a scheme ("https:", "mailto:"): letters first, then
// letters, digits, '+', '-' or '.', then ':'.
bool HasScheme(const std::string& target) {
  size_t i = 0;
  while (i < target.size() && (std::isalnum(static_cast<unsigned char>(target[i])) || target[i] == '+' ||
                               target[i] == '-' || target[i] == '.'))
    ++i;
  return i > 0 && i < target.size() && target[i] == ':' && std::isalpha(static_cast<unsigned char>(target[0]));
}

// The help hook of the menu engine.
void MenuHelp(TextMenu* /*menu*/, const char* page) {
  if (page == nullptr || *page == '\0') return;
  TtyHtmlHelp(page, nullptr, "Help");
}

}  // namespace

TextMenuItem HelpCommonItems[kFixedItems] = {
    MakeItem("", ITEM_BAR_ALL, 1, 0, nullptr),
    MakeItem("", ITEM_BAR_ALL, 3, 0, nullptr),
    MakeItem("~e Exit Help", ITEM_EXIT, 0, 'e', nullptr),
    MakeItem("~c Contents", ITEM_ACTION, 0, 'c', TtyHelpContents),
    MakeItem("~b Back", ITEM_ACTION, 0, 'b', TtyHelpBack),
    MakeItem(nullptr, 0, 0, 0, nullptr),
};

void SetHistory() {
  if (HistoryI >= HELP_HISTORY_SIZE) return;
  History[HistoryI].File = CurrentFile;
  History[HistoryI].pPage = pCurrentPage;
  History[HistoryI].TargetPos = TargetPos;
  ++HistoryI;
}

int HtmlSetHistory(int how) {
  if (HistoryI <= 0) return 0;
  if (how == 0) {
    HistoryI = 0;
    if (HtmlPage* first = FirstPage(0)) {
      CurrentFile = 0;
      pCurrentPage = first;
    }
  } else {
    const HelpHistoryEntry& e = History[--HistoryI];
    CurrentFile = e.File;
    pCurrentPage = e.pPage;
  }
  TargetPos = 0;
  return 1;
}

int GoToTarget(const char* target) {
  if (target == nullptr || CurrentFile < 0 || CurrentFile >= FileIndex) return 0;
  if (*target == '#') ++target;
  List* pages = aFile[CurrentFile].pPages;
  const long count = pages != nullptr ? pages->Count : 0;
  // Walked by position: the pages' own walk may be in use by a caller.
  for (long n = 1; n <= count; ++n) {
    auto* page = static_cast<HtmlPage*>(ListFindItemN(pages, n));
    // An unnamed page is the contents page.
    if (std::strcmp(page->pName != nullptr ? page->pName : "contents", target) == 0) {
      Enter(CurrentFile, page, 0);
      return 1;
    }
    for (ListLink* l = page->pLinks->pFirst; l != nullptr; l = l->pNext) {
      const HtmlLink* link = *static_cast<HtmlLink**>(l->pItem);
      if (link->Kind == HTML_LINK_NAME && link->pTarget != nullptr &&
          std::strcmp(link->pTarget, target) == 0) {
        Enter(CurrentFile, page, link->Start);
        return 1;
      }
    }
  }
  return 0;
}

void ProcessLink(HtmlLink* link) {
  if (link == nullptr || link->pTarget == nullptr || *link->pTarget == '\0') return;
  flBuildingFile = 1;
  const std::string target = link->pTarget;
  if (target[0] == '#') {
    GoToTarget(target.c_str());
    flBuildingFile = 0;
    return;
  }
  // A file, with an optional #target after it.
  const size_t hash = target.rfind('#');
  std::string file = hash == std::string::npos ? target : target.substr(0, hash);
  const std::string anchor = hash == std::string::npos ? "" : target.substr(hash + 1);
  if (hash != std::string::npos && CurrentFile < FileIndex && aFile[CurrentFile].pName != nullptr &&
      std::strncmp(file.c_str(), BaseName(aFile[CurrentFile].pName), file.size()) == 0) {
    GoToTarget(anchor.c_str());
    flBuildingFile = 0;
    return;
  }
  // Only files are opened: a link of another scheme (https:, mailto:) is named.
  if (file.compare(0, 7, "file://") == 0) {
    file.erase(0, 7);
  } else if (HasScheme(file)) {
    char text[NLS_REC_SIZE] = {0};
    NlsFetchStringN(pDrvCoreDB, text, sizeof text, NLS_KIND_NUM, NLS_SET_HELP, kHelpMsgNoScheme);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
    PostMsg(text, link->pTarget);
#pragma GCC diagnostic pop
    flBuildingFile = 0;
    return;
  }
  // A relative name is looked for beside the current file.
  if (!file.empty() && file[0] != '/' && file.compare(0, 7, "http://") != 0) file = CurrentFolder() + file;
  const int fromFile = CurrentFile;
  HtmlPage* const fromPage = pCurrentPage;
  const int fromPos = TargetPos;
  HtmlFile* f = FindHtmlFile(file.c_str());
  if (f == nullptr || f->pPages->Count == 0) f = ParseHtmlFile(file.c_str(), nullptr);
  if (f == nullptr) {
    std::printf("Error in reading file %s\n", link->pTarget);
    CurrentFile = fromFile;
    pCurrentPage = fromPage;
    flBuildingFile = 0;
    return;
  }
  // The history records where the operator came from; the target is entered on the
  // new file without a second entry.
  const int toFile = static_cast<int>(f - aFile);
  HtmlPage* const toPage = FirstPage(toFile);
  CurrentFile = fromFile;
  pCurrentPage = fromPage;
  TargetPos = fromPos;
  Enter(toFile, toPage, 0);
  if (!anchor.empty()) {
    const int saved = HistoryI;
    if (GoToTarget(anchor.c_str()) && saved < HELP_HISTORY_SIZE) HistoryI = saved;
  }
  flBuildingFile = 0;
}

void HtmlProcessLink(int offset) {
  if (flBuildingFile || FileIndex == 0 || pCurrentPage == nullptr) return;
  if (pCurrentPage->pLinks == nullptr || pCurrentPage->pLinks->Count == 0) return;
  for (ListLink* l = pCurrentPage->pLinks->pFirst; l != nullptr; l = l->pNext) {
    HtmlLink* link = *static_cast<HtmlLink**>(l->pItem);
    if (link->Kind == HTML_LINK_HREF && link->Start <= offset && link->End > offset) {
      TargetPos = offset;
      ProcessLink(link);
      return;
    }
  }
}

int HtmlHelp(const char* fileName, const char* text) {
  if (fileName == nullptr) return 0;
  HistoryI = 0;
  TargetPos = 0;
  flBuildingFile = 1;
  if (ParseHtmlFile(fileName, text) == nullptr) {
    if (text == nullptr)
      std::fprintf(stderr, "Error in reading HTML file %s\n", fileName);
    else
      std::fputs("Error reading HTML buffer\n", stderr);
    flBuildingFile = 0;
    return 0;
  }
  flBuildingFile = 0;
  return 1;
}

void TtyHelpBuildMenuItems() {
  HtmlPage* page = pCurrentPage;
  if (page == nullptr) return;
  const int links = page->pLinks != nullptr ? static_cast<int>(page->pLinks->Count) : 0;
  const int need = links + 7;
  if (HelpMenuItemCnt < need) {
    auto* items = static_cast<TextMenuItem*>(AdjustMem(HelpMenuItems, sizeof(TextMenuItem) * static_cast<size_t>(need)));
    if (items == nullptr) return;
    HelpMenuItems = items;
    HelpMenuItemCnt = need;
  }
  HelpMenu.pItems = HelpMenuItems;

  // The labels of the previous build's link entries are released; the engine
  // reads labels only while it prints.
  for (int i = 0; i < HelpMenuItemCnt && HelpMenuItems[i].pLabel != nullptr; ++i)
    if (HelpMenuItems[i].pfnAction == TtyHelpGotoLink) PutMem(HelpMenuItems[i].pLabel);

  int n = 0;
  HelpMenuItems[n++] = MakeItem(page->pImage != nullptr ? page->pImage : "", ITEM_LINE, 0, 0, nullptr);
  const char* pageName = page->pName != nullptr ? page->pName : "contents";
  int key = 0;
  for (ListLink* l = page->pLinks->pFirst; l != nullptr; l = l->pNext) {
    HtmlLink* link = *static_cast<HtmlLink**>(l->pItem);
    if (link->pTarget == nullptr) continue;
    if (link->Kind == HTML_LINK_NAME && std::strcmp(link->pTarget, pageName) == 0) continue;
    if (link->DrawnLen == 0) continue;
    // The link's visible text, without the angle brackets a link is drawn with.
    const int inset = link->Kind == HTML_LINK_HREF ? 1 : 0;
    int len = link->End - link->Start - 2 * inset;
    if (len < 0) len = 0;
    if (len > HELP_LINK_TEXT_SIZE - 1) len = HELP_LINK_TEXT_SIZE - 1;
    char label[HELP_LINK_TEXT_SIZE];
    std::snprintf(label, sizeof label, "%.*s", len, page->pImage + link->Start + inset);
    // Labels of earlier builds are not released: the engine may still print them.
    HelpMenuItems[n] = MakeItem(SaveStr_(label), ITEM_ACTION, 0, ++key, TtyHelpGotoLink);
    HelpMenuItems[n].pItemData = link;
    ++n;
  }
  // The fixed entries take their labels, and keys, from the catalogue (a missing
  // message shows its key text).
  for (int i = 0; i < 3; ++i) {
    TextMenuItem& fixed = HelpCommonItems[2 + i];
    char text[NLS_MENU_TEXT_SIZE] = {0};
    NlsFetchStringN(pDrvCoreDB, text, sizeof text, NLS_KIND_NUM, NLS_SET_HELP, kHelpMsgExit + i);
    PutMem(fixed.pLabel);
    fixed.pLabel = SaveStr_(text);
    if (fixed.pLabel[0] != '\0') fixed.Key = static_cast<unsigned char>(fixed.pLabel[1]);
  }
  for (int i = 0; i < kFixedItems; ++i) HelpMenuItems[n + i] = HelpCommonItems[i];

  char title[NLS_REC_SIZE] = {0};
  Nlssprintf(title, pDrvCoreDB, NLS_SET_ENTRY, kHelpTitleMsg, kMaker);
  PutMem(HelpMenu.pTitle);
  HelpMenu.pTitle = SaveStr_(title);
}

int TtyHelpGotoLink(TextMenu* /*menu*/, TextMenuItem* item) {
  if (item == nullptr) return 0;
  ProcessLink(static_cast<HtmlLink*>(item->pItemData));
  TtyHelpBuildMenuItems();
  return 0;
}

int TtyHelpContents(TextMenu* /*menu*/, TextMenuItem* /*item*/) {
  if (HtmlSetHistory(0)) TtyHelpBuildMenuItems();
  return 0;
}

int TtyHelpBack(TextMenu* /*menu*/, TextMenuItem* /*item*/) {
  if (HtmlSetHistory(-1)) TtyHelpBuildMenuItems();
  return 0;
}

void TtyHtmlHelp(const char* fileName, const char* text, const char* title) {
  if (fileName == nullptr || title == nullptr) return;
  if (!HtmlHelp(fileName, text)) return;
  PutMem(HelpMenu.pTitle);
  HelpMenu.pTitle = SaveStr_(title);
  TtyHelpBuildMenuItems();
  if (HelpMenu.pItems == nullptr) return;
  RunMenu(&HelpMenu, nullptr, 1);
}

void TtyHelpInstallHook() { pfnMenuHelp = MenuHelp; }

char* FindRedirect(char* text) {
  if (text == nullptr) return nullptr;
  char* mark = std::strstr(text, "$$");
  if (mark == nullptr) return nullptr;
  char* dot = std::strchr(mark + 2, '.');
  if (dot == nullptr || strncasecmp(dot, ".redirect", 9) != 0) return nullptr;
  *dot = '\0';
  return mark + 2;
}

char* CheckForRedirect(char* buf) {
  char* name = FindRedirect(buf);
  if (name == nullptr) return nullptr;
  std::memset(TmpKey, 0, sizeof TmpKey);
  std::snprintf(TmpKey, sizeof TmpKey, "%s", name);
  std::memset(buf, 0, NLS_REC_SIZE);
  NlsFetchString(pPrtHelpDB, buf, NLS_KIND_KEY, TmpKey);
  return TmpKey;
}
