#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include <QtGlobal>

#include "csv/Csv.h"
#include "grid/CustomDrawGrid.h"
#include "text/UnicodeString.h"

class QEventLoop;

namespace norvalis {

// The grid that shows one CSV table read-only: row numbers, column letters and, when the
// first line is the title, that line as a second fixed row.
//
// A load runs on a worker thread while the GUI thread goes on processing events. A load or
// a clear asked for while a load runs is queued: the running load is cancelled and, of the
// requests that came meanwhile, only the latest runs (each call returns once its turn has
// passed); the grid is consistent at every point.
class TGridCsv : public TCustomDrawGrid {
  Q_OBJECT

 public:
  explicit TGridCsv(QWidget* parent = nullptr);
  ~TGridCsv() override;

  // The table; loaded and cleared by the grid, read by the window.
  TCsv Csv;

  // Loads the file into Csv, decoded by codePage (0: detected), and lays the grid out for it
  // (an unreadable file gives the empty layout).
  void LoadFromFile(const UnicodeString& fileName, std::uint16_t codePage = 0);
  // Empties the table and lays the grid out for an empty table.
  void Clear();
  // Shows table row 0 as a fixed title row, or not.
  void SetFirstLineIsTitle(bool flag);
  bool FirstLineIsTitle() const { return firstLineIsTitle_; }
  // Header texts of the data columns (element i for grid column i + 1).
  const std::vector<UnicodeString>& ColumnLabels() const { return columnLabels_; }
  // The text a cell shows.
  UnicodeString CellText(int col, std::int64_t row) const;
  // Whether a load is running.
  bool IsLoading() const { return job_ != nullptr; }

  QString AccessibleText(int col, std::int64_t row) const override;

  // Sets the column's width to its widest text among the header, the title and the rows on
  // screen, as spreadsheets do on a double-click of the header's edge.
  void FitColumn(int col);
  // Whether the cell's text is cut by the cell (wider or taller than it).
  bool TextIsCut(int col, std::int64_t row) const;
  // A quiet line shown in the grid while no table is loaded.
  void SetEmptyHint(const QString& hint);
  const QString& EmptyHint() const { return emptyHint_; }

 signals:
  // A load began (the layout is already the empty one).
  void loadStarted();
  // How far the running load has come, in the table loader's own units.
  void loadProgress(qint64 done, qint64 total);
  // A load ended and the grid is laid out for the new table.
  void loadFinished();
  // Csv holds another table (after a load or a clear).
  void tableChanged();

 protected:
  void DrawCell(QPainter& painter, int col, std::int64_t row, const QRect& rect,
                DrawState state) override;
  void Click() override;
  void ColEdgeDoubleClicked(int col) override;
  bool viewportEvent(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  struct LoadJob;

  // The cell's text; `number` holds the text of row numbers and data cells.
  std::u16string_view CellView(int col, std::int64_t row, UnicodeString& number) const;
  // Waits until no load runs; false when a later request took over or the grid was
  // destroyed meanwhile.
  bool WaitForTurn();
  void ShowProgress(const std::shared_ptr<LoadJob>& job);
  void FinishLoad(std::shared_ptr<LoadJob> job);  // by value: callers may pass job_
  void LayOutForTable();
  void WakeWaiters();

  std::vector<UnicodeString> columnLabels_;
  std::shared_ptr<const CsvTable> rows_;  // shared with Csv, never copied
  bool firstLineIsTitle_ = false;
  QString emptyHint_;

  std::shared_ptr<LoadJob> job_;
  std::uint64_t lastRequest_ = 0;
  std::vector<QEventLoop*> waiters_;
};

}  // namespace norvalis
