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
  QString emptyHint_;
};

}  // namespace norvalis
