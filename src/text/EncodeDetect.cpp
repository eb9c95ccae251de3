#include "text/EncodeDetect.h"

#include <cstddef>

namespace norvalis::EncodeDetect {

namespace {

bool ignored(TIgnoreEncodes ignore, TIgnoreEncode e) {
  return (ignore & IgnoreBit(e)) != 0;
}

inline unsigned byteAt(std::string_view bytes, std::size_t i) {
  return static_cast<unsigned char>(bytes[i]);
}

// How a scanning check classifies a byte at a lead position.
struct ByteClass {
  int length;  // 0 invalid, 1 single, 2 to 4 a lead of that many bytes
  // Range of every following byte, less one value inside it (0x100 when none).
  unsigned low = 0;
  unsigned high = 0;
  unsigned hole = 0x100;
};

// The scheme the three scanning checks share: a cut-off sequence at the end counts nothing
// and scanning resumes at the byte after its lead.
template <class Classify>
bool scan(std::string_view bytes, std::int32_t& score, Classify classify) {
  const std::size_t n = bytes.size();
  std::size_t i = 0;
  while (i < n) {
    const ByteClass c = classify(byteAt(bytes, i));
    if (c.length == 0) return false;
    if (c.length == 1) {
      ++i;
      continue;
    }
    bool complete = true;
    for (int k = 1; k < c.length; ++k) {
      if (i + k >= n) {
        complete = false;
        break;
      }
      const unsigned b = byteAt(bytes, i + k);
      if (b < c.low || b > c.high || b == c.hole) return false;
    }
    if (complete) {
      score += c.length;
      i += static_cast<std::size_t>(c.length);
    } else {
      ++i;
    }
  }
  return true;
}

constexpr ByteClass Invalid{0};
constexpr ByteClass Single{1};

}  // namespace

bool IsASCII(std::uint8_t b) {
  return b <= 0x7F;
}

TBOMType BOMCheck(std::string_view bytes, TIgnoreEncodes ignore) {
  if (ignored(ignore, ieBOM)) return btNone;
  auto starts = [&](std::string_view mark) { return bytes.substr(0, mark.size()) == mark; };
  using namespace std::string_view_literals;
  if (bytes.size() >= 4) {
    if (starts("\xFF\xFE\x00\x00"sv)) return bt32LE;
    if (starts("\x00\x00\xFE\xFF"sv)) return bt32BE;
  }
  if (bytes.size() >= 2) {
    if (starts("\xFF\xFE"sv)) return bt16LE;
    if (starts("\xFE\xFF"sv)) return bt16BE;
  }
  if (bytes.size() >= 3 && starts("\xEF\xBB\xBF"sv)) return btUTF8;
  return btNone;
}

bool IsJIS(std::string_view bytes, TIgnoreEncodes ignore) {
  if (ignored(ignore, ieJIS)) return false;
  using namespace std::string_view_literals;
  static constexpr std::string_view escapes[] = {
      "\x1B(B"sv, "\x1B(J"sv, "\x1B(I"sv, "\x1B$@"sv, "\x1B$B"sv, "\x1B$(D"sv, "\x1B&@\x1B$B"sv,
  };
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (byteAt(bytes, i) > 0x7F) return false;
    if (bytes[i] != '\x1B') continue;
    const std::string_view rest = bytes.substr(i);
    for (std::string_view e : escapes) {
      if (rest.starts_with(e)) return true;
    }
  }
  return false;
}

bool IsSJIS(std::string_view bytes, std::int32_t& score, TIgnoreEncodes ignore) {
  if (ignored(ignore, ieSJIS)) return false;
  return scan(bytes, score, [](unsigned b) {
    if (b <= 0x7F || (b >= 0xA1 && b <= 0xDF)) return Single;
    if ((b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC)) {
      // 0x7F lies inside 0x40-0xFC but is no trail byte.
      return ByteClass{2, 0x40, 0xFC, 0x7F};
    }
    return Invalid;
  });
}

bool IsEUC(std::string_view bytes, std::int32_t& score, TIgnoreEncodes ignore) {
  if (ignored(ignore, ieEUC)) return false;
  return scan(bytes, score, [](unsigned b) {
    if (b <= 0x7F) return Single;
    if (b >= 0xA1 && b <= 0xFE) return ByteClass{2, 0xA1, 0xFE};
    if (b == 0x8E) return ByteClass{2, 0xA1, 0xDF};
    if (b == 0x8F) return ByteClass{3, 0xA1, 0xFE};
    return Invalid;
  });
}

bool IsUTF8(std::string_view bytes, std::int32_t& score, TIgnoreEncodes ignore) {
  if (ignored(ignore, ieUTF8)) return false;
  return scan(bytes, score, [](unsigned b) {
    if (b <= 0x7F) return Single;
    if (b >= 0xC0 && b <= 0xDF) return ByteClass{2, 0x80, 0xBF};
    if (b >= 0xE0 && b <= 0xEF) return ByteClass{3, 0x80, 0xBF};
    if (b >= 0xF0 && b <= 0xF7) return ByteClass{4, 0x80, 0xBF};
    return Invalid;
  });
}

bool IsUTF7(std::string_view bytes, std::int32_t& score, TIgnoreEncodes ignore) {
  if (ignored(ignore, ieUTF7)) return false;
  bool inBase64 = false;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const unsigned b = byteAt(bytes, i);
    const bool forbidden = b > 0x7F || (b >= 0x21 && b <= 0x26) || b == 0x2A ||
                           (b >= 0x3B && b <= 0x3E) || b == 0x40 || (b >= 0x5B && b <= 0x60) ||
                           (b >= 0x7B && b <= 0x7E);
    if (forbidden) return false;
    if (b == '+' && !inBase64) {
      inBase64 = true;
    } else if (b == '-' && inBase64) {
      inBase64 = false;
    }
    if (inBase64) {
      const bool base64 = (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') ||
                          (b >= '0' && b <= '9') || b == '+' || b == '/';
      if (!base64) return false;
      score += 2;
    }
  }
  return true;
}

int CheckEncoding(std::string_view bytes, TIgnoreEncodes ignore) {
  if (bytes.empty()) return vNone;
  switch (BOMCheck(bytes, ignore)) {
    case btUTF8:
      return vUTF8BOM;
    case bt16LE:
      return vUTF16LE;
    case bt16BE:
      return vUTF16BE;
    case bt32LE:
      return vUTF32LE;
    case bt32BE:
      return vUTF32BE;
    case btNone:
      break;
  }
  if (IsJIS(bytes, ignore)) return vJIS;

  std::int32_t sjis = 0;
  std::int32_t euc = 0;
  std::int32_t utf8 = 0;
  std::int32_t utf7 = 0;
  const bool isSjis = IsSJIS(bytes, sjis, ignore);
  const bool isEuc = IsEUC(bytes, euc, ignore);
  const bool isUtf8 = IsUTF8(bytes, utf8, ignore);
  const bool isUtf7 = IsUTF7(bytes, utf7, ignore);

  // Only a strictly greatest score can win, and only when its check held.
  if (euc > sjis && euc > utf8 && euc > utf7 && isEuc) return vEUC;
  if (sjis > euc && sjis > utf8 && sjis > utf7 && isSjis) return vSJIS;
  if (utf8 > sjis && utf8 > euc && utf8 > utf7 && isUtf8) return vUTF8;
  if (utf7 > sjis && utf7 > euc && utf7 > utf8 && isUtf7) return vUTF7;
  return vNone;
}

}  // namespace norvalis::EncodeDetect
