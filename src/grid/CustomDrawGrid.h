#pragma once

#include <cstdint>

#include <QAbstractScrollArea>
#include <QRect>

#include "text/Exception.h"

class QPainter;

namespace norvalis {

// The grid index error: a current cell outside the grid.
class EInvalidGridOperation : public Exception {
 public:
  EInvalidGridOperation();
};

// An owner-drawn grid: counts, fixed rows and columns, sizes the user drags, a current
// cell moved by mouse and keyboard. Positions are 64-bit and the vertical scroll bar
// counts rows, so a hundred million rows scroll like ten.
class TCustomDrawGrid : public QAbstractScrollArea {
  Q_OBJECT

 public:
  struct DrawState {
    bool selected = false;
    bool focused = false;
    bool fixed = false;
  };

  static constexpr int DefaultColWidth = 64;
  static constexpr int DefaultRowHeight = 24;

  explicit TCustomDrawGrid(QWidget* parent = nullptr);
  ~TCustomDrawGrid() override;

  int ColCount() const;
  void SetColCount(int count);
  std::int64_t RowCount() const;
  void SetRowCount(std::int64_t count);
  int FixedCols() const;
  void SetFixedCols(int count);
  int FixedRows() const;
  void SetFixedRows(int count);

  // Current cell; setting it outside the grid raises EInvalidGridOperation.
  int Col() const;
  void SetCol(int col);
  std::int64_t Row() const;
  void SetRow(std::int64_t row);

  int ColWidth(int col) const;
  void SetColWidth(int col, int width);
  int RowHeight(std::int64_t row) const;
  void SetRowHeight(std::int64_t row, int height);

  // First scrollable column and row shown at the top-left.
  int LeftCol() const;
  std::int64_t TopRow() const;
  void SetTopRow(std::int64_t row);

 signals:
  // After a mouse click, a keyboard move or a change of Col or Row by the program.
  void clicked();

 protected:
  // Paints one cell; the rectangle is in viewport coordinates.
  virtual void DrawCell(QPainter& painter, int col, std::int64_t row, const QRect& rect,
                        DrawState state) = 0;
  // The grid's click handling; emits clicked().
  virtual void Click();
};

}  // namespace norvalis
