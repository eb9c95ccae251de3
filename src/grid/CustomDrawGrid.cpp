// The grid's layout: its columns and rows, their sizes, the current cell and scrolling.
#include "grid/CustomDrawGrid.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>

#include <QFocusEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPen>
#include <QScrollBar>

#include "grid/GridAccessible.h"

namespace norvalis {

namespace {

// Largest width or height a column or row may take; keeps pixel sums far from overflow.
constexpr int MaxCellSize = 1 << 20;

// Whether the items from..to (inclusive), each followed by a grid line, fit into
// `available` pixels. Stops as soon as they do not, so the cost is bounded by the view.
template <typename Index, typename SizeOf>
bool ItemsFit(Index from, Index to, long long available, SizeOf sizeOf) {
  long long sum = 0;
  for (Index i = from; i <= to; ++i) {
    sum += sizeOf(i) + TCustomDrawGrid::GridLineWidth;
    if (sum > available) return false;
  }
  return true;
}

// The smallest start ≥ first such that the items start..last fit into `available` pixels;
// last itself when not even that one fits.
template <typename Index, typename SizeOf>
Index FirstFittingBefore(Index last, Index first, long long available, SizeOf sizeOf) {
  Index start = last;
  long long sum = sizeOf(last) + TCustomDrawGrid::GridLineWidth;
  while (start > first) {
    const long long next = sizeOf(start - 1) + TCustomDrawGrid::GridLineWidth;
    if (sum + next > available) break;
    sum += next;
    --start;
  }
  return start;
}

// Counts items from `from` on that fit whole into `available` pixels; at least 1.
template <typename Index, typename SizeOf>
Index CountFitting(Index from, Index end, long long available, SizeOf sizeOf) {
  Index count = 0;
  long long sum = 0;
  for (Index i = from; i < end; ++i) {
    sum += sizeOf(i) + TCustomDrawGrid::GridLineWidth;
    if (sum > available) break;
    ++count;
  }
  return std::max<Index>(count, 1);
}

// The vertical scroll bar holds an int; a longer row range is scaled onto it.
int OffsetToBar(std::int64_t offset, std::int64_t span) {
  if (span <= INT_MAX) return static_cast<int>(offset);
  return static_cast<int>(std::llround(static_cast<double>(offset) * INT_MAX / span));
}

std::int64_t BarToOffset(int value, std::int64_t span) {
  if (span <= INT_MAX) return value;
  if (value >= INT_MAX) return span;
  return std::llround(static_cast<double>(value) * span / INT_MAX);
}

}  // namespace

EInvalidGridOperation::EInvalidGridOperation()
    : Exception(u"グリッドインデックスが範囲を超えています") {}

TCustomDrawGrid::TCustomDrawGrid(QWidget* parent) : QAbstractScrollArea(parent) {
  GridAccessibility::Install();
  setFocusPolicy(Qt::StrongFocus);
  viewport()->setMouseTracking(true);
  // Every pixel is painted by paintEvent.
  viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
  viewport()->setAutoFillBackground(false);
  verticalScrollBar()->setSingleStep(1);
  horizontalScrollBar()->setSingleStep(1);
  SetOptions(options_);
  UpdateScrollBars();
}

TCustomDrawGrid::~TCustomDrawGrid() = default;

void TCustomDrawGrid::SetColCount(int count) {
  count = std::max(count, 1);
  if (count == colCount_) return;
  colCount_ = count;
  colWidths_.erase(colWidths_.lower_bound(count), colWidths_.end());
  if (fixedCols_ >= count) {
    fixedCols_ = count - 1;
    Initialize();
  } else if (col_ >= count) {
    col_ = count - 1;
    GridAccessibility::NotifyCurrentCellChanged(this);
  }
  LayoutChanged();
}

void TCustomDrawGrid::SetRowCount(std::int64_t count) {
  count = std::max<std::int64_t>(count, 1);
  if (count == rowCount_) return;
  rowCount_ = count;
  rowHeights_.erase(rowHeights_.lower_bound(count), rowHeights_.end());
  if (fixedRows_ >= count) {
    fixedRows_ = static_cast<int>(count - 1);
    Initialize();
  } else if (row_ >= count) {
    row_ = count - 1;
    GridAccessibility::NotifyCurrentCellChanged(this);
  }
  LayoutChanged();
}

void TCustomDrawGrid::SetFixedCols(int count) {
  if (count < 0 || count >= colCount_) throw EInvalidGridOperation();
  if (count == fixedCols_) return;
  fixedCols_ = count;
  Initialize();
  LayoutChanged();
}

void TCustomDrawGrid::SetFixedRows(int count) {
  if (count < 0 || count >= rowCount_) throw EInvalidGridOperation();
  if (count == fixedRows_) return;
  fixedRows_ = count;
  Initialize();
  LayoutChanged();
}

void TCustomDrawGrid::Initialize() {
  col_ = fixedCols_;
  row_ = fixedRows_;
  leftCol_ = fixedCols_;
  topRow_ = fixedRows_;
  GridAccessibility::NotifyCurrentCellChanged(this);
}

void TCustomDrawGrid::LayoutChanged() {
  ++layoutSerial_;
  UpdateScrollBars();
  viewport()->update();
  GridAccessibility::NotifyLayoutChanged(this);
}

// The program may make a fixed cell current (the user never can): only cells outside the
// grid are an error.
void TCustomDrawGrid::SetCol(int col) {
  if (col < 0 || col >= colCount_) throw EInvalidGridOperation();
  if (col == col_) return;
  MoveCurrent(col, row_, true);
}

void TCustomDrawGrid::SetRow(std::int64_t row) {
  if (row < 0 || row >= rowCount_) throw EInvalidGridOperation();
  if (row == row_) return;
  MoveCurrent(col_, row, true);
}

int TCustomDrawGrid::ColWidth(int col) const {
  const auto it = colWidths_.find(col);
  return it == colWidths_.end() ? DefaultColWidth : it->second;
}

void TCustomDrawGrid::SetColWidth(int col, int width) {
  if (col < 0 || col >= colCount_) throw EInvalidGridOperation();
  width = std::clamp(width, 0, MaxCellSize);
  if (width == ColWidth(col)) return;
  if (width == DefaultColWidth) {
    colWidths_.erase(col);
  } else {
    colWidths_[col] = width;
  }
  UpdateScrollBars();
  viewport()->update();
}

int TCustomDrawGrid::RowHeight(std::int64_t row) const {
  const auto it = rowHeights_.find(row);
  return it == rowHeights_.end() ? DefaultRowHeight : it->second;
}

void TCustomDrawGrid::SetRowHeight(std::int64_t row, int height) {
  if (row < 0 || row >= rowCount_) throw EInvalidGridOperation();
  height = std::clamp(height, 0, MaxCellSize);
  if (height == RowHeight(row)) return;
  if (height == DefaultRowHeight) {
    rowHeights_.erase(row);
  } else {
    rowHeights_[row] = height;
  }
  UpdateScrollBars();
  viewport()->update();
}

void TCustomDrawGrid::SetOptions(GridOptions options) {
  options_ = options;
  const bool tracking = options.testFlag(ThumbTracking);
  verticalScrollBar()->setTracking(tracking);
  horizontalScrollBar()->setTracking(tracking);
  viewport()->update();
}

void TCustomDrawGrid::SetLeftCol(int col) {
  const int left = std::clamp(col, fixedCols_, MaxLeftCol());
  if (left == leftCol_) return;
  leftCol_ = left;
  UpdateScrollBars();
  viewport()->update();
}

void TCustomDrawGrid::SetTopRow(std::int64_t row) {
  const std::int64_t top = std::clamp(row, static_cast<std::int64_t>(fixedRows_), MaxTopRow());
  if (top == topRow_) return;
  topRow_ = top;
  UpdateScrollBars();
  viewport()->update();
}

int TCustomDrawGrid::FixedWidth() const {
  // Stops once past the view: only whether the fixed area fills it matters then.
  const int limit = viewport()->width();
  int width = 0;
  for (int c = 0; c < fixedCols_ && width <= limit; ++c)
    width += ColWidth(c) + GridLineWidth;
  return width;
}

int TCustomDrawGrid::FixedHeight() const {
  const int limit = viewport()->height();
  int height = 0;
  for (int r = 0; r < fixedRows_ && height <= limit; ++r)
    height += RowHeight(r) + GridLineWidth;
  return height;
}

int TCustomDrawGrid::MaxLeftCol() const {
  const long long available = viewport()->width() - FixedWidth();
  return FirstFittingBefore(colCount_ - 1, fixedCols_, available,
                            [this](int c) { return ColWidth(c); });
}

std::int64_t TCustomDrawGrid::MaxTopRow() const {
  const long long available = viewport()->height() - FixedHeight();
  return FirstFittingBefore(rowCount_ - 1, static_cast<std::int64_t>(fixedRows_), available,
                            [this](std::int64_t r) { return RowHeight(r); });
}

std::int64_t TCustomDrawGrid::VisibleRowCount() const {
  return CountFitting(topRow_, rowCount_, viewport()->height() - FixedHeight(),
                      [this](std::int64_t r) { return RowHeight(r); });
}

int TCustomDrawGrid::VisibleColCount() const {
  return CountFitting(leftCol_, colCount_, viewport()->width() - FixedWidth(),
                      [this](int c) { return ColWidth(c); });
}

std::vector<TCustomDrawGrid::Span<int>> TCustomDrawGrid::VisibleCols() const {
  std::vector<Span<int>> spans;
  const int limit = viewport()->width();
  int x = 0;
  for (int c = 0; c < fixedCols_ && x < limit; ++c) {
    const int w = ColWidth(c);
    spans.push_back({c, x, w});
    x += w + GridLineWidth;
  }
  for (int c = leftCol_; c < colCount_ && x < limit; ++c) {
    const int w = ColWidth(c);
    spans.push_back({c, x, w});
    x += w + GridLineWidth;
  }
  return spans;
}

std::vector<TCustomDrawGrid::Span<std::int64_t>> TCustomDrawGrid::VisibleRows() const {
  std::vector<Span<std::int64_t>> spans;
  const int limit = viewport()->height();
  int y = 0;
  for (std::int64_t r = 0; r < fixedRows_ && y < limit; ++r) {
    const int h = RowHeight(r);
    spans.push_back({r, y, h});
    y += h + GridLineWidth;
  }
  for (std::int64_t r = topRow_; r < rowCount_ && y < limit; ++r) {
    const int h = RowHeight(r);
    spans.push_back({r, y, h});
    y += h + GridLineWidth;
  }
  return spans;
}

std::vector<int> TCustomDrawGrid::ShownCols() const {
  std::vector<int> cols;
  for (const auto& span : VisibleCols())
    cols.push_back(span.index);
  return cols;
}

std::vector<std::int64_t> TCustomDrawGrid::ShownRows() const {
  std::vector<std::int64_t> rows;
  for (const auto& span : VisibleRows())
    rows.push_back(span.index);
  return rows;
}

bool TCustomDrawGrid::CellAt(const QPoint& pos, int& col, std::int64_t& row) const {
  bool foundCol = false;
  for (const auto& span : VisibleCols()) {
    if (pos.x() >= span.start && pos.x() < span.start + span.size + GridLineWidth) {
      col = span.index;
      foundCol = true;
      break;
    }
  }
  if (!foundCol) return false;
  for (const auto& span : VisibleRows()) {
    if (pos.y() >= span.start && pos.y() < span.start + span.size + GridLineWidth) {
      row = span.index;
      return true;
    }
  }
  return false;
}

QRect TCustomDrawGrid::CellRect(int col, std::int64_t row) const {
  int x = -1;
  int w = 0;
  for (const auto& span : VisibleCols()) {
    if (span.index == col) {
      x = span.start;
      w = span.size;
      break;
    }
  }
  if (x < 0) return {};
  for (const auto& span : VisibleRows()) {
    if (span.index == row) return QRect(x, span.start, w, span.size);
  }
  return {};
}

QString TCustomDrawGrid::AccessibleText(int, std::int64_t) const {
  return {};
}

void TCustomDrawGrid::Click() {
  emit clicked();
}

void TCustomDrawGrid::MoveCurrent(int col, std::int64_t row, bool click) {
  const bool changed = col != col_ || row != row_;
  col_ = col;
  row_ = row;
  ScrollIntoView(col, row);
  if (!changed) return;
  viewport()->update();
  GridAccessibility::NotifyCurrentCellChanged(this);
  if (click) Click();
}

void TCustomDrawGrid::ScrollIntoView(int col, std::int64_t row) {
  int left = leftCol_;
  if (col >= fixedCols_) {
    const long long available = viewport()->width() - FixedWidth();
    const auto widthOf = [this](int c) { return ColWidth(c); };
    if (col < left) {
      left = col;
    } else if (!ItemsFit(left, col, available, widthOf)) {
      left = FirstFittingBefore(col, fixedCols_, available, widthOf);
    }
  }
  std::int64_t top = topRow_;
  if (row >= fixedRows_) {
    const long long available = viewport()->height() - FixedHeight();
    const auto heightOf = [this](std::int64_t r) { return RowHeight(r); };
    if (row < top) {
      top = row;
    } else if (!ItemsFit(top, row, available, heightOf)) {
      top = FirstFittingBefore(row, static_cast<std::int64_t>(fixedRows_), available, heightOf);
    }
  }
  if (left == leftCol_ && top == topRow_) return;
  leftCol_ = left;
  topRow_ = top;
  UpdateScrollBars();
  viewport()->update();
}

void TCustomDrawGrid::ClampTopLeft() {
  leftCol_ = std::clamp(leftCol_, fixedCols_, MaxLeftCol());
  topRow_ = std::clamp(topRow_, static_cast<std::int64_t>(fixedRows_), MaxTopRow());
}

void TCustomDrawGrid::UpdateScrollBars() {
  // Changing a range may show or hide a bar, which resizes the viewport and lands here
  // again; the nested call only asks for another pass.
  if (updatingBars_) {
    barsDirty_ = true;
    return;
  }
  updatingBars_ = true;
  for (int pass = 0; pass < 4; ++pass) {
    barsDirty_ = false;
    ClampTopLeft();
    const std::int64_t rowSpan = MaxTopRow() - fixedRows_;
    QScrollBar* vertical = verticalScrollBar();
    vertical->setRange(0, static_cast<int>(std::min<std::int64_t>(rowSpan, INT_MAX)));
    vertical->setPageStep(static_cast<int>(std::min<std::int64_t>(VisibleRowCount(), INT_MAX)));
    vertical->setValue(OffsetToBar(topRow_ - fixedRows_, rowSpan));
    QScrollBar* horizontal = horizontalScrollBar();
    horizontal->setRange(0, MaxLeftCol() - fixedCols_);
    horizontal->setPageStep(VisibleColCount());
    horizontal->setValue(leftCol_ - fixedCols_);
    if (!barsDirty_) break;
  }
  updatingBars_ = false;
  viewport()->update();
}

void TCustomDrawGrid::scrollContentsBy(int, int) {
  if (updatingBars_) return;
  const std::int64_t rowSpan = MaxTopRow() - fixedRows_;
  leftCol_ = fixedCols_ + horizontalScrollBar()->value();
  topRow_ = fixedRows_ + BarToOffset(verticalScrollBar()->value(), rowSpan);
  ClampTopLeft();
  viewport()->update();
}

void TCustomDrawGrid::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  UpdateScrollBars();
}

}  // namespace norvalis
