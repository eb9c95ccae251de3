// norvalis-check: the window's load pipeline and check, without a window, for scripts.

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>
#include <string_view>
#include <vector>

#include "csv/Csv.h"
#include "text/Exception.h"
#include "text/FileUtility.h"
#include "text/StringUtility.h"
#include "text/UnicodeString.h"

namespace norvalis {
namespace {

constexpr int ExitOk = 0;
constexpr int ExitUnreadable = 3;
constexpr int ExitUsage = 64;

constexpr std::string_view Usage =
    "使い方:\n"
    "  norvalis-check --encoding ファイル   文字コード(コードページ番号)を表示する\n"
    "  norvalis-check --dump ファイル       表をJSONの配列として表示する\n"
    "  norvalis-check --stats ファイル      読み込みの各段階の時間とメモリを表示する\n";

// Buffered stdout; the dump of a large table is written in big blocks.
class Output {
 public:
  ~Output() { Flush(); }
  void Put(char c) {
    buffer_ += c;
    if (buffer_.size() >= 1 << 16) Flush();
  }
  void Put(std::string_view s) {
    buffer_ += s;
    if (buffer_.size() >= 1 << 16) Flush();
  }
  void Flush() {
    std::fwrite(buffer_.data(), 1, buffer_.size(), stdout);
    buffer_.clear();
  }

 private:
  std::string buffer_;
};

// A JSON string whose every code unit outside U+0020..U+007E, the quote and the backslash
// is a \uXXXX escape: pure ASCII and lossless, lone surrogates included.
void PutJsonString(Output& out, std::u16string_view text) {
  static constexpr char Hex[] = "0123456789ABCDEF";
  out.Put('"');
  for (const char16_t u : text) {
    if (u >= 0x20 && u <= 0x7E && u != u'"' && u != u'\\') {
      out.Put(static_cast<char>(u));
      continue;
    }
    const char escape[6] = {'\\', 'u', Hex[(u >> 12) & 0xF], Hex[(u >> 8) & 0xF],
                            Hex[(u >> 4) & 0xF], Hex[u & 0xF]};
    out.Put(std::string_view(escape, 6));
  }
  out.Put('"');
}

void PrintError(const std::string& message) {
  std::fprintf(stderr, "%s\n", message.c_str());
}

// Opens the file once to tell a missing or unreadable file from an empty table; raises
// the same file-open error as the reader.
void EnsureReadable(const UnicodeString& path) {
  const int fd = ::open(ToUtf8(path).c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) throw EFOpenError::ForPath(path, errno);
  struct stat st {};
  const bool isDirectory = ::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode);
  ::close(fd);
  if (isDirectory) throw EFOpenError::ForPath(path, EISDIR);
}

int Encoding(const UnicodeString& path) {
  const AnsiString content = TFileUtility::LoadFileToAnsiString(path);
  std::printf("%u\n", static_cast<unsigned>(TStringUtility::DetectCodePage(content)));
  return ExitOk;
}

int Dump(const UnicodeString& path) {
  EnsureReadable(path);
  TCsv csv;
  csv.LoadFromFile(path);
  Output out;
  out.Put('[');
  const std::uint32_t rows = csv.GetRowCount();
  const std::uint32_t cols = csv.GetColCount();
  for (std::uint32_t r = 0; r < rows; ++r) {
    if (r != 0) out.Put(',');
    out.Put('[');
    for (std::uint32_t c = 0; c < cols; ++c) {
      if (c != 0) out.Put(',');
      PutJsonString(out, csv.CellView(r, c));
    }
    out.Put(']');
  }
  out.Put("]\n");
  return ExitOk;
}

double SecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

long PeakResidentKiB() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

int Stats(const UnicodeString& path) {
  using Clock = std::chrono::steady_clock;
  auto start = Clock::now();
  AnsiString content = TFileUtility::LoadFileToAnsiString(path);
  const double readSeconds = SecondsSince(start);
  const double megabytes = static_cast<double>(content.size()) / 1e6;

  start = Clock::now();
  const std::uint16_t codePage = TStringUtility::DetectCodePage(content);
  const double detectSeconds = SecondsSince(start);

  start = Clock::now();
  UnicodeString text = TStringUtility::ConvertToUnicodeString(content);
  const double decodeSeconds = SecondsSince(start);
  AnsiString().swap(content);

  start = Clock::now();
  TCsv csv;
  csv.LoadFromText(std::move(text));
  const double parseSeconds = SecondsSince(start);

  const double total = readSeconds + detectSeconds + decodeSeconds + parseSeconds;
  auto rate = [&](double seconds) { return seconds > 0 ? megabytes / seconds : 0.0; };
  std::printf("ファイル: %s\n", ToUtf8(path).c_str());
  std::printf("サイズ: %.1f MB\n", megabytes);
  std::printf("コードページ: %u\n", static_cast<unsigned>(codePage));
  std::printf("行数: %u\n", csv.GetRowCount());
  std::printf("列数: %u\n", csv.GetColCount());
  std::printf("読み込み: %.3f 秒 (%.0f MB/s)\n", readSeconds, rate(readSeconds));
  std::printf("判定: %.3f 秒\n", detectSeconds);
  std::printf("変換: %.3f 秒 (%.0f MB/s)\n", decodeSeconds, rate(decodeSeconds));
  std::printf("解析: %.3f 秒 (%.0f MB/s)\n", parseSeconds, rate(parseSeconds));
  std::printf("合計: %.3f 秒 (%.0f MB/s)\n", total, rate(total));
  std::printf("最大常駐メモリ: %.1f MB\n", static_cast<double>(PeakResidentKiB()) / 1024.0);
  return ExitOk;
}

int Run(const std::vector<std::string>& args) {
  if (args.size() == 2) {
    const UnicodeString path = FromUtf8(args[1]);
    if (args[0] == "--encoding") return Encoding(path);
    if (args[0] == "--dump") return Dump(path);
    if (args[0] == "--stats") return Stats(path);
  }
  std::fputs(std::string(Usage).c_str(), stderr);
  return ExitUsage;
}

}  // namespace
}  // namespace norvalis

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  try {
    return norvalis::Run(args);
  } catch (const norvalis::EFOpenError& e) {
    norvalis::PrintError(e.what());
    return norvalis::ExitUnreadable;
  } catch (const std::exception& e) {
    norvalis::PrintError(e.what());
    return norvalis::ExitUnreadable;
  }
}
