// Load benchmark: the real postal-code list eight times over (when the corpus is there), then
// generated 1 GB files of its shape, each loaded whole by TCsv::LoadFromFile in a fresh process
// (so the peak resident memory belongs to that load alone) beside the time iconv takes to
// decode the same bytes in the same run.

#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "GenerateData.h"
#include "check/ColumnCheck.h"
#include "csv/Csv.h"
#include "csv/CsvUtility.h"
#include "text/FileUtility.h"
#include "text/StringUtility.h"

extern char** environ;

namespace norvalis::bench {
namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

double PeakResidentMB() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

double CurrentResidentMB() {
  std::ifstream statm("/proc/self/statm");
  long pages = 0;
  long resident = 0;
  statm >> pages >> resident;
  return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) / 1048576.0;
}

std::uint64_t FileSize(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 ? static_cast<std::uint64_t>(st.st_size) : 0;
}

// CPU seconds (user and system) of this process, or of its waited-for children.
double CpuSeconds(int who) {
  rusage usage{};
  getrusage(who, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

std::string Name(const std::string& path) {
  return path.substr(path.rfind('/') + 1);
}

// The whole load as the window does it, best of three in this fresh process, with its stages,
// the memory it takes, the first and the last screen of cells, and the check of a column to
// the last row.
int MeasureWhole(const std::string& path, double iconvSeconds) {
  const UnicodeString name(path.begin(), path.end());
  const double baseline = CurrentResidentMB();
  const double mbFile = static_cast<double>(FileSize(path)) / 1048576.0;
  double best = 1e9;
  double bestCpu = 1e9;
  CsvLoadStages stages;
  double loaded = 0;
  TCsv csv;
  for (int run = 0; run < 3; ++run) {
    csv.Clear();
    const double cpu = CpuSeconds(RUSAGE_SELF);
    const auto start = Clock::now();
    if (!csv.LoadFromFile(name)) {
      std::printf("  読み込みに失敗しました\n");
      return 1;
    }
    const double seconds = Seconds(start);
    bestCpu = std::min(bestCpu, CpuSeconds(RUSAGE_SELF) - cpu);
    if (seconds < best) {
      best = seconds;
      stages = csv.LastLoadStages();
    }
    loaded = std::max(loaded, CurrentResidentMB() - baseline);
  }
  const double peak = PeakResidentMB() - baseline;
  std::printf("  全体     %.3f 秒 (%.0f MB/s), iconv の %.2f 倍 — %u 行 × %u 列, コードページ %u\n",
              best, static_cast<double>(FileSize(path)) / 1e6 / best, best / iconvSeconds,
              csv.GetRowCount(), csv.GetColCount(), static_cast<unsigned>(csv.CodePage()));
  std::printf("  CPU 時間 %.3f 秒\n", bestCpu);
  std::printf("  段階     開く %.3f 秒, 判定 %.3f 秒, 変換 %.3f 秒, 索引 %.3f 秒\n", stages.open,
              stages.detect, stages.decode, stages.index);
  std::printf(
      "  メモリ   読み込み中の最大 %.0f MB (ファイルの %.2f 倍), 読み込み後 %.0f MB (%.2f 倍)\n",
      peak, peak / mbFile, loaded, loaded / mbFile);

  // One screen: 50 rows of every column, decoded, at both ends.
  const std::shared_ptr<const CsvTable> table = csv.Share();
  std::vector<UnicodeString> cells;
  auto screen = [&](std::uint32_t first) {
    const auto start = Clock::now();
    for (std::uint32_t row = first; row < first + 50 && row < table->RowCount(); ++row)
      table->RowCells(row, cells);
    return Seconds(start) * 1e3;
  };
  const double top = screen(0);
  const double bottom = screen(table->RowCount() > 50 ? table->RowCount() - 50 : 0);
  std::printf("  1画面    先頭 %.2f ms, 末尾 %.2f ms (50 行 × %u 列を復号)\n", top, bottom,
              table->ColCount());

  // D: the same in every row of the generated files, so the check runs to the last row.
  const std::uint32_t column = std::min<std::uint32_t>(3, table->ColCount() - 1);
  const auto checkStart = Clock::now();
  const CheckResult result = CheckColumn(csv.Table(), false, column, nullptr);
  std::printf("  チェック %.3f 秒 (%s 列, %llu 行を比較: %s)\n", Seconds(checkStart),
              ToUtf8(TCsvUtility::ColumnIndexToLetters(column)).c_str(),
              static_cast<unsigned long long>(result.compared),
              ToUtf8(CheckStatusText(result)).c_str());
  return 0;
}

// Seconds iconv takes to decode the file to UTF-16 (best of three), the yardstick.
double IconvSeconds(const std::string& path, const char* from) {
  double best = 1e9;
  double bestCpu = 1e9;
  for (int run = 0; run < 3; ++run) {
    const double cpu = CpuSeconds(RUSAGE_CHILDREN);
    const auto start = Clock::now();
    const std::string command =
        std::string("iconv -f ") + from + " -t UTF-16LE '" + path + "' > /dev/null";
    if (std::system(command.c_str()) != 0) return 0;
    best = std::min(best, Seconds(start));
    bestCpu = std::min(bestCpu, CpuSeconds(RUSAGE_CHILDREN) - cpu);
  }
  std::printf("  iconv の CPU 時間 %.3f 秒\n", bestCpu);
  return best;
}

int RunChild(const std::string& self, const std::string& path, double iconvSeconds) {
  const std::string mode = "--whole";
  const std::string yardstick = std::to_string(iconvSeconds);
  std::vector<char*> argv = {const_cast<char*>(self.c_str()), const_cast<char*>(mode.c_str()),
                             const_cast<char*>(path.c_str()), const_cast<char*>(yardstick.c_str()),
                             nullptr};
  pid_t pid = 0;
  if (posix_spawn(&pid, self.c_str(), nullptr, nullptr, argv.data(), environ) != 0) return 1;
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}

int Measure(const std::string& self, const std::string& path, const char* encoding) {
  std::printf("%s (%.1f MB)\n", Name(path).c_str(), static_cast<double>(FileSize(path)) / 1e6);
  const double iconv = IconvSeconds(path, encoding);
  std::printf("  iconv -f %s -t UTF-16LE: %.3f 秒 (%.0f MB/s)\n", encoding, iconv,
              static_cast<double>(FileSize(path)) / 1e6 / iconv);
  std::fflush(stdout);
  return RunChild(self, path, iconv);
}

int Drive(const std::string& self) {
  const char* dirEnv = std::getenv("NORVALIS_BENCH_DATA");
  const std::string dir = dirEnv != nullptr ? dirEnv : "bench-data";
  ::mkdir(dir.c_str(), 0755);
  int failures = 0;

  // Real data first: the postal-code list eight times over.
  const char* corpusEnv = std::getenv("NORVALIS_CORPUS");
  const std::string corpus = corpusEnv != nullptr ? corpusEnv : "../shared/corpus";
  const std::string kenAll = corpus + "/KEN_ALL.CSV";
  if (FileSize(kenAll) == 0) {
    std::printf("実データがありません: %s が見つからないため、郵便番号データの測定を省きます。\n",
                kenAll.c_str());
  } else {
    const std::string eight = dir + "/ken_all_x8.csv";
    if (FileSize(eight) != 8 * FileSize(kenAll)) WriteRepeated(kenAll, eight, 8);
    failures += Measure(self, eight, "CP932");
  }

  constexpr std::uint64_t Size = 1'000'000'000;
  struct Input {
    std::string name;
    bool shiftJis;
  };
  for (const Input& input : {Input{dir + "/postal_shape_sjis_1gb.csv", true},
                             Input{dir + "/postal_shape_utf8_1gb.csv", false}}) {
    if (FileSize(input.name) < Size) {
      std::printf("データを作成しています: %s\n", input.name.c_str());
      WritePostalShape(input.name, Size, input.shiftJis);
    }
    failures += Measure(self, input.name, input.shiftJis ? "CP932" : "UTF-8");
  }
  return failures == 0 ? 0 : 1;
}

}  // namespace
}  // namespace norvalis::bench

int main(int argc, char** argv) {
  using namespace norvalis::bench;
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  if (argc == 4 && std::string(argv[1]) == "--whole") {
    return MeasureWhole(argv[2], std::atof(argv[3]));
  }
  char self[4096] = {};
  const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
  return Drive(n > 0 ? std::string(self, static_cast<std::size_t>(n)) : std::string(argv[0]));
}
