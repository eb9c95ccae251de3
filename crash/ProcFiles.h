#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <vector>

namespace norvalis::crash {

// What /proc tells about a process from outside.

// The thread's name ("comm"), empty when gone.
std::string ThreadName(pid_t pid, pid_t tid);
// The arguments the process was started with, the program first.
std::vector<std::string> CommandLine(pid_t pid);
// Where a link of /proc/PID ("exe", "cwd") points; empty when it cannot be read.
std::string ProcLink(pid_t pid, const char* name);
// A field of /proc/PID/status ("VmRSS", "Uid") without its name, trimmed.
std::optional<std::string> StatusField(pid_t pid, const char* field);

struct ProcessEntry {
  pid_t pid = 0;
  std::string name;
  long residentKb = 0;
};

// The running processes of the user uid, by process id.
std::vector<ProcessEntry> UserProcesses(uid_t uid);
// The real user of a process; nothing when it is gone.
std::optional<uid_t> ProcessUser(pid_t pid);
// "Debian GNU/Linux 12 (bookworm), Linux 6.1.0 x86_64".
std::string OperatingSystem();

}  // namespace norvalis::crash
