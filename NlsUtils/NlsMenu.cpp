// NlsMenu.cpp - menu texts from the core catalogue: labels, states and prompts of
// text menu entries taken from message set 25.
#include "NlsUtils/Nls.h"

#include "TextMenu/TextMenu.h"
#include "utils/utils.h"

namespace {

// A new managed copy of message 25/num of the core catalogue, cut to size - 1
// characters; a missing message gives its key text.
template <size_t Size>
char* MenuText(int num) {
  char buf[Size] = {};
  const char* text = NlsFetchStringN(pDrvCoreDB, buf, Size, NLS_KIND_NUM, NLS_SET_MENU, num);
  // A hit and the key text of a miss both end up in buf; only the shared error
  // text (no catalogue and a number of 0) comes back without it.
  return SaveStr_(text == pErrBuf ? text : buf);
}

// Stores messages 25/first .. 25/first+count-1 in the field of items[0 .. count-1].
template <typename Field>
void FillItems(TextMenuItem* items, int first, int count, Field field) {
  if (items == nullptr) return;
  for (int i = 0; i < count; ++i) items[i].*field = MenuText<NLS_MENU_TEXT_SIZE>(first + i);
}

}  // namespace

// Stores a new managed copy of message 25/num in *pp; see Nls.h.
void NlsTtyMenuCvt(char** pp, int num) {
  if (pp != nullptr) *pp = MenuText<NLS_REC_SIZE>(num);
}

// Fill the labels, states or prompts of menu entries; see Nls.h.
void NlsTtyMenuItemCvt(TextMenuItem* items, int first, int count) {
  FillItems(items, first, count, &TextMenuItem::pLabel);
}

void NlsTtyMenuItemStateCvt(TextMenuItem* items, int first, int count) {
  FillItems(items, first, count, &TextMenuItem::pStates);
}

void NlsTtyMenuItemPromptCvt(TextMenuItem* items, int first, int count) {
  FillItems(items, first, count, &TextMenuItem::pPrompt);
}
