#include "app/FormConfigGeneral.h"

#include <algorithm>

#include <QCheckBox>
#include <QKeyEvent>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QTabWidget>

#include "app/Application.h"
#include "app/Dialogs.h"

namespace norvalis {

namespace {

constexpr int DesignFontPixels = 11;
constexpr int PanelHeight = 56;

QCheckBox* MakeCheckBox(QWidget* page, const char* name, const QString& caption, QRect place) {
  auto* box = new QCheckBox(caption, page);
  box->setObjectName(QString::fromLatin1(name));
  box->setGeometry(place);
  return box;
}

QPushButton* MakeButton(QWidget* panel, const char* name, const QString& caption,
                        QStyle::StandardPixmap glyph, QRect place) {
  auto* button = new QPushButton(panel->style()->standardIcon(glyph), caption, panel);
  button->setObjectName(QString::fromLatin1(name));
  button->setGeometry(place);
  return button;
}

}  // namespace

TFormConfigGeneral::TFormConfigGeneral(QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                         Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint) {
  setObjectName(QStringLiteral("FormConfigGeneral"));
  setWindowTitle(QStringLiteral("全般設定"));
  // Only the main window waits: the help window stays usable while the dialog is open.
  setWindowModality(Qt::WindowModal);
  QFont designFont = font();
  designFont.setPixelSize(DesignFontPixels);
  setFont(designFont);
  setFixedSize(DesignClientWidth, DesignClientHeight);

  PageControl1 = new QTabWidget(this);
  PageControl1->setObjectName(QStringLiteral("PageControl1"));
  PageControl1->setGeometry(0, 0, DesignClientWidth, DesignClientHeight - PanelHeight);
  TabSheet1 = new QWidget;
  TabSheet1->setObjectName(QStringLiteral("TabSheet1"));
  PageControl1->addTab(TabSheet1, QStringLiteral("起動時(&1)"));
  CheckBoxProjectFileRestore = MakeCheckBox(
      TabSheet1, "CheckBoxProjectFileRestore",
      QStringLiteral("前回の終了時に開いていたファイルを、起動時に開く"), QRect(16, 16, 281, 17));
  CheckBoxWindowPositionRestore = MakeCheckBox(
      TabSheet1, "CheckBoxWindowPositionRestore",
      QStringLiteral("前回の終了時のウィンドウの状態を、起動時に復元する"), QRect(16, 39, 297, 17));
  PageControl1->setCurrentIndex(0);

  Panel1 = new QWidget(this);
  Panel1->setObjectName(QStringLiteral("Panel1"));
  Panel1->setGeometry(0, DesignClientHeight - PanelHeight, DesignClientWidth, PanelHeight);
  BitBtn1 = MakeButton(Panel1, "BitBtn1", QStringLiteral("OK"), QStyle::SP_DialogOkButton,
                       QRect(152, 16, 75, 25));
  BitBtn1->setDefault(true);
  BitBtn2 = MakeButton(Panel1, "BitBtn2", QStringLiteral("キャンセル"),
                       QStyle::SP_DialogCancelButton, QRect(233, 16, 84, 25));
  // Escape cancels through the dialog itself.
  connect(BitBtn1, &QPushButton::clicked, this, &QDialog::accept);
  connect(BitBtn2, &QPushButton::clicked, this, &QDialog::reject);

  setTabOrder(PageControl1, CheckBoxProjectFileRestore);
  setTabOrder(CheckBoxProjectFileRestore, CheckBoxWindowPositionRestore);
  setTabOrder(CheckBoxWindowPositionRestore, BitBtn1);
  setTabOrder(BitBtn1, BitBtn2);
}

void TFormConfigGeneral::LoadFromConfig(const TConfig& config) {
  CheckBoxProjectFileRestore->setChecked(config.ProjectFileRestore);
  CheckBoxWindowPositionRestore->setChecked(config.WindowPositionRestore);
}

void TFormConfigGeneral::SaveToConfig(TConfig& config) const {
  config.ProjectFileRestore = CheckBoxProjectFileRestore->isChecked();
  config.WindowPositionRestore = CheckBoxWindowPositionRestore->isChecked();
}

void TFormConfigGeneral::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_F1 && event->modifiers() == Qt::NoModifier) {
    if (Application* app = Application::Instance()) app->HelpShowContext(HelpContext);
    event->accept();
    return;
  }
  QDialog::keyPressEvent(event);
}

void TFormConfigGeneral::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (centred_ || parentWidget() == nullptr) return;
  centred_ = true;
  // Centred over the main window, kept on its screen.
  QRect frame = frameGeometry();
  frame.moveCenter(parentWidget()->window()->frameGeometry().center());
  if (QScreen* desktop = screen()) {
    const QRect area = desktop->availableGeometry();
    frame.moveLeft(std::max(area.left(), std::min(frame.left(), area.right() + 1 - frame.width())));
    frame.moveTop(std::max(area.top(), std::min(frame.top(), area.bottom() + 1 - frame.height())));
  }
  move(frame.topLeft());
}

void ExecuteConfigGeneral(QWidget* owner, TConfig& config) {
  TFormConfigGeneral dialog(owner);
  dialog.LoadFromConfig(config);
  if (Dialogs::Current().Exec(dialog) != QDialog::Accepted) return;
  dialog.SaveToConfig(config);
  config.Save(GetSettingsFilePath(), [owner](const UnicodeString& message) {
    Dialogs::Current().Warning(owner, QString::fromStdU16String(message));
  });
}

}  // namespace norvalis
