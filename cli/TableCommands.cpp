// What a CSV file reads as: its code page, its table, and what the load took.

#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <vector>

#include "Commands.h"
#include "Output.h"

namespace norvalis::cli {

namespace {

double SecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

long PeakResidentKiB() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

}  // namespace

int RunEncoding(const Options& o) {
  std::uint16_t used = 0;
  const CsvLoadResult result = CodePageOfFile(CsvFileName(o.names[0]), o.codePage, used);
  if (!result.ok()) return Unreadable(result.message);
  Output out;
  out.Line(std::to_string(used));
  return ExitOk;
}

int RunDump(const Options& o) {
  TCsv csv;
  if (!LoadCsv(csv, CsvFileName(o.names[0]), o.codePage)) return ExitUnreadable;
  const CsvTable& table = csv.Table();
  Output out;
  JsonWriter json(out);
  json.BeginArray();
  std::vector<UnicodeString> cells;
  for (std::uint32_t r = 0; r < table.RowCount(); ++r) {
    table.RowCells(r, cells);
    json.BeginArray();
    for (const UnicodeString& cell : cells)
      json.String(cell);
    json.EndArray();
  }
  json.EndArray();
  json.EndLine();
  return ExitOk;
}

// The load the window and the check make, timed whole and by its own stages.
int RunStats(const Options& o) {
  TCsv csv;
  const auto start = std::chrono::steady_clock::now();
  if (!LoadCsv(csv, CsvFileName(o.names[0]), o.codePage)) return ExitUnreadable;
  const double total = SecondsSince(start);
  const CsvLoadStages& stages = csv.LastLoadStages();
  const double megabytes = static_cast<double>(stages.bytes) / 1e6;
  auto rate = [&](double seconds) { return seconds > 0 ? megabytes / seconds : 0.0; };
  std::printf("読み込み全体: %.3f 秒 (%.0f MB/s)\n", total, rate(total));
  std::printf("ファイル: %s\n", o.names[0].text.c_str());
  std::printf("サイズ: %.1f MB\n", megabytes);
  std::printf("コードページ: %u\n", static_cast<unsigned>(csv.CodePage()));
  std::printf("行数: %u\n", csv.GetRowCount());
  std::printf("列数: %u\n", csv.GetColCount());
  std::printf("開く: %.3f 秒\n", stages.open);
  std::printf("判定: %.3f 秒\n", stages.detect);
  std::printf("変換: %.3f 秒 (先に全体を変換する文字コードのみ)\n", stages.decode);
  std::printf("索引: %.3f 秒 (%.0f MB/s)\n", stages.index, rate(stages.index));
  std::printf("最大常駐メモリ: %.1f MB\n", static_cast<double>(PeakResidentKiB()) / 1024.0);
  return ExitOk;
}

}  // namespace norvalis::cli
