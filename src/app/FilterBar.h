#pragma once

#include <QString>
#include <QWidget>

class QLabel;
class QPushButton;

namespace norvalis {

// The bar above the grid while a filter shows some rows: what the filter shows, and a button
// that shows every row again. It only asks; the window clears the filter.
class TFilterBar : public QWidget {
  Q_OBJECT

 public:
  explicit TFilterBar(QWidget* parent = nullptr);

  // Shows the bar with the filter's description.
  void ShowFilter(const QString& description);
  QString Description() const;

 signals:
  // The user asked to see every row.
  void showAllRequested();

 private:
  // Controls, named as their object names.
  QLabel* LabelFilter;
  QPushButton* ButtonShowAllRows;
};

}  // namespace norvalis
