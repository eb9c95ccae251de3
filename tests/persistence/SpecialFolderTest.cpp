#include <gtest/gtest.h>

#include <string>

#include "PersistenceTestSupport.h"
#include "ScopedEnv.h"
#include "persistence/SpecialFolder.h"
#include "text/Exception.h"

namespace norvalis {
namespace {

using testing::ScopedEnv;
using testing::WriteBytes;

TEST(SpecialFolderToCsidl, MapsEveryKindToItsShellIdentifier) {
  const int expected[30] = {0x1D, 0x1A, 0x0A, 0x1E, 0x19, 0x1F, 0x17, 0x16, 0x18, 0x03,
                            0x21, 0x00, 0x10, 0x11, 0x06, 0x14, 0x22, 0x01, 0x20, 0x13,
                            0x12, 0x05, 0x04, 0x1B, 0x02, 0x08, 0x09, 0x0B, 0x07, 0x15};
  for (int kind = 0; kind < 30; ++kind) {
    SCOPED_TRACE(kind);
    EXPECT_EQ(TSpecialFolder::SpecialFolderToCsidl(kind), expected[kind]);
  }
}

TEST(SpecialFolderToCsidl, UnknownKindRaisesWithItsMessage) {
  for (const int kind : {-1, 30, 1000, INT32_MIN}) {
    SCOPED_TRACE(kind);
    for (const bool viaPath : {false, true}) {
      try {
        if (viaPath) {
          TSpecialFolder::GetSpecialFolderPath(kind);
        } else {
          TSpecialFolder::SpecialFolderToCsidl(kind);
        }
        ADD_FAILURE() << "no exception";
      } catch (const Exception& error) {
        EXPECT_EQ(ToUtf8(error.Message()), "指定されたコードが見つかりません。");
      }
    }
  }
}

class SpecialFolderPathTest : public test::TempDirTest {};

TEST_F(SpecialFolderPathTest, AppDataIsTheXdgConfigHome) {
  const ScopedEnv home("HOME", dir_);
  {
    const ScopedEnv xdg("XDG_CONFIG_HOME", "/etc/xdg-test");
    EXPECT_EQ(ToUtf8(TSpecialFolder::GetSpecialFolderPath(1)), "/etc/xdg-test");
  }
  {
    const ScopedEnv xdg("XDG_CONFIG_HOME", "");
    EXPECT_EQ(ToUtf8(TSpecialFolder::GetSpecialFolderPath(1)), dir_ + "/.config");
  }
}

struct FolderCase {
  int kind;
  std::string expected;  // relative to the home folder; "-" for none
};

TEST_F(SpecialFolderPathTest, OtherKindsMapToTheirXdgCounterpartsOrNothing) {
  const ScopedEnv home("HOME", dir_);
  const ScopedEnv config("XDG_CONFIG_HOME", std::nullopt);
  const ScopedEnv data("XDG_DATA_HOME", std::nullopt);
  const ScopedEnv cache("XDG_CACHE_HOME", std::nullopt);
  ASSERT_EQ(mkdir(Path(".config").c_str(), 0755), 0);
  WriteBytes(Path(".config/user-dirs.dirs"),
             "# written by xdg-user-dirs-update\n"
             "XDG_DESKTOP_DIR=\"$HOME/Schreibtisch\"\n"
             "XDG_DOCUMENTS_DIR=\"$HOME/文書\"\n"
             "XDG_TEMPLATES_DIR=\"/srv/templates\"\n");
  const FolderCase cases[] = {
      {1, ".config"},
      {11, "Schreibtisch"},
      {12, "Schreibtisch"},
      {21, "文書"},
      {29, "/srv/templates"},
      {15, ".local/share/fonts"},
      {24, ".local/share/applications"},
      {28, ".config/autostart"},
      {18, ".cache"},
      {2, "-"},
      {13, "-"},
      {16, "-"},
      {25, "-"},
      {27, "-"},
  };
  for (const FolderCase& c : cases) {
    SCOPED_TRACE(c.kind);
    std::string expected;
    if (c.expected.front() == '/') {
      expected = c.expected;
    } else if (c.expected != "-") {
      expected = dir_ + "/" + c.expected;
    }
    EXPECT_EQ(ToUtf8(TSpecialFolder::GetSpecialFolderPath(c.kind)), expected);
  }
}

TEST_F(SpecialFolderPathTest, UserFoldersFallBackWithoutUserDirsFile) {
  const ScopedEnv home("HOME", dir_);
  const ScopedEnv config("XDG_CONFIG_HOME", std::nullopt);
  EXPECT_EQ(ToUtf8(TSpecialFolder::GetSpecialFolderPath(12)), dir_ + "/Desktop");
  EXPECT_EQ(ToUtf8(TSpecialFolder::GetSpecialFolderPath(21)), dir_);
  EXPECT_EQ(ToUtf8(TSpecialFolder::GetSpecialFolderPath(29)), "");
}

}  // namespace
}  // namespace norvalis
