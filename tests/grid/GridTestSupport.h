#pragma once

#include <cstdint>
#include <fstream>
#include <functional>
#include <optional>
#include <string>

#include <QAbstractScrollArea>
#include <QApplication>
#include <QColor>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QImage>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QRect>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "../support/TempDir.h"
#include "grid/Document.h"
#include "grid/GridCsv.h"

namespace norvalis::test {

// Writes bytes into a file of the directory and returns its path.
inline std::string WriteFile(const QTemporaryDir& dir, const std::string& name,
                             const std::string& bytes) {
  const std::string path = dir.filePath(QString::fromStdString(name)).toStdString();
  std::ofstream out(path, std::ios::binary);
  out << bytes;
  return path;
}

// Runs events until the condition holds or a few seconds have passed; whether it holds.
inline bool WaitFor(const std::function<bool()>& condition) {
  QDeadlineTimer deadline(10000);
  while (!condition() && !deadline.hasExpired())
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  return condition();
}

// Waits for the answer of a request of the document; nullopt when none came.
inline std::optional<TDocument::Result> AnswerOf(TDocument& document, TDocument::Request request) {
  std::optional<TDocument::Result> answer;
  const QMetaObject::Connection connection =
      QObject::connect(&document, &TDocument::finished,
                       [&](TDocument::Request done, const TDocument::Result& result) {
                         if (done == request) answer = result;
                       });
  WaitFor([&] { return answer.has_value(); });
  QObject::disconnect(connection);
  return answer;
}

// Loads the file into the document and waits for the table.
inline CsvLoadResult LoadAndWait(TDocument& document, const std::u16string& path,
                                 std::uint16_t codePage = 0) {
  const std::optional<TDocument::Result> answer =
      AnswerOf(document, document.StartLoad(path, codePage));
  EXPECT_TRUE(answer.has_value()) << "the load gave no answer";
  return answer ? std::get<CsvLoadResult>(*answer) : CsvLoadResult{};
}
inline CsvLoadResult LoadAndWait(TGridCsv& grid, const std::u16string& path) {
  return LoadAndWait(grid.Document(), path);
}

inline std::u16string U16(const std::string& ascii) {
  return std::u16string(ascii.begin(), ascii.end());
}

// Paints the viewport as it would appear on screen.
inline QImage Render(QAbstractScrollArea& area) {
  QImage image(area.viewport()->size(), QImage::Format_ARGB32);
  image.fill(QColor(255, 0, 255));
  area.viewport()->render(&image);
  return image;
}

inline void SendKey(QWidget& widget, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
  QKeyEvent press(QEvent::KeyPress, key, modifiers);
  QApplication::sendEvent(&widget, &press);
  QKeyEvent release(QEvent::KeyRelease, key, modifiers);
  QApplication::sendEvent(&widget, &release);
}

inline void SendMouse(QWidget& widget, QEvent::Type type, QPoint pos, Qt::MouseButton button,
                      Qt::MouseButtons buttons) {
  QMouseEvent event(type, QPointF(pos), QPointF(widget.mapToGlobal(pos)), button, buttons,
                    Qt::NoModifier);
  QApplication::sendEvent(&widget, &event);
}

inline void Click(QWidget& widget, QPoint pos) {
  SendMouse(widget, QEvent::MouseButtonPress, pos, Qt::LeftButton, Qt::LeftButton);
  SendMouse(widget, QEvent::MouseButtonRelease, pos, Qt::LeftButton, Qt::NoButton);
}

inline void Drag(QWidget& widget, QPoint from, QPoint to) {
  SendMouse(widget, QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
  SendMouse(widget, QEvent::MouseMove, to, Qt::NoButton, Qt::LeftButton);
  SendMouse(widget, QEvent::MouseButtonRelease, to, Qt::LeftButton, Qt::NoButton);
}

// The bounding box of the pixels inside `area` that differ from `background`.
inline QRect InkBox(const QImage& image, const QRect& area, QColor background) {
  QRect box;
  for (int y = area.top(); y <= area.bottom(); ++y) {
    for (int x = area.left(); x <= area.right(); ++x) {
      if (image.pixelColor(x, y) != background) box |= QRect(x, y, 1, 1);
    }
  }
  return box;
}

inline int ColorDistance(QColor a, QColor b) {
  return std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) +
         std::abs(a.blue() - b.blue());
}

// The pixel inside `area` that differs most from `background`.
inline QColor StrongestInk(const QImage& image, const QRect& area, QColor background) {
  QColor strongest = background;
  int best = -1;
  for (int y = area.top(); y <= area.bottom(); ++y) {
    for (int x = area.left(); x <= area.right(); ++x) {
      const QColor c = image.pixelColor(x, y);
      if (const int d = ColorDistance(c, background); d > best) {
        best = d;
        strongest = c;
      }
    }
  }
  return strongest;
}

// A fixture with a scratch folder for the test's files.
class FileTest : public TempDirTest {
 protected:
  std::string File(const std::string& name, const std::string& bytes) { return Write(name, bytes); }
};

}  // namespace norvalis::test
