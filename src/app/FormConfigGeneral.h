#pragma once

#include <QDialog>

#include "persistence/Config.h"

class QCheckBox;
class QKeyEvent;
class QPushButton;
class QShowEvent;
class QTabWidget;

namespace norvalis {

// The general settings dialog: the two start-up choices of the per-user settings.
class TFormConfigGeneral : public QDialog {
  Q_OBJECT

 public:
  // Help topic of the dialog: F1 opens it.
  static constexpr int HelpContext = 6;
  static constexpr int DesignClientWidth = 336;
  static constexpr int DesignClientHeight = 208;

  // Builds the dialog over owner with the first page active.
  explicit TFormConfigGeneral(QWidget* owner);

  // Sets the check boxes from the settings.
  void LoadFromConfig(const TConfig& config);
  // Sets the settings from the check boxes.
  void SaveToConfig(TConfig& config) const;

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  // Controls, named as their object names.
  QTabWidget* PageControl1;
  QWidget* TabSheet1;
  QCheckBox* CheckBoxProjectFileRestore;
  QCheckBox* CheckBoxWindowPositionRestore;
  QWidget* Panel1;
  QPushButton* BitBtn1;
  QPushButton* BitBtn2;
  bool centred_ = false;
};

// The general settings command: shows the dialog over owner with config's choices; on OK
// stores them in config and saves the settings file at once, also without a change. The
// folder warning goes through the dialog interface. Other answers change nothing.
void ExecuteConfigGeneral(QWidget* owner, TConfig& config);

}  // namespace norvalis
