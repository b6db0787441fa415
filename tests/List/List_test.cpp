// List_test.cpp - the list against std::list: random pushes, pops, moves, copies and walks
// that remove items on their way, on two lists, checked both ways after every step.
#include <gtest/gtest.h>

#include <list>
#include <random>
#include <string>

#include "List/List.h"
#include "MemMgr/MemMgr.h"

namespace {

using Model = std::list<std::string>;  // the items' texts, first to last

std::string Text(const void* p) { return static_cast<const char*>(p) + std::string(","); }

// The items by the links and by the walks, each way, the count and the size equal the model's.
void Check(List* l, const Model& m) {
  std::string want, got[4];
  long size = 0;
  for (const std::string& s : m) want += s + ",", size += static_cast<long>(s.size()) + 1;
  for (ListLink* k = l->pFirst; k; k = k->pNext) got[0] += Text(k->pItem);
  for (ListLink* k = l->pLast; k; k = k->pPrev) got[1].insert(0, Text(k->pItem));
  for (void* p = ListWalk(l, 0); p; p = ListWalk(l, 1)) got[2] += Text(p);
  for (void* p = ListWalkBackward(l, 0); p; p = ListWalkBackward(l, 1)) got[3].insert(0, Text(p));
  for (const std::string& g : got) EXPECT_EQ(g, want);
  EXPECT_EQ(l->Count, static_cast<long>(m.size()));
  EXPECT_EQ(l->Size, size);
}

// Then refused arguments, an item without bytes, and the dump of each item's first word.
TEST(ListTest, RandomOperationsMatchStdList) {
  std::mt19937 rng(11);
  List* lists[2] = {ListCreate(), ListCreate()};
  Model models[2];
  for (int step = 0; step < 5000 && !testing::Test::HasFailure(); ++step) {
    SCOPED_TRACE("step " + std::to_string(step));
    const unsigned a = rng() % 2, release = rng() % 2, op = rng() % 8;
    List *l = lists[a], *to = lists[1 - a];
    Model &m = models[a], &o = models[1 - a];
    const long n = m.empty() ? 0 : 1 + static_cast<long>(rng() % m.size());  // a position, 0 when empty
    auto at = std::next(m.begin(), n ? n - 1 : 0);
    void* item = ListFindItemN(l, n);
    EXPECT_EQ(ListGetItemPos(l, item), n);  // what is done to it, the checks after the step see
    const auto put = [](List* into, Model& mm, const std::string& s) { mm.insert(into->PushFront ? mm.begin() : mm.end(), s); };
    if (op < 2) {  // at the end or the front
      l->PushFront = rng() % 2;
      const std::string s = std::to_string(step) + std::string(rng() % 40, 'x');
      ListPushItem(l, s.c_str(), static_cast<long>(s.size()) + 1);
      put(l, m, s);
    } else if (op < 4) {  // a given item, the first (also as a null item) or the last
      const unsigned which = rng() % 4;
      if (which) item = ListFindItemN(l, which == 3 ? l->Count : 1);
      if (which && n) at = which == 3 ? std::prev(m.end()) : m.begin();
      void* got = which == 0 ? ListPopItem(l, item, release) : which == 1 ? ListPopItem(l, nullptr, release)
                  : which == 2 ? ListPopFirstItem(l, release) : ListPopLastItem(l, release);
      EXPECT_EQ(got, release ? nullptr : item);
      PutMem(got);
      if (n) m.erase(at);
    } else if (op == 4 && n) {  // moved to the other list; from a list that does not hold it, nothing
      to->PushFront = rng() % 2;
      ListMoveItem(item, to, l);
      ListMoveItem(item, l, to);
      put(to, o, *at);
      m.erase(at);
    } else if (op == 5 && rng() % 4 == 0) {  // copies, one by one as pushes would place them
      ListCopy(l, to);
      for (const std::string& s : m) put(to, o, s);
    } else if (op == 6) {  // a walk either way that removes random items as it goes
      const bool back = rng() % 2;
      const auto after = [&](Model::iterator i) { return !back ? std::next(i) : i == m.begin() ? m.end() : std::prev(i); };
      auto next = back && n ? std::prev(m.end()) : m.begin();
      for (void* p = back ? ListWalkBackward(l, 0) : ListWalk(l, 0); p; p = back ? ListWalkBackward(l, 1) : ListWalk(l, 1)) {
        ASSERT_NE(next, m.end());
        ASSERT_EQ(Text(p), *next + ",");
        next = after(next);
        if (rng() % 3) continue;
        const long v = 1 + static_cast<long>(rng() % m.size());
        auto victim = std::next(m.begin(), v - 1);
        if (victim == next) next = after(next);
        ListPopItem(l, ListFindItemN(l, v), 1);
        m.erase(victim);
      }
      EXPECT_EQ(next, m.end());
    } else if (op == 7 && rng() % 30 == 0) {
      ListDelAllItems(l);
      m.clear();
    }
    Check(lists[0], models[0]);
    Check(lists[1], models[1]);
  }
  // Refused arguments, an item without bytes, and the dump of each item's first word.
  List* l = lists[0];
  ListDelAllItems(l);
  l->PushFront = 0;
  long words[] = {7, -42};
  ListPushItem(l, &words[0], sizeof(long));
  ListPushItem(l, &words[1], sizeof(long));
  ListPushItem(l, "\5", 1);
  EXPECT_EQ(std::string(static_cast<char*>(ListPushItem(l, nullptr, 3)), 3), std::string(3, '\0'));
  const bool refused[] = {!ListPushItem(nullptr, "a", 2), !ListPushItem(l, "a", 0), !ListFindItemN(l, -1),
                          !ListGetItemPos(l, nullptr), !ListGetItemPos(l, words), !ListPopItem(l, words, 0),
                          !ListWalk(nullptr, 0)};
  for (size_t i = 0; i < std::size(refused); ++i) EXPECT_TRUE(refused[i]) << "call " << i;
  testing::internal::CaptureStdout();
  ListDump(l);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "  1) 7\n  2) -42\n  3) 5\n  4) 0\n");
  ListDel(l);
  ListDel(lists[1]);
  ListDel(nullptr);
  EXPECT_EQ(pMemB, nullptr) << "managed memory left behind";
}

}  // namespace
