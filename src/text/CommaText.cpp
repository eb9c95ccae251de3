#include "text/CommaText.h"

namespace norvalis::CommaText {

namespace {

bool isBlankOrControl(char16_t c) {
  return c >= 1 && c <= 32;
}

bool needsQuotes(std::u16string_view text) {
  for (const char16_t c : text) {
    if (c <= 32 || c == u'"' || c == u',') return true;
  }
  return false;
}

}  // namespace

UnicodeString Join(std::span<const UnicodeString> entries) {
  if (entries.size() == 1 && entries.front().empty()) return u"\"\"";
  UnicodeString text;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    if (i != 0) text += u',';
    const UnicodeString& entry = entries[i];
    if (!needsQuotes(entry)) {
      text += entry;
      continue;
    }
    text += u'"';
    for (const char16_t c : entry) {
      if (c == u'"') text += u'"';
      text += c;
    }
    text += u'"';
  }
  return text;
}

std::vector<UnicodeString> Split(std::u16string_view text) {
  std::vector<UnicodeString> entries;
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
    entries.push_back(std::move(entry));
    skipBlanks();
    if (p < end && text[p] == u',') {
      if (p + 1 == end) entries.emplace_back();
      ++p;
      skipBlanks();
    }
  }
  return entries;
}

}  // namespace norvalis::CommaText
