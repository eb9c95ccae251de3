#include "check/RuleCheck.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <optional>
#include <unordered_map>

#include "check/ColumnCheck.h"
#include "check/RowCellReader.h"
#include "check/RowPass.h"
#include "check/RowTasks.h"
#include "text/Cp932Facts.h"

namespace norvalis {

namespace {

constexpr std::uint32_t RowsPerRange = 1 << 15;

struct RangeResult {
  std::vector<RuleFinding> findings;
};

bool rowOrder(const RuleFinding& a, const RuleFinding& b) {
  return a.row != b.row ? a.row < b.row : a.rule < b.rule;
}

// What a rule says of a cell: passes, breaks, or (regex) breaks because matching gave up.
enum Answer : std::uint8_t { Passes, Breaks, GaveUp };

// One rule's answers for recent cell contents, each in a slot of its hash: equal bytes decode
// to equal text, so a column of few values is judged without decoding its cells.
class AnswerCache {
 public:
  static constexpr std::size_t MaxBytes = 24;
  AnswerCache() : slots_(Slots) {}
  // The answer remembered for the bytes, or nothing.
  std::optional<Answer> Find(std::string_view bytes, std::uint64_t hash) const {
    const Slot& slot = slots_[hash % Slots];
    if (slot.hash != hash || slot.size != bytes.size()) return std::nullopt;
    // Up to 8 bytes the hash is a bijection of the bytes: equal hashes are equal bytes.
    if (bytes.size() > 8 && !RowPass::SameShort(slot.bytes, bytes.data(), bytes.size()))
      return std::nullopt;
    return slot.answer;
  }
  void Store(std::string_view bytes, std::uint64_t hash, Answer answer) {
    Slot& slot = slots_[hash % Slots];
    slot.hash = hash;
    slot.size = static_cast<std::uint8_t>(bytes.size());
    slot.answer = answer;
    if (!bytes.empty()) std::memcpy(slot.bytes, bytes.data(), bytes.size());
  }

 private:
  static constexpr std::size_t Slots = 512;
  struct Slot {
    std::uint64_t hash = 0;
    std::uint8_t size = 0xFF;  // no content is this long: an empty slot
    Answer answer = Passes;
    char bytes[MaxBytes];
  };
  std::vector<Slot> slots_;
};

// The rules that look at a cell alone (and same), over a range of rows.
void checkRange(const CsvTable& table, std::span<const ColumnRule> rules,
                const std::vector<std::uint32_t>& cellRules,
                const std::vector<UnicodeString>& references, std::uint32_t referenceRow,
                RowTasks::Range range, RangeResult& out) {
  std::vector<std::unique_ptr<RegexPattern::Matcher>> matchers(rules.size());
  for (const std::uint32_t r : cellRules) {
    if (rules[r].kind == RuleKind::Regex)
      matchers[r] = std::make_unique<RegexPattern::Matcher>(*rules[r].regex);
  }
  const auto judge = [&](std::uint32_t r, const UnicodeString& cell) {
    const ColumnRule& rule = rules[r];
    if (rule.kind == RuleKind::Same) return SameCellText(cell, references[r]) ? Passes : Breaks;
    if (rule.kind == RuleKind::Regex) {
      const RegexPattern::Match match = matchers[r]->Whole(cell);
      if (match == RegexPattern::Match::Yes) return Passes;
      return match == RegexPattern::Match::GaveUp ? GaveUp : Breaks;
    }
    return BreaksRule(rule, cell) ? Breaks : Passes;
  };
  std::vector<std::uint32_t> columns;
  for (const std::uint32_t r : cellRules)
    columns.push_back(rules[r].column);
  std::vector<AnswerCache> caches(rules.size());
  // Per rule, the content and answer of the row before: sorted files repeat a value for rows on
  // end, and those bytes are still at hand.
  struct Last {
    std::string_view bytes;
    bool known = false;
    Answer answer = Passes;
  };
  std::vector<Last> lasts(rules.size());
  RowCellReader reader(table, columns);
  for (std::uint32_t row = range.first; row < range.end; ++row) {
    reader.Read(row);
    for (const std::uint32_t r : cellRules) {
      const ColumnRule& rule = rules[r];
      if (rule.kind == RuleKind::Same && row == referenceRow) continue;
      std::string_view bytes;
      Answer answer;
      Last& last = lasts[r];
      if (reader.Content(rule.column, bytes) && bytes.size() <= AnswerCache::MaxBytes) {
        if (last.known && last.bytes.size() == bytes.size() &&
            RowPass::SameShort(last.bytes.data(), bytes.data(), bytes.size())) {
          answer = last.answer;
        } else {
          const std::uint64_t hash = RowPass::HashRaw(bytes);
          if (const std::optional<Answer> known = caches[r].Find(bytes, hash)) {
            answer = *known;
          } else {
            answer = judge(r, reader.Cell(rule.column));
            caches[r].Store(bytes, hash, answer);
          }
        }
        last = Last{bytes, true, answer};
      } else {
        answer = judge(r, reader.Cell(rule.column));
        last.known = false;
      }
      if (answer != Passes) out.findings.push_back({row, r, answer == GaveUp ? 1u : 0u});
    }
  }
}

// The raw forms of one column, each with the first row that held its text: a cell is looked up
// by its stored units, and only a form seen for the first time is decoded.
class RawFirstRows {
 public:
  static constexpr std::uint32_t Free = UINT32_MAX;
  static constexpr std::size_t InlineBytes = 16;
  struct Entry {
    const char* data;
    std::uint64_t size;
    std::uint64_t hash;
    std::uint32_t first;  // Free: an empty slot
    // The first bytes beside it: telling a short cell from another then reads nothing of the
    // file far away.
    char head[InlineBytes];
  };

  RawFirstRows() : slots_(64, Entry{nullptr, 0, 0, Free, {}}) {}

  // The entry of raw: its own, or a new one whose first row the caller sets.
  Entry& Find(std::string_view raw, std::uint64_t hash) {
    std::size_t at = hash & (slots_.size() - 1);
    for (;;) {
      Entry& e = slots_[at];
      if (e.first == Free) {
        if ((used_ + 1) * 2 > slots_.size()) {
          Grow();
          return Find(raw, hash);
        }
        ++used_;
        e = Entry{raw.data(), raw.size(), hash, Free, {}};
        if (!raw.empty()) std::memcpy(e.head, raw.data(), std::min(raw.size(), InlineBytes));
        return e;
      }
      if (e.hash == hash && Same(e, raw)) return e;
      at = (at + 1) & (slots_.size() - 1);
    }
  }
  void Prefetch(std::uint64_t hash) const {
    __builtin_prefetch(&slots_[hash & (slots_.size() - 1)]);
  }

 private:
  static bool Same(const Entry& e, std::string_view raw) {
    if (e.size != raw.size()) return false;
    if (raw.size() <= InlineBytes) return RowPass::SameShort(e.head, raw.data(), raw.size());
    return std::memcmp(e.data, raw.data(), raw.size()) == 0;
  }

  void Grow() {
    std::vector<Entry> old(slots_.size() * 2, Entry{nullptr, 0, 0, Free, {}});
    old.swap(slots_);
    for (const Entry& e : old) {
      if (e.first == Free) continue;
      std::size_t at = e.hash & (slots_.size() - 1);
      while (slots_[at].first != Free)
        at = (at + 1) & (slots_.size() - 1);
      slots_[at] = e;
    }
  }

  std::vector<Entry> slots_;
  std::size_t used_ = 0;
};

// A unique rule: each value's first row, in row order over the whole column. Two raw forms
// may hold one text (the NEC and IBM codes of a character, a quoted and a bare field), so the
// first row is the text's, found when a form is first decoded.
void checkUnique(const CsvTable& table, const ColumnRule& rule, std::uint32_t r,
                 std::uint32_t first, std::uint32_t end, std::vector<RuleFinding>& out) {
  RawFirstRows raws;
  std::unordered_map<UnicodeString, std::uint32_t, TextHash, std::equal_to<>> texts;
  // Room for a repeat in every row up front, so a column of repeats is never copied to grow:
  // its pages are touched only as findings fill them.
  out.reserve(std::min<std::size_t>(end - first, std::size_t{1} << 24));
  UnicodeString text;
  constexpr std::uint32_t Batch = 16;
  std::string_view cells[Batch];
  std::uint64_t hashes[Batch];
  for (std::uint32_t at = first; at < end; at += Batch) {
    const std::uint32_t n = std::min(Batch, end - at);
    for (std::uint32_t k = 0; k < n; ++k) {
      cells[k] = table.RawCell(at + k, rule.column);
      hashes[k] = RowPass::HashRaw(cells[k]);
      raws.Prefetch(hashes[k]);
    }
    for (std::uint32_t k = 0; k < n; ++k) {
      const std::uint32_t row = at + k;
      RawFirstRows::Entry& e = raws.Find(cells[k], hashes[k]);
      if (e.first == RawFirstRows::Free) {
        table.CellText(cells[k], text);
        e.first = texts.try_emplace(text, row).first->second;
      }
      if (e.first != row) out.push_back({row, r, e.first});
    }
  }
}

}  // namespace

RuleCheckResult CheckRules(const CsvTable& table, bool firstLineIsTitle,
                           std::span<const ColumnRule> rules, YieldHook* hook,
                           const std::atomic<bool>* cancel) {
  RuleCheckResult result;
  result.counts.assign(rules.size(), 0);
  const CheckRows rows = CheckRowsOf(table.RowCount(), firstLineIsTitle);
  if (!rows.HasReference()) return result;
  result.referenceRow = rows.reference;

  std::vector<std::uint32_t> cellRules;
  std::vector<std::uint32_t> uniqueRules;
  std::vector<UnicodeString> references(rules.size());
  for (std::uint32_t r = 0; r < rules.size(); ++r) {
    if (rules[r].kind == RuleKind::Unique) {
      uniqueRules.push_back(r);
      continue;
    }
    cellRules.push_back(r);
    if (rules[r].kind == RuleKind::Same)
      references[r] = table.Cell(rows.reference, rules[r].column);
  }

  const std::vector<RowTasks::Range> ranges =
      cellRules.empty() ? std::vector<RowTasks::Range>{}
                        : RowTasks::Split(rows.reference, rows.end, RowsPerRange);
  std::vector<RangeResult> rangeResults(ranges.size());
  std::vector<std::vector<RuleFinding>> uniqueResults(uniqueRules.size());
  std::atomic<std::uint64_t> done{0};
  const std::uint64_t total = std::uint64_t{rows.end - rows.reference} * (ranges.empty() ? 0 : 1) +
                              std::uint64_t{rows.end - rows.reference} * uniqueRules.size();
  if (hook != nullptr) hook->Force(0, total);
  RowTasks::Run(
      uniqueRules.size() + ranges.size(),
      [&](std::size_t i) {
        // The unique columns first: each is one long task, the ranges fill in around them.
        if (i < uniqueRules.size()) {
          const std::uint32_t r = uniqueRules[i];
          checkUnique(table, rules[r], r, rows.reference, rows.end, uniqueResults[i]);
          done += rows.end - rows.reference;
          return;
        }
        const RowTasks::Range range = ranges[i - uniqueRules.size()];
        checkRange(table, rules, cellRules, references, rows.reference, range,
                   rangeResults[i - uniqueRules.size()]);
        done += range.end - range.first;
      },
      hook, [&] { return done.load(); }, total, cancel);
  if (cancel != nullptr && cancel->load()) {
    result.outcome = RuleCheckResult::Outcome::Cancelled;
    return result;
  }

  std::size_t size = 0;
  for (const RangeResult& range : rangeResults)
    size += range.findings.size();
  result.findings.reserve(size);
  for (RangeResult& range : rangeResults) {
    result.findings.insert(result.findings.end(), range.findings.begin(), range.findings.end());
    range.findings = {};
  }
  for (std::vector<RuleFinding>& unique : uniqueResults) {
    if (result.findings.empty()) {
      result.findings = std::move(unique);
      continue;
    }
    // Merged from the back in place: a unique column of millions of repeats is not copied twice.
    std::size_t i = result.findings.size();
    std::size_t j = unique.size();
    result.findings.resize(i + j);
    for (std::size_t k = i + j; j > 0;) {
      if (i > 0 && rowOrder(unique[j - 1], result.findings[i - 1])) {
        result.findings[--k] = result.findings[--i];
      } else {
        result.findings[--k] = unique[--j];
      }
    }
    unique = {};
  }
  // A cell that breaks two rules is one value that breaks them: the status counts cells.
  std::uint32_t groupRow = 0;
  std::size_t groupBegin = 0;
  for (std::size_t i = 0; i < result.findings.size(); ++i) {
    const RuleFinding& finding = result.findings[i];
    ++result.counts[finding.rule];
    if (i == 0 || finding.row != groupRow) {
      groupRow = finding.row;
      groupBegin = i;
    }
    const std::uint32_t column = rules[finding.rule].column;
    bool seen = false;
    for (std::size_t k = groupBegin; k < i && !seen; ++k)
      seen = rules[result.findings[k].rule].column == column;
    if (!seen) ++result.brokenCells;
  }
  result.outcome = result.findings.empty() ? RuleCheckResult::Outcome::AllPass
                                           : RuleCheckResult::Outcome::Broken;
  return result;
}

namespace {

UnicodeString rangeText(const CountRange& range) {
  UnicodeString text;
  if (range.min) text += FromUtf8(std::to_string(*range.min));
  if (range.min != range.max || !range.min) {
    text += u"..";
    if (range.max) text += FromUtf8(std::to_string(*range.max));
  }
  return text;
}

// The characters of the cell that fail the test, each once, in the order they occur.
template <class Fails>
UnicodeString failingChars(std::u16string_view cell, Fails fails) {
  std::u32string found;
  ForEachCodePoint(cell, [&](char32_t c) {
    if (fails(c) && found.find(c) == std::u32string::npos) found += c;
  });
  UnicodeString text;
  for (const char32_t c : found)
    AppendUtf16(text, c);
  return text;
}

}  // namespace

UnicodeString RuleFindingText(const ColumnRule& rule, const RuleFinding& finding,
                              std::u16string_view cell) {
  switch (rule.kind) {
    case RuleKind::Required:
      return u"空欄です";
    case RuleKind::Length: {
      long long n = 0;
      ForEachCodePoint(cell, [&](char32_t) { ++n; });
      return Format(u"%d 文字で、%s 文字の範囲の外です",
                    {n, std::u16string_view(rangeText(rule.range))});
    }
    case RuleKind::Sjis:
      return u"Shift_JIS にない文字があります: " +
             failingChars(cell, [](char32_t c) { return !Cp932Facts::IsEncodable(c); });
    case RuleKind::SjisBytes: {
      long long n = 0;
      ForEachCodePoint(cell, [&](char32_t c) { n += Cp932Facts::ByteLength(c); });
      return Format(u"Shift_JIS で %d バイトで、%s バイトの範囲の外です",
                    {n, std::u16string_view(rangeText(rule.range))});
    }
    case RuleKind::Jis:
      return u"JIS X 0208 の外の文字があります: " +
             failingChars(cell, [](char32_t c) { return !Cp932Facts::IsStandard(c); });
    case RuleKind::Chars:
      return u"使えない文字があります: " +
             failingChars(cell, [&](char32_t c) { return !rule.chars->Contains(c); });
    case RuleKind::Values:
      return u"決められた値のどれでもありません";
    case RuleKind::Unique:
      return Format(u"%d行目と同じ値です", {static_cast<long long>(finding.detail) + 1});
    case RuleKind::Regex:
      return finding.detail != 0 ? u"正規表現の照合が長すぎるため打ち切りました"
                                 : u"正規表現に一致しません";
    case RuleKind::Number:
      return ParseDecimal(cell) ? u"数値が範囲の外です" : u"半角の数値ではありません";
    case RuleKind::Date:
      return u"日付ではないか、書式が違います";
    case RuleKind::Same:
      return u"基準の行の値と異なります";
  }
  return {};
}

UnicodeString RuleStatusText(const RuleCheckResult& result) {
  switch (result.outcome) {
    case RuleCheckResult::Outcome::NoRows:
      return u"検証する行がありません。";
    case RuleCheckResult::Outcome::AllPass:
      return u"すべての値が規則を満たしています。";
    case RuleCheckResult::Outcome::Cancelled:
      return u"中止しました。";
    case RuleCheckResult::Outcome::Broken:
      break;
  }
  return Format(u"%s 件の値が規則に合いません。",
                {std::u16string_view(GroupDigits(result.brokenCells))});
}

}  // namespace norvalis
