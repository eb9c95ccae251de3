#include "app/GoToRowDialog.h"

#include <algorithm>

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>

namespace norvalis {

TGoToRowDialog::TGoToRowDialog(std::int64_t current, std::int64_t firstRow, std::int64_t lastRow,
                               QWidget* parent)
    : QDialog(parent),
      firstRow_(std::max<std::int64_t>(firstRow, 1)),
      lastRow_(std::max(lastRow, firstRow_)) {
  setObjectName(QStringLiteral("GoToRowDialog"));
  setWindowTitle(QStringLiteral("行へ移動"));
  EditRowNumber = new QLineEdit(QString::number(current), this);
  EditRowNumber->setObjectName(QStringLiteral("EditRowNumber"));
  EditRowNumber->setAccessibleName(QStringLiteral("行番号"));
  EditRowNumber->setValidator(
      new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{1,12}")), this));
  EditRowNumber->selectAll();

  auto* label = new QLabel(
      QStringLiteral("ファイルの行番号(&N) (%1 - %2):").arg(firstRow_).arg(lastRow_), this);
  label->setBuddy(EditRowNumber);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("OK"));
  buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("キャンセル"));
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

  auto* layout = new QFormLayout(this);
  layout->addRow(label, EditRowNumber);
  layout->addRow(buttons);
}

std::optional<std::int64_t> TGoToRowDialog::RowNumber() const {
  bool ok = false;
  const qlonglong number = EditRowNumber->text().toLongLong(&ok);
  if (!ok) return std::nullopt;
  // Beyond either end means that end, as editors take it.
  return std::clamp<std::int64_t>(number, firstRow_, lastRow_);
}

}  // namespace norvalis
