#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include <QPointer>
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
  // The first and the last table row shown as data rows (below a title line).
  std::int64_t FirstDataRow() const { return FixedRows() - 1; }
  std::int64_t LastDataRow() const { return RowCount() - 2; }

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

 protected:
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

  QPointer<TDocument> document_;  // a window's document may go first when the window goes
  std::vector<UnicodeString> columnLabels_;
  std::shared_ptr<const CsvTable> rows_;  // shared with the document, never copied
  bool firstLineIsTitle_ = false;
  bool showSpecialCharacters_ = false;
  QString emptyHint_;
};

}  // namespace norvalis
