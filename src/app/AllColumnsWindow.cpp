#include "app/AllColumnsWindow.h"

#include <algorithm>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QLabel>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "csv/TsvText.h"

namespace norvalis {

namespace {

QString ToQString(const UnicodeString& text) {
  return QString::fromStdU16String(text);
}

const QString TableReplacedText =
    QStringLiteral("この結果の表は閉じられたか、読み込み直されました。セルへは移動できません。");

const QStringList Headings = {QStringLiteral("列"), QStringLiteral("列名"), QStringLiteral("結果"),
                              QStringLiteral("セルの値")};

}  // namespace

TAllColumnsWindow::TAllColumnsWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
  setObjectName(QStringLiteral("AllColumnsWindow"));
  setWindowTitle(QStringLiteral("すべての列を調べた結果"));
  setAccessibleName(windowTitle());
  summary_ = new QLabel(this);
  summary_->setObjectName(QStringLiteral("LabelAllColumnsSummary"));
  ListResult = new QTreeWidget(this);
  ListResult->setObjectName(QStringLiteral("ListResult"));
  ListResult->setAccessibleName(QStringLiteral("列ごとの結果"));
  ListResult->setRootIsDecorated(false);
  ListResult->setUniformRowHeights(true);
  ListResult->setSelectionMode(QAbstractItemView::ExtendedSelection);
  ListResult->setHeaderLabels(Headings);
  ListResult->setContextMenuPolicy(Qt::ActionsContextMenu);

  auto* copy = new QAction(QStringLiteral("コピー(&C)"), ListResult);
  copy->setObjectName(QStringLiteral("ActionAllColumnsCopy"));
  copy->setShortcut(QKeySequence::Copy);
  copy->setShortcutContext(Qt::WidgetWithChildrenShortcut);
  connect(copy, &QAction::triggered, this, &TAllColumnsWindow::Copy);
  ListResult->addAction(copy);
  auto* close = new QAction(this);
  close->setShortcut(Qt::Key_Escape);
  connect(close, &QAction::triggered, this, &QWidget::close);
  addAction(close);

  connect(ListResult, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem* item, int) {
    const int index = ListResult->indexOfTopLevelItem(item);
    if (!tableReplaced_ && index >= 0 && static_cast<std::size_t>(index) < rows_.size()) {
      emit cellRequested(rows_[static_cast<std::size_t>(index)], index);
    }
  });

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(summary_);
  layout->addWidget(ListResult, 1);
  resize(560, 360);
}

void TAllColumnsWindow::SetResult(const AllColumnsResult& result, const QString& fileName) {
  lines_ = AllColumnsLines(result);
  rows_.clear();
  ListResult->clear();
  QList<QTreeWidgetItem*> items;
  std::size_t differing = 0;
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    const AllColumnsLine& line = lines_[i];
    const bool differs = result.columns[i].outcome == CheckResult::Outcome::Differs;
    differing += differs ? 1 : 0;
    rows_.push_back(differs ? static_cast<std::int64_t>(result.columns[i].rowIndex) : -1);
    // A long or multi-line value shows its first line; the copy has it whole.
    QString value = ToQString(line.value);
    const qsizetype lineEnd = value.indexOf(QLatin1Char('\n'));
    value = value.left(lineEnd < 0 ? 200 : std::min<qsizetype>(lineEnd, 200));
    items << new QTreeWidgetItem(
        QStringList{ToQString(line.letter), ToQString(line.title), ToQString(line.result), value});
  }
  ListResult->addTopLevelItems(items);
  for (int c = 0; c < 3; ++c)
    ListResult->resizeColumnToContents(c);
  summaryText_ = QStringLiteral("%1\n%2 列中 %3 列が異なります。")
                     .arg(fileName)
                     .arg(lines_.size())
                     .arg(differing);
  summary_->setText(summaryText_);
  tableReplaced_ = false;
}

void TAllColumnsWindow::SetTableReplaced() {
  if (tableReplaced_ || lines_.empty()) return;
  tableReplaced_ = true;
  summary_->setText(summaryText_ + QLatin1Char('\n') + TableReplacedText);
}

QString TAllColumnsWindow::CopyText() const {
  UnicodeString text;
  std::vector<UnicodeString> heading;
  for (const QString& h : Headings)
    heading.push_back(h.toStdU16String());
  text += TsvLine(heading);
  text += u'\n';
  text += AllColumnsTsv(lines_);
  return ToQString(text);
}

void TAllColumnsWindow::Copy() const {
  QApplication::clipboard()->setText(CopyText());
}

}  // namespace norvalis
