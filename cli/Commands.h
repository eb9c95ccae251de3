#pragma once

#include <cstdint>
#include <string>

#include "Options.h"
#include "csv/Csv.h"
#include "text/UnicodeString.h"

// The commands of norvalis-check, one group per file; the table in Options.cpp names them.
namespace norvalis::cli {

// CheckCommands.cpp: the column check, and every column at once.
int RunCheck(const Options& options);
int RunAllColumns(const Options& options);
// TableCommands.cpp: what a CSV file reads as.
int RunEncoding(const Options& options);
int RunDump(const Options& options);
int RunStats(const Options& options);
// ProjectCommands.cpp: project files, and the program itself.
int RunShowProject(const Options& options);
int RunWriteProject(const Options& options);
int RunVersion(const Options& options);
int RunHelp(const Options& options);

// The file a CSV file's name on the command line stands for (standard input for "-").
UnicodeString CsvFileName(const Name& name);
// Loads the CSV file into csv; a failure prints its message and gives false (exit 3).
bool LoadCsv(TCsv& csv, const UnicodeString& fileName, std::uint16_t codePage);
// Prints the message on standard error; gives ExitUnreadable.
int Unreadable(const UnicodeString& message);

}  // namespace norvalis::cli
