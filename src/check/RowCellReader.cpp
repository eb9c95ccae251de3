#include "check/RowCellReader.h"

#include <algorithm>
#include <array>
#include <bit>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "text/CodePage.h"
#include "text/Cp932Facts.h"
#include "text/StringUtility.h"

namespace norvalis {

namespace {

// Bytes that end a plain run: the quote, the comma, and what the dialect may drop (controls,
// 7F, and 80, which is U+0080 on its own and only rarely a trail byte).
bool isStop(unsigned b) {
  return b < 0x20 || b == '"' || b == ',' || b == 0x7F || b == 0x80;
}

struct ByteTables {
  std::array<char16_t, 256> single{};  // what a byte decodes to alone (its own decoding's)
  std::array<bool, 256> stop{};
  ByteTables() {
    UnicodeString text;
    for (unsigned b = 0; b < 256; ++b) {
      stop[b] = isStop(b);
      if (Cp932Facts::IsLeadByte(b)) continue;
      const char byte = static_cast<char>(b);
      text.clear();
      TStringUtility::AppendConvertedPiece(std::string_view(&byte, 1), CodePage::ShiftJis, false,
                                           text);
      single[b] = text.size() == 1 ? text[0] : u'\uFFFD';
    }
  }
};

const ByteTables& byteTables() {
  static const ByteTables tables;
  return tables;
}

#if defined(__SSE2__)
// Bit k: byte k of the 64 at p is a stop byte.
inline std::uint64_t stopMask(const unsigned char* p) {
  const __m128i flip = _mm_set1_epi8(static_cast<char>(0x80));
  const __m128i below = _mm_set1_epi8(static_cast<char>(0x20 ^ 0x80));
  std::uint64_t mask = 0;
  for (int k = 0; k < 4; ++k) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * k));
    // Unsigned v < 0x20 by the sign flip.
    __m128i stop = _mm_cmplt_epi8(_mm_xor_si128(v, flip), below);
    stop = _mm_or_si128(stop, _mm_cmpeq_epi8(v, _mm_set1_epi8('"')));
    stop = _mm_or_si128(stop, _mm_cmpeq_epi8(v, _mm_set1_epi8(',')));
    stop = _mm_or_si128(stop, _mm_cmpeq_epi8(v, _mm_set1_epi8(0x7F)));
    stop = _mm_or_si128(stop, _mm_cmpeq_epi8(v, flip));
    mask |= static_cast<std::uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(stop))) << (16 * k);
  }
  return mask;
}
#endif

// Per byte of the row, a bit: a stop byte.
void classifyRow(const unsigned char* p, std::size_t n, std::vector<std::uint64_t>& stops) {
  const std::size_t words = (n + 63) / 64;
  stops.resize(words + 1);
  stops[words] = 0;
  std::size_t w = 0;
#if defined(__SSE2__)
  for (; 64 * w + 64 <= n; ++w)
    stops[w] = stopMask(p + 64 * w);
  if (64 * w < n) {
    // The last bytes through a copy: the row may end the mapping.
    unsigned char tail[64] = {};
    std::copy(p + 64 * w, p + n, tail);
    stops[w] = stopMask(tail) & ((std::uint64_t{1} << (n - 64 * w)) - 1);
  }
#else
  const ByteTables& t = byteTables();
  for (; w < words; ++w) {
    std::uint64_t mask = 0;
    for (std::size_t i = 64 * w; i < std::min(n, 64 * w + 64); ++i)
      if (t.stop[p[i]]) mask |= std::uint64_t{1} << (i % 64);
    stops[w] = mask;
  }
#endif
}

// The first set bit at or after i (n when none before n).
std::size_t nextBit(const std::vector<std::uint64_t>& bits, std::size_t i, std::size_t n) {
  std::size_t w = i / 64;
  std::uint64_t word = bits[w] & (~std::uint64_t{0} << (i % 64));
  while (word == 0) {
    if (++w * 64 >= n) return n;
    word = bits[w];
  }
  return std::min(n, w * 64 + static_cast<std::size_t>(std::countr_zero(word)));
}

}  // namespace

RowCellReader::RowCellReader(const CsvTable& table, std::vector<std::uint32_t> columns)
    : table_(table),
      columns_(std::move(columns)),
      bytes_(table.RawIsBytes() && table.CodePage() == CodePage::ShiftJis) {
  std::sort(columns_.begin(), columns_.end());
  columns_.erase(std::unique(columns_.begin(), columns_.end()), columns_.end());
  const std::uint32_t width = columns_.empty() ? 0 : columns_.back() + 1;
  cells_.resize(std::min(width, table.ColCount()));
  chosen_.assign(cells_.size(), false);
  content_.resize(cells_.size());
  decoded_.assign(cells_.size(), 0);
  for (const std::uint32_t col : columns_)
    if (col < chosen_.size()) chosen_[col] = true;
}

// The content (between any quotes) of every field of a plain Shift_JIS row, up to width of
// them; false for a row the plain cut does not cover. A quote or a comma is never a trail byte,
// so the bytes are cut as they are.
bool RowCellReader::PlainFields(std::string_view row, std::size_t width) {
  fields_.clear();
  const auto* p = reinterpret_cast<const unsigned char*>(row.data());
  std::size_t n = row.size();
  if (n > 0 && p[n - 1] == '\n') --n;
  if (n > 0 && p[n - 1] == '\r') --n;
  classifyRow(p, n, stops_);
  std::size_t i = 0;
  for (;;) {
    const bool quoted = i < n && p[i] == '"';
    const std::size_t begin = quoted ? i + 1 : i;
    std::size_t j = nextBit(stops_, begin, n);
    while (quoted && j < n && p[j] == ',')
      j = nextBit(stops_, j + 1, n);
    if (quoted) {
      if (j >= n || p[j] != '"') return false;
      fields_.emplace_back(begin, j);
      ++j;
    } else {
      if (j < n && p[j] != ',') return false;
      fields_.emplace_back(begin, j);
    }
    if (j >= n) return true;
    if (p[j] != ',') return false;
    // The rest of the row is not read: a wrong byte there cannot change these fields.
    if (fields_.size() >= width) return true;
    i = j + 1;
  }
}

void RowCellReader::Read(std::uint32_t row) {
  plain_ = false;
  if (bytes_) {
    row_ = table_.RowLine(row);
    if (PlainFields(row_, cells_.size())) {
      plain_ = true;
      for (const std::uint32_t col : columns_) {
        if (col >= cells_.size()) break;
        decoded_[col] = 0;
        content_[col] = col < fields_.size() ? row_.substr(fields_[col].first,
                                                           fields_[col].second - fields_[col].first)
                                             : std::string_view();
      }
      return;
    }
  }
  table_.RowCells(row, whole_);
  for (std::uint32_t col = 0; col < cells_.size(); ++col)
    if (chosen_[col]) cells_[col].swap(whole_[col]);
}

void RowCellReader::Decode(std::uint32_t col) {
  decoded_[col] = 1;
  UnicodeString& cell = cells_[col];
  cell.clear();
  const std::string_view bytes = content_[col];
  if (bytes.empty()) return;
  if (std::any_of(bytes.begin(), bytes.end(),
                  [](char b) { return Cp932Facts::IsLeadByte(static_cast<unsigned char>(b)); })) {
    TStringUtility::AppendConvertedPiece(bytes, CodePage::ShiftJis, false, cell);
    return;
  }
  // Single bytes only: each decodes on its own.
  const ByteTables& t = byteTables();
  cell.resize(bytes.size());
  for (std::size_t k = 0; k < bytes.size(); ++k)
    cell[k] = t.single[static_cast<unsigned char>(bytes[k])];
}

}  // namespace norvalis
