#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include <QPointer>
#include <QString>
#include <QtGlobal>

#include "csv/Csv.h"
#include "grid/CustomDrawGrid.h"
#include "grid/Document.h"
#include "text/UnicodeString.h"

namespace norvalis {

// A cell of the table the grid shows, in the table's own terms: row 0 is the file's first line
// (the title line too), column 0 its first column. Grid rows and columns count the header row
// and the row-number column besides; only TGridCsv converts between the two.
struct TableCell {
  std::int64_t row = 0;
  std::int64_t col = 0;  // -1 while the row-number column is current
  // The line in the file, as the check numbers rows.
  std::int64_t Line() const { return row + 1; }
  static TableCell AtLine(std::int64_t line, std::int64_t col) { return {line - 1, col}; }
  friend bool operator==(const TableCell&, const TableCell&) = default;
};

// The grid that shows one CSV table read-only: row numbers, column letters and, when the
// first line is the title, that line as a second fixed row.
//
// It shows the table of a document (TDocument) and lays itself out whenever that table
// changes; loading is the document's. A grid given no document makes one of its own.
class TGridCsv : public TCustomDrawGrid {
  Q_OBJECT

 public:
  explicit TGridCsv(QWidget* parent = nullptr, TDocument* document = nullptr);
  ~TGridCsv() override;

  // The document whose table the grid shows.
  TDocument& Document() const { return *document_; }

  // The table cell of the grid's current cell.
  TableCell CurrentTableCell() const;
  // Makes the table cell current and scrolls it into view; false (nothing changed) when the
  // grid shows no data cell there.
  bool GoToTableCell(TableCell cell);
  // Makes the table row current in the current column; false when it is no data row.
  bool GoToTableRow(std::int64_t row);
  // Makes the table column current (-1: the row-number column); one the grid does not have
  // raises the grid's index error.
  void SetCurrentColumn(long long column);
  // Whether the grid has the table column (-1 counts: the row-number column).
  bool HasColumn(std::int64_t column) const;
  // The first and the last table row shown as data rows (below a title line); -1 when a
  // filter shows none.
  std::int64_t FirstDataRow() const { return TableRowOf(FixedRows()); }
  std::int64_t LastDataRow() const { return TableRowOf(RowCount() - 1); }

  // Shows only these table rows (ascending data rows, shared, never copied), described for the
  // user; the title line stays fixed. The current cell stays on its row when that row is shown.
  void SetShownRows(std::shared_ptr<const std::vector<std::uint32_t>> rows, QString description);
  // Shows every row again.
  void ClearShownRows();
  bool ShowsAllRows() const { return shown_ == nullptr; }
  // The rows a filter shows (null while all are shown), and what it says of them.
  const std::shared_ptr<const std::vector<std::uint32_t>>& ShownTableRows() const { return shown_; }
  const QString& ShownRowsDescription() const { return shownDescription_; }
  // How many data rows the grid shows, and how many the table has.
  std::uint64_t ShownDataRowCount() const;
  std::uint64_t DataRowCount() const;
  // Whether the table row is shown as a data row.
  bool ShowsTableRow(std::int64_t row) const { return GridRowOf(row) >= 0; }
  // The table row a grid row shows (the header row: -1; -1 too for the empty row of an empty
  // filter), and the grid row of a table row (-1 when it is not shown).
  std::int64_t TableRowOf(std::int64_t gridRow) const;
  std::int64_t GridRowOf(std::int64_t tableRow) const;
  // The number the row-number column shows for a table row.
  std::int64_t RowNumberOf(std::int64_t tableRow) const { return tableRow + 2 - FixedRows(); }

  // Shows table row 0 as a fixed title row, or not.
  void SetFirstLineIsTitle(bool flag);
  bool FirstLineIsTitle() const { return firstLineIsTitle_; }
  // Header texts of the data columns (element i for grid column i + 1).
  const std::vector<UnicodeString>& ColumnLabels() const { return columnLabels_; }
  // The text a cell shows.
  UnicodeString CellText(int col, std::int64_t row) const;

  QString AccessibleText(int col, std::int64_t row) const override;

  // Sets the column's width to its widest text among the header, the title and the rows on
  // screen, as spreadsheets do on a double-click of the header's edge.
  void FitColumn(int col);
  // Fits every data column to the rows on screen.
  void FitAllColumns();
  // The tooltip of a cut cell: its text, at most a few hundred characters and "…"; empty for
  // a cell that shows its whole text.
  QString CellToolTip(int col, std::int64_t row) const;
  // Whether the cell's text is cut by the cell (wider or taller than it).
  bool TextIsCut(int col, std::int64_t row) const;
  // Marks spaces, tabs, line feeds and control characters in the data cells, or not.
  void SetShowSpecialCharacters(bool show);
  bool ShowSpecialCharacters() const { return showSpecialCharacters_; }
  // A quiet line shown in the grid while no table is loaded.
  void SetEmptyHint(const QString& hint);
  const QString& EmptyHint() const { return emptyHint_; }

 signals:
  // A filter was set or cleared (also when a new table or the title flag clears it).
  void shownRowsChanged();

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void DrawCell(QPainter& painter, int col, std::int64_t row, const QRect& rect,
                DrawState state) override;
  void Click() override;
  void ColEdgeDoubleClicked(int col) override;
  bool viewportEvent(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  // The cell's text; `number` holds the text of row numbers and data cells.
  std::u16string_view CellView(int col, std::int64_t row, UnicodeString& number) const;
  std::uint32_t TableRowCount() const;
  // A load began: nothing to show, two columns (the row count stays until the table comes).
  void OnStarted(TDocument::Request request, TDocument::Task task);
  void LayOutForTable();
  // Widens the row-number column to its largest number.
  void FitRowNumbers();
  // Sizes the rows for the table or the filter; keeps the table row `current` current where
  // it is shown.
  void LayOutRows(std::int64_t current);
  // Index in shown_ of the first row shown (a title line among the rows is skipped).
  std::size_t ShownBegin() const;

  QPointer<TDocument> document_;  // a window's document may go first when the window goes
  std::vector<UnicodeString> columnLabels_;
  std::shared_ptr<const CsvTable> rows_;  // shared with the document, never copied
  bool firstLineIsTitle_ = false;
  bool showSpecialCharacters_ = false;
  QString emptyHint_;
  std::shared_ptr<const std::vector<std::uint32_t>> shown_;  // null: every row
  QString shownDescription_;
};

}  // namespace norvalis
