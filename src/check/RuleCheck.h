#pragma once

#include <atomic>
#include <cstdint>
#include <span>
#include <vector>

#include "check/ColumnRule.h"
#include "csv/Csv.h"
#include "text/UnicodeString.h"
#include "text/YieldHook.h"

namespace norvalis {

// One value that breaks one rule.
struct RuleFinding {
  std::uint32_t row = 0;   // table row
  std::uint32_t rule = 0;  // index into the rules checked
  // unique: the table row that first held the value; regex: 1 when matching gave up.
  std::uint32_t detail = 0;
  // The row number the user sees, as the column check numbers rows.
  long long RowNumber() const { return static_cast<long long>(row) + 1; }
};

struct RuleCheckResult {
  enum class Outcome { NoRows, AllPass, Broken, Cancelled };
  Outcome outcome = Outcome::NoRows;
  // In row order, then in the order the rules were given.
  std::vector<RuleFinding> findings;
  std::vector<std::uint64_t> counts;  // per rule
  std::uint64_t brokenCells = 0;      // cells with at least one finding
  std::uint32_t referenceRow = 0;     // the row `same` compares with
};

// Every data row against every rule (the reference row itself is not checked by `same`). The
// rows are cut into ranges checked on several threads; `unique` reads its column in row order
// on a thread of its own. The hook gets (rows done, rows) on elapsed time; a set cancel flag
// ends the run soon with Cancelled.
RuleCheckResult CheckRules(const CsvTable& table, bool firstLineIsTitle,
                           std::span<const ColumnRule> rules, YieldHook* hook = nullptr,
                           const std::atomic<bool>* cancel = nullptr);

// What is wrong, in a short Japanese text ("空欄です", "3行目と同じ値です", …).
UnicodeString RuleFindingText(const ColumnRule& rule, const RuleFinding& finding,
                              std::u16string_view cell);
// "N 件の値が規則に合いません。" or "すべての値が規則を満たしています。"
UnicodeString RuleStatusText(const RuleCheckResult& result);

}  // namespace norvalis
