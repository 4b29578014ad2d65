// The SQLite connection: each dialect construct run on a real database, value types, errors.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <future>
#include <set>

#include "platform/ado/ado_enums.h"
#include "platform/ado/database.h"
#include "platform/ado/sqlite_database.h"
#include "platform/ado/text.h"
#include "testing/support/lock_wait.h"
#include "testing/support/temp_folder.h"
#include "testing/support/test_database.h"
#include "testing/support/waits.h"

using namespace platform::ado;

namespace {

class DbTest : public ::testing::Test {
 protected:
  void SetUp() override {
    db_ = Database::Open(folder_.Database("t.db"));
    db_->Execute(
        L"CREATE TABLE item (id int IDENTITY(1,1) PRIMARY KEY, name nvarchar(20) NOT NULL, qty int NULL, "
        L"price money NULL, added datetime NULL, active bit NULL, note ntext NULL)");
  }
  void TearDown() override { db_.reset(); }
  Value One(const wchar_t* sql, std::vector<Value> params = {}) {
    auto r = db_->Execute(sql, params);
    EXPECT_TRUE(r.hasRows);
    EXPECT_FALSE(r.result.rows.empty()) << FromUtf8(RewriteSql(sql).sql).c_str();
    return r.result.rows.empty() ? Value() : r.result.rows[0][0];
  }
  testtemp::TempFolder folder_{"vx_ado_db"};
  std::shared_ptr<Database> db_;
};

}  // namespace

TEST_F(DbTest, ConcatenationAndAdditionFollowTheServerRule) {
  db_->Execute(L"INSERT INTO item (name, qty) VALUES (N'Stamp', 3)");
  EXPECT_EQ(One(L"SELECT name + '!' FROM item").s, L"Stamp!");
  EXPECT_EQ(One(L"SELECT 'a' + 'b' + 'c'").s, L"abc");
  EXPECT_EQ(One(L"SELECT qty + 2 * 3 FROM item").i, 9);
  EXPECT_EQ(One(L"SELECT '5' + 3").i, 8);
  EXPECT_TRUE(One(L"SELECT name + NULL FROM item").IsNull());
  EXPECT_THROW(
      {
        try {
          db_->Execute(L"SELECT 'abc' + 1");
        } catch (const DbException& e) {
          EXPECT_EQ(e.error.hr, DB_E_ERRORSINCOMMAND);
          throw;
        }
      },
      DbException);
}

TEST_F(DbTest, TextComparisonsIgnoreCaseTrailingBlanksAndKnowPolishLetters) {
  db_->Execute(L"INSERT INTO item (name) VALUES (N'Żółw'), (N'ąbc'), (N'bcd'), (N'Abc'), (N'stamp')");
  EXPECT_EQ(One(L"SELECT COUNT(*) FROM item WHERE name = 'STAMP'").i, 1);
  EXPECT_EQ(One(L"SELECT COUNT(*) FROM item WHERE name = 'stamp  '").i, 1);
  EXPECT_EQ(One(L"SELECT COUNT(*) FROM item WHERE name = N'ŻÓŁW'").i, 1);
  EXPECT_EQ(One(L"SELECT COUNT(*) FROM item WHERE name LIKE N'ż%'").i, 1);
  EXPECT_EQ(One(L"SELECT COUNT(*) FROM item WHERE name LIKE '[a-b]%'").i, 3);
  auto r = db_->Execute(L"SELECT name FROM item ORDER BY name");
  std::vector<std::wstring> names;
  for (auto& row : r.result.rows) names.push_back(row[0].s);
  EXPECT_EQ(names, (std::vector<std::wstring>{L"Abc", L"ąbc", L"bcd", L"stamp", L"Żółw"}));
  EXPECT_EQ(One(L"SELECT UPPER(N'zażółć')").s, L"ZAŻÓŁĆ");
}

TEST_F(DbTest, IdentityTopIsnullConvertAndOutputMarker) {
  for (int i = 0; i < 5; ++i) db_->Execute(L"INSERT INTO item (name, qty) VALUES (?, ?)", {Value::Text(L"n"), Value::Null()});
  EXPECT_EQ(One(L"SELECT @@IDENTITY").i, 5);
  EXPECT_EQ(One(L"SELECT SCOPE_IDENTITY()").i, 5);
  auto top = db_->Execute(L"SELECT TOP 2 id FROM item ORDER BY id DESC");
  ASSERT_EQ(top.result.rows.size(), 2u);
  EXPECT_EQ(top.result.rows[0][0].i, 5);
  EXPECT_EQ(One(L"SELECT ISNULL(qty, 7) FROM item").i, 7);
  Value count = One(L"SELECT CONVERT(int, COUNT(*)) FROM item");
  EXPECT_EQ(count.kind, VKind::I4);
  EXPECT_EQ(count.i, 5);
  auto out = db_->Execute(L"SELECT ?=CONVERT( int, COUNT(*)) FROM item WHERE id > ?", {Value::Null(), Value::Int(VKind::I4, 3)});
  ASSERT_EQ(out.outputs.size(), 1u);
  EXPECT_EQ(out.outputs[0].first, 0);
  EXPECT_EQ(out.outputs[0].second.i, 2);
}

TEST_F(DbTest, DatesStoreAsSortableTextAndDateFunctionsWork) {
  db_->Execute(L"INSERT INTO item (name, added) VALUES ('a', '2024-01-31 10:00:00'), ('b', GETDATE())");
  Value d = One(L"SELECT added FROM item WHERE name = 'a'");
  ASSERT_EQ(d.kind, VKind::Date);
  EXPECT_EQ(DateTextFromOle(d.d), "2024-01-31 10:00:00");
  EXPECT_EQ(One(L"SELECT CONVERT(varchar(20), DATEADD(month, 1, added), 120) FROM item WHERE name='a'").s,
            L"2024-02-29 10:00:00");
  EXPECT_EQ(One(L"SELECT DATEDIFF(day, '2024-01-31', '2024-03-01')").i, 30);
  EXPECT_EQ(One(L"SELECT DATEPART(hour, added) FROM item WHERE name='a'").i, 10);
  EXPECT_EQ(One(L"SELECT YEAR(added) * 100 + MONTH(added) FROM item WHERE name='a'").i, 202401);
  EXPECT_EQ(One(L"SELECT COUNT(*) FROM item WHERE added > '2024-01-31' AND added < DATEADD(day, 1, GETDATE())").i, 2);
  EXPECT_EQ(One(L"SELECT name FROM item ORDER BY added DESC").s, L"b");
  EXPECT_EQ(One(L"SELECT LEN('ab  '), CHARINDEX('C', 'abcabc', 4)").i, 2);
}

TEST_F(DbTest, DateColumnsCompareAsDatesWhateverTheLiteralForm) {
  db_->Execute(L"INSERT INTO item (name, added) VALUES ('a', '2024-01-05'), ('b', '2024-01-05 10:30:00.000'), "
               L"('c', '2024-01-05T10:30:00.5'), ('d', '2023-12-31 23:59:59')");
  EXPECT_EQ(One(L"SELECT COUNT(*) FROM item WHERE added = '2024-01-05 00:00:00'").i, 1);
  EXPECT_EQ(One(L"SELECT COUNT(*) FROM item WHERE added = '2024-01-05 10:30'").i, 1);
  EXPECT_EQ(One(L"SELECT COUNT(*) FROM item WHERE added >= '2024-01-05' AND added < '2024-01-06'").i, 3);
  EXPECT_EQ(One(L"SELECT name FROM item ORDER BY added DESC").s, L"c");
  EXPECT_EQ(One(L"SELECT name FROM item ORDER BY added").s, L"d");
  db_->Execute(L"CREATE INDEX ix_added ON item (added)");
  EXPECT_EQ(One(L"SELECT COUNT(*) FROM item WHERE added > '2024-01-05 10:30:00.250'").i, 1);
  db_->Execute(L"INSERT INTO item (name, added) VALUES ('e', '20240107')");  // stored as a number
  Value e = One(L"SELECT added FROM item WHERE name = 'e'");
  ASSERT_EQ(e.kind, VKind::Date);
  EXPECT_EQ(DateTextFromOle(e.d), "2024-01-07 00:00:00");
}

TEST_F(DbTest, DeclaredTypesDecideTheValueKinds) {
  db_->Execute(L"INSERT INTO item (name, qty, price, added, active, note) VALUES ('x', 2, 12.5, '2020-05-06', 1, 'long')");
  auto r = db_->Execute(L"SELECT id, name, qty, price, added, active, note, qty * 1.5 FROM item");
  const auto& c = r.result.columns;
  ASSERT_EQ(c.size(), 8u);
  EXPECT_EQ(c[0].type, adInteger);
  EXPECT_TRUE(c[0].key);
  EXPECT_TRUE(c[0].autoIncrement);
  EXPECT_EQ(c[1].type, adVarWChar);
  EXPECT_EQ(c[1].size, 20);
  EXPECT_EQ(c[1].attributes & adFldIsNullable, 0);
  EXPECT_EQ(c[3].type, adCurrency);
  EXPECT_EQ(c[4].type, adDBTimeStamp);
  EXPECT_EQ(c[5].type, adBoolean);
  EXPECT_EQ(c[6].type, adLongVarWChar);
  EXPECT_EQ(c[7].type, adDouble);
  const auto& row = r.result.rows[0];
  EXPECT_EQ(row[2].kind, VKind::I4);
  EXPECT_EQ(row[3].kind, VKind::Cy);
  EXPECT_EQ(row[3].i, 125000);
  EXPECT_EQ(row[4].kind, VKind::Date);
  EXPECT_EQ(row[5].kind, VKind::Bool);
  EXPECT_EQ(row[5].i, 1);
  EXPECT_EQ(row[7].d, 3.0);
}

TEST_F(DbTest, ExpressionColumnsAreTypedThroughStarsSubqueriesAndViewColumnLists) {
  db_->Execute(L"INSERT INTO item (name, qty, price, added, active) VALUES ('x', 2, 12.5, '2020-05-06', 1)");
  db_->Execute(L"CREATE VIEW vw_item (flag, total, label) AS SELECT CONVERT(bit, qty), price * qty, name + '!' FROM item");
  auto r = db_->Execute(
      L"SELECT 1 AS one, s.*, v.*, CAST(NULL AS nvarchar(30)) AS tail FROM "
      L"(SELECT MAX(added) AS latest, CONVERT(varchar(7), MAX(added), 120) AS month FROM item) AS s, vw_item v");
  const auto& c = r.result.columns;
  ASSERT_EQ(c.size(), 7u);
  EXPECT_EQ(c[0].type, adInteger);
  EXPECT_EQ(c[1].type, adDBTimeStamp);
  EXPECT_EQ(c[2].type, adVarWChar);
  EXPECT_EQ(c[2].size, 7);
  EXPECT_EQ(c[3].type, adBoolean);
  EXPECT_EQ(c[4].type, adCurrency);
  EXPECT_EQ(c[5].type, adVarWChar);  // a concatenation: as long as its longest value
  EXPECT_EQ(c[5].size, 2);
  EXPECT_EQ(c[6].type, adVarWChar);
  EXPECT_EQ(c[6].size, 30);
  const auto& row = r.result.rows.at(0);
  EXPECT_EQ(row[1].kind, VKind::Date);
  EXPECT_EQ(row[3].kind, VKind::Bool);
  EXPECT_EQ(row[4].i, 250000);
  EXPECT_TRUE(row[6].IsNull());
  // No rows: the types are still the server's, a text of no fixed length still a text.
  auto none = db_->Execute(L"SELECT flag, label, GETDATE() FROM vw_item WHERE 1 = 0");
  EXPECT_EQ(none.result.columns[0].type, adBoolean);
  EXPECT_EQ(none.result.columns[1].type, adVarWChar);
  EXPECT_EQ(none.result.columns[2].type, adDBTimeStamp);
}

TEST_F(DbTest, FailuresAreToldApart) {
  auto hrOf = [&](const wchar_t* sql) {
    try {
      db_->Execute(sql);
    } catch (const DbException& e) {
      return e.error.hr;
    }
    return S_OK;
  };
  db_->Execute(L"CREATE TABLE kd_blokada (obid int, obextra int, obtype int, workstation varchar(15), "
               L"username varchar(50), CONSTRAINT PK_b PRIMARY KEY (obtype, obid, obextra))");
  EXPECT_EQ(hrOf(L"INSERT INTO kd_blokada VALUES (1, 0, 726, 'ws', 'u')"), S_OK);
  EXPECT_EQ(hrOf(L"INSERT INTO kd_blokada VALUES (1, 0, 726, 'ws2', 'u2')"), DB_E_ERRORSINCOMMAND);
  EXPECT_EQ(hrOf(L"SELEC 1"), DB_E_ERRORSINCOMMAND);
  EXPECT_EQ(hrOf(L"SELECT * FROM missing_table"), DB_E_NOTABLE);
  EXPECT_EQ(hrOf(L"INSERT INTO item (name) VALUES (NULL)"), DB_E_ERRORSINCOMMAND);
  try {
    db_->Execute(L"INSERT INTO kd_blokada VALUES (1, 0, 726, 'ws2', 'u2')");
  } catch (const DbException& e) {
    EXPECT_EQ(e.error.sqlState, L"23000");
    EXPECT_NE(e.error.description.find(L"UNIQUE"), std::wstring::npos);
  }
  // A foreign key refuses with an integrity violation, also a statement the caller wrote; a
  // duplicate key of the same table stays a refused command.
  db_->Execute(L"CREATE TABLE owner (id int NOT NULL PRIMARY KEY)");
  db_->Execute(L"CREATE TABLE owned (id int NOT NULL PRIMARY KEY, owner_id int NULL REFERENCES owner (id))");
  db_->Execute(L"INSERT INTO owner (id) VALUES (1)");
  EXPECT_EQ(hrOf(L"INSERT INTO owned VALUES (1, 1)"), S_OK);
  EXPECT_EQ(hrOf(L"INSERT INTO owned VALUES (2, 7)"), DB_E_INTEGRITYVIOLATION);
  EXPECT_EQ(hrOf(L"UPDATE owned SET owner_id = 7"), DB_E_INTEGRITYVIOLATION);
  EXPECT_EQ(hrOf(L"DELETE FROM owner WHERE id = 1"), DB_E_INTEGRITYVIOLATION);
  EXPECT_EQ(hrOf(L"INSERT INTO owned VALUES (1, NULL)"), DB_E_ERRORSINCOMMAND);
}

TEST_F(DbTest, TransactionsNestAndRollBack) {
  db_->Begin();
  db_->Execute(L"INSERT INTO item (name) VALUES ('a')");
  db_->Begin();
  db_->Execute(L"INSERT INTO item (name) VALUES ('b')");
  db_->Rollback();
  db_->Commit();
  EXPECT_EQ(One(L"SELECT COUNT(*) FROM item").i, 1);
  EXPECT_THROW(db_->Commit(), DbException);
  db_->Execute(L"BEGIN TRAN; INSERT INTO item (name) VALUES ('c'); ROLLBACK TRAN");
  EXPECT_EQ(One(L"SELECT COUNT(*) FROM item").i, 1);
}

// A commit that a deferred foreign key refuses leaves the transaction open: the caller rolls it
// back, and the database's lock goes with it.
TEST_F(DbTest, ACommitRefusedByADeferredKeyLeavesTheTransactionOpen) {
  db_->Execute(L"CREATE TABLE owner (id int NOT NULL PRIMARY KEY)");
  db_->Execute(L"CREATE TABLE owned (id int NOT NULL PRIMARY KEY, owner_id int NULL REFERENCES owner (id))");
  db_->Begin();
  db_->Begin();
  db_->Execute(L"PRAGMA defer_foreign_keys = ON");
  db_->Execute(L"INSERT INTO owned (id, owner_id) VALUES (1, 9)");
  db_->Commit();  // an inner transaction checks nothing
  HRESULT refused = S_OK;
  try {
    db_->Commit();
  } catch (const DbException& e) {
    refused = e.error.hr;
  }
  EXPECT_EQ(refused, DB_E_INTEGRITYVIOLATION);
  EXPECT_EQ(db_->TransactionDepth(), 1);
  db_->Rollback();
  EXPECT_EQ(db_->TransactionDepth(), 0);
  EXPECT_EQ(One(L"SELECT COUNT(*) FROM owned").i, 0);
  auto other = Database::Open(db_->Path(), 0);
  EXPECT_NO_THROW(other->Begin());  // nobody holds the write lock
  other->Rollback();
}

// SQL Server's ALTER TABLE ... ADD CONSTRAINT ... FOREIGN KEY on a table that SQLite cannot alter:
// WITH CHECK refuses rows that break the key, WITH NOCHECK keeps them, and the key holds from then
// on for this connection and every other.
TEST_F(DbTest, AForeignKeyAddedToATableChecksOrKeepsTheRowsThere) {
  db_->Execute(L"CREATE TABLE owner (id int NOT NULL PRIMARY KEY)");
  db_->Execute(L"CREATE TABLE owned (id int NOT NULL PRIMARY KEY, owner_id int NULL, note nvarchar(20) NULL)");
  db_->Execute(L"CREATE INDEX ix_owned_note ON owned (note)");
  db_->Execute(L"CREATE VIEW owned_view AS SELECT id, owner_id FROM owned");
  db_->Execute(L"INSERT INTO owner (id) VALUES (1), (2)");
  db_->Execute(L"INSERT INTO owned (id, owner_id, note) VALUES (1, 1, 'a'), (2, 5, 'orphan'), (3, NULL, 'none')");
  auto hrOf = [&](const std::wstring& sql) {
    try {
      db_->Execute(sql);
    } catch (const DbException& e) {
      return e.error.hr;
    }
    return S_OK;
  };
  const std::wstring add = L"ADD CONSTRAINT fk_owned_owner FOREIGN KEY (owner_id) REFERENCES owner (id)";
  EXPECT_EQ(hrOf(L"ALTER TABLE owned " + add), DB_E_INTEGRITYVIOLATION);
  EXPECT_EQ(hrOf(L"ALTER TABLE owned WITH CHECK " + add), DB_E_INTEGRITYVIOLATION);
  EXPECT_EQ(hrOf(L"DELETE FROM owner WHERE id = 1"), S_OK);  // no key was added
  db_->Execute(L"INSERT INTO owner (id) VALUES (1)");
  // Added inside a transaction that is rolled back, the key is gone with it.
  db_->Begin();
  db_->Execute(L"ALTER TABLE owned WITH NOCHECK " + add);
  db_->Rollback();
  EXPECT_EQ(hrOf(L"INSERT INTO owned (id, owner_id) VALUES (9, 77)"), S_OK);
  db_->Execute(L"DELETE FROM owned WHERE id = 9");

  db_->Begin();
  db_->Execute(L"ALTER TABLE owned WITH NOCHECK " + add + L";");
  db_->Commit();
  EXPECT_EQ(One(L"SELECT COUNT(*) FROM owned_view").i, 3);  // every row kept, the view reads them
  EXPECT_EQ(One(L"SELECT COUNT(*) FROM owned WHERE note = 'orphan'").i, 1);
  EXPECT_EQ(hrOf(L"UPDATE owned SET note = 'kept' WHERE id = 2"), S_OK);  // its key column unchanged
  EXPECT_EQ(hrOf(L"UPDATE owned SET owner_id = 6 WHERE id = 2"), DB_E_INTEGRITYVIOLATION);
  EXPECT_EQ(hrOf(L"INSERT INTO owned (id, owner_id) VALUES (4, 8)"), DB_E_INTEGRITYVIOLATION);
  EXPECT_EQ(hrOf(L"DELETE FROM owner WHERE id = 1"), DB_E_INTEGRITYVIOLATION);
  EXPECT_EQ(hrOf(L"DELETE FROM owner WHERE id = 2"), S_OK);
  auto other = Database::Open(db_->Path());
  EXPECT_THROW(other->Execute(L"DELETE FROM owner WHERE id = 1"), DbException);
  EXPECT_EQ(hrOf(L"ALTER TABLE nowhere WITH NOCHECK " + add), DB_E_NOTABLE);
}

TEST(DbShared, SecondProcessWaitsForTheWriterInsteadOfFailing) {
  char tmpl[] = "/tmp/vx_ado_busy_XXXXXX";
  std::string dir = mkdtemp(tmpl);
  std::string path = dir + "/s.db";
  Database::Open(path)->Execute(L"CREATE TABLE t (n int)");
  int go[2], waiting[2];
  ASSERT_EQ(pipe(go), 0);
  ASSERT_EQ(pipe(waiting), 0);
  // The child is forked before this process opens the file again: an SQLite connection must
  // not be carried across fork.
  pid_t child = fork();
  if (child == 0) {
    char c = 0;
    close(go[1]);
    close(waiting[0]);
    if (read(go[0], &c, 1) != 1) _exit(3);
    testutil::OnFirstLockWait([&] {
      if (write(waiting[1], "w", 1) != 1) _exit(4);
    });
    int code = 1;
    try {
      auto b = Database::Open(path, 5000);
      b->Execute(L"INSERT INTO t VALUES (2)");  // waits for the parent's transaction
      code = 0;
    } catch (...) {
    }
    _exit(code);
  }
  close(go[0]);
  close(waiting[1]);
  {
    auto a = Database::Open(path);
    a->Begin();
    a->Execute(L"INSERT INTO t VALUES (1)");
    ASSERT_EQ(write(go[1], "x", 1), 1);
    char signal = 0;
    const bool childWaits = testutil::ReadFor(waiting[0], &signal, 1, 20000);
    EXPECT_TRUE(childWaits) << "the child did not wait for the lock";
    EXPECT_EQ(a->Execute(L"SELECT COUNT(*) FROM t").result.rows[0][0].i, 1);
    a->Commit();
    const int code = testutil::AwaitExit(child, 20000);
    close(go[1]);
    close(waiting[0]);
    EXPECT_EQ(code, 0);
    EXPECT_EQ(a->Execute(L"SELECT COUNT(*) FROM t").result.rows[0][0].i, 2);
    // With a short timeout a held write lock is reported as a timeout, not as success.
    a->Begin();
    auto c = Database::Open(path, 50);
    try {
      c->Execute(L"INSERT INTO t VALUES (3)");
      ADD_FAILURE() << "insert succeeded under a held lock";
    } catch (const DbException& e) {
      EXPECT_EQ(e.error.hr, DB_E_ABORTLIMITREACHED);
    }
    a->Rollback();
  }
  std::filesystem::remove_all(dir);
}

TEST_F(DbTest, HintsSettingsAliasesAndServerFunctionsRunOnTheDatabase) {
  db_->Execute(L"SET NOCOUNT ON; INSERT INTO dbo.item (name, qty) VALUES (N'a''b', 2)");
  auto r = db_->Execute(L"SELECT total = qty + 1, [label] = name + N'!' FROM item WITH (NOLOCK) WHERE LEN(name) = 3");
  ASSERT_EQ(r.result.rows.size(), 1u);
  EXPECT_EQ(r.result.columns[0].name, L"total");
  EXPECT_EQ(r.result.rows[0][0].i, 3);
  EXPECT_EQ(r.result.columns[1].name, L"label");
  EXPECT_EQ(r.result.rows[0][1].s, L"a'b!");
  EXPECT_EQ(One(L"SELECT LEFT(name, 1) + RIGHT(name, 1) FROM item").s, L"ab");
  EXPECT_EQ(One(L"SELECT CHARINDEX('B', name) FROM item").i, 3);
  EXPECT_EQ(One(L"SELECT REPLICATE('ab', 3) + SPACE(1) + 'x'").s, L"ababab x");
  EXPECT_EQ(One(L"SELECT CEILING(2.1) + FLOOR(2.9)").d, 5.0);
  EXPECT_EQ(One(L"SELECT LEN(NEWID())").i, 36);
  EXPECT_EQ(One(L"SELECT DATEPART(weekday, '2024-01-01')").i, 1);  // a Monday
  EXPECT_EQ(One(L"SELECT DATEDIFF(hour, '2024-01-01 23:59', '2024-01-02 00:01')").i, 1);
  EXPECT_EQ(One(L"SELECT CONVERT(varchar(10), '2024-01-02 03:04:05', 104)").s, L"02.01.2024");
  EXPECT_EQ(One(L"SELECT CONVERT(varchar(10), '2024-01-02 03:04:05', 112)").s, L"20240102");
  EXPECT_THROW(db_->Execute(L"SELECT CONVERT(datetime, 'not a date')"), DbException);
  EXPECT_EQ(One(L"SELECT CONVERT(varchar(10), '2024-01-02 03:04:05', 120)").s, L"2024-01-02");
  EXPECT_EQ(One(L"SELECT CONVERT(varchar(3), 12345)").s, L"123");
  // Date arithmetic with days, which SQLite would silently turn into the year.
  EXPECT_EQ(One(L"SELECT CONVERT(varchar(19), CONVERT(datetime, '2024-03-01') - 1, 120)").s, L"2024-02-29 00:00:00");
  EXPECT_EQ(One(L"SELECT CONVERT(varchar(19), 2 + CONVERT(datetime, '2024-12-31 06:00'), 120)").s,
            L"2025-01-02 06:00:00");
  EXPECT_EQ(One(L"SELECT COUNT(*) FROM item WHERE GETDATE() - 1 < GETDATE()").i, 1);
  EXPECT_EQ(One(L"SELECT 10 - 2 - 3").i, 5);
  EXPECT_THROW(db_->Execute(L"SELECT 'abc' - 1"), DbException);
}

TEST_F(DbTest, ParametersAreBoundNeverPastedIntoTheText) {
  db_->Execute(L"INSERT INTO item (name, qty) VALUES (?, ?)", {Value::Text(L"x'); DROP TABLE item; --"), Value::Int(VKind::I4, 1)});
  EXPECT_EQ(One(L"SELECT name FROM item WHERE qty = ?", {Value::Int(VKind::I4, 1)}).s, L"x'); DROP TABLE item; --");
  try {
    db_->Execute(L"SELECT * FROM item WHERE qty = ? AND name = ?", {Value::Int(VKind::I4, 1)});
    ADD_FAILURE() << "a missing parameter was accepted";
  } catch (const DbException& e) {
    EXPECT_EQ(e.error.hr, DB_E_PARAMNOTOPTIONAL);
  }
}

// Lookups that differ only in the literals they compare with give their own rows and are one
// prepared statement: the SQLite connection holds a handful of statements after hundreds of lookups.
TEST_F(DbTest, LookupsByLiteralsArePreparedOnce) {
  auto* sqlite = dynamic_cast<SqliteDatabase*>(db_.get());
  ASSERT_NE(sqlite, nullptr);
  for (int k = 0; k < 300; ++k)
    db_->Execute(L"INSERT INTO item (name, qty) VALUES (?, ?)", {Value::Text(L"it's " + std::to_wstring(k)), Value::Int(VKind::I4, k)});
  for (int k = 0; k < 300; k += 7) {
    const std::wstring name = L"IT'S " + std::to_wstring(k) + L"  ";  // without case and trailing blanks
    EXPECT_EQ(One((L"SELECT qty FROM item WHERE name = N'IT''S " + std::to_wstring(k) + L"  '").c_str()).i, k) << ToUtf8(name);
    EXPECT_EQ(One((L"SELECT name FROM item WHERE qty=" + std::to_wstring(k)).c_str()).s, L"it's " + std::to_wstring(k));
  }
  int statements = 0;
  for (sqlite3_stmt* s = sqlite3_next_stmt(sqlite->Handle(), nullptr); s; s = sqlite3_next_stmt(sqlite->Handle(), s))
    ++statements;
  EXPECT_LT(statements, 10);
}

// An empty select ("WHERE 1 = 0"), answered from its description once described, follows a
// change of the schema.
TEST_F(DbTest, AnEmptySelectFollowsTheSchema) {
  auto names = [&] {
    std::vector<std::wstring> out;
    for (const ColumnInfo& c : db_->Execute(L"SELECT * FROM item WHERE 1 = 0").result.columns) out.push_back(c.name);
    return out;
  };
  const std::vector<std::wstring> before = names();
  EXPECT_EQ(names(), before);
  db_->Execute(L"ALTER TABLE item ADD extra int NULL");
  std::vector<std::wstring> after = before;
  after.push_back(L"extra");
  EXPECT_EQ(names(), after);
  EXPECT_TRUE(db_->Execute(L"SELECT * FROM item WHERE 1 = 0").result.rows.empty());
  EXPECT_EQ(db_->Execute(L"SELECT COUNT(*) FROM item WHERE 1 = 0").result.rows.size(), 1u);
}

TEST_F(DbTest, DateAndNameColumnsKeepDigitTextsAsTexts) {
  db_->Execute(L"CREATE TABLE k (n sysname NULL, d datetime NULL)");
  db_->Execute(L"INSERT INTO k VALUES ('0123', '20240105')");
  EXPECT_EQ(One(L"SELECT n FROM k").s, L"0123");
  EXPECT_EQ(One(L"SELECT COUNT(*) FROM k WHERE d = '2024-01-05' AND d < '20240105 00:00:01' AND d > '20240104'").i, 1);
  auto d = One(L"SELECT d FROM k");
  ASSERT_EQ(d.kind, VKind::Date);
  EXPECT_EQ(d.d, *OleDateFromParts({2024, 1, 5}));
}

// SQL Server's meaning of texts, numbers and dates, the same on both engines: statement, value.
TEST_F(DbTest, StatementsGiveTheServersValuesOnEitherEngine) {
  db_->Execute(L"INSERT INTO item (name, qty, added) VALUES ('Abc', 1, '2024-01-05 00:00:00'), (N'ąbc', 2, NULL), "
               L"('bcd', 3, '2024-01-04 23:59:59'), ('a_b', 4, NULL), ('[x]', 5, NULL), (N'zażółć', 6, NULL), "
               L"('ab ', 7, NULL)");
  struct Case {
    const wchar_t* sql;
    const wchar_t* value;  // its text; "NULL" for NULL
  };
  const Case kCases[] = {
      // Texts compare without case and without their trailing blanks, Polish letters after their base.
      {L"SELECT COUNT(*) FROM item WHERE name = 'ABC  '", L"1"},
      {L"SELECT COUNT(*) FROM item WHERE name < 'b'", L"5"},
      {L"SELECT COUNT(*) FROM item WHERE name = N'ZAŻÓŁĆ'", L"1"},
      {L"SELECT COUNT(DISTINCT name) FROM item WHERE name IN ('abc', 'ABC')", L"1"},
      // LIKE: letters without case, classes by the collation's order, escapes, blanks kept.
      {L"SELECT COUNT(*) FROM item WHERE name LIKE 'a%'", L"3"},
      {L"SELECT COUNT(*) FROM item WHERE name LIKE '[a-b]%'", L"5"},
      {L"SELECT COUNT(*) FROM item WHERE name LIKE '[^a-b]%'", L"2"},
      {L"SELECT COUNT(*) FROM item WHERE name LIKE 'a!_b' ESCAPE '!'", L"1"},
      {L"SELECT COUNT(*) FROM item WHERE name LIKE 'a_b'", L"1"},
      {L"SELECT COUNT(*) FROM item WHERE name LIKE '[[]x]'", L"1"},
      {L"SELECT COUNT(*) FROM item WHERE name LIKE N'ZAŻ%'", L"1"},
      {L"SELECT COUNT(*) FROM item WHERE name LIKE 'ab'", L"0"},
      {L"SELECT COUNT(*) FROM item WHERE name NOT LIKE '%c'", L"5"},
      // `+`: NULL makes the whole NULL; texts keep their blanks; numbers add.
      {L"SELECT 'a' + NULL", L"NULL"},
      {L"SELECT name + '|' FROM item WHERE qty = 7", L"ab |"},
      {L"SELECT qty + 1 FROM item WHERE qty = 7", L"8"},
      // Integer division and remainder, toward zero.
      {L"SELECT 7 / 2", L"3"},
      {L"SELECT -7 / 2", L"-3"},
      {L"SELECT 7 % 3", L"1"},
      // Date texts 'YYYYMMDD' are dates from midnight.
      {L"SELECT COUNT(*) FROM item WHERE added = '20240105'", L"1"},
      {L"SELECT COUNT(*) FROM item WHERE added < '20240105' AND added > '20240104 23:59:58'", L"1"},
      {L"SELECT DATEDIFF(day, '20240101', '20240301')", L"60"},
      {L"SELECT DATEDIFF(week, '20240106', '20240107')", L"1"},
      {L"SELECT DATEPART(week, '20240107')", L"1"},
      {L"SELECT CONVERT(varchar(8), DATEADD(month, 1, '20240131'), 112)", L"20240229"},
      {L"SELECT CONVERT(varchar(19), CONVERT(datetime, '05.01.2024 10:20'), 120)", L"2024-01-05 10:20:00"},
  };
  for (const Case& c : kCases) {
    const Value v = One(c.sql);
    EXPECT_EQ(v.IsNull() ? std::wstring(L"NULL") : ValueText(v), c.value) << ToUtf8(c.sql);
  }
  // A LIKE pattern bound as a parameter.
  EXPECT_EQ(One(L"SELECT COUNT(*) FROM item WHERE name LIKE ?", {Value::Text(L"A%")}).i, 3);
  // A unique key without case or trailing blanks.
  db_->Execute(L"CREATE TABLE k (n nvarchar(10) NOT NULL PRIMARY KEY)");
  db_->Execute(L"INSERT INTO k (n) VALUES ('abc')");
  EXPECT_THROW(db_->Execute(L"INSERT INTO k (n) VALUES ('ABC ')"), DbException);
}

// Failures map to the same codes on both engines: statement, code, state.
TEST_F(DbTest, FailuresMapToTheSameCodesOnEitherEngine) {
  db_->Execute(L"CREATE TABLE kd_blokada (obid int NOT NULL, obextra int NOT NULL, obtype int NOT NULL, "
               L"workstation nvarchar(16) NULL, username nvarchar(50) NULL, PRIMARY KEY (obid, obextra, obtype))");
  db_->Execute(L"INSERT INTO kd_blokada (obid, obextra, obtype) VALUES (11, 0, 726)");
  db_->Execute(L"INSERT INTO item (name, qty) VALUES ('x', 1)");
  db_->Execute(L"CREATE TABLE owner (id int NOT NULL PRIMARY KEY)");
  db_->Execute(L"CREATE TABLE owned (id int NOT NULL PRIMARY KEY, owner_id int NULL REFERENCES owner (id))");
  db_->Execute(L"INSERT INTO owner (id) VALUES (1)");
  db_->Execute(L"INSERT INTO owned (id, owner_id) VALUES (1, 1)");
  struct Case {
    const wchar_t* sql;
    HRESULT hr;
    const wchar_t* state;
  };
  const Case kCases[] = {
      {L"INSERT INTO kd_blokada (obid, obextra, obtype) VALUES (11, 0, 726)", DB_E_ERRORSINCOMMAND, L"23000"},
      // A foreign key is an integrity violation, also from a statement.
      {L"INSERT INTO owned (id, owner_id) VALUES (2, 7)", DB_E_INTEGRITYVIOLATION, L"23000"},
      {L"DELETE FROM owner WHERE id = 1", DB_E_INTEGRITYVIOLATION, L"23000"},
      {L"INSERT INTO item (name) VALUES (NULL)", DB_E_ERRORSINCOMMAND, L"23000"},
      {L"SELEKT 1", DB_E_ERRORSINCOMMAND, L"42000"},
      {L"SELECT * FROM no_such_table", DB_E_NOTABLE, L"42S02"},
      {L"SELECT no_such_column FROM item", DB_E_ERRORSINCOMMAND, L"42S22"},
      {L"SELECT 'abc' + 1", DB_E_ERRORSINCOMMAND, L"22018"},
      {L"SELECT CONVERT(datetime, 'jutro')", DB_E_ERRORSINCOMMAND, L"22018"},
  };
  for (const Case& c : kCases) {
    try {
      db_->Execute(c.sql);
      ADD_FAILURE() << ToUtf8(c.sql) << " ran";
    } catch (const DbException& e) {
      EXPECT_EQ(e.error.hr, c.hr) << ToUtf8(c.sql);
      EXPECT_EQ(e.error.sqlState, c.state) << ToUtf8(c.sql);
      EXPECT_FALSE(e.error.description.empty()) << ToUtf8(c.sql);
      EXPECT_NE(e.error.native, 0) << ToUtf8(c.sql);
    }
  }
  auto hrOf = [](const std::function<void()>& run) {
    try {
      run();
    } catch (const DbException& e) {
      return e.error.hr;
    }
    return S_OK;
  };
  // A row written back from a recordset that the table refuses.
  EXPECT_EQ(hrOf([&] {
              db_->ExecuteNative("INSERT INTO \"kd_blokada\" (\"obid\", \"obextra\", \"obtype\") VALUES (?, ?, ?)",
                                 {Value::Int(VKind::I4, 11), Value::Int(VKind::I4, 0), Value::Int(VKind::I4, 726)});
            }),
            DB_E_INTEGRITYVIOLATION);
  // A change through a read-only connection.
  auto reader = Database::Open(db_->Path(), 1000, true);
  EXPECT_EQ(hrOf([&] { reader->Execute(L"DELETE FROM item"); }), static_cast<HRESULT>(0x80040E09));
  // A lock waited for past the time-out.
  db_->Begin();
  db_->Execute(L"UPDATE item SET qty = 2 WHERE name = 'x'");
  auto other = Database::Open(db_->Path(), 100);
  EXPECT_EQ(hrOf([&] { other->Execute(L"UPDATE item SET qty = 3 WHERE name = 'x'"); }), DB_E_ABORTLIMITREACHED);
  db_->Rollback();
}

// A statement refused inside a transaction leaves the transaction going, as on SQL Server: the
// caller may go on, and what it did before and after is committed.
TEST_F(DbTest, ARefusedStatementInsideATransactionLeavesItGoing) {
  db_->Execute(L"CREATE TABLE k (n int NOT NULL PRIMARY KEY)");
  db_->Execute(L"INSERT INTO k (n) VALUES (1)");
  db_->Begin();
  db_->Execute(L"INSERT INTO k (n) VALUES (2)");
  EXPECT_THROW(db_->Execute(L"INSERT INTO k (n) VALUES (1)"), DbException);
  EXPECT_THROW(db_->Execute(L"SELECT * FROM no_such_table"), DbException);
  db_->Execute(L"INSERT INTO k (n) VALUES (3)");
  db_->Commit();
  EXPECT_EQ(One(L"SELECT COUNT(*) FROM k").i, 3);
}

// On a server, the object lock's insert is refused at once as a duplicate while another
// workstation's insert of the same key is not committed yet (SQLite's writers take turns).
TEST_F(DbTest, TheObjectLocksInsertNeverWaitsForAnotherUncommittedOne) {
  if (!testdb::OnPostgres()) GTEST_SKIP() << "one writer at a time on an SQLite file";
  db_->Execute(L"CREATE TABLE kd_blokada (obid int NOT NULL, obextra int NOT NULL, obtype int NOT NULL, "
               L"workstation nvarchar(16) NULL, username nvarchar(50) NULL, PRIMARY KEY (obid, obextra, obtype))");
  db_->Begin();
  db_->Execute(L"INSERT INTO kd_blokada (obid, obextra, obtype, workstation) VALUES (11, 0, 726, 'KASA1')");
  // A lock time-out far longer than the test: a wait would end only with the holder.
  auto other = Database::Open(db_->Path(), 3600 * 1000);
  auto refused = std::async(std::launch::async, [&] {
    try {
      other->Execute(L"INSERT INTO kd_blokada (obid, obextra, obtype, workstation) VALUES (11, 0, 726, 'KASA2')");
    } catch (const DbException& e) {
      return e.error.hr;
    }
    return S_OK;
  });
  // A bound against a hang, not a speed check.
  const bool answered = refused.wait_for(std::chrono::seconds(60)) == std::future_status::ready;
  db_->Rollback();
  ASSERT_TRUE(answered) << "the insert waited for the other one";
  EXPECT_EQ(refused.get(), DB_E_ERRORSINCOMMAND);
  // The holder's insert rolled back, the key is free for the other workstation.
  other->Execute(L"INSERT INTO kd_blokada (obid, obextra, obtype, workstation) VALUES (11, 0, 726, 'KASA2')");
  EXPECT_EQ(One(L"SELECT workstation FROM kd_blokada").s, L"KASA2");
}

TEST_F(DbTest, RightJoinsGiveTheRowsOfTheirLeftJoinFormAndSearchByIndex) {
  for (const wchar_t* sql :
       {L"CREATE TABLE cs (cs_Id int NOT NULL PRIMARY KEY, cs_Ext bigint NULL)",
        L"CREATE INDEX ix_cs_Ext ON cs (cs_Ext)",
        L"CREATE TABLE tr (tr_Id int NOT NULL PRIMARY KEY, tr_Cs int NULL, tr_Au int NULL, tr_Qty int NULL)",
        L"CREATE INDEX ix_tr_Au ON tr (tr_Au, tr_Cs)",
        L"CREATE TABLE au (au_Id int NOT NULL PRIMARY KEY, au_No nvarchar(20) NULL, au_Prov int NULL)",
        L"CREATE INDEX ix_au_No ON au (au_No, au_Prov)",
        L"INSERT INTO cs VALUES (1, 7), (2, 8), (3, 7)",
        // Auction 10: buyer 7 twice (two customers of that id), buyer 8 once; auction 11: buyer 8
        // only; auction 12: nobody; auction 13: a transaction whose customer is gone.
        L"INSERT INTO au VALUES (10, N'100', 1), (11, N'200', 1), (12, N'300', 1), (13, N'400', 1), (14, N'100', 2)",
        L"INSERT INTO tr VALUES (1, 1, 10, 2), (2, 3, 10, 1), (3, 2, 10, 5), (4, 2, 11, 1), (5, 9, 13, 1)"})
    db_->Execute(sql);
  auto rows = [&](const std::wstring& sql) {
    std::multiset<std::wstring> out;
    for (const auto& row : db_->Execute(sql).result.rows) {
      std::wstring line;
      for (const Value& v : row) line += (v.IsNull() ? L"-" : std::to_wstring(v.i)) + L" ";
      out.insert(line);
    }
    return out;
  };
  const wchar_t* columns = L"SELECT cs_Id, tr_Id, au_Id, tr_Qty FROM ";
  for (const int buyer : {7, 8, 9})
    for (const wchar_t* number : {L"100", L"200", L"300", L"400", L"999"}) {
      const std::wstring where = L" WHERE au_No = '" + std::wstring(number) + L"' AND au_Prov = 1";
      const std::wstring pair = L"cs INNER JOIN tr ON cs_Id = tr_Cs AND cs_Ext = " + std::to_wstring(buyer);
      const std::wstring right = columns + (L"(" + pair + L") RIGHT JOIN au ON tr_Au = au_Id") + where;
      const std::wstring left = columns + (L"au LEFT JOIN (" + pair + L") ON tr_Au = au_Id") + where;
      EXPECT_EQ(rows(right), rows(left)) << buyer << " " << number;
    }
  EXPECT_EQ(rows(std::wstring(columns) + L"(cs JOIN tr ON cs_Id = tr_Cs AND cs_Ext = 7) RIGHT JOIN au ON tr_Au = au_Id "
                                         L"WHERE au_No = '100' AND au_Prov = 1"),
            (std::multiset<std::wstring>{L"1 1 10 2 ", L"3 2 10 1 "}));
  // Every table is searched through an index: none is scanned, no index is built for the query
  // (SQLite's plan; PostgreSQL plans by its statistics).
  if (testdb::OnPostgres()) return;
  const auto plan = db_->Execute(L"EXPLAIN QUERY PLAN SELECT tr_Id FROM (cs INNER JOIN tr ON cs_Id = tr_Cs AND "
                                 L"cs_Ext = 7) RIGHT JOIN au ON tr_Au = au_Id WHERE au_No = '100' AND au_Prov = 1");
  ASSERT_FALSE(plan.result.rows.empty());
  for (const auto& row : plan.result.rows) {
    const std::wstring detail = row.back().s;
    EXPECT_EQ(detail.find(L"SCAN"), std::wstring::npos) << detail;
    EXPECT_EQ(detail.find(L"AUTOMATIC"), std::wstring::npos) << detail;
  }
}
