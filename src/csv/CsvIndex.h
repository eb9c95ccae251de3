#pragma once

#include <atomic>
#include <cstdint>
#include <limits>
#include <memory>
#include <string_view>
#include <vector>

#include "text/UnicodeString.h"
#include "text/YieldHook.h"

// Internal to the csv layer: where the rows of a table's content start, found in one pass,
// and how the cells of one row are located and decoded when read. TCsv is the public way in.
namespace norvalis::CsvIndex {

// How the content's code units are stored.
enum class Units : std::uint8_t {
  Bytes,    // a byte code page (Shift_JIS, EUC-JP, UTF-8, or the ANSI code page)
  Utf16LE,  // a UTF-16 file: lone surrogates read as U+FFFD
  Utf16BE,
  Text,  // UTF-16 text already decoded, taken as it is
};

// The content of a table: code units and how to decode them. Delimiters (LF, comma, quotation
// mark, CR) are single code units in every one of these forms, and decoding starts afresh
// after each, so a cell can be decoded on its own.
struct Source {
  std::shared_ptr<const void> owner;  // keeps data alive
  const char* data = nullptr;         // the first code unit (after any mark)
  std::uint64_t units = 0;            // how many code units the content has
  Units kind = Units::Text;
  std::uint16_t codePage = 0;        // for Bytes: how they are decoded
  bool trailingReplacement = false;  // an odd last byte of UTF-16: one U+FFFD at the end
};

// The most a table may hold: what the table's 32-bit counts can address.
struct Limits {
  std::uint64_t rows = std::numeric_limits<std::uint32_t>::max();
  std::uint64_t cellsPerRow = std::numeric_limits<std::uint32_t>::max();
  // The fewest units a part of the pass takes on a thread of its own, and the most parts (0:
  // one per core); tests make parts of a few units.
  std::uint64_t unitsPerPart = std::uint64_t{32} << 20;
  unsigned parts = 0;
};

struct Index {
  bool ok = false;  // false when the content exceeds the limits (or was cancelled)
  bool cancelled = false;
  std::uint32_t rowCount = 0;
  std::uint32_t colCount = 0;
  std::vector<std::uint64_t> rowStart;  // per row: its first code unit
};

// Finds the rows and the width of the widest one; the hook gets (units done, units) on
// elapsed time, and a set cancel flag stops the pass. Large contents are cut at line ends into
// parts scanned on every core; a part whose start lies inside quotes is scanned again in turn.
Index Build(const Source& source, YieldHook& hook, const std::atomic<bool>* cancel = nullptr,
            const Limits& limits = {});

// The code units [begin, end) of one field, as stored: quotation marks and dropped units
// included. Equal raw fields hold equal text.
struct Field {
  std::uint64_t begin = 0;
  std::uint64_t end = 0;
  bool present = true;  // false for a field past the end of its row
};

// The code units of a row: from its start to the next row's (or the content's end).
Field RowUnits(const Source& source, const Index& index, std::uint32_t row);
// Field col of a row whose units are given; empty when the row has fewer fields.
Field LocateField(const Source& source, Field row, std::uint32_t col);
// Every field of a row, up to width of them (the rest of the row is not looked at).
void LocateFields(const Source& source, Field row, std::uint32_t width, std::vector<Field>& fields);
// The raw units of a field as bytes, for comparing (with the odd last byte of UTF-16 where
// the field ends the content).
std::string_view RawUnits(const Source& source, Field field);
// RawUnits of a row's units, in one call.
std::string_view RawRow(const Source& source, const Index& index, std::uint32_t row);
// RawUnits of field col of a row, in one call (nothing of it passes through memory).
std::string_view RawField(const Source& source, const Index& index, std::uint32_t row,
                          std::uint32_t col);
// RawField of field col of each row of [first, end), into out[0 .. end - first), in one walk.
void RawFields(const Source& source, const Index& index, std::uint32_t col, std::uint32_t first,
               std::uint32_t end, std::string_view* out);
// The cell text of a field: decoded, then cut by the dialect (quotes, dropped units).
void DecodeField(const Source& source, Field field, UnicodeString& out);
// The texts of the first cells.size() cells of a row, in one decoding of the row; cells past
// the row's end are empty.
void DecodeRow(const Source& source, Field row, std::vector<UnicodeString>& cells);

}  // namespace norvalis::CsvIndex
