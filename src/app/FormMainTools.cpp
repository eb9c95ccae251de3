// The window's everyday tools beside the check: the encoding shown and chosen, copy, find,
// go to a row or to the difference, and every column checked at once. Every command reads the
// table through Table(), never through the grid's cells.

#include <algorithm>
#include <climits>
#include <vector>

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QVBoxLayout>

#include "app/AllColumnsWindow.h"
#include "app/FilterBar.h"
#include "app/Application.h"
#include "app/CommandLine.h"
#include "check/CellSearch.h"
#include "app/FindBar.h"
#include "app/FormMain.h"
#include "app/GoToRowDialog.h"
#include "app/ProgressOwner.h"
#include "check/ColumnCheckAll.h"
#include "csv/CsvUtility.h"
#include "csv/TsvText.h"
#include "grid/Document.h"
#include "grid/GridCsv.h"
#include "text/Encodings.h"

namespace norvalis {

namespace {

const QString NotFoundPrefix = QStringLiteral("見つかりませんでした: ");
const QString FoundText = QStringLiteral("見つかりました: ファイルの%1行目、%2列");
const QString WrappedForwardText = QStringLiteral("先頭に戻って検索しました。");
const QString WrappedBackwardText = QStringLiteral("末尾に戻って検索しました。");
const QString SearchCancelledText = QStringLiteral("検索を中止しました。");
const QString NoDifferenceText = QStringLiteral("移動できる差異のあるセルがありません。");
const QString CellCopiedText = QStringLiteral("セルをコピーしました。");
const QString RowCopiedText = QStringLiteral("行をコピーしました。");
const QString RowNotShownText = QStringLiteral(
    "ファイルの%1行目は表示中の行にありません。「すべての行を表示」で表示できます。");
const QString NoRowsText = QStringLiteral("検証する行がありません。");
const QString AllColumnsMatchText = QStringLiteral("すべての列で値が一致しました。");
const QString SomeColumnsDifferText = QStringLiteral("%1 列中 %2 列で値が異なります。");

const QString EncodingLabelName = QStringLiteral("文字コード");
const QString TableSizeLabelName = QStringLiteral("表の大きさ");
const QString StoppedShortText = QStringLiteral("（%1 バイト目で停止）");

// A label of the status bar: a screen reader hears its name with its value, "文字コード:
// Shift_JIS", since it reads a label by its name alone.
void ShowLabel(QLabel* label, const QString& name, const QString& value) {
  label->setText(value);
  label->setAccessibleName(value.isEmpty() ? QString() : name + QStringLiteral(": ") + value);
}

// "124,825 行 × 15 列"
QString TableSizeText(std::uint32_t rows, std::uint32_t cols) {
  const QLocale grouping(QLocale::English, QLocale::UnitedStates);
  return QStringLiteral("%1 行 × %2 列")
      .arg(grouping.toString(static_cast<qulonglong>(rows)),
           grouping.toString(static_cast<qulonglong>(cols)));
}

// A table row or column as the table reads it; the row-number column reads as the first.
std::uint32_t TableIndex(std::int64_t index) {
  return static_cast<std::uint32_t>(std::clamp<std::int64_t>(index, 0, UINT32_MAX));
}

}  // namespace

void TFormMain::CreateToolActions() {
  const QString csv = QStringLiteral("CSVファイル");
  const QString edit = QStringLiteral("編集");
  ActionCsvCheckAll =
      MakeAction(this, "ActionCsvCheckAll", csv, QStringLiteral("すべての列を調べる"),
                 QKeySequence(Qt::SHIFT | Qt::Key_F5), -1);
  ActionEditCopyCell = MakeAction(this, "ActionEditCopyCell", edit, QStringLiteral("セルをコピー"),
                                  QKeySequence(Qt::CTRL | Qt::Key_C), -1);
  ActionEditCopyRow = MakeAction(this, "ActionEditCopyRow", edit, QStringLiteral("行をコピー"),
                                 QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_C), -1);
  ActionEditFind = MakeAction(this, "ActionEditFind", edit, QStringLiteral("検索…"),
                              QKeySequence(Qt::CTRL | Qt::Key_F), -1);
  ActionEditFindNext = MakeAction(this, "ActionEditFindNext", edit, QStringLiteral("次を検索"),
                                  QKeySequence(Qt::Key_F3), -1);
  ActionEditFindPrevious =
      MakeAction(this, "ActionEditFindPrevious", edit, QStringLiteral("前を検索"),
                 QKeySequence(Qt::SHIFT | Qt::Key_F3), -1);
  ActionEditGoToRow = MakeAction(this, "ActionEditGoToRow", edit, QStringLiteral("行へ移動…"),
                                 QKeySequence(Qt::CTRL | Qt::Key_G), -1);
  ActionEditGoToDifference =
      MakeAction(this, "ActionEditGoToDifference", edit, QStringLiteral("差異のあるセルへ移動"),
                 QKeySequence(Qt::CTRL | Qt::Key_J), -1);
  ActionViewFitColumns = MakeAction(this, "ActionViewFitColumns", edit,
                                    QStringLiteral("すべての列の幅を調整"), QKeySequence(), -1);
  // The menu shows the key beside the command.
  ui_.ActionHelpHelp->setShortcut(QKeySequence(Qt::Key_F1));

  const std::pair<QAction*, void (TFormMain::*)()> handlers[] = {
      {ActionCsvCheckAll, &TFormMain::ActionCsvCheckAllExecute},
      {ActionEditCopyCell, &TFormMain::ActionEditCopyCellExecute},
      {ActionEditCopyRow, &TFormMain::ActionEditCopyRowExecute},
      {ActionEditFind, &TFormMain::ActionEditFindExecute},
      {ActionEditFindNext, &TFormMain::ActionEditFindNextExecute},
      {ActionEditFindPrevious, &TFormMain::ActionEditFindPreviousExecute},
      {ActionEditGoToRow, &TFormMain::ActionEditGoToRowExecute},
      {ActionEditGoToDifference, &TFormMain::ActionEditGoToDifferenceExecute},
      {ActionViewFitColumns, &TFormMain::ActionViewFitColumnsExecute},
  };
  for (const auto& [action, handler] : handlers) {
    connect(action, &QAction::triggered, this,
            [this, handler = handler] { RunCommand([&] { (this->*handler)(); }); });
  }
}

void TFormMain::CreateToolMenus() {
  ui_.MenuCsv->insertAction(ui_.ActionCsvReffer, ActionCsvCheckAll);
  ui_.MenuCsv->addSeparator();
  MenuCsvEncoding = ui_.MenuCsv->addMenu(QStringLiteral("文字コードを指定して開き直す(&E)"));
  MenuCsvEncoding->setObjectName(QStringLiteral("MenuCsvEncoding"));
  EncodingGroup = new QActionGroup(this);
  EncodingGroup->setExclusive(true);
  const auto addEncoding = [this](const QString& caption, std::uint16_t codePage) {
    QAction* action = MenuCsvEncoding->addAction(caption);
    action->setObjectName(QStringLiteral("ActionCsvEncoding%1").arg(codePage));
    action->setCheckable(true);
    action->setChecked(codePage == csvCodePage_);
    action->setData(codePage);
    EncodingGroup->addAction(action);
    connect(action, &QAction::triggered, this,
            [this, codePage] { RunCommand([&] { ReopenWithCodePage(codePage); }); });
  };
  addEncoding(QStringLiteral("自動判定"), 0);
  MenuCsvEncoding->addSeparator();
  for (const Encodings::Choice& choice : Encodings::Choices())
    addEncoding(QString::fromStdU16String(UnicodeString(choice.name)), choice.codePage);

  MenuEdit = new QMenu(QStringLiteral("編集(&E)"), this);
  MenuEdit->setObjectName(QStringLiteral("MenuEdit"));
  menuBar()->insertMenu(ui_.MenuConfig->menuAction(), MenuEdit);
  MenuEdit->addAction(ActionEditCopyCell);
  MenuEdit->addAction(ActionEditCopyRow);
  MenuEdit->addSeparator();
  MenuEdit->addAction(ActionEditFind);
  MenuEdit->addAction(ActionEditFindNext);
  MenuEdit->addAction(ActionEditFindPrevious);
  MenuEdit->addSeparator();
  MenuEdit->addAction(ActionEditGoToRow);
  MenuEdit->addAction(ActionEditGoToDifference);
  MenuEdit->addSeparator();
  MenuEdit->addAction(ActionViewFitColumns);
}

void TFormMain::CreateToolWidgets() {
  LabelEncoding = new QLabel(ui_.StatusBar1);
  LabelEncoding->setObjectName(QStringLiteral("LabelEncoding"));

  LabelTableSize = new QLabel(ui_.StatusBar1);
  LabelTableSize->setObjectName(QStringLiteral("LabelTableSize"));

  ui_.StatusBar1->addPermanentWidget(LabelEncoding);
  ui_.StatusBar1->addPermanentWidget(LabelTableSize);

  FindBar = new TFindBar(ui_.ClientArea);
  // Below the grid, above the progress bar.
  static_cast<QVBoxLayout*>(ui_.ClientArea->layout())->insertWidget(2, FindBar);
  connect(FindBar, &TFindBar::findRequested, this,
          [this](bool forward) { RunCommand([&] { FindCell(forward); }); });
  connect(FindBar, &TFindBar::closed, grid_, [this] { grid_->setFocus(); });

  grid_->setContextMenuPolicy(Qt::ActionsContextMenu);
  grid_->addAction(ActionEditCopyCell);
  grid_->addAction(ActionEditCopyRow);
  grid_->SetEmptyHint(
      QStringLiteral("CSVファイルは「参照」で開くか、ここにドロップしてください。"));
  connect(document_, &TDocument::tableChanged, this, &TFormMain::UpdateTableStatus);

  // Typing alone loads nothing; Enter opens the file named there.
  connect(ui_.EditFilename, &QLineEdit::returnPressed, this, [this] {
    RunCommand([this] {
      csvCodePage_ = 0;
      OpenCsvFile(TCommandLine::PastedFileName(ui_.EditFilename->text()).toStdU16String());
    });
  });
}

std::shared_ptr<const CsvTable> TFormMain::Table() const {
  return document_->Table();
}

void TFormMain::UpdateTableStatus() {
  for (QAction* action : EncodingGroup->actions())
    action->setChecked(action->data().toUInt() == csvCodePage_);
  const std::shared_ptr<const CsvTable> table = Table();
  // A result window belongs to the table it was made from.
  if (AllColumnsWindow != nullptr) AllColumnsWindow->SetTableReplaced();
  FindingsTableReplaced();
  // The check and every column keep their answer for no table ("検証する行がありません。").
  for (QAction* action : {ActionEditCopyCell, ActionEditCopyRow, ActionEditFind, ActionEditFindNext,
                          ActionEditFindPrevious, ActionEditGoToRow, ActionEditGoToDifference,
                          ActionViewFitColumns}) {
    action->setEnabled(table != nullptr);
  }
  LabelEncoding->setVisible(table != nullptr);
  LabelTableSize->setVisible(table != nullptr);
  if (!table) {
    ShowLabel(LabelEncoding, EncodingLabelName, {});
    ShowLabel(LabelTableSize, TableSizeLabelName, {});
    LabelTableSize->setToolTip({});
    return;
  }
  // Only the mark tells UTF-8 with a mark from UTF-8 without. Of a regular file only: a FIFO
  // opened again would wait for another writer.
  const QString name = QString::fromStdU16String(document_->FileName());
  QFile file(name);
  const QByteArray leading =
      QFileInfo(name).isFile() && file.open(QIODevice::ReadOnly) ? file.read(4) : QByteArray();
  ShowLabel(
      LabelEncoding, EncodingLabelName,
      QString::fromStdU16String(Encodings::DisplayName(
          document_->Csv().CodePage(), std::string_view(leading.constData(), leading.size()))));
  QString size = TableSizeText(table->RowCount(), table->ColCount());
  QString stopped;
  if (const std::optional<std::uint64_t> at = table->StoppedAt()) {
    // The rest of the file is not in the table: the status text of the load does not say so.
    size += StoppedShortText.arg(QString::fromStdU16String(GroupDigits(*at + 1)));
    stopped = QString::fromStdU16String(StoppedAtText(*at));
  }
  ShowLabel(LabelTableSize, TableSizeLabelName, size);
  LabelTableSize->setToolTip(stopped);
  LabelTableSize->setAccessibleDescription(stopped);
}

void TFormMain::ReopenWithCodePage(std::uint16_t codePage) {
  csvCodePage_ = codePage;
  const std::int64_t column = grid_->CurrentTableCell().col;
  const QString name = ui_.EditFilename->text();
  if (name.isEmpty()) {
    UpdateTableStatus();
    return;
  }
  OpenCsvFile(name.toStdU16String(), [this, column] {
    // Loading makes the first column current; the user's column stays where it still exists.
    if (grid_->HasColumn(column)) grid_->SetCurrentColumn(column);
    UpdateTableStatus();
  });
}

bool TFormMain::GoToTableCell(std::int64_t tableRow, std::int64_t column, bool focusGrid) {
  // A row below 0 keeps the current row.
  const TableCell cell{tableRow < 0 ? grid_->CurrentTableCell().row : tableRow, column};
  if (!grid_->GoToTableCell(cell)) return false;
  if (focusGrid) grid_->setFocus();
  return true;
}

void TFormMain::RememberDifference(const std::shared_ptr<const CsvTable>& table,
                                   const CheckResult& result, std::int64_t column) {
  lastDifference_.reset();
  if (result.outcome != CheckResult::Outcome::Differs) return;
  lastDifference_ = Difference{table, static_cast<std::int64_t>(result.rowIndex), column};
}

void TFormMain::ActionEditGoToDifferenceExecute() {
  // Only in the table the check ran on: a difference of another file means nothing here.
  const bool sameTable = lastDifference_ && !lastDifference_->table.expired() &&
                         lastDifference_->table.lock() == Table();
  if (!sameTable || !GoToTableCell(lastDifference_->row, lastDifference_->column)) {
    SetStatusText(NoDifferenceText);
  }
}

void TFormMain::ActionEditGoToRowExecute() {
  // Rows are asked for by their line in the file, the number the check reports.
  const TableCell current = grid_->CurrentTableCell();
  TGoToRowDialog dialog(current.Line(), TableCell{grid_->FirstDataRow(), 0}.Line(),
                        TableCell{grid_->LastDataRow(), 0}.Line(), this);
  if (Dialogs::Current().Exec(dialog) != QDialog::Accepted) return;
  const std::optional<std::int64_t> number = dialog.RowNumber();
  if (!number) return;
  if (!grid_->GoToTableRow(TableCell::AtLine(*number, current.col).row)) {
    SetStatusText(RowNotShownText.arg(*number));
    return;
  }
  grid_->setFocus();
}

void TFormMain::ActionEditCopyCellExecute() {
  // A filter that shows no row has no cell to copy.
  if (grid_->CurrentTableCell().row < 0) return;
  const std::shared_ptr<const CsvTable> table = Table();
  if (!FileInStep(table, true)) return;
  const UnicodeString text =
      table ? UnicodeString(table->Cell(TableIndex(grid_->CurrentTableCell().row),
                                        TableIndex(grid_->CurrentTableCell().col)))
            : UnicodeString();
  // A cell read while the file changed may be part old, part new.
  if (!FileInStep(table, true)) return;
  QApplication::clipboard()->setText(QString::fromStdU16String(text));
  SetStatusText(CellCopiedText);
}

void TFormMain::ActionEditCopyRowExecute() {
  if (grid_->CurrentTableCell().row < 0) return;
  const std::shared_ptr<const CsvTable> table = Table();
  if (!FileInStep(table, true)) return;
  std::vector<UnicodeString> cells;
  if (table) table->RowCells(TableIndex(grid_->CurrentTableCell().row), cells);
  if (!FileInStep(table, true)) return;
  QApplication::clipboard()->setText(QString::fromStdU16String(TsvLine(cells)));
  SetStatusText(RowCopiedText);
}

void TFormMain::ActionViewFitColumnsExecute() {
  // Japanese text is cut at the default width; the rows in view decide, as a double-click on
  // a column's edge does.
  grid_->FitAllColumns();
}

void TFormMain::ActionEditFindExecute() {
  FindBar->Open();
}

void TFormMain::ActionEditFindNextExecute() {
  FindCell(true);
}

void TFormMain::ActionEditFindPreviousExecute() {
  FindCell(false);
}

void TFormMain::FindCell(bool forward) {
  const QString text = FindBar->Text();
  if (text.isEmpty()) {
    FindBar->Open();
    return;
  }
  if (AfterLoad([this, forward] { FindCell(forward); })) return;
  const std::shared_ptr<const CsvTable> table = Table();
  if (!FileInStep(table, true)) return;
  CellSearchRequest request;
  request.text = text.toStdU16String();
  request.caseSensitive = FindBar->CaseSensitive();
  request.forward = forward;
  request.firstRow = grid_->FirstLineIsTitle() ? 1 : 0;
  request.row = TableIndex(grid_->CurrentTableCell().row);
  request.col = TableIndex(grid_->CurrentTableCell().col);
  // A filter that shows no row has nothing to find.
  if (grid_->CurrentTableCell().row < 0) {
    SetStatusText(NotFoundPrefix + text);
    return;
  }
  FindStep(request, request, text, 0, table);
}

// One search from `step`; a match in a row the filter hides goes on from the next row shown.
void TFormMain::FindStep(const CellSearchRequest& origin, CellSearchRequest step,
                         const QString& text, std::uint64_t covered,
                         const std::shared_ptr<const CsvTable>& table) {
  // A search started while another runs replaces it.
  const TDocument::Request search = document_->StartFind(step);
  Await(search, [this, table, origin, step, text, covered](const TDocument::Result& answer) {
    if (std::holds_alternative<TDocument::Cancelled>(answer)) {
      SetStatusText(SearchCancelledText);
      return;
    }
    if (!FileInStep(table, true)) return;
    CellSearchResult result = std::get<CellSearchResult>(answer);
    if (result.outcome == CellSearchResult::Outcome::Found && !grid_->ShowsTableRow(result.row)) {
      CellSearchRequest next = step;
      std::uint64_t further = covered;
      if (NextFindStep(origin, next, result, further)) {
        FindStep(origin, next, text, further, table);
        return;
      }
      result.outcome = CellSearchResult::Outcome::NotFound;
    }
    ShowFound(origin, result, text);
  });
}

void TFormMain::ShowFound(const CellSearchRequest& request, const CellSearchResult& result,
                          const QString& text) {
  switch (result.outcome) {
    case CellSearchResult::Outcome::Found: {
      // The search went past the end (or the start) when it came back to the current cell
      // or before it.
      const bool forward = request.forward;
      const auto at = std::make_pair(result.row, result.col);
      const auto from = std::make_pair(request.row, request.col);
      const bool wrapped = forward ? at <= from : at >= from;
      // The bar keeps the focus, so Enter, Shift+Enter and Esc go on working there.
      GoToTableCell(result.row, result.col, !FindBar->isVisible());
      // The grid marks the column; the status says which row, as the check numbers it.
      QString status = FoundText.arg(TableCell{result.row, result.col}.Line())
                           .arg(QString::fromStdU16String(TCsvUtility::ColumnIndexToLetters(
                               static_cast<std::int32_t>(result.col))));
      if (wrapped)
        status += QLatin1Char(' ') + (forward ? WrappedForwardText : WrappedBackwardText);
      SetStatusText(status);
      break;
    }
    case CellSearchResult::Outcome::NotFound:
      SetStatusText(NotFoundPrefix + text);
      break;
    case CellSearchResult::Outcome::Cancelled:
      SetStatusText(SearchCancelledText);
      break;
  }
}

void TFormMain::ActionCsvCheckAllExecute() {
  if (AfterLoad([this] { ActionCsvCheckAllExecute(); })) return;
  const std::shared_ptr<const CsvTable> table = Table();
  if (!FileInStep(table, true)) return;
  const bool title = ui_.CheckBoxFirstLineIsTitle->isChecked();
  const TDocument::Request request = document_->StartCheckAll(title);
  Await(request, [this, table](const TDocument::Result& answer) {
    if (std::holds_alternative<TDocument::Cancelled>(answer)) {
      SetStatusText(CheckCancelledText);
      return;
    }
    if (!FileInStep(table, true)) return;
    ShowAllColumns(std::get<AllColumnsResult>(answer));
  });
}

void TFormMain::ShowAllColumns(const AllColumnsResult& result) {
  if (result.outcome == CheckResult::Outcome::NoRows) {
    Dialogs::Current().Warning(this, NoRowsText);
    SetStatusText(NoRowsText);
    return;
  }
  if (AllColumnsWindow == nullptr) {
    AllColumnsWindow = new TAllColumnsWindow(this);
    connect(AllColumnsWindow, &TAllColumnsWindow::cellRequested, this,
            [this](std::int64_t row, std::int64_t column) {
              try {
                GoToTableCell(row, column);
              } catch (...) {
                Application::ShowCurrentException();
              }
            });
  }
  AllColumnsWindow->SetResult(result, ui_.EditFilename->text());
  AllColumnsWindow->show();
  AllColumnsWindow->raise();
  std::size_t differing = 0;
  for (const CheckResult& column : result.columns)
    differing += column.outcome == CheckResult::Outcome::Differs ? 1 : 0;
  SetStatusText(differing == 0 ? AllColumnsMatchText
                               : SomeColumnsDifferText.arg(result.columns.size()).arg(differing));
}

}  // namespace norvalis
