// Poison_test.cpp - in sanitizer builds AddressSanitizer sees the manager's free nodes
// and released blocks: a use after PutMem and an overflow into a free node or past a
// block are reported. Elsewhere the test is skipped.
#include <cstring>

#include "MemFixture.h"

namespace {

#if defined(KANDU_SANITIZED) && defined(__SANITIZE_ADDRESS__)
constexpr bool kPoisoned = true;
#else
constexpr bool kPoisoned = false;
#endif

// Reads or writes one byte the way a faulty caller would.
char ReadAt(const volatile char* p) { return *p; }
void WriteAt(volatile char* p) { *p = 'x'; }

using PoisonDeathTest = memtest::MemTest;

TEST_F(PoisonDeathTest, MisusesOfManagedMemoryAreReported) {
  if (!kPoisoned) GTEST_SKIP() << "needs a build with -DKANDU_SANITIZE=address";
  const struct {
    const char* what;
    void (*misuse)();
  } rows[] = {
      {"use after PutMem in a block that stays", [] { GetMem(40); char* p = static_cast<char*>(GetMem(40)); PutMem(p); ReadAt(p); }},
      {"use after PutMem of a block's last piece", [] { char* p = static_cast<char*>(GetMem(40)); PutMem(p); WriteAt(p); }},
      {"use after PutMem of a dedicated piece", [] { char* p = static_cast<char*>(GetMem(100000)); PutMem(p); ReadAt(p + 5000); }},
      {"overflow into a free node", [] { WriteAt(static_cast<char*>(GetMem(20)) + MEM_NODE_SIZE); }},
      {"overflow past the end of a block", [] { ReadAt(static_cast<char*>(GetMem(MEM_BLOCK_SIZE - 1)) + MEM_BLOCK_SIZE); }},
      {"overflow past a dedicated piece", [] { WriteAt(static_cast<char*>(GetMem(70000)) + 70016); }},
      {"tail released by AdjustMem", [] { ReadAt(static_cast<char*>(AdjustMem(GetMem(100), 40)) + 2 * MEM_NODE_SIZE); }},
      {"dedicated tail released by AdjustMem", [] { ReadAt(static_cast<char*>(AdjustMem(GetMem(120000), 70000)) + 100000); }},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.what);
    EXPECT_DEATH(r.misuse(), "AddressSanitizer: use-after-poison");
  }
}

}  // namespace
