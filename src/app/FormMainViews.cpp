// Views of some rows of the table: the grid shows the rows a filter chose, the bar above it
// says which, the status how many, and the find stays on the rows shown.

#include <algorithm>

#include <QAction>
#include <QVBoxLayout>

#include "app/FilterBar.h"
#include "app/FormMain.h"
#include "grid/GridCsv.h"
#include "text/UnicodeString.h"

namespace norvalis {

namespace {

const QString ShownRowsText = QStringLiteral("%1 行を表示中（全 %2 行）");
const QString AllRowsShownText = QStringLiteral("すべての行を表示しています。");

QString Grouped(std::uint64_t number) {
  return QString::fromStdU16String(GroupDigits(number));
}

}  // namespace

void TFormMain::CreateViewWidgets() {
  FilterBar = new TFilterBar(ui_.ClientArea);
  // Right above the grid, below the file row.
  auto* layout = static_cast<QVBoxLayout*>(ui_.ClientArea->layout());
  layout->insertWidget(layout->indexOf(grid_), FilterBar);
  connect(FilterBar, &TFilterBar::showAllRequested, this, [this] {
    ShowAllRows();
    grid_->setFocus();
  });
  connect(grid_, &TGridCsv::shownRowsChanged, this, &TFormMain::UpdateShownRows);
}

void TFormMain::ShowRows(std::shared_ptr<const std::vector<std::uint32_t>> rows,
                         const QString& description) {
  grid_->SetShownRows(std::move(rows), description);
}

void TFormMain::ShowAllRows() {
  grid_->ClearShownRows();
}

void TFormMain::UpdateShownRows() {
  if (grid_->ShowsAllRows()) {
    const bool wasShown = FilterBar->isVisible();
    FilterBar->hide();
    // A new table says it was read; only leaving a filter by hand says this.
    if (wasShown && !document_->IsLoading()) SetStatusText(AllRowsShownText);
    return;
  }
  FilterBar->ShowFilter(grid_->ShownRowsDescription());
  SetStatusText(
      ShownRowsText.arg(Grouped(grid_->ShownDataRowCount()), Grouped(grid_->DataRowCount())));
}

bool TFormMain::NextFindStep(const CellSearchRequest& origin, CellSearchRequest& step,
                             const CellSearchResult& found, std::uint64_t& covered) const {
  const std::shared_ptr<const CsvTable> table = Table();
  const std::shared_ptr<const std::vector<std::uint32_t>>& shown = grid_->ShownTableRows();
  if (!table || !shown || table->RowCount() <= origin.firstRow) return false;
  const std::uint32_t rows = table->RowCount();
  const std::uint64_t span = rows - origin.firstRow;
  const auto distance = [&](std::uint32_t row) -> std::uint64_t {
    return origin.forward ? (row + span - origin.row) % span : (origin.row + span - row) % span;
  };
  // A match before where this step began lies on a lap already searched.
  if (distance(found.row) < covered) return false;
  const auto first = std::lower_bound(shown->begin(), shown->end(), origin.firstRow);
  const auto last = std::lower_bound(first, shown->end(), rows);
  if (first == last) return false;
  std::uint32_t next = 0;
  if (origin.forward) {
    const auto after = std::upper_bound(first, last, found.row);
    next = after == last ? *first : *after;
  } else {
    const auto before = std::lower_bound(first, last, found.row);
    next = before == first ? *(last - 1) : *(before - 1);
  }
  // Back at the origin's row, the rest of the lap is that row alone.
  covered = next == origin.row ? span : distance(next);
  const std::uint32_t lastCol = std::max<std::uint32_t>(table->ColCount(), 1) - 1;
  // The search begins just after (or before) the cell it is given.
  if (origin.forward) {
    step.row = next == origin.firstRow ? rows - 1 : next - 1;
    step.col = lastCol;
  } else {
    step.row = next == rows - 1 ? origin.firstRow : next + 1;
    step.col = 0;
  }
  return true;
}

}  // namespace norvalis
