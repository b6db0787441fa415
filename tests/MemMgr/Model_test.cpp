// Model_test.cpp - random requests, releases and resizes checked against a reference model.
//
// The model keeps each block's map as a string and finds free space with a plain
// substring search, the way the manager is described; after every call the real
// chain must match it block for block: addresses, maps, records, FreeNodes, sizes.
// Every piece carries a shadow of the bytes it must hold.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "MemFixture.h"

namespace {

constexpr size_t kNode = 32;
constexpr size_t kBlock = 65536;
constexpr int kNodes = 2048;

struct ModelBlock {
  int id = 0;
  MemBlock* real = nullptr;  // bound to the real block once both chains hold it
  bool dedicated = false;
  size_t size = kBlock;
  size_t used = 0;
  int freeNodes = kNodes;
  std::string mat = std::string(kNodes, ' ');
  std::map<int, int> starts;  // first node of each allocation -> its node count
};

struct Loc {
  int block = -1;  // id of the model block
  int node = 0;
};

// What a resize did to a piece: the first `kept` bytes of the old content stay
// (perhaps at a new place), and the piece now holds `length` bytes.
struct Resize {
  Loc loc;
  size_t kept = 0;
  size_t length = 0;
};

class Model {
 public:
  std::vector<ModelBlock> chain;

  static size_t Round(size_t n) { return (n + 1 + kNode - 1) / kNode * kNode; }

  ModelBlock& Block(int id) {
    auto it = std::find_if(chain.begin(), chain.end(), [id](const ModelBlock& b) { return b.id == id; });
    return *it;
  }

  size_t Length(Loc loc) {
    ModelBlock& b = Block(loc.block);
    return b.dedicated ? b.used : static_cast<size_t>(b.starts.at(loc.node)) * kNode;
  }

  Loc Get(size_t n) {
    const size_t r = Round(n);
    if (r > kBlock) {
      ModelBlock& b = Append();
      b.dedicated = true;
      b.size = (r + kBlock - 1) / kBlock * kBlock;
      b.used = r;
      b.freeNodes = 0;
      b.mat.assign(kNodes, 'U');
      return {b.id, 0};
    }
    const int k = static_cast<int>(r / kNode);
    if (chain.empty()) Append();
    for (size_t at = 0; at < chain.size(); ++at) {
      if (chain[at].freeNodes >= k) {
        const size_t pos = chain[at].mat.find(std::string(static_cast<size_t>(k), ' '));
        if (pos != std::string::npos) {
          ModelBlock& b = chain[at];
          b.mat.replace(pos, static_cast<size_t>(k), static_cast<size_t>(k), 'U');
          b.starts[static_cast<int>(pos)] = k;
          b.freeNodes -= k;
          return {b.id, static_cast<int>(pos)};
        }
      }
      if (at + 1 == chain.size()) Append();
    }
    return {};
  }

  void Put(Loc loc) {
    ModelBlock& b = Block(loc.block);
    if (!b.dedicated) {
      const int c = b.starts.at(loc.node);
      b.mat.replace(static_cast<size_t>(loc.node), static_cast<size_t>(c), static_cast<size_t>(c), ' ');
      b.freeNodes += c;
      b.starts.erase(loc.node);
      if (b.freeNodes < kNodes) return;
    }
    chain.erase(std::find_if(chain.begin(), chain.end(), [&](const ModelBlock& m) { return m.id == loc.block; }));
  }

  Resize Adjust(Loc loc, size_t n) {
    const size_t r = Round(n);
    ModelBlock& b = Block(loc.block);
    if (r <= kBlock && !b.dedicated) {
      const int k = static_cast<int>(r / kNode);
      const int i = loc.node;
      const int c = b.starts.at(i);
      const auto bytes = [](int nodes) { return static_cast<size_t>(nodes) * kNode; };
      if (k == c) return {loc, bytes(c), bytes(c)};
      if (k < c) {
        b.mat.replace(static_cast<size_t>(i + k), static_cast<size_t>(c - k), static_cast<size_t>(c - k), ' ');
        b.starts[i] = k;
        b.freeNodes += c - k;
        return {loc, bytes(k), bytes(k)};
      }
      const int e = k - c;
      const std::string gap(static_cast<size_t>(e), ' ');
      if (i + k <= kNodes && b.mat.compare(static_cast<size_t>(i + c), gap.size(), gap) == 0) {
        b.mat.replace(static_cast<size_t>(i + c), gap.size(), gap.size(), 'U');
        b.starts[i] = k;
        b.freeNodes -= e;
        return {loc, bytes(c), bytes(k)};
      }
      if (i >= e && b.mat.compare(static_cast<size_t>(i - e), gap.size(), gap) == 0) {
        b.mat.replace(static_cast<size_t>(i - e), gap.size(), gap.size(), 'U');
        b.starts.erase(i);
        b.starts[i - e] = k;
        b.freeNodes -= e;
        return {{b.id, i - e}, bytes(c), bytes(k)};
      }
      return Move(loc, r);
    }
    if (r > b.size) return Move(loc, r);
    const size_t kept = std::min(r, b.used);
    b.used = r;
    return {loc, kept, r};
  }

 private:
  int nextId_ = 0;

  ModelBlock& Append() {
    chain.emplace_back();
    chain.back().id = nextId_++;
    return chain.back();
  }

  // A move asks GetMem for the rounded size, copies the old piece and releases it.
  Resize Move(Loc loc, size_t r) {
    const size_t oldLength = Length(loc);
    const Loc q = Get(r);
    const size_t newLength = Length(q);
    Put(loc);
    return {q, oldLength, newLength};
  }
};

// A live piece of the test: where the model has it, the pointer the manager gave,
// and the bytes it must hold.
struct Piece {
  Loc loc;
  char* p = nullptr;
  std::vector<unsigned char> shadow;
};

class ModelRun {
 public:
  explicit ModelRun(uint32_t seed) : rng_(seed) {}

  // Runs the given number of random calls; stops at the first mismatch.
  void Run(int steps) {
    for (step_ = 0; step_ < steps; ++step_) {
      SCOPED_TRACE("step " + std::to_string(step_));
      const uint32_t roll = Pick(100);
      if (pieces_.empty() || (roll < 42 && pieces_.size() < 400)) {
        DoGet();
      } else if (roll < 70 || pieces_.size() >= 400) {
        DoPut();
      } else if (roll < 74) {
        DoIgnoredPut();
      } else {
        DoAdjust();
      }
      if (::testing::Test::HasFatalFailure()) return;
      if (step_ % 64 == 0) CheckAllContents();
      if (::testing::Test::HasFatalFailure()) return;
    }
  }

  // Releases every live piece in random order; the chain must end empty.
  void ReleaseAll() {
    while (!pieces_.empty()) {
      const size_t at = Pick(static_cast<uint32_t>(pieces_.size()));
      model_.Put(pieces_[at].loc);
      PutMem(pieces_[at].p);
      pieces_.erase(pieces_.begin() + static_cast<long>(at));
      CheckChain();
      if (::testing::Test::HasFatalFailure()) return;
    }
    EXPECT_EQ(pMemB, nullptr);
  }

  size_t MostBlocks() const { return mostBlocks_; }
  int Moves() const { return moves_; }

 private:
  std::mt19937 rng_;
  Model model_;
  std::vector<Piece> pieces_;
  int step_ = 0;
  size_t mostBlocks_ = 0;
  int moves_ = 0;

  uint32_t Pick(uint32_t n) { return static_cast<uint32_t>(rng_() % n); }

  // Mostly short texts, some larger pieces, now and then one of a whole block
  // or a dedicated one.
  size_t RandomSize() {
    const uint32_t roll = Pick(100);
    if (roll < 70) return 1 + Pick(600);
    if (roll < 85) return 601 + Pick(8000);
    if (roll < 93) return 8601 + Pick(65535 - 8600);
    if (roll < 95) return 65535 + Pick(3);  // either side of the dedicated limit
    return 65537 + Pick(200000);
  }

  char* Address(Loc loc) {
    ModelBlock& b = model_.Block(loc.block);
    return b.real->pData + static_cast<size_t>(loc.node) * kNode;
  }

  // The real chain must match the model block for block.
  void CheckChain() {
    std::vector<MemBlock*> real = memtest::Chain();
    ASSERT_EQ(real.size(), model_.chain.size()) << "blocks in the chain";
    mostBlocks_ = std::max(mostBlocks_, real.size());
    for (size_t at = 0; at < real.size(); ++at) {
      ModelBlock& m = model_.chain[at];
      if (!m.real) m.real = real[at];  // a block created by this call
      ASSERT_EQ(m.real, real[at]) << "block " << at << " out of order";
      const MemBlock* b = real[at];
      ASSERT_EQ(static_cast<size_t>(b->Size), m.size);
      ASSERT_EQ(static_cast<size_t>(b->Used), m.used);
      ASSERT_EQ(b->FreeNodes, m.freeNodes);
      ASSERT_EQ(memtest::MapOf(b), m.mat) << "map of block " << at;
      ASSERT_EQ(b->pPrev, at ? real[at - 1] : nullptr);
      size_t records = 0;
      for (const MemNode& node : b->Nodes) records += node.NodeCnt != 0 || node.pAddr != nullptr;
      ASSERT_EQ(records, m.starts.size()) << "records of block " << at;
      for (const auto& [i, count] : m.starts) {
        ASSERT_EQ(b->Nodes[i].NodeCnt, count) << "record " << i << " of block " << at;
        ASSERT_EQ(b->Nodes[i].pAddr, b->pData + static_cast<size_t>(i) * kNode);
      }
    }
  }

  void CheckContent(const Piece& piece) {
    ASSERT_TRUE(std::equal(piece.shadow.begin(), piece.shadow.end(),
                           reinterpret_cast<const unsigned char*>(piece.p)))
        << "content of a piece of " << piece.shadow.size() << " bytes";
  }

  void CheckAllContents() {
    for (const Piece& piece : pieces_) {
      CheckContent(piece);
      if (::testing::Test::HasFatalFailure()) return;
    }
  }

  // Writes the first n bytes of a piece with a fresh pattern, as a caller would.
  void Fill(Piece& piece, size_t n) {
    const auto tag = static_cast<unsigned char>(1 + Pick(255));
    for (size_t i = 0; i < n; ++i) piece.shadow[i] = static_cast<unsigned char>(tag + i % 7);
    std::copy(piece.shadow.begin(), piece.shadow.begin() + static_cast<long>(n), piece.p);
  }

  void DoGet() {
    const size_t n = RandomSize();
    Piece piece;
    piece.loc = model_.Get(n);
    piece.p = static_cast<char*>(GetMem(n));
    CheckChain();
    if (::testing::Test::HasFatalFailure()) return;
    ASSERT_EQ(piece.p, Address(piece.loc)) << "GetMem(" << n << ")";
    piece.shadow.assign(model_.Length(piece.loc), 0);
    CheckContent(piece);  // zero-filled
    if (::testing::Test::HasFatalFailure()) return;
    Fill(piece, n);
    pieces_.push_back(std::move(piece));
  }

  void DoPut() {
    const size_t at = Pick(static_cast<uint32_t>(pieces_.size()));
    model_.Put(pieces_[at].loc);
    PutMem(pieces_[at].p);
    pieces_.erase(pieces_.begin() + static_cast<long>(at));
    CheckChain();
  }

  // Pointers that name no allocation change nothing.
  void DoIgnoredPut() {
    const Piece& piece = pieces_[Pick(static_cast<uint32_t>(pieces_.size()))];
    PutMem(piece.p + 1 + Pick(static_cast<uint32_t>(piece.shadow.size() - 1)));
    int local = 0;
    PutMem(&local);
    CheckChain();
  }

  void DoAdjust() {
    const size_t at = Pick(static_cast<uint32_t>(pieces_.size()));
    Piece& piece = pieces_[at];
    const uint32_t roll = Pick(100);
    size_t n;
    if (roll < 5) {
      n = 0;
    } else if (roll < 55) {
      const size_t old = piece.shadow.size();
      n = std::max<size_t>(1, old - std::min<size_t>(old, 200) + Pick(400));
    } else {
      n = RandomSize();
    }
    if (n == 0) {
      model_.Put(piece.loc);
      EXPECT_EQ(AdjustMem(piece.p, 0), nullptr);
      pieces_.erase(pieces_.begin() + static_cast<long>(at));
      CheckChain();
      return;
    }
    const Resize result = model_.Adjust(piece.loc, n);
    char* q = static_cast<char*>(AdjustMem(piece.p, n));
    CheckChain();
    if (::testing::Test::HasFatalFailure()) return;
    ASSERT_EQ(q, Address(result.loc)) << "AdjustMem to " << n;
    if (q != piece.p) ++moves_;
    piece.loc = result.loc;
    piece.p = q;
    piece.shadow.resize(result.kept);
    piece.shadow.resize(result.length, 0);
    CheckContent(piece);  // old content kept, added space zero
    if (::testing::Test::HasFatalFailure()) return;
    Fill(piece, n);
  }
};

using ModelTest = memtest::MemTest;

TEST_F(ModelTest, RandomCallsMatchTheReferenceModel) {
  for (uint32_t seed : {1u, 2u, 3u, 20240611u, 987654321u}) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    ModelRun run(seed);
    run.Run(4000);
    if (HasFatalFailure()) return;
    // The run must have exercised several blocks and real moves to mean anything.
    EXPECT_GE(run.MostBlocks(), 4u);
    EXPECT_GT(run.Moves(), 50);
    run.ReleaseAll();
    if (HasFatalFailure()) return;
  }
}

}  // namespace
