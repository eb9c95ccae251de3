#include "CrashReport.h"

#include <signal.h>

#include <cinttypes>
#include <cstdio>
#include <ctime>

#include <QtGlobal>

#include "HexText.h"
#include "MachineCode.h"
#include "ProcFiles.h"
#include "ProcessInspector.h"

namespace norvalis::crash {

namespace {

// Bytes read on each side of the faulting instruction.
constexpr std::uint64_t CodeWindow = 64;

std::string LocalTime(std::int64_t seconds) {
  const std::time_t time = static_cast<std::time_t>(seconds);
  std::tm local{};
  localtime_r(&time, &local);
  char text[64];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S %z", &local);
  return text;
}

std::string Joined(const std::vector<std::string>& arguments) {
  std::string text;
  for (const std::string& argument : arguments) {
    if (!text.empty()) text += ' ';
    const bool plain = !argument.empty() && argument.find_first_of(" \t'\"\\") == std::string::npos;
    text += plain ? argument : "\"" + argument + "\"";
  }
  return text;
}

std::string Line(const char* label, const std::string& value) {
  return std::string(label) + ": " + value + "\n";
}

std::string Summary(const Handover& handover, const CrashReport& report,
                    const ProcessInspector& inspector) {
  std::string text;
  std::string program = handover.options.program;
  if (!report.executable.empty()) program += " (" + report.executable + ")";
  text += Line("プログラム", program);
  text += Line("バージョン", handover.options.version.empty() ? "不明" : handover.options.version);
  text += Line("日時", LocalTime(handover.time));
  std::string signal = DescribeSignal(handover.signal, handover.code);
  if (handover.address) signal += "、アドレス " + ShortHex(*handover.address);
  if (handover.sender && *handover.sender != handover.pid)
    signal += "、送信元プロセス " + std::to_string(*handover.sender);
  text += Line("シグナル", signal);
  if (!handover.exception.empty()) text += Line("処理されない例外", handover.exception);
  if (const auto pc = handover.InstructionPointer())
    text += Line("命令アドレス", ShortHex(*pc) + " " + inspector.Describe(*pc));
  std::string thread = std::to_string(handover.tid);
  const std::string threadName = ThreadName(handover.pid, handover.tid);
  if (!threadName.empty()) thread += " (" + threadName + ")";
  if (handover.tid == handover.pid) thread += "、メインスレッド";
  text += Line("スレッド", thread);
  text += Line("プロセスID", std::to_string(handover.pid));
  text += Line("コマンドライン", Joined(report.arguments));
  text += Line("作業フォルダー", report.workingDirectory);
  text += Line("OS", OperatingSystem());
  text += Line("Qt", qVersion());
  const std::string resident = StatusField(handover.pid, "VmRSS").value_or("不明");
  const std::string peak = StatusField(handover.pid, "VmHWM").value_or("不明");
  const std::string virtualSize = StatusField(handover.pid, "VmSize").value_or("不明");
  text += Line("メモリ", "使用中 " + resident + "（最大 " + peak + "）、仮想 " + virtualSize);
  if (!inspector.Error().empty()) text += Line("調査できない理由", inspector.Error());
  return text;
}

std::string Stacks(const Handover& handover, ProcessInspector& inspector) {
  std::string text;
  for (const ThreadStack& stack : inspector.Stacks(handover.tid, handover.InstructionPointer())) {
    text += "スレッド " + std::to_string(stack.tid);
    if (!stack.name.empty()) text += " (" + stack.name + ")";
    if (stack.tid == handover.tid) text += " ― 停止の原因";
    text += "\n";
    for (const std::string& frame : stack.frames)
      text += "  " + frame + "\n";
    if (!stack.error.empty()) text += "  (" + stack.error + ")\n";
    text += "\n";
  }
  return text.empty() ? "呼び出し履歴を取得できません。\n" : text;
}

std::string Modules(const ProcessInspector& inspector) {
  std::string text;
  for (const LoadedModule& module : inspector.Modules()) {
    text += Hex(module.start) + "-" + Hex(module.end) + "  " + module.path + "\n";
    text += std::string(39, ' ') + "ビルドID " +
            (module.buildId.empty() ? "なし" : module.buildId) + "\n";
  }
  return text.empty() ? "モジュールを取得できません。\n" : text;
}

std::string Processes(pid_t pid) {
  const auto uid = ProcessUser(pid);
  if (!uid) return "プロセスの一覧を取得できません。\n";
  // Written out: printf pads by bytes, and the Japanese headings are wider than they count.
  std::string text = "     PID  名前" + std::string(12, ' ') + "   メモリ(KB)\n";
  char line[256];
  for (const ProcessEntry& process : UserProcesses(*uid)) {
    std::snprintf(line, sizeof line, "%8d  %-16s %12ld%s\n", process.pid, process.name.c_str(),
                  process.residentKb, process.pid == pid ? "  ← 停止したプロセス" : "");
    text += line;
  }
  return text;
}

std::string Registers(const Handover& handover) {
  std::string text;
  for (const auto& [name, value] : handover.registers) {
    char line[64];
    std::snprintf(line, sizeof line, "%-8s %s\n", name.c_str(), Hex(value).c_str());
    text += line;
  }
  return text.empty() ? "レジスタの内容は渡されませんでした。\n" : text;
}

std::string Code(const Handover& handover, const ProcessInspector& inspector) {
  const auto pc = handover.InstructionPointer();
  if (!pc) return "命令アドレスは渡されませんでした。\n";
  std::uint64_t start = *pc >= CodeWindow ? *pc - CodeWindow : 0;
  std::vector<std::uint8_t> bytes = ReadProcessMemory(handover.pid, start, 2 * CodeWindow);
  if (bytes.size() <= *pc - start) {
    // The bytes before pc may lie on an unmapped page.
    start = *pc;
    bytes = ReadProcessMemory(handover.pid, start, CodeWindow);
  }
  const std::string text = DisassembleAround({start, bytes}, *pc, inspector.FunctionStart(*pc));
  if (text.empty()) return "命令アドレス " + ShortHex(*pc) + " のメモリを読めません。\n";
  return "命令アドレス " + ShortHex(*pc) + " " + inspector.Describe(*pc) + "\n\n" + text;
}

}  // namespace

std::string DescribeSignal(int signal, std::optional<int> code) {
  struct Known {
    int signal;
    const char* name;
  };
  static constexpr Known Names[] = {
      {SIGSEGV, "SIGSEGV（不正なメモリアクセス）"},
      {SIGBUS, "SIGBUS（バスエラー）"},
      {SIGILL, "SIGILL（不正な命令）"},
      {SIGFPE, "SIGFPE（算術演算の例外）"},
      {SIGABRT, "SIGABRT（異常終了）"},
  };
  struct Reason {
    int signal;  // 0: any
    int code;
    const char* text;
  };
  static constexpr Reason Reasons[] = {
      {0, SI_USER, "kill で送られた"},
      {0, SI_TKILL, "tgkill で送られた"},
      {0, SI_QUEUE, "sigqueue で送られた"},
      {0, SI_KERNEL, "カーネルから"},
      {SIGSEGV, SEGV_MAPERR, "割り当てのないアドレス"},
      {SIGSEGV, SEGV_ACCERR, "アクセス権のないアドレス"},
      {SIGBUS, BUS_ADRALN, "境界に合わないアドレス"},
      {SIGBUS, BUS_ADRERR, "存在しない物理アドレス"},
      {SIGBUS, BUS_OBJERR, "オブジェクト固有のハードウェアエラー"},
      {SIGILL, ILL_ILLOPC, "不正な命令コード"},
      {SIGILL, ILL_ILLOPN, "不正なオペランド"},
      {SIGILL, ILL_PRVOPC, "特権命令"},
      {SIGFPE, FPE_INTDIV, "整数の0除算"},
      {SIGFPE, FPE_INTOVF, "整数のオーバーフロー"},
      {SIGFPE, FPE_FLTDIV, "浮動小数点の0除算"},
  };
  std::string text = "シグナル " + std::to_string(signal);
  for (const Known& known : Names) {
    if (known.signal == signal) text = known.name;
  }
  if (!code) return text;
  for (const Reason& reason : Reasons) {
    if ((reason.signal == 0 || reason.signal == signal) && reason.code == *code)
      return text + "、" + reason.text;
  }
  return text + "、コード " + std::to_string(*code);
}

std::string CrashReport::Text() const {
  return ReportText(pages);
}

CrashReport GatherReport(const Handover& handover) {
  CrashReport report;
  report.executable = ProcLink(handover.pid, "exe");
  report.arguments = CommandLine(handover.pid);
  report.workingDirectory = ProcLink(handover.pid, "cwd");
  ProcessInspector inspector(handover.pid);
  // The code first: the unwinding stops and resumes threads, the faulting one stays put anyway.
  const std::string code = Code(handover, inspector);
  const std::string stacks = Stacks(handover, inspector);
  report.pages = {
      {"概要", Summary(handover, report, inspector)},
      {"呼び出し履歴", stacks},
      {"モジュール", Modules(inspector)},
      {"プロセス", Processes(handover.pid)},
      {"CPUレジスタ", Registers(handover)},
      {"機械語", code},
  };
  return report;
}

}  // namespace norvalis::crash
