// The dialect rewriter as text: what each construct becomes, and what must stay untouched.
#include <gtest/gtest.h>

#include <map>
#include <set>

#include "platform/ado/column_types.h"
#include "platform/ado/sql_rewriter.h"

using platform::ado::RewriteSql;
using platform::ado::SchemaSource;

namespace {
std::string R(const wchar_t* sql) { return RewriteSql(sql).sql; }
}  // namespace

TEST(SqlRewriter, ConcatenationBecomesAddFunctionRespectingPrecedence) {
  EXPECT_EQ(R(L"SELECT a + b FROM t"), "SELECT VX_ADD(a, b) FROM t");
  EXPECT_EQ(R(L"SELECT a + b + c"), "SELECT VX_ADD(VX_ADD(a, b), c)");
  EXPECT_EQ(R(L"SELECT a * 2 + b / 3"), "SELECT VX_ADD(a * 2, b / 3)");
  EXPECT_EQ(R(L"SELECT a - b + c"), "SELECT VX_ADD(VX_SUB(a, b), c)");
  EXPECT_EQ(R(L"SELECT a - b"), "SELECT VX_SUB(a, b)");
  EXPECT_EQ(R(L"SELECT DATEADD(day, -1, d)"), "SELECT DATEADD('day', -1, d)");
  EXPECT_EQ(R(L"SELECT -a + 1"), "SELECT VX_ADD(-a, 1)");
  EXPECT_EQ(R(L"SELECT x FROM t WHERE n = f(a) + 'x' AND m > 1"),
            "SELECT x FROM t WHERE n = VX_ADD(f(a), 'x') AND m > 1");
  EXPECT_EQ(R(L"SELECT CASE WHEN a + 1 > 2 THEN 'p' + q ELSE '' END"),
            "SELECT CASE WHEN VX_ADD(a, 1) > 2 THEN VX_ADD('p', q) ELSE '' END");
  EXPECT_EQ(R(L"SELECT t.a + t.b AS s"), "SELECT VX_ADD(t.a, t.b) AS s");
  EXPECT_EQ(R(L"SELECT (a + b) * 2"), "SELECT (VX_ADD(a, b)) * 2");
}

TEST(SqlRewriter, LiteralsCommentsAndIdentifiersAreNotRewritten) {
  EXPECT_EQ(R(L"SELECT 'a + b', [x + y] FROM t -- top 5 + 1\n"), "SELECT 'a + b', [x + y] FROM t");
  EXPECT_EQ(R(L"SELECT 'it''s ISNULL(' /* CONVERT(int, 1) */"), "SELECT 'it''s ISNULL('");
  EXPECT_EQ(R(L"SELECT N'zażółć', N'x' + 'y'"), "SELECT 'zażółć', VX_ADD('x', 'y')");
  EXPECT_EQ(R(L"SELECT \"TOP\" FROM t"), "SELECT \"TOP\" FROM t");
}

TEST(SqlRewriter, FunctionsAndConversions) {
  EXPECT_EQ(R(L"SELECT ISNULL(qty, 0)"), "SELECT IFNULL(qty, 0)");
  EXPECT_EQ(R(L"SELECT ?=CONVERT( int, COUNT(*)) FROM t"), "SELECT CAST(COUNT(*) AS INTEGER int) FROM t");
  EXPECT_EQ(R(L"SELECT CONVERT(varchar(10), d, 120)"), "SELECT VX_CONVERT(d, 120, 10)");
  EXPECT_EQ(R(L"SELECT CONVERT(nvarchar, n), CONVERT(varchar(max), m)"),
            "SELECT VX_CONVERT(n, -1, 30), VX_CONVERT(m, -1, -1)");
  EXPECT_EQ(R(L"SELECT CONVERT(datetime, '2020-01-02')"), "SELECT VX_DATETIME('2020-01-02')");
  EXPECT_EQ(R(L"SELECT CAST(x AS datetime)"), "SELECT VX_DATETIME(x)");
  EXPECT_EQ(R(L"SELECT CONVERT(money, p)"), "SELECT CAST(p AS REAL money)");
  EXPECT_EQ(R(L"SELECT DATEADD(day, 1, d), DATEDIFF(mm, a, b)"),
            "SELECT DATEADD('day', 1, d), DATEDIFF('mm', a, b)");
  EXPECT_EQ(R(L"SELECT @@IDENTITY, SCOPE_IDENTITY()"), "SELECT last_insert_rowid(), last_insert_rowid()");
  EXPECT_EQ(R(L"SELECT LEFT(s, 2) FROM a LEFT JOIN b ON a.x = b.x"),
            "SELECT VX_LEFT(s, 2) FROM a LEFT JOIN b ON a.x = b.x");
}

TEST(SqlRewriter, TopHintsAliasesAndStatements) {
  EXPECT_EQ(R(L"SELECT TOP 5 a FROM t ORDER BY a"), "SELECT a FROM t ORDER BY a LIMIT 5");
  EXPECT_EQ(R(L"SELECT DISTINCT TOP (2) a FROM t"), "SELECT DISTINCT a FROM t LIMIT (2)");
  EXPECT_EQ(R(L"SELECT x FROM t WHERE id IN (SELECT TOP 1 id FROM u)"),
            "SELECT x FROM t WHERE id IN (SELECT id FROM u LIMIT 1)");
  EXPECT_EQ(R(L"SELECT a FROM t WITH (NOLOCK) JOIN u (NOLOCK) ON 1=1"), "SELECT a FROM t JOIN u ON 1=1");
  EXPECT_EQ(R(L"SELECT total = a + b, c FROM dbo.t"), "SELECT VX_ADD(a, b) AS total, c FROM t");
  EXPECT_EQ(R(L"SET NOCOUNT ON; SELECT 1"), "; SELECT 1");
  EXPECT_EQ(R(L"BEGIN TRAN"), "BEGIN");
  EXPECT_EQ(R(L"COMMIT TRANSACTION t1"), "COMMIT");
}

TEST(SqlRewriter, OutputMarkerAndParameterOrder) {
  auto r = RewriteSql(L"SELECT ?=CONVERT( int, COUNT(*)) FROM t WHERE a = ? AND b = ?");
  ASSERT_EQ(r.outputs.size(), 1u);
  EXPECT_EQ(r.outputs[0].param, 0);
  EXPECT_EQ(r.outputs[0].column, 0);
  EXPECT_EQ(r.paramOrder, (std::vector<int>{1, 2}));
  EXPECT_EQ(r.paramCount, 3);
  auto top = RewriteSql(L"SELECT TOP (?) a FROM t WHERE b = ?");
  EXPECT_EQ(top.paramOrder, (std::vector<int>{1, 0}));  // the limit moved to the end
}

TEST(SqlRewriter, CreateTableIdentityCollationAndKeys) {
  EXPECT_EQ(R(L"CREATE TABLE t (id int IDENTITY(1,1) NOT NULL PRIMARY KEY CLUSTERED, name nvarchar(50) NULL, "
              L"n int, code varchar(10) COLLATE Polish_CS_AS)"),
            "CREATE TABLE t (id INTEGER PRIMARY KEY AUTOINCREMENT NOT NULL, name nvarchar(50) COLLATE VXNOCASE "
            "NULL, n int, code varchar(10) COLLATE BINARY)");
  EXPECT_EQ(R(L"CREATE TABLE t (id int IDENTITY(1,1), v ntext, CONSTRAINT PK_t PRIMARY KEY (id)) ON [PRIMARY]"),
            "CREATE TABLE t (id INTEGER PRIMARY KEY AUTOINCREMENT, v ntext COLLATE VXNOCASE)");
  EXPECT_EQ(R(L"CREATE TABLE t (id int IDENTITY(1,1), k int, PRIMARY KEY (k))"),
            "CREATE TABLE t (id INTEGER PRIMARY KEY AUTOINCREMENT, k int, UNIQUE (k))");
  EXPECT_EQ(R(L"ALTER TABLE t ADD note nvarchar(20)"), "ALTER TABLE t ADD note nvarchar(20) COLLATE VXNOCASE");
  EXPECT_EQ(R(L"CREATE TABLE d (at datetime NOT NULL DEFAULT (GETDATE()), day date)"),
            "CREATE TABLE d (at datetime text COLLATE VXDATE NOT NULL DEFAULT (GETDATE()), day date text COLLATE VXDATE)");
  EXPECT_EQ(R(L"ALTER TABLE d ADD stamp datetime2(7) NULL"),
            "ALTER TABLE d ADD stamp datetime2 text(7) COLLATE VXDATE NULL");
  EXPECT_EQ(R(L"CREATE TABLE o (n sysname NOT NULL, d datetime COLLATE Polish_CS_AS)"),
            "CREATE TABLE o (n sysname text COLLATE VXNOCASE NOT NULL, d datetime text COLLATE BINARY)");
}

namespace {
// Tables and their columns; every other name is neither.
class FakeSchema : public SchemaSource {
 public:
  Kind KindOf(const std::wstring& name) override {
    if (name == L"v") return Kind::View;
    return tables_.count(name) ? Kind::Table : Kind::None;
  }
  std::optional<std::string> ColumnDeclaration(const std::wstring& table, const std::wstring& column) override {
    auto it = tables_.find(table);
    if (it == tables_.end() || !it->second.count(column)) return std::nullopt;
    return std::string("int");
  }
  std::wstring ViewText(const std::wstring&) override { return L""; }

 private:
  std::map<std::wstring, std::set<std::wstring>> tables_ = {
      {L"cs", {L"cs_Id", L"cs_Ext", L"same"}},
      {L"tr", {L"tr_Id", L"tr_Cs", L"tr_Au", L"same"}},
      {L"au", {L"au_Id", L"au_No"}}};
};
}  // namespace

TEST(SqlRewriter, RightJoinsAreRunFromTheirRightSide) {
  FakeSchema schema;
  const struct {
    const wchar_t* sql;
    const char* expected;
  } cases[] = {
      // One table on the left: a left join the other way round, with or without a schema.
      {L"SELECT a.x FROM t a RIGHT OUTER JOIN u AS b ON a.k = b.k WHERE b.y = 1",
       "SELECT a.x FROM u AS b LEFT JOIN t a ON a.k = b.k WHERE b.y = 1"},
      // A join on the left: the table that the condition names comes first, the other one only
      // where a row of the pair exists.
      {L"SELECT cs_Id, tr_Id, au_Id FROM (cs INNER JOIN tr ON cs_Id=tr_Cs AND cs_Ext=5) RIGHT JOIN au "
       L"ON tr_Au=au_Id WHERE au_No='7' ",
       "SELECT cs_Id, tr_Id, au_Id FROM au LEFT JOIN tr ON (tr_Au=au_Id) AND EXISTS (SELECT 1 FROM cs WHERE "
       "cs_Id=tr_Cs AND cs_Ext=5) LEFT JOIN cs ON cs_Id=tr_Cs AND cs_Ext=5 WHERE au_No='7'"},
      {L"SELECT c.cs_Id FROM (tr t JOIN cs c ON c.cs_Id = t.tr_Cs) RIGHT JOIN au ON t.tr_Au = au.au_Id OR 1 = 0",
       "SELECT c.cs_Id FROM au LEFT JOIN tr t ON (t.tr_Au = au.au_Id OR 1 = 0) AND EXISTS (SELECT 1 FROM cs c "
       "WHERE c.cs_Id = t.tr_Cs) LEFT JOIN cs c ON c.cs_Id = t.tr_Cs"},
      // Left as they are: a bare star, a name in two tables, a view, a subquery, more joins
      // after it, a left join inside.
      {L"SELECT * FROM t RIGHT JOIN u ON t.k = u.k", "SELECT * FROM t RIGHT JOIN u ON t.k = u.k"},
      {L"SELECT tr_Id FROM (cs JOIN tr ON cs_Id = tr_Cs) RIGHT JOIN au ON same = au_Id",
       "SELECT tr_Id FROM (cs JOIN tr ON cs_Id = tr_Cs) RIGHT JOIN au ON same = au_Id"},
      {L"SELECT tr_Id FROM (v JOIN tr ON v.x = tr_Cs) RIGHT JOIN au ON tr_Au = au_Id",
       "SELECT tr_Id FROM (v JOIN tr ON v.x = tr_Cs) RIGHT JOIN au ON tr_Au = au_Id"},
      {L"SELECT tr_Id FROM (cs JOIN tr ON cs_Id = tr_Cs) RIGHT JOIN au ON tr_Au IN (SELECT au_Id FROM au)",
       "SELECT tr_Id FROM (cs JOIN tr ON cs_Id = tr_Cs) RIGHT JOIN au ON tr_Au IN (SELECT au_Id FROM au)"},
      {L"SELECT k FROM t RIGHT JOIN u ON t.k = u.k JOIN w ON w.k = u.k",
       "SELECT k FROM t RIGHT JOIN u ON t.k = u.k JOIN w ON w.k = u.k"},
      {L"SELECT tr_Id FROM (cs LEFT JOIN tr ON cs_Id = tr_Cs) RIGHT JOIN au ON tr_Au = au_Id",
       "SELECT tr_Id FROM (cs LEFT JOIN tr ON cs_Id = tr_Cs) RIGHT JOIN au ON tr_Au = au_Id"},
      // A condition naming both tables of the pair.
      {L"SELECT tr_Id FROM (cs JOIN tr ON cs_Id = tr_Cs) RIGHT JOIN au ON tr_Au = au_Id AND cs_Ext = au_No",
       "SELECT tr_Id FROM (cs JOIN tr ON cs_Id = tr_Cs) RIGHT JOIN au ON tr_Au = au_Id AND cs_Ext = au_No"},
  };
  for (const auto& c : cases) EXPECT_EQ(RewriteSql(c.sql, &schema).sql, c.expected) << c.sql;
  // Without a schema the names of a join cannot be told apart.
  EXPECT_EQ(R(L"SELECT tr_Id FROM (cs JOIN tr ON cs_Id = tr_Cs) RIGHT JOIN au ON tr_Au = au_Id"),
            "SELECT tr_Id FROM (cs JOIN tr ON cs_Id = tr_Cs) RIGHT JOIN au ON tr_Au = au_Id");
  EXPECT_EQ(R(L"DROP INDEX ix_a ON t"), "DROP INDEX ix_a");
}

TEST(SqlRewriter, AForeignKeyAddedToATableIsTakenOutForTheConnection) {
  struct Case {
    const wchar_t* sql;
    const char* table;  // null: not taken out
    const char* clause;
    bool checkRows;
  };
  const Case cases[] = {
      {L"ALTER TABLE au__Auction WITH NOCHECK ADD CONSTRAINT fk_a FOREIGN KEY (au_RegId) REFERENCES r (reg_Id)",
       "au__Auction", "CONSTRAINT fk_a FOREIGN KEY (au_RegId) REFERENCES r (reg_Id)", false},
      {L"ALTER TABLE t ADD FOREIGN KEY (a, b) REFERENCES p (x, y) ON DELETE CASCADE;", "t",
       "FOREIGN KEY (a, b) REFERENCES p (x, y) ON DELETE CASCADE", true},
      {L"alter table t with check add constraint k foreign key (a) references p (x)", "t",
       "constraint k foreign key (a) references p (x)", true},
      {L"ALTER TABLE t ADD CONSTRAINT u UNIQUE (a)", nullptr, nullptr, true},
      {L"ALTER TABLE t ADD FOREIGN KEY (a) REFERENCES p (x); DELETE FROM p", nullptr, nullptr, true},
  };
  for (const Case& c : cases) {
    const auto r = RewriteSql(c.sql);
    ASSERT_EQ(r.addedForeignKey.has_value(), c.table != nullptr) << c.sql;
    if (!c.table) continue;
    EXPECT_EQ(r.addedForeignKey->table, c.table);
    EXPECT_EQ(r.addedForeignKey->clause, c.clause);
    EXPECT_EQ(r.addedForeignKey->checkRows, c.checkRows) << c.sql;
    EXPECT_EQ(r.sql, "");
  }
}

TEST(SqlRewriter, MalformedTextPassesThroughWithoutCrashing) {
  for (const wchar_t* bad : {L"SELECT (a + ", L"SELECT 'unterminated", L"SELECT [x", L")) + (", L"CASE WHEN",
                             L"SELECT TOP", L"CONVERT()", L"SELECT ?=", L"CREATE TABLE t (", L"",
                             L"SELECT a FROM t RIGHT JOIN", L"SELECT a FROM (cs JOIN tr ON) RIGHT JOIN au ON",
                             L"SELECT a FROM (cs JOIN tr ON cs_Id = tr.) RIGHT JOIN au ON tr_Au = au_Id",
                             L"DROP INDEX ix ON"}) {
    FakeSchema schema;
    EXPECT_NO_THROW(RewriteSql(bad, &schema)) << bad;
  }
}
