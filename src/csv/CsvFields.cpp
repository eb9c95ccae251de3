#include <algorithm>
#include <array>

#include "csv/CsvIndex.h"
#include "csv/CsvUnits.h"
#include "text/StringUtility.h"

// Locating the fields of a row and decoding one of them.
namespace norvalis::CsvIndex {

namespace {

using namespace CodeUnits;

// What a byte is to the dialect when fields are located.
enum ByteClass : std::uint8_t { Plain, QuoteByte, Delimiter, DroppedByte, MaybeDropped };

struct ByteClasses {
  std::array<std::uint8_t, 256> of{};
  explicit ByteClasses(unsigned maybeDropped) {
    for (unsigned b = 0; b < 0x80; ++b)
      of[b] = asciiDropped(b) ? DroppedByte : Plain;
    of[Quote] = QuoteByte;
    of[Comma] = Delimiter;
    of[Lf] = Delimiter;
    of[maybeDropped] = MaybeDropped;
  }
};

// forEachField for bytes: the same dialect, in tight loops over the bytes of each field.
template <class Emit>
void forEachByteField(const Source& source, Field row, Emit emit) {
  static const ByteClasses utf8(0xC2);
  static const ByteClasses others(0x80);
  const auto& cls = (source.codePage == CodePage::Utf8 ? utf8 : others).of;
  const auto* p = reinterpret_cast<const unsigned char*>(source.data);
  const std::uint64_t end = row.end;
  std::uint64_t i = row.begin;
  for (;;) {
    const std::uint64_t begin = i;
    // The first unit the dialect keeps decides whether the field is quoted.
    while (i < end) {
      const std::uint8_t c = cls[p[i]];
      if (c == DroppedByte) {
        ++i;
      } else if (c == MaybeDropped) {
        const unsigned dropped = droppedAt<Units::Bytes>(source, i, p[i]);
        if (dropped == 0) break;
        i += dropped;
      } else {
        break;
      }
    }
    if (i < end && p[i] == Quote) {
      bool inside = false;
      for (; i < end; ++i) {
        const std::uint8_t c = cls[p[i]];
        if (c == QuoteByte) {
          inside = !inside;
        } else if (c == Delimiter && !inside) {
          break;
        }
      }
    } else {
      while (i < end && cls[p[i]] != Delimiter)
        ++i;
    }
    if (i >= end) {
      emit(Field{begin, std::max(begin, end)});
      return;
    }
    if (!emit(Field{begin, i}) || p[i] == Lf) return;
    ++i;
  }
}

// Calls emit(field) for each field of the row, until it returns false.
template <Units K, class Emit>
void forEachField(const Source& source, Field row, Emit emit) {
  if constexpr (K == Units::Bytes) {
    forEachByteField(source, row, emit);
    return;
  }
  std::uint64_t begin = row.begin;
  bool atFieldStart = true;
  bool quoted = false;
  bool inside = false;
  for (std::uint64_t i = row.begin; i < row.end;) {
    const unsigned u = unitAt<K>(source.data, i);
    if (const unsigned dropped = droppedAt<K>(source, i, u)) {
      i += dropped;
      continue;
    }
    if (atFieldStart) {
      quoted = u == Quote;
      inside = false;
    }
    bool ends = false;
    if (!quoted) {
      ends = u == Lf || u == Comma;
      atFieldStart = false;
    } else {
      if (u == Quote) inside = !inside;
      if (inside) {
        atFieldStart = false;
      } else if (u == Comma || u == Lf) {
        ends = true;
      } else if (u != Quote) {
        atFieldStart = false;
      }
    }
    if (ends) {
      if (!emit(Field{begin, i}) || u == Lf) return;
      begin = i + 1;
      atFieldStart = true;
    }
    ++i;
  }
  emit(Field{begin, std::max(begin, row.end)});
}

std::size_t unitBytes(Units kind) {
  return kind == Units::Bytes ? 1 : 2;
}

bool isHighSurrogate(unsigned u) {
  return u >= 0xD800 && u <= 0xDBFF;
}
bool isLowSurrogate(unsigned u) {
  return u >= 0xDC00 && u <= 0xDFFF;
}

template <Units K>
void decodeUtf16Units(const Source& source, Field field, UnicodeString& out) {
  for (std::uint64_t i = field.begin; i < field.end; ++i) {
    const unsigned u = unitAt<K>(source.data, i);
    if (isHighSurrogate(u) && i + 1 < field.end && isLowSurrogate(unitAt<K>(source.data, i + 1))) {
      out += static_cast<char16_t>(u);
      out += static_cast<char16_t>(unitAt<K>(source.data, ++i));
    } else if (isHighSurrogate(u) || isLowSurrogate(u)) {
      out += u'\uFFFD';
    } else {
      out += static_cast<char16_t>(u);
    }
  }
}

bool keptByDialect(char16_t unit) {
  if (unit == Cr) return false;
  if (unit > 0x80) return true;
  return unit == Tab || unit == Lf || (unit >= 0x20 && unit <= 0x7E);
}

// The dialect over decoded units, up to the LF that ends a row: the text of field col goes to
// *cell(col), and the cut stops where cell gives null.
template <class Cell>
void cutUnits(std::u16string_view units, Cell cell) {
  std::size_t col = 0;
  UnicodeString* out = cell(col);
  bool atFieldStart = true;
  bool quoted = false;
  bool inside = false;
  for (const char16_t unit : units) {
    if (out == nullptr) return;
    if (!keptByDialect(unit)) continue;
    if (atFieldStart) {
      quoted = unit == Quote;
      inside = false;
    }
    if (quoted && unit == Quote) inside = !inside;
    if (!inside && (unit == Comma || unit == Lf)) {
      if (unit == Lf) return;
      out = cell(++col);
      atFieldStart = true;
      continue;
    }
    // The quote that opens a field, and one that closes its quotes, add nothing.
    if (!(quoted && unit == Quote && (atFieldStart || !inside))) *out += unit;
    atFieldStart = false;
  }
}

// One field's decoded units to its cell text: dropped units out, quotes resolved.
void cutField(std::u16string_view units, UnicodeString& out) {
  // Most fields are unquoted and drop nothing: their units are their text.
  std::size_t start = 0;
  while (start < units.size() && !keptByDialect(units[start]))
    ++start;
  if (start < units.size() && units[start] != Quote) {
    std::size_t end = start;
    while (end < units.size() && keptByDialect(units[end]))
      ++end;
    if (end == units.size()) {
      out.append(units.substr(start));
      return;
    }
  }
  // A field holds no separator outside its quotes, or it would have ended there.
  cutUnits(units, [&out](std::size_t col) { return col == 0 ? &out : nullptr; });
}

}  // namespace

Field RowUnits(const Source& source, const Index& index, std::uint32_t row) {
  if (row >= index.rowCount) return {};
  const std::uint64_t end = row + 1 < index.rowCount ? index.rowStart[row + 1] : source.units;
  return Field{index.rowStart[row], end};
}

Field LocateField(const Source& source, Field row, std::uint32_t col) {
  Field found{row.end, row.end, false};
  std::uint32_t at = 0;
  withUnits(source.kind, [&]<Units K>() {
    forEachField<K>(source, row, [&](Field field) {
      if (at++ != col) return true;
      found = field;
      return false;
    });
  });
  return found;
}

void LocateFields(const Source& source, Field row, std::uint32_t width,
                  std::vector<Field>& fields) {
  fields.clear();
  if (width == 0) return;
  withUnits(source.kind, [&]<Units K>() {
    forEachField<K>(source, row, [&](Field field) {
      fields.push_back(field);
      return fields.size() < width;
    });
  });
}

std::string_view RawUnits(const Source& source, Field field) {
  if (!field.present) return {};
  const std::size_t size = unitBytes(source.kind);
  // The odd last byte of UTF-16 belongs to the last field, so equal raw fields stay equal text.
  const std::size_t odd = source.trailingReplacement && field.end == source.units ? 1 : 0;
  return std::string_view(source.data + field.begin * size, (field.end - field.begin) * size + odd);
}

namespace {

// The decoded code units of [field.begin, field.end), into units (cleared first).
void decodeUnits(const Source& source, Field field, UnicodeString& units) {
  units.clear();
  const bool atEnd = source.trailingReplacement && field.end == source.units;
  switch (source.kind) {
    case Units::Bytes:
      TStringUtility::AppendConvertedPiece(RawUnits(source, field), source.codePage, false, units);
      break;
    case Units::Utf16LE:
      decodeUtf16Units<Units::Utf16LE>(source, field, units);
      break;
    case Units::Utf16BE:
      decodeUtf16Units<Units::Utf16BE>(source, field, units);
      break;
    case Units::Text: {
      const std::string_view raw = RawUnits(source, field);
      units.resize(raw.size() / 2);
      std::memcpy(units.data(), raw.data(), raw.size());
      break;
    }
  }
  if (atEnd) units += u'\uFFFD';
}

}  // namespace

void DecodeField(const Source& source, Field field, UnicodeString& out) {
  out.clear();
  if (!field.present) return;
  const bool atEnd = source.trailingReplacement && field.end == source.units;
  if (field.begin == field.end && !atEnd) return;
  // Reused: decoding a cell then costs no allocation of its own.
  thread_local UnicodeString units;
  decodeUnits(source, field, units);
  cutField(units, out);
}

void DecodeRow(const Source& source, Field row, std::vector<UnicodeString>& cells) {
  for (UnicodeString& cell : cells)
    cell.clear();
  if (cells.empty()) return;
  // The whole row in one decoding: delimiters stand for themselves and decoding starts afresh
  // after each, so this is the fields' decodings back to back.
  thread_local UnicodeString units;
  decodeUnits(source, row, units);
  cutUnits(units, [&cells](std::size_t col) { return col < cells.size() ? &cells[col] : nullptr; });
}

}  // namespace norvalis::CsvIndex
