// Grid benchmark: painting one full screen at the first and at the last row of the generated
// 1 GB file of the postal list's shape (10 million rows), and the time from
// TFormMain::OpenCsvFile to a painted grid for the real postal list eight times over, beside
// the time iconv takes to decode the same bytes, and how soon the window closes during a load
// of the 1 GB file. Runs offscreen.

#include <sys/stat.h>

#include <QApplication>
#include <QEventLoop>
#include <QImage>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "GenerateData.h"
#include "GridBenchSupport.h"
#include "app/FormMain.h"
#include "grid/Document.h"
#include "grid/GridCsv.h"

namespace norvalis::bench {
namespace {

bool Exists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0;
}

// Seconds iconv takes to decode the file to UTF-16, best of three.
double IconvSeconds(const std::string& path) {
  double best = 1e9;
  for (int run = 0; run < 3; ++run) {
    const auto start = Clock::now();
    const std::string command = "iconv -f CP932 -t UTF-16LE '" + path + "' > /dev/null";
    if (std::system(command.c_str()) != 0) return 0;
    best = std::min(best, Millis(start) / 1e3);
  }
  return best;
}

void PaintAtBothEnds(const std::string& file) {
  TGridCsv grid;
  grid.resize(1280, 800);
  grid.show();
  grid.Document().StartLoad(UnicodeString(file.begin(), file.end()));
  WaitIdle(grid.Document());
  std::printf("グリッド: %lld 行 × %d 列、画面 %d × %d ピクセル (%lld 行 × %d 列が見える)\n",
              static_cast<long long>(grid.RowCount()), grid.ColCount(), grid.viewport()->width(),
              grid.viewport()->height(), static_cast<long long>(grid.VisibleRowCount()),
              grid.VisibleColCount());
  grid.SetCol(2);
  grid.SetRow(grid.FixedRows());
  const double first = PaintMillis(grid);
  grid.SetRow(grid.RowCount() - 1);
  const double last = PaintMillis(grid);
  std::printf("  1画面の描画 (中央値): 先頭行 %.2f ms、最終行 %.2f ms (先頭行 %lld)\n", first, last,
              static_cast<long long>(grid.TopRow()));
}

void OpenToPaint(const std::string& file) {
  TFormMain form;
  form.resize(1280, 800);
  form.show();
  QApplication::processEvents();
  const auto start = Clock::now();
  form.OpenCsvFile(UnicodeString(file.begin(), file.end()));
  WaitIdle(form.Document());
  form.repaint();
  const double millis = Millis(start);
  struct stat st {};
  ::stat(file.c_str(), &st);
  const double iconv = IconvSeconds(file);
  std::printf("OpenCsvFile から描画まで: %.0f ms (%.1f MB, %.0f MB/s), iconv %.0f ms の %.2f 倍\n",
              millis, static_cast<double>(st.st_size) / 1e6,
              static_cast<double>(st.st_size) / 1e6 / (millis / 1e3), iconv * 1e3,
              millis / 1e3 / iconv);
}

// From closing the window during a load of the file to the window gone, its worker stopped.
void CloseDuringLoad(const std::string& file) {
  auto form = std::make_unique<TFormMain>();
  form->show();
  QApplication::processEvents();
  form->OpenCsvFile(UnicodeString(file.begin(), file.end()));
  const auto loading = Clock::now();
  while (Millis(loading) < 300)
    QApplication::processEvents(QEventLoop::AllEvents, 5);
  const bool stillLoading = form->Document().IsLoading();
  const auto start = Clock::now();
  form->close();
  form.reset();
  std::printf("読み込み中に閉じてから終わるまで: %.1f ms (読み込み中: %s、上限 500 ms)\n",
              Millis(start), stillLoading ? "はい" : "いいえ");
}

}  // namespace
}  // namespace norvalis::bench

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  // Settings written by the window go to a scratch folder, never to the user's own.
  QTemporaryDir config;
  qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
  QApplication app(argc, argv);
  const char* dirEnv = std::getenv("NORVALIS_BENCH_DATA");
  const std::string dir = dirEnv != nullptr ? dirEnv : "bench-data";
  ::mkdir(dir.c_str(), 0755);

  const std::string gigabyte = dir + "/postal_shape_sjis_1gb.csv";
  if (!norvalis::bench::Exists(gigabyte)) {
    std::printf("データを作成しています: %s\n", gigabyte.c_str());
    norvalis::bench::WritePostalShape(gigabyte, 1'000'000'000, true);
  }
  norvalis::bench::PaintAtBothEnds(gigabyte);
  norvalis::bench::CloseDuringLoad(gigabyte);

  // The real postal list eight times over, as the load benchmark leaves it.
  const std::string eight = dir + "/ken_all_x8.csv";
  if (norvalis::bench::Exists(eight)) {
    norvalis::bench::OpenToPaint(eight);
  } else {
    std::printf("実データがありません: %s (norvalis-bench が作ります)\n", eight.c_str());
  }
  return 0;
}
