#include <functional>
#include <memory>
#include <set>
#include <stdexcept>

#include <gtest/gtest.h>

#include <QCursor>
#include <QEvent>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMouseEvent>
#include <QRegularExpression>
#include <QToolButton>

#include "AppTestSupport.h"
#include "app/Application.h"
#include "app/CursorHourGlass.h"
#include "app/FormMain.h"
#include "app/HelpWindow.h"
#include "app/Images.h"

namespace norvalis {
namespace {

using testing::DialogCall;
using testing::FakeDialogs;

// An event handler that runs a given action, as a command does.
class Handler : public QObject {
 public:
  explicit Handler(std::function<void()> action) : action_(std::move(action)) {}
  bool event(QEvent* event) override {
    if (event->type() != QEvent::User) return QObject::event(event);
    ++handled;
    action_();
    return true;
  }
  int handled = 0;

 private:
  std::function<void()> action_;
};

TEST(ApplicationExceptions, EveryEscapingExceptionIsShownAndTheProgramGoesOn) {
  struct EscapeCase {
    const char* name;
    std::function<void()> raise;
    QString message;
  };
  const EscapeCase cases[] = {
      {"ProgramException", [] { throw Exception(u"変換できません"); },
       QStringLiteral("変換できません")},
      {"GridIndexError", [] { throw EInvalidGridOperation(); },
       QStringLiteral("グリッドインデックスが範囲を超えています")},
      {"StandardException", [] { throw std::runtime_error("boom"); }, QStringLiteral("boom")},
      {"MessageOfBadUtf8", [] { throw std::runtime_error("\xE0\x80\x80!"); },
       QString::fromUtf16(u"\uFFFD\uFFFD\uFFFD!")},
      {"AnythingElse", [] { throw 42; }, QString()},
  };
  for (const EscapeCase& c : cases) {
    SCOPED_TRACE(c.name);
    FakeDialogs dialogs;
    Handler handler(c.raise);
    QEvent event(QEvent::User);

    EXPECT_NO_THROW(QCoreApplication::sendEvent(&handler, &event));

    ASSERT_EQ(dialogs.calls.size(), 1u);
    EXPECT_EQ(dialogs.calls[0].kind, DialogCall::Kind::Critical);
    EXPECT_EQ(dialogs.calls[0].title, QStringLiteral("Norvalis"));
    EXPECT_EQ(dialogs.calls[0].text, c.message);
  }
}

TEST(ApplicationArguments, DecodedByTheFileDecodersRule) {
  char program[] = "norvalis";
  char overlong[] = "\xE0\x80\x80.csv";
  char option[] = "-f=\xE3\x81\x82.csv";
  char* argv[] = {program, overlong, option, nullptr};
  EXPECT_EQ(ProgramArguments(3, argv), (QStringList{QString::fromUtf16(u"\uFFFD\uFFFD\uFFFD.csv"),
                                                    QStringLiteral("-f=あ.csv")}));
}

TEST(ApplicationExceptions, PostedEventsAfterAnExceptionAreStillDelivered) {
  FakeDialogs dialogs;
  Handler failing([] { throw EInvalidGridOperation(); });
  Handler fine([] {});
  QCoreApplication::postEvent(&failing, new QEvent(QEvent::User));
  QCoreApplication::postEvent(&fine, new QEvent(QEvent::User));
  ASSERT_TRUE(testing::WaitUntil([&] { return fine.handled == 1; }));
  EXPECT_EQ(failing.handled, 1);
  EXPECT_EQ(dialogs.Of(DialogCall::Kind::Critical).size(), 1u);
}

TEST(ApplicationExceptions, GridIndexErrorOfACommandRestoresTheCursor) {
  FakeDialogs dialogs;
  TFormMain form;
  // A command that selects a column beyond the grid under the busy cursor.
  Handler command([&] {
    TCursorHourGlass cursor;
    Find<TGridCsv>(form, "Grid")->SetCol(Find<TGridCsv>(form, "Grid")->ColCount() + 5);
  });
  QEvent event(QEvent::User);

  QCoreApplication::sendEvent(&command, &event);

  const auto boxes = dialogs.Of(DialogCall::Kind::Critical);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, QStringLiteral("グリッドインデックスが範囲を超えています"));
  EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

TEST(ApplicationExceptions, ExceptionOfAClickedCommandReachesTheDisplay) {
  FakeDialogs dialogs;
  TFormMain form;
  form.show();
  dialogs.fileDialogThrows = [] { throw Exception(u"ダイアログの失敗"); };
  QToolButton* button = Find<QToolButton>(form, "SpeedButton1");
  const QPointF at = QRectF(button->rect()).center();
  QMouseEvent press(QEvent::MouseButtonPress, at, button->mapToGlobal(at), Qt::LeftButton,
                    Qt::LeftButton, Qt::NoModifier);
  QMouseEvent release(QEvent::MouseButtonRelease, at, button->mapToGlobal(at), Qt::LeftButton,
                      Qt::NoButton, Qt::NoModifier);

  QCoreApplication::sendEvent(button, &press);
  QCoreApplication::sendEvent(button, &release);

  const auto boxes = dialogs.Of(DialogCall::Kind::Critical);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, QStringLiteral("ダイアログの失敗"));
  EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
  // The window goes on working.
  form.OpenCsvFile(u"");
  EXPECT_TRUE(Find<QLineEdit>(form, "EditFilename")->text().isEmpty());
}

TEST(CursorHourGlass, NestedGuardsRestoreTheCursorTheyFound) {
  ASSERT_EQ(QGuiApplication::overrideCursor(), nullptr);
  {
    TCursorHourGlass outer;
    ASSERT_NE(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
    {
      TCursorHourGlass inner;
      EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
    }
    ASSERT_NE(QGuiApplication::overrideCursor(), nullptr) << "inner guard popped the outer one";
    EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
  }
  EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

TEST(CursorHourGlass, RestoresTheCursorSetBeforeIt) {
  QGuiApplication::setOverrideCursor(QCursor(Qt::CrossCursor));
  {
    TCursorHourGlass guard;
    EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
  }
  ASSERT_NE(QGuiApplication::overrideCursor(), nullptr);
  EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::CrossCursor);
  QGuiApplication::restoreOverrideCursor();
}

TEST(CursorHourGlass, ExceptionLeavesNoBusyCursor) {
  EXPECT_THROW(TCursorHourGlass guard; throw EInvalidGridOperation(), EInvalidGridOperation);
  EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

TEST(ApplicationTexts, ToolkitTextsAreJapanese) {
  auto* app = Application::Instance();
  ASSERT_NE(app, nullptr);
  ASSERT_TRUE(app->LoadJapaneseTranslations());
  struct Case {
    const char* context;
    const char* source;
  };
  const Case cases[] = {
      {"QPlatformTheme", "Cancel"},
      {"QFileDialog", "File &name:"},
      {"QLineEdit", "&Copy"},
      {"QAbstractFileIconProvider", "Folder"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.source);
    const QString translated = QCoreApplication::translate(c.context, c.source);
    EXPECT_NE(translated, QString::fromLatin1(c.source));
    EXPECT_TRUE(translated.contains(
        QRegularExpression(QStringLiteral("[\\x{3040}-\\x{30FF}\\x{4E00}-\\x{9FFF}]"))))
        << translated.toStdString();
  }
}

TEST(Help, MissingHelpFileIsSaidInJapanese) {
  auto* app = Application::Instance();
  ASSERT_NE(app, nullptr);
  TFormMain form;
  const QString missing = QStringLiteral("/nonexistent/help/index.html");
  app->SetHelpFile(missing);

  Find<QAction>(form, "ActionHelpHelp")->trigger();

  ASSERT_NE(app->Help(), nullptr);
  EXPECT_TRUE(app->Help()->isVisible());
  EXPECT_EQ(app->Help()->Text(), QStringLiteral("ヘルプファイルが見つかりません。\n") + missing);
  app->Help()->close();
}

TEST(Help, ExistingTableOfContentsIsShown) {
  QTemporaryDir dir;
  const QString page = testing::WriteFile(dir, QStringLiteral("index.html"),
                                          "<html><body><h1>目次</h1><p>使い方</p></body></html>");
  HelpWindow help;
  help.ShowTableOfContents(page);
  EXPECT_TRUE(help.Text().contains(QStringLiteral("目次")));
  EXPECT_FALSE(help.Text().contains(QStringLiteral("見つかりません")));
}

TEST(Help, WindowSetsTheHelpFileBesideTheExecutable) {
  auto* app = Application::Instance();
  ASSERT_NE(app, nullptr);
  app->SetHelpFile(QString());
  TFormMain form;
  EXPECT_EQ(app->HelpFile(), DefaultHelpFile());
  EXPECT_TRUE(app->HelpFile().startsWith(QCoreApplication::applicationDirPath()) ||
              app->HelpFile().contains(QStringLiteral("share/norvalis/help")));
}

TEST(StripMnemonic, RemovesTheMnemonicOnly) {
  const std::pair<const char*, const char*> cases[] = {
      {"開く(&O)", "開く"},
      {"名前をつけて保存(&A)", "名前をつけて保存"},
      {"チェック開始", "チェック開始"},
      {"&Open", "Open"},
      {"Save &As", "Save As"},
      {"A && B", "A & B"},
      {"(&X)", ""},
      {"", ""},
  };
  for (const auto& [caption, expected] : cases) {
    SCOPED_TRACE(caption);
    EXPECT_EQ(StripMnemonic(QString::fromUtf8(caption)), QString::fromUtf8(expected));
  }
}

TEST(FileDialogFilter, BecomesNameFiltersThatMatchAnyCase) {
  struct Case {
    const char* filter;
    QStringList expected;
  };
  const Case cases[] = {
      {"CSVファイル(*.CSV)|*.CSV|すべてのファイル(*.*)|*.*",
       {"CSVファイル(*.CSV *.csv)", "すべてのファイル(*)"}},
      {"Norvalisプロジェクトファイル(*.NVS)|*.NVS|すべてのファイル(*.*)|*.*",
       {"Norvalisプロジェクトファイル(*.NVS *.nvs)", "すべてのファイル(*)"}},
      {"Text|*.txt", {"Text (*.txt *.TXT)"}},
      {"Data(*.a;*.b)|*.a;*.b", {"Data(*.a *.A *.b *.B)"}},
      {"", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.filter);
    EXPECT_EQ(ToNameFilters(QString::fromUtf8(c.filter)), c.expected);
  }
}

bool FilterMatches(const QString& nameFilter, const QString& fileName) {
  const QString inside = nameFilter.section(QLatin1Char('('), -1).chopped(1);
  for (const QString& pattern : inside.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
    const auto re = QRegularExpression::fromWildcard(pattern, Qt::CaseSensitive);
    if (re.match(fileName).hasMatch()) return true;
  }
  return false;
}

TEST(FileDialogFilter, CsvPatternFindsFilesOfEitherCaseAndAllFilesFindsEverything) {
  const QStringList filters =
      ToNameFilters(QStringLiteral("CSVファイル(*.CSV)|*.CSV|すべてのファイル(*.*)|*.*"));
  ASSERT_EQ(filters.size(), 2);
  struct Case {
    const char* file;
    bool csv;
  };
  const Case cases[] = {
      {"data.csv", true}, {"DATA.CSV", true}, {"data.txt", false}, {"README", false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    EXPECT_EQ(FilterMatches(filters[0], QString::fromLatin1(c.file)), c.csv);
    EXPECT_TRUE(FilterMatches(filters[1], QString::fromLatin1(c.file)));
  }
}

TEST(FileDialog, ExecuteTakesTheAnswerOrKeepsTheNameWhenCancelled) {
  FakeDialogs dialogs;
  TFileDialog dialog(TFileDialog::Kind::Save, QStringLiteral("X|*.x"), QStringLiteral("X"), true);
  dialog.FileName = QStringLiteral("/tmp/before.x");
  dialogs.fileAnswers = {QStringLiteral("/tmp/after.x"), std::nullopt};

  EXPECT_TRUE(dialog.Execute(nullptr));
  EXPECT_EQ(dialog.FileName, QStringLiteral("/tmp/after.x"));
  EXPECT_FALSE(dialog.Execute(nullptr));
  EXPECT_EQ(dialog.FileName, QStringLiteral("/tmp/after.x"));
  ASSERT_EQ(dialogs.calls.size(), 2u);
  EXPECT_EQ(dialogs.calls[0].fileKind, TFileDialog::Kind::Save);
  EXPECT_TRUE(dialogs.calls[0].overwritePrompt);
}

TEST(Images, FiveDistinctSixteenPixelImages) {
  std::set<QByteArray> seen;
  for (int i = 0; i < ImageCount; ++i) {
    SCOPED_TRACE(i);
    const QImage image = PaintImage(static_cast<ImageIndex>(i));
    ASSERT_EQ(image.size(), QSize(16, 16));
    int opaque = 0;
    for (int y = 0; y < 16; ++y) {
      for (int x = 0; x < 16; ++x)
        opaque += qAlpha(image.pixel(x, y)) > 128 ? 1 : 0;
    }
    EXPECT_GT(opaque, 20) << "image is nearly empty";
    EXPECT_LT(opaque, 256) << "image has no transparent background";
    const QByteArray bits(reinterpret_cast<const char*>(image.constBits()),
                          static_cast<qsizetype>(image.sizeInBytes()));
    EXPECT_TRUE(seen.insert(bits).second) << "image equals an earlier one";
  }
}

}  // namespace
}  // namespace norvalis
