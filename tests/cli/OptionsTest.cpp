// The one option parser of every command, without running the program.

#include "Options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace norvalis::cli {
namespace {

TEST(CommandLine, EachCommandTakesItsOwnOptionsAndNames) {
  const struct {
    std::vector<std::string> args;
    const char* command;  // nullptr: wrong usage
    std::vector<std::string> names;
    std::vector<bool> standardInput;
  } cases[] = {
      {{"f.csv"}, "", {"f.csv"}, {false}},
      {{"--dump", "f.csv", "--code-page", "932"}, "--dump", {"f.csv"}, {false}},
      {{"--code-page", "932", "--stats", "f.csv"}, "--stats", {"f.csv"}, {false}},
      {{"--encoding", "-", "--code-page", "0"}, "--encoding", {"-"}, {true}},
      // After "--", "-" is a file of that name.
      {{"--dump", "--", "-"}, "--dump", {"-"}, {false}},
      {{"-", "--column", "B"}, "", {"-"}, {true}},
      {{"-h"}, "--help", {}, {}},
      {{"--write-project", "p.NVS", "-", "--title"},
       "--write-project",
       {"p.NVS", "-"},
       {false, true}},
      {{"--project", "p.NVS", "--all-columns"}, "--all-columns", {}, {}},
      {{"--dump", "f.csv", "--title"}, nullptr, {}, {}},
      {{"--dump", "--stats", "f.csv"}, nullptr, {}, {}},
      {{"--dump", "f.csv", "g.csv"}, nullptr, {}, {}},
      {{"--all-columns", "f.csv", "--column", "A"}, nullptr, {}, {}},
      {{"--show-project", "p.NVS", "--code-page", "932"}, nullptr, {}, {}},
      {{"--write-project", "p.NVS", "f.csv", "--format", "json"}, nullptr, {}, {}},
      {{"--version", "f.csv"}, nullptr, {}, {}},
      {{"f.csv", "--code-page"}, nullptr, {}, {}},
      {{"f.csv", "--code-page", "123456"}, nullptr, {}, {}},
      {{"f.csv", "--column", ""}, nullptr, {}, {}},
      {{"f.csv", "-x"}, nullptr, {}, {}},
      {{}, nullptr, {}, {}},
  };
  for (const auto& c : cases) {
    std::string line;
    for (const std::string& arg : c.args)
      line += arg + " ";
    SCOPED_TRACE(line);
    const std::optional<Invocation> parsed = ParseCommandLine(c.args);
    if (c.command == nullptr) {
      EXPECT_FALSE(parsed);
      continue;
    }
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->command->name, c.command);
    ASSERT_EQ(parsed->options.names.size(), c.names.size());
    for (std::size_t i = 0; i < c.names.size(); ++i) {
      EXPECT_EQ(parsed->options.names[i].text, c.names[i]);
      EXPECT_EQ(parsed->options.names[i].standardInput, c.standardInput[i]);
    }
  }
}

TEST(CommandLine, ValuesReadAsTheCheckReadsThem) {
  const struct {
    std::vector<std::string> args;
    std::int32_t column;
    std::uint16_t codePage;
  } cases[] = {
      {{"f", "--column", "xfd"}, 16383, 0},
      {{"f", "--column", "27"}, 26, 0},
      {{"f", "--code-page", "20932"}, 0, 20932},
      // A code page this program does not offer reads as automatic, as in a project file.
      {{"f", "--code-page", "437"}, 0, 0},
      {{"f", "--code-page", "65535"}, 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args[1] + " " + c.args[2]);
    const std::optional<Invocation> parsed = ParseCommandLine(c.args);
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->options.column, c.column);
    EXPECT_EQ(parsed->options.codePage, c.codePage);
  }
}

// The help states every command with the options the parser lets it take.
TEST(CommandLine, HelpShowsEachCommandWithTheOptionsItTakes) {
  const std::string usage = UsageText();
  for (const Command& command : Commands()) {
    SCOPED_TRACE(std::string(command.name));
    const std::string start = command.name.empty()
                                  ? std::string("  norvalis-check (")
                                  : "  norvalis-check " + std::string(command.name);
    const std::size_t at = usage.find(start);
    ASSERT_NE(at, std::string::npos);
    const std::string line = usage.substr(at, usage.find('\n', at) - at);
    const bool readsCsv = (command.options & CodePageOption) != 0;
    EXPECT_EQ(line.find("[--code-page N]") != std::string::npos, readsCsv) << line;
    EXPECT_EQ(line.find("[--title]") != std::string::npos, (command.options & TitleOption) != 0);
  }
  for (const char* command : {"--dump", "--stats", "--encoding", "--all-columns"}) {
    SCOPED_TRACE(command);
    const Command* found = nullptr;
    for (const Command& c : Commands())
      if (c.name == command) found = &c;
    ASSERT_NE(found, nullptr);
    EXPECT_NE(found->options & CodePageOption, 0u) << "reads a CSV file, so takes --code-page";
  }
}

}  // namespace
}  // namespace norvalis::cli
