#pragma once
// The rewriting passes behind the HTML-to-text conversions, and the driver that runs one pass
// over a text. The driver is a template over the matcher so that the same passes, in the same
// order, run with the product's regular-expression engine and with a reference engine in tests.
//
// A matcher M offers:
//   explicit M(const Pass& pass);   // compiles pass.pattern, case-insensitive, '.' stops at LF
//   bool Find(const std::wstring& s, size_t from, size_t to, size_t& begin, size_t& end);
// Find looks for the leftmost match inside s[from, to), treating `to` as the end of the text.
#include <algorithm>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace vantor::html {

// Computes the text that replaces one match and appends it to out.
using ComputeFn = void (*)(std::wstring_view match, std::wstring& out);

// How far the driver lets the matcher look, so that no input makes a pass quadratic.
enum class Reach {
  Whole,       // the whole text
  ToLastTail,  // up to the last occurrence of `tail`: every match ends with that literal
  Span,        // `open` ... `close` on one line: matches are found closing tag by closing tag
};

struct Pass {
  std::wstring_view pattern;
  std::wstring_view replacement;
  Reach reach = Reach::Whole;
  std::wstring_view tail;   // ToLastTail: the literal every match ends with; Span: the closing tag
  ComputeFn compute = nullptr;  // when set, it supplies the replacement instead of `replacement`
};

// Passes of hxConvertToPlaintext and hxRemoveHTMLHeader, in the order they run.
const std::vector<Pass>& PlaintextPasses();
const std::vector<Pass>& HeaderPasses();

// The replacement of a character reference: "&#261;", "&#x105;" and the named references of
// HTML ("&oacute;", "&amp;") become their character; an unknown name of two to six characters
// is deleted; other unknown names ("AT&T;") are kept as they stand.
void DecodeEntity(std::wstring_view match, std::wstring& out);
char32_t LookupNamedEntity(std::wstring_view name);  // 0 when unknown; the name is case-sensitive

// Body of hxConvertToPlainHTML: escapes "<" and ">", turns LF into "<br>" and wraps the page.
std::wstring PlainTextToHTML(std::wstring_view text);

// ASCII case-insensitive search for a literal (the passes' literals are ASCII).
size_t FindNoCase(const std::wstring& s, std::wstring_view lit, size_t from, size_t to);
size_t RFindNoCase(const std::wstring& s, std::wstring_view lit);

// Runs one pass over s and returns the rewritten text; every match found left to right without
// overlap is replaced, and the result is built in one sweep.
template <class M>
std::wstring RunPass(const Pass& pass, const std::wstring& s) {
  M matcher(pass);
  std::wstring out;
  size_t copied = 0;  // s[0, copied) is already represented in out
  bool any = false;
  auto replace = [&](size_t b, size_t e) {
    if (!any) {
      out.reserve(s.size());
      any = true;
    }
    out.append(s, copied, b - copied);
    if (pass.compute)
      pass.compute(std::wstring_view(s).substr(b, e - b), out);
    else
      out.append(pass.replacement);
    copied = e;
  };
  // Replaces every match inside [from, to); returns where the last one ended (or from).
  auto sweep = [&](size_t from, size_t to) {
    size_t b = 0, e = 0;
    while (from < to && matcher.Find(s, from, to, b, e)) {
      if (e <= b) {  // an empty match would not advance; no pass pattern can produce one
        from = b + 1;
        continue;
      }
      replace(b, e);
      from = e;
    }
  };

  switch (pass.reach) {
    case Reach::Whole:
      sweep(0, s.size());
      break;
    case Reach::ToLastTail: {
      size_t t = RFindNoCase(s, pass.tail);
      if (t != std::wstring::npos) sweep(0, t + pass.tail.size());
      break;
    }
    case Reach::Span: {
      // A match runs from an opening tag to the first closing tag after it without crossing a
      // line feed. Taking the closing tags in order, the only candidates for the one at c are
      // the openings after the previous closing tag and after the last line feed before c, so
      // every character is looked at a bounded number of times.
      size_t floor = 0;
      for (size_t c = FindNoCase(s, pass.tail, 0, s.size()); c != std::wstring::npos;
           c = FindNoCase(s, pass.tail, floor, s.size())) {
        size_t end = c + pass.tail.size();
        size_t from = c;
        while (from > floor && s[from - 1] != L'\n') --from;
        if (from < c) sweep(std::max(from, copied), end);
        floor = end;
      }
      break;
    }
  }
  if (!any) return s;
  out.append(s, copied, std::wstring::npos);
  return out;
}

template <class M>
std::wstring RunPasses(const std::vector<Pass>& passes, std::wstring s) {
  for (const Pass& p : passes) s = RunPass<M>(p, s);
  return s;
}

}  // namespace vantor::html
