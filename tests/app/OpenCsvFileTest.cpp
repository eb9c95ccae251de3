#include <memory>
#include <utility>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QCursor>
#include <QGuiApplication>
#include <QLineEdit>
#include <QProgressBar>
#include <QToolButton>

#include "AppTestSupport.h"
#include "app/FormMain.h"

namespace norvalis {
namespace {

using testing::DialogCall;
using testing::FakeDialogs;
using testing::WriteFile;

const QString Loading = QStringLiteral("CSVファイルを読み込んでいます。");
const QString Loaded = QStringLiteral("CSVファイルを読み込みました。");
const QString NotFound = QStringLiteral("CSVファイルが見つかりません。");

// Three lines of four columns, UTF-8.
const std::string ThreeByFour =
    "名前,年齢,都市,メモ\n"
    "山田,30,東京,a\n"
    "佐藤,41,大阪,b\n";

class OpenCsvFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir.isValid());
    form = std::make_unique<TFormMain>();
    form->show();
  }
  void TearDown() override { EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr); }

  QString Write(const QString& name, const std::string& bytes) {
    return WriteFile(dir, name, bytes);
  }
  void Open(const QString& path) { form->OpenCsvFile(path.toStdU16String()); }
  void ExpectEmptyLayout() {
    EXPECT_EQ(form->Grid->Csv.GetRowCount(), 0u);
    EXPECT_EQ(form->Grid->ColCount(), 2);
    EXPECT_EQ(form->Grid->RowCount(), form->Grid->FixedRows() + 1);
    EXPECT_EQ(form->Grid->CellText(1, 0), u"A");
    EXPECT_EQ(form->Grid->CellText(1, 1), u"");
  }

  FakeDialogs dialogs;
  QTemporaryDir dir;
  std::unique_ptr<TFormMain> form;
};

TEST_F(OpenCsvFileTest, ExistingFileIsLoadedAndReported) {
  const QString path = Write(QStringLiteral("data.csv"), ThreeByFour);
  QString statusWhileLoading;
  const QCursor* cursorWhileLoading = nullptr;
  Qt::CursorShape shapeWhileLoading = Qt::ArrowCursor;
  QObject::connect(form->Grid, &TGridCsv::loadStarted, [&] {
    statusWhileLoading = form->StatusText();
    cursorWhileLoading = QGuiApplication::overrideCursor();
    if (cursorWhileLoading != nullptr) shapeWhileLoading = cursorWhileLoading->shape();
  });

  Open(path);
  ASSERT_TRUE(testing::WaitUntil([&] { return !form->Grid->IsLoading(); }));

  EXPECT_EQ(statusWhileLoading, Loading);
  ASSERT_NE(cursorWhileLoading, nullptr);
  EXPECT_EQ(shapeWhileLoading, Qt::WaitCursor);
  EXPECT_EQ(form->StatusText(), Loaded);
  EXPECT_EQ(form->EditFilename->text(), path);
  EXPECT_EQ(form->Grid->Csv.GetRowCount(), 3u);
  EXPECT_EQ(form->Grid->CellText(3, 2), u"東京");
  EXPECT_TRUE(form->ProgressBar1->isHidden());
  EXPECT_TRUE(dialogs.calls.empty());
}

struct LayoutCase {
  const char* name;
  std::string content;
  bool title;
  int colCount;
  std::int64_t rowCount;
  int fixedRows;
  std::vector<std::u16string> labels;
  // Texts of grid column 0 from grid row 1 down.
  std::vector<std::u16string> numbers;
  // Texts of grid column 1 from grid row 1 down.
  std::vector<std::u16string> firstColumn;
};

const LayoutCase Layouts[] = {
    {"ThreeRowsWithoutTitle",
     ThreeByFour,
     false,
     5,
     4,
     1,
     {u"A", u"B", u"C", u"D"},
     {u"1", u"2", u"3"},
     {u"名前", u"山田", u"佐藤"}},
    {"ThreeRowsWithTitle",
     ThreeByFour,
     true,
     5,
     4,
     2,
     {u"A", u"B", u"C", u"D"},
     {u"", u"1", u"2"},
     {u"名前", u"山田", u"佐藤"}},
    {"OneLineWithTitle", "a,b\n", true, 3, 3, 2, {u"A", u"B"}, {u"", u""}, {u"a", u""}},
    {"OneLineWithoutTitle", "a,b\n", false, 3, 2, 1, {u"A", u"B"}, {u"1"}, {u"a"}},
    {"EmptyFileWithoutTitle", "", false, 2, 2, 1, {u"A"}, {u""}, {u""}},
    {"EmptyFileWithTitle", "", true, 2, 3, 2, {u"A"}, {u"", u""}, {u"", u""}},
};

TEST_F(OpenCsvFileTest, GridLayoutFollowsTableAndTitleBox) {
  for (const LayoutCase& c : Layouts) {
    SCOPED_TRACE(c.name);
    form->CheckBoxFirstLineIsTitle->setChecked(c.title);
    form->CheckBoxFirstLineIsTitleClick();
    Open(Write(QString::fromLatin1(c.name) + QStringLiteral(".csv"), c.content));
    ASSERT_TRUE(testing::WaitUntil([&] { return !form->Grid->IsLoading(); }));

    EXPECT_EQ(form->StatusText(), Loaded);
    EXPECT_EQ(form->Grid->ColCount(), c.colCount);
    EXPECT_EQ(form->Grid->RowCount(), c.rowCount);
    EXPECT_EQ(form->Grid->FixedRows(), c.fixedRows);
    EXPECT_EQ(form->Grid->FixedCols(), 1);
    for (std::size_t i = 0; i < c.labels.size(); ++i) {
      EXPECT_EQ(form->Grid->CellText(static_cast<int>(i) + 1, 0), c.labels[i]) << "label " << i;
    }
    for (std::size_t i = 0; i < c.numbers.size(); ++i) {
      const auto row = static_cast<std::int64_t>(i) + 1;
      EXPECT_EQ(form->Grid->CellText(0, row), c.numbers[i]) << "number in row " << row;
      EXPECT_EQ(form->Grid->CellText(1, row), c.firstColumn[i]) << "cell in row " << row;
    }
  }
}

TEST_F(OpenCsvFileTest, TitleBoxSwitchesTheFixedTitleRow) {
  Open(Write(QStringLiteral("t.csv"), ThreeByFour));
  ASSERT_TRUE(testing::WaitUntil([&] { return !form->Grid->IsLoading(); }));
  const QString status = form->StatusText();

  form->CheckBoxFirstLineIsTitle->click();  // as the user does
  EXPECT_TRUE(form->Grid->FirstLineIsTitle());
  EXPECT_EQ(form->Grid->FixedRows(), 2);
  EXPECT_EQ(form->Grid->CellText(0, 1), u"");
  EXPECT_EQ(form->Grid->CellText(0, 2), u"1");
  EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);

  form->CheckBoxFirstLineIsTitle->click();
  EXPECT_FALSE(form->Grid->FirstLineIsTitle());
  EXPECT_EQ(form->Grid->FixedRows(), 1);
  EXPECT_EQ(form->Grid->CellText(0, 1), u"1");
  // Switching keeps the columns and says nothing.
  EXPECT_EQ(form->Grid->ColCount(), 5);
  EXPECT_EQ(form->StatusText(), status);
}

TEST_F(OpenCsvFileTest, TitleFlagSurvivesLoads) {
  form->CheckBoxFirstLineIsTitle->click();
  Open(Write(QStringLiteral("a.csv"), ThreeByFour));
  ASSERT_TRUE(testing::WaitUntil([&] { return !form->Grid->IsLoading(); }));
  EXPECT_EQ(form->Grid->FixedRows(), 2);
  EXPECT_EQ(form->Grid->CellText(1, 1), u"名前");
}

TEST_F(OpenCsvFileTest, LoadsAndTitleSwitchesMakeTheFirstDataColumnCurrent) {
  const QString path = Write(QStringLiteral("c.csv"), ThreeByFour);
  Open(path);
  ASSERT_TRUE(testing::WaitUntil([&] { return !form->Grid->IsLoading(); }));
  EXPECT_EQ(form->Grid->Col(), 1);

  form->Grid->SetCol(4);
  Open(path);
  ASSERT_TRUE(testing::WaitUntil([&] { return !form->Grid->IsLoading(); }));
  EXPECT_EQ(form->Grid->Col(), 1) << "after a load";

  form->Grid->SetCol(3);
  form->CheckBoxFirstLineIsTitle->click();
  EXPECT_EQ(form->Grid->Col(), 1) << "after switching the title on";

  form->Grid->SetCol(3);
  form->CheckBoxFirstLineIsTitle->click();
  EXPECT_EQ(form->Grid->Col(), 1) << "after switching the title off";

  form->Grid->SetCol(3);
  Open(QString());
  EXPECT_EQ(form->Grid->Col(), 1) << "after clearing";
}

TEST_F(OpenCsvFileTest, MissingFileIsReportedAfterClearingTheGrid) {
  Open(Write(QStringLiteral("first.csv"), ThreeByFour));
  ASSERT_TRUE(testing::WaitUntil([&] { return !form->Grid->IsLoading(); }));
  const QString missing = dir.filePath(QStringLiteral("ない.csv"));
  QString statusWhileBoxShown;
  std::uint32_t rowsWhileBoxShown = 99;
  dialogs.onShow = [&](const DialogCall&) {
    statusWhileBoxShown = form->StatusText();
    rowsWhileBoxShown = form->Grid->Csv.GetRowCount();
  };

  Open(missing);

  const auto warnings = dialogs.Of(DialogCall::Kind::Warning);
  ASSERT_EQ(warnings.size(), 1u);
  EXPECT_EQ(warnings[0].title, QStringLiteral("警告"));
  EXPECT_EQ(warnings[0].text, NotFound + QStringLiteral("\n") + missing);
  // The status text changes only once the box is closed; the grid was cleared before.
  EXPECT_EQ(statusWhileBoxShown, Loaded);
  EXPECT_EQ(rowsWhileBoxShown, 0u);
  EXPECT_EQ(form->StatusText(), NotFound + missing);
  EXPECT_EQ(form->EditFilename->text(), missing);
  ExpectEmptyLayout();
}

TEST_F(OpenCsvFileTest, FolderNameCountsAsMissingFile) {
  Open(dir.path());
  ASSERT_EQ(dialogs.Of(DialogCall::Kind::Warning).size(), 1u);
  EXPECT_EQ(form->StatusText(), NotFound + dir.path());
  ExpectEmptyLayout();
}

TEST_F(OpenCsvFileTest, EmptyNameClearsSilently) {
  Open(Write(QStringLiteral("x.csv"), ThreeByFour));
  ASSERT_TRUE(testing::WaitUntil([&] { return !form->Grid->IsLoading(); }));
  ASSERT_EQ(form->Grid->Csv.GetRowCount(), 3u);

  Open(QString());

  EXPECT_TRUE(form->EditFilename->text().isEmpty());
  EXPECT_TRUE(dialogs.calls.empty());
  EXPECT_EQ(form->StatusText(), Loaded);
  ExpectEmptyLayout();
}

TEST_F(OpenCsvFileTest, EmptyFileLoadsAsEmptyGrid) {
  Open(Write(QStringLiteral("empty.csv"), ""));
  ASSERT_TRUE(testing::WaitUntil([&] { return !form->Grid->IsLoading(); }));
  EXPECT_EQ(form->StatusText(), Loaded);
  EXPECT_TRUE(dialogs.calls.empty());
  ExpectEmptyLayout();
}

TEST_F(OpenCsvFileTest, EditedNameLoadsNothing) {
  form->EditFilename->setText(Write(QStringLiteral("typed.csv"), ThreeByFour));
  QCoreApplication::processEvents();
  EXPECT_EQ(form->Grid->Csv.GetRowCount(), 0u);
  EXPECT_EQ(form->StatusText(), QString());
}

TEST_F(OpenCsvFileTest, BrowseOpensTheChosenFile) {
  const QString path = Write(QStringLiteral("browse.csv"), ThreeByFour);
  dialogs.fileAnswers.push_back(path);

  form->SpeedButton1->click();
  ASSERT_TRUE(testing::WaitUntil([&] { return !form->Grid->IsLoading(); }));

  const auto files = dialogs.Of(DialogCall::Kind::File);
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(files[0].fileKind, TFileDialog::Kind::Open);
  EXPECT_EQ(files[0].filter, QStringLiteral("CSVファイル(*.CSV)|*.CSV|すべてのファイル(*.*)|*.*"));
  EXPECT_EQ(files[0].defaultExt, QStringLiteral("CSV"));
  EXPECT_EQ(form->OpenDialogCsv.FileName, path);
  EXPECT_EQ(form->EditFilename->text(), path);
  EXPECT_EQ(form->StatusText(), Loaded);
  EXPECT_EQ(form->Grid->Csv.GetRowCount(), 3u);
}

TEST_F(OpenCsvFileTest, CancelledBrowseChangesNothing) {
  const QString path = Write(QStringLiteral("kept.csv"), ThreeByFour);
  Open(path);
  ASSERT_TRUE(testing::WaitUntil([&] { return !form->Grid->IsLoading(); }));
  form->SetStatusText(QStringLiteral("前の状態"));
  dialogs.fileAnswers.push_back(std::nullopt);

  form->ActionCsvReffer->trigger();

  EXPECT_EQ(dialogs.Of(DialogCall::Kind::File).size(), 1u);
  EXPECT_EQ(form->EditFilename->text(), path);
  EXPECT_EQ(form->StatusText(), QStringLiteral("前の状態"));
  EXPECT_EQ(form->Grid->Csv.GetRowCount(), 3u);
}

TEST_F(OpenCsvFileTest, LargeFileLoadsWithTheBarHiddenAfterwards) {
  std::string big;
  for (int i = 0; i < 100000; ++i)
    big += "\"値" + std::to_string(i) + "\",b,c\n";
  Open(Write(QStringLiteral("big.csv"), big));
  ASSERT_TRUE(testing::WaitUntil([&] { return !form->Grid->IsLoading(); }));

  EXPECT_TRUE(form->ProgressBar1->isHidden());
  EXPECT_EQ(form->StatusText(), Loaded);
  EXPECT_EQ(form->Grid->Csv.GetRowCount(), 100000u);
  EXPECT_EQ(form->Grid->CellText(1, 100000), u"値99999");
}

TEST_F(OpenCsvFileTest, OpenDuringALoadEndsWithTheLaterFile) {
  const QString first = Write(QStringLiteral("first.csv"), ThreeByFour);
  const QString second = Write(QStringLiteral("second.csv"), "x\ny\n");
  bool nested = false;
  QObject::connect(form->Grid, &TGridCsv::loadStarted, [&] {
    if (std::exchange(nested, true)) return;
    Open(second);
  });

  Open(first);
  ASSERT_TRUE(testing::WaitUntil([&] { return !form->Grid->IsLoading(); }));

  EXPECT_EQ(form->EditFilename->text(), second);
  EXPECT_EQ(form->StatusText(), Loaded);
  EXPECT_EQ(form->Grid->Csv.GetRowCount(), 2u);
  EXPECT_EQ(form->Grid->CellText(1, 1), u"x");
  EXPECT_TRUE(form->ProgressBar1->isHidden());
}

TEST_F(OpenCsvFileTest, MissingFileDuringALoadKeepsItsReport) {
  const QString first = Write(QStringLiteral("first.csv"), ThreeByFour);
  const QString missing = dir.filePath(QStringLiteral("missing.csv"));
  bool nested = false;
  QObject::connect(form->Grid, &TGridCsv::loadStarted, [&] {
    if (std::exchange(nested, true)) return;
    Open(missing);
  });

  Open(first);
  ASSERT_TRUE(testing::WaitUntil([&] { return !form->Grid->IsLoading(); }));

  EXPECT_EQ(form->EditFilename->text(), missing);
  EXPECT_EQ(form->StatusText(), NotFound + missing) << "the first open's end overwrote it";
  EXPECT_EQ(dialogs.Of(DialogCall::Kind::Warning).size(), 1u);
  ExpectEmptyLayout();
}

// Drives the window through the grid's load signals, as a slow load would.
class LoadProgressTest : public OpenCsvFileTest {
 protected:
  void Start() { emit form->Grid->loadStarted(); }
  void Progress(qint64 done, qint64 total) { emit form->Grid->loadProgress(done, total); }
  void Finish() { emit form->Grid->loadFinished(); }
};

TEST_F(LoadProgressTest, SlowLoadShowsItsProgressUntilItEnds) {
  form->ProgressDelay = std::chrono::milliseconds(0);
  Start();
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
    EXPECT_FALSE(form->ProgressBar1->isHidden());
    EXPECT_EQ(form->ProgressBar1->maximum(), 1000);
    EXPECT_EQ(form->ProgressBar1->value(), s.permille);
    EXPECT_EQ(form->StatusText(), Loading);
  }

  Finish();
  EXPECT_TRUE(form->ProgressBar1->isHidden());
  EXPECT_EQ(form->StatusText(), Loaded);
  EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

TEST_F(LoadProgressTest, QuickLoadNeverShowsTheBar) {
  Start();
  Progress(50, 100);
  EXPECT_TRUE(form->ProgressBar1->isHidden());
  Finish();
  EXPECT_TRUE(form->ProgressBar1->isHidden());
  EXPECT_EQ(form->StatusText(), Loaded);
}

TEST_F(LoadProgressTest, LoadWithoutProgressShowsABusyBarAfterTheDelay) {
  form->ProgressDelay = std::chrono::milliseconds(0);
  Start();
  ASSERT_TRUE(testing::WaitUntil([&] { return !form->ProgressBar1->isHidden(); }));
  EXPECT_EQ(form->ProgressBar1->maximum(), 0);
  Finish();
  EXPECT_TRUE(form->ProgressBar1->isHidden());
}

TEST_F(LoadProgressTest, ProgressOutsideALoadShowsNothing) {
  form->ProgressDelay = std::chrono::milliseconds(0);
  Progress(50, 100);
  EXPECT_TRUE(form->ProgressBar1->isHidden());
  EXPECT_EQ(form->StatusText(), QString());
}

}  // namespace
}  // namespace norvalis
