#include "persistence/AnsiCodePage.h"

#include <iconv.h>

#include <cerrno>
#include <string>

#include "text/MECSUtils.h"

namespace norvalis {

namespace {

constexpr std::uint16_t kAnsiCodePage = 932;

class IconvDescriptor {
 public:
  IconvDescriptor(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~IconvDescriptor() {
    if (valid()) iconv_close(cd_);
  }
  IconvDescriptor(const IconvDescriptor&) = delete;
  IconvDescriptor& operator=(const IconvDescriptor&) = delete;
  bool valid() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
  iconv_t get() const { return cd_; }

 private:
  iconv_t cd_;
};

std::string toUtf16LeBytes(std::u16string_view text) {
  std::string bytes;
  bytes.reserve(text.size() * 2);
  for (const char16_t unit : text) {
    bytes += static_cast<char>(unit & 0xFF);
    bytes += static_cast<char>(unit >> 8);
  }
  return bytes;
}

}  // namespace

std::optional<AnsiString> EncodeAnsiCodePage(std::u16string_view text) {
  IconvDescriptor cd("CP932", "UTF-16LE");
  if (!cd.valid()) return std::nullopt;
  std::string input = toUtf16LeBytes(text);
  // Every UTF-16 unit that fits takes at most two bytes.
  AnsiString output(input.size() + 4, '\0');
  char* in = input.data();
  std::size_t inLeft = input.size();
  char* out = output.data();
  std::size_t outLeft = output.size();
  const std::size_t irreversible = iconv(cd.get(), &in, &inLeft, &out, &outLeft);
  if (irreversible == static_cast<std::size_t>(-1) || inLeft != 0) return std::nullopt;
  if (iconv(cd.get(), nullptr, nullptr, &out, &outLeft) == static_cast<std::size_t>(-1)) {
    return std::nullopt;
  }
  output.resize(output.size() - outLeft);
  // glibc maps some characters many-to-one; only codes that read back unchanged count.
  if (MECSUtils::AnsiToUTF16(output, kAnsiCodePage) != text) return std::nullopt;
  return output;
}

}  // namespace norvalis
