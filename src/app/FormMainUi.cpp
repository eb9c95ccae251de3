#include "app/FormMainUi.h"

#include <algorithm>
#include <vector>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QResizeEvent>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include "app/Images.h"

namespace norvalis {

namespace {

const QString TaskColumnDiffers = QStringLiteral("セルの値が異なる列を調べる");
const QString TaskRules = QStringLiteral("規則に合わない値を調べる");
const QString TaskCharacters = QStringLiteral("文字の問題を調べる");

constexpr int DesignFontPixels = 11;
constexpr int PanelHeight = 40;
constexpr int ToolBarHeight = 29;
constexpr int ProgressBarHeight = 17;
constexpr int StatusBarHeight = 19;

// A panel whose children keep their design places, some stretching with its width or
// keeping to its right edge.
class AnchoredPanel : public QWidget {
 public:
  enum class Anchor { Left, Stretch, Right };

  AnchoredPanel(int designWidth, QWidget* parent) : QWidget(parent), designWidth_(designWidth) {}

  void Place(QWidget* child, QRect designRect, Anchor anchor) {
    child->setParent(this);
    places_.push_back({child, designRect, anchor});
    LayOut();
  }

 protected:
  void resizeEvent(QResizeEvent* event) override {
    QWidget::resizeEvent(event);
    LayOut();
  }

 private:
  struct Placed {
    QWidget* widget;
    QRect rect;
    Anchor anchor;
  };

  void LayOut() {
    const int dx = width() - designWidth_;
    for (const Placed& p : places_) {
      QRect r = p.rect;
      if (p.anchor == Anchor::Stretch) r.setWidth(std::max(0, r.width() + dx));
      if (p.anchor == Anchor::Right) r.moveLeft(r.left() + dx);
      p.widget->setGeometry(r);
    }
  }

  int designWidth_;
  std::vector<Placed> places_;
};

QToolButton* NamedToolButton(QToolBar* toolBar, QAction* action, const char* name) {
  auto* button = qobject_cast<QToolButton*>(toolBar->widgetForAction(action));
  button->setObjectName(QString::fromLatin1(name));
  button->setAccessibleName(StripMnemonic(action->text()));
  return button;
}

}  // namespace

QAction* MakeAction(QMainWindow* window, const char* name, const QString& category,
                    const QString& caption, QKeySequence shortcut, int imageIndex) {
  auto* action = new QAction(caption, window);
  action->setObjectName(QString::fromLatin1(name));
  action->setProperty("category", category);
  action->setProperty("imageIndex", imageIndex);
  action->setShortcut(shortcut);
  // The hint the status bar shows while the pointer rests on the command.
  action->setStatusTip(StripMnemonic(caption));
  action->setToolTip(StripMnemonic(caption));
  if (imageIndex >= 0) action->setIcon(ImageIcon(static_cast<ImageIndex>(imageIndex)));
  window->addAction(action);
  return action;
}

QString StripMnemonic(const QString& caption) {
  QString text = caption;
  // Japanese captions carry the mnemonic as "(&X)" after the words.
  if (text.size() >= 4 && text.endsWith(QLatin1Char(')')) &&
      text.at(text.size() - 4) == QLatin1Char('(') &&
      text.at(text.size() - 3) == QLatin1Char('&')) {
    text.chop(4);
  }
  QString result;
  for (qsizetype i = 0; i < text.size(); ++i) {
    if (text.at(i) == QLatin1Char('&')) {
      if (i + 1 < text.size() && text.at(i + 1) == QLatin1Char('&')) result += QLatin1Char('&');
      ++i;
      if (i < text.size() && text.at(i) != QLatin1Char('&')) result += text.at(i);
      continue;
    }
    result += text.at(i);
  }
  return result;
}

void TFormMainUi::SetupUi(QMainWindow* window) {
  window->setObjectName(QStringLiteral("FormMain"));
  // The design's font height: the file row's places and the task box's width fit it.
  QFont designFont = window->font();
  designFont.setPixelSize(DesignFontPixels);
  window->setFont(designFont);
  CreateActions(window);
  CreateMenus(window);
  CreateToolBar(window);
  CreateClientArea(window);

  StatusBar1 = new QStatusBar(window);
  StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
  StatusBar1->setFixedHeight(StatusBarHeight);
  StatusBar1->setSizeGripEnabled(true);
  window->setStatusBar(StatusBar1);
  // The status text lives in the bar's own label: the hints of menus and buttons are the bar's
  // temporary messages, shown over it and cleared without touching it.
  StatusLabel = new QLabel(StatusBar1);
  StatusLabel->setObjectName(QStringLiteral("StatusLabel"));
  StatusLabel->setTextFormat(Qt::PlainText);
  // A long text is cut rather than pushing the encoding and the size out of the bar.
  StatusLabel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  StatusBar1->addWidget(StatusLabel, 1);
}

void TFormMainUi::PlaceGrid(QWidget* grid) {
  static_cast<QVBoxLayout*>(ClientArea->layout())->insertWidget(1, grid, 1);
}

void TFormMainUi::CreateActions(QMainWindow* window) {
  const QString file = QStringLiteral("ファイル");
  const QString csv = QStringLiteral("CSVファイル");
  const QString config = QStringLiteral("設定");
  const QString help = QStringLiteral("ヘルプ");
  ActionFileNew = MakeAction(window, "ActionFileNew", file, QStringLiteral("新規作成(&N)"),
                             QKeySequence(Qt::CTRL | Qt::Key_N), 0);
  ActionFileOpen = MakeAction(window, "ActionFileOpen", file, QStringLiteral("開く(&O)"),
                              QKeySequence(Qt::CTRL | Qt::Key_O), 1);
  ActionFileSave = MakeAction(window, "ActionFileSave", file, QStringLiteral("上書き保存(&S)"),
                              QKeySequence(Qt::CTRL | Qt::Key_S), 2);
  ActionFileSaveAs = MakeAction(window, "ActionFileSaveAs", file,
                                QStringLiteral("名前をつけて保存(&A)"), QKeySequence(), -1);
  ActionFileClose =
      MakeAction(window, "ActionFileClose", file, QStringLiteral("閉じる(&X)"), QKeySequence(), -1);
  ActionCsvReffer =
      MakeAction(window, "ActionCsvReffer", csv, QStringLiteral("参照(&R)"), QKeySequence(), 3);
  ActionCsvCheck = MakeAction(window, "ActionCsvCheck", csv, QStringLiteral("チェック開始"),
                              QKeySequence(Qt::Key_F5), 4);
  ActionConfigGeneral = MakeAction(window, "ActionConfigGeneral", config,
                                   QStringLiteral("全般設定"), QKeySequence(), -1);
  ActionHelpHelp =
      MakeAction(window, "ActionHelpHelp", help, QStringLiteral("ヘルプ(&H)"), QKeySequence(), -1);
  ActionHelpVersion = MakeAction(window, "ActionHelpVersion", help,
                                 QStringLiteral("バージョン情報"), QKeySequence(), -1);
}

void TFormMainUi::CreateMenus(QMainWindow* window) {
  QMenuBar* bar = window->menuBar();
  bar->setObjectName(QStringLiteral("MainMenu1"));

  MenuFile = bar->addMenu(QStringLiteral("ファイル(&F)"));
  MenuFile->setObjectName(QStringLiteral("MenuFile"));
  MenuFile->addAction(ActionFileNew);
  MenuFile->addAction(ActionFileOpen);
  MenuFile->addAction(ActionFileSave);
  MenuFile->addAction(ActionFileSaveAs);
  MenuFileReOpen = MenuFile->addMenu(QStringLiteral("開き直す(&R)"));
  MenuFileReOpen->setObjectName(QStringLiteral("MenuFileReOpen"));
  MenuFile->addSeparator();
  MenuFile->addAction(ActionFileClose);

  MenuCsv = bar->addMenu(QStringLiteral("CSVファイル(&S)"));
  MenuCsv->setObjectName(QStringLiteral("MenuCsv"));
  MenuCsv->addAction(ActionCsvCheck);
  MenuCsv->addAction(ActionCsvReffer);

  MenuConfig = bar->addMenu(QStringLiteral("設定(&C)"));
  MenuConfig->setObjectName(QStringLiteral("MenuConfig"));
  MenuConfig->addAction(ActionConfigGeneral);

  MenuHelp = bar->addMenu(QStringLiteral("ヘルプ(&H)"));
  MenuHelp->setObjectName(QStringLiteral("MenuHelp"));
  MenuHelp->addAction(ActionHelpHelp);
  MenuHelp->addAction(ActionHelpVersion);
}

void TFormMainUi::CreateToolBar(QMainWindow* window) {
  ToolBar1 = new QToolBar(QStringLiteral("ツールバー"), window);
  ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
  ToolBar1->setAccessibleName(QStringLiteral("ツールバー"));
  ToolBar1->setMovable(false);
  ToolBar1->setFloatable(false);
  ToolBar1->setIconSize(QSize(ImageSize, ImageSize));
  ToolBar1->setFixedHeight(ToolBarHeight);
  ToolBar1->setContextMenuPolicy(Qt::PreventContextMenu);
  window->addToolBar(Qt::TopToolBarArea, ToolBar1);

  ToolBar1->addAction(ActionFileNew);
  ToolBar1->addAction(ActionFileOpen);
  ToolBar1->addAction(ActionFileSave);
  QAction* separator = ToolBar1->addSeparator();
  ToolBar1->addAction(ActionCsvCheck);
  ToolButton1 = NamedToolButton(ToolBar1, ActionFileNew, "ToolButton1");
  ToolButton2 = NamedToolButton(ToolBar1, ActionFileOpen, "ToolButton2");
  ToolButton3 = NamedToolButton(ToolBar1, ActionFileSave, "ToolButton3");
  ToolButton4 = ToolBar1->widgetForAction(separator);
  ToolButton4->setObjectName(QStringLiteral("ToolButton4"));
  ToolButton4->setFixedWidth(8);
  ToolButton5 = NamedToolButton(ToolBar1, ActionCsvCheck, "ToolButton5");

  ComboBoxTask = new QComboBox(ToolBar1);
  ComboBoxTask->setObjectName(QStringLiteral("ComboBoxTask"));
  ComboBoxTask->setAccessibleName(QStringLiteral("タスク"));
  // In the order of TFormMainUi::Task.
  ComboBoxTask->addItem(TaskColumnDiffers);
  ComboBoxTask->addItem(TaskRules);
  ComboBoxTask->addItem(TaskCharacters);
  ComboBoxTask->setCurrentIndex(0);
  // 173 pixels, wider only where the system's font would cut the longest task's name.
  ComboBoxTask->setFixedWidth(std::max(173, ComboBoxTask->sizeHint().width()));
  ToolBar1->addWidget(ComboBoxTask);
}

void TFormMainUi::CreateClientArea(QMainWindow* window) {
  auto* client = new QWidget(window);
  ClientArea = client;
  client->setObjectName(QStringLiteral("ClientArea"));
  auto* layout = new QVBoxLayout(client);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  window->setCentralWidget(client);

  auto* panel = new AnchoredPanel(DesignClientWidth, client);
  Panel1 = panel;
  Panel1->setObjectName(QStringLiteral("Panel1"));
  Panel1->setFixedHeight(PanelHeight);
  layout->addWidget(Panel1);

  EditFilename = new QLineEdit;
  EditFilename->setObjectName(QStringLiteral("EditFilename"));
  const QString label = QStringLiteral("CSVファイル");
  EditFilename->setAccessibleName(label);
  panel->Place(EditFilename, QRect(72, 0, 329, 21), AnchoredPanel::Anchor::Stretch);

  // The edit's label sits on its left, 3 pixels apart, centred on it.
  EditFilenameLabel = new QLabel(label);
  EditFilenameLabel->setObjectName(QStringLiteral("EditFilenameLabel"));
  EditFilenameLabel->setBuddy(EditFilename);
  EditFilenameLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  const int labelWidth = std::min(69, EditFilenameLabel->sizeHint().width());
  panel->Place(EditFilenameLabel, QRect(69 - labelWidth, 0, labelWidth, 21),
               AnchoredPanel::Anchor::Left);

  SpeedButton1 = new QToolButton;
  SpeedButton1->setObjectName(QStringLiteral("SpeedButton1"));
  SpeedButton1->setDefaultAction(ActionCsvReffer);
  SpeedButton1->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
  SpeedButton1->setAccessibleName(StripMnemonic(ActionCsvReffer->text()));
  // A tool button shows "(R)" but takes no mnemonic of its own.
  SpeedButton1->setShortcut(QKeySequence::mnemonic(ActionCsvReffer->text()));
  panel->Place(SpeedButton1, QRect(400, 0, 71, 22), AnchoredPanel::Anchor::Right);

  CheckBoxFirstLineIsTitle = new QCheckBox(QStringLiteral("先頭行は列名(&F)"));
  CheckBoxFirstLineIsTitle->setObjectName(QStringLiteral("CheckBoxFirstLineIsTitle"));
  CheckBoxFirstLineIsTitle->setAccessibleName(StripMnemonic(CheckBoxFirstLineIsTitle->text()));
  panel->Place(CheckBoxFirstLineIsTitle, QRect(72, 23, 377, 17), AnchoredPanel::Anchor::Left);

  ProgressBar1 = new QProgressBar(client);
  ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
  ProgressBar1->setAccessibleName(QStringLiteral("進行状況"));
  ProgressBar1->setFixedHeight(ProgressBarHeight);
  ProgressBar1->setTextVisible(false);
  ProgressBar1->hide();
  layout->addWidget(ProgressBar1);
}

}  // namespace norvalis
