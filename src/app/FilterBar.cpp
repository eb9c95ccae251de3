#include "app/FilterBar.h"

#include <QFontMetrics>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

namespace norvalis {

TFilterBar::TFilterBar(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("FilterBar"));
  setAccessibleName(QStringLiteral("行の絞り込み"));
  setAutoFillBackground(true);
  setBackgroundRole(QPalette::ToolTipBase);
  setForegroundRole(QPalette::ToolTipText);
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(6, 2, 4, 2);
  layout->setSpacing(6);
  LabelFilter = new QLabel(this);
  LabelFilter->setObjectName(QStringLiteral("LabelFilter"));
  // A long value must not widen the window.
  LabelFilter->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  LabelFilter->setTextFormat(Qt::PlainText);
  ButtonShowAllRows = new QPushButton(QStringLiteral("すべての行を表示"), this);
  ButtonShowAllRows->setObjectName(QStringLiteral("ButtonShowAllRows"));
  // Fallback fonts for Japanese run wider than the size hint allows.
  ButtonShowAllRows->setMinimumWidth(
      ButtonShowAllRows->fontMetrics().horizontalAdvance(ButtonShowAllRows->text()) + 24);
  ButtonShowAllRows->setToolTip(QStringLiteral("すべての行を表示 (グリッドで Esc)"));
  layout->addWidget(LabelFilter, 1);
  layout->addWidget(ButtonShowAllRows);
  connect(ButtonShowAllRows, &QPushButton::clicked, this, [this] { emit showAllRequested(); });
  hide();
}

void TFilterBar::ShowFilter(const QString& description) {
  LabelFilter->setText(description);
  LabelFilter->setToolTip(description);
  LabelFilter->setAccessibleName(description);
  show();
}

QString TFilterBar::Description() const {
  return LabelFilter->text();
}

}  // namespace norvalis
