#include "app/RulesDialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "app/Application.h"
#include "app/Dialogs.h"
#include "check/ColumnRule.h"
#include "csv/CsvUtility.h"

namespace norvalis {

namespace {

// The kinds as the dialog offers them, in the order of norvalis-check's help.
struct KindEntry {
  const char* syntax;
  enum { None, Optional, Required } argument;
  const char16_t* caption;
  const char16_t* placeholder;
  const char16_t* example;
};

const KindEntry Kinds[] = {
    {"required", KindEntry::None, u"空欄でない（必須）", u"",
     u"A:required … 空欄のセルを見つけます"},
    {"length", KindEntry::Required, u"文字数", u"1..30",
     u"B:length=..30 … 30 文字まで（length=7 はちょうど 7 文字、length=7.. は 7 文字以上）"},
    {"sjis", KindEntry::None, u"Shift_JIS で表せる文字だけ", u"",
     u"C:sjis … 𠮷・絵文字・ü・〜（U+301C）など、Shift_JIS にない文字を見つけます"},
    {"sjis-bytes", KindEntry::Required, u"Shift_JIS のバイト数", u"..30",
     u"D:sjis-bytes=..30 … 半角 1 バイト、全角 2 バイトと数えて 30 バイトまで"},
    {"jis", KindEntry::None, u"JIS の文字だけ（機種依存文字なし）", u"",
     u"E:jis … ①・㈱・髙 などを見つけます（≒ は JIS にもあるので通ります）"},
    {"chars", KindEntry::Required, u"使える文字", u"{digits}-",
     u"F:chars={digits}- … 数字とハイフンだけ。{upper} {lower} {kana} {zengin}（振込の名義）"
     u"{fullwidth} と a-z のような範囲も使えます"},
    {"values", KindEntry::Required, u"決まった値のどれか", u"東京都,大阪府",
     u"G:values=東京都,大阪府 … どちらかの値であること（カンマを含む値は \"A,B\" と書きます）"},
    {"unique", KindEntry::None, u"重複しない", u"",
     u"H:unique … 前の行と同じ値を見つけます（最初にあった行を示します）"},
    {"regex", KindEntry::Required, u"正規表現に合う", u"[0-9]{3}-[0-9]{4}",
     u"I:regex=[0-9]{3}-[0-9]{4} … セル全体が合うこと（PCRE2 の書き方）"},
    {"number", KindEntry::Optional, u"数値", u"0..100",
     u"J:number=0..100 … 半角の数字で 0 から 100 まで（範囲は省けます: J:number）"},
    {"date", KindEntry::Required, u"日付", u"YYYY/MM/DD",
     u"K:date=YYYY/MM/DD … 実在する日付（YYYYMMDD, YYYY-MM-DD, YYYY/M/D も使えます）"},
    {"same", KindEntry::None, u"基準の行と同じ", u"",
     u"L:same … 最初のデータ行と異なる値を見つけます（「チェック開始」と同じ比べ方）"},
};

QString Q(const char16_t* text) {
  return QString::fromUtf16(text);
}

QString Q(const UnicodeString& text) {
  return QString::fromStdU16String(text);
}

int KindIndex(const QString& syntax) {
  for (int i = 0; i < static_cast<int>(std::size(Kinds)); ++i) {
    if (syntax == QLatin1String(Kinds[i].syntax)) return i;
  }
  return -1;
}

// The column a column box's entry names: its letters or number, before the title.
QString ColumnToken(const QString& entry) {
  const QString trimmed = entry.trimmed();
  qsizetype end = 0;
  while (end < trimmed.size() && !trimmed.at(end).isSpace() && trimmed.at(end) != u'「')
    ++end;
  return trimmed.left(end);
}

// How the list says what a rule means, or why it is left out.
QString RuleMeaning(const QString& text, const QStringList& columns) {
  const RuleParse parse = ParseColumnRule(text.toStdU16String());
  if (!parse.rule) {
    return QStringLiteral("正しくありません（%1 文字目: %2）")
        .arg(parse.error.position)
        .arg(Q(parse.error.reason));
  }
  const ColumnRule& rule = *parse.rule;
  const QString column =
      rule.column < static_cast<std::uint32_t>(columns.size())
          ? columns[static_cast<qsizetype>(rule.column)]
          : Q(TCsvUtility::ColumnIndexToLetters(static_cast<std::int32_t>(rule.column)));
  const QString ruleText = Q(rule.ruleText);
  const qsizetype equals = ruleText.indexOf(u'=');
  const int kind = KindIndex(equals < 0 ? ruleText : ruleText.left(equals));
  QString meaning = column + QStringLiteral(": ") + (kind >= 0 ? Q(Kinds[kind].caption) : ruleText);
  if (equals >= 0) meaning += QStringLiteral(" ") + ruleText.mid(equals + 1);
  return meaning;
}

QPushButton* MakeButton(const char* name, const QString& caption) {
  auto* button = new QPushButton(caption);
  button->setObjectName(QString::fromLatin1(name));
  button->setAutoDefault(false);
  return button;
}

}  // namespace

TRulesDialog::TRulesDialog(const std::vector<UnicodeString>& rules, const QStringList& columns,
                           QWidget* parent)
    : QDialog(parent), columns_(columns) {
  setObjectName(QStringLiteral("RulesDialog"));
  setWindowTitle(QStringLiteral("列の規則"));

  ListRules = new QTreeWidget;
  ListRules->setObjectName(QStringLiteral("ListRules"));
  ListRules->setAccessibleName(QStringLiteral("列の規則の一覧"));
  ListRules->setRootIsDecorated(false);
  ListRules->setUniformRowHeights(true);
  ListRules->setHeaderLabels({QStringLiteral("規則"), QStringLiteral("意味")});
  ListRules->header()->setStretchLastSection(true);
  for (const UnicodeString& rule : rules)
    SetItem(-1, Q(rule));
  ListRules->setColumnWidth(0, 200);

  ComboBoxRuleColumn = new QComboBox;
  ComboBoxRuleColumn->setObjectName(QStringLiteral("ComboBoxRuleColumn"));
  ComboBoxRuleColumn->setAccessibleName(QStringLiteral("列"));
  // A column the table does not have yet may be typed: A … XFD or its number.
  ComboBoxRuleColumn->setEditable(true);
  ComboBoxRuleColumn->addItems(columns_.isEmpty() ? QStringList{QStringLiteral("A")} : columns_);

  ComboBoxRuleKind = new QComboBox;
  ComboBoxRuleKind->setObjectName(QStringLiteral("ComboBoxRuleKind"));
  ComboBoxRuleKind->setAccessibleName(QStringLiteral("規則の種類"));
  for (const KindEntry& kind : Kinds)
    ComboBoxRuleKind->addItem(Q(kind.caption) + QStringLiteral(" (") + QLatin1String(kind.syntax) +
                              QLatin1Char(')'));

  EditRuleArgument = new QLineEdit;
  EditRuleArgument->setObjectName(QStringLiteral("EditRuleArgument"));
  EditRuleArgument->setAccessibleName(QStringLiteral("規則の値"));

  LabelRuleExample = new QLabel;
  LabelRuleExample->setObjectName(QStringLiteral("LabelRuleExample"));
  LabelRuleExample->setTextFormat(Qt::PlainText);
  LabelRuleExample->setWordWrap(true);

  EditRuleText = new QLineEdit;
  EditRuleText->setObjectName(QStringLiteral("EditRuleText"));
  EditRuleText->setAccessibleName(QStringLiteral("規則"));

  LabelRuleError = new QLabel;
  LabelRuleError->setObjectName(QStringLiteral("LabelRuleError"));
  LabelRuleError->setTextFormat(Qt::PlainText);
  LabelRuleError->setWordWrap(true);
  LabelRuleError->setStyleSheet(QStringLiteral("color: #b00000;"));

  ButtonAddRule = MakeButton("ButtonAddRule", QStringLiteral("追加(&A)"));
  ButtonChangeRule = MakeButton("ButtonChangeRule", QStringLiteral("変更(&M)"));
  ButtonDeleteRule = MakeButton("ButtonDeleteRule", QStringLiteral("削除(&D)"));
  ButtonRuleUp = MakeButton("ButtonRuleUp", QStringLiteral("上へ(&U)"));
  ButtonRuleDown = MakeButton("ButtonRuleDown", QStringLiteral("下へ(&W)"));

  connect(ComboBoxRuleColumn, &QComboBox::currentTextChanged, this, &TRulesDialog::ComposeRule);
  connect(ComboBoxRuleKind, &QComboBox::currentIndexChanged, this, &TRulesDialog::ComposeRule);
  connect(EditRuleArgument, &QLineEdit::textChanged, this, &TRulesDialog::ComposeRule);
  connect(EditRuleText, &QLineEdit::textChanged, this, [this] { CheckRuleText(); });
  connect(ListRules, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
    if (item != nullptr) ShowRule(item->text(0));
    UpdateButtons();
  });
  connect(ButtonAddRule, &QPushButton::clicked, this, &TRulesDialog::AddRule);
  connect(ButtonChangeRule, &QPushButton::clicked, this, &TRulesDialog::ChangeRule);
  connect(ButtonDeleteRule, &QPushButton::clicked, this, &TRulesDialog::DeleteRule);
  connect(ButtonRuleUp, &QPushButton::clicked, this, [this] { MoveRule(-1); });
  connect(ButtonRuleDown, &QPushButton::clicked, this, [this] { MoveRule(1); });

  auto* form = new QFormLayout;
  const auto labelled = [&](const QString& caption, QWidget* field) {
    auto* label = new QLabel(caption);
    label->setBuddy(field);
    form->addRow(label, field);
  };
  labelled(QStringLiteral("列(&C):"), ComboBoxRuleColumn);
  labelled(QStringLiteral("種類(&K):"), ComboBoxRuleKind);
  labelled(QStringLiteral("値(&V):"), EditRuleArgument);
  form->addRow(QString(), LabelRuleExample);
  labelled(QStringLiteral("規則(&R):"), EditRuleText);
  form->addRow(QString(), LabelRuleError);

  auto* side = new QVBoxLayout;
  for (QPushButton* button :
       {ButtonAddRule, ButtonChangeRule, ButtonDeleteRule, ButtonRuleUp, ButtonRuleDown})
    side->addWidget(button);
  side->addStretch(1);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
  buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("OK"));
  buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("ButtonRulesOk"));
  buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("キャンセル"));
  connect(buttons, &QDialogButtonBox::accepted, this, &TRulesDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

  auto* top = new QHBoxLayout;
  top->addWidget(ListRules, 1);
  top->addLayout(side);
  auto* layout = new QVBoxLayout(this);
  auto* hint = new QLabel(QStringLiteral(
      "規則に合わない値は「規則に合わない値を調べる」で一覧にできます。規則はプロジェクトを保存する"
      "とプロジェクトファイルに書き込まれます（F1 でヘルプ）。"));
  hint->setWordWrap(true);
  layout->addWidget(hint);
  layout->addLayout(top, 1);
  layout->addLayout(form);
  layout->addWidget(buttons);
  resize(640, 480);

  ComposeRule();
  if (ListRules->topLevelItemCount() > 0) ListRules->setCurrentItem(ListRules->topLevelItem(0));
  UpdateButtons();
}

std::vector<UnicodeString> TRulesDialog::Rules() const {
  std::vector<UnicodeString> rules;
  for (int i = 0; i < ListRules->topLevelItemCount(); ++i)
    rules.push_back(ListRules->topLevelItem(i)->text(0).toStdU16String());
  return rules;
}

void TRulesDialog::ComposeRule() {
  if (showing_) return;
  const int kind = ComboBoxRuleKind->currentIndex();
  if (kind < 0) return;
  const KindEntry& entry = Kinds[kind];
  LabelRuleExample->setText(QStringLiteral("例: ") + Q(entry.example));
  EditRuleArgument->setEnabled(entry.argument != KindEntry::None);
  EditRuleArgument->setPlaceholderText(Q(entry.placeholder));
  QString text = ColumnToken(ComboBoxRuleColumn->currentText()) + QLatin1Char(':') +
                 QLatin1String(entry.syntax);
  const QString argument = EditRuleArgument->text();
  if (entry.argument == KindEntry::Required ||
      (entry.argument == KindEntry::Optional && !argument.isEmpty()))
    text += QLatin1Char('=') + argument;
  EditRuleText->setText(text);
}

void TRulesDialog::ShowRule(const QString& text) {
  // The boxes follow the rule as far as it reads; the text itself is kept as it is.
  showing_ = true;
  const qsizetype colon = text.indexOf(u':');
  if (colon >= 0) {
    const QString column = text.left(colon);
    const qsizetype at = ComboBoxRuleColumn->findText(column + QStringLiteral("「"),
                                                      Qt::MatchStartsWith | Qt::MatchCaseSensitive);
    if (at >= 0) {
      ComboBoxRuleColumn->setCurrentIndex(static_cast<int>(at));
    } else {
      ComboBoxRuleColumn->setEditText(column);
    }
    const QString rest = text.mid(colon + 1);
    const qsizetype equals = rest.indexOf(u'=');
    const int kind = KindIndex(equals < 0 ? rest : rest.left(equals));
    if (kind >= 0) ComboBoxRuleKind->setCurrentIndex(kind);
    EditRuleArgument->setText(equals < 0 ? QString() : rest.mid(equals + 1));
    const KindEntry& entry = Kinds[ComboBoxRuleKind->currentIndex()];
    LabelRuleExample->setText(QStringLiteral("例: ") + Q(entry.example));
    EditRuleArgument->setEnabled(entry.argument != KindEntry::None);
    EditRuleArgument->setPlaceholderText(Q(entry.placeholder));
  }
  showing_ = false;
  EditRuleText->setText(text);
}

bool TRulesDialog::CheckRuleText() {
  const QString text = EditRuleText->text();
  if (text.isEmpty()) {
    LabelRuleError->clear();
    return false;
  }
  const RuleParse parse = ParseColumnRule(text.toStdU16String());
  LabelRuleError->setText(parse.rule ? QString() : Q(RuleErrorText(parse.error)));
  return parse.rule.has_value();
}

void TRulesDialog::AddRule() {
  if (!CheckRuleText()) {
    EditRuleText->setFocus();
    return;
  }
  SetItem(-1, EditRuleText->text());
  ListRules->setCurrentItem(ListRules->topLevelItem(ListRules->topLevelItemCount() - 1));
  UpdateButtons();
}

void TRulesDialog::ChangeRule() {
  const int index = ListRules->indexOfTopLevelItem(ListRules->currentItem());
  if (index < 0) return;
  if (!CheckRuleText()) {
    EditRuleText->setFocus();
    return;
  }
  SetItem(index, EditRuleText->text());
}

void TRulesDialog::DeleteRule() {
  const int index = ListRules->indexOfTopLevelItem(ListRules->currentItem());
  if (index < 0) return;
  delete ListRules->takeTopLevelItem(index);
  UpdateButtons();
}

void TRulesDialog::MoveRule(int by) {
  const int index = ListRules->indexOfTopLevelItem(ListRules->currentItem());
  const int to = index + by;
  if (index < 0 || to < 0 || to >= ListRules->topLevelItemCount()) return;
  QTreeWidgetItem* item = ListRules->takeTopLevelItem(index);
  ListRules->insertTopLevelItem(to, item);
  ListRules->setCurrentItem(item);
}

void TRulesDialog::SetItem(int index, const QString& text) {
  QTreeWidgetItem* item =
      index < 0 ? new QTreeWidgetItem(ListRules) : ListRules->topLevelItem(index);
  item->setText(0, text);
  item->setText(1, RuleMeaning(text, columns_));
}

void TRulesDialog::UpdateButtons() {
  const int index = ListRules->indexOfTopLevelItem(ListRules->currentItem());
  ButtonChangeRule->setEnabled(index >= 0);
  ButtonDeleteRule->setEnabled(index >= 0);
  ButtonRuleUp->setEnabled(index > 0);
  ButtonRuleDown->setEnabled(index >= 0 && index + 1 < ListRules->topLevelItemCount());
}

void TRulesDialog::accept() {
  QStringList wrong;
  for (const UnicodeString& rule : Rules()) {
    const RuleParse parse = ParseColumnRule(rule);
    if (!parse.rule) wrong << Q(RuleErrorText(parse.error));
  }
  // A rule of a later version, or one written by hand, is kept unless the user removes it.
  if (!wrong.isEmpty() &&
      !Dialogs::Current().Question(
          this, QStringLiteral("正しくない規則があります。調べるときは無視されます。\n") +
                    wrong.join(QLatin1Char('\n')) + QStringLiteral("\nこのまま保存しますか？"))) {
    return;
  }
  QDialog::accept();
}

void TRulesDialog::keyPressEvent(QKeyEvent* event) {
  // Enter in the rule's boxes adds the rule rather than closing the dialog with OK.
  const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
  if (enter && (focusWidget() == EditRuleText || focusWidget() == EditRuleArgument)) {
    AddRule();
    event->accept();
    return;
  }
  if (event->key() == Qt::Key_F1) {
    if (Application* app = Application::Instance()) app->HelpShowContext(HelpContext);
    event->accept();
    return;
  }
  QDialog::keyPressEvent(event);
}

bool ExecuteRulesDialog(QWidget* owner, std::vector<UnicodeString>& rules,
                        const QStringList& columns) {
  TRulesDialog dialog(rules, columns, owner);
  if (Dialogs::Current().Exec(dialog) != QDialog::Accepted) return false;
  rules = dialog.Rules();
  return true;
}

}  // namespace norvalis
