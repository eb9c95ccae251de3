#pragma once

#include <cstdint>
#include <map>
#include <vector>

#include <QAbstractScrollArea>
#include <QFlags>
#include <QRect>
#include <QString>

#include "text/Exception.h"

class QPainter;

namespace norvalis {

// The grid index error: a current cell outside the grid, or a fixed count not below the count.
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

  enum GridOption {
    FixedVertLine = 0x01,
    FixedHorzLine = 0x02,
    VertLine = 0x04,
    HorzLine = 0x08,
    RowSizing = 0x10,
    ColSizing = 0x20,
    ThumbTracking = 0x40,
  };
  Q_DECLARE_FLAGS(GridOptions, GridOption)

  static constexpr int DefaultColWidth = 64;
  static constexpr int DefaultRowHeight = 24;
  static constexpr int GridLineWidth = 1;

  explicit TCustomDrawGrid(QWidget* parent = nullptr);
  ~TCustomDrawGrid() override;

  // Counts below 1 become 1; a count not above the fixed count lowers the fixed count.
  int ColCount() const { return colCount_; }
  void SetColCount(int count);
  std::int64_t RowCount() const { return rowCount_; }
  void SetRowCount(std::int64_t count);
  // A fixed count must stay below the count; a change puts the current cell on the
  // first non-fixed cell and scrolls back to the top-left corner.
  int FixedCols() const { return fixedCols_; }
  void SetFixedCols(int count);
  int FixedRows() const { return fixedRows_; }
  void SetFixedRows(int count);

  // Current cell; setting it outside the grid or into the fixed area raises
  // EInvalidGridOperation. A change scrolls it into view and calls Click.
  int Col() const { return col_; }
  void SetCol(int col);
  std::int64_t Row() const { return row_; }
  void SetRow(std::int64_t row);

  int ColWidth(int col) const;
  void SetColWidth(int col, int width);
  int RowHeight(std::int64_t row) const;
  void SetRowHeight(std::int64_t row, int height);

  GridOptions Options() const { return options_; }
  void SetOptions(GridOptions options);

  // First scrollable column and row shown next to the fixed area.
  int LeftCol() const { return leftCol_; }
  void SetLeftCol(int col);
  std::int64_t TopRow() const { return topRow_; }
  void SetTopRow(std::int64_t row);

  // Scrollable rows and columns that fit whole into the view (at least 1).
  std::int64_t VisibleRowCount() const;
  int VisibleColCount() const;

  // The columns and rows on screen, whole or in part, fixed ones first.
  std::vector<int> ShownCols() const;
  std::vector<std::int64_t> ShownRows() const;

  // The cell under a viewport point; false where there is none.
  bool CellAt(const QPoint& pos, int& col, std::int64_t& row) const;
  // The cell's rectangle in viewport coordinates (without its grid lines); empty when the
  // cell is not on screen.
  QRect CellRect(int col, std::int64_t row) const;

  // The text a cell presents to assistive technology.
  virtual QString AccessibleText(int col, std::int64_t row) const;
  // Changes whenever the counts or fixed counts change (cached accessible cells expire).
  std::uint64_t LayoutSerial() const { return layoutSerial_; }

 signals:
  // After a mouse click, a keyboard move or a change of Col or Row by the program.
  void clicked();

 protected:
  // Paints one cell; the rectangle is in viewport coordinates.
  virtual void DrawCell(QPainter& painter, int col, std::int64_t row, const QRect& rect,
                        DrawState state) = 0;
  // The grid's click handling; emits clicked().
  virtual void Click();
  // A double-click on the right edge of a column's header; nothing by default.
  virtual void ColEdgeDoubleClicked(int col);

  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;

 private:
  // One visible column or row: index, start and size in viewport pixels.
  template <typename Index>
  struct Span {
    Index index;
    int start;
    int size;
  };

  void Initialize();
  void LayoutChanged();
  void MoveCurrent(int col, std::int64_t row, bool click);
  void ScrollIntoView(int col, std::int64_t row);
  void UpdateScrollBars();
  void ClampTopLeft();
  int FixedWidth() const;
  int FixedHeight() const;
  int MaxLeftCol() const;
  std::int64_t MaxTopRow() const;
  std::vector<Span<int>> VisibleCols() const;
  std::vector<Span<std::int64_t>> VisibleRows() const;
  int SizingColAt(const QPoint& pos, int& start) const;
  std::int64_t SizingRowAt(const QPoint& pos, int& start) const;
  void UpdateHoverCursor(const QPoint& pos);

  int colCount_ = 5;
  std::int64_t rowCount_ = 5;
  int fixedCols_ = 1;
  int fixedRows_ = 1;
  int col_ = 1;
  std::int64_t row_ = 1;
  int leftCol_ = 1;
  std::int64_t topRow_ = 1;
  std::map<int, int> colWidths_;  // only the columns that differ from the default
  std::map<std::int64_t, int> rowHeights_;
  GridOptions options_ = GridOptions(FixedVertLine | FixedHorzLine | VertLine | HorzLine);
  std::uint64_t layoutSerial_ = 0;

  enum class MouseMode { None, Selecting, SizingCol, SizingRow };
  MouseMode mouseMode_ = MouseMode::None;
  std::int64_t sizingIndex_ = 0;
  int sizingStart_ = 0;

  bool updatingBars_ = false;
  bool barsDirty_ = false;
};

Q_DECLARE_OPERATORS_FOR_FLAGS(TCustomDrawGrid::GridOptions)

}  // namespace norvalis
