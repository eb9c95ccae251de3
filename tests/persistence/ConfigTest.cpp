#include <gtest/gtest.h>

#include <cstdio>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "PersistenceTestSupport.h"
#include "ScopedEnv.h"
#include "persistence/Config.h"
#include "text/Exception.h"

namespace norvalis {
namespace {

using testing::FieldsOf;
using testing::FolderEntries;
using testing::kLoadDefaults;
using testing::PathExists;
using testing::ReadBytes;
using testing::ScopedEnv;
using testing::Utf16Le;
using testing::WriteBytes;

class ConfigTest : public test::TempDirTest {
 protected:
  TConfig LoadFrom(std::string_view bytes) {
    WriteBytes(Path("Norvalis.ini"), bytes);
    TConfig config;
    config.Load(UPath("Norvalis.ini"));
    return config;
  }
};

std::vector<std::string> historyOf(const TConfig& config) {
  std::vector<std::string> entries;
  for (int i = 0; i < config.History.Count(); ++i)
    entries.push_back(ToUtf8(config.History[i]));
  return entries;
}

// Settings with every field away from both sets of defaults.
TConfig FilledConfig() {
  TConfig config;
  config.WindowPositionRestore = true;
  config.WindowPositionLeft = -1920;
  config.WindowPositionTop = 33;
  config.WindowPositionRight = 1024;
  config.WindowPositionBottom = 768;
  config.SetWindowState(2);
  for (const char16_t* path : {u"/a/b.NVS", u"/My Data/\"q\".NVS", u"/x,y.NVS", u"/データ/表.NVS"})
    config.AddHistory(path);
  config.ProjectFileRestore = true;
  config.LastProjectFile = u"/My Data/表=b.NVS";
  return config;
}

TEST_F(ConfigTest, ConstructionAndLoadingWithoutAFileGiveTheirOwnDefaults) {
  EXPECT_EQ(FieldsOf(TConfig()),
            "Restore=0 Left=0 Top=0 Right=744 Bottom=580 State=0 History[0]= ProjectRestore=0 "
            "Last=");
  TConfig config = FilledConfig();
  config.Load(UPath("missing/Norvalis.ini"));
  EXPECT_EQ(FieldsOf(config), kLoadDefaults);
  EXPECT_FALSE(PathExists(Path("missing")));
}

TEST_F(ConfigTest, NewSettingsFileHoldsTheFourteenLinesInCodePage932AndLoadsBackUnchanged) {
  const struct {
    const char* name;
    TConfig config;
    std::string bytes;
  } cases[] = {
      {"constructed", TConfig(),
       "[SYSTEM]\r\nVersion=0\r\n\r\n[STARTUP]\r\nWindowPositionRestore=0\r\n"
       "WindowPositionLeft=0\r\nWindowPositionRight=744\r\nWindowPositionTop=0\r\n"
       "WindowPositionBottom=580\r\nWindowState=0\r\nHISTORY=\r\nProjectFileRestore=0\r\n"
       "LastProjectFile=\r\n\r\n"},
      {"filled", FilledConfig(),
       "[SYSTEM]\r\nVersion=0\r\n\r\n[STARTUP]\r\nWindowPositionRestore=1\r\n"
       "WindowPositionLeft=-1920\r\nWindowPositionRight=1024\r\nWindowPositionTop=33\r\n"
       "WindowPositionBottom=768\r\nWindowState=2\r\n"
       "HISTORY=/\x83\x66\x81\x5B\x83\x5E/\x95\x5C.NVS,\"/x,y.NVS\",\"/My Data/\"\"q\"\".NVS\","
       "/a/b.NVS\r\nProjectFileRestore=1\r\nLastProjectFile=/My Data/\x95\x5C=b.NVS\r\n\r\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TConfig saved = c.config;
    saved.Save(UPath("Norvalis.ini"));
    EXPECT_EQ(ReadBytes(Path("Norvalis.ini")), c.bytes);
    TConfig loaded;
    loaded.Load(UPath("Norvalis.ini"));
    EXPECT_EQ(FieldsOf(loaded), FieldsOf(c.config));
    std::remove(Path("Norvalis.ini").c_str());
  }
}

TEST_F(ConfigTest, PathOutsideCodePage932SurvivesASettingsRoundTrip) {
  const UnicodeString path = u"/home/u/😀/𠮷野家.NVS";
  TConfig saved;
  saved.AddHistory(u"/home/u/表.NVS");
  saved.AddHistory(path);
  saved.LastProjectFile = path;
  saved.Save(UPath("Norvalis.ini"));
  const std::string bytes = ReadBytes(Path("Norvalis.ini"));
  EXPECT_EQ(bytes.substr(0, 3), "\xEF\xBB\xBF");
  EXPECT_NE(bytes.find(ToUtf8(u"LastProjectFile=" + path + u"\r\n")), std::string::npos);

  TConfig loaded;
  loaded.Load(UPath("Norvalis.ini"));
  EXPECT_EQ(FieldsOf(loaded), FieldsOf(saved));

  // The file now has a UTF-8 mark and keeps it, like any file saved with one.
  loaded.History.Clear();
  loaded.LastProjectFile = u"/home/u/表.NVS";
  loaded.Save(UPath("Norvalis.ini"));
  const std::string resaved = ReadBytes(Path("Norvalis.ini"));
  EXPECT_EQ(resaved.substr(0, 3), "\xEF\xBB\xBF");
  EXPECT_NE(resaved.find(ToUtf8(u"LastProjectFile=/home/u/表.NVS\r\n")), std::string::npos);
}

TEST_F(ConfigTest, OnlyWindowStatesZeroToTwoAreKept) {
  const std::pair<const char*, std::int32_t> cases[] = {
      {"0", 0}, {"1", 1}, {"2", 2}, {"3", 0}, {"-1", 0}, {"x", 0}, {"0x2", 2}, {"", 0},
  };
  for (const auto& [stored, expected] : cases) {
    SCOPED_TRACE(stored);
    const TConfig config = LoadFrom("[STARTUP]\r\nWindowState=" + std::string(stored) + "\r\n");
    EXPECT_EQ(config.WindowState, expected);
  }
}

TEST_F(ConfigTest, SetWindowStateStoresZeroForAnythingElse) {
  const std::pair<std::int32_t, std::int32_t> cases[] = {
      {0, 0}, {1, 1}, {2, 2}, {3, 0}, {-1, 0}, {INT32_MIN, 0}, {INT32_MAX, 0},
  };
  TConfig config;
  for (const auto& [given, stored] : cases) {
    SCOPED_TRACE(given);
    config.WindowState = 1;
    config.SetWindowState(given);
    EXPECT_EQ(config.WindowState, stored);
  }
}

TEST_F(ConfigTest, HistoryIsReadAsCommaText) {
  const struct {
    const char* name;
    std::string value;
    std::vector<std::string> expected;
  } cases[] = {
      {"bare and quoted", "C:\\a.NVS,\"C:\\My Data\\b.NVS\"", {"C:\\a.NVS", "C:\\My Data\\b.NVS"}},
      {"space after the comma", "a, b", {"a", "b"}},
      {"trailing comma", "a,b,", {"a", "b", ""}},
      {"empty value", "", {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(historyOf(LoadFrom("[STARTUP]\r\nHISTORY=" + c.value + "\r\n")), c.expected);
  }
}

TEST_F(ConfigTest, AddHistoryRemovesEveryCaseDifferentDuplicateAndPutsThePathFirst) {
  TConfig config;
  for (const char16_t* path :
       {u"p0", u"p1", u"p2", u"C:\\DATA\\X.NVS", u"p4", u"C:\\DATA\\X.NVS", u"p6"}) {
    config.History.Add(path);
  }
  config.AddHistory(u"c:\\data\\x.NVS");
  EXPECT_EQ(historyOf(config),
            (std::vector<std::string>{"c:\\data\\x.NVS", "p0", "p1", "p2", "p4", "p6"}));

  const std::vector<std::string> before = historyOf(config);
  config.AddHistory(u"c:\\data\\x.NVS");
  EXPECT_EQ(historyOf(config), before);

  config.AddHistory(u"P4");
  EXPECT_EQ(historyOf(config),
            (std::vector<std::string>{"P4", "c:\\data\\x.NVS", "p0", "p1", "p2", "p6"}));
}

TEST_F(ConfigTest, SaveWritesVersionZeroAndKeepsOtherContentAndTheEncoding) {
  const struct {
    const char* name;
    std::string old;
    std::string saved;
  } cases[] = {
      {"code page 932",
       "[SYSTEM]\r\nVersion=7\r\nOwner=me\r\n[STARTUP]\r\nWindowState=2\r\nCustom=1\r\n"
       "[Other]\r\nk=v\r\n",
       "[SYSTEM]\r\nVersion=0\r\nOwner=me\r\n\r\n"
       "[STARTUP]\r\nWindowState=2\r\nCustom=1\r\nWindowPositionRestore=0\r\n"
       "WindowPositionLeft=0\r\nWindowPositionRight=434\r\nWindowPositionTop=0\r\n"
       "WindowPositionBottom=420\r\nHISTORY=\r\nProjectFileRestore=0\r\nLastProjectFile=\r\n"
       "\r\n[Other]\r\nk=v\r\n\r\n"},
      {"UTF-16 LE",
       "\xFF\xFE" + Utf16Le(u"[SYSTEM]\r\nVersion=0\r\n[STARTUP]\r\n"
                            u"LastProjectFile=/データ/表.NVS\r\nExtra=1\r\n[Mine]\r\nkey=値\r\n"),
       "\xFF\xFE" + Utf16Le(u"[SYSTEM]\r\nVersion=0\r\n\r\n"
                            u"[STARTUP]\r\nLastProjectFile=/データ/表.NVS\r\nExtra=1\r\n"
                            u"WindowPositionRestore=0\r\nWindowPositionLeft=0\r\n"
                            u"WindowPositionRight=434\r\nWindowPositionTop=0\r\n"
                            u"WindowPositionBottom=420\r\nWindowState=0\r\nHISTORY=\r\n"
                            u"ProjectFileRestore=0\r\n\r\n[Mine]\r\nkey=値\r\n\r\n")},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TConfig config = LoadFrom(c.old);
    config.Save(UPath("Norvalis.ini"));
    EXPECT_EQ(ReadBytes(Path("Norvalis.ini")), c.saved);
  }
}

TEST_F(ConfigTest, SettingsFilePathFollowsTheConfigHome) {
  const ScopedEnv home("HOME", dir_);
  const struct {
    std::optional<std::string> configHome;
    const char* expected;
  } cases[] = {
      {Path("conf"), "conf/Kestrune/Norvalis/Norvalis.ini"},
      {Path("conf") + "/", "conf/Kestrune/Norvalis/Norvalis.ini"},
      {std::nullopt, ".config/Kestrune/Norvalis/Norvalis.ini"},
      {"relative/conf", ".config/Kestrune/Norvalis/Norvalis.ini"},  // a relative one is ignored
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.configHome.value_or("unset"));
    const ScopedEnv xdg("XDG_CONFIG_HOME", c.configHome);
    EXPECT_EQ(ToUtf8(GetSettingsFilePath()), Path(c.expected));
  }
}

TEST_F(ConfigTest, SaveCreatesEveryMissingFolderOfTheSettingsPath) {
  const ScopedEnv xdg("XDG_CONFIG_HOME", Path("conf"));
  int warnings = 0;
  TConfig saved;
  saved.AddHistory(u"/p/a.NVS");
  saved.Save(GetSettingsFilePath(), [&](const UnicodeString&) { ++warnings; });
  EXPECT_EQ(warnings, 0);
  EXPECT_TRUE(PathExists(Path("conf/Kestrune/Norvalis/Norvalis.ini")));
  TConfig loaded;
  loaded.Load(GetSettingsFilePath());
  EXPECT_EQ(historyOf(loaded), std::vector<std::string>{"/p/a.NVS"});
}

TEST_F(ConfigTest, FolderThatCannotBeCreatedWarnsOncePerSaveAndWritesNothing) {
  // A plain file where a folder must go stops the creation, also for root.
  WriteBytes(Path("blocker"), "file");
  std::vector<std::string> warnings;
  TConfig config;
  config.WindowPositionLeft = 12;
  for (int attempt = 0; attempt < 2; ++attempt) {
    config.Save(UPath("blocker/Kestrune/Norvalis.ini"),
                [&](const UnicodeString& message) { warnings.push_back(ToUtf8(message)); });
  }
  EXPECT_EQ(warnings, (std::vector<std::string>(
                          2, "設定ファイルを保存するためのフォルダの作成に失敗しました。")));
  EXPECT_EQ(FolderEntries(dir_), std::set<std::string>{"blocker"});
  EXPECT_EQ(ReadBytes(Path("blocker")), "file");
  EXPECT_EQ(config.WindowPositionLeft, 12);
  // Without a callback the save is still skipped quietly.
  EXPECT_NO_THROW(config.Save(UPath("blocker/Norvalis.ini")));
}

}  // namespace
}  // namespace norvalis
