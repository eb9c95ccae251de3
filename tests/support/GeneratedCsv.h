#pragma once

#include <algorithm>
#include <cstdint>
#include <map>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "csv/Csv.h"
#include "Iconv.h"
#include "text/StringUtility.h"
#include "text/UnicodeString.h"

// CSV files made in code in every encoding a table is read in, and what a plain second route
// (the whole file decoded, then cut by the literal parser) reads in them.
namespace norvalis::test {

struct GeneratedEncoding {
  const char* name;
  std::uint16_t codePage;
  const char* iconvName;  // for the encodings glibc writes; null for the Unicode forms
  std::string mark;       // the byte-order mark the file starts with
};

inline const std::vector<GeneratedEncoding>& GeneratedEncodings() {
  static const std::vector<GeneratedEncoding> all = {
      {"Shift_JIS", 932, "CP932", ""},
      {"EUC-JP", 20932, "EUC-JP", ""},
      {"UTF-8", 65001, nullptr, ""},
      {"UTF-8 BOM", 65001, nullptr, "\xEF\xBB\xBF"},
      {"UTF-16LE", 1200, nullptr, "\xFF\xFE"},
      {"UTF-16BE", 1201, nullptr, "\xFE\xFF"},
      {"ISO-2022-JP", 50220, "ISO-2022-JP", ""},
  };
  return all;
}

// One piece of a file's text in an encoding: iconv for the code pages, by hand for Unicode.
inline std::string EncodePiece(const GeneratedEncoding& e, std::u16string_view text) {
  if (e.codePage == 65001) return ToUtf8(text);
  if (e.codePage == 1200 || e.codePage == 1201) {
    std::string out;
    for (const char16_t u : text) {
      const char hi = static_cast<char>(u >> 8);
      const char lo = static_cast<char>(u & 0xFF);
      out += e.codePage == 1200 ? std::string{lo, hi} : std::string{hi, lo};
    }
    return out;
  }
  std::string le;
  for (const char16_t u : text) {
    le += static_cast<char>(u & 0xFF);
    le += static_cast<char>(u >> 8);
  }
  Iconv iconv(e.iconvName, "UTF-16LE");
  return iconv.Convert(le, le.size() * 4 + 16).value_or("?");
}

// A cell value and, in code page 932, the other codes of its character.
struct Atom {
  std::u16string text;
  std::vector<std::string> cp932Alternatives;
};

inline const std::vector<Atom>& Atoms() {
  static const std::vector<Atom> atoms = {
      {u"", {}},
      {u"a", {}},
      {u"A", {}},
      {u" a", {}},
      {u"1", {}},
      {u"東京都", {}},
      {u"北海道", {}},
      // The NEC and the JIS code of ≒, the NEC and the IBM code of Ⅰ, two codes of 髙.
      {u"\u2252", {"\x87\x90", "\x81\xE0"}},
      {u"\u2160", {"\x87\x54", "\xFA\x4A"}},
      {u"\u9AD9", {"\xFB\xFC", "\xEE\xE0"}},
  };
  return atoms;
}

// A generated file: its bytes, and which column the tests look at.
struct GeneratedFile {
  std::string bytes;
  bool lastLineEnded = true;
};

// Rows of 1 to 4 fields of atoms, quoted or not (some quoted ones hold a line break or a
// doubled quote), line ends LF, CR LF or a lone CR (which the dialect drops, joining lines),
// now and then an empty line; the last line with or without its end.
inline GeneratedFile GenerateCsv(const GeneratedEncoding& e, std::uint32_t seed, int lines,
                                 bool endLastLine) {
  std::mt19937 random(seed);
  auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
  GeneratedFile file;
  file.bytes = e.mark;
  auto put = [&](std::u16string_view text) { file.bytes += EncodePiece(e, text); };
  for (int line = 0; line < lines; ++line) {
    const int fields = 1 + pick(4);
    if (pick(20) == 0 && line + 1 < lines) {
      put(u"\n");
      continue;
    }
    for (int f = 0; f < fields; ++f) {
      if (f > 0) put(u",");
      const bool quoted = pick(3) == 0;
      if (quoted) put(u"\"");
      const Atom& atom = Atoms()[static_cast<std::size_t>(pick(static_cast<int>(Atoms().size())))];
      if (e.codePage == 932 && !atom.cp932Alternatives.empty() && pick(2) == 0) {
        file.bytes += atom.cp932Alternatives[static_cast<std::size_t>(
            pick(static_cast<int>(atom.cp932Alternatives.size())))];
      } else {
        put(atom.text);
      }
      if (quoted && pick(6) == 0) put(pick(2) == 0 ? u"\r\nx" : u"\"\"");
      if (quoted) put(u"\"");
    }
    if (line + 1 < lines || endLastLine) {
      const int end = pick(8);
      put(end == 0 ? u"\r" : end < 4 ? u"\r\n" : u"\n");
    }
  }
  file.lastLineEnded = endLastLine;
  return file;
}

// The plain route: the whole file decoded at once, cut by the literal parser, padded.
inline CsvRows PlainRows(const std::string& bytes, std::uint16_t codePage) {
  CsvRows rows = ParseCsvText(TStringUtility::ConvertByCodePage(bytes, codePage));
  std::size_t width = 0;
  for (const auto& row : rows)
    width = std::max(width, row.size());
  for (auto& row : rows)
    row.resize(width);
  return rows;
}

// The cell of a plain table; empty outside it.
inline std::u16string PlainCell(const CsvRows& rows, std::size_t row, std::size_t col) {
  return row < rows.size() && col < rows[row].size() ? rows[row][col] : std::u16string();
}

// Differing rows (table rows) as the plain route finds them.
inline std::vector<std::pair<std::uint32_t, std::u16string>> PlainDifferences(const CsvRows& rows,
                                                                              bool title,
                                                                              std::size_t col) {
  std::vector<std::pair<std::uint32_t, std::u16string>> found;
  const std::size_t reference = title ? 1 : 0;
  if (rows.size() <= reference) return found;
  for (std::size_t r = reference + 1; r < rows.size(); ++r)
    if (PlainCell(rows, r, col) != PlainCell(rows, reference, col))
      found.emplace_back(static_cast<std::uint32_t>(r), PlainCell(rows, r, col));
  return found;
}

// (text, count, first table row) per value, by count down, then first row up: a std::map count.
inline std::vector<std::tuple<std::u16string, std::uint64_t, std::uint32_t>> PlainValues(
    const CsvRows& rows, bool title, std::size_t col) {
  std::map<std::u16string, std::pair<std::uint64_t, std::uint32_t>> counted;
  for (std::size_t r = title ? 1 : 0; r < rows.size(); ++r) {
    auto [it, added] =
        counted.try_emplace(PlainCell(rows, r, col), 0, static_cast<std::uint32_t>(r));
    ++it->second.first;
  }
  std::vector<std::tuple<std::u16string, std::uint64_t, std::uint32_t>> values;
  for (const auto& [text, seen] : counted)
    values.emplace_back(text, seen.first, seen.second);
  std::sort(values.begin(), values.end(), [](const auto& a, const auto& b) {
    return std::get<1>(a) != std::get<1>(b) ? std::get<1>(a) > std::get<1>(b)
                                            : std::get<2>(a) < std::get<2>(b);
  });
  return values;
}

}  // namespace norvalis::test
