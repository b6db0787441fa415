// Screen.cpp - the character image of the terminal: writing and filling it,
// printing it in one pass, message boxes, and the terminal layer that sizes the
// image and moves the real cursor.
#include "TextMenu/TextMenuPrivate.h"

#include "MemMgr/MemMgr.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include <sys/ioctl.h>
#include <unistd.h>

using namespace menu_internal;

ScreenImage* pScreen = nullptr;

namespace {

constexpr int kDefaultColumns = 80;
constexpr int kDefaultRows = 24;
constexpr int kMaxSide = 1000;  // larger window sizes are taken as this

bool HasCells(const ScreenImage* img) {
  return img != nullptr && img->pCells != nullptr && img->Columns > 0 && img->Rows > 0;
}

void PrintStars(int n) {
  for (int i = 0; i < n; ++i) std::fputc('*', stdout);
}

}  // namespace

void SetPosition(ScreenImage* img, int col, int row) {
  if (img == nullptr) return;
  img->CursorCol = col;
  img->CursorRow = row;
}

void SetOvlInfo(ScreenImage* img, int col, int row, int width, int height) {
  if (img == nullptr) return;
  img->OvlCol = col;
  img->OvlRow = row;
  img->OvlWidth = width;
  img->OvlHeight = height;
}

void WriteString(ScreenImage* img, const char* fmt, ...) {
  if (!HasCells(img) || fmt == nullptr) return;
  if (img->CursorRow < 1 || img->CursorRow > img->Rows) img->CursorRow = 1;
  if (img->CursorCol < 0 || img->CursorCol >= img->Columns) img->CursorCol = 0;
  char text[SCREEN_STRING_SIZE];
  va_list ap;
  va_start(ap, fmt);
  const int n = std::vsnprintf(text, sizeof text, fmt, ap);
  va_end(ap);
  if (n <= 0) return;
  const size_t total = static_cast<size_t>(img->Columns) * static_cast<size_t>(img->Rows);
  const size_t at = static_cast<size_t>(img->CursorRow - 1) * static_cast<size_t>(img->Columns) +
                    static_cast<size_t>(img->CursorCol);
  const size_t len = std::min(std::strlen(text), total - at);
  std::memcpy(img->pCells + at, text, len);
}

void FillArea(ScreenImage* img, int col, int row, int width, int height, int ch) {
  if (!HasCells(img)) return;
  const int c0 = std::max(col, 0);
  const int r0 = std::max(row, 0);
  const int c1 = std::min(col + width, img->Columns);
  const int r1 = std::min(row + height, img->Rows);
  for (int r = r0; r < r1; ++r)
    for (int c = c0; c < c1; ++c) img->pCells[r * img->Columns + c] = static_cast<char>(ch);
}

int Refresh(ScreenImage* img) {
  if (!HasCells(img)) return 0;
  for (int r = 0; r < img->Rows; ++r) {
    for (int c = 0; c < img->Columns; ++c) {
      // The last cell is left out so that the terminal does not scroll.
      if (r == img->Rows - 1 && c == img->Columns - 1) break;
      const char ch = img->pCells[r * img->Columns + c];
      if (ch == '\n') {
        std::fputc('\n', stdout);
        break;
      }
      std::fputc(ch != '\0' ? ch : ' ', stdout);
    }
  }
  std::fflush(stdout);
  return 0;
}

void Overlay(ScreenImage* img, const char* text, int wait) {
  if (img == nullptr) return;
  const int width = std::max(img->OvlWidth, 0);
  const int frame = width + 4;
  int row = img->OvlRow;
  MoveCursor(img, img->OvlCol, row++);
  PrintStars(frame);
  const char* p = text != nullptr ? text : "";
  for (int lines = 0; *p != '\0' && lines < img->OvlHeight + 3; ++lines) {
    MoveCursor(img, img->OvlCol, row++);
    std::fputs("* ", stdout);
    int n = 0;
    for (; n < width && *p != '\0' && *p != '\n'; ++n) std::fputc(*p++, stdout);
    std::printf("%*s *", width - n, "");
    if (*p == '\n') ++p;
  }
  if (*p == '\0' && wait) {
    MoveCursor(img, img->OvlCol, row++);
    constexpr const char* kPress = "* Press enter";
    const int len = static_cast<int>(std::strlen(kPress));
    std::printf("%s%*s*", kPress, std::max(frame - 1 - len, 0), "");
  }
  MoveCursor(img, img->OvlCol, row);
  PrintStars(frame);
  std::fflush(stdout);
  if (wait) {
    char line[MENU_LINE_SIZE];
    ReadLine(line, sizeof line);
  }
  MoveCursor(img, img->CursorCol, img->CursorRow);
  std::fflush(stdout);
}

void NumberScreen(ScreenImage* img) {
  if (!HasCells(img)) return;
  const int rows = std::min(kDefaultRows, img->Rows);
  const int cols = std::min(kDefaultColumns, img->Columns);
  for (int r = 0; r < rows; ++r)
    for (int c = 0; c < cols; ++c) img->pCells[r * img->Columns + c] = static_cast<char>('0' + c % 10);
}

ScreenImage* GetTermInfo(ScreenImage* img) {
  int cols = kDefaultColumns;
  int rows = kDefaultRows;
  winsize ws = {};
  if (isatty(STDOUT_FILENO) && ioctl(STDOUT_FILENO, TIOCGWINSZ, &ws) == 0 && ws.ws_col > 0 && ws.ws_row > 0) {
    cols = std::min<int>(ws.ws_col, kMaxSide);
    rows = std::min<int>(ws.ws_row, kMaxSide);
  }
  if (img == nullptr) img = static_cast<ScreenImage*>(GetMem(sizeof(ScreenImage)));
  if (img == nullptr) return nullptr;
  if (img->pCells == nullptr || img->Columns != cols || img->Rows != rows) {
    PutMem(img->pCells);
    img->pCells = static_cast<char*>(GetMem(static_cast<size_t>(cols) * static_cast<size_t>(rows) + 1));
    if (img->pCells == nullptr) {
      img->Columns = img->Rows = 0;
      return img;
    }
    img->Columns = cols;
    img->Rows = rows;
  }
  std::memset(img->pCells, ' ', static_cast<size_t>(cols) * static_cast<size_t>(rows));
  img->CursorCol = 0;
  img->CursorRow = 1;
  return img;
}

void MoveCursor(ScreenImage* /*img*/, int col, int row) {
  if (!isatty(STDOUT_FILENO)) return;
  std::printf("\033[%d;%dH", std::max(row, 1), std::max(col, 0) + 1);
}

void ClearScreen(ScreenImage* img) {
  if (HasCells(img)) {
    std::memset(img->pCells, ' ', static_cast<size_t>(img->Columns) * static_cast<size_t>(img->Rows));
    img->CursorCol = 0;
    img->CursorRow = 1;
  }
  ClearTerminal();
}
