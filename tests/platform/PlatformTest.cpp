// The platform room against a second route, std::filesystem, on whichever system it runs:
// names beyond any ANSI code page, a file's identity and state, the save beside its target.
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <set>
#include <string>

#include "../support/TempDir.h"
#include "platform/CharacterCase.h"
#include "platform/File.h"
#include "platform/FileName.h"
#include "platform/FileStatus.h"
#include "platform/SaveFile.h"
#include "platform/SystemError.h"
#include "text/UnicodeString.h"

namespace norvalis {
namespace {

using test::FileSystemPath;

class Platform : public test::TempDirTest {};

std::string readAll(const platform::File& file) {
  std::string out;
  char buffer[7];  // small, so a read loop is exercised
  int error = 0;
  for (;;) {
    const std::int64_t got = file.Read(buffer, sizeof buffer, nullptr, error);
    if (got <= 0) break;
    out.append(buffer, static_cast<std::size_t>(got));
  }
  return out;
}

TEST_F(Platform, NamesOutsideEveryAnsiCodePageOpenAndReadBack) {
  for (const char* name : {"ascii.csv", "名前①.csv", "ß€😀.csv", "a b;c.csv"}) {
    SCOPED_TRACE(name);
    const std::string path = Write(name, "a,b\n1,2\n");
    platform::File file;
    ASSERT_EQ(platform::File::Open(path, file), 0);
    EXPECT_EQ(readAll(file), "a,b\n1,2\n");
    platform::FileStatus status;
    ASSERT_EQ(platform::PathStatus(path, status), 0);
    EXPECT_EQ(status.kind, platform::FileKind::Regular);
    EXPECT_EQ(status.size, std::filesystem::file_size(FileSystemPath(path)));
    EXPECT_EQ(platform::FromNativeFileName(platform::ToNativeFileName(path)), path);
  }
}

TEST_F(Platform, MissingFilesAndFoldersAreTold) {
  platform::File file;
  EXPECT_EQ(platform::File::Open(Path("missing.csv"), file), ENOENT);
  EXPECT_EQ(platform::File::Open(Path("missing/inner.csv"), file), ENOENT);
  EXPECT_EQ(platform::File::Open(temp_.Folder(), file), EISDIR);
  EXPECT_FALSE(file.IsOpen());
  platform::FileStatus status;
  ASSERT_EQ(platform::PathStatus(temp_.Folder(), status), 0);
  EXPECT_EQ(status.kind, platform::FileKind::Folder);
}

TEST_F(Platform, IdentityFollowsTheFileNotTheName) {
  const std::string first = Write("first.csv", "1");
  const std::string second = Write("second.csv", "22");
  platform::FileStatus a, b, again;
  ASSERT_EQ(platform::PathStatus(first, a), 0);
  ASSERT_EQ(platform::PathStatus(second, b), 0);
  EXPECT_NE(a.identity, b.identity);
  // Renamed over the first name, the second file keeps its own identity.
  std::filesystem::rename(FileSystemPath(second), FileSystemPath(first));
  ASSERT_EQ(platform::PathStatus(first, again), 0);
  EXPECT_EQ(again.identity, b.identity);
  EXPECT_EQ(again.size, 2u);
  // The open handle still sees the file it opened.
  platform::File file;
  ASSERT_EQ(platform::File::Open(first, file), 0);
  platform::FileStatus held;
  ASSERT_EQ(file.Status(held), 0);
  EXPECT_EQ(held.identity, b.identity);
}

TEST_F(Platform, ModifiedTimeIsTheSystemsOwn) {
  const std::string path = Write("dated.csv", "x");
  // Whole seconds: not every system's library sets finer times.
  const auto time = std::chrono::floor<std::chrono::seconds>(
      std::filesystem::last_write_time(FileSystemPath(path)));
  platform::FileStatus before, after;
  std::filesystem::last_write_time(FileSystemPath(path), time);
  ASSERT_EQ(platform::PathStatus(path, before), 0);
  std::filesystem::last_write_time(FileSystemPath(path), time - std::chrono::hours(25));
  ASSERT_EQ(platform::PathStatus(path, after), 0);
  EXPECT_EQ(before.modified - after.modified, 25LL * 3600 * 1'000'000'000);
  EXPECT_EQ(before.modified % 1'000'000'000, 0);
}

TEST_F(Platform, SaveReplacesTheTargetAndLeavesNothingBehind) {
  const std::string target = Write("保存.ini", "old");
  {
    platform::SaveFile save(platform::SaveFile::ResolveTarget(target));
    ASSERT_EQ(save.Create(), 0);
    ASSERT_EQ(save.Write("new bytes", 9), 0);
    ASSERT_EQ(save.Sync(), 0);
    ASSERT_EQ(save.Close(), 0);
    ASSERT_EQ(save.Replace(), 0);
  }
  {
    // Abandoned before its replace: the target stays as it was.
    platform::SaveFile save(target);
    ASSERT_EQ(save.Create(), 0);
    ASSERT_EQ(save.Write("lost", 4), 0);
  }
  platform::File file;
  ASSERT_EQ(platform::File::Open(target, file), 0);
  EXPECT_EQ(readAll(file), "new bytes");
  int entries = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(temp_.Folder()))
    ++entries;
  EXPECT_EQ(entries, 1);
}

TEST(PlatformCase, LowerCaseIsUnicodesWhateverTheLocale) {
  const std::pair<char16_t, char16_t> cases[] = {
      {u'A', u'a'},           {u'z', u'z'},
      {u'\u00C4', u'\u00E4'}, {u'\u03A3', u'\u03C3'},
      {u'\u0416', u'\u0436'}, {u'\uFF21', u'\uFF41'},
      {u'\u30A2', u'\u30A2'}, {char16_t{0xD83D}, char16_t{0xD83D}},
  };
  for (const auto& [upper, lower] : cases) {
    EXPECT_EQ(platform::LowerCase(upper), lower) << std::hex << static_cast<int>(upper);
  }
}

// The errors the room reports each have a text of their own: one line, well-formed UTF-8.
TEST(PlatformError, EveryReportedErrorHasItsOwnText) {
  const int errors[] = {ENOENT, EACCES, ENOMEM, ENOSPC, EEXIST, ENAMETOOLONG, ECANCELED,
                        EIO,    EINVAL, EISDIR, ENXIO,  EFBIG,  EPIPE};
  std::set<std::string> seen;
  for (int error : errors) {
    SCOPED_TRACE(error);
    const std::string text = platform::SystemErrorText(error);
    ASSERT_FALSE(text.empty());
    EXPECT_EQ(text.find_first_of("\r\n"), std::string::npos);
    EXPECT_EQ(ToUtf8(FromUtf8(text)), text);
    EXPECT_TRUE(seen.insert(text).second) << text;
  }
}

}  // namespace
}  // namespace norvalis
