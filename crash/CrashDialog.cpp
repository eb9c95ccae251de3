#include "CrashDialog.h"

#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLibraryInfo>
#include <QLocale>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QStyle>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <QTranslator>
#include <QUrl>
#include <QVBoxLayout>

#include <cstdio>
#include <memory>

#include "LogFile.h"

namespace norvalis::crash {

namespace {

// Mail handlers cut long mailto: links; the log keeps the whole report.
constexpr qsizetype MaxMailBody = 16000;

QString FromUtf8(const std::string& text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// A path of the dialog as the system names files: UTF-8 on Linux, UTF-16 on Windows.
std::filesystem::path FilePath(const QString& path) {
  return std::filesystem::path(path.toStdU16String());
}

// The program's windows as they are while it waits: the whole screen, where the window system
// lets another program read it (X11, Windows).
QImage GrabScreen() {
  const QString platform = QGuiApplication::platformName();
  if (platform != QStringLiteral("xcb") && platform != QStringLiteral("windows")) return {};
  QScreen* screen = QGuiApplication::primaryScreen();
  return screen != nullptr ? screen->grabWindow(0).toImage() : QImage();
}

}  // namespace

CrashDialog::CrashDialog(CrashDialogContent content, QWidget* parent)
    : QDialog(parent), content_(std::move(content)) {
  const HandoverOptions& options = content_.options;
  setObjectName("CrashDialog");
  setWindowTitle("Norvalis");
  auto* layout = new QVBoxLayout(this);

  auto* header = new QHBoxLayout;
  auto* icon = new QLabel;
  icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxCritical).pixmap(32, 32));
  header->addWidget(icon, 0, Qt::AlignTop);
  auto* message = new QLabel(
      QString("%1 はエラーが発生したため停止しました。\n停止したときの詳しい情報は次のとおりです。")
          .arg(FromUtf8(options.program)));
  message->setObjectName("LabelMessage");
  header->addWidget(message, 1);
  layout->addLayout(header);

  auto* tabs = new QTabWidget;
  tabs->setObjectName("TabPages");
  const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  for (const ReportPage& page : content_.pages) {
    auto* text = new QPlainTextEdit(FromUtf8(page.text));
    text->setReadOnly(true);
    text->setLineWrapMode(QPlainTextEdit::NoWrap);
    text->setFont(fixed);
    tabs->addTab(text, FromUtf8(page.title));
  }
  layout->addWidget(tabs, 1);

  status_ = new QLabel;
  status_->setObjectName("LabelStatus");
  status_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  if (content_.logSaved) status_->setText("ログを保存しました: " + content_.logStem + ".txt");
  layout->addWidget(status_);

  auto* row = new QHBoxLayout;
  layout->addLayout(row);
  const auto add = [&](const QString& caption, const char* name, bool shown, auto slot) {
    QPushButton* button = AddButton(caption, name, shown);
    row->addWidget(button);
    connect(button, &QPushButton::clicked, this, slot);
  };
  add("レポートをコピー(&C)", "ButtonCopy", options.copy, &CrashDialog::CopyReport);
  add("スクリーンショットを添付(&A)", "ButtonScreenshot", options.screenshot,
      &CrashDialog::AttachScreenshot);
  add("ログを保存(&L)", "ButtonLog", options.log, &CrashDialog::SaveLog);
  add("送信(&S)", "ButtonSend", options.send && !options.mail.empty(), &CrashDialog::SendReport);
  add("再起動(&R)", "ButtonRestart", options.restart && content_.restart != nullptr,
      &CrashDialog::Restart);
  row->addStretch(1);
  add("閉じる(&X)", "ButtonClose", true, &QDialog::reject);
  buttons_.back()->setDefault(true);
  resize(820, 560);
}

QPushButton* CrashDialog::AddButton(const QString& caption, const char* objectName, bool shown) {
  auto* button = new QPushButton(caption);
  button->setObjectName(objectName);
  button->setAutoDefault(false);
  button->setVisible(shown);
  buttons_.append(button);
  return button;
}

void CrashDialog::Answer(const QStringList& captions) {
  for (const QString& caption : captions) {
    if (!isVisible()) return;
    // "?" lists the texts a user meets beyond the report: the buttons, the text box's menu, the
    // tab bar's scroll buttons and its pages.
    if (caption == QStringLiteral("?")) {
      QStringList texts;
      for (const QPushButton* button : buttons_)
        texts << button->text();
      if (auto* page = findChild<QPlainTextEdit*>()) {
        const std::unique_ptr<QMenu> menu(page->createStandardContextMenu());
        for (const QAction* action : menu->actions())
          if (!action->isSeparator()) texts << action->text();
      }
      const QTabWidget* tabs = findChild<QTabWidget*>();
      for (const QToolButton* scroll : tabs->findChildren<QToolButton*>())
        texts << scroll->accessibleName();
      for (int i = 0; i < tabs->count(); ++i)
        texts << tabs->tabText(i);
      std::fprintf(stderr, "norvalis-crash: texts\n%s\n", texts.join('\n').toUtf8().constData());
      continue;
    }
    QPushButton* pressed = nullptr;
    for (QPushButton* button : buttons_) {
      // Answered by the caption without its mnemonic, as a user reads it.
      QString text = button->text();
      text.remove(QRegularExpression(QStringLiteral("\\(&.\\)$")));
      if (text == caption && !button->isHidden()) pressed = button;
    }
    if (pressed == nullptr) {
      std::fprintf(stderr, "norvalis-crash: no button %s\n", caption.toLocal8Bit().constData());
      reject();
      return;
    }
    pressed->click();
  }
}

void CrashDialog::CopyReport() {
  QApplication::clipboard()->setText(FromUtf8(ReportText(content_.pages)));
  status_->setText("レポートをクリップボードにコピーしました。");
}

void CrashDialog::AttachScreenshot() {
  if (content_.screenshot.isNull()) {
    status_->setText("この画面環境ではスクリーンショットを取得できません。");
    return;
  }
  screenshotAttached_ = true;
  findChild<QPushButton*>("ButtonScreenshot")->setEnabled(false);
  status_->setText("スクリーンショットを添付しました。ログを保存するとともに保存されます。");
}

void CrashDialog::SaveLog() {
  std::string text = ReportText(content_.pages);
  if (screenshotAttached_) {
    std::error_code error;
    const QString image = content_.logStem + ".png";
    std::filesystem::create_directories(FilePath(image).parent_path(), error);
    if (content_.screenshot.save(image, "PNG"))
      text += "スクリーンショット: " + image.toStdString() + "\n";
  }
  const QString path = content_.logStem + ".txt";
  if (WriteLogFile(FilePath(path), text)) {
    status_->setText("ログを保存しました: " + path);
  } else {
    status_->setText("ログを保存できません: " + path);
  }
}

void CrashDialog::SendReport() {
  QString body = FromUtf8(ReportText(content_.pages));
  if (body.size() > MaxMailBody) body = body.left(MaxMailBody) + "\n(以下省略)\n";
  const QByteArray subject =
      QUrl::toPercentEncoding(FromUtf8(content_.options.program) + " のエラー報告");
  const QUrl mail =
      QUrl::fromEncoded("mailto:" + QUrl::toPercentEncoding(FromUtf8(content_.options.mail), "@") +
                        "?subject=" + subject + "&body=" + QUrl::toPercentEncoding(body));
  if (QDesktopServices::openUrl(mail)) {
    status_->setText("メールの作成画面を開きました。");
  } else {
    status_->setText("メールの作成画面を開けません。");
  }
}

void CrashDialog::Restart() {
  if (content_.restart()) {
    accept();
  } else {
    status_->setText("プログラムを起動できません。");
  }
}

int RunCrashDialog(int& argc, char** argv, CrashDialogContent content,
                   const std::function<void()>& release) {
  QApplication application(argc, argv);
  // The toolkit's own texts (a text box's menu, the tab bar's buttons) in Japanese, as the
  // program's window has them.
  QLocale::setDefault(QLocale(QLocale::Japanese, QLocale::Japan));
  auto* translator = new QTranslator(&application);
  if (translator->load(QStringLiteral("qtbase_ja"),
                       QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    QApplication::installTranslator(translator);
  }
  // Still before the program's windows close.
  if (content.options.screenshot) content.screenshot = GrabScreen();
  release();

  CrashDialog window(std::move(content));
  window.show();
  // Tests and scripts answer the dialog with the captions of the buttons to press.
  // Read as the system keeps it (UTF-16 on Windows), so the captions arrive whole.
  if (qEnvironmentVariableIsSet("NORVALIS_CRASH_ANSWER")) {
    const QStringList captions =
        qEnvironmentVariable("NORVALIS_CRASH_ANSWER").split(',', Qt::SkipEmptyParts);
    QTimer::singleShot(0, &window, [&window, captions] { window.Answer(captions); });
  }
  QObject::connect(&window, &QDialog::finished, &application, &QApplication::quit);
  return application.exec();
}

}  // namespace norvalis::crash
