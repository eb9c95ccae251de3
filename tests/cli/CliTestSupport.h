#pragma once

#include <sys/wait.h>

#include <cstdio>
#include <string>
#include <vector>

#include "../support/TempDir.h"
#include "../text/TextTestSupport.h"

namespace norvalis::test {

constexpr int ExitTimedOut = 124;

struct CliRun {
  int exitCode = -1;
  std::string out;
  std::string err;
};

inline std::string Quote(const std::string& arg) {
  std::string quoted = "'";
  for (const char c : arg)
    quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

class CliTest : public TempDirTest {
 protected:
  // Runs norvalis-check with the arguments; prefix goes before it on the shell line (limits,
  // a change of user). A run that takes longer than a minute ends with ExitTimedOut.
  CliRun Check(const std::vector<std::string>& args, const std::string& prefix = "") {
    // Appended piece by piece: g++ 12 at -O3 warns falsely (-Wrestrict) on "text" + temporary.
    std::string command = prefix + "timeout -k 5 60 ";
    command += Quote(program_);
    for (const std::string& arg : args) {
      command += ' ';
      command += Quote(arg);
    }
    const std::string errPath = Path("stderr.txt");
    command += " 2>";
    command += Quote(errPath);
    CliRun run;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return run;
    char buffer[65536];
    std::size_t n = 0;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0)
      run.out.append(buffer, n);
    const int status = pclose(pipe);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.err = ReadFile(errPath);
    return run;
  }

  // The program Check runs.
  std::string program_ = NORVALIS_CHECK_EXE;
};

}  // namespace norvalis::test
