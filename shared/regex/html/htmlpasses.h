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
#include <memory>
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
  Characters,  // the `parts`, character passes, in one sweep (below)
  SameKey,     // the `parts`, Keyed passes, in one sweep (below)
};

// Keyed: every match holds the literal `key`, preceded inside the match only by characters of
// `before` and, when `open` is set, by one `open` character that starts the match; it ends at
// the first `tail` after the key, or, without a tail, at most one character after the key. So
// every match starts at a candidate (an `open` before the key, or the key itself), and the
// matcher is asked, candidate by candidate, for a match that starts there and ends by that end:
// a candidate that fails costs what the matcher looks at from it, however far its tail is.
// Span: every match runs from the opening tag `key` to the first closing tag `tail` after it,
// and '.' does not cross a line feed.
//
// Two kinds of passes are run together, in one sweep over the text, with the result of running
// their parts one after the other:
// Characters: parts that each replace one character (a literal `key` of one character, no
// letter) by at most one character, then at most one Run part of one character whose
// replacement is that character; the text is mapped character by character.
// SameKey: Keyed parts without `open` whose matches all begin with the same character and hold
// no other one, and whose replacements hold none; at each occurrence of that character the
// first part that matches there replaces its match (no later part could have matched there).
struct Pass {
  std::wstring_view pattern;
  std::wstring_view replacement;
  Reach reach = Reach::Whole;
  std::wstring_view key;
  wchar_t open = 0;
  std::wstring_view before;
  std::wstring_view tail;
  ComputeFn compute = nullptr;  // when set, it supplies the replacement instead of `replacement`
  const Pass* parts = nullptr;  // Characters and SameKey: the passes run together
  size_t nparts = 0;
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
bool EqualNoCaseAt(const std::wstring& s, size_t at, std::wstring_view lit);  // false past the end

// Makes room for n characters in s. A large buffer is offered to the kernel for huge pages, so
// that filling it costs a few page faults instead of one for every 4 KB.
void ReserveLarge(std::wstring& s, size_t n);

// Runs a Characters pass over s in place.
void SweepCharacters(const Pass& pass, std::wstring& s);

// The new text of a pass, built in one sweep: over the text itself while every replacement
// fits in the room the matches so far have left, else, from the first one that does not, in
// `scratch` (whose memory a run of passes reuses). Matches come left to right, without overlap.
class Rewriter {
 public:
  // With `into`, the new text is built in `scratch` from the start and stays there; s keeps its
  // memory (its text is then spent).
  Rewriter(std::wstring& s, std::wstring& scratch, bool into = false) : s_(s), out_(scratch), into_(into) {
    if (into) {
      inPlace_ = false;
      out_.clear();
      ReserveLarge(out_, s.size());
    }
  }
  // Replaces s[b, e) by r; b is at or after the end of the previous match.
  void Replace(size_t b, size_t e, std::wstring_view r);
  // Puts the new text in s.
  void Finish();
  // Where the text not yet looked at starts (the end of the last match).
  size_t Copied() const { return copied_; }

 private:
  std::wstring& s_;
  std::wstring& out_;
  bool into_;
  bool any_ = false;
  bool inPlace_ = true;  // until a replacement is longer than the room its match leaves
  size_t copied_ = 0;    // s[0, copied_) is already represented in the result
  size_t written_ = 0;   // in place: the result so far is s[0, written_), written_ <= copied_
};

// The first candidate of a Keyed pass at or after `from`: where a match could start and where
// its key ends. False when there is none.
bool FindKeyed(const Pass& pass, const std::wstring& s, size_t from, size_t& start, size_t& keyEnd);

// Runs one pass over s in place: every match found left to right without overlap is replaced
// (see Rewriter). With `into`, the new text goes to `scratch` instead.
template <class M>
void RunPass(const Pass& pass, std::wstring& s, std::wstring& scratch, bool into = false) {
  if (pass.reach == Reach::Characters) {
    SweepCharacters(pass, s);
    if (into) scratch.assign(s);
    return;
  }
  const size_t npos = std::wstring::npos, n = s.size();
  Rewriter out(s, scratch, into);
  std::wstring computed;
  // Replaces s[b, e), a match of part p. A computed replacement reads the match first: writes
  // in place stay below the match's start.
  auto replace = [&](const Pass& p, size_t b, size_t e) {
    if (!p.compute) return out.Replace(b, e, p.replacement);
    computed.clear();
    p.compute(std::wstring_view(s).substr(b, e - b), computed);
    out.Replace(b, e, computed);
  };
  // The end of the stretch a Keyed part's match starting at a candidate can reach (see Keyed),
  // or npos when no tail follows; tailAt keeps the part's last tail found (npos: none is left).
  const size_t unknown = npos - 1;
  auto keyedEnd = [&](const Pass& p, size_t keyEnd, size_t& tailAt) {
    if (p.tail.empty()) return std::min(n, keyEnd + 1);
    if (tailAt == unknown || (tailAt != npos && tailAt < keyEnd)) tailAt = FindNoCase(s, p.tail, keyEnd, n);
    return tailAt == npos ? npos : tailAt + p.tail.size();
  };
  std::unique_ptr<M> matcher = pass.parts ? nullptr : std::make_unique<M>(pass);
  size_t b = 0, e = 0;
  // Replaces the leftmost match inside [from, to), if any; its end is then in e.
  auto replaceFirst = [&](size_t from, size_t to) {
    if (from >= to || !matcher->Find(s, from, to, b, e) || e <= b) return false;  // no pattern matches ""
    replace(pass, b, e);
    return true;
  };
  auto replaceAll = [&](size_t from, size_t to) {
    while (replaceFirst(from, to)) from = e;
  };

  switch (pass.reach) {
    case Reach::Characters:
      break;
    case Reach::Whole:
      replaceAll(0, n);
      break;
    case Reach::ToLastTail: {
      size_t t = RFindNoCase(s, pass.tail);
      if (t != npos) replaceAll(0, t + pass.tail.size());
      break;
    }
    case Reach::Keyed: {
      size_t from = 0, tailAt = unknown;
      size_t start = 0, keyEnd = 0;
      while (from < n && FindKeyed(pass, s, from, start, keyEnd)) {
        const size_t end = keyedEnd(pass, keyEnd, tailAt);
        if (end == npos) break;  // nothing after here can end a match
        if (matcher->MatchAt(s, start, end, e) && e > start) {
          replace(pass, start, e);
          from = e;
        } else {
          from = start + 1;
        }
      }
      break;
    }
    case Reach::SameKey: {
      std::vector<std::unique_ptr<M>> matchers;
      std::vector<size_t> tails(pass.nparts, unknown);
      for (size_t i = 0; i < pass.nparts; ++i) matchers.push_back(std::make_unique<M>(pass.parts[i]));
      const wchar_t key = pass.parts[0].key[0];
      for (const wchar_t* at = std::wmemchr(s.data(), key, n); at; at = std::wmemchr(s.data() + e, key, n - e)) {
        const size_t start = size_t(at - s.data());
        e = start + 1;
        for (size_t i = 0; i < pass.nparts; ++i) {
          const Pass& part = pass.parts[i];
          if (!EqualNoCaseAt(s, start, part.key)) continue;
          const size_t end = keyedEnd(part, start + part.key.size(), tails[i]);
          size_t matchEnd = 0;
          if (end != npos && matchers[i]->MatchAt(s, start, end, matchEnd) && matchEnd > start) {
            replace(part, start, matchEnd);
            e = matchEnd;
            break;
          }
        }
        if (e >= n) break;
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
        size_t open = FindNoCase(s, pass.key, std::max(floor, out.Copied()), c);
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
  out.Finish();
}

template <class M>
void RunPass(const Pass& pass, std::wstring& s) {
  std::wstring scratch;
  RunPass<M>(pass, s, scratch);
}

template <class M>
void RunPasses(const std::vector<Pass>& passes, std::wstring& s, std::wstring& scratch) {
  for (const Pass& p : passes) RunPass<M>(p, s, scratch);
}

// Runs the passes over s; the last one writes the result in `result` (see Rewriter).
template <class M>
void RunPassesInto(const std::vector<Pass>& passes, std::wstring& s, std::wstring& scratch, std::wstring& result) {
  if (passes.empty()) {
    result.assign(s);
    return;
  }
  for (size_t i = 0; i + 1 < passes.size(); ++i) RunPass<M>(passes[i], s, scratch);
  RunPass<M>(passes.back(), s, result, true);
}

template <class M>
std::wstring RunPasses(const std::vector<Pass>& passes, std::wstring s) {
  std::wstring scratch;
  RunPasses<M>(passes, s, scratch);
  return s;
}

}  // namespace vantor::html
