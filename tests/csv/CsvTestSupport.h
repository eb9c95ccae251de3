#pragma once

#include <gtest/gtest.h>

#include <optional>

#include "../text/TextTestSupport.h"
#include "csv/Csv.h"

namespace norvalis::test {

// An empty table, read every way it can be read.
inline void ExpectEmpty(const TCsv& csv) {
  EXPECT_TRUE(csv.IsEmpty());
  EXPECT_EQ(csv.GetRowCount(), 0u);
  EXPECT_EQ(csv.GetColCount(), 0u);
  EXPECT_TRUE(csv.GetRows().empty());
  EXPECT_EQ(csv.Share(), nullptr);
  EXPECT_EQ(csv.GetCell(0, 0), u"");
}

// The text a file of one byte gives: ASCII as itself, the rest as Windows reads code page 932
// (nothing is recognised in one byte); nothing when the dialect keeps no cell of it.
inline std::optional<char16_t> ExpectedCellOfByte(int b) {
  if (b == 0x09) return u'\t';
  // Controls, CR and LF are dropped; a quotation mark opens an empty quoted field; a comma
  // separates two empty fields; U+007F and U+0080 are dropped.
  if (b < 0x20 || b == '"' || b == ',' || b == 0x7F || b == 0x80) return std::nullopt;
  if (b < 0x7F) return static_cast<char16_t>(b);
  if (b == 0xA0) return u'\uF8F0';
  if (b >= 0xA1 && b <= 0xDF) return static_cast<char16_t>(0xFF61 + (b - 0xA1));
  if (b >= 0xFD) return static_cast<char16_t>(0xF8F1 + (b - 0xFD));
  // A lead byte without its trail byte.
  return u'\uFFFD';
}

}  // namespace norvalis::test
