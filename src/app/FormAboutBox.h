#pragma once

#include <cstdint>
#include <span>

#include <QDialog>

#include "version/VersionBlock.h"

class QFrame;
class QLabel;
class QPushButton;
class QShowEvent;

namespace norvalis {

// The About box "バージョン情報": program icon, name, version, copyright line and comments.
class TFormAboutBox : public QDialog {
  Q_OBJECT

 public:
  static constexpr int DesignClientWidth = 273;
  static constexpr int DesignClientHeight = 195;

  // Builds the box and fills its labels from the version block; raises Exception
  // "バージョン情報を取得できません" when the block cannot be read.
  explicit TFormAboutBox(QWidget* owner,
                         std::span<const std::uint8_t> versionData = ExecutableVersionData());

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  // Controls, named as their object names.
  QFrame* Panel1;
  QLabel* ProgramIcon;
  QLabel* ProductName;
  QLabel* Version;
  QLabel* Copyright;
  QLabel* Comments;
  QPushButton* OKButton;
  bool centred_ = false;
};

// The version command: shows a freshly built About box modally over owner.
void ExecuteAboutBox(QWidget* owner);

}  // namespace norvalis
