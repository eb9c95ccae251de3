#pragma once

#include <atomic>
#include <cstdint>
#include <cstring>
#include <functional>
#include <string_view>

#include "text/YieldHook.h"

// Internal to the check layer: one pass over a range of table rows, split over threads where
// the rows are many enough to pay for them.
namespace norvalis::RowPass {

// How many parts a pass over this many rows is split into: one per core, one for few rows.
unsigned PartsFor(std::uint64_t rows);

// Tests: makes every pass use this many parts, whatever the rows (0: as PartsFor says).
void ForcePartsForTesting(unsigned parts);

// Calls piece(part, begin, end) over [first, end) cut into `parts` consecutive ranges, each
// walked in pieces of a few thousand rows; part 0 runs on the calling thread, which also
// feeds the hook (rows done, rows). Returns false when *cancel was set meanwhile (the pieces
// then stop soon). An exception in any part is raised again here once all parts have ended.
bool Run(std::uint32_t first, std::uint32_t end, unsigned parts, YieldHook* hook,
         const std::atomic<bool>* cancel,
         const std::function<void(unsigned part, std::uint32_t begin, std::uint32_t end)>& piece);

// A hash of raw cell units, for the passes that count or remember cells by them. For up to 8
// units it is a bijection (each step is invertible), so equal hashes of equal lengths there
// mean equal units.
inline std::uint64_t HashRaw(std::string_view raw) {
  constexpr std::uint64_t M = 0x9E3779B97F4A7C15ull;
  const std::size_t size = raw.size();
  std::uint64_t h = size * M;
  const char* p = raw.data();
  std::size_t n = size;
  while (n >= 8) {
    std::uint64_t w;
    std::memcpy(&w, p, 8);
    h = (h ^ w) * M;
    h ^= h >> 29;
    p += 8;
    n -= 8;
  }
  if (n > 0) {
    // The last bytes by loads of fixed size, overlapping where they must: a copy of n bytes
    // would go through memory and stall the load after it.
    std::uint64_t w;
    if (size >= 8) {
      std::memcpy(&w, raw.data() + size - 8, 8);
    } else if (n >= 4) {
      std::uint32_t a;
      std::uint32_t b;
      std::memcpy(&a, p, 4);
      std::memcpy(&b, p + n - 4, 4);
      w = std::uint64_t{a} << 32 | b;
    } else {
      const auto* u = reinterpret_cast<const unsigned char*>(p);
      w = std::uint64_t{u[0]} << 16 | std::uint64_t{u[n / 2]} << 8 | u[n - 1];
    }
    h = (h ^ w) * M;
    h ^= h >> 29;
  }
  return h ^ (h >> 32);
}

// Whether n bytes (at most 24) at a and b are equal, by loads of fixed size, overlapping where
// they must: a call to memcmp costs more than the compare.
inline bool SameShort(const char* a, const char* b, std::size_t n) {
  const auto word = [](const char* p) {
    std::uint64_t w;
    std::memcpy(&w, p, 8);
    return w;
  };
  if (n >= 8) {
    std::uint64_t diff = word(a) ^ word(b);
    if (n > 16) diff |= word(a + 8) ^ word(b + 8);
    return (diff | (word(a + n - 8) ^ word(b + n - 8))) == 0;
  }
  if (n >= 4) {
    std::uint32_t x[2];
    std::uint32_t y[2];
    std::memcpy(&x[0], a, 4);
    std::memcpy(&x[1], a + n - 4, 4);
    std::memcpy(&y[0], b, 4);
    std::memcpy(&y[1], b + n - 4, 4);
    return ((x[0] ^ y[0]) | (x[1] ^ y[1])) == 0;
  }
  for (std::size_t i = 0; i < n; ++i)
    if (a[i] != b[i]) return false;
  return true;
}

// Equal raw units (memcmp is not for null pointers, which empty cells may have).
inline bool SameRaw(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  if (a.size() <= 24) return SameShort(a.data(), b.data(), a.size());
  return std::memcmp(a.data(), b.data(), a.size()) == 0;
}

}  // namespace norvalis::RowPass
