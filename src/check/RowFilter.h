#pragma once

#include <atomic>
#include <cstdint>
#include <string_view>
#include <vector>

#include "check/ColumnCheck.h"
#include "csv/Csv.h"
#include "text/UnicodeString.h"
#include "text/YieldHook.h"

namespace norvalis {

// Table rows, ascending: what a filtered view shows (4 bytes a row, no copy of its cells).
using RowList = std::vector<std::uint32_t>;

// The rows a filter chose among the data rows (the title line is never one of them).
struct RowSelection {
  RowList rows;
  bool cancelled = false;  // the cancel flag stopped it; rows is then incomplete
};

// Every row whose cell differs from the reference row's, as the column check compares and
// numbers them (the first of them is the row CheckColumn reports).
struct Differences {
  CheckResult::Outcome outcome = CheckResult::Outcome::NoRows;
  UnicodeString reference;  // the reference row's cell
  RowList rows;
  bool cancelled = false;
  // Asked for with forms: per row of rows, which of formRaws its raw cell is (NoForm past the
  // first MaxForms distinct ones), so the cells are listed without being located again.
  static constexpr std::uint32_t NoForm = UINT32_MAX;
  static constexpr std::size_t MaxForms = std::size_t{1} << 16;
  std::vector<std::uint32_t> forms;
  std::vector<std::string_view> formRaws;
};

// The rows of the column check's range whose cell in `column` differs from the reference
// row's. The hook gets (rows done, rows) on elapsed time; the pass stops soon after *cancel
// becomes true.
Differences FindDifferences(const CsvTable& table, bool firstLineIsTitle, std::int64_t column,
                            YieldHook* hook = nullptr, const std::atomic<bool>* cancel = nullptr,
                            bool withForms = false);

// The data rows whose cell in `column` holds the value (with = true) or does not (false),
// compared as the check compares.
RowSelection RowsWithValue(const CsvTable& table, bool firstLineIsTitle, std::int64_t column,
                           std::u16string_view value, bool with, YieldHook* hook = nullptr,
                           const std::atomic<bool>* cancel = nullptr);

// The data rows any of whose cells contains the text, with or without case as the find
// compares.
RowSelection RowsContaining(const CsvTable& table, bool firstLineIsTitle, std::u16string_view text,
                            bool caseSensitive, YieldHook* hook = nullptr,
                            const std::atomic<bool>* cancel = nullptr);

}  // namespace norvalis
