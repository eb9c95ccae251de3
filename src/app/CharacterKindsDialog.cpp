#include "app/CharacterKindsDialog.h"

#include <algorithm>

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/Application.h"
#include "app/Dialogs.h"
#include "app/FindingsModel.h"
#include "persistence/StringList.h"

namespace norvalis {

namespace {

struct KindEntry {
  const char* name;  // the box's object name
  const char16_t* finds;
};

// In the order of CharacterKind.
const KindEntry KindEntries[CharacterKindCount] = {
    {"CheckBoxKindMojibake", u"読み込みで変換できなかった文字（U+FFFD）があるセル"},
    {"CheckBoxKindMachineDependent",
     u"①・Ⅲ・㈱・㎝・髙・﨑 など、Shift_JIS（CP932）にはあっても JIS にない文字"},
    {"CheckBoxKindMixedForms",
     u"〜と～、‖と∥、−と－ のように変換で入れ替わる文字が両方あるとき、少ないほうのセル"},
    {"CheckBoxKindControl", u"タブと改行のほかの制御文字（U+0000–U+001F、U+007F–U+009F）"},
    {"CheckBoxKindSpaces", u"先頭か末尾にある半角スペース・全角スペース・タブ"},
};

constexpr int DialogWidth = 480;

}  // namespace

TCharacterKindsDialog::TCharacterKindsDialog(unsigned kinds, QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("CharacterKindsDialog"));
  setWindowTitle(QStringLiteral("文字の問題の種類"));
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(QStringLiteral("「文字の問題を調べる」で探す種類:")));
  for (std::size_t k = 0; k < CharacterKindCount; ++k) {
    auto* box = new QCheckBox(CharacterKindCaption(static_cast<CharacterKind>(k)));
    box->setObjectName(QString::fromLatin1(KindEntries[k].name));
    box->setChecked((kinds >> k) & 1);
    auto* finds = new QLabel(QString::fromUtf16(KindEntries[k].finds));
    finds->setWordWrap(true);
    finds->setIndent(24);
    finds->setTextFormat(Qt::PlainText);
    box->setAccessibleDescription(finds->text());
    // Each box with its text close under it.
    auto* group = new QVBoxLayout;
    group->setSpacing(0);
    group->addWidget(box);
    group->addWidget(finds);
    layout->addLayout(group);
    boxes_[k] = box;
  }
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
  buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("OK"));
  buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("キャンセル"));
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addSpacing(8);
  layout->addWidget(buttons);
  // Wide enough for each text on a line or two, and no taller than they need.
  resize(DialogWidth, std::max(heightForWidth(DialogWidth), sizeHint().height()));
}

unsigned TCharacterKindsDialog::Kinds() const {
  unsigned kinds = 0;
  for (std::size_t k = 0; k < CharacterKindCount; ++k) {
    if (boxes_[k]->isChecked()) kinds |= 1u << k;
  }
  return kinds;
}

void TCharacterKindsDialog::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_F1) {
    if (Application* app = Application::Instance()) app->HelpShowContext(HelpContext);
    event->accept();
    return;
  }
  QDialog::keyPressEvent(event);
}

unsigned CharacterKindsOn(const UnicodeString& kindsOff) {
  TStringList off;
  off.SetCommaText(kindsOff);
  unsigned kinds = AllCharacterKinds;
  for (int i = 0; i < off.Count(); ++i) {
    if (const auto kind = CharacterKindFromName(ToUtf8(off[i])))
      kinds &= ~(1u << static_cast<unsigned>(*kind));
  }
  return kinds;
}

UnicodeString CharacterKindsOffText(unsigned kinds, const UnicodeString& kindsOff) {
  TStringList old;
  old.SetCommaText(kindsOff);
  TStringList off;
  for (int i = 0; i < old.Count(); ++i) {
    if (!CharacterKindFromName(ToUtf8(old[i]))) off.Add(old[i]);
  }
  for (std::size_t k = 0; k < CharacterKindCount; ++k) {
    if (!((kinds >> k) & 1)) off.Add(FromUtf8(CharacterKindName(static_cast<CharacterKind>(k))));
  }
  return off.CommaText();
}

bool ExecuteCharacterKindsDialog(QWidget* owner, UnicodeString& kindsOff) {
  TCharacterKindsDialog dialog(CharacterKindsOn(kindsOff), owner);
  if (Dialogs::Current().Exec(dialog) != QDialog::Accepted) return false;
  kindsOff = CharacterKindsOffText(dialog.Kinds(), kindsOff);
  return true;
}

}  // namespace norvalis
