#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "csv/CsvIndex.h"
#include "platform/FileStatus.h"
#include "text/FileState.h"
#include "text/UnicodeString.h"
#include "text/YieldHook.h"

namespace norvalis {

// The table content as plain vectors: rows of cells, zero-based.
using CsvRows = std::vector<std::vector<UnicodeString>>;

// Why a load failed.
enum class CsvLoadError {
  None,
  Missing,      // no such file (or a folder on its path is missing)
  Unreadable,   // it exists but cannot be opened or read
  Folder,       // it is a folder
  OutOfMemory,  // its bytes or its index cannot be held
  Cancelled,    // the cancel flag was set
  TooLarge,     // more rows or columns than a table can count
  NotEmpty,     // the table was loaded already
};

// The outcome of a load: ok, or why not with the text to show.
struct CsvLoadResult {
  CsvLoadError error = CsvLoadError::None;
  UnicodeString message;  // the Japanese text of the failure (empty on success and on Cancelled)
  // Where the decoding stopped short of the file's end at a NUL character (the code pages that
  // end there: nothing recognised, UTF-16): the offset of that byte in the file.
  std::optional<std::uint64_t> stoppedAt = std::nullopt;
  bool ok() const { return error == CsvLoadError::None; }
};

// "読み込みは N バイト目で止まりました（NUL文字）" for a load that stopped at offset (N counts
// from 1, so it names the NUL byte itself).
UnicodeString StoppedAtText(std::uint64_t offset);

class FileBytes;

// Where the time of the last load from a file went, in seconds.
struct CsvLoadStages {
  double open = 0;          // opening and mapping (or reading) the file
  double detect = 0;        // detecting the encoding
  double decode = 0;        // decoding first, for encodings that are not indexed as they are
  double index = 0;         // finding the rows and the counts
  std::uint64_t bytes = 0;  // the file's bytes read
};

// A loaded table: the content's code units held once (a file's bytes stay mapped), the
// start of every row, and the counts. Cells are located and decoded when read. Immutable
// once built, so it may be shared and read from any thread.
class CsvTable {
 public:
  ~CsvTable();
  // A table of no rows, for operations asked of a document that holds none.
  static const CsvTable& Empty();

  std::uint32_t RowCount() const { return index_.rowCount; }
  // Width of the widest row; shorter rows read as padded with empty cells.
  std::uint32_t ColCount() const { return index_.colCount; }
  // The code page the cells are decoded with (0 for a text given decoded).
  std::uint16_t CodePage() const { return codePage_; }
  // The cell's text, decoded on each call; empty outside the counts or in a row's padding.
  UnicodeString Cell(std::uint32_t row, std::uint32_t col) const;
  // All ColCount() cells of a row (empty ones past its end), in one pass over it.
  void RowCells(std::uint32_t row, std::vector<UnicodeString>& cells) const;
  // True when a page of the file was lost under the table (it reads as empty cells there).
  bool Stale() const;
  // How the file on disk compares with what the table holds (a table from a text, a pipe or a
  // device is always Same), and what can be said of the change.
  FileState DiskState() const { return DiskChange().state; }
  FileChange DiskChange() const;
  // Where reading stopped at a NUL byte (see CsvLoadResult::stoppedAt).
  std::optional<std::uint64_t> StoppedAt() const { return stoppedAt_; }

  // The cell as stored, for comparing: cells with equal raw units hold equal text (the
  // converse does not hold; decode with CellText to compare unequal ones).
  std::string_view RawCell(std::uint32_t row, std::uint32_t col) const;
  // The text of a raw cell of this table.
  UnicodeString CellText(std::string_view raw) const;
  // The same into out (replaced), allocating nothing of its own once out has room.
  void CellText(std::string_view raw, UnicodeString& out) const;

  // Whether the content is the file's own bytes (a byte code page or UTF-16), so a row can be
  // written out as the file holds it; false for content decoded first (ISO-2022-JP, UTF-7,
  // UTF-32) and for a text given decoded.
  bool HoldsFileBytes() const;
  // The file's bytes before the content (its byte-order mark), when HoldsFileBytes().
  std::string_view LeadingBytes() const;
  // A row's line as stored, its line end included: the file's bytes, or UTF-16 code units in
  // the machine's order for content decoded first. The last row ends at its LF (or the
  // content's end); lines after it that hold no cell are not part of it.
  std::string_view RowLine(std::uint32_t row) const;
  // The regular file the table was read from (null for a pipe, a device or a text).
  std::optional<platform::FileIdentity> SourceFileIdentity() const;
  // RawCell of every one of the row's ColCount() cells, in one pass over the row.
  void RawCells(std::uint32_t row, std::vector<std::string_view>& cells) const;
  // RawCell(row, col) of each row of [first, end) into cells, in one walk over their bytes.
  void RawColumn(std::uint32_t col, std::uint32_t first, std::uint32_t end,
                 std::vector<std::string_view>& cells) const;
  // Whether the raw units are the bytes of one code page (else UTF-16 code units).
  bool RawIsBytes() const { return source_.kind == CsvIndex::Units::Bytes; }

 private:
  friend class TCsv;
  CsvTable(CsvIndex::Source source, CsvIndex::Index index, std::uint16_t codePage,
           std::shared_ptr<const FileBytes> file, std::optional<std::uint64_t> stoppedAt);

  CsvIndex::Source source_;
  CsvIndex::Index index_;
  std::uint16_t codePage_ = 0;
  std::shared_ptr<const FileBytes> file_;
  std::optional<std::uint64_t> stoppedAt_;
};

// One CSV file as a rectangular, read-only table of UTF-16 cells.
class TCsv {
 public:
  TCsv();
  ~TCsv();
  TCsv(const TCsv&) = delete;
  TCsv& operator=(const TCsv&) = delete;

  // Reads the file decoded by codePage (0: detected) and replaces the table with it, reporting
  // progress through the yield hook and stopping with Cancelled soon after *cancel becomes
  // true (a pipe or a FIFO is waited for as cat waits). The table is changed only by a load
  // that succeeds.
  CsvLoadResult Load(const UnicodeString& fileName, std::uint16_t codePage = 0,
                     const std::atomic<bool>* cancel = nullptr);
  // Reads, decodes and parses the file into an empty table; false on any failure (the table
  // stays as it was).
  bool LoadFromFile(const UnicodeString& fileName);
  // The stages of the last Load.
  const CsvLoadStages& LastLoadStages() const { return stages_; }
  // Parses a decoded text into an empty table; false, with nothing changed, if not empty.
  bool LoadFromText(const UnicodeString& text);
  // The same, parsing in the text's own buffer.
  bool LoadFromText(UnicodeString&& text);
  // Back to the empty state.
  void Clear();
  bool IsEmpty() const;
  std::uint32_t GetRowCount() const;
  std::uint32_t GetColCount() const;
  // The cell's text; empty outside the counts.
  UnicodeString GetCell(std::uint32_t row, std::uint32_t col) const;
  // A copy of all rows, each exactly GetColCount() cells wide.
  CsvRows GetRows() const;
  // The loaded table for read-only sharing; null when empty.
  std::shared_ptr<const CsvTable> Share() const { return table_; }
  // The loaded table, or CsvTable::Empty(); valid until the next load or clear (hold Share()
  // where one may come meanwhile).
  const CsvTable& Table() const { return table_ ? *table_ : CsvTable::Empty(); }
  // The code page the last load from a file decoded with (0 before any load).
  std::uint16_t CodePage() const { return codePage_; }

  // Exchanges the contents of two tables (a load made elsewhere, e.g. on a worker thread).
  void Swap(TCsv& other) noexcept;

  // Called on elapsed time while a text is parsed (and while a file is decoded).
  void SetYieldHook(YieldHook hook) { yield_ = std::move(hook); }

 private:
  // Stores a table built from source, over a loaded one when replace is set; nothing changes
  // when it cannot be indexed.
  CsvLoadResult Adopt(CsvIndex::Source source, std::uint16_t codePage,
                      std::shared_ptr<const FileBytes> file, const std::atomic<bool>* cancel,
                      bool replace, std::optional<std::uint64_t> stoppedAt = std::nullopt);

  std::shared_ptr<const CsvTable> table_;
  std::uint16_t codePage_ = 0;
  CsvLoadStages stages_;
  YieldHook yield_;
};

// The code page a load of the file decodes with: codePage when one is asked for, else the one
// detected from the file's first bytes. Fails as a load would when the file cannot be read.
CsvLoadResult CodePageOfFile(const UnicodeString& fileName, std::uint16_t codePage,
                             std::uint16_t& used);

// Cuts a decoded text into ragged rows by the CSV dialect.
CsvRows ParseCsvText(const UnicodeString& text);
// Stores one code unit into cell (row, col), growing the rows as needed.
void AppendCellChar(std::uint32_t row, std::uint32_t col, char16_t unit, CsvRows& rows);

}  // namespace norvalis
