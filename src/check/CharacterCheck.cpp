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

// How the row scan treats a byte: a character of its own that needs no look (printable ASCII
// but the quote and the comma, half-width katakana), a lead byte, or anything else.
enum ByteKind : std::uint8_t { PlainSingle, Lead, Other };

struct ByteKinds {
  std::array<std::uint8_t, 256> of{};
  ByteKinds() {
    for (unsigned b = 0; b < 256; ++b) {
      const bool plain =
          (b >= 0x20 && b < 0x7F && b != '"' && b != ',') || (b >= 0xA1 && b <= 0xDF);
      of[b] = Cp932Facts::IsLeadByte(b) ? Lead : plain ? PlainSingle : Other;
    }
  }
};

// A blank (or U+3000, 81 40) at the start of the content, or possibly at its end: 20 is never
// a trail byte, and a false 81 40 only sends the cell to the exact path.
inline bool blankAtAnEnd(const unsigned char* p, std::size_t begin, std::size_t end) {
  if (end == begin) return false;
  if (p[begin] == ' ' || (p[begin] == 0x81 && begin + 1 < end && p[begin + 1] == 0x40)) return true;
  return p[end - 1] == ' ' || (end - begin >= 2 && p[end - 2] == 0x81 && p[end - 1] == 0x40);
}

// One pass over a plain 932 row: its fields located and their bytes classed together. Calls
// look(col, raw) for each cell that may hold a problem; false, at once, for a row with
// anything the plain cut does not cover (controls, doubled quotes, bytes after a closing quote,
// broken sequences), which the caller then reads the exact way.
template <class Look>
bool scanPlainRow(std::string_view row, const SequenceClasses& classes, Look look) {
  static const ByteKinds kinds;
  const auto* p = reinterpret_cast<const unsigned char*>(row.data());
  std::size_t n = row.size();
  if (n > 0 && p[n - 1] == '\n') --n;
  if (n > 0 && p[n - 1] == '\r') --n;
  std::uint32_t col = 0;
  std::size_t i = 0;
  for (;;) {
    const std::size_t fieldStart = i;
    const bool quoted = i < n && p[i] == '"';
    const std::size_t begin = quoted ? i + 1 : i;
    std::size_t j = begin;
    bool suspect = false;
    for (;;) {
      while (j < n && kinds.of[p[j]] == PlainSingle)
        ++j;
      if (j >= n) break;
      const unsigned c = p[j];
      if (kinds.of[c] == Lead) {
        if (j + 1 >= n || !Cp932Facts::IsTrailByte(p[j + 1])) return false;
        suspect |= classes.look[c << 8 | p[j + 1]];
        j += 2;
      } else if (c == '"') {
        if (!quoted) return false;
        break;
      } else if (c == ',') {
        if (!quoted) break;
        ++j;
      } else if (c >= 0x80) {
        suspect |= classes.look[c];
        ++j;
      } else {
        return false;
      }
    }
    const std::size_t contentEnd = j;
    if (quoted) {
      if (j >= n) return false;
      ++j;
      if (j < n && p[j] != ',') return false;
    }
    if (suspect || blankAtAnEnd(p, begin, contentEnd))
      look(col, row.substr(fieldStart, j - fieldStart));
    ++col;
    if (j >= n) return true;
    i = j + 1;
  }
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
  std::vector<UnicodeString> cells;
  std::vector<std::pair<std::uint32_t, std::string_view>> suspects;
  std::uint16_t forms = 0;
  for (std::uint32_t row = range.first; row < range.end; ++row) {
    // The cells to look at are only read once the scan has taken the whole row.
    suspects.clear();
    const auto suspect = [&](std::uint32_t col, std::string_view raw) {
      suspects.emplace_back(col, raw);
    };
    if (bytes && scanPlainRow(table.RowLine(row), *classes, suspect)) {
      for (const auto& [col, raw] : suspects) {
        const UnicodeString cell = table.CellText(raw);
        if (const unsigned found = analyzeCell(cell, kinds, forms))
          addFindings(row, col, found, forms, out);
      }
      continue;
    }
    table.RowCells(row, cells);
    for (std::uint32_t col = 0; col < cells.size(); ++col) {
      if (const unsigned found = analyzeCell(cells[col], kinds, forms))
        addFindings(row, col, found, forms, out);
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

  const std::vector<RowTasks::Range> ranges =
      RowTasks::Split(rows.reference, rows.end, RowsPerRange);
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
      if (finding.kind == CharacterKind::MixedForms && (range.forms[candidate++] & rarer) == 0)
        continue;
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
  static constexpr char Hex[] = "0123456789ABCDEF";
  for (const char32_t c : chars) {
    if (!text.empty()) text += ' ';
    text += "U+";
    const int digits = c > 0xFFFFF ? 6 : c > 0xFFFF ? 5 : 4;
    for (int d = digits - 1; d >= 0; --d)
      text += Hex[(c >> (4 * d)) & 0xF];
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
