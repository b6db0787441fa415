// Sha256.cpp - the SHA-256 digest of a file or a block of bytes, as lowercase hex.
//
// The installer computes the digests itself rather than running a host program: the
// hosts it serves (System V, AIX, older Linux) do not all carry one, and a digest in
// the program needs no parsing of another tool's output.
#include "setup/setup.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace {

constexpr std::array<uint32_t, 64> kRound = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

constexpr uint32_t Rotr(uint32_t x, int n) { return (x >> n) | (x << (32 - n)); }

// The running state of one digest.
struct Sha256 {
  std::array<uint32_t, 8> h = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                               0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
  std::array<unsigned char, 64> block{};  // bytes not yet compressed
  size_t used = 0;                        // of block
  uint64_t total = 0;                     // bytes taken in

  void Compress() {
    uint32_t w[64];
    for (int i = 0; i < 16; ++i) {
      w[i] = static_cast<uint32_t>(block[4 * i]) << 24 | static_cast<uint32_t>(block[4 * i + 1]) << 16 |
             static_cast<uint32_t>(block[4 * i + 2]) << 8 | block[4 * i + 3];
    }
    for (int i = 16; i < 64; ++i) {
      const uint32_t s0 = Rotr(w[i - 15], 7) ^ Rotr(w[i - 15], 18) ^ (w[i - 15] >> 3);
      const uint32_t s1 = Rotr(w[i - 2], 17) ^ Rotr(w[i - 2], 19) ^ (w[i - 2] >> 10);
      w[i] = w[i - 16] + s0 + w[i - 7] + s1;
    }
    auto [a, b, c, d, e, f, g, k] = h;
    for (int i = 0; i < 64; ++i) {
      const uint32_t t1 = k + (Rotr(e, 6) ^ Rotr(e, 11) ^ Rotr(e, 25)) + ((e & f) ^ (~e & g)) + kRound[i] + w[i];
      const uint32_t t2 = (Rotr(a, 2) ^ Rotr(a, 13) ^ Rotr(a, 22)) + ((a & b) ^ (a & c) ^ (b & c));
      k = g;
      g = f;
      f = e;
      e = d + t1;
      d = c;
      c = b;
      b = a;
      a = t1 + t2;
    }
    const uint32_t add[8] = {a, b, c, d, e, f, g, k};
    for (int i = 0; i < 8; ++i) h[i] += add[i];
  }

  void Update(const unsigned char* data, size_t size) {
    total += size;
    while (size > 0) {
      const size_t take = std::min(size, block.size() - used);
      std::memcpy(block.data() + used, data, take);
      used += take;
      data += take;
      size -= take;
      if (used == block.size()) {
        Compress();
        used = 0;
      }
    }
  }

  void Finish(char hex[SHA256_HEX_SIZE]) {
    const uint64_t bits = total * 8;
    const unsigned char pad = 0x80;
    Update(&pad, 1);
    const unsigned char zero = 0;
    while (used != 56) Update(&zero, 1);
    unsigned char length[8];
    for (int i = 0; i < 8; ++i) length[i] = static_cast<unsigned char>(bits >> (56 - 8 * i));
    Update(length, sizeof length);
    for (int i = 0; i < 8; ++i) std::snprintf(hex + 8 * i, 9, "%08x", static_cast<unsigned>(h[i]));
  }
};

}  // namespace

void Sha256Hex(const void* data, size_t size, char hex[SHA256_HEX_SIZE]) {
  Sha256 digest;
  digest.Update(static_cast<const unsigned char*>(data), size);
  digest.Finish(hex);
}

int Sha256File(const char* path, char hex[SHA256_HEX_SIZE]) {
  FILE* f = std::fopen(path, "rb");
  if (f == nullptr) return 0;
  Sha256 digest;
  unsigned char buffer[65536];
  size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, f)) > 0) digest.Update(buffer, got);
  const bool failed = std::ferror(f) != 0;
  std::fclose(f);
  if (failed) return 0;
  digest.Finish(hex);
  return 1;
}
