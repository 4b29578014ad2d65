// Pass tables of the HTML-to-text conversions and the helpers they use.
#include "shared/regex/html/htmlpasses.h"

#include "shared/regex/regex_scan.h"

#include <cstdint>
#include <cstring>
#include <cwchar>

#ifdef __linux__
#include <sys/mman.h>
#endif

namespace vantor::html {
namespace {

// Windows-1252 meanings of the references &#128; to &#159;, which pages written on Windows use
// for dashes, quotation marks and the euro sign; 0 where the code page leaves a hole.
constexpr char32_t kC1[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

wchar_t Fold(wchar_t c) { return (c >= L'A' && c <= L'Z') ? wchar_t(c + 32) : c; }


// Value of a numeric reference's digits; 0 when it is not a usable character.
char32_t NumericValue(std::wstring_view digits, int base) {
  uint32_t v = 0;
  for (wchar_t c : digits) {
    uint32_t d = (c >= L'0' && c <= L'9') ? uint32_t(c - L'0') : uint32_t(Fold(c) - L'a' + 10);
    v = v * uint32_t(base) + d;
    if (v > 0x10FFFF) return 0;
  }
  if (v >= 0xD800 && v <= 0xDFFF) return 0;
  if (v >= 0x80 && v <= 0x9F) return kC1[v - 0x80];
  return v;
}

}  // namespace

bool EqualNoCaseAt(const std::wstring& s, size_t at, std::wstring_view lit) {
  if (at > s.size() || s.size() - at < lit.size()) return false;
  for (size_t i = 0; i < lit.size(); ++i)
    if (Fold(s[at + i]) != Fold(lit[i])) return false;
  return true;
}

void SweepCharacters(const Pass& pass, std::wstring& s) {
  const Pass* run = pass.nparts && pass.parts[pass.nparts - 1].reach == Reach::Run ? &pass.parts[pass.nparts - 1] : nullptr;
  const size_t maps = pass.nparts - (run ? 1 : 0);
  const wchar_t runChar = run ? run->key[0] : 0;
  wchar_t highest = runChar;  // characters above every key pass through unchanged
  for (size_t i = 0; i < maps; ++i) highest = std::max(highest, pass.parts[i].key[0]);
  wchar_t* const d = s.data();
  size_t w = 0;
  for (size_t r = 0, n = s.size(); r < n; ++r) {
    wchar_t c = d[r];
    if (c > highest) {
      d[w++] = c;
      continue;
    }
    bool dropped = false;
    for (size_t i = 0; i < maps && !dropped; ++i) {
      const Pass& m = pass.parts[i];
      if (c != m.key[0]) continue;
      if (m.replacement.empty())
        dropped = true;
      else
        c = m.replacement[0];
    }
    if (dropped || (run && c == runChar && w > 0 && d[w - 1] == runChar)) continue;
    d[w++] = c;
  }
  s.resize(w);
}

void ReserveLarge(std::wstring& s, size_t n) {
  if (s.capacity() >= n) return;
  s.reserve(n);
#ifdef __linux__
  constexpr uintptr_t kHuge = uintptr_t(2) << 20;
  const uintptr_t start = reinterpret_cast<uintptr_t>(s.data()), bytes = n * sizeof(wchar_t);
  if (bytes < 4 * kHuge) return;
  const uintptr_t b = (start + kHuge - 1) & ~(kHuge - 1), e = (start + bytes) & ~(kHuge - 1);
  if (e > b) madvise(reinterpret_cast<void*>(b), e - b, MADV_HUGEPAGE);  // advice only: failure changes nothing
#endif
}

void Rewriter::Replace(size_t b, size_t e, std::wstring_view r) {
  if (inPlace_ && written_ + (b - copied_) + r.size() > e) {
    // From here on the result is built in `out_`, starting with what is already in place.
    inPlace_ = false;
    out_.clear();
    ReserveLarge(out_, s_.size() + s_.size() / 8);
    out_.append(s_, 0, written_);
  }
  if (inPlace_) {
    if (written_ != copied_) std::wmemmove(s_.data() + written_, s_.data() + copied_, b - copied_);
    written_ += b - copied_;
    std::wmemcpy(s_.data() + written_, r.data(), r.size());
    written_ += r.size();
  } else {
    out_.append(s_, copied_, b - copied_);
    out_.append(r);
  }
  any_ = true;
  copied_ = e;
}

void Rewriter::Finish() {
  if (!any_ && !into_) return;
  const size_t n = s_.size();
  if (inPlace_) {
    std::wmemmove(s_.data() + written_, s_.data() + copied_, n - copied_);
    s_.resize(written_ + n - copied_);
    return;
  }
  out_.append(s_, copied_, std::wstring::npos);
  if (!into_) s_.swap(out_);
}

namespace {

// One character of a literal as the search tests it: (c | fold) == want holds exactly for the
// character and, for an ASCII letter, its other case.
struct Probe {
  uint32_t fold, want;
  explicit Probe(wchar_t c) : fold(Fold(c) >= L'a' && Fold(c) <= L'z' ? 0x20 : 0), want(uint32_t(Fold(c))) {}
  bool Test(wchar_t c) const { return (uint32_t(c) | fold) == want; }
};

}  // namespace

namespace {

// An ASCII case-insensitive literal, ready to be looked for any number of times.
class NoCaseLiteral {
 public:
  explicit NoCaseLiteral(std::wstring_view lit) : size_(lit.size()) {
    wchar_t* forms[2] = {buffer_[0], buffer_[1]};
    if (lit.size() > kShort) {  // the passes' literals are short
      heap_[0].resize(lit.size());
      heap_[1].resize(lit.size());
      forms[0] = heap_[0].data();
      forms[1] = heap_[1].data();
    }
    for (size_t i = 0; i < lit.size(); ++i) {
      forms[0][i] = Fold(lit[i]);
      forms[1][i] = (forms[0][i] >= L'a' && forms[0][i] <= L'z') ? wchar_t(forms[0][i] - 32) : forms[0][i];
    }
    finder_ = regex::detail::literal_finder(forms[0], forms[1], lit.size());
  }
  NoCaseLiteral(const NoCaseLiteral&) = delete;
  NoCaseLiteral& operator=(const NoCaseLiteral&) = delete;

  size_t Find(const std::wstring& s, size_t from, size_t to) const {
    if (size_ == 0 || to > s.size() || to < size_ || from > to - size_) return std::wstring::npos;
    size_t at = finder_.find(s.data(), from, to);
    return at == to ? std::wstring::npos : at;
  }

 private:
  static constexpr size_t kShort = 32;
  size_t size_;
  wchar_t buffer_[2][kShort];
  std::wstring heap_[2];
  regex::detail::literal_finder finder_;
};

}  // namespace

size_t FindNoCase(const std::wstring& s, std::wstring_view lit, size_t from, size_t to) {
  return NoCaseLiteral(lit).Find(s, from, to);
}

bool FindKeyed(const Pass& pass, const std::wstring& s, size_t from, size_t& start, size_t& keyEnd) {
  const size_t npos = std::wstring::npos, n = s.size();
  const std::wstring_view key = pass.key;
  auto isBefore = [&](wchar_t c) { return pass.before.find(c) != std::wstring_view::npos; };
  const NoCaseLiteral literal(key);
  if (!pass.open) {
    start = literal.Find(s, from, n);
    keyEnd = start + key.size();
    return start != npos;
  }
  if (key.size() > 1) {
    // The key is the rarer sight: find it, then look back over `before` characters for `open`.
    for (size_t k = literal.Find(s, from, n); k != npos; k = literal.Find(s, k + 1, n)) {
      size_t j = k;
      while (j > from && isBefore(s[j - 1])) --j;
      if (j > from && s[j - 1] == pass.open) {
        start = j - 1;
        keyEnd = k + key.size();
        return true;
      }
    }
    return false;
  }
  // A one-character key: every `open` character is a candidate.
  const Probe probe(key[0]);
  for (const wchar_t* p = s.data() + from; (p = std::wmemchr(p, pass.open, size_t(s.data() + n - p))); ++p) {
    size_t k = size_t(p - s.data()) + 1;
    while (k < n && isBefore(s[k])) ++k;
    if (k < n && probe.Test(s[k])) {
      start = size_t(p - s.data());
      keyEnd = k + 1;
      return true;
    }
  }
  return false;
}

size_t RFindNoCase(const std::wstring& s, std::wstring_view lit) {
  if (lit.empty() || s.size() < lit.size()) return std::wstring::npos;
  for (size_t i = s.size() - lit.size() + 1; i-- > 0;)
    if (EqualNoCaseAt(s, i, lit)) return i;
  return std::wstring::npos;
}

void DecodeEntity(std::wstring_view match, std::wstring& out) {
  std::wstring_view body = match.substr(1, match.size() - 2);  // between '&' and ';'
  char32_t c = 0;
  if (!body.empty() && body[0] == L'#') {
    bool hex = body.size() > 1 && Fold(body[1]) == L'x';
    c = NumericValue(body.substr(hex ? 2 : 1), hex ? 16 : 10);
    if (c != 0) out.push_back(wchar_t(c));
    return;  // a reference to no character is deleted
  }
  c = LookupNamedEntity(body);
  if (c != 0)
    out.push_back(wchar_t(c));
  else if (body.size() < 2 || body.size() > 6)
    out.append(match);  // not taken for a reference ("AT&T;"): the seller's text stays
}

std::wstring PlainTextToHTML(std::wstring_view text) {
  static constexpr std::wstring_view head =
      L"<html><head><meta http-equiv=Content-Type content=\"text/html; charset=windows-1250\"></head><body>";
  static constexpr std::wstring_view tail = L"</body></html>";
  // "<", ">" and LF each take three characters more: the page is allocated once, to size.
  size_t grows = 0;
  for (wchar_t c : text) grows += (c == L'<' || c == L'>' || c == L'\n');
  std::wstring html;
  ReserveLarge(html, head.size() + text.size() + 3 * grows + tail.size());
  html += head;
  for (wchar_t c : text) {
    switch (c) {
      case L'<': html += L"&lt;"; break;
      case L'>': html += L"&gt;"; break;
      case L'\n': html += L"<br>"; break;
      default: html.push_back(c);
    }
  }
  html += tail;
  return html;
}

namespace {

// An opening tag `<name ...>` (spaces may stand before the name).
constexpr Pass Open(std::wstring_view pattern, std::wstring_view replacement, std::wstring_view name) {
  return Pass{pattern, replacement, Reach::Keyed, name, L'<', L" ", L">", nullptr};
}
// A closing tag `< / name >`.
constexpr Pass Close(std::wstring_view pattern, std::wstring_view replacement, std::wstring_view name) {
  return Pass{pattern, replacement, Reach::Keyed, name, L'<', L" /", L">", nullptr};
}
// An element on one line, from its bare opening tag to its bare closing tag.
constexpr Pass Element(std::wstring_view pattern, std::wstring_view opening, std::wstring_view closing) {
  return Pass{pattern, L"", Reach::Span, opening, 0, L"", closing, nullptr};
}
// A literal, optionally followed by one more character (`&lt;?`).
constexpr Pass Literal(std::wstring_view pattern, std::wstring_view replacement, std::wstring_view key) {
  return Pass{pattern, replacement, Reach::Keyed, key, 0, L"", L"", nullptr};
}
constexpr Pass Literal(std::wstring_view literal, std::wstring_view replacement) {
  return Literal(literal, replacement, literal);
}
// Passes run together in one sweep (Characters or SameKey).
template <size_t N>
constexpr Pass Together(Reach reach, const Pass (&parts)[N]) {
  Pass p{L"", L"", reach, L"", 0, L"", L"", nullptr};
  p.parts = parts;
  p.nparts = N;
  return p;
}

// Flatten to one line with single spaces.
constexpr Pass kFlatten[] = {
    Literal(L"\r", L" "),
    Literal(L"\n", L" "),
    Literal(L"\t", L""),
    Pass{L"( )+", L" ", Reach::Run, L" ", 0, L"", L"", nullptr},
};

// Character references: a fixed set replaced, any other one of two to six characters deleted.
constexpr Pass kReferences[] = {
    Literal(L"&nbsp;", L" "),
    Literal(L"&bull;", L" * "),
    Literal(L"&lsaquo;", L"<"),
    Literal(L"&rsaquo;", L">"),
    Literal(L"&trade;", L"(tm)"),
    Literal(L"&frasl;", L"/"),
    Literal(L"&lt;?", L"<", L"&lt"),
    Literal(L"&gt;?", L">", L"&gt"),
    Literal(L"&copy;", L"(c)"),
    Literal(L"&reg;", L"(r)"),
    Pass{L"&(#[0-9]+|#x[0-9a-f]+|[a-z][a-z0-9]*);", L"", Reach::Keyed, L"&", 0, L"", L";", DecodeEntity},
};

// The wrapper's tags in their bare form, deleted.
constexpr Pass kBareTags[] = {
    Literal(L"<html>", L""), Literal(L"</html>", L""), Literal(L"<head>", L""), Literal(L"</head>", L""),
    Literal(L"<meta>", L""), Literal(L"</meta>", L""), Literal(L"<body>", L""), Literal(L"</body>", L""),
};
}  // namespace

// Flatten to one line; drop head, script and style elements; table cells and line-structure
// tags become separators and line breaks; every other tag goes; character references are
// replaced; carriage returns become line feeds and blank lines are tidied.
const std::vector<Pass>& PlaintextPasses() {
  static const std::vector<Pass> passes = {
      Together(Reach::Characters, kFlatten),
      Open(L"<( )*head([^>])*>", L"<head>", L"head"),
      Close(L"(<( )*(/)( )*head( )*>)", L"</head>", L"head"),
      Element(L"(<head>).*?(</head>)", L"<head>", L"</head>"),
      Open(L"<( )*script([^>])*>", L"<script>", L"script"),
      Close(L"(<( )*(/)( )*script( )*>)", L"</script>", L"script"),
      Element(L"(<script>).*?(</script>)", L"<script>", L"</script>"),
      Open(L"<( )*style([^>])*>", L"<style>", L"style"),
      Close(L"(<( )*(/)( )*style( )*>)", L"</style>", L"style"),
      Element(L"(<style>).*?(</style>)", L"<style>", L"</style>"),
      Open(L"<( )*td([^>])*>", L" | ", L"td"),
      Open(L"<( )*th([^>])*>", L" | ", L"th"),
      Open(L"<( )*br( )*>", L"\r", L"br"),
      Open(L"<( )*li( )*>", L"\r", L"li"),
      Open(L"<( )*div([^>])*>", L"\r\r", L"div"),
      Open(L"<( )*tr([^>])*>", L"\r\r", L"tr"),
      Open(L"<( )*p([^>])*>", L"\r\r", L"p"),
      Pass{L"<[^>]*>", L"", Reach::ToLastTail, L"", 0, L"", L">", nullptr},
      Together(Reach::SameKey, kReferences),
      Literal(L"\r", L"\n"),
      Pass{L"(\n)( )+(\n)", L"\n\n", Reach::Keyed, L"\n", 0, L"", L"\n", nullptr},
      Literal(L"\n\n\n", L"\n\n"),
  };
  return passes;
}

// Strip the document wrapper, keeping the body's markup. The text is not flattened, so the
// element passes stop at the end of a line.
const std::vector<Pass>& HeaderPasses() {
  static const std::vector<Pass> passes = {
      Pass{L"(<!doctype)[^>]*(>)", L"", Reach::Keyed, L"<!doctype", 0, L"", L">", nullptr},
      Open(L"<( )*body([^>])*>", L"<body>", L"body"),
      Close(L"(<( )*(/)( )*body( )*>)", L"</body>", L"body"),
      Open(L"<( )*head([^>])*>", L"<head>", L"head"),
      Close(L"(<( )*(/)( )*head( )*>)", L"</head>", L"head"),
      Element(L"(<head>).*?(</head>)", L"<head>", L"</head>"),
      Open(L"<( )*meta([^>])*>", L"<meta>", L"meta"),
      Close(L"(<( )*(/)( )*meta( )*>)", L"</meta>", L"meta"),
      Element(L"(<meta>).*?(</meta>)", L"<meta>", L"</meta>"),
      Open(L"<( )*script([^>])*>", L"<script>", L"script"),
      Close(L"(<( )*(/)( )*script( )*>)", L"</script>", L"script"),
      Element(L"(<script>).*?(</script>)", L"<script>", L"</script>"),
      Open(L"<( )*style([^>])*>", L"<style>", L"style"),
      Close(L"(<( )*(/)( )*style( )*>)", L"</style>", L"style"),
      Element(L"(<style>).*?(</style>)", L"<style>", L"</style>"),
      Open(L"<( )*html([^>])*>", L"<html>", L"html"),
      Close(L"(<( )*(/)( )*html( )*>)", L"</html>", L"html"),
      Together(Reach::SameKey, kBareTags),
  };
  return passes;
}

}  // namespace vantor::html
