#include "check/CharacterCheck.h"

#include <cstring>
#include <memory>

#include "check/ColumnCheck.h"
#include "check/ColumnRule.h"
#include "check/RowTasks.h"
#include "text/CodePage.h"
#include "text/Cp932Facts.h"

namespace norvalis {

namespace {

constexpr std::uint32_t RowsPerRange = 1 << 14;

constexpr std::array<std::string_view, CharacterKindCount> KindNames = {
    "mojibake", "machine-dependent", "mixed-forms", "control", "spaces"};

// Characters that converters map differently: a file that went through two holds both forms.
constexpr std::array<std::pair<char16_t, char16_t>, 7> FormPairs = {{
    {0x301C, 0xFF5E},
    {0x2016, 0x2225},
    {0x2212, 0xFF0D},
    {0x2014, 0x2015},
    {0x00A2, 0xFFE0},
    {0x00A3, 0xFFE1},
    {0x00AC, 0xFFE2},
}};
constexpr std::size_t FormCount = FormPairs.size() * 2;

// The bit of a form (pair * 2 + side), or 0 for another character.
std::uint16_t formBit(char32_t c) {
  for (std::size_t p = 0; p < FormPairs.size(); ++p) {
    if (c == FormPairs[p].first) return static_cast<std::uint16_t>(1u << (2 * p));
    if (c == FormPairs[p].second) return static_cast<std::uint16_t>(1u << (2 * p + 1));
  }
  return 0;
}

bool isControl(char32_t c) {
  return (c < 0x20 && c != u'\t' && c != u'\n') || (c >= 0x7F && c <= 0x9F);
}
bool isSpace(char32_t c) {
  return c == u' ' || c == 0x3000 || c == u'\t';
}
bool isMachineDependent(char32_t c) {
  const std::uint8_t f = Cp932Facts::FactsOf(c);
  return (f & Cp932Facts::Encodable) != 0 && (f & Cp932Facts::Standard) == 0;
}

constexpr unsigned bit(CharacterKind kind) {
  return 1u << static_cast<unsigned>(kind);
}

// The kinds a cell holds (mixed-forms: it holds a form; whether that form is the rarer is only
// known at the end), and the forms it holds.
unsigned analyzeCell(std::u16string_view cell, unsigned kinds, std::uint16_t& forms) {
  unsigned found = 0;
  forms = 0;
  if (cell.empty()) return 0;
  ForEachCodePoint(cell, [&](char32_t c) {
    if (c < 0x80) {
      if (isControl(c)) found |= bit(CharacterKind::Control);
      return;
    }
    if (c == 0xFFFD) found |= bit(CharacterKind::Mojibake);
    if (isControl(c)) found |= bit(CharacterKind::Control);
    if (isMachineDependent(c)) found |= bit(CharacterKind::MachineDependent);
    forms |= formBit(c);
  });
  if (forms != 0) found |= bit(CharacterKind::MixedForms);
  if (isSpace(cell.front()) || isSpace(cell.back())) found |= bit(CharacterKind::Spaces);
  if ((kinds & bit(CharacterKind::MixedForms)) == 0) forms = 0;
  return found & kinds;
}

// Per 932 sequence (index b or lead << 8 | trail): whether the cell must be looked at closely.
struct SequenceClasses {
  std::array<bool, 65536> look{};
  SequenceClasses() {
    for (unsigned s = 0x80; s < 0x10000; ++s) {
      const unsigned lead = s >> 8;
      if (lead == 0 ? Cp932Facts::IsLeadByte(s) : !Cp932Facts::IsLeadByte(lead)) continue;
      const char32_t c = Cp932Facts::Decoded(s);
      look[s] = c == 0xFFFD || isControl(c) || isMachineDependent(c) || formBit(c) != 0;
    }
  }
};

// A byte below 0x20, a quote or U+007F in any lane, or a byte with its high bit set.
inline bool wordNeedsBytes(std::uint64_t w) {
  constexpr std::uint64_t Ones = 0x0101010101010101ULL;
  constexpr std::uint64_t Highs = 0x8080808080808080ULL;
  const auto hasZero = [](std::uint64_t v) { return (v - Ones) & ~v & Highs; };
  return ((w | (w - Ones * 0x20)) & Highs) != 0 || hasZero(w ^ (Ones * 0x22)) != 0 ||
         hasZero(w ^ (Ones * 0x7F)) != 0;
}

// Whether the raw 932 cell may hold a problem: false only when it surely holds none. Quoted
// cells without an inner quote are read between their quotes; anything unusual says true.
bool mayHaveProblem(std::string_view raw, const SequenceClasses& classes) {
  auto* p = reinterpret_cast<const unsigned char*>(raw.data());
  std::size_t n = raw.size();
  if (n == 0) return false;
  if (p[0] == '"') {
    if (n < 2 || p[n - 1] != '"') return true;
    ++p;
    n -= 2;
    if (n == 0) return false;
  }
  if (p[0] == ' ' || p[0] == '\t') return true;
  std::size_t i = 0;
  std::size_t last = 0;  // where the last character starts
  while (i < n) {
    if (i + 8 <= n) {
      std::uint64_t w;
      std::memcpy(&w, p + i, 8);
      if (!wordNeedsBytes(w)) {
        i += 8;
        last = i - 1;
        continue;
      }
    }
    const unsigned b = p[i];
    if (b < 0x80) {
      if (b < 0x20 || b == '"' || b == 0x7F) return true;
      last = i++;
    } else if (Cp932Facts::IsLeadByte(b)) {
      if (i + 1 >= n || !Cp932Facts::IsTrailByte(p[i + 1])) return true;
      if (classes.look[b << 8 | p[i + 1]]) return true;
      last = i;
      i += 2;
    } else {
      if (classes.look[b]) return true;
      last = i++;
    }
  }
  if (p[last] == ' ') return true;
  // U+3000 is 81 40 and always a whole character where it starts.
  if (p[last] == 0x81 && last + 1 < n && p[last + 1] == 0x40) return true;
  return p[0] == 0x81 && n > 1 && p[1] == 0x40;
}

struct RangeResult {
  std::vector<CharacterFinding> findings;
  std::vector<std::uint16_t> forms;  // per mixed-forms candidate, in order
  std::array<std::uint64_t, FormCount> formCells{};
};

void addFindings(std::uint32_t row, std::uint32_t col, unsigned found, std::uint16_t forms,
                 RangeResult& out) {
  for (unsigned k = 0; k < CharacterKindCount; ++k) {
    if ((found & (1u << k)) == 0) continue;
    out.findings.push_back({row, col, static_cast<CharacterKind>(k)});
    if (static_cast<CharacterKind>(k) == CharacterKind::MixedForms) {
      out.forms.push_back(forms);
      for (std::size_t f = 0; f < FormCount; ++f)
        out.formCells[f] += (forms >> f) & 1;
    }
  }
}

void checkRange(const CsvTable& table, unsigned kinds, RowTasks::Range range, RangeResult& out) {
  const bool bytes = table.RawIsBytes() && table.CodePage() == CodePage::ShiftJis;
  static const std::unique_ptr<const SequenceClasses> classes =
      std::make_unique<const SequenceClasses>();
  std::vector<std::string_view> raws;
  std::vector<UnicodeString> cells;
  std::uint16_t forms = 0;
  for (std::uint32_t row = range.first; row < range.end; ++row) {
    if (bytes) {
      table.RawCells(row, raws);
      for (std::uint32_t col = 0; col < raws.size(); ++col) {
        if (!mayHaveProblem(raws[col], *classes)) continue;
        const UnicodeString cell = table.CellText(raws[col]);
        if (const unsigned found = analyzeCell(cell, kinds, forms)) addFindings(row, col, found, forms, out);
      }
    } else {
      table.RowCells(row, cells);
      for (std::uint32_t col = 0; col < cells.size(); ++col) {
        if (const unsigned found = analyzeCell(cells[col], kinds, forms)) addFindings(row, col, found, forms, out);
      }
    }
  }
}

}  // namespace

std::string_view CharacterKindName(CharacterKind kind) {
  return KindNames[static_cast<std::size_t>(kind)];
}

std::optional<CharacterKind> CharacterKindFromName(std::string_view name) {
  for (std::size_t k = 0; k < KindNames.size(); ++k)
    if (KindNames[k] == name) return static_cast<CharacterKind>(k);
  return std::nullopt;
}

CharacterCheckResult CheckCharacters(const CsvTable& table, bool firstLineIsTitle, unsigned kinds,
                                     YieldHook* hook, const std::atomic<bool>* cancel) {
  CharacterCheckResult result;
  const CheckRows rows = CheckRowsOf(table.RowCount(), firstLineIsTitle);
  if (!rows.HasReference()) return result;

  const std::vector<RowTasks::Range> ranges = RowTasks::Split(rows.reference, rows.end, RowsPerRange);
  std::vector<RangeResult> rangeResults(ranges.size());
  std::atomic<std::uint64_t> done{0};
  const std::uint64_t total = rows.end - rows.reference;
  if (hook != nullptr) hook->Force(0, total);
  RowTasks::Run(
      ranges.size(),
      [&](std::size_t i) {
        checkRange(table, kinds, ranges[i], rangeResults[i]);
        done += ranges[i].end - ranges[i].first;
      },
      hook, [&] { return done.load(); }, total, cancel);
  if (cancel != nullptr && cancel->load()) {
    result.outcome = CharacterCheckResult::Outcome::Cancelled;
    return result;
  }

  // Of each pair whose both forms occur, the form fewer cells hold (the first on a tie).
  std::array<std::uint64_t, FormCount> formCells{};
  for (const RangeResult& range : rangeResults)
    for (std::size_t f = 0; f < FormCount; ++f)
      formCells[f] += range.formCells[f];
  std::uint16_t rarer = 0;
  for (std::size_t p = 0; p < FormPairs.size(); ++p) {
    const std::uint64_t first = formCells[2 * p];
    const std::uint64_t second = formCells[2 * p + 1];
    if (first == 0 || second == 0) continue;
    const bool firstRarer = first <= second;
    rarer |= static_cast<std::uint16_t>(1u << (2 * p + (firstRarer ? 0 : 1)));
    result.rarerForms += firstRarer ? FormPairs[p].first : FormPairs[p].second;
  }

  std::size_t size = 0;
  for (const RangeResult& range : rangeResults)
    size += range.findings.size();
  result.findings.reserve(size);
  for (RangeResult& range : rangeResults) {
    std::size_t candidate = 0;
    for (const CharacterFinding& finding : range.findings) {
      if (finding.kind == CharacterKind::MixedForms && (range.forms[candidate++] & rarer) == 0) continue;
      result.findings.push_back(finding);
      ++result.counts[static_cast<std::size_t>(finding.kind)];
    }
    range = RangeResult{};
  }
  result.outcome = result.findings.empty() ? CharacterCheckResult::Outcome::Clean
                                           : CharacterCheckResult::Outcome::Found;
  return result;
}

std::u32string FindingChars(const CharacterCheckResult& result, CharacterKind kind,
                            std::u16string_view cell) {
  std::u32string chars;
  const auto add = [&chars](char32_t c) {
    if (chars.find(c) == std::u32string::npos) chars += c;
  };
  switch (kind) {
    case CharacterKind::Mojibake:
      return U"\uFFFD";
    case CharacterKind::MachineDependent:
      ForEachCodePoint(cell, [&](char32_t c) {
        if (isMachineDependent(c)) add(c);
      });
      break;
    case CharacterKind::MixedForms:
      ForEachCodePoint(cell, [&](char32_t c) {
        if (result.rarerForms.find(c) != std::u32string::npos) add(c);
      });
      break;
    case CharacterKind::Control:
      ForEachCodePoint(cell, [&](char32_t c) {
        if (isControl(c)) add(c);
      });
      break;
    case CharacterKind::Spaces: {
      std::size_t lead = 0;
      while (lead < cell.size() && isSpace(cell[lead]))
        add(cell[lead++]);
      std::size_t trail = cell.size();
      while (trail > lead && isSpace(cell[trail - 1]))
        --trail;
      for (std::size_t i = trail; i < cell.size(); ++i)
        add(cell[i]);
      break;
    }
  }
  return chars;
}

std::string CodePointsText(std::u32string_view chars) {
  std::string text;
  for (const char32_t c : chars) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "U+%04X", static_cast<unsigned>(c));
    if (!text.empty()) text += ' ';
    text += buffer;
  }
  return text;
}

UnicodeString CharacterFindingText(CharacterKind kind, std::u32string_view chars) {
  UnicodeString shown;
  for (const char32_t c : chars)
    if (!isControl(c) && !isSpace(c)) AppendUtf16(shown, c);
  switch (kind) {
    case CharacterKind::Mojibake:
      return u"文字化け（変換できなかった文字）があります";
    case CharacterKind::MachineDependent:
      return u"機種依存文字があります: " + shown;
    case CharacterKind::MixedForms:
      return u"変換によって異なる形の文字が混在しています: " + shown;
    case CharacterKind::Control:
      return u"制御文字があります";
    case CharacterKind::Spaces:
      return u"先頭か末尾に空白があります";
  }
  return {};
}

UnicodeString CharacterStatusText(const CharacterCheckResult& result) {
  switch (result.outcome) {
    case CharacterCheckResult::Outcome::NoRows:
      return u"検証する行がありません。";
    case CharacterCheckResult::Outcome::Clean:
      return u"文字の問題は見つかりませんでした。";
    case CharacterCheckResult::Outcome::Cancelled:
      return u"中止しました。";
    case CharacterCheckResult::Outcome::Found:
      break;
  }
  return Format(u"%s 件の文字の問題が見つかりました。",
                {std::u16string_view(GroupDigits(result.findings.size()))});
}

}  // namespace norvalis
