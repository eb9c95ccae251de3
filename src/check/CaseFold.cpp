#include "check/CaseFold.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <iterator>
#include <memory>

#include "check/CaseFoldRuns.h"

namespace norvalis::CaseFold {

namespace {

using CaseFoldData::Run;
using CaseFoldData::Runs;

constexpr char32_t lastOf(const Run& run) {
  return run.first + static_cast<char32_t>((run.count - 1) * run.stride);
}

constexpr bool isHigh(char16_t u) {
  return u >= 0xD800 && u <= 0xDBFF;
}
constexpr bool isLow(char16_t u) {
  return u >= 0xDC00 && u <= 0xDFFF;
}

char32_t searchRuns(char32_t c) {
  // The last run starting at or before c.
  const Run* run = std::upper_bound(std::begin(Runs), std::end(Runs), c,
                                    [](char32_t v, const Run& r) { return v < r.first; });
  if (run == std::begin(Runs)) return c;
  --run;
  if (c > lastOf(*run) || (c - run->first) % run->stride != 0) return c;
  return static_cast<char32_t>(static_cast<std::int64_t>(c) + run->delta);
}

// The folding of every unit of the basic plane: a search folds each unit of each cell, and
// one look-up is what keeps it as fast as a search that minds case.
const std::array<char16_t, 0x10000>& basicPlane() {
  static const std::unique_ptr<const std::array<char16_t, 0x10000>> table = [] {
    auto units = std::make_unique<std::array<char16_t, 0x10000>>();
    for (char32_t c = 0; c < 0x10000; ++c)
      (*units)[c] = static_cast<char16_t>(searchRuns(c));
    return units;
  }();
  return *table;
}

}  // namespace

char32_t FoldCodePoint(char32_t c) {
  return c < 0x10000 ? basicPlane()[c] : searchRuns(c);
}

void Fold(std::u16string_view text, std::u16string& out) {
  const std::array<char16_t, 0x10000>& units = basicPlane();
  out.resize(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t u = text[i];
    if (isHigh(u) && i + 1 < text.size() && isLow(text[i + 1])) {
      const char32_t c = 0x10000 + ((static_cast<char32_t>(u) - 0xD800) << 10) +
                         (static_cast<char32_t>(text[i + 1]) - 0xDC00);
      const char32_t folded = searchRuns(c) - 0x10000;
      out[i] = static_cast<char16_t>(0xD800 + (folded >> 10));
      out[i + 1] = static_cast<char16_t>(0xDC00 + (folded & 0x3FF));
      ++i;
    } else {
      // A lone surrogate folds to itself, as every unit without a case does.
      out[i] = units[u];
    }
  }
}

}  // namespace norvalis::CaseFold
