// What a CSV file reads as: its code page, its table, and what the load took.

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "Commands.h"
#include "Output.h"
#include "platform/Memory.h"

namespace norvalis::cli {

namespace {

double SecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// printf-style text, for the figures of --stats.
template <typename... Args>
std::string Printed(const char* format, Args... args) {
  std::string text(static_cast<std::size_t>(std::snprintf(nullptr, 0, format, args...)), '\0');
  std::snprintf(text.data(), text.size() + 1, format, args...);
  return text;
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

// The rows go out as they are read, so a file that changes meanwhile is told after them, by
// the exit code and on standard error.
int RunDump(const Options& o) {
  TCsv csv;
  if (!LoadCsv(csv, CsvFileName(o.names[0]), o.codePage)) return ExitUnreadable;
  const CsvTable& table = csv.Table();
  {
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
  }
  return ChangedSinceRead(csv) ? ExitUnreadable : ExitOk;
}

// The load the window and the check make, timed whole and by its own stages.
int RunStats(const Options& o) {
  TCsv csv;
  CsvLoadResult result;
  const auto start = std::chrono::steady_clock::now();
  if (!LoadCsv(csv, CsvFileName(o.names[0]), o.codePage, &result)) return ExitUnreadable;
  const double total = SecondsSince(start);
  if (ChangedSinceRead(csv)) return ExitUnreadable;
  const CsvLoadStages& stages = csv.LastLoadStages();
  const double megabytes = static_cast<double>(stages.bytes) / 1e6;
  auto rate = [&](double seconds) { return seconds > 0 ? megabytes / seconds : 0.0; };
  Output out;
  out.Line(Printed("読み込み全体: %.3f 秒 (%.0f MB/s)", total, rate(total)));
  out.Line("ファイル: " + o.names[0].text);
  out.Line(Printed("サイズ: %.1f MB", megabytes));
  out.Line(Printed("コードページ: %u", static_cast<unsigned>(csv.CodePage())));
  out.Line(Printed("行数: %u", csv.GetRowCount()));
  out.Line(Printed("列数: %u", csv.GetColCount()));
  if (result.stoppedAt) out.Line(ToUtf8(StoppedAtText(*result.stoppedAt)));
  out.Line(Printed("開く: %.3f 秒", stages.open));
  out.Line(Printed("判定: %.3f 秒", stages.detect));
  out.Line(Printed("変換: %.3f 秒 (先に全体を変換する文字コードのみ)", stages.decode));
  out.Line(Printed("索引: %.3f 秒 (%.0f MB/s)", stages.index, rate(stages.index)));
  out.Line(Printed("最大常駐メモリ: %.1f MB",
                   static_cast<double>(platform::PeakResidentBytes()) / (1024.0 * 1024.0)));
  return ExitOk;
}

}  // namespace norvalis::cli
