// Every row whose cell differs, a column's values, and the rows of a filter saved to a file.

#include <algorithm>
#include <atomic>
#include <charconv>
#include <cstring>
#include <memory>
#include <span>
#include <string>
#include <vector>
#include <string_view>
#include <unordered_map>

#include "Commands.h"
#include "Output.h"
#include "check/ColumnValues.h"
#include "check/RowFilter.h"
#include "check/RowsSave.h"
#include "csv/CsvUtility.h"
#include "csv/TsvText.h"

namespace norvalis::cli {

namespace {

// "ROW<TAB>VALUE" per differing row, the rows compared and listed a range at a time on every
// core and written in row order while the next ranges are compared; returns how many differ.
std::size_t PutRowLines(Output& out, const CsvTable& table, const DifferenceScan& scan) {
  const unsigned threads = FormatThreads();
  std::vector<DifferenceScan> scans(threads, scan);
  std::vector<TsvCells> cells(threads, TsvCells(table));
  std::vector<RowList> rows(threads);
  std::vector<std::vector<std::string_view>> raws(threads);
  // Lines are written in place into a buffer of each thread's, grown ahead and never cleared
  // (a string would zero what it grows by), then added to the piece's text in one copy.
  struct Buffer {
    std::unique_ptr<char[]> bytes;
    std::size_t size = 0;
  };
  std::vector<Buffer> buffers(threads);
  std::atomic<std::size_t> count{0};
  PutInOrder(out, scan.End() - scan.First(),
             [&](unsigned t, std::size_t begin, std::size_t end, std::string& line) {
               rows[t].clear();
               raws[t].clear();
               scans[t].Collect(static_cast<std::uint32_t>(scan.First() + begin),
                                static_cast<std::uint32_t>(scan.First() + end), rows[t], &raws[t]);
               count += rows[t].size();
               Buffer& buffer = buffers[t];
               // Differing rows mostly follow one another: a number is the one before counted on in
               // place, converted afresh only where the rows skip or a digit is added.
               char number[24] = {};
               std::size_t digits = 0;
               std::uint64_t shown = 0;
               std::size_t used = 0;
               for (std::size_t i = 0; i < rows[t].size(); ++i) {
                 const std::uint64_t row = std::uint64_t{rows[t][i]} + 1;
                 std::size_t at = 0;
                 if (row == shown + 1 && digits > 0) {
                   at = digits;
                   while (at > 0 && number[at - 1] == '9')
                     number[--at] = '0';
                   if (at > 0) ++number[at - 1];
                 }
                 if (at == 0)
                   digits = std::to_chars(number, number + sizeof number, row).ptr - number;
                 shown = row;
                 const std::string& field = cells[t].Of(raws[t][i]).field;
                 const std::size_t size = digits + field.size() + 2;
                 if (buffer.size - used < size + sizeof number) {
                   Buffer grown;
                   grown.size = std::max(2 * buffer.size, used + size + sizeof number + 65536);
                   grown.bytes = std::make_unique_for_overwrite<char[]>(grown.size);
                   if (used > 0) std::memcpy(grown.bytes.get(), buffer.bytes.get(), used);
                   buffer = std::move(grown);
                 }
                 char* to = buffer.bytes.get() + used;
                 std::memcpy(to, number, sizeof number);  // the whole buffer: a fixed-size copy
                 to[digits] = '\t';
                 std::memcpy(to + digits + 1, field.data(), field.size());
                 to[size - 1] = '\n';
                 used += size;
               }
               line.append(buffer.bytes.get(), used);
             });
  return count;
}

// The table the command reads, loaded; false (the reason printed) when it cannot be.
struct Loaded {
  CheckTarget target;
  TCsv csv;
};

int LoadTarget(const Options& o, Loaded& loaded) {
  if (!NamesOneFile(o)) return ExitUsage;
  std::optional<CheckTarget> target = TargetOf(o);
  if (!target) return ExitUnreadable;
  loaded.target = *target;
  if (!LoadCsv(loaded.csv, target->file, target->codePage)) return ExitUnreadable;
  return ExitOk;
}

// The no-rows text on standard error: the output itself stays empty for a script.
void TellNoRows() {
  PrintError(ToUtf8(CheckStatusText(CheckResult{})));
}

}  // namespace

// "ROW<TAB>VALUE" per differing row, or JSON; exit 1 when any differs.
int RunDifferences(const Options& o) {
  Loaded loaded;
  if (const int code = LoadTarget(o, loaded); code != ExitOk) return code;
  const CsvTable& table = loaded.csv.Table();
  if (!o.json) {
    const DifferenceScan scan(table, loaded.target.title, loaded.target.column);
    // Asked before the pass: its lines are written while it goes.
    if (ChangedSinceRead(loaded.csv)) return ExitUnreadable;
    if (!scan.HasReference()) {
      TellNoRows();
      return ExitCodeOf(CheckResult::Outcome::NoRows);
    }
    Output out;
    const std::size_t differing = PutRowLines(out, table, scan);
    // Changed while the lines went out: they may mix the two versions, so the run fails.
    if (ChangedSinceRead(loaded.csv)) return ExitUnreadable;
    return ExitCodeOf(differing > 0 ? CheckResult::Outcome::Differs
                                    : CheckResult::Outcome::AllMatch);
  }
  const Differences result = FindDifferences(table, loaded.target.title, loaded.target.column);
  if (ChangedSinceRead(loaded.csv)) return ExitUnreadable;
  if (result.outcome == CheckResult::Outcome::NoRows) TellNoRows();

  const std::uint32_t col = CheckTableColumn(loaded.target.column);
  Output out;
  JsonWriter json(out);
  json.BeginObject();
  json.Key("column");
  json.String(TCsvUtility::ColumnIndexToLetters(loaded.target.column));
  json.Key("reference");
  result.outcome == CheckResult::Outcome::NoRows ? json.Null() : json.String(result.reference);
  json.Key("rows");
  json.BeginArray();
  UnicodeString text;
  for (const std::uint32_t row : result.rows) {
    json.BeginObject();
    json.Key("row");
    json.Number(static_cast<long long>(row) + 1);
    json.Key("value");
    table.CellText(table.RawCell(row, col), text);
    json.String(text);
    json.EndObject();
  }
  json.EndArray();
  json.Key("count");
  json.Number(static_cast<long long>(result.rows.size()));
  json.EndObject();
  json.EndLine();
  return ExitCodeOf(result.outcome);
}

// "COUNT<TAB>FIRSTROW<TAB>VALUE" per distinct value, most frequent first, or JSON.
int RunValues(const Options& o) {
  Loaded loaded;
  if (const int code = LoadTarget(o, loaded); code != ExitOk) return code;
  const ColumnValues result =
      CountColumnValues(loaded.csv.Table(), loaded.target.title, loaded.target.column);
  if (ChangedSinceRead(loaded.csv)) return ExitUnreadable;
  if (!result.hasRows) TellNoRows();

  Output out;
  if (o.json) {
    JsonWriter json(out);
    json.BeginArray();
    for (const ColumnValue& value : result.values) {
      json.BeginObject();
      json.Key("value");
      json.String(value.text);
      json.Key("count");
      json.Number(static_cast<long long>(value.count));
      json.Key("first");
      json.Number(value.FirstRowNumber());
      json.EndObject();
    }
    json.EndArray();
    json.EndLine();
  } else {
    UnicodeString field;
    for (const ColumnValue& value : result.values) {
      field.clear();
      AppendTsvField(value.text, field);
      out.Line(std::to_string(value.count) + '\t' + std::to_string(value.FirstRowNumber()) + '\t' +
               ToUtf8(field));
    }
  }
  return result.hasRows ? ExitOk : ExitNoRows;
}

// The data rows with (or without) a value, saved as the window saves the rows it shows.
int RunFilter(const Options& o) {
  if (o.save.empty()) return ExitUsage;
  Loaded loaded;
  if (const int code = LoadTarget(o, loaded); code != ExitOk) return code;
  const CsvTable& table = loaded.csv.Table();
  if (!CheckRowsOf(table.RowCount(), loaded.target.title).HasReference()) {
    TellNoRows();
    return ExitNoRows;
  }
  const RowSelection selection = RowsWithValue(table, loaded.target.title, o.filterColumn,
                                               FromUtf8(o.filterValue), o.filterWith);
  if (ChangedSinceRead(loaded.csv)) return ExitUnreadable;
  const RowsSaveResult saved =
      SaveRows(table, selection.rows, loaded.target.title, FromUtf8(o.save));
  if (!saved.ok) return Unreadable(saved.message);
  Output out;
  out.Line(std::to_string(selection.rows.size()) + " 行を保存しました。");
  return ExitOk;
}

}  // namespace norvalis::cli
