#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QCursor>
#include <QGuiApplication>
#include <QLineEdit>
#include <QProgressBar>
#include <QToolButton>

#include "WindowTestSupport.h"
#include "platform/FileTesting.h"

namespace norvalis {
namespace {

using testing::DialogCall;

const QString Loading = QStringLiteral("CSVファイルを読み込んでいます。");
const QString Loaded = QStringLiteral("CSVファイルを読み込みました。");
const QString NotFound = QStringLiteral("CSVファイルが見つかりません。");

// Three lines of four columns, UTF-8.
const std::string ThreeByFour =
    "名前,年齢,都市,メモ\n"
    "山田,30,東京,a\n"
    "佐藤,41,大阪,b\n";

class OpenCsvFileTest : public testing::WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    Start();
  }
  void ExpectEmptyLayout() {
    EXPECT_EQ(form->Document().Csv().GetRowCount(), 0u);
    EXPECT_EQ(Grid()->ColCount(), 2);
    EXPECT_EQ(Grid()->RowCount(), Grid()->FixedRows() + 1);
    EXPECT_EQ(Grid()->CellText(1, 0), u"A");
    EXPECT_EQ(Grid()->CellText(1, 1), u"");
  }
  // Opens `first`; the moment its load starts, opens `second`.
  void OpenDuringLoad(const QString& first, const QString& second) {
    QObject::connect(&form->Document(), &TDocument::started,
                     [this, second, nested = false]() mutable {
                       if (!std::exchange(nested, true)) Open(second);
                     });
    Load(first);
  }
};

TEST_F(OpenCsvFileTest, ExistingFileIsLoadedAndReported) {
  const QString path = Write(QStringLiteral("data.csv"), ThreeByFour);
  QString statusWhileLoading;
  Qt::CursorShape shapeWhileLoading = Qt::ArrowCursor;
  bool cursorSet = false;
  QObject::connect(&form->Document(), &TDocument::started, [&] {
    statusWhileLoading = form->StatusText();
    cursorSet = QGuiApplication::overrideCursor() != nullptr;
    if (cursorSet) shapeWhileLoading = QGuiApplication::overrideCursor()->shape();
  });

  Load(path);

  EXPECT_EQ(statusWhileLoading, Loading);
  ASSERT_TRUE(cursorSet);
  EXPECT_EQ(shapeWhileLoading, Qt::WaitCursor);
  EXPECT_EQ(form->StatusText(), Loaded);
  EXPECT_EQ(StatusBarAccessibleName(), Loaded);
  EXPECT_EQ(EditFilename()->text(), path);
  EXPECT_EQ(form->Document().Csv().GetRowCount(), 3u);
  EXPECT_EQ(Grid()->CellText(3, 2), u"東京");
  EXPECT_TRUE(ProgressBar()->isHidden());
  EXPECT_TRUE(dialogs.calls.empty());
}

TEST_F(OpenCsvFileTest, GridLayoutFollowsTableAndTitleBox) {
  struct Case {
    const char* name;
    std::string content;
    bool title;
    std::uint32_t tableRows;
    std::int64_t rowCount;
    std::vector<std::u16string> labels;
    std::vector<std::u16string> numbers;      // grid column 0 from grid row 1 down
    std::vector<std::u16string> firstColumn;  // grid column 1 from grid row 1 down
  };
  const std::vector<std::u16string> abcd = {u"A", u"B", u"C", u"D"};
  const std::vector<std::u16string> names = {u"名前", u"山田", u"佐藤"};
  const Case cases[] = {
      {"ThreeRowsWithoutTitle", ThreeByFour, false, 3, 4, abcd, {u"1", u"2", u"3"}, names},
      {"ThreeRowsWithTitle", ThreeByFour, true, 3, 4, abcd, {u"", u"1", u"2"}, names},
      {"OneLineWithTitle", "a,b\n", true, 1, 3, {u"A", u"B"}, {u"", u""}, {u"a", u""}},
      {"OneLineWithoutTitle", "a,b\n", false, 1, 2, {u"A", u"B"}, {u"1"}, {u"a"}},
      {"EmptyFileWithoutTitle", "", false, 0, 2, {u"A"}, {u""}, {u""}},
      {"EmptyFileWithTitle", "", true, 0, 3, {u"A"}, {u"", u""}, {u"", u""}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TitleBox()->setChecked(c.title);
    form->CheckBoxFirstLineIsTitleClick();
    Load(Write(QString::fromLatin1(c.name) + QStringLiteral(".csv"), c.content));

    EXPECT_EQ(form->StatusText(), Loaded);
    EXPECT_TRUE(dialogs.calls.empty());
    EXPECT_EQ(form->Document().Csv().GetRowCount(), c.tableRows);
    EXPECT_EQ(Grid()->ColCount(), static_cast<int>(c.labels.size()) + 1);
    EXPECT_EQ(Grid()->RowCount(), c.rowCount);
    EXPECT_EQ(Grid()->FixedRows(), c.title ? 2 : 1);
    EXPECT_EQ(Grid()->FixedCols(), 1);
    for (std::size_t i = 0; i < c.labels.size(); ++i) {
      EXPECT_EQ(Grid()->CellText(static_cast<int>(i) + 1, 0), c.labels[i]) << "label " << i;
    }
    for (std::size_t i = 0; i < c.numbers.size(); ++i) {
      const auto row = static_cast<std::int64_t>(i) + 1;
      EXPECT_EQ(Grid()->CellText(0, row), c.numbers[i]) << "number in row " << row;
      EXPECT_EQ(Grid()->CellText(1, row), c.firstColumn[i]) << "cell in row " << row;
    }
  }
}

TEST_F(OpenCsvFileTest, TitleBoxSwitchesTheFixedTitleRow) {
  Load(Write(QStringLiteral("t.csv"), ThreeByFour));
  const QString status = form->StatusText();

  TitleBox()->click();  // as the user does
  EXPECT_TRUE(Grid()->FirstLineIsTitle());
  EXPECT_EQ(Grid()->FixedRows(), 2);
  EXPECT_EQ(Grid()->CellText(0, 1), u"");
  EXPECT_EQ(Grid()->CellText(0, 2), u"1");
  EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);

  TitleBox()->click();
  EXPECT_FALSE(Grid()->FirstLineIsTitle());
  EXPECT_EQ(Grid()->FixedRows(), 1);
  EXPECT_EQ(Grid()->CellText(0, 1), u"1");
  // Switching keeps the columns and says nothing.
  EXPECT_EQ(Grid()->ColCount(), 5);
  EXPECT_EQ(form->StatusText(), status);
}

TEST_F(OpenCsvFileTest, MissingFileOrFolderIsReportedAfterClearingTheGrid) {
  for (const QString& missing : {dir.filePath(QStringLiteral("ない.csv")), dir.path()}) {
    SCOPED_TRACE(missing.toStdString());
    Load(Write(QStringLiteral("first.csv"), ThreeByFour));
    dialogs.calls.clear();
    QString statusWhileBoxShown;
    std::uint32_t rowsWhileBoxShown = 99;
    dialogs.onShow = [&](const DialogCall&) {
      statusWhileBoxShown = form->StatusText();
      rowsWhileBoxShown = form->Document().Csv().GetRowCount();
    };

    Load(missing);

    const auto warnings = dialogs.Of(DialogCall::Kind::Warning);
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_EQ(warnings[0].title, QStringLiteral("警告"));
    EXPECT_EQ(warnings[0].text, NotFound + QStringLiteral("\n") + missing);
    // The status text changes only once the box is closed; the grid was cleared before.
    EXPECT_EQ(statusWhileBoxShown, Loaded);
    EXPECT_EQ(rowsWhileBoxShown, 0u);
    EXPECT_EQ(form->StatusText(), NotFound + missing);
    EXPECT_EQ(StatusBarAccessibleName(), form->StatusText());
    EXPECT_EQ(EditFilename()->text(), missing);
    ExpectEmptyLayout();
  }
}

TEST_F(OpenCsvFileTest, EmptyNameClearsSilently) {
  Load(Write(QStringLiteral("x.csv"), ThreeByFour));
  ASSERT_EQ(form->Document().Csv().GetRowCount(), 3u);

  Open(QString());

  EXPECT_TRUE(EditFilename()->text().isEmpty());
  EXPECT_TRUE(dialogs.calls.empty());
  EXPECT_EQ(form->StatusText(), Loaded);
  ExpectEmptyLayout();
}

TEST_F(OpenCsvFileTest, EditedNameLoadsNothing) {
  EditFilename()->setText(Write(QStringLiteral("typed.csv"), ThreeByFour));
  QCoreApplication::processEvents();
  EXPECT_EQ(form->Document().Csv().GetRowCount(), 0u);
  EXPECT_EQ(form->StatusText(), QString());
}

TEST_F(OpenCsvFileTest, BrowseOpensTheChosenFile) {
  const QString path = Write(QStringLiteral("browse.csv"), ThreeByFour);
  dialogs.fileAnswers.push_back(path);

  Find<QToolButton>(*form, "SpeedButton1")->click();
  ASSERT_TRUE(WaitLoaded());

  const auto files = dialogs.Of(DialogCall::Kind::File);
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(files[0].fileKind, TFileDialog::Kind::Open);
  EXPECT_EQ(files[0].filter,
            QStringLiteral("CSVファイル(*.CSV)|*.CSV|テキストファイル(*.TXT;*.TSV)|*.TXT;*.TSV|"
                           "すべてのファイル(*.*)|*.*"));
  EXPECT_EQ(files[0].defaultExt, QStringLiteral("CSV"));
  EXPECT_EQ(form->OpenDialogCsv().FileName, path);
  EXPECT_EQ(EditFilename()->text(), path);
  EXPECT_EQ(form->StatusText(), Loaded);
  EXPECT_EQ(form->Document().Csv().GetRowCount(), 3u);
}

TEST_F(OpenCsvFileTest, CancelledBrowseChangesNothing) {
  const QString path = Write(QStringLiteral("kept.csv"), ThreeByFour);
  Load(path);
  form->SetStatusText(QStringLiteral("前の状態"));
  dialogs.fileAnswers.push_back(std::nullopt);

  Find<QAction>(*form, "ActionCsvReffer")->trigger();

  EXPECT_EQ(dialogs.Of(DialogCall::Kind::File).size(), 1u);
  EXPECT_EQ(EditFilename()->text(), path);
  EXPECT_EQ(form->StatusText(), QStringLiteral("前の状態"));
  EXPECT_EQ(form->Document().Csv().GetRowCount(), 3u);
}

TEST_F(OpenCsvFileTest, LargeFileLoadsWithTheBarHiddenAfterwards) {
  std::string big;
  for (int i = 0; i < 100000; ++i)
    big += "\"値" + std::to_string(i) + "\",b,c\n";
  Load(Write(QStringLiteral("big.csv"), big));

  EXPECT_TRUE(ProgressBar()->isHidden());
  EXPECT_EQ(form->StatusText(), Loaded);
  EXPECT_EQ(form->Document().Csv().GetRowCount(), 100000u);
  EXPECT_EQ(Grid()->CellText(1, 100000), u"値99999");
}

TEST_F(OpenCsvFileTest, OpenDuringALoadEndsWithTheLaterFile) {
  const QString second = Write(QStringLiteral("second.csv"), "x\ny\n");
  OpenDuringLoad(Write(QStringLiteral("first.csv"), ThreeByFour), second);

  EXPECT_EQ(EditFilename()->text(), second);
  EXPECT_EQ(form->StatusText(), Loaded);
  EXPECT_EQ(form->Document().Csv().GetRowCount(), 2u);
  EXPECT_EQ(Grid()->CellText(1, 1), u"x");
  EXPECT_TRUE(ProgressBar()->isHidden());
}

TEST_F(OpenCsvFileTest, MissingFileDuringALoadKeepsItsReport) {
  const QString missing = dir.filePath(QStringLiteral("missing.csv"));
  OpenDuringLoad(Write(QStringLiteral("first.csv"), ThreeByFour), missing);

  EXPECT_EQ(EditFilename()->text(), missing);
  EXPECT_EQ(form->StatusText(), NotFound + missing) << "the first open's end overwrote it";
  EXPECT_EQ(dialogs.Of(DialogCall::Kind::Warning).size(), 1u);
  ExpectEmptyLayout();
}

// Drives the window through the document's progress, as a slow load would: the load really
// runs, but its answer cannot come before events run again.
class LoadProgressTest : public OpenCsvFileTest {
 protected:
  void Begin() { Open(Write(QStringLiteral("t.csv"), ThreeByFour)); }
  void Progress(qint64 done, qint64 total) {
    emit form->Document().progress(TDocument::Task::Load, done, total);
  }
  void Finish() { ASSERT_TRUE(WaitLoaded()); }
};

TEST_F(LoadProgressTest, SlowLoadShowsItsProgressUntilItEnds) {
  form->SetProgressDelay(std::chrono::milliseconds(0));
  Begin();
  EXPECT_EQ(form->StatusText(), Loading);
  ASSERT_NE(QGuiApplication::overrideCursor(), nullptr);
  EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);

  struct Step {
    qint64 done;
    qint64 total;
    int permille;
  };
  const Step steps[] = {
      {0, 100, 0},
      {50, 100, 500},
      {100, 100, 1000},
      {150, 100, 1000},                     // never past the end
      {3'000'000'000, 6'000'000'000, 500},  // sizes beyond int
  };
  for (const Step& s : steps) {
    SCOPED_TRACE(s.done);
    Progress(s.done, s.total);
    EXPECT_FALSE(ProgressBar()->isHidden());
    EXPECT_EQ(ProgressBar()->maximum(), 1000);
    EXPECT_EQ(ProgressBar()->value(), s.permille);
    EXPECT_EQ(form->StatusText(), Loading);
  }

  Finish();
  EXPECT_TRUE(ProgressBar()->isHidden());
  EXPECT_EQ(form->StatusText(), Loaded);
  EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

TEST_F(LoadProgressTest, QuickLoadNeverShowsTheBar) {
  Begin();
  Progress(50, 100);
  EXPECT_TRUE(ProgressBar()->isHidden());
  Finish();
  EXPECT_TRUE(ProgressBar()->isHidden());
  EXPECT_EQ(form->StatusText(), Loaded);
}

TEST_F(LoadProgressTest, LoadWithoutProgressShowsABusyBarAfterTheDelay) {
  form->SetProgressDelay(std::chrono::milliseconds(0));
  // A FIFO without a writer: the load waits and measures nothing until it is stopped.
  const QString fifo = dir.filePath(QStringLiteral("fifo.csv"));
  if (!platform::FileTesting::MakeFifo(fifo.toStdString())) GTEST_SKIP() << "no FIFOs here";
  Open(fifo);
  ASSERT_TRUE(testing::WaitUntil([&] { return !ProgressBar()->isHidden(); }));
  EXPECT_EQ(ProgressBar()->maximum(), 0);
  form->Document().Cancel();
  Finish();
  EXPECT_TRUE(ProgressBar()->isHidden());
}

TEST_F(LoadProgressTest, ProgressOutsideALoadShowsNothing) {
  form->SetProgressDelay(std::chrono::milliseconds(0));
  Progress(50, 100);
  EXPECT_TRUE(ProgressBar()->isHidden());
  EXPECT_EQ(form->StatusText(), QString());
}

}  // namespace
}  // namespace norvalis
