// The dialogs of the two tasks, driven as a user would: the rules dialog (add, change, a wrong
// rule said with its position, kept in the project through a save and an open), the character
// kinds (into the settings and the next run), and the findings' rows shown in the grid.

#include <vector>

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>

#include "WindowTestSupport.h"
#include "app/FindingsWindow.h"
#include "check/ColumnRule.h"

namespace norvalis::testing {
namespace {

class FindingsDialogsTest : public WindowTest {
 protected:
  template <typename T>
  static T* In(QDialog& dialog, const char* name) {
    return norvalis::Find<T>(dialog, name);
  }
  static QStringList ListTexts(QDialog& dialog) {
    QStringList texts;
    auto* list = In<QTreeWidget>(dialog, "ListRules");
    for (int i = 0; i < list->topLevelItemCount(); ++i)
      texts << list->topLevelItem(i)->text(0);
    return texts;
  }
  std::vector<UnicodeString>& Rules() { return form->Session().Project.Rules; }
  TFindingsWindow* Findings(const char* name) { return Find<TFindingsWindow>(*form, name); }
  // Runs the task in the task box's entry and waits for its answer.
  void RunTask(int entry) {
    Find<QComboBox>(*form, "ComboBoxTask")->setCurrentIndex(entry);
    Run("ActionCsvCheck");
  }
};

QString CoreError(const char16_t* rule) {
  return QString::fromStdU16String(RuleErrorText(ParseColumnRule(rule).error));
}

TEST_F(FindingsDialogsTest, RulesDialogAddsChangesRefusesWrongRulesAndKeepsThemThroughTheProject) {
  Start();
  const QString csv = Write("a.csv", "id,name\n1,東京都千代田区\n,大阪\n");
  OpenCsv(csv, true);
  Rules() = {u"A:required", u"B:bogus"};
  dialogs.questionAnswers = {false, true};
  bool ran = false;
  dialogs.onExec = [&](QDialog& dialog) {
    ran = true;
    ASSERT_EQ(ListTexts(dialog), (QStringList{"A:required", "B:bogus"}));
    EXPECT_TRUE(In<QTreeWidget>(dialog, "ListRules")
                    ->topLevelItem(1)
                    ->text(1)
                    .contains(QStringLiteral("正しくありません")));
    auto* text = In<QLineEdit>(dialog, "EditRuleText");
    auto* error = In<QLabel>(dialog, "LabelRuleError");
    // Each wrong rule is said as the core says it, and never reaches the list.
    for (const char16_t* wrong :
         {u"B:frobnicate", u"B:length=5..3", u"A:regex=([a-z]", u"ZZZZ:jis"}) {
      SCOPED_TRACE(QString::fromUtf16(wrong).toStdString());
      text->setText(QString::fromUtf16(wrong));
      In<QPushButton>(dialog, "ButtonAddRule")->click();
      EXPECT_EQ(error->text(), CoreError(wrong));
      EXPECT_TRUE(error->text().contains(QStringLiteral("文字目")));
      EXPECT_EQ(ListTexts(dialog).size(), 2);
    }
    // The boxes make the text: column B, length, a range.
    In<QComboBox>(dialog, "ComboBoxRuleColumn")->setCurrentIndex(1);
    In<QComboBox>(dialog, "ComboBoxRuleKind")->setCurrentIndex(1);
    In<QLineEdit>(dialog, "EditRuleArgument")->setText(QStringLiteral("..3"));
    EXPECT_EQ(text->text(), QStringLiteral("B:length=..3"));
    EXPECT_TRUE(error->text().isEmpty());
    // Enter in the rule's text adds it and leaves the dialog open.
    text->setFocus();
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(text, &enter);
    EXPECT_TRUE(dialog.isVisible());
    // Choosing a rule shows it in the boxes; another kind changes it.
    auto* list = In<QTreeWidget>(dialog, "ListRules");
    list->setCurrentItem(list->topLevelItem(0));
    EXPECT_EQ(In<QComboBox>(dialog, "ComboBoxRuleKind")->currentIndex(), 0);
    EXPECT_FALSE(In<QLineEdit>(dialog, "EditRuleArgument")->isEnabled());
    In<QComboBox>(dialog, "ComboBoxRuleKind")->setCurrentIndex(7);
    EXPECT_EQ(text->text(), QStringLiteral("A:unique"));
    In<QPushButton>(dialog, "ButtonChangeRule")->click();
    // OK asks about the wrong rule that is left: No stays in the dialog, Yes keeps it.
    In<QPushButton>(dialog, "ButtonRulesOk")->click();
    EXPECT_TRUE(dialog.isVisible());
    In<QPushButton>(dialog, "ButtonRulesOk")->click();
    EXPECT_FALSE(dialog.isVisible());
  };
  Run("ActionCsvRules");
  ASSERT_TRUE(ran);
  const std::vector<UnicodeString> expected = {u"A:unique", u"B:bogus", u"B:length=..3"};
  EXPECT_EQ(Rules(), expected);
  ASSERT_EQ(dialogs.Of(DialogCall::Kind::Question).size(), 2u);
  EXPECT_TRUE(Texts(DialogCall::Kind::Question)[0].contains(CoreError(u"B:bogus")));
  EXPECT_EQ(form->StatusText(), QStringLiteral("列の規則を設定しました（3 件）。"));

  // Saved, opened (saying which rule is ignored), saved again: nothing is lost.
  const QString project = dir.filePath(QStringLiteral("p.NVS"));
  dialogs.fileAnswers = {project};
  Run("ActionFileSaveAs");
  form->OpenProject(project.toStdU16String());
  ASSERT_TRUE(WaitIdle());
  EXPECT_TRUE(Warnings().contains(
      QString::fromStdU16String(IgnoredRuleText(ParseColumnRule(u"B:bogus").error))));
  Run("ActionFileSave");
  TProject loaded;
  loaded.LoadFromFile(project.toStdU16String());
  EXPECT_EQ(loaded.Rules, expected);
  RunTask(1);
  EXPECT_EQ(form->StatusText(), QStringLiteral("1 件の値が規則に合いません。"));
}

TEST_F(FindingsDialogsTest, NoRulesOffersTheDialogAndRunsOnceThereAreRules) {
  Start();
  OpenCsv(Write("a.csv", "a,b\nx,\n"));
  dialogs.questionAnswers = {true};
  dialogs.onExec = [](QDialog& dialog) {
    In<QLineEdit>(dialog, "EditRuleText")->setText(QStringLiteral("B:required"));
    In<QPushButton>(dialog, "ButtonAddRule")->click();
    dialog.accept();
  };
  RunTask(1);
  ASSERT_EQ(dialogs.Of(DialogCall::Kind::Question).size(), 1u);
  EXPECT_TRUE(
      Texts(DialogCall::Kind::Question)[0].startsWith(QStringLiteral("列の規則がありません。")));
  ASSERT_TRUE(WaitIdle());
  ASSERT_NE(Findings("RuleFindingsWindow"), nullptr);
  EXPECT_EQ(form->StatusText(), QStringLiteral("1 件の値が規則に合いません。"));
}

TEST_F(FindingsDialogsTest, AKindTurnedOffLeavesTheRunAndIsKeptInTheSettings) {
  Start();
  OpenCsv(Write("c.csv", "h\n①\n y\nok\n"));
  // A kind of a later version stays off, as that version wrote it.
  form->Session().Config.CharacterKindsOff = u"later-kind";
  RunTask(2);
  EXPECT_EQ(form->StatusText(), QStringLiteral("2 件の文字の問題が見つかりました。"));
  const auto untick = [](QDialog& dialog) {
    In<QCheckBox>(dialog, "CheckBoxKindSpaces")->setChecked(false);
  };
  dialogs.onExec = untick;  // cancelled: nothing changes
  Run("ActionCsvCharacterKinds");
  EXPECT_EQ(form->Session().Config.CharacterKindsOff, u"later-kind");
  dialogs.onExec = [&](QDialog& dialog) {
    EXPECT_TRUE(In<QCheckBox>(dialog, "CheckBoxKindSpaces")->isChecked());
    untick(dialog);
    dialog.accept();
  };
  Run("ActionCsvCharacterKinds");
  EXPECT_EQ(form->Session().Config.CharacterKindsOff, u"later-kind,spaces");
  TConfig saved;
  saved.Load(GetSettingsFilePath());
  EXPECT_EQ(saved.CharacterKindsOff, u"later-kind,spaces");
  RunTask(2);
  EXPECT_EQ(form->StatusText(), QStringLiteral("1 件の文字の問題が見つかりました。"));
  auto* counts = Find<QTreeWidget>(*Findings("CharacterFindingsWindow"), "ListCounts");
  EXPECT_EQ(counts->topLevelItem(4)->text(1), QStringLiteral("（調べていません）"));
}

TEST_F(FindingsDialogsTest, TheRowsButtonShowsExactlyTheRowsWithFindings) {
  Start();
  OpenCsv(Write("r.csv", "a,b\n1,x\n,\n3,x\n4,\n5,x\n"), true);
  // Row 3 breaks both rules: shown once.
  Rules() = {u"A:required", u"B:required"};
  RunTask(1);
  TFindingsWindow* window = Findings("RuleFindingsWindow");
  ASSERT_NE(window, nullptr);
  auto* button = Find<QPushButton>(*window, "ButtonShowFindingRows");
  ASSERT_TRUE(button->isEnabled());
  button->click();
  ASSERT_NE(Grid()->ShownTableRows(), nullptr);
  EXPECT_EQ(*Grid()->ShownTableRows(), (std::vector<std::uint32_t>{2, 4}));
  EXPECT_EQ(Grid()->ShownRowsDescription(), QStringLiteral("規則に合わない値のある行: 2 行"));
  EXPECT_EQ(form->StatusText(), QStringLiteral("2 行を表示中（全 5 行）"));
  // Another table: the button has no rows to show.
  OpenCsv(Write("s.csv", "a\n"));
  EXPECT_FALSE(button->isEnabled());
}

}  // namespace
}  // namespace norvalis::testing
