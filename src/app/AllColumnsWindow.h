#pragma once

#include <cstdint>
#include <vector>

#include <QWidget>

#include "check/ColumnCheckAll.h"

class QLabel;
class QTreeWidget;

namespace norvalis {

// The result of checking every column: one line per column (letter, title, "一致" or the
// first differing row, its value). Not modal; double-clicking a line asks the window to go to
// that cell, and the lines can be copied as tab-separated text.
class TAllColumnsWindow : public QWidget {
  Q_OBJECT

 public:
  explicit TAllColumnsWindow(QWidget* parent = nullptr);

  // Shows a new result, about the table now loaded.
  void SetResult(const AllColumnsResult& result, const QString& fileName);
  // The table the result was made from was replaced or closed: says so and goes nowhere.
  void SetTableReplaced();
  bool TableReplaced() const { return tableReplaced_; }
  // The lines as copied: a heading line, then one line per column, tab-separated.
  QString CopyText() const;
  // Copies CopyText() to the clipboard.
  void Copy() const;

 signals:
  // A line was double-clicked: its column and, when it differs, its first differing table row
  // (else -1).
  void cellRequested(std::int64_t tableRow, std::int64_t column);

 private:
  QTreeWidget* ListResult;  // named as its object name
  QLabel* summary_;
  QString summaryText_;
  bool tableReplaced_ = false;
  std::vector<AllColumnsLine> lines_;
  std::vector<std::int64_t> rows_;
};

}  // namespace norvalis
