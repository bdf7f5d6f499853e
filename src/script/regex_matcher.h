// Regular expressions over GBK text, run by the embedded script engine.
//
// The pattern syntax is that of JavaScript regular expressions, except that
// "." matches every character but a line feed (a carriage return included).
// "\w" and "\d" are ASCII-only. Texts are GBK on both sides; the engine works
// on UTF-16, so match positions are converted back to byte offsets.
//
// Failures are quiet: an invalid pattern makes Match give false, and every
// accessor gives the empty text or 0 for anything it cannot answer.
//
// An object and its copies share one engine heap and must be used by one
// thread at a time; separate objects share nothing and may live on separate
// threads at once.
#pragma once

#include <memory>
#include <string_view>

#include "text/text.h"

namespace qa {

class ScriptEngine;

class RegexMatcher {
 public:
  RegexMatcher();
  ~RegexMatcher();
  RegexMatcher(RegexMatcher&&) noexcept;
  RegexMatcher& operator=(RegexMatcher&&) noexcept;
  RegexMatcher(const RegexMatcher&) = delete;
  RegexMatcher& operator=(const RegexMatcher&) = delete;

  // A second matcher that shares this one's engine and the results of its last
  // Match. A later Match on either replaces only that object's results.
  RegexMatcher Copy() const;

  // Runs `pattern` over `subject` and keeps the matches. With `quoteWord`,
  // every kQuoteMarker in the pattern stands for one double quote. Case is
  // ignored unless `caseSensitive`; `multiline` lets "^" and "$" match at line
  // breaks; `global` collects every match instead of only the first.
  // True when the pattern is valid, whether or not anything matched.
  bool Match(std::string_view pattern, std::string_view subject, bool caseSensitive = false,
             bool multiline = true, bool global = true, bool quoteWord = false);

  // The pattern of the last Match as it was set (quote markers replaced);
  // empty before the first Match.
  Text GetPattern() const;

  // The subject of the last Match with the matches replaced by `replacement`
  // (every match, or only the first when that Match was not global). The
  // replacement may use $1..$99, $&, $`, $' and $$. Empty when there is no
  // valid pattern.
  Text Replace(std::string_view replacement = {}) const;

  // Number of matches of the last Match; 0 when there is none.
  int GetMatchCount() const;

  // Match n (counted from 1); empty when n is out of range. When `position` is
  // given it receives the match's 0-based byte offset in the subject; for an
  // index out of range it receives 0, or -2 when the subject is empty.
  Text GetMatchText(int n, int* position = nullptr) const;

  // Capturing group k (from 1) of match n (from 1); empty when either is out of
  // range or the group did not take part in the match. `position` as for
  // GetMatchText: the first occurrence of the group's text at or after the
  // start of the match (-2 when there is none).
  Text GetSubMatchText(int n, int k, int* position = nullptr) const;

  // Number of capturing groups of the first match; 0 when there is no match.
  int GetSubMatchCount() const;

 private:
  struct Item;
  struct Results;

  const Item* ItemAt(int n) const;
  int PositionOf(const Item* item, std::string_view text) const;

  std::shared_ptr<ScriptEngine> engine_;
  std::shared_ptr<const Results> results_;
};

}  // namespace qa
