#pragma once

#include <array>

#include <QDialog>

#include "check/CharacterCheck.h"
#include "text/UnicodeString.h"

class QCheckBox;

namespace norvalis {

// Turns each kind of the character check on or off, each with what it finds.
class TCharacterKindsDialog : public QDialog {
  Q_OBJECT

 public:
  // The help topic of the character check.
  static constexpr int HelpContext = 13;

  // `kinds`: the kinds on, as bits (1 << kind).
  explicit TCharacterKindsDialog(unsigned kinds, QWidget* parent = nullptr);

  unsigned Kinds() const;

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  std::array<QCheckBox*, CharacterKindCount> boxes_{};
};

// The kinds the comma text of kinds turned off leaves on; a name this program does not know
// (a later one's) turns nothing off.
unsigned CharacterKindsOn(const UnicodeString& kindsOff);
// The comma text of the kinds not in `kinds`, in the kinds' order, after the names of `kindsOff`
// this program does not know, which are kept.
UnicodeString CharacterKindsOffText(unsigned kinds, const UnicodeString& kindsOff);

// Shows the dialog on the settings' kinds; true and the text changed when the user chose OK.
bool ExecuteCharacterKindsDialog(QWidget* owner, UnicodeString& kindsOff);

}  // namespace norvalis
