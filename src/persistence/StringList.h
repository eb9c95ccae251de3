#pragma once

#include <string_view>
#include <vector>

#include "text/UnicodeString.h"

namespace norvalis {

// True when the two texts are equal without regard to letter case.
bool SameTextIgnoreCase(std::u16string_view a, std::u16string_view b);

// An unsorted list of texts with the framework's comma text.
class TStringList {
 public:
  // Number of entries.
  int Count() const { return static_cast<int>(items_.size()); }
  // Entry at an index (0 <= index < Count()).
  const UnicodeString& operator[](int index) const;
  UnicodeString& operator[](int index);
  const UnicodeString& Strings(int index) const { return (*this)[index]; }
  UnicodeString& Strings(int index) { return (*this)[index]; }

  // Index of the first entry equal to text without regard to case, or -1.
  int IndexOf(std::u16string_view text) const;
  // Appends an entry and returns its index.
  int Add(UnicodeString text);
  // Inserts an entry before index (0 <= index <= Count()).
  void Insert(int index, UnicodeString text);
  // Removes the entry at index (0 <= index < Count()).
  void Delete(int index);
  void Clear() { items_.clear(); }

  // The entries joined by commas, quoted where needed.
  UnicodeString CommaText() const;
  // Replaces the entries by those read from a comma text.
  void SetCommaText(std::u16string_view text);

 private:
  std::vector<UnicodeString> items_;
};

}  // namespace norvalis
