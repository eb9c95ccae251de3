#pragma once

#include <cstdint>
#include <vector>

#include "text/UnicodeString.h"

namespace norvalis::TCsvUtility {

// The largest number of labels MakeColumnLabels returns (A … XFD).
constexpr std::int32_t MaxColumnLabels = 16384;

// Spreadsheet letters of a zero-based column (0 → A, 16383 → XFD); empty outside 0 … 16383.
UnicodeString ColumnIndexToLetters(std::int32_t index);
// prefix + letters + suffix for columns 0 … count − 1, at most MaxColumnLabels of them.
std::vector<UnicodeString> MakeColumnLabels(std::int32_t count, const UnicodeString& prefix,
                                            const UnicodeString& suffix);
// The zero-based index of column letters (any case, A … XFD); -1 when they name none.
std::int32_t LettersToColumnIndex(std::u16string_view letters);

}  // namespace norvalis::TCsvUtility
