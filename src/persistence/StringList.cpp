#include "persistence/StringList.h"

#include <locale.h>
#include <wctype.h>

#include <utility>

#include "text/CommaText.h"
#include "text/Exception.h"

namespace norvalis {

namespace {

// The C.UTF-8 character classes give Unicode case mappings without depending on the
// user's locale; without it only ASCII letters fold.
locale_t unicodeCaseLocale() {
  static const locale_t locale = newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t{});
  return locale;
}

char16_t foldCase(char16_t c) {
  if (c < 0x80) return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 0x20) : c;
  // Surrogate halves are compared as they are.
  if (c >= 0xD800 && c <= 0xDFFF) return c;
  const locale_t locale = unicodeCaseLocale();
  if (locale == locale_t{}) return c;
  const wint_t lower = towlower_l(static_cast<wint_t>(c), locale);
  return lower <= 0xFFFF ? static_cast<char16_t>(lower) : c;
}

void throwIndexError(int index) {
  throw Exception(Format(u"リストのインデックスが範囲を超えています (%d)", {index}));
}

}  // namespace

bool SameTextIgnoreCase(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (a[i] != b[i] && foldCase(a[i]) != foldCase(b[i])) return false;
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
