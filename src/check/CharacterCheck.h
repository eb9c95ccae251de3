#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "csv/Csv.h"
#include "text/UnicodeString.h"
#include "text/YieldHook.h"

namespace norvalis {

// The kinds of character problem, in the order findings of one cell are listed.
enum class CharacterKind : std::uint8_t { Mojibake, MachineDependent, MixedForms, Control, Spaces };
constexpr std::size_t CharacterKindCount = 5;
// Every kind, as bits (1 << kind).
constexpr unsigned AllCharacterKinds = (1u << CharacterKindCount) - 1;

// "mojibake", "machine-dependent", "mixed-forms", "control", "spaces".
std::string_view CharacterKindName(CharacterKind kind);
std::optional<CharacterKind> CharacterKindFromName(std::string_view name);

// One cell with one kind of problem.
struct CharacterFinding {
  std::uint32_t row = 0;  // table row
  std::uint32_t col = 0;
  CharacterKind kind = CharacterKind::Mojibake;
  long long RowNumber() const { return static_cast<long long>(row) + 1; }
};

struct CharacterCheckResult {
  enum class Outcome { NoRows, Clean, Found, Cancelled };
  Outcome outcome = Outcome::NoRows;
  // In row order, then column order, then the order of the kinds.
  std::vector<CharacterFinding> findings;
  std::array<std::uint64_t, CharacterKindCount> counts{};
  // Of each pair of forms that both occur, the rarer character: what mixed-forms flags.
  std::u32string rarerForms;
};

// Every cell of every data row; kinds are the bits of the kinds to look for. Shift_JIS tables
// are read as bytes, and only the cells that may hold a problem are decoded. The hook gets
// (rows done, rows) on elapsed time; a set cancel flag ends the run soon with Cancelled.
CharacterCheckResult CheckCharacters(const CsvTable& table, bool firstLineIsTitle,
                                     unsigned kinds = AllCharacterKinds, YieldHook* hook = nullptr,
                                     const std::atomic<bool>* cancel = nullptr);

// The characters a finding names: each once, in the order they first occur in the cell.
std::u32string FindingChars(const CharacterCheckResult& result, CharacterKind kind,
                            std::u16string_view cell);
// "U+3000 U+0020": code points as U+XXXX (at least four hex digits), separated by spaces.
std::string CodePointsText(std::u32string_view chars);
// What is wrong, in a short Japanese text.
UnicodeString CharacterFindingText(CharacterKind kind, std::u32string_view chars);
// "N 件の文字の問題が見つかりました。" or "文字の問題は見つかりませんでした。"
UnicodeString CharacterStatusText(const CharacterCheckResult& result);

}  // namespace norvalis
