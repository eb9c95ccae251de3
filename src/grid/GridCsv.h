#pragma once

#include <memory>
#include <vector>

#include "csv/Csv.h"
#include "grid/CustomDrawGrid.h"
#include "text/UnicodeString.h"

namespace norvalis {

// The grid that shows one CSV table read-only: row numbers, column letters and, when the
// first line is the title, that line as a second fixed row.
class TGridCsv : public TCustomDrawGrid {
  Q_OBJECT

 public:
  explicit TGridCsv(QWidget* parent = nullptr);
  ~TGridCsv() override;

  // The table; loaded and cleared by the grid, read by the window.
  TCsv Csv;

  // Loads the file into Csv and lays the grid out for it (an unreadable file gives the
  // empty layout).
  void LoadFromFile(const UnicodeString& fileName);
  // Empties the table and lays the grid out for an empty table.
  void Clear();
  // Shows table row 0 as a fixed title row, or not.
  void SetFirstLineIsTitle(bool flag);
  bool FirstLineIsTitle() const { return firstLineIsTitle_; }
  // Header texts of the data columns (element i for grid column i + 1).
  const std::vector<UnicodeString>& ColumnLabels() const { return columnLabels_; }
  // The text a cell shows.
  UnicodeString CellText(int col, std::int64_t row) const;

 protected:
  void DrawCell(QPainter& painter, int col, std::int64_t row, const QRect& rect,
                DrawState state) override;
  void Click() override;

 private:
  std::vector<UnicodeString> columnLabels_;
  std::shared_ptr<const CsvTable> rows_;  // shared with Csv, never copied
  bool firstLineIsTitle_ = false;
};

}  // namespace norvalis
