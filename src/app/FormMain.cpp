#include "app/FormMain.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <utility>

#include <QAction>
#include <QActionGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPointer>
#include <QProgressBar>
#include <QRegularExpression>
#include <QScreen>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

#include "app/AllColumnsWindow.h"
#include "app/Application.h"
#include "app/FindBar.h"
#include "app/FormAboutBox.h"
#include "app/FormConfigGeneral.h"
#include "app/Images.h"
#include "csv/ColumnCheck.h"
#include "text/Encodings.h"
#include "text/Exception.h"

namespace norvalis {

namespace {

const QString CsvFilter = QStringLiteral("CSVファイル(*.CSV)|*.CSV|すべてのファイル(*.*)|*.*");
const QString ProjectFilter =
    QStringLiteral("Norvalisプロジェクトファイル(*.NVS)|*.NVS|すべてのファイル(*.*)|*.*");
const QString TaskColumnDiffers = QStringLiteral("セルの値が異なる列を調べる");

constexpr int DesignFontPixels = 11;
constexpr int PanelHeight = 40;
constexpr int ToolBarHeight = 29;
constexpr int ProgressBarHeight = 17;
constexpr int StatusBarHeight = 19;
constexpr int ProgressSteps = 1000;

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

// Runs a command of the window. What escapes it goes to the application's exception display
// here, so it never unwinds through the toolkit's signal and button code, which does not
// expect exceptions.
template <typename Command>
void RunCommand(Command&& command) {
  try {
    command();
  } catch (...) {
    Application::ShowCurrentException();
  }
}

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

// The check's progress bar for one run: shown on the run's first yield, hidden again on every
// way out of the run.
class CheckProgress {
 public:
  explicit CheckProgress(QProgressBar* bar) : bar_(bar) {}
  ~CheckProgress() {
    if (bar_) bar_->hide();
  }
  CheckProgress(const CheckProgress&) = delete;
  CheckProgress& operator=(const CheckProgress&) = delete;

  bool Started() const { return started_; }

  // Maximum and position in rows; scaled down only beyond the bar's int range.
  void Show(std::uint64_t done, std::uint64_t total) {
    started_ = true;
    if (!bar_) return;
    const std::uint64_t scale = total / INT_MAX + 1;
    bar_->setRange(0, static_cast<int>(total / scale));
    bar_->setValue(static_cast<int>(std::min(done, total) / scale));
    bar_->show();
  }

 private:
  QPointer<QProgressBar> bar_;
  bool started_ = false;
};

// The extension from the last dot on, when that dot follows the last folder separator.
QString ExtractFileExt(const QString& path) {
  const qsizetype dot = path.lastIndexOf(QLatin1Char('.'));
  return dot > path.lastIndexOf(QLatin1Char('/')) ? path.mid(dot) : QString();
}

bool IsProjectFile(const QString& path) {
  return ExtractFileExt(path).toUpper() == QStringLiteral(".NVS");
}

bool IsCsvFile(const QString& path) {
  return ExtractFileExt(path).toUpper() == QStringLiteral(".CSV");
}

// The toolkit's Boolean conversion: a number is true when it is not zero, the words True
// and False in any case; anything else raises EConvertError.
bool StrToBool(const QString& text) {
  if (text.compare(QStringLiteral("true"), Qt::CaseInsensitive) == 0) return true;
  if (text.compare(QStringLiteral("false"), Qt::CaseInsensitive) == 0) return false;
  static const QRegularExpression number(
      QStringLiteral("^ *[+-]?([0-9]+\\.?[0-9]*|\\.[0-9]+)([eE][+-]?[0-9]+)? *$"));
  const QRegularExpressionMatch match = number.match(text);
  if (match.hasMatch()) {
    const QString mantissa = match.captured(1);
    return std::any_of(mantissa.begin(), mantissa.end(),
                       [](QChar c) { return c >= QLatin1Char('1') && c <= QLatin1Char('9'); });
  }
  throw EConvertError(
      Format(u"'%s' は正しい論理型ではありません", {std::u16string_view(text.toStdU16String())}));
}

// The toolkit's integer conversion with a default: leading blanks, a sign, decimal digits or
// hexadecimal after "$" or "0x"; the default for anything else or beyond 32 bits.
int StrToIntDef(const QString& text, int defaultValue) {
  qsizetype i = 0;
  while (i < text.size() && text.at(i) == QLatin1Char(' '))
    ++i;
  bool negative = false;
  if (i < text.size() && (text.at(i) == QLatin1Char('+') || text.at(i) == QLatin1Char('-'))) {
    negative = text.at(i) == QLatin1Char('-');
    ++i;
  }
  int base = 10;
  if (i < text.size() && text.at(i) == QLatin1Char('$')) {
    base = 16;
    ++i;
  } else if (text.mid(i, 2).compare(QStringLiteral("0x"), Qt::CaseInsensitive) == 0) {
    base = 16;
    i += 2;
  }
  const QStringView digits = QStringView(text).mid(i);
  if (digits.isEmpty()) return defaultValue;
  long long value = 0;
  for (const QChar c : digits) {
    const char16_t u = c.unicode();
    int digit = base;  // not a digit
    if (u >= u'0' && u <= u'9') digit = u - u'0';
    if (u >= u'a' && u <= u'f') digit = u - u'a' + 10;
    if (u >= u'A' && u <= u'F') digit = u - u'A' + 10;
    if (digit >= base) return defaultValue;
    value = value * base + digit;
    if (value > static_cast<long long>(INT_MAX) + 1) return defaultValue;
  }
  if (negative) value = -value;
  if (value > INT_MAX) return defaultValue;
  return static_cast<int>(value);
}

QToolButton* NamedToolButton(QToolBar* toolBar, QAction* action, const char* name) {
  auto* button = qobject_cast<QToolButton*>(toolBar->widgetForAction(action));
  button->setObjectName(QString::fromLatin1(name));
  button->setAccessibleName(StripMnemonic(action->text()));
  return button;
}

}  // namespace

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

TFormMain::TFormMain(QWidget* parent)
    : QMainWindow(parent),
      OpenDialogCsv(TFileDialog::Kind::Open, CsvFilter, QStringLiteral("CSV")),
      OpenDialogProject(TFileDialog::Kind::Open, ProjectFilter, QStringLiteral("NVS")),
      SaveDialogProject(TFileDialog::Kind::Save, ProjectFilter, QStringLiteral("NVS"), true) {
  setObjectName(QStringLiteral("FormMain"));
  setWindowTitle(Application::Title);
  // The design's font height: the file row's places and the task box's width fit it.
  QFont designFont = font();
  designFont.setPixelSize(DesignFontPixels);
  setFont(designFont);
  CreateActions();
  CreateToolActions();
  CreateMenus();
  CreateToolMenus();
  CreateToolBar();
  CreateClientArea();

  StatusBar1 = new QStatusBar(this);
  StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
  StatusBar1->setFixedHeight(StatusBarHeight);
  StatusBar1->setSizeGripEnabled(true);
  setStatusBar(StatusBar1);
  // The status text lives in the bar's own label: the hints of menus and buttons are the bar's
  // temporary messages, shown over it and cleared without touching it.
  statusLabel_ = new QLabel(StatusBar1);
  statusLabel_->setObjectName(QStringLiteral("StatusLabel"));
  statusLabel_->setTextFormat(Qt::PlainText);
  StatusBar1->addWidget(statusLabel_, 1);

  // The application's help file belongs to the executable.
  if (Application* app = Application::Instance()) app->SetHelpFile(DefaultHelpFile());

  // The grid, owned by the window, fills the client area between the bars.
  Grid = new TGridCsv(this);
  Grid->setObjectName(QStringLiteral("Grid"));
  if (Grid->accessibleName().isEmpty()) Grid->setAccessibleName(QStringLiteral("CSVデータ"));
  static_cast<QVBoxLayout*>(centralWidget()->layout())->insertWidget(1, Grid, 1);
  connect(Grid, &TGridCsv::loadStarted, this, &TFormMain::OnLoadStarted);
  connect(Grid, &TGridCsv::loadProgress, this, &TFormMain::OnLoadProgress);
  connect(Grid, &TGridCsv::loadFinished, this, &TFormMain::OnLoadFinished);
  CreateToolWidgets();

  progressTimer_.setSingleShot(true);
  connect(&progressTimer_, &QTimer::timeout, this, &TFormMain::ShowLoadProgress);

  resize(DesignClientWidth, DesignClientHeight + menuBar()->sizeHint().height());
  // A .csv or a .NVS dropped from the file manager opens as the browse button or Open would.
  setAcceptDrops(true);

  // An empty untitled project, then the user's settings; the window's bounds, the command
  // line and the last project wait until the window is shown (StartupIdle).
  ActionFileNewExecute();
  Config.Load(GetSettingsFilePath());
}

TFormMain::~TFormMain() = default;

void TFormMain::CreateActions() {
  const QString file = QStringLiteral("ファイル");
  const QString csv = QStringLiteral("CSVファイル");
  const QString config = QStringLiteral("設定");
  const QString help = QStringLiteral("ヘルプ");
  ActionFileNew = MakeAction(this, "ActionFileNew", file, QStringLiteral("新規作成(&N)"),
                             QKeySequence(Qt::CTRL | Qt::Key_N), 0);
  ActionFileOpen = MakeAction(this, "ActionFileOpen", file, QStringLiteral("開く(&O)"),
                              QKeySequence(Qt::CTRL | Qt::Key_O), 1);
  ActionFileSave = MakeAction(this, "ActionFileSave", file, QStringLiteral("上書き保存(&S)"),
                              QKeySequence(Qt::CTRL | Qt::Key_S), 2);
  ActionFileSaveAs = MakeAction(this, "ActionFileSaveAs", file,
                                QStringLiteral("名前をつけて保存(&A)"), QKeySequence(), -1);
  ActionFileClose =
      MakeAction(this, "ActionFileClose", file, QStringLiteral("閉じる(&X)"), QKeySequence(), -1);
  ActionCsvReffer =
      MakeAction(this, "ActionCsvReffer", csv, QStringLiteral("参照(&R)"), QKeySequence(), 3);
  ActionCsvCheck = MakeAction(this, "ActionCsvCheck", csv, QStringLiteral("チェック開始"),
                              QKeySequence(Qt::Key_F5), 4);
  ActionConfigGeneral = MakeAction(this, "ActionConfigGeneral", config, QStringLiteral("全般設定"),
                                   QKeySequence(), -1);
  ActionHelpHelp =
      MakeAction(this, "ActionHelpHelp", help, QStringLiteral("ヘルプ(&H)"), QKeySequence(), -1);
  ActionHelpVersion = MakeAction(this, "ActionHelpVersion", help, QStringLiteral("バージョン情報"),
                                 QKeySequence(), -1);

  const std::pair<QAction*, void (TFormMain::*)()> handlers[] = {
      {ActionFileNew, &TFormMain::ActionFileNewExecute},
      {ActionFileOpen, &TFormMain::ActionFileOpenExecute},
      {ActionFileSave, &TFormMain::ActionFileSaveExecute},
      {ActionFileSaveAs, &TFormMain::ActionFileSaveAsExecute},
      {ActionFileClose, &TFormMain::ActionFileCloseExecute},
      {ActionCsvReffer, &TFormMain::ActionCsvRefferExecute},
      {ActionCsvCheck, &TFormMain::ActionCsvCheckExecute},
      {ActionConfigGeneral, &TFormMain::ActionConfigGeneralExecute},
      {ActionHelpHelp, &TFormMain::ActionHelpHelpExecute},
      {ActionHelpVersion, &TFormMain::ActionHelpVersionExecute},
  };
  for (const auto& [action, handler] : handlers) {
    connect(action, &QAction::triggered, this,
            [this, handler = handler] { RunCommand([&] { (this->*handler)(); }); });
  }
}

void TFormMain::CreateToolActions() {
  const QString csv = QStringLiteral("CSVファイル");
  const QString edit = QStringLiteral("編集");
  ActionCsvCheckAll =
      MakeAction(this, "ActionCsvCheckAll", csv, QStringLiteral("すべての列を調べる"),
                 QKeySequence(Qt::SHIFT | Qt::Key_F5), -1);
  ActionEditCopyCell = MakeAction(this, "ActionEditCopyCell", edit, QStringLiteral("セルをコピー"),
                                  QKeySequence(Qt::CTRL | Qt::Key_C), -1);
  ActionEditCopyRow = MakeAction(this, "ActionEditCopyRow", edit, QStringLiteral("行をコピー"),
                                 QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_C), -1);
  ActionEditFind = MakeAction(this, "ActionEditFind", edit, QStringLiteral("検索…"),
                              QKeySequence(Qt::CTRL | Qt::Key_F), -1);
  ActionEditFindNext = MakeAction(this, "ActionEditFindNext", edit, QStringLiteral("次を検索"),
                                  QKeySequence(Qt::Key_F3), -1);
  ActionEditFindPrevious =
      MakeAction(this, "ActionEditFindPrevious", edit, QStringLiteral("前を検索"),
                 QKeySequence(Qt::SHIFT | Qt::Key_F3), -1);
  ActionEditGoToRow = MakeAction(this, "ActionEditGoToRow", edit, QStringLiteral("行へ移動…"),
                                 QKeySequence(Qt::CTRL | Qt::Key_G), -1);
  ActionEditGoToDifference =
      MakeAction(this, "ActionEditGoToDifference", edit, QStringLiteral("差異のあるセルへ移動"),
                 QKeySequence(Qt::CTRL | Qt::Key_J), -1);
  // The menu shows the key beside the command.
  ActionHelpHelp->setShortcut(QKeySequence(Qt::Key_F1));

  const std::pair<QAction*, void (TFormMain::*)()> handlers[] = {
      {ActionCsvCheckAll, &TFormMain::ActionCsvCheckAllExecute},
      {ActionEditCopyCell, &TFormMain::ActionEditCopyCellExecute},
      {ActionEditCopyRow, &TFormMain::ActionEditCopyRowExecute},
      {ActionEditFind, &TFormMain::ActionEditFindExecute},
      {ActionEditFindNext, &TFormMain::ActionEditFindNextExecute},
      {ActionEditFindPrevious, &TFormMain::ActionEditFindPreviousExecute},
      {ActionEditGoToRow, &TFormMain::ActionEditGoToRowExecute},
      {ActionEditGoToDifference, &TFormMain::ActionEditGoToDifferenceExecute},
  };
  for (const auto& [action, handler] : handlers) {
    connect(action, &QAction::triggered, this,
            [this, handler = handler] { RunCommand([&] { (this->*handler)(); }); });
  }
}

void TFormMain::CreateToolMenus() {
  MenuCsv->insertAction(ActionCsvReffer, ActionCsvCheckAll);
  MenuCsv->addSeparator();
  MenuCsvEncoding = MenuCsv->addMenu(QStringLiteral("文字コードを指定して開き直す(&E)"));
  MenuCsvEncoding->setObjectName(QStringLiteral("MenuCsvEncoding"));
  EncodingGroup = new QActionGroup(this);
  EncodingGroup->setExclusive(true);
  const auto addEncoding = [this](const QString& caption, std::uint16_t codePage) {
    QAction* action = MenuCsvEncoding->addAction(caption);
    action->setObjectName(QStringLiteral("ActionCsvEncoding%1").arg(codePage));
    action->setCheckable(true);
    action->setChecked(codePage == CsvCodePage);
    action->setData(codePage);
    EncodingGroup->addAction(action);
    connect(action, &QAction::triggered, this,
            [this, codePage] { RunCommand([&] { ReopenWithCodePage(codePage); }); });
  };
  addEncoding(QStringLiteral("自動判定"), 0);
  MenuCsvEncoding->addSeparator();
  for (const Encodings::Choice& choice : Encodings::Choices())
    addEncoding(QString::fromStdU16String(UnicodeString(choice.name)), choice.codePage);

  MenuEdit = new QMenu(QStringLiteral("編集(&E)"), this);
  MenuEdit->setObjectName(QStringLiteral("MenuEdit"));
  menuBar()->insertMenu(MenuConfig->menuAction(), MenuEdit);
  MenuEdit->addAction(ActionEditCopyCell);
  MenuEdit->addAction(ActionEditCopyRow);
  MenuEdit->addSeparator();
  MenuEdit->addAction(ActionEditFind);
  MenuEdit->addAction(ActionEditFindNext);
  MenuEdit->addAction(ActionEditFindPrevious);
  MenuEdit->addSeparator();
  MenuEdit->addAction(ActionEditGoToRow);
  MenuEdit->addAction(ActionEditGoToDifference);
}

void TFormMain::CreateToolWidgets() {
  LabelEncoding = new QLabel(StatusBar1);
  LabelEncoding->setObjectName(QStringLiteral("LabelEncoding"));
  LabelEncoding->setAccessibleName(QStringLiteral("文字コード"));
  LabelTableSize = new QLabel(StatusBar1);
  LabelTableSize->setObjectName(QStringLiteral("LabelTableSize"));
  LabelTableSize->setAccessibleName(QStringLiteral("表の大きさ"));
  StatusBar1->addPermanentWidget(LabelEncoding);
  StatusBar1->addPermanentWidget(LabelTableSize);

  FindBar = new TFindBar(centralWidget());
  // Below the grid, above the progress bar.
  static_cast<QVBoxLayout*>(centralWidget()->layout())->insertWidget(2, FindBar);
  connect(FindBar, &TFindBar::findRequested, this,
          [this](bool forward) { RunCommand([&] { FindCell(forward); }); });
  connect(FindBar, &TFindBar::closed, Grid, [this] { Grid->setFocus(); });

  Grid->setContextMenuPolicy(Qt::ActionsContextMenu);
  Grid->addAction(ActionEditCopyCell);
  Grid->addAction(ActionEditCopyRow);
  Grid->SetEmptyHint(QStringLiteral("CSVファイルは「参照」で開くか、ここにドロップしてください。"));
  connect(Grid, &TGridCsv::tableChanged, this, &TFormMain::UpdateTableStatus);

  // Typing alone loads nothing; Enter opens the file named there.
  connect(EditFilename, &QLineEdit::returnPressed, this, [this] {
    RunCommand([this] {
      CsvCodePage = 0;
      OpenCsvFile(EditFilename->text().toStdU16String());
    });
  });
}

void TFormMain::CreateMenus() {
  QMenuBar* bar = menuBar();
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
  connect(MenuFile, &QMenu::aboutToShow, this, &TFormMain::MenuFileClick);

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

void TFormMain::CreateToolBar() {
  ToolBar1 = new QToolBar(QStringLiteral("ツールバー"), this);
  ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
  ToolBar1->setAccessibleName(QStringLiteral("ツールバー"));
  ToolBar1->setMovable(false);
  ToolBar1->setFloatable(false);
  ToolBar1->setIconSize(QSize(ImageSize, ImageSize));
  ToolBar1->setFixedHeight(ToolBarHeight);
  ToolBar1->setContextMenuPolicy(Qt::PreventContextMenu);
  addToolBar(Qt::TopToolBarArea, ToolBar1);

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
  ComboBoxTask->addItem(TaskColumnDiffers);
  ComboBoxTask->setCurrentIndex(0);
  ComboBoxTask->setFixedWidth(173);
  ToolBar1->addWidget(ComboBoxTask);
}

void TFormMain::CreateClientArea() {
  auto* client = new QWidget(this);
  client->setObjectName(QStringLiteral("ClientArea"));
  auto* layout = new QVBoxLayout(client);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  setCentralWidget(client);

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
  panel->Place(SpeedButton1, QRect(400, 0, 71, 22), AnchoredPanel::Anchor::Right);

  CheckBoxFirstLineIsTitle = new QCheckBox(QStringLiteral("先頭行は列名(&F)"));
  CheckBoxFirstLineIsTitle->setObjectName(QStringLiteral("CheckBoxFirstLineIsTitle"));
  CheckBoxFirstLineIsTitle->setAccessibleName(StripMnemonic(CheckBoxFirstLineIsTitle->text()));
  CheckBoxFirstLineIsTitle->installEventFilter(this);
  panel->Place(CheckBoxFirstLineIsTitle, QRect(72, 23, 377, 17), AnchoredPanel::Anchor::Left);
  // Clicks by the user only; a program that sets the box calls the handler itself.
  connect(CheckBoxFirstLineIsTitle, &QCheckBox::clicked, this,
          [this] { RunCommand([this] { CheckBoxFirstLineIsTitleClick(); }); });

  ProgressBar1 = new QProgressBar(client);
  ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
  ProgressBar1->setAccessibleName(QStringLiteral("進行状況"));
  ProgressBar1->setFixedHeight(ProgressBarHeight);
  ProgressBar1->setTextVisible(false);
  ProgressBar1->hide();
  layout->addWidget(ProgressBar1);
}

void TFormMain::OpenCsvFile(const UnicodeString& fileName) {
  TCursorHourGlass cursor;
  const std::uint64_t request = ++openRequest_;
  const QString name = QString::fromStdU16String(fileName);
  EditFilename->setText(name);
  if (name.isEmpty()) {
    Grid->Clear();
    return;
  }
  if (QFileInfo(name).isFile()) {
    SetStatusText(LoadingText);
    // The grid lets events run while it loads; another open may come and go meanwhile.
    Grid->LoadFromFile(fileName, CsvCodePage);
    if (request == openRequest_ && !Grid->IsLoading()) SetStatusText(LoadedText);
    return;
  }
  Grid->Clear();
  Dialogs::Current().Warning(this, NotFoundText + QLatin1Char('\n') + name);
  SetStatusText(NotFoundText + name);
}

void TFormMain::CheckBoxFirstLineIsTitleClick() {
  TCursorHourGlass cursor;
  Grid->SetFirstLineIsTitle(CheckBoxFirstLineIsTitle->isChecked());
}

QString TFormMain::StatusText() const {
  return statusLabel_->text();
}

void TFormMain::SetStatusText(const QString& text) {
  statusLabel_->setText(text);
  // Screen readers read a status bar by its name.
  StatusBar1->setAccessibleName(text);
}

// The title box and the File menu share Alt+F; the menu wins, as in any desktop program
// (left alone, Qt would only move the focus to the box).
bool TFormMain::eventFilter(QObject* watched, QEvent* event) {
  if (watched == CheckBoxFirstLineIsTitle && event->type() == QEvent::Shortcut) {
    menuBar()->setActiveAction(MenuFile->menuAction());
    return true;
  }
  return QMainWindow::eventFilter(watched, event);
}

void TFormMain::ActionCsvCheckExecute() {
  TCursorHourGlass cursor;
  const bool title = CheckBoxFirstLineIsTitle->isChecked();
  const int column = Grid->Col() - 1;
  CheckProgress progress(ProgressBar1);
  // The check's first yield comes just before its loop: the bar and "検証中..." appear then.
  YieldHook hook([&](std::uint64_t done, std::uint64_t total) {
    const bool first = !progress.Started();
    progress.Show(done, total);
    if (first) SetStatusText(CheckingText);
    QCoreApplication::processEvents();
  });
  const CheckResult result = CheckColumn(Grid->Csv, title, column, &hook);
  RememberDifference(result, column);
  if (progress.Started()) progress.Show(result.compared, result.toCompare);
  if (result.outcome != CheckResult::Outcome::AllMatch) {
    Dialogs::Current().Warning(this, QString::fromStdU16String(CheckMessageText(result)));
  }
  SetStatusText(QString::fromStdU16String(CheckStatusText(result)));
}

void TFormMain::ActionFileNewExecute() {
  Project.Clear();
  ApplyProject(Project);
  SetProjectFileName({});
}

void TFormMain::ActionFileOpenExecute() {
  if (OpenDialogProject.Execute(this)) OpenProject(OpenDialogProject.FileName.toStdU16String());
}

void TFormMain::ActionFileSaveExecute() {
  if (ProjectFileName.empty()) {
    ActionFileSaveAsExecute();
    return;
  }
  CollectProject(Project);
  Project.SaveToFile(ProjectFileName);
  SetStatusText(ProjectSavedText);
}

void TFormMain::ActionFileSaveAsExecute() {
  if (!SaveDialogProject.Execute(this)) return;
  const UnicodeString fileName = SaveDialogProject.FileName.toStdU16String();
  CollectProject(Project);
  Project.SaveToFile(fileName);
  SetProjectFileName(fileName);
  SetStatusText(ProjectSavedText);
}

void TFormMain::ApplyProject(const TProject& project) {
  // A copy: loading the CSV file lets events run, which may change the project meanwhile.
  const TProject values = project;
  CsvCodePage = values.CodePage;
  OpenCsvFile(values.FileName);
  CheckBoxFirstLineIsTitle->setChecked(values.Title);
  CheckBoxFirstLineIsTitleClick();
  // Last: loading and switching the title both make the first data column current.
  SetGridCol(static_cast<long long>(values.Col) + 1);
}

void TFormMain::CollectProject(TProject& project) {
  project.FileName = EditFilename->text().toStdU16String();
  project.Title = CheckBoxFirstLineIsTitle->isChecked();
  project.Col = Grid->Col() - 1;
  project.CodePage = CsvCodePage;
}

void TFormMain::OpenProject(const UnicodeString& fileName) {
  TCursorHourGlass cursor;
  const UnicodeString name = fileName;  // may be a history entry, which changes below
  Project.LoadFromFile(name);
  ApplyProject(Project);
  SetProjectFileName(name);
  SetStatusText(ProjectOpenedText);
}

void TFormMain::SetProjectFileName(const UnicodeString& fileName) {
  ProjectFileName = fileName;
  if (ProjectFileName.empty()) {
    setWindowTitle(Application::Title);
    return;
  }
  const QString name = QFileInfo(QString::fromStdU16String(ProjectFileName)).fileName();
  setWindowTitle(QStringLiteral("%1 - %2").arg(Application::Title, name));
  Config.AddHistory(ProjectFileName);
}

void TFormMain::SetGridCol(long long col) {
  if (col < INT_MIN || col > INT_MAX) throw EInvalidGridOperation();
  Grid->SetCol(static_cast<int>(col));
}

void TFormMain::MenuFileClick() {
  // Later, not now: the menu may open while one of these items' commands still runs.
  for (QAction* item : MenuFileReOpen->actions()) {
    MenuFileReOpen->removeAction(item);
    item->deleteLater();
  }
  for (int i = 0; i < Config.History.Count(); ++i) {
    QString path = QString::fromStdU16String(Config.History[i]);
    // An ampersand in a path is text, not a second access key.
    path.replace(QLatin1Char('&'), QStringLiteral("&&"));
    auto* item = new QAction(QLatin1Char('&') + QString::number(i) + QLatin1Char('.') + path, this);
    item->setData(i);
    connect(item, &QAction::triggered, this,
            [this, item] { RunCommand([&] { MenuFileReOpenItemClick(item); }); });
    MenuFileReOpen->addAction(item);
  }
}

void TFormMain::MenuFileReOpenItemClick(QObject* sender) {
  const auto* item = qobject_cast<QAction*>(sender);
  if (item == nullptr) return;
  bool isNumber = false;
  const int tag = item->data().toInt(&isNumber);
  if (!isNumber || tag < 0 || tag >= Config.History.Count()) return;
  const UnicodeString path = Config.History[tag];
  if (QFileInfo(QString::fromStdU16String(path)).isFile()) {
    OpenProject(path);
    return;
  }
  // A project that has gone leaves the history without a word.
  const int index = Config.History.IndexOf(path);
  if (index >= 0) Config.History.Delete(index);
}

void TFormMain::StartupIdle() {
  if (!startupPending_) return;
  startupPending_ = false;
  if (Config.WindowPositionRestore) {
    setGeometry(Config.WindowPositionLeft, Config.WindowPositionTop, Config.WindowPositionRight,
                Config.WindowPositionBottom);
    if (Config.WindowState == 1) setWindowState(Qt::WindowMinimized);
    if (Config.WindowState == 2) setWindowState(Qt::WindowMaximized);
  }
  // Also a single argument: a file manager opens a project or a CSV file with exactly one.
  if (!commandLine_.isEmpty()) {
    const QStringList arguments = commandLine_;
    for (const QString& argument : arguments)
      HandleArgument(argument);
    return;
  }
  if (Config.ProjectFileRestore &&
      QFileInfo(QString::fromStdU16String(Config.LastProjectFile)).isFile()) {
    OpenProject(Config.LastProjectFile);
  }
}

void TFormMain::HandleArgument(const QString& argument) {
  if (IsProjectFile(argument)) {
    OpenProject(argument.toStdU16String());
  } else if (argument.startsWith(QStringLiteral("-f="))) {
    OpenCsvFile(argument.mid(3).toStdU16String());
  } else if (argument.startsWith(QStringLiteral("-t="))) {
    const bool title = StrToBool(argument.mid(3));
    CheckBoxFirstLineIsTitle->setChecked(title);
    CheckBoxFirstLineIsTitleClick();
  } else if (argument.startsWith(QStringLiteral("-c="))) {
    SetGridCol(StrToIntDef(argument.mid(3), 0) + 1LL);
  } else if (!argument.isEmpty() && !argument.startsWith(QLatin1Char('-'))) {
    // "Open with" on a CSV file passes its bare path; a missing one is reported as for -f=.
    OpenCsvFile(argument.toStdU16String());
  }
}

void TFormMain::ActionConfigGeneralExecute() {
  ExecuteConfigGeneral(this, Config);
}

void TFormMain::ActionHelpVersionExecute() {
  ExecuteAboutBox(this);
}

void TFormMain::FormClose() {
  const Qt::WindowStates state = windowState();
  // The bounds of the normal window, also when it is maximized or minimized now.
  QRect bounds = normalGeometry();
  if (bounds.isNull()) bounds = geometry();
  hide();
  Config.SetWindowState(state.testFlag(Qt::WindowMinimized)   ? 1
                        : state.testFlag(Qt::WindowMaximized) ? 2
                                                              : 0);
  Config.WindowPositionLeft = bounds.x();
  Config.WindowPositionTop = bounds.y();
  Config.WindowPositionRight = bounds.width();
  Config.WindowPositionBottom = bounds.height();
  Config.LastProjectFile = ProjectFileName;
  Config.Save(GetSettingsFilePath(), [this](const UnicodeString& message) {
    Dialogs::Current().Warning(this, QString::fromStdU16String(message));
  });
}

void TFormMain::ActionFileCloseExecute() {
  close();
}

void TFormMain::ActionCsvRefferExecute() {
  if (!OpenDialogCsv.Execute(this)) return;
  CsvCodePage = 0;  // another file starts with detection again
  OpenCsvFile(OpenDialogCsv.FileName.toStdU16String());
}

void TFormMain::ActionHelpHelpExecute() {
  if (Application* app = Application::Instance()) app->HelpShowTableOfContents();
}

void TFormMain::closeEvent(QCloseEvent* event) {
  // A settings file that cannot be written is shown; the window closes all the same.
  RunCommand([this] { FormClose(); });
  event->accept();
}

void TFormMain::dragEnterEvent(QDragEnterEvent* event) {
  const QMimeData* data = event->mimeData();
  if (data == nullptr) return;
  for (const QUrl& url : data->urls()) {
    const QString path = url.toLocalFile();
    if (IsProjectFile(path) || IsCsvFile(path)) {
      event->acceptProposedAction();
      return;
    }
  }
}

void TFormMain::dropEvent(QDropEvent* event) {
  const QMimeData* data = event->mimeData();
  if (data == nullptr) return;
  QString project;
  QString csv;
  for (const QUrl& url : data->urls()) {
    const QString path = url.toLocalFile();
    if (project.isEmpty() && IsProjectFile(path)) project = path;
    if (csv.isEmpty() && IsCsvFile(path)) csv = path;
  }
  if (project.isEmpty() && csv.isEmpty()) return;
  event->acceptProposedAction();
  // After the drop has been answered, so the file manager does not wait for the load. A
  // project names its own CSV file, so it wins over any CSV file dropped with it.
  QTimer::singleShot(0, this, [this, project, csv] {
    RunCommand([&] {
      if (!project.isEmpty()) {
        OpenProject(project.toStdU16String());
      } else {
        CsvCodePage = 0;
        OpenCsvFile(csv.toStdU16String());
      }
    });
  });
}

void TFormMain::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (centred_) return;
  // The start-up work runs once the events of the first showing have been handled.
  QTimer::singleShot(0, this, [this] { RunCommand([this] { StartupIdle(); }); });
  centred_ = true;
  if (QScreen* desktop = screen()) {
    QRect frame = frameGeometry();
    frame.moveCenter(desktop->availableGeometry().center());
    move(frame.topLeft());
  }
}

void TFormMain::OnLoadStarted() {
  loading_ = true;
  SetStatusText(LoadingText);
  if (!loadCursor_) loadCursor_.emplace();
  loadClock_.start();
  loadDone_ = 0;
  loadTotal_ = 0;
  progressTimer_.start(ProgressDelay);
}

void TFormMain::OnLoadProgress(qint64 done, qint64 total) {
  if (!loading_) return;
  loadDone_ = done;
  loadTotal_ = total;
  if (!ProgressBar1->isHidden() || loadClock_.elapsed() >= ProgressDelay.count()) {
    ShowLoadProgress();
  }
}

void TFormMain::ShowLoadProgress() {
  if (!loading_) return;
  if (loadTotal_ > 0) {
    ProgressBar1->setRange(0, ProgressSteps);
    const qint64 done = std::clamp<qint64>(loadDone_, 0, loadTotal_);
    ProgressBar1->setValue(static_cast<int>(done * ProgressSteps / loadTotal_));
  } else {
    ProgressBar1->setRange(0, 0);  // nothing measured yet: a busy bar
  }
  ProgressBar1->show();
}

void TFormMain::OnLoadFinished() {
  loading_ = false;
  progressTimer_.stop();
  ProgressBar1->hide();
  ProgressBar1->reset();
  loadCursor_.reset();
  SetStatusText(LoadedText);
}

}  // namespace norvalis
