#include "Options.h"

#include <algorithm>
#include <array>

#include "Commands.h"
#include "check/CharacterCheck.h"
#include "csv/CsvUtility.h"
#include "text/Encodings.h"
#include "text/UnicodeString.h"

namespace norvalis::cli {

namespace {

// Column letters (any case, A … XFD) or a 1-based number.
bool parseColumn(Options& o, const std::string& text) {
  const std::int32_t fromLetters = TCsvUtility::LettersToColumnIndex(FromUtf8(text));
  if (fromLetters >= 0) {
    o.column = fromLetters;
  } else {
    if (text.empty() || text.size() > 9 ||
        text.find_first_not_of("0123456789") != std::string::npos) {
      return false;
    }
    const long number = std::stol(text);
    if (number < 1) return false;
    o.column = static_cast<std::int32_t>(number - 1);
  }
  o.columnGiven = true;
  return true;
}

// A code page number as the project file's CODEPAGE key means it: 0 or one this program does
// not offer is automatic.
bool parseCodePage(Options& o, const std::string& text) {
  if (text.empty() || text.size() > 5 ||
      text.find_first_not_of("0123456789") != std::string::npos) {
    return false;
  }
  const long number = std::stol(text);
  const bool offered =
      number <= UINT16_MAX && Encodings::IsChoice(static_cast<std::uint16_t>(number));
  o.codePage = offered ? static_cast<std::uint16_t>(number) : 0;
  o.codePageGiven = true;
  return true;
}

// COL=VALUE, or COL!=VALUE for the rows without the value.
bool parseFilter(Options& o, const std::string& text) {
  const std::size_t equals = text.find('=');
  if (equals == std::string::npos) return false;
  std::string column = text.substr(0, equals);
  o.filterWith = column.empty() || column.back() != '!';
  if (!o.filterWith) column.pop_back();
  Options parsed;
  if (!parseColumn(parsed, column)) return false;
  o.filterColumn = parsed.column;
  o.filterValue = text.substr(equals + 1);
  return true;
}

bool parseFormat(Options& o, const std::string& text) {
  if (text != "json" && text != "text") return false;
  o.json = text == "json";
  return true;
}

// Kind names separated by commas; each must be known.
bool parseKinds(Options& o, const std::string& text) {
  unsigned kinds = 0;
  std::string_view rest = text;
  while (true) {
    const std::size_t comma = rest.find(',');
    const std::optional<CharacterKind> kind = CharacterKindFromName(rest.substr(0, comma));
    if (!kind) return false;
    kinds |= 1u << static_cast<unsigned>(*kind);
    if (comma == std::string_view::npos) break;
    rest.remove_prefix(comma + 1);
  }
  o.kinds = kinds;
  return true;
}

struct OptionRow {
  std::string_view name;
  Option bit;
  std::string_view value;  // the value's name in the help; empty for a flag
  bool (*apply)(Options&, const std::string& value);
};

constexpr OptionRow OptionTable[] = {
    {"--title", TitleOption, "",
     [](Options& o, const std::string&) { return o.title = o.titleGiven = true; }},
    {"--column", ColumnOption, "列", parseColumn},
    {"--code-page", CodePageOption, "N", parseCodePage},
    {"--format", FormatOption, "json", parseFormat},
    {"--project", ProjectOption, "プロジェクト.NVS",
     [](Options& o, const std::string& v) {
       o.project = v;
       return true;
     }},
    {"--filter", FilterOption, "列=値", parseFilter},
    {"--save", SaveOption, "出力.csv",
     [](Options& o, const std::string& v) {
       o.save = v;
       return !v.empty();
     }},
    {"--rule", RuleOption, "規則",
     [](Options& o, const std::string& v) {
       o.rules.push_back(v);
       return true;
     }},
    {"--kinds", KindsOption, "種類,…", parseKinds},
};

constexpr unsigned ReadsCsv = CodePageOption;

constexpr Command CommandTable[] = {
    {"", "", TitleOption | ColumnOption | ReadsCsv | FormatOption | ProjectOption, 0, 1, "ファイル",
     "列の値がすべて先頭のデータ行と一致するかを調べる\n"
     "--project はファイル・列名の有無・列・文字コードをプロジェクトから取る (オプションが優先)\n"
     "列は A … XFD か 1 から始まる番号 (省略時は A)",
     RunCheck},
    {"--all-columns", "", TitleOption | ReadsCsv | FormatOption | ProjectOption, 0, 1, "ファイル",
     "すべての列を一度に調べ、列ごとに「一致」か最初に異なる行とその値を表示する", RunAllColumns},
    {"--differences", "", TitleOption | ColumnOption | ReadsCsv | FormatOption | ProjectOption, 0,
     1, "ファイル",
     "列の値が先頭のデータ行と異なるすべての行を「行番号<TAB>値」で表示する (異なる行があれば 1)",
     RunDifferences},
    {"--values", "", TitleOption | ColumnOption | ReadsCsv | FormatOption | ProjectOption, 0, 1,
     "ファイル",
     "列のすべての値を「件数<TAB>最初の行番号<TAB>値」で、件数の多い順 (同数は最初の行の順) "
     "に表示する",
     RunValues},
    {"--filter", "", FilterOption | SaveOption | TitleOption | ReadsCsv | ProjectOption, 0, 1,
     "ファイル",
     "列の値が「値」に一致する行 (列!=値 なら一致しない行) を --save のファイルに保存する\n"
     "元のファイルのバイトのまま (ISO-2022-JP・UTF-7 などは UTF-8 BOM付き)、--title なら列名の"
     "行を先頭に",
     RunFilter},
    {"--rules", "", TitleOption | ReadsCsv | FormatOption | ProjectOption | RuleOption, 0, 1,
     "ファイル",
     "列の規則 (--rule、なければプロジェクトの規則) に合わない値を、1件1行で\n"
     "「行<TAB>列<TAB>規則<TAB>値」と表示する (ファイルと --rule だけでも同じ)\n"
     "規則は 列:種類 — required, length=最小..最大, sjis, sjis-bytes=最小..最大, jis,\n"
     "chars=文字の集合 ({digits} {upper} {lower} {kana} {zengin} {fullwidth}), values=値,値,…,\n"
     "unique, regex=正規表現 (PCRE2), number[=最小..最大], date=YYYYMMDD|YYYY/MM/DD|YYYY-MM-DD|"
     "YYYY/M/D, same\n"
     "終了コード 0 違反なし, 1 違反あり, 2 検証する行なし, 64 規則の誤り (位置を表示)",
     RunRules},
    {"--characters", "", TitleOption | ReadsCsv | FormatOption | ProjectOption | KindsOption, 0, 1,
     "ファイル",
     "文字の問題を、1件1行で「行<TAB>列<TAB>種類<TAB>文字<TAB>値」と表示する\n"
     "種類: mojibake, machine-dependent, mixed-forms, control, spaces (--kinds で選ぶ)",
     RunCharacters},
    {"--encoding", "", ReadsCsv, 1, 1, "ファイル",
     "文字コード(コードページ番号)を表示する (--code-page があれば読むときに使う番号)",
     RunEncoding},
    {"--dump", "", ReadsCsv, 1, 1, "ファイル", "表をJSONの配列として表示する", RunDump},
    {"--stats", "", ReadsCsv, 1, 1, "ファイル", "読み込みの各段階の時間とメモリを表示する",
     RunStats},
    {"--show-project", "", 0, 1, 1, "プロジェクト.NVS", "プロジェクトをJSONで表示する",
     RunShowProject},
    {"--write-project", "", TitleOption | ColumnOption, 2, 2, "プロジェクト.NVS CSVファイル",
     "プロジェクトファイルを書き込む", RunWriteProject},
    {"--version", "", 0, 0, 0, "", "バージョンを表示する", RunVersion},
    {"--help", "-h", 0, 0, 0, "", "この説明を表示する", RunHelp},
};

const OptionRow* findOption(std::string_view name) {
  for (const OptionRow& option : OptionTable)
    if (option.name == name) return &option;
  return nullptr;
}

const Command* findCommand(std::string_view name) {
  for (const Command& command : CommandTable)
    if (!command.name.empty() && (command.name == name || command.alias == name)) return &command;
  return nullptr;
}

}  // namespace

std::span<const Command> Commands() {
  return CommandTable;
}

std::optional<Invocation> ParseCommandLine(std::span<const std::string> args) {
  if (args.empty()) return std::nullopt;
  Invocation invocation;
  Options& o = invocation.options;
  unsigned given = 0;
  bool namesOnly = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (namesOnly || arg == "-" || arg.empty() || arg[0] != '-') {
      o.names.push_back({arg, !namesOnly && arg == "-"});
    } else if (arg == "--") {
      namesOnly = true;
    } else if (const Command* command = findCommand(arg)) {
      if (invocation.command != nullptr) return std::nullopt;
      invocation.command = command;
      // A command that takes a value (--filter COL=VALUE) reads it as its option of that name.
      if (const OptionRow* option = findOption(arg)) {
        if (i + 1 >= args.size() || !option->apply(o, args[++i])) return std::nullopt;
        given |= option->bit;
      }
    } else if (const OptionRow* option = findOption(arg)) {
      std::string value;
      if (!option->value.empty()) {
        if (i + 1 >= args.size()) return std::nullopt;
        value = args[++i];
      }
      if (!option->apply(o, value)) return std::nullopt;
      given |= option->bit;
    } else {
      return std::nullopt;
    }
  }
  // Rules given to the plain check make it the rules check.
  if (invocation.command == nullptr && (given & RuleOption) != 0) {
    invocation.command = findCommand("--rules");
  }
  const Command& command = invocation.command ? *invocation.command : CommandTable[0];
  invocation.command = &command;
  if ((given & ~command.options) != 0) return std::nullopt;
  if (o.names.size() < command.minNames || o.names.size() > command.maxNames) return std::nullopt;
  return invocation;
}

std::string UsageText() {
  std::string text = "使い方:\n";
  for (const Command& command : CommandTable) {
    std::string line = "  norvalis-check";
    if (!command.name.empty()) {
      line += ' ';
      line += command.name;
      if (const OptionRow* own = findOption(command.name)) {
        line += ' ';
        line += own->value;
      }
    }
    // A command that may take its file from a project shows the two as alternatives.
    const bool project = (command.options & ProjectOption) != 0;
    if (!command.names.empty()) {
      line += project ? " (" : " ";
      line += command.names;
      if (project) line += " | --project プロジェクト.NVS)";
    }
    for (const OptionRow& option : OptionTable) {
      if ((command.options & option.bit) == 0 || option.bit == ProjectOption) continue;
      if (option.name == command.name) continue;
      // --save is taken only where it is needed.
      const bool required = option.bit == SaveOption;
      line += required ? " " : " [";
      line += option.name;
      if (!option.value.empty()) {
        line += ' ';
        line += option.value;
      }
      if (!required) line += ']';
    }
    text += line;
    text += '\n';
    std::string_view description = command.description;
    while (!description.empty()) {
      const std::size_t end = std::min(description.find('\n'), description.size());
      text += "      ";
      text += description.substr(0, end);
      text += '\n';
      description.remove_prefix(std::min(end + 1, description.size()));
    }
  }
  text += "  --code-page N: CSVファイルを読む文字コード。0 か省略時は自動判定、ほかは";
  for (const Encodings::Choice& choice : Encodings::Choices()) {
    text += ' ';
    text += std::to_string(choice.codePage);
    text += ' ';
    text += ToUtf8(choice.name);
  }
  text +=
      "\n"
      "  ファイルに - を指定すると標準入力から読む (「-」という名前のファイルは -- - と書く)\n"
      "  -- のあとはすべてファイル名 (「-」で始まる名前に使う)\n"
      "  終了コード: 0 一致 (または成功), 1 異なる行あり, 2 検証する行なし, 3 ファイルを読めない, "
      "64 "
      "使い方の誤り\n";
  return text;
}

}  // namespace norvalis::cli
