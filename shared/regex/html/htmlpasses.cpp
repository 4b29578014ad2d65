// Pass tables of the HTML-to-text conversions and the helpers they use.
#include "shared/regex/html/htmlpasses.h"

#include "shared/regex/regex_scan.h"

#include <cstdint>
#include <cstring>
#include <cwchar>

namespace vantor::html {
namespace {

// Windows-1252 meanings of the references &#128; to &#159;, which pages written on Windows use
// for dashes, quotation marks and the euro sign; 0 where the code page leaves a hole.
constexpr char32_t kC1[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

wchar_t Fold(wchar_t c) { return (c >= L'A' && c <= L'Z') ? wchar_t(c + 32) : c; }

bool EqualNoCaseAt(const std::wstring& s, size_t at, std::wstring_view lit) {
  for (size_t i = 0; i < lit.size(); ++i)
    if (Fold(s[at + i]) != Fold(lit[i])) return false;
  return true;
}

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

namespace {

// One character of a literal as the search tests it: (c | fold) == want holds exactly for the
// character and, for an ASCII letter, its other case.
struct Probe {
  uint32_t fold, want;
  explicit Probe(wchar_t c) : fold(Fold(c) >= L'a' && Fold(c) <= L'z' ? 0x20 : 0), want(uint32_t(Fold(c))) {}
  bool Test(wchar_t c) const { return (uint32_t(c) | fold) == want; }
};

}  // namespace

size_t FindNoCase(const std::wstring& s, std::wstring_view lit, size_t from, size_t to) {
  if (lit.empty() || to > s.size() || to < lit.size() || from > to - lit.size()) return std::wstring::npos;
  // The literal in its two ASCII cases; the passes' literals are short.
  wchar_t buffer[2][32];
  std::wstring heap[2];
  wchar_t* forms[2] = {buffer[0], buffer[1]};
  if (lit.size() > 32) {
    heap[0].resize(lit.size());
    heap[1].resize(lit.size());
    forms[0] = heap[0].data();
    forms[1] = heap[1].data();
  }
  for (size_t i = 0; i < lit.size(); ++i) {
    forms[0][i] = Fold(lit[i]);
    forms[1][i] = (forms[0][i] >= L'a' && forms[0][i] <= L'z') ? wchar_t(forms[0][i] - 32) : forms[0][i];
  }
  const regex::detail::literal_finder finder(forms[0], forms[1], lit.size());
  size_t at = finder.find(s.data(), from, to);
  return at == to ? std::wstring::npos : at;
}

bool FindKeyed(const Pass& pass, const std::wstring& s, size_t from, size_t& start, size_t& keyEnd) {
  const size_t npos = std::wstring::npos, n = s.size();
  const std::wstring_view key = pass.key;
  auto isBefore = [&](wchar_t c) { return pass.before.find(c) != std::wstring_view::npos; };
  if (!pass.open) {
    start = FindNoCase(s, key, from, n);
    keyEnd = start + key.size();
    return start != npos;
  }
  if (key.size() > 1) {
    // The key is the rarer sight: find it, then look back over `before` characters for `open`.
    for (size_t k = FindNoCase(s, key, from, n); k != npos; k = FindNoCase(s, key, k + 1, n)) {
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
  std::wstring html =
      L"<html><head><meta http-equiv=Content-Type content=\"text/html; charset=windows-1250\"></head><body>";
  html.reserve(html.size() + text.size() + text.size() / 8 + 16);
  for (wchar_t c : text) {
    switch (c) {
      case L'<': html += L"&lt;"; break;
      case L'>': html += L"&gt;"; break;
      case L'\n': html += L"<br>"; break;
      default: html.push_back(c);
    }
  }
  html += L"</body></html>";
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
}  // namespace

// Flatten to one line; drop head, script and style elements; table cells and line-structure
// tags become separators and line breaks; every other tag goes; character references are
// replaced; carriage returns become line feeds and blank lines are tidied.
const std::vector<Pass>& PlaintextPasses() {
  static const std::vector<Pass> passes = {
      Literal(L"\r", L" "),
      Literal(L"\n", L" "),
      Literal(L"\t", L""),
      Pass{L"( )+", L" ", Reach::Run, L" ", 0, L"", L"", nullptr},
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
      Literal(L"<html>", L""),
      Literal(L"</html>", L""),
      Literal(L"<head>", L""),
      Literal(L"</head>", L""),
      Literal(L"<meta>", L""),
      Literal(L"</meta>", L""),
      Literal(L"<body>", L""),
      Literal(L"</body>", L""),
  };
  return passes;
}

}  // namespace vantor::html
