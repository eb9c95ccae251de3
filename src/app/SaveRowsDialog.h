#pragma once

#include <cstdint>

#include <QDialog>
#include <QString>

class QCheckBox;
class QLabel;

namespace norvalis {

// Asks how the rows shown are saved: says how many and in which form (the file's own bytes,
// or UTF-8 with a byte-order mark), and whether the title line goes first.
class TSaveRowsDialog : public QDialog {
  Q_OBJECT

 public:
  TSaveRowsDialog(std::uint64_t rows, const QString& formText, bool hasTitle,
                  QWidget* parent = nullptr);

  // Whether the title line is written first.
  bool TitleFirst() const;

 private:
  // Controls, named as their object names.
  QLabel* LabelSaveRows;
  QLabel* LabelSaveForm;
  QCheckBox* CheckBoxTitleFirst;
};

}  // namespace norvalis
