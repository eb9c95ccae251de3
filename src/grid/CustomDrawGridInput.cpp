// The grid's input: keys, the mouse (selecting, sizing columns and rows) and the focus.
#include <algorithm>
#include <cstdlib>

#include <QFocusEvent>
#include <QKeyEvent>
#include <QMouseEvent>

#include "grid/CustomDrawGrid.h"

namespace norvalis {

namespace {

// How close (in pixels) to a border the mouse must be to grab it for sizing.
constexpr int SizingTolerance = 2;

}  // namespace

void TCustomDrawGrid::keyPressEvent(QKeyEvent* event) {
  const bool ctrl = event->modifiers().testFlag(Qt::ControlModifier);
  int col = col_;
  std::int64_t row = row_;
  switch (event->key()) {
    case Qt::Key_Up:
      row = std::max<std::int64_t>(row - 1, fixedRows_);
      break;
    case Qt::Key_Down:
      row = std::min(row + 1, rowCount_ - 1);
      break;
    case Qt::Key_Left:
      col = std::max(col - 1, fixedCols_);
      break;
    case Qt::Key_Right:
      col = std::min(col + 1, colCount_ - 1);
      break;
    case Qt::Key_PageUp: {
      const std::int64_t page = VisibleRowCount();
      SetTopRow(topRow_ - page);
      row = std::max<std::int64_t>(row - page, fixedRows_);
      break;
    }
    case Qt::Key_PageDown: {
      const std::int64_t page = VisibleRowCount();
      SetTopRow(topRow_ + page);
      row = std::min(row + page, rowCount_ - 1);
      break;
    }
    case Qt::Key_Home:
      col = fixedCols_;
      if (ctrl) row = fixedRows_;
      break;
    case Qt::Key_End:
      col = colCount_ - 1;
      if (ctrl) row = rowCount_ - 1;
      break;
    default:
      QAbstractScrollArea::keyPressEvent(event);
      return;
  }
  event->accept();
  MoveCurrent(col, row, true);
}

int TCustomDrawGrid::SizingColAt(const QPoint& pos, int& start) const {
  if (pos.y() >= FixedHeight()) return -1;
  int found = -1;
  int best = SizingTolerance + 1;
  for (const auto& span : VisibleCols()) {
    const int distance = std::abs(pos.x() - (span.start + span.size));
    if (distance <= best) {
      best = distance;
      found = span.index;
      start = span.start;
    }
  }
  return best <= SizingTolerance ? found : -1;
}

std::int64_t TCustomDrawGrid::SizingRowAt(const QPoint& pos, int& start) const {
  if (pos.x() >= FixedWidth()) return -1;
  std::int64_t found = -1;
  int best = SizingTolerance + 1;
  for (const auto& span : VisibleRows()) {
    const int distance = std::abs(pos.y() - (span.start + span.size));
    if (distance <= best) {
      best = distance;
      found = span.index;
      start = span.start;
    }
  }
  return best <= SizingTolerance ? found : -1;
}

void TCustomDrawGrid::UpdateHoverCursor(const QPoint& pos) {
  int start = 0;
  if (options_.testFlag(ColSizing) && SizingColAt(pos, start) >= 0) {
    viewport()->setCursor(Qt::SplitHCursor);
  } else if (options_.testFlag(RowSizing) && SizingRowAt(pos, start) >= 0) {
    viewport()->setCursor(Qt::SplitVCursor);
  } else {
    viewport()->unsetCursor();
  }
}

void TCustomDrawGrid::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::RightButton) {
    // The context menu acts on the clicked cell, as in every spreadsheet.
    int col = 0;
    std::int64_t row = 0;
    if (CellAt(event->position().toPoint(), col, row) && col >= fixedCols_ && row >= fixedRows_) {
      setFocus(Qt::MouseFocusReason);
      MoveCurrent(col, row, false);
    }
  }
  if (event->button() != Qt::LeftButton) {
    QAbstractScrollArea::mousePressEvent(event);
    return;
  }
  event->accept();
  setFocus(Qt::MouseFocusReason);
  const QPoint pos = event->position().toPoint();
  int start = 0;
  if (options_.testFlag(ColSizing)) {
    const int col = SizingColAt(pos, start);
    if (col >= 0) {
      mouseMode_ = MouseMode::SizingCol;
      sizingIndex_ = col;
      sizingStart_ = start;
      return;
    }
  }
  if (options_.testFlag(RowSizing)) {
    const std::int64_t row = SizingRowAt(pos, start);
    if (row >= 0) {
      mouseMode_ = MouseMode::SizingRow;
      sizingIndex_ = row;
      sizingStart_ = start;
      return;
    }
  }
  int col = 0;
  std::int64_t row = 0;
  if (CellAt(pos, col, row) && col >= fixedCols_ && row >= fixedRows_) {
    mouseMode_ = MouseMode::Selecting;
    MoveCurrent(col, row, false);
  }
}

void TCustomDrawGrid::mouseMoveEvent(QMouseEvent* event) {
  const QPoint pos = event->position().toPoint();
  switch (mouseMode_) {
    case MouseMode::SizingCol:
      if (sizingIndex_ < colCount_) {
        SetColWidth(static_cast<int>(sizingIndex_), pos.x() - sizingStart_);
      }
      break;
    case MouseMode::SizingRow:
      if (sizingIndex_ < rowCount_) SetRowHeight(sizingIndex_, pos.y() - sizingStart_);
      break;
    case MouseMode::Selecting: {
      int col = 0;
      std::int64_t row = 0;
      if (event->buttons().testFlag(Qt::LeftButton) && CellAt(pos, col, row)) {
        MoveCurrent(std::max(col, fixedCols_), std::max<std::int64_t>(row, fixedRows_), false);
      }
      break;
    }
    case MouseMode::None:
      UpdateHoverCursor(pos);
      break;
  }
  event->accept();
}

void TCustomDrawGrid::mouseDoubleClickEvent(QMouseEvent* event) {
  int start = 0;
  const int col = event->button() == Qt::LeftButton && options_.testFlag(ColSizing)
                      ? SizingColAt(event->position().toPoint(), start)
                      : -1;
  if (col < 0) {
    // Everywhere else a double-click is a second click.
    mousePressEvent(event);
    return;
  }
  event->accept();
  mouseMode_ = MouseMode::None;
  ColEdgeDoubleClicked(col);
}

void TCustomDrawGrid::ColEdgeDoubleClicked(int /*col*/) {}

void TCustomDrawGrid::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) {
    QAbstractScrollArea::mouseReleaseEvent(event);
    return;
  }
  event->accept();
  const MouseMode mode = mouseMode_;
  mouseMode_ = MouseMode::None;
  if (mode == MouseMode::Selecting) Click();
}

void TCustomDrawGrid::focusInEvent(QFocusEvent* event) {
  QAbstractScrollArea::focusInEvent(event);
  viewport()->update();
}

void TCustomDrawGrid::focusOutEvent(QFocusEvent* event) {
  QAbstractScrollArea::focusOutEvent(event);
  viewport()->update();
}

}  // namespace norvalis
