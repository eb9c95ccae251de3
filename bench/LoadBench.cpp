// Load pipeline benchmark: generates its data with a fixed seed, then measures every stage of
// a load (read, detect, decode, parse) and the whole TCsv::LoadFromFile, each in a fresh
// process so the peak resident memory belongs to that load alone.

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
#include "csv/Csv.h"
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

// Each stage on its own, best of three runs.
int MeasureStages(const std::string& path) {
  const UnicodeString name(path.begin(), path.end());
  double read = 1e9, detect = 1e9, decode = 1e9, parse = 1e9;
  for (int run = 0; run < 3; ++run) {
    auto start = Clock::now();
    AnsiString content = TFileUtility::LoadFileToAnsiString(name);
    read = std::min(read, Seconds(start));
    start = Clock::now();
    volatile std::uint16_t codePage = TStringUtility::DetectCodePage(content);
    (void)codePage;
    detect = std::min(detect, Seconds(start));
    start = Clock::now();
    UnicodeString text = TStringUtility::ConvertToUnicodeString(content);
    decode = std::min(decode, Seconds(start));
    AnsiString().swap(content);
    start = Clock::now();
    TCsv csv;
    csv.LoadFromText(std::move(text));
    parse = std::min(parse, Seconds(start));
  }
  const double mb = static_cast<double>(FileSize(path)) / 1e6;
  std::printf("  読み込み %8.0f MB/s\n  判定     %8.3f ms (先頭 102400 バイト)\n", mb / read,
              detect * 1e3);
  std::printf("  変換     %8.0f MB/s\n  解析     %8.0f MB/s (ファイルのバイト数あたり)\n",
              mb / decode, mb / parse);
  return 0;
}

// The whole load as the window does it, with the memory it takes.
int MeasureWhole(const std::string& path) {
  const UnicodeString name(path.begin(), path.end());
  const double baseline = CurrentResidentMB();
  const double mbFile = static_cast<double>(FileSize(path)) / 1048576.0;
  double best = 1e9;
  TCsv csv;
  for (int run = 0; run < 3; ++run) {
    csv.Clear();
    const auto start = Clock::now();
    if (!csv.LoadFromFile(name)) {
      std::printf("  読み込みに失敗しました\n");
      return 1;
    }
    best = std::min(best, Seconds(start));
  }
  const double loaded = CurrentResidentMB() - baseline;
  const double peak = PeakResidentMB() - baseline;
  std::printf("  全体     %8.0f MB/s (%.3f 秒, %u 行 × %u 列, コードページ %u)\n",
              static_cast<double>(FileSize(path)) / 1e6 / best, best, csv.GetRowCount(),
              csv.GetColCount(), static_cast<unsigned>(csv.CodePage()));
  std::printf(
      "  メモリ   読み込み中の最大 %.0f MB (ファイルの %.2f 倍), 読み込み後 %.0f MB (%.2f 倍)\n",
      peak, peak / mbFile, loaded, loaded / mbFile);
  return 0;
}

int RunChild(const std::string& self, const std::string& mode, const std::string& path) {
  std::vector<char*> argv = {const_cast<char*>(self.c_str()), const_cast<char*>(mode.c_str()),
                             const_cast<char*>(path.c_str()), nullptr};
  pid_t pid = 0;
  if (posix_spawn(&pid, self.c_str(), nullptr, nullptr, argv.data(), environ) != 0) return 1;
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}

int Drive(const std::string& self) {
  const char* dirEnv = std::getenv("NORVALIS_BENCH_DATA");
  const std::string dir = dirEnv != nullptr ? dirEnv : "bench-data";
  ::mkdir(dir.c_str(), 0755);
  constexpr std::uint64_t Size = 100'000'000;
  struct Input {
    std::string name;
    void (*write)(const std::string&, std::uint64_t);
  };
  const std::vector<Input> inputs = {{dir + "/shiftjis_quoted_100mb.csv", WriteShiftJisQuoted},
                                     {dir + "/utf8_unquoted_100mb.csv", WriteUtf8Unquoted}};
  int failures = 0;
  for (const auto& input : inputs) {
    if (FileSize(input.name) < Size) {
      std::printf("データを作成しています: %s\n", input.name.c_str());
      input.write(input.name, Size);
    }
    std::printf("%s (%.1f MB)\n", input.name.c_str(),
                static_cast<double>(FileSize(input.name)) / 1e6);
    std::fflush(stdout);
    failures += RunChild(self, "--stages", input.name);
    failures += RunChild(self, "--whole", input.name);
  }
  return failures == 0 ? 0 : 1;
}

}  // namespace
}  // namespace norvalis::bench

int main(int argc, char** argv) {
  using namespace norvalis::bench;
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  if (argc == 3 && std::string(argv[1]) == "--stages") return MeasureStages(argv[2]);
  if (argc == 3 && std::string(argv[1]) == "--whole") return MeasureWhole(argv[2]);
  char self[4096] = {};
  const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
  return Drive(n > 0 ? std::string(self, static_cast<std::size_t>(n)) : std::string(argv[0]));
}
