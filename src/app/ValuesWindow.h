#pragma once

#include <cstdint>
#include <memory>

#include <QString>
#include <QWidget>

#include "check/ColumnValues.h"
#include "text/UnicodeString.h"

class QLabel;
class QPushButton;
class QTableView;

namespace norvalis {

class TValuesModel;

// A column's distinct values: value, count, share and first row, most frequent first. Not
// modal; it lists lazily from the shared result, so millions of values open at once.
// Double-clicking a value (or its button) asks the window to show only the rows with it,
// another button the rows without it; the list copies as tab-separated text.
class TValuesWindow : public QWidget {
  Q_OBJECT

 public:
  explicit TValuesWindow(QWidget* parent = nullptr);
  ~TValuesWindow() override;

  // Shows a new result for the column named `column` (letters and title).
  void SetResult(std::shared_ptr<const ColumnValues> values, const QString& column);
  // The table the result was made from was replaced or closed: says so and asks for no rows.
  void SetTableReplaced();
  // The list as copied: a heading line, then one line per value (all, or the selected ones).
  QString CopyText(bool selectedOnly) const;
  // The number of the most values a copy takes; more are refused with a message.
  static constexpr std::size_t MaxCopyValues = 1'000'000;

 signals:
  // Show the rows whose cell holds the value (with) or does not (!with).
  void rowsRequested(const norvalis::UnicodeString& value, bool with);

 private:
  void RequestRows(bool with);
  void Copy();

  // Controls, named as their object names.
  QLabel* LabelValuesColumn;
  QTableView* TableViewValues;
  QPushButton* ButtonRowsWithValue;
  QPushButton* ButtonRowsWithoutValue;
  QPushButton* ButtonCopyValues;
  TValuesModel* model_;
  bool tableReplaced_ = false;
  QString summary_;
};

}  // namespace norvalis
