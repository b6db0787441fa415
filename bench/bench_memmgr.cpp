// bench_memmgr.cpp - the block memory manager against the C library heap on a string churn.
//
// About 10,000 texts of 1 to 512 bytes stay alive; each timed operation either
// releases a random text and makes a new one of random size, or grows a random
// text (AdjustMem, realloc for the C library). Both allocators replay the same
// precomputed sequence, and every text is written as a caller would write it.
// After the run the time per operation of the manager is printed as a ratio of
// the C library's. With --replay N, the manager's churn runs N operations untimed.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <type_traits>
#include <vector>

#include <unistd.h>

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

// The texts alive and the place in the replayed sequence.
struct Churn {
  std::vector<char*> text = std::vector<char*>(kLive);
  std::vector<uint32_t> length = std::vector<uint32_t>(kLive);
  size_t next = 0;
};

// Makes the first kLive texts; false when memory runs out.
template <typename Heap>
bool StartChurn(Churn& c) {
  const Workload& load = TheWorkload();
  for (size_t i = 0; i < kLive; ++i) {
    c.length[i] = load.initial[i];
    c.text[i] = static_cast<char*>(Heap::Get(c.length[i]));
    if (!c.text[i]) return false;
    WriteText(c.text[i], 0, c.length[i]);
  }
  return true;
}

// Does the next operation of the sequence; false when memory runs out.
template <typename Heap>
bool StepChurn(Churn& c) {
  const Op& op = TheWorkload().ops[c.next++ % kOps];
  char*& p = c.text[op.slot];
  uint32_t& n = c.length[op.slot];
  if (op.grow && n < kMaxText) {
    const uint32_t grown = std::min<uint32_t>(static_cast<uint32_t>(kMaxText), n + op.size);
    char* q = static_cast<char*>(Heap::Adjust(p, grown));
    if (!q) return false;
    p = q;
    WriteText(p, n - 1, grown);
    n = grown;
  } else {
    Heap::Put(p);
    n = op.grow ? static_cast<uint32_t>(1 + op.size) : op.size;
    p = static_cast<char*>(Heap::Get(n));
    if (!p) return false;
    WriteText(p, 0, n);
  }
  benchmark::DoNotOptimize(p);
  return true;
}

// Releases every text (those made so far when memory ran out).
template <typename Heap>
void EndChurn(Churn& c) {
  for (char* p : c.text) Heap::Put(p);
}

int BlocksOfTheChain() {
  int blocks = 0;
  for (const MemBlock* b = pMemB; b; b = b->pNext) ++blocks;
  return blocks;
}

template <typename Heap>
void BM_StringChurn(benchmark::State& state) {
  Churn c;
  if (!StartChurn<Heap>(c)) state.SkipWithError("out of memory");
  for (auto _ : state) {
    if (state.error_occurred() || !StepChurn<Heap>(c)) {
      state.SkipWithError("out of memory");
      break;
    }
  }
  if constexpr (std::is_same_v<Heap, MemMgrHeap>) state.counters["blocks"] = BlocksOfTheChain();
  EndChurn<Heap>(c);
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
}

// The manager's churn without a clock: a fixed number of operations, the same in
// every run, so that an instruction count (valgrind --tool=callgrind) compares two
// versions of the manager however busy the machine is. 0 when done, 1 when memory
// runs out.
int Replay(unsigned long operations) {
  Churn c;
  bool ok = StartChurn<MemMgrHeap>(c);
  for (unsigned long i = 0; ok && i < operations; ++i) ok = StepChurn<MemMgrHeap>(c);
  std::printf("%lu operations, %d blocks%s\n", operations, BlocksOfTheChain(), ok ? "" : ", out of memory");
  EndChurn<MemMgrHeap>(c);
  return ok ? 0 : 1;
}

BENCHMARK_TEMPLATE(BM_StringChurn, MemMgrHeap)->Name("StringChurn/MemMgr");
BENCHMARK_TEMPLATE(BM_StringChurn, CLibraryHeap)->Name("StringChurn/malloc");
BENCHMARK_TEMPLATE(BM_StringChurn, CLibraryZeroedHeap)->Name("StringChurn/calloc");

// Prints as usual and keeps the mean time per operation of each benchmark.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  // Colours only on a terminal.
  RatioReporter() : ConsoleReporter(isatty(STDOUT_FILENO) ? OO_Defaults : OO_Tabular) {}

  struct Mean {
    double real = 0;  // sums of nanoseconds per operation over the repetitions
    double cpu = 0;
    int count = 0;
  };

  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      // Single runs are averaged; with only aggregates reported, their mean is used.
      const bool single = run.run_type == Run::RT_Iteration;
      if (!single && run.aggregate_name != "mean") continue;
      Mean& m = (single ? runs_ : aggregates_)[run.run_name.str()];
      m.real += run.GetAdjustedRealTime() * NsPer(run.time_unit);
      m.cpu += run.GetAdjustedCPUTime() * NsPer(run.time_unit);
      ++m.count;
    }
    ConsoleReporter::ReportRuns(runs);
  }

  // Mean nanoseconds per operation of the named benchmark; count 0 when it did not run.
  Mean NsPerOp(const std::string& name) const {
    auto it = runs_.find(name);
    if (it == runs_.end()) it = aggregates_.find(name);
    if (it == aggregates_.end()) return {};
    const Mean& m = it->second;
    return {m.real / m.count, m.cpu / m.count, m.count};
  }

 private:
  static double NsPer(benchmark::TimeUnit unit) {
    return 1e9 / benchmark::GetTimeUnitMultiplier(unit);
  }

  std::map<std::string, Mean> runs_;
  std::map<std::string, Mean> aggregates_;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--replay") == 0) return Replay(std::strtoul(argv[2], nullptr, 10));
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  const RatioReporter::Mean mine = reporter.NsPerOp("StringChurn/MemMgr");
  std::printf("\nns per operation, mean of runs:   real      cpu   MemMgr/this (real, cpu)\n");
  for (const char* name : {"StringChurn/MemMgr", "StringChurn/malloc", "StringChurn/calloc"}) {
    const RatioReporter::Mean ns = reporter.NsPerOp(name);
    if (ns.count == 0) continue;
    std::printf("  %-28s %8.1f %8.1f", name, ns.real, ns.cpu);
    if (mine.count > 0) std::printf("   %6.2f %6.2f", mine.real / ns.real, mine.cpu / ns.cpu);
    std::printf("\n");
  }
  // The ratios hold for this run only: how busy the machine was belongs with them.
  double load[3] = {0, 0, 0};
  if (getloadavg(load, 3) == 3) std::printf("load average at the end: %.2f %.2f %.2f\n", load[0], load[1], load[2]);
  benchmark::Shutdown();
  return 0;
}
