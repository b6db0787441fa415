// List.cpp - the linked list: pushing, popping, finding, moving, copying and walking items.
#include "List/List.h"

#include <cstdio>
#include <cstring>

#include "MemMgr/MemMgr.h"

namespace {

// The link that holds item, searching from the front; null when none does.
ListLink* FindLink(const List* list, const void* item) {
  for (ListLink* l = list->pFirst; l; l = l->pNext) {
    if (l->pItem == item) return l;
  }
  return nullptr;
}

// Unlinks link and hands its item back (or frees it when release is set); the link
// itself is released.
void* PopLinkItem(List* list, ListLink* link, int release) {
  ListPopLink(list, link);
  void* item = link->pItem;
  PutMem(link);
  if (!release) return item;
  PutMem(item);
  return nullptr;
}

// One step of a walk in the given direction.
void* WalkStep(List* list, int index, bool back) {
  if (!list) return nullptr;
  if (index == 0) {
    list->WalkBack = back ? 1 : 0;
    list->pWalk = back ? list->pLast : list->pFirst;
  }
  ListLink* l = list->pWalk;
  if (!l) return nullptr;
  list->pWalk = back ? l->pPrev : l->pNext;
  return l->pItem;
}

}  // namespace

void ListPushLink(List* list, ListLink* link) {
  if (!list->Count && !list->pFirst && !list->pLast) {
    link->pPrev = link->pNext = nullptr;
    list->pFirst = list->pLast = link;
    list->Count = 1;
  } else if (list->PushFront) {
    link->pPrev = nullptr;
    link->pNext = list->pFirst;
    list->pFirst->pPrev = link;
    list->pFirst = link;
    list->Count++;
  } else {
    link->pNext = nullptr;
    link->pPrev = list->pLast;
    list->pLast->pNext = link;
    list->pLast = link;
    list->Count++;
  }
  list->Size += link->Size;
}

void ListPopLink(List* list, ListLink* link) {
  // A walk that would return this link next goes on with its neighbour instead.
  if (list->pWalk == link) list->pWalk = list->WalkBack ? link->pPrev : link->pNext;
  list->Count--;
  list->Size -= link->Size;
  if (link->pPrev) {
    link->pPrev->pNext = link->pNext;
  } else {
    list->pFirst = link->pNext;
  }
  if (link->pNext) {
    link->pNext->pPrev = link->pPrev;
  } else {
    list->pLast = link->pPrev;
  }
  if (list->Count <= 0 || !list->pFirst || !list->pLast) {
    list->pFirst = list->pLast = nullptr;
    list->Count = 0;
    list->Size = 0;
  }
  link->pPrev = link->pNext = nullptr;
}

List* ListCreate() { return static_cast<List*>(GetMem(sizeof(List))); }

void* ListPushItem(List* list, const void* bytes, long size) {
  if (!list || size < 1) return nullptr;
  auto* link = static_cast<ListLink*>(GetMem(sizeof(ListLink)));
  if (!link) return nullptr;
  void* item = GetMem(static_cast<size_t>(size));
  if (!item) {
    PutMem(link);
    return nullptr;
  }
  if (bytes) std::memcpy(item, bytes, static_cast<size_t>(size));
  link->pItem = item;
  link->Size = size;
  ListPushLink(list, link);
  return item;
}

void* ListPopItem(List* list, void* item, int release) {
  if (!list || !list->pFirst) return nullptr;
  ListLink* link = item ? FindLink(list, item) : list->pFirst;
  if (!link) return nullptr;
  return PopLinkItem(list, link, release);
}

void* ListPopFirstItem(List* list, int release) {
  if (!list || !list->pFirst) return nullptr;
  return PopLinkItem(list, list->pFirst, release);
}

void* ListPopLastItem(List* list, int release) {
  if (!list || !list->pLast) return nullptr;
  return PopLinkItem(list, list->pLast, release);
}

void* ListFindItemN(List* list, long n) {
  if (!list || n < 1) return nullptr;
  ListLink* l = list->pFirst;
  for (long i = 1; l && i < n; i++) l = l->pNext;
  return l ? l->pItem : nullptr;
}

long ListGetItemPos(List* list, const void* item) {
  if (!list || !item) return 0;
  long pos = 1;
  for (ListLink* l = list->pFirst; l; l = l->pNext, pos++) {
    if (l->pItem == item) return pos;
  }
  return 0;
}

void ListMoveItem(void* item, List* from, List* to) {
  if (!item || !from || !to) return;
  ListLink* link = FindLink(from, item);
  if (!link) return;
  ListPopLink(from, link);
  ListPushLink(to, link);
}

void ListCopy(List* from, List* to) {
  if (!from || !to || from == to) return;
  for (ListLink* l = from->pFirst; l; l = l->pNext) ListPushItem(to, l->pItem, l->Size);
}

void ListDelAllItems(List* list) {
  if (!list) return;
  ListLink* l = list->pFirst;
  while (l) {
    ListLink* next = l->pNext;
    PutMem(l->pItem);
    PutMem(l);
    l = next;
  }
  list->pFirst = list->pLast = list->pWalk = nullptr;
  list->Count = 0;
  list->Size = 0;
}

void ListDel(List* list) {
  if (!list) return;
  ListDelAllItems(list);
  PutMem(list);
}

void* ListWalk(List* list, int index) { return WalkStep(list, index, false); }

void* ListWalkBackward(List* list, int index) { return WalkStep(list, index, true); }

void ListDump(List* list) {
  if (!list) return;
  int pos = 1;
  for (ListLink* l = list->pFirst; l; l = l->pNext, pos++) {
    // Items shorter than a word are read as far as they go; the rest counts as zero.
    long word = 0;
    size_t n = l->Size < static_cast<long>(sizeof word) ? static_cast<size_t>(l->Size) : sizeof word;
    std::memcpy(&word, l->pItem, n);
    std::printf("%3i) %li\n", pos, word);
  }
}
