#include "csv/CsvUtility.h"

namespace norvalis::TCsvUtility {

namespace {

constexpr int LetterCount = 26;
constexpr int MaxLetters = 3;

char16_t letterOf(std::int32_t digit) {
  return static_cast<char16_t>(u'A' + digit);
}

}  // namespace

UnicodeString ColumnIndexToLetters(std::int32_t index) {
  if (index < 0 || index >= MaxColumnLabels) return {};
  UnicodeString letters(1, letterOf(index % LetterCount));
  for (std::int32_t n = index / LetterCount - 1; n >= 0; n = n / LetterCount - 1) {
    letters.insert(letters.begin(), letterOf(n % LetterCount));
  }
  return letters;
}

std::vector<UnicodeString> MakeColumnLabels(std::int32_t count, const UnicodeString& prefix,
                                            const UnicodeString& suffix) {
  if (count < 0) count = 0;
  if (count > MaxColumnLabels) count = MaxColumnLabels;
  std::vector<UnicodeString> labels;
  labels.reserve(static_cast<std::size_t>(count));
  for (std::int32_t i = 0; i < count; ++i) {
    labels.push_back(prefix + ColumnIndexToLetters(i) + suffix);
  }
  return labels;
}

std::int32_t LettersToColumnIndex(std::u16string_view letters) {
  if (letters.empty() || letters.size() > MaxLetters) return -1;
  std::int32_t number = 0;  // bijective base 26: A = 1 … Z = 26
  for (const char16_t unit : letters) {
    std::int32_t digit = 0;
    if (unit >= u'A' && unit <= u'Z') {
      digit = unit - u'A' + 1;
    } else if (unit >= u'a' && unit <= u'z') {
      digit = unit - u'a' + 1;
    } else {
      return -1;
    }
    number = number * LetterCount + digit;
  }
  return number <= MaxColumnLabels ? number - 1 : -1;
}

}  // namespace norvalis::TCsvUtility
