#pragma once

#include <QString>
#include <QWidget>

class QCheckBox;
class QLineEdit;
class QToolButton;

namespace norvalis {

// The find bar below the grid: the text, the case box, next and previous, and a close button.
// It only asks; the window searches.
class TFindBar : public QWidget {
  Q_OBJECT

 public:
  explicit TFindBar(QWidget* parent = nullptr);

  QString Text() const;
  bool CaseSensitive() const;
  // Shows the bar with its text selected and focused.
  void Open();

 signals:
  // The user asked for the next (forward) or the previous match.
  void findRequested(bool forward);
  // The user asked to see only the rows in which a cell contains the text.
  void rowsRequested();
  // The bar was closed.
  void closed();

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Close();

  // Controls, named as their object names.
  QLineEdit* EditFindText;
  QCheckBox* CheckBoxCaseSensitive;
  QToolButton* ButtonFindNext;
  QToolButton* ButtonFindPrevious;
  QToolButton* ButtonFindRows;
  QToolButton* ButtonClose;
};

}  // namespace norvalis
