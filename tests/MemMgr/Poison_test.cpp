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

TEST_F(PoisonDeathTest, UseAfterPutMemInABlockThatStaysIsReported) {
  EXPECT_DEATH(
      {
        char* keep = static_cast<char*>(GetMem(40));
        char* p = static_cast<char*>(GetMem(40));
        std::strcpy(p, "text");
        PutMem(p);
        ReadAt(p);
        PutMem(keep);
      },
      kReport);
}

TEST_F(PoisonDeathTest, UseAfterPutMemOfABlocksLastPieceIsReported) {
  EXPECT_DEATH(
      {
        char* p = static_cast<char*>(GetMem(40));
        PutMem(p);  // the block goes back to the system
        WriteAt(p);
      },
      kReport);
  EXPECT_DEATH(
      {
        char* big = static_cast<char*>(GetMem(100000));
        PutMem(big);
        ReadAt(big + 5000);
      },
      kReport);
}

TEST_F(PoisonDeathTest, OverflowIntoAFreeNodeIsReported) {
  EXPECT_DEATH(
      {
        char* p = static_cast<char*>(GetMem(20));  // one node
        WriteAt(p + MEM_NODE_SIZE);
      },
      kReport);
}

TEST_F(PoisonDeathTest, OverflowPastTheEndOfABlockIsReported) {
  EXPECT_DEATH(
      {
        char* whole = static_cast<char*>(GetMem(MEM_BLOCK_SIZE - 1));  // every node
        ReadAt(whole + MEM_BLOCK_SIZE);
      },
      kReport);
  EXPECT_DEATH(
      {
        char* big = static_cast<char*>(GetMem(70000));  // a dedicated block of 131072 bytes
        WriteAt(big + 70016);
      },
      kReport);
}

TEST_F(PoisonDeathTest, TailReleasedByAdjustMemIsReported) {
  EXPECT_DEATH(
      {
        char* p = static_cast<char*>(GetMem(100));  // four nodes
        p = static_cast<char*>(AdjustMem(p, 40));   // two nodes
        ReadAt(p + 2 * MEM_NODE_SIZE);
      },
      kReport);
  EXPECT_DEATH(
      {
        char* big = static_cast<char*>(GetMem(120000));
        big = static_cast<char*>(AdjustMem(big, 70000));
        ReadAt(big + 100000);
      },
      kReport);
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
