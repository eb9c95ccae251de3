// The tasks beside the column check: the project's column rules and the character check, each
// over every data row on the document's worker, and their result windows; the marks of blanks
// and control characters in the grid.

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>

#include "app/Application.h"
#include "app/FindingsWindow.h"
#include "app/FormMain.h"
#include "check/CharacterCheck.h"
#include "check/ColumnRule.h"
#include "check/RuleCheck.h"
#include "grid/Document.h"
#include "grid/GridCsv.h"
#include "persistence/StringList.h"

namespace norvalis {

namespace {

const QString NoRulesText =
    QStringLiteral("列の規則がありません。「列の規則...」で規則を設定してください。");
const QString NoKindsText =
    QStringLiteral("調べる文字の問題の種類がありません。「文字の問題の種類...」で選んでください。");
const QString NoRowsText = QStringLiteral("検証する行がありません。");

QString IgnoredRulesText(const std::vector<RuleError>& ignored) {
  QStringList lines;
  for (const RuleError& error : ignored)
    lines << QString::fromStdU16String(IgnoredRuleText(error));
  return lines.join(QLatin1Char('\n'));
}

}  // namespace

void TFormMain::CreateFindingsActions() {
  ActionViewSpecialCharacters =
      MakeAction(this, "ActionViewSpecialCharacters", QStringLiteral("編集"),
                 QStringLiteral("空白と制御文字を表示"), QKeySequence(), -1);
  ActionViewSpecialCharacters->setCheckable(true);
  MenuEdit->addAction(ActionViewSpecialCharacters);
  connect(ActionViewSpecialCharacters, &QAction::toggled, this, [this](bool show) {
    grid_->SetShowSpecialCharacters(show);
    session_.Config.ShowSpecialCharacters = show;
  });
}

unsigned TFormMain::CharacterKinds() const {
  TStringList off;
  off.SetCommaText(session_.Config.CharacterKindsOff);
  unsigned kinds = AllCharacterKinds;
  for (int i = 0; i < off.Count(); ++i) {
    // A name this program does not know (a later one's) turns nothing off.
    if (const auto kind = CharacterKindFromName(ToUtf8(off[i])))
      kinds &= ~(1u << static_cast<unsigned>(*kind));
  }
  return kinds;
}

void TFormMain::ActionCsvCheckRulesExecute() {
  if (AfterLoad([this] { ActionCsvCheckRulesExecute(); })) return;
  const std::shared_ptr<const CsvTable> table = Table();
  if (!FileInStep(table, true)) return;
  RuleList list = ParseRuleList(session_.Project.Rules);
  if (list.rules.empty()) {
    const QString ignored = IgnoredRulesText(list.ignored);
    Dialogs::Current().Warning(this,
                               ignored.isEmpty() ? NoRulesText : NoRulesText + u'\n' + ignored);
    SetStatusText(NoRulesText);
    return;
  }
  auto findings = std::make_shared<Findings>();
  findings->kind = Findings::Kind::Rules;
  findings->table = table;
  findings->firstLineIsTitle = ui_.CheckBoxFirstLineIsTitle->isChecked();
  findings->rules = std::move(list.rules);
  findings->ignored = std::move(list.ignored);
  const TDocument::Request request =
      document_->StartRules(findings->firstLineIsTitle, findings->rules);
  Await(request, [this, findings](const TDocument::Result& answer) {
    if (std::holds_alternative<TDocument::Cancelled>(answer)) {
      SetStatusText(CheckCancelledText);
      return;
    }
    // A file changed under the run gives no result: what was checked is a mixture.
    if (!FileInStep(findings->table, true)) return;
    findings->ruleResult = std::get<TDocument::RuleAnswer>(answer);
    if (findings->ruleResult->outcome == RuleCheckResult::Outcome::NoRows) {
      Dialogs::Current().Warning(this, NoRowsText);
      SetStatusText(NoRowsText);
      return;
    }
    ShowFindings(findings, QString::fromStdU16String(RuleStatusText(*findings->ruleResult)));
  });
}

void TFormMain::ActionCsvCheckCharactersExecute() {
  if (AfterLoad([this] { ActionCsvCheckCharactersExecute(); })) return;
  const std::shared_ptr<const CsvTable> table = Table();
  if (!FileInStep(table, true)) return;
  auto findings = std::make_shared<Findings>();
  findings->kind = Findings::Kind::Characters;
  findings->table = table;
  findings->firstLineIsTitle = ui_.CheckBoxFirstLineIsTitle->isChecked();
  findings->kinds = CharacterKinds();
  if (findings->kinds == 0) {
    Dialogs::Current().Warning(this, NoKindsText);
    SetStatusText(NoKindsText);
    return;
  }
  const TDocument::Request request =
      document_->StartCharacters(findings->firstLineIsTitle, findings->kinds);
  Await(request, [this, findings](const TDocument::Result& answer) {
    if (std::holds_alternative<TDocument::Cancelled>(answer)) {
      SetStatusText(CheckCancelledText);
      return;
    }
    if (!FileInStep(findings->table, true)) return;
    findings->characterResult = std::get<TDocument::CharacterAnswer>(answer);
    if (findings->characterResult->outcome == CharacterCheckResult::Outcome::NoRows) {
      Dialogs::Current().Warning(this, NoRowsText);
      SetStatusText(NoRowsText);
      return;
    }
    ShowFindings(findings,
                 QString::fromStdU16String(CharacterStatusText(*findings->characterResult)));
  });
}

void TFormMain::ShowFindings(const std::shared_ptr<const Findings>& findings,
                             const QString& status) {
  const bool rules = findings->kind == Findings::Kind::Rules;
  TFindingsWindow*& window = rules ? RuleFindingsWindow : CharacterFindingsWindow;
  if (window == nullptr) {
    window = new TFindingsWindow(findings->kind, this);
    connect(window, &TFindingsWindow::cellRequested, this,
            [this](std::int64_t row, std::int64_t column) {
              RunCommand([&] { GoToTableCell(row, column); });
            });
  }
  window->SetFindings(findings, ui_.EditFilename->text(), status);
  window->show();
  window->raise();
  SetStatusText(status);
}

void TFormMain::FindingsTableReplaced() {
  for (TFindingsWindow* window : {RuleFindingsWindow, CharacterFindingsWindow}) {
    if (window != nullptr) window->SetTableReplaced();
  }
}

void TFormMain::SayIgnoredRules() {
  const RuleList list = ParseRuleList(session_.Project.Rules);
  if (!list.ignored.empty()) Dialogs::Current().Warning(this, IgnoredRulesText(list.ignored));
}

}  // namespace norvalis
