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
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "version/AppInfo.h"
#include "check/ColumnCheck.h"
#include "check/ColumnCheckAll.h"
#include "csv/Csv.h"
#include "csv/CsvDocument.h"
#include "csv/CsvUtility.h"
#include "persistence/Project.h"
#include "text/Exception.h"
#include "text/FileUtility.h"
#include "text/Encodings.h"
#include "text/StringUtility.h"
#include "text/UnicodeString.h"

namespace norvalis {
namespace {

constexpr int ExitOk = 0;
constexpr int ExitDiffers = 1;
constexpr int ExitNoRows = 2;
constexpr int ExitUnreadable = 3;
constexpr int ExitUsage = 64;

constexpr std::string_view Usage =
    "使い方:\n"
    "  norvalis-check ファイル [--title] [--column 列] [--code-page N] [--format json]\n"
    "  norvalis-check --project プロジェクト.NVS [--title] [--column 列] [--code-page N]\n"
    "                 [--format json]\n"
    "      列の値がすべて先頭のデータ行と一致するかを調べる\n"
    "      列は A … XFD か 1 から始まる番号 (省略時は A)\n"
    "      N はファイルを読む文字コードのコードページ番号 (0 か省略時は自動判定)\n"
    "  norvalis-check ファイル --all-columns [--title] [--code-page N] [--format json]\n"
    "      すべての列を一度に調べ、列ごとに「一致」か最初に異なる行とその値を表示する\n"
    "      終了コード: 0 一致, 1 異なる行あり, 2 検証する行なし, 3 ファイルを読めない, 64 "
    "使い方の誤り\n"
    "  norvalis-check --encoding ファイル   文字コード(コードページ番号)を表示する\n"
    "  norvalis-check --dump ファイル       表をJSONの配列として表示する\n"
    "  norvalis-check --stats ファイル      読み込みの各段階の時間とメモリを表示する\n"
    "  norvalis-check --show-project プロジェクト.NVS   プロジェクトをJSONで表示する\n"
    "  norvalis-check --write-project プロジェクト.NVS CSVファイル [--title] [--column 列]\n"
    "      プロジェクトファイルを書き込む\n"
    "  norvalis-check --version            バージョンを表示する\n"
    "  -- のあとはすべてファイル名 (「-」で始まる名前に使う)\n";

// Wrong usage: the usage text and exit code 64.
struct UsageError {};

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
    const char escape[6] = {
        '\\', 'u', Hex[(u >> 12) & 0xF], Hex[(u >> 8) & 0xF], Hex[(u >> 4) & 0xF], Hex[u & 0xF]};
    out.Put(std::string_view(escape, 6));
  }
  out.Put('"');
}

void PrintError(const std::string& message) {
  std::fprintf(stderr, "%s\n", message.c_str());
}

// Opens the project file once, so a missing one is reported instead of read as defaults;
// raises the same file-open error as the reader.
void EnsureReadable(const UnicodeString& path) {
  const int fd = ::open(ToUtf8(path).c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) throw EFOpenError::ForPath(path, errno);
  struct stat st {};
  const bool isDirectory = ::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode);
  ::close(fd);
  if (isDirectory) throw EFOpenError::ForPath(path, EISDIR);
}

// The window shows a file it cannot load as an empty table; a script is told, with the
// reason the load itself gave.
void LoadOrThrow(CsvDocument& document, const UnicodeString& path, std::uint16_t codePage = 0) {
  const CsvLoadResult result = document.Load(path, codePage);
  if (!result.ok()) throw Exception(result.message);
}

int Encoding(const UnicodeString& path) {
  const AnsiString content = TFileUtility::LoadFileToAnsiString(path);
  std::printf("%u\n", static_cast<unsigned>(TStringUtility::DetectCodePage(content)));
  return ExitOk;
}

int Dump(const UnicodeString& path) {
  CsvDocument document;
  LoadOrThrow(document, path);
  const TCsv& csv = document.Csv();
  Output out;
  out.Put('[');
  const std::shared_ptr<const CsvTable> table = csv.Share();
  const std::uint32_t rows = csv.GetRowCount();
  std::vector<UnicodeString> cells;
  for (std::uint32_t r = 0; r < rows; ++r) {
    if (r != 0) out.Put(',');
    out.Put('[');
    table->RowCells(r, cells);
    for (std::size_t c = 0; c < cells.size(); ++c) {
      if (c != 0) out.Put(',');
      PutJsonString(out, cells[c]);
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

// The load the window and the check make, timed whole and by its own stages.
int Stats(const UnicodeString& path) {
  TCsv csv;
  const auto start = std::chrono::steady_clock::now();
  const CsvLoadResult result = csv.Load(path);
  const double total = SecondsSince(start);
  if (!result.ok()) throw Exception(result.message);
  struct stat info {};
  const double megabytes =
      ::stat(ToUtf8(path).c_str(), &info) == 0 ? static_cast<double>(info.st_size) / 1e6 : 0.0;
  auto rate = [&](double seconds) { return seconds > 0 ? megabytes / seconds : 0.0; };
  const CsvLoadStages& stages = csv.LastLoadStages();
  std::printf("読み込み全体: %.3f 秒 (%.0f MB/s)\n", total, rate(total));
  std::printf("ファイル: %s\n", ToUtf8(path).c_str());
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

// Column letters (any case, A … XFD) or a 1-based number; the zero-based index.
std::int32_t ParseColumn(const std::string& text) {
  const UnicodeString letters = FromUtf8(text);
  const std::int32_t fromLetters = TCsvUtility::LettersToColumnIndex(letters);
  if (fromLetters >= 0) return fromLetters;
  if (text.empty() || text.size() > 9 ||
      text.find_first_not_of("0123456789") != std::string::npos) {
    throw UsageError{};
  }
  const long number = std::stol(text);
  if (number < 1) throw UsageError{};
  return static_cast<std::int32_t>(number - 1);
}

struct CheckOptions {
  std::string file;
  std::string project;
  bool title = false;
  bool titleGiven = false;
  std::int32_t column = 0;
  bool columnGiven = false;
  bool json = false;
  bool allColumns = false;
  std::uint16_t codePage = 0;
  bool codePageGiven = false;
};

// A code page number as the project file's CODEPAGE key means it: 0 or one this program does
// not offer is automatic.
std::uint16_t ParseCodePage(const std::string& text) {
  if (text.empty() || text.size() > 5 ||
      text.find_first_not_of("0123456789") != std::string::npos) {
    throw UsageError{};
  }
  const long number = std::stol(text);
  if (number > UINT16_MAX || !Encodings::IsChoice(static_cast<std::uint16_t>(number))) return 0;
  return static_cast<std::uint16_t>(number);
}

// Parses the options shared by the check and --write-project; positional arguments are
// returned in order.
std::vector<std::string> ParseOptions(const std::vector<std::string>& args, CheckOptions& o,
                                      bool allowFormat) {
  std::vector<std::string> positional;
  bool namesOnly = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (namesOnly) {
      positional.push_back(a);
      continue;
    }
    auto value = [&]() -> const std::string& {
      if (i + 1 >= args.size()) throw UsageError{};
      return args[++i];
    };
    if (a == "--") {
      namesOnly = true;
    } else if (a == "--title") {
      o.title = true;
      o.titleGiven = true;
    } else if (a == "--column") {
      o.column = ParseColumn(value());
      o.columnGiven = true;
    } else if (a == "--format" && allowFormat) {
      const std::string& format = value();
      if (format == "json") {
        o.json = true;
      } else if (format != "text") {
        throw UsageError{};
      }
    } else if (a == "--code-page" && allowFormat) {
      o.codePage = ParseCodePage(value());
      o.codePageGiven = true;
    } else if (a == "--all-columns" && allowFormat) {
      o.allColumns = true;
    } else if (a == "--project" && allowFormat) {
      o.project = value();
    } else if (a.size() > 1 && a[0] == '-' && a != "-") {
      throw UsageError{};
    } else {
      positional.push_back(a);
    }
  }
  return positional;
}

const char* OutcomeName(CheckResult::Outcome outcome) {
  switch (outcome) {
    case CheckResult::Outcome::AllMatch:
      return "match";
    case CheckResult::Outcome::Differs:
      return "differs";
    case CheckResult::Outcome::NoRows:
      return "norows";
  }
  return "";
}

int ExitCodeOf(CheckResult::Outcome outcome) {
  switch (outcome) {
    case CheckResult::Outcome::AllMatch:
      return ExitOk;
    case CheckResult::Outcome::Differs:
      return ExitDiffers;
    case CheckResult::Outcome::NoRows:
      return ExitNoRows;
  }
  return ExitOk;
}

// Every column at once: one line per column (tab-separated: letter, title, "一致" or the
// first differing row, its value), or JSON.
int CheckAll(const TCsv& csv, const CheckOptions& o) {
  const std::shared_ptr<const CsvTable> table = csv.Share();
  const AllColumnsResult result = CheckAllColumns(table ? *table : CsvTable::Empty(), o.title);
  if (o.json) {
    Output out;
    out.Put("{\"outcome\":\"");
    out.Put(OutcomeName(result.outcome));
    out.Put("\",\"columns\":[");
    const std::vector<AllColumnsLine> lines = AllColumnsLines(result);
    for (std::size_t i = 0; i < lines.size(); ++i) {
      const CheckResult& column = result.columns[i];
      const bool differs = column.outcome == CheckResult::Outcome::Differs;
      if (i != 0) out.Put(',');
      out.Put("{\"column\":");
      PutJsonString(out, lines[i].letter);
      out.Put(",\"title\":");
      if (o.title) {
        PutJsonString(out, lines[i].title);
      } else {
        out.Put("null");
      }
      out.Put(",\"outcome\":\"");
      out.Put(OutcomeName(column.outcome));
      out.Put("\",\"row\":");
      out.Put(differs ? std::to_string(column.RowNumber()) : "null");
      out.Put(",\"cell\":");
      if (differs) {
        PutJsonString(out, column.cell);
      } else {
        out.Put("null");
      }
      out.Put("}");
    }
    out.Put("],\"code_page\":");
    out.Put(std::to_string(csv.CodePage()));
    out.Put("}\n");
  } else if (result.outcome == CheckResult::Outcome::NoRows) {
    std::printf("%s\n", ToUtf8(CheckStatusText(CheckResult{})).c_str());
  } else {
    Output out;
    out.Put(ToUtf8(AllColumnsTsv(AllColumnsLines(result))));
  }
  return ExitCodeOf(result.outcome);
}

int Check(const std::vector<std::string>& args) {
  CheckOptions o;
  const std::vector<std::string> positional = ParseOptions(args, o, true);
  if (o.project.empty() == positional.empty() || positional.size() > 1) throw UsageError{};
  if (o.allColumns && o.columnGiven) throw UsageError{};

  UnicodeString csvPath;
  if (!o.project.empty()) {
    const UnicodeString projectPath = FromUtf8(o.project);
    EnsureReadable(projectPath);
    TProject project;
    project.LoadFromFile(projectPath);
    csvPath = project.FileName;
    if (!o.titleGiven) o.title = project.Title;
    if (!o.columnGiven) o.column = project.Col;
    if (!o.codePageGiven) o.codePage = project.CodePage;
  } else {
    csvPath = FromUtf8(positional[0]);
  }
  CsvDocument document;
  LoadOrThrow(document, csvPath, o.codePage);
  const TCsv& csv = document.Csv();
  if (o.allColumns) return CheckAll(csv, o);
  const std::shared_ptr<const CsvTable> table = document.Table();
  const CheckResult result = CheckColumn(table ? *table : CsvTable::Empty(), o.title, o.column);

  if (o.json) {
    Output out;
    out.Put("{\"outcome\":\"");
    out.Put(OutcomeName(result.outcome));
    out.Put("\",\"row\":");
    const bool differs = result.outcome == CheckResult::Outcome::Differs;
    out.Put(differs ? std::to_string(result.RowNumber()) : "null");
    out.Put(",\"cell\":");
    if (differs) {
      PutJsonString(out, result.cell);
    } else {
      out.Put("null");
    }
    out.Put(",\"column\":");
    PutJsonString(out, TCsvUtility::ColumnIndexToLetters(o.column));
    out.Put(",\"rows_compared\":");
    out.Put(std::to_string(result.compared));
    out.Put(",\"code_page\":");
    out.Put(std::to_string(csv.CodePage()));
    out.Put("}\n");
  } else {
    std::printf("%s\n", ToUtf8(CheckStatusText(result)).c_str());
  }
  return ExitCodeOf(result.outcome);
}

int ShowProject(const std::string& path) {
  const UnicodeString projectPath = FromUtf8(path);
  TProject project;
  project.LoadFromFile(projectPath);
  Output out;
  out.Put("{\"FILENAME\":");
  PutJsonString(out, project.FileName);
  out.Put(project.Title ? ",\"TITLE\":true" : ",\"TITLE\":false");
  out.Put(",\"COL\":" + std::to_string(project.Col) + "}\n");
  return ExitOk;
}

int WriteProject(const std::vector<std::string>& args) {
  CheckOptions o;
  const std::vector<std::string> positional = ParseOptions(args, o, false);
  if (positional.size() != 2) throw UsageError{};
  TProject project(FromUtf8(positional[1]), o.column, o.title);
  project.SaveToFile(FromUtf8(positional[0]));
  return ExitOk;
}

// The one file name of a command that takes nothing else, "--" allowed before it.
std::optional<std::string> SingleName(const std::vector<std::string>& rest) {
  if (rest.size() == 1 && rest[0] != "--") return rest[0];
  if (rest.size() == 2 && rest[0] == "--") return rest[1];
  return std::nullopt;
}

int Run(const std::vector<std::string>& args) {
  if (args.empty()) throw UsageError{};
  const std::string& command = args[0];
  const std::vector<std::string> rest(args.begin() + 1, args.end());
  const std::optional<std::string> name = SingleName(rest);
  if (command == "--encoding" && name) return Encoding(FromUtf8(*name));
  if (command == "--dump" && name) return Dump(FromUtf8(*name));
  if (command == "--stats" && name) return Stats(FromUtf8(*name));
  if (command == "--show-project" && name) return ShowProject(*name);
  if (command == "--write-project") return WriteProject(rest);
  if (command == "--help" || command == "-h") {
    std::fputs(std::string(Usage).c_str(), stdout);
    return ExitOk;
  }
  if (command == "--version") {
    // The file version of the version block the window's About box shows.
    const UnicodeString version = TkAppInfo().GetValue(TkAppInfo::FileVersion);
    std::printf("norvalis-check %s\n", ToUtf8(version).c_str());
    return ExitOk;
  }
  return Check(args);
}

}  // namespace
}  // namespace norvalis

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  try {
    return norvalis::Run(args);
  } catch (const norvalis::UsageError&) {
    std::fputs(std::string(norvalis::Usage).c_str(), stderr);
    return norvalis::ExitUsage;
  } catch (const norvalis::EFOpenError& e) {
    norvalis::PrintError(e.what());
    return norvalis::ExitUnreadable;
  } catch (const std::exception& e) {
    norvalis::PrintError(e.what());
    return norvalis::ExitUnreadable;
  }
}
