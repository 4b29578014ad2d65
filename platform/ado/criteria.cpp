// ADO's criteria grammar for Filter and Find:
//   criteria := term { OR term };  term := factor { AND factor };  factor := ( criteria ) | clause
//   clause   := field op value;  op := = <> != < <= > >= LIKE [NOT LIKE];  field := name | [name]
//   value    := 'text' (quotes doubled) | "text" | #date# | number | NULL | TRUE | FALSE
// LIKE takes * or % for any run of characters and _ for one. Texts compare without case.
#include <cwctype>

#include "platform/ado/ado_enums.h"
#include "platform/ado/rowset.h"
#include "platform/ado/text.h"

namespace platform::ado {

int RowStore::FieldIndex(std::wstring_view name) const { return fields.Find(name); }

namespace {

struct Parser {
  std::wstring_view s;
  std::size_t i = 0;
  const RowStore& store;
  std::vector<Criteria::Node>& nodes;

  [[noreturn]] void Fail(const std::wstring& why) {
    ThrowAdo(adErrInvalidArgument, L"Arguments are of the wrong type, are out of acceptable range, or are in "
                                   L"conflict with one another (criteria: " + why + L").");
  }
  void Skip() {
    while (i < s.size() && std::iswspace(static_cast<wint_t>(s[i]))) ++i;
  }
  bool Keyword(std::wstring_view kw) {
    Skip();
    if (i + kw.size() > s.size()) return false;
    for (std::size_t k = 0; k < kw.size(); ++k)
      if (FoldUpper(s[i + k]) != kw[k]) return false;
    std::size_t e = i + kw.size();
    if (e < s.size() && (std::iswalnum(static_cast<wint_t>(s[e])) || s[e] == L'_')) return false;
    i = e;
    return true;
  }
  int Add(Criteria::Node n) {
    nodes.push_back(std::move(n));
    return static_cast<int>(nodes.size()) - 1;
  }
  int Expr() {
    int left = Term();
    while (Keyword(L"OR")) {
      Criteria::Node n;
      n.kind = Criteria::Node::Or;
      n.left = left;
      n.right = Term();
      left = Add(std::move(n));
    }
    return left;
  }
  int Term() {
    int left = Factor();
    while (Keyword(L"AND")) {
      Criteria::Node n;
      n.kind = Criteria::Node::And;
      n.left = left;
      n.right = Factor();
      left = Add(std::move(n));
    }
    return left;
  }
  int Factor() {
    Skip();
    if (i < s.size() && s[i] == L'(') {
      ++i;
      int e = Expr();
      Skip();
      if (i >= s.size() || s[i] != L')') Fail(L"')' expected");
      ++i;
      return e;
    }
    return Clause();
  }
  std::wstring Name() {
    Skip();
    std::wstring name;
    if (i < s.size() && s[i] == L'[') {
      std::size_t e = s.find(L']', i + 1);
      if (e == std::wstring_view::npos) Fail(L"']' expected");
      name.assign(s.substr(i + 1, e - i - 1));
      i = e + 1;
      return name;
    }
    while (i < s.size() && (std::iswalnum(static_cast<wint_t>(s[i])) || s[i] == L'_' || s[i] == L'.' || s[i] > 0x7F))
      name.push_back(s[i++]);
    if (name.empty()) Fail(L"field name expected");
    return name;
  }
  int Clause() {
    std::wstring name = Name();
    int field = store.FieldIndex(name);
    if (field < 0)
      ThrowAdo(adErrItemNotFound, L"Item cannot be found in the collection corresponding to the requested name or "
                                  L"ordinal (" + name + L").");
    Criteria::Node n;
    n.field = field;
    Skip();
    auto two = [&](const wchar_t* op) { return s.substr(i, 2) == op; };
    if (two(L"<=")) n.op = Criteria::Node::Le, i += 2;
    else if (two(L">=")) n.op = Criteria::Node::Ge, i += 2;
    else if (two(L"<>") || two(L"!=")) n.op = Criteria::Node::Ne, i += 2;
    else if (i < s.size() && s[i] == L'=') n.op = Criteria::Node::Eq, ++i;
    else if (i < s.size() && s[i] == L'<') n.op = Criteria::Node::Lt, ++i;
    else if (i < s.size() && s[i] == L'>') n.op = Criteria::Node::Gt, ++i;
    else if (Keyword(L"LIKE")) n.op = Criteria::Node::Like;
    else if (Keyword(L"NOT") && Keyword(L"LIKE")) n.op = Criteria::Node::NotLike;
    else if (Keyword(L"IS")) {
      n.op = Keyword(L"NOT") ? Criteria::Node::Ne : Criteria::Node::Eq;
      if (!Keyword(L"NULL")) Fail(L"NULL expected after IS");
      n.literal = Value::Null();
      n.compared = Value::Null();
      return Add(std::move(n));
    } else Fail(L"operator expected after " + name);
    n.literal = Literal();
    if (n.literal.IsNull() && n.op != Criteria::Node::Eq && n.op != Criteria::Node::Ne)
      Fail(L"NULL compares only with = and <>");
    const FieldDef& f = store.fields[static_cast<std::size_t>(field)];
    if (IsTextType(f.type) || !CoerceToType(n.literal, f.type, 0, n.compared)) n.compared = n.literal;
    return Add(std::move(n));
  }
  Value Literal() {
    Skip();
    if (i >= s.size()) Fail(L"value expected");
    wchar_t c = s[i];
    if (c == L'\'' || c == L'"') {
      std::wstring t;
      ++i;
      for (;;) {
        if (i >= s.size()) Fail(L"unterminated text");
        if (s[i] == c) {
          if (i + 1 < s.size() && s[i + 1] == c) {
            t.push_back(c);
            i += 2;
            continue;
          }
          ++i;
          break;
        }
        t.push_back(s[i++]);
      }
      return Value::Text(std::move(t));
    }
    if (c == L'#') {
      std::size_t e = s.find(L'#', i + 1);
      if (e == std::wstring_view::npos) Fail(L"'#' expected");
      std::wstring t(s.substr(i + 1, e - i - 1));
      i = e + 1;
      std::string u = ToUtf8(t);
      auto d = OleDateFromText(u);
      if (!d) {  // #m/d/yyyy[ hh:mm:ss]#, the form ADO documents
        int mo = 0, dd = 0, y = 0, h = 0, mi = 0, se = 0;
        int got = std::sscanf(u.c_str(), "%d/%d/%d %d:%d:%d", &mo, &dd, &y, &h, &mi, &se);
        if (got >= 3) d = OleDateFromParts(DateParts{y, mo, dd, h, mi, se, 0});
      }
      if (!d) Fail(L"bad date " + t);
      return Value::Real(VKind::Date, *d);
    }
    if (Keyword(L"NULL")) return Value::Null();
    if (Keyword(L"TRUE")) return Value::Int(VKind::Bool, 1);
    if (Keyword(L"FALSE")) return Value::Int(VKind::Bool, 0);
    std::size_t start = i;
    if (c == L'-' || c == L'+') ++i;
    while (i < s.size() && (std::iswdigit(static_cast<wint_t>(s[i])) || s[i] == L'.' || s[i] == L'e' || s[i] == L'E'))
      ++i;
    if (i == start) Fail(L"value expected");
    Value num = Value::Text(std::wstring(s.substr(start, i - start)));
    Value out;
    if (CoerceToType(num, adBigInt, 0, out) && num.s.find_first_of(L".eE") == std::wstring::npos) return out;
    if (CoerceToType(num, adDouble, 0, out)) return out;
    Fail(L"bad number");
  }
};

}  // namespace

Criteria Criteria::Parse(std::wstring_view text, const RowStore& store) {
  Criteria c;
  c.store_ = &store;
  Parser p{text, 0, store, c.nodes_};
  p.Skip();
  if (p.i >= text.size()) return c;
  c.root_ = p.Expr();
  p.Skip();
  if (p.i != text.size()) p.Fail(L"unexpected text at " + std::wstring(text.substr(p.i)));
  return c;
}

std::vector<std::pair<int, const Value*>> Criteria::EqualityTerms() const {
  std::vector<std::pair<int, const Value*>> out;
  if (root_ < 0) return out;
  std::vector<int> todo{root_};
  while (!todo.empty()) {
    const Node& n = nodes_[static_cast<std::size_t>(todo.back())];
    todo.pop_back();
    if (n.kind == Node::And) {
      todo.push_back(n.right);
      todo.push_back(n.left);
    } else if (n.kind == Node::Compare && n.op == Node::Eq) {
      out.emplace_back(n.field, &n.compared);
    }
  }
  return out;
}

bool Criteria::Matches(const std::vector<Value>& values) const { return root_ < 0 || Eval(root_, values); }

bool Criteria::Eval(int index, const std::vector<Value>& values) const {
  const Node& n = nodes_[static_cast<std::size_t>(index)];
  if (n.kind == Node::And) return Eval(n.left, values) && Eval(n.right, values);
  if (n.kind == Node::Or) return Eval(n.left, values) || Eval(n.right, values);
  const Value& v = values[static_cast<std::size_t>(n.field)];
  bool isNull = v.IsNull() || v.IsEmpty();
  if (n.literal.IsNull()) return n.op == Node::Eq ? isNull : !isNull;
  if (isNull) return false;
  if (n.op == Node::Like || n.op == Node::NotLike)
    return LikeMatch(ValueText(n.literal), ValueText(v), 0, true) == (n.op == Node::Like);
  const int cmp = CompareValues(v, n.compared);
  switch (n.op) {
    case Node::Eq: return cmp == 0;
    case Node::Ne: return cmp != 0;
    case Node::Lt: return cmp < 0;
    case Node::Le: return cmp <= 0;
    case Node::Gt: return cmp > 0;
    default: return cmp >= 0;
  }
}

}  // namespace platform::ado
