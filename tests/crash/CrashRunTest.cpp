// Programs that crash, run as a user would meet them: the helper's report, its log, and the
// process's end with its own signal.

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cinttypes>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

namespace {

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The page under its "== title ==" heading.
std::string Page(const std::string& report, const std::string& title) {
  const std::string heading = "== " + title + " ==\n";
  const std::size_t start = report.find(heading);
  if (start == std::string::npos) return {};
  const std::size_t end = report.find("\n== ", start + heading.size());
  return report.substr(start + heading.size(), end - start - heading.size());
}

// The line of text that starts with prefix, without it.
std::string LineAfter(const std::string& text, const std::string& prefix) {
  std::size_t at = text.rfind("\n" + prefix);
  at = text.starts_with(prefix) ? 0 : at == std::string::npos ? at : at + 1;
  if (at == std::string::npos) return {};
  at += prefix.size();
  return text.substr(at, text.find('\n', at) - at);
}

bool CatchesSignal(pid_t pid, int signal) {
  const std::string status = ReadFile("/proc/" + std::to_string(pid) + "/status");
  const std::string caught = LineAfter(status, "SigCgt:\t");
  return !caught.empty() && (std::stoull(caught, nullptr, 16) >> (signal - 1) & 1) != 0;
}

class CrashRunTest : public ::testing::Test {
 protected:
  void SetUp() override {
#ifndef NORVALIS_CRASH_HANDLED
    GTEST_SKIP() << "the sanitizers own the fatal signals: this build has no crash handler";
#endif
    std::string pattern = ::testing::TempDir() + "norvalis-crash-XXXXXX";
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
    // The helper outlives the crashed program; as its new parent the test can wait for it.
    ASSERT_EQ(prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
  }
  void TearDown() override {
    std::error_code ignored;
    if (!dir_.empty()) std::filesystem::remove_all(dir_, ignored);
  }

  // Starts the program with an empty home, the offscreen platform and the dialog's answer;
  // standard output goes to output when it is given.
  pid_t Start(const std::vector<std::string>& command, const std::string& answer, int output = -1) {
    const pid_t pid = fork();
    if (pid == 0) {
      if (output >= 0) dup2(output, STDOUT_FILENO);
      setenv("HOME", dir_.c_str(), 1);
      setenv("XDG_CONFIG_HOME", (dir_ / "config").c_str(), 1);
      setenv("XDG_STATE_HOME", (dir_ / "state").c_str(), 1);
      setenv("QT_QPA_PLATFORM", "offscreen", 1);
      setenv("NORVALIS_CRASH_ANSWER", answer.c_str(), 1);
      if (!freopen((dir_ / "stderr.txt").c_str(), "w", stderr)) _exit(126);
      std::vector<char*> argv;
      for (const std::string& part : command)
        argv.push_back(const_cast<char*>(part.c_str()));
      argv.push_back(nullptr);
      execv(argv[0], argv.data());
      _exit(127);
    }
    return pid;
  }

  // The program's wait status, once it and the helper have ended.
  int WaitForEnd(pid_t pid) {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    while (waitpid(-1, nullptr, 0) > 0 || errno == EINTR) {
    }
    return status;
  }

  // Until the program has its handler in place (or has ended).
  bool WaitForHandler(pid_t pid) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (std::chrono::steady_clock::now() < deadline) {
      if (CatchesSignal(pid, SIGSEGV)) return true;
      if (waitpid(pid, nullptr, WNOHANG) != 0) return false;
      std::this_thread::yield();
    }
    return false;
  }

  // The only log in the log folder.
  std::string OnlyLog() {
    std::vector<std::filesystem::path> logs;
    std::error_code error;
    for (const auto& entry :
         std::filesystem::directory_iterator(dir_ / "state" / "Norvalis" / "crash", error)) {
      if (entry.path().extension() == ".txt") logs.push_back(entry.path());
    }
    EXPECT_EQ(logs.size(), 1u) << ReadFile(dir_ / "stderr.txt");
    return logs.empty() ? std::string() : ReadFile(logs.front());
  }

  std::filesystem::path dir_;
};

struct VictimCrash {
  const char* mode;
  int signal;
  const char* signalName;
  const char* crashedFunction;  // in the crashed thread's stack
  const char* faultFunction;    // holds the faulting instruction; nullptr: in the C library
  const char* exception;        // in the summary; nullptr: none
  bool mainThread;
  const char* otherThreadFunction;  // running meanwhile in another thread
};

const VictimCrash VictimCrashes[] = {
    {"null-write", SIGSEGV, "SIGSEGV", "VictimWriteNull", "VictimWriteNull", nullptr, true,
     nullptr},
    {"abort", SIGABRT, "SIGABRT", "VictimAbort", nullptr, nullptr, true, nullptr},
    {"worker-throw", SIGABRT, "SIGABRT", "VictimThrowingWorker", nullptr,
     "std::runtime_error: 作業スレッドの例外", false, nullptr},
    {"second-thread", SIGSEGV, "SIGSEGV", "VictimSecondThreadWrite", "VictimWriteNull", nullptr,
     false, "VictimBusyMainThread"},
    {"stack-overflow", SIGSEGV, "SIGSEGV", "VictimRecurse", "VictimRecurse", nullptr, true,
     nullptr},
    {"forwarded-bus", SIGBUS, "SIGBUS", "VictimReadPastMappedEnd", "VictimReadPastMappedEnd",
     nullptr, true, nullptr},
};

TEST_F(CrashRunTest, TheReportTellsWhereAndHowTheProgramCrashed) {
  for (const VictimCrash& crash : VictimCrashes) {
    SCOPED_TRACE(crash.mode);
    std::filesystem::remove_all(dir_ / "state");
    const int status = WaitForEnd(
        Start({NORVALIS_CRASH_VICTIM, crash.mode}, "スクリーンショットを添付,ログを保存,閉じる"));
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == crash.signal)
        << "wait status " << status;
    const std::string report = OnlyLog();
    const std::string summary = Page(report, "概要");
    EXPECT_NE(LineAfter(summary, "シグナル: ").find(crash.signalName), std::string::npos)
        << summary;
    EXPECT_EQ(LineAfter(summary, "スレッド: ").find("メインスレッド") != std::string::npos,
              crash.mainThread)
        << summary;
    if (crash.exception != nullptr) {
      EXPECT_EQ(LineAfter(summary, "処理されない例外: "), crash.exception) << summary;
    }

    const std::string stacks = Page(report, "呼び出し履歴");
    const std::string crashedStack = stacks.substr(0, stacks.find("\n\n"));
    EXPECT_NE(crashedStack.find("停止の原因"), std::string::npos) << stacks;
    EXPECT_NE(crashedStack.find(crash.crashedFunction), std::string::npos) << stacks;
    if (crash.otherThreadFunction != nullptr) {
      EXPECT_NE(stacks.find(crash.otherThreadFunction, crashedStack.size()), std::string::npos)
          << stacks;
    }

    const std::string pc = LineAfter(Page(report, "CPUレジスタ"), "rip      ");
    ASSERT_FALSE(pc.empty()) << report;
    const std::string code = Page(report, "機械語");
    EXPECT_NE(code.find("=> " + pc + ":"), std::string::npos) << pc << "\n" << code;
    if (crash.faultFunction != nullptr) {
      EXPECT_NE(code.substr(0, code.find('\n')).find(crash.faultFunction), std::string::npos)
          << code;
    }
    EXPECT_NE(Page(report, "モジュール").find(NORVALIS_CRASH_VICTIM), std::string::npos);
    EXPECT_NE(Page(report, "プロセス").find("停止したプロセス"), std::string::npos);
  }
}

struct ProgramCrash {
  std::vector<std::string> command;
  const char* answer;
  const char* onStandardError;  // nullptr: the report is not expected there
};

TEST_F(CrashRunTest, TheProgramsThemselvesHandleACrash) {
  // norvalis-check dumps a table larger than a pipe holds into a pipe nobody reads: it is still
  // running, blocked, when it is killed.
  {
    std::ofstream table(dir_ / "large.csv");
    for (int row = 0; row < 100000; ++row)
      table << row << ",値\n";
  }
  int unread[2];
  ASSERT_EQ(pipe(unread), 0);
  const ProgramCrash programs[] = {
      {{NORVALIS_CHECK_EXE, "--dump", (dir_ / "large.csv").string()}, "", "シグナル: SIGSEGV"},
      {{NORVALIS_EXE}, "?,ログを保存,閉じる", "norvalis-crash: texts"},
  };
  for (const ProgramCrash& program : programs) {
    SCOPED_TRACE(program.command.front());
    std::filesystem::remove_all(dir_ / "state");
    const pid_t pid = Start(program.command, program.answer, unread[1]);
    ASSERT_TRUE(WaitForHandler(pid)) << ReadFile(dir_ / "stderr.txt");
    kill(pid, SIGSEGV);
    const int status = WaitForEnd(pid);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGSEGV) << "wait status " << status;
    const std::string report = OnlyLog();
    const std::string summary = Page(report, "概要");
    EXPECT_NE(summary.find("kill で送られた"), std::string::npos) << summary;
    EXPECT_EQ(LineAfter(summary, "バージョン: "), "0.1.0.0") << summary;
    EXPECT_NE(Page(report, "モジュール").find(program.command.front()), std::string::npos);
    const std::string standardError = ReadFile(dir_ / "stderr.txt");
    if (program.onStandardError != nullptr) {
      EXPECT_NE(standardError.find(program.onStandardError), std::string::npos);
    }
    if (program.answer[0] == '?') {
      // The dialog's buttons take keys, and the toolkit's texts in it are Japanese.
      for (const char* text : {"レポートをコピー(&C)", "ログを保存(&L)", "閉じる(&X)", "コピー"})
        EXPECT_NE(standardError.find(text), std::string::npos) << text << "\n" << standardError;
      for (const char* english : {"Copy", "Select All", "Scroll Left", "Scroll Right"})
        EXPECT_EQ(standardError.find(english), std::string::npos) << english << "\n"
                                                                  << standardError;
    }
  }
  close(unread[0]);
  close(unread[1]);
}

}  // namespace
