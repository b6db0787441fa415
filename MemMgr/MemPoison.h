// MemPoison.h - tells AddressSanitizer which bytes of the manager's blocks belong to
// nobody: free nodes, the tail of a dedicated block and released data areas are
// poisoned, pieces handed out are unpoisoned. Only in sanitizer builds with
// AddressSanitizer; elsewhere every function here does nothing.
#pragma once

#include <cstddef>

#if defined(__SANITIZE_ADDRESS__)
#define KANDU_MEM_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KANDU_MEM_ASAN 1
#endif
#endif

#if defined(KANDU_SANITIZED) && defined(KANDU_MEM_ASAN)
#define KANDU_MEM_POISONING 1
#include <sanitizer/asan_interface.h>
#endif

namespace memmgr {

#ifdef KANDU_MEM_POISONING
constexpr bool kPoisoning = true;
// Marks n bytes at p as belonging to nobody: any access is reported.
inline void Poison(const void* p, size_t n) { __asan_poison_memory_region(p, n); }
// Marks n bytes at p as handed out.
inline void Unpoison(const void* p, size_t n) { __asan_unpoison_memory_region(p, n); }
#else
constexpr bool kPoisoning = false;
inline void Poison(const void*, size_t) {}
inline void Unpoison(const void*, size_t) {}
#endif

}  // namespace memmgr
