#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "persistence/StringList.h"
#include "text/Exception.h"

namespace norvalis {
namespace {

TStringList listOf(const std::vector<UnicodeString>& entries) {
  TStringList list;
  for (const UnicodeString& entry : entries)
    list.Add(entry);
  return list;
}

std::vector<std::string> entriesOf(const TStringList& list) {
  std::vector<std::string> entries;
  for (int i = 0; i < list.Count(); ++i)
    entries.push_back(ToUtf8(list[i]));
  return entries;
}

struct WriteCase {
  const char* name;
  std::vector<UnicodeString> entries;
  UnicodeString expected;
};

TEST(StringListCommaText, WritesEntriesQuotingOnlyWhereNeeded) {
  const WriteCase cases[] = {
      {"no entries give the empty text", {}, u""},
      {"one empty entry gives two quotes", {u""}, u"\"\""},
      {"bare path stays bare", {u"C:\\a.NVS"}, u"C:\\a.NVS"},
      {"space causes quotes",
       {u"C:\\a.NVS", u"C:\\My Data\\b.NVS"},
       u"C:\\a.NVS,\"C:\\My Data\\b.NVS\""},
      {"quote is doubled inside quotes", {u"say \"hi\""}, u"\"say \"\"hi\"\"\""},
      {"comma causes quotes", {u"a,b", u"c"}, u"\"a,b\",c"},
      {"tab and control characters cause quotes", {u"a\tb", u"x\x01y"}, u"\"a\tb\",\"x\x01y\""},
      {"characters above 255 never cause quotes",
       {u"/データ/表.NVS", u"a\u3000b"},
       u"/データ/表.NVS,a\u3000b"},
      {"empty entries among others stay bare", {u"a", u"", u"b"}, u"a,,b"},
      {"trailing empty entry leaves a trailing comma", {u"a", u""}, u"a,"},
      {"two empty entries give one comma", {u"", u""}, u","},
  };
  for (const WriteCase& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(ToUtf8(listOf(c.entries).CommaText()), ToUtf8(c.expected));
  }
}

struct ReadCase {
  const char* name;
  UnicodeString text;
  std::vector<std::string> expected;
};

TEST(StringListCommaText, ReadsEntriesByTheCommaRules) {
  const ReadCase cases[] = {
      {"empty text gives no entries", u"", {}},
      {"only blanks give no entries", u"  \t ", {}},
      {"two quotes give one empty entry", u"\"\"", {""}},
      {"bare and quoted entries",
       u"C:\\a.NVS,\"C:\\My Data\\b.NVS\"",
       {"C:\\a.NVS", "C:\\My Data\\b.NVS"}},
      {"space after comma is skipped", u"a, b", {"a", "b"}},
      {"trailing comma adds an empty entry", u"a,b,", {"a", "b", ""}},
      {"blanks after the trailing comma still count as its end", u"a, ", {"a"}},
      {"leading comma gives an empty first entry", u",a", {"", "a"}},
      {"doubled quote yields one", u"\"say \"\"hi\"\"\"", {"say \"hi\""}},
      {"unclosed quote runs to the end", u"\"a,b", {"a,b"}},
      {"space ends a bare entry", u"a b,c", {"a", "b", "c"}},
      {"text after a closing quote is a new entry", u"\"a\"b", {"a", "b"}},
      {"leading blanks are skipped", u"\t\r\n a", {"a"}},
      {"Japanese entries stay whole", u"/データ/表.NVS,ソ", {"/データ/表.NVS", "ソ"}},
      {"two commas give an empty middle entry", u"a,,b", {"a", "", "b"}},
      // A nul ends the text instead of adding entries forever.
      {"nul after an entry", UnicodeString(u"a\0b,c", 5), {"a"}},
      {"nul at the start", UnicodeString(u"\0a", 2), {}},
      {"nul inside quotes", UnicodeString(u"\"a\0b\",c", 7), {"a"}},
      {"comma right before nul is the last character", UnicodeString(u"a,\0b", 4), {"a", ""}},
  };
  for (const ReadCase& c : cases) {
    SCOPED_TRACE(c.name);
    TStringList list;
    list.Add(u"old entry");
    list.SetCommaText(c.text);
    EXPECT_EQ(entriesOf(list), c.expected);
  }
}

TEST(StringListCommaText, WrittenTextReadsBackToTheSameEntries) {
  const std::vector<std::vector<UnicodeString>> lists = {
      {u"C:\\a.NVS", u"C:\\My Data\\b.NVS"},
      {u"/home/user/My Projects/検査 1.NVS", u"/tmp/a=b.NVS", u"/tmp/\"q\".NVS"},
      {u""},
      {u"a", u"", u"c"},
      {u"a,b", u" lead", u"trail "},
  };
  for (const auto& entries : lists) {
    const TStringList written = listOf(entries);
    SCOPED_TRACE(ToUtf8(written.CommaText()));
    TStringList read;
    read.SetCommaText(written.CommaText());
    EXPECT_EQ(entriesOf(read), entriesOf(written));
  }
}

TEST(StringListIndexOf, FindsTheFirstEntryWithoutRegardToCase) {
  const TStringList list = listOf({u"C:\\DATA\\X.NVS", u"other", u"c:\\data\\x.nvs", u"Ａｂ"});
  EXPECT_EQ(list.IndexOf(u"c:\\data\\X.NVS"), 0);
  EXPECT_EQ(list.IndexOf(u"OTHER"), 1);
  EXPECT_EQ(list.IndexOf(u"missing"), -1);
  EXPECT_EQ(list.IndexOf(u"c:\\data\\x.nv"), -1);
  // Full-width letters fold too, as the user locale's comparison does.
  EXPECT_EQ(list.IndexOf(u"ａＢ"), 3);
}

TEST(StringListEditing, InsertDeleteAndClearKeepOrder) {
  TStringList list = listOf({u"a", u"b", u"c"});
  list.Insert(0, u"front");
  list.Insert(list.Count(), u"back");
  EXPECT_EQ(entriesOf(list), (std::vector<std::string>{"front", "a", "b", "c", "back"}));
  list.Delete(2);
  EXPECT_EQ(entriesOf(list), (std::vector<std::string>{"front", "a", "c", "back"}));
  list.Strings(1) += u"!";
  EXPECT_EQ(ToUtf8(list[1]), "a!");
  list.Clear();
  EXPECT_EQ(list.Count(), 0);
}

TEST(StringListEditing, IndexOutsideTheListRaises) {
  TStringList list = listOf({u"a"});
  EXPECT_THROW(list.Delete(1), Exception);
  EXPECT_THROW(list.Delete(-1), Exception);
  EXPECT_THROW(list.Insert(2, u"x"), Exception);
  EXPECT_THROW(static_cast<void>(list[1]), Exception);
  EXPECT_EQ(list.Count(), 1);
}

}  // namespace
}  // namespace norvalis
