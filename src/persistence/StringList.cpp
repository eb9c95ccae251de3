#include "persistence/StringList.h"

#include <utility>

#include "platform/CharacterCase.h"
#include "text/CommaText.h"
#include "text/Exception.h"

namespace norvalis {

namespace {

void throwIndexError(int index) {
  throw Exception(Format(u"リストのインデックスが範囲を超えています (%d)", {index}));
}

}  // namespace

bool SameTextIgnoreCase(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (a[i] != b[i] && platform::LowerCase(a[i]) != platform::LowerCase(b[i])) return false;
  }
  return true;
}

const UnicodeString& TStringList::operator[](int index) const {
  if (index < 0 || index >= Count()) throwIndexError(index);
  return items_[static_cast<std::size_t>(index)];
}

UnicodeString& TStringList::operator[](int index) {
  if (index < 0 || index >= Count()) throwIndexError(index);
  return items_[static_cast<std::size_t>(index)];
}

int TStringList::IndexOf(std::u16string_view text) const {
  for (int i = 0; i < Count(); ++i) {
    if (SameTextIgnoreCase(items_[static_cast<std::size_t>(i)], text)) return i;
  }
  return -1;
}

int TStringList::Add(UnicodeString text) {
  items_.push_back(std::move(text));
  return Count() - 1;
}

void TStringList::Insert(int index, UnicodeString text) {
  if (index < 0 || index > Count()) throwIndexError(index);
  items_.insert(items_.begin() + index, std::move(text));
}

void TStringList::Delete(int index) {
  if (index < 0 || index >= Count()) throwIndexError(index);
  items_.erase(items_.begin() + index);
}

UnicodeString TStringList::CommaText() const {
  return ::norvalis::CommaText::Join(items_);
}

void TStringList::SetCommaText(std::u16string_view text) {
  items_ = ::norvalis::CommaText::Split(text);
}

}  // namespace norvalis
