#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "PersistenceTestSupport.h"
#include "persistence/Project.h"
#include "text/Exception.h"

namespace norvalis {
namespace {

using testing::ReadBytes;
using testing::Utf16Be;
using testing::Utf16Le;
using testing::WriteBytes;

class ProjectTest : public testing::TempFolderTest {
 protected:
  TProject LoadText(std::string_view bytes) {
    WriteBytes(PathOf("p.NVS"), bytes);
    TProject project(u"unchanged", 99, true);
    project.LoadFromFile(UPathOf("p.NVS"));
    return project;
  }
  // The saved file as text, after checking its FF FE mark.
  std::u16string SavedText() {
    const std::string bytes = ReadBytes(PathOf("p.NVS"));
    EXPECT_EQ(bytes.substr(0, 2), "\xFF\xFE");
    std::u16string text;
    for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) {
      text += static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                    static_cast<unsigned char>(bytes[i + 1]) << 8);
    }
    return text;
  }
};

TEST_F(ProjectTest, NewProjectFileIsExactlyTheSevenLinesInUtf16Le) {
  TProject(u"C:\\data\\検査.csv", 0, false).SaveToFile(UPathOf("p.NVS"));
  EXPECT_EQ(ReadBytes(PathOf("p.NVS")),
            "\xFF\xFE" + Utf16Le(u"[CSV]\r\nFILENAME=C:\\data\\検査.csv\r\nTITLE=0\r\n\r\n"
                                 u"[TASK]\r\nCOL=0\r\n\r\n"));

  TProject(u"", -7, true).SaveToFile(UPathOf("q.NVS"));
  EXPECT_EQ(ReadBytes(PathOf("q.NVS")),
            "\xFF\xFE" + Utf16Le(u"[CSV]\r\nFILENAME=\r\nTITLE=1\r\n\r\n[TASK]\r\nCOL=-7\r\n\r\n"));
}

struct RoundTripCase {
  const char* name;
  UnicodeString fileName;
  std::int32_t col;
  bool title;
};

TEST_F(ProjectTest, SaveThenLoadReturnsTheSameValues) {
  const RoundTripCase cases[] = {
      {"plain", u"/home/u/data.csv", 0, false},
      {"spaces inside and around", u"  /home/u/My Data/a b.csv", 2, true},
      {"equals signs", u"/tmp/a=b==c.csv", 5, false},
      {"Japanese", u"/ホーム/データ/表①.csv", 12, true},
      {"negative column", u"x.csv", -3, false},
      {"extreme columns", u"😀.csv", INT32_MIN, true},
      {"largest column", u"", INT32_MAX, false},
      {"semicolon and brackets", u";[x].csv", 1, true},
  };
  for (const RoundTripCase& c : cases) {
    SCOPED_TRACE(c.name);
    TProject(c.fileName, c.col, c.title).SaveToFile(UPathOf("p.NVS"));
    TProject loaded(u"other", 77, !c.title);
    loaded.LoadFromFile(UPathOf("p.NVS"));
    // Leading blanks of a value do not survive the INI text rules.
    const std::size_t firstKept = c.fileName.find_first_not_of(u' ');
    const UnicodeString expected =
        firstKept == UnicodeString::npos ? UnicodeString() : c.fileName.substr(firstKept);
    EXPECT_EQ(ToUtf8(loaded.FileName), ToUtf8(expected));
    EXPECT_EQ(loaded.Col, c.col);
    EXPECT_EQ(loaded.Title, c.title);
  }
}

struct HandWrittenCase {
  const char* name;
  std::string bytes;
};

TEST_F(ProjectTest, HandWrittenFilesInEveryEncodingLoad) {
  const std::u16string text =
      u"[CSV]\r\nFILENAME=C:\\データ\\表.csv\r\nTITLE=1\r\n[TASK]\r\nCOL=4\r\n";
  const HandWrittenCase cases[] = {
      {"UTF-16 LE with mark", "\xFF\xFE" + Utf16Le(text)},
      {"UTF-8 with mark", "\xEF\xBB\xBF" + ToUtf8(text)},
      {"UTF-16 BE with mark", "\xFE\xFF" + Utf16Be(text)},
      {"code page 932",
       "[CSV]\nFILENAME=C:\\\x83\x66\x81\x5B\x83\x5E\\\x95\x5C.csv\nTITLE=1\n"
       "[TASK]\nCOL=4\n"},
  };
  for (const HandWrittenCase& c : cases) {
    SCOPED_TRACE(c.name);
    const TProject project = LoadText(c.bytes);
    EXPECT_EQ(ToUtf8(project.FileName), "C:\\データ\\表.csv");
    EXPECT_TRUE(project.Title);
    EXPECT_EQ(project.Col, 4);
  }
}

struct ValueCase {
  const char* name;
  std::string body;  // UTF-8, saved as UTF-16 LE with mark
  UnicodeString fileName;
  bool title;
  std::int32_t col;
};

TEST_F(ProjectTest, LoadsValuesByTheLookupAndIntegerRules) {
  const ValueCase cases[] = {
      {"TITLE true is not a number", "[CSV]\nTITLE=true\n", u"", false, 0},
      {"TITLE 2 is true", "[CSV]\nTITLE=2\n", u"", true, 0},
      {"COL hexadecimal", "[TASK]\nCOL=0x1F\n", u"", false, 31},
      {"COL with spaces around equals", "[TASK]\nCOL = 5\n", u"", false, 5},
      {"COL 5a", "[TASK]\nCOL=5a\n", u"", false, 0},
      {"COL empty", "[TASK]\nCOL=\n", u"", false, 0},
      {"COL beyond 32 bits", "[TASK]\nCOL=2147483648\n", u"", false, 0},
      {"lower-case section and key", "[csv]\nfilename=a.csv\ntitle=1\n", u"a.csv", true, 0},
      {"second FILENAME wins", "[CSV]\nFILENAME=first\nFILENAME=second\n", u"second", false, 0},
      {"quotes are kept", "[CSV]\nFILENAME=\"a b.csv\"\n", u"\"a b.csv\"", false, 0},
      {"keys before any section are dropped", "FILENAME=x\nCOL=3\n[CSV]\n", u"", false, 0},
      {"commented line is skipped", "[CSV]\n;FILENAME=x\n", u"", false, 0},
  };
  for (const ValueCase& c : cases) {
    SCOPED_TRACE(c.name);
    const TProject project = LoadText("\xFF\xFE" + Utf16Le(FromUtf8(c.body)));
    EXPECT_EQ(ToUtf8(project.FileName), ToUtf8(c.fileName));
    EXPECT_EQ(project.Title, c.title);
    EXPECT_EQ(project.Col, c.col);
  }
}

TEST_F(ProjectTest, MissingFileLoadsEmptyFalseAndZero) {
  TProject project(u"before", 5, true);
  project.LoadFromFile(UPathOf("missing.NVS"));
  EXPECT_EQ(project.FileName, u"");
  EXPECT_FALSE(project.Title);
  EXPECT_EQ(project.Col, 0);
}

TEST_F(ProjectTest, SaveReplacesTheLastDuplicateAndKeepsOtherKeysAndSections) {
  WriteBytes(PathOf("p.NVS"),
             "\xFF\xFE" + Utf16Le(u"; comment\r\n[CSV]\r\nFILENAME=first\r\n\r\nFILENAME=second\r\n"
                                  u"[TASK]\r\nNOTE = x\r\nCOL=1\r\n[Extra]\r\nkey=value\r\n"));
  TProject(u"new.csv", 9, true).SaveToFile(UPathOf("p.NVS"));
  EXPECT_EQ(SavedText(),
            u"[CSV]\r\nFILENAME=first\r\nFILENAME=new.csv\r\nTITLE=1\r\n\r\n"
            u"[TASK]\r\nNOTE=x\r\nCOL=9\r\n\r\n"
            u"[Extra]\r\nkey=value\r\n\r\n");
}

TEST_F(ProjectTest, SavingOverAFileInAnotherEncodingReadsItAsUtf16LeFirst) {
  // "[A]\r\n" in UTF-8 pairs up as UTF-16 LE into characters that hold no section.
  WriteBytes(PathOf("p.NVS"), "\xEF\xBB\xBF[CSV]\r\nFILENAME=old\r\n");
  TProject(u"new.csv", 2, false).SaveToFile(UPathOf("p.NVS"));
  EXPECT_EQ(SavedText(), u"[CSV]\r\nFILENAME=new.csv\r\nTITLE=0\r\n\r\n[TASK]\r\nCOL=2\r\n\r\n");
  // A UTF-16 LE file without mark is read as such.
  WriteBytes(PathOf("p.NVS"), Utf16Le(u"[CSV]\r\nFILENAME=old\r\n[More]\r\nk=v\r\n"));
  TProject(u"new.csv", 2, false).SaveToFile(UPathOf("p.NVS"));
  EXPECT_EQ(SavedText(),
            u"[CSV]\r\nFILENAME=new.csv\r\nTITLE=0\r\n\r\n[More]\r\nk=v\r\n\r\n"
            u"[TASK]\r\nCOL=2\r\n\r\n");
}

TEST_F(ProjectTest, ClearEmptiesNameAndColumnButKeepsTitle) {
  TProject project(u"a.csv", 4, true);
  project.Clear();
  EXPECT_EQ(project.FileName, u"");
  EXPECT_EQ(project.Col, 0);
  EXPECT_TRUE(project.Title);
}

TEST_F(ProjectTest, UnreadableProjectFileRaisesAndChangesNoField) {
  // A link to itself exists but cannot be opened, also for root.
  ASSERT_EQ(symlink("loop.NVS", PathOf("loop.NVS").c_str()), 0);
  TProject project(u"kept.csv", 6, true);
  EXPECT_THROW(project.LoadFromFile(UPathOf("loop.NVS")), EFOpenError);
  EXPECT_EQ(ToUtf8(project.FileName), "kept.csv");
  EXPECT_EQ(project.Col, 6);
  EXPECT_TRUE(project.Title);
  EXPECT_THROW(project.SaveToFile(UPathOf("loop.NVS")), EFOpenError);
}

}  // namespace
}  // namespace norvalis
