// MenuLoop.cpp - the menu loop: running a menu, finding the selected entry,
// processing it, and the yes/no question.
#include "TextMenu/TextMenuPrivate.h"

#include "MemMgr/MemMgr.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

using namespace menu_internal;

char flExitTextMenu = 0;
char flLoadedSettings = 0;
char* pOption = nullptr;
MenuHelpFn pfnMenuHelp = nullptr;
const char* pMenuHelpPage = nullptr;

namespace {

constexpr int kMaxMenuDepth = 16;  // submenus initialised below a top-level menu
constexpr const char* kSettingsNamePattern = "/A(1,255)+-+_+/";

struct LoopState {
  int Depth = 0;        // menus running on the call stack
  long Changes = 0;     // successful selections in this process (submenus included)
};
LoopState S;

// Keeps the count of running menus while a menu runs.
struct DepthGuard {
  DepthGuard() { ++S.Depth; }
  ~DepthGuard() { --S.Depth; }
  DepthGuard(const DepthGuard&) = delete;
  DepthGuard& operator=(const DepthGuard&) = delete;
};

// Number of blank-separated conditions of a submenu entry.
int ConditionCount(const char* rules) {
  int n = 0;
  for (const char* p = rules; *p != '\0';) {
    while (*p == ' ' || *p == '\t') ++p;
    if (*p == '\0') break;
    ++n;
    while (*p != '\0' && *p != ' ' && *p != '\t') ++p;
  }
  return n;
}

// A top-level menu starts from its defaults, and so do its submenus, so that a
// settings file can be loaded into them before they are first opened.
int InitTree(TextMenu* menu, int level) {
  const int longest = InitItems(menu, true);
  if (level >= kMaxMenuDepth) return longest;
  const int count = ItemCount(menu);
  for (int i = 0; i < count; ++i) {
    TextMenuItem& it = menu->pItems[i];
    if (it.ItemType != ITEM_SUBMENU) continue;
    if (it.pRules == nullptr) {
      if (it.Value.pMenu != nullptr && it.Value.pMenu != menu) InitTree(it.Value.pMenu, level + 1);
      continue;
    }
    if (it.Value.ppMenus == nullptr) continue;
    const int n = ConditionCount(it.pRules);
    for (int k = 0; k < n; ++k)
      if (it.Value.ppMenus[k] != nullptr && it.Value.ppMenus[k] != menu)
        InitTree(it.Value.ppMenus[k], level + 1);
  }
  return longest;
}

int TitleWidth(const char* title) {
  if (title == nullptr) return 0;
  return static_cast<int>(std::strcspn(title, "\r\n"));
}

// Ends a run of the menu: its value texts are released unless it keeps them.
int EndMenu(TextMenu* menu) {
  if ((menu->MenuFlags & MENU_KEEP_ITEMS) == 0) FreeMenu(menu);
  return 0;
}

// Writes the settings of the menu to the named file.
void StoreTo(TextMenu* menu, const char* name) {
  FILE* saved = pOut;
  pOut = OpenFile(nullptr, name, "w", 1);
  if (pOut != nullptr) {
    StoreMenu(menu);
    if (std::fclose(pOut) != 0) ErrorMsg(ERR_WARNING, 0, "can't write file, %s", name);
  }
  pOut = saved;
}

// "s" under MENU_SAVE_ASK: asks for a file name and stores the settings there.
void SaveAsked(TextMenu* menu) {
  char name[MENU_LINE_SIZE];
  PromptUser("Enter the settings file name: ", name);
  if (flInputEnded || ValidateEntry(name, kSettingsNamePattern) != 0) return;
  StoreTo(menu, name);
}

bool IsNumber(const char* text, long* value) {
  if (text == nullptr || !std::isdigit(static_cast<unsigned char>(*text))) return false;
  char* end = nullptr;
  *value = std::strtol(text, &end, 10);
  while (*end == ' ' || *end == '\t') ++end;
  return *end == '\0';
}

}  // namespace

bool menu_internal::ReadIntValue(const char* text, long* value) {
  char* end = nullptr;
  errno = 0;
  const long v = std::strtol(text, &end, 10);
  const bool number = end != text;
  while (*end == ' ' || *end == '\t') ++end;
  if (number && *end == '\0' && errno == 0 && v >= kIntValueMin && v <= kIntValueMax) {
    *value = v;
    return true;
  }
  // The range message takes int arguments; the bounds fit them.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
  PostMsg(Msg(25, 1003), static_cast<int>(kIntValueMin), static_cast<int>(kIntValueMax));
#pragma GCC diagnostic pop
  return false;
}

namespace {

// Type 9: the option's state, or the next visible state after the current one.
bool ChooseState(TextMenu* menu, int index, const char* option) {
  TextMenuItem* it = &menu->pItems[index];
  if (it->StateCnt <= 0) return false;
  const long old = it->Value.Int;
  long next = -1;
  long k = 0;
  if (IsNumber(option, &k) && k >= 1 && k <= it->StateCnt && !StateHidden(it, static_cast<int>(k - 1))) {
    next = k - 1;
  } else {
    long s = old;
    for (int step = 0; step < it->StateCnt; ++step) {
      s = (s + 1) % it->StateCnt;
      if (!StateHidden(it, static_cast<int>(s))) {
        next = s;
        break;
      }
    }
  }
  if (next < 0 || next == old) return false;
  it->Previous = static_cast<int>(old);
  it->Value.Int = next;
  int len = 0;
  it->pCurState = const_cast<char*>(StateAt(it, static_cast<int>(next), &len));
  ProcessStateFormat(menu, index);
  return true;
}

// Types 11 to 14: the option or a typed answer, checked against the pattern.
bool EnterValue(TextMenuItem* it, const char* option) {
  char text[MENU_LINE_SIZE];
  if (option != nullptr && *option != '\0') {
    std::snprintf(text, sizeof text, "%s", option);
  } else {
    std::printf("%s: ", it->pPrompt != nullptr ? it->pPrompt : ShownLabel(it->pLabel));
    if (!ReadLine(text, sizeof text)) return false;
  }
  if (text[0] == '\0') return false;
  if (ValidateEntry(text, it->pRules) != 0) return false;
  switch (it->ItemType) {
    case ITEM_REQUIRED:
    case ITEM_OPTIONAL:
      if (it->Value.pText == nullptr) it->Value.pText = static_cast<char*>(GetMem(MENU_VALUE_SIZE));
      if (it->Value.pText == nullptr) return false;
      CopyValue(it->Value.pText, text);
      return true;
    case ITEM_INT: {
      long v = 0;
      if (!ReadIntValue(text, &v)) return false;
      it->Value.Int = v;
      return true;
    }
    case ITEM_FLOAT:
      it->Value.Float = static_cast<float>(std::atof(text));
      return true;
    default:
      return false;
  }
}

// An empty line: the save question, the apply, and the leave question. True when
// the menu ends.
bool Leave(TextMenu* menu, bool changed) {
  if (menu->pSavePrompt != nullptr && changed) {
    if (PromptYN("%s", menu->pSavePrompt)) {
      if (!TestNames(menu)) return flInputEnded != 0;
      if (menu->pfnApply != nullptr) menu->pfnApply(menu);
      return true;
    }
    if (flInputEnded) return true;
  } else if (menu->pSavePrompt == nullptr && menu->pfnApply != nullptr) {
    menu->pfnApply(menu);
  }
  int yes;
  // The leave questions are catalogue texts used as formats.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
  if (menu->pParent != nullptr)
    yes = PromptYN(Msg(NLS_SET_MENU, MSG_RETURN_TO), menu->pParent->pTitle != nullptr ? menu->pParent->pTitle : "");
  else
    yes = PromptYN(Msg(NLS_SET_MENU, MSG_LEAVE), my_name != nullptr ? my_name : "");
#pragma GCC diagnostic pop
  if (yes) {
    if (menu->pParent == nullptr) std::fputc('\n', stdout);
    return true;
  }
  if (flInputEnded) return true;
  if (menu->pfnRefresh != nullptr) menu->pfnRefresh(menu);
  return false;
}

// True for the first character of a line that FindSelection acts on without
// selecting an entry (help, save) and for the empty line.
bool CommandKey(const TextMenu* menu, char first) {
  const int c = std::tolower(static_cast<unsigned char>(first));
  if (c == 0) return true;
  if (c == 'h' && (menu->MenuFlags & MENU_HELP)) return true;
  return c == 's' && (menu->MenuFlags & (MENU_SAVE_ASK | MENU_SAVE_EXIT));
}

void NoSuchChoice(const char* line) {
  // The notice is a catalogue text used as a format, filled with the line.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
  PostMsg(Msg(25, 1012), line);
#pragma GCC diagnostic pop
}

}  // namespace

int RunMenu(TextMenu* menu, const char* settingsFile, int interactive) {
  if (menu == nullptr || menu->pItems == nullptr) return 0;
  if (menu->pfnRefresh != nullptr) menu->pfnRefresh(menu);
  if (flExitTextMenu) return 0;
  int longest = S.Depth == 0 ? InitTree(menu, 0) : InitItems(menu, false);
  if (settingsFile != nullptr) {
    if (!OpenInputFile(settingsFile, 1)) {
      TextMenuItem* t = FindTextMenuItem(menu, ITEM_DONE);
      if (t == nullptr || t->pfnAction == nullptr) return 1;
      return t->pfnAction(menu, t);
    }
    LoadMenu(menu);
    CloseInputFile();
  }
  if (!interactive) {
    if (menu->pfnApply != nullptr) menu->pfnApply(menu);
    return 0;
  }

  DepthGuard depth;
  const long changesAtStart = S.Changes;
  const int titleWidth = TitleWidth(menu->pTitle);
  for (;;) {
    const int count = PrintMenu(menu, longest, titleWidth);
    if (!ReadLine(LineBuf, MENU_LINE_SIZE)) return EndMenu(menu);
    if (LineBuf[0] == '\0' && (menu->MenuFlags & MENU_EMPTY_SELECTS) == 0) {
      if (Leave(menu, S.Changes != changesAtStart)) return EndMenu(menu);
      continue;
    }
    const int found = FindSelection(menu, LineBuf, count);
    if (flInputEnded) return EndMenu(menu);
    if (found == 0) {
      if ((menu->MenuFlags & MENU_SAY_INVALID) && !CommandKey(menu, LineBuf[0])) NoSuchChoice(LineBuf);
      continue;
    }
    const int index = found - 1;
    const int typeBefore = menu->pItems[index].ItemType;
    const int ok = ProcessSelection(menu, index, pOption);
    if (ok) ++S.Changes;
    if (flInputEnded || flExitTextMenu) return EndMenu(menu);
    int type = typeBefore;
    if ((menu->MenuFlags & MENU_END_BY_OLD_TYPE) == 0)
      type = index < ItemCount(menu) ? menu->pItems[index].ItemType : -1;
    if (ok && (type == ITEM_ACCEPT || type == ITEM_DONE || type == ITEM_EXIT)) return EndMenu(menu);
    if (ok && type == ITEM_ACTION && (menu->MenuFlags & MENU_REINIT)) longest = InitItems(menu, false);
  }
}

int FindSelection(TextMenu* menu, char* line, int count) {
  pOption = nullptr;
  if (menu == nullptr || line == nullptr) return 0;
  count = std::min(count, ItemCount(menu));
  char* p = line + std::strcspn(line, " \t");
  p += std::strspn(p, " \t");
  if (*p != '\0') pOption = p;

  if (std::isdigit(static_cast<unsigned char>(line[0]))) {
    const int n = std::atoi(line);
    for (int i = 0; i < count; ++i) {
      const TextMenuItem& it = menu->pItems[i];
      if (n <= 0 || it.Key != n || it.ItemType < ITEM_ACCEPT || HasHotKey(it.pLabel)) continue;
      if (it.Access != ACCESS_NORMAL) continue;
      if (it.ItemType == ITEM_SUBMENU && ValidateMenu(menu, i) == nullptr) continue;
      return i + 1;
    }
    return 0;
  }
  const int c = std::tolower(static_cast<unsigned char>(line[0]));
  if (c == 'h' && (menu->MenuFlags & MENU_HELP)) {
    if (pfnMenuHelp != nullptr) pfnMenuHelp(menu, pMenuHelpPage);
    return 0;
  }
  if (c == 's' && (menu->MenuFlags & MENU_SAVE_ASK)) {
    SaveAsked(menu);
    return 0;
  }
  if (c == 's' && (menu->MenuFlags & MENU_SAVE_EXIT)) {
    StoreTo(menu, ".settings");
    std::fflush(stdout);
    exit_app(0);
  }
  if (c == 0) return 0;
  for (int i = 0; i < count; ++i) {
    const TextMenuItem& it = menu->pItems[i];
    if (it.ItemType < ITEM_ACCEPT || !HasHotKey(it.pLabel) || it.Access != ACCESS_NORMAL) continue;
    if (it.Key != c) continue;
    if (it.ItemType == ITEM_SUBMENU && ValidateMenu(menu, i) == nullptr) continue;
    return i + 1;
  }
  return 0;
}

int ProcessSelection(TextMenu* menu, int index, char* option) {
  if (menu == nullptr || index < 0 || index >= ItemCount(menu)) return 0;
  TextMenuItem* it = &menu->pItems[index];
  bool changed = false;
  switch (it->ItemType) {
    case ITEM_ACCEPT:
      if (!TestNames(menu)) return 0;
      [[fallthrough]];
    case ITEM_DONE:
    case ITEM_EXIT:
    case ITEM_ACTION:
      return (it->pfnAction == nullptr || it->pfnAction(menu, it) == 0) ? 1 : 0;
    case ITEM_SUBMENU: {
      TextMenu* sub = ValidateMenu(menu, index);
      if (sub != nullptr) RunMenu(sub, nullptr, 1);
      if (menu->pfnRefresh != nullptr) menu->pfnRefresh(menu);
      return 0;
    }
    case ITEM_ONE_OF:
      changed = ChooseState(menu, index, option);
      break;
    case ITEM_MANY_OF: {
      // The full-screen list applies the rules and calls the action itself.
      const long old = it->Value.Int;
      ProcessStateValue(menu, index, option);
      return it->Value.Int != old ? 1 : 0;
    }
    case ITEM_REQUIRED:
    case ITEM_OPTIONAL:
    case ITEM_INT:
    case ITEM_FLOAT:
      changed = EnterValue(it, option);
      break;
    default:
      return 0;
  }
  if (!changed) return 0;
  if (it->pfnAction != nullptr) it->pfnAction(menu, it);
  return 1;
}

int PromptYN(const char* fmt, ...) {
  char format[MENU_LINE_SIZE];
  std::snprintf(format, sizeof format, "%s? [y/n] ", fmt != nullptr ? fmt : "");
  char answer[MENU_LINE_SIZE];
  for (;;) {
    va_list ap;
    va_start(ap, fmt);
    // The question is the caller's format with "? [y/n] " added.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
    std::vprintf(format, ap);
#pragma GCC diagnostic pop
    va_end(ap);
    if (!ReadLine(answer, sizeof answer)) return 0;
    if (answer[0] == 'y') return 1;
    if (answer[0] == 'n') return 0;
  }
}
