#include "MachineCode.h"

#include <capstone/capstone.h>

#include <cstdio>
#include <memory>
#include <vector>

namespace norvalis::crash {

namespace {

constexpr int InstructionsAfter = 8;

#if defined(__x86_64__)
constexpr cs_arch Architecture = CS_ARCH_X86;
constexpr cs_mode Mode = CS_MODE_64;
#elif defined(__aarch64__)
constexpr cs_arch Architecture = CS_ARCH_ARM64;
constexpr cs_mode Mode = CS_MODE_ARM;
#else
#error "no disassembler set for this architecture"
#endif

struct Instructions {
  cs_insn* first = nullptr;
  std::size_t count = 0;
  ~Instructions() {
    if (first != nullptr) cs_free(first, count);
  }
};

struct Disassembler {
  csh handle = 0;
  bool open = cs_open(Architecture, Mode, &handle) == CS_ERR_OK;
  ~Disassembler() {
    if (open) cs_close(&handle);
  }
};

// Linear disassembly from offset; whether an instruction starts exactly at pc.
bool LandsOn(const Disassembler& disassembler, const CodeBytes& code, std::size_t offset,
             std::uint64_t pc, Instructions& out) {
  out.count = cs_disasm(disassembler.handle, code.bytes.data() + offset, code.bytes.size() - offset,
                        code.address + offset, 0, &out.first);
  for (std::size_t i = 0; i < out.count; ++i) {
    if (out.first[i].address == pc) return true;
  }
  return false;
}

std::string FormatInstruction(const cs_insn& instruction, bool marked) {
  std::string bytes;
  for (std::uint16_t i = 0; i < instruction.size; ++i) {
    char pair[4];
    std::snprintf(pair, sizeof pair, "%02x ", instruction.bytes[i]);
    bytes += pair;
  }
  char line[256];
  std::snprintf(line, sizeof line, "%s0x%016llx: %-30s %s %s", marked ? "=> " : "   ",
                static_cast<unsigned long long>(instruction.address), bytes.c_str(),
                instruction.mnemonic, instruction.op_str);
  std::string text = line;
  while (!text.empty() && text.back() == ' ')
    text.pop_back();
  return text + "\n";
}

}  // namespace

std::string DisassembleAround(const CodeBytes& code, std::uint64_t pc,
                              std::optional<std::uint64_t> functionStart) {
  if (pc < code.address || pc >= code.address + code.bytes.size()) return {};
  const Disassembler disassembler;
  if (!disassembler.open) return {};
  const std::size_t pcOffset = pc - code.address;
  std::vector<std::size_t> starts;
  if (functionStart && *functionStart >= code.address && *functionStart <= pc)
    starts.push_back(*functionStart - code.address);
  for (std::size_t offset = 0; offset <= pcOffset; ++offset)
    starts.push_back(offset);
  for (std::size_t start : starts) {
    Instructions instructions;
    if (!LandsOn(disassembler, code, start, pc, instructions)) continue;
    std::string text;
    int after = -1;
    for (std::size_t i = 0; i < instructions.count && after < InstructionsAfter; ++i) {
      const bool marked = instructions.first[i].address == pc;
      if (marked)
        after = 0;
      else if (after >= 0)
        ++after;
      text += FormatInstruction(instructions.first[i], marked);
    }
    return text;
  }
  // Nothing falls on pc: show it decoded from pc itself.
  Instructions instructions;
  LandsOn(disassembler, code, pcOffset, pc, instructions);
  std::string text;
  for (std::size_t i = 0; i < instructions.count && i <= InstructionsAfter; ++i)
    text += FormatInstruction(instructions.first[i], i == 0);
  return text;
}

}  // namespace norvalis::crash
