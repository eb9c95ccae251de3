#pragma once

#include <QIcon>
#include <QPixmap>

namespace norvalis {

// The program icon at every size it is drawn in; the window icon of every window.
QIcon ProgramIcon();
// The 48 x 48 picture of the About box.
QPixmap ProgramPicture();

}  // namespace norvalis
