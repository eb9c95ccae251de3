// What norvalis-check says when the file it read changed on disk meanwhile.

#include <unistd.h>

#include <gtest/gtest.h>

#include <string>

#include "../support/TempDir.h"
#include "Commands.h"

namespace norvalis::cli {
namespace {

class ChangedFile : public test::TempDirTest {};

TEST_F(ChangedFile, ChangeEndsTheCommandAndGoneIsNotedOnce) {
  const struct {
    const char* name;
    bool cut;  // else deleted
    bool changed;
    std::string err;
  } cases[] = {
      {"cut short", true, true,
       "CSVファイルがディスク上で変更されました。\n大きさが 8 バイトから 2 バイトになりました。\n"},
      {"deleted", false, false,
       "CSVファイルはディスク上で削除されたか、名前が変わりました。読み込んだ内容で続けます。\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = Write("live.csv", "a,b\nc,d\n");
    TCsv csv;
    ASSERT_TRUE(LoadCsv(csv, FromUtf8(path), 0));
    ASSERT_EQ(c.cut ? ::truncate(path.c_str(), 2) : ::unlink(path.c_str()), 0);
    testing::internal::CaptureStderr();
    EXPECT_EQ(ChangedSinceRead(csv), c.changed);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), c.err);
  }
  // Nothing changed, nothing said.
  TCsv csv;
  ASSERT_TRUE(LoadCsv(csv, FromUtf8(Write("still.csv", "a\n")), 0));
  testing::internal::CaptureStderr();
  EXPECT_FALSE(ChangedSinceRead(csv));
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

}  // namespace
}  // namespace norvalis::cli
