// TextMenu.h - the text menu engine: menus of typed entries, settings files, entry
// validation, prompts, and a screen image with full-screen pick lists.
#pragma once

#include <cstddef>
#include <cstdint>

#include "utils/utils.h"

struct TextMenu;
struct TextMenuItem;

// ===== Limits =====

constexpr int MENU_VALUE_SIZE = 256;     // value text of types 11 and 12: 255 characters
constexpr int MENU_LINE_SIZE = 4096;     // an input line: 4095 characters
constexpr int MENU_MAX_STATES = 32;      // states of a choice entry (the bit sets)
constexpr int CUR_SEL_SIZE = 64;         // CurrentSelection: 63 characters
constexpr int SCREEN_STRING_SIZE = 512;  // one formatted WriteString text: 511 characters
constexpr int PASS_PHRASE_SIZE = 257;    // GetPassPhrase: 256 characters
constexpr int PASS_PHRASE_TIMEOUT = 60;  // seconds GetPassPhrase waits for each character

// ===== MenuFlags bits =====

constexpr uint16_t MENU_EMPTY_SELECTS = 0x001;   // an empty line is a selection, not a leave
constexpr uint16_t MENU_HELP = 0x002;            // "h" opens the help navigator
constexpr uint16_t MENU_KEEP_ITEMS = 0x004;      // the items are not released at the end
constexpr uint16_t MENU_SAVE_ASK = 0x008;        // "s" asks for a settings file and saves
constexpr uint16_t MENU_SAVE_EXIT = 0x010;       // "s" saves to ".settings" and ends the program
constexpr uint16_t MENU_REINIT = 0x040;          // InitMenu again after a successful type 7
constexpr uint16_t MENU_END_BY_OLD_TYPE = 0x080; // the type before the selection decides the end
constexpr uint16_t MENU_SINGLE_SPACED = 0x100;   // no empty line after each entry
constexpr uint16_t MENU_SAY_INVALID = 0x200;     // a line that selects nothing is answered
                                                 // with a notice (message 25/1012)

// ===== Entry types (ItemType) =====

constexpr int ITEM_LINE = 0;       // text line, printed as it is
constexpr int ITEM_BAR = 1;        // menu bar over the type 0 entries that follow
constexpr int ITEM_BAR_ALL = 3;    // menu bar over every following entry; a new row per type 3
constexpr int ITEM_ACCEPT = 4;     // needs every required text; a successful action ends the menu
constexpr int ITEM_DONE = 5;       // a successful action ends the menu; handles a missing settings file
constexpr int ITEM_EXIT = 6;       // a successful action ends the menu
constexpr int ITEM_ACTION = 7;     // action that keeps the menu open
constexpr int ITEM_SUBMENU = 8;    // submenu (Value.pMenu, or Value.ppMenus with conditions)
constexpr int ITEM_ONE_OF = 9;     // one state of pStates; Value.Int is its index from 0
constexpr int ITEM_MANY_OF = 10;   // several states; Value.Int is a bit set
constexpr int ITEM_REQUIRED = 11;  // required text; Value.pText is a 256-byte engine text
constexpr int ITEM_OPTIONAL = 12;  // optional text; Value.pText as type 11
constexpr int ITEM_INT = 13;       // integer in Value.Int
constexpr int ITEM_FLOAT = 14;     // float in Value.Float

// Access of an entry.
constexpr int ACCESS_NORMAL = 0;   // shown and selectable
constexpr int ACCESS_NOSELECT = 1; // shown without a number, not selectable
constexpr int ACCESS_HIDDEN = 2;   // not shown

// The Default and Value of an entry: an integer (types 9, 10, 13, the column count of
// types 1 and 3), a text (11, 12), a float (14) or the submenu(s) of type 8. The
// constructors let static tables write any of them directly.
union MenuValue {
  long Int;
  char* pText;
  float Float;
  TextMenu* pMenu;      // type 8 without conditions
  TextMenu** ppMenus;   // type 8 with conditions: one submenu per condition

  constexpr MenuValue() : Int(0) {}
  constexpr MenuValue(int v) : Int(v) {}
  constexpr MenuValue(long v) : Int(v) {}
  constexpr MenuValue(double v) : Float(static_cast<float>(v)) {}
  constexpr MenuValue(float v) : Float(v) {}
  constexpr MenuValue(std::nullptr_t) : pText(nullptr) {}
  constexpr MenuValue(char* v) : pText(v) {}
  MenuValue(const char* v) : pText(const_cast<char*>(v)) {}
  constexpr MenuValue(TextMenu* v) : pMenu(v) {}
  constexpr MenuValue(TextMenu** v) : ppMenus(v) {}
};

// The action of an entry: 0 for success (types 4 to 7); other types call it after
// each change of the value.
using MenuActionFn = int (*)(TextMenu* menu, TextMenuItem* item);
// The apply and refresh hooks of a menu.
using MenuFn = void (*)(TextMenu* menu);

// One entry of a menu. A label that begins with '~', a key character and one
// separator character gives the entry a hot key ("~q Quit").
struct TextMenuItem {
  char* pLabel;          // the label; a null label ends the menu's array
  int ItemType;          // entry type (ITEM_...)
  int Access;            // ACCESS_NORMAL, ACCESS_NOSELECT or ACCESS_HIDDEN
  char* pPrompt;         // prompt of value entry (types 11 to 14)
  char* pStates;         // types 9 and 10: the states, separated by ','
  char* pCurState;       // type 9: the current state's text within pStates
  MenuValue Default;     // initial value
  MenuValue Value;       // current value
  int Previous;          // type 9: the state index before the last change
  MenuActionFn pfnAction;// action (types 4 to 7) or change hook (other types); may be null
  int LabelLen;          // length of the label, set by InitMenu
  char* pRules;          // validation pattern (11-14), dependency rules (9, 10), conditions (8)
  int Saved;             // value remembered by an "S" rule, -1 when none
  int StateCnt;          // number of states, set by InitMenu
  void* pItemData;       // kept for the program; the engine never touches it
  int Key;               // selection number, or the hot key's character; 0 below type 4
};

// A menu.
struct TextMenu {
  char* pTitle;          // title; its first line sets the title width
  int TitleStyle;        // 0 plain with ':', 1 centred in 80 columns, 2 right-aligned
  char* pSavePrompt;     // question whether to save on leaving after changes; null: apply
  MenuFn pfnApply;       // applies the settings; may be null
  void* pMenuData;       // kept for the program; the engine never touches it
  TextMenu* pParent;     // the leave question names its title; null: the program's name
  MenuFn pfnRefresh;     // called at the start and after submenus and refused leaves
  TextMenuItem* pItems;  // the entries, ended by an entry whose label is null
  uint16_t MenuFlags;    // MENU_... bits
};

// ===== Process-wide state =====

extern char flExitTextMenu;    // set by an action to leave every open menu at once
extern char flLoadedSettings;  // set once a settings file was read
extern char* pOption;          // the rest of the input line after its first word
extern char flInputEnded;      // standard input has ended; every later read gives nothing
extern char flPickListLines;   // the screen is no terminal: a pick list prints its states
                               // one a line instead of drawing a screen image

// The help hook: "h" under MENU_HELP calls it with the menu and pMenuHelpPage. The
// program that links the help navigator sets it; while it is null "h" does nothing.
using MenuHelpFn = void (*)(TextMenu* menu, const char* helpPage);
extern MenuHelpFn pfnMenuHelp;
extern const char* pMenuHelpPage;  // the current help page (file name), may be null

// ===== Menu model, settings files and menu loop =====

// Runs the menu: refresh, InitMenu, optional settings file, then the loop (interactive)
// or pfnApply alone. Returns 0; when the settings file cannot be opened, the result of
// the first type 5 entry's action, or 1 when it has none. End of input leaves every
// open menu without applying anything and returns 0. A top-level run starts the menu
// and its submenus from their defaults; a submenu opened from a running menu keeps
// its values. The value texts are released at the end unless MENU_KEEP_ITEMS is set.
int RunMenu(TextMenu* menu, const char* settingsFile, int interactive);
// Prepares every entry (label lengths, states, value texts, keys) and applies the
// dependency rules. Returns the longest label length. scratch is not needed (may be
// null). A state list of more than 32 states ends the process with an error.
int InitMenu(TextMenu* menu, char* scratch);
// Releases the value texts of types 11 and 12 and clears their pointers.
void FreeMenu(TextMenu* menu);
// Clears the screen and prints title, entries and hint line to standard output.
// Returns the number of table entries walked.
int PrintMenu(TextMenu* menu, int maxLabelLen, int titleWidth);
// The 1-based index of the entry the input line selects, or 0 (also after "s" and
// "h", which are handled here). Sets pOption to the text after the line's first word.
int FindSelection(TextMenu* menu, char* line, int count);
// Processes entry index (from 0) with the option text (may be null). Returns 1 when
// the entry changed or its action succeeded, else 0.
int ProcessSelection(TextMenu* menu, int index, char* option);
// The submenu that entry index (from 0, type 8) opens now, or null.
TextMenu* ValidateMenu(TextMenu* menu, int index);
// The first entry of that type, or null.
TextMenuItem* FindTextMenuItem(TextMenu* menu, int type);
// Writes the settings of the menu and its applying submenus to pOut.
void StoreMenu(TextMenu* menu);
// Reads settings from the line reader's current file up to its end or a '}' line.
void LoadMenu(TextMenu* menu);
// 1 when every type 11 entry that is not hidden holds a text; else 0 after a notice
// and a pause.
int TestNames(TextMenu* menu);
// An atom "i.v", "+d.v" or "-d.v" (an "A" after it is ignored here) relative to entry
// base: 0 when the entry's Value differs from v, 1 when equal and normal, 2 when
// equal and not normal (also 0 for an index outside the menu).
int TestState(TextMenu* menu, const char* atom, int base);
// Evaluates a condition of atoms with '!', '&', '|' and parentheses for entry base;
// an atom followed by "A" holds only when TestState gives 2. 1 when it holds.
int TestStateCondition(TextMenu* menu, const char* cond, int base);
// Type 9: moves off a hidden current state (cyclically, at most StateCnt steps) and
// points pCurState at the current state's text.
void UpdateStateSelection(TextMenuItem* item);
// Hides (first character ' ') or shows (first character '_') state n, from 0.
void HideStateSelection(TextMenuItem* item, int n);
void ShowStateSelection(TextMenuItem* item, int n);
// Applies the dependency rules of entry index (from 0), unless it is not normal.
void ProcessStateFormat(TextMenu* menu, int index);
// 1 when the value list holds "*" or a number equal to value, else 0.
int TestFormatState(const char* list, long value);
// Prints "<question>? [y/n] " and reads a line until it begins with 'y' (1) or 'n'
// (0). End of input gives 0.
int PromptYN(const char* fmt, ...) KANDU_PRINTF(1, 2);

// ===== Entry validation and prompts =====

// Checks text against a validation pattern. 0 accepted, 1 value out of range, 2
// length out of range, 3 a character not allowed, 4 a reserved word; for 1 to 4 the
// reason has been shown with PostMsg. A null pattern accepts everything.
int ValidateEntry(const char* text, const char* pattern);
// 0 when text has a length in the range "(min,max)" (4 to 4 when null) and only
// digits; 2 or 3 after showing the reason.
int ValidateEntryTty(const char* text, const char* range);
// Null when the length of text fits the range (4 to 4 when null); otherwise the
// reason, formatted into the catalogue's StrBuf (valid until its next use).
char* ValidateEntryLen(const char* text, const char* range);
// The first character of text that is not a digit, or 0.
int ValidateEntryDigit(const char* text);
// Reads "(min,max)": stores min in *pMin and returns max.
int getMinMax(const char* range, int* pMin);
// 1 when text has only letters, digits, '_' and '-'; else 0 after showing the reason.
int TestName(const char* text);
// Prints the message and the "press Enter" text, then waits for a line (or the end
// of input).
void PostMsg(const char* fmt, ...) KANDU_PRINTF(1, 2);
// Prints the prompt and reads a line: into buf (at most 4095 characters) and returns
// buf, or with a null buf into a new managed text (at most 1023 characters; the
// caller releases it). End of input gives an empty answer.
char* PromptUser(const char* prompt, char* buf);
// Reads a secret without echo from /dev/tty (else standard input), at most 256
// characters, 60 seconds per character. Returns a new managed text (the caller
// releases it). Terminal settings and signal handlers are restored on every path.
char* GetPassPhrase(const char* prompt);

// ===== Screen image and full-screen pick lists =====

// A character image of the terminal.
struct ScreenImage {
  int Columns;     // width in characters
  int Rows;        // height in lines
  int CursorCol;   // column of the next WriteString, from 0
  int CursorRow;   // row of the next WriteString, from 1
  int OvlCol;      // top-left corner of an overlay box
  int OvlRow;
  int OvlWidth;    // text width of the overlay box
  int OvlHeight;   // line count of the overlay box
  char* pCells;    // Rows x Columns characters, row after row (managed)
};

extern ScreenImage* pScreen;                 // the image of the pick lists
extern char CurrentSelection[CUR_SEL_SIZE];  // text of the chosen states

// Sets the cursor of the next WriteString.
void SetPosition(ScreenImage* img, int col, int row);
// Sets the overlay box.
void SetOvlInfo(ScreenImage* img, int col, int row, int width, int height);
// Writes the formatted text (at most 511 characters) at the cursor, running on into
// the next rows, never past the image. The cursor does not move.
void WriteString(ScreenImage* img, const char* fmt, ...) KANDU_PRINTF(2, 3);
// Fills the rectangle at (col, row from 0) with ch, clipped to the image.
void FillArea(ScreenImage* img, int col, int row, int width, int height, int ch);
// Prints the image row by row (a row stops at an LF cell; the last cell is never
// printed). Returns 0.
int Refresh(ScreenImage* img);
// Prints text in a box of stars at the overlay corner; with wait, waits for Enter.
void Overlay(ScreenImage* img, const char* text, int wait);
// Fills 24 rows of 80 cells with a digit test pattern (clipped to the image).
void NumberScreen(ScreenImage* img);
// Lays the entry's states in columns of Rows - 6; stores each column's widest state
// text in widths (MENU_MAX_STATES entries) and returns the widest of all.
int GetColumnWidths(ScreenImage* img, TextMenuItem* item, int* widths);
// Writes the label, the save and cancel labels, the selection line and the prompt.
void WriteScreenFrame(ScreenImage* img, TextMenuItem* item, const char* selection);
// Draws one page of the entry's states from state first (from 0) into pScreen and
// prints it; hidden states are recorded in *hidden. Returns the number of states
// shown, or -1 when the terminal is too small (after a notice and a pause). With
// flPickListLines every state is printed, one a line.
int PrintPickOneManyScreen(TextMenuItem* item, uint32_t* hidden, int first);
// Lets the user choose states of entry index (from 0) on the full-screen list.
void ProcessStateValue(TextMenu* menu, int index, char* option);

// Terminal layer. Creates (img null) or resizes an image to the terminal's window
// (80 x 24 when standard output is no terminal); returns it (managed).
ScreenImage* GetTermInfo(ScreenImage* img);
// Moves the terminal's cursor to col (from 0) and row (from 1).
void MoveCursor(ScreenImage* img, int col, int row);
// Blanks the image and clears the terminal.
void ClearScreen(ScreenImage* img);

// ===== Menu descriptions (the menu program) =====

// A named value entry of a described menu.
struct MenuDescEntry {
  char* pName;      // the NAME of NAME=VALUE (managed)
  TextMenu* pMenu;  // the menu that holds the entry
  int Index;        // its index in that menu, from 0
};

// A menu built from a plain-text description (see README: "menu - menus for shell
// scripts"): the top menu, its submenus, and the named entries in file order.
struct MenuDescription {
  TextMenu* pTop;
  MenuDescEntry* pEntries;
  int EntryCnt;
  char* pName;  // the program name of the leave question, null when not given
};

// Builds the menus of a description text. Null after reporting every fault as
// "<source>:<line>: <reason>" on standard error. The menus live until the process ends.
MenuDescription* ParseMenuDescription(const char* text, const char* source);
// ParseMenuDescription of a file's content ("-": standard input); null when it
// cannot be read, reported as "PROGRAM: FILE: reason" (PROGRAM is my_name).
MenuDescription* LoadMenuDescription(const char* path);
// The current values as "NAME=VALUE\n" lines in file order: a choice gives its
// state's text, a several-states entry its chosen texts but the first (its "none")
// joined by ',', a float
// "%.3f". A new managed text (the caller releases it).
char* FormatMenuValues(const MenuDescription* desc);
