#include "text/Iconv.h"

namespace norvalis {

namespace {

const iconv_t Invalid = reinterpret_cast<iconv_t>(-1);
constexpr std::size_t Failed = static_cast<std::size_t>(-1);

}  // namespace

Iconv::Iconv(const char* to, const char* from) : cd_(iconv_open(to, from)) {}

Iconv::~Iconv() {
  if (Valid()) iconv_close(cd_);
}

bool Iconv::Valid() const {
  return cd_ != Invalid;
}

std::optional<std::string> Iconv::Convert(std::string_view input, std::size_t outputBytes) {
  if (!Valid()) return std::nullopt;
  iconv(cd_, nullptr, nullptr, nullptr, nullptr);
  std::string out(outputBytes, '\0');
  // iconv's input pointer is not const, but it only reads through it.
  char* inPtr = const_cast<char*>(input.data());
  std::size_t inLeft = input.size();
  char* outPtr = out.data();
  std::size_t outLeft = out.size();
  if (iconv(cd_, &inPtr, &inLeft, &outPtr, &outLeft) == Failed || inLeft != 0) return std::nullopt;
  // A stateful target ends in its initial state.
  if (iconv(cd_, nullptr, nullptr, &outPtr, &outLeft) == Failed) return std::nullopt;
  out.resize(out.size() - outLeft);
  return out;
}

}  // namespace norvalis
