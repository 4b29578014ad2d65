#include "platform/ado/lifted_literals.h"

#include <algorithm>
#include <array>
#include <cwctype>

namespace platform::ado {
namespace {

using namespace std::string_view_literals;

// The classes of the ASCII characters, by table; the others are told by the C library.
enum : unsigned char { kSpace = 1, kDigit = 2, kWordStart = 4, kWordChar = 8 };
constexpr std::array<unsigned char, 128> MakeClasses() {
  std::array<unsigned char, 128> classes{};
  for (int c = 0; c < 128; ++c) {
    const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    const bool digit = c >= '0' && c <= '9';
    const bool start = letter || c == '_' || c == '@' || c == '#';
    unsigned char k = 0;
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v') k |= kSpace;
    if (digit) k |= kDigit;
    if (start) k |= kWordStart;
    if (start || digit || c == '$') k |= kWordChar;
    classes[static_cast<std::size_t>(c)] = k;
  }
  return classes;
}
constexpr std::array<unsigned char, 128> kClasses = MakeClasses();

bool Is(wchar_t c, unsigned char kind) { return c >= 0 && c < 128 && (kClasses[static_cast<std::size_t>(c)] & kind); }
bool IsDigit(wchar_t c) { return Is(c, kDigit); }
bool IsSpace(wchar_t c) { return Is(c, kSpace); }
bool IsWordStart(wchar_t c) { return c < 128 ? Is(c, kWordStart) : std::iswalpha(c) != 0; }
bool IsWordChar(wchar_t c) { return c < 128 ? Is(c, kWordChar) : (std::iswalpha(c) || std::iswalnum(c)); }

// For each depth of parentheses, whether it is between a SELECT and its FROM (a select list);
// the depths above the current one are never marked. Kept without allocating for the usual few.
class SelectLists {
 public:
  bool Any() const { return marked_ > 0; }
  void Mark(std::size_t depth, bool on) {
    if (depth < kInline) {
      Change(inline_[depth], on);
    } else {
      if (more_.size() <= depth - kInline) more_.resize(depth - kInline + 1, false);
      bool flag = more_[depth - kInline];
      Change(flag, on);
      more_[depth - kInline] = flag;
    }
  }

 private:
  static constexpr std::size_t kInline = 32;
  void Change(bool& flag, bool on) {
    if (flag != on) marked_ += on ? 1 : -1;
    flag = on;
  }
  bool inline_[kInline] = {};
  std::vector<bool> more_;
  long marked_ = 0;
};

bool SameWord(std::wstring_view a, std::wstring_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t k = 0; k < a.size(); ++k)
    if ((a[k] >= L'a' && a[k] <= L'z' ? a[k] - (L'a' - L'A') : a[k]) != b[k]) return false;
  return true;
}

// The end of a quoted part starting at `i` (its closing quote doubled inside it), or npos.
std::size_t QuotedEnd(std::wstring_view s, std::size_t i, wchar_t close) {
  for (std::size_t k = i + 1; k < s.size(); ++k) {
    if (s[k] != close) continue;
    if (k + 1 < s.size() && s[k + 1] == close) {
      ++k;
      continue;
    }
    return k + 1;
  }
  return std::wstring_view::npos;
}

enum class Last { None, Compare, Literal, Other };

// A string literal at `i` (its quote, or the N before it): its end (npos when unclosed) and text.
std::size_t ReadQuoted(std::wstring_view sql, std::size_t i, bool national, std::wstring* text) {
  const std::size_t open = national ? i + 1 : i;
  const std::size_t end = QuotedEnd(sql, open, L'\'');
  if (end == std::wstring_view::npos || !text) return end;
  text->clear();
  // The text between the quotes, each doubled quote in it once.
  const std::wstring_view inside = sql.substr(open + 1, end - open - 2);
  for (std::size_t k = 0;;) {
    const std::size_t quote = inside.find(L'\'', k);
    if (quote == std::wstring_view::npos) {
      text->append(inside, k);
      break;
    }
    text->append(inside, k, quote + 1 - k);
    k = quote + 2;
    if (k >= inside.size()) break;
  }
  return end;
}

// Whether a string literal starts at `i`: its quote, or N and its quote.
bool IsNational(std::wstring_view sql, std::size_t i) {
  return (sql[i] == L'N' || sql[i] == L'n') && i + 1 < sql.size() && sql[i + 1] == L'\'';
}

// The digits at `i` (a digit): where they end, and whether they are a plain integer that may be
// lifted (no decimal, exponent or word run into it, at most 18 digits); `value` when it is.
std::size_t ReadDigits(std::wstring_view sql, std::size_t i, bool& liftable, std::int64_t& value) {
  const std::size_t n = sql.size();
  std::size_t end = i;
  while (end < n && IsDigit(sql[end])) ++end;
  liftable = (end == n || !(sql[end] == L'.' || IsWordChar(sql[end]))) && end - i <= 18;
  if (liftable) {
    value = 0;
    for (std::size_t k = i; k < end; ++k) value = value * 10 + (sql[k] - L'0');
  }
  return end;
}

bool Lift(std::wstring_view sql, std::wstring& key, std::vector<Value>& values, std::vector<std::size_t>* marks) {
  key.clear();
  values.clear();
  if (marks) marks->clear();
  const std::size_t n = sql.size();
  std::size_t i = 0;
  bool first = true;          // before the statement's first word
  // Whether a depth of parentheses is in a select list, the statement's own or a subquery's.
  SelectLists selectList;
  std::size_t depth = 0;
  auto inSelectList = [&] { return selectList.Any(); };
  Last last = Last::None, beforeCompare = Last::None;
  std::size_t copied = 0;  // sql[copied, i) is still to go into the key
  auto lift = [&](std::size_t start, std::size_t end, Value value) {
    key.append(sql, copied, start - copied);
    if (marks) marks->push_back(key.size());
    key += L'?';
    copied = end;
    values.push_back(std::move(value));
  };
  while (i < n) {
    const wchar_t c = sql[i];
    if (IsSpace(c)) {
      ++i;
      continue;
    }
    if (c == L'-' && i + 1 < n && sql[i + 1] == L'-') {
      while (i < n && sql[i] != L'\n') ++i;
      continue;
    }
    if (c == L'/' && i + 1 < n && sql[i + 1] == L'*') {
      const std::size_t end = sql.find(L"*/", i + 2);
      if (end == std::wstring_view::npos) return false;
      i = end + 2;
      continue;
    }
    const bool liftable = last == Last::Compare && beforeCompare != Last::Literal && !inSelectList();
    const bool national = IsNational(sql, i);
    if (c == L'\'' || national) {
      std::wstring text;
      const std::size_t end = ReadQuoted(sql, i, national, liftable ? &text : nullptr);
      if (end == std::wstring_view::npos) return false;
      if (liftable) lift(i, end, Value::Text(std::move(text)));
      i = end;
      last = Last::Literal;
      first = false;
      continue;
    }
    if (c == L'[' || c == L'"' || c == L'`') {
      const std::size_t end = QuotedEnd(sql, i, c == L'[' ? L']' : c);
      if (end == std::wstring_view::npos) return false;
      i = end;
      last = Last::Other;
      first = false;
      continue;
    }
    if (IsDigit(c)) {
      // Only a plain integer: a decimal, an exponent or a word run into it stays as it is.
      bool plain = false;
      std::int64_t v = 0;
      std::size_t end = ReadDigits(sql, i, plain, v);
      while (end < n && (IsWordChar(sql[end]) || sql[end] == L'.')) ++end;
      if (plain && liftable) lift(i, end, Value::Int(VKind::I8, v));
      i = end;
      last = Last::Literal;
      first = false;
      continue;
    }
    if (IsWordStart(c)) {
      std::size_t end = i;
      while (end < n && IsWordChar(sql[end])) ++end;
      const std::wstring_view word = sql.substr(i, end - i);
      if (first && !SameWord(word, L"SELECT"sv) && !SameWord(word, L"INSERT"sv) && !SameWord(word, L"UPDATE"sv) &&
          !SameWord(word, L"DELETE"sv))
        return false;
      first = false;
      if (SameWord(word, L"SELECT"sv)) selectList.Mark(depth, true);
      else if (SameWord(word, L"FROM"sv)) selectList.Mark(depth, false);
      i = end;
      last = Last::Other;
      continue;
    }
    if (c == L'?' || first) return false;  // the caller's own markers; a text that is no statement
    if (c == L';') {
      std::size_t k = i + 1;
      while (k < n && (IsSpace(sql[k]) || sql[k] == L';')) ++k;
      if (k < n) return false;  // more than one statement
      i = k;
      continue;
    }
    if (c == L'(') {
      ++depth;
      selectList.Mark(depth, false);
    }
    if (c == L')') {
      if (depth == 0) return false;  // unbalanced
      selectList.Mark(depth, false);
      --depth;
    }
    // Comparison operators, one or two characters.
    std::size_t len = 0;
    if (c == L'=') len = 1;
    else if ((c == L'<' || c == L'>') && i + 1 < n && (sql[i + 1] == L'=' || (c == L'<' && sql[i + 1] == L'>'))) len = 2;
    else if (c == L'<' || c == L'>') len = 1;
    else if (c == L'!' && i + 1 < n && (sql[i + 1] == L'=' || sql[i + 1] == L'<' || sql[i + 1] == L'>')) len = 2;
    if (len) {
      beforeCompare = last;
      last = Last::Compare;
      i += len;
    } else {
      last = Last::Other;
      ++i;
    }
  }
  if (values.empty()) return false;
  key.append(sql, copied, n - copied);
  return true;
}

}  // namespace

bool LiftComparedLiterals(std::wstring_view sql, std::wstring& key, std::vector<Value>& values) {
  return Lift(sql, key, values, nullptr);
}

// A text is of a form when it is the form's key with, at each marker, a literal that is lifted
// there. The text before a marker being the same, the reading stands where it stood for the
// form's text (after a comparison); after the literal it stands as after any literal, so the
// rest, the same as well, is read as it was.
bool LiftedForms::Matches(const Form& form, std::wstring_view sql, std::vector<Value>& values) {
  const std::wstring_view key = form.key;
  std::size_t at = 0, from = 0;  // in sql, in key
  values.clear();
  for (std::size_t mark : form.marks) {
    const std::size_t same = mark - from;
    if (sql.size() - at < same || sql.compare(at, same, key.substr(from, same)) != 0) return false;
    at += same;
    from = mark + 1;
    if (at >= sql.size()) return false;
    const bool national = IsNational(sql, at);
    if (sql[at] == L'\'' || national) {
      std::wstring text;
      const std::size_t end = ReadQuoted(sql, at, national, &text);
      if (end == std::wstring_view::npos) return false;
      values.push_back(Value::Text(std::move(text)));
      at = end;
    } else if (IsDigit(sql[at])) {
      bool plain = false;
      std::int64_t v = 0;
      at = ReadDigits(sql, at, plain, v);
      if (!plain) return false;
      values.push_back(Value::Int(VKind::I8, v));
    } else {
      return false;
    }
  }
  return sql.substr(at) == key.substr(from);
}

bool LiftedForms::Match(std::wstring_view sql, std::wstring& key, std::vector<Value>& values) {
  ++uses_;
  for (Form& form : forms_) {
    const std::size_t mark = form.marks.front();
    if (sql.size() <= mark || sql[form.probe] != form.atProbe || sql[mark - 1] != form.beforeMark) continue;
    if (!Matches(form, sql, values)) continue;
    form.used = uses_;
    key = form.key;
    return true;
  }
  values.clear();
  return false;
}

bool LiftedForms::Learn(std::wstring_view sql, std::wstring& key, std::vector<Value>& values) {
  Form form;
  if (!platform::ado::Lift(sql, key, values, &form.marks)) return false;
  const std::size_t mark = form.marks.front();
  if (mark == 0) return true;  // never: a statement starts with a word
  form.key = key;
  form.probe = mark / 2;
  form.atProbe = key[form.probe];
  form.beforeMark = key[mark - 1];
  form.used = ++uses_;
  // Room for it: the form used least recently gives way.
  constexpr std::size_t kForms = 32;
  if (forms_.size() < kForms) {
    forms_.push_back(std::move(form));
  } else {
    *std::min_element(forms_.begin(), forms_.end(),
                      [](const Form& a, const Form& b) { return a.used < b.used; }) = std::move(form);
  }
  return true;
}

}  // namespace platform::ado
