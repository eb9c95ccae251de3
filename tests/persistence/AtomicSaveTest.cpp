// Saves under failing steps: a failed save never touches the old file nor leaves a temporary
// one behind.

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "PersistenceTestSupport.h"
#include "persistence/AtomicFile.h"
#include "persistence/AtomicFileTesting.h"
#include "persistence/Config.h"
#include "persistence/Project.h"
#include "text/Exception.h"

namespace norvalis {
namespace {

using AtomicFileTesting::ScopedStepFailure;
using AtomicFileTesting::Step;
using testing::FieldsOf;
using testing::FolderEntries;
using testing::ReadBytes;
using testing::Utf16Le;
using testing::WriteBytes;

class AtomicSaveTest : public test::TempDirTest {};

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
    {"close reports the quota late", Step::Close, EDQUOT},
    {"rename not permitted", Step::Rename, EACCES},
    {"rename across file systems", Step::Rename, EXDEV},
};

// What the target held before the save; nothing when it did not exist.
struct OldFile {
  const char* name;
  std::optional<std::string> bytes;
};

// One kind of save with the old files it may meet, and the check of a save that went through.
struct Saver {
  const char* file;
  std::vector<OldFile> oldFiles;
  std::function<void()> save;
  std::function<void()> expectSaved;
};

TEST_F(AtomicSaveTest, SaveFailingAtAnyStepKeepsTheOldFileAndTheValues) {
  const std::string rawBytes(4096, 'n');
  const TProject project(u"/data/新しい.csv", 7, true);
  TConfig config;
  config.AddHistory(u"/p/a b.NVS");
  config.LastProjectFile = u"/p/a b.NVS";
  config.SetWindowState(1);
  const std::string configFields = FieldsOf(config);
  int warnings = 0;
  const Saver savers[] = {
      {"raw.ini",
       {{"no file yet", std::nullopt}, {"old bytes", "old content, byte for byte\r\n\x95\x5C\xFF"}},
       [&] { WriteFileAtomically(UPath("raw.ini"), rawBytes); },
       [&] { EXPECT_EQ(ReadBytes(Path("raw.ini")), rawBytes); }},
      {"p.NVS",
       {{"no file yet", std::nullopt},
        {"UTF-16 LE project",
         "\xFF\xFE" +
             Utf16Le(u"[CSV]\r\nFILENAME=C:\\old.csv\r\nTITLE=0\r\n\r\n[TASK]\r\nCOL=1\r\n\r\n")},
        {"hand-written UTF-8 project with more keys",
         "\xEF\xBB\xBF; note\n[CSV]\nFILENAME=/old.csv\n[NOTES]\nA=1\n"},
        {"binary", std::string("\x00\xFF\x80\r\n\x1A", 6)}},
       [&] { project.SaveToFile(UPath("p.NVS")); },
       [&] {
         TProject loaded;
         loaded.LoadFromFile(UPath("p.NVS"));
         EXPECT_EQ(ToUtf8(loaded.FileName), "/data/新しい.csv");
         EXPECT_EQ(loaded.Col, 7);
         EXPECT_TRUE(loaded.Title);
       }},
      {"Norvalis.ini",
       {{"no file yet", std::nullopt},
        {"ANSI settings", "[SYSTEM]\r\nVersion=0\r\n\r\n[STARTUP]\r\nWindowState=2\r\n\r\n"},
        {"UTF-16 LE settings with another section",
         "\xFF\xFE" + Utf16Le(u"[STARTUP]\r\nHISTORY=/a.NVS\r\n[MINE]\r\nX=1\r\n")},
        {"binary", std::string("\x81\x00\xFE\xFF\n", 5)}},
       [&] { config.Save(UPath("Norvalis.ini"), [&](const UnicodeString&) { ++warnings; }); },
       [&] {
         TConfig loaded;
         loaded.Load(UPath("Norvalis.ini"));
         EXPECT_EQ(FieldsOf(loaded), configFields);
       }},
  };
  for (const Saver& saver : savers) {
    const std::string path = Path(saver.file);
    for (const OldFile& old : saver.oldFiles) {
      for (const StepFailure& failure : kStepFailures) {
        SCOPED_TRACE(std::string(saver.file) + ", " + old.name + ", " + failure.name);
        if (old.bytes) WriteBytes(path, *old.bytes);
        {
          const ScopedStepFailure scoped(failure.step, failure.errnum);
          try {
            saver.save();
            ADD_FAILURE() << "no exception";
          } catch (const EFCreateError& error) {
            EXPECT_EQ(ToUtf8(error.Message()),
                      ToUtf8(CreateErrorText(FromUtf8(path), failure.errnum)));
          }
        }
        if (old.bytes) {
          EXPECT_EQ(ReadBytes(path), *old.bytes);
          EXPECT_EQ(FolderEntries(dir_), std::set<std::string>{saver.file});
        } else {
          EXPECT_TRUE(FolderEntries(dir_).empty());
        }
        EXPECT_EQ(FieldsOf(config), configFields);

        // Once the fault is cleared the same save goes through.
        saver.save();
        saver.expectSaved();
        std::remove(path.c_str());
      }
    }
  }
  EXPECT_EQ(warnings, 0) << "the folder exists; only the file failed";
}

TEST_F(AtomicSaveTest, MissingFolderRaisesTheFileCreationError) {
  try {
    WriteFileAtomically(UPath("no/such/folder.ini"), "x");
    ADD_FAILURE() << "no exception";
  } catch (const EFCreateError& error) {
    EXPECT_EQ(error.Message(), CreateErrorText(UPath("no/such/folder.ini"), ENOENT));
  }
}

TEST_F(AtomicSaveTest, ReplacingKeepsTheFileModeAndNewFilesFollowTheUmask) {
  WriteBytes(Path("kept.ini"), "old");
  ASSERT_EQ(chmod(Path("kept.ini").c_str(), 0640), 0);
  WriteFileAtomically(UPath("kept.ini"), "new");
  struct stat st {};
  ASSERT_EQ(stat(Path("kept.ini").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);

  const mode_t oldMask = umask(027);
  WriteFileAtomically(UPath("fresh.ini"), "new");
  umask(oldMask);
  ASSERT_EQ(stat(Path("fresh.ini").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
}

TEST_F(AtomicSaveTest, SymbolicLinkStaysALinkAndItsTargetIsReplaced) {
  WriteBytes(Path("real.ini"), "old");
  ASSERT_EQ(symlink("real.ini", Path("link.ini").c_str()), 0);
  WriteFileAtomically(UPath("link.ini"), "new");
  struct stat st {};
  ASSERT_EQ(lstat(Path("link.ini").c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  EXPECT_EQ(ReadBytes(Path("real.ini")), "new");
}

}  // namespace
}  // namespace norvalis
