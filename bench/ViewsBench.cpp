// The views over a table on the real postal list, ×8 and ×80: every differing row of column G,
// the values of G and of C (norvalis-check's whole process, listing to a file), a filter of
// some millions of rows, saving them, and peak memory. Each beside DuckDB answering the same
// question on the same rows in UTF-8 (@duckdb/node-api run by node, "n/a" where it cannot be
// had) and iconv decoding the same bytes.

#include <iconv.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "check/RowFilter.h"
#include "check/RowsSave.h"
#include "csv/Csv.h"

namespace norvalis::bench {
namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

double Seconds(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

double BestOf(int runs, const std::function<void()>& run) {
  double best = 1e9;
  for (int i = 0; i < runs; ++i) {
    const auto start = Clock::now();
    run();
    best = std::min(best, Seconds(start));
  }
  return best;
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The file `copies` times over, made once and kept in the data folder.
std::string Repeated(const std::string& once, const std::string& path, int copies) {
  if (fs::exists(path) && fs::file_size(path) == once.size() * static_cast<std::size_t>(copies)) {
    return path;
  }
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  for (int i = 0; i < copies; ++i)
    out.write(once.data(), static_cast<std::streamsize>(once.size()));
  return path;
}

std::string Utf8Of(const std::string& cp932) {
  iconv_t cd = iconv_open("UTF-8", "CP932");
  std::string out(cp932.size() * 2, '\0');
  char* in = const_cast<char*>(cp932.data());
  std::size_t inLeft = cp932.size();
  char* o = out.data();
  std::size_t outLeft = out.size();
  iconv(cd, &in, &inLeft, &o, &outLeft);
  iconv_close(cd);
  out.resize(out.size() - outLeft);
  return out;
}

// CP932 to UTF-16 by iconv over a file's bytes, the reference for what decoding them costs.
double IconvSeconds(const std::string& path) {
  const std::string bytes = ReadAll(path);
  std::vector<char> out(bytes.size() * 2 + 16);
  return BestOf(1, [&] {
    iconv_t cd = iconv_open("UTF-16LE", "CP932");
    char* in = const_cast<char*>(bytes.data());
    std::size_t inLeft = bytes.size();
    char* o = out.data();
    std::size_t outLeft = out.size();
    iconv(cd, &in, &inLeft, &o, &outLeft);
    iconv_close(cd);
  });
}

struct ProcessRun {
  double seconds = 0;
  double peakMegabytes = 0;
  int exitCode = -1;
};

// A program run to its end, its standard output into a file: wall time and peak memory.
ProcessRun RunProgram(const std::vector<std::string>& args, const std::string& output) {
  ProcessRun run;
  // What is printed so far must not be printed again by the child.
  std::fflush(stdout);
  const auto start = Clock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    if (std::freopen(output.c_str(), "wb", stdout) == nullptr) _exit(127);
    std::vector<char*> argv;
    for (const std::string& arg : args)
      argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    execvp(argv[0], argv.data());
    _exit(127);
  }
  int status = 0;
  struct rusage usage {};
  wait4(pid, &status, 0, &usage);
  run.seconds = Seconds(start);
  run.peakMegabytes = static_cast<double>(usage.ru_maxrss) / 1024.0;
  run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

ProcessRun BestRun(int runs, const std::vector<std::string>& args, const std::string& output) {
  ProcessRun best;
  best.seconds = 1e9;
  for (int i = 0; i < runs; ++i) {
    const ProcessRun run = RunProgram(args, output);
    if (run.seconds < best.seconds) best = run;
  }
  return best;
}

// DuckDB's seconds per query name, or nothing where node or the package cannot be had.
std::map<std::string, double> DuckDbSeconds(const std::string& utf8File, const std::string& data) {
  std::map<std::string, double> seconds;
  const std::string folder = data + "/duckdb";
  const std::string script = folder + "/views.mjs";
  fs::create_directories(folder);
  if (!fs::exists(folder + "/node_modules/@duckdb/node-api")) {
    const std::string install = "cd '" + folder +
                                "' && npm install --no-audit --no-fund --silent @duckdb/node-api "
                                ">/dev/null 2>&1";
    if (std::system(install.c_str()) != 0) return seconds;
  }
  fs::copy_file(NORVALIS_BENCH_SOURCE "/duckdb-views.mjs", script,
                fs::copy_options::overwrite_existing);
  const std::string command =
      "node '" + script + "' '" + utf8File + "' '" + data + "/duckdb-out.tsv' 2>/dev/null";
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return seconds;
  char line[512];
  while (std::fgets(line, sizeof line, pipe) != nullptr) {
    char name[64];
    double s = 0;
    if (std::sscanf(line, "{\"name\":\"%63[^\"]\",\"seconds\":%lf", name, &s) == 2)
      seconds[name] = s;
  }
  pclose(pipe);
  fs::remove(data + "/duckdb-out.tsv");
  return seconds;
}

// DuckDB's time for the same question beside ours, with the share the issue allows.
std::string Beside(double ours, const std::map<std::string, double>& duck,
                   const std::string& name) {
  const auto found = duck.find(name);
  if (found == duck.end()) return "DuckDB    n/a";
  char text[128];
  std::snprintf(text, sizeof text, "DuckDB %7.3f 秒  (比 %.2f、上限 0.25)", found->second,
                ours / found->second);
  return text;
}

void Measure(const std::string& once, int copies, const std::string& data) {
  const std::string path =
      Repeated(once, data + "/KEN_ALL_x" + std::to_string(copies) + ".CSV", copies);
  const std::string utf8Path =
      Repeated(Utf8Of(once), data + "/KEN_ALL_x" + std::to_string(copies) + ".utf8.csv", copies);
  const double megabytes = static_cast<double>(fs::file_size(path)) / 1e6;
  std::printf("郵便番号データ ×%d: %.1f MB (Shift_JIS), UTF-8 %.1f MB\n", copies, megabytes,
              static_cast<double>(fs::file_size(utf8Path)) / 1e6);
  std::printf("  iconv (CP932 → UTF-16)             %7.3f 秒\n", IconvSeconds(path));

  const std::map<std::string, double> duck = DuckDbSeconds(utf8Path, data);
  const std::string out = data + "/views-out.tsv";
  const int runs = copies > 10 ? 2 : 3;
  double peak = 0;
  const struct {
    const char* label;
    const char* name;
    double limit;  // seconds, on the ×80 file
    std::vector<std::string> args;
  } commands[] = {
      {"異なるすべての行 (G)", "differences_G", 0.6, {"--differences", "--column", "G"}},
      {"値の一覧 (G, 47 個)    ", "values_G", 1.0, {"--values", "--column", "G"}},
      {"値の一覧 (C)           ", "values_C", 1.0, {"--values", "--column", "C"}},
  };
  for (const auto& c : commands) {
    std::vector<std::string> args = {NORVALIS_CHECK_EXE, path};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const ProcessRun run = BestRun(runs, args, out);
    peak = std::max(peak, run.peakMegabytes);
    std::printf("  %s   %7.3f 秒 (プロセス全体", c.label, run.seconds);
    if (copies == 80) std::printf("、上限 %.1f 秒", c.limit);
    std::printf(")  %s\n", Beside(run.seconds, duck, c.name).c_str());
  }
  fs::remove(out);

  TCsv csv;
  const double load = BestOf(1, [&] { csv.Load(FromUtf8(path)); });
  const CsvTable& table = csv.Table();
  std::printf("  読み込み (索引まで)               %7.3f 秒  %u 行\n", load, table.RowCount());
  Differences differences;
  const double differ = BestOf(runs, [&] { differences = FindDifferences(table, false, 6); });
  std::printf("  異なる行だけ (G, 表示用の行の一覧) %7.3f 秒  %zu 行\n", differ,
              differences.rows.size());
  RowSelection selection;
  const double filter =
      BestOf(runs, [&] { selection = RowsContaining(table, false, u"町", true); });
  std::printf("  「町」を含む行の一覧              %7.3f 秒  %zu 行\n", filter,
              selection.rows.size());
  // Saving a filter of half the rows: 5 M of the ×80 file.
  RowList everySecond;
  for (std::uint32_t row = 0; row < table.RowCount(); row += 2)
    everySecond.push_back(row);
  const std::string saved = data + "/views-saved.csv";
  RowsSaveResult result;
  const double save =
      BestOf(runs, [&] { result = SaveRows(table, everySecond, false, FromUtf8(saved)); });
  fs::remove(saved);
  std::printf("  1 行おきの %zu 行の保存        %7.3f 秒  %.1f MB  %.0f MB/s (下限 500 MB/s)%s\n",
              everySecond.size(), save, static_cast<double>(result.bytes) / 1e6,
              static_cast<double>(result.bytes) / 1e6 / save, result.ok ? "" : "  (失敗)");
  std::printf("  最大常駐メモリ (norvalis-check)   %7.1f MB  (ファイルの %.2f 倍、上限 1.3 倍)\n",
              peak, peak / (megabytes / 1.048576));
}

int Run() {
  const char* corpus = std::getenv("NORVALIS_CORPUS");
  const std::string kenAll =
      std::string(corpus != nullptr ? corpus : "../shared/corpus") + "/KEN_ALL.CSV";
  const std::string once = ReadAll(kenAll);
  if (once.empty()) {
    std::printf("実データがありません: %s が見つからないため、測定を省きます。\n", kenAll.c_str());
    return 0;
  }
  const char* dataDir = std::getenv("NORVALIS_BENCH_DATA");
  const std::string data = dataDir != nullptr ? dataDir : "/tmp";
  fs::create_directories(data);
  for (const int copies : {8, 80})
    Measure(once, copies, data);
  return 0;
}

}  // namespace
}  // namespace norvalis::bench

int main() {
  return norvalis::bench::Run();
}
