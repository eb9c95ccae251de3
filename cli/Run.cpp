#include "Run.h"

#include <exception>
#include <memory>

#include "Commands.h"
#include "Output.h"
#include "platform/Console.h"
#include "text/Exception.h"

namespace norvalis::cli {

UnicodeString CsvFileName(const Name& name) {
  if (name.standardInput) return FromUtf8(platform::StandardInputName());
  return FromUtf8(name.text);
}

bool LoadCsv(TCsv& csv, const UnicodeString& fileName, std::uint16_t codePage,
             CsvLoadResult* result) {
  const CsvLoadResult loaded = csv.Load(fileName, codePage);
  if (result != nullptr) *result = loaded;
  if (loaded.ok()) return true;
  Unreadable(loaded.message);
  return false;
}

bool ChangedSinceRead(const TCsv& csv) {
  const std::shared_ptr<const CsvTable> table = csv.Share();
  if (!table) return false;
  const FileChange change = table->DiskChange();
  if (change.state == FileState::Same) return false;
  PrintError(ToUtf8(FileChangeText(change)));
  return change.state == FileState::Changed;
}

int Unreadable(const UnicodeString& message) {
  PrintError(ToUtf8(message));
  return ExitUnreadable;
}

int Run(std::span<const std::string> args) {
  const std::optional<Invocation> invocation = ParseCommandLine(args);
  int exitCode = ExitUsage;
  if (invocation) {
    try {
      exitCode = invocation->command->run(invocation->options);
    } catch (const std::exception& error) {
      // Nothing below is meant to raise here; what does is still a file not read.
      PrintError(error.what());
      return ExitUnreadable;
    }
  }
  if (exitCode == ExitUsage) platform::WriteStandardError(UsageText());
  return exitCode;
}

}  // namespace norvalis::cli
