// TextMenuPrivate.h - helpers shared by the files of the text menu engine: catalogue
// texts, terminal input, labels and states of entries.
#pragma once

#include "TextMenu/TextMenu.h"

namespace menu_internal {

// The values an integer entry holds: a number beyond them is refused, never wrapped.
constexpr long kIntValueMin = -2147483647L;
constexpr long kIntValueMax = 2147483647L;

// Reads text as a whole integer entry value into *value. False, with the range
// message 25/1003 posted, when it is no number or lies outside the values above.
bool ReadIntValue(const char* text, long* value);

// Opens the core catalogue (pDrvCoreDB) once when the program has not opened it.
void OpenCore();
// Message set/num of the core catalogue, fetched once and kept for the process; a
// missing message gives its key text ("25_510"). Never null.
const char* Msg(int set, int num);
// The catalogue text of a text key (TVATTYMENU_SAVE ...), kept for the process.
const char* KeyMsg(const char* key);

// Reads one line of standard input into buf (size bytes): the line end is dropped
// and a longer line is cut (the rest of it is read and dropped). Standard output is
// flushed first. False at the end of input, which also sets flInputEnded.
bool ReadLine(char* buf, int size);

// Copies src into a value text of MENU_VALUE_SIZE bytes, cut to 255 characters.
void CopyValue(char* dst, const char* src);

// Number of entries before the entry with the null label.
int ItemCount(const TextMenu* menu);
// True when the label has the hot-key form '~', key, separator.
bool HasHotKey(const char* label);
// The label as shown: after the hot-key prefix when there is one; "" for null.
const char* ShownLabel(const char* label);
// Start of state n (from 0) of pStates and its length; null when there is none.
const char* StateAt(const TextMenuItem* item, int n, int* len);
// True when state n is hidden (its text begins with a blank) or does not exist.
bool StateHidden(const TextMenuItem* item, int n);
// The state's text as shown: without its leading '_' or blank, len adjusted.
const char* ShownState(const TextMenuItem* item, int n, int* len);

// Prepares the entries like InitMenu; with fromDefaults false the current values
// are kept (a menu opened again, or initialised again after an action).
int InitItems(TextMenu* menu, bool fromDefaults);

// Writes the terminal's clear sequence when standard output is a terminal.
void ClearTerminal();

}  // namespace menu_internal
