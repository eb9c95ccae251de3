#include "grid/GridAccessible.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <map>
#include <mutex>
#include <utility>

#include <QAccessible>
#include <QAccessibleWidget>
#include <QPointer>
#include <QWidget>
#include <QWindow>

#include "grid/CustomDrawGrid.h"

namespace norvalis {

namespace {

constexpr std::size_t MaxCachedCells = 4096;

int ClampToInt(std::int64_t value) {
  return static_cast<int>(std::clamp<std::int64_t>(value, 0, INT_MAX));
}

class GridTableAccessible;

GridTableAccessible* TableFor(TCustomDrawGrid* grid);

// One grid cell in grid coordinates; its text and state are read live from the grid.
class GridCellAccessible : public QAccessibleInterface, public QAccessibleTableCellInterface {
 public:
  GridCellAccessible(TCustomDrawGrid* grid, int col, std::int64_t row)
      : grid_(grid), col_(col), row_(row) {}

  int GridCol() const { return col_; }
  std::int64_t GridRow() const { return row_; }

  bool isValid() const override {
    return grid_ && col_ < grid_->ColCount() && row_ < grid_->RowCount();
  }
  QObject* object() const override { return nullptr; }
  QWindow* window() const override { return grid_ ? grid_->window()->windowHandle() : nullptr; }
  QAccessibleInterface* childAt(int, int) const override { return nullptr; }
  QAccessibleInterface* parent() const override {
    return grid_ ? QAccessible::queryAccessibleInterface(grid_.data()) : nullptr;
  }
  QAccessibleInterface* child(int) const override { return nullptr; }
  int childCount() const override { return 0; }
  int indexOfChild(const QAccessibleInterface*) const override { return -1; }

  QString text(QAccessible::Text t) const override {
    if (!isValid()) return {};
    if (t == QAccessible::Name || t == QAccessible::Value) return grid_->AccessibleText(col_, row_);
    return {};
  }
  void setText(QAccessible::Text, const QString&) override {}

  QRect rect() const override {
    if (!isValid()) return {};
    const QRect cell = grid_->CellRect(col_, row_);
    if (cell.isEmpty()) return {};
    return QRect(grid_->viewport()->mapToGlobal(cell.topLeft()), cell.size());
  }

  QAccessible::Role role() const override {
    if (!isValid()) return QAccessible::Cell;
    const bool fixedRow = row_ < grid_->FixedRows();
    const bool fixedCol = col_ < grid_->FixedCols();
    if (fixedRow && !fixedCol) return QAccessible::ColumnHeader;
    if (fixedCol && !fixedRow) return QAccessible::RowHeader;
    return QAccessible::Cell;
  }

  QAccessible::State state() const override {
    QAccessible::State s;
    if (!isValid()) {
      s.invalid = true;
      return s;
    }
    const bool fixed = row_ < grid_->FixedRows() || col_ < grid_->FixedCols();
    const bool current = IsCurrent();
    s.readOnly = true;
    s.selectable = !fixed;
    s.focusable = !fixed;
    s.selected = current;
    s.focused = current && grid_->hasFocus();
    const bool shown = !grid_->CellRect(col_, row_).isEmpty();
    s.invisible = !shown;
    s.offscreen = !shown;
    return s;
  }

  void* interface_cast(QAccessible::InterfaceType type) override {
    if (type == QAccessible::TableCellInterface) {
      return static_cast<QAccessibleTableCellInterface*>(this);
    }
    return nullptr;
  }

  bool isSelected() const override { return IsCurrent(); }
  QList<QAccessibleInterface*> columnHeaderCells() const override;
  QList<QAccessibleInterface*> rowHeaderCells() const override;
  int columnIndex() const override {
    return isValid() ? ClampToInt(col_ - grid_->FixedCols()) : -1;
  }
  int rowIndex() const override { return isValid() ? ClampToInt(row_ - grid_->FixedRows()) : -1; }
  int columnExtent() const override { return 1; }
  int rowExtent() const override { return 1; }
  QAccessibleInterface* table() const override { return parent(); }

 private:
  bool IsCurrent() const { return grid_ && grid_->Col() == col_ && grid_->Row() == row_; }

  QPointer<TCustomDrawGrid> grid_;
  int col_;
  std::int64_t row_;
};

// The grid itself: a table whose children are the cells on screen.
class GridTableAccessible : public QAccessibleWidget, public QAccessibleTableInterface {
 public:
  explicit GridTableAccessible(TCustomDrawGrid* grid)
      : QAccessibleWidget(grid, QAccessible::Table) {}
  ~GridTableAccessible() override { ClearCells(); }

  TCustomDrawGrid* Grid() const { return static_cast<TCustomDrawGrid*>(object()); }

  void* interface_cast(QAccessible::InterfaceType type) override {
    if (type == QAccessible::TableInterface) return static_cast<QAccessibleTableInterface*>(this);
    return QAccessibleWidget::interface_cast(type);
  }

  // The cell at grid coordinates, cached until the layout changes; null outside the grid.
  QAccessibleInterface* Cell(int col, std::int64_t row) const {
    TCustomDrawGrid* grid = Grid();
    if (!grid || col < 0 || row < 0 || col >= grid->ColCount() || row >= grid->RowCount()) {
      return nullptr;
    }
    if (serial_ != grid->LayoutSerial()) {
      ClearCells();
      serial_ = grid->LayoutSerial();
    }
    const auto key = std::make_pair(row, col);
    const auto it = cells_.find(key);
    if (it != cells_.end()) {
      if (QAccessibleInterface* cached = QAccessible::accessibleInterface(it->second)) {
        return cached;
      }
      cells_.erase(it);
    }
    auto* cell = new GridCellAccessible(grid, col, row);
    cells_.emplace(key, QAccessible::registerAccessibleInterface(cell));
    return cell;
  }

  int childCount() const override {
    TCustomDrawGrid* grid = Grid();
    if (!grid) return 0;
    return static_cast<int>(grid->ShownCols().size() * grid->ShownRows().size());
  }

  QAccessibleInterface* child(int index) const override {
    TCustomDrawGrid* grid = Grid();
    if (!grid || index < 0) return nullptr;
    const auto cols = grid->ShownCols();
    const auto rows = grid->ShownRows();
    if (cols.empty()) return nullptr;
    const std::size_t r = static_cast<std::size_t>(index) / cols.size();
    const std::size_t c = static_cast<std::size_t>(index) % cols.size();
    if (r >= rows.size()) return nullptr;
    return Cell(cols[c], rows[r]);
  }

  int indexOfChild(const QAccessibleInterface* child) const override {
    TCustomDrawGrid* grid = Grid();
    if (!grid || !child) return -1;
    const auto* cell = dynamic_cast<const GridCellAccessible*>(child);
    if (!cell) return -1;
    const auto cols = grid->ShownCols();
    const auto rows = grid->ShownRows();
    const auto c = std::find(cols.begin(), cols.end(), cell->GridCol());
    const auto r = std::find(rows.begin(), rows.end(), cell->GridRow());
    if (c == cols.end() || r == rows.end()) return -1;
    return static_cast<int>((r - rows.begin()) * static_cast<std::ptrdiff_t>(cols.size()) +
                            (c - cols.begin()));
  }

  QAccessibleInterface* childAt(int x, int y) const override {
    TCustomDrawGrid* grid = Grid();
    if (!grid) return nullptr;
    int col = 0;
    std::int64_t row = 0;
    if (!grid->CellAt(grid->viewport()->mapFromGlobal(QPoint(x, y)), col, row)) return nullptr;
    return Cell(col, row);
  }

  QAccessibleInterface* focusChild() const override {
    TCustomDrawGrid* grid = Grid();
    return grid ? Cell(grid->Col(), grid->Row()) : nullptr;
  }

  QAccessibleInterface* caption() const override { return nullptr; }
  QAccessibleInterface* summary() const override { return nullptr; }

  QAccessibleInterface* cellAt(int row, int column) const override {
    TCustomDrawGrid* grid = Grid();
    if (!grid || row < 0 || column < 0) return nullptr;
    return Cell(grid->FixedCols() + column, grid->FixedRows() + static_cast<std::int64_t>(row));
  }

  int selectedCellCount() const override { return CurrentCell() ? 1 : 0; }
  QList<QAccessibleInterface*> selectedCells() const override {
    QList<QAccessibleInterface*> cells;
    if (QAccessibleInterface* cell = CurrentCell()) cells.append(cell);
    return cells;
  }

  QString columnDescription(int column) const override {
    TCustomDrawGrid* grid = Grid();
    if (!grid || grid->FixedRows() == 0) return {};
    return grid->AccessibleText(grid->FixedCols() + column, 0);
  }
  QString rowDescription(int row) const override {
    TCustomDrawGrid* grid = Grid();
    if (!grid || grid->FixedCols() == 0) return {};
    return grid->AccessibleText(0, grid->FixedRows() + static_cast<std::int64_t>(row));
  }

  int columnCount() const override {
    TCustomDrawGrid* grid = Grid();
    return grid ? grid->ColCount() - grid->FixedCols() : 0;
  }
  int rowCount() const override {
    TCustomDrawGrid* grid = Grid();
    return grid ? ClampToInt(grid->RowCount() - grid->FixedRows()) : 0;
  }

  // One cell at a time is selected: the current one. Rows and columns never are.
  int selectedColumnCount() const override { return 0; }
  int selectedRowCount() const override { return 0; }
  QList<int> selectedColumns() const override { return {}; }
  QList<int> selectedRows() const override { return {}; }
  bool isColumnSelected(int) const override { return false; }
  bool isRowSelected(int) const override { return false; }
  bool selectRow(int) override { return false; }
  bool selectColumn(int) override { return false; }
  bool unselectRow(int) override { return false; }
  bool unselectColumn(int) override { return false; }

  void modelChange(QAccessibleTableModelChangeEvent*) override { ClearCells(); }

  // Every move of the current cell creates its cell; past a limit the cache starts over,
  // so a long keyboard walk does not pile up cells.
  void TrimCells() const {
    if (cells_.size() > MaxCachedCells) ClearCells();
  }

 private:
  QAccessibleInterface* CurrentCell() const {
    TCustomDrawGrid* grid = Grid();
    return grid ? Cell(grid->Col(), grid->Row()) : nullptr;
  }

  void ClearCells() const {
    for (const auto& entry : cells_)
      QAccessible::deleteAccessibleInterface(entry.second);
    cells_.clear();
  }

  mutable std::map<std::pair<std::int64_t, int>, QAccessible::Id> cells_;
  mutable std::uint64_t serial_ = 0;
};

GridTableAccessible* TableFor(TCustomDrawGrid* grid) {
  return grid ? dynamic_cast<GridTableAccessible*>(QAccessible::queryAccessibleInterface(grid))
              : nullptr;
}

QList<QAccessibleInterface*> GridCellAccessible::columnHeaderCells() const {
  QList<QAccessibleInterface*> cells;
  if (!isValid()) return cells;
  GridTableAccessible* table = TableFor(grid_.data());
  if (!table) return cells;
  for (int r = 0; r < grid_->FixedRows() && r < row_; ++r) {
    if (QAccessibleInterface* cell = table->Cell(col_, r)) cells.append(cell);
  }
  return cells;
}

QList<QAccessibleInterface*> GridCellAccessible::rowHeaderCells() const {
  QList<QAccessibleInterface*> cells;
  if (!isValid()) return cells;
  GridTableAccessible* table = TableFor(grid_.data());
  if (!table) return cells;
  for (int c = 0; c < grid_->FixedCols() && c < col_; ++c) {
    if (QAccessibleInterface* cell = table->Cell(c, row_)) cells.append(cell);
  }
  return cells;
}

QAccessibleInterface* GridFactory(const QString&, QObject* object) {
  if (auto* grid = qobject_cast<TCustomDrawGrid*>(object)) return new GridTableAccessible(grid);
  return nullptr;
}

}  // namespace

namespace GridAccessibility {

void Install() {
  static std::once_flag once;
  std::call_once(once, [] { QAccessible::installFactory(GridFactory); });
}

void NotifyCurrentCellChanged(TCustomDrawGrid* grid) {
  if (!QAccessible::isActive()) return;
  GridTableAccessible* table = TableFor(grid);
  if (!table) return;
  table->TrimCells();
  QAccessibleInterface* cell = table->Cell(grid->Col(), grid->Row());
  if (!cell) return;
  QAccessibleEvent event(cell, grid->hasFocus() ? QAccessible::Focus : QAccessible::Selection);
  QAccessible::updateAccessibility(&event);
}

void NotifyLayoutChanged(TCustomDrawGrid* grid) {
  if (!QAccessible::isActive()) return;
  QAccessibleTableModelChangeEvent event(grid, QAccessibleTableModelChangeEvent::ModelReset);
  QAccessible::updateAccessibility(&event);
}

}  // namespace GridAccessibility

}  // namespace norvalis
