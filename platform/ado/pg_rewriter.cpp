// SQL Server's dialect rewritten for PostgreSQL (see pg_rewriter.h).
#include "platform/ado/pg_rewriter.h"

#include <algorithm>
#include <cstdio>
#include <functional>
#include <initializer_list>
#include <map>
#include <utility>

#include "platform/ado/sql_rewriter_base.h"
#include "platform/ado/text.h"

namespace platform::ado {

using namespace sql;

namespace {

// Roles of markers the rewriter makes (sql::Node::role).
constexpr std::uint8_t kNowRole = 1;
constexpr std::uint8_t kUtcNowRole = 2;
constexpr std::uint8_t kLikeRole = 3;

std::wstring Unquoted(const Node& n) {
  if (n.k == K::QIdent && n.t.size() >= 2) {
    const wchar_t close = n.t.back();
    std::wstring inner = n.t.substr(1, n.t.size() - 2);
    // A doubled closing character stands for itself.
    std::wstring out;
    for (std::size_t i = 0; i < inner.size(); ++i) {
      out += inner[i];
      if (inner[i] == close && i + 1 < inner.size() && inner[i + 1] == close) ++i;
    }
    return out;
  }
  if (n.k == K::Str && n.t.size() >= 2) {
    std::wstring out;
    for (std::size_t i = 1; i + 1 < n.t.size(); ++i) {
      out += n.t[i];
      if (n.t[i] == L'\'' && n.t[i + 1] == L'\'') ++i;
    }
    return out;
  }
  return n.t;
}

Node QuotedName(std::wstring_view name, bool sp) {
  std::wstring text = L"\"";
  for (wchar_t c : PgName(name)) {
    if (c == L'"') text += L'"';
    text += c;
  }
  text += L'"';
  Node n;
  n.k = K::QIdent;
  n.t = std::move(text);
  n.sp = sp;
  return n;
}

Node Literal(std::wstring_view text, bool sp = true) {
  std::wstring quoted = L"'";
  for (wchar_t c : text) {
    if (c == L'\'') quoted += L'\'';
    quoted += c;
  }
  quoted += L'\'';
  Node n;
  n.k = K::Str;
  n.t = std::move(quoted);
  n.sp = sp;
  return n;
}

Node Number(long long value) {
  Node n;
  n.k = K::Num;
  n.t = std::to_wstring(value);
  n.sp = true;
  return n;
}

// vx.name as the function of a call.
void QualifyFunction(Node& fn, std::wstring_view name) { fn.t = L"vx." + std::wstring(name); }

Node NowMarker(std::uint8_t role, bool sp) {
  Node n;
  n.k = K::Param;
  n.t = L"?";
  n.role = role;
  n.sp = sp;
  return n;
}

bool HasNonAscii(std::wstring_view s) {
  return std::any_of(s.begin(), s.end(), [](wchar_t c) { return static_cast<std::uint32_t>(c) >= 0x80; });
}

// A declared SQL Server type and what PostgreSQL calls it: type word, optional size group.
struct TypeMapping {
  enum class Kind { Text, Date, Bit, Other } kind = Kind::Other;
  std::wstring pgType;  // e.g. "numeric(19,4)"; empty for texts (bpchar)
  long long length = 30;  // texts: the length of CONVERT/CAST's result, -1 for no limit
};

TypeMapping MapType(const Seq& type) {
  TypeMapping m;
  if (type.empty()) return m;
  const Node& word = type[0];
  const Node* size = type.size() > 1 && type[1].k == K::Group ? &type[1] : nullptr;
  if (IsTextType(word) || IsWord(word, L"uniqueidentifier")) {
    m.kind = TypeMapping::Kind::Text;
    if (size && !size->kids.empty()) {
      m.length = IsWord(size->kids[0], L"max") ? -1 : std::wcstoll(size->kids[0].t.c_str(), nullptr, 10);
    }
    if (IsWordIn(word, {L"text", L"ntext"})) m.length = -1;
    if (IsWord(word, L"uniqueidentifier")) m.length = 36;
    return m;
  }
  if (IsDateType(word)) {
    m.kind = TypeMapping::Kind::Date;
    m.pgType = IsWord(word, L"date") ? L"date" : IsWord(word, L"time") ? L"time(3)" : L"timestamp(3)";
    return m;
  }
  if (IsWord(word, L"bit")) {
    m.kind = TypeMapping::Kind::Bit;
    m.pgType = L"smallint";
    return m;
  }
  std::wstring args;
  if (size) Write(size->kids, args);
  if (IsWordIn(word, {L"int", L"integer"})) m.pgType = L"integer";
  else if (IsWord(word, L"bigint")) m.pgType = L"bigint";
  else if (IsWordIn(word, {L"smallint", L"tinyint"})) m.pgType = L"smallint";
  else if (IsWord(word, L"money")) m.pgType = L"numeric(19,4)";
  else if (IsWord(word, L"smallmoney")) m.pgType = L"numeric(10,4)";
  else if (IsWordIn(word, {L"decimal", L"numeric"})) m.pgType = args.empty() ? L"numeric(18,0)" : L"numeric(" + args + L")";
  else if (IsWordIn(word, {L"float", L"double"})) m.pgType = L"double precision";
  else if (IsWord(word, L"real")) m.pgType = L"real";
  else if (IsWordIn(word, {L"binary", L"varbinary", L"image", L"blob"})) m.pgType = L"bytea";
  else {
    m.kind = TypeMapping::Kind::Text;  // what MapDeclaredType reads as a text
  }
  return m;
}

// The words of a PostgreSQL type name as tokens.
Seq TypeTokens(const std::wstring& pgType) {
  Seq out = Tokenize(pgType);
  if (!out.empty()) out[0].sp = true;
  return out;
}

// The regular expression's form of one character: letters and digits as they are, any other
// character as an escape.
void AppendRegexChar(std::wstring& out, char32_t c) {
  if ((c >= U'a' && c <= U'z') || (c >= U'A' && c <= U'Z') || (c >= U'0' && c <= U'9')) {
    out += static_cast<wchar_t>(c);
    return;
  }
  wchar_t buf[16];
  if (c <= 0xFFFF) std::swprintf(buf, 16, L"\\u%04X", static_cast<unsigned>(c));
  else std::swprintf(buf, 16, L"\\U%08X", static_cast<unsigned>(c));
  out += buf;
}

// The characters the collation's folding can map: beyond them every character is its own case.
constexpr char32_t kFoldedBelow = 0x500;

// The characters of the same letter as `c` without case (c itself included).
std::vector<char32_t> SameLetter(wchar_t c) {
  std::vector<char32_t> out{static_cast<char32_t>(c)};
  const wchar_t upper = FoldUpper(c);
  for (char32_t t = 1; t < kFoldedBelow; ++t)
    if (t != static_cast<char32_t>(c) && FoldUpper(static_cast<wchar_t>(t)) == upper) out.push_back(t);
  return out;
}

// Ranges of characters [first, last], kept sorted and merged.
using Ranges = std::vector<std::pair<char32_t, char32_t>>;

void AddRange(Ranges& r, char32_t a, char32_t b) {
  if (a <= b) r.emplace_back(a, b);
}

void Normalize(Ranges& r) {
  std::sort(r.begin(), r.end());
  Ranges merged;
  for (const auto& x : r) {
    if (!merged.empty() && x.first <= merged.back().second + 1) merged.back().second = std::max(merged.back().second, x.second);
    else merged.push_back(x);
  }
  r = std::move(merged);
}

// Every character whose collation weight lies between those of `lo` and `hi` (LikeMatch's range).
void AddWeightRange(Ranges& r, wchar_t lo, wchar_t hi) {
  const std::uint32_t wlo = CollationWeight(lo), whi = CollationWeight(hi);
  if (wlo > whi) return;
  for (char32_t t = 1; t < kFoldedBelow; ++t) {
    const std::uint32_t w = CollationWeight(static_cast<wchar_t>(t));
    if (w >= wlo && w <= whi) AddRange(r, t, t);
  }
  // Above the folded characters a character's weight is its code (below 0x1000) or its code
  // moved past the letters.
  AddRange(r, std::max<char32_t>(kFoldedBelow, wlo), std::min<char32_t>(0xFFF, whi));
  if (whi >= 0x3000) AddRange(r, std::max<char32_t>(0x1000, wlo >= 0x3000 ? wlo - 0x2000 : 0x1000),
                               std::min<char32_t>(0x10FFFF, whi - 0x2000));
}

void AppendClass(std::wstring& out, Ranges r, bool negate) {
  Normalize(r);
  if (r.empty()) {  // an empty class matches no character; its negation any
    out += negate ? L"." : L"(?!)";
    return;
  }
  out += negate ? L"[^" : L"[";
  for (const auto& [a, b] : r) {
    AppendRegexChar(out, a);
    if (b != a) {
      out += L'-';
      AppendRegexChar(out, b);
    }
  }
  out += L']';
}

void AppendLetter(std::wstring& out, wchar_t c) {
  const std::vector<char32_t> same = SameLetter(c);
  if (same.size() == 1) {
    AppendRegexChar(out, same[0]);
    return;
  }
  Ranges r;
  for (char32_t t : same) AddRange(r, t, t);
  AppendClass(out, std::move(r), false);
}

}  // namespace

std::wstring PgName(std::wstring_view name) {
  std::wstring out(name);
  for (auto& c : out) c = FoldLower(c);
  return out;
}

std::wstring LikeRegex(std::wstring_view pattern, wchar_t escape) {
  std::wstring out = L"^(?:";
  for (std::size_t p = 0; p < pattern.size();) {
    const wchar_t pc = pattern[p];
    if (escape && pc == escape && p + 1 < pattern.size()) {
      AppendLetter(out, pattern[p + 1]);
      p += 2;
    } else if (pc == L'%') {
      out += L".*";
      ++p;
    } else if (pc == L'_') {
      out += L'.';
      ++p;
    } else if (pc == L'[') {
      // A class up to the next ']' (a ']' right after '[' or '[^' belongs to it); unclosed, the
      // '[' is a character of its own.
      std::size_t q = p + 1;
      bool negate = false;
      if (q < pattern.size() && pattern[q] == L'^') {
        negate = true;
        ++q;
      }
      const std::size_t first = q;
      Ranges r;
      while (q < pattern.size() && (pattern[q] != L']' || q == first)) {
        if (q + 2 < pattern.size() && pattern[q + 1] == L'-' && pattern[q + 2] != L']') {
          AddWeightRange(r, pattern[q], pattern[q + 2]);
          q += 3;
        } else {
          for (char32_t t : SameLetter(pattern[q])) AddRange(r, t, t);
          ++q;
        }
      }
      if (q >= pattern.size()) {
        AppendRegexChar(out, L'[');
        ++p;
        continue;
      }
      AppendClass(out, std::move(r), negate);
      p = q + 1;
    } else {
      AppendLetter(out, pc);
      ++p;
    }
  }
  out += L")$";
  return out;
}

namespace {

// The passes every engine shares, alone: the text that types and names a result.
class NeutralRewriter final : public RewriterBase {
 protected:
  void Local(Seq&) override {}
  void Statement(Seq&, std::size_t, std::size_t&) override {}
};

std::wstring NeutralText(const Seq& statement) {
  Seq copy = statement;
  NeutralRewriter rw;
  rw.Process(copy, true);
  std::wstring text;
  Write(copy, text);
  return text;
}

class PgRewriter final : public RewriterBase {
 public:
  // Set for each statement before it is processed.
  bool ddl = false;
  // What the statement needs after it.
  std::vector<std::wstring> comments;
  bool noWait = false;
  bool createsView = false;
  std::wstring viewName;
  std::vector<std::wstring> viewColumns;  // CREATE VIEW v (a, b) AS ...
  Seq viewBody;
  // The names of a CREATE or ALTER statement as it wrote them, by their lower-case form (the
  // rewriting folds them before the statement's columns are read).
  std::map<std::wstring, std::wstring> declared;

  void RememberNames(const Seq& original) {
    declared.clear();
    if (original.empty() || !IsWordIn(original[0], {L"CREATE", L"ALTER"})) return;
    std::function<void(const Seq&)> walk = [&](const Seq& seq) {
      for (const Node& n : seq) {
        if (n.k == K::Word || n.k == K::QIdent) declared.emplace(PgName(Unquoted(n)), Unquoted(n));
        if (!n.kids.empty()) walk(n.kids);
      }
    };
    walk(original);
  }

 protected:
  void Local(Seq& v) override {
    for (std::size_t i = 0; i < v.size(); ++i) {
      Node& n = v[i];
      if (n.k == K::QIdent) {
        n = QuotedName(Unquoted(n), n.sp);
        continue;
      }
      if (n.k != K::Word) continue;
      const bool call = i + 1 < v.size() && v[i + 1].k == K::Group;
      if (EqNoCase(n.t, L"@@IDENTITY") || (call && EqNoCase(n.t, L"SCOPE_IDENTITY"))) {
        QualifyFunction(n, L"identity");
        if (!call) v.insert(v.begin() + static_cast<long>(i) + 1, MakeGroup({}));
        continue;
      }
      if (IsWord(n, L"CURRENT_TIMESTAMP") || (call && IsWordIn(n, {L"GETDATE", L"GETUTCDATE"}) &&
                                              v[i + 1].kids.empty())) {
        const bool utc = IsWord(n, L"GETUTCDATE");
        if (ddl) {
          QualifyFunction(n, utc ? L"getutcdate" : L"getdate");
          if (!call) v.insert(v.begin() + static_cast<long>(i) + 1, MakeGroup({}));
        } else {
          const bool sp = n.sp;
          if (call) v.erase(v.begin() + static_cast<long>(i) + 1);
          v[i] = NowMarker(utc ? kUtcNowRole : kNowRole, sp);
        }
        continue;
      }
      if (!call) {
        if (!IsKeyword(n) && HasNonAscii(n.t)) n = QuotedName(n.t, n.sp);
        continue;
      }
      if (IsWord(n, L"ISNULL")) {
        n.t = L"COALESCE";
      } else if (IsWordIn(n, {L"LEN", L"DATALENGTH", L"UPPER", L"LOWER", L"CHARINDEX", L"LEFT", L"RIGHT", L"SPACE",
                              L"REPLICATE", L"REPLACE", L"NEWID", L"YEAR", L"MONTH", L"DAY"})) {
        QualifyFunction(n, PgName(n.t));
      } else if (IsWordIn(n, {L"DATEADD", L"DATEDIFF", L"DATEPART", L"DATENAME"})) {
        QuoteDatePart(v[i + 1]);
        QualifyFunction(n, IsWord(n, L"DATENAME") ? L"datepart" : PgName(n.t));
      } else if (IsWord(n, L"CONVERT")) {
        Convert(n, v[i + 1]);
      } else if (IsWord(n, L"CAST")) {
        Cast(n, v[i + 1]);
      }
    }
    Likes(v);
  }

  std::wstring InformationSchemaTables() const override {
    // A table's comment is the name its CREATE TABLE gave it; a view's is its text.
    return L"SELECT CASE WHEN c.relkind IN ('r', 'p') THEN coalesce(nullif(obj_description(c.oid, 'pg_class'), ''), "
           L"c.relname::text) ELSE c.relname::text END::bpchar COLLATE vx.ci AS table_name, CASE WHEN c.relkind = 'v' "
           L"THEN 'VIEW' ELSE 'BASE TABLE' END::bpchar AS table_type FROM pg_class c WHERE c.relkind IN ('r', 'p', 'v') "
           L"AND c.relnamespace = to_regnamespace('public')";
  }

  // `expr AS 'alias'` (also from `'alias' = expr`): the alias as a name (not in PostgreSQL's own
  // CREATE FUNCTION ... AS 'body').
  void Operators(Seq& v) override {
    if (!v.empty() && IsWord(v[0], L"CREATE")) return;
    for (std::size_t i = 1; i < v.size(); ++i)
      if (v[i].k == K::Str && IsWord(v[i - 1], L"AS")) v[i] = QuotedName(Unquoted(v[i]), v[i].sp);
  }

  void Statement(Seq& v, std::size_t start, std::size_t& end) override {
    const std::size_t count = end - start;
    if (IsWord(v[start], L"CREATE") && count >= 3 && IsWord(v[start + 1], L"TABLE")) {
      std::size_t p = start + 2;
      while (p < end && v[p].k != K::Group) ++p;
      if (p == end) return;
      Seq name(v.begin() + static_cast<long>(start) + 2, v.begin() + static_cast<long>(p));
      CreateTable(name, v[p].kids);
    } else if (IsWord(v[start], L"ALTER") && count >= 5 && IsWord(v[start + 1], L"TABLE")) {
      // ALTER TABLE t WITH NOCHECK ADD CONSTRAINT ...: the rows already there are not checked,
      // which PostgreSQL says after the constraint; WITH CHECK is its default.
      bool unchecked = false;
      if (IsWord(v[start + 3], L"WITH") && IsWordIn(v[start + 4], {L"CHECK", L"NOCHECK"})) {
        unchecked = IsWord(v[start + 4], L"NOCHECK");
        v.erase(v.begin() + static_cast<long>(start) + 3, v.begin() + static_cast<long>(start) + 5);
        end -= 2;
      }
      std::size_t p = start + 2;
      while (p < end && !IsWord(v[p], L"ADD")) ++p;
      if (p + 1 < end && IsWordIn(v[p + 1], {L"CONSTRAINT", L"FOREIGN"})) {
        Seq added(v.begin() + static_cast<long>(p) + 1, v.begin() + static_cast<long>(end));
        Deferrable(added);
        if (unchecked) added.insert(added.end(), {MakeWord(L"NOT"), MakeWord(L"VALID")});
        v.erase(v.begin() + static_cast<long>(p) + 1, v.begin() + static_cast<long>(end));
        v.insert(v.begin() + static_cast<long>(p) + 1, added.begin(), added.end());
        end = p + 1 + added.size();
        return;
      }
      const Seq name(v.begin() + static_cast<long>(start) + 2, v.begin() + static_cast<long>(p));
      AlterTableAdd(v, start, end, [&](Seq& def) { ColumnDef(name, def); });
    } else if (IsWord(v[start], L"CREATE") && count >= 4 && IsWord(v[start + 1], L"VIEW")) {
      for (std::size_t p = start + 2; p + 1 < end; ++p) {
        if (!IsWord(v[p], L"AS") || !IsWord(v[p + 1], L"SELECT")) continue;
        std::size_t nameEnd = p;
        if (nameEnd > start + 2 && v[nameEnd - 1].k == K::Group) {  // a column list
          --nameEnd;
          for (const Seq& column : SplitCommas(v[nameEnd].kids))
            if (!column.empty()) viewColumns.push_back(Declared(column[0]));
        }
        viewName = Text(Seq(v.begin() + static_cast<long>(start) + 2, v.begin() + static_cast<long>(nameEnd)));
        viewBody.assign(v.begin() + static_cast<long>(p) + 1, v.begin() + static_cast<long>(end));
        createsView = true;
        break;
      }
    } else if (IsWord(v[start], L"DROP") && count == 5 && IsWord(v[start + 1], L"INDEX") && IsWord(v[start + 3], L"ON")) {
      v.erase(v.begin() + static_cast<long>(start) + 3, v.begin() + static_cast<long>(end));  // DROP INDEX ix ON t
      end = start + 3;
    } else if (IsWord(v[start], L"PRAGMA") && count >= 2 && IsWord(v[start + 1], L"defer_foreign_keys")) {
      // The data factory's save checks foreign keys at its end.
      Seq deferred = {MakeWord(L"SET", false), MakeWord(L"CONSTRAINTS"), MakeWord(L"ALL"), MakeWord(L"DEFERRED")};
      v.erase(v.begin() + static_cast<long>(start), v.begin() + static_cast<long>(end));
      v.insert(v.begin() + static_cast<long>(start), deferred.begin(), deferred.end());
      end = start + deferred.size();
    } else if (IsWord(v[start], L"INSERT") && count >= 3 && IsWord(v[start + 1], L"INTO")) {
      const Node& table = v[start + 2];
      noWait = (table.k == K::Word && EqNoCase(table.t, kObjectLockTable)) ||
               (table.k == K::QIdent && EqNoCase(Unquoted(table), PgName(kObjectLockTable)));
    }
  }

 private:
  // CONVERT(type, value[, style]).
  void Convert(Node& fn, Node& group) {
    auto parts = SplitCommas(group.kids);
    if (parts.size() < 2 || parts[0].empty()) return;
    Seq expr = parts[1];
    if (!expr.empty()) expr[0].sp = false;
    Seq style;
    if (parts.size() >= 3) style = parts[2];
    Conversion(fn, group, parts[0], std::move(expr), std::move(style));
  }

  // CAST(value AS type).
  void Cast(Node& fn, Node& group) {
    auto& k = group.kids;
    for (std::size_t j = 0; j < k.size(); ++j) {
      if (!IsWord(k[j], L"AS") || j + 1 >= k.size()) continue;
      Seq type(k.begin() + static_cast<long>(j) + 1, k.end());
      Seq expr(k.begin(), k.begin() + static_cast<long>(j));
      Conversion(fn, group, type, std::move(expr), {});
      return;
    }
  }

  void Conversion(Node& fn, Node& group, const Seq& type, Seq expr, Seq style) {
    const TypeMapping m = MapType(type);
    if (m.kind == TypeMapping::Kind::Text) {
      QualifyFunction(fn, L"convert_text");
      Seq kids = std::move(expr);
      kids.push_back(MakeComma());
      if (style.empty()) {
        kids.push_back(Number(-1));
      } else {
        for (auto& t : style) kids.push_back(t);
      }
      kids.push_back(MakeComma());
      kids.push_back(Number(m.length));
      group.kids = std::move(kids);
      return;
    }
    if (m.kind == TypeMapping::Kind::Bit) {
      QualifyFunction(fn, L"to_bit");
      group.kids = std::move(expr);
      return;
    }
    if (m.pgType.empty()) return;
    fn.t = L"CAST";
    Seq kids = std::move(expr);
    kids.push_back(MakeWord(L"AS"));
    for (auto& t : TypeTokens(m.pgType)) kids.push_back(t);
    group.kids = std::move(kids);
  }

  // x [NOT] LIKE pattern [ESCAPE 'c'] -> [NOT] vx.like(x, regex) at this level.
  void Likes(Seq& v) {
    for (std::size_t i = 1; i < v.size(); ++i) {
      if (!IsWord(v[i], L"LIKE")) continue;
      const bool negated = IsWord(v[i - 1], L"NOT");
      std::size_t lhsEnd = negated ? i - 1 : i, lhsStart = lhsEnd;
      while (lhsStart > 0 && IsChainPart(v[lhsStart - 1])) --lhsStart;
      std::size_t rhsEnd = i + 1;
      while (rhsEnd < v.size() && IsChainPart(v[rhsEnd])) ++rhsEnd;
      if (lhsStart == lhsEnd || rhsEnd != i + 2) continue;  // a pattern that is not one literal or marker
      std::size_t end = rhsEnd;
      wchar_t escape = 0;
      if (end + 1 < v.size() && IsWord(v[end], L"ESCAPE") && v[end + 1].k == K::Str) {
        const std::wstring e = Unquoted(v[end + 1]);
        if (e.size() != 1) continue;
        escape = e[0];
        end += 2;
      }
      Node pattern = v[i + 1];
      if (pattern.k == K::Str) {
        pattern = Literal(LikeRegex(Unquoted(pattern), escape));
      } else if (pattern.k == K::Param && pattern.role == 0) {
        pattern.role = kLikeRole;
        pattern.escape = escape;
      } else {
        continue;
      }
      pattern.sp = true;
      Seq args(v.begin() + static_cast<long>(lhsStart), v.begin() + static_cast<long>(lhsEnd));
      args[0].sp = false;
      args.push_back(MakeComma());
      args.push_back(pattern);
      Seq call;
      const bool sp = v[lhsStart].sp;
      if (negated) call.push_back(MakeWord(L"NOT", sp));
      call.push_back(MakeWord(L"vx.like", negated || sp));
      call.push_back(MakeGroup(std::move(args)));
      v.erase(v.begin() + static_cast<long>(lhsStart), v.begin() + static_cast<long>(end));
      v.insert(v.begin() + static_cast<long>(lhsStart), call.begin(), call.end());
      i = lhsStart + call.size() - 1;
    }
  }

  // A name as the statement wrote it.
  std::wstring Declared(const Node& n) const {
    const std::wstring folded = PgName(Unquoted(n));
    auto it = declared.find(folded);
    return it == declared.end() ? Unquoted(n) : it->second;
  }

  void CreateTable(const Seq& name, Seq& kids) {
    std::wstring written;
    Write(name, written);
    if (name.size() == 1) written = Declared(name[0]);
    comments.push_back(L"COMMENT ON TABLE " + Text(name) + L" IS " + Literal(written, false).t);
    auto defs = SplitCommas(kids);
    for (auto& def : defs) {
      if (def.empty()) continue;
      if (IsWordIn(def[0], {L"CONSTRAINT", L"PRIMARY", L"UNIQUE", L"FOREIGN", L"CHECK"})) {
        Deferrable(def);
        continue;
      }
      ColumnDef(name, def);
    }
    kids = JoinCommas(defs);
    if (!kids.empty()) kids[0].sp = false;
  }

  static std::wstring Text(const Seq& seq) {
    std::wstring out;
    Write(seq, out);
    if (!out.empty() && out[0] == L' ') out.erase(0, 1);
    return out;
  }

  // Foreign keys are checked at the statement's end or, when the save asks for it, at the
  // transaction's end.
  static void Deferrable(Seq& def) {
    for (const Node& n : def)
      if (IsWord(n, L"REFERENCES")) {
        def.push_back(MakeWord(L"DEFERRABLE"));
        return;
      }
  }

  void ColumnDef(const Seq& table, Seq& def) {
    if (def.size() < 2) return;
    const std::wstring column = Declared(def[0]);
    const std::size_t typePos = 1;
    std::size_t afterType = typePos + 1;
    if (afterType < def.size() && def[afterType].k == K::Group) ++afterType;
    const Seq type(def.begin() + static_cast<long>(typePos), def.begin() + static_cast<long>(afterType));
    std::wstring declaredType;
    Write(type, declaredType);
    const TypeMapping m = MapType(type);
    std::wstring collation = L"vx.ci";
    bool identity = false;
    for (std::size_t p = afterType; p < def.size(); ++p) {
      if (IsWord(def[p], L"IDENTITY")) {
        identity = true;
        const std::size_t n = (p + 1 < def.size() && def[p + 1].k == K::Group) ? 2 : 1;
        def.erase(def.begin() + static_cast<long>(p), def.begin() + static_cast<long>(p + n));
        --p;
      } else if (IsWord(def[p], L"COLLATE") && p + 1 < def.size()) {
        const std::wstring given = Unquoted(def[p + 1]);
        if (given.find(L"_CS") != std::wstring::npos || given.find(L"_BIN") != std::wstring::npos)
          collation = L"\"C\"";
        def.erase(def.begin() + static_cast<long>(p), def.begin() + static_cast<long>(p) + 2);
        --p;
      }
    }
    Seq replacement;
    if (m.kind == TypeMapping::Kind::Text) {
      replacement = {MakeWord(L"bpchar"), MakeWord(L"COLLATE"), MakeWord(collation)};
    } else {
      replacement = TypeTokens(m.pgType);
    }
    if (identity) {
      for (const wchar_t* w : {L"GENERATED", L"BY", L"DEFAULT", L"AS", L"IDENTITY"}) replacement.push_back(MakeWord(w));
    }
    def.erase(def.begin() + static_cast<long>(typePos), def.begin() + static_cast<long>(afterType));
    def.insert(def.begin() + static_cast<long>(typePos), replacement.begin(), replacement.end());
    Deferrable(def);
    comments.push_back(L"COMMENT ON COLUMN " + Text(table) + L"." + QuotedName(column, false).t + L" IS " +
                       Literal(column + L"\t" + declaredType, false).t);
  }
};

// Numbers the markers of a rewritten statement $1, $2... in order, recording where each value
// comes from.
void NumberMarkers(Seq& seq, std::vector<PgParam>& params) {
  for (auto& n : seq) {
    if (n.k == K::Param) {
      PgParam p;
      if (n.role == kNowRole) p.source = PgParam::Source::Now;
      else if (n.role == kUtcNowRole) p.source = PgParam::Source::UtcNow;
      p.index = n.param;
      p.likePattern = n.role == kLikeRole;
      p.likeEscape = n.escape;
      params.push_back(p);
      n.t = L"$" + std::to_wstring(params.size());
    }
    if (!n.kids.empty()) NumberMarkers(n.kids, params);
  }
}

bool HasTopLevelLimit(const Seq& seq) {
  return std::any_of(seq.begin(), seq.end(), [](const Node& n) { return IsWord(n, L"LIMIT"); });
}

bool StartsWithWord(const Seq& seq, std::initializer_list<std::wstring_view> words) {
  return !seq.empty() && IsWordIn(seq[0], words);
}

}  // namespace

PgRewrittenSql RewriteSqlForPostgres(std::wstring_view sql) {
  PgRewrittenSql out;
  Seq all = Tokenize(sql, &out.paramCount);
  std::vector<Seq> statements(1);
  for (auto& n : all) {
    if (n.k == K::Semi) statements.emplace_back();
    else statements.back().push_back(std::move(n));
  }
  PgRewriter rw;
  for (Seq& original : statements) {
    if (original.empty()) continue;
    original[0].sp = false;
    PgStatement st;
    st.changesSchema = StartsWithWord(original, {L"CREATE", L"DROP", L"ALTER"});
    if (StartsWithWord(original, {L"SELECT"})) {
      st.typingText = NeutralText(original);
      st.names = SelectListNames(st.typingText);
    }
    Seq v = original;
    rw.ddl = st.changesSchema;
    rw.comments.clear();
    rw.noWait = false;
    rw.createsView = false;
    rw.viewName.clear();
    rw.viewColumns.clear();
    rw.viewBody.clear();
    rw.RememberNames(original);
    rw.Process(v, true);
    if (v.empty()) continue;  // a setting SQL Server's session knows and PostgreSQL's has no use for
    st.noWait = rw.noWait;
    NumberMarkers(v, st.params);
    std::wstring text;
    Write(v, text);
    st.sql = ToUtf8(text);
    std::wstring viewText;
    if (rw.createsView) {
      st.view = ToUtf8(rw.viewName);
      std::wstring query;
      Write(rw.viewBody, query);
      if (!query.empty() && query[0] == L' ') query.erase(0, 1);
      if (!HasTopLevelLimit(rw.viewBody)) query += L" LIMIT 0";
      st.viewQuery = ToUtf8(query);
      st.viewColumns = rw.viewColumns;
      viewText = NeutralText(original);
      const std::size_t as = viewText.find(L" AS SELECT ");
      st.viewTypingText = as == std::wstring::npos ? std::wstring() : viewText.substr(as + 4);
    }
    out.statements.push_back(std::move(st));
    for (const std::wstring& comment : rw.comments) {
      PgStatement c;
      c.sql = ToUtf8(comment);
      out.statements.push_back(std::move(c));
    }
    if (rw.createsView) {
      PgStatement c;
      c.sql = ToUtf8(L"COMMENT ON VIEW " + rw.viewName + L" IS " + Literal(viewText, false).t);
      out.statements.push_back(std::move(c));
    }
  }
  out.outputs = std::move(rw.outputs);
  return out;
}

}  // namespace platform::ado
