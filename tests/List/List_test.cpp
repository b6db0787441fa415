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

// The items' texts by following the links forward, then '|', then backward.
std::string Links(List* list) {
  std::string s;
  for (ListLink* l = list->pFirst; l; l = l->pNext) s += static_cast<char*>(l->pItem);
  s += "|";
  for (ListLink* l = list->pLast; l; l = l->pPrev) s += static_cast<char*>(l->pItem);
  return s;
}

// The items' texts as the walk gives them forward, then '|', then backward.
std::string Walks(List* list) {
  std::string s;
  for (void* p = ListWalk(list, 0); p; p = ListWalk(list, 1)) s += static_cast<char*>(p);
  s += "|";
  for (void* p = ListWalkBackward(list, 0); p; p = ListWalkBackward(list, 1)) s += static_cast<char*>(p);
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

TEST_F(ListTest, PushCopiesTheBytesIntoNewMemoryAndCountsItemsAndTheirTotalSize) {
  ASSERT_NE(list, nullptr);
  char text[16] = "abc";
  char* item = static_cast<char*>(ListPushItem(list, text, 4));
  ASSERT_NE(item, nullptr);
  EXPECT_NE(item, text);
  text[0] = 'x';
  EXPECT_STREQ(item, "abc");
  void* middle = ListPushItem(list, text, 8);
  auto* zeros = static_cast<unsigned char*>(ListPushItem(list, nullptr, 16));  // null bytes: zero-filled
  ASSERT_NE(zeros, nullptr);
  for (int i = 0; i < 16; i++) EXPECT_EQ(zeros[i], 0) << i;
  EXPECT_EQ(list->Count, 3);
  EXPECT_EQ(list->Size, 28);
  EXPECT_EQ(ListPopItem(list, middle, 1), nullptr);
  EXPECT_EQ(list->Count, 2);
  EXPECT_EQ(list->Size, 20);
  // A null list or an empty size is refused.
  EXPECT_EQ(ListPushItem(nullptr, "a", 2), nullptr);
  EXPECT_EQ(ListPushItem(other, "a", 0), nullptr);
  EXPECT_EQ(ListPushItem(other, "a", -3), nullptr);
  EXPECT_EQ(other->Count, 0);
  EXPECT_EQ(other->pFirst, nullptr);
}

TEST_F(ListTest, PushFrontMakesAStack) {
  list->PushFront = 1;
  PushTexts(list, {"a", "b", "c"});
  EXPECT_EQ(Walks(list), "cba|abc");
  EXPECT_EQ(Links(list), "cba|abc");
}

TEST_F(ListTest, PopTakesFirstLastOrInnerItemsKeepingTheLinksConsistent) {
  auto items = PushTexts(list, {"a", "b", "c", "d", "e", "f"});
  char* got = static_cast<char*>(ListPopItem(list, nullptr, 0));  // null: the first, handed to the caller
  EXPECT_EQ(got, items[0]);
  EXPECT_STREQ(got, "a");
  EXPECT_EQ(list->pFirst->pPrev, nullptr);
  PutMem(got);
  EXPECT_STREQ(static_cast<char*>(ListPopFirstItem(list, 0)), "b");
  EXPECT_EQ(ListPopLastItem(list, 1), nullptr);
  ListPopItem(list, ListFindItemN(list, 2), 1);  // "d"
  EXPECT_EQ(Links(list), "ce|ec");
  EXPECT_EQ(list->Count, 2);
  EXPECT_EQ(list->Size, 4);
  char foreign[] = "c";
  EXPECT_EQ(ListPopItem(list, foreign, 0), nullptr);
  EXPECT_EQ(list->Count, 2);
  ListPopFirstItem(list, 1);
  ListPopFirstItem(list, 1);
  EXPECT_EQ(list->pFirst, nullptr);
  EXPECT_EQ(list->pLast, nullptr);
  EXPECT_EQ(list->Count, 0);
  EXPECT_EQ(list->Size, 0);
  EXPECT_EQ(ListPopItem(list, nullptr, 0), nullptr);
  EXPECT_EQ(ListPopFirstItem(list, 0), nullptr);
  EXPECT_EQ(ListPopLastItem(list, 0), nullptr);
}

TEST_F(ListTest, PositionsCountFromOne) {
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

TEST_F(ListTest, MoveTakesTheLinkWithoutCopyingAndFollowsPushFrontOfTheTarget) {
  auto items = PushTexts(list, {"a", "b", "c"});
  PushTexts(other, {"x"});
  ListMoveItem(items[1], list, other);
  EXPECT_EQ(Links(list), "ac|ca");
  EXPECT_EQ(Links(other), "xb|bx");
  EXPECT_EQ(ListFindItemN(other, 2), items[1]);
  EXPECT_EQ(list->Size, 4);
  EXPECT_EQ(other->Size, 4);
  ListMoveItem(items[1], list, other);  // list no longer holds it
  EXPECT_EQ(Links(other), "xb|bx");
  EXPECT_EQ(other->Count, 2);
  other->PushFront = 1;
  ListMoveItem(items[0], list, other);
  ListMoveItem(items[2], list, other);
  EXPECT_EQ(Links(other), "caxb|bxac");
  EXPECT_EQ(list->pFirst, nullptr);
}

TEST_F(ListTest, CopyCopiesEveryItemInOrderIntoNewMemory) {
  auto items = PushTexts(list, {"a", "bb", "c"});
  ListCopy(list, other);
  EXPECT_EQ(Links(other), "abbc|cbba");
  EXPECT_EQ(other->Count, 3);
  EXPECT_EQ(other->Size, list->Size);
  for (long i = 1; i <= 3; i++) EXPECT_NE(ListFindItemN(other, i), items[static_cast<size_t>(i - 1)]);
  EXPECT_EQ(Links(list), "abbc|cbba");
}

TEST_F(ListTest, DelAllItemsLeavesAnEmptyUsableHeader) {
  PushTexts(list, {"a", "b"});
  ListDelAllItems(list);
  EXPECT_EQ(list->pFirst, nullptr);
  EXPECT_EQ(list->pLast, nullptr);
  EXPECT_EQ(list->Count, 0);
  EXPECT_EQ(list->Size, 0);
  EXPECT_EQ(ListWalk(list, 0), nullptr);
  PushTexts(list, {"z"});
  EXPECT_EQ(Links(list), "z|z");
  ListDel(nullptr);
}

TEST_F(ListTest, WalksEndWithNullAndSurviveRemovingItemsOnTheWay) {
  PushTexts(list, {"a", "b", "c", "d"});
  EXPECT_EQ(Walks(list), "abcd|dcba");
  for (void* p = ListWalk(list, 0); p; p = ListWalk(list, 1)) {
  }
  EXPECT_EQ(ListWalk(list, 1), nullptr);  // stays at the end
  EXPECT_EQ(ListWalk(nullptr, 0), nullptr);
  EXPECT_EQ(ListWalkBackward(other, 0), nullptr);  // an empty list
  // Forward: drop each item just returned, and the one the walk would return next.
  std::string seen;
  for (char* p = static_cast<char*>(ListWalk(list, 0)); p; p = static_cast<char*>(ListWalk(list, 1))) {
    seen += p;
    if (*p == 'a') ListPopItem(list, p, 1);
    if (*p == 'b') ListPopItem(list, ListFindItemN(list, 2), 1);  // "c", next in line
  }
  EXPECT_EQ(seen, "abd");
  EXPECT_EQ(Links(list), "bd|db");
  // Backward: the walk goes on with the item before a removed one.
  PushTexts(list, {"e", "f"});  // b d e f
  seen.clear();
  for (char* p = static_cast<char*>(ListWalkBackward(list, 0)); p;
       p = static_cast<char*>(ListWalkBackward(list, 1))) {
    seen += p;
    if (*p == 'f') ListPopItem(list, ListFindItemN(list, 3), 1);  // "e", next in line
  }
  EXPECT_EQ(seen, "fdb");
  EXPECT_EQ(Links(list), "bdf|fdb");
}

TEST_F(ListTest, DumpPrintsPositionAndFirstWord) {
  long values[] = {7, -42};
  ListPushItem(list, &values[0], sizeof(long));
  ListPushItem(list, &values[1], sizeof(long));
  char small = 5;
  ListPushItem(list, &small, 1);
  testing::internal::CaptureStdout();
  ListDump(list);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "  1) 7\n  2) -42\n  3) 5\n");
}
