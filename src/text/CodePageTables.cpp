#include "text/CodePageTables.h"

#include <cstddef>
#include <memory>
#include <span>

namespace norvalis::CodePageTables {

namespace {

#include "text/CodePageTables.inc"

constexpr char16_t Replacement = u'\uFFFD';

// Expands a table written by scripts/generate-codepages.sh; entries come out in index order.
template <class Put>
void expand(std::span<const std::uint16_t> words, Put put) {
  std::size_t index = 0;
  for (std::size_t w = 0; w < words.size();) {
    const unsigned kind = words[w] >> 14;
    const unsigned count = words[w] & 0x3FFF;
    ++w;
    for (unsigned k = 0; k < count; ++k) {
      switch (kind) {
        case 0:
          put(index++, Unmapped);
          break;
        case 1:
          put(index++, static_cast<char16_t>(words[w] + k));
          break;
        default:
          put(index++, static_cast<char16_t>(words[w + k]));
          break;
      }
    }
    w += kind == 0 ? 0 : kind == 1 ? 1 : count;
  }
}

template <std::size_t N>
void expandInto(std::span<const std::uint16_t> words, std::array<char16_t, N>& table) {
  expand(words, [&table](std::size_t i, char16_t u) {
    if (i < N) table[i] = u;
  });
}

}  // namespace

const Cp932& ShiftJis() {
  static const std::unique_ptr<Cp932> tables = [] {
    auto t = std::make_unique<Cp932>();
    expandInto(Cp932Single, t->single);
    for (unsigned b = 0; b < 256; ++b)
      t->lead[b] = IsSjisLead(b);
    // The data runs over the leads in order, each with the trails 0x40-0xFC.
    expand(Cp932Pair, [&t](std::size_t i, char16_t u) {
      constexpr std::size_t Trails = 0xFC - 0x40 + 1;
      unsigned lead = 0x81 + static_cast<unsigned>(i / Trails);
      if (lead > 0x9F) lead += 0xE0 - 0xA0;
      if (lead <= 0xFC) t->pair[lead << 8 | (0x40 + i % Trails)] = u;
    });
    // Single bytes that Windows maps but glibc rejects.
    t->single[0x80] = u'\u0080';
    t->single[0xA0] = u'\uF8F0';
    t->single[0xFD] = u'\uF8F1';
    t->single[0xFE] = u'\uF8F2';
    t->single[0xFF] = u'\uF8F3';
    for (unsigned b = 1; b < 256; ++b) {
      if (!t->lead[b] && t->single[b] == Unmapped) t->single[b] = Replacement;
    }
    return t;
  }();
  return *tables;
}

const std::array<std::uint16_t, 65536>& ShiftJisCodes() {
  static const std::unique_ptr<std::array<std::uint16_t, 65536>> codes = [] {
    auto c = std::make_unique<std::array<std::uint16_t, 65536>>();
    c->fill(NoCode);
    const Cp932& t = ShiftJis();
    // ASCII and the half-width katakana; the other single bytes decode to what no text holds
    // for them (private use, C1), so they are never written.
    for (unsigned b = 0; b < 256; ++b) {
      if (b < 0x80 || (b >= 0xA1 && b <= 0xDF)) (*c)[t.single[b]] = static_cast<std::uint16_t>(b);
    }
    // The lowest code wins, except that the NEC selection of IBM's extensions (leads 0xED,
    // 0xEE) yields to IBM's own (0xFA-0xFC).
    auto take = [&](unsigned lead) {
      for (unsigned trail = 0x40; trail <= 0xFC; ++trail) {
        const char16_t u = t.pair[lead << 8 | trail];
        if (IsSjisTrail(trail) && u != Unmapped && (*c)[u] == NoCode)
          (*c)[u] = static_cast<std::uint16_t>(lead << 8 | trail);
      }
    };
    for (unsigned lead = 0x81; lead <= 0xFC; ++lead) {
      if (IsSjisLead(lead) && lead != 0xED && lead != 0xEE) take(lead);
    }
    take(0xED);
    take(0xEE);
    return c;
  }();
  return *codes;
}

const EucJp& EucJpMs() {
  static const std::unique_ptr<EucJp> tables = [] {
    auto t = std::make_unique<EucJp>();
    expandInto(EucJpSingle, t->single);
    expandInto(EucJpKana, t->kana);
    expandInto(EucJpPair, t->pair);
    expandInto(EucJpTriple, t->triple);
    return t;
  }();
  return *tables;
}

}  // namespace norvalis::CodePageTables
