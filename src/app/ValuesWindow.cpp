#include "app/ValuesWindow.h"

#include <QAbstractTableModel>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

#include "app/Dialogs.h"
#include "csv/TsvText.h"

namespace norvalis {

namespace {

const QString EmptyValueText = QStringLiteral("（空）");
const QString TableReplacedText =
    QStringLiteral("この一覧の表は閉じられたか、読み込み直されました。行は表示できません。");
const QString TooManyToCopyText =
    QStringLiteral("値が多すぎるためコピーできません（%1 種類、コピーできるのは %2 種類まで）。");
const QStringList Headings = {QStringLiteral("値"), QStringLiteral("件数"), QStringLiteral("割合"),
                              QStringLiteral("最初の行")};

QString Grouped(std::uint64_t number) {
  return QString::fromStdU16String(GroupDigits(number));
}

// How a value shows in one line of the list: "（空）" for the empty value, line breaks as
// spaces, a very long one cut (the copy has it whole).
QString ShownValue(const UnicodeString& text) {
  if (text.empty()) return EmptyValueText;
  QString shown = QString::fromStdU16String(text.substr(0, 300));
  shown.replace(QLatin1Char('\n'), QLatin1Char(' ')).replace(QLatin1Char('\r'), QLatin1Char(' '));
  if (text.size() > 300) shown += QStringLiteral("…");
  return shown;
}

QString ShareText(std::uint64_t count, std::uint64_t rows) {
  const double share = rows == 0 ? 0.0 : 100.0 * static_cast<double>(count) / rows;
  return QLocale(QLocale::English).toString(share, 'f', 2) + QLatin1Char('%');
}

}  // namespace

// The values as rows of a table model, read from the result when the view asks.
class TValuesModel : public QAbstractTableModel {
 public:
  using QAbstractTableModel::QAbstractTableModel;

  void SetValues(std::shared_ptr<const ColumnValues> values) {
    beginResetModel();
    values_ = std::move(values);
    endResetModel();
  }
  const ColumnValues* Values() const { return values_.get(); }

  int rowCount(const QModelIndex& parent) const override {
    if (parent.isValid() || !values_) return 0;
    return static_cast<int>(std::min<std::size_t>(values_->values.size(), INT_MAX));
  }
  int columnCount(const QModelIndex& parent) const override {
    return parent.isValid() ? 0 : static_cast<int>(Headings.size());
  }
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    return section >= 0 && section < Headings.size() ? Headings[section] : QVariant();
  }
  QVariant data(const QModelIndex& index, int role) const override {
    if (!values_ || !index.isValid()) return {};
    const ColumnValue& value = values_->values[static_cast<std::size_t>(index.row())];
    if (role == Qt::TextAlignmentRole && index.column() > 0) {
      return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
    }
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole) return {};
    switch (index.column()) {
      case 0:
        return ShownValue(value.text);
      case 1:
        return Grouped(value.count);
      case 2:
        return ShareText(value.count, values_->rows);
      case 3:
        return Grouped(static_cast<std::uint64_t>(value.FirstRowNumber()));
      default:
        return {};
    }
  }

 private:
  std::shared_ptr<const ColumnValues> values_;
};

TValuesWindow::TValuesWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
  setObjectName(QStringLiteral("ValuesWindow"));
  setWindowTitle(QStringLiteral("値の一覧"));
  setAccessibleName(windowTitle());
  LabelValuesColumn = new QLabel(this);
  LabelValuesColumn->setObjectName(QStringLiteral("LabelValuesColumn"));
  LabelValuesColumn->setTextFormat(Qt::PlainText);
  LabelValuesColumn->setWordWrap(true);
  model_ = new TValuesModel(this);
  TableViewValues = new QTableView(this);
  TableViewValues->setObjectName(QStringLiteral("TableViewValues"));
  TableViewValues->setAccessibleName(QStringLiteral("値と件数"));
  TableViewValues->setModel(model_);
  TableViewValues->setSelectionBehavior(QAbstractItemView::SelectRows);
  TableViewValues->setSelectionMode(QAbstractItemView::ExtendedSelection);
  TableViewValues->setEditTriggers(QAbstractItemView::NoEditTriggers);
  TableViewValues->setWordWrap(false);
  TableViewValues->verticalHeader()->hide();
  // Fixed row heights and no sizing to contents: a million values cost what a screen costs.
  TableViewValues->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  TableViewValues->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
  TableViewValues->horizontalHeader()->setStretchLastSection(false);
  TableViewValues->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
  TableViewValues->setContextMenuPolicy(Qt::ActionsContextMenu);

  ButtonRowsWithValue = new QPushButton(QStringLiteral("この値の行だけを表示"), this);
  ButtonRowsWithValue->setObjectName(QStringLiteral("ButtonRowsWithValue"));
  ButtonRowsWithoutValue = new QPushButton(QStringLiteral("この値以外の行を表示"), this);
  ButtonRowsWithoutValue->setObjectName(QStringLiteral("ButtonRowsWithoutValue"));
  ButtonCopyValues = new QPushButton(QStringLiteral("一覧をコピー"), this);
  ButtonCopyValues->setObjectName(QStringLiteral("ButtonCopyValues"));
  ButtonCopyValues->setToolTip(
      QStringLiteral("選んだ値を（選んでいなければすべてを）タブ区切りでコピーします"));

  auto* copy = new QAction(QStringLiteral("コピー(&C)"), TableViewValues);
  copy->setObjectName(QStringLiteral("ActionValuesCopy"));
  copy->setShortcut(QKeySequence::Copy);
  copy->setShortcutContext(Qt::WidgetWithChildrenShortcut);
  connect(copy, &QAction::triggered, this, &TValuesWindow::Copy);
  TableViewValues->addAction(copy);
  auto* close = new QAction(this);
  close->setShortcut(Qt::Key_Escape);
  connect(close, &QAction::triggered, this, &QWidget::close);
  addAction(close);

  connect(TableViewValues, &QTableView::activated, this, [this] { RequestRows(true); });
  connect(ButtonRowsWithValue, &QPushButton::clicked, this, [this] { RequestRows(true); });
  connect(ButtonRowsWithoutValue, &QPushButton::clicked, this, [this] { RequestRows(false); });
  connect(ButtonCopyValues, &QPushButton::clicked, this, &TValuesWindow::Copy);

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(ButtonRowsWithValue);
  buttons->addWidget(ButtonRowsWithoutValue);
  buttons->addStretch(1);
  buttons->addWidget(ButtonCopyValues);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(LabelValuesColumn);
  layout->addWidget(TableViewValues, 1);
  layout->addLayout(buttons);
  resize(560, 420);
}

TValuesWindow::~TValuesWindow() = default;

void TValuesWindow::SetResult(std::shared_ptr<const ColumnValues> values, const QString& column) {
  const std::size_t distinct = values ? values->values.size() : 0;
  const std::uint64_t rows = values ? values->rows : 0;
  summary_ =
      QStringLiteral("列 %1 の値: %2 種類（%3 行）").arg(column, Grouped(distinct), Grouped(rows));
  model_->SetValues(std::move(values));
  LabelValuesColumn->setText(summary_);
  TableViewValues->resizeColumnToContents(1);
  TableViewValues->resizeColumnToContents(3);
  if (distinct > 0) TableViewValues->selectRow(0);
  tableReplaced_ = false;
  ButtonRowsWithValue->setEnabled(distinct > 0);
  ButtonRowsWithoutValue->setEnabled(distinct > 0);
}

void TValuesWindow::SetTableReplaced() {
  if (tableReplaced_ || !model_->Values()) return;
  tableReplaced_ = true;
  LabelValuesColumn->setText(summary_ + QLatin1Char('\n') + TableReplacedText);
  ButtonRowsWithValue->setEnabled(false);
  ButtonRowsWithoutValue->setEnabled(false);
}

void TValuesWindow::RequestRows(bool with) {
  const ColumnValues* values = model_->Values();
  const QModelIndex current = TableViewValues->currentIndex();
  if (tableReplaced_ || !values || !current.isValid()) return;
  const auto row = static_cast<std::size_t>(current.row());
  if (row < values->values.size()) emit rowsRequested(values->values[row].text, with);
}

QString TValuesWindow::CopyText(bool selectedOnly) const {
  const ColumnValues* values = model_->Values();
  UnicodeString text;
  std::vector<UnicodeString> cells;
  for (const QString& heading : Headings)
    cells.push_back(heading.toStdU16String());
  text += TsvLine(cells);
  text += u'\n';
  if (!values) return QString::fromStdU16String(text);
  std::vector<std::size_t> rows;
  if (selectedOnly) {
    for (const QModelIndex& index : TableViewValues->selectionModel()->selectedRows())
      rows.push_back(static_cast<std::size_t>(index.row()));
    std::sort(rows.begin(), rows.end());
  } else {
    rows.resize(values->values.size());
    for (std::size_t i = 0; i < rows.size(); ++i)
      rows[i] = i;
  }
  for (const std::size_t row : rows) {
    const ColumnValue& value = values->values[row];
    AppendTsvField(value.text, text);
    const auto number = [&](std::uint64_t n) {
      text += u'\t';
      const std::string digits = std::to_string(n);
      text.append(digits.begin(), digits.end());
    };
    number(value.count);
    text += u'\t';
    text += ShareText(value.count, values->rows).toStdU16String();
    number(static_cast<std::uint64_t>(value.FirstRowNumber()));
    text += u'\n';
  }
  return QString::fromStdU16String(text);
}

void TValuesWindow::Copy() {
  const ColumnValues* values = model_->Values();
  const bool selectedOnly = TableViewValues->selectionModel()->selectedRows().size() > 1;
  const std::size_t count = selectedOnly ? 0 : (values ? values->values.size() : 0);
  if (count > MaxCopyValues) {
    Dialogs::Current().Warning(this, TooManyToCopyText.arg(Grouped(count), Grouped(MaxCopyValues)));
    return;
  }
  QApplication::clipboard()->setText(CopyText(selectedOnly));
}

}  // namespace norvalis
