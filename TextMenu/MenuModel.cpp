// MenuModel.cpp - preparing and releasing the entries of a menu, and the states of
// choice entries (hidden states, the current state).
#include "TextMenu/TextMenuPrivate.h"

#include "MemMgr/MemMgr.h"

#include <cctype>
#include <cstdio>
#include <cstring>

using namespace menu_internal;

namespace {

// Counts the ','-separated states of an entry (0 without a state list).
int CountStates(const char* states) {
  if (states == nullptr || *states == '\0') return 0;
  int n = 1;
  for (const char* p = states; *p != '\0'; ++p)
    if (*p == ',') ++n;
  return n;
}

// The hot key of a label ('~', key, separator), folded to lower case.
int HotKey(const char* label) {
  return std::tolower(static_cast<unsigned char>(label[1]));
}

// Overwrites the first character of state n with c; only a state written to be
// hidden (its text begins with '_' or a blank) is touched, so that no state text
// loses a letter.
void MarkState(TextMenuItem* item, int n, char c) {
  int len = 0;
  const char* p = StateAt(item, n, &len);
  if (p == nullptr || len == 0 || (p[0] != '_' && p[0] != ' ')) return;
  *const_cast<char*>(p) = c;
}

void InitStates(TextMenuItem* it, bool fromDefaults) {
  it->StateCnt = CountStates(it->pStates);
  if (it->StateCnt > MENU_MAX_STATES)
    ErrorMsg(ERR_FATAL, 1, "the entry \"%s\" has %d states; an entry holds at most %d", it->pLabel,
             it->StateCnt, MENU_MAX_STATES);
  if (it->ItemType == ITEM_ONE_OF) {
    if (fromDefaults) it->Value.Int = it->Default.Int;
  } else if (it->Value.Int == 0) {
    // A several-states entry without a value starts with its default, or with
    // the first state alone.
    it->Value.Int = it->Default.Int != 0 ? it->Default.Int : 1;
  }
  if (fromDefaults) it->Previous = static_cast<int>(it->Default.Int);
}

void InitText(TextMenuItem* it, bool fromDefaults) {
  const bool fresh = it->Value.pText == nullptr;
  if (fresh) it->Value.pText = static_cast<char*>(GetMem(MENU_VALUE_SIZE));
  if (it->Value.pText == nullptr) return;
  if (fresh || fromDefaults) CopyValue(it->Value.pText, it->Default.pText);
}

}  // namespace

namespace menu_internal {

int InitItems(TextMenu* menu, bool fromDefaults) {
  if (menu == nullptr || menu->pItems == nullptr) return 0;
  int longest = 0;
  int number = 0;
  const int count = ItemCount(menu);
  for (int i = 0; i < count; ++i) {
    TextMenuItem* it = &menu->pItems[i];
    // The label as shown: a hot key's marker "~k " is drawn as the entry's number is.
    it->LabelLen = static_cast<int>(std::strlen(ShownLabel(it->pLabel)));
    if (it->LabelLen > longest) longest = it->LabelLen;
    if (fromDefaults) it->Saved = -1;
    switch (it->ItemType) {
      case ITEM_ONE_OF:
      case ITEM_MANY_OF:
        InitStates(it, fromDefaults);
        break;
      case ITEM_REQUIRED:
      case ITEM_OPTIONAL:
        InitText(it, fromDefaults);
        break;
      case ITEM_INT:
      case ITEM_FLOAT:
        if (fromDefaults) it->Value = it->Default;
        break;
      default:
        break;
    }
    if (it->ItemType < ITEM_ACCEPT)
      it->Key = 0;
    else if (HasHotKey(it->pLabel))
      it->Key = HotKey(it->pLabel);
    else
      it->Key = ++number;
  }
  // The rules run once every value is set, so that a rule's change is not
  // overwritten by the initial value of an entry further down.
  for (int i = 0; i < count; ++i) {
    TextMenuItem* it = &menu->pItems[i];
    if (it->ItemType != ITEM_ONE_OF && it->ItemType != ITEM_MANY_OF) continue;
    UpdateStateSelection(it);
    ProcessStateFormat(menu, i);
  }
  return longest;
}

}  // namespace menu_internal

int InitMenu(TextMenu* menu, char* /*scratch*/) { return InitItems(menu, true); }

void FreeMenu(TextMenu* menu) {
  const int count = ItemCount(menu);
  for (int i = 0; i < count; ++i) {
    TextMenuItem* it = &menu->pItems[i];
    if (it->ItemType != ITEM_REQUIRED && it->ItemType != ITEM_OPTIONAL) continue;
    PutMem(it->Value.pText);
    it->Value.pText = nullptr;
  }
}

TextMenuItem* FindTextMenuItem(TextMenu* menu, int type) {
  const int count = ItemCount(menu);
  for (int i = 0; i < count; ++i)
    if (menu->pItems[i].ItemType == type) return &menu->pItems[i];
  return nullptr;
}

void UpdateStateSelection(TextMenuItem* item) {
  if (item == nullptr) return;
  if (item->StateCnt <= 0) {
    item->pCurState = nullptr;
    return;
  }
  if (item->ItemType == ITEM_ONE_OF) {
    // A state index from a settings file or a rule may lie outside the list.
    if (item->Value.Int < 0 || item->Value.Int >= item->StateCnt) item->Value.Int = 0;
    for (int step = 0; step < item->StateCnt && StateHidden(item, static_cast<int>(item->Value.Int));
         ++step) {
      item->Previous = static_cast<int>(item->Value.Int);
      item->Value.Int = (item->Value.Int + 1) % item->StateCnt;
    }
  }
  int len = 0;
  const int cur = item->ItemType == ITEM_ONE_OF ? static_cast<int>(item->Value.Int) : 0;
  item->pCurState = const_cast<char*>(StateAt(item, cur, &len));
}

void HideStateSelection(TextMenuItem* item, int n) { MarkState(item, n, ' '); }

void ShowStateSelection(TextMenuItem* item, int n) { MarkState(item, n, '_'); }

int TestNames(TextMenu* menu) {
  const int count = ItemCount(menu);
  for (int i = 0; i < count; ++i) {
    const TextMenuItem& it = menu->pItems[i];
    if (it.ItemType != ITEM_REQUIRED || it.Access == ACCESS_HIDDEN) continue;
    if (it.Value.pText != nullptr && it.Value.pText[0] != '\0') continue;
    std::fputs(Msg(NLS_SET_MENU, MSG_REQUIRED), stdout);
    char pause[MENU_LINE_SIZE];
    ReadLine(pause, sizeof pause);
    return 0;
  }
  return 1;
}
