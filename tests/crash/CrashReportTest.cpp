#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <cstdint>
#include <string>
#include <vector>

#include "CrashLog.h"
#include "Handover.h"
#include "MachineCode.h"
#include "crash/SignalSafeText.h"

namespace norvalis::crash {
namespace {

TEST(SignalSafeTextTest, NumbersAtTheirLimitsAndOverflowDropped) {
  char buffer[64];
  SignalSafeText text(buffer, sizeof buffer);
  text.Decimal(INT64_MIN).Add(" ").Decimal(0).Add(" ").Hex(UINT64_MAX).Add(" ").AddLine("a\nb");
  EXPECT_EQ(std::string(text.Data(), text.Size()), "-9223372036854775808 0 0xffffffffffffffff a b");
  char small[4];
  SignalSafeText full(small, sizeof small);
  full.Add("abcdef");
  EXPECT_EQ(std::string(full.Data(), full.Size()), "abcd");
}

TEST(HandoverTest, ParsesWhatTheHandlerWrites) {
  const auto handover = ParseHandover(
      "pid=100\ntid=101\nsignal=11\ncode=1\naddress=0x0\ntime=1700000000\n"
      "exception=std::runtime_error: x=1\nreg.rax=0x2a\nreg.rip=0x401000\nreg.rsp=0x7ffc\n"
      "option.dialog=1\noption.send=1\noption.autolog=0\noption.mail=a@b.invalid\n"
      "no equals sign\noption.program=Norvalis\n");
  ASSERT_TRUE(handover);
  EXPECT_EQ(handover->pid, 100);
  EXPECT_EQ(handover->tid, 101);
  EXPECT_EQ(handover->signal, 11);
  EXPECT_EQ(handover->code, 1);
  EXPECT_EQ(handover->address, 0u);
  EXPECT_FALSE(handover->sender);
  EXPECT_EQ(handover->exception, "std::runtime_error: x=1");
  ASSERT_EQ(handover->registers.size(), 3u);
  EXPECT_EQ(handover->registers[1].first, "rip");
  EXPECT_EQ(handover->InstructionPointer(), 0x401000u);
  EXPECT_TRUE(handover->options.dialog);
  EXPECT_TRUE(handover->options.send);
  EXPECT_FALSE(handover->options.autoLog);
  EXPECT_FALSE(handover->options.copy);
  EXPECT_EQ(handover->options.mail, "a@b.invalid");
}

TEST(HandoverTest, IncompleteHandoversAreRefused) {
  const struct {
    const char* text;
    bool accepted;
  } cases[] = {
      {"", false},
      {"signal=11\n", false},
      {"pid=5\n", false},
      {"pid=0\nsignal=11\n", false},
      {"pid=x5\nsignal=11\n", false},
      {"pid=5\nsignal=11", true},  // the last line without its break
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    const auto handover = ParseHandover(c.text);
    EXPECT_EQ(handover.has_value(), c.accepted);
    if (handover) {
      EXPECT_EQ(handover->tid, 5) << "the thread defaults to the process";
    }
  }
}

TEST(CrashLogTest, FolderFollowsTheStateHomeOnlyWhenItIsAbsolute) {
  const std::string home = std::getenv("HOME") != nullptr ? std::getenv("HOME") : "";
  const char* saved = std::getenv("XDG_STATE_HOME");
  const std::string before = saved != nullptr ? saved : "";
  const struct {
    const char* stateHome;  // nullptr: unset
    std::string folder;
  } cases[] = {
      {"/var/state", "/var/state/Norvalis/crash"},
      {"relative/state", home + "/.local/state/Norvalis/crash"},
      {"", home + "/.local/state/Norvalis/crash"},
      {nullptr, home + "/.local/state/Norvalis/crash"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.stateHome != nullptr ? c.stateHome : "(unset)");
    if (c.stateHome != nullptr) {
      setenv("XDG_STATE_HOME", c.stateHome, 1);
    } else {
      unsetenv("XDG_STATE_HOME");
    }
    EXPECT_EQ(CrashLogFolder().string(), c.folder);
  }
  if (saved != nullptr) {
    setenv("XDG_STATE_HOME", before.c_str(), 1);
  } else {
    unsetenv("XDG_STATE_HOME");
  }
}

#if defined(__x86_64__)
TEST(MachineCodeTest, MarksTheInstructionAtPc) {
  // push rbp; mov rbp, rsp; mov dword ptr [rax], 0x2a; pop rbp; ret
  const std::vector<std::uint8_t> bytes = {0x55, 0x48, 0x89, 0xe5, 0xc7, 0x00,
                                           0x2a, 0x00, 0x00, 0x00, 0x5d, 0xc3};
  const CodeBytes code{0x1000, bytes};
  const struct {
    std::uint64_t pc;
    std::optional<std::uint64_t> functionStart;
    const char* marked;  // nullptr: nothing to show
  } cases[] = {
      {0x1004, 0x1000, "=> 0x0000000000001004: c7 00 2a 00 00 00"},
      {0x1004, std::nullopt, "=> 0x0000000000001004: c7 00 2a 00 00 00"},
      {0x1000, 0x1000, "=> 0x0000000000001000: 55"},
      {0x100b, 0x1000, "=> 0x000000000000100b: c3"},
      {0x100c, 0x1000, nullptr},
      {0x0fff, std::nullopt, nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.pc);
    const std::string text = DisassembleAround(code, c.pc, c.functionStart);
    if (c.marked == nullptr) {
      EXPECT_EQ(text, "");
      continue;
    }
    EXPECT_NE(text.find(c.marked), std::string::npos) << text;
    EXPECT_EQ(text.find("=>"), text.rfind("=>")) << "one instruction marked\n" << text;
    EXPECT_NE(text.find("0x0000000000001000: 55"), std::string::npos) << "from the start\n" << text;
  }
  EXPECT_NE(DisassembleAround(code, 0x1004, 0x1000).find("dword ptr [rax], 0x2a"),
            std::string::npos);
}
#endif

}  // namespace
}  // namespace norvalis::crash
