#include "ProcFiles.h"

#include <sys/utsname.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

namespace norvalis::crash {

namespace {

std::string ProcPath(pid_t pid, const std::string& name) {
  return "/proc/" + std::to_string(pid) + "/" + name;
}

std::string ReadWhole(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string Trim(std::string text) {
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '"'; };
  while (!text.empty() && blank(text.back()))
    text.pop_back();
  const auto first = std::find_if_not(text.begin(), text.end(), blank);
  return {first, text.end()};
}

}  // namespace

std::string ThreadName(pid_t pid, pid_t tid) {
  return Trim(ReadWhole(ProcPath(pid, "task/" + std::to_string(tid) + "/comm")));
}

std::vector<std::string> CommandLine(pid_t pid) {
  const std::string text = ReadWhole(ProcPath(pid, "cmdline"));
  std::vector<std::string> arguments;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = text.find('\0', start);
    arguments.push_back(text.substr(start, end - start));
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return arguments;
}

std::string ProcLink(pid_t pid, const char* name) {
  std::error_code error;
  const auto target = std::filesystem::read_symlink(ProcPath(pid, name), error);
  return error ? std::string() : target.string();
}

std::optional<std::string> StatusField(pid_t pid, const char* field) {
  std::istringstream status(ReadWhole(ProcPath(pid, "status")));
  const std::string prefix = std::string(field) + ":";
  for (std::string line; std::getline(status, line);) {
    if (line.starts_with(prefix)) return Trim(line.substr(prefix.size()));
  }
  return std::nullopt;
}

std::optional<uid_t> ProcessUser(pid_t pid) {
  const auto uid = StatusField(pid, "Uid");
  if (!uid) return std::nullopt;
  return static_cast<uid_t>(std::strtoul(uid->c_str(), nullptr, 10));
}

std::vector<ProcessEntry> UserProcesses(uid_t uid) {
  std::vector<ProcessEntry> processes;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator("/proc", error)) {
    const std::string name = entry.path().filename().string();
    if (name.empty() || !std::all_of(name.begin(), name.end(), ::isdigit)) continue;
    const auto pid = static_cast<pid_t>(std::strtol(name.c_str(), nullptr, 10));
    if (ProcessUser(pid) != uid) continue;
    // Kernel threads have no memory of their own and are no program of the user.
    const auto resident = StatusField(pid, "VmRSS");
    if (!resident) continue;
    ProcessEntry process;
    process.pid = pid;
    process.name = StatusField(pid, "Name").value_or("");
    process.residentKb = std::strtol(resident->c_str(), nullptr, 10);
    processes.push_back(std::move(process));
  }
  std::sort(processes.begin(), processes.end(),
            [](const ProcessEntry& a, const ProcessEntry& b) { return a.pid < b.pid; });
  return processes;
}

std::string OperatingSystem() {
  std::string name = "Linux";
  std::istringstream release(ReadWhole("/etc/os-release"));
  for (std::string line; std::getline(release, line);) {
    if (line.starts_with("PRETTY_NAME=")) name = Trim(line.substr(sizeof "PRETTY_NAME=" - 1));
  }
  utsname system{};
  if (uname(&system) == 0)
    name += std::string(", ") + system.sysname + " " + system.release + " " + system.machine;
  return name;
}

}  // namespace norvalis::crash
