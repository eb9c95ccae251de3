#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QProcess>
#include <QTableView>

#include "WindowTestSupport.h"
#include "app/FindingsWindow.h"

namespace norvalis::testing {
namespace {

class FindingsTest : public WindowTest {};

// The findings' row, column, rule and value, as norvalis-check prints them.
QString CliFields(const QString& copy, const std::vector<int>& fields) {
  QStringList lines = copy.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
  lines.removeFirst();  // the heading
  QString out;
  for (const QString& line : lines) {
    const QStringList cells = line.split(QLatin1Char('\t'));
    QStringList picked;
    for (const int f : fields)
      picked << cells.value(f);
    out += picked.join(QLatin1Char('\t')) + QLatin1Char('\n');
  }
  return out;
}

QString RunCli(const QStringList& arguments) {
  QProcess cli;
  cli.start(QStringLiteral(NORVALIS_CHECK_EXE), arguments);
  cli.waitForFinished(20000);
  return QString::fromUtf8(cli.readAllStandardOutput());
}

TEST_F(FindingsTest, RulesTaskListsEveryFindingGoesToItsCellAndCopiesAsTheCliPrints) {
  Start();
  const QString csv = Write("a.csv", "id,name\n1,東京\n,大阪 \n1,ｶﾞ\n");
  OpenCsv(csv, true);
  form->Session().Project.Rules = {u"A:required", u"A:unique", u"B:length=..1", u"B:bogus"};
  Find<QComboBox>(*form, "ComboBoxTask")->setCurrentIndex(1);
  Run("ActionCsvCheck");
  auto* window = Find<TFindingsWindow>(*form, "RuleFindingsWindow");
  ASSERT_NE(window, nullptr);
  EXPECT_TRUE(window->isVisible());
  EXPECT_FALSE(window->isModal());
  EXPECT_EQ(form->StatusText(), QStringLiteral("5 件の値が規則に合いません。"));
  auto* list = Find<QTableView>(*window, "ListFindings");
  ASSERT_EQ(list->model()->rowCount(), 5);
  emit list->activated(list->model()->index(1, 0));
  EXPECT_EQ(Grid()->CurrentTableCell(), (TableCell{2, 0}));

  const QString expected =
      RunCli({csv, QStringLiteral("--title"), QStringLiteral("--rule"),
              QStringLiteral("A:required"), QStringLiteral("--rule"), QStringLiteral("A:unique"),
              QStringLiteral("--rule"), QStringLiteral("B:length=..1")});
  EXPECT_FALSE(expected.isEmpty());
  EXPECT_EQ(CliFields(window->CopyAllText(), {0, 1, 3, 5}), expected);
}

TEST_F(FindingsTest, CharacterTaskAndNoFindings) {
  Start();
  const QString csv = Write("c.csv", "a,b\n①,x\n y,\x01z\nok,ok\n");
  OpenCsv(csv);
  Find<QComboBox>(*form, "ComboBoxTask")->setCurrentIndex(2);
  Run("ActionCsvCheck");
  auto* window = Find<TFindingsWindow>(*form, "CharacterFindingsWindow");
  ASSERT_NE(window, nullptr);
  const QString cli = RunCli({csv, QStringLiteral("--characters")});
  // The CLI names kinds in English; the window in Japanese: compare row, column, chars, value.
  QString cliPicked;
  for (const QString& line : cli.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
    const QStringList f = line.split(QLatin1Char('\t'));
    cliPicked += QStringList{f[0], f[1], f[3], f[4]}.join(QLatin1Char('\t')) + QLatin1Char('\n');
  }
  EXPECT_EQ(CliFields(window->CopyAllText(), {0, 1, 4, 6}), cliPicked);
  // The reader drops a control byte before it reaches a cell (the grid shows "z"), so the
  // findings are the ① and the leading space only.
  EXPECT_EQ(cli.count(QLatin1Char('\n')), 2);

  OpenCsv(Write("clean.csv", "a\nb\n"));
  Run("ActionCsvCheck");
  EXPECT_EQ(form->StatusText(), QStringLiteral("文字の問題は見つかりませんでした。"));
}

}  // namespace
}  // namespace norvalis::testing
