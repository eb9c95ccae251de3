#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace norvalis::crash {

// Text built in a fixed buffer with no allocation and no locale, so a signal handler may use
// it. What does not fit is dropped.
class SignalSafeText {
 public:
  SignalSafeText(char* buffer, std::size_t capacity) : buffer_(buffer), capacity_(capacity) {}

  SignalSafeText& Add(std::string_view text) {
    for (char c : text)
      Put(c);
    return *this;
  }
  // Text from a C string, with line breaks turned into spaces so one value stays one line.
  SignalSafeText& AddLine(const char* text) {
    for (; text != nullptr && *text != '\0'; ++text)
      Put(*text == '\n' || *text == '\r' ? ' ' : *text);
    return *this;
  }
  SignalSafeText& Decimal(std::int64_t value) {
    const bool negative = value < 0;
    std::uint64_t magnitude =
        negative ? std::uint64_t{0} - static_cast<std::uint64_t>(value) : value;
    char digits[24];
    int n = 0;
    do {
      digits[n++] = static_cast<char>('0' + magnitude % 10);
      magnitude /= 10;
    } while (magnitude != 0);
    if (negative) Put('-');
    while (n > 0)
      Put(digits[--n]);
    return *this;
  }
  SignalSafeText& Hex(std::uint64_t value) {
    Add("0x");
    for (int shift = 60; shift >= 0; shift -= 4)
      Put("0123456789abcdef"[(value >> shift) & 0xF]);
    return *this;
  }

  const char* Data() const { return buffer_; }
  std::size_t Size() const { return size_; }

 private:
  void Put(char c) {
    if (size_ < capacity_) buffer_[size_++] = c;
  }

  char* buffer_;
  std::size_t capacity_;
  std::size_t size_ = 0;
};

}  // namespace norvalis::crash
