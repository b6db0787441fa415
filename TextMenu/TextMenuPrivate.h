// TextMenuPrivate.h - helpers shared by the files of the text menu engine: catalogue
// texts, terminal input, labels and states of entries.
#pragma once

#include "NlsUtils/Nls.h"
#include "TextMenu/TextMenu.h"

namespace menu_internal {

// The values an integer entry holds: a number beyond them is refused, never wrapped.
constexpr long kIntValueMin = -2147483647L;
constexpr long kIntValueMax = 2147483647L;

// Reads text as a whole integer entry value into *value. False, with the range
// message 25/1003 posted, when it is no number or lies outside the values above.
bool ReadIntValue(const char* text, long* value);
// Messages of the core catalogue that the engine shows, in set NLS_SET_MENU.
enum MenuMsgNum : int {
  MSG_SCREEN_TOO_SMALL = 206,  // the screen is too small for a list
  MSG_SCREEN_HAS = 207,        // its columns and rows
  MSG_LIST_NEEDS = 208,        // the columns and rows a list needs
  MSG_KEY_SAVE = 230,          // "s = save settings" of the selection line
  MSG_KEY_HELP = 231,          // "h = help"
  MSG_KEY_LEAVE = 232,         // "Enter = leave"
  MSG_STATES_OPEN = 270,       // " [" before the states of an entry
  MSG_STATES_NONE = 271,       // no state chosen
  MSG_SELECTION = 510,         // the selection line
  MSG_NAME_CHARS = 1000,       // what a name may contain
  MSG_PRESS_ENTER = 1001,
  MSG_NAME_CHAR = 1002,        // a character not allowed in a name
  MSG_INT_RANGE = 1003,
  MSG_HEX_RANGE = 1004,
  MSG_NUMBER_CHAR = 1006,      // a character not allowed in a number
  MSG_CHAR = 1007,             // a character not allowed here
  MSG_CHAR_USE = 1008,         // a character not allowed, with the ones that are
  MSG_RESERVED = 1009,         // a reserved word
  MSG_REQUIRED = 1011,         // a required entry is empty
  MSG_RETURN_TO = 1017,        // leaving a submenu for its parent
  MSG_LEAVE = 1018,            // leaving the program's top menu
  MSG_ONE_POINT = 1020,        // a number with two '.'
  MSG_LONG_RANGE = 1024,       // a number out of range
};
// Messages of the entry validation, in set NLS_SET_ENTRY.
enum EntryMsgNum : int {
  MSG_LENGTH_RANGE = 42,  // a text of the wrong length
  MSG_LENGTH_EXACT = 44,  // a text of the wrong length where one length fits
};

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
