#pragma once

#include <cstdint>
#include <cstring>

#include "csv/CsvIndex.h"
#include "text/CodePage.h"

// Internal to the csv layer: the code units of a table's content as the index pass and the
// cell reader both see them.
namespace norvalis::CsvIndex::CodeUnits {

inline constexpr unsigned Tab = 0x09;
inline constexpr unsigned Lf = 0x0A;
inline constexpr unsigned Cr = 0x0D;
inline constexpr unsigned Quote = 0x22;
inline constexpr unsigned Comma = 0x2C;

// CR, the controls but TAB and LF, and U+007F: the ASCII units the dialect drops.
inline bool asciiDropped(unsigned u) {
  return u == Cr || (u < 0x20 && u != Tab && u != Lf) || u == 0x7F;
}

// Reads code unit i of the content.
template <Units K>
inline unsigned unitAt(const char* data, std::uint64_t i) {
  const auto* p = reinterpret_cast<const unsigned char*>(data);
  if constexpr (K == Units::Bytes) {
    return p[i];
  } else if constexpr (K == Units::Utf16LE) {
    return p[2 * i] | unsigned{p[2 * i + 1]} << 8;
  } else if constexpr (K == Units::Utf16BE) {
    return unsigned{p[2 * i]} << 8 | p[2 * i + 1];
  } else {
    char16_t u;
    std::memcpy(&u, data + 2 * i, sizeof u);
    return u;
  }
}

// How many units at i decode to code units the dialect drops (CR, controls, U+007F, U+0080);
// 0 when the unit at i yields one it keeps.
template <Units K>
inline unsigned droppedAt(const Source& s, std::uint64_t i, unsigned u) {
  if (u < 0x80) return asciiDropped(u) ? 1 : 0;
  if constexpr (K == Units::Bytes) {
    // U+0080: 0x80 alone in Shift_JIS and EUC-JP, C2 80 in UTF-8. Where 0x80 trails a
    // Shift_JIS lead byte, the lead has already made the field hold text.
    if (s.codePage == CodePage::Utf8) {
      return u == 0xC2 && i + 1 < s.units && unitAt<K>(s.data, i + 1) == 0x80 ? 2 : 0;
    }
    return u == 0x80 ? 1 : 0;
  } else {
    return u == 0x80 ? 1 : 0;
  }
}

// Calls visit.template operator()<K>() with the source's kind of units.
template <class Visit>
void withUnits(Units kind, Visit visit) {
  switch (kind) {
    case Units::Bytes:
      return visit.template operator()<Units::Bytes>();
    case Units::Utf16LE:
      return visit.template operator()<Units::Utf16LE>();
    case Units::Utf16BE:
      return visit.template operator()<Units::Utf16BE>();
    case Units::Text:
      return visit.template operator()<Units::Text>();
  }
}

}  // namespace norvalis::CsvIndex::CodeUnits
