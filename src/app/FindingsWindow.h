#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include <QString>
#include <QWidget>

#include "app/FindingsModel.h"

class QLabel;
class QPushButton;
class QTableView;
class QTreeWidget;

namespace norvalis {

// The findings of the rules or of the character check: every finding, one a line (row, column,
// title, what is wrong, the value), and a count per rule or kind. Not modal; double-clicking a
// finding asks the window to go to its cell, and the list copies as tab-separated text. The
// list reads its lines from the answer as they are shown, so millions cost no more than it.
class TFindingsWindow : public QWidget {
  Q_OBJECT

 public:
  TFindingsWindow(Findings::Kind kind, QWidget* parent = nullptr);

  // Shows a new answer, about the table now loaded; `status` is the run's status text.
  void SetFindings(std::shared_ptr<const Findings> findings, const QString& fileName,
                   const QString& status);
  // The table the answer was made from was replaced or closed: says so and goes nowhere.
  void SetTableReplaced();
  bool TableReplaced() const { return tableReplaced_; }
  // The heading and the selected findings (every finding when none is selected).
  QString CopyText() const;
  // Copies CopyText() to the clipboard.
  void Copy() const;
  // The heading and every finding.
  QString CopyAllText() const;

 signals:
  // A finding was double-clicked (or Enter pressed on it): its table row and column.
  void cellRequested(std::int64_t tableRow, std::int64_t column);
  // The button asks the grid to show only these table rows (ascending), so described.
  void rowsRequested(std::shared_ptr<const std::vector<std::uint32_t>> rows,
                     const QString& description);

 private:
  void ShowCounts();
  void GoToFinding(int line);
  void ShowFindingRows();

  Findings::Kind kind_;
  TFindingsModel* model_;
  QLabel* LabelFindingsSummary;
  QTreeWidget* ListCounts;
  QTableView* ListFindings;
  QPushButton* ButtonCopyFindings;
  QPushButton* ButtonShowFindingRows;
  QString summaryText_;
  bool tableReplaced_ = false;
};

}  // namespace norvalis
