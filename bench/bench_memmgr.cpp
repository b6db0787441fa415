// bench_memmgr.cpp - the block memory manager against the C library heap on a string churn.
//
// About 10,000 texts of 1 to 512 bytes stay alive; each timed operation either
// releases a random text and makes a new one of random size, or grows a random
// text (AdjustMem, realloc for the C library). Both allocators replay the same
// precomputed sequence, and every text is written as a caller would write it.
// After the run the time per operation of the manager is printed as a ratio of
// the C library's.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "MemMgr/MemMgr.h"

namespace {

constexpr size_t kLive = 10000;      // texts alive at any time
constexpr size_t kMaxText = 512;     // largest text, terminator included
constexpr size_t kOps = 1u << 18;    // length of the replayed sequence
constexpr uint32_t kGrowPercent = 30;

struct Op {
  uint32_t slot;   // which live text
  uint16_t size;   // size of a new text, or bytes added by a growth
  bool grow;       // grow the text instead of replacing it
};

struct Workload {
  std::vector<uint16_t> initial;  // sizes of the first kLive texts
  std::vector<Op> ops;
};

const Workload& TheWorkload() {
  static const Workload w = [] {
    Workload load;
    std::mt19937 rng(12345);
    auto size = [&rng] { return static_cast<uint16_t>(1 + rng() % kMaxText); };
    for (size_t i = 0; i < kLive; ++i) load.initial.push_back(size());
    for (size_t i = 0; i < kOps; ++i) {
      const bool grow = rng() % 100 < kGrowPercent;
      const auto slot = static_cast<uint32_t>(rng() % kLive);
      const auto n = grow ? static_cast<uint16_t>(1 + rng() % 128) : size();
      load.ops.push_back({slot, n, grow});
    }
    return load;
  }();
  return w;
}

struct MemMgrHeap {
  static void* Get(size_t n) { return GetMem(n); }
  static void Put(void* p) { PutMem(p); }
  static void* Adjust(void* p, size_t n) { return AdjustMem(p, n); }
};

struct CLibraryHeap {
  static void* Get(size_t n) { return std::malloc(n); }
  static void Put(void* p) { std::free(p); }
  static void* Adjust(void* p, size_t n) { return std::realloc(p, n); }
};

struct CLibraryZeroedHeap {
  static void* Get(size_t n) { return std::calloc(1, n); }
  static void Put(void* p) { std::free(p); }
  static void* Adjust(void* p, size_t n) { return std::realloc(p, n); }
};

// Writes the part [from, n) of a text of n bytes, terminator last.
void WriteText(char* p, size_t from, size_t n) {
  std::memset(p + from, 'a' + static_cast<int>(n % 26), n - 1 - std::min(from, n - 1));
  p[n - 1] = '\0';
}

template <typename Heap>
void BM_StringChurn(benchmark::State& state) {
  const Workload& load = TheWorkload();
  std::vector<char*> text(kLive);
  std::vector<uint32_t> length(kLive);
  for (size_t i = 0; i < kLive; ++i) {
    length[i] = load.initial[i];
    text[i] = static_cast<char*>(Heap::Get(length[i]));
    WriteText(text[i], 0, length[i]);
  }
  size_t next = 0;
  for (auto _ : state) {
    const Op& op = load.ops[next++ % kOps];
    char*& p = text[op.slot];
    uint32_t& n = length[op.slot];
    if (op.grow && n < kMaxText) {
      const uint32_t grown = std::min<uint32_t>(static_cast<uint32_t>(kMaxText), n + op.size);
      p = static_cast<char*>(Heap::Adjust(p, grown));
      WriteText(p, n - 1, grown);
      n = grown;
    } else {
      Heap::Put(p);
      n = op.grow ? static_cast<uint32_t>(1 + op.size) : op.size;
      p = static_cast<char*>(Heap::Get(n));
      WriteText(p, 0, n);
    }
    benchmark::DoNotOptimize(p);
  }
  if constexpr (std::is_same_v<Heap, MemMgrHeap>) {
    int blocks = 0;
    for (const MemBlock* b = pMemB; b; b = b->pNext) ++blocks;
    state.counters["blocks"] = blocks;
  }
  for (char* p : text) Heap::Put(p);
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
}

BENCHMARK_TEMPLATE(BM_StringChurn, MemMgrHeap)->Name("StringChurn/MemMgr");
BENCHMARK_TEMPLATE(BM_StringChurn, CLibraryHeap)->Name("StringChurn/malloc");
BENCHMARK_TEMPLATE(BM_StringChurn, CLibraryZeroedHeap)->Name("StringChurn/calloc");

// Prints as usual and keeps the mean time per operation of each benchmark.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.run_type != Run::RT_Iteration || run.iterations == 0) continue;
      const double ns = run.real_accumulated_time * 1e9 / static_cast<double>(run.iterations);
      Mean& m = means_[run.benchmark_name()];
      m.sum += ns;
      ++m.count;
    }
    ConsoleReporter::ReportRuns(runs);
  }

  // Nanoseconds per operation of the named benchmark; negative when it did not run.
  double NsPerOp(const std::string& name) const {
    auto it = means_.find(name);
    return it == means_.end() ? -1.0 : it->second.sum / it->second.count;
  }

 private:
  struct Mean {
    double sum = 0;
    int count = 0;
  };
  std::map<std::string, Mean> means_;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  const double mine = reporter.NsPerOp("StringChurn/MemMgr");
  std::printf("\nns per operation (real time, mean of runs):\n");
  for (const char* name : {"StringChurn/MemMgr", "StringChurn/malloc", "StringChurn/calloc"}) {
    const double ns = reporter.NsPerOp(name);
    if (ns < 0) continue;
    std::printf("  %-20s %10.1f\n", name, ns);
    if (mine > 0 && std::string(name) != "StringChurn/MemMgr") {
      std::printf("  %-20s %10.2f  (MemMgr time / %s time)\n", "ratio", mine / ns, name + 12);
    }
  }
  benchmark::Shutdown();
  return 0;
}
