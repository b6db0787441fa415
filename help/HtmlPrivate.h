// HtmlPrivate.h - what the files of the help renderer share: the tag set, the
// rendering grid of the page being drawn, and small text helpers.
#pragma once

#include "help/help.h"

namespace html_internal {

// Positions of the tags in HtmlKeys (1-based, 0 for a tag outside the set).
enum HtmlTag {
  TAG_NONE = 0,
  TAG_P, TAG_P_END, TAG_B, TAG_B_END, TAG_FONT, TAG_FONT_END, TAG_A, TAG_A_END,
  TAG_TR, TAG_TR_END, TAG_BR, TAG_TABLE, TAG_FITAB, TAG_TABLE_END, TAG_TD, TAG_TD_END,
  TAG_H1, TAG_H2, TAG_H3, TAG_H4, TAG_H5, TAG_H6,
  TAG_H1_END, TAG_H2_END, TAG_H3_END, TAG_H4_END, TAG_H5_END, TAG_H6_END,
  TAG_OL, TAG_OL_END, TAG_LI, TAG_LI_END, TAG_DIV, TAG_DIV_END, TAG_IMG,
  TAG_UL, TAG_UL_END, TAG_DL, TAG_DL_END, TAG_DT, TAG_DT_END, TAG_DD, TAG_DD_END,
  TAG_PRE, TAG_PRE_END
};

// The tag set, a keyword list matched without regard to case.
extern const char HtmlKeys[];

// Position of tag in HtmlKeys (any case), TAG_NONE for text or an unknown tag.
int TagIndex(const char* tag);
// True for the inline tags after which white space stands as one blank.
bool IsInlineTag(const char* tag);
// True for blank, tab, line feed and carriage return.
inline bool IsHtmlSpace(int c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// Value of key in an attribute text of key=value words (any case for the key), with
// a leading quote and everything from the next quote on removed, copied into out
// (size bytes). "" for a key without a value. False when the key is absent.
bool AttributeValue(const char* attrs, const char* key, char* out, int size);

// ----- The grid of the page being drawn (HtmlRender.cpp) -----

// Makes the grid hold at least rows rows (zero-filled) plus one zero row after them.
// False when memory ran out or the grid would pass its largest size.
bool GridEnsureRows(long rows);
// Puts ch at row, col (col may run past 132 into the next rows); ignored off the grid.
void GridPut(long row, long col, char ch);
// Number of table levels being drawn (0 on the page itself).
int GridTableDepth();

// Walk position of the current page's body, saved and restored around a look-ahead.
struct BodyWalk {
  ListLink* pWalk;
  long WalkBack;
};
BodyWalk SaveBodyWalk();
void RestoreBodyWalk(const BodyWalk& w);
// The current page's body list (null when there is no current page).
List* CurrentBody();

// Walks past the items of a table whose table item was just walked, to its /table
// (nested tables included).
void SkipTableItems();

}  // namespace html_internal
