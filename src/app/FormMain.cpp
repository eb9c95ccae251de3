#include "app/FormMain.h"

#include <cstdint>
#include <utility>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
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
#include <QScreen>
#include <QStatusBar>
#include <QTimer>
#include <QUrl>

#include "app/Application.h"
#include "app/CommandLine.h"
#include "app/CursorHourGlass.h"
#include "app/EscapeCancels.h"
#include "app/FormAboutBox.h"
#include "app/FormConfigGeneral.h"
#include "app/ProgressOwner.h"
#include "grid/Document.h"
#include "grid/GridCsv.h"
#include "text/Exception.h"
#include "text/FileState.h"

namespace norvalis {

namespace {

// CSV first, as the design has it; tab-separated and text exports are CSV files by another name.
const QString CsvFilter = QStringLiteral(
    "CSVファイル(*.CSV)|*.CSV|テキストファイル(*.TXT;*.TSV)|*.TXT;*.TSV|すべてのファイル(*.*)|*.*");
const QString ProjectFilter =
    QStringLiteral("Norvalisプロジェクトファイル(*.NVS)|*.NVS|すべてのファイル(*.*)|*.*");

// A load that found nothing to read is reported as a missing file.
bool FoundNoFile(const CsvLoadResult& result) {
  return result.error == CsvLoadError::Missing || result.error == CsvLoadError::Folder;
}

}  // namespace

// What escapes a command goes to the application's exception display here, so it never
// unwinds through the toolkit's signal and button code, which does not expect exceptions.
void TFormMain::RunCommand(const std::function<void()>& command) {
  try {
    command();
  } catch (...) {
    Application::ShowCurrentException();
  }
}

TFormMain::TFormMain(QWidget* parent)
    : QMainWindow(parent),
      openDialogCsv_(TFileDialog::Kind::Open, CsvFilter, QStringLiteral("CSV")),
      openDialogProject_(TFileDialog::Kind::Open, ProjectFilter, QStringLiteral("NVS")),
      saveDialogProject_(TFileDialog::Kind::Save, ProjectFilter, QStringLiteral("NVS"), true) {
  setWindowTitle(Application::Title);
  ui_.SetupUi(this);
  CreateToolActions();
  CreateToolMenus();

  // The application's help file belongs to the executable.
  if (Application* app = Application::Instance()) app->SetHelpFile(DefaultHelpFile());

  // The document and the grid that shows it, owned by the window; the grid fills the client
  // area between the bars.
  document_ = new TDocument(this);
  document_->setObjectName(QStringLiteral("Document"));
  grid_ = new TGridCsv(this, document_);
  grid_->setObjectName(QStringLiteral("Grid"));
  ui_.PlaceGrid(grid_);
  progress_ = new TProgressOwner(ui_.ProgressBar1, document_, this);
  connect(document_, &TDocument::started, this, &TFormMain::OnStarted);
  // Another program may cut, overwrite, append to, delete or replace the file at any time.
  diskWatch_ = new QTimer(this);
  diskWatch_->setInterval(std::chrono::seconds(1));
  connect(diskWatch_, &QTimer::timeout, this,
          [this] { RunCommand([this] { CheckFileOnDisk(); }); });
  diskWatch_->start();
  connect(document_, &TDocument::finished, this, &TFormMain::OnFinished);
  connect(document_, &TDocument::ended, this, &TFormMain::OnEnded);
  connect(progress_, &TProgressOwner::checkShown, this, [this] { SetStatusText(CheckingText); });
  ConnectCommands();
  CreateToolWidgets();
  CreateViewWidgets();
  CreateFindingsActions();

  resize(DesignClientWidth, DesignClientHeight + menuBar()->sizeHint().height());
  // Below this the bars, the file row and the grid's header would lie over each other.
  setMinimumSize(minimumSizeHint().expandedTo(
      QSize(MinimumClientWidth, MinimumClientHeight + menuBar()->sizeHint().height())));
  // A .csv or a .NVS dropped from the file manager opens as the browse button or Open would.
  setAcceptDrops(true);

  // An empty untitled project, then the user's settings; the window's bounds, the command
  // line and the last project wait until the window is shown (StartupIdle).
  ActionFileNewExecute();
  session_.Config.Load(GetSettingsFilePath());
  ActionViewSpecialCharacters->setChecked(session_.Config.ShowSpecialCharacters);
}

TFormMain::~TFormMain() {
  // The grid first: it shows the document's table until it goes.
  delete grid_;
}

void TFormMain::ConnectCommands() {
  const std::pair<QAction*, void (TFormMain::*)()> handlers[] = {
      {ui_.ActionFileNew, &TFormMain::ActionFileNewExecute},
      {ui_.ActionFileOpen, &TFormMain::ActionFileOpenExecute},
      {ui_.ActionFileSave, &TFormMain::ActionFileSaveExecute},
      {ui_.ActionFileSaveAs, &TFormMain::ActionFileSaveAsExecute},
      {ui_.ActionFileClose, &TFormMain::ActionFileCloseExecute},
      {ui_.ActionCsvReffer, &TFormMain::ActionCsvRefferExecute},
      {ui_.ActionCsvCheck, &TFormMain::ActionCsvCheckExecute},
      {ui_.ActionConfigGeneral, &TFormMain::ActionConfigGeneralExecute},
      {ui_.ActionHelpHelp, &TFormMain::ActionHelpHelpExecute},
      {ui_.ActionHelpVersion, &TFormMain::ActionHelpVersionExecute},
  };
  for (const auto& [action, handler] : handlers) {
    connect(action, &QAction::triggered, this,
            [this, handler = handler] { RunCommand([&] { (this->*handler)(); }); });
  }
  connect(ui_.MenuFile, &QMenu::aboutToShow, this, &TFormMain::MenuFileClick);
  ui_.CheckBoxFirstLineIsTitle->installEventFilter(this);
  // Clicks by the user only; a program that sets the box calls the handler itself.
  connect(ui_.CheckBoxFirstLineIsTitle, &QCheckBox::clicked, this,
          [this] { RunCommand([this] { CheckBoxFirstLineIsTitleClick(); }); });
}

void TFormMain::SetProgressDelay(std::chrono::milliseconds delay) {
  progress_->Delay = delay;
}

void TFormMain::SetDiskWatchInterval(std::chrono::milliseconds interval) {
  diskWatch_->setInterval(interval);
}

void TFormMain::OpenCsvFile(const UnicodeString& fileName, std::function<void()> then) {
  const QString name = QString::fromStdU16String(fileName);
  ui_.EditFilename->setText(name);
  if (name.isEmpty()) {
    Await(document_->Clear(), {});
    if (then) then();
    return;
  }
  // The status says "読み込んでいます" as the load starts (OnStarted).
  const TDocument::Request request = document_->StartLoad(fileName, csvCodePage_);
  Await(request, [this, name, then = std::move(then)](const TDocument::Result& answer) {
    const CsvLoadResult& result = std::get<CsvLoadResult>(answer);
    if (result.error == CsvLoadError::Cancelled) {
      SetStatusText(LoadCancelledText);
      return;
    }
    if (FoundNoFile(result)) {
      // A missing file changes the status only once its box is closed.
      SetStatusText(statusBeforeLoad_);
      document_->Clear();
      Dialogs::Current().Warning(this, NotFoundText + QLatin1Char('\n') + name);
      SetStatusText(NotFoundText + name);
    } else {
      SetStatusText(LoadedText);
    }
    if (then) then();
  });
}

void TFormMain::Await(TDocument::Request request, Continuation then) {
  // Tokens grow: a request older than the awaited one (started by a handler of its start
  // signal, say) has been replaced already.
  if (request < awaited_) return;
  awaited_ = request;
  then_ = std::move(then);
}

bool TFormMain::AfterLoad(const std::function<void()>& command) {
  if (!document_->IsLoading() || !then_) return false;
  then_ = [first = std::move(then_), command](const TDocument::Result& result) {
    first(result);
    command();
  };
  return true;
}

void TFormMain::OnStarted(TDocument::Request, TDocument::Task task) {
  if (!escape_) escape_ = std::make_unique<TEscapeCancels>([this] { document_->Cancel(); });
  if (task != TDocument::Task::Load) return;
  statusBeforeLoad_ = StatusText();
  SetStatusText(LoadingText);
}

void TFormMain::OnFinished(TDocument::Request request, const TDocument::Result& result) {
  // The answer of a request the window no longer awaits goes nowhere.
  // Esc goes to the boxes of the answer again.
  escape_.reset();
  if (request != awaited_) return;
  const Continuation then = std::exchange(then_, {});
  if (then) RunCommand([&] { then(result); });
}

void TFormMain::OnEnded(TDocument::Request) {
  if (!document_->IsBusy()) escape_.reset();
}

void TFormMain::CheckBoxFirstLineIsTitleClick() {
  TCursorHourGlass cursor;
  grid_->SetFirstLineIsTitle(ui_.CheckBoxFirstLineIsTitle->isChecked());
}

QString TFormMain::StatusText() const {
  return ui_.StatusLabel->text();
}

void TFormMain::SetStatusText(const QString& text) {
  ui_.StatusLabel->setText(text);
  // Screen readers read a status bar by its name.
  ui_.StatusBar1->setAccessibleName(text);
}

// The title box and the File menu share Alt+F; the menu wins, as in any desktop program
// (left alone, Qt would only move the focus to the box).
bool TFormMain::eventFilter(QObject* watched, QEvent* event) {
  if (watched == ui_.CheckBoxFirstLineIsTitle && event->type() == QEvent::Shortcut) {
    menuBar()->setActiveAction(ui_.MenuFile->menuAction());
    return true;
  }
  return QMainWindow::eventFilter(watched, event);
}

// A file changed by another program is noticed when the user comes back to the window.
bool TFormMain::event(QEvent* event) {
  const bool handled = QMainWindow::event(event);
  if (event->type() == QEvent::WindowActivate) {
    QTimer::singleShot(0, this, [this] { RunCommand([this] { CheckFileOnDisk(); }); });
  }
  return handled;
}

void TFormMain::ActionCsvCheckExecute() {
  switch (static_cast<TFormMainUi::Task>(ui_.ComboBoxTask->currentIndex())) {
    case TFormMainUi::Task::Rules:
      ActionCsvCheckRulesExecute();
      return;
    case TFormMainUi::Task::Characters:
      ActionCsvCheckCharactersExecute();
      return;
    case TFormMainUi::Task::ColumnDiffers:
      break;
  }
  if (AfterLoad([this] { ActionCsvCheckExecute(); })) return;
  const std::shared_ptr<const CsvTable> table = Table();
  if (!FileInStep(table, true)) return;
  const bool title = ui_.CheckBoxFirstLineIsTitle->isChecked();
  const std::int64_t column = grid_->CurrentTableCell().col;
  // The bar and "検証中..." appear as it starts, just before its loop.
  const TDocument::Request request = document_->StartCheck(title, column);
  Await(request, [this, table, column](const TDocument::Result& answer) {
    if (std::holds_alternative<TDocument::Cancelled>(answer)) {
      SetStatusText(CheckCancelledText);
      return;
    }
    const CheckResult& result = std::get<CheckResult>(answer);
    // A file changed under the run gives no result: what was compared is a mixture.
    if (!FileInStep(table, true)) return;
    RememberDifference(table, result, column);
    if (result.outcome != CheckResult::Outcome::AllMatch) {
      Dialogs::Current().Warning(this, QString::fromStdU16String(CheckMessageText(result)));
    }
    SetStatusText(QString::fromStdU16String(CheckStatusText(result)));
  });
}

void TFormMain::CheckFileOnDisk() {
  // Not while a command reads the table or a box is open: they look for themselves.
  if (document_->IsBusy() || QApplication::activeModalWidget()) return;
  FileInStep(Table(), false);
}

bool TFormMain::FileInStep(const std::shared_ptr<const CsvTable>& table, bool command) {
  if (!table) return true;
  const FileChange change = table->DiskChange();
  switch (change.state) {
    case FileState::Same:
      return true;
    case FileState::Gone:
      // The mapping still holds the whole content: work goes on with it.
      if (goneSaid_.lock() != table) {
        goneSaid_ = table;
        SetStatusText(QString::fromStdU16String(FileGoneText));
        Dialogs::Current().Warning(this, QString::fromStdU16String(FileGoneText));
      }
      return true;
    case FileState::Changed:
      break;
  }
  SetStatusText(StaleText);
  if (!command && changeSaid_.lock() == table) return false;
  changeSaid_ = table;
  const QString question =
      QString::fromStdU16String(FileChangeText(change)) + QLatin1Char('\n') + ReloadQuestion;
  if (Dialogs::Current().Question(this, question)) ReloadFile();
  return false;
}

void TFormMain::ReloadFile() {
  const std::int64_t column = grid_->CurrentTableCell().col;
  OpenCsvFile(document_->FileName(), [this, column] {
    if (grid_->HasColumn(column)) grid_->SetCurrentColumn(column);
  });
}

void TFormMain::ActionFileNewExecute() {
  session_.Project.Clear();
  ApplyProject(session_.Project, [this] { SetProjectFileName({}); });
}

void TFormMain::ActionFileOpenExecute() {
  if (openDialogProject_.Execute(this)) OpenProject(openDialogProject_.FileName.toStdU16String());
}

void TFormMain::ActionFileSaveExecute() {
  if (session_.ProjectFileName.empty()) {
    ActionFileSaveAsExecute();
    return;
  }
  CollectProject(session_.Project);
  session_.Project.SaveToFile(session_.ProjectFileName);
  SetStatusText(ProjectSavedText);
}

void TFormMain::ActionFileSaveAsExecute() {
  if (!saveDialogProject_.Execute(this)) return;
  const UnicodeString fileName = saveDialogProject_.FileName.toStdU16String();
  CollectProject(session_.Project);
  session_.Project.SaveToFile(fileName);
  SetProjectFileName(fileName);
  SetStatusText(ProjectSavedText);
}

void TFormMain::ApplyProject(const TProject& project, std::function<void()> then) {
  // A copy: the project may change while the CSV file loads.
  const TProject values = project;
  csvCodePage_ = values.CodePage;
  OpenCsvFile(values.FileName, [this, values, then = std::move(then)] {
    ui_.CheckBoxFirstLineIsTitle->setChecked(values.Title);
    CheckBoxFirstLineIsTitleClick();
    // Last: loading and switching the title both make the first data column current.
    grid_->SetCurrentColumn(values.Col);
    if (then) then();
  });
}

void TFormMain::CollectProject(TProject& project) {
  project.FileName = ui_.EditFilename->text().toStdU16String();
  project.Title = ui_.CheckBoxFirstLineIsTitle->isChecked();
  project.Col = static_cast<std::int32_t>(grid_->CurrentTableCell().col);
  project.CodePage = csvCodePage_;
}

void TFormMain::OpenProject(const UnicodeString& fileName, std::function<void()> then) {
  // Busy until the project is applied, or until another command replaces its load.
  auto cursor = std::make_shared<TCursorHourGlass>();
  const UnicodeString name = fileName;  // may be a history entry, which changes below
  session_.Project.LoadFromFile(name);
  ApplyProject(session_.Project, [this, name, cursor, then = std::move(then)] {
    SetProjectFileName(name);
    SetStatusText(ProjectOpenedText);
    SayIgnoredRules();
    if (then) then();
  });
}

void TFormMain::SetProjectFileName(const UnicodeString& fileName) {
  session_.SetProjectFileName(fileName);
  setWindowTitle(session_.Caption(Application::Title));
}

void TFormMain::MenuFileClick() {
  // Later, not now: the menu may open while one of these items' commands still runs.
  for (QAction* item : ui_.MenuFileReOpen->actions()) {
    ui_.MenuFileReOpen->removeAction(item);
    item->deleteLater();
  }
  const QStringList captions = session_.RecentCaptions();
  for (int i = 0; i < captions.size(); ++i) {
    auto* item = new QAction(captions[i], this);
    item->setData(i);
    connect(item, &QAction::triggered, this,
            [this, item] { RunCommand([&] { MenuFileReOpenItemClick(item); }); });
    ui_.MenuFileReOpen->addAction(item);
  }
}

void TFormMain::MenuFileReOpenItemClick(QObject* sender) {
  const auto* item = qobject_cast<QAction*>(sender);
  if (item == nullptr) return;
  bool isNumber = false;
  const int tag = item->data().toInt(&isNumber);
  const std::optional<UnicodeString> path =
      isNumber ? session_.HistoryEntry(tag) : std::optional<UnicodeString>();
  if (!path) return;
  if (QFileInfo(QString::fromStdU16String(*path)).isFile()) {
    OpenProject(*path);
    return;
  }
  // A project that has gone leaves the history without a word.
  session_.ForgetHistoryEntry(*path);
}

void TFormMain::StartupIdle() {
  if (!startupPending_) return;
  startupPending_ = false;
  const TConfig& config = session_.Config;
  if (config.WindowPositionRestore) {
    setGeometry(config.WindowPositionLeft, config.WindowPositionTop, config.WindowPositionRight,
                config.WindowPositionBottom);
    if (config.WindowState == 1) setWindowState(Qt::WindowMinimized);
    if (config.WindowState == 2) setWindowState(Qt::WindowMaximized);
  }
  // Also a single argument: a file manager opens a project or a CSV file with exactly one.
  if (!commandLine_.isEmpty()) {
    HandleArguments(commandLine_);
    return;
  }
  if (const std::optional<UnicodeString> last = session_.ProjectToReopen()) OpenProject(*last);
}

void TFormMain::HandleArguments(QStringList arguments) {
  if (arguments.isEmpty()) return;
  const QString first = arguments.takeFirst();
  HandleArgument(first, [this, arguments] { HandleArguments(arguments); });
}

// Each argument acts on what the earlier ones left: "-c=" on the table "-f=" loaded.
void TFormMain::HandleArgument(const QString& argument, const std::function<void()>& then) {
  const StartupArgument parsed = TCommandLine::ParseArgument(argument);
  switch (parsed.kind) {
    case StartupArgument::Kind::Project:
      OpenProject(parsed.path.toStdU16String(), then);
      return;
    case StartupArgument::Kind::CsvFile:
      OpenCsvFile(parsed.path.toStdU16String(), then);
      return;
    case StartupArgument::Kind::Title:
      ui_.CheckBoxFirstLineIsTitle->setChecked(parsed.title);
      CheckBoxFirstLineIsTitleClick();
      break;
    case StartupArgument::Kind::Column:
      grid_->SetCurrentColumn(parsed.column);
      break;
    case StartupArgument::Kind::Ignored:
      break;
  }
  then();
}

void TFormMain::ActionConfigGeneralExecute() {
  ExecuteConfigGeneral(this, session_.Config);
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
  session_.RecordClose(bounds, state.testFlag(Qt::WindowMinimized)   ? 1
                               : state.testFlag(Qt::WindowMaximized) ? 2
                                                                     : 0);
  session_.Config.Save(GetSettingsFilePath(), [this](const UnicodeString& message) {
    Dialogs::Current().Warning(this, QString::fromStdU16String(message));
  });
}

void TFormMain::ActionFileCloseExecute() {
  close();
}

void TFormMain::ActionCsvRefferExecute() {
  if (!openDialogCsv_.Execute(this)) return;
  csvCodePage_ = 0;  // another file starts with detection again
  OpenCsvFile(openDialogCsv_.FileName.toStdU16String());
}

void TFormMain::ActionHelpHelpExecute() {
  if (Application* app = Application::Instance()) app->HelpShowTableOfContents();
}

void TFormMain::closeEvent(QCloseEvent* event) {
  // Whatever runs stops now and says nothing more (a FIFO may wait for its writer for ever).
  then_ = nullptr;
  document_->Cancel();
  // A settings file that cannot be written is shown; the window closes all the same.
  RunCommand([this] { FormClose(); });
  event->accept();
}

void TFormMain::dragEnterEvent(QDragEnterEvent* event) {
  const QMimeData* data = event->mimeData();
  if (data == nullptr) return;
  for (const QUrl& url : data->urls()) {
    const QString path = url.toLocalFile();
    if (TCommandLine::IsProjectFile(path) || TCommandLine::IsCsvFile(path)) {
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
    // The name is shown and kept in the project as the system writes it ("\\" on Windows).
    const QString path = QDir::toNativeSeparators(url.toLocalFile());
    if (project.isEmpty() && TCommandLine::IsProjectFile(path)) project = path;
    if (csv.isEmpty() && TCommandLine::IsCsvFile(path)) csv = path;
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
        csvCodePage_ = 0;
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

}  // namespace norvalis
