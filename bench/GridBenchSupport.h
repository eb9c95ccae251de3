#pragma once

#include <QEventLoop>
#include <QImage>

#include <algorithm>
#include <chrono>
#include <vector>

#include "grid/Document.h"
#include "grid/GridCsv.h"

// What the grid benchmarks share: timing, waiting for the document, and painting a screen.
namespace norvalis::bench {

using Clock = std::chrono::steady_clock;

inline double Millis(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Runs the event loop until the document has no operation running, sleeping between events
// as the program's own loop does (a polling loop would take the worker's processor).
inline void WaitIdle(const TDocument& document) {
  QEventLoop loop;
  QObject::connect(&document, &TDocument::ended, &loop, [&] {
    if (!document.IsBusy()) loop.quit();
  });
  if (document.IsBusy()) loop.exec();
}

// Median time of painting the whole viewport, after a warm-up.
inline double PaintMillis(TGridCsv& grid) {
  QImage image(grid.viewport()->size(), QImage::Format_ARGB32_Premultiplied);
  grid.viewport()->render(&image);
  std::vector<double> times;
  for (int i = 0; i < 41; ++i) {
    const auto start = Clock::now();
    grid.viewport()->render(&image);
    times.push_back(Millis(start));
  }
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

}  // namespace norvalis::bench
