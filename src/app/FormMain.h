#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include <QMainWindow>
#include <QString>
#include <QStringList>

#include "app/Dialogs.h"
#include "app/FormMainUi.h"
#include "app/ProjectSession.h"
#include "check/CellSearch.h"
#include "check/ColumnCheck.h"
#include "check/ColumnCheckAll.h"
#include "csv/Csv.h"
#include "grid/Document.h"
#include "text/UnicodeString.h"

class QActionGroup;
class QTimer;

namespace norvalis {

class TAllColumnsWindow;
class TDocument;
class TFindingsWindow;
struct Findings;
class TEscapeCancels;
class TFilterBar;
class TFindBar;
class TGridCsv;
class TProgressOwner;
class TValuesWindow;

// The program's one window: tool bar with the task box, the CSV file row, the grid, the
// progress bar and the status bar, the main menu and the commands. Its controls are private;
// they carry their names as object names.
class TFormMain : public QMainWindow {
  Q_OBJECT

 public:
  explicit TFormMain(QWidget* parent = nullptr);
  ~TFormMain() override;

  // Status texts of opening a CSV file.
  static inline const QString LoadingText = QStringLiteral("CSVファイルを読み込んでいます。");
  static inline const QString LoadedText = QStringLiteral("CSVファイルを読み込みました。");
  static inline const QString NotFoundText = QStringLiteral("CSVファイルが見つかりません。");
  static inline const QString LoadCancelledText =
      QStringLiteral("CSVファイルの読み込みを中止しました。");
  // Status text when the file changed on disk under the loaded table; the question that
  // offers to read it again follows the details of the change.
  static inline const QString StaleText =
      QStringLiteral("CSVファイルがディスク上で変更されました。");
  static inline const QString ReloadQuestion = QStringLiteral("読み込み直しますか？");
  // Status texts of the check and of the project commands.
  static inline const QString CheckingText = QStringLiteral("検証中...");
  static inline const QString CheckCancelledText = QStringLiteral("検証を中止しました。");
  static inline const QString ProjectOpenedText =
      QStringLiteral("プロジェクトファイルを開きました。");
  static inline const QString ProjectSavedText =
      QStringLiteral("プロジェクトファイルを保存しました。");

  // Design size of the client area (below the menu bar).
  static constexpr int DesignClientWidth = TFormMainUi::DesignClientWidth;
  static constexpr int DesignClientHeight = TFormMainUi::DesignClientHeight;
  // The smallest client area at which no control covers another.
  static constexpr int MinimumClientWidth = 320;
  static constexpr int MinimumClientHeight = 200;

  // The file dialogs, which remember the file last chosen.
  const TFileDialog& OpenDialogCsv() const { return openDialogCsv_; }
  const TFileDialog& OpenDialogProject() const { return openDialogProject_; }
  const TFileDialog& SaveDialogProject() const { return saveDialogProject_; }

  // The project, the settings and the current project file.
  TProjectSession& Session() { return session_; }

  // The CSV document the grid shows and the check reads.
  TDocument& Document() const { return *document_; }

  // How long a load runs before the progress bar shows it.
  void SetProgressDelay(std::chrono::milliseconds delay);
  // How often the file on disk is compared with the table while the window is idle.
  void SetDiskWatchInterval(std::chrono::milliseconds interval);

  // Shows the file's name, then starts loading it into the grid, clears the grid for an empty
  // name; when the load's answer comes, says it was read or reports a missing file, then runs
  // `then` (dropped when another command replaced the load).
  void OpenCsvFile(const UnicodeString& fileName, std::function<void()> then = {});
  // Lets the grid follow the title check box.
  void CheckBoxFirstLineIsTitleClick();

  // The status text: set by the commands, kept until a command sets another.
  QString StatusText() const;
  void SetStatusText(const QString& text);

  // Puts the project's values into the window (the column last, once the file is loaded),
  // then runs `then`.
  void ApplyProject(const TProject& project, std::function<void()> then = {});
  // Takes the window's values into the project.
  void CollectProject(TProject& project);
  // Reads the project file into the project and applies it; `then` runs when it is applied.
  void OpenProject(const UnicodeString& fileName, std::function<void()> then = {});
  // Makes the file the current project file: caption and history.
  void SetProjectFileName(const UnicodeString& fileName);

  // The command-line arguments (without the program name) the start-up work obeys.
  void SetCommandLine(const QStringList& arguments) { commandLine_ = arguments; }
  // Whether the start-up work is still to run.
  bool StartupPending() const { return startupPending_; }

  // Shows only these table rows (ascending data rows of the loaded table) in the grid, the
  // description in the bar above it; any window may ask. Every row shows again when another
  // table is loaded.
  void ShowRows(std::shared_ptr<const std::vector<std::uint32_t>> rows, const QString& description);
  // Shows every row again.
  void ShowAllRows();

 protected:
  bool event(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  // Commands of the window.
  void ActionFileNewExecute();
  void ActionFileOpenExecute();
  void ActionFileSaveExecute();
  void ActionFileSaveAsExecute();
  void ActionFileCloseExecute();
  void ActionCsvRefferExecute();
  void ActionCsvCheckExecute();
  void ActionConfigGeneralExecute();
  void ActionHelpHelpExecute();
  void ActionHelpVersionExecute();
  // The File menu opening: rebuilds the recent-projects submenu from the history.
  void MenuFileClick();
  // A recent-projects item: opens its project, or drops it from the history when gone.
  void MenuFileReOpenItemClick(QObject* sender);
  // The window closing: records bounds, state and the last project, saves the settings.
  void FormClose();
  // The start-up work, once after the window was first shown: window bounds, command line
  // or the last project.
  void StartupIdle();
  // The idle look at the file on disk: a changed file is said and offered to be read again,
  // a file that went is said; each once per table.
  void CheckFileOnDisk();
  void ConnectCommands();
  // Compares the table's file on disk with what was loaded, before and after a command reads
  // the table: says a file that went (once) and goes on; says a changed file and offers to
  // read it again (a command each time, the idle look once), and then gives false.
  bool FileInStep(const std::shared_ptr<const CsvTable>& table, bool command);
  // Reads the open file again, keeping the current column where the new table has it.
  void ReloadFile();
  void OnStarted(TDocument::Request request, TDocument::Task task);
  void OnFinished(TDocument::Request request, const TDocument::Result& result);
  void OnEnded(TDocument::Request request);
  // What the window does when the answer of its request comes; replaces what it awaited.
  using Continuation = std::function<void(const TDocument::Result&)>;
  void Await(TDocument::Request request, Continuation then);
  // A command that reads the table, given while a load runs, runs once the table is there;
  // true when it was put off.
  bool AfterLoad(const std::function<void()>& command);
  // Handles the arguments one after another, each once the one before has finished.
  void HandleArguments(QStringList arguments);
  void HandleArgument(const QString& argument, const std::function<void()>& then);
  // Runs a command; what escapes it goes to the application's display, never through Qt.
  static void RunCommand(const std::function<void()>& command);

  // Everyday tools beside the check: the encoding shown and chosen, copy, find, go to a row
  // or to the difference, every column checked (FormMainTools.cpp).
  void CreateToolActions();
  void CreateToolMenus();
  void CreateToolWidgets();
  void ActionCsvCheckAllExecute();
  void ActionEditCopyCellExecute();
  void ActionEditCopyRowExecute();
  void ActionEditFindExecute();
  void ActionEditFindNextExecute();
  void ActionEditFindPreviousExecute();
  void ActionEditGoToRowExecute();
  void ActionEditGoToDifferenceExecute();
  void ActionViewFitColumnsExecute();
  // Reads the file in the CSV box again decoded by codePage (0: detected), keeping the
  // current column where the new table has it.
  void ReopenWithCodePage(std::uint16_t codePage);
  // Makes the table cell current (and visible) in the grid, focused unless told not to; false
  // when it is not there.
  bool GoToTableCell(std::int64_t tableRow, std::int64_t column, bool focusGrid = true);
  void UpdateTableStatus();
  void RememberDifference(const std::shared_ptr<const CsvTable>& table, const CheckResult& result,
                          std::int64_t column);
  void ShowAllColumns(const AllColumnsResult& result);
  void ShowFound(const CellSearchRequest& request, const CellSearchResult& result,
                 const QString& text);
  void FindCell(bool forward);
  std::shared_ptr<const CsvTable> Table() const;

  // Views of some rows of the table: the bar that says what is shown, the status, and the find
  // that stays on the rows shown (FormMainViews.cpp).
  void CreateViewWidgets();
  void UpdateShownRows();
  // The next step of a find whose match lies in a row the filter hides: true when `step` was
  // moved to the next row shown; false when the search came back round to where it began.
  // `covered` is how far (in rows from the origin's) the step started.
  bool NextFindStep(const CellSearchRequest& origin, CellSearchRequest& step,
                    const CellSearchResult& found, std::uint64_t& covered) const;
  void FindStep(const CellSearchRequest& origin, CellSearchRequest step, const QString& text,
                std::uint64_t covered, const std::shared_ptr<const CsvTable>& table);
  void ActionViewDifferentRowsExecute();
  void ActionViewValuesExecute();
  void ActionViewRowsWithValueExecute();
  void ActionViewRowsWithoutValueExecute();
  void ActionViewRowsContainingExecute();
  void ActionFileSaveShownRowsExecute();
  void ActionEditCopyShownRowsExecute();
  // Starts the filter; its rows are shown with the description when they come.
  void FilterRows(const TDocument::FilterRequest& request, const QString& description);
  // The rows shown now: the filter's, or every data row.
  std::shared_ptr<const std::vector<std::uint32_t>> RowsShown() const;
  // "C「市区町村」": the column's letters and, below a title line, its title.
  QString ColumnName(std::int64_t column) const;
  // The tasks beside the first, the column rules and the character check, with their result
  // windows, the rules dialog, the character kinds and the marks of blanks in the grid
  // (FormMainFindings.cpp).
  void CreateFindingsActions();
  void ActionCsvCheckRulesExecute();
  void ActionCsvCheckCharactersExecute();
  // The dialogs of the rules (into the project) and of the character kinds (the settings).
  void ActionCsvRulesExecute();
  void ActionCsvCharacterKindsExecute();
  void ShowFindings(const std::shared_ptr<const Findings>& findings, const QString& status);
  // The result windows belong to the table they were made from.
  void FindingsTableReplaced();
  // Says which of the project's rules are left out because they do not parse.
  void SayIgnoredRules();
  // The character check's kinds the settings leave on, as bits.
  unsigned CharacterKinds() const;

  TFormMainUi ui_;
  TFileDialog openDialogCsv_;
  TFileDialog openDialogProject_;
  TFileDialog saveDialogProject_;
  TProjectSession session_;
  TDocument* document_;
  TGridCsv* grid_;
  TProgressOwner* progress_;
  bool centred_ = false;
  // The request whose answer the window awaits, and what it does then.
  TDocument::Request awaited_ = 0;
  Continuation then_;
  // The status text before the running load, for a load that finds no file.
  QString statusBeforeLoad_;
  // The tables whose change or loss the idle look has said, so each is said once.
  std::weak_ptr<const CsvTable> changeSaid_;
  std::weak_ptr<const CsvTable> goneSaid_;
  QTimer* diskWatch_ = nullptr;
  // While an operation runs, Esc stops it (a FIFO may wait for its writer for ever).
  std::unique_ptr<TEscapeCancels> escape_;
  QStringList commandLine_;
  bool startupPending_ = true;

  QMenu* MenuEdit = nullptr;
  QMenu* MenuCsvEncoding = nullptr;
  QActionGroup* EncodingGroup = nullptr;
  QAction* ActionCsvCheckAll = nullptr;
  QAction* ActionEditCopyCell = nullptr;
  QAction* ActionEditCopyRow = nullptr;
  QAction* ActionEditFind = nullptr;
  QAction* ActionEditFindNext = nullptr;
  QAction* ActionEditFindPrevious = nullptr;
  QAction* ActionEditGoToRow = nullptr;
  QAction* ActionEditGoToDifference = nullptr;
  QAction* ActionViewFitColumns = nullptr;
  QLabel* LabelEncoding = nullptr;
  QLabel* LabelTableSize = nullptr;
  TFindBar* FindBar = nullptr;
  TFilterBar* FilterBar = nullptr;
  TValuesWindow* ValuesWindow = nullptr;  // made on first use
  // The column and title flag the values window lists.
  std::int64_t valuesColumn_ = 0;
  bool valuesTitle_ = false;
  QMenu* MenuView = nullptr;
  QAction* ActionViewDifferentRows = nullptr;
  QAction* ActionViewValues = nullptr;
  QAction* ActionViewRowsWithValue = nullptr;
  QAction* ActionViewRowsWithoutValue = nullptr;
  QAction* ActionViewRowsContaining = nullptr;
  QAction* ActionViewAllRows = nullptr;
  QAction* ActionFileSaveShownRows = nullptr;
  QAction* ActionEditCopyShownRows = nullptr;
  TAllColumnsWindow* AllColumnsWindow = nullptr;  // made on first use
  QAction* ActionViewSpecialCharacters = nullptr;
  QAction* ActionCsvRules = nullptr;
  QAction* ActionCsvCharacterKinds = nullptr;
  TFindingsWindow* RuleFindingsWindow = nullptr;  // made on first use
  TFindingsWindow* CharacterFindingsWindow = nullptr;
  // The encoding the CSV file is read with: 0 detects it; belongs to the project.
  std::uint16_t csvCodePage_ = 0;
  // The last difference a check reported, in the table it was found in.
  struct Difference {
    std::weak_ptr<const CsvTable> table;
    std::int64_t row = 0;
    std::int64_t column = 0;
  };
  std::optional<Difference> lastDifference_;
};

}  // namespace norvalis
