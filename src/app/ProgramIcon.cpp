#include "app/ProgramIcon.h"

#include <QString>

// The resources live in a static library, whose registration the linker would drop unless
// something asks for it.
static void InitProgramResources() {
  Q_INIT_RESOURCE(norvalis);
}

namespace norvalis {

namespace {

void EnsureResources() {
  static const bool registered = (InitProgramResources(), true);
  (void)registered;
}

}  // namespace

QIcon ProgramIcon() {
  EnsureResources();
  QIcon icon;
  for (int size : {16, 32, 48, 128, 256}) {
    icon.addFile(QStringLiteral(":/icons/norvalis-%1.png").arg(size), QSize(size, size));
  }
  return icon;
}

QPixmap ProgramPicture() {
  EnsureResources();
  return QPixmap(QStringLiteral(":/icons/norvalis-48.png"));
}

}  // namespace norvalis
