// Results kept packed and decoded row by row, and values bound in place: what comes back must
// be exactly what the value-by-value path gives, whatever the value, and editing, filtering,
// sorting and clones must see the same rows.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>

#include "platform/ado/ado_enums.h"
#include "platform/ado/database.h"
#include "platform/ado/memory.h"
#include "platform/ado/rowset.h"
#include "platform/ado/text.h"
#include "testing/support/temp_folder.h"

using namespace platform::ado;

namespace {

std::vector<Value> SampleValues() {
  std::vector<Value> v;
  v.push_back(Value());
  v.push_back(Value::Null());
  v.push_back(Value::Int(VKind::Bool, 1));
  v.push_back(Value::Int(VKind::I4, -2147483647 - 1));
  v.push_back(Value::Int(VKind::I8, 9007199254740993LL));
  v.push_back(Value::Real(VKind::R8, -0.125));
  v.push_back(Value::Int(VKind::Cy, 123456789));
  v.push_back(Value::Real(VKind::Date, 45418.297326389));
  v.push_back(Value::Text(L""));
  v.push_back(Value::Text(std::wstring(L"Zażółć\0gęślą", 12)));
  v.push_back(Value::Blob(std::string("\x00\xff\x7f", 3)));
  return v;
}

class PackedDbTest : public ::testing::Test {
 protected:
  void SetUp() override {
    db_ = Database::Open(folder_.Database("p.db"));
    db_->Execute(
        L"CREATE TABLE item (id int PRIMARY KEY, name nvarchar(20) NULL, qty int NULL, price money NULL, "
        L"added datetime NULL, active bit NULL, ratio float NULL, pic image NULL, memo ntext NULL)");
  }
  void TearDown() override {
    db_.reset();
  }
  void Insert(std::vector<Value> values) {
    db_->Execute(L"INSERT INTO item (id, name, qty, price, added, active, ratio, pic, memo) "
                 L"VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)",
                 values);
  }
  std::shared_ptr<Rowset> OpenPacked(const wchar_t* sql) {
    ExecResult r = db_->Execute(sql, {}, StatementOrigin::Command, true);
    EXPECT_TRUE(r.result.isPacked);
    auto rs = Rowset::FromResult(std::move(r.result));
    rs->lock = LockMode::Batch;
    rs->db = db_;
    return rs;
  }
  testtemp::TempFolder folder_{"vx_ado_packed"};
  std::shared_ptr<Database> db_;
};

}  // namespace

TEST(PackedRows, EveryKindDecodesAsAddedAndReusedBuffersKeepNothingOld) {
  std::vector<Value> values = SampleValues();
  PackedRows packed;
  packed.BeginRow();
  for (const Value& v : values) packed.Add(v);
  packed.BeginRow();
  packed.AddUtf8Text("Gr\xc5\xbc" "egorz \xff!");  // a malformed byte decodes as FromUtf8 reads it
  packed.AddBytes(std::string_view("\x00\x80", 2));
  packed.AddNull();
  packed.AddNumber(VKind::I2, std::int64_t{-5});
  packed.AddNumber(VKind::R4, 2.5);
  ASSERT_EQ(packed.Count(), 2u);

  std::vector<Value> out;
  packed.Decode(0, values.size(), out);
  ASSERT_EQ(out.size(), values.size());
  for (std::size_t k = 0; k < values.size(); ++k) EXPECT_TRUE(out[k] == values[k]) << "value " << k;

  // Decoding the second row into the same vector: the long texts before leave no trace.
  out[0] = Value::Text(std::wstring(300, L'x'));
  out[1] = Value::Blob(std::string(300, 'y'));
  out[2] = Value::Text(L"old");
  packed.Decode(1, 5, out);
  ASSERT_EQ(out.size(), 5u);
  EXPECT_TRUE(out[0] == Value::Text(FromUtf8("Gr\xc5\xbc" "egorz \xff!")));
  EXPECT_TRUE(out[1] == Value::Blob(std::string_view("\x00\x80", 2)));
  EXPECT_TRUE(out[2].IsNull());
  EXPECT_TRUE(out[2].s.empty());
  EXPECT_TRUE(out[3] == Value::Int(VKind::I2, -5));
  EXPECT_TRUE(out[4] == Value::Real(VKind::R4, 2.5));

  packed.Truncate(1);
  EXPECT_EQ(packed.Count(), 1u);
  packed.Decode(0, values.size(), out);
  EXPECT_TRUE(out[9] == values[9]);
  packed.Clear();
  EXPECT_EQ(packed.Count(), 0u);
}

TEST(PackedRows, StoredDateFormIsReadLikeEveryOtherForm) {
  auto p = ParseDateText("2024-05-06 07:08:09");
  ASSERT_TRUE(p);
  EXPECT_EQ(p->year, 2024);
  EXPECT_EQ(p->month, 5);
  EXPECT_EQ(p->day, 6);
  EXPECT_EQ(p->hour, 7);
  EXPECT_EQ(p->minute, 8);
  EXPECT_EQ(p->second, 9);
  EXPECT_FALSE(ParseDateText("2024-02-30 10:00:00"));
  EXPECT_FALSE(ParseDateText("2024-05-06 24:00:00"));
  EXPECT_FALSE(ParseDateText("2024-05-0a 07:08:09"));
  EXPECT_EQ(OleDateFromText("2024-05-06 07:08:09"), OleDateFromText(" 2024-05-06T07:08:09 "));
  std::string text;
  DateTextFromOle(*OleDateFromText("2024-05-06 07:08:09.250"), text);
  EXPECT_EQ(text, "2024-05-06 07:08:09.250");
  DateTextFromOle(1e300, text);
  EXPECT_EQ(text, "");
}

TEST_F(PackedDbTest, PackedResultsHoldTheSameValuesAsReadOneByOne) {
  Insert({Value::Int(VKind::I4, 1), Value::Text(L"Łódź"), Value::Int(VKind::I4, 5), Value::Int(VKind::Cy, 12345),
          Value::Real(VKind::Date, 45418.5), Value::Int(VKind::Bool, 1), Value::Real(VKind::R8, 0.1),
          Value::Blob(std::string("\x00\x01\xfe", 3)), Value::Text(std::wstring(70000, L'ą'))});
  Insert({Value::Int(VKind::I4, 2), Value::Null(), Value::Null(), Value::Null(), Value::Null(), Value::Null(),
          Value::Null(), Value::Null(), Value::Null()});
  // Values the declared types do not expect: text in a date and in a bit column, a number
  // too large for int, a date written as a number.
  db_->Execute(L"INSERT INTO item (id, name, qty, added, active, ratio) VALUES (3, ?, 5000000000, 'not a date', "
               L"'true', 'x')",
               {Value::Text(std::wstring(L"a\0b", 3))});
  db_->Execute(L"INSERT INTO item (id, added, active) VALUES (4, 20240105, 'maybe')");
  // Flags stored as other numbers (and as bytes) than 0 and 1.
  db_->Execute(L"INSERT INTO item (id, active) VALUES (5, 2), (6, 0.0), (7, -0.5), (8, x'01')");

  const wchar_t* sql = L"SELECT * FROM item ORDER BY id";
  ExecResult plain = db_->Execute(sql);
  ExecResult packed = db_->Execute(sql, {}, StatementOrigin::Command, true);
  ASSERT_FALSE(plain.result.isPacked);
  ASSERT_TRUE(packed.result.isPacked);
  ASSERT_EQ(packed.result.RowCount(), plain.result.rows.size());
  std::vector<Value> row;
  for (std::size_t r = 0; r < plain.result.rows.size(); ++r) {
    packed.result.packed.Decode(r, packed.result.columns.size(), row);
    ASSERT_EQ(row.size(), plain.result.rows[r].size());
    for (std::size_t c = 0; c < row.size(); ++c)
      EXPECT_TRUE(row[c] == plain.result.rows[r][c]) << "row " << r << " column " << c;
  }
  EXPECT_EQ(packed.result.packed.Count(), 8u);
  packed.result.Truncate(2);
  EXPECT_EQ(packed.result.RowCount(), 2u);

  // Columns typed by their values (an expression whose type the statement does not say), and
  // output markers, are read value by value.
  EXPECT_FALSE(db_->Execute(L"SELECT id, qty > 2 FROM item", {}, StatementOrigin::Command, true).result.isPacked);
  ExecResult out =
      db_->Execute(L"SELECT ?=id FROM item WHERE id = ?", {Value::Null(), Value::Int(VKind::I4, 4)},
                   StatementOrigin::Command, true);
  ASSERT_EQ(out.outputs.size(), 1u);
  EXPECT_EQ(out.outputs[0].second.i, 4);
}

TEST_F(PackedDbTest, PackedRowsEditFilterSortAndShareWithClones) {
  for (int i = 1; i <= 5; ++i)
    Insert({Value::Int(VKind::I4, i), Value::Text(L"n" + std::to_wstring(i)), Value::Int(VKind::I4, 10 - i),
            Value::Null(), Value::Null(), Value::Null(), Value::Null(), Value::Null(), Value::Null()});
  auto rs = OpenPacked(L"SELECT id, name, qty FROM item ORDER BY id");
  auto clone = rs->Clone(LockMode::ReadOnly);
  ASSERT_EQ(rs->RecordCount(), 5);
  rs->MoveNext();
  EXPECT_EQ(rs->Get(1).s, L"n2");
  EXPECT_EQ(rs->Original(2).i, 8);
  clone->MoveLast();
  EXPECT_EQ(clone->Get(1).s, L"n5");

  // Editing unpacks the rows; the clone reads the edited shared row.
  rs->Put(1, Value::Text(L"changed"));
  rs->Update();
  EXPECT_EQ(rs->Original(1).s, L"n2");
  clone->MoveFirst();
  clone->MoveNext();
  EXPECT_EQ(clone->Get(1).s, L"changed");
  rs->UpdateBatch(adAffectAll);
  EXPECT_EQ(db_->Execute(L"SELECT name FROM item WHERE id = 2").result.rows.at(0).at(0).s, L"changed");

  auto sorted = OpenPacked(L"SELECT id, name, qty FROM item");
  sorted->SetSort(L"qty");
  EXPECT_EQ(sorted->Get(0).i, 5);
  sorted->SetFilter(L"name LIKE 'n%' AND qty > 6");
  EXPECT_EQ(sorted->RecordCount(), 2);  // ids 3 and 1 (2 was renamed)
  EXPECT_EQ(sorted->Get(0).i, 3);

  auto found = OpenPacked(L"SELECT id, name, qty FROM item ORDER BY id");
  found->Find(L"name = 'n4'", 0, adSearchForward, std::nullopt);
  ASSERT_FALSE(found->Eof());
  EXPECT_EQ(found->Get(0).i, 4);
  found->Delete(adAffectCurrent);
  found->AddNew();
  found->Put(0, Value::Int(VKind::I4, 9));
  found->Update();
  found->UpdateBatch(adAffectAll);
  EXPECT_EQ(db_->Execute(L"SELECT COUNT(*) FROM item WHERE id IN (4, 9)").result.rows.at(0).at(0).i, 1);
}

TEST_F(PackedDbTest, BoundTextsNeverLeakIntoLaterRunsOrOtherStatements) {
  const wchar_t* insert = L"INSERT INTO item (id, name, memo, pic) VALUES (?, ?, ?, ?)";
  const wchar_t* update = L"UPDATE item SET name = ? WHERE id = ?";
  std::wstring big(100000, L'ż');
  db_->Execute(insert, {Value::Int(VKind::I4, 1), Value::Text(L"first"), Value::Text(big),
                        Value::Blob(std::string("\x00z", 2))});
  db_->Execute(update, {Value::Text(L"upd"), Value::Int(VKind::I4, 1)});
  // NULLs where the run before bound texts and a blob.
  db_->Execute(insert, {Value::Int(VKind::I4, 2), Value::Text(L"second"), Value::Null(), Value::Null()});
  db_->Execute(insert, {Value::Int(VKind::I4, 3), Value::Null(), Value::Null(), Value::Null()});
  auto rows = db_->Execute(L"SELECT id, name, memo, pic FROM item ORDER BY id").result.rows;
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0][1].s, L"upd");
  EXPECT_EQ(rows[0][2].s, big);
  EXPECT_EQ(rows[0][3].Bytes(), std::string("\x00z", 2));
  EXPECT_EQ(rows[1][1].s, L"second");
  EXPECT_TRUE(rows[1][2].IsNull());
  EXPECT_TRUE(rows[1][3].IsNull());
  EXPECT_TRUE(rows[2][1].IsNull());

  // A failing run leaves nothing behind for the next one.
  EXPECT_THROW(db_->Execute(insert, {Value::Int(VKind::I4, 1), Value::Text(L"duplicate"), Value::Text(L"m"),
                                     Value::Blob("b")}),
               DbException);
  db_->Execute(insert, {Value::Int(VKind::I4, 4), Value::Null(), Value::Text(L"memo"), Value::Null()});
  auto last = db_->Execute(L"SELECT name, memo FROM item WHERE id = 4").result.rows.at(0);
  EXPECT_TRUE(last[0].IsNull());
  EXPECT_EQ(last[1].s, L"memo");

  // Rows written back from a cursor bind through the same buffers.
  ExecResult r = db_->Execute(L"SELECT id, name FROM item ORDER BY id", {}, StatementOrigin::Command, true);
  auto rs = Rowset::FromResult(std::move(r.result));
  rs->db = db_;
  rs->lock = LockMode::Immediate;
  rs->Put(1, Value::Text(L"written"));
  rs->Update();
  rs->MoveNext();
  rs->Put(1, Value::Text(L"also"));
  rs->Update();
  auto names = db_->Execute(L"SELECT name FROM item ORDER BY id").result.rows;
  EXPECT_EQ(names[0][0].s, L"written");
  EXPECT_EQ(names[1][0].s, L"also");
  EXPECT_TRUE(names[2][0].IsNull());
}

TEST(PackedRows, RowsStayWholeAcrossBlocksAndTruncatingDropsTheBlocksAfter) {
  // Rows that do not fit the room left move to the next block whole: long texts, a row wider
  // than a block, and enough rows for the row index to go past its small chunks.
  PackedRows packed;
  const std::size_t rows = 40000;
  for (std::size_t r = 0; r < rows; ++r) {
    packed.BeginRow();
    packed.AddNumber(VKind::I4, static_cast<std::int64_t>(r));
    if (r % 997 == 0) packed.Add(Value::Text(std::wstring(3000 + r % 5000, static_cast<wchar_t>(L'a' + r % 26))));
    else packed.AddUtf8Text("wiersz " + std::to_string(r));
    packed.AddNull();
  }
  packed.BeginRow();  // one row larger than any block grown so far
  packed.AddBytes(std::string(3u << 20, '\x7f'));
  ASSERT_EQ(packed.Count(), rows + 1);
  std::vector<Value> out;
  for (std::size_t r : {std::size_t{0}, std::size_t{511}, std::size_t{512}, std::size_t{4607}, std::size_t{4608},
                        std::size_t{37375}, std::size_t{37376}, rows - 1}) {
    packed.Decode(r, 3, out);
    EXPECT_EQ(out[0].i, static_cast<std::int64_t>(r));
    if (r % 997 == 0) EXPECT_EQ(out[1].s, std::wstring(3000 + r % 5000, static_cast<wchar_t>(L'a' + r % 26)));
    else EXPECT_EQ(out[1].s, L"wiersz " + std::to_wstring(r));
    EXPECT_TRUE(out[2].IsNull());
  }
  packed.Decode(rows, 1, out);
  EXPECT_EQ(out[0].s.size(), 3u << 20);

  packed.Truncate(600);
  EXPECT_EQ(packed.Count(), 600u);
  packed.BeginRow();  // adding after a cut reuses the room of the rows cut off
  packed.AddUtf8Text("nowy");
  packed.Decode(600, 1, out);
  EXPECT_EQ(out[0].s, L"nowy");
  packed.Decode(599, 3, out);
  EXPECT_EQ(out[1].s, L"wiersz 599");
}

TEST(BlockMemory, LargeBlocksAreWholeUnitsAndSmallOnesExact) {
  EXPECT_EQ(BlockCapacity(100), 100u);
  EXPECT_EQ(BlockCapacity(kLargeBlock), std::size_t{2} << 20);
  EXPECT_EQ(BlockCapacity((std::size_t{2} << 20) + 1), std::size_t{4} << 20);
  void* big = AllocateBlock(kLargeBlock + 10);
  ASSERT_NE(big, nullptr);
  EXPECT_EQ(reinterpret_cast<std::uintptr_t>(big) % (std::size_t{2} << 20), 0u);
  std::memset(big, 1, BlockCapacity(kLargeBlock + 10));  // all of it is usable
  FreeBlock(big, kLargeBlock + 10);
  void* small = AllocateBlock(0);
  ASSERT_NE(small, nullptr);
  FreeBlock(small, 0);
}

TEST_F(PackedDbTest, ManyRowsReadPackedMatchTheValuesInserted) {
  db_->Begin();
  for (int i = 1; i <= 40000; ++i)
    Insert({Value::Int(VKind::I4, i), Value::Text(L"poz " + std::to_wstring(i)), Value::Int(VKind::I4, i % 7),
            Value::Int(VKind::Cy, i * 2500), Value::Real(VKind::Date, 45418.5), Value::Null(), Value::Null(),
            Value::Null(), Value::Null()});
  db_->Commit();
  auto rs = OpenPacked(L"SELECT id, name, qty, price, added FROM item ORDER BY id");
  ASSERT_EQ(rs->RecordCount(), 40000);
  std::int64_t sum = 0;
  std::size_t names = 0;
  for (rs->MoveFirst(); !rs->Eof(); rs->MoveNext()) {
    sum += rs->Get(0).i + rs->Get(3).i;
    names += rs->Get(1).s.size();
    ASSERT_EQ(rs->Get(4).kind, VKind::Date);
  }
  EXPECT_EQ(sum, 40000LL * 40001 / 2 * 2501);
  EXPECT_GT(names, 40000u * 5);
  rs->SetAbsolutePosition(38000);
  EXPECT_EQ(rs->Get(1).s, L"poz 38000");
  rs->SetBookmark(5.0);
  EXPECT_EQ(rs->Get(0).i, 5);
}

TEST_F(PackedDbTest, AnUndoneWriteMakesTheRowsPendingAgainAndTheNextBatchWritesThem) {
  db_->Execute(L"CREATE TABLE counted (n INTEGER PRIMARY KEY, t nvarchar(10) NULL)");
  for (int i = 1; i <= 3; ++i)
    Insert({Value::Int(VKind::I4, i), Value::Text(L"n" + std::to_wstring(i)), Value::Null(), Value::Null(),
            Value::Null(), Value::Null(), Value::Null(), Value::Null(), Value::Null()});
  auto rs = OpenPacked(L"SELECT id, name FROM item ORDER BY id");
  rs->Put(1, Value::Text(L"zmiana"));  // row 1 changed
  rs->MoveNext();
  rs->Delete(adAffectCurrent);  // row 2 deleted
  rs->AddNew();                 // row 4 added, edit still open
  rs->Put(0, Value::Int(VKind::I4, -1));
  auto log = rs->BeginUndo();
  // What a writer does on the way: a key given to the new row, the batch, a later addition.
  auto clone = rs->Clone(LockMode::Batch);
  clone->MoveLast();
  clone->Put(0, Value::Int(VKind::I4, 4));
  db_->Begin();
  clone->UpdateBatch(adAffectAll);
  db_->Rollback();
  EXPECT_EQ(db_->Execute(L"SELECT COUNT(*) FROM item WHERE name = 'zmiana' OR id = 4").result.rows.at(0).at(0).i, 0);
  rs->AddNew();
  rs->Put(0, Value::Int(VKind::I4, 5));
  rs->Update();
  log->recording = false;
  rs->MoveFirst();
  rs->Put(1, Value::Text(L"po logu"));  // after the log stopped: not undone
  rs->Update();
  rs->Undo(*log);
  EXPECT_EQ(rs->RecordCount(), 3);  // 1, 3 and the new one
  rs->MoveLast();
  EXPECT_EQ(rs->Get(0).i, -1);  // its temporary key is back
  rs->Put(0, Value::Int(VKind::I4, 4));
  rs->UpdateBatch(adAffectAll);
  EXPECT_EQ(db_->Execute(L"SELECT COUNT(*) FROM item").result.rows.at(0).at(0).i, 3);
  EXPECT_EQ(db_->Execute(L"SELECT COUNT(*) FROM item WHERE id IN (2, 5)").result.rows.at(0).at(0).i, 0);
  EXPECT_EQ(db_->Execute(L"SELECT COUNT(*) FROM item WHERE id = 4").result.rows.at(0).at(0).i, 1);
  EXPECT_EQ(db_->Execute(L"SELECT name FROM item WHERE id = 1").result.rows.at(0).at(0).s, L"po logu");

  // Numbers the database gives new rows are undone too; a batch that fails leaves no mark.
  ExecResult r = db_->Execute(L"SELECT n, t FROM counted", {}, StatementOrigin::Command, true);
  auto numbered = Rowset::FromResult(std::move(r.result));
  numbered->db = db_;
  numbered->AddNew();
  numbered->Put(1, Value::Text(L"a"));
  auto second = numbered->BeginUndo();
  db_->Begin();
  numbered->UpdateBatch(adAffectAll);
  EXPECT_FALSE(numbered->Get(0).IsNull());
  db_->Rollback();
  numbered->Undo(*second);
  EXPECT_TRUE(numbered->Get(0).IsNull());
  numbered->UpdateBatch(adAffectAll);
  EXPECT_EQ(db_->Execute(L"SELECT COUNT(*) FROM counted").result.rows.at(0).at(0).i, 1);

  auto other = OpenPacked(L"SELECT id, name FROM item");
  EXPECT_THROW(other->Undo(*log), DbException);
}
