#include "app/FindingsWindow.h"

#include <algorithm>
#include <utility>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QSplitter>
#include <QTableView>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace norvalis {

namespace {

QString ToQString(const UnicodeString& text) {
  return QString::fromStdU16String(text);
}

QString Grouped(std::uint64_t n) {
  return QLocale(QLocale::English, QLocale::UnitedStates).toString(static_cast<qulonglong>(n));
}

const QString TableReplacedText =
    QStringLiteral("この結果の表は閉じられたか、読み込み直されました。セルへは移動できません。");
const QString NotLookedForText = QStringLiteral("（調べていません）");

// Starting widths: sizing to contents would read every line of the list.
constexpr int RuleColumnWidths[] = {70, 44, 100, 110, 220, 200};
constexpr int CharacterColumnWidths[] = {70, 44, 100, 90, 100, 220, 200};
constexpr int MaxCountLinesShown = 8;

}  // namespace

TFindingsWindow::TFindingsWindow(Findings::Kind kind, QWidget* parent)
    : QWidget(parent, Qt::Window), kind_(kind) {
  const bool rules = kind == Findings::Kind::Rules;
  setObjectName(rules ? QStringLiteral("RuleFindingsWindow")
                      : QStringLiteral("CharacterFindingsWindow"));
  setWindowTitle(rules ? QStringLiteral("規則に合わない値") : QStringLiteral("文字の問題"));
  setAccessibleName(windowTitle());

  LabelFindingsSummary = new QLabel(this);
  LabelFindingsSummary->setObjectName(QStringLiteral("LabelFindingsSummary"));
  LabelFindingsSummary->setTextFormat(Qt::PlainText);
  LabelFindingsSummary->setWordWrap(true);

  ListCounts = new QTreeWidget;
  ListCounts->setObjectName(QStringLiteral("ListCounts"));
  ListCounts->setAccessibleName(rules ? QStringLiteral("規則ごとの件数")
                                      : QStringLiteral("種類ごとの件数"));
  ListCounts->setRootIsDecorated(false);
  ListCounts->setUniformRowHeights(true);
  ListCounts->setHeaderLabels(
      {rules ? QStringLiteral("規則") : QStringLiteral("種類"), QStringLiteral("件数")});

  model_ = new TFindingsModel(this);
  ListFindings = new QTableView;
  ListFindings->setObjectName(QStringLiteral("ListFindings"));
  ListFindings->setAccessibleName(rules ? QStringLiteral("規則に合わない値の一覧")
                                        : QStringLiteral("文字の問題の一覧"));
  ListFindings->setModel(model_);
  ListFindings->setSelectionBehavior(QAbstractItemView::SelectRows);
  ListFindings->setSelectionMode(QAbstractItemView::ExtendedSelection);
  ListFindings->setWordWrap(false);
  ListFindings->setTextElideMode(Qt::ElideRight);
  ListFindings->verticalHeader()->hide();
  // One height for every line: the view then never measures the lines it does not show.
  ListFindings->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  ListFindings->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
  ListFindings->horizontalHeader()->setStretchLastSection(true);
  ListFindings->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
  ListFindings->setContextMenuPolicy(Qt::ActionsContextMenu);

  auto* copy = new QAction(QStringLiteral("コピー(&C)"), ListFindings);
  copy->setObjectName(QStringLiteral("ActionFindingsCopy"));
  copy->setShortcut(QKeySequence::Copy);
  copy->setShortcutContext(Qt::WidgetWithChildrenShortcut);
  connect(copy, &QAction::triggered, this, &TFindingsWindow::Copy);
  ListFindings->addAction(copy);
  auto* close = new QAction(this);
  close->setShortcut(Qt::Key_Escape);
  connect(close, &QAction::triggered, this, &QWidget::close);
  addAction(close);
  connect(ListFindings, &QTableView::activated, this,
          [this](const QModelIndex& index) { GoToFinding(index.row()); });

  ButtonCopyFindings = new QPushButton(QStringLiteral("すべてコピー"));
  ButtonCopyFindings->setObjectName(QStringLiteral("ButtonCopyFindings"));
  connect(ButtonCopyFindings, &QPushButton::clicked, this,
          [this] { QApplication::clipboard()->setText(CopyAllText()); });

  ButtonShowFindingRows = new QPushButton(QStringLiteral("見つかった行だけを表示"));
  ButtonShowFindingRows->setObjectName(QStringLiteral("ButtonShowFindingRows"));
  connect(ButtonShowFindingRows, &QPushButton::clicked, this, &TFindingsWindow::ShowFindingRows);

  auto* splitter = new QSplitter(Qt::Vertical);
  splitter->addWidget(ListCounts);
  splitter->addWidget(ListFindings);
  splitter->setStretchFactor(0, 1);
  splitter->setStretchFactor(1, 4);
  splitter->setChildrenCollapsible(false);

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(ButtonShowFindingRows);
  buttons->addStretch(1);
  buttons->addWidget(ButtonCopyFindings);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(LabelFindingsSummary);
  layout->addWidget(splitter, 1);
  layout->addLayout(buttons);
  resize(760, 460);
  splitter->setSizes({90, 300});
}

void TFindingsWindow::SetFindings(std::shared_ptr<const Findings> findings, const QString& fileName,
                                  const QString& status) {
  model_->SetFindings(std::move(findings));
  const int* widths = kind_ == Findings::Kind::Rules ? RuleColumnWidths : CharacterColumnWidths;
  for (int c = 0; c + 1 < model_->columnCount(); ++c)
    ListFindings->setColumnWidth(c, widths[c]);
  summaryText_ = fileName + QLatin1Char('\n') + status;
  if (const auto& data = model_->Data()) {
    for (const RuleError& error : data->ignored)
      summaryText_ += QLatin1Char('\n') + ToQString(IgnoredRuleText(error));
  }
  LabelFindingsSummary->setText(summaryText_);
  tableReplaced_ = false;
  ButtonShowFindingRows->setEnabled(model_->rowCount() > 0);
  ShowCounts();
  if (model_->rowCount() > 0) ListFindings->scrollToTop();
}

void TFindingsWindow::ShowCounts() {
  ListCounts->clear();
  const std::shared_ptr<const Findings>& data = model_->Data();
  if (!data) return;
  QList<QTreeWidgetItem*> items;
  if (data->kind == Findings::Kind::Rules) {
    for (std::size_t r = 0; r < data->rules.size(); ++r) {
      const std::uint64_t count = data->ruleResult ? data->ruleResult->counts[r] : 0;
      items << new QTreeWidgetItem({ToQString(data->rules[r].text), Grouped(count)});
    }
  } else {
    for (std::size_t k = 0; k < CharacterKindCount; ++k) {
      const auto kind = static_cast<CharacterKind>(k);
      const bool looked = (data->kinds >> k) & 1;
      const std::uint64_t count = data->characterResult ? data->characterResult->counts[k] : 0;
      items << new QTreeWidgetItem(
          {CharacterKindCaption(kind), looked ? Grouped(count) : NotLookedForText});
    }
  }
  for (QTreeWidgetItem* item : items)
    item->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
  ListCounts->addTopLevelItems(items);
  ListCounts->resizeColumnToContents(0);
  // Every count in sight, up to a few lines; the findings take the rest.
  const int lines = std::min<int>(static_cast<int>(items.size()), MaxCountLinesShown);
  ListCounts->setMinimumHeight(ListCounts->header()->sizeHint().height() +
                               lines * std::max(ListCounts->sizeHintForRow(0), 1) +
                               2 * ListCounts->frameWidth() + 2);
}

void TFindingsWindow::GoToFinding(int line) {
  const std::shared_ptr<const Findings>& data = model_->Data();
  if (tableReplaced_ || !data || line < 0 || static_cast<std::size_t>(line) >= data->Count()) {
    return;
  }
  const auto i = static_cast<std::size_t>(line);
  emit cellRequested(data->Row(i), data->Column(i));
}

void TFindingsWindow::ShowFindingRows() {
  const std::shared_ptr<const Findings>& data = model_->Data();
  if (tableReplaced_ || !data || data->Count() == 0) return;
  auto rows = std::make_shared<const std::vector<std::uint32_t>>(data->Rows());
  const QString what = kind_ == Findings::Kind::Rules ? QStringLiteral("規則に合わない値のある行")
                                                      : QStringLiteral("文字の問題のある行");
  emit rowsRequested(rows, what + QStringLiteral(": %1 行").arg(Grouped(rows->size())));
}

void TFindingsWindow::SetTableReplaced() {
  if (tableReplaced_ || !model_->Data()) return;
  tableReplaced_ = true;
  ButtonShowFindingRows->setEnabled(false);
  LabelFindingsSummary->setText(summaryText_ + QLatin1Char('\n') + TableReplacedText);
}

QString TFindingsWindow::CopyText() const {
  // The selection's ranges, not its indexes: a selection of millions stays a few ranges.
  std::vector<std::pair<std::size_t, std::size_t>> ranges;
  for (const QItemSelectionRange& range : ListFindings->selectionModel()->selection()) {
    ranges.emplace_back(static_cast<std::size_t>(range.top()),
                        static_cast<std::size_t>(range.bottom()) + 1);
  }
  if (ranges.empty()) return CopyAllText();
  std::sort(ranges.begin(), ranges.end());
  // Ranges of several columns of one line must give the line once.
  std::vector<std::pair<std::size_t, std::size_t>> merged;
  for (const auto& range : ranges) {
    if (!merged.empty() && range.first <= merged.back().second) {
      merged.back().second = std::max(merged.back().second, range.second);
    } else {
      merged.push_back(range);
    }
  }
  return ToQString(model_->Tsv(merged));
}

QString TFindingsWindow::CopyAllText() const {
  const std::shared_ptr<const Findings>& data = model_->Data();
  return ToQString(model_->Tsv({{0, data ? data->Count() : 0}}));
}

void TFindingsWindow::Copy() const {
  QApplication::clipboard()->setText(CopyText());
}

}  // namespace norvalis
