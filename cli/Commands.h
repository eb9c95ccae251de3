#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "Options.h"
#include "check/ColumnCheck.h"
#include "csv/Csv.h"
#include "text/UnicodeString.h"

// The commands of norvalis-check, one group per file; the table in Options.cpp names them.
namespace norvalis::cli {

// CheckCommands.cpp: the column check, and every column at once.
int RunCheck(const Options& options);
int RunAllColumns(const Options& options);
// ViewCommands.cpp: every differing row, a column's values, and the rows of a filter saved.
int RunDifferences(const Options& options);
int RunValues(const Options& options);
int RunFilter(const Options& options);
// RuleCommands.cpp: the column rules and the character check.
int RunRules(const Options& options);
int RunCharacters(const Options& options);
// TableCommands.cpp: what a CSV file reads as.
int RunEncoding(const Options& options);
int RunDump(const Options& options);
int RunStats(const Options& options);
// ProjectCommands.cpp: project files, and the program itself.
int RunShowProject(const Options& options);
int RunWriteProject(const Options& options);
int RunVersion(const Options& options);
int RunHelp(const Options& options);

// What a check runs on: the command line's values, or the project's where the line is silent.
struct CheckTarget {
  UnicodeString file;
  bool title = false;
  std::int32_t column = 0;
  std::uint16_t codePage = 0;
  std::vector<UnicodeString> rules;  // the project's column rules
};
// The target; nothing when the project cannot be read (the reason is printed then).
std::optional<CheckTarget> TargetOf(const Options& o);
// Either form of a check needs a file or a project, not both.
bool NamesOneFile(const Options& o);
// The exit code of a check's outcome: 0, 1 or 2.
int ExitCodeOf(CheckResult::Outcome outcome);

// The file a CSV file's name on the command line stands for (standard input for "-").
UnicodeString CsvFileName(const Name& name);
// Loads the CSV file into csv; a failure prints its message and gives false (exit 3). The
// load's result goes to *result when given.
bool LoadCsv(TCsv& csv, const UnicodeString& fileName, std::uint16_t codePage,
             CsvLoadResult* result = nullptr);
// Whether the file the table was read from changed on disk since the read began: then the
// report is printed and the command must end with ExitUnreadable, its result being about a
// mixture. A file that went, its content still held whole, is noted once and used.
bool ChangedSinceRead(const TCsv& csv);
// Prints the message on standard error; gives ExitUnreadable.
int Unreadable(const UnicodeString& message);

}  // namespace norvalis::cli
