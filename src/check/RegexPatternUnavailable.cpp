// A build without PCRE2 (the Windows cross-build, until PCRE2 is built for it): every pattern is
// refused with a clear message, so a regex rule is a usage error instead of a silent pass.
#include "check/RegexPattern.h"

namespace norvalis {

std::shared_ptr<const RegexPattern> RegexPattern::Compile(std::u16string_view, Error& error) {
  error.message = u"この版では正規表現 (regex=) を使えません";
  error.offset = 0;
  return nullptr;
}

RegexPattern::~RegexPattern() = default;

RegexPattern::Matcher::Matcher(const RegexPattern& pattern) : pattern_(pattern) {}

RegexPattern::Matcher::~Matcher() = default;

RegexPattern::Match RegexPattern::Matcher::Whole(std::u16string_view) {
  return Match::GaveUp;
}

}  // namespace norvalis
