#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace norvalis::crash {

// Bytes of code and the address of the first of them.
struct CodeBytes {
  std::uint64_t address = 0;
  std::span<const std::uint8_t> bytes;
};

// The instructions of code around pc, one a line ("address: bytes  mnemonic operands"), the one
// at pc marked with "=>". Disassembly starts at functionStart when it lies in code, else at the
// earliest byte from which the instructions fall on pc. Empty when pc is not in code or nothing
// decodes.
std::string DisassembleAround(const CodeBytes& code, std::uint64_t pc,
                              std::optional<std::uint64_t> functionStart);

}  // namespace norvalis::crash
