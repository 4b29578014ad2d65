// The dialect rewriter as text: what each construct becomes, and what must stay untouched.
#include <gtest/gtest.h>

#include <cwchar>
#include <map>
#include <set>

#include "platform/ado/column_types.h"
#include "platform/ado/lifted_literals.h"
#include "platform/ado/pg_rewriter.h"
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

// SQL Server's constructs as PostgreSQL reads them with the layer's schema vx (its functions,
// operators and collation give the rest of their meaning; DbTest runs them on the server).
TEST(PgRewriter, EachConstructBecomesItsPostgresForm) {
  using platform::ado::RewriteSqlForPostgres;
  struct Case {
    const wchar_t* sql;
    const char* statement;  // the first statement
  };
  const Case kCases[] = {
      // Names without case as the server folds them; hints and schema prefixes dropped.
      {L"SELECT [Nazwa strony], \"Kod\", Łódź FROM dbo.t WITH (NOLOCK)", "SELECT \"nazwa strony\", \"kod\", \"łódź\" FROM t"},
      {L"SELECT a FROM t (NOLOCK) JOIN [dbo].[u] ON t.x = u.x", "SELECT a FROM t JOIN \"u\" ON t.x = u.x"},
      // `+` stays: vx's operators concatenate texts and add days to dates.
      {L"SELECT a + ' ' + b, d + 1 FROM t", "SELECT a + ' ' + b, d + 1 FROM t"},
      {L"SELECT ISNULL(a, 0), LEN(b), LEFT(b, 2), RIGHT(b, 2), UPPER(b), CHARINDEX('x', b)",
       "SELECT COALESCE(a, 0), vx.len(b), vx.left(b, 2), vx.right(b, 2), vx.upper(b), vx.charindex('x', b)"},
      {L"SELECT CONVERT(varchar(10), d, 120), CONVERT(nvarchar, n), CONVERT(int, x), CONVERT(bit, y), "
       L"CAST(z AS datetime), CONVERT(money, p), CAST(q AS varchar(max))",
       "SELECT vx.convert_text(d, 120, 10), vx.convert_text(n, -1, 30), CAST(x AS integer), vx.to_bit(y), "
       "CAST(z AS timestamp(3)), CAST(p AS numeric(19,4)), vx.convert_text(q, -1, -1)"},
      {L"SELECT DATEADD(day, -1, d), DATEDIFF(mm, a, b), DATEPART(dw, d), YEAR(d)",
       "SELECT vx.dateadd('day', -1, d), vx.datediff('mm', a, b), vx.datepart('dw', d), vx.year(d)"},
      {L"SELECT @@IDENTITY, SCOPE_IDENTITY()", "SELECT vx.identity(), vx.identity()"},
      {L"SELECT TOP 5 total = a + b, 'x' AS [Kolumna] FROM t ORDER BY a",
       "SELECT a + b AS total, 'x' AS \"kolumna\" FROM t ORDER BY a LIMIT 5"},
      // LIKE: SQL Server's pattern as a regular expression, letters without case, the class by
      // the collation's order (ą between a and b).
      {L"SELECT n FROM t WHERE n LIKE 'a[a-b]_%' ESCAPE '!' AND m NOT LIKE 'x!%' ESCAPE '!'",
       "SELECT n FROM t WHERE vx.like(n, '^(?:[Aa][A-Ba-b\\u0104-\\u0105]..*)$') AND NOT vx.like(m, '^(?:[Xx]\\u0025)$')"},
      {L"SELECT n FROM t WHERE UPPER(n) LIKE ?", "SELECT n FROM t WHERE vx.like(vx.upper(n), $1)"},
      // The workstation's time, as a value.
      {L"SELECT a FROM t WHERE d < GETDATE() - 1", "SELECT a FROM t WHERE d < $1 - 1"},
      {L"CREATE TABLE t (id int IDENTITY(1,1) PRIMARY KEY, n nvarchar(50) NOT NULL, f bit NOT NULL DEFAULT 0, "
       L"m money, d datetime DEFAULT GETDATE(), r int REFERENCES u (id), c varchar(5) COLLATE Polish_CS_AS)",
       "CREATE TABLE t (id integer GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY, n bpchar COLLATE vx.ci NOT NULL, "
       "f smallint NOT NULL DEFAULT 0, m numeric(19,4), d timestamp(3) DEFAULT vx.getdate(), r integer REFERENCES u "
       "(id) DEFERRABLE, c bpchar COLLATE \"C\")"},
      {L"ALTER TABLE t ADD note nvarchar(20) NULL", "ALTER TABLE t ADD note bpchar COLLATE vx.ci NULL"},
      {L"ALTER TABLE t WITH NOCHECK ADD CONSTRAINT fk FOREIGN KEY (a) REFERENCES p (x)",
       "ALTER TABLE t ADD CONSTRAINT fk FOREIGN KEY (a) REFERENCES p (x) DEFERRABLE NOT VALID"},
      {L"ALTER TABLE t WITH CHECK ADD FOREIGN KEY (a) REFERENCES p (x);",
       "ALTER TABLE t ADD FOREIGN KEY (a) REFERENCES p (x) DEFERRABLE"},
      {L"DROP INDEX ix_a ON t", "DROP INDEX ix_a"},
      {L"PRAGMA defer_foreign_keys = ON", "SET CONSTRAINTS ALL DEFERRED"},
      {L"SET NOCOUNT ON; SELECT 1", "SELECT 1"},
      {L"BEGIN TRAN", "BEGIN"},
  };
  for (const Case& c : kCases) {
    const auto rw = RewriteSqlForPostgres(c.sql);
    ASSERT_FALSE(rw.statements.empty()) << std::string(c.sql, c.sql + wcslen(c.sql));
    EXPECT_EQ(rw.statements[0].sql, c.statement);
  }
}

TEST(PgRewriter, MarkersCommentsAndWhatTheEngineIsTold) {
  using platform::ado::PgParam;
  using platform::ado::RewriteSqlForPostgres;
  // Output markers are taken out; the others are numbered with their caller's parameter.
  auto counted = RewriteSqlForPostgres(L"SELECT ?=CONVERT(int, COUNT(*)) FROM t WHERE a = ? AND b LIKE ? ESCAPE '!'");
  ASSERT_EQ(counted.statements.size(), 1u);
  EXPECT_EQ(counted.statements[0].sql, "SELECT CAST(COUNT(*) AS integer) FROM t WHERE a = $1 AND vx.like(b, $2)");
  ASSERT_EQ(counted.statements[0].params.size(), 2u);
  EXPECT_EQ(counted.statements[0].params[0].index, 1);
  EXPECT_FALSE(counted.statements[0].params[0].likePattern);
  EXPECT_EQ(counted.statements[0].params[1].index, 2);
  EXPECT_TRUE(counted.statements[0].params[1].likePattern);
  EXPECT_EQ(counted.statements[0].params[1].likeEscape, L'!');
  ASSERT_EQ(counted.outputs.size(), 1u);
  EXPECT_EQ(counted.outputs[0].param, 0);
  EXPECT_EQ(counted.paramCount, 3);
  auto now = RewriteSqlForPostgres(L"INSERT INTO t (d, e) VALUES (GETDATE(), GETUTCDATE())");
  ASSERT_EQ(now.statements[0].params.size(), 2u);
  EXPECT_EQ(now.statements[0].params[0].source, PgParam::Source::Now);
  EXPECT_EQ(now.statements[0].params[1].source, PgParam::Source::UtcNow);
  // The names the result columns get, as SQL Server names them.
  auto named = RewriteSqlForPostgres(L"SELECT au_Number, t.au_Title, x = 1, COUNT(*), s.* FROM t, s");
  ASSERT_EQ(named.statements[0].names.size(), 5u);
  EXPECT_EQ(named.statements[0].names[0].name, L"au_Number");
  EXPECT_EQ(named.statements[0].names[1].name, L"au_Title");
  EXPECT_EQ(named.statements[0].names[2].name, L"x");
  EXPECT_EQ(named.statements[0].names[3].text, L"COUNT(*)");
  EXPECT_TRUE(named.statements[0].names[4].star);
  // A table keeps its columns' names and declared types as comments; a view its text.
  auto table = RewriteSqlForPostgres(L"CREATE TABLE [Kd_X] (Id int, Nazwa nvarchar(20))");
  ASSERT_EQ(table.statements.size(), 4u);
  EXPECT_TRUE(table.statements[0].changesSchema);
  EXPECT_EQ(table.statements[1].sql, "COMMENT ON TABLE \"kd_x\" IS 'Kd_X'");
  EXPECT_EQ(table.statements[2].sql, "COMMENT ON COLUMN \"kd_x\".\"id\" IS 'Id\tint'");
  EXPECT_EQ(table.statements[3].sql, "COMMENT ON COLUMN \"kd_x\".\"nazwa\" IS 'Nazwa\tnvarchar(20)'");
  auto view = RewriteSqlForPostgres(L"CREATE VIEW v (a, b) AS SELECT TOP 3 x, y FROM t");
  ASSERT_EQ(view.statements.size(), 2u);
  EXPECT_EQ(view.statements[0].view, "v");
  EXPECT_EQ(view.statements[0].viewColumns, (std::vector<std::wstring>{L"a", L"b"}));
  EXPECT_EQ(view.statements[0].viewQuery, "SELECT x, y FROM t LIMIT 3");
  EXPECT_EQ(view.statements[1].sql, "COMMENT ON VIEW v IS 'CREATE VIEW v (a, b) AS SELECT x, y FROM t LIMIT 3'");
  // The object lock's insert never waits; the schema's statements are known as such.
  EXPECT_TRUE(RewriteSqlForPostgres(L"INSERT INTO kd_blokada (obid) VALUES (1)").statements[0].noWait);
  EXPECT_TRUE(RewriteSqlForPostgres(L"INSERT INTO [KD_BLOKADA] (obid) VALUES (1)").statements[0].noWait);
  EXPECT_FALSE(RewriteSqlForPostgres(L"INSERT INTO kd_keys (ki_Table) VALUES ('x')").statements[0].noWait);
}

TEST(PgRewriter, MalformedTextPassesThroughWithoutCrashing) {
  for (const wchar_t* bad : {L"SELECT (a + ", L"SELECT 'unterminated", L"SELECT [x", L")) + (", L"CASE WHEN",
                             L"SELECT TOP", L"CONVERT()", L"SELECT ?=", L"CREATE TABLE t (", L"", L"x LIKE",
                             L"LIKE 'a'", L"a LIKE [b", L"CREATE VIEW v AS", L"ALTER TABLE t ADD", L";;"}) {
    EXPECT_NO_THROW(platform::ado::RewriteSqlForPostgres(bad)) << std::string(bad, bad + wcslen(bad));
  }
}

// Literals compared with a value become markers (one prepared statement for every lookup of a
// kind); whatever could change the statement's meaning or its columns stays as written.
TEST(LiftedLiterals, OnlyLiteralsComparedWithAValueOutsideSelectListsAreLifted) {
  using platform::ado::Value;
  using platform::ado::VKind;
  struct Case {
    const wchar_t* sql;
    const wchar_t* key;  // nullptr: nothing lifted
    std::vector<std::wstring> values;  // the lifted values, texts as written, numbers in digits
  };
  // Deep nesting is followed as well.
  const std::wstring deep = L"SELECT a FROM t WHERE n = 1 AND " + std::wstring(70, L'(') + L"m = 2" + std::wstring(70, L')');
  const std::wstring deepKey = L"SELECT a FROM t WHERE n = ? AND " + std::wstring(70, L'(') + L"m = ?" + std::wstring(70, L')');
  const Case kCases[] = {
      {L"SELECT a FROM t WHERE n = 'A1' AND r=1", L"SELECT a FROM t WHERE n = ? AND r=?", {L"'A1", L"1"}},
      {L"SELECT a FROM t WHERE \u0142\u0105ka = 'x' AND a$1=2", L"SELECT a FROM t WHERE \u0142\u0105ka = ? AND a$1=?",
       {L"'x", L"2"}},
      {deep.c_str(), deepKey.c_str(), {L"1", L"2"}},
      {L"select a from t where n <> N'it''s' or m>=-1 or k <= 20", L"select a from t where n <> ? or m>=-1 or k <= ?",
       {L"'it's", L"20"}},
      {L"UPDATE t SET a = 'x', b = 2 WHERE c != 3", L"UPDATE t SET a = ?, b = ? WHERE c != ?", {L"'x", L"2", L"3"}},
      {L"DELETE FROM t WHERE d < '20240105' AND e > 1.5 AND f = 1e3 AND g = 0x1F", L"DELETE FROM t WHERE d < ? AND e > 1.5 AND f = 1e3 AND g = 0x1F",
       {L"'20240105"}},
      // A subquery's comparisons are lifted, the select list's never (names and types of columns).
      {L"SELECT CASE WHEN a = 1 THEN 'y' END, b = 'z' FROM t WHERE x IN (SELECT y FROM u WHERE z = 5)",
       L"SELECT CASE WHEN a = 1 THEN 'y' END, b = 'z' FROM t WHERE x IN (SELECT y FROM u WHERE z = ?)", {L"5"}},
      // A constant condition, other operators, and texts that are not one plain statement.
      // A derived table's select list neither, while its condition is.
      {L"SELECT * FROM (SELECT a = 1, b FROM t WHERE c = 2) q WHERE d = 3",
       L"SELECT * FROM (SELECT a = 1, b FROM t WHERE c = ?) q WHERE d = ?", {L"2", L"3"}},
      {L"SELECT * FROM t WHERE 1 = 0", nullptr, {}},
      {L"SELECT TOP 5 a FROM t WHERE n LIKE 'a%' AND m BETWEEN 1 AND 2 ORDER BY 1", nullptr, {}},
      {L"SELECT a FROM t WHERE n = ? AND m = 1", nullptr, {}},
      {L"SELECT a FROM t WHERE n = 1; SELECT b FROM u WHERE m = 2", nullptr, {}},
      {L"CREATE TABLE t (a int DEFAULT 1 CHECK (a = 1))", nullptr, {}},
      {L"SELECT a FROM t WHERE n = 'unclosed", nullptr, {}},
      {L"SELECT a FROM [w = 1] WHERE \"n = 2\" = 3 -- m = 4\n", L"SELECT a FROM [w = 1] WHERE \"n = 2\" = ? -- m = 4\n", {L"3"}},
  };
  for (const Case& c : kCases) {
    std::wstring key;
    std::vector<Value> values;
    const bool lifted = platform::ado::LiftComparedLiterals(c.sql, key, values);
    SCOPED_TRACE(std::string(c.sql, c.sql + std::wcslen(c.sql)));
    ASSERT_EQ(lifted, c.key != nullptr);
    if (!lifted) continue;
    EXPECT_EQ(key, c.key);
    std::vector<std::wstring> got;
    for (const Value& v : values) got.push_back(v.kind == VKind::Text ? L"'" + v.s : std::to_wstring(v.i));
    EXPECT_EQ(got, c.values);
  }
  // Kept forms lift as reading the text through does: the texts above, then again (each of a
  // known form), then texts of those forms with other literals, and texts that only look so.
  platform::ado::LiftedForms forms;
  auto same = [&](const std::wstring& sql) {
    SCOPED_TRACE(std::string(sql.begin(), sql.end()));
    std::wstring key, formKey;
    std::vector<Value> values, formValues;
    const bool lifted = platform::ado::LiftComparedLiterals(sql, key, values);
    ASSERT_EQ(forms.Lift(sql, formKey, formValues), lifted);
    if (!lifted) return;
    EXPECT_EQ(formKey, key);
    ASSERT_EQ(formValues.size(), values.size());
    for (std::size_t k = 0; k < values.size(); ++k) {
      EXPECT_EQ(formValues[k].kind, values[k].kind);
      EXPECT_EQ(formValues[k].s, values[k].s);
      EXPECT_EQ(formValues[k].i, values[k].i);
    }
  };
  for (int pass = 0; pass < 2; ++pass)
    for (const Case& c : kCases) same(c.sql);
  for (const wchar_t* sql :
       {L"SELECT a FROM t WHERE n = 'B22' AND r=7", L"SELECT a FROM t WHERE n = 5 AND r='x'",
        L"SELECT a FROM t WHERE n = N'it''s -- ?' AND r=123456789012345678",
        L"SELECT a FROM t WHERE n = '' AND r=1234567890123456789",  // too long to lift: read through
        L"SELECT a FROM t WHERE n = 'A1' AND r=1.5", L"SELECT a FROM t WHERE n = 'A1' AND r=1e3",
        L"SELECT a FROM t WHERE n = 'A1' AND r=0x1", L"SELECT a FROM t WHERE n = 'A1' AND r=1 ",
        L"SELECT a FROM t WHERE n = 'A1' AND r=1; SELECT 1", L"SELECT a FROM t WHERE n = 'A1' AND r=",
        L"SELECT a FROM t WHERE n = 'A1' AND r=?", L"SELECT a FROM t WHERE n = 'unclosed AND r=1",
        L"SELECT a FROM t WHERE n = x AND r=1", L"UPDATE t SET a = N'y', b = 20 WHERE c != 30",
        L"UPDATE t SET a = 4, b = 'q''' WHERE c != 'r'", L"SELECT a FROM t WHERE n = 'A1' AND r=1 AND s = 2"})
    same(sql);
  // More forms than are kept: the ones used least recently give way.
  for (int pass = 0; pass < 2; ++pass)
    for (int table = 0; table < 40; ++table)
      same(L"SELECT a FROM t" + std::to_wstring(table) + L" WHERE n = " + std::to_wstring(pass * 100 + table));
}
