// The window's everyday tools beside the check: the encoding shown and chosen, copy, find,
// go to a row or to the difference, and every column checked at once. Every command reads the
// table through Table(), never through the grid's cells.

#include <algorithm>
#include <atomic>
#include <climits>
#include <vector>

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPointer>
#include <QProgressBar>

#include "app/AllColumnsWindow.h"
#include "app/Application.h"
#include "app/CellSearch.h"
#include "app/FindBar.h"
#include "app/FormMain.h"
#include "app/GoToRowDialog.h"
#include "csv/ColumnCheckAll.h"
#include "csv/CsvUtility.h"
#include "csv/TsvText.h"
#include "text/Encodings.h"

namespace norvalis {

namespace {

const QString NotFoundPrefix = QStringLiteral("見つかりませんでした: ");
const QString FoundText = QStringLiteral("見つかりました: %1行目、%2列");
const QString SearchCancelledText = QStringLiteral("検索を中止しました。");
const QString NoDifferenceText = QStringLiteral("移動できる差異のあるセルがありません。");
const QString CellCopiedText = QStringLiteral("セルをコピーしました。");
const QString RowCopiedText = QStringLiteral("行をコピーしました。");
const QString NoRowsText = QStringLiteral("検証する行がありません。");
const QString AllColumnsMatchText = QStringLiteral("すべての列で値が一致しました。");
const QString SomeColumnsDifferText = QStringLiteral("%1 列中 %2 列で値が異なります。");

// A run's progress bar: shown once the run has taken a moment, hidden on every way out.
class RunProgress {
 public:
  explicit RunProgress(QProgressBar* bar) : bar_(bar) { clock_.start(); }
  ~RunProgress() {
    if (bar_) bar_->hide();
  }
  RunProgress(const RunProgress&) = delete;
  RunProgress& operator=(const RunProgress&) = delete;

  void Show(std::uint64_t done, std::uint64_t total) {
    // A short run does not flash the bar.
    if (!bar_ || clock_.elapsed() < 200 || total == 0) return;
    const std::uint64_t scale = total / INT_MAX + 1;
    bar_->setRange(0, static_cast<int>(total / scale));
    bar_->setValue(static_cast<int>(std::min(done, total) / scale));
    bar_->show();
  }

 private:
  QPointer<QProgressBar> bar_;
  QElapsedTimer clock_;
};

// While it lives, Esc anywhere in the program sets the flag instead of reaching a widget.
class EscapeCancels : public QObject {
 public:
  explicit EscapeCancels(std::atomic<bool>& cancel) : cancel_(cancel) {
    QCoreApplication::instance()->installEventFilter(this);
  }
  ~EscapeCancels() override { QCoreApplication::instance()->removeEventFilter(this); }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
      cancel_ = true;
      return true;
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  std::atomic<bool>& cancel_;
};

// "124,825 行 × 15 列"
QString TableSizeText(std::uint32_t rows, std::uint32_t cols) {
  const QLocale grouping(QLocale::English, QLocale::UnitedStates);
  return QStringLiteral("%1 行 × %2 列")
      .arg(grouping.toString(static_cast<qulonglong>(rows)),
           grouping.toString(static_cast<qulonglong>(cols)));
}

std::uint32_t TableIndex(std::int64_t gridIndex) {
  return gridIndex < 1
             ? 0
             : static_cast<std::uint32_t>(std::min<std::int64_t>(gridIndex - 1, UINT32_MAX));
}

}  // namespace

std::shared_ptr<const CsvTable> TFormMain::Table() const {
  return Grid->Csv.Share();
}

void TFormMain::UpdateTableStatus() {
  for (QAction* action : EncodingGroup->actions())
    action->setChecked(action->data().toUInt() == CsvCodePage);
  const std::shared_ptr<const CsvTable> table = Table();
  LabelEncoding->setVisible(table != nullptr);
  LabelTableSize->setVisible(table != nullptr);
  if (!table) {
    LabelEncoding->clear();
    LabelTableSize->clear();
    return;
  }
  // Only the mark tells UTF-8 with a mark from UTF-8 without.
  QFile file(EditFilename->text());
  const QByteArray leading = file.open(QIODevice::ReadOnly) ? file.read(4) : QByteArray();
  LabelEncoding->setText(QString::fromStdU16String(Encodings::DisplayName(
      Grid->Csv.CodePage(), std::string_view(leading.constData(), leading.size()))));
  LabelTableSize->setText(TableSizeText(table->RowCount(), table->ColCount()));
}

void TFormMain::ReopenWithCodePage(std::uint16_t codePage) {
  CsvCodePage = codePage;
  const int col = Grid->Col();
  const QString name = EditFilename->text();
  if (!name.isEmpty()) OpenCsvFile(name.toStdU16String());
  // Loading makes the first column current; the user's column stays where it still exists.
  if (col >= Grid->FixedCols() && col < Grid->ColCount()) Grid->SetCol(col);
  UpdateTableStatus();
}

bool TFormMain::GoToTableCell(std::int64_t tableRow, std::int64_t column) {
  const std::int64_t gridRow = tableRow < 0 ? Grid->Row() : tableRow + 1;
  const std::int64_t gridCol = column + 1;
  if (gridCol < Grid->FixedCols() || gridCol >= Grid->ColCount() || gridRow < Grid->FixedRows() ||
      gridRow >= Grid->RowCount()) {
    return false;
  }
  Grid->SetCol(static_cast<int>(gridCol));
  Grid->SetRow(gridRow);
  Grid->setFocus();
  return true;
}

void TFormMain::RememberDifference(const CheckResult& result, std::int64_t column) {
  lastDifference_.reset();
  if (result.outcome != CheckResult::Outcome::Differs) return;
  lastDifference_ = Difference{Table(), static_cast<std::int64_t>(result.rowIndex), column};
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
  const std::int64_t dataRows = Grid->RowCount() - Grid->FixedRows();
  TGoToRowDialog dialog(Grid->Row() - Grid->FixedRows() + 1, dataRows, this);
  if (Dialogs::Current().Exec(dialog) != QDialog::Accepted) return;
  const std::optional<std::int64_t> number = dialog.RowNumber();
  if (!number) return;
  Grid->SetRow(*number - 1 + Grid->FixedRows());
  Grid->setFocus();
}

void TFormMain::ActionEditCopyCellExecute() {
  const std::shared_ptr<const CsvTable> table = Table();
  const UnicodeString text =
      table ? UnicodeString(table->Cell(TableIndex(Grid->Row()), TableIndex(Grid->Col())))
            : UnicodeString();
  QApplication::clipboard()->setText(QString::fromStdU16String(text));
  SetStatusText(CellCopiedText);
}

void TFormMain::ActionEditCopyRowExecute() {
  const std::shared_ptr<const CsvTable> table = Table();
  std::vector<UnicodeString> cells;
  if (table) table->RowCells(TableIndex(Grid->Row()), cells);
  QApplication::clipboard()->setText(QString::fromStdU16String(TsvLine(cells)));
  SetStatusText(RowCopiedText);
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
  // One search at a time; a second request while one runs is dropped.
  if (searching_) return;
  const QString text = FindBar->Text();
  if (text.isEmpty()) {
    FindBar->Open();
    return;
  }
  const std::shared_ptr<const CsvTable> table = Table();
  CellSearchRequest request;
  request.text = text.toStdU16String();
  request.caseSensitive = FindBar->CaseSensitive();
  request.forward = forward;
  request.firstRow = Grid->FirstLineIsTitle() ? 1 : 0;
  request.row = TableIndex(Grid->Row());
  request.col = TableIndex(Grid->Col());

  CellSearchResult result;
  if (table) {
    searching_ = true;
    std::atomic<bool> cancel{false};
    QPointer<TFormMain> self(this);
    {
      const EscapeCancels escape(cancel);
      RunProgress progress(ProgressBar1);
      YieldHook hook([&](std::uint64_t done, std::uint64_t total) {
        progress.Show(done, total);
        QCoreApplication::processEvents();
      });
      result = SearchCells(*table, request, &hook, &cancel);
    }
    if (!self) return;
    searching_ = false;
    // Another file came while the search ran: its answer is about a table no longer shown.
    if (Table() != table) return;
  }
  switch (result.outcome) {
    case CellSearchResult::Outcome::Found:
      GoToTableCell(result.row, result.col);
      // The grid marks the column; the status says which row, as the grid numbers it.
      SetStatusText(FoundText.arg(Grid->Row() - Grid->FixedRows() + 1)
                        .arg(QString::fromStdU16String(TCsvUtility::ColumnIndexToLetters(
                            static_cast<std::int32_t>(result.col)))));
      break;
    case CellSearchResult::Outcome::NotFound:
      SetStatusText(NotFoundPrefix + text);
      break;
    case CellSearchResult::Outcome::Cancelled:
      SetStatusText(SearchCancelledText);
      break;
  }
}

void TFormMain::ActionCsvCheckAllExecute() {
  TCursorHourGlass cursor;
  const std::shared_ptr<const CsvTable> table = Table();
  const bool title = CheckBoxFirstLineIsTitle->isChecked();
  AllColumnsResult result;
  {
    RunProgress progress(ProgressBar1);
    SetStatusText(CheckingText);
    YieldHook hook([&](std::uint64_t done, std::uint64_t total) {
      progress.Show(done, total);
      QCoreApplication::processEvents();
    });
    result = CheckAllColumns(table.get(), title, &hook);
  }
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
                if (allColumnsTable_.lock() == Table()) GoToTableCell(row, column);
              } catch (...) {
                Application::ShowCurrentException();
              }
            });
  }
  allColumnsTable_ = table;
  AllColumnsWindow->SetResult(result, EditFilename->text());
  AllColumnsWindow->show();
  AllColumnsWindow->raise();
  std::size_t differing = 0;
  for (const CheckResult& column : result.columns)
    differing += column.outcome == CheckResult::Outcome::Differs ? 1 : 0;
  SetStatusText(differing == 0 ? AllColumnsMatchText
                               : SomeColumnsDifferText.arg(result.columns.size()).arg(differing));
}

}  // namespace norvalis
