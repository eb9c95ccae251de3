#pragma once

#include <string_view>

#include <QColor>
#include <QRect>

class QPainter;

namespace norvalis {

// Visible marks for what a cell shows as nothing, as text editors draw them: an open box for a
// half-width space, a box for a full-width space, an arrow for a tab, a bent arrow at each
// line feed, and the name of a control character (NUL, ESC, 85, …) in a small dark box.
namespace SpecialCharacterMarks {

// Whether the text holds anything that gets a mark.
bool Has(std::u16string_view text);
// Draws the text as the grid draws a cell (left and top, a line per line feed, clipped), with
// marks in markColor and the rest in the painter's pen.
void Draw(QPainter& painter, const QRect& rect, std::u16string_view text, const QColor& markColor);
// The name drawn for a control character (U+0000–U+001F but tab and line feed, U+007F–U+009F).
const char* ControlName(char16_t c);

}  // namespace SpecialCharacterMarks

}  // namespace norvalis
