#include "persistence/StringList.h"

#include <utility>

#include "platform/CharacterCase.h"
#include "text/Exception.h"

namespace norvalis {

namespace {

bool isBlankOrControl(char16_t c) {
  return c >= 1 && c <= 32;
}

void throwIndexError(int index) {
  throw Exception(Format(u"リストのインデックスが範囲を超えています (%d)", {index}));
}

bool needsQuotes(std::u16string_view text) {
  for (const char16_t c : text) {
    if (c <= 32 || c == u'"' || c == u',') return true;
  }
  return false;
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
  if (items_.size() == 1 && items_.front().empty()) return u"\"\"";
  UnicodeString text;
  for (std::size_t i = 0; i < items_.size(); ++i) {
    if (i != 0) text += u',';
    const UnicodeString& item = items_[i];
    if (!needsQuotes(item)) {
      text += item;
      continue;
    }
    text += u'"';
    for (const char16_t c : item) {
      if (c == u'"') text += u'"';
      text += c;
    }
    text += u'"';
  }
  return text;
}

void TStringList::SetCommaText(std::u16string_view text) {
  items_.clear();
  // A U+0000 ends the text; read on, it would add empty entries without end.
  text = text.substr(0, text.find(u'\0'));
  std::size_t p = 0;
  const std::size_t end = text.size();
  auto skipBlanks = [&] {
    while (p < end && isBlankOrControl(text[p]))
      ++p;
  };
  skipBlanks();
  while (p < end) {
    UnicodeString entry;
    if (text[p] == u'"') {
      ++p;
      while (p < end) {
        if (text[p] == u'"') {
          if (p + 1 < end && text[p + 1] == u'"') {
            entry += u'"';
            p += 2;
            continue;
          }
          ++p;
          break;
        }
        entry += text[p++];
      }
    } else {
      const std::size_t start = p;
      while (p < end && text[p] > 32 && text[p] != u',')
        ++p;
      entry.assign(text.substr(start, p - start));
    }
    items_.push_back(std::move(entry));
    skipBlanks();
    if (p < end && text[p] == u',') {
      if (p + 1 == end) items_.emplace_back();
      ++p;
      skipBlanks();
    }
  }
}

}  // namespace norvalis
