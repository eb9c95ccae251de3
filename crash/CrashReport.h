#pragma once

#include <string>
#include <vector>

#include "Handover.h"
#include "ReportPage.h"

namespace norvalis::crash {

// The report of one crash and what restarting the program needs.
struct CrashReport {
  std::vector<ReportPage> pages;
  std::string executable;  // the program's file, empty when unknown
  std::vector<std::string> arguments;
  std::string workingDirectory;

  // Every page under its title, as the log and the clipboard get it.
  std::string Text() const;
};

// Gathers the report of the process the handover describes, from outside, while it waits. Its
// threads are traced only during this call.
CrashReport GatherReport(const Handover& handover);

// "SIGSEGV（不正なメモリアクセス）", and the reason the signal code gives when one is known.
std::string DescribeSignal(int signal, std::optional<int> code);

}  // namespace norvalis::crash
