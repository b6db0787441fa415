// Model_test.cpp - requests, releases and resizes checked against a reference model.
//
// The model keeps each block's map as a string and finds free space with a plain
// substring search, the way the manager is described; after every call the real
// chain must match it block for block: addresses, maps, records, FreeNodes, sizes.
// Every piece carries a shadow of the bytes it must hold. A pointer that names no
// allocation (inside a piece, released, foreign, null) changes nothing when released,
// and AdjustMem takes it as a new request. None of the calls says anything.
#include <algorithm>
#include <cstdint>
#include <list>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include <sys/resource.h>
#include <unistd.h>

#include "MemFixture.h"
#include "testutil.h"

namespace {

constexpr size_t kNode = 32, kBlock = 65536, kNodes = 2048;

struct ModelBlock {
  MemBlock* real = nullptr;  // bound once the real chain shows the block
  bool dedicated = false;
  size_t size = kBlock, used = 0;
  std::string mat = std::string(kNodes, ' ');
  std::map<size_t, size_t> starts;  // first node of each allocation -> its node count
};

// A live piece: where the model has it, the pointer the manager gave, the bytes it must hold.
struct Piece {
  ModelBlock* b = nullptr;
  size_t node = 0;
  char* p = nullptr;
  std::vector<unsigned char> shadow;
};

class ModelRun {
 public:
  explicit ModelRun(uint32_t seed) : rng_(seed) {}
  size_t mostBlocks = 0;
  int moves = 0;

  // Runs the given number of random calls; stops at the first mismatch.
  void Run(int steps) {
    for (int step = 0; step < steps && !::testing::Test::HasFatalFailure(); ++step) {
      SCOPED_TRACE("step " + std::to_string(step));
      const size_t roll = Pick(100);
      if (pieces_.empty() || (roll < 42 && pieces_.size() < 400)) {
        DoGet(RandomSize());
      } else if (roll < 70 || pieces_.size() >= 400) {
        DoPut(Pick(pieces_.size()));
      } else if (roll < 74) {
        DoForeign();
      } else {
        // Now and then to 0 bytes, often by a few nodes, else to any size.
        const size_t at = Pick(pieces_.size()), old = pieces_[at].shadow.size(), how = Pick(100);
        DoAdjust(at, how < 5 ? 0 : how < 55 ? std::max<size_t>(1, old - std::min<size_t>(old, 200) + Pick(400)) : RandomSize());
      }
      for (size_t i = 0; step % 64 == 0 && i < pieces_.size() && !::testing::Test::HasFatalFailure(); ++i) {
        CheckContent(pieces_[i]);
      }
    }
  }

  // Releases every live piece in random order; the chain must end empty.
  void ReleaseAll() {
    while (!pieces_.empty() && !::testing::Test::HasFatalFailure()) DoPut(Pick(pieces_.size()));
    EXPECT_EQ(pMemB, nullptr);
  }

 private:
  std::mt19937 rng_;
  std::list<ModelBlock> chain_;
  std::vector<Piece> pieces_;
  char* released_ = nullptr;  // the last piece released
  std::unique_ptr<char[]> heapPiece_ = std::make_unique<char[]>(64);
  char* heap_ = heapPiece_.get();

  size_t Pick(size_t n) { return rng_() % n; }

  // Mostly short texts, some larger pieces, now and then one of a whole block or a dedicated one.
  size_t RandomSize() {
    const size_t roll = Pick(100);
    if (roll < 70) return 1 + Pick(600);
    if (roll < 85) return 601 + Pick(8000);
    if (roll < 93) return 8601 + Pick(65535 - 8600);
    if (roll < 95) return 65535 + Pick(3);  // either side of the dedicated limit
    return 65537 + Pick(200000);
  }

  // ---- the model

  static size_t Round(size_t n) { return (n + kNode) / kNode * kNode; }
  static size_t Length(const Piece& x) { return x.b->dedicated ? x.b->used : x.b->starts.at(x.node) * kNode; }

  // GetMem: a dedicated block above 64 KB; else the first run of free nodes in the
  // oldest block that has one, in a new block at the tail when none has.
  void Get(Piece& x, size_t n) {
    const size_t r = Round(n);
    if (r > kBlock) {
      x.b = &chain_.emplace_back(ModelBlock{nullptr, true, (r + kBlock - 1) / kBlock * kBlock, r, std::string(kNodes, 'U'), {}});
      x.node = 0;
      return;
    }
    const std::string run(r / kNode, ' ');
    auto it = std::find_if(chain_.begin(), chain_.end(), [&](const ModelBlock& b) {
      return b.mat.find(run) != std::string::npos;
    });
    if (it == chain_.end()) it = chain_.emplace(chain_.end());
    x.b = &*it;
    x.node = it->mat.find(run);
    it->mat.replace(x.node, run.size(), run.size(), 'U');
    it->starts[x.node] = run.size();
  }

  // PutMem: the nodes become free; a block that holds nothing leaves the chain.
  void Put(const Piece& x) {
    ModelBlock& b = *x.b;
    const size_t c = b.dedicated ? 0 : b.starts.at(x.node);
    b.mat.replace(x.node, c, c, ' ');
    b.starts.erase(x.node);
    if (b.dedicated || b.mat.find('U') == std::string::npos) chain_.remove_if([&](const ModelBlock& m) { return &m == &b; });
  }

  // AdjustMem to n bytes: shrink in place, grow into the free nodes after, slide back
  // into the free nodes before, or move. The bytes of the old content that stay.
  size_t Adjust(Piece& x, size_t n) {
    const size_t r = Round(n);
    ModelBlock& b = *x.b;
    if (r <= kBlock && !b.dedicated) {
      const size_t k = r / kNode, i = x.node, c = b.starts.at(i);
      if (k <= c) {
        b.mat.replace(i + k, c - k, c - k, ' ');
        b.starts[i] = k;
        return r;
      }
      const std::string gap(k - c, ' ');
      if (i + k <= kNodes && b.mat.compare(i + c, gap.size(), gap) == 0) {
        b.mat.replace(i + c, gap.size(), gap.size(), 'U');
        b.starts[i] = k;
        return c * kNode;
      }
      if (i >= gap.size() && b.mat.compare(i - gap.size(), gap.size(), gap) == 0) {
        x.node = i - gap.size();
        b.mat.replace(x.node, gap.size(), gap.size(), 'U');
        b.starts.erase(i);
        b.starts[x.node] = k;
        return c * kNode;
      }
    } else if (r <= b.size) {
      const size_t kept = std::min(r, b.used);
      b.used = r;
      return kept;
    }
    // A move asks GetMem for the rounded size, copies the old piece and releases it.
    const size_t kept = Length(x);
    Piece q;
    Get(q, r);
    Put(x);
    x.b = q.b;
    x.node = q.node;
    return kept;
  }

  // ---- the calls, each followed by the checks

  // The real chain must match the model block for block.
  void CheckChain() {
    const std::vector<MemBlock*> real = memtest::Chain();
    ASSERT_EQ(real.size(), chain_.size()) << "blocks in the chain";
    mostBlocks = std::max(mostBlocks, real.size());
    auto m = chain_.begin();
    for (size_t at = 0; at < real.size(); ++at, ++m) {
      const MemBlock* b = real[at];
      if (!m->real) m->real = real[at];  // a block created by this call
      ASSERT_EQ(m->real, b) << "block " << at << " out of order";
      ASSERT_EQ(b->pPrev, at ? real[at - 1] : nullptr);
      ASSERT_EQ(static_cast<size_t>(b->Size), m->size);
      ASSERT_EQ(static_cast<size_t>(b->Used), m->used);
      ASSERT_EQ(b->FreeNodes, std::count(m->mat.begin(), m->mat.end(), ' '));
      ASSERT_EQ(memtest::MapOf(b), m->mat) << "map of block " << at;
      size_t records = 0;
      for (const MemNode& node : b->Nodes) records += node.NodeCnt != 0 || node.pAddr != nullptr;
      ASSERT_EQ(records, m->starts.size()) << "records of block " << at;
      for (const auto& [i, count] : m->starts) {
        ASSERT_EQ(b->Nodes[i].NodeCnt, count) << "record " << i << " of block " << at;
        ASSERT_EQ(b->Nodes[i].pAddr, b->pData + i * kNode);
      }
    }
  }

  void CheckContent(const Piece& x) {
    ASSERT_TRUE(std::equal(x.shadow.begin(), x.shadow.end(), reinterpret_cast<const unsigned char*>(x.p)))
        << "content of a piece of " << x.shadow.size() << " bytes";
  }

  // After GetMem or AdjustMem of n bytes gave got for piece x: the chain, the address,
  // the first kept bytes of the old content and zeros after them (and after a shrink
  // in place, zeros in the released tail); then the caller writes its n bytes.
  void Placed(Piece& x, char* got, size_t kept, size_t n) {
    CheckChain();
    if (::testing::Test::HasFatalFailure()) return;
    ASSERT_EQ(got, x.b->real->pData + x.node * kNode) << n << " bytes";
    const size_t length = Length(x);
    EXPECT_TRUE(got != x.p || length >= x.shadow.size() || memtest::AllZero(got + length, x.shadow.size() - length))
        << "the tail released in place is zero";
    moves += x.p && got != x.p;
    x.p = got;
    x.shadow.resize(kept);
    x.shadow.resize(length, 0);
    CheckContent(x);
    const auto tag = static_cast<unsigned char>(1 + Pick(255));
    for (size_t i = 0; i < n; ++i) x.shadow[i] = static_cast<unsigned char>(tag + i % 7);
    std::copy(x.shadow.begin(), x.shadow.begin() + static_cast<long>(n), x.p);
  }

  void DoGet(size_t n) {
    Piece x;
    Get(x, n);
    Placed(x, static_cast<char*>(GetMem(n)), 0, n);
    pieces_.push_back(std::move(x));
  }

  // PutMem, or AdjustMem to 0 bytes.
  void DoPut(size_t at, bool adjust = false) {
    Put(pieces_[at]);
    released_ = pieces_[at].p;
    if (!adjust) PutMem(released_);
    EXPECT_EQ(adjust ? AdjustMem(released_, 0) : GetMem(0), nullptr);
    pieces_.erase(pieces_.begin() + static_cast<long>(at));
    CheckChain();
  }

  void DoAdjust(size_t at, size_t n) {
    if (n == 0) return DoPut(at, true);
    Piece& x = pieces_[at];
    const size_t kept = Adjust(x, n);
    Placed(x, static_cast<char*>(AdjustMem(x.p, n)), kept, n);
  }

  // A pointer that names no allocation: inside a piece, released, on the stack, on the
  // heap, the end of a data area, or null. Released (or resized to 0) it changes
  // nothing; resized to n bytes it is a request of n bytes.
  void DoForeign() {
    int local = 0;
    const Piece& y = pieces_[Pick(pieces_.size())];
    char* const candidates[] = {y.p + 1 + Pick(y.shadow.size() - 1), released_, reinterpret_cast<char*>(&local),
                                heap_, y.b->real->pData + y.b->size, nullptr};
    char* p = candidates[Pick(6)];
    if (std::any_of(pieces_.begin(), pieces_.end(), [&](const Piece& x) { return x.p == p; })) return;  // a start
    const size_t roll = Pick(3), n = RandomSize();
    if (roll < 2) {
      if (roll == 0) PutMem(p);
      EXPECT_EQ(roll == 0 ? GetMem(0) : AdjustMem(p, 0), nullptr);
      return CheckChain();
    }
    Piece x;
    Get(x, n);
    Placed(x, static_cast<char*>(AdjustMem(p, n)), 0, n);
    pieces_.push_back(std::move(x));
  }
};

using ModelTest = memtest::MemTest;

TEST_F(ModelTest, RandomCallsMatchTheReferenceModel) {
  for (uint32_t seed : {1u, 2u, 3u, 20240611u, 987654321u}) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    ModelRun run(seed);
    EXPECT_EQ(testutil::CaptureFd(2, [&] { run.Run(4000); }), "") << "a call said something";
    if (HasFatalFailure()) return;
    // The run must have exercised several blocks and real moves to mean anything.
    EXPECT_GE(run.mostBlocks, 4u);
    EXPECT_GT(run.moves, 50);
    run.ReleaseAll();
    if (HasFatalFailure()) return;
  }
}

// Without /dev/zero (no descriptor left to open it) blocks come from the C library heap;
// before and after, they are mapped; each goes back where it came from. The model holds
// throughout; the child's exit status 0 says so.
TEST_F(ModelTest, BlocksFromTheHeapMatchTheReferenceModel) {
  const auto child = [] {
    const long pieces = MemMappedPieces();
    ModelRun run(4);
    run.Run(400);
    rlimit saved{};
    getrlimit(RLIMIT_NOFILE, &saved);
    const rlimit none{0, saved.rlim_max};
    close(MemId);
    MemId = -1;
    setrlimit(RLIMIT_NOFILE, &none);
    run.Run(600);
    bool heap = false;  // some block came from the heap
    for (const MemBlock* b = pMemB; b; b = b->pNext) heap = heap || (b->HeadFromHeap && b->DataFromHeap && MemId < 0);
    setrlimit(RLIMIT_NOFILE, &saved);
    run.Run(600);
    run.ReleaseAll();
    _exit(heap && !HasFailure() && MemId >= 0 && MemMappedPieces() == pieces ? 0 : 1);
  };
  EXPECT_EXIT(child(), ::testing::ExitedWithCode(0), "");
}

}  // namespace
