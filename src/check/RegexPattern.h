#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string_view>

#include "text/UnicodeString.h"

namespace norvalis {

// A PCRE2 pattern (16-bit, UTF) matched against a whole cell. Compiled once and shared; each
// thread matches with a Matcher of its own.
class RegexPattern {
 public:
  // What a compile that failed says: PCRE2's message and the code unit where it stopped.
  struct Error {
    UnicodeString message;
    std::size_t offset = 0;
  };
  // The pattern, or why it does not compile.
  static std::shared_ptr<const RegexPattern> Compile(std::u16string_view pattern, Error& error);
  ~RegexPattern();
  RegexPattern(const RegexPattern&) = delete;
  RegexPattern& operator=(const RegexPattern&) = delete;

  enum class Match { Yes, No, GaveUp };
  // Match state for one thread: the match data and the limits that keep a catastrophic pattern
  // from running for ever (it gives up instead).
  class Matcher {
   public:
    explicit Matcher(const RegexPattern& pattern);
    ~Matcher();
    Matcher(const Matcher&) = delete;
    Matcher& operator=(const Matcher&) = delete;
    // Whether the whole text matches.
    Match Whole(std::u16string_view text);

   private:
    const RegexPattern& pattern_;
    void* data_ = nullptr;
    void* context_ = nullptr;
  };

 private:
  explicit RegexPattern(void* code) : code_(code) {}
  void* code_;
};

}  // namespace norvalis
