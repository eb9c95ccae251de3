#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include <iconv.h>

namespace norvalis {

// glibc's iconv, the second route the tests and benchmarks check the program's own code pages
// against; the program itself never calls it.
class Iconv {
 public:
  Iconv(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~Iconv() {
    if (Valid()) iconv_close(cd_);
  }
  Iconv(const Iconv&) = delete;
  Iconv& operator=(const Iconv&) = delete;

  bool Valid() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
  // The whole input converted from the initial state into at most outputBytes; nothing when
  // the descriptor is invalid or any byte is left unconverted.
  std::optional<std::string> Convert(std::string_view input, std::size_t outputBytes) {
    constexpr std::size_t failed = static_cast<std::size_t>(-1);
    if (!Valid()) return std::nullopt;
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    std::string out(outputBytes, '\0');
    // iconv's input pointer is not const, but it only reads through it.
    char* in = const_cast<char*>(input.data());
    std::size_t inLeft = input.size();
    char* outPtr = out.data();
    std::size_t outLeft = out.size();
    if (iconv(cd_, &in, &inLeft, &outPtr, &outLeft) == failed || inLeft != 0) return std::nullopt;
    // A stateful target ends in its initial state.
    if (iconv(cd_, nullptr, nullptr, &outPtr, &outLeft) == failed) return std::nullopt;
    out.resize(out.size() - outLeft);
    return out;
  }

 private:
  iconv_t cd_;
};

}  // namespace norvalis
