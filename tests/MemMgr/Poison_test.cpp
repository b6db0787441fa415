// Poison_test.cpp - in sanitizer builds AddressSanitizer sees the manager's free
// nodes and released blocks: a use after PutMem and an overflow into a free node
// or past a block are reported. Elsewhere these tests are skipped.
#include "MemFixture.h"

#include <cstring>

#if defined(__SANITIZE_ADDRESS__)
#define POISON_TEST_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define POISON_TEST_ASAN 1
#endif
#endif

namespace {

#if defined(KANDU_SANITIZED) && defined(POISON_TEST_ASAN)
constexpr bool kPoisoned = true;
#else
constexpr bool kPoisoned = false;
#endif

// AddressSanitizer's report of memory that the manager marked as nobody's.
constexpr const char* kReport = "AddressSanitizer: use-after-poison";

// Reads or writes one byte the way a faulty caller would.
char ReadAt(const volatile char* p) { return *p; }
void WriteAt(volatile char* p) { *p = 'x'; }

class PoisonTest : public memtest::MemTest {
 protected:
  void SetUp() override {
    memtest::MemTest::SetUp();
    if (!kPoisoned) GTEST_SKIP() << "needs a build with -DKANDU_SANITIZE=address";
  }
};

using PoisonDeathTest = PoisonTest;

// Each faulty use of managed memory that AddressSanitizer must report.
TEST_F(PoisonDeathTest, UseAfterPutMemOverflowIntoFreeNodesOrPastABlockAndReleasedTailsAreReported) {
  const struct {
    const char* what;
    void (*misuse)();
  } rows[] = {
      {"use after PutMem in a block that stays",
       [] {
         char* keep = static_cast<char*>(GetMem(40));
         char* p = static_cast<char*>(GetMem(40));
         std::strcpy(p, "text");
         PutMem(p);
         ReadAt(p);
         PutMem(keep);
       }},
      {"use after PutMem of a block's last piece",
       [] {
         char* p = static_cast<char*>(GetMem(40));
         PutMem(p);  // the block goes back to the system
         WriteAt(p);
       }},
      {"use after PutMem of a dedicated piece",
       [] {
         char* big = static_cast<char*>(GetMem(100000));
         PutMem(big);
         ReadAt(big + 5000);
       }},
      {"overflow into a free node", [] { WriteAt(static_cast<char*>(GetMem(20)) + MEM_NODE_SIZE); }},
      {"overflow past the end of a block",
       [] { ReadAt(static_cast<char*>(GetMem(MEM_BLOCK_SIZE - 1)) + MEM_BLOCK_SIZE); }},  // every node
      {"overflow past a dedicated piece of 131072 bytes",
       [] { WriteAt(static_cast<char*>(GetMem(70000)) + 70016); }},
      {"tail released by AdjustMem",
       [] { ReadAt(static_cast<char*>(AdjustMem(GetMem(100), 40)) + 2 * MEM_NODE_SIZE); }},  // 4 nodes to 2
      {"dedicated tail released by AdjustMem",
       [] { ReadAt(static_cast<char*>(AdjustMem(GetMem(120000), 70000)) + 100000); }},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.what);
    EXPECT_DEATH(r.misuse(), kReport);
  }
}

// What the manager hands out stays usable through every way it moves and grows.
TEST_F(PoisonTest, PiecesHandedOutAreUsableWhole) {
  char* a = static_cast<char*>(GetMem(100));
  std::memset(a, 'a', 128);
  char* b = static_cast<char*>(GetMem(40));
  PutMem(a);
  b = static_cast<char*>(AdjustMem(b, 200));  // slides back into a's nodes
  std::memset(b, 'b', 224);
  b = static_cast<char*>(AdjustMem(b, 1000));  // grows in place
  std::memset(b, 'c', 1024);
  b = static_cast<char*>(AdjustMem(b, 100000));  // moves to a dedicated block
  std::memset(b, 'd', 100000);
  b = static_cast<char*>(AdjustMem(b, 120000));  // grows within it
  std::memset(b, 'e', 120000);
  b = static_cast<char*>(AdjustMem(b, 300000));  // moves to a larger one
  EXPECT_EQ(b[119999], 'e');
  EXPECT_EQ(b[120000], 0);
  std::memset(b, 'f', 300000);
  PutMem(b);
}

}  // namespace
