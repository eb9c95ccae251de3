#include "grid/SpecialCharacterMarks.h"

#include <algorithm>
#include <array>

#include <QFontMetrics>
#include <QPainter>
#include <QPen>

namespace norvalis::SpecialCharacterMarks {

namespace {

constexpr char16_t IdeographicSpace = 0x3000;

bool IsControl(char16_t c) {
  return (c < 0x20 && c != u'\t' && c != u'\n') || (c >= 0x7F && c <= 0x9F);
}

bool IsMarked(char16_t c) {
  return c == u' ' || c == IdeographicSpace || c == u'\t' || c == u'\n' || IsControl(c);
}

QString ToQString(std::u16string_view text) {
  return QString(reinterpret_cast<const QChar*>(text.data()), static_cast<qsizetype>(text.size()));
}

constexpr const char* C0Names[32] = {"NUL", "SOH", "STX", "ETX", "EOT", "ENQ", "ACK", "BEL",
                                     "BS",  "HT",  "LF",  "VT",  "FF",  "CR",  "SO",  "SI",
                                     "DLE", "DC1", "DC2", "DC3", "DC4", "NAK", "SYN", "ETB",
                                     "CAN", "EM",  "SUB", "ESC", "FS",  "GS",  "RS",  "US"};

// The C1 controls by their code, as editors show them.
const std::array<std::array<char, 3>, 32>& C1Names() {
  static const std::array<std::array<char, 3>, 32> names = [] {
    std::array<std::array<char, 3>, 32> made{};
    for (int i = 0; i < 32; ++i)
      made[static_cast<std::size_t>(i)] = {static_cast<char>('8' + (i >> 4)),
                                           "0123456789ABCDEF"[i & 15], '\0'};
    return made;
  }();
  return names;
}

// Draws one line from x and returns where it ended; a line that ended at a line feed gets its
// mark after the text.
class LinePainter {
 public:
  LinePainter(QPainter& painter, const QRect& rect, const QColor& mark)
      : painter_(painter), metrics_(painter.fontMetrics()), rect_(rect), mark_(mark) {
    space_ = std::max(metrics_.horizontalAdvance(QLatin1Char(' ')), 3);
    wide_ = std::max(metrics_.horizontalAdvance(QChar(IdeographicSpace)), 2 * space_);
    small_ = painter.font();
    small_.setPixelSize(std::max(6, metrics_.height() * 3 / 5));
  }

  void Line(int top, std::u16string_view line, bool lineFeed) {
    top_ = top;
    baseline_ = top + metrics_.ascent();
    x_ = rect_.left();
    std::size_t run = 0;
    for (std::size_t i = 0; i < line.size() && x_ <= rect_.right(); ++i) {
      if (!IsMarked(line[i])) continue;
      Text(line.substr(run, i - run));
      Mark(line[i]);
      run = i + 1;
    }
    if (run < line.size() && x_ <= rect_.right()) Text(line.substr(run));
    if (lineFeed && x_ <= rect_.right()) LineFeed();
  }

 private:
  void Text(std::u16string_view text) {
    if (text.empty()) return;
    const QString shown = ToQString(text);
    painter_.drawText(QPoint(x_, baseline_), shown);
    x_ += metrics_.horizontalAdvance(shown);
  }

  void Mark(char16_t c) {
    const int middle = baseline_ - metrics_.xHeight() / 2;
    painter_.save();
    painter_.setPen(QPen(mark_, 1));
    painter_.setBrush(Qt::NoBrush);
    if (c == u' ') {
      // An open box on the baseline, not a dot: a dot at mid-height reads as the middle dot
      // (・ or ･) that Japanese names hold.
      const int left = x_;
      const int right = x_ + space_ - 1;
      const int bottom = baseline_;
      painter_.drawLine(left, bottom, right, bottom);
      painter_.drawLine(left, bottom - 2, left, bottom);
      painter_.drawLine(right, bottom - 2, right, bottom);
      x_ += space_;
    } else if (c == IdeographicSpace) {
      const int height = std::max(4, metrics_.ascent() * 2 / 3);
      painter_.drawRect(QRect(x_ + 2, baseline_ - height, wide_ - 5, height - 1));
      x_ += wide_;
    } else if (c == u'\t') {
      const int width = 4 * space_;
      const int end = x_ + width - 2;
      painter_.drawLine(x_ + 2, middle, end, middle);
      painter_.drawLine(end - 3, middle - 3, end, middle);
      painter_.drawLine(end - 3, middle + 3, end, middle);
      x_ += width;
    } else {
      const char* name = ControlName(c);
      painter_.setFont(small_);
      const QFontMetrics small(small_);
      const int width = small.horizontalAdvance(QString::fromLatin1(name)) + 4;
      const QRect box(x_ + 1, top_ + 1, width, std::min(metrics_.height() - 2, small.height() + 2));
      painter_.drawRect(box.adjusted(0, 0, -1, -1));
      painter_.drawText(box, Qt::AlignCenter, QString::fromLatin1(name));
      x_ += width + 2;
    }
    painter_.restore();
  }

  void LineFeed() {
    const int middle = baseline_ - metrics_.xHeight() / 2;
    const int right = x_ + 2 * space_ - 1;
    const int left = x_ + 2;
    painter_.save();
    painter_.setPen(QPen(mark_, 1));
    painter_.drawLine(right, middle - metrics_.xHeight(), right, middle + 2);
    painter_.drawLine(left, middle + 2, right, middle + 2);
    painter_.drawLine(left, middle + 2, left + 3, middle - 1);
    painter_.drawLine(left, middle + 2, left + 3, middle + 5);
    painter_.restore();
  }

  QPainter& painter_;
  QFontMetrics metrics_;
  QRect rect_;
  QColor mark_;
  QFont small_;
  int space_ = 0;
  int wide_ = 0;
  int top_ = 0;
  int baseline_ = 0;
  int x_ = 0;
};

}  // namespace

const char* ControlName(char16_t c) {
  if (c < 0x20) return C0Names[c];
  if (c == 0x7F) return "DEL";
  if (c >= 0x80 && c <= 0x9F) return C1Names()[c - 0x80].data();
  return "";
}

bool Has(std::u16string_view text) {
  return std::any_of(text.begin(), text.end(), IsMarked);
}

void Draw(QPainter& painter, const QRect& rect, std::u16string_view text, const QColor& markColor) {
  const int lineHeight = std::max(painter.fontMetrics().height(), 1);
  const int lines = rect.height() / lineHeight;
  // As for plain text: no more than the width can show, so a huge cell costs no more.
  const std::size_t maxUnits = static_cast<std::size_t>(rect.width()) * 4 + 64;
  LinePainter line(painter, rect, markColor);
  std::size_t pos = 0;
  for (int i = 0; i < lines; ++i) {
    const std::size_t end = text.find(u'\n', pos);
    std::u16string_view shown =
        text.substr(pos, end == std::u16string_view::npos ? std::u16string_view::npos : end - pos);
    const bool cut = shown.size() > maxUnits;
    if (cut) {
      std::size_t at = maxUnits;
      if (shown[at - 1] >= 0xD800 && shown[at - 1] <= 0xDBFF) --at;  // keep pairs whole
      shown = shown.substr(0, at);
    }
    line.Line(rect.top() + i * lineHeight, shown, end != std::u16string_view::npos && !cut);
    if (end == std::u16string_view::npos) break;
    pos = end + 1;
  }
}

}  // namespace norvalis::SpecialCharacterMarks
