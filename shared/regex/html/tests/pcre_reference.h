#pragma once
// The reference engine for the conversions' passes: PCRE2 over 32-bit code units (wchar_t is
// 32-bit here), case-insensitive, '.' stopping at LF only, as the product's engine runs them.
#define PCRE2_CODE_UNIT_WIDTH 32
#include <pcre2.h>

#include <stdexcept>
#include <string>

#include "shared/regex/html/htmlpasses.h"

namespace vantor::html::testing {

static_assert(sizeof(wchar_t) == 4, "the reference runs over 32-bit code units");

class PcreCode {
 public:
  explicit PcreCode(std::wstring_view pattern) {
    pcre2_compile_context* cc = pcre2_compile_context_create(nullptr);
    pcre2_set_newline(cc, PCRE2_NEWLINE_LF);
    int err = 0;
    PCRE2_SIZE off = 0;
    code_ = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pattern.data()), pattern.size(), PCRE2_CASELESS, &err,
                          &off, cc);
    pcre2_compile_context_free(cc);
    if (!code_) throw std::runtime_error("reference pattern does not compile");
    data_ = pcre2_match_data_create_from_pattern(code_, nullptr);
  }
  ~PcreCode() {
    pcre2_match_data_free(data_);
    pcre2_code_free(code_);
  }
  PcreCode(const PcreCode&) = delete;
  PcreCode& operator=(const PcreCode&) = delete;

  pcre2_code* Raw() const { return code_; }

  // Leftmost match in s[from, to), `to` taken as the end of the subject.
  bool Find(const std::wstring& s, size_t from, size_t to, size_t& b, size_t& e) { return Run(s, from, to, 0, b, e); }
  // A match that starts at `at`.
  bool MatchAt(const std::wstring& s, size_t at, size_t to, size_t& e) {
    size_t b = 0;
    return Run(s, at, to, PCRE2_ANCHORED, b, e);
  }

 private:
  bool Run(const std::wstring& s, size_t from, size_t to, uint32_t options, size_t& b, size_t& e) {
    int rc = pcre2_match(code_, reinterpret_cast<PCRE2_SPTR>(s.data()), to, from, options, data_, nullptr);
    if (rc == PCRE2_ERROR_NOMATCH) return false;
    if (rc < 0) throw std::runtime_error("reference match failed");
    PCRE2_SIZE* ov = pcre2_get_ovector_pointer(data_);
    b = ov[0];
    e = ov[1];
    return true;
  }

  pcre2_code* code_ = nullptr;
  pcre2_match_data* data_ = nullptr;
};

// Matcher for RunPass: the passes run through the product's driver with PCRE2 matching.
struct PcreMatcher : PcreCode {
  explicit PcreMatcher(const Pass& p) : PcreCode(p.pattern) {}
};

// One pass the plain way: PCRE2's own global substitution over the whole text (a computed
// replacement goes match by match), with none of the driver's reach limits.
inline std::wstring ReferencePass(const Pass& p, const std::wstring& s) {
  if (p.parts) {  // passes run together give what they give one after the other
    std::wstring t = s;
    for (size_t i = 0; i < p.nparts; ++i) t = ReferencePass(p.parts[i], t);
    return t;
  }
  PcreCode code(p.pattern);
  std::wstring out;
  size_t from = 0, copied = 0, b = 0, e = 0;
  if (p.compute) {
    while (from <= s.size() && code.Find(s, from, s.size(), b, e)) {
      out.append(s, copied, b - copied);
      p.compute(std::wstring_view(s).substr(b, e - b), out);
      copied = from = e;
    }
    return out.append(s, copied, std::wstring::npos);
  }
  out.resize(s.size() * 2 + 64);
  for (;;) {
    PCRE2_SIZE len = out.size();
    int rc = pcre2_substitute(
        code.Raw(), reinterpret_cast<PCRE2_SPTR>(s.data()), s.size(), 0,
        PCRE2_SUBSTITUTE_GLOBAL | PCRE2_SUBSTITUTE_LITERAL | PCRE2_SUBSTITUTE_OVERFLOW_LENGTH, nullptr, nullptr,
        reinterpret_cast<PCRE2_SPTR>(p.replacement.data()), p.replacement.size(),
        reinterpret_cast<PCRE2_UCHAR*>(out.data()), &len);
    if (rc == PCRE2_ERROR_NOMEMORY) {
      out.resize(len);
      continue;
    }
    if (rc < 0) throw std::runtime_error("reference substitution failed");
    out.resize(len);
    return out;
  }
}

inline std::wstring ReferencePasses(const std::vector<Pass>& passes, std::wstring s) {
  for (const Pass& p : passes) s = ReferencePass(p, s);
  return s;
}

}  // namespace vantor::html::testing
