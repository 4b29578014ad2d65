// The client cursor against a real database: writing rows back by key (composite keys, tables
// without a key, NULLs, long values), the row states the filters show, clones, groups.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "platform/ado/ado_enums.h"
#include "platform/ado/database.h"
#include "platform/ado/rowset.h"
#include "platform/ado/sql_rewriter.h"

#include "testing/support/temp_folder.h"

using namespace platform::ado;

namespace {

class RowsetTest : public ::testing::Test {
 protected:
  void SetUp() override {
    db_ = Database::Open(folder_.Database("r.db"));
    db_->Execute(L"CREATE TABLE pair (a int NOT NULL, b int NOT NULL, v nvarchar(20) NULL, memo ntext NULL, "
                 L"CONSTRAINT pk PRIMARY KEY (a, b))");
    db_->Execute(L"INSERT INTO pair VALUES (1, 1, 'x', 'long'), (1, 2, NULL, NULL), (2, 1, 'z', NULL)");
    db_->Execute(L"CREATE TABLE loose (n int NULL, t varchar(10) NULL)");
    db_->Execute(L"INSERT INTO loose VALUES (1, 'a'), (1, 'a'), (NULL, 'b')");
  }
  void TearDown() override {
    db_.reset();
  }
  std::shared_ptr<Rowset> Open(const wchar_t* sql, LockMode mode = LockMode::Batch) {
    auto rs = Rowset::FromResult(std::move(db_->Execute(sql).result));
    rs->lock = mode;
    rs->db = db_;
    return rs;
  }
  std::int64_t Scalar(const wchar_t* sql) { return db_->Execute(sql).result.rows.at(0).at(0).i; }
  testtemp::TempFolder folder_{"vx_ado_rowset"};
  std::shared_ptr<Database> db_;
};

}  // namespace

TEST_F(RowsetTest, CompositeKeysLocateTheRowsToWrite) {
  auto rs = Open(L"SELECT * FROM pair ORDER BY a, b");
  rs->MoveFirst();
  rs->Put(2, Value::Text(L"changed"));
  rs->Put(3, Value::Text(L"memo changed"));  // a long value is written, never compared
  rs->MoveNext();
  rs->Put(2, Value::Text(L"was null"));
  rs->MoveNext();
  rs->Delete(adAffectCurrent);
  rs->UpdateBatch(adAffectAll);
  EXPECT_EQ(Scalar(L"SELECT COUNT(*) FROM pair WHERE a = 1 AND b = 1 AND v = 'changed' AND memo = 'memo changed'"), 1);
  EXPECT_EQ(Scalar(L"SELECT COUNT(*) FROM pair WHERE a = 1 AND b = 2 AND v = 'was null'"), 1);
  EXPECT_EQ(Scalar(L"SELECT COUNT(*) FROM pair"), 2);
  // A key that changed is looked up by its original value.
  rs->MoveFirst();
  rs->Put(1, Value::Int(VKind::I4, 9));
  rs->UpdateBatch(adAffectAll);
  EXPECT_EQ(Scalar(L"SELECT COUNT(*) FROM pair WHERE a = 1 AND b = 9"), 1);
}

TEST_F(RowsetTest, TablesWithoutKeyAreMatchedOnAllColumnsIncludingNulls) {
  auto rs = Open(L"SELECT * FROM loose ORDER BY t DESC");
  rs->MoveFirst();  // (NULL, 'b')
  rs->Put(0, Value::Int(VKind::I4, 5));
  rs->UpdateBatch(adAffectAll);
  EXPECT_EQ(Scalar(L"SELECT COUNT(*) FROM loose WHERE n = 5 AND t = 'b'"), 1);
  // Two identical rows: deleting one through a keyless match removes both, as matching on
  // every column must; the count tells the caller.
  rs->MoveNext();
  rs->Delete(adAffectCurrent);
  rs->UpdateBatch(adAffectAll);
  EXPECT_EQ(Scalar(L"SELECT COUNT(*) FROM loose WHERE t = 'a'"), 0);
}

TEST_F(RowsetTest, ConstraintViolationsOfWrittenRowsAreIntegrityErrors) {
  auto rs = Open(L"SELECT * FROM pair", LockMode::Immediate);
  rs->AddNew();
  rs->Put(0, Value::Int(VKind::I4, 2));
  rs->Put(1, Value::Int(VKind::I4, 1));  // the key of an existing row
  try {
    rs->Update();
    ADD_FAILURE() << "duplicate key accepted";
  } catch (const DbException& e) {
    EXPECT_EQ(e.error.hr, DB_E_INTEGRITYVIOLATION);
  }
  EXPECT_EQ(rs->EditMode(), adEditAdd);  // still open for CancelUpdate
  rs->CancelUpdate();
  rs->AddNew();
  rs->Put(2, Value::Text(L"no key"));
  EXPECT_THROW(rs->Update(), DbException);  // NOT NULL key columns
  rs->CancelUpdate();
  EXPECT_EQ(Scalar(L"SELECT COUNT(*) FROM pair"), 3);
}

TEST_F(RowsetTest, AutoNumberedKeysComeBackAfterInsert) {
  db_->Execute(L"CREATE TABLE seq (id int IDENTITY(1,1) PRIMARY KEY, name nvarchar(10))");
  auto rs = Open(L"SELECT id, name FROM seq");
  for (const wchar_t* n : {L"one", L"two"}) {
    rs->AddNew();
    rs->Put(1, Value::Text(n));
    rs->Update();
  }
  rs->UpdateBatch(adAffectAll);
  rs->MoveFirst();
  EXPECT_EQ(rs->Get(0).i, 1);
  EXPECT_EQ(rs->Get(0).kind, VKind::I4);
  rs->MoveNext();
  EXPECT_EQ(rs->Get(0).i, 2);
  EXPECT_EQ(Scalar(L"SELECT MAX(id) FROM seq"), 2);
}

TEST_F(RowsetTest, FilterGroupsAffectedGroupsAndClones) {
  auto rs = Open(L"SELECT * FROM pair ORDER BY a, b");
  rs->SetFilter(L"a = 1");
  EXPECT_EQ(rs->RecordCount(), 2);
  rs->AddNew();  // shown although it does not match the filter
  rs->Put(0, Value::Int(VKind::I4, 7));
  rs->Put(1, Value::Int(VKind::I4, 7));
  rs->Update();
  EXPECT_EQ(rs->RecordCount(), 3);
  rs->SetFilter(L"a = 1");
  rs->Delete(adAffectGroup);  // both rows of the filter
  rs->SetFilterGroup(adFilterPendingRecords);
  EXPECT_EQ(rs->RecordCount(), 3);  // two deletions and one insertion
  auto clone = rs->Clone(LockMode::ReadOnly);
  EXPECT_EQ(clone->RecordCount(), 2);  // the clone sees the shared rows without deletions
  rs->UpdateBatch(adAffectGroup);
  EXPECT_EQ(rs->RecordCount(), 0);  // nothing pending any more
  EXPECT_EQ(Scalar(L"SELECT COUNT(*) FROM pair"), 2);
  EXPECT_EQ(Scalar(L"SELECT COUNT(*) FROM pair WHERE a = 7"), 1);
  rs->SetFilterGroup(adFilterNone);
  rs->MoveFirst();
  rs->Find(L"a = 7", 0, adSearchForward, std::nullopt);
  EXPECT_FALSE(rs->Eof());
  double mark = rs->Bookmark();
  rs->MoveFirst();
  rs->Find(L"a = 7", 1, adSearchForward, mark);  // skip the start row itself
  EXPECT_TRUE(rs->Eof());
  rs->Find(L"a < 7", 0, adSearchBackward, mark);
  EXPECT_FALSE(rs->Bof());
  EXPECT_EQ(rs->Get(0).i, 2);
}

TEST_F(RowsetTest, MultipleStatementsAndSchemaChangesBetweenRuns) {
  auto r = db_->Execute(L"UPDATE pair SET v = 'q'; SELECT COUNT(*) FROM pair WHERE v = 'q'");
  ASSERT_TRUE(r.hasRows);
  EXPECT_EQ(r.result.rows[0][0].i, 3);
  EXPECT_EQ(r.changes, 3);
  const wchar_t* sql = L"SELECT * FROM loose";
  EXPECT_EQ(db_->Execute(sql).result.columns.size(), 2u);
  db_->Execute(L"ALTER TABLE loose ADD extra nvarchar(5)");
  auto after = db_->Execute(sql);  // the cached statement sees the new column
  ASSERT_EQ(after.result.columns.size(), 3u);
  EXPECT_EQ(after.result.columns[2].type, adVarWChar);
  EXPECT_EQ(after.result.columns[2].size, 5);
}

TEST_F(RowsetTest, ResultsOfOneStatementShareItsColumnsButNotWhatEachChanges) {
  // Typed by its values, each result on its own: the statement is one (the compared literals are
  // lifted), the length of the concatenation is each result's own.
  db_->Execute(L"UPDATE pair SET v = 'longer' WHERE a = 2");
  const wchar_t* shortOne = L"SELECT a, b, v + '!' AS e FROM pair WHERE a = 1 AND b = 1";
  auto first = Open(shortOne);
  auto longer = db_->Execute(L"SELECT a, b, v + '!' AS e FROM pair WHERE a = 2 AND b = 1");
  auto again = db_->Execute(shortOne);
  EXPECT_EQ(first->Fields()[2].size, 2);
  EXPECT_EQ(longer.result.columns[2].size, 7);
  EXPECT_EQ(again.result.columns[2].size, 2);
  EXPECT_EQ(first->Fields()[0].type, adInteger);

  // A field changed in one recordset (its Optimize property) is its own (and its clones'), not
  // the next result's of the same statement.
  auto one = Open(L"SELECT * FROM pair");
  auto other = Open(L"SELECT * FROM pair");
  auto clone = one->Clone(LockMode::Batch);
  one->SetOptimize(2, true);
  EXPECT_TRUE(one->Fields()[2].optimize);
  EXPECT_TRUE(clone->Fields()[2].optimize);
  EXPECT_FALSE(other->Fields()[2].optimize);
  EXPECT_FALSE(Open(L"SELECT * FROM pair")->Fields()[2].optimize);
  EXPECT_EQ(other->Fields()[2].name, L"v");
}

TEST_F(RowsetTest, FieldsAreFoundByNameWithoutCaseInResultsOfFewAndOfManyColumns) {
  db_->Execute(L"CREATE TABLE wide (k int PRIMARY KEY, c1 int, c2 int, c3 int, c4 int, c5 int, c6 int, c7 int, "
               L"c8 int, Zażółć nvarchar(4))");
  for (const wchar_t* sql : {L"SELECT *, c1 AS K1, c2 AS K FROM wide",  // many: found by a hash of the name
                             L"SELECT k, c1 AS K1, c2 AS K, Zażółć, c8 FROM wide"}) {
    SCOPED_TRACE(testing::Message() << sql);
    auto rs = Open(sql);
    const int last = static_cast<int>(rs->Fields().size()) - 1;
    EXPECT_EQ(rs->FieldIndex(L"k"), 0);  // the first of the two named so
    EXPECT_EQ(rs->FieldIndex(L"K"), 0);
    EXPECT_EQ(rs->FieldIndex(L"k1"), rs->Fields().size() > 8 ? last - 1 : 1);
    EXPECT_EQ(rs->FieldIndex(L"C8"), rs->Fields().size() > 8 ? 8 : last);
    EXPECT_EQ(rs->FieldIndex(L"ZAŻÓŁĆ"), rs->Fields().size() > 8 ? 9 : 3);
    EXPECT_EQ(rs->FieldIndex(L"zazolc"), -1);
    EXPECT_EQ(rs->FieldIndex(L"c9"), -1);
    EXPECT_EQ(rs->FieldIndex(L"c"), -1);
    EXPECT_EQ(rs->FieldIndex(L""), -1);
  }
}

TEST(AdoDeclaredTypes, ServerTypeNamesMapToFieldTypes) {
  struct Case {
    const char* decl;
    LONG type, size;
  } cases[] = {
      {"int", adInteger, 4},          {"INTEGER", adInteger, 4},        {"bigint", adBigInt, 8},
      {"smallint", adSmallInt, 2},    {"tinyint", adUnsignedTinyInt, 1}, {"bit", adBoolean, 2},
      {"money", adCurrency, 8},       {"float", adDouble, 8},           {"real", adSingle, 4},
      {"decimal(10,2)", adDouble, 8}, {"datetime", adDBTimeStamp, 16},  {"smalldatetime", adDBTimeStamp, 16},
      {"char(3)", adChar, 3},         {"varchar(40)", adVarChar, 40},   {"nchar(2)", adWChar, 2},
      {"nvarchar(255)", adVarWChar, 255}, {"nvarchar(max)", adLongVarWChar, 1073741823},
      {"ntext", adLongVarWChar, 1073741823}, {"text", adLongVarChar, 2147483647},
      {"varbinary(16)", adVarBinary, 16}, {"image", adLongVarBinary, 2147483647},
      {"uniqueidentifier", adGUID, 16},
  };
  for (const auto& c : cases) {
    LONG type = 0, size = 0;
    ASSERT_TRUE(MapDeclaredType(c.decl, type, size)) << c.decl;
    EXPECT_EQ(type, c.type) << c.decl;
    EXPECT_EQ(size, c.size) << c.decl;
  }
  LONG type = 0, size = 0;
  EXPECT_FALSE(MapDeclaredType("", type, size));
}

TEST(SqlRewriterMore, NestedConstructsCombine) {
  EXPECT_EQ(RewriteSql(L"SELECT TOP 1 ISNULL(a, '') + CONVERT(varchar(5), b) FROM t WHERE c = N'x' ORDER BY d").sql,
            "SELECT VX_ADD(IFNULL(a, ''), VX_CONVERT(b, -1, 5)) FROM t WHERE c = 'x' ORDER BY d LIMIT 1");
  EXPECT_EQ(RewriteSql(L"UPDATE t SET name = name + ' (kopia)' WHERE id = 1").sql,
            "UPDATE t SET name = VX_ADD(name, ' (kopia)') WHERE id = 1");
  EXPECT_EQ(RewriteSql(L"INSERT INTO t (a) SELECT TOP 3 x + 1 FROM u").sql,
            "INSERT INTO t (a) SELECT VX_ADD(x, 1) FROM u LIMIT 3");
  EXPECT_EQ(RewriteSql(L"SELECT CASE WHEN a IS NULL THEN CASE b WHEN 1 THEN 'x' + 'y' END END").sql,
            "SELECT CASE WHEN a IS NULL THEN CASE b WHEN 1 THEN VX_ADD('x', 'y') END END");
  EXPECT_EQ(RewriteSql(L"SELECT a FROM t WHERE b IN (1, 2) AND c BETWEEN 1 + 1 AND 5").sql,
            "SELECT a FROM t WHERE b IN (1, 2) AND c BETWEEN VX_ADD(1, 1) AND 5");
  EXPECT_EQ(RewriteSql(L"SELECT COUNT(*) FROM t WHERE x = ?").paramOrder, std::vector<int>{0});
  EXPECT_EQ(RewriteSql(L"SELECT 'a?b' FROM t WHERE x = ? -- ?").paramCount, 1);
}

TEST_F(RowsetTest, CancelBatchBringsDeletedRowsBackAndCurrentOnlyUpdatesOneRow) {
  auto rs = Open(L"SELECT * FROM pair ORDER BY a, b");
  rs->MoveFirst();
  rs->Delete(adAffectCurrent);
  EXPECT_EQ(rs->RecordCount(), 2);
  EXPECT_THROW(rs->Get(0), DbException);  // the deleted row is still current
  rs->CancelBatch(adAffectAll);
  EXPECT_EQ(rs->RecordCount(), 3);
  rs->MoveFirst();
  rs->Put(2, Value::Text(L"first"));
  rs->MoveNext();
  rs->Put(2, Value::Text(L"second"));
  rs->UpdateBatch(adAffectCurrent);
  EXPECT_EQ(Scalar(L"SELECT COUNT(*) FROM pair WHERE v = 'second'"), 1);
  EXPECT_EQ(Scalar(L"SELECT COUNT(*) FROM pair WHERE v = 'first'"), 0);
  EXPECT_EQ(rs->CurrentStatus(), RowStatus::Unchanged);
  rs->MoveFirst();
  EXPECT_EQ(rs->CurrentStatus(), RowStatus::Modified);
}

TEST_F(RowsetTest, EmptyResultsAndNullsInSortAndFilter) {
  auto none = Open(L"SELECT * FROM pair WHERE a > 100");
  EXPECT_TRUE(none->Bof());
  EXPECT_TRUE(none->Eof());
  EXPECT_EQ(none->RecordCount(), 0);
  EXPECT_EQ(none->AbsolutePosition(), adPosUnknown);
  EXPECT_EQ(none->Fields().size(), 4u);  // the fields are described even without rows
  auto rs = Open(L"SELECT * FROM pair");
  rs->SetSort(L"v");
  rs->MoveFirst();
  EXPECT_TRUE(rs->Get(2).IsNull());  // NULL sorts first
  rs->SetFilter(L"v <> 'x'");
  EXPECT_EQ(rs->RecordCount(), 1);  // NULL is neither equal nor unequal
  rs->SetFilter(L"v = NULL");
  EXPECT_EQ(rs->RecordCount(), 1);
}
