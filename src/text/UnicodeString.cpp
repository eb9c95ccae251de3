#include "text/UnicodeString.h"

#include "text/CodePage.h"
#include "text/MECSUtils.h"

namespace norvalis {

void AppendUtf16(UnicodeString& out, char32_t cp) {
  char16_t units[2];
  char16_t* end = units;
  PutUtf16(cp, end);
  out.append(units, end);
}

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

std::string ToUtf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  AppendUtf8(out, text);
  return out;
}

void AppendUtf8(std::string& out, std::u16string_view text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    char32_t u = text[i];
    if (u < 0x80) {
      out += static_cast<char>(u);
      continue;
    }
    if (u >= 0xD800 && u <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      u = 0x10000 + ((u - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (u >= 0xD800 && u <= 0xDFFF) {
      u = 0xFFFD;
    }
    AppendUtf8(out, u);
  }
}

UnicodeString FromUtf8(std::string_view text) {
  // One UTF-8 decoder for names, settings and files alike.
  return MECSUtils::AnsiToUTF16(text, CodePage::Utf8);
}

UnicodeString GroupDigits(std::uint64_t number) {
  const std::string digits = std::to_string(number);
  UnicodeString out;
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i != 0 && (digits.size() - i) % 3 == 0) out += u',';
    out += static_cast<char16_t>(digits[i]);
  }
  return out;
}

UnicodeString Format(std::u16string_view format, std::initializer_list<FormatArg> args) {
  UnicodeString out;
  auto next = args.begin();
  for (std::size_t i = 0; i < format.size(); ++i) {
    const char16_t c = format[i];
    if (c != u'%' || i + 1 == format.size()) {
      out += c;
      continue;
    }
    const char16_t conversion = format[++i];
    if (conversion == u'%') {
      out += u'%';
    } else if ((conversion == u'd' || conversion == u's') && next != args.end()) {
      if (const auto* n = std::get_if<long long>(&*next)) {
        for (char ch : std::to_string(*n))
          out += static_cast<char16_t>(ch);
      } else {
        out += std::get<std::u16string_view>(*next);
      }
      ++next;
    } else {
      out += u'%';
      out += conversion;
    }
  }
  return out;
}

}  // namespace norvalis
