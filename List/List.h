// List.h - the linked list: a doubly linked list of items copied into managed memory.
#pragma once

// One link per item; one managed allocation of four words.
struct ListLink {
  ListLink* pPrev;  // previous link, null for the first
  ListLink* pNext;  // next link, null for the last
  void* pItem;      // the item's copy (managed memory)
  long Size;        // the item's size in bytes
};

// The list header; zero when created.
struct List {
  ListLink* pFirst;  // first link, null when empty
  ListLink* pLast;   // last link, null when empty
  ListLink* pWalk;   // the link a walk returns next; null when the walk is over
  long Count;        // number of items
  long Size;         // total size of the items in bytes
  long PushFront;    // 0: items are appended at the end; non-zero: inserted at the front
  long WalkBack;     // 1 while the walk in progress runs towards the front
};

// A new, empty list (managed memory, released with ListDel); null when memory is
// exhausted.
List* ListCreate();

// Adds a copy of size bytes (zero bytes when bytes is null) at the end, or at the
// front when PushFront is set. Returns the copy, owned by the list; null for a null
// list, a size below 1 or exhausted memory.
void* ListPushItem(List* list, const void* bytes, long size);

// Removes item (the first item when null). With release set the item is freed and
// the result is null; otherwise the item is returned and belongs to the caller
// (release it with PutMem). Null when the list is empty or does not hold the item.
void* ListPopItem(List* list, void* item, int release);
// As ListPopItem for the first and for the last item.
void* ListPopFirstItem(List* list, int release);
void* ListPopLastItem(List* list, int release);

// The n-th item counting from 1; null for n below 1, beyond the end or a null list.
void* ListFindItemN(List* list, long n);
// Position of item counting from 1; 0 when the list does not hold it.
long ListGetItemPos(List* list, const void* item);

// Moves item's link from one list to the other (pushed as ListPushItem would, not
// copied). Nothing happens when from does not hold the item or to is null.
void ListMoveItem(void* item, List* from, List* to);
// Pushes a copy of every item of from, in order, onto to.
void ListCopy(List* from, List* to);

// Removes and releases every item and link; the header stays, empty.
void ListDelAllItems(List* list);
// As ListDelAllItems, then releases the header. A null list is ignored.
void ListDel(List* list);

// Walks the items: index 0 starts at the first (ListWalk) or the last item
// (ListWalkBackward), any other index continues. Returns the next item, null after
// the last one. One walk per list at a time; removing items during a walk is safe.
void* ListWalk(List* list, int index);
void* ListWalkBackward(List* list, int index);

// Prints every item as "%3i) %li\n": its position and its first word as a signed long.
void ListDump(List* list);

// Link-level operations (used by the list and its tests): link a link in at the end
// (or the front with PushFront), and unlink it. Both keep Count and Size.
void ListPushLink(List* list, ListLink* link);
void ListPopLink(List* list, ListLink* link);
