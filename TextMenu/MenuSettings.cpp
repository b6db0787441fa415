// MenuSettings.cpp - settings files: one line per value entry ("<index>[<value>]
// <type> <access>"), and a block "<index>{" ... "}" per applying submenu.
#include "TextMenu/TextMenuPrivate.h"

#include "MemMgr/MemMgr.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

using namespace menu_internal;

namespace {

constexpr int kMaxLevels = 16;  // submenu blocks nested in a settings file

struct SettingsState {
  int Level = 0;  // submenus being stored or loaded
};
SettingsState S;

// The kind of value a type holds: 1 integer, 2 text, 3 float, 0 none.
int ValueKind(int type) {
  switch (type) {
    case ITEM_ONE_OF:
    case ITEM_MANY_OF:
    case ITEM_INT:
      return 1;
    case ITEM_REQUIRED:
    case ITEM_OPTIONAL:
      return 2;
    case ITEM_FLOAT:
      return 3;
    default:
      return 0;
  }
}

void StoreLevel(TextMenu* menu) {
  const int count = ItemCount(menu);
  for (int i = 0; i < count; ++i) {
    const TextMenuItem& it = menu->pItems[i];
    switch (it.ItemType) {
      case ITEM_ONE_OF:
      case ITEM_INT:
        std::fprintf(pOut, "%i[%i] %i %i\n", i, static_cast<int>(it.Value.Int), it.ItemType, it.Access);
        break;
      case ITEM_REQUIRED:
      case ITEM_OPTIONAL:
        std::fprintf(pOut, "%i[%s] %i %i\n", i, it.Value.pText != nullptr ? it.Value.pText : "",
                     it.ItemType, it.Access);
        break;
      case ITEM_FLOAT:
        std::fprintf(pOut, "%i[%.3f] %i %i\n", i, static_cast<double>(it.Value.Float), it.ItemType,
                     it.Access);
        break;
      default:
        break;
    }
  }
  if (S.Level >= kMaxLevels) return;
  for (int i = 0; i < count; ++i) {
    if (menu->pItems[i].ItemType != ITEM_SUBMENU) continue;
    TextMenu* sub = ValidateMenu(menu, i);
    if (sub == nullptr) continue;
    std::fprintf(pOut, "%i{\n", i);
    ++S.Level;
    StoreLevel(sub);
    --S.Level;
    std::fputs("}\n", pOut);
  }
}

// Skips the lines of a submenu block that does not apply now, nested blocks
// included, so that they are not taken for this menu's lines.
void SkipBlock() {
  int open = 1;
  while (open > 0 && GetFileLine()) {
    if (LineBuf[0] == '}') {
      --open;
      continue;
    }
    int index = 0;
    char c = 0;
    if (std::sscanf(LineBuf, "%d%c", &index, &c) == 2 && c == '{') ++open;
  }
}

// Applies one "<index>[<value>] <type> <access>" line to the menu.
void LoadLine(TextMenu* menu, int index, const char* value) {
  if (index < 0 || index >= ItemCount(menu)) return;
  const char* close = std::strrchr(LineBuf, ']');
  int type = 0;
  int access = 0;
  if (close == nullptr || std::sscanf(close + 1, "%d %d", &type, &access) != 2) return;
  TextMenuItem& it = menu->pItems[index];
  if (access >= ACCESS_NORMAL && access <= ACCESS_HIDDEN) it.Access = access;
  switch (ValueKind(it.ItemType)) {
    case 1:
      it.Value.Int = std::atoi(value);
      break;
    case 2:
      if (it.Value.pText == nullptr) it.Value.pText = static_cast<char*>(GetMem(MENU_VALUE_SIZE));
      if (it.Value.pText != nullptr) CopyValue(it.Value.pText, value);
      break;
    case 3:
      it.Value.Float = static_cast<float>(std::atof(value));
      break;
    default:
      break;
  }
  // A stored type replaces the entry's type only within the same kind of value:
  // an integer must never be taken for a text.
  if (type != 0 && ValueKind(type) != 0 && ValueKind(type) == ValueKind(it.ItemType)) it.ItemType = type;
  if (it.ItemType == ITEM_ONE_OF) UpdateStateSelection(&it);
}

}  // namespace

void StoreMenu(TextMenu* menu) {
  if (pOut == nullptr || menu == nullptr) return;
  StoreLevel(menu);
  std::fflush(pOut);
}

void LoadMenu(TextMenu* menu) {
  flLoadedSettings = 1;
  if (menu == nullptr) return;
  while (GetFileLine()) {
    if (LineBuf[0] == '}') {
      TextMenuItem* accept = FindTextMenuItem(menu, ITEM_ACCEPT);
      if (accept != nullptr && accept->pfnAction != nullptr) accept->pfnAction(menu, accept);
      return;
    }
    int index = 0;
    char c = 0;
    int start = 0;
    if (std::sscanf(LineBuf, "%d%c%n", &index, &c, &start) < 2) continue;
    if (c == '{') {
      TextMenu* sub = ValidateMenu(menu, index);
      if (sub == nullptr || S.Level >= kMaxLevels) {
        SkipBlock();
        continue;
      }
      ++S.Level;
      LoadMenu(sub);
      --S.Level;
      continue;
    }
    // The value runs to the line's last ']' (the type and access follow it), so a
    // text with blanks or brackets reads back whole.
    if (c != '[') continue;
    const char* close = std::strrchr(LineBuf + start, ']');
    if (close == nullptr) continue;
    char value[MENU_VALUE_SIZE] = {};
    const size_t n = std::min(static_cast<size_t>(close - (LineBuf + start)), sizeof value - 1);
    std::memcpy(value, LineBuf + start, n);
    LoadLine(menu, index, value);
  }
}
