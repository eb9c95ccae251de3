#pragma once

#include <sys/types.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "HandoverOptions.h"

namespace norvalis::crash {

// What the dying process told the helper (src/crash/CrashHandover.h).
struct Handover {
  pid_t pid = 0;
  pid_t tid = 0;
  int signal = 0;
  std::optional<int> code;
  std::optional<std::uint64_t> address;
  std::optional<pid_t> sender;
  std::int64_t time = 0;
  std::string exception;
  // In the order of the fault context.
  std::vector<std::pair<std::string, std::uint64_t>> registers;
  HandoverOptions options;

  // The faulting thread's instruction pointer, when the context came with the handover.
  std::optional<std::uint64_t> InstructionPointer() const;
};

// The handover in text; nothing when the process or the signal is missing.
std::optional<Handover> ParseHandover(std::string_view text);

// Everything the process writes on fd until it closes its end, at most timeoutMs long.
std::string ReadHandover(int fd, int timeoutMs);

}  // namespace norvalis::crash
