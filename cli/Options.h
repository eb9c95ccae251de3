#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace norvalis::cli {

constexpr int ExitOk = 0;
constexpr int ExitDiffers = 1;
constexpr int ExitNoRows = 2;
constexpr int ExitUnreadable = 3;
constexpr int ExitUsage = 64;

// A file name of the command line.
struct Name {
  std::string text;
  bool standardInput = false;  // "-" before any "--"
};

// What the options of a command line gave.
struct Options {
  std::vector<Name> names;  // the file names, in order
  bool title = false;
  bool titleGiven = false;
  std::int32_t column = 0;  // zero-based
  bool columnGiven = false;
  std::uint16_t codePage = 0;  // 0: detect
  bool codePageGiven = false;
  bool json = false;
  std::string project;
  // --filter COL=VALUE (or COL!=VALUE: the rows without it), and --save FILE.
  std::int32_t filterColumn = 0;
  std::string filterValue;
  bool filterWith = true;
  std::string save;
  std::vector<std::string> rules;  // --rule, in the order given
  unsigned kinds = 0;              // --kinds as CharacterKind bits; 0: not given
};

// The options a command takes, as bits of Command::options.
enum Option : unsigned {
  TitleOption = 1u << 0,     // --title
  ColumnOption = 1u << 1,    // --column COL
  CodePageOption = 1u << 2,  // --code-page N: every command that reads a CSV file
  FormatOption = 1u << 3,    // --format json|text
  ProjectOption = 1u << 4,   // --project FILE.NVS
  FilterOption = 1u << 5,    // --filter COL=VALUE: the value of the command of that name
  SaveOption = 1u << 6,      // --save FILE
  RuleOption = 1u << 7,      // --rule R, repeatable
  KindsOption = 1u << 8,     // --kinds k1,k2
};

// One command of norvalis-check. A new command is one more row of Commands() and the function
// that runs it; a new option, one more row of the option table and a field of Options.
struct Command {
  std::string_view name;   // the option that asks for it ("--dump"); empty for the check
  std::string_view alias;  // another name ("-h"), or empty
  unsigned options;        // the Option bits it takes
  std::size_t minNames;
  std::size_t maxNames;
  std::string_view names;        // the names in the help ("ファイル")
  std::string_view description;  // the help's lines about it
  // Runs the command: an exit code; ExitUsage prints the help on standard error.
  int (*run)(const Options&);
};

// Every command, in the order the help lists them.
std::span<const Command> Commands();

struct Invocation {
  const Command* command = nullptr;
  Options options;
};

// The command and its options; nothing when the line is wrong (an unknown option, a value
// missing or malformed, an option the command does not take, two commands, too many or too
// few names). Everything after "--" is a name, and "-" alone is a name (standard input).
std::optional<Invocation> ParseCommandLine(std::span<const std::string> args);

// The help text: every command with the options it takes.
std::string UsageText();

}  // namespace norvalis::cli
