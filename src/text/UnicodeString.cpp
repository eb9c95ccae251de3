#include "text/UnicodeString.h"

namespace norvalis {

void AppendUtf16(UnicodeString& out, char32_t cp) {
  if (cp < 0x10000) {
    out += static_cast<char16_t>(cp);
  } else {
    cp -= 0x10000;
    out += static_cast<char16_t>(0xD800 | (cp >> 10));
    out += static_cast<char16_t>(0xDC00 | (cp & 0x3FF));
  }
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
  for (std::size_t i = 0; i < text.size(); ++i) {
    char32_t u = text[i];
    if (u >= 0xD800 && u <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      u = 0x10000 + ((u - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (u >= 0xD800 && u <= 0xDFFF) {
      u = 0xFFFD;
    }
    AppendUtf8(out, u);
  }
  return out;
}

UnicodeString FromUtf8(std::string_view text) {
  UnicodeString out;
  out.reserve(text.size());
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t n = text.size();
  std::size_t i = 0;
  while (i < n) {
    const unsigned char b = p[i];
    if (b < 0x80) {
      out += static_cast<char16_t>(b);
      ++i;
      continue;
    }
    int len = 0;
    char32_t cp = 0;
    char32_t min = 0;
    if (b >= 0xC2 && b <= 0xDF) {
      len = 2, cp = b & 0x1F, min = 0x80;
    } else if (b >= 0xE0 && b <= 0xEF) {
      len = 3, cp = b & 0x0F, min = 0x800;
    } else if (b >= 0xF0 && b <= 0xF4) {
      len = 4, cp = b & 0x07, min = 0x10000;
    }
    int got = 1;
    while (len != 0 && got < len && i + got < n && (p[i + got] & 0xC0) == 0x80) {
      cp = (cp << 6) | (p[i + got] & 0x3F);
      ++got;
    }
    if (len == 0 || got < len || cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
      out += u'\uFFFD';
      i += (len == 0 || got < len) ? got : len;
      continue;
    }
    AppendUtf16(out, cp);
    i += len;
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
