// MenuText.cpp - the engine's catalogue texts, its line input from the terminal, and
// the label and state texts of entries.
#include "TextMenu/TextMenuPrivate.h"

#include "MemMgr/MemMgr.h"
#include "NlsUtils/Nls.h"

#include <cstdio>
#include <cstring>

#include <unistd.h>

char flInputEnded = 0;

namespace {

// One catalogue text kept for the life of the process.
struct CachedMsg {
  int Set;
  int Num;
  const char* pKey;  // text key, null for a numbered message
  char* pText;       // managed copy
};

constexpr int kCacheSize = 64;

struct TextState {
  CachedMsg Cache[kCacheSize] = {};
  int Used = 0;
  bool TriedOpen = false;  // the core catalogue was looked for once
};
TextState S;

char* Keep(int set, int num, const char* key, const char* text) {
  char* copy = SaveStr_(text);
  if (S.Used < kCacheSize) S.Cache[S.Used++] = {set, num, key, copy};
  return copy;
}

}  // namespace

namespace menu_internal {

void OpenCore() {
  if (pDrvCoreDB != nullptr || S.TriedOpen) return;
  S.TriedOpen = true;
  pDrvCoreDB = NlsOpenDB("CoreString", 0);
}

const char* Msg(int set, int num) {
  for (int i = 0; i < S.Used; ++i) {
    const CachedMsg& c = S.Cache[i];
    if (c.pKey == nullptr && c.Set == set && c.Num == num) return c.pText;
  }
  OpenCore();
  char buf[NLS_REC_SIZE] = {};
  const char* t = NlsFetchStringN(pDrvCoreDB, buf, sizeof buf, NLS_KIND_NUM, set, num);
  return Keep(set, num, nullptr, t != nullptr ? t : "");
}

const char* KeyMsg(const char* key) {
  for (int i = 0; i < S.Used; ++i) {
    const CachedMsg& c = S.Cache[i];
    if (c.pKey != nullptr && std::strcmp(c.pKey, key) == 0) return c.pText;
  }
  OpenCore();
  char buf[NLS_REC_SIZE] = {};
  const char* t = NlsFetchStringN(pDrvCoreDB, buf, sizeof buf, NLS_KIND_KEY, key);
  // Without a catalogue the lookup gives the shared error text: show the key instead.
  if (t == nullptr || t == pErrBuf) t = key;
  return Keep(0, 0, key, t);
}

bool ReadLine(char* buf, int size) {
  std::fflush(stdout);
  buf[0] = '\0';
  if (flInputEnded || std::fgets(buf, size, stdin) == nullptr) {
    flInputEnded = 1;
    buf[0] = '\0';
    return false;
  }
  size_t n = std::strlen(buf);
  if (n > 0 && buf[n - 1] == '\n') {
    buf[--n] = '\0';
  } else {
    // The line was longer than the buffer: the rest of it is dropped.
    int c;
    while ((c = std::getchar()) != EOF && c != '\n') {
    }
  }
  if (n > 0 && buf[n - 1] == '\r') buf[--n] = '\0';
  return true;
}

void CopyValue(char* dst, const char* src) {
  if (src == nullptr) src = "";
  const size_t n = strnlen(src, MENU_VALUE_SIZE - 1);
  std::memcpy(dst, src, n);
  dst[n] = '\0';
}

int ItemCount(const TextMenu* menu) {
  if (menu == nullptr || menu->pItems == nullptr) return 0;
  int n = 0;
  while (menu->pItems[n].pLabel != nullptr) ++n;
  return n;
}

bool HasHotKey(const char* label) {
  return label != nullptr && label[0] == '~' && label[1] != '\0' && label[2] != '\0';
}

const char* ShownLabel(const char* label) {
  if (label == nullptr) return "";
  return HasHotKey(label) ? label + 3 : label;
}

const char* StateAt(const TextMenuItem* item, int n, int* len) {
  *len = 0;
  if (item == nullptr || item->pStates == nullptr || n < 0) return nullptr;
  const char* p = item->pStates;
  for (int i = 0; i < n; ++i) {
    p = std::strchr(p, ',');
    if (p == nullptr) return nullptr;
    ++p;
  }
  const char* end = std::strchr(p, ',');
  *len = static_cast<int>(end != nullptr ? end - p : static_cast<long>(std::strlen(p)));
  return p;
}

bool StateHidden(const TextMenuItem* item, int n) {
  int len = 0;
  const char* p = StateAt(item, n, &len);
  return p == nullptr || (len > 0 && p[0] == ' ');
}

const char* ShownState(const TextMenuItem* item, int n, int* len) {
  const char* p = StateAt(item, n, len);
  if (p == nullptr) return "";
  if (*len > 0 && (p[0] == '_' || p[0] == ' ')) {
    ++p;
    --*len;
  }
  return p;
}

void ClearTerminal() {
  if (isatty(STDOUT_FILENO)) std::fputs("\033[H\033[2J", stdout);
}

}  // namespace menu_internal
