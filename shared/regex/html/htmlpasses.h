#pragma once
// The rewriting passes behind the HTML-to-text conversions, and the driver that runs one pass
// over a text. The driver is a template over the matcher so that the same passes, in the same
// order, run with the product's regular-expression engine and with a reference engine in tests.
//
// A matcher M offers:
//   explicit M(const Pass& pass);   // compiles pass.pattern, case-insensitive, '.' stops at LF
//   bool Find(const std::wstring& s, size_t from, size_t to, size_t& begin, size_t& end);
//   bool MatchAt(const std::wstring& s, size_t at, size_t to, size_t& end);
// Find looks for the leftmost match inside s[from, to), MatchAt for a match that starts at `at`;
// both take `from` (or `at`) as the start and `to` as the end of the text.
#include <algorithm>
#include <cstddef>
#include <cwchar>
#include <string>
#include <string_view>
#include <vector>

namespace vantor::html {

// Computes the text that replaces one match and appends it to out.
using ComputeFn = void (*)(std::wstring_view match, std::wstring& out);

// Where the driver lets the matcher look. Besides saving time, the limits keep every pass
// linear: no input makes the matcher retry the same stretch of text once per start position.
enum class Reach {
  Whole,       // the whole text
  ToLastTail,  // up to the last occurrence of `tail`: every match ends with that literal
  Keyed,       // a match starting at each candidate of `key` (below)
  Run,         // each maximal run of repeats of `key`
  Span,        // `key` ... `tail` on one line, found closing tag by closing tag (below)
};

// Keyed: every match holds the literal `key`, preceded inside the match only by characters of
// `before` and, when `open` is set, by one `open` character that starts the match; it ends at
// the first `tail` after the key, or, without a tail, at most one character after the key. So
// every match starts at a candidate (an `open` before the key, or the key itself), and the
// matcher is asked, candidate by candidate, for a match that starts there and ends by that end:
// a candidate that fails costs what the matcher looks at from it, however far its tail is.
// Span: every match runs from the opening tag `key` to the first closing tag `tail` after it,
// and '.' does not cross a line feed.
struct Pass {
  std::wstring_view pattern;
  std::wstring_view replacement;
  Reach reach = Reach::Whole;
  std::wstring_view key;
  wchar_t open = 0;
  std::wstring_view before;
  std::wstring_view tail;
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

// The first candidate of a Keyed pass at or after `from`: where a match could start and where
// its key ends. False when there is none.
bool FindKeyed(const Pass& pass, const std::wstring& s, size_t from, size_t& start, size_t& keyEnd);

// Runs one pass over s in place: every match found left to right without overlap is replaced,
// and the new text is built in one sweep: over s itself while every replacement fits in the
// room the matches so far have left, else, from the first one that does not, in `scratch`
// (whose memory a run of passes reuses).
template <class M>
void RunPass(const Pass& pass, std::wstring& s, std::wstring& scratch) {
  const size_t npos = std::wstring::npos, n = s.size();
  M matcher(pass);
  bool inPlace = true;  // until a replacement is longer than the room its match leaves
  std::wstring& out = scratch;
  std::wstring computed;
  size_t copied = 0;  // s[0, copied) is already represented in the result
  size_t written = 0;  // in place: the result so far is s[0, written), written <= copied
  bool any = false;
  size_t b = 0, e = 0;
  // Replaces the match [b, e). In place, the writes stay below the match's end, where neither
  // the matcher nor the reach looks again.
  auto replace = [&] {
    std::wstring_view replacement = pass.replacement;
    if (pass.compute) {
      computed.clear();
      pass.compute(std::wstring_view(s).substr(b, e - b), computed);
      replacement = computed;
    }
    if (inPlace && written + (b - copied) + replacement.size() > e) {
      // From here on the result is built in `out`, starting with what is already in place.
      inPlace = false;
      out.clear();
      out.reserve(n + n / 8);
      out.append(s, 0, written);
    }
    if (inPlace) {
      if (written != copied) std::wmemmove(s.data() + written, s.data() + copied, b - copied);
      written += b - copied;
      std::wmemcpy(s.data() + written, replacement.data(), replacement.size());
      written += replacement.size();
    } else {
      out.append(s, copied, b - copied);
      out.append(replacement);
    }
    any = true;
    copied = e;
  };
  // Replaces the leftmost match inside [from, to), if any; its end is then in e.
  auto replaceFirst = [&](size_t from, size_t to) {
    if (from >= to || !matcher.Find(s, from, to, b, e) || e <= b) return false;  // no pattern matches ""
    replace();
    return true;
  };
  auto replaceAll = [&](size_t from, size_t to) {
    while (replaceFirst(from, to)) from = e;
  };

  switch (pass.reach) {
    case Reach::Whole:
      replaceAll(0, n);
      break;
    case Reach::ToLastTail: {
      size_t t = RFindNoCase(s, pass.tail);
      if (t != npos) replaceAll(0, t + pass.tail.size());
      break;
    }
    case Reach::Keyed: {
      size_t from = 0, tailAt = 0;
      bool tailKnown = false;
      size_t start = 0, keyEnd = 0;
      while (from < n && FindKeyed(pass, s, from, start, keyEnd)) {
        size_t end = std::min(n, keyEnd + 1);
        if (!pass.tail.empty()) {
          if (!tailKnown || tailAt < keyEnd) {
            tailAt = FindNoCase(s, pass.tail, keyEnd, n);
            tailKnown = true;
          }
          if (tailAt == npos) break;  // nothing after here can end a match
          end = tailAt + pass.tail.size();
        }
        if (matcher.MatchAt(s, start, end, e) && e > start) {
          b = start;
          replace();
          from = e;
        } else {
          from = start + 1;
        }
      }
      break;
    }
    case Reach::Run: {
      // When one key alone is the replacement, only runs of two or more change anything.
      std::wstring lead(pass.key);
      if (pass.key.size() == 1 && pass.replacement == pass.key) lead += pass.key;
      for (size_t k = FindNoCase(s, lead, 0, n); k != npos; k = FindNoCase(s, lead, e, n)) {
        e = k + pass.key.size();
        while (e + pass.key.size() <= n && s.compare(e, pass.key.size(), pass.key) == 0) e += pass.key.size();
        if (pass.replacement == std::wstring_view(s).substr(k, e - k)) continue;  // would change nothing
        if (!replaceFirst(k, e)) e = k + 1;
      }
      break;
    }
    case Reach::Span: {
      // Taking the closing tags in order, the only openings that can end at the one at c stand
      // after the previous closing tag and after the last line feed before c. Every match
      // starts with the opening tag, so the matcher starts at the first such one.
      size_t floor = 0;
      for (size_t c = FindNoCase(s, pass.tail, 0, n); c != npos; c = FindNoCase(s, pass.tail, floor, n)) {
        size_t open = FindNoCase(s, pass.key, std::max(floor, copied), c);
        if (open != npos) {
          size_t lineStart = c;
          while (lineStart > open && s[lineStart - 1] != L'\n') --lineStart;
          if (lineStart > open) open = FindNoCase(s, pass.key, lineStart, c);
        }
        floor = c + pass.tail.size();
        if (open != npos) replaceAll(open, floor);
      }
      break;
    }
  }
  if (!any) return;
  if (inPlace) {
    std::wmemmove(s.data() + written, s.data() + copied, n - copied);
    s.resize(written + n - copied);
    return;
  }
  out.append(s, copied, npos);
  s.swap(out);
}

template <class M>
void RunPass(const Pass& pass, std::wstring& s) {
  std::wstring scratch;
  RunPass<M>(pass, s, scratch);
}

template <class M>
std::wstring RunPasses(const std::vector<Pass>& passes, std::wstring s) {
  std::wstring scratch;
  for (const Pass& p : passes) RunPass<M>(p, s, scratch);
  return s;
}

}  // namespace vantor::html
