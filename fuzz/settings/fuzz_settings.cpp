// fuzz_settings.cpp - fuzz target of the menu settings files: the input is a
// settings file, loaded into a fresh menu of every value type with dependency
// rules and submenus chosen by conditions; the loaded menu is then stored, checked
// and printed (the screen is "cleared" by the recording runner).
#include "Dbm/Dbm.h"
#include "NlsUtils/Nls.h"
#include "TextMenu/TextMenu.h"
#include "fuzz/support/FakeRunner.h"
#include "fuzz/support/FuzzSupport.h"
#include "MemMgr/MemMgr.h"
#include "utils/utils.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct {
  int accepted = 0;  // calls of the accept entry's action in this input
} S;

int Accept(TextMenu*, TextMenuItem*) {
  ++S.accepted;
  return 0;
}

// One entry; texts are writable copies the engine may change (states are hidden by
// overwriting their first character).
struct Texts {
  std::vector<std::string> kept;
  char* operator()(const char* s) {
    kept.emplace_back(s);
    return kept.back().data();
  }
};

TextMenuItem Item(char* label, int type, MenuValue def = MenuValue(), char* states = nullptr,
                  char* rules = nullptr) {
  TextMenuItem it{};
  it.pLabel = label;
  it.ItemType = type;
  it.pStates = states;
  it.Default = def;
  it.pRules = rules;
  it.Saved = -1;
  return it;
}

// The menus of one input, rebuilt from scratch each time.
struct Menus {
  Texts t;
  std::vector<TextMenuItem> deep, sub, other, top;
  TextMenu deepMenu{}, subMenu{}, otherMenu{}, topMenu{};
  TextMenu* subs[2] = {};

  Menus() {
    t.kept.reserve(64);
    deep = {Item(t("Depth"), ITEM_INT, 1), Item(t("Name"), ITEM_OPTIONAL, "d"), Item(nullptr, 0)};
    sub = {Item(t("Res"), ITEM_INT, 600), Item(t("Deeper"), ITEM_SUBMENU), Item(t("OK"), ITEM_ACCEPT),
           Item(nullptr, 0)};
    sub[1].Value = &deepMenu;
    sub[2].pfnAction = Accept;
    other = {Item(t("Other"), ITEM_FLOAT, 2.5), Item(t("Tray"), ITEM_ONE_OF, 0, t("_1,_2,_3")),
             Item(nullptr, 0)};
    top = {Item(t("Paper"), ITEM_ONE_OF, 1, t("_Letter,_A4,A5,_Legal"), t("H0;3{4}N1{3}S2{3,9}")),
           Item(t("Title"), ITEM_REQUIRED, "Report", nullptr, t("p(1,20)")),
           Item(t("Note"), ITEM_OPTIONAL),
           Item(t("Copies"), ITEM_INT, 2, nullptr, t("d(1,99)")),
           Item(t("Scale"), ITEM_FLOAT, 1.5),
           Item(t("Finish"), ITEM_MANY_OF, 3, t("none,a,b,c"), t("P1{0}")),
           Item(t("Colour"), ITEM_SUBMENU, 0, nullptr, t("0.1|-6.3A !(0.2&+2.7)")),
           Item(t("Text"), ITEM_LINE),
           Item(t("OK"), ITEM_ACCEPT),
           Item(nullptr, 0)};
    top[6].Value = subs;
    top[8].pfnAction = Accept;
    deepMenu.pItems = deep.data();
    subMenu.pItems = sub.data();
    otherMenu.pItems = other.data();
    subs[0] = &subMenu;
    subs[1] = &otherMenu;
    topMenu.pTitle = t("Options");
    topMenu.pItems = top.data();
    for (TextMenu* m : {&topMenu, &subMenu, &otherMenu, &deepMenu}) InitMenu(m, nullptr);
  }
  ~Menus() {
    for (TextMenu* m : {&topMenu, &subMenu, &otherMenu, &deepMenu}) FreeMenu(m);
  }
};

// What a loaded menu must hold: a choice entry on one of its states, pointing into
// its own state list.
void CheckItems(const TextMenu& menu) {
  for (const TextMenuItem* it = menu.pItems; it->pLabel != nullptr; ++it) {
    fuzz::Check(it->Access >= ACCESS_NORMAL && it->Access <= ACCESS_HIDDEN, "an entry's access is 0, 1 or 2");
    if (it->ItemType != ITEM_ONE_OF) continue;
    if (it->pCurState != nullptr) {
      const size_t n = std::strlen(it->pStates);
      fuzz::Check(it->pCurState >= it->pStates && it->pCurState <= it->pStates + n,
                  "the current state lies in the entry's states", it->pLabel);
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::Init();
  pToolPath = const_cast<char*>(KANDU_BINARY_DIR "/share/tvnn");
  pDrvCoreDB = NlsOpenDB("CoreString", 0);
  my_name = const_cast<char*>("fuzz");
  pOut = std::fopen("/dev/null", "w");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string file = fuzz::InScratch("settings");
  fuzz::WriteFile(file, std::string_view(reinterpret_cast<const char*>(data), size));
  fuzz::ResetRunner();
  flInputEnded = 0;
  S.accepted = 0;
  // The engine keeps each catalogue text it fetched: loading the same file into a
  // fresh menu a second time must take no memory at all.
  fuzz::CheckBalanced("a menu releases its values when freed", [] {
    Menus m;
    fuzz::Check(OpenInputFile(file.c_str(), 1) == 1, "the settings file opens");
    LoadMenu(&m.topMenu);
    CloseInputFile();
    for (const TextMenu* menu : {&m.topMenu, &m.subMenu, &m.otherMenu, &m.deepMenu}) CheckItems(*menu);
    StoreMenu(&m.topMenu);
    for (int i = 0; m.top[static_cast<size_t>(i)].pLabel != nullptr; ++i) ValidateMenu(&m.topMenu, i);
    int longest = 0;
    for (const TextMenuItem* it = m.topMenu.pItems; it->pLabel != nullptr; ++it) {
      longest = std::max(longest, static_cast<int>(std::strlen(it->pLabel)));
    }
    PrintMenu(&m.topMenu, longest, 7);
  });
  return 0;
}
