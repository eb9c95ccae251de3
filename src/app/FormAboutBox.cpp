#include "app/FormAboutBox.h"

#include <QCoreApplication>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QScreen>

#include "version/AppInfo.h"
#include "app/Dialogs.h"
#include "app/ProgramIcon.h"

namespace norvalis {

namespace {

constexpr int DesignFontPixels = 12;

QLabel* MakeLabel(QWidget* panel, const char* name, const QString& text, QPoint place) {
  auto* label = new QLabel(text, panel);
  label->setObjectName(QString::fromLatin1(name));
  label->setTextFormat(Qt::PlainText);
  label->move(place);
  label->adjustSize();
  return label;
}

}  // namespace

TFormAboutBox::TFormAboutBox(QWidget* owner, std::span<const std::uint8_t> versionData)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                         Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint) {
  setObjectName(QStringLiteral("FormAboutBox"));
  setWindowTitle(QStringLiteral("バージョン情報"));
  setWindowModality(Qt::WindowModal);
  QFont designFont = font();
  designFont.setPixelSize(DesignFontPixels);
  setFont(designFont);
  setFixedSize(DesignClientWidth, DesignClientHeight);

  // Read first: a block that cannot be read leaves nothing half built to show.
  const TkAppInfo info(versionData);

  Panel1 = new QFrame(this);
  Panel1->setObjectName(QStringLiteral("Panel1"));
  // Lowered outside, raised inside: an etched frame.
  Panel1->setFrameStyle(QFrame::Box | QFrame::Sunken);
  Panel1->setGeometry(7, 7, 258, 148);

  ProgramIcon = new QLabel(Panel1);
  ProgramIcon->setObjectName(QStringLiteral("ProgramIcon"));
  ProgramIcon->setScaledContents(true);
  ProgramIcon->setPixmap(ProgramPicture());
  ProgramIcon->setGeometry(7, 7, 48, 48);

  // The name is the application's title, not the block's product name.
  ProductName = MakeLabel(Panel1, "ProductName", QCoreApplication::applicationName(), {65, 15});
  Version = MakeLabel(Panel1, "Version",
                      QStringLiteral("バージョン ") +
                          QString::fromStdU16String(info.GetValue(TkAppInfo::FileVersion)),
                      {65, 33});
  Copyright = MakeLabel(
      Panel1, "Copyright",
      QStringLiteral("(C) ") + QString::fromStdU16String(info.GetValue(TkAppInfo::LegalCopyright)),
      {65, 56});
  Comments = new QLabel(QString::fromStdU16String(info.GetValue(TkAppInfo::Comments)), Panel1);
  Comments->setObjectName(QStringLiteral("Comments"));
  Comments->setTextFormat(Qt::PlainText);
  Comments->setWordWrap(true);
  Comments->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  Comments->setGeometry(7, 95, 242, 42);

  OKButton = new QPushButton(QStringLiteral("OK"), this);
  OKButton->setObjectName(QStringLiteral("OKButton"));
  OKButton->setGeometry(102, 165, 69, 23);
  OKButton->setDefault(true);
  connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);
  OKButton->setFocus();
}

void TFormAboutBox::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (centred_) return;
  centred_ = true;
  if (QScreen* desktop = screen()) {
    QRect frame = frameGeometry();
    frame.moveCenter(desktop->availableGeometry().center());
    move(frame.topLeft());
  }
}

void ExecuteAboutBox(QWidget* owner) {
  TFormAboutBox box(owner);
  Dialogs::Current().Exec(box);
}

}  // namespace norvalis
