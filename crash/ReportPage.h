#pragma once

#include <string>
#include <vector>

namespace norvalis::crash {

// One page of the report: 概要, 呼び出し履歴, モジュール, プロセス, CPUレジスタ or 機械語.
struct ReportPage {
  std::string title;
  std::string text;
};

// Every page under its "== title ==" heading, as the log and the clipboard get it.
inline std::string ReportText(const std::vector<ReportPage>& pages) {
  std::string text;
  for (const ReportPage& page : pages)
    text += "== " + page.title + " ==\n" + page.text + "\n";
  return text;
}

}  // namespace norvalis::crash
