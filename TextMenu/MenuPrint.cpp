// MenuPrint.cpp - printing a menu: the title in its style, the entries with their
// values, the menu bar in columns, and the hint line.
#include "TextMenu/TextMenuPrivate.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

using namespace menu_internal;

namespace {

constexpr int kScreenWidth = 80;

// The title: form feed and LF, then the title in the menu's style.
void PrintTitle(const TextMenu* menu, int titleWidth) {
  const char* title = menu->pTitle != nullptr ? menu->pTitle : "";
  switch (menu->TitleStyle) {
    case 1: {
      const int pad = titleWidth > kScreenWidth ? 0 : (kScreenWidth - titleWidth) / 2;
      std::printf("\f\n%*s%s\n\n", pad, "", title);
      break;
    }
    case 2: {
      const int pad = titleWidth > kScreenWidth ? 0 : kScreenWidth - titleWidth;
      std::printf("\f\n%*s%s\n\n", pad, "", title);
      break;
    }
    default:
      std::printf("\f\n%s:\n\n", title);
      break;
  }
}

// The value part of an entry of type 9 and above.
void PrintValue(const TextMenuItem& it) {
  switch (it.ItemType) {
    case ITEM_ONE_OF: {
      const int cur = static_cast<int>(it.Value.Int);
      if (StateHidden(&it, cur)) {
        std::fputs(" [ ]", stdout);
        break;
      }
      int len = 0;
      const char* text = ShownState(&it, cur, &len);
      std::printf(" [%i. %.*s]", cur + 1, len, text);
      break;
    }
    case ITEM_MANY_OF: {
      std::fputs(Msg(NLS_SET_MENU, MSG_STATES_OPEN), stdout);
      const unsigned long bits = static_cast<unsigned long>(it.Value.Int) & 0xFFFFFFFFUL;
      if (bits == 1) {
        std::fputs(Msg(NLS_SET_MENU, MSG_STATES_NONE), stdout);
      } else {
        const char* sep = "";
        for (int b = 0; b < MENU_MAX_STATES; ++b) {
          if ((bits & (1UL << b)) == 0) continue;
          std::printf("%s%d", sep, b + 1);
          sep = ",";
        }
      }
      std::fputs("]", stdout);
      break;
    }
    case ITEM_REQUIRED:
    case ITEM_OPTIONAL:
      std::printf(" [%s]", it.Value.pText != nullptr ? it.Value.pText : "");
      break;
    case ITEM_INT:
      std::printf(" [%i]", static_cast<int>(it.Value.Int));
      break;
    case ITEM_FLOAT:
      std::printf(" [%.3f]", static_cast<double>(it.Value.Float));
      break;
    default:
      break;
  }
}

// One cell of a menu bar, cut to the column width.
void PrintCell(const TextMenuItem& it, int width, int* col) {
  const char* text = ShownLabel(it.pLabel);
  const int len = static_cast<int>(std::strlen(text));
  const int pad = std::max(0, width - 5 - len);
  char cell[MENU_LINE_SIZE];
  if (HasHotKey(it.pLabel))
    std::snprintf(cell, sizeof cell, " %c) %s%*s ", it.pLabel[1], text, pad, "");
  else if (it.Key > 0 && it.Access == ACCESS_NORMAL)
    std::snprintf(cell, sizeof cell, "%2i) %s%*s", it.Key, text, pad, "");
  else
    std::snprintf(cell, sizeof cell, "    %s%*s", text, pad, "");
  const int cut = std::min(static_cast<int>(std::strlen(cell)), std::max(width, 0));
  std::printf("%.*s", cut, cell);
  *col += cut;
}

// A menu bar starting at entry i (type 1 or 3); returns the index after its last
// cell. A type 1 bar takes the type 0 entries that follow it; a type 3 bar takes
// every following entry, and each type 3 among them starts a new row.
int PrintBar(const TextMenu* menu, int i, int count, const char* spacing) {
  const bool all = menu->pItems[i].ItemType == ITEM_BAR_ALL;
  int cols = static_cast<int>(menu->pItems[i].Value.Int);
  if (cols <= 0) cols = 3;
  int width = kScreenWidth / cols;
  int col = 0;
  int j = i + 1;
  for (; j < count; ++j) {
    const TextMenuItem& it = menu->pItems[j];
    if (!all && it.ItemType != ITEM_LINE) break;
    if (all && it.ItemType == ITEM_BAR_ALL) {
      if (col > 0) std::printf("\n%s", spacing);
      col = 0;
      cols = it.Value.Int > 0 ? static_cast<int>(it.Value.Int) : 3;
      width = kScreenWidth / cols;
      continue;
    }
    if (it.Access == ACCESS_HIDDEN) continue;
    const int len = static_cast<int>(std::strlen(ShownLabel(it.pLabel)));
    if (col > 0 && (col + 5 + len > kScreenWidth || len > width - 5)) {
      std::fputs("\n", stdout);
      col = 0;
    }
    PrintCell(it, width, &col);
    if (len > width - cols) {
      std::fputs("\n", stdout);
      col = 0;
    }
  }
  if (col > 0) std::printf("\n%s", spacing);
  return j;
}

}  // namespace

int PrintMenu(TextMenu* menu, int maxLabelLen, int titleWidth) {
  if (menu == nullptr) return 0;
  ClearTerminal();
  PrintTitle(menu, titleWidth);
  const char* spacing = (menu->MenuFlags & MENU_SINGLE_SPACED) ? "" : "\n";
  const int count = ItemCount(menu);
  int i = 0;
  while (i < count) {
    TextMenuItem& it = menu->pItems[i];
    if (it.ItemType == ITEM_BAR || it.ItemType == ITEM_BAR_ALL) {
      i = PrintBar(menu, i, count, spacing);
      continue;
    }
    if (it.Access == ACCESS_HIDDEN) {
      ++i;
      continue;
    }
    if (it.ItemType == ITEM_LINE) {
      std::printf("%s ", it.pLabel);
    } else if (it.ItemType == ITEM_SUBMENU) {
      TextMenu* sub = ValidateMenu(menu, i);
      if (sub == nullptr) {
        ++i;
        continue;
      }
      const char* title = sub->pTitle != nullptr ? sub->pTitle : "";
      if (HasHotKey(it.pLabel))
        std::printf(" %c) %s ", it.pLabel[1], title);
      else
        std::printf("%2i) %s ", it.Key, title);
    } else if (it.Access == ACCESS_NOSELECT) {
      std::printf("%*s  %s ", 2, " ", ShownLabel(it.pLabel));
    } else if (HasHotKey(it.pLabel)) {
      std::printf(" %c) %s ", it.pLabel[1], it.pLabel + 3);
    } else {
      std::printf("%2i) %s ", it.Key, it.pLabel);
    }
    if (it.ItemType >= ITEM_ONE_OF) {
      for (int d = it.LabelLen; d < maxLabelLen; ++d) std::fputc('.', stdout);
      PrintValue(it);
    }
    std::printf("\n%s", spacing);
    ++i;
  }
  const uint16_t f = menu->MenuFlags;
  const char* save = (f & (MENU_SAVE_ASK | MENU_SAVE_EXIT)) ? Msg(NLS_SET_MENU, MSG_KEY_SAVE) : "";
  const char* help = (f & MENU_HELP) ? Msg(NLS_SET_MENU, MSG_KEY_HELP) : "";
  const char* leave = (f & MENU_EMPTY_SELECTS) ? "" : Msg(NLS_SET_MENU, MSG_KEY_LEAVE);
  // The hint line's format is a catalogue text filled with the three hints.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
  std::printf(Msg(NLS_SET_MENU, MSG_SELECTION), save, help, leave);
#pragma GCC diagnostic pop
  std::fflush(stdout);
  return count;
}
