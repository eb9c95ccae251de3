#include "platform/Console.h"

#include <cstdio>

namespace norvalis::platform {

namespace {

void writeAll(std::FILE* stream, std::string_view text) {
  std::fwrite(text.data(), 1, text.size(), stream);
  std::fflush(stream);
}

}  // namespace

void WriteStandardOutput(std::string_view text) {
  writeAll(stdout, text);
}

void WriteStandardError(std::string_view text) {
  writeAll(stderr, text);
}

std::string StandardInputName() {
  return "/dev/stdin";
}

std::vector<std::string> CommandLineArguments(int argc, char** argv) {
  return argc > 1 ? std::vector<std::string>(argv + 1, argv + argc) : std::vector<std::string>();
}

}  // namespace norvalis::platform
