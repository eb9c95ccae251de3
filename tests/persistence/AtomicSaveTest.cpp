#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <set>
#include <string>

#include "PersistenceTestSupport.h"
#include "persistence/AtomicFile.h"
#include "persistence/AtomicFileTesting.h"
#include "persistence/Config.h"
#include "persistence/IniFile.h"
#include "persistence/Project.h"
#include "text/Exception.h"

namespace norvalis {
namespace {

using AtomicFileTesting::ScopedStepFailure;
using AtomicFileTesting::Step;
using testing::FolderEntries;
using testing::ReadBytes;
using testing::WriteBytes;

class AtomicSaveTest : public testing::TempFolderTest {};

UnicodeString createErrorText(const UnicodeString& path, int errnum) {
  return u"ファイル \"" + path + u"\" を作成できません。" + SystemErrorText(errnum);
}

struct FailureCase {
  const char* name;
  Step step;
  int errnum;
};

const FailureCase kFailures[] = {
    {"temporary file cannot be created", Step::CreateTemporary, EACCES},
    {"disk full while writing", Step::Write, ENOSPC},
    {"write error", Step::Write, EIO},
    {"flush to disk fails", Step::Sync, EIO},
    {"close reports a delayed error", Step::Close, EDQUOT},
    {"rename fails", Step::Rename, EXDEV},
};

TEST_F(AtomicSaveTest, FailedStepLeavesTheOldFileWholeAndNoTemporaryFile) {
  const std::string oldBytes = "old content, byte for byte\r\n\x95\x5C\xFF";
  for (const FailureCase& c : kFailures) {
    SCOPED_TRACE(c.name);
    WriteBytes(PathOf("target.ini"), oldBytes);
    {
      const ScopedStepFailure failure(c.step, c.errnum);
      try {
        WriteFileAtomically(UPathOf("target.ini"), std::string(4096, 'n'));
        ADD_FAILURE() << "no exception";
      } catch (const EFCreateError& error) {
        EXPECT_EQ(ToUtf8(error.Message()),
                  ToUtf8(createErrorText(UPathOf("target.ini"), c.errnum)));
      }
    }
    EXPECT_EQ(ReadBytes(PathOf("target.ini")), oldBytes);
    EXPECT_EQ(FolderEntries(folder_), std::set<std::string>{"target.ini"});
  }
}

TEST_F(AtomicSaveTest, FailedSaveOfANewFileCreatesNothing) {
  for (const FailureCase& c : kFailures) {
    SCOPED_TRACE(c.name);
    const ScopedStepFailure failure(c.step, c.errnum);
    EXPECT_THROW(WriteFileAtomically(UPathOf("new.ini"), "data"), EFCreateError);
    EXPECT_TRUE(FolderEntries(folder_).empty());
  }
}

TEST_F(AtomicSaveTest, ClearedFailureLetsTheNextSaveSucceed) {
  { const ScopedStepFailure failure(Step::Rename, EIO); }
  WriteFileAtomically(UPathOf("target.ini"), "fresh");
  EXPECT_EQ(ReadBytes(PathOf("target.ini")), "fresh");
  EXPECT_EQ(FolderEntries(folder_), std::set<std::string>{"target.ini"});
}

TEST_F(AtomicSaveTest, MissingFolderRaisesTheFileCreationError) {
  try {
    WriteFileAtomically(UPathOf("no/such/folder.ini"), "x");
    ADD_FAILURE() << "no exception";
  } catch (const EFCreateError& error) {
    EXPECT_EQ(error.Message(), createErrorText(UPathOf("no/such/folder.ini"), ENOENT));
  }
}

TEST_F(AtomicSaveTest, ReplacingKeepsTheFileModeAndNewFilesFollowTheUmask) {
  WriteBytes(PathOf("kept.ini"), "old");
  ASSERT_EQ(chmod(PathOf("kept.ini").c_str(), 0640), 0);
  WriteFileAtomically(UPathOf("kept.ini"), "new");
  struct stat st {};
  ASSERT_EQ(stat(PathOf("kept.ini").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);

  const mode_t oldMask = umask(027);
  WriteFileAtomically(UPathOf("fresh.ini"), "new");
  umask(oldMask);
  ASSERT_EQ(stat(PathOf("fresh.ini").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
}

TEST_F(AtomicSaveTest, SymbolicLinkStaysALinkAndItsTargetIsReplaced) {
  WriteBytes(PathOf("real.ini"), "old");
  ASSERT_EQ(symlink("real.ini", PathOf("link.ini").c_str()), 0);
  WriteFileAtomically(UPathOf("link.ini"), "new");
  struct stat st {};
  ASSERT_EQ(lstat(PathOf("link.ini").c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  EXPECT_EQ(ReadBytes(PathOf("real.ini")), "new");
}

TEST_F(AtomicSaveTest, FailedProjectSaveKeepsTheOldProjectFileAndTheProject) {
  TProject project(u"/data/old.csv", 3, true);
  project.SaveToFile(UPathOf("p.NVS"));
  const std::string oldBytes = ReadBytes(PathOf("p.NVS"));
  project.FileName = u"/data/new.csv";
  {
    const ScopedStepFailure failure(Step::Write, ENOSPC);
    try {
      project.SaveToFile(UPathOf("p.NVS"));
      ADD_FAILURE() << "no exception";
    } catch (const EFCreateError& error) {
      EXPECT_EQ(error.Message(), createErrorText(UPathOf("p.NVS"), ENOSPC));
    }
  }
  EXPECT_EQ(ReadBytes(PathOf("p.NVS")), oldBytes);
  EXPECT_EQ(ToUtf8(project.FileName), "/data/new.csv");
  EXPECT_EQ(FolderEntries(folder_), std::set<std::string>{"p.NVS"});
}

TEST_F(AtomicSaveTest, FailedSettingsSaveKeepsTheOldSettingsFile) {
  TConfig config;
  config.AddHistory(u"/p/a.NVS");
  config.Save(UPathOf("Norvalis.ini"));
  const std::string oldBytes = ReadBytes(PathOf("Norvalis.ini"));
  config.AddHistory(u"/p/b.NVS");
  {
    const ScopedStepFailure failure(Step::Sync, EIO);
    EXPECT_THROW(config.Save(UPathOf("Norvalis.ini")), EFCreateError);
  }
  EXPECT_EQ(ReadBytes(PathOf("Norvalis.ini")), oldBytes);
  EXPECT_EQ(FolderEntries(folder_), std::set<std::string>{"Norvalis.ini"});
}

}  // namespace
}  // namespace norvalis
