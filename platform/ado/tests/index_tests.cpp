// Equality filters and finds answered from the fields' indexes: they must show exactly the rows
// that a walk over every row shows, through every change of the rows (additions, deletions,
// field writes, cancelled edits and batches, written batches with the numbers the database
// gives, undone writes), for values of mixed kinds and literals that are converted. A criteria
// joined by OR is never answered from an index, which gives the walk to compare with.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <random>

#include "platform/ado/ado_enums.h"
#include "platform/ado/database.h"
#include "platform/ado/rowset.h"
#include "platform/ado/text.h"
#include "testing/support/temp_folder.h"

using namespace platform::ado;

namespace {

FieldDef Field(const wchar_t* name, LONG type, LONG size = 0) {
  FieldDef f;
  f.name = name;
  f.type = type;
  f.size = size;
  return f;
}

std::vector<double> Marks(Rowset& rs) {
  std::vector<double> out;
  if (rs.RecordCount() == 0) return out;
  for (rs.MoveFirst(); !rs.Eof(); rs.MoveNext()) out.push_back(rs.Bookmark());
  return out;
}

std::wstring Walked(const std::wstring& criteria) { return L"(" + criteria + L") OR (" + criteria + L")"; }

// Every row that a forward and a backward find reaches, one after the other.
std::vector<double> Found(Rowset& rs, const std::wstring& criteria, LONG direction) {
  std::vector<double> out;
  if (rs.RecordCount() == 0) return out;
  if (direction == adSearchForward) rs.MoveFirst();
  else rs.MoveLast();
  rs.Find(criteria, 0, direction, std::nullopt);
  while (!rs.Eof() && !rs.Bof()) {
    out.push_back(rs.Bookmark());
    rs.Find(criteria, 1, direction, std::nullopt);
  }
  return out;
}

// The rows that `criteria` filters and finds in `rs`, against the walk.
void ExpectAgree(const std::shared_ptr<Rowset>& rs, const std::wstring& criteria) {
  SCOPED_TRACE(platform::ado::ToUtf8(criteria));
  auto indexed = rs->Clone(LockMode::ReadOnly);
  auto walked = rs->Clone(LockMode::ReadOnly);
  indexed->SetFilter(criteria);
  walked->SetFilter(Walked(criteria));
  EXPECT_EQ(Marks(*indexed), Marks(*walked));
  auto a = rs->Clone(LockMode::ReadOnly);
  auto b = rs->Clone(LockMode::ReadOnly);
  EXPECT_EQ(Found(*a, criteria, adSearchForward), Found(*b, Walked(criteria), adSearchForward));
  EXPECT_EQ(Found(*a, criteria, adSearchBackward), Found(*b, Walked(criteria), adSearchBackward));
}

const std::vector<std::wstring> kLiterals = {
    L"1",     L"2",        L"0",     L"-0",          L"1.0",          L"2.5",    L"'1'",      L"'01'",
    L"' 2 '", L"'abc'",    L"'ABC '", L"'ąb'",        L"'True'",       L"TRUE",   L"FALSE",    L"NULL",
    L"'x'",   L"#2024-01-01#", L"'2024-01-01'", L"45292", L"'a b'", L"4294967297", L"'4294967297'"};

Value RandomValue(std::mt19937& rng) {
  static const std::vector<Value> pool = [] {
    std::vector<Value> p;
    p.push_back(Value::Null());
    for (int i = 0; i <= 2; ++i) p.push_back(Value::Int(VKind::I4, i));
    p.push_back(Value::Int(VKind::I8, 4294967297LL));
    p.push_back(Value::Int(VKind::I2, 1));
    p.push_back(Value::Int(VKind::Bool, 1));
    p.push_back(Value::Int(VKind::Bool, 0));
    p.push_back(Value::Real(VKind::R8, 2.5));
    p.push_back(Value::Real(VKind::R8, -0.0));
    p.push_back(Value::Real(VKind::R8, 1.0));
    p.push_back(Value::Real(VKind::Date, 45292.0));  // 2024-01-01
    p.push_back(Value::Int(VKind::Cy, 25000));
    for (const wchar_t* t : {L"1", L"01", L"1.0", L" 2 ", L"abc", L"ABC", L"abc  ", L"Ąb", L"ąB", L"True", L"a",
                             L"a b", L"2024-01-01", L"4294967297", L""})
      p.push_back(Value::Text(t));
    return p;
  }();
  return pool[std::uniform_int_distribution<std::size_t>(0, pool.size() - 1)(rng)];
}

// Random changes of `rs`, each followed by checks of random criteria.
void Churn(const std::shared_ptr<Rowset>& rs, const std::vector<std::wstring>& fields, unsigned seed, int steps,
           int firstWritable) {
  std::mt19937 rng(seed);
  auto pick = [&](std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(rng); };
  auto put = [&](int field) {
    try {
      rs->Put(field, RandomValue(rng));
    } catch (const DbException&) {  // a value the field's type cannot take
    }
  };
  auto moveTo = [&](std::size_t k) {
    rs->MoveFirst();
    for (std::size_t i = 0; i < k; ++i) rs->MoveNext();
  };
  std::shared_ptr<RowUndoLog> log;
  for (int step = 0; step < steps; ++step) {
    rs->SetFilterGroup(adFilterNone);
    const std::size_t count = static_cast<std::size_t>(rs->RecordCount());
    switch (pick(10)) {
      case 0:
      case 1:
        rs->AddNew();
        for (int f = firstWritable; f < static_cast<int>(fields.size()); ++f)
          if (pick(3)) put(f);
        if (pick(8) == 0) rs->CancelUpdate();
        else rs->Update();
        break;
      case 2:
      case 3:
      case 4:
        if (count) {
          moveTo(pick(count));
          put(firstWritable + static_cast<int>(pick(fields.size() - static_cast<std::size_t>(firstWritable))));
          if (pick(10) == 0) rs->CancelUpdate();
          else rs->Update();
        }
        break;
      case 5:
        if (count) {
          moveTo(pick(count));
          rs->Delete(adAffectCurrent);
        }
        break;
      case 6:
        if (pick(4) == 0) rs->CancelBatch(adAffectAll);
        break;
      case 7:
        try {
          rs->UpdateBatch(adAffectAll);
        } catch (const DbException&) {  // rows of an undone write that the database holds already
          rs->CancelBatch(adAffectAll);
        }
        break;
      case 8:
        if (!log) {
          log = rs->BeginUndo();
        } else {
          rs->Undo(*log);
          log.reset();
        }
        break;
      default: {  // a filtered view deleting its rows, as merges do
        std::wstring c = L"[" + fields[pick(fields.size())] + L"] = " + kLiterals[pick(kLiterals.size())];
        rs->SetFilter(c);
        if (rs->RecordCount() > 0 && pick(2)) rs->Delete(adAffectCurrent);
        break;
      }
    }
    rs->SetFilterGroup(adFilterNone);
    for (int k = 0; k < 3; ++k) {
      std::wstring c = L"[" + fields[pick(fields.size())] + L"] = " + kLiterals[pick(kLiterals.size())];
      if (pick(3) == 0) c += L" AND [" + fields[pick(fields.size())] + L"] = " + kLiterals[pick(kLiterals.size())];
      ExpectAgree(rs, c);
      if (::testing::Test::HasFailure()) return;
    }
  }
}

class IndexDbTest : public ::testing::Test {
 protected:
  void SetUp() override {
    db_ = Database::Open(folder_.Database("i.db"));
  }
  void TearDown() override {
    db_.reset();
  }
  testtemp::TempFolder folder_{"vx_ado_index"};
  std::shared_ptr<Database> db_;
};

}  // namespace

TEST(EqualityIndex, FiltersAndFindsOfMixedValuesAgreeWithTheWalkThroughEveryChange) {
  auto rs = Rowset::Fabricate({Field(L"id", adInteger), Field(L"name", adVarWChar, 12), Field(L"big", adBigInt),
                               Field(L"any", adVariant), Field(L"real", adDouble), Field(L"when", adDate),
                               Field(L"flag", adBoolean), Field(L"money", adCurrency)});
  Churn(rs, {L"id", L"name", L"big", L"any", L"real", L"when", L"flag", L"money"}, 7, 400, 0);
}

TEST_F(IndexDbTest, PackedRowsAndWrittenBatchesAgreeWithTheWalk) {
  db_->Execute(L"CREATE TABLE t (id INTEGER PRIMARY KEY, name nvarchar(12) NULL, big bigint NULL, real float NULL, "
               L"added datetime NULL, flag bit NULL)");
  for (int i = 0; i < 120; ++i)
    db_->Execute(L"INSERT INTO t (name, big, real, added, flag) VALUES (" +
                 std::wstring(i % 5 == 0 ? L"NULL" : i % 3 ? L"'abc'" : L"'1'") + L", " + std::to_wstring(i % 4) +
                 L", " + (i % 2 ? L"2.5" : L"1") + L", " + (i % 7 ? L"'2024-01-01'" : L"NULL") + L", " +
                 std::to_wstring(i % 2) + L")");
  auto rs = Rowset::FromResult(std::move(db_->Execute(L"SELECT * FROM t ORDER BY id", {}, StatementOrigin::Command,
                                                      true).result));
  rs->db = db_;
  // The first filters index rows still packed as read.
  ExpectAgree(rs, L"name = 'ABC'");
  ExpectAgree(rs, L"big = '3' AND flag = TRUE");
  // New rows get their numbers from the database when the batch is written: id is left alone.
  Churn(rs, {L"id", L"name", L"big", L"real", L"added", L"flag"}, 11, 250, 1);
}

TEST(EqualityIndex, ConvertedLiteralsNullsAndCaseMatchAsTheWalkDoes) {
  auto rs = Rowset::Fabricate({Field(L"n", adInteger), Field(L"t", adVarWChar, 10), Field(L"v", adVariant)});
  auto add = [&](Value n, Value t, Value v) {
    rs->AddNew();
    rs->Put(0, n);
    rs->Put(1, t);
    rs->Put(2, v);
    rs->Update();
  };
  add(Value::Int(VKind::I4, 5), Value::Text(L"5"), Value::Int(VKind::I8, 5));          // 1
  add(Value::Int(VKind::I4, 6), Value::Text(L" 5.0 "), Value::Text(L"5"));             // 2
  add(Value::Null(), Value::Text(L"abc  "), Value::Real(VKind::R8, 5.0));              // 3
  add(Value::Int(VKind::I4, 7), Value::Text(L"a b"), Value::Text(L"ABC"));             // 4
  add(Value::Int(VKind::I4, 8), Value::Null(), Value::Int(VKind::Bool, 1));            // 5
  auto ids = [&](const wchar_t* criteria) {
    rs->SetFilter(criteria);
    return Marks(*rs);
  };
  EXPECT_EQ(ids(L"n = '5'"), (std::vector<double>{1}));  // the text becomes the field's integer
  EXPECT_EQ(ids(L"n = 5.0"), (std::vector<double>{1}));
  EXPECT_EQ(ids(L"n = 'five'"), (std::vector<double>{}));
  EXPECT_EQ(ids(L"t = 5"), (std::vector<double>{1, 2}));  // texts that read as the number
  EXPECT_EQ(ids(L"t = 'ABC'"), (std::vector<double>{3}));  // without case and trailing blanks
  EXPECT_EQ(ids(L"t = 'a'"), (std::vector<double>{}));  // "a b" is longer than "a"
  EXPECT_EQ(ids(L"v = 5"), (std::vector<double>{1, 2, 3}));  // VT_I8, VT_BSTR and VT_R8 alike
  EXPECT_EQ(ids(L"v = 'abc'"), (std::vector<double>{4}));
  EXPECT_EQ(ids(L"v = 'true'"), (std::vector<double>{5}));  // a truth value's text
  EXPECT_EQ(ids(L"v = TRUE"), (std::vector<double>{5}));
  EXPECT_EQ(ids(L"n = NULL"), (std::vector<double>{3}));
  EXPECT_EQ(ids(L"t IS NULL AND n = 8"), (std::vector<double>{5}));
  for (const wchar_t* c : {L"n = '5'", L"t = 5", L"v = 5", L"v = 'abc'", L"v = 'true'", L"n = NULL", L"t = 'a'"})
    ExpectAgree(rs, c);
  EXPECT_NE(CompareNoCase(L"a", L"a b"), 0);
  EXPECT_EQ(CompareNoCase(L"a", L"A  "), 0);
}

TEST(EqualityIndex, ClonesShareTheRowsAndFindWithoutAWalk) {
  auto rs = Rowset::Fabricate({Field(L"id", adInteger), Field(L"parent_id", adInteger)});
  for (int i = 1; i <= 6; ++i) {
    rs->AddNew();
    rs->Put(0, Value::Int(VKind::I4, i));
    rs->Put(1, Value::Int(VKind::I4, i / 2));
    rs->Update();
  }
  rs->SetFilter(L"id = 3");
  auto before = rs->Clone(LockMode::ReadOnly);
  EXPECT_EQ(before->RecordCount(), 6);  // a clone starts without the filter
  rs->Delete(adAffectCurrent);
  auto after = rs->Clone(LockMode::ReadOnly);
  EXPECT_EQ(after->RecordCount(), 5);  // without the deleted row
  rs->SetFilter(L"");
  rs->AddNew();
  rs->Put(0, Value::Int(VKind::I4, 7));
  rs->Put(1, Value::Int(VKind::I4, 3));
  rs->Update();
  auto latest = rs->Clone(LockMode::ReadOnly);
  EXPECT_EQ(latest->RecordCount(), 6);  // the new row, without the deleted one
  EXPECT_EQ(after->RecordCount(), 5);  // a clone keeps the rows it was made with
  latest->Find(L"parent_id = 3", 0, adSearchForward, std::nullopt);
  ASSERT_FALSE(latest->Eof());
  EXPECT_EQ(latest->Get(0).i, 6);
  latest->Find(L"parent_id = 3", 1, adSearchForward, std::nullopt);
  ASSERT_FALSE(latest->Eof());
  EXPECT_EQ(latest->Get(0).i, 7);
  latest->Find(L"parent_id = 3", 1, adSearchForward, std::nullopt);
  EXPECT_TRUE(latest->Eof());
  // A write through the recordset is seen by its clones' finds.
  rs->MoveFirst();
  rs->Put(1, Value::Int(VKind::I4, 3));
  rs->Update();
  latest->MoveFirst();
  latest->Find(L"parent_id = 3", 0, adSearchForward, std::nullopt);
  EXPECT_EQ(latest->Get(0).i, 1);
  EXPECT_THROW(latest->Put(0, Value::Int(VKind::I4, 9)), DbException);  // read-only as before
  // The deleted row is gone from finds too; a cancelled new row never shows.
  rs->AddNew();
  rs->Put(1, Value::Int(VKind::I4, 1));
  rs->CancelUpdate();
  auto last = rs->Clone(LockMode::ReadOnly);
  EXPECT_EQ(last->RecordCount(), 6);
  EXPECT_EQ(Found(*last, L"parent_id = 1", adSearchForward), (std::vector<double>{2}));
}

TEST(EqualityIndex, OptimizedFieldsKeepTheirIndexFromAnEmptyStore) {
  FieldDef id = Field(L"id", adInteger);
  id.optimize = true;
  auto rs = Rowset::Fabricate({id, Field(L"name", adVarWChar, 10)});
  for (int i = 0; i < 50; ++i) {
    rs->AddNew();
    rs->Put(0, Value::Int(VKind::I4, i % 10));
    rs->Put(1, Value::Text(L"n" + std::to_wstring(i)));
    rs->Update();
  }
  ExpectAgree(rs, L"id = 3");
  rs->SetOptimize(1, true);
  ExpectAgree(rs, L"name = 'N7'");
  rs->SetOptimize(1, false);
  ExpectAgree(rs, L"name = 'N7'");  // built again on first use
  rs->SetFilter(L"id = 3");
  EXPECT_EQ(rs->RecordCount(), 5);
  // Many writes of one row between lookups file it once.
  rs->SetFilter(L"");
  rs->MoveFirst();
  for (int i = 0; i < 20000; ++i) rs->Put(0, Value::Int(VKind::I4, i));
  rs->Update();
  rs->SetFilter(L"id = 19999");
  EXPECT_EQ(rs->RecordCount(), 1);
  ExpectAgree(rs, L"id = 3");
}

TEST(EqualityIndex, EachRowIsFiledOnceWithTheValuesItHoldsWhenALookupComes) {
  FieldDef id = Field(L"id", adInteger);
  FieldDef name = Field(L"name", adVarWChar, 10);
  id.optimize = name.optimize = true;
  auto rs = Rowset::Fabricate({id, name});
  // Added, its key written twice, then saved: one entry a row in each index.
  for (int i = 0; i < 1000; ++i) {
    rs->AddNew();
    rs->Put(0, Value::Int(VKind::I4, -1));
    rs->Put(1, Value::Text(L"n" + std::to_wstring(i)));
    rs->Put(0, Value::Int(VKind::I4, i));
    rs->Update();
  }
  rs->SetFilter(L"id = 500");
  EXPECT_EQ(rs->RecordCount(), 1);
  EXPECT_EQ(rs->IndexEntries(0), 1000u);
  EXPECT_EQ(rs->IndexEntries(1), 1000u);
  // A lookup after each new row files that row alone.
  rs->SetFilter(L"");
  for (int i = 1000; i < 1100; ++i) {
    rs->AddNew();
    rs->Put(0, Value::Int(VKind::I4, i));
    rs->Update();
    rs->SetFilter(L"id = " + std::to_wstring(i));
    EXPECT_EQ(rs->RecordCount(), 1);
    rs->SetFilter(L"");
  }
  EXPECT_EQ(rs->IndexEntries(0), 1100u);
  ExpectAgree(rs, L"id = 1050");
  ExpectAgree(rs, L"id = -1");
  ExpectAgree(rs, L"name = NULL");
}
