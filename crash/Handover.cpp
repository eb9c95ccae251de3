#include "Handover.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <charconv>

#include "crash/CrashHandover.h"

namespace norvalis::crash {

namespace {

template <typename Number>
std::optional<Number> ParseNumber(std::string_view text) {
  int base = 10;
  if (text.starts_with("0x")) {
    text.remove_prefix(2);
    base = 16;
  }
  Number value{};
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

void SetOption(HandoverOptions& options, std::string_view key, std::string_view value) {
  const std::pair<std::string_view, bool*> flags[] = {
      {OptionDialog, &options.dialog},
      {OptionCopy, &options.copy},
      {OptionScreenshot, &options.screenshot},
      {OptionLog, &options.log},
      {OptionSend, &options.send},
      {OptionRestart, &options.restart},
      {OptionAutoLog, &options.autoLog},
  };
  for (const auto& [name, flag] : flags) {
    if (key == name) *flag = value == "1";
  }
  if (key == OptionMail) options.mail = value;
  if (key == OptionProgram && !value.empty()) options.program = value;
  if (key == OptionVersion) options.version = value;
}

}  // namespace

std::optional<std::uint64_t> Handover::InstructionPointer() const {
  for (const auto& [name, value] : registers) {
    if (name == "rip" || name == "pc") return value;
  }
  return std::nullopt;
}

std::optional<Handover> ParseHandover(std::string_view text) {
  Handover handover;
  bool hasPid = false;
  bool hasSignal = false;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) continue;
    const std::string_view key = line.substr(0, equals);
    const std::string_view value = line.substr(equals + 1);
    if (key == KeyPid) {
      const auto pid = ParseNumber<pid_t>(value);
      hasPid = pid.has_value() && *pid > 0;
      handover.pid = pid.value_or(0);
    } else if (key == KeyTid) {
      handover.tid = ParseNumber<pid_t>(value).value_or(0);
    } else if (key == KeySignal) {
      const auto signal = ParseNumber<int>(value);
      hasSignal = signal.has_value() && *signal > 0;
      handover.signal = signal.value_or(0);
    } else if (key == KeyCode) {
      handover.code = ParseNumber<int>(value);
    } else if (key == KeyAddress) {
      handover.address = ParseNumber<std::uint64_t>(value);
    } else if (key == KeySender) {
      handover.sender = ParseNumber<pid_t>(value);
    } else if (key == KeyTime) {
      handover.time = ParseNumber<std::int64_t>(value).value_or(0);
    } else if (key == KeyException) {
      handover.exception = value;
    } else if (key.starts_with(RegisterPrefix)) {
      if (const auto number = ParseNumber<std::uint64_t>(value))
        handover.registers.emplace_back(key.substr(RegisterPrefix.size()), *number);
    } else if (key.starts_with(OptionPrefix)) {
      SetOption(handover.options, key.substr(OptionPrefix.size()), value);
    }
  }
  if (!hasPid || !hasSignal) return std::nullopt;
  if (handover.tid <= 0) handover.tid = handover.pid;
  return handover;
}

std::string ReadHandover(int fd, int timeoutMs) {
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  std::string text;
  char buffer[4096];
  while (true) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) break;
    pollfd ready{fd, POLLIN, 0};
    const int polled = poll(&ready, 1, static_cast<int>(left));
    if (polled < 0 && errno == EINTR) continue;
    if (polled <= 0) break;
    const ssize_t got = read(fd, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    text.append(buffer, static_cast<std::size_t>(got));
  }
  return text;
}

}  // namespace norvalis::crash
