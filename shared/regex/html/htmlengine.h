#pragma once
// Matcher for RunPass over the product's regular-expression engine: Perl syntax over the wide
// string's constant iterator, case-insensitive and global, recursive matching.
#include <string>

#include "shared/regex/html/htmlpasses.h"
#include "shared/regex/rpattern.h"

namespace vantor::html {

class EngineMatcher {
 public:
  explicit EngineMatcher(const Pass& pass)
      : pattern_(std::wstring(pass.pattern), std::wstring(pass.replacement), regex::NOCASE | regex::GLOBAL,
                 regex::MODE_DEFAULT) {}

  bool Find(const std::wstring& s, size_t from, size_t to, size_t& begin, size_t& end) {
    if (!pattern_.match(s.begin() + std::ptrdiff_t(from), s.begin() + std::ptrdiff_t(to), results_)) return false;
    const auto& whole = results_.backref(0);
    begin = size_t(whole.first - s.begin());
    end = size_t(whole.second - s.begin());
    return true;
  }
  bool MatchAt(const std::wstring& s, size_t at, size_t to, size_t& end) {
    const auto b = s.begin() + std::ptrdiff_t(at);
    if (!pattern_.match_at(b, b, s.begin() + std::ptrdiff_t(to), results_)) return false;
    end = size_t(results_.backref(0).second - s.begin());
    return true;
  }
  // Steps the engine took in the last call.
  uint64_t Steps() const { return results_.steps(); }

 private:
  regex::rpattern pattern_;
  regex::match_results results_;
};

}  // namespace vantor::html
