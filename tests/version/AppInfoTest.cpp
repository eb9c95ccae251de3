#include <cstdint>
#include <vector>

#include <gtest/gtest.h>

#include "platform/ProgramResource.h"
#include "version/AppInfo.h"
#include "version/VersionBlock.h"
#include "text/Exception.h"

namespace norvalis {
namespace {

std::uint32_t DWordAt(std::span<const std::uint8_t> bytes, std::size_t at) {
  return bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 |
         static_cast<std::uint32_t>(bytes[at + 3]) << 24;
}

TEST(AppInfo, ProgramBlockAnswersEveryItem) {
  const TkAppInfo info;
  EXPECT_EQ(info.Translation, 0x03A40411u);
  const std::pair<unsigned, const char*> cases[] = {
      {0, ""},         {1, "Kestrune"},  {2, "CSVファイルを検証する"},
      {3, "0.1.0.0"},  {4, ""},          {5, "Kestrune"},
      {6, ""},         {7, ""},          {8, ""},
      {9, "Norvalis"}, {10, "1.0.0.0"},  {11, ""},
      {12, ""},        {0xFFFFFFFF, ""},
  };
  for (const auto& [item, value] : cases) {
    SCOPED_TRACE(item);
    EXPECT_EQ(ToUtf8(info.GetValue(item)), value);
  }
}

TEST(AppInfo, ProgramBlockFixedPartIsVersion0100) {
  const auto fixed = QueryVersionValue(ExecutableVersionData(), u"\\");
  ASSERT_TRUE(fixed);
  ASSERT_EQ(fixed->bytes.size(), 52u);
  EXPECT_EQ(DWordAt(fixed->bytes, 0), FixedFileInfoSignature);
  // File and product version 0.1.0.0: high words 0 and 1, low words 0 and 0.
  for (std::size_t at : {8u, 16u})
    EXPECT_EQ(DWordAt(fixed->bytes, at), 1u) << at;
  for (std::size_t at : {12u, 20u})
    EXPECT_EQ(DWordAt(fixed->bytes, at), 0u) << at;
}

TEST(AppInfo, StringsComeFromTheTableOfTheFirstTranslation) {
  const VersionString japanese[] = {{u"FileVersion", u"1.2.3.4"}};
  const VersionString english[] = {{u"FileVersion", u"5.6.7.8"}, {u"LegalTrademarks", u"TM"}};
  const VersionStringTable tables[] = {{u"041103A4", japanese}, {u"040904B0", english}};
  const std::uint32_t translations[] = {0x04B00409, 0x03A40411};
  const TkAppInfo info(BuildVersionBlock({{}, {}, translations, tables}));

  EXPECT_EQ(info.Translation, 0x04B00409u);
  EXPECT_EQ(ToUtf8(StringSubBlock(info.Translation, "FileVersion")),
            "\\StringFileInfo\\040904B0\\FileVersion");
  EXPECT_EQ(ToUtf8(info.GetValue(TkAppInfo::FileVersion)), "5.6.7.8");
  // The item's key "LegalTradeMarks" differs from the stored one in case only.
  EXPECT_EQ(ToUtf8(info.GetValue(TkAppInfo::LegalTradeMarks)), "TM");
  EXPECT_EQ(ToUtf8(info.GetValue(TkAppInfo::Comments)), "");
}

// Where the system keeps a version resource in the program's file (Windows: windres compiled
// it from the same data), it reads as the compiled block does: every item, the translation and
// the versions of the fixed part.
TEST(AppInfo, SystemResourceReadsAsTheCompiledBlock) {
  const auto resource = platform::ProgramVersionResource();
  if (!resource) GTEST_SKIP() << "the system keeps no version resource";
  ASSERT_FALSE(resource->empty());
  const TkAppInfo system(*resource);
  const TkAppInfo compiled(CompiledVersionData());
  EXPECT_EQ(system.Translation, compiled.Translation);
  for (unsigned item = 0; item <= TkAppInfo::ProductVersion; ++item) {
    SCOPED_TRACE(item);
    EXPECT_EQ(ToUtf8(system.GetValue(item)), ToUtf8(compiled.GetValue(item)));
  }
  const auto systemFixed = QueryVersionValue(*resource, u"\\");
  const auto compiledFixed = QueryVersionValue(CompiledVersionData(), u"\\");
  ASSERT_TRUE(systemFixed && compiledFixed);
  ASSERT_EQ(systemFixed->bytes.size(), compiledFixed->bytes.size());
  for (std::size_t at : {0u, 8u, 12u, 16u, 20u, 36u}) {  // signature, versions, file type
    EXPECT_EQ(DWordAt(systemFixed->bytes, at), DWordAt(compiledFixed->bytes, at)) << at;
  }
  // And it is what the program reads.
  const std::span<const std::uint8_t> used = ExecutableVersionData();
  EXPECT_EQ(std::vector<std::uint8_t>(used.begin(), used.end()), *resource);
}

TEST(AppInfo, UnreadableBlockRaisesTheVersionError) {
  std::vector<std::uint8_t> wrongRoot = BuildVersionBlock({});
  wrongRoot[6] = 'X';  // the root's key no longer reads VS_VERSION_INFO
  std::vector<std::uint8_t> truncated(ExecutableVersionData().begin(),
                                      ExecutableVersionData().end());
  truncated.pop_back();
  const std::pair<const char*, std::vector<std::uint8_t>> cases[] = {
      {"Empty", {}},
      {"Garbage", {0xFF, 0xFF, 0x01, 0x02}},
      {"WrongRootKey", wrongRoot},
      {"Truncated", truncated},
  };
  for (const auto& [name, data] : cases) {
    SCOPED_TRACE(name);
    try {
      TkAppInfo info(data);
      ADD_FAILURE() << "no exception";
    } catch (const Exception& e) {
      EXPECT_EQ(ToUtf8(e.Message()), "バージョン情報を取得できません");
    }
  }
}

// Every byte of the program's block damaged in turn: reading never leaves the block.
TEST(AppInfo, DamagedBlockIsReadWithinItsBounds) {
  const std::vector<std::uint8_t> original(ExecutableVersionData().begin(),
                                           ExecutableVersionData().end());
  for (std::uint8_t damage : {std::uint8_t{0x00}, std::uint8_t{0xFF}}) {
    for (std::size_t at = 0; at < original.size(); ++at) {
      std::vector<std::uint8_t> data = original;
      data[at] = damage;
      try {
        const TkAppInfo info(data);
        for (unsigned item = 0; item <= 11; ++item)
          info.GetValue(item);
      } catch (const Exception&) {
        // An unreadable root is a fair answer.
      }
    }
  }
}

}  // namespace
}  // namespace norvalis
