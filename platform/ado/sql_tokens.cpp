// The token tree of SQL texts that the dialect rewriter and the result-column typing read: words,
// quoted names, literals, operators, and parenthesised groups and CASE ... END as nodes with
// their contents as children.
#include "platform/ado/sql_tokens.h"

#include <algorithm>
#include <cwctype>

#include "platform/ado/text.h"

namespace platform::ado::sql {

namespace {

bool IsWordChar(wchar_t c) {
  return c == L'_' || c == L'@' || c == L'#' || c == L'$' || (c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'z') ||
         (c >= L'A' && c <= L'Z') || c >= 0x80;
}

}  // namespace

bool EqNoCase(std::wstring_view a, std::wstring_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (FoldUpper(a[i]) != FoldUpper(b[i])) return false;
  return true;
}

bool IsWord(const Node& n, std::wstring_view w) { return n.k == K::Word && EqNoCase(n.t, w); }
bool IsWordIn(const Node& n, std::initializer_list<std::wstring_view> ws) {
  if (n.k != K::Word) return false;
  for (auto w : ws)
    if (EqNoCase(n.t, w)) return true;
  return false;
}
bool IsOp(const Node& n, std::wstring_view op) { return n.k == K::Op && n.t == op; }

Node MakeWord(std::wstring t, bool sp) {
  Node n;
  n.k = K::Word;
  n.t = std::move(t);
  n.sp = sp;
  return n;
}
Node MakeGroup(Seq kids, bool sp) {
  Node n;
  n.k = K::Group;
  n.t = L"(";
  n.kids = std::move(kids);
  n.sp = sp;
  return n;
}
Node MakeComma() {
  Node n;
  n.k = K::Comma;
  n.t = L",";
  return n;
}

// ---- tokenizer ----------------------------------------------------------------------------

namespace {

struct Tokenizer {
  std::wstring_view s;
  std::size_t i = 0;
  int params = 0;

  // Reads tokens until the end or an unmatched ')' (which ends a group).
  Seq Read(bool inGroup, bool& closed) {
    Seq out;
    bool sp = false;
    closed = false;
    while (i < s.size()) {
      wchar_t c = s[i];
      if (c == L' ' || c == L'\t' || c == L'\r' || c == L'\n' || c == L'\f' || c == L'\v') {
        sp = true;
        ++i;
        continue;
      }
      if (c == L'-' && i + 1 < s.size() && s[i + 1] == L'-') {
        while (i < s.size() && s[i] != L'\n') ++i;
        sp = true;
        continue;
      }
      if (c == L'/' && i + 1 < s.size() && s[i + 1] == L'*') {
        std::size_t e = s.find(L"*/", i + 2);
        i = e == std::wstring_view::npos ? s.size() : e + 2;
        sp = true;
        continue;
      }
      Node n;
      n.sp = sp && !out.empty();
      sp = false;
      std::size_t start = i;
      if (c == L'(') {
        ++i;
        bool cl = false;
        n.k = K::Group;
        n.t = L"(";
        n.kids = Read(true, cl);
        n.closed = cl;
        out.push_back(std::move(n));
        continue;
      }
      if (c == L')') {
        if (inGroup) {
          ++i;
          closed = true;
          return out;
        }
        n.k = K::Op;
        n.t = L")";
        ++i;
        out.push_back(std::move(n));
        continue;
      }
      if ((c == L'N' || c == L'n') && i + 1 < s.size() && s[i + 1] == L'\'') {
        ++i;  // N'...': the national-text prefix means nothing here
        start = i;
        c = L'\'';
      }
      if (c == L'\'') {
        ++i;
        while (i < s.size()) {
          if (s[i] == L'\'') {
            if (i + 1 < s.size() && s[i + 1] == L'\'') {
              i += 2;
              continue;
            }
            ++i;
            break;
          }
          ++i;
        }
        n.k = K::Str;
        n.t.assign(s.substr(start, i - start));
      } else if (c == L'"' || c == L'[' || c == L'`') {
        wchar_t close = c == L'[' ? L']' : c;
        ++i;
        while (i < s.size()) {
          if (s[i] == close) {
            if (close != L']' && i + 1 < s.size() && s[i + 1] == close) {
              i += 2;
              continue;
            }
            if (close == L']' && i + 1 < s.size() && s[i + 1] == L']') {
              i += 2;
              continue;
            }
            ++i;
            break;
          }
          ++i;
        }
        n.k = K::QIdent;
        n.t.assign(s.substr(start, i - start));
      } else if ((c >= L'0' && c <= L'9') || (c == L'.' && i + 1 < s.size() && s[i + 1] >= L'0' && s[i + 1] <= L'9')) {
        if (c == L'0' && i + 1 < s.size() && (s[i + 1] == L'x' || s[i + 1] == L'X')) {
          i += 2;
          while (i < s.size() && std::iswxdigit(static_cast<wint_t>(s[i]))) ++i;
        } else {
          while (i < s.size() && ((s[i] >= L'0' && s[i] <= L'9') || s[i] == L'.')) ++i;
          if (i < s.size() && (s[i] == L'e' || s[i] == L'E')) {
            std::size_t j = i + 1;
            if (j < s.size() && (s[j] == L'+' || s[j] == L'-')) ++j;
            if (j < s.size() && s[j] >= L'0' && s[j] <= L'9') {
              i = j;
              while (i < s.size() && s[i] >= L'0' && s[i] <= L'9') ++i;
            }
          }
        }
        n.k = K::Num;
        n.t.assign(s.substr(start, i - start));
      } else if (IsWordChar(c)) {
        while (i < s.size() && IsWordChar(s[i])) ++i;
        n.k = K::Word;
        n.t.assign(s.substr(start, i - start));
      } else if (c == L'?') {
        ++i;
        n.k = K::Param;
        n.t = L"?";
        n.param = params++;
      } else if (c == L',') {
        ++i;
        n.k = K::Comma;
        n.t = L",";
      } else if (c == L'.') {
        ++i;
        n.k = K::Dot;
        n.t = L".";
      } else if (c == L';') {
        ++i;
        n.k = K::Semi;
        n.t = L";";
      } else {
        static const wchar_t* kTwo[] = {L"<=", L">=", L"<>", L"!=", L"==", L"||", L"!<", L"!>", L"<<", L">>"};
        n.k = K::Op;
        n.t.assign(1, c);
        for (auto two : kTwo) {
          if (i + 1 < s.size() && s[i] == two[0] && s[i + 1] == two[1]) {
            n.t = two;
            break;
          }
        }
        i += n.t.size();
      }
      out.push_back(std::move(n));
    }
    return out;
  }
};

}  // namespace

Seq Tokenize(std::wstring_view sql, int* params) {
  Tokenizer tok{sql};
  bool closed = false;
  Seq seq = tok.Read(false, closed);
  if (params) *params = tok.params;
  return seq;
}

// ---- serialisation ------------------------------------------------------------------------

void Write(const Seq& seq, std::wstring& out) {
  for (const auto& n : seq) {
    if (n.sp && !out.empty() && out.back() != L' ') out.push_back(L' ');
    if (n.k == K::Group) {
      out.push_back(L'(');
      Write(n.kids, out);
      if (n.closed) out.push_back(L')');
    } else if (n.k == K::Case) {
      out += L"CASE ";
      Write(n.kids, out);
      out += L" END";
    } else {
      out += n.t;
    }
  }
}

// Splits a sequence at its commas.
std::vector<Seq> SplitCommas(const Seq& seq) {
  std::vector<Seq> parts(1);
  for (const auto& n : seq) {
    if (n.k == K::Comma)
      parts.emplace_back();
    else
      parts.back().push_back(n);
  }
  return parts;
}

Seq JoinCommas(const std::vector<Seq>& parts) {
  Seq out;
  for (std::size_t i = 0; i < parts.size(); ++i) {
    if (i) out.push_back(MakeComma());
    for (const auto& n : parts[i]) out.push_back(n);
  }
  return out;
}

namespace {
// In order, for a binary search of a word folded to capitals.
constexpr std::wstring_view kKeywords[] = {
    L"ADD",    L"ALL",     L"ALTER",  L"AND",       L"AS",     L"ASC",     L"BETWEEN", L"BY",      L"CASE",
    L"CHECK",  L"COLLATE", L"CONSTRAINT", L"CREATE", L"CROSS", L"DEFAULT", L"DELETE",  L"DESC",    L"DISTINCT",
    L"DROP",   L"ELSE",    L"END",    L"ESCAPE",    L"EXCEPT", L"EXISTS",  L"FROM",    L"FULL",    L"GLOB",
    L"GROUP",  L"HAVING",  L"IN",     L"INDEX",     L"INNER",  L"INSERT",  L"INTERSECT", L"INTO",  L"IS",
    L"JOIN",   L"KEY",     L"LEFT",   L"LIKE",      L"LIMIT",  L"NOT",     L"OFFSET",  L"ON",      L"OR",
    L"ORDER",  L"OUTER",   L"OUTPUT", L"OVER",      L"PARTITION", L"PERCENT", L"PRIMARY", L"REFERENCES", L"RIGHT",
    L"SELECT", L"SET",     L"TABLE",  L"THEN",      L"TIES",   L"TOP",     L"UNION",   L"UNIQUE",  L"UPDATE",
    L"VALUES", L"WHEN",    L"WHERE",  L"WITH"};
constexpr std::size_t kLongestKeyword = 10;

}  // namespace

bool IsKeyword(const Node& n) {
  if (n.k != K::Word || n.t.empty() || n.t.size() > kLongestKeyword) return false;
  wchar_t upper[kLongestKeyword];
  for (std::size_t i = 0; i < n.t.size(); ++i) {
    const wchar_t c = n.t[i];
    if (c >= L'a' && c <= L'z') upper[i] = static_cast<wchar_t>(c - L'a' + L'A');
    else if (c >= L'A' && c <= L'Z') upper[i] = c;
    else return false;  // every keyword is ASCII letters
  }
  const std::wstring_view word(upper, n.t.size());
  return std::binary_search(std::begin(kKeywords), std::end(kKeywords), word);
}

bool IsTextType(const Node& n) {
  return IsWordIn(n, {L"char", L"varchar", L"nchar", L"nvarchar", L"text", L"ntext", L"sysname"});
}
bool IsDateType(const Node& n) {
  return IsWordIn(n, {L"datetime", L"smalldatetime", L"date", L"datetime2", L"time"});
}

}  // namespace platform::ado::sql
