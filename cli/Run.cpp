#include "Run.h"

#include <exception>

#include "Commands.h"
#include "Output.h"
#include "text/Exception.h"

namespace norvalis::cli {

UnicodeString CsvFileName(const Name& name) {
  if (name.standardInput) return u"/dev/stdin";
  return FromUtf8(name.text);
}

bool LoadCsv(TCsv& csv, const UnicodeString& fileName, std::uint16_t codePage) {
  const CsvLoadResult result = csv.Load(fileName, codePage);
  if (result.ok()) return true;
  Unreadable(result.message);
  return false;
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
  if (exitCode == ExitUsage) {
    const std::string usage = UsageText();
    std::fwrite(usage.data(), 1, usage.size(), stderr);
  }
  return exitCode;
}

}  // namespace norvalis::cli
