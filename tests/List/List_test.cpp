// List_test.cpp - behaviour of the linked list: pushing, popping, walking, moving, copying.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "List/List.h"
#include "MemMgr/MemMgr.h"

namespace {

// Pushes one-character texts (with their zero) and returns their copies.
std::vector<char*> PushTexts(List* list, const std::vector<std::string>& texts) {
  std::vector<char*> items;
  for (const auto& t : texts) items.push_back(static_cast<char*>(ListPushItem(list, t.c_str(), static_cast<long>(t.size() + 1))));
  return items;
}

// The items' texts in forward order, by following the links.
std::string Forward(List* list) {
  std::string s;
  for (ListLink* l = list->pFirst; l; l = l->pNext) s += static_cast<char*>(l->pItem);
  return s;
}

// The items' texts in backward order, by following the links.
std::string Backward(List* list) {
  std::string s;
  for (ListLink* l = list->pLast; l; l = l->pPrev) s += static_cast<char*>(l->pItem);
  return s;
}

std::string WalkAll(List* list, bool back) {
  std::string s;
  for (void* p = back ? ListWalkBackward(list, 0) : ListWalk(list, 0); p;
       p = back ? ListWalkBackward(list, 1) : ListWalk(list, 1)) {
    s += static_cast<char*>(p);
  }
  return s;
}

// Each test has a list of its own, deleted afterwards.
class ListTest : public ::testing::Test {
 protected:
  void TearDown() override {
    ListDel(list);
    ListDel(other);
  }
  List* list = ListCreate();
  List* other = ListCreate();  // a second list to move or copy into
};

}  // namespace

using ListPush = ListTest;
using ListPop = ListTest;
using ListFind = ListTest;
using ListDelete = ListTest;
using ListWalkTest = ListTest;
using ListDumpTest = ListTest;
using ListMove = ListTest;
using ListCopyTest = ListTest;

TEST_F(ListPush, CountsItemsAndTheirTotalSize) {
  ASSERT_NE(list, nullptr);
  char bytes[16] = {};
  ListPushItem(list, bytes, 4);
  void* middle = ListPushItem(list, bytes, 8);
  ListPushItem(list, bytes, 16);
  EXPECT_EQ(list->Count, 3);
  EXPECT_EQ(list->Size, 28);
  EXPECT_EQ(ListPopItem(list, middle, 1), nullptr);
  EXPECT_EQ(list->Count, 2);
  EXPECT_EQ(list->Size, 20);
}

TEST_F(ListPush, CopiesTheCallersBytesIntoNewMemory) {
  char text[] = "abc";
  char* item = static_cast<char*>(ListPushItem(list, text, 4));
  ASSERT_NE(item, nullptr);
  EXPECT_NE(item, text);
  text[0] = 'x';
  EXPECT_STREQ(item, "abc");
}

TEST_F(ListPush, NullBytesGiveZeroFilledItem) {
  auto* item = static_cast<unsigned char*>(ListPushItem(list, nullptr, 10));
  ASSERT_NE(item, nullptr);
  for (int i = 0; i < 10; i++) EXPECT_EQ(item[i], 0) << i;
  EXPECT_EQ(list->Size, 10);
}

TEST_F(ListPush, RefusesNullListAndEmptySize) {
  EXPECT_EQ(ListPushItem(nullptr, "a", 2), nullptr);
  EXPECT_EQ(ListPushItem(list, "a", 0), nullptr);
  EXPECT_EQ(ListPushItem(list, "a", -3), nullptr);
  EXPECT_EQ(list->Count, 0);
  EXPECT_EQ(list->pFirst, nullptr);
}

TEST_F(ListPush, PushFrontMakesAStack) {
  list->PushFront = 1;
  PushTexts(list, {"a", "b", "c"});
  EXPECT_EQ(WalkAll(list, false), "cba");
  EXPECT_EQ(WalkAll(list, true), "abc");
  EXPECT_EQ(Backward(list), "abc");
}

TEST_F(ListPop, NullItemTakesTheFirstAndHandsItToTheCaller) {
  auto items = PushTexts(list, {"a", "b"});
  char* got = static_cast<char*>(ListPopItem(list, nullptr, 0));
  EXPECT_EQ(got, items[0]);
  EXPECT_STREQ(got, "a");
  EXPECT_EQ(Forward(list), "b");
  EXPECT_EQ(list->pFirst->pPrev, nullptr);
  PutMem(got);
}

TEST_F(ListPop, EmptyListOrForeignItemGivesNull) {
  EXPECT_EQ(ListPopItem(list, nullptr, 0), nullptr);
  EXPECT_EQ(ListPopFirstItem(list, 0), nullptr);
  EXPECT_EQ(ListPopLastItem(list, 0), nullptr);
  PushTexts(list, {"a"});
  char foreign[] = "a";
  EXPECT_EQ(ListPopItem(list, foreign, 0), nullptr);
  EXPECT_EQ(list->Count, 1);
}

TEST_F(ListPop, FirstLastAndInnerKeepTheLinksConsistent) {
  PushTexts(list, {"a", "b", "c", "d", "e"});
  EXPECT_STREQ(static_cast<char*>(ListPopFirstItem(list, 0)), "a");
  EXPECT_EQ(ListPopLastItem(list, 1), nullptr);
  ListPopItem(list, ListFindItemN(list, 2), 1);  // "c"
  EXPECT_EQ(Forward(list), "bd");
  EXPECT_EQ(Backward(list), "db");
  EXPECT_EQ(list->Count, 2);
  EXPECT_EQ(list->Size, 4);
  ListPopFirstItem(list, 1);
  ListPopFirstItem(list, 1);
  EXPECT_EQ(list->pFirst, nullptr);
  EXPECT_EQ(list->pLast, nullptr);
  EXPECT_EQ(list->Count, 0);
  EXPECT_EQ(list->Size, 0);
}

TEST_F(ListFind, PositionsCountFromOne) {
  auto items = PushTexts(list, {"a", "b", "c"});
  EXPECT_EQ(ListFindItemN(list, 1), items[0]);
  EXPECT_EQ(ListFindItemN(list, 3), items[2]);
  EXPECT_EQ(ListFindItemN(list, 0), nullptr);
  EXPECT_EQ(ListFindItemN(list, 4), nullptr);
  EXPECT_EQ(ListFindItemN(list, -1), nullptr);
  EXPECT_EQ(ListGetItemPos(list, items[1]), 2);
  char foreign[] = "b";
  EXPECT_EQ(ListGetItemPos(list, foreign), 0);
  EXPECT_EQ(ListGetItemPos(list, nullptr), 0);
}

TEST_F(ListMove, MovesTheLinkWithoutCopying) {
  List *from = list, *to = other;
  auto items = PushTexts(from, {"a", "b", "c"});
  PushTexts(to, {"x"});
  ListMoveItem(items[1], from, to);
  EXPECT_EQ(Forward(from), "ac");
  EXPECT_EQ(Forward(to), "xb");
  EXPECT_EQ(ListFindItemN(to, 2), items[1]);
  EXPECT_EQ(from->Size, 4);
  EXPECT_EQ(to->Size, 4);
  ListMoveItem(items[1], from, to);  // from no longer holds it
  EXPECT_EQ(Forward(to), "xb");
  EXPECT_EQ(to->Count, 2);
}

TEST_F(ListMove, FollowsPushFrontOfTheTargetList) {
  List *from = list, *to = other;
  to->PushFront = 1;
  auto items = PushTexts(from, {"a"});
  PushTexts(to, {"x"});
  ListMoveItem(items[0], from, to);
  EXPECT_EQ(Forward(to), "ax");
  EXPECT_EQ(from->pFirst, nullptr);
}

TEST_F(ListCopyTest, CopiesEveryItemInOrderIntoNewMemory) {
  List *from = list, *to = other;
  auto items = PushTexts(from, {"a", "bb", "c"});
  ListCopy(from, to);
  EXPECT_EQ(Forward(to), "abbc");
  EXPECT_EQ(to->Count, 3);
  EXPECT_EQ(to->Size, from->Size);
  for (long i = 1; i <= 3; i++) EXPECT_NE(ListFindItemN(to, i), items[static_cast<size_t>(i - 1)]);
  EXPECT_EQ(Forward(from), "abbc");
}

TEST_F(ListDelete, DelAllItemsLeavesAnEmptyUsableHeader) {
  PushTexts(list, {"a", "b"});
  ListDelAllItems(list);
  EXPECT_EQ(list->pFirst, nullptr);
  EXPECT_EQ(list->pLast, nullptr);
  EXPECT_EQ(list->Count, 0);
  EXPECT_EQ(list->Size, 0);
  EXPECT_EQ(ListWalk(list, 0), nullptr);
  PushTexts(list, {"z"});
  EXPECT_EQ(Forward(list), "z");
  ListDel(nullptr);
}

TEST_F(ListWalkTest, ForwardAndBackwardEndWithNull) {
  PushTexts(list, {"a", "b", "c"});
  EXPECT_EQ(WalkAll(list, false), "abc");
  EXPECT_EQ(ListWalk(list, 1), nullptr);
  EXPECT_EQ(WalkAll(list, true), "cba");
  EXPECT_EQ(ListWalk(nullptr, 0), nullptr);
  EXPECT_EQ(ListWalkBackward(other, 0), nullptr);  // an empty list
}

TEST_F(ListWalkTest, RemovingItemsDuringAWalkIsSafe) {
  PushTexts(list, {"a", "b", "c", "d"});
  // Forward: drop each item just returned, and the one the walk would return next.
  std::string seen;
  for (char* p = static_cast<char*>(ListWalk(list, 0)); p; p = static_cast<char*>(ListWalk(list, 1))) {
    seen += p;
    if (*p == 'a') ListPopItem(list, p, 1);
    if (*p == 'b') ListPopItem(list, ListFindItemN(list, 2), 1);  // "c", next in line
  }
  EXPECT_EQ(seen, "abd");
  EXPECT_EQ(Forward(list), "bd");
  // Backward: the walk goes on with the item before a removed one.
  PushTexts(list, {"e", "f"});  // b d e f
  seen.clear();
  for (char* p = static_cast<char*>(ListWalkBackward(list, 0)); p;
       p = static_cast<char*>(ListWalkBackward(list, 1))) {
    seen += p;
    if (*p == 'f') ListPopItem(list, ListFindItemN(list, 3), 1);  // "e", next in line
  }
  EXPECT_EQ(seen, "fdb");
  EXPECT_EQ(Forward(list), "bdf");
}

TEST_F(ListDumpTest, PrintsPositionAndFirstWord) {
  long values[] = {7, -42};
  ListPushItem(list, &values[0], sizeof(long));
  ListPushItem(list, &values[1], sizeof(long));
  char small = 5;
  ListPushItem(list, &small, 1);
  testing::internal::CaptureStdout();
  ListDump(list);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "  1) 7\n  2) -42\n  3) 5\n");
}
