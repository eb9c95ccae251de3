#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <optional>
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

class ProjectTest : public test::TempDirTest {};

std::string Utf16LeWithMark(std::u16string_view text) {
  return "\xFF\xFE" + Utf16Le(text);
}

TEST_F(ProjectTest, SaveWritesTheSevenLinesInUtf16LeKeepingOtherKeysAndSections) {
  const struct {
    const char* name;
    std::optional<std::string> old;
    TProject project;
    std::u16string saved;
  } cases[] = {
      {"new file", std::nullopt, TProject(u"C:\\data\\検査.csv", 0, false),
       u"[CSV]\r\nFILENAME=C:\\data\\検査.csv\r\nTITLE=0\r\n\r\n[TASK]\r\nCOL=0\r\n\r\n"},
      {"new file, empty name", std::nullopt, TProject(u"", -7, true),
       u"[CSV]\r\nFILENAME=\r\nTITLE=1\r\n\r\n[TASK]\r\nCOL=-7\r\n\r\n"},
      {"the last duplicate is replaced, other keys and sections stay",
       Utf16LeWithMark(u"; comment\r\n[CSV]\r\nFILENAME=first\r\n\r\nFILENAME=second\r\n"
                       u"[TASK]\r\nNOTE = x\r\nCOL=1\r\n[Extra]\r\nkey=value\r\n"),
       TProject(u"new.csv", 9, true),
       u"[CSV]\r\nFILENAME=first\r\nFILENAME=new.csv\r\nTITLE=1\r\n\r\n"
       u"[TASK]\r\nNOTE=x\r\nCOL=9\r\n\r\n[Extra]\r\nkey=value\r\n\r\n"},
      // UTF-8 bytes read as UTF-16 LE pair up into characters that hold no section.
      {"UTF-8 file is read as UTF-16 LE", "\xEF\xBB\xBF[CSV]\r\nFILENAME=old\r\n",
       TProject(u"new.csv", 2, false),
       u"[CSV]\r\nFILENAME=new.csv\r\nTITLE=0\r\n\r\n[TASK]\r\nCOL=2\r\n\r\n"},
      {"UTF-16 LE file without mark", Utf16Le(u"[CSV]\r\nFILENAME=old\r\n[More]\r\nk=v\r\n"),
       TProject(u"new.csv", 2, false),
       u"[CSV]\r\nFILENAME=new.csv\r\nTITLE=0\r\n\r\n[More]\r\nk=v\r\n\r\n"
       u"[TASK]\r\nCOL=2\r\n\r\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::remove(Path("p.NVS").c_str());
    if (c.old) WriteBytes(Path("p.NVS"), *c.old);
    c.project.SaveToFile(UPath("p.NVS"));
    EXPECT_EQ(ReadBytes(Path("p.NVS")), Utf16LeWithMark(c.saved));
  }
}

TEST_F(ProjectTest, SaveThenLoadReturnsTheSameValues) {
  const struct {
    const char* name;
    UnicodeString fileName;
    std::int32_t col;
    bool title;
  } cases[] = {
      {"plain", u"/home/u/data.csv", 0, false},
      {"spaces inside and around", u"  /home/u/My Data/a b.csv", 2, true},
      {"equals signs", u"/tmp/a=b==c.csv", 5, false},
      {"Japanese", u"/ホーム/データ/表①.csv", 12, true},
      {"negative column", u"x.csv", -3, false},
      {"extreme columns", u"😀.csv", INT32_MIN, true},
      {"largest column", u"", INT32_MAX, false},
      {"semicolon and brackets", u";[x].csv", 1, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TProject(c.fileName, c.col, c.title).SaveToFile(UPath("p.NVS"));
    TProject loaded(u"other", 77, !c.title);
    loaded.LoadFromFile(UPath("p.NVS"));
    // Leading blanks of a value do not survive the INI text rules.
    const std::size_t firstKept = c.fileName.find_first_not_of(u' ');
    const UnicodeString expected =
        firstKept == UnicodeString::npos ? UnicodeString() : c.fileName.substr(firstKept);
    EXPECT_EQ(ToUtf8(loaded.FileName), ToUtf8(expected));
    EXPECT_EQ(loaded.Col, c.col);
    EXPECT_EQ(loaded.Title, c.title);
  }
}

// The chosen encoding is one more key in "CSV", there only while it is chosen.
TEST_F(ProjectTest, ChosenCodePageIsKeptBesideTheSevenLines) {
  TProject project(u"a.csv", 1, false);
  project.CodePage = 20932;
  project.SaveToFile(UPath("p.NVS"));
  EXPECT_EQ(ReadBytes(Path("p.NVS")),
            Utf16LeWithMark(u"[CSV]\r\nFILENAME=a.csv\r\nTITLE=0\r\nCODEPAGE=20932\r\n\r\n"
                            u"[TASK]\r\nCOL=1\r\n\r\n"));
  TProject loaded;
  loaded.LoadFromFile(UPath("p.NVS"));
  EXPECT_EQ(loaded.CodePage, 20932u);

  // Back to automatic: the old choice must not come back on the next load.
  project.CodePage = 0;
  project.SaveToFile(UPath("p.NVS"));
  loaded.LoadFromFile(UPath("p.NVS"));
  EXPECT_EQ(loaded.CodePage, 0u);
  loaded.CodePage = 932;
  loaded.Clear();
  EXPECT_EQ(loaded.CodePage, 0u);

  const struct {
    const char* value;
    std::uint16_t codePage;
  } cases[] = {{"65000", 65000}, {"0", 0}, {"437", 0}, {"70000", 0}, {"-932", 0}, {"x", 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.value);
    WriteBytes(Path("q.NVS"), Utf16LeWithMark(u"[CSV]\r\nFILENAME=b.csv\r\nCODEPAGE=" +
                                              FromUtf8(c.value) + u"\r\n"));
    TProject read;
    read.LoadFromFile(UPath("q.NVS"));
    EXPECT_EQ(read.CodePage, c.codePage);
    EXPECT_EQ(read.FileName, u"b.csv");
  }
}

const std::u16string kProjectText =
    u"[CSV]\r\nFILENAME=C:\\data\\a.csv\r\nTITLE=1\r\n\r\n[TASK]\r\nCOL=12\r\n\r\n";
const std::string kProjectBytes = Utf16LeWithMark(kProjectText);

// The file bytes of kProjectText cut right after `through` (plus extra bytes of the next unit).
std::string ProjectCutAfter(std::u16string_view through, std::size_t extra) {
  const std::size_t units = kProjectText.find(through) + through.size();
  return kProjectBytes.substr(0, 2 + 2 * units + extra);
}

TEST_F(ProjectTest, LoadsValuesByTheLookupAndIntegerRulesFromAnyFile) {
  const std::u16string handWritten =
      u"[CSV]\r\nFILENAME=C:\\データ\\表.csv\r\nTITLE=1\r\n[TASK]\r\nCOL=4\r\n";
  const auto body = [](const char* text) { return Utf16LeWithMark(FromUtf8(text)); };
  const struct {
    const char* name;
    std::optional<std::string> bytes;  // nothing: no file at all
    UnicodeString fileName;
    bool title;
    std::int32_t col;
  } cases[] = {
      {"UTF-16 LE with mark", Utf16LeWithMark(handWritten), u"C:\\データ\\表.csv", true, 4},
      {"UTF-8 with mark", "\xEF\xBB\xBF" + ToUtf8(handWritten), u"C:\\データ\\表.csv", true, 4},
      {"UTF-16 BE with mark", "\xFE\xFF" + Utf16Be(handWritten), u"C:\\データ\\表.csv", true, 4},
      {"code page 932",
       "[CSV]\nFILENAME=C:\\\x83\x66\x81\x5B\x83\x5E\\\x95\x5C.csv\nTITLE=1\n[TASK]\nCOL=4\n",
       u"C:\\データ\\表.csv", true, 4},
      {"no file", std::nullopt, u"", false, 0},
      {"TITLE true is not a number", body("[CSV]\nTITLE=true\n"), u"", false, 0},
      {"TITLE 2 is true", body("[CSV]\nTITLE=2\n"), u"", true, 0},
      {"COL hexadecimal", body("[TASK]\nCOL=0x1F\n"), u"", false, 31},
      {"COL with spaces around equals", body("[TASK]\nCOL = 5\n"), u"", false, 5},
      {"COL 5a", body("[TASK]\nCOL=5a\n"), u"", false, 0},
      {"COL empty", body("[TASK]\nCOL=\n"), u"", false, 0},
      {"COL beyond 32 bits", body("[TASK]\nCOL=2147483648\n"), u"", false, 0},
      {"lower-case section and key", body("[csv]\nfilename=a.csv\ntitle=1\n"), u"a.csv", true, 0},
      {"second FILENAME wins", body("[CSV]\nFILENAME=first\nFILENAME=second\n"), u"second", false,
       0},
      {"quotes are kept", body("[CSV]\nFILENAME=\"a b.csv\"\n"), u"\"a b.csv\"", false, 0},
      {"keys before any section are dropped", body("FILENAME=x\nCOL=3\n[CSV]\n"), u"", false, 0},
      {"commented line is skipped", body("[CSV]\n;FILENAME=x\n"), u"", false, 0},
      // A file cut short keeps its whole lines.
      {"cut: nothing left", "", u"", false, 0},
      {"cut: half a mark", "\xFF", u"", false, 0},
      {"cut: only the mark", "\xFF\xFE", u"", false, 0},
      {"cut inside the section name, odd", ProjectCutAfter(u"[CS", 1), u"", false, 0},
      {"cut inside the file name, odd", ProjectCutAfter(u"FILENAME=C:\\da", 1), u"C:\\da", false,
       0},
      {"cut inside the key TITLE", ProjectCutAfter(u"TIT", 0), u"C:\\data\\a.csv", false, 0},
      {"cut after TITLE=", ProjectCutAfter(u"TITLE=", 0), u"C:\\data\\a.csv", false, 0},
      {"cut inside the column, odd", ProjectCutAfter(u"COL=1", 1), u"C:\\data\\a.csv", true, 1},
      {"cut: last byte missing", kProjectBytes.substr(0, kProjectBytes.size() - 1),
       u"C:\\data\\a.csv", true, 12},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::remove(Path("p.NVS").c_str());
    if (c.bytes) WriteBytes(Path("p.NVS"), *c.bytes);
    TProject project(u"unchanged", 99, true);
    project.LoadFromFile(UPath("p.NVS"));
    EXPECT_EQ(ToUtf8(project.FileName), ToUtf8(c.fileName));
    EXPECT_EQ(project.Title, c.title);
    EXPECT_EQ(project.Col, c.col);
  }
}

TEST_F(ProjectTest, ProjectFileCutAnywhereLoadsAndCanBeSavedOver) {
  const UnicodeString fullName = u"C:\\data\\a.csv";
  for (std::size_t size = 0; size <= kProjectBytes.size(); ++size) {
    SCOPED_TRACE(size);
    WriteBytes(Path("cut.NVS"), kProjectBytes.substr(0, size));
    TProject project;
    ASSERT_NO_THROW(project.LoadFromFile(UPath("cut.NVS")));
    EXPECT_EQ(fullName.rfind(project.FileName, 0), 0u) << "not a prefix of the whole name";
    EXPECT_TRUE(project.Col == 0 || project.Col == 1 || project.Col == 12);

    const TProject saved(u"/new.csv", -3, true);
    saved.SaveToFile(UPath("cut.NVS"));
    TProject loaded;
    loaded.LoadFromFile(UPath("cut.NVS"));
    EXPECT_EQ(loaded.FileName, u"/new.csv");
    EXPECT_EQ(loaded.Col, -3);
    EXPECT_TRUE(loaded.Title);
  }
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
  ASSERT_EQ(symlink("loop.NVS", Path("loop.NVS").c_str()), 0);
  TProject project(u"kept.csv", 6, true);
  EXPECT_THROW(project.LoadFromFile(UPath("loop.NVS")), EFOpenError);
  EXPECT_EQ(ToUtf8(project.FileName), "kept.csv");
  EXPECT_EQ(project.Col, 6);
  EXPECT_TRUE(project.Title);
  EXPECT_THROW(project.SaveToFile(UPath("loop.NVS")), EFOpenError);
}

}  // namespace
}  // namespace norvalis
