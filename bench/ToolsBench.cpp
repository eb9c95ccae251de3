// The everyday tools on a large real table: the postal list repeated 8 times (about 99 MB of
// Shift_JIS). Measures, beside iconv's time on the same bytes, the first load, a reopen with a
// chosen code page, every column checked and a find of an absent text. Best of three runs.

#include <iconv.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "check/CellSearch.h"
#include "check/ColumnCheckAll.h"
#include "csv/Csv.h"

namespace norvalis::bench {
namespace {

using Clock = std::chrono::steady_clock;

double BestOfThree(const std::function<void()>& run) {
  double best = 1e9;
  for (int i = 0; i < 3; ++i) {
    const auto start = Clock::now();
    run();
    best = std::min(best, std::chrono::duration<double>(Clock::now() - start).count());
  }
  return best;
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// CP932 to UTF-16 by iconv, the reference for what a decoding of these bytes costs.
double IconvSeconds(const std::string& bytes) {
  std::vector<char> out(bytes.size() * 2 + 16);
  return BestOfThree([&] {
    iconv_t cd = iconv_open("UTF-16LE", "CP932");
    char* in = const_cast<char*>(bytes.data());
    std::size_t inLeft = bytes.size();
    char* outPtr = out.data();
    std::size_t outLeft = out.size();
    iconv(cd, &in, &inLeft, &outPtr, &outLeft);
    iconv_close(cd);
  });
}

int Run() {
  // The corpus beside the repository, as the load benchmark finds it.
  const char* corpus = std::getenv("NORVALIS_CORPUS");
  const std::string kenAll =
      std::string(corpus != nullptr ? corpus : "../shared/corpus") + "/KEN_ALL.CSV";
  const std::string once = ReadAll(kenAll);
  if (once.empty()) {
    std::printf("実データがありません: %s が見つからないため、測定を省きます。\n", kenAll.c_str());
    return 0;
  }
  const char* dataDir = std::getenv("NORVALIS_BENCH_DATA");
  const std::string path = std::string(dataDir != nullptr ? dataDir : "/tmp") + "/KEN_ALL_x8.CSV";
  std::string bytes;
  for (int i = 0; i < 8; ++i)
    bytes += once;
  std::ofstream(path, std::ios::binary)
      .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  const UnicodeString name(path.begin(), path.end());
  std::printf("郵便番号データ ×8: %.1f MB\n", static_cast<double>(bytes.size()) / 1e6);
  std::printf("  iconv (CP932 → UTF-16)      %7.3f 秒\n", IconvSeconds(bytes));
  bytes.clear();
  bytes.shrink_to_fit();

  TCsv csv;
  const double first = BestOfThree([&] {
    TCsv loaded;
    loaded.Load(name);
    csv.Swap(loaded);
  });
  const double reopen = BestOfThree([&] {
    TCsv loaded;
    loaded.Load(name, 932);
  });
  std::printf("  最初の読み込み (自動判定)   %7.3f 秒  %u 行 × %u 列\n", first, csv.GetRowCount(),
              csv.GetColCount());
  std::printf("  Shift_JIS を指定して開き直す %7.3f 秒\n", reopen);

  const std::shared_ptr<const CsvTable> table = csv.Share();
  for (const bool title : {false, true}) {
    AllColumnsResult result;
    const double all = BestOfThree([&] { result = CheckAllColumns(*table, title); });
    std::size_t matching = 0;
    for (const CheckResult& column : result.columns)
      matching += column.outcome == CheckResult::Outcome::AllMatch ? 1 : 0;
    std::printf("  すべての列を調べる%s   %7.3f 秒  (%zu 列一致)\n",
                title ? " (列名あり)" : "          ", all, matching);
  }
  for (const bool caseSensitive : {true, false}) {
    CellSearchRequest request;
    request.text = u"存在しない文字列";
    request.caseSensitive = caseSensitive;
    CellSearchResult result;
    const double find = BestOfThree([&] { result = SearchCells(*table, request); });
    std::printf("  ない文字列の検索 (%s)    %7.3f 秒%s\n", caseSensitive ? "大小区別" : "大小無視",
                find,
                result.outcome == CellSearchResult::Outcome::NotFound ? "" : "  (見つかった?)");
  }
  // The worst case: no column ever differs, so the pass reads every row to the end. The first
  // line of the list repeated as often as the list has rows.
  {
    const std::string line = once.substr(0, once.find('\n') + 1);
    std::string same;
    same.reserve(line.size() * csv.GetRowCount());
    for (std::uint32_t i = 0; i < csv.GetRowCount(); ++i)
      same += line;
    std::ofstream(path, std::ios::binary)
        .write(same.data(), static_cast<std::streamsize>(same.size()));
    TCsv matching;
    matching.Load(name);
    const std::shared_ptr<const CsvTable> all = matching.Share();
    AllColumnsResult result;
    const double seconds = BestOfThree([&] { result = CheckAllColumns(*all, false); });
    std::printf("  すべての列を調べる (全列一致) %7.3f 秒  %.1f MB, %u 行 × %zu 列\n", seconds,
                static_cast<double>(same.size()) / 1e6, matching.GetRowCount(),
                result.columns.size());
  }
  std::remove(path.c_str());
  return 0;
}

}  // namespace
}  // namespace norvalis::bench

int main() {
  return norvalis::bench::Run();
}
