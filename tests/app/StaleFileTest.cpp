#include <string>

#include <gtest/gtest.h>

#include <QAction>
#include <QEvent>

#include "WindowTestSupport.h"

namespace norvalis {
namespace {

using testing::DialogCall;

const QString StaleStatus = QStringLiteral("CSVファイルがディスク上で変更されました。");
const QString StaleQuestion =
    QStringLiteral("CSVファイルがディスク上で変更されました。読み込み直しますか？");

// The window over a table that can be marked stale, as the mapping layer marks a table whose
// file was cut short under it.
class StaleFileTest : public testing::WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    Start();
    path = Write(QStringLiteral("t.csv"), "a\na\n");
    Load(path);
    form->Document().SetStaleProbe([this](const CsvTable&) { return stale; });
  }
  QStringList Questions() const { return Texts(DialogCall::Kind::Question); }
  void Check() { Find<QAction>(*form, "ActionCsvCheck")->trigger(); }

  QString path;
  bool stale = false;
};

TEST_F(StaleFileTest, CheckOnAStaleTableSaysSoAndAsksOnce) {
  Check();
  EXPECT_EQ(Questions(), QStringList{}) << "a table in step with its file";
  EXPECT_EQ(form->StatusText(), QStringLiteral("すべての値が一致しました。"));

  stale = true;
  dialogs.questionAnswers = {false};
  Check();
  EXPECT_EQ(Questions(), QStringList{StaleQuestion});
  EXPECT_EQ(form->StatusText(), StaleStatus);
  EXPECT_EQ(form->Document().Csv().GetRowCount(), 2u) << "No leaves the table";

  Check();
  EXPECT_EQ(Questions().size(), 1u) << "asked again about the same table";
}

TEST_F(StaleFileTest, YesReadsTheFileAgain) {
  Write(QStringLiteral("t.csv"), "b\nb\nb\n");
  stale = true;
  dialogs.questionAnswers = {true};
  Check();
  ASSERT_TRUE(WaitLoaded());
  EXPECT_EQ(Questions(), QStringList{StaleQuestion});
  EXPECT_EQ(form->Document().Csv().GetRowCount(), 3u);
  EXPECT_EQ(form->Document().Csv().GetCell(0, 0), u"b");
  EXPECT_EQ(form->StatusText(), QStringLiteral("CSVファイルを読み込みました。"));
  EXPECT_EQ(EditFilename()->text(), path);
}

TEST_F(StaleFileTest, ComingBackToTheWindowNoticesTheChange) {
  stale = true;
  QEvent activate(QEvent::WindowActivate);
  QCoreApplication::sendEvent(form.get(), &activate);
  ASSERT_TRUE(testing::WaitUntil([&] { return !Questions().isEmpty(); }));
  EXPECT_EQ(Questions(), QStringList{StaleQuestion});
  EXPECT_EQ(form->StatusText(), StaleStatus);
  EXPECT_EQ(Warnings(), QStringList{});
}

}  // namespace
}  // namespace norvalis
