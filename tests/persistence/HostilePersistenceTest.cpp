// Project and settings files with hostile content: any file loads as the INI rules say,
// without a failure.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "PersistenceTestSupport.h"
#include "persistence/Config.h"
#include "persistence/Project.h"

namespace norvalis {
namespace {

using testing::FieldsOf;
using testing::kLoadDefaults;
using testing::Utf16Le;
using testing::WriteBytes;

class HostilePersistenceTest : public test::TempDirTest {};

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
    WriteBytes(Path("garbage"), c.bytes);
    TProject project(u"before", 99, true);
    ASSERT_NO_THROW(project.LoadFromFile(UPath("garbage")));
    EXPECT_EQ(project.FileName, u"");
    EXPECT_FALSE(project.Title);
    EXPECT_EQ(project.Col, 0);

    TConfig config;
    config.AddHistory(u"/old.NVS");
    ASSERT_NO_THROW(config.Load(UPath("garbage")));
    EXPECT_EQ(FieldsOf(config), kLoadDefaults);
  }
}

TEST_F(HostilePersistenceTest, ControlBytesAroundLinesAreTrimmedAway) {
  // Codes 0 to 32 at either end of a line are blanks by the rules, zero bytes included.
  using namespace std::string_literals;
  WriteBytes(Path("p.NVS"),
             "\x00\x01[CSV]\x1F\r\n\x02 FILENAME=x.csv\x00\x00\r\n"
             "\x7FTITLE=1\r\n\x0B[TASK]\x0C\nCOL=4\x1A"s);
  TProject project;
  project.LoadFromFile(UPath("p.NVS"));
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
  WriteBytes(Path("long.NVS"), "\xFF\xFE" + Utf16Le(text));
  TProject project;
  project.LoadFromFile(UPath("long.NVS"));
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
  WriteBytes(Path("Norvalis.ini"), "[STARTUP]\r\nHISTORY=" + history + "\r\nWindowState=2\r\n");
  TConfig config;
  config.Load(UPath("Norvalis.ini"));
  ASSERT_EQ(config.History.Count(), entries);
  EXPECT_EQ(config.History[0], u"/p/0.NVS");
  EXPECT_EQ(config.History[entries - 2], FromUtf8("/p/" + std::to_string(entries - 2) + ".NVS"));
  EXPECT_EQ(config.History[entries - 1], u"/p/with space.NVS");
  EXPECT_EQ(config.WindowState, 2);

  config.Save(UPath("Norvalis.ini"));
  TConfig reloaded;
  reloaded.Load(UPath("Norvalis.ini"));
  ASSERT_EQ(reloaded.History.Count(), entries);
  EXPECT_EQ(reloaded.History[entries - 1], u"/p/with space.NVS");
}

}  // namespace
}  // namespace norvalis
