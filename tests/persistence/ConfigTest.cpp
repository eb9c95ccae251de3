#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "PersistenceTestSupport.h"
#include "persistence/Config.h"
#include "text/Exception.h"

namespace norvalis {
namespace {

using testing::FolderEntries;
using testing::PathExists;
using testing::ReadBytes;
using testing::ScopedEnv;
using testing::Utf16Le;
using testing::WriteBytes;

class ConfigTest : public testing::TempFolderTest {
 protected:
  TConfig LoadFrom(std::string_view bytes) {
    WriteBytes(PathOf("Norvalis.ini"), bytes);
    TConfig config;
    config.Load(UPathOf("Norvalis.ini"));
    return config;
  }
};

std::vector<std::string> historyOf(const TConfig& config) {
  std::vector<std::string> entries;
  for (int i = 0; i < config.History.Count(); ++i)
    entries.push_back(ToUtf8(config.History[i]));
  return entries;
}

TEST_F(ConfigTest, ConstructionValues) {
  const TConfig config;
  EXPECT_FALSE(config.WindowPositionRestore);
  EXPECT_EQ(config.WindowPositionLeft, 0);
  EXPECT_EQ(config.WindowPositionTop, 0);
  EXPECT_EQ(config.WindowPositionRight, 744);
  EXPECT_EQ(config.WindowPositionBottom, 580);
  EXPECT_EQ(config.WindowState, 0);
  EXPECT_EQ(config.History.Count(), 0);
  EXPECT_FALSE(config.ProjectFileRestore);
  EXPECT_EQ(config.LastProjectFile, u"");
}

TEST_F(ConfigTest, LoadingWithoutAFileGivesTheLoadDefaults) {
  TConfig config;
  config.WindowPositionRestore = true;
  config.WindowPositionLeft = 5;
  config.WindowPositionTop = 6;
  config.WindowState = 2;
  config.AddHistory(u"/x.NVS");
  config.ProjectFileRestore = true;
  config.LastProjectFile = u"/x.NVS";
  config.Load(UPathOf("missing/Norvalis.ini"));
  EXPECT_FALSE(config.WindowPositionRestore);
  EXPECT_EQ(config.WindowPositionLeft, 0);
  EXPECT_EQ(config.WindowPositionTop, 0);
  EXPECT_EQ(config.WindowPositionRight, 434);
  EXPECT_EQ(config.WindowPositionBottom, 420);
  EXPECT_EQ(config.WindowState, 0);
  EXPECT_EQ(config.History.Count(), 0);
  EXPECT_FALSE(config.ProjectFileRestore);
  EXPECT_EQ(config.LastProjectFile, u"");
  EXPECT_FALSE(PathExists(PathOf("missing")));
}

TEST_F(ConfigTest, NewSettingsFileHoldsTheFourteenLinesInCodePage932) {
  TConfig config;
  config.WindowPositionRestore = true;
  config.WindowPositionLeft = -8;
  config.WindowPositionTop = 20;
  config.WindowPositionRight = 800;
  config.WindowPositionBottom = 600;
  config.SetWindowState(2);
  config.AddHistory(u"/home/u/My Data/b.NVS");
  config.AddHistory(u"/home/u/表.NVS");
  config.ProjectFileRestore = true;
  config.LastProjectFile = u"/home/u/表.NVS";
  config.Save(UPathOf("Norvalis.ini"));
  EXPECT_EQ(ReadBytes(PathOf("Norvalis.ini")),
            "[SYSTEM]\r\n"
            "Version=0\r\n"
            "\r\n"
            "[STARTUP]\r\n"
            "WindowPositionRestore=1\r\n"
            "WindowPositionLeft=-8\r\n"
            "WindowPositionRight=800\r\n"
            "WindowPositionTop=20\r\n"
            "WindowPositionBottom=600\r\n"
            "WindowState=2\r\n"
            "HISTORY=/home/u/\x95\x5C.NVS,\"/home/u/My Data/b.NVS\"\r\n"
            "ProjectFileRestore=1\r\n"
            "LastProjectFile=/home/u/\x95\x5C.NVS\r\n"
            "\r\n");
}

TEST_F(ConfigTest, ConstructedSettingsSaveTheirConstructionValues) {
  TConfig().Save(UPathOf("Norvalis.ini"));
  EXPECT_EQ(ReadBytes(PathOf("Norvalis.ini")),
            "[SYSTEM]\r\nVersion=0\r\n\r\n[STARTUP]\r\nWindowPositionRestore=0\r\n"
            "WindowPositionLeft=0\r\nWindowPositionRight=744\r\nWindowPositionTop=0\r\n"
            "WindowPositionBottom=580\r\nWindowState=0\r\nHISTORY=\r\nProjectFileRestore=0\r\n"
            "LastProjectFile=\r\n\r\n");
}

TEST_F(ConfigTest, SavedSettingsLoadBackUnchanged) {
  TConfig saved;
  saved.WindowPositionRestore = true;
  saved.WindowPositionLeft = -1920;
  saved.WindowPositionTop = 33;
  saved.WindowPositionRight = 1024;
  saved.WindowPositionBottom = 768;
  saved.SetWindowState(1);
  for (const char16_t* path :
       {u"/a/b.NVS", u"/My Data/\"q\".NVS", u"/x,y.NVS", u"/データ/表.NVS"}) {
    saved.AddHistory(path);
  }
  saved.ProjectFileRestore = true;
  saved.LastProjectFile = u"/My Data/a=b.NVS";
  saved.Save(UPathOf("Norvalis.ini"));

  TConfig loaded;
  loaded.Load(UPathOf("Norvalis.ini"));
  EXPECT_TRUE(loaded.WindowPositionRestore);
  EXPECT_EQ(loaded.WindowPositionLeft, -1920);
  EXPECT_EQ(loaded.WindowPositionTop, 33);
  EXPECT_EQ(loaded.WindowPositionRight, 1024);
  EXPECT_EQ(loaded.WindowPositionBottom, 768);
  EXPECT_EQ(loaded.WindowState, 1);
  EXPECT_EQ(historyOf(loaded), historyOf(saved));
  EXPECT_TRUE(loaded.ProjectFileRestore);
  EXPECT_EQ(ToUtf8(loaded.LastProjectFile), "/My Data/a=b.NVS");
}

TEST_F(ConfigTest, PathOutsideCodePage932SurvivesASettingsRoundTrip) {
  const UnicodeString path = u"/home/u/😀/𠮷野家.NVS";
  TConfig saved;
  saved.AddHistory(u"/home/u/表.NVS");
  saved.AddHistory(path);
  saved.LastProjectFile = path;
  saved.Save(UPathOf("Norvalis.ini"));
  const std::string bytes = ReadBytes(PathOf("Norvalis.ini"));
  EXPECT_EQ(bytes.substr(0, 3), "\xEF\xBB\xBF");
  EXPECT_NE(bytes.find(ToUtf8(u"LastProjectFile=" + path + u"\r\n")), std::string::npos);

  TConfig loaded;
  loaded.Load(UPathOf("Norvalis.ini"));
  EXPECT_EQ(ToUtf8(loaded.LastProjectFile), ToUtf8(path));
  EXPECT_EQ(historyOf(loaded), historyOf(saved));

  // The file now has a UTF-8 mark and keeps it, like any file saved with one.
  loaded.History.Clear();
  loaded.LastProjectFile = u"/home/u/表.NVS";
  loaded.Save(UPathOf("Norvalis.ini"));
  const std::string resaved = ReadBytes(PathOf("Norvalis.ini"));
  EXPECT_EQ(resaved.substr(0, 3), "\xEF\xBB\xBF");
  EXPECT_NE(resaved.find(ToUtf8(u"LastProjectFile=/home/u/表.NVS\r\n")), std::string::npos);
}

struct WindowStateCase {
  const char* stored;
  std::int32_t expected;
};

TEST_F(ConfigTest, OnlyWindowStatesZeroToTwoAreKept) {
  const WindowStateCase cases[] = {
      {"0", 0}, {"1", 1}, {"2", 2}, {"3", 0}, {"-1", 0}, {"x", 0}, {"0x2", 2}, {"", 0},
  };
  for (const WindowStateCase& c : cases) {
    SCOPED_TRACE(c.stored);
    const TConfig config = LoadFrom("[STARTUP]\r\nWindowState=" + std::string(c.stored) + "\r\n");
    EXPECT_EQ(config.WindowState, c.expected);
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

struct HistoryCase {
  const char* name;
  std::string value;
  std::vector<std::string> expected;
};

TEST_F(ConfigTest, HistoryIsReadAsCommaText) {
  const HistoryCase cases[] = {
      {"bare and quoted", "C:\\a.NVS,\"C:\\My Data\\b.NVS\"", {"C:\\a.NVS", "C:\\My Data\\b.NVS"}},
      {"space after the comma", "a, b", {"a", "b"}},
      {"trailing comma", "a,b,", {"a", "b", ""}},
      {"empty value", "", {}},
  };
  for (const HistoryCase& c : cases) {
    SCOPED_TRACE(c.name);
    const TConfig config = LoadFrom("[STARTUP]\r\nHISTORY=" + c.value + "\r\n");
    EXPECT_EQ(historyOf(config), c.expected);
  }
}

TEST_F(ConfigTest, HistoryWithASpaceIsWrittenInQuotes) {
  TConfig config;
  config.History.Add(u"C:\\a.NVS");
  config.History.Add(u"C:\\My Data\\b.NVS");
  config.Save(UPathOf("Norvalis.ini"));
  EXPECT_NE(
      ReadBytes(PathOf("Norvalis.ini")).find("\r\nHISTORY=C:\\a.NVS,\"C:\\My Data\\b.NVS\"\r\n"),
      std::string::npos);
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

TEST_F(ConfigTest, SaveAlwaysWritesVersionZeroAndKeepsOtherContent) {
  WriteBytes(PathOf("Norvalis.ini"),
             "[SYSTEM]\r\nVersion=7\r\nOwner=me\r\n[STARTUP]\r\nWindowState=2\r\nCustom=1\r\n"
             "[Other]\r\nk=v\r\n");
  TConfig config;
  config.Load(UPathOf("Norvalis.ini"));
  config.Save(UPathOf("Norvalis.ini"));
  EXPECT_EQ(ReadBytes(PathOf("Norvalis.ini")),
            "[SYSTEM]\r\nVersion=0\r\nOwner=me\r\n\r\n"
            "[STARTUP]\r\nWindowState=2\r\nCustom=1\r\nWindowPositionRestore=0\r\n"
            "WindowPositionLeft=0\r\nWindowPositionRight=434\r\nWindowPositionTop=0\r\n"
            "WindowPositionBottom=420\r\nHISTORY=\r\nProjectFileRestore=0\r\nLastProjectFile=\r\n"
            "\r\n[Other]\r\nk=v\r\n\r\n");
}

TEST_F(ConfigTest, Utf16LeSettingsFileStaysUtf16LeWithItsExtraContent) {
  const std::u16string text =
      u"[SYSTEM]\r\nVersion=0\r\n[STARTUP]\r\nLastProjectFile=/データ/表.NVS\r\nExtra=1\r\n"
      u"[Mine]\r\nkey=値\r\n";
  WriteBytes(PathOf("Norvalis.ini"), "\xFF\xFE" + Utf16Le(text));
  TConfig config;
  config.Load(UPathOf("Norvalis.ini"));
  EXPECT_EQ(ToUtf8(config.LastProjectFile), "/データ/表.NVS");
  config.Save(UPathOf("Norvalis.ini"));
  EXPECT_EQ(ReadBytes(PathOf("Norvalis.ini")),
            "\xFF\xFE" + Utf16Le(u"[SYSTEM]\r\nVersion=0\r\n\r\n"
                                 u"[STARTUP]\r\nLastProjectFile=/データ/表.NVS\r\nExtra=1\r\n"
                                 u"WindowPositionRestore=0\r\nWindowPositionLeft=0\r\n"
                                 u"WindowPositionRight=434\r\nWindowPositionTop=0\r\n"
                                 u"WindowPositionBottom=420\r\nWindowState=0\r\nHISTORY=\r\n"
                                 u"ProjectFileRestore=0\r\n\r\n"
                                 u"[Mine]\r\nkey=値\r\n\r\n"));
}

TEST_F(ConfigTest, SaveCreatesEveryMissingFolder) {
  int warnings = 0;
  TConfig().Save(UPathOf("a/b/c/Norvalis.ini"), [&](const UnicodeString&) { ++warnings; });
  EXPECT_EQ(warnings, 0);
  EXPECT_TRUE(PathExists(PathOf("a/b/c/Norvalis.ini")));
}

TEST_F(ConfigTest, FolderThatCannotBeCreatedWarnsOncePerSaveAndWritesNothing) {
  // A plain file where a folder must go stops the creation, also for root.
  WriteBytes(PathOf("blocker"), "file");
  std::vector<std::string> warnings;
  TConfig config;
  config.WindowPositionLeft = 12;
  for (int attempt = 0; attempt < 2; ++attempt) {
    config.Save(UPathOf("blocker/Kestrune/Norvalis.ini"),
                [&](const UnicodeString& message) { warnings.push_back(ToUtf8(message)); });
  }
  EXPECT_EQ(warnings, (std::vector<std::string>(
                          2, "設定ファイルを保存するためのフォルダの作成に失敗しました。")));
  EXPECT_EQ(FolderEntries(folder_), std::set<std::string>{"blocker"});
  EXPECT_EQ(ReadBytes(PathOf("blocker")), "file");
  EXPECT_EQ(config.WindowPositionLeft, 12);
  // Without a callback the save is still skipped quietly.
  EXPECT_NO_THROW(config.Save(UPathOf("blocker/Norvalis.ini")));
}

TEST_F(ConfigTest, SettingsFilePathFollowsTheConfigHome) {
  const ScopedEnv home("HOME", folder_);
  {
    const ScopedEnv xdg("XDG_CONFIG_HOME", PathOf("conf"));
    EXPECT_EQ(ToUtf8(GetSettingsFilePath()), PathOf("conf/Kestrune/Norvalis/Norvalis.ini"));
  }
  {
    const ScopedEnv xdg("XDG_CONFIG_HOME", PathOf("conf") + "/");
    EXPECT_EQ(ToUtf8(GetSettingsFilePath()), PathOf("conf/Kestrune/Norvalis/Norvalis.ini"));
  }
  {
    const ScopedEnv xdg("XDG_CONFIG_HOME", std::nullopt);
    EXPECT_EQ(ToUtf8(GetSettingsFilePath()), PathOf(".config/Kestrune/Norvalis/Norvalis.ini"));
  }
  {
    // A relative config home is ignored.
    const ScopedEnv xdg("XDG_CONFIG_HOME", "relative/conf");
    EXPECT_EQ(ToUtf8(GetSettingsFilePath()), PathOf(".config/Kestrune/Norvalis/Norvalis.ini"));
  }
}

TEST_F(ConfigTest, SettingsSavedToTheSettingsPathCreateItsFolders) {
  const ScopedEnv xdg("XDG_CONFIG_HOME", PathOf("conf"));
  TConfig saved;
  saved.AddHistory(u"/p/a.NVS");
  saved.Save(GetSettingsFilePath());
  EXPECT_TRUE(PathExists(PathOf("conf/Kestrune/Norvalis/Norvalis.ini")));
  TConfig loaded;
  loaded.Load(GetSettingsFilePath());
  EXPECT_EQ(historyOf(loaded), std::vector<std::string>{"/p/a.NVS"});
}

}  // namespace
}  // namespace norvalis
