// The column rules and the character check on the postal list ×80 (about 990 MB of Shift_JIS,
// 10 M rows × 15), each as a whole norvalis-check process, beside DuckDB answering the nearest
// question on the same rows in UTF-8 (node and @duckdb/node-api; "n/a" when missing).

#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "../tests/support/Iconv.h"

extern char** environ;

namespace norvalis::bench {
namespace {

struct Run {
  double seconds = 0;
  double peakMb = 0;
  int exitCode = -1;
  std::string out;
};

// Runs the program to its end with standard output to a file (read back) and its time and
// peak resident memory.
std::optional<Run> RunProcess(const std::vector<std::string>& args, const std::string& outPath) {
  std::vector<char*> argv;
  for (const std::string& a : args)
    argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0644);
  const auto start = std::chrono::steady_clock::now();
  pid_t pid = 0;
  const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return std::nullopt;
  int status = 0;
  rusage usage{};
  if (wait4(pid, &status, 0, &usage) != pid) return std::nullopt;
  Run run;
  run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  run.peakMb = static_cast<double>(usage.ru_maxrss) * 1024.0 / 1e6;  // kB to MB, as the file
  run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  std::ifstream in(outPath, std::ios::binary);
  std::getline(in, run.out);
  return run;
}

// The best of two runs: the first also warms the page cache.
std::optional<Run> BestOfTwo(const std::vector<std::string>& args, const std::string& outPath) {
  std::optional<Run> best;
  for (int i = 0; i < 2; ++i) {
    const std::optional<Run> run = RunProcess(args, outPath);
    if (!run) return std::nullopt;
    if (!best || run->seconds < best->seconds) best = run;
  }
  return best;
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The bytes `times` over, made once and kept in the data folder the other benchmarks share.
void WriteRepeated(const std::string& path, const std::string& bytes, int times) {
  std::error_code error;
  if (std::filesystem::file_size(path, error) == bytes.size() * static_cast<std::size_t>(times))
    return;
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  for (int i = 0; i < times; ++i)
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// The prefectures of the list (column G), each once, for the values rule.
std::string Prefectures(const std::string& utf8) {
  std::set<std::string> seen;
  std::string list;
  std::size_t at = 0;
  while (at < utf8.size()) {
    const std::size_t end = std::min(utf8.find('\n', at), utf8.size());
    std::size_t field = at;
    for (int i = 0; i < 6 && field < end; ++i)
      field = utf8.find(',', field) + 1;
    const std::size_t fieldEnd = utf8.find(',', field);
    std::string name = utf8.substr(field, fieldEnd - field);
    if (name.size() >= 2 && name.front() == '"') name = name.substr(1, name.size() - 2);
    if (seen.insert(name).second) list += (list.empty() ? "" : ",") + name;
    at = end + 1;
  }
  return list;
}

// Our run beside DuckDB's; limit: the seconds (0: none), share: of DuckDB's time.
void PrintRow(const char* task, const std::optional<Run>& ours, double megabytes,
              const std::optional<Run>& duck, double limit, double share) {
  if (!ours) {
    std::printf("  %-28s norvalis-check を起動できません\n", task);
    return;
  }
  std::printf("  %-28s %7.2f 秒 %6.0f MB/s  最大 %6.0f MB", task, ours->seconds,
              megabytes / ours->seconds, ours->peakMb);
  if (limit > 0) std::printf(" (上限 %.1f 秒)", limit);
  if (duck && duck->exitCode == 0) {
    std::printf(" | DuckDB %7.2f 秒  最大 %6.0f MB  (%.2f 倍", duck->seconds, duck->peakMb,
                ours->seconds / duck->seconds);
    if (share > 0) std::printf("、上限 %.2f 倍", share);
    std::printf(")\n");
  } else {
    std::printf(" | DuckDB n/a\n");
  }
}

int RunBench() {
  const char* corpus = std::getenv("NORVALIS_CORPUS");
  const std::string kenAll =
      std::string(corpus != nullptr ? corpus : "../shared/corpus") + "/KEN_ALL.CSV";
  const std::string once = ReadAll(kenAll);
  if (once.empty()) {
    std::printf("実データがありません: %s が見つからないため、測定を省きます。\n", kenAll.c_str());
    return 0;
  }
  const char* dataDir = std::getenv("NORVALIS_BENCH_DATA");
  const std::string dir = dataDir != nullptr ? dataDir : "/tmp";
  const std::string sjis = dir + "/KEN_ALL_x80.CSV";
  // The names the views benchmark gives the same files, so they are made once.
  const std::string utf8 = dir + "/KEN_ALL_x80.utf8.csv";
  const std::string sink = dir + "/rules-bench-out.txt";
  constexpr int Times = 80;
  WriteRepeated(sjis, once, Times);
  Iconv toUtf8("UTF-8", "CP932");
  const std::optional<std::string> onceUtf8 = toUtf8.Convert(once, once.size() * 2);
  if (!onceUtf8) {
    std::printf("iconv が CP932 を UTF-8 にできません\n");
    return 1;
  }
  WriteRepeated(utf8, *onceUtf8, Times);
  const double megabytes = static_cast<double>(once.size()) * Times / 1e6;
  const std::string prefectures = Prefectures(*onceUtf8);

  const std::vector<std::string> rules = {
      "A:regex=\\d{5}",
      "B:sjis-bytes=5",
      "C:unique",
      "D:chars={kana}",
      "E:required",
      "F:length=..100",
      "G:values=" + prefectures,
      "H:jis",
      "I:sjis",
      "J:values=0,1",
      "K:number=0..1",
      "L:regex=[01]",
      "M:length=1",
      "N:chars={digits}",
      "O:number",
  };
  const std::string program = NORVALIS_CHECK_PROGRAM;
  std::vector<std::string> rulesRun = {program, sjis};
  std::vector<std::string> withoutUnique = {program, sjis};
  for (const std::string& rule : rules) {
    rulesRun.insert(rulesRun.end(), {"--rule", rule});
    if (rule != "C:unique") withoutUnique.insert(withoutUnique.end(), {"--rule", rule});
  }

  // The yardstick needs node and the module; either missing, it is not measured.
  const char* modules = std::getenv("NORVALIS_DUCKDB_MODULES");
  const bool duckdb = modules != nullptr && std::system("command -v node >/dev/null 2>&1") == 0 &&
                      std::ifstream(std::string(modules) + "/@duckdb/node-api/package.json").good();
  if (duckdb) setenv("NODE_PATH", modules, 1);
  const std::string script = NORVALIS_BENCH_SOURCE "/duckdb/yardstick.cjs";
  const auto duck = [&](const std::vector<std::string>& args) -> std::optional<Run> {
    if (!duckdb) return std::nullopt;
    return BestOfTwo(args, sink);
  };

  std::printf("規則と文字の検査: 郵便番号データ ×%d (%.1f MB Shift_JIS)、プロセス全体の時間\n",
              Times, megabytes);
  const std::optional<Run> characters = BestOfTwo({program, sjis, "--characters"}, sink);
  const std::optional<Run> duckCharacters = duck({"node", script, "characters", utf8});
  PrintRow("すべてのセルの文字の検査", characters, megabytes, duckCharacters, 2.0, 0.25);
  const std::optional<Run> checked = BestOfTwo(rulesRun, sink);
  const std::optional<Run> duckRules = duck({"node", script, "rules", utf8, prefectures});
  PrintRow("15 列に 1 規則ずつ", checked, megabytes, duckRules, 2.5, 0);
  const std::optional<Run> lighter = BestOfTwo(withoutUnique, sink);
  PrintRow("同じ規則 (unique を除く)", lighter, megabytes, std::nullopt, 0, 0);
  if (checked && lighter) {
    std::printf(
        "  ファイル %.0f MB、最大メモリはその %.2f 倍 (上限 1.3 倍と unique の分); "
        "unique (C 列) が持つ分 %.0f MB、除くと %.2f 倍\n",
        megabytes, checked->peakMb / megabytes, checked->peakMb - lighter->peakMb,
        lighter->peakMb / megabytes);
  }
  if (duckRules && duckRules->exitCode == 0)
    std::printf("  DuckDB が数えた行: %s\n", duckRules->out.c_str());
  std::remove(sink.c_str());
  return 0;
}

}  // namespace
}  // namespace norvalis::bench

int main() {
  return norvalis::bench::RunBench();
}
