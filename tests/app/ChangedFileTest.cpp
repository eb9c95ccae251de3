// The window over a file that another program changes while it is open: the idle look and
// every command that reads the table compare the file with what was loaded.

#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDateTime>
#include <QEvent>
#include <QFile>

#include "WindowTestSupport.h"
#include "app/FindBar.h"
#include "text/FileState.h"

namespace norvalis {
namespace {

using testing::DialogCall;

const QString ChangedStatus = QStringLiteral("CSVファイルがディスク上で変更されました。");
const QString GoneText = QString::fromStdU16String(FileGoneText);
const QString Sentinel = QStringLiteral("(clipboard untouched)");

class ChangedFileTest : public testing::WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    Start({}, [](TFormMain& form) { form.SetDiskWatchInterval(std::chrono::milliseconds(20)); });
  }
  // Writes live.csv dated an hour back, so any later write gives it another time.
  QString WriteLive(const std::string& bytes) {
    const QString path = Write(QStringLiteral("live.csv"), bytes);
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadWrite));
    EXPECT_TRUE(file.setFileTime(QDateTime::currentDateTime().addSecs(-3600),
                                 QFileDevice::FileModificationTime));
    return path;
  }
  QStringList Questions() const { return Texts(DialogCall::Kind::Question); }
  void Trigger(const char* name) { Run(name); }
  // Runs each command that reads the table; the status text each leaves.
  QStringList RunReadingCommands() {
    QStringList statuses;
    for (const char* name :
         {"ActionCsvCheck", "ActionCsvCheckAll", "ActionEditCopyCell", "ActionEditCopyRow"}) {
      Trigger(name);
      statuses << form->StatusText();
    }
    Find<QLineEdit>(*Find<TFindBar>(*form, "FindBar"), "EditFindText")
        ->setText(QStringLiteral("b"));
    Trigger("ActionEditFindNext");
    statuses << form->StatusText();
    return statuses;
  }
};

struct DiskCase {
  const char* name;
  std::function<void(const QString& path, testing::ScratchDir& dir)> change;
  bool gone;         // else changed
  QString question;  // how the question starts (the details that follow are the table's)
  std::uint32_t rowsAgain;
};

TEST_F(ChangedFileTest, AChangeIsNoticedIdleAndNoCommandAnswersFromAChangedFile) {
  const std::string bytes = "a,b\na,b\na,b\n";
  const std::vector<DiskCase> cases = {
      {"emptied", [](const QString& path, auto&) { QFile(path).resize(0); }, false,
       QStringLiteral("CSVファイルがディスク上で変更されました。\n大きさが 12 バイトから 0 "
                      "バイトになりました。"),
       0},
      {"overwritten in place",
       [](const QString& path, auto&) {
         QFile file(path);
         ASSERT_TRUE(file.open(QIODevice::ReadWrite));
         file.write("x");
       },
       false, QStringLiteral("CSVファイルがディスク上で変更されました。\n更新日時が変わりました。"),
       3},
      {"appended",
       [](const QString& path, auto&) {
         QFile file(path);
         ASSERT_TRUE(file.open(QIODevice::Append));
         file.write("c,d\n");
       },
       false,
       QStringLiteral("CSVファイルがディスク上で変更されました。\n大きさが 12 バイトから 16 "
                      "バイトになりました。"),
       4},
      {"replaced",
       [](const QString& path, auto& dir) {
         const QString other = testing::WriteFile(dir, QStringLiteral("new.csv"), "a,b\n");
         // As an editor saves: a new file renamed over the old (replacing it on Windows too).
         std::error_code error;
         std::filesystem::rename(other.toStdWString(), path.toStdWString(), error);
         ASSERT_FALSE(error) << error.message();
       },
       false,
       QStringLiteral("CSVファイルがディスク上で変更されました。\n"
                      "同じ名前の別のファイルに置き換えられました。"),
       1},
      {"deleted",
       [](const QString& path, auto&) { ASSERT_TRUE(QFile::remove(path)); },
       true,
       {},
       0},
      {"renamed",
       [](const QString& path, auto& dir) {
         ASSERT_TRUE(QFile::rename(path, dir.filePath(QStringLiteral("moved.csv"))));
       },
       true,
       {},
       0},
  };
  for (const DiskCase& c : cases) {
    SCOPED_TRACE(c.name);
    QFile::remove(dir.filePath(QStringLiteral("moved.csv")));
    const QString path = WriteLive(bytes);
    Load(path);
    dialogs.calls.clear();
    c.change(path, dir);

    // Noticed while idle, and said once.
    ASSERT_TRUE(testing::WaitUntil([&] { return !dialogs.calls.empty(); }));
    const QStringList said = c.gone ? Warnings() : Questions();
    ASSERT_EQ(said.size(), 1);
    if (c.gone) {
      EXPECT_EQ(said.front(), GoneText);
    } else {
      EXPECT_TRUE(said.front().startsWith(c.question)) << said.front().toStdString();
      EXPECT_TRUE(said.front().endsWith(QStringLiteral("\n読み込み直しますか？")));
    }
    EXPECT_EQ(form->StatusText(), c.gone ? GoneText : ChangedStatus);
    const auto callsBefore = dialogs.calls.size();
    testing::WaitUntil([] { return false; }, std::chrono::milliseconds(100));
    EXPECT_EQ(dialogs.calls.size(), callsBefore) << "said again while idle";

    QApplication::clipboard()->setText(Sentinel);
    const QStringList statuses = RunReadingCommands();
    if (c.gone) {
      // The mapping still holds the old content: the commands work on it, without a word more.
      EXPECT_EQ(statuses, (QStringList{QStringLiteral("すべての値が一致しました。"),
                                       QStringLiteral("すべての列で値が一致しました。"),
                                       QStringLiteral("セルをコピーしました。"),
                                       QStringLiteral("行をコピーしました。"),
                                       QStringLiteral("見つかりました: ファイルの1行目、B列")}));
      EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("a\tb"));
      EXPECT_EQ(dialogs.calls.size(), callsBefore);
    } else {
      EXPECT_EQ(statuses, QStringList(5, ChangedStatus)) << "a result from a changed file";
      EXPECT_EQ(QApplication::clipboard()->text(), Sentinel);
      EXPECT_EQ(Questions().size(), 6) << "each command offers to read the file again";
      EXPECT_EQ(Warnings(), QStringList{}) << "no check result shown";
      // Yes reads it again.
      dialogs.questionAnswers = {true};
      Trigger("ActionCsvCheck");
      ASSERT_TRUE(WaitLoaded());
      EXPECT_EQ(form->Document().Csv().GetRowCount(), c.rowsAgain);
      EXPECT_EQ(form->StatusText(), QStringLiteral("CSVファイルを読み込みました。"));
    }
    form->OpenCsvFile({});
  }
}

// A file cut while the check runs: what the run compared is a mixture, not a result.
TEST_F(ChangedFileTest, AChangeDuringTheCheckGivesNoResult) {
  const QString path = WriteLive("a\na\nb\n");
  Load(path);
  form->SetDiskWatchInterval(std::chrono::hours(1));
  QObject::connect(&form->Document(), &TDocument::progress, form.get(),
                   [&] { QFile(path).resize(2); });
  Trigger("ActionCsvCheck");
  EXPECT_EQ(Warnings(), QStringList{}) << "the difference found is not shown";
  EXPECT_EQ(form->StatusText(), ChangedStatus);
  EXPECT_EQ(Questions().size(), 1);
}

// Coming back to the window looks at once, without waiting for the watch.
TEST_F(ChangedFileTest, ComingBackToTheWindowLooksAtTheFile) {
  const QString path = WriteLive("a\n");
  Load(path);
  form->SetDiskWatchInterval(std::chrono::hours(1));
  QFile(path).resize(0);
  QEvent activate(QEvent::WindowActivate);
  QCoreApplication::sendEvent(form.get(), &activate);
  ASSERT_TRUE(testing::WaitUntil([&] { return !Questions().isEmpty(); }));
  EXPECT_EQ(form->StatusText(), ChangedStatus);
}

}  // namespace
}  // namespace norvalis
