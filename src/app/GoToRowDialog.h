#pragma once

#include <cstdint>
#include <optional>

#include <QDialog>

class QLineEdit;

namespace norvalis {

// Asks for a row number as the grid numbers rows (1 … lastRow).
class TGoToRowDialog : public QDialog {
  Q_OBJECT

 public:
  TGoToRowDialog(std::int64_t current, std::int64_t lastRow, QWidget* parent = nullptr);

  // The number typed, held to 1 … lastRow; nothing when the text is no number.
  std::optional<std::int64_t> RowNumber() const;

  QLineEdit* EditRowNumber;

 private:
  std::int64_t lastRow_;
};

}  // namespace norvalis
