// The column rules and the character check: every finding, one a line, or JSON.

#include <algorithm>
#include <charconv>
#include <string>
#include <vector>

#include "Commands.h"
#include "Output.h"
#include "check/CharacterCheck.h"
#include "check/ColumnRule.h"
#include "check/RuleCheck.h"
#include "csv/CsvUtility.h"

namespace norvalis::cli {

namespace {

UnicodeString columnName(std::uint32_t col) {
  const UnicodeString letters = TCsvUtility::ColumnIndexToLetters(static_cast<std::int32_t>(col));
  // Past XFD there are no letters; the number names the column as --rule took it.
  return letters.empty() ? FromUtf8(std::to_string(std::uint64_t{col} + 1)) : letters;
}

void appendNumber(std::string& text, long long n) {
  char digits[24];
  const auto end = std::to_chars(digits, digits + sizeof digits, n).ptr;
  text.append(digits, end);
}

// The fields of the values repeated under unique rules, by rule and first row, each made once.
class FirstRowFields {
 public:
  template <class Make>
  const std::string& Of(std::uint32_t rule, std::uint32_t row, Make make) {
    const std::uint64_t key = std::uint64_t{rule} << 32 | row;
    if ((fields_.size() + 1) * 2 > slots_.size()) Grow();
    std::size_t at = spread(key) & (slots_.size() - 1);
    for (; slots_[at].index != Free; at = (at + 1) & (slots_.size() - 1))
      if (slots_[at].key == key) return fields_[slots_[at].index];
    slots_[at] = Slot{key, static_cast<std::uint32_t>(fields_.size())};
    fields_.emplace_back(make());
    return fields_.back();
  }

 private:
  static constexpr std::uint32_t Free = UINT32_MAX;
  struct Slot {
    std::uint64_t key = 0;
    std::uint32_t index = Free;
  };
  // Rows keep their order in the slots: the repeats of a file come in runs of first rows.
  static std::uint64_t spread(std::uint64_t key) {
    return (key & 0xFFFFFFFF) + (key >> 32) * 0x9E3779B97F4A7C15ull;
  }
  void Grow() {
    std::vector<Slot> old(std::max<std::size_t>(64, slots_.size() * 2));
    old.swap(slots_);
    for (const Slot& slot : old) {
      if (slot.index == Free) continue;
      std::size_t at = spread(slot.key) & (slots_.size() - 1);
      while (slots_[at].index != Free)
        at = (at + 1) & (slots_.size() - 1);
      slots_[at] = slot;
    }
  }
  std::vector<Slot> slots_;
  std::vector<std::string> fields_;
};

// Rules of the command line are a usage error when wrong; a project's wrong rule is said and
// left out, and the project keeps it.
bool ParseRules(const Options& o, const CheckTarget& target, std::vector<ColumnRule>& rules,
                std::vector<UnicodeString>& ignored) {
  if (!o.rules.empty()) {
    for (const std::string& text : o.rules) {
      RuleParse parse = ParseColumnRule(FromUtf8(text));
      if (!parse.rule) {
        PrintError(ToUtf8(RuleErrorText(parse.error)));
        return false;
      }
      rules.push_back(std::move(*parse.rule));
    }
    return true;
  }
  RuleList list = ParseRuleList(target.rules);
  rules = std::move(list.rules);
  for (const RuleError& error : list.ignored) {
    ignored.push_back(error.rule);
    PrintError(ToUtf8(IgnoredRuleText(error)));
  }
  return true;
}

int exitCodeOf(bool noRows, bool found) {
  if (noRows) return ExitNoRows;
  return found ? ExitDiffers : ExitOk;
}

}  // namespace

int RunRules(const Options& o) {
  if (o.project.empty() != (o.names.size() == 1) || (o.project.empty() && o.rules.empty())) {
    return ExitUsage;
  }
  std::optional<CheckTarget> target;
  if (o.project.empty()) {
    target = CheckTarget{CsvFileName(o.names[0]), o.title, 0, o.codePage, {}};
  } else {
    target = TargetOf(o);
    if (!target) return ExitUnreadable;
  }
  std::vector<ColumnRule> rules;
  std::vector<UnicodeString> ignored;
  if (!ParseRules(o, *target, rules, ignored)) return ExitUsage;

  TCsv csv;
  if (!LoadCsv(csv, target->file, target->codePage)) return ExitUnreadable;
  const CsvTable& table = csv.Table();
  const RuleCheckResult result = CheckRules(table, target->title, rules);
  if (ChangedSinceRead(csv)) return ExitUnreadable;
  const bool noRows = result.outcome == RuleCheckResult::Outcome::NoRows;

  Output out;
  if (o.json) {
    JsonWriter json(out);
    json.BeginObject();
    json.Key("outcome");
    json.String(noRows ? u"norows" : result.findings.empty() ? u"pass" : u"broken");
    json.Key("findings");
    json.BeginArray();
    for (const RuleFinding& finding : result.findings) {
      const ColumnRule& rule = rules[finding.rule];
      const UnicodeString cell = table.Cell(finding.row, rule.column);
      json.BeginObject();
      json.Key("row");
      json.Number(finding.RowNumber());
      json.Key("column");
      json.String(columnName(rule.column));
      json.Key("rule");
      json.String(rule.ruleText);
      json.Key("value");
      json.String(cell);
      if (rule.kind == RuleKind::Unique) {
        json.Key("first_row");
        json.Number(static_cast<long long>(finding.detail) + 1);
      }
      json.Key("message");
      json.String(RuleFindingText(rule, finding, cell));
      json.EndObject();
    }
    json.EndArray();
    json.Key("counts");
    json.BeginArray();
    for (std::size_t r = 0; r < rules.size(); ++r) {
      json.BeginObject();
      json.Key("rule");
      json.String(rules[r].text);
      json.Key("count");
      json.Number(static_cast<long long>(result.counts[r]));
      json.EndObject();
    }
    json.EndArray();
    json.Key("ignored");
    json.BeginArray();
    for (const UnicodeString& text : ignored)
      json.String(text);
    json.EndArray();
    json.Key("code_page");
    json.Number(csv.CodePage());
    json.EndObject();
    json.EndLine();
  } else if (noRows) {
    out.Line(ToUtf8(RuleStatusText(result)));
  } else {
    // Per rule, what comes between the row and the value.
    std::vector<std::string> middles;
    for (const ColumnRule& rule : rules) {
      std::string middle;
      AppendTsvFieldUtf8(columnName(rule.column), middle);
      middle += '\t';
      AppendTsvFieldUtf8(rule.ruleText, middle);
      middle += '\t';
      middles.push_back(std::move(middle));
    }
    std::vector<TsvCells> cells(FormatThreads(), TsvCells(table));
    std::vector<FirstRowFields> firsts(FormatThreads());
    PutInOrder(out, result.findings.size(),
               [&](unsigned t, std::size_t begin, std::size_t end, std::string& text) {
                 for (std::size_t i = begin; i < end; ++i) {
                   const RuleFinding& finding = result.findings[i];
                   const ColumnRule& rule = rules[finding.rule];
                   appendNumber(text, finding.RowNumber());
                   text += '\t';
                   text += middles[finding.rule];
                   if (rule.kind == RuleKind::Unique) {
                     // A repeat holds its first row's text: converted once per value.
                     text += firsts[t].Of(finding.rule, finding.detail, [&] {
                       return cells[t].Of(table.RawCell(finding.detail, rule.column)).field;
                     });
                   } else {
                     text += cells[t].Of(table.RawCell(finding.row, rule.column)).field;
                   }
                   text += '\n';
                 }
               });
  }
  return exitCodeOf(noRows, !result.findings.empty());
}

int RunCharacters(const Options& o) {
  if (o.project.empty() != (o.names.size() == 1)) return ExitUsage;
  const std::optional<CheckTarget> target = TargetOf(o);
  if (!target) return ExitUnreadable;
  TCsv csv;
  if (!LoadCsv(csv, target->file, target->codePage)) return ExitUnreadable;
  const CsvTable& table = csv.Table();
  const unsigned kinds = o.kinds != 0 ? o.kinds : AllCharacterKinds;
  const CharacterCheckResult result = CheckCharacters(table, target->title, kinds);
  if (ChangedSinceRead(csv)) return ExitUnreadable;
  const bool noRows = result.outcome == CharacterCheckResult::Outcome::NoRows;

  Output out;
  if (o.json) {
    JsonWriter json(out);
    json.BeginObject();
    json.Key("outcome");
    json.String(noRows ? u"norows" : result.findings.empty() ? u"clean" : u"found");
    json.Key("findings");
    json.BeginArray();
    for (const CharacterFinding& finding : result.findings) {
      const UnicodeString cell = table.Cell(finding.row, finding.col);
      const std::u32string chars = FindingChars(result, finding.kind, cell);
      json.BeginObject();
      json.Key("row");
      json.Number(finding.RowNumber());
      json.Key("column");
      json.String(columnName(finding.col));
      json.Key("kind");
      json.String(FromUtf8(CharacterKindName(finding.kind)));
      json.Key("chars");
      json.String(FromUtf8(CodePointsText(chars)));
      json.Key("value");
      json.String(cell);
      json.Key("message");
      json.String(CharacterFindingText(finding.kind, chars));
      json.EndObject();
    }
    json.EndArray();
    json.Key("counts");
    json.BeginObject();
    for (std::size_t k = 0; k < CharacterKindCount; ++k) {
      json.Key(CharacterKindName(static_cast<CharacterKind>(k)));
      json.Number(static_cast<long long>(result.counts[k]));
    }
    json.EndObject();
    json.Key("code_page");
    json.Number(csv.CodePage());
    json.EndObject();
    json.EndLine();
  } else if (noRows) {
    out.Line(ToUtf8(CharacterStatusText(result)));
  } else {
    std::vector<std::string> columns(table.ColCount());
    for (std::uint32_t col = 0; col < columns.size(); ++col)
      columns[col] = ToUtf8(columnName(col));
    std::vector<TsvCells> cells(FormatThreads(), TsvCells(table));
    PutInOrder(out, result.findings.size(),
               [&](unsigned t, std::size_t begin, std::size_t end, std::string& text) {
                 for (std::size_t i = begin; i < end; ++i) {
                   const CharacterFinding& finding = result.findings[i];
                   const TsvCell& cell = cells[t].Of(table.RawCell(finding.row, finding.col));
                   appendNumber(text, finding.RowNumber());
                   text += '\t';
                   text += columns[finding.col];
                   text += '\t';
                   text += CharacterKindName(finding.kind);
                   text += '\t';
                   text += CodePointsText(FindingChars(result, finding.kind, cell.text));
                   text += '\t';
                   text += cell.field;
                   text += '\n';
                 }
               });
  }
  return exitCodeOf(noRows, !result.findings.empty());
}

}  // namespace norvalis::cli
