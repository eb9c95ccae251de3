// The document's views of its table: every differing row, a column's values, the rows a
// filter keeps, and writing some rows out. Each runs on the table as it is when it starts.
#include <utility>

#include "grid/Document.h"

namespace norvalis {

namespace {

const CsvTable& TableOrEmpty(const std::shared_ptr<const CsvTable>& table) {
  return table ? *table : CsvTable::Empty();
}

}  // namespace

TDocument::Request TDocument::StartDifferences(bool firstLineIsTitle, std::int64_t column) {
  const std::shared_ptr<const CsvTable> table = Table();
  return StartWork(Task::Differences, [table, firstLineIsTitle, column](
                                          YieldHook& hook, const std::atomic<bool>& cancel) {
    return Result(std::make_shared<const Differences>(
        FindDifferences(TableOrEmpty(table), firstLineIsTitle, column, &hook, &cancel)));
  });
}

TDocument::Request TDocument::StartValues(bool firstLineIsTitle, std::int64_t column) {
  const std::shared_ptr<const CsvTable> table = Table();
  return StartWork(Task::Values, [table, firstLineIsTitle, column](
                                     YieldHook& hook, const std::atomic<bool>& cancel) {
    return Result(std::make_shared<const ColumnValues>(
        CountColumnValues(TableOrEmpty(table), firstLineIsTitle, column, &hook, &cancel)));
  });
}

TDocument::Request TDocument::StartFilter(const FilterRequest& request) {
  const std::shared_ptr<const CsvTable> table = Table();
  return StartWork(
      Task::Filter, [table, request](YieldHook& hook, const std::atomic<bool>& cancel) {
        const CsvTable& rows = TableOrEmpty(table);
        RowSelection selection;
        if (request.kind == FilterRequest::Kind::Containing) {
          selection = RowsContaining(rows, request.firstLineIsTitle, request.text,
                                     request.caseSensitive, &hook, &cancel);
        } else {
          selection = RowsWithValue(rows, request.firstLineIsTitle, request.column, request.text,
                                    request.kind == FilterRequest::Kind::WithValue, &hook, &cancel);
        }
        return Result(std::make_shared<const RowSelection>(std::move(selection)));
      });
}

TDocument::Request TDocument::StartSaveRows(std::shared_ptr<const std::vector<std::uint32_t>> rows,
                                            bool titleFirst, const UnicodeString& path) {
  const std::shared_ptr<const CsvTable> table = Table();
  return StartWork(Task::SaveRows, [table, rows = std::move(rows), titleFirst, path](
                                       YieldHook& hook, const std::atomic<bool>& cancel) {
    const std::span<const std::uint32_t> list =
        rows ? std::span<const std::uint32_t>(*rows) : std::span<const std::uint32_t>();
    return Result(SaveRows(TableOrEmpty(table), list, titleFirst, path, &hook, &cancel));
  });
}

}  // namespace norvalis
