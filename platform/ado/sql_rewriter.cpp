#include "platform/ado/sql_rewriter.h"

#include <algorithm>
#include <initializer_list>

#include "platform/ado/column_types.h"
#include "platform/ado/sql_rewriter_base.h"
#include "platform/ado/text.h"

namespace platform::ado {

using namespace sql;

void CollectParams(const Seq& seq, std::vector<int>& order) {
  for (const auto& n : seq) {
    if (n.k == K::Param) order.push_back(n.param);
    if (!n.kids.empty()) CollectParams(n.kids, order);
  }
}

// ---- the shared passes --------------------------------------------------------------------

void RewriterBase::Process(Seq& v, bool top) {
  BuildCase(v);
  for (auto& n : v)
    if (n.k == K::Group || n.k == K::Case) Process(n.kids, false);
  CommonLocal(v);
  Local(v);
  SelectRewrites(v);
  Joins(v);
  Operators(v);
  if (top) Statements(v);
}

void RewriterBase::BuildCase(Seq& v) {
  for (std::size_t i = 0; i < v.size(); ++i) {
    if (!IsWord(v[i], L"CASE")) continue;
    int depth = 0;
    std::size_t end = v.size();
    for (std::size_t j = i + 1; j < v.size(); ++j) {
      if (IsWord(v[j], L"CASE")) ++depth;
      if (IsWord(v[j], L"END")) {
        if (depth == 0) {
          end = j;
          break;
        }
        --depth;
      }
    }
    if (end == v.size()) return;  // unbalanced: leave it to the database to report
    Node c;
    c.k = K::Case;
    c.sp = v[i].sp;
    c.kids.assign(std::make_move_iterator(v.begin() + static_cast<long>(i) + 1),
                  std::make_move_iterator(v.begin() + static_cast<long>(end)));
    v.erase(v.begin() + static_cast<long>(i), v.begin() + static_cast<long>(end) + 1);
    v.insert(v.begin() + static_cast<long>(i), std::move(c));
  }
}

bool RewriterBase::IsHintGroup(const Node& g) {
  if (g.k != K::Group || g.kids.empty()) return false;
  for (const auto& k : g.kids) {
    if (k.k == K::Comma) continue;
    if (!IsWordIn(k, {L"NOLOCK", L"READUNCOMMITTED", L"ROWLOCK", L"UPDLOCK", L"HOLDLOCK", L"READPAST", L"TABLOCK",
                      L"TABLOCKX", L"PAGLOCK", L"XLOCK", L"NOWAIT", L"READCOMMITTED", L"SERIALIZABLE",
                      L"REPEATABLEREAD"}))
      return false;
  }
  return true;
}

namespace {
bool EndsSelectList(const Node& n) {
  return n.k == K::Semi ||
         IsWordIn(n, {L"FROM", L"INTO", L"WHERE", L"GROUP", L"ORDER", L"HAVING", L"UNION", L"EXCEPT", L"INTERSECT"});
}

}  // namespace

void RewriterBase::SelectRewrites(Seq& v) {
  for (std::size_t i = 0; i < v.size(); ++i) {
    if (!IsWord(v[i], L"SELECT")) continue;
    std::size_t j = i + 1;
    if (j < v.size() && IsWordIn(v[j], {L"DISTINCT", L"ALL"})) ++j;
    if (j + 1 < v.size() && IsWord(v[j], L"TOP") &&
        (v[j + 1].k == K::Num || v[j + 1].k == K::Group || v[j + 1].k == K::Param) &&
        !(j + 2 < v.size() && IsWordIn(v[j + 2], {L"PERCENT", L"WITH"}))) {
      Node limit = v[j + 1];
      limit.sp = true;
      v.erase(v.begin() + static_cast<long>(j), v.begin() + static_cast<long>(j) + 2);
      if (j < v.size()) v[j].sp = true;
      std::size_t end = j;
      while (end < v.size() && v[end].k != K::Semi) ++end;
      v.insert(v.begin() + static_cast<long>(end), {MakeWord(L"LIMIT"), limit});
    }
    // The select list: `alias = expr` items and `?=` output markers.
    int column = 0;
    std::size_t itemStart = j;
    for (std::size_t p = j; p <= v.size(); ++p) {
      bool atEnd = p == v.size() || EndsSelectList(v[p]);
      if (!atEnd && v[p].k != K::Comma) continue;
      std::size_t itemEnd = p;
      if (itemEnd >= itemStart + 3 && IsOp(v[itemStart + 1], L"=")) {
        Node& head = v[itemStart];
        if (head.k == K::Param) {
          outputs.push_back({head.param, column});
          bool sp = head.sp;
          v.erase(v.begin() + static_cast<long>(itemStart), v.begin() + static_cast<long>(itemStart) + 2);
          v[itemStart].sp = sp;
          p -= 2;
        } else if ((head.k == K::Word && !IsKeyword(head)) || head.k == K::QIdent || head.k == K::Str) {
          Node alias = head;
          alias.sp = true;
          bool sp = head.sp;
          v.erase(v.begin() + static_cast<long>(itemStart), v.begin() + static_cast<long>(itemStart) + 2);
          v[itemStart].sp = sp;
          p -= 2;
          v.insert(v.begin() + static_cast<long>(p), {MakeWord(L"AS"), alias});
          p += 2;
        }
      }
      if (atEnd) break;
      ++column;
      itemStart = p + 1;
    }
  }
}

bool RewriterBase::IsOperandEnd(const Node& n) {
  switch (n.k) {
    case K::QIdent:
    case K::Str:
    case K::Num:
    case K::Param:
    case K::Group:
    case K::Case:
      return true;
    case K::Word:
      return !IsKeyword(n) || IsWord(n, L"NULL");
    default:
      return false;
  }
}

bool RewriterBase::IsChainPart(const Node& n) {
  switch (n.k) {
    case K::Word:
      return !IsKeyword(n);
    case K::QIdent:
    case K::Str:
    case K::Num:
    case K::Param:
    case K::Group:
    case K::Case:
    case K::Dot:
      return true;
    case K::Op:
      return n.t == L"+" || n.t == L"-" || n.t == L"*" || n.t == L"/" || n.t == L"%" || n.t == L"||" ||
             n.t == L"&" || n.t == L"|" || n.t == L"^" || n.t == L"~";
    default:
      return false;
  }
}

void RewriterBase::CommonLocal(Seq& v) {
  for (std::size_t i = 0; i < v.size(); ++i) {
    Node& n = v[i];
    const bool call = i + 1 < v.size() && v[i + 1].k == K::Group;
    if (n.k == K::Word && call) {
      if (IsWord(n, L"WITH") && IsHintGroup(v[i + 1])) {
        v.erase(v.begin() + static_cast<long>(i), v.begin() + static_cast<long>(i) + 2);
        --i;
        continue;
      }
      if (!IsKeyword(n) && IsHintGroup(v[i + 1])) {
        v.erase(v.begin() + static_cast<long>(i) + 1);  // FROM t (NOLOCK)
        continue;
      }
    }
    if ((IsWord(n, L"dbo") || (n.k == K::QIdent && EqNoCase(n.t, L"[dbo]"))) && i + 1 < v.size() &&
        v[i + 1].k == K::Dot && (i == 0 || v[i - 1].k != K::Dot)) {
      bool sp = n.sp;
      v.erase(v.begin() + static_cast<long>(i), v.begin() + static_cast<long>(i) + 2);
      if (i < v.size()) v[i].sp = sp;
      --i;
      continue;
    }
    if (IsWordIn(n, {L"CLUSTERED", L"NONCLUSTERED"})) {
      v.erase(v.begin() + static_cast<long>(i));
      --i;
      continue;
    }
    // INFORMATION_SCHEMA.TABLES: the engine's catalogue as that view.
    if (IsWord(n, L"INFORMATION_SCHEMA") && i + 2 < v.size() && v[i + 1].k == K::Dot && IsWord(v[i + 2], L"TABLES")) {
      const std::wstring query = InformationSchemaTables();
      if (query.empty()) continue;
      Node group = MakeGroup(Tokenize(query), n.sp);
      v.erase(v.begin() + static_cast<long>(i), v.begin() + static_cast<long>(i) + 3);
      v.insert(v.begin() + static_cast<long>(i), {group, MakeWord(L"AS"), MakeWord(L"information_schema_tables")});
      i += 2;
    }
  }
}

void RewriterBase::Statements(Seq& v) {
  if (WholeStatement(v)) {
    v.clear();
    return;
  }
  std::size_t start = 0;
  while (start < v.size()) {
    std::size_t end = start;
    while (end < v.size() && v[end].k != K::Semi) ++end;
    std::size_t count = end - start;
    Node* first = count ? &v[start] : nullptr;
    if (first && IsWord(*first, L"SET") && count >= 2 &&
        IsWordIn(v[start + 1], {L"NOCOUNT", L"ANSI_NULLS", L"ANSI_WARNINGS", L"ANSI_PADDING", L"QUOTED_IDENTIFIER",
                                L"ARITHABORT", L"XACT_ABORT", L"DATEFORMAT", L"LANGUAGE", L"TRANSACTION",
                                L"CONCAT_NULL_YIELDS_NULL", L"LOCK_TIMEOUT", L"DEADLOCK_PRIORITY"})) {
      v.erase(v.begin() + static_cast<long>(start), v.begin() + static_cast<long>(end));
      end = start;
    } else if (first && IsWordIn(*first, {L"BEGIN", L"COMMIT", L"ROLLBACK"}) && count >= 2 &&
               IsWordIn(v[start + 1], {L"TRAN", L"TRANSACTION", L"WORK"})) {
      v.erase(v.begin() + static_cast<long>(start) + 1, v.begin() + static_cast<long>(end));
      end = start + 1;
    } else if (first && IsWord(*first, L"DROP") && count >= 5 && IsWord(v[start + 1], L"INDEX") &&
               IsWord(v[start + 3], L"ON")) {
      v.erase(v.begin() + static_cast<long>(start) + 3, v.begin() + static_cast<long>(end));  // the table
      end = start + 3;
    } else if (first) {
      if (IsWord(*first, L"CREATE") && count >= 3 && IsWord(v[start + 1], L"TABLE")) {
        // SQL Server's file-group clause after the column list.
        for (std::size_t p = start + 2; p < end; ++p) {
          if (v[p].k != K::Group) continue;
          if (p + 2 < end && IsWord(v[p + 1], L"ON")) {
            v.erase(v.begin() + static_cast<long>(p) + 1, v.begin() + static_cast<long>(p) + 3);
            end -= 2;
          }
          break;
        }
      }
      Statement(v, start, end);
    }
    start = end + 1;
  }
}

void RewriterBase::QuoteDatePart(Node& group) {
  auto& kids = group.kids;
  if (!kids.empty() && kids[0].k == K::Word && (kids.size() == 1 || kids[1].k == K::Comma)) {
    kids[0].k = K::Str;
    kids[0].t = L"'" + kids[0].t + L"'";
  }
}

void RewriterBase::AlterTableAdd(Seq& v, std::size_t start, std::size_t& end, const std::function<void(Seq&)>& column) {
  for (std::size_t p = start + 2; p + 1 < end; ++p) {
    if (!IsWord(v[p], L"ADD")) continue;
    std::size_t colStart = p + 1;
    if (IsWordIn(v[colStart], {L"CONSTRAINT", L"PRIMARY", L"UNIQUE", L"FOREIGN", L"CHECK"})) return;
    if (IsWord(v[colStart], L"COLUMN")) ++colStart;
    Seq def(v.begin() + static_cast<long>(colStart), v.begin() + static_cast<long>(end));
    column(def);
    v.erase(v.begin() + static_cast<long>(colStart), v.begin() + static_cast<long>(end));
    v.insert(v.begin() + static_cast<long>(colStart), def.begin(), def.end());
    end = colStart + def.size();
    return;
  }
}

// ---- SQLite ------------------------------------------------------------------------------

namespace {

class SqliteRewriter final : public RewriterBase {
 public:
  explicit SqliteRewriter(SchemaSource* schema) : schema_(schema) {}
  std::optional<RewrittenSql::AddedForeignKey> addedForeignKey;

 protected:
  bool WholeStatement(Seq& v) override { return AddedForeignKey(v); }
  void Joins(Seq& v) override { RightJoins(v); }

  std::wstring InformationSchemaTables() const override {
    return L"SELECT name COLLATE VXNOCASE AS TABLE_NAME, CASE type WHEN 'view' THEN 'VIEW' ELSE 'BASE TABLE' END "
           L"AS TABLE_TYPE "
           L"FROM sqlite_master WHERE type IN ('table', 'view') AND name NOT LIKE 'sqlite!_%' ESCAPE '!'";
  }

  void Local(Seq& v) override {
    for (std::size_t i = 0; i < v.size(); ++i) {
      Node& n = v[i];
      bool call = i + 1 < v.size() && v[i + 1].k == K::Group;
      if (n.k == K::Word && (EqNoCase(n.t, L"@@IDENTITY") || EqNoCase(n.t, L"@@ROWCOUNT"))) {
        n.t = EqNoCase(n.t, L"@@IDENTITY") ? L"last_insert_rowid" : L"changes";
        v.insert(v.begin() + static_cast<long>(i) + 1, MakeGroup({}));
        continue;
      }
      if (n.k != K::Word || !call) continue;
      if (EqNoCase(n.t, L"SCOPE_IDENTITY")) {
        n.t = L"last_insert_rowid";
      } else if (EqNoCase(n.t, L"ISNULL")) {
        n.t = L"IFNULL";
      } else if (EqNoCase(n.t, L"LEFT") || EqNoCase(n.t, L"RIGHT")) {
        n.t = EqNoCase(n.t, L"LEFT") ? L"VX_LEFT" : L"VX_RIGHT";
      } else if (EqNoCase(n.t, L"CONVERT")) {
        Convert(n, v[i + 1]);
      } else if (EqNoCase(n.t, L"CAST")) {
        CastDate(n, v[i + 1]);
      } else if (IsWordIn(n, {L"DATEADD", L"DATEDIFF", L"DATEPART", L"DATENAME"})) {
        QuoteDatePart(v[i + 1]);
      }
    }
  }

  void Statement(Seq& v, std::size_t start, std::size_t& end) override {
    const std::size_t count = end - start;
    if (IsWord(v[start], L"CREATE") && count >= 3 && IsWord(v[start + 1], L"TABLE")) {
      for (std::size_t p = start + 2; p < end; ++p) {
        if (v[p].k == K::Group) {
          CreateTable(v[p].kids);
          break;
        }
      }
    } else if (IsWord(v[start], L"ALTER") && count >= 5 && IsWord(v[start + 1], L"TABLE")) {
      AlterTableAdd(v, start, end, [this](Seq& def) {
        std::wstring unused;
        ColumnDef(def, unused);
      });
    }
  }

  // CONVERT(type, expr[, style]).
  void Convert(Node& fn, Node& group) {
    auto parts = SplitCommas(group.kids);
    if (parts.size() < 2 || parts[0].empty()) return;
    Seq type = parts[0];
    Seq expr = parts[1];
    if (!expr.empty()) expr[0].sp = false;
    if (IsDateType(type[0])) {
      fn.t = L"VX_DATETIME";
      group.kids = expr;
      return;
    }
    if (IsTextType(type[0])) {
      // CONVERT(varchar(n), x[, style]): formatted as the style says, cut to n characters
      // (30 when no length is given, none for max).
      std::wstring length = L"30";
      if (type.size() > 1 && type[1].k == K::Group && !type[1].kids.empty())
        length = IsWord(type[1].kids[0], L"max") ? L"-1" : type[1].kids[0].t;
      if (IsWordIn(type[0], {L"text", L"ntext"})) length = L"-1";
      fn.t = L"VX_CONVERT";
      Seq kids = expr;
      kids.push_back(MakeComma());
      if (parts.size() >= 3) {
        for (auto& t : parts[2]) kids.push_back(t);
      } else {
        Node none;
        none.k = K::Num;
        none.t = L"-1";
        none.sp = true;
        kids.push_back(none);
      }
      kids.push_back(MakeComma());
      Node len;
      len.k = K::Num;
      len.t = length;
      len.sp = true;
      kids.push_back(len);
      group.kids = std::move(kids);
      return;
    }
    fn.t = L"CAST";
    Seq kids = expr;
    kids.push_back(MakeWord(L"AS"));
    type[0].sp = true;
    // Numbers are cast by SQLite's affinity word; the server's type name follows it, so that
    // the cast still says what the result is ("CAST(x AS INTEGER bit)"; the result columns'
    // typing reads the last name).
    if (IsWordIn(type[0], {L"money", L"smallmoney", L"decimal", L"numeric", L"float", L"real"}))
      kids.push_back(MakeWord(L"REAL"));
    else if (IsWordIn(type[0], {L"int", L"bigint", L"smallint", L"tinyint", L"bit"}))
      kids.push_back(MakeWord(L"INTEGER"));
    for (auto& t : type) kids.push_back(t);
    group.kids = std::move(kids);
  }

  // CAST(x AS datetime) keeps the stored date text instead of a numeric cast.
  void CastDate(Node& fn, Node& group) {
    auto& k = group.kids;
    for (std::size_t j = 0; j < k.size(); ++j) {
      if (IsWord(k[j], L"AS") && j + 1 < k.size() && IsDateType(k[j + 1])) {
        fn.t = L"VX_DATETIME";
        k.erase(k.begin() + static_cast<long>(j), k.end());
        return;
      }
    }
  }

  // Every `a + b` and `a - b` at this level becomes VX_ADD(a, b) / VX_SUB(a, b), left to right:
  // SQLite would turn text into 0 and dates into their year.
  void Operators(Seq& v) override {
    std::size_t i = 0;
    while (i < v.size()) {
      if (!IsChainPart(v[i])) {
        ++i;
        continue;
      }
      std::size_t end = i;
      while (end < v.size() && IsChainPart(v[end])) ++end;
      std::vector<std::size_t> ops;  // binary + and - positions
      for (std::size_t p = i + 1; p < end; ++p) {
        if ((IsOp(v[p], L"+") || IsOp(v[p], L"-")) && IsOperandEnd(v[p - 1]) && p + 1 < end) ops.push_back(p);
      }
      if (ops.empty()) {
        i = end;
        continue;
      }
      Seq result(v.begin() + static_cast<long>(i), v.begin() + static_cast<long>(ops[0]));
      bool firstSp = result.empty() ? false : result[0].sp;
      if (!result.empty()) result[0].sp = false;
      for (std::size_t k = 0; k < ops.size(); ++k) {
        std::size_t termEnd = k + 1 < ops.size() ? ops[k + 1] : end;
        Seq term(v.begin() + static_cast<long>(ops[k]) + 1, v.begin() + static_cast<long>(termEnd));
        if (!term.empty()) term[0].sp = true;
        Seq args = std::move(result);
        args.push_back(MakeComma());
        for (auto& t : term) args.push_back(std::move(t));
        result.clear();
        result.push_back(MakeWord(IsOp(v[ops[k]], L"+") ? L"VX_ADD" : L"VX_SUB", false));
        result.push_back(MakeGroup(std::move(args)));
      }
      result[0].sp = firstSp;
      v.erase(v.begin() + static_cast<long>(i), v.begin() + static_cast<long>(end));
      v.insert(v.begin() + static_cast<long>(i), result.begin(), result.end());
      i += result.size();
    }
  }

  // ALTER TABLE t [WITH CHECK | WITH NOCHECK] ADD [CONSTRAINT n] FOREIGN KEY ..., as the whole
  // text (a `;` may end it): taken out as `addedForeignKey`.
  bool AddedForeignKey(const Seq& v) {
    std::size_t end = v.size();
    while (end > 0 && v[end - 1].k == K::Semi) --end;
    if (end < 6 || !IsWord(v[0], L"ALTER") || !IsWord(v[1], L"TABLE") || v[2].k != K::Word) return false;
    std::size_t p = 3;
    bool check = true;
    if (IsWord(v[p], L"WITH") && p + 1 < end && IsWordIn(v[p + 1], {L"CHECK", L"NOCHECK"})) {
      check = IsWord(v[p + 1], L"CHECK");
      p += 2;
    }
    if (p >= end || !IsWord(v[p], L"ADD")) return false;
    const std::size_t clause = ++p;
    if (p + 1 < end && IsWord(v[p], L"CONSTRAINT")) p += 2;
    if (p + 1 >= end || !IsWord(v[p], L"FOREIGN") || !IsWord(v[p + 1], L"KEY")) return false;
    for (std::size_t k = p; k < end; ++k)
      if (v[k].k == K::Semi) return false;  // a further statement
    Seq tail(v.begin() + static_cast<long>(clause), v.begin() + static_cast<long>(end));
    tail[0].sp = false;
    std::wstring text;
    Write(tail, text);
    addedForeignKey = RewrittenSql::AddedForeignKey{ToUtf8(v[2].t), ToUtf8(text), check};
    return true;
  }

  // ---- right joins ------------------------------------------------------------------------

  struct TableRef {
    std::size_t begin = 0, end = 0;  // its tokens
    std::wstring name, alias;        // without quotes
    const std::wstring& Qualifier() const { return alias.empty() ? name : alias; }
  };
  struct ColumnRef {
    std::wstring qualifier, column;
  };

  static std::wstring Unquoted(const Node& n) {
    if (n.k == K::QIdent && n.t.size() >= 2) return n.t.substr(1, n.t.size() - 2);
    return n.t;
  }
  static bool IsName(const Node& n) {
    return (n.k == K::Word && !IsKeyword(n) && !IsWordIn(n, {L"NULL", L"OUTER"})) || n.k == K::QIdent;
  }

  // A table with its alias at v[i], or false.
  static bool ReadTableRef(const Seq& v, std::size_t i, std::size_t end, TableRef& ref) {
    if (i >= end || !IsName(v[i])) return false;
    if (i + 1 < end && (v[i + 1].k == K::Group || v[i + 1].k == K::Dot)) return false;  // a function, a schema
    ref.begin = i;
    ref.name = Unquoted(v[i]);
    ref.alias.clear();
    std::size_t j = i + 1;
    const bool as = j < end && IsWord(v[j], L"AS");
    if (as) ++j;
    if (j < end && IsName(v[j])) {
      ref.alias = Unquoted(v[j]);
      ++j;
    } else if (as) {
      return false;
    }
    ref.end = j;
    return true;
  }

  // The names of columns in v[b, e) (into groups and CASE); false when a subquery or something else
  // that cannot be followed is there.
  static bool CollectColumns(const Seq& v, std::size_t b, std::size_t e, std::vector<ColumnRef>& out) {
    for (std::size_t i = b; i < e; ++i) {
      const Node& n = v[i];
      if (n.k == K::Group || n.k == K::Case) {
        if (!CollectColumns(n.kids, 0, n.kids.size(), out)) return false;
        continue;
      }
      if (IsWordIn(n, {L"SELECT", L"JOIN", L"FROM"}) || n.k == K::Comma) return false;
      if (!IsName(n) || (i > b && IsWordIn(v[i - 1], {L"AS", L"COLLATE"}))) continue;
      if (i + 1 < e && v[i + 1].k == K::Group) continue;  // a function's name
      if (i + 1 < e && v[i + 1].k == K::Dot) {
        if (i + 2 >= e || !IsName(v[i + 2])) return false;
        out.push_back({Unquoted(n), Unquoted(v[i + 2])});
        i += 2;
        continue;
      }
      out.push_back({L"", Unquoted(n)});
    }
    return true;
  }

  // The one of `tables` that a column belongs to, or -1 when that cannot be told for certain.
  int Owner(const ColumnRef& c, const std::vector<const TableRef*>& tables) const {
    int found = -1;
    for (std::size_t t = 0; t < tables.size(); ++t) {
      const bool match = c.qualifier.empty() ? schema_->ColumnDeclaration(tables[t]->name, c.column).has_value()
                                             : EqNoCase(c.qualifier, tables[t]->Qualifier());
      if (!match) continue;
      if (found >= 0) return -1;
      found = static_cast<int>(t);
    }
    return found;
  }

  // Whether the select list of the FROM at v[from] is or has a bare * (or cannot be found).
  static bool BareStar(const Seq& v, std::size_t from) {
    std::size_t s = from;
    while (s > 0 && !IsWord(v[s - 1], L"SELECT")) --s;
    if (s == 0) return true;
    for (std::size_t k = s; k < from; ++k) {
      if (!IsOp(v[k], L"*")) continue;
      const Node& before = v[k - 1];
      if (IsWordIn(before, {L"SELECT", L"DISTINCT", L"ALL"}) || before.k == K::Comma) return true;
    }
    return false;
  }

  static bool EndsFrom(const Node& n) {
    return n.k == K::Semi || IsWordIn(n, {L"WHERE", L"GROUP", L"ORDER", L"HAVING", L"UNION", L"EXCEPT",
                                          L"INTERSECT", L"LIMIT"});
  }

  static std::size_t AfterInnerJoin(const Seq& v, std::size_t i, std::size_t end) {
    if (i < end && IsWord(v[i], L"INNER")) ++i;
    return i < end && IsWord(v[i], L"JOIN") ? i + 1 : 0;
  }
  static std::size_t AfterRightJoin(const Seq& v, std::size_t i, std::size_t end) {
    if (i >= end || !IsWord(v[i], L"RIGHT")) return 0;
    ++i;
    if (i < end && IsWord(v[i], L"OUTER")) ++i;
    return i < end && IsWord(v[i], L"JOIN") ? i + 1 : 0;
  }
  // A join condition that ends the clause: no further join and no list of tables in it.
  static bool LastCondition(const Seq& v, std::size_t b, std::size_t e) {
    if (b >= e) return false;
    for (std::size_t k = b; k < e; ++k)
      if (v[k].k == K::Comma || IsWordIn(v[k], {L"JOIN", L"INNER", L"LEFT", L"RIGHT", L"CROSS", L"FULL"})) return false;
    return true;
  }

  static void Append(Seq& out, const Seq& v, std::size_t b, std::size_t e) {
    const std::size_t first = out.size();
    out.insert(out.end(), v.begin() + static_cast<long>(b), v.begin() + static_cast<long>(e));
    if (first < out.size()) out[first].sp = true;
  }

  void RightJoins(Seq& v) {
    for (std::size_t i = 0; i < v.size(); ++i) {
      if (!IsWord(v[i], L"FROM")) continue;
      std::size_t end = i + 1;
      while (end < v.size() && !EndsFrom(v[end])) ++end;
      RightJoin(v, i, end);
    }
  }

  // FROM x RIGHT JOIN c ON q, FROM (a JOIN b ON p) RIGHT JOIN c ON q: see the header.
  void RightJoin(Seq& v, std::size_t from, std::size_t end) {
    const std::size_t start = from + 1;
    if (start >= end || BareStar(v, from)) return;
    TableRef x, c;
    const bool nested = v[start].k == K::Group;
    if (!nested && !ReadTableRef(v, start, end, x)) return;
    const std::size_t afterRight = AfterRightJoin(v, nested ? start + 1 : x.end, end);
    if (!afterRight || !ReadTableRef(v, afterRight, end, c) || c.end >= end || !IsWord(v[c.end], L"ON")) return;
    const std::size_t q = c.end + 1;
    if (!LastCondition(v, q, end)) return;
    Seq out;
    Append(out, v, c.begin, c.end);
    out.push_back(MakeWord(L"LEFT"));
    out.push_back(MakeWord(L"JOIN"));
    if (!nested) {
      Append(out, v, x.begin, x.end);
      Append(out, v, c.end, end);
    } else {
      const Seq& inner = v[start].kids;
      TableRef a, b;
      if (!schema_ || !ReadTableRef(inner, 0, inner.size(), a)) return;
      const std::size_t afterJoin = AfterInnerJoin(inner, a.end, inner.size());
      if (!afterJoin || !ReadTableRef(inner, afterJoin, inner.size(), b) || b.end >= inner.size() ||
          !IsWord(inner[b.end], L"ON"))
        return;
      const std::size_t p = b.end + 1;
      if (!LastCondition(inner, p, inner.size())) return;
      for (const TableRef* t : {&a, &b, &c})
        if (schema_->KindOf(t->name) != SchemaSource::Kind::Table) return;
      std::vector<ColumnRef> pColumns, qColumns;
      if (!CollectColumns(inner, p, inner.size(), pColumns) || !CollectColumns(v, q, end, qColumns)) return;
      const std::vector<const TableRef*> tables = {&a, &b, &c};
      bool qNamesA = false, qNamesB = false;
      for (const ColumnRef& col : pColumns) {
        const int owner = Owner(col, tables);
        if (owner < 0 || owner == 2) return;
      }
      for (const ColumnRef& col : qColumns) {
        const int owner = Owner(col, tables);
        if (owner < 0) return;
        qNamesA = qNamesA || owner == 0;
        qNamesB = qNamesB || owner == 1;
      }
      if (qNamesA && qNamesB) return;
      // `joined` is the table that q joins to c, `other` the one joined to it by p.
      const TableRef& joined = qNamesA ? a : b;
      const TableRef& other = qNamesA ? b : a;
      Append(out, inner, joined.begin, joined.end);
      out.push_back(MakeWord(L"ON"));
      Seq condition(v.begin() + static_cast<long>(q), v.begin() + static_cast<long>(end));
      if (!condition.empty()) condition[0].sp = false;
      out.push_back(MakeGroup(std::move(condition), true));
      out.push_back(MakeWord(L"AND"));
      out.push_back(MakeWord(L"EXISTS"));
      Seq exists;
      exists.push_back(MakeWord(L"SELECT", false));
      Node one;
      one.k = K::Num;
      one.t = L"1";
      one.sp = true;
      exists.push_back(one);
      exists.push_back(MakeWord(L"FROM"));
      Append(exists, inner, other.begin, other.end);
      exists.push_back(MakeWord(L"WHERE"));
      Append(exists, inner, p, inner.size());
      out.push_back(MakeGroup(std::move(exists), true));
      out.push_back(MakeWord(L"LEFT"));
      out.push_back(MakeWord(L"JOIN"));
      Append(out, inner, other.begin, other.end);
      out.push_back(MakeWord(L"ON"));
      Append(out, inner, p, inner.size());
    }
    v.erase(v.begin() + static_cast<long>(start), v.begin() + static_cast<long>(end));
    v.insert(v.begin() + static_cast<long>(start), std::make_move_iterator(out.begin()),
             std::make_move_iterator(out.end()));
  }

  SchemaSource* schema_;

  // Returns the identity column's name in `identity` when the definition has IDENTITY.
  void ColumnDef(Seq& def, std::wstring& identity) {
    if (def.size() < 2) return;
    std::size_t typePos = 1;
    std::size_t afterType = typePos + 1;
    if (afterType < def.size() && def[afterType].k == K::Group) ++afterType;
    bool isText = IsTextType(def[typePos]);
    bool isDate = IsDateType(def[typePos]);
    // Type names that give SQLite's numeric affinity to columns that hold texts: a second
    // type word gives them text affinity, or SQLite would turn a compared or stored
    // '20240105' (or '0123' in a name column) into a number, which sorts before every text.
    bool needsTextAffinity = isDate || IsWord(def[typePos], L"sysname");
    bool hasIdentity = false, hasPk = false;
    for (std::size_t p = afterType; p < def.size(); ++p) {
      if (IsWord(def[p], L"IDENTITY")) {
        hasIdentity = true;
        std::size_t n = (p + 1 < def.size() && def[p + 1].k == K::Group) ? 2 : 1;
        def.erase(def.begin() + static_cast<long>(p), def.begin() + static_cast<long>(p + n));
        --p;
      } else if (IsWord(def[p], L"PRIMARY") && p + 1 < def.size() && IsWord(def[p + 1], L"KEY")) {
        hasPk = true;
      } else if (IsWord(def[p], L"COLLATE") && p + 1 < def.size()) {
        bool cs = def[p + 1].t.find(L"_CS") != std::wstring::npos || def[p + 1].t.find(L"_BIN") != std::wstring::npos;
        def[p + 1] = MakeWord(cs ? L"BINARY" : std::wstring(L"VXNOCASE"));
        isText = isDate = false;  // collation given
      }
    }
    if (hasIdentity) {
      identity = def[0].t;
      // INTEGER PRIMARY KEY AUTOINCREMENT numbers the rows as IDENTITY(1,1) does.
      if (hasPk) {
        for (std::size_t p = afterType; p + 1 < def.size(); ++p) {
          if (IsWord(def[p], L"PRIMARY") && IsWord(def[p + 1], L"KEY")) {
            def.erase(def.begin() + static_cast<long>(p), def.begin() + static_cast<long>(p) + 2);
            break;
          }
        }
      }
      def.erase(def.begin() + static_cast<long>(typePos), def.begin() + static_cast<long>(afterType));
      def.insert(def.begin() + static_cast<long>(typePos),
                 {MakeWord(L"INTEGER"), MakeWord(L"PRIMARY"), MakeWord(L"KEY"), MakeWord(L"AUTOINCREMENT")});
      return;
    }
    if (isText) def.insert(def.begin() + static_cast<long>(afterType), {MakeWord(L"COLLATE"), MakeWord(L"VXNOCASE")});
    else if (isDate) def.insert(def.begin() + static_cast<long>(afterType), {MakeWord(L"COLLATE"), MakeWord(L"VXDATE")});
    if (needsTextAffinity) def.insert(def.begin() + static_cast<long>(typePos) + 1, MakeWord(L"text"));
  }

  void CreateTable(Seq& kids) {
    auto defs = SplitCommas(kids);
    std::wstring identity;
    for (auto& def : defs) {
      if (def.empty() || IsWordIn(def[0], {L"CONSTRAINT", L"PRIMARY", L"UNIQUE", L"FOREIGN", L"CHECK", L"INDEX"}))
        continue;
      ColumnDef(def, identity);
    }
    if (!identity.empty()) {
      // A table-level primary key on the identity column is already inline; on other
      // columns it becomes a unique constraint (SQLite allows one primary key).
      for (auto it = defs.begin(); it != defs.end();) {
        auto& def = *it;
        std::size_t p = 0;
        if (!def.empty() && IsWord(def[0], L"CONSTRAINT")) p = 2;
        if (p + 2 < def.size() + 1 && p + 1 < def.size() && IsWord(def[p], L"PRIMARY") && IsWord(def[p + 1], L"KEY")) {
          const Node* cols = p + 2 < def.size() ? &def[p + 2] : nullptr;
          bool onIdentity = cols && cols->k == K::Group && cols->kids.size() == 1 &&
                            EqNoCase(cols->kids[0].t, identity);
          if (onIdentity) {
            it = defs.erase(it);
            continue;
          }
          def[p] = MakeWord(L"UNIQUE");
          def.erase(def.begin() + static_cast<long>(p) + 1);
        }
        ++it;
      }
    }
    kids = JoinCommas(defs);
    if (!kids.empty()) kids[0].sp = false;
  }
};

}  // namespace

RewrittenSql RewriteSql(std::wstring_view sql, SchemaSource* schema) {
  int params = 0;
  Seq seq = Tokenize(sql, &params);
  SqliteRewriter rw(schema);
  rw.Process(seq, true);
  std::wstring text;
  text.reserve(sql.size() + 16);
  Write(seq, text);
  RewrittenSql out;
  out.sql = ToUtf8(text);
  CollectParams(seq, out.paramOrder);
  out.outputs = std::move(rw.outputs);
  out.addedForeignKey = std::move(rw.addedForeignKey);
  out.paramCount = params;
  return out;
}

}  // namespace platform::ado
