// HtmlTable.cpp - measures tables (columns, rows, widths in pixels or percent, nested
// tables) and draws their frames into the page grid.
#include "help/HtmlPrivate.h"

#include "MemMgr/MemMgr.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <strings.h>

using namespace html_internal;

namespace {

// Pixel sizes and percentages are cut here, so that no table passes 10000 columns.
constexpr long kMaxPixels = 70000;
constexpr long kMaxPercent = 1000;
constexpr int kMaxWidth = 10000;

// The shape of the table whose items follow the walk position: the cells of its
// widest row and its rows (a cell before any tr opens a row). The walk ends after
// the table's /table.
struct Shape {
  int cols = 0;
  int rows = 0;
};

Shape WalkShape(List* body) {
  Shape s;
  int depth = 0;
  int cells = 0;
  bool rowOpen = false;
  for (auto* item = static_cast<HtmlItem*>(ListWalk(body, 1)); item != nullptr;
       item = static_cast<HtmlItem*>(ListWalk(body, 1))) {
    const int tag = TagIndex(item->pTag);
    if (tag == TAG_TABLE || tag == TAG_FITAB) {
      ++depth;
    } else if (tag == TAG_TABLE_END) {
      if (depth == 0) break;
      --depth;
    } else if (depth > 0) {
      continue;
    } else if (tag == TAG_TR) {
      if (rowOpen) ++s.rows;
      rowOpen = true;
      cells = 0;
    } else if (tag == TAG_TR_END) {
      if (rowOpen) ++s.rows;
      rowOpen = false;
    } else if (tag == TAG_TD) {
      if (!rowOpen) cells = 0;
      rowOpen = true;
      s.cols = std::max(s.cols, ++cells);
    }
  }
  if (rowOpen) ++s.rows;
  s.cols = std::min(s.cols, HTML_MAX_TABLE_CELLS);
  s.rows = std::min(s.rows, HTML_MAX_TABLE_CELLS);
  return s;
}

long Clamp(long v, long lo, long hi) { return std::max(lo, std::min(hi, v)); }

// A width attribute: pixels, or a percentage when its own value holds '%'.
struct Width {
  bool given = false;
  bool percent = false;
  long value = 0;
};

Width ReadWidth(const char* attrs) {
  Width w;
  char text[64];
  if (!AttributeValue(attrs, "width", text, sizeof text)) return w;
  w.given = true;
  w.percent = std::strchr(text, '%') != nullptr;
  w.value = Clamp(std::atol(text), 0, w.percent ? kMaxPercent : kMaxPixels);
  return w;
}

// Measuring state of one table.
struct Measure {
  HtmlFile* file;
  HtmlTable* t;
  int* given;          // widths given to the columns by their td, 0 when none
  int tableWidth = 0;  // 0 when not known
  bool rowOpen = false;
  int rowIndex = 0;
  int rowHeight = 0;
  int cell = -1;
  // The current cell's lines, followed as they will be drawn.
  int line = 0;        // current line within the cell
  int col = 0;         // column within the current line
  int lines = 0;       // lines holding something
  int listKind = 0;    // TAG_OL, TAG_UL or TAG_DL of the open list; 0 outside lists
  int counter = 0;
  bool inLink = false;

  bool InCell() const { return rowOpen && cell >= 0 && cell < t->ColCnt && rowIndex < t->RowCnt; }
  void Widen(int width) {
    if (InCell()) t->pColWidths[cell] = std::max(t->pColWidths[cell], std::min(width, kMaxWidth));
  }
  void Used(int through) {
    lines = std::max(lines, through);
    rowHeight = std::max(rowHeight, lines);
  }
  void NewLine(int n) {
    line += n;
    col = 0;
  }
  void CloseRow() {
    if (!rowOpen) return;
    if (rowIndex < t->RowCnt) t->pRowHeights[rowIndex] = rowHeight;
    ++rowIndex;
    rowOpen = false;
  }
  void OpenRow() {
    CloseRow();
    rowOpen = true;
    rowHeight = 0;
    cell = -1;
  }
  void Text(const HtmlItem* item) {
    if (!InCell() || item->pValue == nullptr) return;
    int len = item->Len;
    if (item->LeadBlank && col == 0) --len;
    col += std::max(len, 0);
    Widen(col);
    Used(line + 1);
  }
  void Cell(const HtmlItem* item) {
    if (!rowOpen) OpenRow();
    ++cell;
    line = col = lines = 0;
    listKind = 0;
    inLink = false;
    if (!InCell() || tableWidth <= 0 || given[cell] != 0) return;
    const Width w = ReadWidth(static_cast<const char*>(item->pValue));
    if (!w.given) return;
    const long v = w.percent ? tableWidth * w.value / 100 - 2 * t->Padding - t->Frame
                             : w.value / HTML_PIXELS_PER_COLUMN;
    given[cell] = static_cast<int>(Clamp(v, 0, kMaxWidth));
  }
  void Nested(HtmlItem* item, int tag) {
    HtmlTable* n = static_cast<HtmlTable*>(item->pValue);
    if (tag == TAG_FITAB) SkipTableItems();  // measured before: only walk past it
    if (tag == TAG_TABLE) {
      const int avail = InCell() ? given[cell] : 0;
      n = GetTextTable(file, item, avail);
      if (n == nullptr) return;
    }
    if (!InCell()) return;
    const int top = line + (col > 0 ? 1 : 0);
    line = top + n->Height;
    col = 0;
    Widen(n->Width);
    Used(line);
  }
};

// The table tag's own attributes, sizes in pixels.
struct TableAttrs {
  int border = 0;       // 1 when the tag holds border
  long borderSize = 0;  // border's value, 1 when it has none
  long spacingPx = 0;
  long paddingPx = 0;
  Width width;
};

// Reads border, cellspacing, cellpadding and width from the table tag's attributes;
// each missing one reads as 0 (not given).
TableAttrs ReadTableAttrs(const char* attrs) {
  TableAttrs a;
  char text[64];
  if (AttributeValue(attrs, "border", text, sizeof text)) {
    a.border = 1;
    a.borderSize = text[0] != '\0' ? Clamp(std::atol(text), 0, kMaxPixels) : 1;
  }
  if (AttributeValue(attrs, "cellspacing", text, sizeof text))
    a.spacingPx = Clamp(std::atol(text), 0, kMaxPixels);
  if (AttributeValue(attrs, "cellpadding", text, sizeof text))
    a.paddingPx = Clamp(std::atol(text), 0, kMaxPixels);
  a.width = ReadWidth(attrs);
  return a;
}

// Allocates a table for `shape` (column widths and row heights zeroed by GetMem) and
// the columns' given widths; false, holding nothing, when memory runs out.
bool AllocTable(const Shape& shape, HtmlTable** table, int** given) {
  auto* t = static_cast<HtmlTable*>(GetMem(sizeof(HtmlTable)));
  auto* g = static_cast<int*>(GetMem(sizeof(int) * static_cast<size_t>(shape.cols + 1)));
  if (t != nullptr) {
    t->pColWidths = static_cast<int*>(GetMem(sizeof(int) * static_cast<size_t>(shape.cols + 1)));
    t->pRowHeights = static_cast<int*>(GetMem(sizeof(int) * static_cast<size_t>(shape.rows + 1)));
  }
  if (t == nullptr || g == nullptr || t->pColWidths == nullptr || t->pRowHeights == nullptr) {
    if (t != nullptr) {
      PutMem(t->pColWidths);
      PutMem(t->pRowHeights);
    }
    PutMem(t);
    PutMem(g);
    return false;
  }
  *table = t;
  *given = g;
  return true;
}

// The width in columns left for the cells' text by the table's width attribute: pixels
// less padding, spacing and borders, or a percentage of `avail`; 0 when not known.
int GivenTableWidth(const TableAttrs& a, long cols, int avail) {
  if (!a.width.given) return 0;
  if (!a.width.percent) {
    const long w = (a.width.value - 2 * a.paddingPx * cols - (cols + 1) * a.spacingPx -
                    (cols + 1) * a.borderSize) / HTML_PIXELS_PER_COLUMN;
    return static_cast<int>(Clamp(w, 0, kMaxWidth));
  }
  if (avail > 0) return static_cast<int>(Clamp(avail * a.width.value / 100, 0, kMaxWidth));
  return 0;
}

// Measures a list's item mark (li, dt or dd) as the page draws it: on a line of its own
// (a new line only when the current one holds something), before the item's text.
void MeasureListMark(Measure& m, int kind) {
  if (m.listKind == 0 || !m.InCell()) return;
  if (m.col > 0) m.NewLine(1);
  if (kind == TAG_DD) {
    m.col = 7;
  } else if (kind == TAG_DT || m.listKind == TAG_DL) {
    m.col = 3;
  } else if (m.listKind == TAG_UL) {
    m.col = 5;
  } else {
    char text[32];
    m.col = std::snprintf(text, sizeof text, "   %i. ", ++m.counter);
  }
  m.Widen(m.col);
  m.Used(m.line + 1);
}

// Measures one tag of the table's rows and cells into `m`.
void MeasureTag(Measure& m, HtmlItem* it, int tag) {
  switch (tag) {
    case TAG_TR: m.OpenRow(); break;
    case TAG_TR_END: m.CloseRow(); break;
    case TAG_TD: m.Cell(it); break;
    case TAG_TD_END: m.line = m.col = m.lines = 0; break;
    case TAG_TABLE:
    case TAG_FITAB: m.Nested(it, tag); break;
    case TAG_A: {
      const auto* link = static_cast<const HtmlLink*>(it->pValue);
      m.inLink = link != nullptr && link->Kind == HTML_LINK_HREF;
      // A link's angle brackets are drawn in the cell and count in its width.
      if (m.inLink && m.InCell()) m.Widen(++m.col);
      break;
    }
    case TAG_A_END:
      if (m.inLink && m.InCell()) m.Widen(++m.col);
      m.inLink = false;
      break;
    case TAG_BR: case TAG_H1: case TAG_H2: case TAG_H3: case TAG_H4: case TAG_H5:
    case TAG_H6: case TAG_DIV:
      m.NewLine(1);
      break;
    case TAG_H1_END: case TAG_H2_END: case TAG_H3_END: case TAG_H4_END: case TAG_H5_END:
    case TAG_H6_END: case TAG_DIV_END:
      m.NewLine(2);
      break;
    // Nested lists are measured as first-level ones.
    case TAG_OL: case TAG_UL: case TAG_DL:
      m.listKind = tag;
      m.counter = 0;
      if (m.col > 0) m.NewLine(1);
      break;
    case TAG_OL_END: case TAG_UL_END: case TAG_DL_END:
      m.listKind = 0;
      if (m.col > 0) m.NewLine(1);
      break;
    case TAG_LI: case TAG_DT: case TAG_DD: MeasureListMark(m, tag); break;
    default: break;
  }
}

// Measure: walks the table's rows and cells up to and past its /table, widening the
// columns and rows to what they hold.
void MeasureItems(Measure& m, List* body) {
  for (auto* it = static_cast<HtmlItem*>(ListWalk(body, 1)); it != nullptr;
       it = static_cast<HtmlItem*>(ListWalk(body, 1))) {
    if (it->pTag == nullptr) {
      m.Text(it);
      continue;
    }
    const int tag = TagIndex(it->pTag);
    if (tag == TAG_TABLE_END) break;
    MeasureTag(m, it, tag);
  }
  m.CloseRow();
}

// Lay out: the columns take their given widths when the table's width is known, and the
// table its width (given, or the sum of its columns and frames) and height.
void LayOut(Measure& m) {
  HtmlTable* t = m.t;
  const long cols = t->ColCnt;
  long sum = 0;
  for (int c = 0; c < t->ColCnt; ++c) {
    if (m.tableWidth > 0 && m.given[c] > 0) t->pColWidths[c] = m.given[c];
    sum += t->pColWidths[c];
  }
  t->Width = m.tableWidth > 0 ? m.tableWidth
                              : static_cast<int>(Clamp(2L * t->Padding * cols + cols + 1 + sum, 1, 1L << 24));
  long height = t->RowCnt + 1;
  for (int r = 0; r < t->RowCnt; ++r) height += t->pRowHeights[r];
  t->Height = static_cast<int>(std::min<long>(height, 1L << 24));
}

}  // namespace

namespace html_internal {

List* CurrentBody() { return pCurrentPage != nullptr ? pCurrentPage->pBody : nullptr; }

BodyWalk SaveBodyWalk() {
  List* body = CurrentBody();
  if (body == nullptr) return BodyWalk{nullptr, 0};
  return BodyWalk{body->pWalk, body->WalkBack};
}

void RestoreBodyWalk(const BodyWalk& w) {
  List* body = CurrentBody();
  if (body == nullptr) return;
  body->pWalk = w.pWalk;
  body->WalkBack = w.WalkBack;
}

void SkipTableItems() {
  if (List* body = CurrentBody()) WalkShape(body);
}

}  // namespace html_internal

int GetColumnCnt() {
  List* body = CurrentBody();
  if (body == nullptr) return 0;
  const BodyWalk walk = SaveBodyWalk();
  const Shape s = WalkShape(body);
  RestoreBodyWalk(walk);
  return s.cols;
}

HtmlTable* GetTextTable(HtmlFile* file, HtmlItem* item, int avail) {
  List* body = CurrentBody();
  if (item == nullptr || body == nullptr) return nullptr;
  if (TagIndex(item->pTag) == TAG_FITAB) return static_cast<HtmlTable*>(item->pValue);

  const TableAttrs attrs = ReadTableAttrs(static_cast<const char*>(item->pValue));
  const BodyWalk walk = SaveBodyWalk();
  const Shape shape = WalkShape(body);
  RestoreBodyWalk(walk);

  HtmlTable* t = nullptr;
  int* given = nullptr;
  if (!AllocTable(shape, &t, &given)) {
    WalkShape(body);
    return nullptr;
  }
  t->ColCnt = shape.cols;
  t->RowCnt = shape.rows;
  t->Border = attrs.border;
  t->Frame = 1;
  t->Padding = static_cast<int>(attrs.paddingPx / HTML_PIXELS_PER_COLUMN);
  t->Spacing = static_cast<int>(attrs.spacingPx / HTML_PIXELS_PER_COLUMN);

  Measure m{file, t, given};
  m.tableWidth = GivenTableWidth(attrs, shape.cols, avail);
  MeasureItems(m, body);

  item->pTag = const_cast<char*>("fitab");
  item->pValue = t;
  LayOut(m);
  PutMem(given);
  return t;
}

void DrawTableArea(HtmlFile* /*file*/, HtmlTable* t) {
  if (t == nullptr || t->Width <= 0 || t->Height <= 0) return;
  const long left = t->Left;
  const long right = left + t->Width - 1;
  GridEnsureRows(t->Top + t->Height);
  if (!t->Border) {
    for (long r = t->Top; r < t->Top + t->Height; ++r)
      for (long c = left; c <= right; ++c) GridPut(r, c, ' ');
    return;
  }
  // One line across the table: fill between the ends, ch at the column boundaries.
  auto line = [&](long r, char end, char fill, char boundary) {
    for (long c = left + 1; c < right; ++c) GridPut(r, c, fill);
    long b = left;
    for (int k = 0; k < t->ColCnt; ++k) {
      b += 1 + 2L * t->Padding + t->pColWidths[k];
      if (b > left && b < right) GridPut(r, b, boundary);
    }
    GridPut(r, left, end);
    GridPut(r, right, end);
  };
  long r = t->Top;
  for (int i = 0; i < t->RowCnt; ++i) {
    line(r++, '|', '-', '+');
    for (int k = 0; k < t->pRowHeights[i]; ++k) line(r++, '|', ' ', '|');
  }
  line(r, '\'', '-', '+');
  GridPut(t->Top, left, ',');
  GridPut(t->Top, right, ',');
}
