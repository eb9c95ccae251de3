#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include <iconv.h>

namespace norvalis {

// A glibc conversion descriptor, closed by its owner; the one place the program calls iconv.
class Iconv {
 public:
  Iconv(const char* to, const char* from);
  ~Iconv();
  Iconv(const Iconv&) = delete;
  Iconv& operator=(const Iconv&) = delete;

  // Whether glibc knows the pair of encodings.
  bool Valid() const;
  // Converts the whole input from the initial state, with room for at most outputBytes;
  // nothing when the descriptor is invalid or any byte is left unconverted.
  std::optional<std::string> Convert(std::string_view input, std::size_t outputBytes);

 private:
  iconv_t cd_;
};

}  // namespace norvalis
