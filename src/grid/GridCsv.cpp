#include "grid/GridCsv.h"

#include <algorithm>
#include <climits>
#include <string>

#include <QFontMetrics>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QToolTip>

#include "csv/CsvUtility.h"
#include "grid/SpecialCharacterMarks.h"

namespace norvalis {

namespace {

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

// The most of a cell a tooltip shows; a longer text ends in "…".
constexpr std::size_t MaxToolTipUnits = 300;
// The row-number column is never narrower than this.
constexpr int RowNumberMinWidth = 50;

}  // namespace

TGridCsv::TGridCsv(QWidget* parent, TDocument* document)
    : TCustomDrawGrid(parent), document_(document ? document : new TDocument(this)) {
  SetColCount(2);
  SetFixedCols(1);
  SetColWidth(0, 50);
  SetOptions(Options() | RowSizing | ColSizing | ThumbTracking);
  SetFirstLineIsTitle(false);
  SetColCount(2);
  columnLabels_ = TCsvUtility::MakeColumnLabels(ColCount() - FixedCols(), u"", u"");
  setAccessibleName(QStringLiteral("CSVデータ"));
  connect(document_, &TDocument::started, this, &TGridCsv::OnStarted);
  connect(document_, &TDocument::tableChanged, this, &TGridCsv::LayOutForTable);
}

TGridCsv::~TGridCsv() {
  // A document of the window's may outlive the grid; it must not call into what is left of it.
  if (document_) document_->disconnect(this);
}

void TGridCsv::OnStarted(TDocument::Request, TDocument::Task task) {
  if (task != TDocument::Task::Load) return;
  rows_.reset();
  // The rows of the table that goes are no rows of the next one.
  const bool wasFiltered = shown_ != nullptr;
  shown_.reset();
  shownDescription_.clear();
  SetColCount(2);
  if (wasFiltered) emit shownRowsChanged();
}

TableCell TGridCsv::CurrentTableCell() const {
  return {TableRowOf(Row()), static_cast<std::int64_t>(Col()) - 1};
}

std::size_t TGridCsv::ShownBegin() const {
  return shown_ && firstLineIsTitle_ && !shown_->empty() && shown_->front() == 0 ? 1 : 0;
}

std::int64_t TGridCsv::TableRowOf(std::int64_t gridRow) const {
  if (!shown_ || gridRow < FixedRows()) return gridRow - 1;
  const std::size_t index = ShownBegin() + static_cast<std::size_t>(gridRow - FixedRows());
  return index < shown_->size() ? static_cast<std::int64_t>((*shown_)[index]) : -1;
}

std::int64_t TGridCsv::GridRowOf(std::int64_t tableRow) const {
  if (!shown_) {
    const std::int64_t gridRow = tableRow + 1;
    return gridRow >= FixedRows() && gridRow < RowCount() ? gridRow : -1;
  }
  if (tableRow < 0 || tableRow > UINT32_MAX) return -1;
  const auto begin = shown_->begin() + static_cast<std::ptrdiff_t>(ShownBegin());
  const auto at = std::lower_bound(begin, shown_->end(), static_cast<std::uint32_t>(tableRow));
  if (at == shown_->end() || *at != tableRow) return -1;
  return FixedRows() + (at - begin);
}

std::uint64_t TGridCsv::DataRowCount() const {
  const std::uint32_t rows = TableRowCount();
  return firstLineIsTitle_ && rows > 0 ? rows - 1 : rows;
}

std::uint64_t TGridCsv::ShownDataRowCount() const {
  return shown_ ? shown_->size() - ShownBegin() : DataRowCount();
}

void TGridCsv::SetShownRows(std::shared_ptr<const std::vector<std::uint32_t>> rows,
                            QString description) {
  if (!rows) {
    ClearShownRows();
    return;
  }
  const std::int64_t current = TableRowOf(Row());
  shown_ = std::move(rows);
  shownDescription_ = std::move(description);
  LayOutRows(current);
  emit shownRowsChanged();
}

void TGridCsv::ClearShownRows() {
  if (!shown_) return;
  const std::int64_t current = TableRowOf(Row());
  shown_.reset();
  shownDescription_.clear();
  LayOutRows(current);
  emit shownRowsChanged();
}

void TGridCsv::LayOutRows(std::int64_t current) {
  const std::int64_t dataRows = shown_
                                    ? static_cast<std::int64_t>(ShownDataRowCount())
                                    : static_cast<std::int64_t>(TableRowCount()) + 1 - FixedRows();
  SetRowCount(FixedRows() + std::max<std::int64_t>(dataRows, 1));
  // The row the user was on stays current where it is shown; else the first row is.
  const std::int64_t gridRow = current >= 0 ? GridRowOf(current) : -1;
  if (gridRow >= 0) {
    SetRow(gridRow);
  } else {
    SetTopRow(FixedRows());
    SetRow(FixedRows());
  }
  viewport()->update();
}

void TGridCsv::keyPressEvent(QKeyEvent* event) {
  // Esc leaves a filter, as it leaves a find bar.
  if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier && shown_) {
    event->accept();
    ClearShownRows();
    return;
  }
  TCustomDrawGrid::keyPressEvent(event);
}

bool TGridCsv::HasColumn(std::int64_t column) const {
  return column >= -1 && column + 1 < ColCount();
}

bool TGridCsv::GoToTableCell(TableCell cell) {
  const std::int64_t gridRow = GridRowOf(cell.row);
  const std::int64_t gridCol = cell.col + 1;
  if (gridCol < FixedCols() || gridCol >= ColCount() || gridRow < 0) return false;
  SetCol(static_cast<int>(gridCol));
  SetRow(gridRow);
  return true;
}

bool TGridCsv::GoToTableRow(std::int64_t row) {
  const std::int64_t gridRow = GridRowOf(row);
  if (gridRow < 0) return false;
  SetRow(gridRow);
  return true;
}

void TGridCsv::SetCurrentColumn(long long column) {
  if (!HasColumn(column)) throw EInvalidGridOperation();
  SetCol(static_cast<int>(column + 1));
}

std::uint32_t TGridCsv::TableRowCount() const {
  return document_ ? document_->Csv().GetRowCount() : 0;
}

void TGridCsv::LayOutForTable() {
  rows_ = document_ ? document_->Table() : nullptr;
  // A filter belongs to the table it was made from.
  const bool wasFiltered = shown_ != nullptr;
  shown_.reset();
  shownDescription_.clear();
  const std::uint32_t dataCols = std::max<std::uint32_t>(rows_ ? rows_->ColCount() : 0, 1);
  SetColCount(static_cast<int>(std::min<std::uint32_t>(dataCols, INT_MAX - 1)) + 1);
  columnLabels_ = TCsvUtility::MakeColumnLabels(ColCount() - FixedCols(), u"", u"");
  SetFirstLineIsTitle(firstLineIsTitle_);
  if (wasFiltered) emit shownRowsChanged();
}

void TGridCsv::SetFirstLineIsTitle(bool flag) {
  // A filter chose among the data rows of the other setting.
  const bool dropFilter = shown_ && flag != firstLineIsTitle_;
  if (dropFilter) {
    shown_.reset();
    shownDescription_.clear();
  }
  firstLineIsTitle_ = flag;
  const int fixed = flag ? 2 : 1;
  // The row count first: a fixed count must stay below it at every step. A filter left here
  // has the same fixed rows.
  if (shown_) {
    LayOutRows(TableRowOf(Row()));
  } else {
    SetRowCount(std::max<std::int64_t>(static_cast<std::int64_t>(TableRowCount()) + 1, fixed + 1));
  }
  SetFixedRows(fixed);
  FitRowNumbers();
  if (dropFilter) emit shownRowsChanged();
}

void TGridCsv::FitRowNumbers() {
  // As wide as the largest number it shows, so 11999991 is not cut to ".199999".
  const std::int64_t largest = static_cast<std::int64_t>(TableRowCount()) - FixedRows() + 1;
  const int needed =
      fontMetrics().horizontalAdvance(ToQString(NumberText(largest))) + 2 * TextInset + 1;
  const int width = std::max(RowNumberMinWidth, needed);
  if (ColWidth(0) < width) SetColWidth(0, width);
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
  const std::int64_t tableRow = TableRowOf(row);
  if (col == 0) {
    if (row < FixedRows() || tableRow < 0 || tableRow >= static_cast<std::int64_t>(TableRowCount()))
      return {};
    number = NumberText(RowNumberOf(tableRow));
    return number;
  }
  if (!rows_ || tableRow < 0 || tableRow >= static_cast<std::int64_t>(rows_->RowCount())) return {};
  // Cells are decoded when read; number holds the text.
  number = rows_->Cell(static_cast<std::uint32_t>(tableRow), static_cast<std::uint32_t>(col - 1));
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
    if (showSpecialCharacters_ && SpecialCharacterMarks::Has(text)) {
      // A colour of their own, so a mark is never taken for a character of the text.
      const QColor mark = highlightText ? QColor(255, 224, 130) : QColor(0, 128, 170);
      SpecialCharacterMarks::Draw(painter, textRect, text, mark);
      return;
    }
    DrawEditText(painter, textRect, text);
  } else {
    painter.drawText(textRect, Qt::AlignCenter | Qt::TextSingleLine, ToQString(text));
  }
}

void TGridCsv::SetShowSpecialCharacters(bool show) {
  if (show == showSpecialCharacters_) return;
  showSpecialCharacters_ = show;
  viewport()->update();
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
  // Room for the insets on both sides, and a pixel so the last glyph is not clipped; never
  // wider than the window, so a huge cell leaves the grid usable.
  const int cap = std::max(window()->width(), TCustomDrawGrid::DefaultColWidth);
  SetColWidth(col, std::min(widest + 2 * TextInset + 1, cap));
}

void TGridCsv::FitAllColumns() {
  for (int col = FixedCols(); col < ColCount(); ++col)
    FitColumn(col);
}

QString TGridCsv::CellToolTip(int col, std::int64_t row) const {
  if (!TextIsCut(col, row)) return {};
  UnicodeString number;
  std::u16string_view text = CellView(col, row, number);
  if (text.size() <= MaxToolTipUnits) return ToQString(text);
  std::size_t cut = MaxToolTipUnits;
  if (text[cut - 1] >= 0xD800 && text[cut - 1] <= 0xDBFF) --cut;  // keep pairs whole
  return ToQString(text.substr(0, cut)) + QStringLiteral("…");
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
  const QString tip = CellAt(help->pos(), col, row) ? CellToolTip(col, row) : QString();
  if (!tip.isEmpty()) {
    QToolTip::showText(help->globalPos(), tip, viewport(), CellRect(col, row));
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
  if (emptyHint_.isEmpty() || !document_ || !document_->Csv().IsEmpty() || document_->IsLoading()) {
    return;
  }
  // Below the empty row, so the empty layout itself stays as it is.
  QPainter painter(viewport());
  QColor color = palette().color(QPalette::PlaceholderText);
  painter.setPen(color);
  const QRect area = viewport()->rect().adjusted(8, RowHeight(0) * 3, -8, -8);
  painter.drawText(area, Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap, emptyHint_);
}

}  // namespace norvalis
