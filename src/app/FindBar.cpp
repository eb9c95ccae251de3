#include "app/FindBar.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>

namespace norvalis {

namespace {

QToolButton* MakeButton(const QString& text, const char* name, QWidget* parent) {
  auto* button = new QToolButton(parent);
  button->setText(text);
  button->setObjectName(QString::fromLatin1(name));
  button->setAccessibleName(text);
  button->setAutoRaise(true);
  return button;
}

}  // namespace

TFindBar::TFindBar(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("FindBar"));
  setAccessibleName(QStringLiteral("検索バー"));
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(4, 2, 4, 2);
  layout->setSpacing(4);

  auto* label = new QLabel(QStringLiteral("検索:"), this);
  EditFindText = new QLineEdit(this);
  EditFindText->setObjectName(QStringLiteral("EditFindText"));
  EditFindText->setAccessibleName(QStringLiteral("検索する文字列"));
  EditFindText->setClearButtonEnabled(true);
  label->setBuddy(EditFindText);
  CheckBoxCaseSensitive = new QCheckBox(QStringLiteral("大文字と小文字を区別する"), this);
  CheckBoxCaseSensitive->setObjectName(QStringLiteral("CheckBoxCaseSensitive"));
  CheckBoxCaseSensitive->setAccessibleName(CheckBoxCaseSensitive->text());
  ButtonFindNext = MakeButton(QStringLiteral("次を検索"), "ButtonFindNext", this);
  ButtonFindNext->setToolTip(QStringLiteral("次を検索 (F3, Enter)"));
  ButtonFindPrevious = MakeButton(QStringLiteral("前を検索"), "ButtonFindPrevious", this);
  ButtonFindPrevious->setToolTip(QStringLiteral("前を検索 (Shift+F3)"));
  ButtonFindRows = MakeButton(QStringLiteral("一致する行だけを表示"), "ButtonFindRows", this);
  ButtonFindRows->setToolTip(
      QStringLiteral("この文字列を含むセルのある行だけを表示 (Ctrl+Shift+F)"));
  ButtonClose = MakeButton(QStringLiteral("閉じる"), "ButtonFindClose", this);
  ButtonClose->setToolTip(QStringLiteral("検索バーを閉じる (Esc)"));

  layout->addWidget(label);
  layout->addWidget(EditFindText, 1);
  layout->addWidget(CheckBoxCaseSensitive);
  layout->addWidget(ButtonFindNext);
  layout->addWidget(ButtonFindPrevious);
  layout->addWidget(ButtonFindRows);
  layout->addWidget(ButtonClose);

  // The edit takes Enter with any modifier as its own.
  EditFindText->installEventFilter(this);
  connect(EditFindText, &QLineEdit::returnPressed, this, [this] { emit findRequested(true); });
  connect(ButtonFindNext, &QToolButton::clicked, this, [this] { emit findRequested(true); });
  connect(ButtonFindPrevious, &QToolButton::clicked, this, [this] { emit findRequested(false); });
  connect(ButtonFindRows, &QToolButton::clicked, this, [this] { emit rowsRequested(); });
  connect(ButtonClose, &QToolButton::clicked, this, &TFindBar::Close);
  hide();
}

QString TFindBar::Text() const {
  return EditFindText->text();
}

bool TFindBar::CaseSensitive() const {
  return CheckBoxCaseSensitive->isChecked();
}

void TFindBar::Open() {
  show();
  EditFindText->setFocus(Qt::ShortcutFocusReason);
  EditFindText->selectAll();
}

void TFindBar::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape) {
    // A running search takes Esc before it gets here (the window cancels it).
    event->accept();
    Close();
    return;
  }
  // Shift+Enter goes back, as in the browsers' find bars.
  if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
      event->modifiers().testFlag(Qt::ShiftModifier)) {
    event->accept();
    emit findRequested(false);
    return;
  }
  QWidget::keyPressEvent(event);
}

bool TFindBar::eventFilter(QObject* watched, QEvent* event) {
  if (watched == EditFindText && event->type() == QEvent::KeyPress) {
    const auto* key = static_cast<QKeyEvent*>(event);
    if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) &&
        key->modifiers().testFlag(Qt::ShiftModifier)) {
      emit findRequested(false);
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}

void TFindBar::Close() {
  hide();
  emit closed();
}

}  // namespace norvalis
