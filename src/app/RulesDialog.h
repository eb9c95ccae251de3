#pragma once

#include <vector>

#include <QDialog>
#include <QStringList>

#include "text/UnicodeString.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;

namespace norvalis {

// Edits the project's column rules, each one line of norvalis-check's --rule syntax: a column,
// a kind chosen by its Japanese name with a short example, and the kind's value. The text is
// read by the check's own parser as it is typed, and a wrong one is said with its position.
class TRulesDialog : public QDialog {
  Q_OBJECT

 public:
  // The help topic of the rules.
  static constexpr int HelpContext = 12;

  // `columns` names the table's columns ("A「id」"), offered in the column box.
  TRulesDialog(const std::vector<UnicodeString>& rules, const QStringList& columns,
               QWidget* parent = nullptr);

  // The rules as the list holds them, in its order.
  std::vector<UnicodeString> Rules() const;

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 public slots:
  // Asks before keeping rules that do not parse; closes with OK otherwise.
  void accept() override;

 private:
  // The rule text from the column, kind and value boxes.
  void ComposeRule();
  // The boxes from a rule's text, as far as it reads.
  void ShowRule(const QString& text);
  // Says whether the rule text parses, and where it does not; true when it does.
  bool CheckRuleText();
  void AddRule();
  void ChangeRule();
  void DeleteRule();
  void MoveRule(int by);
  void SetItem(int index, const QString& text);
  void UpdateButtons();

  QStringList columns_;
  QTreeWidget* ListRules;
  QComboBox* ComboBoxRuleColumn;
  QComboBox* ComboBoxRuleKind;
  QLineEdit* EditRuleArgument;
  QLabel* LabelRuleExample;
  QLineEdit* EditRuleText;
  QLabel* LabelRuleError;
  QPushButton* ButtonAddRule;
  QPushButton* ButtonChangeRule;
  QPushButton* ButtonDeleteRule;
  QPushButton* ButtonRuleUp;
  QPushButton* ButtonRuleDown;
  bool showing_ = false;
};

// Shows the dialog on the rules; true and the rules changed when the user chose OK.
bool ExecuteRulesDialog(QWidget* owner, std::vector<UnicodeString>& rules,
                        const QStringList& columns);

}  // namespace norvalis
