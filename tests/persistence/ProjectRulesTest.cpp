// Column rules in a project file: a section of their own, kept exactly, and nothing when none.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "PersistenceTestSupport.h"
#include "persistence/Project.h"

namespace norvalis {
namespace {

using testing::ReadBytes;
using testing::Utf16Le;
using testing::WriteBytes;

class ProjectRulesTest : public test::TempDirTest {};

// A project without rules is written as it always was, also over a file that has other keys.
TEST_F(ProjectRulesTest, AProjectWithoutRulesIsByteForByteWhatItWas) {
  const std::string before = "\xFF\xFE" + Utf16Le(
                                              u"[CSV]\r\nFILENAME=a.csv\r\nTITLE=1\r\n\r\n"
                                              u"[TASK]\r\nCOL=2\r\nNOTE=x\r\n\r\n[OTHER]\r\n"
                                              u"K=v\r\n\r\n");
  WriteBytes(Path("p.NVS"), before);
  TProject project;
  project.LoadFromFile(UPath("p.NVS"));
  EXPECT_TRUE(project.Rules.empty());
  project.SaveToFile(UPath("p.NVS"));
  EXPECT_EQ(ReadBytes(Path("p.NVS")), before);
  TProject(u"a.csv", 2, true).SaveToFile(UPath("new.NVS"));
  EXPECT_EQ(
      ReadBytes(Path("new.NVS")),
      "\xFF\xFE" + Utf16Le(u"[CSV]\r\nFILENAME=a.csv\r\nTITLE=1\r\n\r\n[TASK]\r\nCOL=2\r\n\r\n"));
}

TEST_F(ProjectRulesTest, RulesComeBackExactlyAsTheyWereWritten) {
  const std::vector<UnicodeString> rules = {
      u"A:required",
      u"B:length=..30",
      u"C:chars={zengin} ",      // a trailing blank is part of the set
      u"D:values=\"a b\",c",     // quotes inside
      u"\"E:values=x\"",         // begins and ends with a quote (not a valid rule)
      u" F:required",            // a leading blank
      u"G:regex=^[=;\\[\\]]+$",  // equals signs, a semicolon, brackets
      u"H:frobnicate",           // not a rule this program knows: kept all the same
      u"I:chars=東京都〜",
  };
  TProject project(u"a.csv", 0, false);
  project.Rules = rules;
  project.SaveToFile(UPath("p.NVS"));
  TProject loaded;
  loaded.LoadFromFile(UPath("p.NVS"));
  EXPECT_EQ(loaded.Rules, rules);
  // Saved again unchanged, the file is the same.
  const std::string first = ReadBytes(Path("p.NVS"));
  loaded.SaveToFile(UPath("p.NVS"));
  EXPECT_EQ(ReadBytes(Path("p.NVS")), first);
  // The section reads as a person wrote it: one rule per key.
  EXPECT_NE(first.find(Utf16Le(u"[RULES]\r\nRULE1=A:required\r\nRULE2=B:length=..30\r\n")),
            std::string::npos);
}

TEST_F(ProjectRulesTest, RulesWrittenByHandAreReadInOrderAndRemovedWhenEmptied) {
  WriteBytes(Path("p.NVS"),
             "[CSV]\r\nFILENAME=a.csv\r\n[RULES]\r\nfirst = A:unique\r\n; comment\r\n"
             "x=B:same\r\nno equals sign\r\n");
  TProject project;
  project.LoadFromFile(UPath("p.NVS"));
  EXPECT_EQ(project.Rules, (std::vector<UnicodeString>{u"A:unique", u"B:same"}));
  project.Rules.clear();
  project.SaveToFile(UPath("p.NVS"));
  TProject loaded;
  loaded.LoadFromFile(UPath("p.NVS"));
  EXPECT_TRUE(loaded.Rules.empty());
  EXPECT_EQ(ReadBytes(Path("p.NVS")).find(Utf16Le(u"[RULES]")), std::string::npos);
}

}  // namespace
}  // namespace norvalis
