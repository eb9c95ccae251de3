// The grid's painting: the visible cells, the fixed rows and columns, and what lies beyond.
#include <algorithm>

#include <QPaintEvent>
#include <QPainter>
#include <QPen>

#include "grid/CustomDrawGrid.h"

namespace norvalis {

void TCustomDrawGrid::paintEvent(QPaintEvent* event) {
  QPainter painter(viewport());
  const QRect area = event->rect();
  const QPalette& pal = palette();
  const QColor background = pal.color(QPalette::Base);
  const QColor lineColor = pal.color(QPalette::Mid);
  const QColor fixedLineColor = pal.color(QPalette::Dark);
  const QColor edgeLight = pal.color(QPalette::Light);
  const QColor edgeDark = pal.color(QPalette::Mid);
  const bool hasFocusNow = hasFocus();

  const auto cols = VisibleCols();
  const auto rows = VisibleRows();
  int right = 0;
  int bottom = 0;
  if (!cols.empty()) right = cols.back().start + cols.back().size + GridLineWidth;
  if (!rows.empty()) bottom = rows.back().start + rows.back().size + GridLineWidth;

  for (const auto& row : rows) {
    if (row.start > area.bottom() || row.start + row.size + GridLineWidth <= area.top()) continue;
    for (const auto& col : cols) {
      if (col.start > area.right() || col.start + col.size + GridLineWidth <= area.left()) {
        continue;
      }
      const bool fixed = col.index < fixedCols_ || row.index < fixedRows_;
      DrawState state;
      state.fixed = fixed;
      state.selected = !fixed && col.index == col_ && row.index == row_;
      state.focused = state.selected && hasFocusNow;
      const QRect rect(col.start, row.start, col.size, row.size);
      if (!rect.isEmpty()) {
        painter.save();
        DrawCell(painter, col.index, row.index, rect, state);
        painter.restore();
        if (fixed) {
          // The raised edge of fixed cells.
          painter.fillRect(QRect(rect.left(), rect.top(), rect.width(), 1), edgeLight);
          painter.fillRect(QRect(rect.left(), rect.top(), 1, rect.height()), edgeLight);
          painter.fillRect(QRect(rect.left(), rect.bottom(), rect.width(), 1), edgeDark);
          painter.fillRect(QRect(rect.right(), rect.top(), 1, rect.height()), edgeDark);
        } else if (state.focused) {
          painter.save();
          painter.setPen(QPen(pal.color(QPalette::HighlightedText), 1, Qt::DotLine));
          painter.setBrush(Qt::NoBrush);
          painter.drawRect(rect.adjusted(0, 0, -1, -1));
          painter.restore();
        }
      }
      const bool vertLine = options_.testFlag(fixed ? FixedVertLine : VertLine);
      const bool horzLine = options_.testFlag(fixed ? FixedHorzLine : HorzLine);
      const QColor& line = fixed ? fixedLineColor : lineColor;
      painter.fillRect(
          QRect(col.start + col.size, row.start, GridLineWidth, row.size + GridLineWidth),
          vertLine ? line : background);
      painter.fillRect(QRect(col.start, row.start + row.size, col.size, GridLineWidth),
                       horzLine ? line : background);
    }
  }
  const int width = viewport()->width();
  const int height = viewport()->height();
  if (right < width) painter.fillRect(QRect(right, 0, width - right, height), background);
  if (bottom < height) {
    painter.fillRect(QRect(0, bottom, std::min(right, width), height - bottom), background);
  }
}

}  // namespace norvalis
