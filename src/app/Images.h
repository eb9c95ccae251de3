#pragma once

#include <QIcon>
#include <QImage>

namespace norvalis {

// The window's image list: new, open, save, browse, check at indexes 0 to 4.
enum class ImageIndex { New = 0, Open = 1, Save = 2, Browse = 3, Check = 4 };
inline constexpr int ImageCount = 5;
inline constexpr int ImageSize = 16;

// One image painted at size x size pixels (drawn on a 16-pixel design grid).
QImage PaintImage(ImageIndex index, int size = ImageSize);
// The image at 16 pixels and at twice that for high-density screens.
QIcon ImageIcon(ImageIndex index);

}  // namespace norvalis
