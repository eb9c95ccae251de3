// Project and settings files under failing saves and hostile content: a failed save never
// touches the old file, and any file loads as the INI rules say, without a failure.

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <set>
#include <string>

#include "PersistenceTestSupport.h"
#include "persistence/AtomicFileTesting.h"
#include "persistence/Config.h"
#include "persistence/Project.h"
#include "text/Exception.h"

namespace norvalis {
namespace {

using AtomicFileTesting::ScopedStepFailure;
using AtomicFileTesting::Step;
using testing::FolderEntries;
using testing::ReadBytes;
using testing::Utf16Le;
using testing::WriteBytes;

class HostilePersistenceTest : public testing::TempFolderTest {};

UnicodeString CreateErrorText(const UnicodeString& path, int errnum) {
  return u"ファイル \"" + path + u"\" を作成できません。" + SystemErrorText(errnum);
}

struct StepFailure {
  const char* name;
  Step step;
  int errnum;
};

const StepFailure kStepFailures[] = {
    {"temporary file cannot be created", Step::CreateTemporary, EACCES},
    {"no room for another file", Step::CreateTemporary, ENOSPC},
    {"disk full while writing", Step::Write, ENOSPC},
    {"quota exhausted while writing", Step::Write, EDQUOT},
    {"write error", Step::Write, EIO},
    {"sync fails", Step::Sync, EIO},
    {"close reports a delayed error", Step::Close, EIO},
    {"rename fails", Step::Rename, EACCES},
};

// What the target held before the save; nothing when it did not exist.
struct OldFile {
  const char* name;
  std::optional<std::string> bytes;
};

const std::string kUtf16Project =
    "\xFF\xFE" +
    Utf16Le(u"[CSV]\r\nFILENAME=C:\\old.csv\r\nTITLE=0\r\n\r\n[TASK]\r\nCOL=1\r\n\r\n");

const OldFile kOldProjects[] = {
    {"no file yet", std::nullopt},
    {"UTF-16 LE project", kUtf16Project},
    {"hand-written UTF-8 project with more keys",
     "\xEF\xBB\xBF; note\n[CSV]\nFILENAME=/old.csv\n[NOTES]\nA=1\n"},
    {"binary", std::string("\x00\xFF\x80\r\n\x1A", 6)},
};

TEST_F(HostilePersistenceTest, ProjectSaveFailingAtAnyStepKeepsTheOldFileAndTheProject) {
  const std::string path = PathOf("p.NVS");
  for (const OldFile& old : kOldProjects) {
    for (const StepFailure& failure : kStepFailures) {
      SCOPED_TRACE(std::string(old.name) + ", " + failure.name);
      if (old.bytes) WriteBytes(path, *old.bytes);
      const TProject project(u"/data/新しい.csv", 7, true);
      {
        const ScopedStepFailure scoped(failure.step, failure.errnum);
        try {
          project.SaveToFile(UPathOf("p.NVS"));
          ADD_FAILURE() << "no exception";
        } catch (const EFCreateError& error) {
          EXPECT_EQ(ToUtf8(error.Message()),
                    ToUtf8(CreateErrorText(UPathOf("p.NVS"), failure.errnum)));
        }
      }
      if (old.bytes) {
        EXPECT_EQ(ReadBytes(path), *old.bytes);
        EXPECT_EQ(FolderEntries(folder_), std::set<std::string>{"p.NVS"});
      } else {
        EXPECT_TRUE(FolderEntries(folder_).empty());
      }
      EXPECT_EQ(ToUtf8(project.FileName), "/data/新しい.csv");
      EXPECT_EQ(project.Col, 7);
      EXPECT_TRUE(project.Title);

      // Once the fault is gone the same save goes through.
      project.SaveToFile(UPathOf("p.NVS"));
      TProject loaded;
      loaded.LoadFromFile(UPathOf("p.NVS"));
      EXPECT_EQ(loaded.FileName, project.FileName);
      EXPECT_EQ(loaded.Col, 7);
      EXPECT_TRUE(loaded.Title);
      std::remove(path.c_str());
    }
  }
}

const OldFile kOldSettings[] = {
    {"no file yet", std::nullopt},
    {"ANSI settings", "[SYSTEM]\r\nVersion=0\r\n\r\n[STARTUP]\r\nWindowState=2\r\n\r\n"},
    {"UTF-16 LE settings with another section",
     "\xFF\xFE" + Utf16Le(u"[STARTUP]\r\nHISTORY=/a.NVS\r\n[MINE]\r\nX=1\r\n")},
    {"binary", std::string("\x81\x00\xFE\xFF\n", 5)},
};

TEST_F(HostilePersistenceTest, SettingsSaveFailingAtAnyStepKeepsTheOldFileAndTheSettings) {
  const std::string path = PathOf("Norvalis.ini");
  for (const OldFile& old : kOldSettings) {
    for (const StepFailure& failure : kStepFailures) {
      SCOPED_TRACE(std::string(old.name) + ", " + failure.name);
      if (old.bytes) WriteBytes(path, *old.bytes);
      TConfig config;
      config.AddHistory(u"/p/a b.NVS");
      config.LastProjectFile = u"/p/a b.NVS";
      config.SetWindowState(1);
      int warnings = 0;
      {
        const ScopedStepFailure scoped(failure.step, failure.errnum);
        try {
          config.Save(UPathOf("Norvalis.ini"), [&](const UnicodeString&) { ++warnings; });
          ADD_FAILURE() << "no exception";
        } catch (const EFCreateError& error) {
          EXPECT_EQ(ToUtf8(error.Message()),
                    ToUtf8(CreateErrorText(UPathOf("Norvalis.ini"), failure.errnum)));
        }
      }
      EXPECT_EQ(warnings, 0) << "the folder exists; only the file failed";
      if (old.bytes) {
        EXPECT_EQ(ReadBytes(path), *old.bytes);
        EXPECT_EQ(FolderEntries(folder_), std::set<std::string>{"Norvalis.ini"});
      } else {
        EXPECT_TRUE(FolderEntries(folder_).empty());
      }
      ASSERT_EQ(config.History.Count(), 1);
      EXPECT_EQ(config.History[0], u"/p/a b.NVS");
      EXPECT_EQ(config.WindowState, 1);

      config.Save(UPathOf("Norvalis.ini"));
      TConfig loaded;
      loaded.Load(UPathOf("Norvalis.ini"));
      ASSERT_EQ(loaded.History.Count(), 1);
      EXPECT_EQ(loaded.History[0], u"/p/a b.NVS");
      EXPECT_EQ(loaded.LastProjectFile, u"/p/a b.NVS");
      EXPECT_EQ(loaded.WindowState, 1);
      std::remove(path.c_str());
    }
  }
}

struct ProjectValues {
  std::u16string fileName;
  bool title;
  std::int32_t col;
};

const std::u16string kProjectText =
    u"[CSV]\r\nFILENAME=C:\\data\\a.csv\r\nTITLE=1\r\n\r\n[TASK]\r\nCOL=12\r\n\r\n";

// The file bytes of kProjectText cut right after `through` (plus extra bytes of the next unit).
std::string ProjectCutAfter(std::u16string_view through, std::size_t extra) {
  const std::size_t units = kProjectText.find(through) + through.size();
  return ("\xFF\xFE" + Utf16Le(kProjectText)).substr(0, 2 + 2 * units + extra);
}

TEST_F(HostilePersistenceTest, TruncatedProjectFileLoadsItsWholeLines) {
  const std::string whole = "\xFF\xFE" + Utf16Le(kProjectText);
  const struct {
    const char* name;
    std::string bytes;
    ProjectValues values;
  } cases[] = {
      {"nothing left", "", {u"", false, 0}},
      {"half a mark", "\xFF", {u"", false, 0}},
      {"only the mark", "\xFF\xFE", {u"", false, 0}},
      {"inside the section name, odd", ProjectCutAfter(u"[CS", 1), {u"", false, 0}},
      {"inside the file name, odd", ProjectCutAfter(u"FILENAME=C:\\da", 1), {u"C:\\da", false, 0}},
      {"inside the key TITLE", ProjectCutAfter(u"TIT", 0), {u"C:\\data\\a.csv", false, 0}},
      {"after TITLE=", ProjectCutAfter(u"TITLE=", 0), {u"C:\\data\\a.csv", false, 0}},
      {"inside the column, odd", ProjectCutAfter(u"COL=1", 1), {u"C:\\data\\a.csv", true, 1}},
      {"last byte missing", whole.substr(0, whole.size() - 1), {u"C:\\data\\a.csv", true, 12}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    WriteBytes(PathOf("cut.NVS"), c.bytes);
    TProject project(u"before", 99, true);
    project.LoadFromFile(UPathOf("cut.NVS"));
    EXPECT_EQ(ToUtf8(project.FileName), ToUtf8(c.values.fileName));
    EXPECT_EQ(project.Title, c.values.title);
    EXPECT_EQ(project.Col, c.values.col);
  }
}

TEST_F(HostilePersistenceTest, ProjectFileCutAnywhereLoadsAndCanBeSavedOver) {
  const std::string whole = "\xFF\xFE" + Utf16Le(kProjectText);
  const UnicodeString fullName = u"C:\\data\\a.csv";
  for (std::size_t size = 0; size <= whole.size(); ++size) {
    SCOPED_TRACE(size);
    WriteBytes(PathOf("cut.NVS"), whole.substr(0, size));
    TProject project;
    ASSERT_NO_THROW(project.LoadFromFile(UPathOf("cut.NVS")));
    EXPECT_EQ(fullName.rfind(project.FileName, 0), 0u) << "not a prefix of the whole name";
    EXPECT_TRUE(project.Col == 0 || project.Col == 1 || project.Col == 12);

    const TProject saved(u"/new.csv", -3, true);
    saved.SaveToFile(UPathOf("cut.NVS"));
    TProject loaded;
    loaded.LoadFromFile(UPathOf("cut.NVS"));
    EXPECT_EQ(loaded.FileName, u"/new.csv");
    EXPECT_EQ(loaded.Col, -3);
    EXPECT_TRUE(loaded.Title);
  }
}

// Bytes that hold no INI text: each loads as the defaults.
std::string PseudoRandomBytes(std::size_t size, std::uint32_t seed) {
  std::string bytes(size, '\0');
  for (char& b : bytes) {
    seed = seed * 1664525u + 1013904223u;
    b = static_cast<char>(seed >> 24);
  }
  return bytes;
}

std::string AllByteValues() {
  std::string bytes;
  for (int b = 0; b < 256; ++b)
    bytes += static_cast<char>(b);
  return bytes;
}

TEST_F(HostilePersistenceTest, BinaryFilesLoadAsDefaults) {
  const struct {
    const char* name;
    std::string bytes;
  } cases[] = {
      {"pseudo-random bytes", PseudoRandomBytes(1 << 16, 1)},
      {"other pseudo-random bytes", PseudoRandomBytes(1 << 16, 2)},
      {"every byte value", AllByteValues()},
      {"zero bytes", std::string(4096, '\0')},
      {"UTF-16 LE mark then garbage", "\xFF\xFE" + PseudoRandomBytes(4097, 3)},
      {"UTF-16 BE mark then garbage", "\xFE\xFF" + PseudoRandomBytes(4096, 4)},
      {"UTF-8 mark then invalid UTF-8", "\xEF\xBB\xBF\xC0\xAF\xED\xA0\x80\xF8\x88\x80\x80\x80"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    WriteBytes(PathOf("garbage"), c.bytes);
    TProject project(u"before", 99, true);
    ASSERT_NO_THROW(project.LoadFromFile(UPathOf("garbage")));
    EXPECT_EQ(project.FileName, u"");
    EXPECT_FALSE(project.Title);
    EXPECT_EQ(project.Col, 0);

    TConfig config;
    config.AddHistory(u"/old.NVS");
    ASSERT_NO_THROW(config.Load(UPathOf("garbage")));
    EXPECT_FALSE(config.WindowPositionRestore);
    EXPECT_EQ(config.WindowPositionRight, 434);
    EXPECT_EQ(config.WindowPositionBottom, 420);
    EXPECT_EQ(config.WindowState, 0);
    EXPECT_EQ(config.History.Count(), 0);
    EXPECT_EQ(config.LastProjectFile, u"");
  }
}

TEST_F(HostilePersistenceTest, ControlBytesAroundLinesAreTrimmedAway) {
  // Codes 0 to 32 at either end of a line are blanks by the rules, zero bytes included.
  using namespace std::string_literals;
  WriteBytes(PathOf("p.NVS"),
             "\x00\x01[CSV]\x1F\r\n\x02 FILENAME=x.csv\x00\x00\r\n"
             "\x7FTITLE=1\r\n\x0B[TASK]\x0C\nCOL=4\x1A"s);
  TProject project;
  project.LoadFromFile(UPathOf("p.NVS"));
  EXPECT_EQ(project.FileName, u"x.csv");
  EXPECT_FALSE(project.Title) << "U+007F is no blank: the key is not TITLE";
  EXPECT_EQ(project.Col, 4);
}

TEST_F(HostilePersistenceTest, TenMegabyteLinesLoadWhole) {
  constexpr std::size_t Length = 10'000'000;
  const std::u16string longName(Length, u'名');
  const std::u16string longLine(Length, u'x');
  const std::u16string text = u";" + longLine + u"\r\n[CSV]\r\n" + longLine + u"\r\nFILENAME=" +
                              longName + u"\r\nTITLE=1\r\n[TASK]\r\nCOL=" + longLine + u"\r\n";
  WriteBytes(PathOf("long.NVS"), "\xFF\xFE" + Utf16Le(text));
  TProject project;
  project.LoadFromFile(UPathOf("long.NVS"));
  EXPECT_EQ(project.FileName.size(), Length);
  EXPECT_TRUE(project.FileName == longName);
  EXPECT_TRUE(project.Title);
  EXPECT_EQ(project.Col, 0) << "a value that does not parse gives the default";
}

TEST_F(HostilePersistenceTest, TenMegabyteHistoryLoadsAndSurvivesASave) {
  // About 800 000 entries, one of them with a space and so quoted.
  std::string history;
  int entries = 0;
  while (history.size() < 10'000'000) {
    if (entries != 0) history += ',';
    history += "/p/" + std::to_string(entries++) + ".NVS";
  }
  history += ",\"/p/with space.NVS\"";
  ++entries;
  WriteBytes(PathOf("Norvalis.ini"), "[STARTUP]\r\nHISTORY=" + history + "\r\nWindowState=2\r\n");
  TConfig config;
  config.Load(UPathOf("Norvalis.ini"));
  ASSERT_EQ(config.History.Count(), entries);
  EXPECT_EQ(config.History[0], u"/p/0.NVS");
  EXPECT_EQ(config.History[entries - 2], FromUtf8("/p/" + std::to_string(entries - 2) + ".NVS"));
  EXPECT_EQ(config.History[entries - 1], u"/p/with space.NVS");
  EXPECT_EQ(config.WindowState, 2);

  config.Save(UPathOf("Norvalis.ini"));
  TConfig reloaded;
  reloaded.Load(UPathOf("Norvalis.ini"));
  ASSERT_EQ(reloaded.History.Count(), entries);
  EXPECT_EQ(reloaded.History[entries - 1], u"/p/with space.NVS");
}

}  // namespace
}  // namespace norvalis
