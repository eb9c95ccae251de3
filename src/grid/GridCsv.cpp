#include "grid/GridCsv.h"

#include <algorithm>
#include <atomic>
#include <climits>
#include <string>
#include <thread>

#include <QAbstractEventDispatcher>
#include <QEventLoop>
#include <QFontMetrics>
#include <QHelpEvent>
#include <QPainter>
#include <QPointer>
#include <QToolTip>

#include "csv/CsvUtility.h"
#include "text/YieldHook.h"

namespace norvalis {

namespace {

// Thrown from the yield hook to stop a load whose result nobody wants any more.
struct LoadCancelled {};

// Text is drawn this many pixels inside the cell's edges.
constexpr int TextInset = 2;

QString ToQString(std::u16string_view text) {
  return QString(reinterpret_cast<const QChar*>(text.data()), static_cast<qsizetype>(text.size()));
}

UnicodeString NumberText(std::int64_t number) {
  const std::string digits = std::to_string(number);
  return UnicodeString(digits.begin(), digits.end());
}

// Left/top text in which each line break starts a new line: no wrapping, clipped, and a
// last line that does not fit whole is left out.
void DrawEditText(QPainter& painter, const QRect& rect, std::u16string_view text) {
  const int lineHeight = std::max(painter.fontMetrics().height(), 1);
  const int lines = rect.height() / lineHeight;
  // No more code units than this can show in the width (a visible glyph takes a pixel at
  // least), so a huge cell costs no more than a small one.
  const std::size_t maxUnits = static_cast<std::size_t>(rect.width()) * 4 + 64;
  std::size_t pos = 0;
  for (int i = 0; i < lines; ++i) {
    const std::size_t end = text.find(u'\n', pos);
    std::u16string_view line =
        text.substr(pos, end == std::u16string_view::npos ? std::u16string_view::npos : end - pos);
    if (line.size() > maxUnits) {
      std::size_t cut = maxUnits;
      if (line[cut - 1] >= 0xD800 && line[cut - 1] <= 0xDBFF) --cut;  // keep pairs whole
      line = line.substr(0, cut);
    }
    painter.drawText(QRect(rect.left(), rect.top() + i * lineHeight, rect.width(), lineHeight),
                     Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, ToQString(line));
    if (end == std::u16string_view::npos) break;
    pos = end + 1;
  }
}

// The size the text needs when drawn as DrawEditText draws it (each line break a new line).
QSize EditTextSize(const QFontMetrics& metrics, std::u16string_view text) {
  int width = 0;
  int lines = 0;
  std::size_t pos = 0;
  for (;;) {
    const std::size_t end = text.find(u'\n', pos);
    const std::u16string_view line =
        text.substr(pos, end == std::u16string_view::npos ? std::u16string_view::npos : end - pos);
    // Beyond what any screen shows, the width no longer matters.
    width = std::max(width, metrics.horizontalAdvance(ToQString(line.substr(0, 4096))));
    ++lines;
    if (end == std::u16string_view::npos) break;
    pos = end + 1;
  }
  return QSize(width, lines * std::max(metrics.height(), 1));
}

// The most of a cell a tooltip shows.
constexpr std::size_t MaxToolTipUnits = 2000;

// Runs a nested event loop. Opened from inside a posted event's handler, a loop would
// otherwise sleep on events already queued (the glib dispatcher only looks at the queue
// again after a wake-up), so it starts with one.
void RunNestedLoop(QEventLoop& loop) {
  if (QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance()) {
    dispatcher->wakeUp();
  }
  loop.exec();
}

}  // namespace

// One load on the worker thread. The GUI thread joins the worker before it lets go of the
// job, so the worker may use the job through a plain pointer.
struct TGridCsv::LoadJob {
  TCsv csv;
  std::thread worker;
  std::atomic<bool> cancel{false};
  std::atomic<bool> loaded{false};
  std::atomic<std::uint64_t> done{0};
  std::atomic<std::uint64_t> total{0};
  std::atomic<bool> progressPosted{false};
  // GUI thread only:
  QEventLoop* loop = nullptr;
  bool completed = false;

  ~LoadJob() {
    if (worker.joinable()) worker.join();
  }
};

TGridCsv::TGridCsv(QWidget* parent) : TCustomDrawGrid(parent) {
  SetColCount(2);
  SetFixedCols(1);
  SetColWidth(0, 50);
  SetOptions(Options() | RowSizing | ColSizing | ThumbTracking);
  SetFirstLineIsTitle(false);
  SetColCount(2);
  columnLabels_ = TCsvUtility::MakeColumnLabels(ColCount() - FixedCols(), u"", u"");
  setAccessibleName(QStringLiteral("CSVデータ"));
}

TGridCsv::~TGridCsv() {
  if (job_) {
    // The worker writes into the job; it must have stopped before anything goes.
    job_->cancel = true;
    if (job_->worker.joinable()) job_->worker.join();
    if (job_->loop) job_->loop->quit();
    job_.reset();
  }
  WakeWaiters();
}

void TGridCsv::LoadFromFile(const UnicodeString& fileName, std::uint16_t codePage) {
  const UnicodeString name = fileName;  // the caller's text may change while we wait
  if (!WaitForTurn()) return;
  QPointer<TGridCsv> self(this);

  // Before the load, so a repaint meanwhile finds an empty table and two columns.
  Csv.Clear();
  rows_.reset();
  SetColCount(2);

  auto job = std::make_shared<LoadJob>();
  QEventLoop loop;
  job->loop = &loop;
  LoadJob* raw = job.get();
  const std::weak_ptr<LoadJob> weak = job;
  raw->csv.SetYieldHook(YieldHook([this, raw, weak](std::uint64_t done, std::uint64_t total) {
    if (raw->cancel.load()) throw LoadCancelled{};
    raw->done = done;
    raw->total = total;
    if (!raw->progressPosted.exchange(true)) {
      QMetaObject::invokeMethod(
          this,
          [this, weak] {
            if (auto current = weak.lock()) ShowProgress(current);
          },
          Qt::QueuedConnection);
    }
  }));
  job_ = job;
  try {
    raw->worker = std::thread([this, raw, weak, name, codePage] {
      bool loaded = false;
      try {
        loaded = raw->csv.Load(name, codePage).ok();
      } catch (...) {
        loaded = false;  // cancelled, or a failure the table did not turn into false
      }
      raw->loaded = loaded && !raw->cancel.load();
      QMetaObject::invokeMethod(
          this,
          [this, weak] {
            if (auto finished = weak.lock()) FinishLoad(finished);
          },
          Qt::QueuedConnection);
    });
  } catch (...) {
    job_.reset();
    job->loop = nullptr;
    LayOutForTable();
    WakeWaiters();
    throw;
  }

  emit loadStarted();
  if (!self) return;
  if (!job->completed) RunNestedLoop(loop);
  if (!self) return;  // destroyed meanwhile; the destructor stopped the worker
  job->loop = nullptr;
  if (!job->completed) {
    // The event loops were told to end (the application quits): stop and finish here.
    job->cancel = true;
    FinishLoad(job);
  }
}

bool TGridCsv::WaitForTurn() {
  const std::uint64_t request = ++lastRequest_;
  if (!job_) return true;
  job_->cancel = true;  // its result would be replaced at once
  QPointer<TGridCsv> self(this);
  while (job_) {
    QEventLoop loop;
    waiters_.push_back(&loop);
    RunNestedLoop(loop);
    if (!self) return false;
    waiters_.erase(std::find(waiters_.begin(), waiters_.end(), &loop));
    if (job_) {
      // The loop ended with the load still running: the event loops were told to end (the
      // application quits), so waiting would spin. Stop the load and finish it here.
      job_->cancel = true;
      FinishLoad(job_);
    }
  }
  return request == lastRequest_;
}

void TGridCsv::WakeWaiters() {
  for (QEventLoop* loop : waiters_)
    loop->quit();
}

void TGridCsv::ShowProgress(const std::shared_ptr<LoadJob>& job) {
  if (job != job_) return;
  job->progressPosted = false;
  emit loadProgress(static_cast<qint64>(job->done.load()), static_cast<qint64>(job->total.load()));
}

void TGridCsv::FinishLoad(std::shared_ptr<LoadJob> job) {
  if (!job || job != job_ || job->completed) return;
  if (job->worker.joinable()) job->worker.join();
  job->completed = true;
  const auto endLoad = [this, &job] {
    job_.reset();
    if (job->loop) job->loop->quit();
    WakeWaiters();
  };
  try {
    if (job->loaded && !job->cancel) Csv.Swap(job->csv);
    LayOutForTable();
  } catch (...) {
    endLoad();
    emit loadFinished();
    throw;
  }
  endLoad();
  emit loadFinished();
  emit tableChanged();
}

void TGridCsv::LayOutForTable() {
  rows_ = Csv.Share();
  const std::uint32_t dataCols = std::max<std::uint32_t>(Csv.GetColCount(), 1);
  SetColCount(static_cast<int>(std::min<std::uint32_t>(dataCols, INT_MAX - 1)) + 1);
  columnLabels_ = TCsvUtility::MakeColumnLabels(ColCount() - FixedCols(), u"", u"");
  SetFirstLineIsTitle(firstLineIsTitle_);
}

void TGridCsv::Clear() {
  if (!WaitForTurn()) return;
  Csv.Clear();
  rows_.reset();
  SetColCount(2);
  columnLabels_ = TCsvUtility::MakeColumnLabels(ColCount() - FixedCols(), u"", u"");
  SetFirstLineIsTitle(firstLineIsTitle_);
  emit tableChanged();
}

void TGridCsv::SetFirstLineIsTitle(bool flag) {
  firstLineIsTitle_ = flag;
  const int fixed = flag ? 2 : 1;
  // The row count first: a fixed count must stay below it at every step.
  SetRowCount(std::max<std::int64_t>(static_cast<std::int64_t>(Csv.GetRowCount()) + 1, fixed + 1));
  SetFixedRows(fixed);
}

std::u16string_view TGridCsv::CellView(int col, std::int64_t row, UnicodeString& number) const {
  if (col < 0 || row < 0 || col >= ColCount() || row >= RowCount()) return {};
  if (row == 0) {
    if (col == 0) return {};
    // Columns beyond the label list (past XFD) have no header text.
    const auto index = static_cast<std::size_t>(col - 1);
    if (index >= columnLabels_.size()) return {};
    return columnLabels_[index];
  }
  if (col == 0) {
    if (row < FixedRows() || row - 1 >= static_cast<std::int64_t>(Csv.GetRowCount())) return {};
    number = NumberText(row - FixedRows() + 1);
    return number;
  }
  if (!rows_ || row - 1 >= static_cast<std::int64_t>(rows_->RowCount())) return {};
  // Cells are decoded when read; number holds the text.
  number = rows_->Cell(static_cast<std::uint32_t>(row - 1), static_cast<std::uint32_t>(col - 1));
  return number;
}

UnicodeString TGridCsv::CellText(int col, std::int64_t row) const {
  UnicodeString number;
  return UnicodeString(CellView(col, row, number));
}

QString TGridCsv::AccessibleText(int col, std::int64_t row) const {
  UnicodeString number;
  return ToQString(CellView(col, row, number));
}

void TGridCsv::DrawCell(QPainter& painter, int col, std::int64_t row, const QRect& rect,
                        DrawState state) {
  const QPalette& pal = palette();
  const bool current = col == Col();
  QColor brush = pal.color(QPalette::Base);
  if (state.fixed) {
    brush = pal.color(QPalette::Button);
  } else if (state.selected || state.focused || current) {
    brush = pal.color(QPalette::Highlight);
  }
  const bool highlightText = state.selected || (current && row >= FixedRows());
  painter.fillRect(rect, brush);

  const QRect textRect = rect.adjusted(TextInset, TextInset, -TextInset, -TextInset);
  UnicodeString number;
  const std::u16string_view text = CellView(col, row, number);
  if (text.empty() || textRect.width() <= 0 || textRect.height() <= 0) return;
  painter.setPen(pal.color(highlightText ? QPalette::HighlightedText : QPalette::Text));
  painter.setClipRect(textRect);
  if (col >= FixedCols() && row != 0) {
    DrawEditText(painter, textRect, text);
  } else {
    painter.drawText(textRect, Qt::AlignCenter | Qt::TextSingleLine, ToQString(text));
  }
}

void TGridCsv::Click() {
  TCustomDrawGrid::Click();
  viewport()->update();
}

void TGridCsv::FitColumn(int col) {
  if (col < 0 || col >= ColCount()) return;
  const QFontMetrics metrics = fontMetrics();
  int widest = 0;
  UnicodeString number;
  for (const std::int64_t row : ShownRows()) {
    // The header row and a title row are on screen whatever the scroll position.
    widest = std::max(widest, EditTextSize(metrics, CellView(col, row, number)).width());
  }
  // Room for the insets on both sides, and a pixel so the last glyph is not clipped.
  SetColWidth(col, widest + 2 * TextInset + 1);
}

void TGridCsv::ColEdgeDoubleClicked(int col) {
  FitColumn(col);
}

bool TGridCsv::TextIsCut(int col, std::int64_t row) const {
  UnicodeString number;
  const std::u16string_view text = CellView(col, row, number);
  if (text.empty()) return false;
  const QSize needed = EditTextSize(fontMetrics(), text);
  const int width = ColWidth(col) - 2 * TextInset;
  const int height = RowHeight(row) - 2 * TextInset;
  return needed.width() > width || needed.height() > height;
}

bool TGridCsv::viewportEvent(QEvent* event) {
  if (event->type() != QEvent::ToolTip) return TCustomDrawGrid::viewportEvent(event);
  auto* help = static_cast<QHelpEvent*>(event);
  int col = 0;
  std::int64_t row = 0;
  if (CellAt(help->pos(), col, row) && TextIsCut(col, row)) {
    UnicodeString number;
    const std::u16string_view text = CellView(col, row, number);
    QToolTip::showText(help->globalPos(), ToQString(text.substr(0, MaxToolTipUnits)), viewport(),
                       CellRect(col, row));
  } else {
    QToolTip::hideText();
    event->ignore();
  }
  return true;
}

void TGridCsv::SetEmptyHint(const QString& hint) {
  emptyHint_ = hint;
  viewport()->update();
}

void TGridCsv::paintEvent(QPaintEvent* event) {
  TCustomDrawGrid::paintEvent(event);
  if (emptyHint_.isEmpty() || !Csv.IsEmpty() || IsLoading()) return;
  // Below the empty row, so the empty layout itself stays as it is.
  QPainter painter(viewport());
  QColor color = palette().color(QPalette::PlaceholderText);
  painter.setPen(color);
  const QRect area = viewport()->rect().adjusted(8, RowHeight(0) * 3, -8, -8);
  painter.drawText(area, Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap, emptyHint_);
}

}  // namespace norvalis
