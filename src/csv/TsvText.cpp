#include "csv/TsvText.h"

namespace norvalis {

void AppendTsvField(std::u16string_view cell, UnicodeString& out) {
  if (cell.find_first_of(u"\t\r\n\"") == std::u16string_view::npos) {
    out += cell;
    return;
  }
  out += u'"';
  for (const char16_t unit : cell) {
    if (unit == u'"') out += u'"';
    out += unit;
  }
  out += u'"';
}

UnicodeString TsvLine(std::span<const UnicodeString> cells) {
  UnicodeString line;
  for (std::size_t i = 0; i < cells.size(); ++i) {
    if (i != 0) line += u'\t';
    AppendTsvField(cells[i], line);
  }
  return line;
}

}  // namespace norvalis
