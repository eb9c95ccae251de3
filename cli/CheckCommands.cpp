// The column check and every column at once, on a file or on what a project names.

#include <memory>
#include <optional>

#include "Commands.h"
#include "Output.h"
#include "check/ColumnCheck.h"
#include "check/ColumnCheckAll.h"
#include "csv/CsvUtility.h"
#include "persistence/Project.h"
#include "text/Exception.h"
#include "text/FileUtility.h"

namespace norvalis::cli {

bool NamesOneFile(const Options& o) {
  return o.project.empty() == (o.names.size() == 1);
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

namespace {

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

// The row and cell of a difference, or nulls.
void PutDifference(JsonWriter& json, const CheckResult& result) {
  const bool differs = result.outcome == CheckResult::Outcome::Differs;
  json.Key("row");
  differs ? json.Number(result.RowNumber()) : json.Null();
  json.Key("cell");
  differs ? json.String(result.cell) : json.Null();
}

}  // namespace

std::optional<CheckTarget> TargetOf(const Options& o) {
  CheckTarget target{{}, o.title, o.column, o.codePage, {}};
  if (o.project.empty()) {
    target.file = CsvFileName(o.names[0]);
    return target;
  }
  const UnicodeString projectPath = FromUtf8(o.project);
  TProject project;
  try {
    // Opened once first, so a missing project is reported instead of read as the defaults.
    TFileUtility::OpenForReading(projectPath);
    project.LoadFromFile(projectPath);
  } catch (const Exception& error) {
    Unreadable(error.Message());
    return std::nullopt;
  }
  target.file = project.FileName;
  if (!o.titleGiven) target.title = project.Title;
  if (!o.columnGiven) target.column = project.Col;
  if (!o.codePageGiven) target.codePage = project.CodePage;
  target.rules = project.Rules;
  return target;
}

int RunCheck(const Options& o) {
  if (!NamesOneFile(o)) return ExitUsage;
  const std::optional<CheckTarget> target = TargetOf(o);
  if (!target) return ExitUnreadable;
  TCsv csv;
  if (!LoadCsv(csv, target->file, target->codePage)) return ExitUnreadable;
  const CheckResult result = CheckColumn(csv.Table(), target->title, target->column);
  if (ChangedSinceRead(csv)) return ExitUnreadable;

  Output out;
  if (o.json) {
    JsonWriter json(out);
    json.BeginObject();
    json.Key("outcome");
    json.String(FromUtf8(OutcomeName(result.outcome)));
    PutDifference(json, result);
    json.Key("column");
    json.String(TCsvUtility::ColumnIndexToLetters(target->column));
    json.Key("rows_compared");
    json.Number(static_cast<long long>(result.compared));
    json.Key("code_page");
    json.Number(csv.CodePage());
    json.EndObject();
    json.EndLine();
  } else {
    out.Line(ToUtf8(CheckStatusText(result)));
  }
  return ExitCodeOf(result.outcome);
}

// One line per column (tab-separated: letter, title, "一致" or the first differing row, its
// value), or JSON.
int RunAllColumns(const Options& o) {
  if (!NamesOneFile(o)) return ExitUsage;
  const std::optional<CheckTarget> target = TargetOf(o);
  if (!target) return ExitUnreadable;
  TCsv csv;
  if (!LoadCsv(csv, target->file, target->codePage)) return ExitUnreadable;
  const AllColumnsResult result = CheckAllColumns(csv.Table(), target->title);
  if (ChangedSinceRead(csv)) return ExitUnreadable;

  Output out;
  if (o.json) {
    JsonWriter json(out);
    json.BeginObject();
    json.Key("outcome");
    json.String(FromUtf8(OutcomeName(result.outcome)));
    json.Key("columns");
    json.BeginArray();
    const std::vector<AllColumnsLine> lines = AllColumnsLines(result);
    for (std::size_t i = 0; i < lines.size(); ++i) {
      const CheckResult& column = result.columns[i];
      json.BeginObject();
      json.Key("column");
      json.String(lines[i].letter);
      json.Key("title");
      target->title ? json.String(lines[i].title) : json.Null();
      json.Key("outcome");
      json.String(FromUtf8(OutcomeName(column.outcome)));
      PutDifference(json, column);
      json.EndObject();
    }
    json.EndArray();
    json.Key("code_page");
    json.Number(csv.CodePage());
    json.EndObject();
    json.EndLine();
  } else if (result.outcome == CheckResult::Outcome::NoRows) {
    out.Line(ToUtf8(CheckStatusText(CheckResult{})));
  } else {
    out.Put(ToUtf8(AllColumnsTsv(AllColumnsLines(result))));
  }
  return ExitCodeOf(result.outcome);
}

}  // namespace norvalis::cli
