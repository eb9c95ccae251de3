#include "check/RegexPattern.h"

#define PCRE2_CODE_UNIT_WIDTH 16
#include <pcre2.h>

#include <string>

namespace norvalis {

namespace {

// Enough backtracking for any sane pattern over a cell; a nested-quantifier pattern on a long
// cell stops here within milliseconds instead of running for hours.
constexpr std::uint32_t MatchLimit = 1'000'000;
constexpr std::uint32_t DepthLimit = 10'000;

pcre2_code* code(void* p) {
  return static_cast<pcre2_code*>(p);
}

UnicodeString errorMessage(int number) {
  PCRE2_UCHAR buffer[256];
  const int length = pcre2_get_error_message(number, buffer, 256);
  if (length < 0) return u"?";
  return UnicodeString(reinterpret_cast<const char16_t*>(buffer), static_cast<std::size_t>(length));
}

}  // namespace

std::shared_ptr<const RegexPattern> RegexPattern::Compile(std::u16string_view pattern,
                                                          Error& error) {
  int number = 0;
  PCRE2_SIZE offset = 0;
  // The whole cell must match, so both ends are anchored; a cell with a lone surrogate simply
  // does not match instead of failing the run.
  pcre2_code* compiled =
      pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pattern.data()), pattern.size(),
                    PCRE2_UTF | PCRE2_ANCHORED | PCRE2_ENDANCHORED | PCRE2_MATCH_INVALID_UTF,
                    &number, &offset, nullptr);
  if (compiled == nullptr) {
    error.message = errorMessage(number);
    error.offset = offset;
    return nullptr;
  }
  std::shared_ptr<RegexPattern> result(new RegexPattern(compiled));
  // Without the JIT (a system that lacks it) the interpreter matches the same, slower.
  pcre2_jit_compile(compiled, PCRE2_JIT_COMPLETE);
  return result;
}

RegexPattern::~RegexPattern() {
  pcre2_code_free(code(code_));
}

RegexPattern::Matcher::Matcher(const RegexPattern& pattern)
    : pattern_(pattern),
      data_(pcre2_match_data_create_from_pattern(code(pattern.code_), nullptr)),
      context_(pcre2_match_context_create(nullptr)) {
  auto* context = static_cast<pcre2_match_context*>(context_);
  pcre2_set_match_limit(context, MatchLimit);
  pcre2_set_depth_limit(context, DepthLimit);
}

RegexPattern::Matcher::~Matcher() {
  pcre2_match_data_free(static_cast<pcre2_match_data*>(data_));
  pcre2_match_context_free(static_cast<pcre2_match_context*>(context_));
}

RegexPattern::Match RegexPattern::Matcher::Whole(std::u16string_view text) {
  if (data_ == nullptr || context_ == nullptr) return Match::GaveUp;
  const auto* subject = reinterpret_cast<PCRE2_SPTR>(text.data());
  auto* data = static_cast<pcre2_match_data*>(data_);
  auto* context = static_cast<pcre2_match_context*>(context_);
  const int rc = pcre2_match(code(pattern_.code_), subject, text.size(), 0, 0, data, context);
  if (rc >= 0) {
    // Anchored at both ends already; the span is checked all the same, so no path of the
    // matcher can let a part of the cell pass for the whole.
    const PCRE2_SIZE* span = pcre2_get_ovector_pointer(data);
    return span[0] == 0 && span[1] == text.size() ? Match::Yes : Match::No;
  }
  if (rc == PCRE2_ERROR_NOMATCH) return Match::No;
  return Match::GaveUp;
}

}  // namespace norvalis
