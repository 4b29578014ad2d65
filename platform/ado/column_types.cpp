// Result-column types of SELECT statements read from their select lists (see column_types.h).
#include "platform/ado/column_types.h"

#include <algorithm>

#include "platform/ado/ado_enums.h"
#include "platform/ado/database.h"
#include "platform/ado/sql_tokens.h"
#include "platform/ado/text.h"

namespace platform::ado {
namespace {

using namespace sql;

// Views defined by views and nested expressions are followed this deep at most.
constexpr int kMaxDepth = 16;
constexpr LONG kLongTextSize = 1073741823;

ColumnType Declared(const std::string& decl) {
  ColumnType t;
  if (!MapDeclaredType(decl, t.type, t.size)) return {};
  return t;
}

ColumnType Fixed(LONG type, LONG size) { return ColumnType{type, size}; }
ColumnType Text() { return Fixed(adVarWChar, 0); }
ColumnType Date() { return Fixed(adDBTimeStamp, 16); }
ColumnType Int() { return Fixed(adInteger, 4); }

bool IsText(const ColumnType& t) {
  switch (t.type) {
    case adChar: case adVarChar: case adWChar: case adVarWChar: case adLongVarChar: case adLongVarWChar: case adBSTR:
      return true;
    default:
      return false;
  }
}

// SQL Server's precedence of types: in arithmetic, CASE and COALESCE the result takes the type
// of highest precedence among the operands.
int Precedence(const ColumnType& t) {
  switch (t.type) {
    case adDBTimeStamp: case adDate: case adDBDate: return 100;
    case adDouble: return 90;
    case adSingle: return 85;
    case adNumeric: case adDecimal: return 80;
    case adCurrency: return 70;
    case adBigInt: return 60;
    case adInteger: return 50;
    case adSmallInt: return 45;
    case adUnsignedTinyInt: return 40;
    case adBoolean: return 35;
    case adLongVarWChar: return 14;
    case adLongVarChar: return 13;
    case adWChar: case adVarWChar: case adBSTR: return 12;
    case adChar: case adVarChar: return 11;
    default: return t.type ? 1 : 0;
  }
}

ColumnType Highest(const std::vector<ColumnType>& types) {
  ColumnType best;
  for (const ColumnType& t : types)
    if (t.Known() && Precedence(t) > Precedence(best)) best = t;
  // Combined texts take their length from the values.
  if (IsText(best)) best.size = 0;
  return best;
}

std::wstring Unquote(const Node& n) {
  if (n.k != K::QIdent || n.t.size() < 2) return n.t;
  return n.t.substr(1, n.t.size() - 2);
}

bool IsName(const Node& n) { return (n.k == K::Word && !IsKeyword(n)) || n.k == K::QIdent; }

bool IsOperandEnd(const Node& n) {
  switch (n.k) {
    case K::QIdent: case K::Str: case K::Num: case K::Param: case K::Group: case K::Case: return true;
    case K::Word: return !IsKeyword(n) || IsWord(n, L"NULL");
    default: return false;
  }
}

bool EndsSelectList(const Node& n) {
  return n.k == K::Semi || IsWordIn(n, {L"FROM", L"INTO", L"WHERE", L"GROUP", L"ORDER", L"HAVING", L"UNION",
                                        L"EXCEPT", L"INTERSECT", L"LIMIT", L"WINDOW"});
}

bool EndsFromClause(const Node& n) {
  return n.k == K::Semi || IsWordIn(n, {L"WHERE", L"GROUP", L"ORDER", L"HAVING", L"UNION", L"EXCEPT", L"INTERSECT",
                                        L"LIMIT", L"WINDOW"});
}

bool StartsSelect(const Seq& v) { return !v.empty() && IsWord(v[0], L"SELECT"); }

struct Item {
  Seq expr;
  std::wstring name;       // the alias, or the column's name for a column taken as it is
  bool star = false;       // * or q.*
  std::wstring qualifier;  // of q.*
};

struct Source {
  std::wstring name;   // table or view
  std::wstring alias;
  Seq subquery;        // (SELECT ...) AS alias
};

struct Select {
  std::vector<Item> items;
  std::vector<Source> sources;
  const Select* outer = nullptr;  // for correlated names of a subquery
};

// The column's name of `q.name` / `name`, or empty for another expression.
std::wstring ColumnName(const Seq& e) {
  if (e.empty() || !IsName(e.back())) return {};
  for (std::size_t i = 0; i < e.size(); ++i) {
    const bool namePlace = i % 2 == 0;
    if (namePlace ? !IsName(e[i]) : e[i].k != K::Dot) return {};
  }
  return e.size() % 2 == 1 ? Unquote(e.back()) : std::wstring();
}

Item ParseItem(Seq item) {
  Item out;
  if (item.size() == 1 && IsOp(item[0], L"*")) {
    out.star = true;
    return out;
  }
  if (item.size() == 3 && IsName(item[0]) && item[1].k == K::Dot && IsOp(item[2], L"*")) {
    out.star = true;
    out.qualifier = Unquote(item[0]);
    return out;
  }
  if (item.size() >= 3 && IsWord(item[item.size() - 2], L"AS") && (IsName(item.back()) || item.back().k == K::Str)) {
    out.name = item.back().k == K::Str ? item.back().t.substr(1, item.back().t.size() - 2) : Unquote(item.back());
    item.resize(item.size() - 2);
  } else if (item.size() >= 2 && IsName(item.back()) && item[item.size() - 2].k != K::Dot &&
             IsOperandEnd(item[item.size() - 2])) {
    out.name = Unquote(item.back());
    item.pop_back();
  } else {
    out.name = ColumnName(item);
  }
  out.expr = std::move(item);
  return out;
}

Source ParseSource(Seq chunk) {
  Source s;
  for (std::size_t p = 0; p < chunk.size(); ++p) {
    if (IsWordIn(chunk[p], {L"ON", L"USING"})) {
      chunk.resize(p);
      break;
    }
  }
  if (chunk.empty()) return s;
  std::size_t p = 0;
  if (chunk[0].k == K::Group) {
    if (StartsSelect(chunk[0].kids)) s.subquery = chunk[0].kids;
    p = 1;
  } else if (IsName(chunk[0])) {
    s.name = Unquote(chunk[0]);
    p = 1;
    if (p + 1 < chunk.size() && chunk[p].k == K::Dot && IsName(chunk[p + 1])) {  // schema.table
      s.name = Unquote(chunk[p + 1]);
      p += 2;
    }
  }
  if (p < chunk.size() && IsWord(chunk[p], L"AS")) ++p;
  if (p < chunk.size() && IsName(chunk[p])) s.alias = Unquote(chunk[p]);
  return s;
}

// The select that begins at v[pos] (the word SELECT), up to the end of its own clauses.
Select ParseSelect(const Seq& v, std::size_t pos, const Select* outer) {
  Select s;
  s.outer = outer;
  std::size_t p = pos + 1;
  if (p < v.size() && IsWordIn(v[p], {L"DISTINCT", L"ALL"})) ++p;
  Seq item;
  for (; p < v.size() && !EndsSelectList(v[p]); ++p) {
    if (v[p].k == K::Comma) {
      s.items.push_back(ParseItem(std::move(item)));
      item.clear();
    } else {
      item.push_back(v[p]);
    }
  }
  if (!item.empty()) s.items.push_back(ParseItem(std::move(item)));
  if (p >= v.size() || !IsWord(v[p], L"FROM")) return s;
  Seq chunk;
  for (++p; p < v.size() && !EndsFromClause(v[p]); ++p) {
    const Node& n = v[p];
    if (n.k == K::Comma || IsWord(n, L"JOIN")) {
      s.sources.push_back(ParseSource(std::move(chunk)));
      chunk.clear();
      continue;
    }
    if (IsWordIn(n, {L"INNER", L"LEFT", L"RIGHT", L"OUTER", L"CROSS", L"FULL", L"NATURAL"})) continue;
    chunk.push_back(n);
  }
  if (!chunk.empty()) s.sources.push_back(ParseSource(std::move(chunk)));
  return s;
}

class Typer {
 public:
  explicit Typer(SchemaSource& schema) : schema_(schema) {}

  ColumnType TypeOf(const Seq& e, const Select& ctx, int depth) {
    if (depth > kMaxDepth || e.empty()) return {};
    if (e.size() >= 2 && (IsOp(e[0], L"-") || IsOp(e[0], L"+"))) return TypeOf(Seq(e.begin() + 1, e.end()), ctx, depth + 1);
    if (e.size() == 1) {
      const Node& n = e[0];
      switch (n.k) {
        case K::Num:
          if (n.t.find_first_of(L".eE") != std::wstring::npos && n.t.rfind(L"0x", 0) != 0) return Fixed(adDouble, 8);
          return n.t.size() > 9 ? Fixed(adBigInt, 8) : Int();
        case K::Str:
          return Text();
        case K::Group:
          if (StartsSelect(n.kids)) {
            Select sub = ParseSelect(n.kids, 0, &ctx);
            return sub.items.empty() || sub.items[0].star ? ColumnType{} : TypeOf(sub.items[0].expr, sub, depth + 1);
          }
          return TypeOf(n.kids, ctx, depth + 1);
        case K::Case:
          return CaseType(n.kids, ctx, depth);
        case K::Word:
          if (IsWordIn(n, {L"CURRENT_TIMESTAMP", L"CURRENT_DATE"})) return Date();
          if (IsKeyword(n)) return {};
          return Resolve(ctx, L"", n.t, depth).value_or(ColumnType{});
        case K::QIdent:
          return Resolve(ctx, L"", Unquote(n), depth).value_or(ColumnType{});
        default:
          return {};
      }
    }
    if (e.size() == 3 && IsName(e[0]) && e[1].k == K::Dot && IsName(e[2]))
      return Resolve(ctx, Unquote(e[0]), Unquote(e[2]), depth).value_or(ColumnType{});
    if (e.size() == 2 && e[0].k == K::Word && e[1].k == K::Group) return Call(e[0].t, e[1].kids, ctx, depth);
    return Arithmetic(e, ctx, depth);
  }

  // The column `name` of the select's sources (qualified by `qualifier` when given), then of the
  // selects it is nested in; nullopt when none has it.
  std::optional<ColumnType> Resolve(const Select& ctx, const std::wstring& qualifier, const std::wstring& name,
                                    int depth) {
    if (depth > kMaxDepth) return std::nullopt;
    for (const Source& s : ctx.sources) {
      if (!qualifier.empty()) {
        const bool named = EqNoCase(qualifier, s.alias) || (s.alias.empty() && EqNoCase(qualifier, s.name));
        if (!named) continue;
      }
      if (auto t = SourceColumn(s, name, depth + 1)) return t;
    }
    if (ctx.outer) return Resolve(*ctx.outer, qualifier, name, depth + 1);
    return std::nullopt;
  }

  // The result column `name` of a select; nullopt when it has none of that name.
  std::optional<ColumnType> OutputColumn(const Select& s, const std::wstring& name, int depth) {
    for (const Item& item : s.items)
      if (!item.star && EqNoCase(item.name, name)) return TypeOf(item.expr, s, depth + 1);
    for (const Item& item : s.items) {
      if (!item.star) continue;
      Select scope = s;
      scope.outer = nullptr;
      if (auto t = Resolve(scope, item.qualifier, name, depth + 1)) return t;
    }
    return std::nullopt;
  }

 private:
  std::optional<ColumnType> SourceColumn(const Source& s, const std::wstring& name, int depth) {
    if (!s.subquery.empty()) return OutputColumn(ParseSelect(s.subquery, 0, nullptr), name, depth);
    if (s.name.empty()) return std::nullopt;
    switch (schema_.KindOf(s.name)) {
      case SchemaSource::Kind::Table: {
        auto decl = schema_.ColumnDeclaration(s.name, name);
        if (!decl) return std::nullopt;
        return Declared(*decl);
      }
      case SchemaSource::Kind::View:
        return ViewColumn(schema_.ViewText(s.name), name, depth);
      default:
        return std::nullopt;
    }
  }

  // CREATE VIEW name [(columns)] AS SELECT ...
  std::optional<ColumnType> ViewColumn(const std::wstring& text, const std::wstring& name, int depth) {
    const Seq v = Tokenize(text);
    const Seq* columns = nullptr;
    for (std::size_t p = 0; p + 1 < v.size(); ++p) {
      if (v[p].k == K::Group && IsWord(v[p + 1], L"AS")) columns = &v[p].kids;
      if (!IsWord(v[p], L"AS") || !IsWord(v[p + 1], L"SELECT")) continue;
      Select s = ParseSelect(v, p + 1, nullptr);
      if (columns) {
        std::size_t index = 0;
        for (const Node& c : *columns) {
          if (c.k == K::Comma) {
            ++index;
          } else if (IsName(c) && EqNoCase(Unquote(c), name)) {
            if (index < s.items.size() && !s.items[index].star) return TypeOf(s.items[index].expr, s, depth + 1);
            return std::nullopt;
          }
        }
        return std::nullopt;
      }
      return OutputColumn(s, name, depth);
    }
    return std::nullopt;
  }

  std::vector<Seq> Arguments(const Seq& kids) {
    std::vector<Seq> args = SplitCommas(kids);
    if (!args.empty() && !args[0].empty() && IsWordIn(args[0][0], {L"DISTINCT", L"ALL"})) args[0].erase(args[0].begin());
    return args;
  }

  ColumnType Call(const std::wstring& fn, const Seq& kids, const Select& ctx, int depth) {
    auto is = [&](std::initializer_list<std::wstring_view> names) {
      for (auto n : names)
        if (EqNoCase(fn, n)) return true;
      return false;
    };
    if (is({L"CAST"})) {
      // The server's type is the last name after AS, with its length or precision.
      for (std::size_t p = 0; p < kids.size(); ++p) {
        if (!IsWord(kids[p], L"AS")) continue;
        std::size_t last = kids.size();
        for (std::size_t q = p + 1; q < kids.size(); ++q)
          if (kids[q].k == K::Word) last = q;
        if (last == kids.size()) return {};
        std::wstring decl = kids[last].t;
        if (last + 1 < kids.size() && kids[last + 1].k == K::Group) {
          std::wstring args;
          Write(kids[last + 1].kids, args);
          decl += L"(" + args + L")";
        }
        return Declared(ToUtf8(decl));
      }
      return {};
    }
    if (is({L"CONVERT"})) {  // SQL Server's own form: CONVERT(type, value[, style])
      const std::vector<Seq> args = Arguments(kids);
      if (args.empty() || args[0].empty() || args[0][0].k != K::Word) return {};
      const Seq& type = args[0];
      // To a text: a national text of the length asked for (30 when none is), as VX_CONVERT is.
      if (IsTextType(type[0])) {
        if (IsWordIn(type[0], {L"text", L"ntext"})) return Fixed(adLongVarWChar, kLongTextSize);
        if (type.size() < 2 || type[1].k != K::Group || type[1].kids.empty()) return Fixed(adVarWChar, 30);
        if (IsWord(type[1].kids[0], L"max")) return Fixed(adLongVarWChar, kLongTextSize);
        return Fixed(adVarWChar, static_cast<LONG>(std::wcstol(type[1].kids[0].t.c_str(), nullptr, 10)));
      }
      std::wstring decl;
      Write(type, decl);
      return Declared(ToUtf8(decl));
    }
    if (is({L"VX_DATETIME", L"GETDATE", L"GETUTCDATE", L"DATEADD", L"CURRENT_TIMESTAMP"})) return Date();
    if (is({L"COUNT", L"DATEDIFF", L"DATEPART", L"YEAR", L"MONTH", L"DAY", L"LEN", L"DATALENGTH", L"CHARINDEX"}))
      return Int();
    if (is({L"COUNT_BIG"})) return Fixed(adBigInt, 8);
    const std::vector<Seq> args = Arguments(kids);
    if (is({L"VX_CONVERT"})) {
      if (args.size() == 3 && args[2].size() >= 1) {
        const Node& n = args[2].back();
        const bool negative = args[2].size() == 2 && IsOp(args[2][0], L"-");
        if (n.k == K::Num && negative) return Fixed(adLongVarWChar, kLongTextSize);
        if (n.k == K::Num) return Fixed(adVarWChar, static_cast<LONG>(std::wcstol(n.t.c_str(), nullptr, 10)));
      }
      return Text();
    }
    if (is({L"UPPER", L"LOWER", L"VX_LEFT", L"VX_RIGHT", L"LEFT", L"RIGHT", L"LTRIM", L"RTRIM", L"TRIM", L"SUBSTRING", L"SUBSTR",
            L"REPLACE", L"SPACE", L"REPLICATE"})) {
      return Text();
    }
    if (is({L"MAX", L"MIN", L"SUM", L"AVG", L"ABS", L"ROUND", L"FLOOR", L"CEILING", L"SIGN"})) {
      if (args.empty()) return {};
      return TypeOf(args[0], ctx, depth + 1);
    }
    if (is({L"IFNULL", L"ISNULL", L"NULLIF"})) {
      for (const Seq& a : args) {
        ColumnType t = TypeOf(a, ctx, depth + 1);
        if (t.Known()) return t;
      }
      return {};
    }
    if (is({L"COALESCE", L"VX_ADD", L"VX_SUB"})) {
      std::vector<ColumnType> types;
      for (const Seq& a : args) types.push_back(TypeOf(a, ctx, depth + 1));
      return Highest(types);
    }
    return {};
  }

  ColumnType CaseType(const Seq& kids, const Select& ctx, int depth) {
    std::vector<ColumnType> branches;
    Seq branch;
    bool inBranch = false;
    auto flush = [&] {
      if (inBranch) branches.push_back(TypeOf(branch, ctx, depth + 1));
      branch.clear();
    };
    for (const Node& n : kids) {
      if (IsWordIn(n, {L"WHEN", L"THEN", L"ELSE"})) {
        flush();
        inBranch = !IsWord(n, L"WHEN");
        continue;
      }
      if (inBranch) branch.push_back(n);
    }
    flush();
    return Highest(branches);
  }

  // a + b, a - b, a * b, a / b, a % b, a || b at the top of the expression (in SQLite's text + and
  // - are VX_ADD and VX_SUB): the operands' type of highest precedence, texts when all are texts.
  ColumnType Arithmetic(const Seq& e, const Select& ctx, int depth) {
    std::vector<ColumnType> operands;
    Seq operand;
    bool any = false, concatenated = false;
    for (std::size_t p = 0; p < e.size(); ++p) {
      const Node& n = e[p];
      const bool op = p > 0 &&
                      (IsOp(n, L"*") || IsOp(n, L"/") || IsOp(n, L"%") || IsOp(n, L"||") || IsOp(n, L"+") ||
                       IsOp(n, L"-")) &&
                      IsOperandEnd(e[p - 1]);
      if (!op) {
        operand.push_back(n);
        continue;
      }
      any = true;
      concatenated = concatenated || IsOp(n, L"||");
      operands.push_back(TypeOf(operand, ctx, depth + 1));
      operand.clear();
    }
    if (!any) return {};
    operands.push_back(TypeOf(operand, ctx, depth + 1));
    if (concatenated) return Text();
    return Highest(operands);
  }

  SchemaSource& schema_;
};

}  // namespace

std::vector<ColumnType> ResultColumnTypes(std::wstring_view sql, const std::vector<std::wstring>& names,
                                          SchemaSource& schema) {
  std::vector<ColumnType> out(names.size());
  const Seq v = Tokenize(sql);
  if (!StartsSelect(v)) return out;
  const Select s = ParseSelect(v, 0, nullptr);
  Typer typer(schema);
  const std::size_t n = names.size();
  std::size_t stars = 0, star = 0;
  for (std::size_t i = 0; i < s.items.size(); ++i)
    if (s.items[i].star) ++stars, star = i;
  if (stars == 0 && s.items.size() == n) {
    for (std::size_t i = 0; i < n; ++i) out[i] = typer.TypeOf(s.items[i].expr, s, 0);
  } else if (stars == 1 && s.items.size() - 1 <= n) {
    // The columns before the star, those it stands for, and those after it.
    const std::size_t before = star, after = s.items.size() - star - 1;
    Select scope = s;
    for (std::size_t i = 0; i < n; ++i) {
      if (i < before) out[i] = typer.TypeOf(s.items[i].expr, s, 0);
      else if (i >= n - after) out[i] = typer.TypeOf(s.items[s.items.size() - (n - i)].expr, s, 0);
      else out[i] = typer.Resolve(scope, s.items[star].qualifier, names[i], 0).value_or(ColumnType{});
    }
  } else {
    for (std::size_t i = 0; i < n; ++i) out[i] = typer.OutputColumn(s, names[i], 0).value_or(ColumnType{});
  }
  return out;
}

std::vector<SelectItemName> SelectListNames(std::wstring_view sql) {
  std::vector<SelectItemName> out;
  const Seq v = Tokenize(sql);
  if (!StartsSelect(v)) return out;
  for (const Item& item : ParseSelect(v, 0, nullptr).items) {
    SelectItemName n;
    n.star = item.star;
    n.name = item.name;
    Write(item.expr, n.text);
    out.push_back(std::move(n));
  }
  return out;
}

}  // namespace platform::ado
