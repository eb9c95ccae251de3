#pragma once

#include <cstdint>
#include <string_view>

namespace norvalis::EncodeDetect {

// Byte-order marks, in ordinal order.
enum TBOMType { btNone, btUTF8, bt16LE, bt16BE, bt32LE, bt32BE };

// Checks a caller may switch off, in ordinal order.
enum TIgnoreEncode { ieSJIS, ieEUC, ieUTF8, ieJIS, ieBOM, ieUTF7 };

// A set of TIgnoreEncode, one bit (1 << ordinal) per member.
using TIgnoreEncodes = std::uint8_t;

constexpr TIgnoreEncodes IgnoreBit(TIgnoreEncode e) {
  return static_cast<TIgnoreEncodes>(1u << e);
}

// Verdicts of CheckEncoding.
enum Verdict : int {
  vNone = -1,
  vSJIS = 0,
  vEUC = 1,
  vJIS = 2,
  vUTF16LE = 3,
  vUTF16BE = 4,
  vUTF8 = 5,
  vUTF8BOM = 6,
  vUTF32LE = 7,
  vUTF32BE = 8,
  vUTF7 = 9,
};

// True when the byte is at most 0x7F.
bool IsASCII(std::uint8_t b);
// The byte-order mark the bytes begin with.
TBOMType BOMCheck(std::string_view bytes, TIgnoreEncodes ignore = 0);
// True when an ISO-2022-JP escape sequence comes before any byte above 0x7F.
bool IsJIS(std::string_view bytes, TIgnoreEncodes ignore = 0);
// Scanning checks: true when the bytes are valid; score grows per complete sequence.
bool IsSJIS(std::string_view bytes, std::int32_t& score, TIgnoreEncodes ignore = 0);
bool IsEUC(std::string_view bytes, std::int32_t& score, TIgnoreEncodes ignore = 0);
bool IsUTF8(std::string_view bytes, std::int32_t& score, TIgnoreEncodes ignore = 0);
bool IsUTF7(std::string_view bytes, std::int32_t& score, TIgnoreEncodes ignore = 0);
// The verdict for the bytes, -1 when nothing is recognised.
int CheckEncoding(std::string_view bytes, TIgnoreEncodes ignore = 0);

}  // namespace norvalis::EncodeDetect
