#include "persistence/Project.h"

#include <cstdint>
#include <utility>

#include "persistence/IniFile.h"
#include "text/Encodings.h"

namespace norvalis {

namespace {

constexpr char16_t RulesSection[] = u"RULES";

// A value loses its outer blanks when the file is read, so a rule with them (or one that
// begins with a quote) is written in quotes; a rule itself never begins with one.
UnicodeString ruleValue(const UnicodeString& rule) {
  const bool blankEnds = !rule.empty() && (rule.front() <= u' ' || rule.back() <= u' ');
  if (blankEnds || (!rule.empty() && rule.front() == u'"')) return u'"' + rule + u'"';
  return rule;
}

UnicodeString ruleOfValue(const UnicodeString& value) {
  if (value.size() >= 2 && value.front() == u'"' && value.back() == u'"') {
    return value.substr(1, value.size() - 2);
  }
  return value;
}

}  // namespace

TProject::TProject(UnicodeString fileName, std::int32_t col, bool title)
    : FileName(std::move(fileName)), Col(col), Title(title) {}

void TProject::Clear() {
  FileName.clear();
  Col = 0;
  CodePage = 0;
  Rules.clear();
}

void TProject::SaveToFile(const UnicodeString& path) const {
  TMemIniFile ini(path, TIniEncoding::Utf16LE);
  ini.WriteString(u"CSV", u"FILENAME", FileName);
  ini.WriteBool(u"CSV", u"TITLE", Title);
  ini.WriteInteger(u"TASK", u"COL", Col);
  // A choice left in the file from before must not outlive a return to automatic.
  if (CodePage != 0 || ini.ReadInteger(u"CSV", u"CODEPAGE", 0) != 0) {
    ini.WriteInteger(u"CSV", u"CODEPAGE", CodePage);
  }
  // A project that never had rules stays byte for byte as it was.
  if (!Rules.empty() || !ini.ReadSectionValues(RulesSection).empty()) {
    std::vector<std::pair<UnicodeString, UnicodeString>> values;
    for (std::size_t i = 0; i < Rules.size(); ++i)
      values.emplace_back(Format(u"RULE%d", {static_cast<long long>(i + 1)}), ruleValue(Rules[i]));
    ini.ReplaceSection(RulesSection, values);
  }
  ini.UpdateFile();
}

void TProject::LoadFromFile(const UnicodeString& path) {
  const TMemIniFile ini(path);
  UnicodeString fileName = ini.ReadString(u"CSV", u"FILENAME", UnicodeString());
  const bool title = ini.ReadBool(u"CSV", u"TITLE", false);
  const std::int32_t col = ini.ReadInteger(u"TASK", u"COL", 0);
  const std::int32_t codePage = ini.ReadInteger(u"CSV", u"CODEPAGE", 0);
  std::vector<UnicodeString> rules;
  for (const auto& [key, value] : ini.ReadSectionValues(RulesSection))
    rules.push_back(ruleOfValue(value));
  FileName = std::move(fileName);
  Rules = std::move(rules);
  Title = title;
  Col = col;
  // A value this program does not offer (or a later one's) reads as automatic.
  const bool known = codePage > 0 && codePage <= UINT16_MAX &&
                     Encodings::IsChoice(static_cast<std::uint16_t>(codePage));
  CodePage = known ? static_cast<std::uint16_t>(codePage) : 0;
}

}  // namespace norvalis
