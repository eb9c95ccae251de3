#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>

#include <QElapsedTimer>
#include <QMainWindow>
#include <QString>
#include <QStringList>
#include <QTimer>

#include "app/CursorHourGlass.h"
#include "app/Dialogs.h"
#include "csv/ColumnCheck.h"
#include "grid/GridCsv.h"
#include "persistence/Config.h"
#include "persistence/Project.h"
#include "text/UnicodeString.h"

class QAction;
class QActionGroup;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QProgressBar;
class QStatusBar;
class QToolBar;
class QToolButton;

namespace norvalis {

class TAllColumnsWindow;
class TFindBar;

// The program's one window: tool bar with the task box, the CSV file row, the grid, the
// progress bar and the status bar, the main menu and the commands.
class TFormMain : public QMainWindow {
  Q_OBJECT

 public:
  explicit TFormMain(QWidget* parent = nullptr);
  ~TFormMain() override;

  // Status texts of opening a CSV file.
  static inline const QString LoadingText = QStringLiteral("CSVファイルを読み込んでいます。");
  static inline const QString LoadedText = QStringLiteral("CSVファイルを読み込みました。");
  static inline const QString NotFoundText = QStringLiteral("CSVファイルが見つかりません。");
  // Status texts of the check and of the project commands.
  static inline const QString CheckingText = QStringLiteral("検証中...");
  static inline const QString ProjectOpenedText =
      QStringLiteral("プロジェクトファイルを開きました。");
  static inline const QString ProjectSavedText =
      QStringLiteral("プロジェクトファイルを保存しました。");

  // Design size of the client area (below the menu bar).
  static constexpr int DesignClientWidth = 480;
  static constexpr int DesignClientHeight = 347;

  // Controls, named as their object names.
  QToolBar* ToolBar1;
  QToolButton* ToolButton1;
  QToolButton* ToolButton2;
  QToolButton* ToolButton3;
  QWidget* ToolButton4;  // the separator
  QToolButton* ToolButton5;
  QComboBox* ComboBoxTask;
  QWidget* Panel1;
  QLineEdit* EditFilename;
  QLabel* EditFilenameLabel;
  QToolButton* SpeedButton1;
  QCheckBox* CheckBoxFirstLineIsTitle;
  QProgressBar* ProgressBar1;
  QStatusBar* StatusBar1;

  QMenu* MenuFile;
  QMenu* MenuFileReOpen;
  QMenu* MenuCsv;
  QMenu* MenuConfig;
  QMenu* MenuHelp;

  QAction* ActionFileNew;
  QAction* ActionFileOpen;
  QAction* ActionFileSave;
  QAction* ActionFileSaveAs;
  QAction* ActionFileClose;
  QAction* ActionCsvReffer;
  QAction* ActionCsvCheck;
  QAction* ActionConfigGeneral;
  QAction* ActionHelpHelp;
  QAction* ActionHelpVersion;

  TFileDialog OpenDialogCsv;
  TFileDialog OpenDialogProject;
  TFileDialog SaveDialogProject;

  // The grid; a child of the window.
  TGridCsv* Grid;
  // The project shown in the window.
  TProject Project;
  // The per-user settings: read when the window is made, written when it closes.
  TConfig Config;
  // The current project file; empty while the project is untitled.
  UnicodeString ProjectFileName;

  // Everyday tools beside the check: the encoding shown and chosen, copy, find, go to a row
  // or to the difference, every column checked (FormMainTools.cpp).
  QMenu* MenuEdit;
  QMenu* MenuCsvEncoding;
  QActionGroup* EncodingGroup;
  QAction* ActionCsvCheckAll;
  QAction* ActionEditCopyCell;
  QAction* ActionEditCopyRow;
  QAction* ActionEditFind;
  QAction* ActionEditFindNext;
  QAction* ActionEditFindPrevious;
  QAction* ActionEditGoToRow;
  QAction* ActionEditGoToDifference;
  QLabel* LabelEncoding;
  QLabel* LabelTableSize;
  TFindBar* FindBar;
  TAllColumnsWindow* AllColumnsWindow = nullptr;  // made on first use
  // The encoding the CSV file is read with: 0 detects it; belongs to the project.
  std::uint16_t CsvCodePage = 0;

  void ActionCsvCheckAllExecute();
  void ActionEditCopyCellExecute();
  void ActionEditCopyRowExecute();
  void ActionEditFindExecute();
  void ActionEditFindNextExecute();
  void ActionEditFindPreviousExecute();
  void ActionEditGoToRowExecute();
  void ActionEditGoToDifferenceExecute();
  // Reads the file in the CSV box again decoded by codePage (0: detected), keeping the
  // current column where the new table has it.
  void ReopenWithCodePage(std::uint16_t codePage);
  // Makes the table cell current (and visible) in the grid; false when it is not there.
  bool GoToTableCell(std::int64_t tableRow, std::int64_t column);

  // How long a load runs before the progress bar shows it.
  std::chrono::milliseconds ProgressDelay{500};

  // Shows the file's name, then loads it into the grid, clears the grid for an empty name,
  // or reports a missing file.
  void OpenCsvFile(const UnicodeString& fileName);
  // Lets the grid follow the title check box.
  void CheckBoxFirstLineIsTitleClick();

  // The status text: set by the commands, kept until a command sets another.
  QString StatusText() const;
  void SetStatusText(const QString& text);

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

  // Puts the project's values into the window (the column last).
  void ApplyProject(const TProject& project);
  // Takes the window's values into the project.
  void CollectProject(TProject& project);
  // Reads the project file into Project and applies it.
  void OpenProject(const UnicodeString& fileName);
  // Makes the file the current project file: caption and history.
  void SetProjectFileName(const UnicodeString& fileName);

  // The command-line arguments (without the program name) the start-up work obeys.
  void SetCommandLine(const QStringList& arguments) { commandLine_ = arguments; }
  // The start-up work, once after the window was first shown: window bounds, command line
  // or the last project.
  void StartupIdle();
  // Whether the start-up work is still to run.
  bool StartupPending() const { return startupPending_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void CreateActions();
  void CreateMenus();
  void CreateToolBar();
  void CreateClientArea();
  void OnLoadStarted();
  void OnLoadProgress(qint64 done, qint64 total);
  void OnLoadFinished();
  void ShowLoadProgress();
  void HandleArgument(const QString& argument);
  void SetGridCol(long long col);
  // FormMainTools.cpp
  void CreateToolActions();
  void CreateToolMenus();
  void CreateToolWidgets();
  void UpdateTableStatus();
  void RememberDifference(const CheckResult& result, std::int64_t column);
  void FindCell(bool forward);
  std::shared_ptr<const CsvTable> Table() const;

  QLabel* statusLabel_ = nullptr;
  bool centred_ = false;
  // Counts OpenCsvFile calls, so a call that returns after a later one says nothing.
  std::uint64_t openRequest_ = 0;
  // State of the load that runs now, between the grid's start and finish signals.
  bool loading_ = false;
  std::optional<TCursorHourGlass> loadCursor_;
  QElapsedTimer loadClock_;
  QTimer progressTimer_;
  qint64 loadDone_ = 0;
  qint64 loadTotal_ = 0;
  QStringList commandLine_;
  bool startupPending_ = true;
  // The last difference a check reported, in the table it was found in.
  struct Difference {
    std::weak_ptr<const CsvTable> table;
    std::int64_t row = 0;
    std::int64_t column = 0;
  };
  std::optional<Difference> lastDifference_;
  std::weak_ptr<const CsvTable> allColumnsTable_;  // the table the result window shows
  bool searching_ = false;
};

// A caption without its mnemonic: "開く(&O)" gives "開く", "&Open" gives "Open".
QString StripMnemonic(const QString& caption);

}  // namespace norvalis
