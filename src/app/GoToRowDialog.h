#pragma once

#include <cstdint>
#include <optional>

#include <QDialog>

class QLineEdit;

namespace norvalis {

// Asks for a row by its line in the file (firstRow … lastRow), as the check numbers rows.
class TGoToRowDialog : public QDialog {
  Q_OBJECT

 public:
  TGoToRowDialog(std::int64_t current, std::int64_t firstRow, std::int64_t lastRow,
                 QWidget* parent = nullptr);

  // The number typed, held to firstRow … lastRow; nothing when the text is no number.
  std::optional<std::int64_t> RowNumber() const;

 private:
  QLineEdit* EditRowNumber;
  std::int64_t firstRow_;
  std::int64_t lastRow_;
};

}  // namespace norvalis
