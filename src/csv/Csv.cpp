#include "csv/Csv.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <chrono>
#include <new>
#include <utility>

#include "text/Exception.h"
#include "text/FileBytes.h"
#include "text/FileUtility.h"
#include "text/CodePage.h"
#include "text/StringUtility.h"

namespace norvalis {

namespace {

using CsvIndex::Field;
using CsvIndex::Source;
using CsvIndex::Units;

// Whether the code page's bytes are indexed as they are (else the content is decoded first).
bool indexedAsBytes(std::uint16_t codePage) {
  return codePage == CodePage::ShiftJis || codePage == CodePage::EucJp ||
         codePage == CodePage::EucJpAlt || codePage == CodePage::Utf8 || codePage == CodePage::None;
}

// The content of a file's bytes as the decoding of codePage sees it: marks skipped, the ANSI
// code page and UTF-16 cut at their first zero; other code pages decoded whole.
Source sourceFor(const std::shared_ptr<const FileBytes>& file, std::uint16_t codePage,
                 std::optional<std::uint64_t>& stoppedAt) {
  std::string_view bytes = file->View();
  Source source;
  source.owner = file;
  source.codePage = codePage;
  if (indexedAsBytes(codePage)) {
    if (codePage == CodePage::Utf8 && TStringUtility::HasUTF8BOM(bytes)) {
      bytes.remove_prefix(3);
    } else if (codePage == CodePage::None) {
      const std::size_t zero = bytes.find('\0');
      if (zero != std::string_view::npos) stoppedAt = zero;
      bytes = bytes.substr(0, zero);
    }
    source.kind = Units::Bytes;
    source.data = bytes.data();
    source.units = bytes.size();
    return source;
  }
  if (codePage == CodePage::Utf16LE || codePage == CodePage::Utf16BE) {
    const bool big = codePage == CodePage::Utf16BE;
    std::uint64_t mark = 0;
    if (big ? TStringUtility::HasUTF16BEBOM(bytes) : TStringUtility::HasUTF16LEBOM(bytes)) {
      bytes.remove_prefix(2);
      mark = 2;
    }
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const std::uint64_t units = bytes.size() / 2;
    std::uint64_t end = 0;
    while (end < units && (p[2 * end] | p[2 * end + 1]) != 0)
      ++end;
    if (end < units) stoppedAt = mark + 2 * end;
    source.kind = big ? Units::Utf16BE : Units::Utf16LE;
    source.data = bytes.data();
    source.units = end;
    source.trailingReplacement = end == units && bytes.size() % 2 != 0;
    return source;
  }
  auto text =
      std::make_shared<const UnicodeString>(TStringUtility::ConvertByCodePage(bytes, codePage));
  source.kind = Units::Text;
  source.data = reinterpret_cast<const char*>(text->data());
  source.units = text->size();
  source.owner = std::move(text);
  return source;
}

class Stopwatch {
 public:
  // Seconds since the last lap (or the start).
  double Lap() {
    const auto now = std::chrono::steady_clock::now();
    const double seconds = std::chrono::duration<double>(now - last_).count();
    last_ = now;
    return seconds;
  }

 private:
  std::chrono::steady_clock::time_point last_ = std::chrono::steady_clock::now();
};

CsvLoadResult failure(CsvLoadError error, UnicodeString message = {}) {
  return CsvLoadResult{error, std::move(message)};
}

CsvLoadError errorForErrno(int errnum) {
  switch (errnum) {
    case ENOENT:
    case ENOTDIR:
      return CsvLoadError::Missing;
    case EISDIR:
      return CsvLoadError::Folder;
    case ENOMEM:
      return CsvLoadError::OutOfMemory;
    default:
      return CsvLoadError::Unreadable;
  }
}

// Runs a step that reads a file; what the readers raise becomes the result, so no exception
// leaves the table's layer.
template <typename Step>
CsvLoadResult readingFile(Step step) {
  try {
    return step();
  } catch (const ECancelled&) {
    return failure(CsvLoadError::Cancelled);
  } catch (const EFOpenError& error) {
    return failure(errorForErrno(error.ErrorNumber()), error.Message());
  } catch (const Exception& error) {
    // The reader raises only the memory messages besides the open error.
    return failure(CsvLoadError::OutOfMemory, error.Message());
  } catch (const std::bad_alloc&) {
    return failure(CsvLoadError::OutOfMemory, TFileUtility::MemoryMessage);
  } catch (...) {
    return failure(CsvLoadError::Unreadable);
  }
}

}  // namespace

CsvTable::CsvTable(CsvIndex::Source source, CsvIndex::Index index, std::uint16_t codePage,
                   std::shared_ptr<const FileBytes> file, std::optional<std::uint64_t> stoppedAt)
    : source_(std::move(source)),
      index_(std::move(index)),
      codePage_(codePage),
      file_(std::move(file)),
      stoppedAt_(stoppedAt) {}

CsvTable::~CsvTable() = default;

const CsvTable& CsvTable::Empty() {
  static const CsvTable empty({}, {}, 0, nullptr, std::nullopt);
  return empty;
}

UnicodeString CsvTable::Cell(std::uint32_t row, std::uint32_t col) const {
  UnicodeString text;
  if (row >= RowCount() || col >= ColCount()) return text;
  const Field field = CsvIndex::LocateField(source_, CsvIndex::RowUnits(source_, index_, row), col);
  CsvIndex::DecodeField(source_, field, text);
  return text;
}

void CsvTable::RowCells(std::uint32_t row, std::vector<UnicodeString>& cells) const {
  cells.resize(ColCount());
  if (row >= RowCount()) {
    for (UnicodeString& cell : cells)
      cell.clear();
    return;
  }
  CsvIndex::DecodeRow(source_, CsvIndex::RowUnits(source_, index_, row), cells);
}

bool CsvTable::Stale() const {
  return file_ != nullptr && file_->Stale();
}

FileChange CsvTable::DiskChange() const {
  return file_ != nullptr ? file_->DiskChange() : FileChange();
}

std::string_view CsvTable::RawCell(std::uint32_t row, std::uint32_t col) const {
  if (row >= RowCount() || col >= ColCount()) return {};
  return CsvIndex::RawField(source_, index_, row, col);
}

void CsvTable::RawCells(std::uint32_t row, std::vector<std::string_view>& cells) const {
  cells.assign(ColCount(), std::string_view());
  if (row >= RowCount()) return;
  std::vector<Field> fields;
  fields.reserve(ColCount());
  CsvIndex::LocateFields(source_, CsvIndex::RowUnits(source_, index_, row), ColCount(), fields);
  for (std::size_t col = 0; col < fields.size(); ++col)
    cells[col] = CsvIndex::RawUnits(source_, fields[col]);
}

void CsvTable::RawColumn(std::uint32_t col, std::uint32_t first, std::uint32_t end,
                         std::vector<std::string_view>& cells) const {
  end = std::min(end, RowCount());
  if (end <= first || col >= ColCount()) {
    cells.assign(end > first ? end - first : 0, std::string_view());
    return;
  }
  cells.resize(end - first);
  CsvIndex::RawFields(source_, index_, col, first, end, cells.data());
}

UnicodeString CsvTable::CellText(std::string_view raw) const {
  UnicodeString text;
  CellText(raw, text);
  return text;
}

void CsvTable::CellText(std::string_view raw, UnicodeString& out) const {
  out.clear();
  if (raw.empty()) return;
  const std::size_t unitSize = source_.kind == Units::Bytes ? 1 : 2;
  const auto begin = static_cast<std::uint64_t>(raw.data() - source_.data) / unitSize;
  CsvIndex::DecodeField(source_, Field{begin, begin + raw.size() / unitSize, true}, out);
}

bool CsvTable::HoldsFileBytes() const {
  return source_.kind != Units::Text && file_ != nullptr;
}

std::string_view CsvTable::LeadingBytes() const {
  if (!HoldsFileBytes()) return {};
  const std::string_view bytes = file_->View();
  return bytes.substr(0, static_cast<std::size_t>(source_.data - bytes.data()));
}

std::string_view CsvTable::RowLine(std::uint32_t row) const {
  if (row >= RowCount()) return {};
  if (row + 1 < RowCount()) return CsvIndex::RawRow(source_, index_, row);
  // Only the last row may run on over lines of nothing but dropped units: it ends at the LF
  // that ends its last field.
  Field line = CsvIndex::RowUnits(source_, index_, row);
  std::vector<Field> fields;
  CsvIndex::LocateFields(source_, line, UINT32_MAX, fields);
  if (!fields.empty() && fields.back().end < line.end) line.end = fields.back().end + 1;
  return CsvIndex::RawUnits(source_, line);
}

std::optional<platform::FileIdentity> CsvTable::SourceFileIdentity() const {
  return file_ != nullptr ? file_->Identity() : std::nullopt;
}

TCsv::TCsv() = default;
TCsv::~TCsv() = default;

CsvLoadResult TCsv::Load(const UnicodeString& fileName, std::uint16_t codePage,
                         const std::atomic<bool>* cancel) {
  stages_ = {};
  return readingFile([&] {
    Stopwatch watch;
    std::shared_ptr<const FileBytes> file = FileBytes::Open(fileName, cancel);
    stages_.open = watch.Lap();
    stages_.bytes = file->Size();
    if (codePage == 0) codePage = TStringUtility::DetectCodePage(file->View());
    stages_.detect = watch.Lap();
    std::optional<std::uint64_t> stoppedAt;
    Source source = sourceFor(file, codePage, stoppedAt);
    stages_.decode = watch.Lap();
    CsvLoadResult result =
        Adopt(std::move(source), codePage, std::move(file), cancel, true, stoppedAt);
    stages_.index = watch.Lap();
    return result;
  });
}

UnicodeString StoppedAtText(std::uint64_t offset) {
  return Format(u"読み込みは %s バイト目で止まりました（NUL文字）",
                {std::u16string_view(GroupDigits(offset + 1))});
}

CsvLoadResult CodePageOfFile(const UnicodeString& fileName, std::uint16_t codePage,
                             std::uint16_t& used) {
  return readingFile([&] {
    const std::shared_ptr<const FileBytes> file = FileBytes::Open(fileName);
    used = codePage != 0 ? codePage : TStringUtility::DetectCodePage(file->View());
    return CsvLoadResult{};
  });
}

CsvLoadResult TCsv::Adopt(CsvIndex::Source source, std::uint16_t codePage,
                          std::shared_ptr<const FileBytes> file, const std::atomic<bool>* cancel,
                          bool replace, std::optional<std::uint64_t> stoppedAt) {
  // A copy, so the hook may replace itself (or be replaced) while it runs.
  YieldHook yield = yield_;
  CsvIndex::Index index = CsvIndex::Build(source, yield, cancel);
  if (index.cancelled) return failure(CsvLoadError::Cancelled);
  if (!index.ok) return failure(CsvLoadError::TooLarge);
  // The hook may have let something else load this table meanwhile; that load stands.
  if (!replace && !IsEmpty()) return failure(CsvLoadError::NotEmpty);
  table_.reset();
  codePage_ = codePage;
  CsvLoadResult result;
  result.stoppedAt = stoppedAt;
  if (index.rowCount == 0) return result;
  table_.reset(
      new CsvTable(std::move(source), std::move(index), codePage, std::move(file), stoppedAt));
  return result;
}

bool TCsv::LoadFromFile(const UnicodeString& fileName) {
  if (!IsEmpty()) return false;
  return Load(fileName).ok();
}

bool TCsv::LoadFromText(const UnicodeString& text) {
  if (!IsEmpty()) return false;
  return LoadFromText(UnicodeString(text));
}

bool TCsv::LoadFromText(UnicodeString&& text) {
  if (!IsEmpty()) return false;
  try {
    auto held = std::make_shared<const UnicodeString>(std::move(text));
    Source source;
    source.kind = Units::Text;
    source.data = reinterpret_cast<const char*>(held->data());
    source.units = held->size();
    source.owner = std::move(held);
    return Adopt(std::move(source), 0, nullptr, nullptr, false).ok();
  } catch (const std::bad_alloc&) {
    return false;
  }
}

void TCsv::Clear() {
  table_.reset();
  codePage_ = 0;
}

bool TCsv::IsEmpty() const {
  return table_ == nullptr;
}

std::uint32_t TCsv::GetRowCount() const {
  return table_ ? table_->RowCount() : 0;
}

std::uint32_t TCsv::GetColCount() const {
  return table_ ? table_->ColCount() : 0;
}

UnicodeString TCsv::GetCell(std::uint32_t row, std::uint32_t col) const {
  return table_ ? table_->Cell(row, col) : UnicodeString();
}

CsvRows TCsv::GetRows() const {
  CsvRows rows;
  if (!table_) return rows;
  const std::uint32_t rowCount = table_->RowCount();
  rows.resize(rowCount);
  for (std::uint32_t row = 0; row < rowCount; ++row)
    table_->RowCells(row, rows[row]);
  return rows;
}

void TCsv::Swap(TCsv& other) noexcept {
  table_.swap(other.table_);
  std::swap(codePage_, other.codePage_);
}

namespace {

constexpr char16_t Cr = u'\r';
constexpr char16_t Lf = u'\n';
constexpr char16_t Tab = u'\t';
constexpr char16_t Comma = u',';
constexpr char16_t Quote = u'"';

bool passesFilter(char16_t unit) {
  if (unit == Cr) return false;
  if (unit > 0x80) return true;
  return unit == Tab || unit == Lf || (unit >= 0x20 && unit <= 0x7E);
}

}  // namespace

// Kept unit by unit as the dialect is defined; TCsv loads through the in-place builder, which
// must give the same table.
CsvRows ParseCsvText(const UnicodeString& text) {
  CsvRows rows;
  std::uint32_t row = 0;
  std::uint32_t col = 0;
  bool atFieldStart = true;
  bool fieldIsQuoted = false;
  bool insideQuotes = false;
  for (const char16_t unit : text) {
    if (!passesFilter(unit)) continue;
    if (atFieldStart) {
      fieldIsQuoted = unit == Quote;
      insideQuotes = false;
    }
    if (!fieldIsQuoted) {
      if (unit == Lf) {
        ++row;
        col = 0;
        atFieldStart = true;
      } else if (unit == Comma) {
        ++col;
        atFieldStart = true;
      } else {
        AppendCellChar(row, col, unit, rows);
        atFieldStart = false;
      }
      continue;
    }
    if (unit == Quote) insideQuotes = !insideQuotes;
    if (insideQuotes) {
      if (!atFieldStart) AppendCellChar(row, col, unit, rows);
      atFieldStart = false;
    } else if (unit == Comma) {
      ++col;
      atFieldStart = true;
    } else if (unit == Lf) {
      ++row;
      col = 0;
      atFieldStart = true;
    } else if (unit != Quote) {
      AppendCellChar(row, col, unit, rows);
      atFieldStart = false;
    }
  }
  return rows;
}

void AppendCellChar(std::uint32_t row, std::uint32_t col, char16_t unit, CsvRows& rows) {
  while (rows.size() <= row)
    rows.emplace_back();
  std::vector<UnicodeString>& cells = rows[row];
  while (cells.size() <= col)
    cells.emplace_back();
  cells[col] += unit;
}

}  // namespace norvalis
