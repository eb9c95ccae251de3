#include "CrashDialog.h"

#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QStyle>
#include <QTabWidget>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

#include <cstdio>
#include <memory>

#include "CrashLog.h"

namespace norvalis::crash {

namespace {

// Mail handlers cut long mailto: links; the log keeps the whole report.
constexpr qsizetype MaxMailBody = 16000;

QString FromUtf8(const std::string& text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QString LogPath(const std::filesystem::path& stem, const char* extension) {
  return QString::fromStdString(stem.string() + extension);
}

}  // namespace

CrashDialog::CrashDialog(const Handover& handover, CrashReport report, QImage screenshot,
                         std::filesystem::path logStem, bool logSaved, QWidget* parent)
    : QDialog(parent),
      options_(handover.options),
      report_(std::move(report)),
      screenshot_(std::move(screenshot)),
      logStem_(std::move(logStem)) {
  setObjectName("CrashDialog");
  setWindowTitle("Norvalis");
  auto* layout = new QVBoxLayout(this);

  auto* header = new QHBoxLayout;
  auto* icon = new QLabel;
  icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxCritical).pixmap(32, 32));
  header->addWidget(icon, 0, Qt::AlignTop);
  auto* message = new QLabel(
      QString("%1 はエラーが発生したため停止しました。\n停止したときの詳しい情報は次のとおりです。")
          .arg(FromUtf8(options_.program)));
  message->setObjectName("LabelMessage");
  header->addWidget(message, 1);
  layout->addLayout(header);

  auto* tabs = new QTabWidget;
  tabs->setObjectName("TabPages");
  const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  for (const ReportPage& page : report_.pages) {
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
  if (logSaved) status_->setText("ログを保存しました: " + LogPath(logStem_, ".txt"));
  layout->addWidget(status_);

  auto* row = new QHBoxLayout;
  layout->addLayout(row);
  const auto add = [&](const QString& caption, const char* name, bool shown, auto slot) {
    QPushButton* button = AddButton(caption, name, shown);
    row->addWidget(button);
    connect(button, &QPushButton::clicked, this, slot);
  };
  add("レポートをコピー(&C)", "ButtonCopy", options_.copy, &CrashDialog::CopyReport);
  add("スクリーンショットを添付(&A)", "ButtonScreenshot", options_.screenshot,
      &CrashDialog::AttachScreenshot);
  add("ログを保存(&L)", "ButtonLog", options_.log, &CrashDialog::SaveLog);
  add("送信(&S)", "ButtonSend", options_.send && !options_.mail.empty(), &CrashDialog::SendReport);
  add("再起動(&R)", "ButtonRestart", options_.restart && !report_.executable.empty(),
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
    // tab bar's scroll buttons.
    if (caption == QStringLiteral("?")) {
      QStringList texts;
      for (const QPushButton* button : buttons_)
        texts << button->text();
      if (auto* page = findChild<QPlainTextEdit*>()) {
        const std::unique_ptr<QMenu> menu(page->createStandardContextMenu());
        for (const QAction* action : menu->actions())
          if (!action->isSeparator()) texts << action->text();
      }
      for (const QToolButton* scroll : findChild<QTabWidget*>()->findChildren<QToolButton*>())
        texts << scroll->accessibleName();
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
  QApplication::clipboard()->setText(FromUtf8(report_.Text()));
  status_->setText("レポートをクリップボードにコピーしました。");
}

void CrashDialog::AttachScreenshot() {
  if (screenshot_.isNull()) {
    status_->setText("この画面環境ではスクリーンショットを取得できません。");
    return;
  }
  screenshotAttached_ = true;
  findChild<QPushButton*>("ButtonScreenshot")->setEnabled(false);
  status_->setText("スクリーンショットを添付しました。ログを保存するとともに保存されます。");
}

void CrashDialog::SaveLog() {
  std::string text = report_.Text();
  if (screenshotAttached_) {
    std::error_code error;
    std::filesystem::create_directories(logStem_.parent_path(), error);
    const QString image = LogPath(logStem_, ".png");
    if (screenshot_.save(image, "PNG")) text += "スクリーンショット: " + image.toStdString() + "\n";
  }
  const QString path = LogPath(logStem_, ".txt");
  if (WriteLogFile(path.toStdString(), text)) {
    status_->setText("ログを保存しました: " + path);
  } else {
    status_->setText("ログを保存できません: " + path);
  }
}

void CrashDialog::SendReport() {
  QString body = FromUtf8(report_.Text());
  if (body.size() > MaxMailBody) body = body.left(MaxMailBody) + "\n(以下省略)\n";
  const QByteArray subject = QUrl::toPercentEncoding(FromUtf8(options_.program) + " のエラー報告");
  const QUrl mail =
      QUrl::fromEncoded("mailto:" + QUrl::toPercentEncoding(FromUtf8(options_.mail), "@") +
                        "?subject=" + subject + "&body=" + QUrl::toPercentEncoding(body));
  if (QDesktopServices::openUrl(mail)) {
    status_->setText("メールの作成画面を開きました。");
  } else {
    status_->setText("メールの作成画面を開けません。");
  }
}

void CrashDialog::Restart() {
  QStringList arguments;
  for (std::size_t i = 1; i < report_.arguments.size(); ++i)
    arguments << FromUtf8(report_.arguments[i]);
  if (QProcess::startDetached(QString::fromStdString(report_.executable), arguments,
                              QString::fromStdString(report_.workingDirectory))) {
    accept();
  } else {
    status_->setText("プログラムを起動できません。");
  }
}

}  // namespace norvalis::crash
