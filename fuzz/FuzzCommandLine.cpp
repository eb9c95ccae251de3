// The option parser of norvalis-check: any arguments are parsed or refused, never a crash, and
// what is parsed stays within what its command takes.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "FuzzInput.h"
#include "Options.h"
#include "text/Encodings.h"

using namespace norvalis;

namespace {

// Bytes below 16 stand for the words the parser knows, so short inputs reach every option;
// 16 ends a word of the other bytes.
constexpr const char* Words[16] = {
    "--title",
    "--column",
    "--code-page",
    "--format",
    "--project",
    "--dump",
    "--stats",
    "--encoding",
    "--all-columns",
    "--show-project",
    "--write-project",
    "--version",
    "--help",
    "-h",
    "--",
    "-",
};

std::vector<std::string> ArgumentsOf(const std::uint8_t* data, std::size_t size) {
  std::vector<std::string> args;
  std::string word;
  bool inWord = false;
  auto end = [&] {
    if (inWord) args.push_back(word);
    word.clear();
    inWord = false;
  };
  for (std::size_t i = 0; i < size; ++i) {
    const std::uint8_t b = data[i];
    if (b < 16) {
      end();
      args.emplace_back(Words[b]);
    } else if (b == 16) {
      end();
    } else {
      word += static_cast<char>(b);
      inWord = true;
    }
  }
  end();
  return args;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::vector<std::string> args = ArgumentsOf(data, size);
  const std::optional<cli::Invocation> parsed = cli::ParseCommandLine(args);
  if (!parsed) return 0;
  const cli::Command& command = *parsed->command;
  const cli::Options& o = parsed->options;
  fuzz::Require(o.names.size() >= command.minNames && o.names.size() <= command.maxNames,
                "names outside what the command takes");
  auto takes = [&](cli::Option option) { return (command.options & option) != 0; };
  fuzz::Require(!o.titleGiven || takes(cli::TitleOption), "--title on a command without it");
  fuzz::Require(!o.columnGiven || takes(cli::ColumnOption), "--column on a command without it");
  fuzz::Require(!o.codePageGiven || takes(cli::CodePageOption),
                "--code-page on a command without it");
  fuzz::Require(o.project.empty() || takes(cli::ProjectOption),
                "--project on a command without it");
  fuzz::Require(o.column >= 0 && o.column < 999999999, "column out of range");
  fuzz::Require(o.codePage == 0 || Encodings::IsChoice(o.codePage), "a code page not offered");
  for (const cli::Name& name : o.names)
    fuzz::Require(!name.standardInput || name.text == "-", "standard input named otherwise");
  return 0;
}
