#pragma once

#include <QKeySequence>
#include <QString>

class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QMainWindow;
class QMenu;
class QProgressBar;
class QStatusBar;
class QToolBar;
class QToolButton;
class QWidget;

namespace norvalis {

// The main window's controls as its form description lays them out, named as their object
// names; the window wires them to its commands.
struct TFormMainUi {
  // Design size of the client area (below the menu bar).
  static constexpr int DesignClientWidth = 480;
  static constexpr int DesignClientHeight = 347;
  // The entries of the task box, in its order; the first is selected at start.
  enum class Task { ColumnDiffers, Rules, Characters };

  QToolBar* ToolBar1 = nullptr;
  QToolButton* ToolButton1 = nullptr;
  QToolButton* ToolButton2 = nullptr;
  QToolButton* ToolButton3 = nullptr;
  QWidget* ToolButton4 = nullptr;  // the separator
  QToolButton* ToolButton5 = nullptr;
  QComboBox* ComboBoxTask = nullptr;
  QWidget* ClientArea = nullptr;
  QWidget* Panel1 = nullptr;
  QLineEdit* EditFilename = nullptr;
  QLabel* EditFilenameLabel = nullptr;
  QToolButton* SpeedButton1 = nullptr;
  QCheckBox* CheckBoxFirstLineIsTitle = nullptr;
  QProgressBar* ProgressBar1 = nullptr;
  QStatusBar* StatusBar1 = nullptr;
  QLabel* StatusLabel = nullptr;  // the status text, in the bar's own label

  QMenu* MenuFile = nullptr;
  QMenu* MenuFileReOpen = nullptr;
  QMenu* MenuCsv = nullptr;
  QMenu* MenuConfig = nullptr;
  QMenu* MenuHelp = nullptr;

  QAction* ActionFileNew = nullptr;
  QAction* ActionFileOpen = nullptr;
  QAction* ActionFileSave = nullptr;
  QAction* ActionFileSaveAs = nullptr;
  QAction* ActionFileClose = nullptr;
  QAction* ActionCsvReffer = nullptr;
  QAction* ActionCsvCheck = nullptr;
  QAction* ActionConfigGeneral = nullptr;
  QAction* ActionHelpHelp = nullptr;
  QAction* ActionHelpVersion = nullptr;

  // Builds every control into the window (the grid excepted).
  void SetupUi(QMainWindow* window);
  // Puts the grid between the file row and the progress bar, filling what is left.
  void PlaceGrid(QWidget* grid);

 private:
  void CreateActions(QMainWindow* window);
  void CreateMenus(QMainWindow* window);
  void CreateToolBar(QMainWindow* window);
  void CreateClientArea(QMainWindow* window);
};

// A command of the window: named, with its category, shortcut and image (-1: none), and its
// caption as status and tool tip.
QAction* MakeAction(QMainWindow* window, const char* name, const QString& category,
                    const QString& caption, QKeySequence shortcut, int imageIndex);

// A caption without its mnemonic: "開く(&O)" gives "開く", "&Open" gives "Open".
QString StripMnemonic(const QString& caption);

}  // namespace norvalis
