// Filtered grid benchmark, offscreen: the real postal list ×80 (990 MB Shift_JIS, 10.4 M rows)
// in the window, a filter of 5 M rows (every second data row, and the rows the values of
// column G choose), the time from the filter's rows to the grid showing them, and painting
// one screen at the filter's first and last row, each beside its limit.

#include <sys/stat.h>

#include <QApplication>
#include <QEventLoop>
#include <QImage>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "GridBenchSupport.h"
#include "app/FormMain.h"
#include "check/RowFilter.h"
#include "grid/Document.h"
#include "grid/GridCsv.h"

namespace norvalis::bench {
namespace {

namespace fs = std::filesystem;

// The file `copies` times over, as the views benchmark writes it (and reuses it).
std::string Repeated(const std::string& source, const std::string& path, int copies) {
  std::ifstream in(source, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  const std::string once = bytes.str();
  if (once.empty()) return {};
  if (fs::exists(path) && fs::file_size(path) == once.size() * static_cast<std::size_t>(copies)) {
    return path;
  }
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  for (int i = 0; i < copies; ++i)
    out.write(once.data(), static_cast<std::streamsize>(once.size()));
  return path;
}

// Switches the window to the rows, then paints at the first and the last of them.
void Measure(TFormMain& form, TGridCsv& grid,
             std::shared_ptr<const std::vector<std::uint32_t>> rows, const char* what) {
  form.ShowAllRows();
  QApplication::processEvents();
  const auto start = Clock::now();
  form.ShowRows(rows, QString::fromUtf8(what));
  form.repaint();
  const double toShown = Millis(start);
  grid.SetCol(2);
  grid.GoToTableRow(rows->front());
  const double first = PaintMillis(grid);
  grid.GoToTableRow(rows->back());
  const double last = PaintMillis(grid);
  std::printf("%s: %zu 行\n", what, rows->size());
  std::printf("  結果から表示まで       %8.1f ms  (上限 300 ms)\n", toShown);
  std::printf("  1画面の描画 (中央値)   先頭行 %.2f ms、最終行 %.2f ms  (上限 5 ms)\n", first,
              last);
}

}  // namespace
}  // namespace norvalis::bench

int main(int argc, char** argv) {
  using namespace norvalis;
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QTemporaryDir config;
  qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
  QApplication app(argc, argv);
  const char* corpus = std::getenv("NORVALIS_CORPUS");
  const std::string kenAll =
      std::string(corpus != nullptr ? corpus : "../shared/corpus") + "/KEN_ALL.CSV";
  const char* dataDir = std::getenv("NORVALIS_BENCH_DATA");
  const std::string data = dataDir != nullptr ? dataDir : "/tmp";
  std::filesystem::create_directories(data);
  const std::string path = bench::Repeated(kenAll, data + "/KEN_ALL_x80.CSV", 80);
  if (path.empty()) {
    std::printf("実データがありません: %s が見つからないため、測定を省きます。\n", kenAll.c_str());
    return 0;
  }
  TFormMain form;
  form.resize(1280, 800);
  form.show();
  QApplication::processEvents();
  form.OpenCsvFile(UnicodeString(path.begin(), path.end()));
  bench::WaitIdle(form.Document());
  auto* grid = form.findChild<TGridCsv*>(QStringLiteral("Grid"));
  const std::shared_ptr<const CsvTable> table = form.Document().Table();
  if (grid == nullptr || !table) return 1;
  std::printf("郵便番号データ ×80: %u 行、画面 %d × %d ピクセル\n", table->RowCount(),
              grid->viewport()->width(), grid->viewport()->height());

  auto everySecond = std::make_shared<std::vector<std::uint32_t>>();
  for (std::uint32_t row = 0; row < table->RowCount(); row += 2)
    everySecond->push_back(row);
  bench::Measure(form, *grid, everySecond, "1 行おきの行");

  // A real filter: the rows whose column G is not 北海道 (most of the file).
  RowSelection other = RowsWithValue(*table, false, 6, u"北海道", false);
  bench::Measure(form, *grid,
                 std::make_shared<const std::vector<std::uint32_t>>(std::move(other.rows)),
                 "G 列が「北海道」以外の行");
  return 0;
}
