#include "app/SaveRowsDialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "text/UnicodeString.h"

namespace norvalis {

TSaveRowsDialog::TSaveRowsDialog(std::uint64_t rows, const QString& formText, bool hasTitle,
                                 QWidget* parent)
    : QDialog(parent) {
  setObjectName(QStringLiteral("SaveRowsDialog"));
  setWindowTitle(QStringLiteral("表示中の行を保存"));
  LabelSaveRows = new QLabel(QStringLiteral("表示中の %1 行を新しいCSVファイルに保存します。")
                                 .arg(QString::fromStdU16String(GroupDigits(rows))),
                             this);
  LabelSaveRows->setObjectName(QStringLiteral("LabelSaveRows"));
  LabelSaveForm = new QLabel(QStringLiteral("形式: ") + formText, this);
  LabelSaveForm->setObjectName(QStringLiteral("LabelSaveForm"));
  LabelSaveForm->setWordWrap(true);
  CheckBoxTitleFirst = new QCheckBox(QStringLiteral("先頭行（列名）を最初に書き出す(&T)"), this);
  CheckBoxTitleFirst->setObjectName(QStringLiteral("CheckBoxTitleFirst"));
  // Without a title line there is none to write.
  CheckBoxTitleFirst->setChecked(hasTitle);
  CheckBoxTitleFirst->setEnabled(hasTitle);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("保存先を選ぶ..."));
  buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("キャンセル"));
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(LabelSaveRows);
  layout->addWidget(LabelSaveForm);
  layout->addWidget(CheckBoxTitleFirst);
  layout->addWidget(buttons);
}

bool TSaveRowsDialog::TitleFirst() const {
  return CheckBoxTitleFirst->isEnabled() && CheckBoxTitleFirst->isChecked();
}

}  // namespace norvalis
