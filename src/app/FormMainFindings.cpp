// The tasks beside the column check: the project's column rules and the character check, each
// over every data row on the document's worker, their result windows and the dialogs that set
// them; the marks of blanks and control characters in the grid.

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>

#include "app/Application.h"
#include "app/CharacterKindsDialog.h"
#include "app/FindingsWindow.h"
#include "app/FormMain.h"
#include "app/RulesDialog.h"
#include "check/CharacterCheck.h"
#include "check/ColumnRule.h"
#include "check/RuleCheck.h"
#include "grid/Document.h"
#include "grid/GridCsv.h"
#include "persistence/Config.h"

namespace norvalis {

namespace {

const QString NoRulesText =
    QStringLiteral("列の規則がありません。「列の規則...」で規則を設定してください。");
const QString NoKindsText =
    QStringLiteral("調べる文字の問題の種類がありません。「文字の問題の種類...」で選んでください。");
const QString NoRowsText = QStringLiteral("検証する行がありません。");
const QString SetRulesQuestion = QStringLiteral("今すぐ設定しますか？");
const QString RulesSetText = QStringLiteral("列の規則を設定しました（%1 件）。");
const QString KindsSetText = QStringLiteral("文字の問題の種類を設定しました。");

QString IgnoredRulesText(const std::vector<RuleError>& ignored) {
  QStringList lines;
  for (const RuleError& error : ignored)
    lines << QString::fromStdU16String(IgnoredRuleText(error));
  return lines.join(QLatin1Char('\n'));
}

}  // namespace

void TFormMain::CreateFindingsActions() {
  const QString csv = QStringLiteral("CSVファイル");
  ActionCsvRules =
      MakeAction(this, "ActionCsvRules", csv, QStringLiteral("列の規則..."), QKeySequence(), -1);
  ActionCsvCharacterKinds = MakeAction(this, "ActionCsvCharacterKinds", csv,
                                       QStringLiteral("文字の問題の種類..."), QKeySequence(), -1);
  connect(ActionCsvRules, &QAction::triggered, this,
          [this] { RunCommand([this] { ActionCsvRulesExecute(); }); });
  connect(ActionCsvCharacterKinds, &QAction::triggered, this,
          [this] { RunCommand([this] { ActionCsvCharacterKindsExecute(); }); });
  // Beside the tasks they set.
  ui_.MenuCsv->insertAction(ui_.ActionCsvReffer, ActionCsvRules);
  ui_.MenuCsv->insertAction(ui_.ActionCsvReffer, ActionCsvCharacterKinds);

  ActionViewSpecialCharacters =
      MakeAction(this, "ActionViewSpecialCharacters", QStringLiteral("表示"),
                 QStringLiteral("空白と制御文字を表示"), QKeySequence(), -1);
  ActionViewSpecialCharacters->setCheckable(true);
  MenuView->addSeparator();
  MenuView->addAction(ActionViewSpecialCharacters);
  connect(ActionViewSpecialCharacters, &QAction::toggled, this, [this](bool show) {
    grid_->SetShowSpecialCharacters(show);
    session_.Config.ShowSpecialCharacters = show;
  });
}

unsigned TFormMain::CharacterKinds() const {
  return CharacterKindsOn(session_.Config.CharacterKindsOff);
}

void TFormMain::ActionCsvRulesExecute() {
  QStringList columns;
  if (const std::shared_ptr<const CsvTable> table = Table()) {
    for (std::uint32_t c = 0; c < table->ColCount(); ++c)
      columns << ColumnName(c);
  }
  if (!ExecuteRulesDialog(this, session_.Project.Rules, columns)) return;
  SetStatusText(RulesSetText.arg(session_.Project.Rules.size()));
}

void TFormMain::ActionCsvCharacterKindsExecute() {
  if (!ExecuteCharacterKindsDialog(this, session_.Config.CharacterKindsOff)) return;
  SetStatusText(KindsSetText);
  // Kept at once, as the general settings are.
  session_.Config.Save(GetSettingsFilePath(), [this](const UnicodeString& message) {
    Dialogs::Current().Warning(this, QString::fromStdU16String(message));
  });
}

void TFormMain::ActionCsvCheckRulesExecute() {
  if (AfterLoad([this] { ActionCsvCheckRulesExecute(); })) return;
  const std::shared_ptr<const CsvTable> table = Table();
  if (!FileInStep(table, true)) return;
  RuleList list = ParseRuleList(session_.Project.Rules);
  if (list.rules.empty()) {
    const QString ignored = IgnoredRulesText(list.ignored);
    const QString text = ignored.isEmpty() ? NoRulesText : NoRulesText + u'\n' + ignored;
    SetStatusText(NoRulesText);
    // The way to the dialog the message names, and back to the task once there are rules.
    if (!Dialogs::Current().Question(this, text + u'\n' + SetRulesQuestion)) return;
    ActionCsvRulesExecute();
    if (!ParseRuleList(session_.Project.Rules).rules.empty()) ActionCsvCheckRulesExecute();
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
    connect(
        window, &TFindingsWindow::rowsRequested, this,
        [this](std::shared_ptr<const std::vector<std::uint32_t>> rows, const QString& description) {
          RunCommand([&] { ShowRows(std::move(rows), description); });
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
