// help.h - the terminal help: HTML help pages parsed and rendered as text, and the
// navigator that shows them through the text menu engine with links and history.
#pragma once

#include "List/List.h"
#include "TextMenu/TextMenu.h"

struct DbTHandle;  // a typed database handle (Dbm/Dbm.h)

// ===== Limits =====

constexpr int HTML_MAX_FILES = 100;         // help files loaded at once
constexpr int HTML_COLUMNS = 132;           // width of the rendering grid
constexpr int HTML_TITLE_WIDTH = 80;        // a page title is centred in this width
constexpr int HTML_PIXELS_PER_COLUMN = 7;   // table sizes in pixels become columns
constexpr int HTML_MAX_TABLE_CELLS = 1000;  // rows, and columns, of one table
constexpr int HELP_HISTORY_SIZE = 100;      // pages the navigator remembers for Back
constexpr int HELP_LINK_TEXT_SIZE = 128;    // a link's menu label: 127 characters
constexpr int HELP_TMP_KEY_SIZE = 64;       // TmpKey: a redirect's record name, 63 characters

// Kinds of link records.
constexpr int HTML_LINK_NAME = 1;  // <a name=...>: an anchor
constexpr int HTML_LINK_HREF = 2;  // <a href=...>: a link

// ===== Data model =====

// One <a> of a page. While the page is drawn Row/Col and EndRow/EndCol hold the grid
// positions where the link begins and ends; after packing Start and End are offsets
// into the page's image, End = Start + DrawnLen.
struct HtmlLink {
  char* pTarget;  // value of name or href (points into the file's content), or null
  int Start;      // offset of the link's first character in the image
  int End;        // offset after its last character
  int DrawnLen;   // characters drawn, angle brackets included
  int Kind;       // HTML_LINK_NAME, HTML_LINK_HREF, 0 when the tag named neither
  int Row, Col;        // grid position of the start while drawing
  int EndRow, EndCol;  // grid position after the end while drawing; -1 until closed
};

// A measured table, in character cells.
struct HtmlTable {
  int Left, Top;      // grid position of the top-left corner
  int Width, Height;  // size, frame included
  int Padding;        // cell padding in columns
  int Spacing;        // cell spacing in columns
  int Frame;          // frame width: 1
  int Border;         // 1 when a frame is drawn
  int* pRowHeights;   // content lines of each row (managed)
  int* pColWidths;    // content columns of each column (managed)
  int RowCnt, ColCnt;
};

// One item of a head or body list: a tag (pTag set) or a run of text (pTag null).
// pValue is the tag's attribute text or the text itself; for "a" the HtmlLink, for
// "fitab" (a measured table) the HtmlTable.
struct HtmlItem {
  char* pTag;
  void* pValue;
  int Len;         // length of the value text, 0 for none
  int LeadBlank;   // the text begins with the blank that followed an inline tag
};

// One page of a help file.
struct HtmlPage {
  char* pName;   // page="..." of its html tag, null when unnamed ("contents")
  char* pImage;  // the rendered text (managed), null until rendered
  List* pHead;   // HtmlItem of the head
  List* pBody;   // HtmlItem of the body; its walk position is the renderer's
  List* pLinks;  // HtmlLink* in the order they were drawn
  int Lines;     // lines of the image
};

// One loaded help file.
struct HtmlFile {
  char* pName;     // the name without "file://" and without "#target" (managed)
  char* pContent;  // the text, parsed in place (managed)
  char* pCursor;   // parse position in pContent
  List* pPages;    // HtmlPage, in file order
};

// ===== Process-wide state =====

extern HtmlFile aFile[HTML_MAX_FILES];  // the loaded files
extern int FileIndex;                   // number of loaded files
extern int CurrentFile;                 // index of the current file
extern HtmlPage* pCurrentPage;          // the current page, null before any load

// The navigator's history: where the operator was before each move.
struct HelpHistoryEntry {
  int File;         // index into aFile
  HtmlPage* pPage;  // the page
  int TargetPos;    // TargetPos at that time
};
extern HelpHistoryEntry History[HELP_HISTORY_SIZE];
extern int HistoryI;            // entries in use
extern int TargetPos;           // offset in the current page the operator was sent to
extern char flBuildingFile;     // set while a file is loaded or a link followed
extern TextMenu HelpMenu;       // the help menu
extern TextMenuItem* HelpMenuItems;  // its entries (managed, grows, never shrinks)
extern int HelpMenuItemCnt;          // capacity of HelpMenuItems in entries
extern TextMenuItem HelpCommonItems[6];  // bar entries, Exit Help, Contents, Back, end
extern char TmpKey[HELP_TMP_KEY_SIZE];   // record name of the last redirect
extern DbTHandle* pPrtHelpDB;            // the printer-help catalogue, set by the program

// ===== HTML parser and text renderer =====

// Loads the help file name ("file://" and "#target" allowed; "http://" is refused),
// from text when given (copied), else from the file, renders every page and makes its
// first page current (then applies the target). Returns the file record (owned by
// aFile), or null: unreadable or empty file, no pages, or 100 files already loaded.
// A file already loaded is not read again: its first page becomes current.
HtmlFile* ParseHtmlFile(const char* name, const char* text);
// The loaded file of exactly this name, made current; null when none.
HtmlFile* FindHtmlFile(const char* name);
// The page of the file named name (an unnamed page also answers to "contents");
// null when none. name null gives the first page.
HtmlPage* FindHtmlPage(HtmlFile* file, const char* name);
// Parses items from the cursor into list up to the tag "/endTag" (any case), which
// is consumed. Stops without consuming at an html or /html tag (and at body for the
// head) so that a missing end tag loses no page; the end of the text also ends it.
void ParseHtml(HtmlFile* file, List* list, const char* endTag);
// The text of the next tag from the cursor (cut out of the content in place), the
// cursor placed after its '>'; comments are skipped. Null at the end of the text.
char* GetKeyWord(HtmlFile* file);
// Appends an item with the tag name (null for text), the value and its length; for
// the tag a the value becomes a new HtmlLink. Returns the item in the list, or null.
HtmlItem* AddAtribute(List* list, char* tag, char* value);

// Number of cells of the widest row of the table at the current page body's walk
// position (nested tables ignored); the walk position is kept. At most 1000.
int GetColumnCnt();
// Measures the table of item, whose tags follow at the body's walk position, with
// available width avail (0 for none); the walk ends after its /table. The item
// becomes "fitab" holding the returned record (managed); null when memory runs out.
HtmlTable* GetTextTable(HtmlFile* file, HtmlItem* item, int avail);
// Draws the table's frame (border) or blank area into the page grid.
void DrawTableArea(HtmlFile* file, HtmlTable* table);
// Draws the body items from the walk position at row and col: the whole page body
// (table null, the walk restarted) or a table up to its /table.
void BuildTextBody(HtmlFile* file, HtmlTable* table, int row, int col);
// Draws the current page's title and body into a new grid.
void BuildTextImage(HtmlFile* file);
// Copies len characters of text (len copies of text[0] with fill) into the grid at
// *row, *col and moves the position after them; text past column 132 runs on into
// the next rows, which the grid grows to hold.
void PrintText(HtmlFile* file, int* row, int* col, const char* text, int len, int fill);
// Renders the current page when it has no image yet and packs it: pImage, Lines and
// the links' offsets. Returns 1, or 0 when memory ran out.
int PrintTextImage(HtmlFile* file);

// ===== TTY help navigator =====

// Loads the help from text (when given) or the file; empties the history. 1 on
// success; 0 for no name or a load failure, after "Error in reading HTML file %s\n"
// or "Error reading HTML buffer\n" on standard error.
int HtmlHelp(const char* fileName, const char* text);
// Loads the help and runs the help menu until the operator leaves it. Nothing is
// shown when a name or the title is missing or the help cannot be loaded.
void TtyHtmlHelp(const char* fileName, const char* text, const char* title);
// Rebuilds HelpMenu's entries for the current page: the page text, its links as
// numbered entries, the bar and Exit Help, Contents and Back from the catalogue.
void TtyHelpBuildMenuItems();
// Entry actions of the help menu; each returns 0 (success).
int TtyHelpGotoLink(TextMenu* menu, TextMenuItem* item);
int TtyHelpContents(TextMenu* menu, TextMenuItem* item);
int TtyHelpBack(TextMenu* menu, TextMenuItem* item);
// Records the current file, page and TargetPos while fewer than 100 entries are used.
void SetHistory();
// Enters the page named target (a leading '#' dropped), or the page holding an anchor
// of that name, with a history entry; no match changes nothing. 1 when entered.
int GoToTarget(const char* target);
// Follows a link record: a "#target" in the current file, or another file (relative
// to the current file's folder), with a history entry. A file that cannot be loaded
// prints "Error in reading file %s\n" and the current page stays.
void ProcessLink(HtmlLink* link);
// 0: back to the first page of the first file, history emptied; -1: back to the last
// history entry. Returns 1, or 0 (nothing changed) when the history is empty.
int HtmlSetHistory(int how);
// Follows the link (kind 2) of the current page that covers offset, if any.
void HtmlProcessLink(int offset);
// The record name of a "$$name.redirect" in text (text is cut at its '.'), or null.
char* FindRedirect(char* text);
// When buf (NLS_REC_SIZE bytes) holds a redirect, replaces it with the record of that
// name from pPrtHelpDB and returns TmpKey holding the name; otherwise null, buf kept.
char* CheckForRedirect(char* buf);
// Installs the menu engine's help hook: "h" in a menu with MENU_HELP opens the
// navigator on pMenuHelpPage.
void TtyHelpInstallHook();
