// HtmlRender.cpp - draws a page into a grid of 132-column rows (title, headings,
// paragraphs, lists, links, tables) and packs the grid into the page's text image.
#include "help/HtmlPrivate.h"

#include "MemMgr/MemMgr.h"
#include "utils/utils.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <strings.h>

using namespace html_internal;

namespace {

// The largest grid: a page that would need more rows is cut there (some 26 MB).
constexpr long kMaxGridRows = 200000;
// Lists nested deeper than this are drawn with the indent of the deepest one.
constexpr int kMaxListDepth = 8;

struct RenderState {
  char* pCells = nullptr;  // rows of HTML_COLUMNS characters, zero-filled
  long Rows = 0;           // rows allocated, the spare zero row included
  int TableDepth = 0;      // table levels being drawn
} S;

// State of one BuildTextBody: the page itself or one table.
struct Drawing {
  HtmlFile* file;
  HtmlTable* table;     // null for the page
  int row = 0;
  int col = 0;
  bool listMode = false;
  // The open lists, innermost last: 'o' numbered, 'u' bulleted, 'd' definitions.
  char lists[kMaxListDepth] = {};
  int counters[kMaxListDepth] = {};
  int listDepth = 0;
  HtmlLink* link = nullptr;  // the <a> being drawn
  // Tables only:
  int cell = -1;        // index of the current cell in its row
  int rowFirst = 0;     // the current table row's first line
  int cellLeft = 0;     // the current cell's left column
  int rowIndex = 0;     // index of the current table row
  bool rowOpen = false;

  int LineStart() const { return table != nullptr ? cellLeft : 0; }
  void NewLine() {
    col = LineStart();
    ++row;
  }
  // True when text of the table's current cell may be drawn: the cell was measured.
  bool InCell() const {
    return table == nullptr ||
           (rowOpen && cell >= 0 && cell < table->ColCnt && rowIndex < table->RowCnt);
  }
  void Print(const char* text, int len) { PrintText(file, &row, &col, text, len, 0); }
};

void FreeGrid() {
  PutMem(S.pCells);
  S.pCells = nullptr;
  S.Rows = 0;
}

// A table row ends: the position goes below its lines and its separator.
void CloseTableRow(Drawing& d) {
  if (!d.rowOpen) return;
  const int height = d.rowIndex < d.table->RowCnt ? d.table->pRowHeights[d.rowIndex] : 0;
  d.row = d.rowFirst + height + 1;
  ++d.rowIndex;
  d.rowOpen = false;
}

void OpenTableRow(Drawing& d) {
  CloseTableRow(d);
  d.cell = -1;
  d.rowFirst = d.row;
  d.cellLeft = d.table->Left + d.table->Padding + 1;
  d.col = d.table->Left + 1;
  d.rowOpen = true;
}

void NextCell(Drawing& d) {
  if (!d.rowOpen) OpenTableRow(d);
  d.row = d.rowFirst;
  ++d.cell;
  if (d.cell > 0 && d.cell - 1 < d.table->ColCnt)
    d.cellLeft += 1 + d.table->pColWidths[d.cell - 1] + 2 * d.table->Padding;
  d.col = d.cellLeft;
}

// Starts a list item, a term or a preformatted block on a line of its own: the
// line end that the source's text brought along is taken back first, so that the
// items follow each other one a line.
void ItemLine(Drawing& d) {
  const long pos = static_cast<long>(d.row) * HTML_COLUMNS + d.col;
  if (d.col > d.LineStart() && pos > 0 && pos <= S.Rows * HTML_COLUMNS && S.pCells[pos - 1] == '\n') {
    S.pCells[pos - 1] = '\0';
    --d.col;
  }
  if (d.col > d.LineStart()) d.NewLine();
}

void OpenList(Drawing& d, char kind) {
  if (d.listDepth < kMaxListDepth) {
    d.lists[d.listDepth] = kind;
    d.counters[d.listDepth] = 0;
  }
  ++d.listDepth;
  d.listMode = true;
  ItemLine(d);
}

void CloseList(Drawing& d) {
  ItemLine(d);
  if (d.listDepth > 0) --d.listDepth;
  d.listMode = d.listDepth > 0;
}

// An item of the innermost list (li, dt or dd): its line, indent and mark.
void ListItem(Drawing& d, int tag) {
  if (d.listDepth == 0) return;
  const int level = std::min(d.listDepth, kMaxListDepth) - 1;
  const char kind = d.lists[level];
  ItemLine(d);
  char mark[64];
  int n = 0;
  const int indent = 3 * (level + 1);
  if (tag == TAG_DD)
    n = std::snprintf(mark, sizeof mark, "%*s", indent + 4, "");
  else if (tag == TAG_DT)
    n = std::snprintf(mark, sizeof mark, "%*s", indent, "");
  else if (kind == 'o')
    n = std::snprintf(mark, sizeof mark, "%*s%i. ", indent, "", ++d.counters[level]);
  else if (kind == 'u')
    n = std::snprintf(mark, sizeof mark, "%*s- ", indent, "");
  else
    n = std::snprintf(mark, sizeof mark, "%*s", indent, "");
  d.Print(mark, n);
}

// A table item (measured or not) met while drawing d.
void DrawTable(Drawing& d, HtmlItem* item, bool measured) {
  if (d.listMode) d.NewLine();
  if (d.table != nullptr && !d.InCell()) {
    // A table outside the measured cells is not drawn.
    SkipTableItems();
    return;
  }
  HtmlTable* t = static_cast<HtmlTable*>(item->pValue);
  if (!measured) {
    const int avail = d.table != nullptr ? d.table->pColWidths[d.cell] : 0;
    const BodyWalk walk = SaveBodyWalk();
    t = GetTextTable(d.file, item, avail);
    RestoreBodyWalk(walk);
    if (t == nullptr) {
      SkipTableItems();
      return;
    }
  }
  if (d.table == nullptr) {
    t->Left = d.col;
    t->Top = d.row;
  } else {
    t->Left = d.cellLeft;
    t->Top = d.col > d.cellLeft ? d.row + 1 : d.row;
  }
  BuildTextBody(d.file, t, t->Top, t->Left);
  d.row = t->Top + t->Height;
  d.col = t->Left;
}

void DrawText(Drawing& d, const HtmlItem* item) {
  if (!d.InCell() || item->pValue == nullptr) return;
  const char* text = static_cast<const char*>(item->pValue);
  int len = item->Len;
  // The blank after an inline tag is not drawn at the start of a line.
  if (item->LeadBlank && len > 0 && d.col == d.LineStart()) {
    ++text;
    --len;
  }
  d.Print(text, len);
}

// A paragraph, line break, heading or div tag: where the drawing goes on. Paragraphs
// leave a blank line on the page only; a heading or div end leaves one everywhere.
void DrawBreak(Drawing& d, int tag) {
  switch (tag) {
    case TAG_P:
      if (d.table == nullptr) {
        ++d.row;
        d.NewLine();
      }
      break;
    case TAG_P_END:
      if (d.table == nullptr) {
        ++d.row;
        d.col = 0;
      }
      break;
    case TAG_H1_END: case TAG_H2_END: case TAG_H3_END: case TAG_H4_END: case TAG_H5_END:
    case TAG_H6_END: case TAG_DIV_END:
      d.NewLine();
      ++d.row;
      break;
    default:
      d.NewLine();
      break;
  }
}

// An <a> in a drawable cell becomes the open link: its start is recorded and an href
// draws its "<".
void OpenLink(Drawing& d, HtmlItem* item) {
  if (!d.InCell()) return;
  d.link = static_cast<HtmlLink*>(item->pValue);
  d.link->Row = d.row;
  d.link->Col = d.col;
  d.link->EndRow = -1;
  if (d.link->Kind == HTML_LINK_HREF) d.Print("<", 1);
}

// Closes the open link, if any: an href draws its ">", and the link, its end and drawn
// length recorded, joins the page's links.
void CloseLink(Drawing& d) {
  if (d.link == nullptr) return;
  if (d.link->Kind == HTML_LINK_HREF) d.Print(">", 1);
  d.link->EndRow = d.row;
  d.link->EndCol = d.col;
  d.link->DrawnLen = (d.row - d.link->Row) * HTML_COLUMNS + d.col - d.link->Col;
  if (pCurrentPage != nullptr) ListPushItem(pCurrentPage->pLinks, &d.link, sizeof d.link);
  d.link = nullptr;
}

// A row, cell or table end tag; it acts only while drawing a table, and false at the
// table's /table.
bool DrawTableTag(Drawing& d, int tag) {
  if (d.table == nullptr) return true;
  switch (tag) {
    case TAG_TABLE_END:
      CloseTableRow(d);
      return false;
    case TAG_TR: OpenTableRow(d); break;
    case TAG_TD: NextCell(d); break;
    case TAG_TR_END: CloseTableRow(d); break;
    default: break;
  }
  return true;
}

// Acts on one tag; false when it ends the drawing (the /table of d's table).
bool DrawTag(Drawing& d, HtmlItem* item) {
  const int tag = TagIndex(item->pTag);
  switch (tag) {
    case TAG_P: case TAG_P_END: case TAG_BR:
    case TAG_H1: case TAG_H2: case TAG_H3: case TAG_H4: case TAG_H5: case TAG_H6:
    case TAG_DIV:
    case TAG_H1_END: case TAG_H2_END: case TAG_H3_END: case TAG_H4_END: case TAG_H5_END:
    case TAG_H6_END: case TAG_DIV_END:
      DrawBreak(d, tag);
      break;
    case TAG_A: OpenLink(d, item); break;
    case TAG_A_END: CloseLink(d); break;
    case TAG_OL: OpenList(d, 'o'); break;
    case TAG_UL: OpenList(d, 'u'); break;
    case TAG_DL: OpenList(d, 'd'); break;
    case TAG_OL_END: case TAG_UL_END: case TAG_DL_END: CloseList(d); break;
    case TAG_LI: case TAG_DT: case TAG_DD: ListItem(d, tag); break;
    case TAG_PRE: case TAG_PRE_END: ItemLine(d); break;
    case TAG_TABLE: DrawTable(d, item, false); break;
    case TAG_FITAB: DrawTable(d, item, true); break;
    case TAG_TABLE_END: case TAG_TR: case TAG_TD: case TAG_TR_END: return DrawTableTag(d, tag);
    default: break;
  }
  return true;
}

// Rows of the packed image: the last drawn row and every row holding text count.
int UsedLines(int row) {
  long last = -1;
  for (long r = S.Rows - 1; r >= 0 && last < 0; --r) {
    const char* cells = S.pCells + r * HTML_COLUMNS;
    for (int c = 0; c < HTML_COLUMNS; ++c) {
      if (cells[c] != '\0') {
        last = r;
        break;
      }
    }
  }
  return static_cast<int>(std::max<long>(row, last + 1));
}

// Zero bytes left of a row's last character become blanks, so that a row whose text
// starts right of column 0 (a table placed after text) is not lost when packed.
void FillGaps(int lines) {
  for (long r = 0; r < lines && r < S.Rows; ++r) {
    char* cells = S.pCells + r * HTML_COLUMNS;
    int last = HTML_COLUMNS - 1;
    while (last >= 0 && cells[last] == '\0') --last;
    for (int c = 0; c < last; ++c)
      if (cells[c] == '\0') cells[c] = ' ';
  }
}

// Packs the grid's first lines rows into the page's image and turns the link
// positions into offsets. False when memory ran out.
bool PackImage(HtmlPage* page, int lines) {
  FillGaps(lines);
  const size_t cap = static_cast<size_t>(S.Rows) * (HTML_COLUMNS + 1) + 1;
  char* image = static_cast<char*>(GetMem(cap));
  auto* offsets = static_cast<long*>(GetMem(sizeof(long) * static_cast<size_t>(S.Rows + 1)));
  if (image == nullptr || offsets == nullptr) {
    PutMem(image);
    PutMem(offsets);
    return false;
  }
  long pos = 0;
  long r = 0;
  while (r < lines && r < S.Rows) {
    const char* text = S.pCells + r * HTML_COLUMNS;
    const long len = static_cast<long>(strnlen(text, static_cast<size_t>((S.Rows - r) * HTML_COLUMNS)));
    // A text that ran on into the following rows counts for all of them.
    const long covered = len / HTML_COLUMNS + 1;
    for (long i = 0; i < covered && r + i <= S.Rows; ++i) offsets[r + i] = pos + i * HTML_COLUMNS;
    std::memcpy(image + pos, text, static_cast<size_t>(len));
    pos += len;
    image[pos++] = '\n';
    r += covered;
  }
  for (long i = r; i <= S.Rows; ++i) offsets[i] = pos;
  image[pos] = '\0';

  auto offsetOf = [&](int row, int col) {
    if (row < 0) return 0L;
    if (row > S.Rows) return pos;
    return std::min(offsets[row] + col, pos);
  };
  for (auto** pl = static_cast<HtmlLink**>(ListWalk(page->pLinks, 0)); pl != nullptr;
       pl = static_cast<HtmlLink**>(ListWalk(page->pLinks, 1))) {
    HtmlLink* link = *pl;
    link->Start = static_cast<int>(offsetOf(link->Row, link->Col));
    link->End = link->EndRow >= 0 ? static_cast<int>(offsetOf(link->EndRow, link->EndCol)) : link->Start;
    if (link->End < link->Start) link->End = link->Start;
    link->DrawnLen = link->End - link->Start;
  }
  PutMem(offsets);
  page->pImage = image;
  page->Lines = lines;
  return true;
}

}  // namespace

namespace html_internal {

bool GridEnsureRows(long rows) {
  const long need = rows + 1;  // a zero row always ends the grid
  if (need <= S.Rows) return true;
  if (need > kMaxGridRows) return false;
  long grow = std::max(need, std::min(kMaxGridRows, S.Rows * 2));
  auto* cells = static_cast<char*>(AdjustMem(S.pCells, static_cast<size_t>(grow) * HTML_COLUMNS));
  if (cells == nullptr) return false;
  std::memset(cells + S.Rows * HTML_COLUMNS, 0, static_cast<size_t>(grow - S.Rows) * HTML_COLUMNS);
  S.pCells = cells;
  S.Rows = grow;
  return true;
}

void GridPut(long row, long col, char ch) {
  if (row < 0 || col < 0) return;
  const long pos = row * HTML_COLUMNS + col;
  if (!GridEnsureRows(pos / HTML_COLUMNS + 1)) return;
  S.pCells[pos] = ch;
}

int GridTableDepth() { return S.TableDepth; }

}  // namespace html_internal

void PrintText(HtmlFile* /*file*/, int* row, int* col, const char* text, int len, int fill) {
  if (row == nullptr || col == nullptr || text == nullptr || len <= 0) return;
  long pos = static_cast<long>(*row) * HTML_COLUMNS + *col;
  if (pos < 0) return;
  if (GridEnsureRows((pos + len) / HTML_COLUMNS + 1)) {
    for (int i = 0; i < len; ++i) {
      char ch = fill ? text[0] : text[i];
      // Inside a table a line break or tab would tear the frame: it is a blank.
      if (S.TableDepth > 0 && (ch == '\n' || ch == '\r' || ch == '\t')) ch = ' ';
      if (ch == '\0') ch = ' ';
      S.pCells[pos + i] = ch;
    }
  }
  // The position after the text; text past column 132 went on into the next rows.
  pos += len;
  *row = static_cast<int>(pos / HTML_COLUMNS);
  *col = static_cast<int>(pos % HTML_COLUMNS);
}

void BuildTextBody(HtmlFile* file, HtmlTable* table, int row, int col) {
  if (pCurrentPage == nullptr || pCurrentPage->pBody == nullptr) return;
  Drawing d{file, table};
  d.row = row;
  d.col = col;
  List* body = pCurrentPage->pBody;
  int index = 1;
  if (table != nullptr) {
    DrawTableArea(file, table);
    d.row = table->Top + 1;
    d.rowFirst = d.row;
    d.cellLeft = table->Left + table->Padding + 1;
    ++S.TableDepth;
  } else {
    index = 0;
  }
  for (auto* item = static_cast<HtmlItem*>(ListWalk(body, index)); item != nullptr;
       item = static_cast<HtmlItem*>(ListWalk(body, 1))) {
    if (item->pTag == nullptr) {
      DrawText(d, item);
    } else if (!DrawTag(d, item)) {
      break;
    }
  }
  if (table != nullptr) {
    CloseTableRow(d);
    --S.TableDepth;
    return;
  }
  pCurrentPage->Lines = d.row;
}

void BuildTextImage(HtmlFile* file) {
  HtmlPage* page = pCurrentPage;
  if (page == nullptr) return;
  FreeGrid();
  S.TableDepth = 0;
  GridEnsureRows(page->pBody->Count + 3);
  int row = 0;
  int col = 0;
  // The title: the texts between title and /title, centred in 80 columns.
  char title[HTML_COLUMNS * 8];
  int len = 0;
  bool inTitle = false;
  bool hasTitle = false;
  for (auto* item = static_cast<HtmlItem*>(ListWalk(page->pHead, 0)); item != nullptr;
       item = static_cast<HtmlItem*>(ListWalk(page->pHead, 1))) {
    if (item->pTag == nullptr) {
      if (!inTitle || item->pValue == nullptr) continue;
      hasTitle = true;
      const int n = std::min(item->Len, static_cast<int>(sizeof title) - 1 - len);
      std::memcpy(title + len, item->pValue, static_cast<size_t>(n));
      len += n;
    } else if (strcasecmp(item->pTag, "title") == 0) {
      inTitle = true;
    } else if (strcasecmp(item->pTag, "/title") == 0) {
      if (inTitle) break;
    }
  }
  if (hasTitle) {
    // A title is one line: its line breaks are blanks. One longer than 80
    // characters starts at column 0.
    for (int i = 0; i < len; ++i)
      if (title[i] == '\n' || title[i] == '\r' || title[i] == '\t') title[i] = ' ';
    col = len < HTML_TITLE_WIDTH ? (HTML_TITLE_WIDTH - len) / 2 : 0;
    PrintText(file, &row, &col, title, len, 0);
    const long end = static_cast<long>(row) * HTML_COLUMNS + col - 1;
    row = static_cast<int>(end / HTML_COLUMNS) + 2;
    col = 0;
  }
  BuildTextBody(file, nullptr, row, 0);
}

int PrintTextImage(HtmlFile* file) {
  HtmlPage* page = pCurrentPage;
  if (page == nullptr) return 0;
  if (page->pImage != nullptr) return 1;
  BuildTextImage(file);
  const bool ok = S.pCells != nullptr && PackImage(page, UsedLines(page->Lines));
  FreeGrid();
  if (!ok) page->pImage = SaveStr_("");
  return ok ? 1 : 0;
}
