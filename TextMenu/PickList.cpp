// PickList.cpp - full-screen pick lists: the states of a choice entry in numbered
// columns with the current choice marked, chosen by number, paged with Enter.
#include "TextMenu/TextMenuPrivate.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>

using namespace menu_internal;

char CurrentSelection[CUR_SEL_SIZE] = "";
char flPickListLines = 0;

namespace {

constexpr int kMarkWidth = 7;   // " ->" and "%2d) " in front of each state
constexpr int kFrameRows = 6;   // rows of the frame around the states
constexpr int kFirstStateRow = 3;

// The labels of the list, fetched once.
struct PickState {
  const char* pSave = nullptr;
  const char* pCancel = nullptr;
  const char* pCurSel = nullptr;
  const char* pCurSelTrunc = nullptr;
  const char* pOption = nullptr;
};
PickState S;

void FetchLabels() {
  if (S.pSave != nullptr) return;
  S.pSave = KeyMsg("TVATTYMENU_SAVE");
  S.pCancel = KeyMsg("TVATTYMENU_CANCEL");
  S.pCurSel = KeyMsg("TVATTYMENU_CURSEL");
  S.pCurSelTrunc = KeyMsg("TVATTYMENU_CURSELTRUNC");
  S.pOption = KeyMsg("TVATTYMENU_OPTION");
}

int Len(const char* s) { return static_cast<int>(std::strlen(s)); }

bool Chosen(const TextMenuItem* item, int k) {
  if (item->ItemType == ITEM_ONE_OF) return item->Value.Int == k;
  return (static_cast<unsigned long>(item->Value.Int) >> k) & 1UL;
}

// Collects the texts of the chosen states, separated by ", ", cut to 63 characters.
void CollectSelection(const TextMenuItem* item) {
  size_t n = 0;
  CurrentSelection[0] = '\0';
  for (int k = 0; k < item->StateCnt; ++k) {
    if (!Chosen(item, k)) continue;
    int len = 0;
    const char* text = ShownState(item, k, &len);
    const int w = std::snprintf(CurrentSelection + n, sizeof CurrentSelection - n, "%s%.*s",
                                n > 0 ? ", " : "", len, text);
    if (w < 0) break;
    n = std::min(n + static_cast<size_t>(w), sizeof CurrentSelection - 1);
  }
}

// The notice of a screen too small for the list, confirmed with Enter.
void TooSmall(const ScreenImage* img, int needed) {
  std::fputs(Msg(NLS_SET_MENU, MSG_SCREEN_TOO_SMALL), stdout);
  // Catalogue texts are the formats of the notice.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
  std::printf(Msg(NLS_SET_MENU, MSG_SCREEN_HAS), img->Columns, img->Rows);
  std::printf(Msg(NLS_SET_MENU, MSG_LIST_NEEDS), needed, kFrameRows + 1);
#pragma GCC diagnostic pop
  char line[MENU_LINE_SIZE];
  ReadLine(line, sizeof line);
}

// Applies the state numbers of a line: each number k of a visible state chooses it
// (type 9) or toggles it (type 10); anything else drops the rest of the line.
void ApplyNumbers(TextMenu* menu, int index, char* line) {
  TextMenuItem* it = &menu->pItems[index];
  long value = it->Value.Int;
  bool any = false;
  char* save = nullptr;
  for (char* tok = strtok_r(line, ", \t", &save); tok != nullptr; tok = strtok_r(nullptr, ", \t", &save)) {
    char* end = nullptr;
    const long k = std::strtol(tok, &end, 10);
    if (end == tok || *end != '\0' || k < 1 || k > it->StateCnt || StateHidden(it, static_cast<int>(k - 1)))
      break;
    if (it->ItemType == ITEM_ONE_OF)
      value = k - 1;
    else
      value = static_cast<long>(static_cast<unsigned long>(value) ^ (1UL << (k - 1)));
    any = true;
  }
  if (!any) return;
  it->Previous = static_cast<int>(it->Value.Int);
  it->Value.Int = value;
  if (it->ItemType == ITEM_ONE_OF) UpdateStateSelection(it);
  ProcessStateFormat(menu, index);
  if (it->pfnAction != nullptr) it->pfnAction(menu, it);
}

// Puts the kept value back, with its rules and the entry's action.
void Restore(TextMenu* menu, int index, long kept) {
  TextMenuItem* it = &menu->pItems[index];
  it->Value.Int = kept;
  if (it->ItemType == ITEM_ONE_OF) UpdateStateSelection(it);
  ProcessStateFormat(menu, index);
  if (it->pfnAction != nullptr) it->pfnAction(menu, it);
}

bool SameStart(const char* line, const char* label) {
  return label[0] != '\0' &&
         std::tolower(static_cast<unsigned char>(line[0])) == std::tolower(static_cast<unsigned char>(label[0]));
}

}  // namespace

int GetColumnWidths(ScreenImage* img, TextMenuItem* item, int* widths) {
  if (img == nullptr || item == nullptr || widths == nullptr) return 0;
  const int perCol = img->Rows - kFrameRows;
  if (perCol < 1) return 0;
  int widest = 0;
  const int states = std::min(item->StateCnt, MENU_MAX_STATES);
  for (int k = 0; k < states; ++k) {
    int len = 0;
    ShownState(item, k, &len);
    const int col = k / perCol;
    if (k % perCol == 0) widths[col] = 0;
    widths[col] = std::max(widths[col], len);
    widest = std::max(widest, len);
  }
  return widest;
}

void WriteScreenFrame(ScreenImage* img, TextMenuItem* item, const char* selection) {
  if (img == nullptr || item == nullptr) return;
  FetchLabels();
  const char* label = ShownLabel(item->pLabel);
  SetPosition(img, std::max(0, (img->Columns - Len(label)) / 2), 1);
  WriteString(img, "%.*s", img->Columns, label);
  SetPosition(img, 0, img->Rows - 2);
  WriteString(img, "%s", S.pSave);
  SetPosition(img, img->Columns / 2, img->Rows - 2);
  WriteString(img, "%.*s", img->Columns - img->Columns / 2, S.pCancel);
  const char* sel = selection != nullptr ? selection : "";
  SetPosition(img, 0, img->Rows - 1);
  if (Len(S.pCurSel) + Len(sel) < img->Columns) {
    WriteString(img, "%s%s", S.pCurSel, sel);
  } else {
    const int room = std::max(img->Columns - 1 - Len(S.pCurSelTrunc), 0);
    WriteString(img, "%.*s%.*s", img->Columns - 1, S.pCurSelTrunc, room, sel);
  }
  SetPosition(img, 0, img->Rows);
  WriteString(img, "%.*s", img->Columns - 1, S.pOption);
}

// The list on a pipe or in a file, where a screen image would be one long line:
// the label, one state a line, then the frame's texts. Returns the states shown.
int PrintPickLines(TextMenuItem* item, uint32_t* hidden) {
  CollectSelection(item);
  std::printf("\n%s\n", ShownLabel(item->pLabel));
  const int states = std::min(item->StateCnt, MENU_MAX_STATES);
  for (int k = 0; k < states; ++k) {
    const bool off = StateHidden(item, k);
    if (off && hidden != nullptr) *hidden |= 1U << k;
    int len = 0;
    const char* text = ShownState(item, k, &len);
    char number[16] = "    ";
    if (!off) std::snprintf(number, sizeof number, "%2d) ", k + 1);
    std::printf("%s%s%.*s\n", Chosen(item, k) ? " ->" : "   ", number, len, text);
  }
  std::printf("%s    %s\n%s%s\n%s", S.pSave, S.pCancel, S.pCurSel, CurrentSelection, S.pOption);
  std::fflush(stdout);
  return states;
}

int PrintPickOneManyScreen(TextMenuItem* item, uint32_t* hidden, int first) {
  if (item == nullptr) return -1;
  FetchLabels();
  if (flPickListLines) return PrintPickLines(item, hidden);
  pScreen = GetTermInfo(pScreen);
  ScreenImage* img = pScreen;
  if (img == nullptr || img->pCells == nullptr) return -1;
  int widths[MENU_MAX_STATES] = {};
  const int widest = GetColumnWidths(img, item, widths);
  const int perCol = img->Rows - kFrameRows;
  const int needed = std::max(Len(S.pSave) + Len(S.pCancel), widest / 2 + 20);
  if (perCol < 1 || img->Columns < needed) {
    TooSmall(img, needed);
    return -1;
  }
  ClearScreen(img);
  CollectSelection(item);
  const int states = std::min(item->StateCnt, MENU_MAX_STATES);
  if (first < 0 || first >= states) first = 0;
  int x = 0;
  int shown = 0;
  for (int c = first / perCol; c * perCol < states; ++c) {
    const int w = widths[c] + kMarkWidth;
    if (x > 0 && x + w > img->Columns) break;
    for (int k = c * perCol; k < std::min((c + 1) * perCol, states); ++k) {
      const bool off = StateHidden(item, k);
      if (off && hidden != nullptr) *hidden |= 1U << k;
      int len = 0;
      const char* text = ShownState(item, k, &len);
      char cell[SCREEN_STRING_SIZE];
      char number[16] = "    ";
      if (!off) std::snprintf(number, sizeof number, "%2d) ", k + 1);
      std::snprintf(cell, sizeof cell, "%s%s%.*s", Chosen(item, k) ? " ->" : "   ", number, len, text);
      const int room = img->Columns - x;
      SetPosition(img, x, kFirstStateRow + k - c * perCol);
      if (Len(cell) > room)
        WriteString(img, "%.*s...", std::max(room - 3, 0), cell);
      else
        WriteString(img, "%s", cell);
      ++shown;
    }
    x += w;
  }
  WriteScreenFrame(img, item, CurrentSelection);
  MoveCursor(img, 0, 1);
  Refresh(img);
  MoveCursor(img, std::min(Len(S.pOption), img->Columns - 1), img->Rows);
  std::fflush(stdout);
  return shown;
}

void ProcessStateValue(TextMenu* menu, int index, char* option) {
  if (menu == nullptr || index < 0 || index >= ItemCount(menu)) return;
  TextMenuItem* it = &menu->pItems[index];
  if ((it->ItemType != ITEM_ONE_OF && it->ItemType != ITEM_MANY_OF) || it->StateCnt <= 0) return;
  const long kept = it->Value.Int;
  uint32_t hidden = 0;
  int first = 0;
  int shown = PrintPickOneManyScreen(it, &hidden, first);
  if (shown < 0) return;
  char line[MENU_LINE_SIZE];
  bool fromOption = option != nullptr && *option != '\0';
  if (fromOption) std::snprintf(line, sizeof line, "%s", option);
  for (;;) {
    if (!fromOption && !ReadLine(line, sizeof line)) {
      // The end of input keeps nothing that was chosen here.
      if (it->Value.Int != kept) Restore(menu, index, kept);
      return;
    }
    fromOption = false;
    if (line[0] == '\0') {
      first += shown;
      if (first >= it->StateCnt) first = 0;
    } else if (SameStart(line, S.pSave)) {
      return;
    } else if (SameStart(line, S.pCancel)) {
      Restore(menu, index, kept);
      return;
    } else if (std::isalnum(static_cast<unsigned char>(line[0]))) {
      ApplyNumbers(menu, index, line);
    }
    shown = PrintPickOneManyScreen(it, &hidden, first);
    if (shown < 0) return;
  }
}
