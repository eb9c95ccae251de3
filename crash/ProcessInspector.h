#pragma once

#include <sys/types.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct Dwfl;

namespace norvalis::crash {

// One thread's call stack, innermost frame first.
struct ThreadStack {
  pid_t tid = 0;
  std::string name;
  std::vector<std::string> frames;
  std::string error;  // why the unwinding stopped early, when it did
};

// A loaded module (executable or shared library) with its address range.
struct LoadedModule {
  std::uint64_t start = 0;
  std::uint64_t end = 0;
  std::string path;
  std::string buildId;  // hexadecimal, empty when the module has none
};

// Another process seen from outside with elfutils' libdw: its modules from /proc, the call stack
// of every thread (each thread is stopped by ptrace while it is unwound), names and source
// lines of addresses.
class ProcessInspector {
 public:
  explicit ProcessInspector(pid_t pid);
  ~ProcessInspector();
  ProcessInspector(const ProcessInspector&) = delete;
  ProcessInspector& operator=(const ProcessInspector&) = delete;

  // Why the process cannot be inspected; empty when it can.
  const std::string& Error() const { return error_; }

  // Every thread's stack. The crashed thread's starts at the frame of faultPc (the handler's
  // own frames above it are left out) and comes first.
  std::vector<ThreadStack> Stacks(pid_t crashedTid, std::optional<std::uint64_t> faultPc);
  std::vector<LoadedModule> Modules() const;
  // "function + 0x12 (file:line) [module]", or what of it is known.
  std::string Describe(std::uint64_t address) const;
  // The start of the function holding address, when its symbol is known.
  std::optional<std::uint64_t> FunctionStart(std::uint64_t address) const;

 private:
  pid_t pid_;
  Dwfl* dwfl_ = nullptr;
  bool attached_ = false;
  std::string error_;
};

// Up to size bytes of the process's memory from address; fewer (or none) where it is unmapped.
std::vector<std::uint8_t> ReadProcessMemory(pid_t pid, std::uint64_t address, std::size_t size);

}  // namespace norvalis::crash
