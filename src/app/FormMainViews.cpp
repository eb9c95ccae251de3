// Views of some rows of the table: the grid shows the rows a filter chose, the bar above it
// says which, the status how many, and the find stays on the rows shown.

#include <algorithm>
#include <numeric>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QVBoxLayout>

#include "app/Application.h"
#include "app/FilterBar.h"
#include "app/FindBar.h"
#include "app/FormMain.h"
#include "app/SaveRowsDialog.h"
#include "app/ValuesWindow.h"
#include "csv/CsvUtility.h"
#include "csv/TsvText.h"
#include "grid/GridCsv.h"
#include "text/UnicodeString.h"

namespace norvalis {

namespace {

const QString ShownRowsText = QStringLiteral("%1 行を表示中（全 %2 行）");
const QString AllRowsShownText = QStringLiteral("すべての行を表示しています。");
const QString ViewCancelledText = QStringLiteral("中止しました。");
const QString BusyText = QStringLiteral("実行中の処理が終わってから、もう一度お試しください。");
const QString NoDataRowsText = QStringLiteral("検証する行がありません。");
const QString AllSameText = QStringLiteral("列 %1 の値はすべて一致しました。");
const QString DifferentRowsText = QStringLiteral("列 %1 の値が %2 行目の「%3」と異なる行: %4 行");
const QString RowsWithValueText = QStringLiteral("列 %1 の値が「%2」の行");
const QString RowsWithoutValueText = QStringLiteral("列 %1 の値が「%2」以外の行");
const QString RowsContainingText = QStringLiteral("「%1」を含むセルのある行%2");
const QString RowCountSuffix = QStringLiteral(": %1 行");
const QString CaseSensitiveText = QStringLiteral("（大文字と小文字を区別）");
const QString ShownRowsSavedText = QStringLiteral("%1 行を保存しました: %2");
const QString ShownRowsCopiedText = QStringLiteral("表示中の %1 行をコピーしました。");
const QString TooManyToCopyText = QStringLiteral(
    "表示中の行が多すぎるためコピーできません（%1 行、コピーできるのは %2 行まで）。\n"
    "「表示中の行を保存...」でファイルに保存してください。");
const QString SaveFilter = QStringLiteral("CSVファイル(*.CSV)|*.CSV|すべてのファイル(*.*)|*.*");
// The most rows a copy takes: beyond it the clipboard and the program receiving it suffer.
constexpr std::uint64_t MaxCopyRows = 100'000;

QString Grouped(std::uint64_t number) {
  return QString::fromStdU16String(GroupDigits(number));
}

// A value as a description quotes it: on one line, a long one cut, the empty one "（空）".
QString QuotedValue(std::u16string_view value) {
  if (value.empty()) return QStringLiteral("（空）");
  QString text = QString::fromStdU16String(UnicodeString(value.substr(0, 60)));
  text.replace(QLatin1Char('\n'), QLatin1Char(' ')).replace(QLatin1Char('\r'), QLatin1Char(' '));
  return value.size() > 60 ? text + QStringLiteral("…") : text;
}

}  // namespace

void TFormMain::CreateViewWidgets() {
  const QString view = QStringLiteral("表示");
  ActionViewDifferentRows =
      MakeAction(this, "ActionViewDifferentRows", view, QStringLiteral("異なる行だけを表示"),
                 QKeySequence(Qt::CTRL | Qt::Key_D), -1);
  ActionViewValues = MakeAction(this, "ActionViewValues", view, QStringLiteral("値の一覧"),
                                QKeySequence(Qt::CTRL | Qt::Key_L), -1);
  ActionViewRowsWithValue =
      MakeAction(this, "ActionViewRowsWithValue", view, QStringLiteral("この値の行だけを表示"),
                 QKeySequence(Qt::CTRL | Qt::Key_K), -1);
  ActionViewRowsWithoutValue =
      MakeAction(this, "ActionViewRowsWithoutValue", view, QStringLiteral("この値以外の行を表示"),
                 QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_K), -1);
  ActionViewRowsContaining =
      MakeAction(this, "ActionViewRowsContaining", view, QStringLiteral("一致する行だけを表示"),
                 QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F), -1);
  ActionViewAllRows = MakeAction(this, "ActionViewAllRows", view,
                                 QStringLiteral("すべての行を表示"), QKeySequence(), -1);
  ActionFileSaveShownRows = MakeAction(this, "ActionFileSaveShownRows", QStringLiteral("ファイル"),
                                       QStringLiteral("表示中の行を保存..."), QKeySequence(), -1);
  ActionEditCopyShownRows = MakeAction(this, "ActionEditCopyShownRows", QStringLiteral("編集"),
                                       QStringLiteral("表示中の行をコピー"), QKeySequence(), -1);
  const std::pair<QAction*, void (TFormMain::*)()> handlers[] = {
      {ActionViewDifferentRows, &TFormMain::ActionViewDifferentRowsExecute},
      {ActionViewValues, &TFormMain::ActionViewValuesExecute},
      {ActionViewRowsWithValue, &TFormMain::ActionViewRowsWithValueExecute},
      {ActionViewRowsWithoutValue, &TFormMain::ActionViewRowsWithoutValueExecute},
      {ActionViewRowsContaining, &TFormMain::ActionViewRowsContainingExecute},
      {ActionViewAllRows, &TFormMain::ShowAllRows},
      {ActionFileSaveShownRows, &TFormMain::ActionFileSaveShownRowsExecute},
      {ActionEditCopyShownRows, &TFormMain::ActionEditCopyShownRowsExecute},
  };
  for (const auto& [action, handler] : handlers) {
    connect(action, &QAction::triggered, this,
            [this, handler = handler] { RunCommand([&] { (this->*handler)(); }); });
  }

  MenuView = new QMenu(QStringLiteral("表示(&V)"), this);
  MenuView->setObjectName(QStringLiteral("MenuView"));
  menuBar()->insertMenu(ui_.MenuConfig->menuAction(), MenuView);
  MenuView->addAction(ActionViewDifferentRows);
  MenuView->addAction(ActionViewValues);
  MenuView->addSeparator();
  MenuView->addAction(ActionViewRowsWithValue);
  MenuView->addAction(ActionViewRowsWithoutValue);
  MenuView->addAction(ActionViewRowsContaining);
  MenuView->addSeparator();
  MenuView->addAction(ActionViewAllRows);
  MenuView->addSeparator();
  MenuView->addAction(ActionFileSaveShownRows);
  MenuView->addAction(ActionEditCopyShownRows);
  // Saving is also where files are saved, copying where things are copied.
  const QList<QAction*> fileEntries = ui_.MenuFile->actions();
  const qsizetype reopen = fileEntries.indexOf(ui_.MenuFileReOpen->menuAction());
  ui_.MenuFile->insertAction(fileEntries.value(reopen + 1), ActionFileSaveShownRows);
  MenuEdit->insertAction(MenuEdit->actions().value(2), ActionEditCopyShownRows);

  auto* separator = new QAction(grid_);
  separator->setSeparator(true);
  grid_->addAction(separator);
  grid_->addAction(ActionViewRowsWithValue);
  grid_->addAction(ActionViewRowsWithoutValue);
  grid_->addAction(ActionViewAllRows);
  connect(FindBar, &TFindBar::rowsRequested, this,
          [this] { RunCommand([this] { ActionViewRowsContainingExecute(); }); });

  FilterBar = new TFilterBar(ui_.ClientArea);
  // Right above the grid, below the file row.
  auto* layout = static_cast<QVBoxLayout*>(ui_.ClientArea->layout());
  layout->insertWidget(layout->indexOf(grid_), FilterBar);
  connect(FilterBar, &TFilterBar::showAllRequested, this, [this] {
    ShowAllRows();
    grid_->setFocus();
  });
  connect(grid_, &TGridCsv::shownRowsChanged, this, &TFormMain::UpdateShownRows);
}

void TFormMain::ShowRows(std::shared_ptr<const std::vector<std::uint32_t>> rows,
                         const QString& description) {
  grid_->SetShownRows(std::move(rows), description);
}

void TFormMain::ShowAllRows() {
  grid_->ClearShownRows();
}

void TFormMain::UpdateShownRows() {
  ActionViewAllRows->setEnabled(!grid_->ShowsAllRows());
  if (grid_->ShowsAllRows()) {
    const bool wasShown = FilterBar->isVisible();
    FilterBar->hide();
    // A new table says it was read; only leaving a filter by hand says this.
    if (wasShown && !document_->IsLoading()) SetStatusText(AllRowsShownText);
    return;
  }
  FilterBar->ShowFilter(grid_->ShownRowsDescription());
  SetStatusText(
      ShownRowsText.arg(Grouped(grid_->ShownDataRowCount()), Grouped(grid_->DataRowCount())));
}

bool TFormMain::NextFindStep(const CellSearchRequest& origin, CellSearchRequest& step,
                             const CellSearchResult& found, std::uint64_t& covered) const {
  const std::shared_ptr<const CsvTable> table = Table();
  const std::shared_ptr<const std::vector<std::uint32_t>>& shown = grid_->ShownTableRows();
  if (!table || !shown || table->RowCount() <= origin.firstRow) return false;
  const std::uint32_t rows = table->RowCount();
  const std::uint64_t span = rows - origin.firstRow;
  const auto distance = [&](std::uint32_t row) -> std::uint64_t {
    return origin.forward ? (row + span - origin.row) % span : (origin.row + span - row) % span;
  };
  // A match before where this step began lies on a lap already searched.
  if (distance(found.row) < covered) return false;
  const auto first = std::lower_bound(shown->begin(), shown->end(), origin.firstRow);
  const auto last = std::lower_bound(first, shown->end(), rows);
  if (first == last) return false;
  std::uint32_t next = 0;
  if (origin.forward) {
    const auto after = std::upper_bound(first, last, found.row);
    next = after == last ? *first : *after;
  } else {
    const auto before = std::lower_bound(first, last, found.row);
    next = before == first ? *(last - 1) : *(before - 1);
  }
  // Back at the origin's row, the rest of the lap is that row alone.
  covered = next == origin.row ? span : distance(next);
  const std::uint32_t lastCol = std::max<std::uint32_t>(table->ColCount(), 1) - 1;
  // The search begins just after (or before) the cell it is given.
  if (origin.forward) {
    step.row = next == origin.firstRow ? rows - 1 : next - 1;
    step.col = lastCol;
  } else {
    step.row = next == rows - 1 ? origin.firstRow : next + 1;
    step.col = 0;
  }
  return true;
}

}  // namespace norvalis

namespace norvalis {

QString TFormMain::ColumnName(std::int64_t column) const {
  QString name = QString::fromStdU16String(TCsvUtility::ColumnIndexToLetters(
      static_cast<std::int32_t>(std::max<std::int64_t>(column, 0))));
  const std::shared_ptr<const CsvTable> table = Table();
  if (grid_->FirstLineIsTitle() && table && table->RowCount() > 0 && column >= 0) {
    const UnicodeString title = table->Cell(0, static_cast<std::uint32_t>(column));
    if (!title.empty()) name += QStringLiteral("「%1」").arg(QuotedValue(title));
  }
  return name;
}

void TFormMain::ActionViewDifferentRowsExecute() {
  if (AfterLoad([this] { ActionViewDifferentRowsExecute(); })) return;
  const std::shared_ptr<const CsvTable> table = Table();
  if (!FileInStep(table, true)) return;
  const bool title = ui_.CheckBoxFirstLineIsTitle->isChecked();
  const std::int64_t column = grid_->CurrentTableCell().col;
  const TDocument::Request request = document_->StartDifferences(title, column);
  Await(request, [this, table, title, column](const TDocument::Result& answer) {
    if (std::holds_alternative<TDocument::Cancelled>(answer)) {
      SetStatusText(ViewCancelledText);
      return;
    }
    if (!FileInStep(table, true) || table != Table()) return;
    const auto& differences = std::get<std::shared_ptr<const Differences>>(answer);
    if (differences->outcome == CheckResult::Outcome::NoRows) {
      Dialogs::Current().Warning(this, NoDataRowsText);
      SetStatusText(NoDataRowsText);
      return;
    }
    if (differences->rows.empty()) {
      SetStatusText(AllSameText.arg(ColumnName(column)));
      return;
    }
    // The reference is the first data row, as the check numbers it.
    const std::int64_t referenceLine = TableCell{title ? 1 : 0, column}.Line();
    ShowRows(
        std::shared_ptr<const std::vector<std::uint32_t>>(differences, &differences->rows),
        // One arg() for all: a value holding "%1" must stay as it is.
        DifferentRowsText.arg(ColumnName(column), QString::number(referenceLine),
                              QuotedValue(differences->reference),
                              QString::fromStdU16String(GroupDigits(differences->rows.size()))));
  });
}

void TFormMain::ActionViewValuesExecute() {
  if (AfterLoad([this] { ActionViewValuesExecute(); })) return;
  const std::shared_ptr<const CsvTable> table = Table();
  if (!FileInStep(table, true)) return;
  const bool title = ui_.CheckBoxFirstLineIsTitle->isChecked();
  const std::int64_t column = std::max<std::int64_t>(grid_->CurrentTableCell().col, 0);
  const TDocument::Request request = document_->StartValues(title, column);
  Await(request, [this, table, title, column](const TDocument::Result& answer) {
    if (std::holds_alternative<TDocument::Cancelled>(answer)) {
      SetStatusText(ViewCancelledText);
      return;
    }
    if (!FileInStep(table, true) || table != Table()) return;
    if (ValuesWindow == nullptr) {
      ValuesWindow = new TValuesWindow(this);
      connect(ValuesWindow, &TValuesWindow::rowsRequested, this,
              [this](const UnicodeString& value, bool with) {
                RunCommand([&] {
                  TDocument::FilterRequest filter;
                  filter.kind = with ? TDocument::FilterRequest::Kind::WithValue
                                     : TDocument::FilterRequest::Kind::WithoutValue;
                  filter.firstLineIsTitle = valuesTitle_;
                  filter.column = valuesColumn_;
                  filter.text = value;
                  FilterRows(filter, (with ? RowsWithValueText : RowsWithoutValueText)
                                         .arg(ColumnName(valuesColumn_), QuotedValue(value)));
                });
              });
      connect(document_, &TDocument::tableChanged, ValuesWindow, &TValuesWindow::SetTableReplaced);
    }
    valuesColumn_ = column;
    valuesTitle_ = title;
    const auto& values = std::get<std::shared_ptr<const ColumnValues>>(answer);
    ValuesWindow->SetResult(values, ColumnName(column));
    ValuesWindow->show();
    ValuesWindow->raise();
    ValuesWindow->activateWindow();
    SetStatusText(QStringLiteral("列 %1 の値は %2 種類です。")
                      .arg(ColumnName(column),
                           QString::fromStdU16String(GroupDigits(values->values.size()))));
  });
}

void TFormMain::ActionViewRowsWithValueExecute() {
  const TableCell cell = grid_->CurrentTableCell();
  const std::shared_ptr<const CsvTable> table = Table();
  if (!table || cell.row < 0 || cell.col < 0) return;
  TDocument::FilterRequest filter;
  filter.firstLineIsTitle = ui_.CheckBoxFirstLineIsTitle->isChecked();
  filter.column = cell.col;
  filter.text =
      table->Cell(static_cast<std::uint32_t>(cell.row), static_cast<std::uint32_t>(cell.col));
  FilterRows(filter, RowsWithValueText.arg(ColumnName(cell.col), QuotedValue(filter.text)));
}

void TFormMain::ActionViewRowsWithoutValueExecute() {
  const TableCell cell = grid_->CurrentTableCell();
  const std::shared_ptr<const CsvTable> table = Table();
  if (!table || cell.row < 0 || cell.col < 0) return;
  TDocument::FilterRequest filter;
  filter.kind = TDocument::FilterRequest::Kind::WithoutValue;
  filter.firstLineIsTitle = ui_.CheckBoxFirstLineIsTitle->isChecked();
  filter.column = cell.col;
  filter.text =
      table->Cell(static_cast<std::uint32_t>(cell.row), static_cast<std::uint32_t>(cell.col));
  FilterRows(filter, RowsWithoutValueText.arg(ColumnName(cell.col), QuotedValue(filter.text)));
}

void TFormMain::ActionViewRowsContainingExecute() {
  const QString text = FindBar->Text();
  if (text.isEmpty()) {
    FindBar->Open();
    return;
  }
  TDocument::FilterRequest filter;
  filter.kind = TDocument::FilterRequest::Kind::Containing;
  filter.firstLineIsTitle = ui_.CheckBoxFirstLineIsTitle->isChecked();
  filter.text = text.toStdU16String();
  filter.caseSensitive = FindBar->CaseSensitive();
  FilterRows(filter, RowsContainingText.arg(QuotedValue(filter.text),
                                            filter.caseSensitive ? CaseSensitiveText : QString()));
}

void TFormMain::FilterRows(const TDocument::FilterRequest& request, const QString& description) {
  if (AfterLoad([this, request, description] { FilterRows(request, description); })) return;
  const std::shared_ptr<const CsvTable> table = Table();
  if (!table || !FileInStep(table, true)) return;
  const TDocument::Request started = document_->StartFilter(request);
  Await(started, [this, table, description](const TDocument::Result& answer) {
    if (std::holds_alternative<TDocument::Cancelled>(answer)) {
      SetStatusText(ViewCancelledText);
      return;
    }
    if (!FileInStep(table, true) || table != Table()) return;
    const auto& selection = std::get<std::shared_ptr<const RowSelection>>(answer);
    ShowRows(std::shared_ptr<const std::vector<std::uint32_t>>(selection, &selection->rows),
             description + RowCountSuffix.arg(
                               QString::fromStdU16String(GroupDigits(selection->rows.size()))));
    grid_->setFocus();
  });
}

std::shared_ptr<const std::vector<std::uint32_t>> TFormMain::RowsShown() const {
  if (const auto& shown = grid_->ShownTableRows()) return shown;
  const std::shared_ptr<const CsvTable> table = Table();
  auto rows = std::make_shared<std::vector<std::uint32_t>>();
  const std::uint32_t first = grid_->FirstLineIsTitle() ? 1 : 0;
  const std::uint32_t count = table ? table->RowCount() : 0;
  if (count > first) {
    rows->resize(count - first);
    std::iota(rows->begin(), rows->end(), first);
  }
  return rows;
}

void TFormMain::ActionFileSaveShownRowsExecute() {
  if (AfterLoad([this] { ActionFileSaveShownRowsExecute(); })) return;
  // Its dialogs wait for the user; nothing else may run meanwhile.
  if (document_->IsBusy()) {
    SetStatusText(BusyText);
    return;
  }
  const std::shared_ptr<const CsvTable> table = Table();
  if (!table || !FileInStep(table, true)) return;
  std::shared_ptr<const std::vector<std::uint32_t>> rows = RowsShown();
  const bool title = grid_->FirstLineIsTitle() && table->RowCount() > 0;
  TSaveRowsDialog dialog(rows->size(),
                         QString::fromStdU16String(RowsSaveFormText(RowsSaveFormOf(*table))), title,
                         this);
  if (Dialogs::Current().Exec(dialog) != QDialog::Accepted) return;
  const bool titleFirst = dialog.TitleFirst();
  TFileDialog save(TFileDialog::Kind::Save, SaveFilter, QStringLiteral("CSV"), true);
  if (!save.Execute(this)) return;
  const QString path = save.FileName;
  // The table may have been replaced while the dialogs were open.
  if (table != Table()) return;
  const TDocument::Request request =
      document_->StartSaveRows(std::move(rows), titleFirst, path.toStdU16String());
  Await(request, [this, path](const TDocument::Result& answer) {
    if (std::holds_alternative<TDocument::Cancelled>(answer)) {
      SetStatusText(ViewCancelledText);
      return;
    }
    const RowsSaveResult& result = std::get<RowsSaveResult>(answer);
    if (!result.ok) {
      const QString message = QString::fromStdU16String(result.message);
      Dialogs::Current().Warning(this, message);
      SetStatusText(message);
      return;
    }
    SetStatusText(
        ShownRowsSavedText.arg(QString::fromStdU16String(GroupDigits(result.rows)), path));
  });
}

void TFormMain::ActionEditCopyShownRowsExecute() {
  const std::shared_ptr<const CsvTable> table = Table();
  if (!table || !FileInStep(table, true)) return;
  const std::shared_ptr<const std::vector<std::uint32_t>> rows = RowsShown();
  if (rows->size() > MaxCopyRows) {
    Dialogs::Current().Warning(
        this, TooManyToCopyText.arg(QString::fromStdU16String(GroupDigits(rows->size())),
                                    QString::fromStdU16String(GroupDigits(MaxCopyRows))));
    return;
  }
  UnicodeString text;
  std::vector<UnicodeString> cells;
  const auto append = [&](std::uint32_t row) {
    table->RowCells(row, cells);
    text += TsvLine(cells);
    text += u'\n';
  };
  if (grid_->FirstLineIsTitle() && table->RowCount() > 0) append(0);
  for (const std::uint32_t row : *rows)
    append(row);
  if (!FileInStep(table, true)) return;
  QApplication::clipboard()->setText(QString::fromStdU16String(text));
  SetStatusText(ShownRowsCopiedText.arg(QString::fromStdU16String(GroupDigits(rows->size()))));
}

}  // namespace norvalis
