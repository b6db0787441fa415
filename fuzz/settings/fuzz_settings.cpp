// fuzz_settings.cpp - fuzz target of the menu settings files: the input is a settings
// file, loaded into a fresh menu of every value type with dependency rules and submenus
// chosen by conditions; the loaded menu is then stored, checked and printed (the fake
// host "clears" the screen).
#include "Dbm/Dbm.h"
#include "NlsUtils/Nls.h"
#include "TextMenu/TextMenu.h"
#include "fuzz/support/FuzzSupport.h"

namespace {

// The menus of one input, built afresh each time. Texts are writable copies that the
// engine may change (states are hidden by overwriting their first character).
struct Menus {
  std::vector<std::string> texts;
  std::vector<TextMenuItem> sub, other, top;
  TextMenu subMenu{}, otherMenu{}, topMenu{};
  TextMenu* subs[2] = {&subMenu, &otherMenu};
  TextMenu* all[3] = {&topMenu, &subMenu, &otherMenu};

  char* Text(const char* s) { return s != nullptr ? texts.emplace_back(s).data() : nullptr; }
  TextMenuItem Item(const char* label, int type, MenuValue def = {}, const char* states = nullptr,
                    const char* rules = nullptr) {
    TextMenuItem it{};
    it.pLabel = Text(label), it.ItemType = type, it.Default = def, it.pStates = Text(states);
    it.pRules = Text(rules), it.Saved = -1;
    return it;
  }
  Menus() {
    texts.reserve(64);  // the texts never move
    sub = {Item("Res", ITEM_INT, 600), Item("Name", ITEM_OPTIONAL, "d"), Item("OK", ITEM_ACCEPT), Item(nullptr, 0)};
    other = {Item("Other", ITEM_FLOAT, 2.5), Item("Tray", ITEM_ONE_OF, 0, "_1,_2,_3"), Item(nullptr, 0)};
    top = {Item("Paper", ITEM_ONE_OF, 1, "_Letter,_A4,A5,_Legal", "H0;3{4}N1{3}S2{3,9}"),
           Item("Title", ITEM_REQUIRED, "Report", nullptr, "p(1,20)"), Item("Note", ITEM_OPTIONAL),
           Item("Copies", ITEM_INT, 2, nullptr, "d(1,99)"), Item("Scale", ITEM_FLOAT, 1.5),
           Item("Finish", ITEM_MANY_OF, 3, "none,a,b,c", "P1{0}"),
           Item("Colour", ITEM_SUBMENU, 0, nullptr, "0.1|-6.3A !(0.2&+2.7)"), Item("Text", ITEM_LINE),
           Item("OK", ITEM_ACCEPT), Item(nullptr, 0)};
    top[6].Value = subs;
    sub[2].pfnAction = top[8].pfnAction = [](TextMenu*, TextMenuItem*) { return 0; };
    subMenu.pItems = sub.data(), otherMenu.pItems = other.data();
    topMenu.pTitle = Text("Options"), topMenu.pItems = top.data();
    for (TextMenu* m : all) InitMenu(m, nullptr);
  }
  ~Menus() { for (TextMenu* m : all) FreeMenu(m); }
};

}  // namespace

void fuzz::Setup() {
  pToolPath = const_cast<char*>(KANDU_BINARY_DIR "/share/tvnn");
  pDrvCoreDB = NlsOpenDB("CoreString", 0);
  pOut = std::fopen("/dev/null", "w");
}

void fuzz::Run(std::string_view input) {
  static const std::string file = InScratch("settings");
  WriteFile(file, input);
  host = {};
  flInputEnded = 0;
  // The engine keeps each catalogue text it fetched: loading the same file into a fresh
  // menu a second time must take no memory at all.
  CheckReleased("a menu releases its values when freed", [] {
    Menus m;
    Check(OpenInputFile(file.c_str(), 1) == 1, "the settings file opens");
    LoadMenu(&m.topMenu);
    CloseInputFile();
    // A loaded choice entry is on one of its states, pointing into its own state list.
    for (const TextMenu* menu : m.all) {
      for (const TextMenuItem* it = menu->pItems; it->pLabel != nullptr; ++it) {
        const char* states = it->ItemType == ITEM_ONE_OF && it->pCurState != nullptr ? it->pStates : nullptr;
        Check(states == nullptr || (it->pCurState >= states && it->pCurState <= states + std::strlen(states)),
              "the current state lies in the entry's states", it->pLabel);
      }
    }
    StoreMenu(&m.topMenu);
    for (int i = 0; m.top[static_cast<size_t>(i)].pLabel != nullptr; ++i) ValidateMenu(&m.topMenu, i);
    PrintMenu(&m.topMenu, 6, 7);  // the longest label has 6 characters
  }, true);
}
