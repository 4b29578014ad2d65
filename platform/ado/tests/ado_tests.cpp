// The object model as the code calls it: connections, commands with output parameters,
// client-side recordsets (editing, detaching, batch updates, filter, find, sort, clone),
// fabricated exchange containers, errors and streams.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <fstream>
#include <iterator>

#include "platform/ado/ado.h"
#include "platform/base/utf8.h"
#include "testing/support/temp_folder.h"
#include "testing/support/test_database.h"
#include "platform/registry/registry.h"

namespace {

HRESULT HrOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const _com_error& e) {
    return e.Error();
  }
  return S_OK;
}

std::wstring DescriptionOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const _com_error& e) {
    return std::wstring(static_cast<const wchar_t*>(e.Description()) ? static_cast<const wchar_t*>(e.Description()) : L"");
  }
  return L"";
}

class AdoTest : public ::testing::Test {
 protected:
  void SetUp() override {
    source_ = platform::utf8::ToWide(folder_.Database("p.db"));
    conn_.CreateInstance(__uuidof(Connection));
    ASSERT_TRUE(conn_);
    conn_->Open(_bstr_t((L"Data Source=" + source_).c_str()));
    conn_->Execute(L"CREATE TABLE au__Auction (au_Id int IDENTITY(1,1) PRIMARY KEY, au_Number varchar(20) NOT NULL, "
                   L"au_Title nvarchar(10) NULL, au_Price money NULL, au_End datetime NULL, au_Sold bit NULL, "
                   L"au_Qty int NULL)",
                   nullptr, adCmdText | adExecuteNoRecords);
    conn_->Execute(L"INSERT INTO au__Auction (au_Number, au_Title, au_Price, au_End, au_Sold, au_Qty) VALUES "
                   L"('A1', N'Łódka', 12.5, '2024-03-01 12:00:00', 1, 3), ('A2', 'stamp', 0.5, NULL, 0, 7), "
                   L"('A3', 'Coin', NULL, '2023-12-24', 0, 1)");
  }
  void TearDown() override { conn_ = nullptr; }
  _RecordsetPtr OpenClient(const wchar_t* sql, LockTypeEnum lock = adLockBatchOptimistic) {
    _RecordsetPtr rs(__uuidof(Recordset));
    rs->CursorLocation = adUseClient;
    rs->Open(sql, _variant_t(static_cast<IDispatch*>(conn_.GetInterfacePtr())), adOpenStatic, lock, adCmdText);
    return rs;
  }
  LONG Count(const wchar_t* where) {
    _RecordsetPtr rs = conn_->Execute((std::wstring(L"SELECT COUNT(*) FROM au__Auction WHERE ") + where).c_str());
    return rs->Fields->Item[0L]->Value;
  }
  testtemp::TempFolder folder_{"vx_ado_obj"};
  std::wstring source_;  // the database's file or address
  _ConnectionPtr conn_;
};

_RecordsetPtr Container() {
  // The shape of an exchange container: fields appended, then opened with no source.
  _RecordsetPtr rs;
  EXPECT_EQ(rs.CreateInstance(__uuidof(Recordset), nullptr, 0x17), S_OK);
  rs->Fields->Append(L"id", adInteger, 4, static_cast<FieldAttributeEnum>(100));
  rs->Fields->Append(L"name", adVarWChar, 5, static_cast<FieldAttributeEnum>(100));
  rs->Fields->Append(L"note", adLongVarWChar, 16, static_cast<FieldAttributeEnum>(100));
  rs->Fields->Append(L"price", adCurrency, 8, static_cast<FieldAttributeEnum>(100));
  rs->Fields->Append(L"date", adDate, 8, static_cast<FieldAttributeEnum>(100));
  rs->Fields->Append(L"flag", adBoolean, 1, static_cast<FieldAttributeEnum>(4));
  rs->Fields->Append(L"cat_id", adInteger, 4, static_cast<FieldAttributeEnum>(100));
  rs->Open(vtMissing, vtMissing, adOpenUnspecified, adLockUnspecified, 0);
  return rs;
}

void AddRow(const _RecordsetPtr& rs, int id, const wchar_t* name, const _variant_t& cat = _variant_t()) {
  rs->AddNew();
  rs->Fields->Item[L"id"]->Value = _variant_t(id);
  rs->Fields->Item[L"name"]->Value = name;
  if (cat.vt != VT_EMPTY) rs->Fields->Item[L"cat_id"]->Value = cat;
  rs->Update();
}

std::vector<int> Ids(const _RecordsetPtr& rs) {
  std::vector<int> ids;
  if (rs->RecordCount == 0) return ids;
  rs->MoveFirst();
  while (!rs->adoEOF) {
    ids.push_back(rs->Fields->Item[L"id"]->Value);
    rs->MoveNext();
  }
  return ids;
}

}  // namespace

TEST(AdoClasses, CreatableByClassIdWithDispatchInterfaces) {
  for (const CLSID* clsid : {&__uuidof(Connection), &__uuidof(Command), &__uuidof(Recordset), &__uuidof(Stream)}) {
    IDispatchPtr obj;
    EXPECT_EQ(obj.CreateInstance(*clsid), S_OK);
    EXPECT_TRUE(obj);
  }
  _ConnectionPtr c(__uuidof(Connection));
  EXPECT_EQ(c->State, adStateClosed);
  EXPECT_EQ(HrOf([&] { c->Open(L"Provider=SQLOLEDB;Data Source=x"); }), adErrProviderNotFound);
  EXPECT_EQ(HrOf([&] { c->Execute(L"SELECT 1"); }), adErrObjectClosed);
}

TEST_F(AdoTest, ValuesComeBackAsTheVariantTypesOfTheirColumns) {
  _RecordsetPtr rs = conn_->Execute(L"SELECT * FROM au__Auction ORDER BY au_Id");
  FieldsPtr f = rs->Fields;
  EXPECT_EQ(f->Count, 7);
  EXPECT_EQ(f->Item[L"AU_ID"]->GetValue().vt, VT_I4);
  EXPECT_EQ(f->Item[L"au_Number"]->GetValue().vt, VT_BSTR);
  EXPECT_EQ(f->Item[L"au_Price"]->GetValue().vt, VT_CY);
  EXPECT_EQ(f->Item[L"au_Price"]->GetValue().cyVal.int64, 125000);
  EXPECT_EQ(f->Item[L"au_End"]->GetValue().vt, VT_DATE);
  EXPECT_EQ(f->Item[L"au_Sold"]->GetValue().vt, VT_BOOL);
  EXPECT_EQ(f->Item[L"au_Sold"]->GetValue().boolVal, VARIANT_TRUE);
  EXPECT_EQ(f->Item[L"au_Title"]->Type, adVarWChar);
  EXPECT_EQ(f->Item[L"au_Title"]->DefinedSize, 10);
  EXPECT_EQ(std::wstring(static_cast<const wchar_t*>(_bstr_t(f->Item[L"au_Title"]->Value))), L"Łódka");
  EXPECT_EQ(f->Item[L"au_Id"]->Attributes & adFldKeyColumn, adFldKeyColumn);
  rs->MoveNext();
  EXPECT_EQ(f->Item[L"au_End"]->GetValue().vt, VT_NULL);
  LONG qty = f->Item[L"au_Qty"]->Value;
  EXPECT_EQ(qty, 7);
  EXPECT_EQ(static_cast<LONG>(rs->GetCollect(L"au_Qty")), 7);
  EXPECT_EQ(HrOf([&] { f->Item[L"missing"]; }), adErrItemNotFound);
  rs->MoveLast();
  rs->MoveNext();
  EXPECT_TRUE(rs->adoEOF);
  EXPECT_EQ(HrOf([&] { f->Item[L"au_Id"]->GetValue(); }), adErrNoCurrentRecord);
  rs->Close();
  EXPECT_EQ(HrOf([&] { rs->MoveFirst(); }), adErrObjectClosed);
}

TEST_F(AdoTest, ComputedColumnsComeBackWithTheServersTypes) {
  _RecordsetPtr rs = conn_->Execute(
      L"SELECT CONVERT(bit, au_Qty) AS b, CAST(au_Sold AS bit) AS c, CONVERT(datetime, '20240105') AS d, "
      L"GETDATE() AS now, (SELECT MAX(au_End) FROM au__Auction) AS last, "
      L"(SELECT SUM(au_Price * au_Qty) FROM au__Auction WHERE au_Id = 1) AS total, CONVERT(money, au_Qty) AS m, "
      L"(SELECT COUNT(*) FROM au__Auction) AS n, ISNULL(au_End, GETDATE()) AS ends, au_Qty > 2 AS big "
      L"FROM au__Auction WHERE au_Id = 1");
  FieldsPtr f = rs->Fields;
  EXPECT_EQ(f->Item[L"b"]->GetValue().vt, VT_BOOL);
  EXPECT_EQ(f->Item[L"b"]->GetValue().boolVal, VARIANT_TRUE);
  EXPECT_EQ(f->Item[L"c"]->GetValue().vt, VT_BOOL);
  EXPECT_EQ(f->Item[L"d"]->GetValue().vt, VT_DATE);
  EXPECT_EQ(f->Item[L"d"]->GetValue().date, 45296.0);  // 5 January 2024
  EXPECT_EQ(f->Item[L"now"]->GetValue().vt, VT_DATE);
  EXPECT_EQ(f->Item[L"last"]->GetValue().vt, VT_DATE);
  EXPECT_EQ(f->Item[L"total"]->GetValue().vt, VT_CY);
  EXPECT_EQ(f->Item[L"total"]->GetValue().cyVal.int64, 375000);  // 12.5 x 3
  EXPECT_EQ(f->Item[L"m"]->GetValue().vt, VT_CY);
  EXPECT_EQ(f->Item[L"n"]->GetValue().vt, VT_I4);
  EXPECT_EQ(f->Item[L"ends"]->GetValue().vt, VT_DATE);
  // An expression whose type the statement does not say is typed by its values, as before.
  EXPECT_EQ(f->Item[L"big"]->GetValue().vt, VT_I4);
}

TEST_F(AdoTest, ViewColumnsThatComputeFlagsDatesAndMoneyKeepTheirTypesWithOrWithoutRows) {
  conn_->Execute(L"CREATE VIEW vw_Sold AS SELECT au_Id, CAST(CASE WHEN au_Qty > 2 THEN 1 ELSE 0 END AS bit) AS many, "
                 L"ISNULL(au_End, CONVERT(datetime, '2000-01-01')) AS ends, au_Price * au_Qty AS worth, "
                 L"a.au_Title AS title FROM au__Auction AS a",
                 nullptr, adCmdText | adExecuteNoRecords);
  for (const wchar_t* where : {L"au_Id = 1", L"au_Id = 0"}) {
    SCOPED_TRACE(where);
    for (const wchar_t* select : {L"SELECT * FROM vw_Sold WHERE ", L"SELECT v.many, v.ends, v.worth FROM vw_Sold v WHERE "}) {
      _RecordsetPtr rs = OpenClient((std::wstring(select) + where).c_str());
      FieldsPtr f = rs->Fields;
      EXPECT_EQ(f->Item[L"many"]->Type, adBoolean);
      EXPECT_EQ(f->Item[L"ends"]->Type, adDBTimeStamp);
      EXPECT_EQ(f->Item[L"worth"]->Type, adCurrency);
      if (rs->adoEOF) continue;
      EXPECT_EQ(f->Item[L"many"]->GetValue().vt, VT_BOOL);
      EXPECT_EQ(f->Item[L"many"]->GetValue().boolVal, VARIANT_TRUE);
      EXPECT_EQ(f->Item[L"ends"]->GetValue().vt, VT_DATE);
      EXPECT_EQ(f->Item[L"worth"]->GetValue().cyVal.int64, 375000);
    }
  }
  // A view defined again is read with its new types.
  conn_->Execute(L"DROP VIEW vw_Sold", nullptr, adCmdText | adExecuteNoRecords);
  conn_->Execute(L"CREATE VIEW vw_Sold AS SELECT au_Id, CONVERT(int, au_Sold) AS many FROM au__Auction", nullptr,
                 adCmdText | adExecuteNoRecords);
  _RecordsetPtr rs = OpenClient(L"SELECT * FROM vw_Sold WHERE au_Id = 1");
  EXPECT_EQ(rs->Fields->Item[L"many"]->Type, adInteger);
  EXPECT_EQ(rs->Fields->Item[L"many"]->GetValue().vt, VT_I4);
}

TEST_F(AdoTest, FailuresCarryTheirCodesDescriptionsAndErrorsCollection) {
  conn_->Execute(L"CREATE TABLE kd_blokada (obid int, obextra int, obtype int, workstation varchar(15), "
                 L"username varchar(50), CONSTRAINT pk PRIMARY KEY (obtype, obid, obextra))");
  const wchar_t* lock = L"INSERT INTO kd_blokada (obid, obextra, obtype, workstation, username) VALUES (1, 0, 726, 'WS', 'jan')";
  conn_->Execute(lock, nullptr, adCmdText | adExecuteNoRecords);
  EXPECT_EQ(HrOf([&] { conn_->Execute(lock, nullptr, adCmdText | adExecuteNoRecords); }), DB_E_ERRORSINCOMMAND);
  EXPECT_NE(DescriptionOf([&] { conn_->Execute(lock, nullptr, 0x81); }).find(L"UNIQUE"), std::wstring::npos);
  ErrorsPtr errors = conn_->Errors;
  ASSERT_EQ(errors->Count, 1);
  EXPECT_EQ(errors->Item[0L]->Number, DB_E_ERRORSINCOMMAND);
  EXPECT_EQ(std::wstring(static_cast<const wchar_t*>(_bstr_t(errors->Item[0L]->SQLState))), L"23000");
  EXPECT_NE(errors->Item[0L]->NativeError, 0);
  EXPECT_EQ(HrOf([&] { conn_->Execute(L"SELECT * FROM nowhere"); }), DB_E_NOTABLE);
  EXPECT_EQ(HrOf([&] { conn_->Execute(L"SELEKT 1"); }), DB_E_ERRORSINCOMMAND);
  // The same duplicate written back from an updatable recordset is an integrity violation.
  _RecordsetPtr rs = OpenClient(L"SELECT * FROM kd_blokada", adLockOptimistic);
  rs->AddNew();
  rs->Fields->Item[L"obid"]->Value = _variant_t(1);
  rs->Fields->Item[L"obextra"]->Value = _variant_t(0);
  rs->Fields->Item[L"obtype"]->Value = _variant_t(726);
  EXPECT_EQ(HrOf([&] { rs->Update(); }), DB_E_INTEGRITYVIOLATION);
  rs->CancelUpdate();
  EXPECT_EQ(rs->RecordCount, 1);
}

TEST_F(AdoTest, CommandParametersAndOutputMarker) {
  _CommandPtr cmd(__uuidof(Command));
  cmd->ActiveConnection = conn_;
  cmd->PutRefActiveConnection(conn_);
  cmd->CommandText = L"SELECT ?=CONVERT( int, COUNT(*)) FROM au__Auction WHERE au_Qty > ? AND au_Number <> ?";
  cmd->CommandType = adCmdText;
  cmd->Parameters->Append(cmd->CreateParameter(L"PARAM0", adInteger, adParamOutput, 4));
  cmd->Parameters->Append(cmd->CreateParameter(L"PARAM1", adInteger, adParamInput, 4, _variant_t(2)));
  cmd->Parameters->Append(cmd->CreateParameter(L"PARAM2", adVarWChar, adParamInput, 2, L"A2xxx"));  // cut to "A2"
  cmd->Execute(nullptr, nullptr, adCmdText | adExecuteNoRecords);
  _variant_t out = cmd->Parameters->Item[L"param0"]->Value;
  EXPECT_EQ(out.vt, VT_I4);
  EXPECT_EQ(out.lVal, 1);
  // Parameters bind values: quotes in text need no doubling and cannot break the statement.
  _CommandPtr ins(__uuidof(Command));
  ins->PutRefActiveConnection(conn_);
  ins->CommandText = L"INSERT INTO au__Auction (au_Number, au_Title) VALUES (?, ?)";
  ins->Parameters->Append(ins->CreateParameter(L"a", adVarChar, adParamInput, 20, L"O'Brien"));
  ins->Parameters->Append(ins->CreateParameter(L"b", adVarWChar, adParamInput, 10, L"x'); DROP TABLE au__Auction;--"));
  _variant_t affected;
  _RecordsetPtr none = ins->Execute(&affected, nullptr, adCmdText);
  EXPECT_EQ(affected.lVal, 1);
  ASSERT_TRUE(none);
  EXPECT_EQ(none->State, adStateClosed);
  EXPECT_EQ(Count(L"au_Number = 'O''Brien' AND au_Title = 'x''); DROP '"), 1);
  _CommandPtr orphan(__uuidof(Command));
  orphan->CommandText = L"SELECT 1";
  EXPECT_EQ(HrOf([&] { orphan->Execute(); }), adErrInvalidConnection);
}

TEST_F(AdoTest, DetachedBatchEditsAreWrittenBackByKey) {
  _RecordsetPtr rs = OpenClient(L"SELECT au_Id, au_Number, au_Title, au_Qty FROM au__Auction ORDER BY au_Id");
  rs->PutRefActiveConnection(nullptr);
  EXPECT_EQ(rs->GetActiveConnection().pdispVal, nullptr);
  rs->MoveFirst();
  rs->Fields->Item[L"au_Title"]->Value = L"Łódź-and-more";  // nvarchar(10): cut to 10 characters
  EXPECT_EQ(std::wstring(static_cast<const wchar_t*>(_bstr_t(rs->Fields->Item[L"au_Title"]->Value))), L"Łódź-and-m");
  EXPECT_EQ(std::wstring(static_cast<const wchar_t*>(_bstr_t(rs->Fields->Item[L"au_Title"]->OriginalValue))), L"Łódka");
  rs->Update();
  rs->MoveNext();
  rs->Delete(adAffectCurrent);
  rs->AddNew();
  rs->Fields->Item[L"au_Number"]->Value = L"A9";
  rs->Fields->Item[L"au_Qty"]->Value = _variant_t(9);
  rs->Update();
  EXPECT_EQ(rs->RecordCount, 3);
  EXPECT_EQ(Count(L"au_Number = 'A9'"), 0);  // nothing written while detached
  rs->Filter = static_cast<long>(adFilterPendingRecords);
  EXPECT_EQ(rs->RecordCount, 3);  // modified, deleted and new
  rs->Filter = static_cast<long>(adFilterNone);
  EXPECT_EQ(HrOf([&] { rs->UpdateBatch(adAffectAll); }), adErrInvalidConnection);
  rs->PutRefActiveConnection(conn_);
  rs->UpdateBatch(adAffectAll);
  EXPECT_EQ(Count(L"au_Title = N'Łódź-and-m'"), 1);
  EXPECT_EQ(Count(L"au_Number = 'A2'"), 0);
  EXPECT_EQ(Count(L"au_Number = 'A9' AND au_Qty = 9"), 1);
  rs->MoveLast();
  EXPECT_EQ(rs->GetFields()->GetItem(L"au_Id")->GetValue().lVal, 4);  // the new key came back
  EXPECT_EQ(rs->Status, adRecUnmodified);
}

TEST_F(AdoTest, BatchUpdateIsAllOrNothingAndDetectsChangedRows) {
  _RecordsetPtr rs = OpenClient(L"SELECT * FROM au__Auction ORDER BY au_Id");
  rs->MoveFirst();
  rs->Fields->Item[L"au_Qty"]->Value = _variant_t(100);
  rs->MoveNext();
  rs->Fields->Item[L"au_Qty"]->Value = _variant_t(200);
  rs->Update();
  conn_->Execute(L"DELETE FROM au__Auction WHERE au_Number = 'A2'");  // another workstation
  EXPECT_EQ(HrOf([&] { rs->UpdateBatch(adAffectAll); }), DB_E_CONCURRENCYVIOLATION);
  EXPECT_EQ(Count(L"au_Qty = 100"), 0);  // the first row was rolled back with the batch
  rs->CancelBatch(adAffectAll);
  rs->MoveFirst();
  EXPECT_EQ(static_cast<LONG>(rs->Fields->Item[L"au_Qty"]->Value), 3);
}

TEST_F(AdoTest, ReadOnlyRecordsetsRefuseEditing) {
  _RecordsetPtr rs = OpenClient(L"SELECT * FROM au__Auction", adLockReadOnly);
  EXPECT_EQ(HrOf([&] { rs->AddNew(); }), adErrFeatureNotAvailable);
  EXPECT_EQ(HrOf([&] { rs->Fields->Item[L"au_Qty"]->Value = _variant_t(1); }), adErrFeatureNotAvailable);
  EXPECT_FALSE(rs->Supports(adUpdateBatch));
  EXPECT_TRUE(rs->Supports(adBookmark));
  _RecordsetPtr imm = OpenClient(L"SELECT * FROM au__Auction WHERE au_Number = 'A3'", adLockOptimistic);
  imm->Fields->Item[L"au_Qty"]->Value = _variant_t(42);
  imm->Update();  // written at once
  EXPECT_EQ(Count(L"au_Qty = 42"), 1);
  imm->Delete(adAffectCurrent);
  EXPECT_EQ(Count(L"au_Number = 'A3'"), 0);
}

TEST(AdoContainer, FabricatedRecordsetHoldsTypedValuesAndCutsText) {
  _RecordsetPtr rs = Container();
  EXPECT_EQ(rs->State, adStateOpen);
  EXPECT_EQ(rs->RecordCount, 0);
  EXPECT_TRUE(rs->adoEOF);
  EXPECT_TRUE(rs->BOF);
  EXPECT_EQ(rs->Fields->Item[L"flag"]->Attributes, 4);
  EXPECT_EQ(rs->Fields->Item[L"name"]->DefinedSize, 5);
  rs->Fields->Item[L"id"]->Properties->Item[L"Optimize"]->Value = _variant_t(true);
  EXPECT_EQ(HrOf([&] { rs->Fields->Append(L"late", adInteger, 4, adFldUnspecified); }), adErrIllegalOperation);
  rs->AddNew();
  rs->Fields->Item[L"name"]->Value = L"zażółć gęślą";
  rs->Fields->Item[L"note"]->Value = L"long text is never cut, whatever its defined size";
  rs->Fields->Item[L"price"]->Value = L"12.34";
  // A value that cannot be converted leaves the row being added as it was.
  EXPECT_EQ(HrOf([&] { rs->Fields->Item[L"price"]->Value = L"dwanaście"; }), DB_E_ERRORSOCCURRED);
  EXPECT_EQ(HrOf([&] { rs->Fields->Item[L"id"]->Value = L"seven"; }), DB_E_ERRORSOCCURRED);
  rs->Fields->Item[L"date"]->Value = _variant_t(45000.5, VT_DATE);
  rs->Fields->Item[L"flag"]->Value = _variant_t(static_cast<short>(-1));
  rs->Update();
  EXPECT_EQ(std::wstring(static_cast<const wchar_t*>(_bstr_t(rs->Fields->Item[L"name"]->Value))), L"zażół");
  EXPECT_EQ(_bstr_t(rs->Fields->Item[L"note"]->Value).length(), 49u);
  EXPECT_EQ(rs->Fields->Item[L"price"]->GetValue().vt, VT_CY);
  EXPECT_EQ(rs->Fields->Item[L"price"]->GetValue().cyVal.int64, 123400);
  EXPECT_EQ(rs->Fields->Item[L"date"]->GetValue().vt, VT_DATE);
  EXPECT_EQ(rs->Fields->Item[L"flag"]->GetValue().vt, VT_BOOL);
  EXPECT_EQ(rs->Fields->Item[L"id"]->GetValue().vt, VT_NULL);  // not set stays Null
  EXPECT_EQ(HrOf([&] { rs->Fields->Item[L"id"]->Value = L"seven"; }), DB_E_ERRORSOCCURRED);
  EXPECT_EQ(rs->RecordCount, 1);
}

TEST(AdoContainer, FilterFindSortAndClone) {
  _RecordsetPtr rs = Container();
  AddRow(rs, 1, L"alpha", _variant_t(10));
  AddRow(rs, 2, L"beta");
  AddRow(rs, 3, L"Ćma");
  AddRow(rs, 4, L"ąkry", _variant_t(10));
  AddRow(rs, 5, L"x'y");
  rs->Filter = L"cat_id=NULL";
  EXPECT_EQ(Ids(rs), (std::vector<int>{2, 3, 5}));
  rs->Filter = L"cat_id = 10 AND (name LIKE 'A*' OR id >= 4)";
  EXPECT_EQ(Ids(rs), (std::vector<int>{1, 4}));
  rs->Filter = L"name = 'X''Y'";
  EXPECT_EQ(Ids(rs), (std::vector<int>{5}));
  rs->Filter = L"name LIKE '%a'";
  EXPECT_EQ(Ids(rs), (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(HrOf([&] { rs->Filter = L"nosuch = 1"; }), adErrItemNotFound);
  EXPECT_EQ(HrOf([&] { rs->Filter = L"id = = 1"; }), adErrInvalidArgument);
  rs->Filter = L"";
  EXPECT_EQ(rs->RecordCount, 5);
  rs->Sort = L"name DESC";
  EXPECT_EQ(Ids(rs), (std::vector<int>{5, 3, 2, 4, 1}));  // ą after a, ć after c
  rs->Sort = L"";
  rs->MoveFirst();
  rs->Find(L"id = 3", 0, adSearchForward);
  EXPECT_EQ(static_cast<LONG>(rs->Fields->Item[L"id"]->Value), 3);
  rs->Find(L"id = 3", 1, adSearchForward);
  EXPECT_TRUE(rs->adoEOF);
  rs->MoveLast();
  rs->Find(L"cat_id = 10", 0, adSearchBackward);
  EXPECT_EQ(static_cast<LONG>(rs->Fields->Item[L"id"]->Value), 4);
  _variant_t mark = rs->Bookmark;
  // A clone shares the rows: a change through one is seen through the other.
  _RecordsetPtr copy = rs->Clone(adLockReadOnly);
  rs->Fields->Item[L"name"]->Value = L"changed";
  copy->Bookmark = mark;
  EXPECT_EQ(std::wstring(static_cast<const wchar_t*>(_bstr_t(copy->Fields->Item[L"name"]->Value))), L"chang");
  EXPECT_EQ(HrOf([&] { copy->Fields->Item[L"name"]->Value = L"no"; }), adErrFeatureNotAvailable);
}

TEST(AdoContainer, DeletingWhileWalkingVisitsEveryRow) {
  _RecordsetPtr rs = Container();
  for (int i = 1; i <= 6; ++i) AddRow(rs, i, L"r");
  rs->MoveFirst();
  int visited = 0;
  while (!rs->adoEOF) {
    ++visited;
    if (static_cast<LONG>(rs->Fields->Item[L"id"]->Value) % 2 == 0) rs->Delete(adAffectCurrent);
    rs->MoveNext();
  }
  EXPECT_EQ(visited, 6);
  EXPECT_EQ(Ids(rs), (std::vector<int>{1, 3, 5}));
  rs->UpdateBatch(adAffectAll);  // no base table: the changes are accepted locally
  EXPECT_EQ(rs->RecordCount, 3);
}

TEST(AdoStream, TextInACharsetIsSavedAndLoaded) {
  char tmpl[] = "/tmp/vx_ado_stream_XXXXXX";
  std::string dir = mkdtemp(tmpl);
  std::wstring file = std::wstring(dir.begin(), dir.end()) + L"/out.txt";
  _StreamPtr s(__uuidof(Stream));
  s->Open(vtMissing, adModeUnknown, adOpenStreamUnspecified, L"", L"");
  s->Type = adTypeText;
  s->Charset = L"windows-1250";
  s->WriteText(L"Zażółć", adWriteLine);
  s->WriteText(L"gęślą", adWriteChar);
  EXPECT_EQ(s->Size, 13);
  s->SaveToFile(file.c_str(), adSaveCreateOverWrite);
  EXPECT_EQ(HrOf([&] { s->SaveToFile(file.c_str(), adSaveCreateNotExist); }), static_cast<HRESULT>(0x800A0BBC));
  std::ifstream in(dir + "/out.txt", std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(bytes, "Za\xBF\xF3\xB3\xE6\r\ng\xEA\x9Cl\xB9");
  _StreamPtr r(__uuidof(Stream));
  r->Open(vtMissing, adModeUnknown, adOpenStreamUnspecified, L"", L"");
  r->Charset = L"windows-1250";
  r->LoadFromFile(file.c_str());
  EXPECT_EQ(std::wstring(static_cast<const wchar_t*>(r->ReadText(adReadLine))), L"Zażółć");
  EXPECT_EQ(std::wstring(static_cast<const wchar_t*>(r->ReadText(adReadAll))), L"gęślą");
  EXPECT_TRUE(r->EOS);
  r->Close();
  EXPECT_EQ(HrOf([&] { r->ReadText(adReadAll); }), adErrObjectClosed);
  _StreamPtr u(__uuidof(Stream));
  u->Open(vtMissing, adModeUnknown, adOpenStreamUnspecified, L"", L"");
  u->Charset = L"utf-8";
  u->WriteText(L"ą", adWriteChar);
  EXPECT_EQ(u->Size, 5);  // byte-order mark and two bytes
  u->Position = 0;
  EXPECT_EQ(std::wstring(static_cast<const wchar_t*>(u->ReadText(adReadAll))), L"ą");
  EXPECT_EQ(HrOf([&] { r->LoadFromFile(L"/nonexistent/x"); }), adErrObjectClosed);
  std::filesystem::remove_all(dir);
}

TEST_F(AdoTest, OpeningByTableReconnectingAndRequery) {
  _RecordsetPtr rs(__uuidof(Recordset));
  rs->CursorLocation = adUseClient;
  rs->ActiveConnection = conn_;
  rs->Open(L"au__Auction", vtMissing, adOpenStatic, adLockBatchOptimistic, adCmdTable);
  EXPECT_EQ(rs->RecordCount, 3);
  EXPECT_EQ(rs->LockType, adLockBatchOptimistic);
  EXPECT_TRUE(rs->Supports(adUpdateBatch));
  conn_->Execute(L"INSERT INTO au__Auction (au_Number) VALUES ('A4')");
  rs->Requery();
  EXPECT_EQ(rs->RecordCount, 4);
  rs->MaxRecords = 2;
  rs->Close();
  rs->Open(L"SELECT au_Number FROM au__Auction ORDER BY au_Number DESC", vtMissing, adOpenStatic, adLockReadOnly, adCmdText);
  EXPECT_EQ(rs->RecordCount, 2);
  EXPECT_EQ(std::wstring(static_cast<const wchar_t*>(_bstr_t(rs->Fields->Item[0L]->Value))), L"A4");
  // A connection string as the active connection opens a connection of its own.
  _RecordsetPtr other(__uuidof(Recordset));
  std::wstring cs = L"Data Source=" + source_;
  other->Open(L"SELECT COUNT(*) AS n FROM au__Auction", cs.c_str(), adOpenStatic, adLockReadOnly, adCmdText);
  EXPECT_EQ(static_cast<LONG>(other->Fields->Item[L"n"]->Value), 4);
  EXPECT_EQ(HrOf([&] { rs->Open(L"SELECT 1", vtMissing, adOpenStatic, adLockReadOnly, adCmdText); }), adErrObjectOpen);
}

TEST_F(AdoTest, ConnectionTransactionsCommitAndRollBack) {
  EXPECT_EQ(conn_->BeginTrans(), 1);
  conn_->Execute(L"UPDATE au__Auction SET au_Qty = 0");
  EXPECT_EQ(conn_->BeginTrans(), 2);
  conn_->Execute(L"DELETE FROM au__Auction");
  conn_->RollbackTrans();
  EXPECT_EQ(Count(L"1=1"), 3);
  conn_->CommitTrans();
  EXPECT_EQ(Count(L"au_Qty = 0"), 3);
  EXPECT_NE(HrOf([&] { conn_->CommitTrans(); }), S_OK);
  conn_->Close();
  EXPECT_EQ(conn_->State, adStateClosed);
  EXPECT_EQ(HrOf([&] { conn_->Close(); }), adErrObjectClosed);
}

TEST(AdoContainer, FieldListsArraysAndNavigation) {
  _RecordsetPtr rs = Container();
  SAFEARRAY* names = SafeArrayCreateVector(VT_VARIANT, 0, 2);
  SAFEARRAY* values = SafeArrayCreateVector(VT_VARIANT, 0, 2);
  LONG i0 = 0, i1 = 1;
  _variant_t n0(L"id"), n1(L"name"), v0(7), v1(L"seven");
  SafeArrayPutElement(names, &i0, &n0);
  SafeArrayPutElement(names, &i1, &n1);
  SafeArrayPutElement(values, &i0, &v0);
  SafeArrayPutElement(values, &i1, &v1);
  _variant_t fieldList, valueList;
  fieldList.vt = VT_ARRAY | VT_VARIANT;
  fieldList.parray = names;
  valueList.vt = VT_ARRAY | VT_VARIANT;
  valueList.parray = values;
  rs->AddNew(fieldList, valueList);
  rs->AddNew(L"id", _variant_t(8));
  EXPECT_EQ(rs->RecordCount, 2);
  rs->MoveFirst();
  EXPECT_EQ(std::wstring(static_cast<const wchar_t*>(_bstr_t(rs->Fields->Item[L"name"]->Value))), L"seven");
  _variant_t rows = rs->GetRows(-1, vtMissing, L"id");
  ASSERT_EQ(rows.vt, VT_ARRAY | VT_VARIANT);
  LONG idx[2] = {0, 1};
  _variant_t second;
  SafeArrayGetElement(rows.parray, idx, &second);
  EXPECT_EQ(static_cast<LONG>(second), 8);
  EXPECT_TRUE(rs->adoEOF);
  rs->Move(0, _variant_t(static_cast<int>(adBookmarkFirst)));
  EXPECT_EQ(rs->AbsolutePosition, 1);
  rs->AbsolutePosition = 2;
  EXPECT_EQ(static_cast<LONG>(rs->Fields->Item[L"id"]->Value), 8);
  EXPECT_EQ(rs->Status, adRecNew);
  EXPECT_EQ(HrOf([&] { rs->AbsolutePosition = 3; }), adErrInvalidArgument);
  EXPECT_EQ(HrOf([&] { rs->Bookmark = _variant_t(1e300); }), adErrInvalidArgument);
  EXPECT_EQ(HrOf([&] { rs->Bookmark = _variant_t(-0.5); }), adErrInvalidArgument);
  EXPECT_EQ(HrOf([&] { rs->Filter = _variant_t(99); }), adErrInvalidArgument);
  EXPECT_EQ(HrOf([&] { rs->Update(_variant_t(1e20), _variant_t(1)); }), adErrItemNotFound);
  rs->Close();
  EXPECT_EQ(rs->State, adStateClosed);
  EXPECT_EQ(HrOf([&] { rs->GetRecordCount(); }), adErrObjectClosed);
}

TEST(AdoStream, BinaryDataRoundTrips) {
  _StreamPtr s(__uuidof(Stream));
  s->Type = adTypeBinary;
  s->Open(vtMissing, adModeUnknown, adOpenStreamUnspecified, L"", L"");
  SAFEARRAY* sa = SafeArrayCreateVector(VT_UI1, 0, 4);
  unsigned char* data = nullptr;
  SafeArrayAccessData(sa, reinterpret_cast<void**>(&data));
  data[0] = 0;
  data[1] = 0xFF;
  data[2] = 'a';
  data[3] = 0x80;
  SafeArrayUnaccessData(sa);
  _variant_t buffer;
  buffer.vt = VT_ARRAY | VT_UI1;
  buffer.parray = sa;
  s->Write(buffer);
  EXPECT_EQ(s->Size, 4);
  s->Position = 1;
  _variant_t back = s->Read(2);
  ASSERT_EQ(back.vt, VT_ARRAY | VT_UI1);
  unsigned char* got = nullptr;
  SafeArrayAccessData(back.parray, reinterpret_cast<void**>(&got));
  EXPECT_EQ(got[0], 0xFF);
  EXPECT_EQ(got[1], 'a');
  SafeArrayUnaccessData(back.parray);
  EXPECT_EQ(HrOf([&] { s->ReadText(adReadAll); }), adErrIllegalOperation);
  s->Position = 0;
  s->Type = adTypeText;
  s->Charset = L"iso-8859-1";
  _bstr_t text = s->ReadText(adReadAll);
  EXPECT_EQ(std::wstring(static_cast<const wchar_t*>(text), text.length()), std::wstring(L"\0\xFF" L"a\x80", 4));
}

TEST(AdoClasses, ProgIdsFindTheClassesOnceRegistered) {
  platform::registry::UseMemoryStore();
  ASSERT_EQ(platform::ado::RegisterAdoProgIds(), S_OK);
  for (const auto& [progId, clsid] : {std::pair{L"ADODB.Connection", &__uuidof(Connection)},
                                      std::pair{L"ADODB.Recordset", &__uuidof(Recordset)},
                                      std::pair{L"ADODB.Command", &__uuidof(Command)},
                                      std::pair{L"ADODB.Stream.6.0", &__uuidof(Stream)}}) {
    CLSID found{};
    EXPECT_EQ(CLSIDFromProgID(progId, &found), S_OK) << progId;
    EXPECT_TRUE(found == *clsid) << progId;
  }
  _RecordsetPtr rs;
  EXPECT_EQ(rs.CreateInstance(L"ADODB.Recordset"), S_OK);
  EXPECT_TRUE(rs);
  platform::registry::SetStoreFile("");
}

TEST_F(AdoTest, ErrorInformationTravelsWithTheException) {
  try {
    conn_->Execute(L"SELECT * FROM nowhere");
    FAIL() << "no error";
  } catch (const _com_error& e) {
    EXPECT_EQ(e.Error(), DB_E_NOTABLE);
    EXPECT_NE(std::wstring(static_cast<const wchar_t*>(e.Description())).find(L"nowhere"), std::wstring::npos);
    EXPECT_TRUE(e.GUID() == __uuidof(_Connection));
  }
  // A raw call returns the code and leaves the description for GetErrorInfo.
  _Recordset* raw = nullptr;
  EXPECT_EQ(conn_->raw_Execute(_bstr_t(L"SELEKT"), nullptr, adCmdText, &raw), DB_E_ERRORSINCOMMAND);
  EXPECT_EQ(raw, nullptr);
  IErrorInfo* info = nullptr;
  ASSERT_EQ(GetErrorInfo(0, &info), S_OK);
  BSTR text = nullptr;
  info->GetDescription(&text);
  EXPECT_NE(std::wstring(text).find(L"syntax"), std::wstring::npos);
  SysFreeString(text);
  info->Release();
  // Object-model errors carry ADO's texts.
  _RecordsetPtr rs = conn_->Execute(L"SELECT au_Id FROM au__Auction WHERE 1 = 0");
  EXPECT_NE(DescriptionOf([&] { rs->Fields->Item[L"au_Id"]->GetValue(); }).find(L"BOF or EOF"), std::wstring::npos);
  EXPECT_NE(DescriptionOf([&] { rs->Fields->Item[L"nope"]; }).find(L"Item cannot be found"), std::wstring::npos);
}

TEST_F(AdoTest, CommandCanFeedARecordsetAndTakeParameterArrays) {
  _CommandPtr cmd(__uuidof(Command));
  cmd->ActiveConnection = conn_;
  cmd->CommandText = L"SELECT au_Number FROM au__Auction WHERE au_Qty >= ? ORDER BY au_Number";
  cmd->Parameters->Append(cmd->CreateParameter(L"q", adInteger, adParamInput, 4, _variant_t(3)));
  _RecordsetPtr rs(__uuidof(Recordset));
  rs->Open(_variant_t(static_cast<IDispatch*>(cmd)), vtMissing, adOpenStatic, adLockReadOnly, adCmdText);
  EXPECT_EQ(rs->RecordCount, 2);
  // Values passed to Execute replace the parameters' own.
  SAFEARRAY* values = SafeArrayCreateVector(VT_VARIANT, 0, 1);
  LONG i0 = 0;
  _variant_t seven(7);
  SafeArrayPutElement(values, &i0, &seven);
  _variant_t args;
  args.vt = VT_ARRAY | VT_VARIANT;
  args.parray = values;
  _RecordsetPtr only = cmd->Execute(nullptr, &args, adCmdText);
  EXPECT_EQ(only->RecordCount, 1);
  EXPECT_EQ(HrOf([&] { cmd->Parameters->Item[L"zz"]; }), adErrItemNotFound);
  EXPECT_EQ(HrOf([&] { cmd->Parameters->Append(conn_); }), adErrInvalidArgument);
  cmd->Parameters->Delete(L"q");
  EXPECT_EQ(cmd->Parameters->Count, 0);
  EXPECT_EQ(HrOf([&] { cmd->Execute(nullptr, nullptr, adCmdText); }), DB_E_PARAMNOTOPTIONAL);
  _ParameterPtr p = cmd->CreateParameter(L"t", adVarWChar, adParamInputOutput, 3, L"abc");
  EXPECT_EQ(p->Direction, adParamInputOutput);
  EXPECT_EQ(p->Size, 3);
  p->AppendChunk(L"def");
  EXPECT_EQ(std::wstring(static_cast<const wchar_t*>(_bstr_t(p->Value))), L"abcdef");
}

TEST_F(AdoTest, FieldDescriptionsAndProperties) {
  _RecordsetPtr rs = OpenClient(L"SELECT au_Id, au_Title, au_Price FROM au__Auction ORDER BY au_Id");
  FieldPtr title = rs->Fields->Item[L"au_Title"];
  EXPECT_EQ(std::wstring(static_cast<const wchar_t*>(_bstr_t(title->Name))), L"au_Title");
  EXPECT_EQ(title->ActualSize, 10);  // five characters of national text
  EXPECT_EQ(std::wstring(static_cast<const wchar_t*>(_bstr_t(title->Properties->Item[L"BASETABLENAME"]->Value))),
            L"au__Auction");
  EXPECT_TRUE(static_cast<bool>(rs->Fields->Item[L"au_Id"]->Properties->Item[L"ISAUTOINCREMENT"]->Value));
  EXPECT_EQ(HrOf([&] { title->Properties->Item[L"Unknown"]; }), adErrItemNotFound);
  EXPECT_EQ(rs->Fields->Item[L"au_Price"]->NumericScale, 4);
  title->Value = L"Nowy";
  EXPECT_EQ(rs->EditMode, adEditInProgress);
  EXPECT_EQ(std::wstring(static_cast<const wchar_t*>(_bstr_t(title->UnderlyingValue))), L"Łódka");
  rs->CancelUpdate();
  EXPECT_EQ(std::wstring(static_cast<const wchar_t*>(_bstr_t(title->Value))), L"Łódka");
  EXPECT_EQ(HrOf([&] { title->Type = adInteger; }), adErrObjectOpen);
}

TEST(AdoStream, LinesPositionsAndCopies) {
  _StreamPtr s(__uuidof(Stream));
  s->Open(vtMissing, adModeUnknown, adOpenStreamUnspecified, L"", L"");
  EXPECT_EQ(s->Size, 0);
  s->LineSeparator = adLF;
  s->WriteText(L"one", adWriteLine);
  s->WriteText(L"two", adWriteLine);
  s->WriteText(L"three", adWriteChar);
  EXPECT_EQ(s->Size, 2 + 2 * 13);  // unicode: the mark and two bytes a character
  s->Position = 0;
  s->SkipLine();
  EXPECT_EQ(std::wstring(static_cast<const wchar_t*>(s->ReadText(adReadLine))), L"two");
  EXPECT_EQ(s->Position, 2 + 2 * 8);
  s->Position = 2 + 2 * 3;
  s->SetEOS();
  s->Position = 0;
  EXPECT_EQ(std::wstring(static_cast<const wchar_t*>(s->ReadText(adReadAll))), L"one");
  _StreamPtr copy(__uuidof(Stream));
  copy->Open(vtMissing, adModeUnknown, adOpenStreamUnspecified, L"", L"");
  s->Position = 0;
  s->CopyTo(copy, 2);
  copy->Position = 0;
  EXPECT_EQ(std::wstring(static_cast<const wchar_t*>(copy->ReadText(adReadAll))), L"on");
  EXPECT_EQ(HrOf([&] { s->Charset = L"klingon"; }), adErrInvalidArgument);
  _StreamPtr closed(__uuidof(Stream));
  EXPECT_EQ(HrOf([&] { closed->WriteText(L"x", adWriteChar); }), adErrObjectClosed);
}

TEST_F(AdoTest, ConnectionStringsAndDatesInFilters) {
  _ConnectionPtr c(__uuidof(Connection));
  EXPECT_EQ(HrOf([&] { c->Open(L"Provider=SQLite"); }), E_FAIL);
  c->ConnectionString = (L"Provider=" + std::wstring(testdb::OnPostgres() ? L"PostgreSQL" : L"SQLite") +
                         L"; Data Source=\"" + source_ + L"\"; Busy Timeout=500").c_str();
  c->Open();
  EXPECT_EQ(c->State, adStateOpen);
  EXPECT_EQ(HrOf([&] { c->Open(); }), adErrObjectOpen);
  _RecordsetPtr rs(__uuidof(Recordset));
  rs->Open(L"au__Auction", _variant_t(static_cast<IDispatch*>(c)), adOpenStatic, adLockReadOnly, adCmdUnknown);
  EXPECT_EQ(rs->RecordCount, 3);
  rs->Filter = L"au_End >= #2024-01-01# AND au_End < #2024-03-02#";
  EXPECT_EQ(rs->RecordCount, 1);
  rs->Filter = L"au_End < #12/25/2023#";
  EXPECT_EQ(rs->RecordCount, 1);
  rs->Filter = L"au_Price > 1 OR au_Price = NULL";
  EXPECT_EQ(rs->RecordCount, 2);
  _RecordsetPtr clone = rs->Clone();
  EXPECT_EQ(clone->RecordCount, 3);  // a clone starts without the filter
  EXPECT_EQ(clone->LockType, adLockReadOnly);
}

namespace {

TEST_F(AdoTest, ReadOnlyConnectionsReadAndRefuseEveryChange) {
  _ConnectionPtr reader(__uuidof(Connection));
  reader->Open((L"Data Source=" + source_ + L";Mode=Read").c_str());
  _RecordsetPtr rs = reader->Execute(L"SELECT COUNT(*) FROM au__Auction");
  EXPECT_EQ(static_cast<LONG>(rs->Fields->Item[0L]->Value), 3);
  EXPECT_EQ(HrOf([&] { reader->Execute(L"DELETE FROM au__Auction", nullptr, adCmdText | adExecuteNoRecords); }),
            static_cast<HRESULT>(0x80040E09));
  // A writer elsewhere keeps working, and the reader sees what it committed.
  conn_->Execute(L"DELETE FROM au__Auction WHERE au_Number = 'A3'", nullptr, adCmdText | adExecuteNoRecords);
  rs = reader->Execute(L"SELECT COUNT(*) FROM au__Auction");
  EXPECT_EQ(static_cast<LONG>(rs->Fields->Item[0L]->Value), 2);
  // A file that is not there is not created.
  _ConnectionPtr missing(__uuidof(Connection));
  std::wstring absent = platform::utf8::ToWide(folder_.File("absent.db"));
  EXPECT_EQ(HrOf([&] { missing->Open((L"Provider=SQLite;Data Source=" + absent + L";Mode=Read").c_str()); }), E_FAIL);
  EXPECT_FALSE(std::filesystem::exists(folder_.File("absent.db")));
}

TEST_F(AdoTest, AReadOfSeveralStatementsSeesOneStateAndLetsOthersWrite) {
  int ended = 0;
  platform::ado::SetTransactionEndHandler(conn_, [&] { ++ended; });
  _ConnectionPtr other(__uuidof(Connection));
  other->Open((L"Data Source=" + source_ + L";Busy Timeout=0").c_str());
  ASSERT_TRUE(platform::ado::BeginRead(conn_));
  EXPECT_EQ(platform::ado::TransactionDepth(conn_), 1);
  EXPECT_EQ(Count(L"au_Qty = 3"), 1);
  // No write lock is held: another connection writes at once, and the read does not see it.
  EXPECT_EQ(HrOf([&] { other->Execute(L"UPDATE au__Auction SET au_Qty = 3", nullptr, adCmdText | adExecuteNoRecords); }),
            S_OK);
  EXPECT_EQ(Count(L"au_Qty = 3"), 1);
  EXPECT_FALSE(platform::ado::BeginRead(conn_));  // one already open
  platform::ado::EndRead(conn_);
  EXPECT_EQ(ended, 1);
  EXPECT_EQ(platform::ado::TransactionDepth(conn_), 0);
  EXPECT_EQ(Count(L"au_Qty = 3"), 3);
  // Inside a transaction of its own the connection reads as it is.
  conn_->BeginTrans();
  EXPECT_FALSE(platform::ado::BeginRead(conn_));
  conn_->CommitTrans();
  EXPECT_FALSE(platform::ado::BeginRead(nullptr));
  platform::ado::SetTransactionEndHandler(conn_, {});
}

TEST_F(AdoTest, AGroupOfReadsSharesOneStateUntilAWriteATransactionOrItsEnd) {
  // SQLite's group reads in one read transaction; PostgreSQL's statements each see the latest
  // commit, as without a group.
  const bool grouped = !testdb::OnPostgres();
  int ended = 0;
  platform::ado::SetTransactionEndHandler(conn_, [&] { ++ended; });
  _ConnectionPtr other(__uuidof(Connection));
  other->Open((L"Data Source=" + source_ + L";Busy Timeout=0").c_str());
  auto otherSets = [&](const wchar_t* sql) {
    return HrOf([&] { other->Execute(sql, nullptr, adCmdText | adExecuteNoRecords); });
  };
  {
    platform::ado::ReadGroup group(conn_);
    EXPECT_EQ(platform::ado::TransactionDepth(conn_), 0);  // no transaction of the caller's
    EXPECT_EQ(Count(L"au_Qty = 3"), 1);
    // No write lock is held: another connection writes at once; the group still reads its state.
    EXPECT_EQ(otherSets(L"UPDATE au__Auction SET au_Qty = 3 WHERE au_Number = 'A2'"), S_OK);
    EXPECT_EQ(Count(L"au_Qty = 3"), grouped ? 1 : 2);
    // A write of its own ends the group's reading first: it is not refused for its old state,
    // and what follows sees the other's commit.
    conn_->Execute(L"UPDATE au__Auction SET au_Qty = 4 WHERE au_Number = 'A3'", nullptr, adCmdText | adExecuteNoRecords);
    EXPECT_EQ(Count(L"au_Qty = 3"), 2);
    EXPECT_EQ(otherSets(L"UPDATE au__Auction SET au_Qty = 3 WHERE au_Number = 'A3'"), S_OK);
    EXPECT_EQ(Count(L"au_Qty = 3"), grouped ? 2 : 3);
    {
      platform::ado::ReadGroup inner(conn_);
      EXPECT_EQ(Count(L"au_Qty = 3"), grouped ? 2 : 3);
    }  // the outer group goes on
    EXPECT_EQ(Count(L"au_Qty = 3"), grouped ? 2 : 3);
    // So does a row written back by a recordset.
    _RecordsetPtr rs = OpenClient(L"SELECT au_Id, au_Qty FROM au__Auction WHERE au_Number = 'A2'");
    EXPECT_EQ(otherSets(L"UPDATE au__Auction SET au_Title = 'Stamp' WHERE au_Number = 'A2'"), S_OK);
    rs->Fields->Item[L"au_Qty"]->Value = 2L;
    rs->UpdateBatch(adAffectAll);
    EXPECT_EQ(Count(L"au_Qty = 3"), 2);
    EXPECT_EQ(otherSets(L"UPDATE au__Auction SET au_Qty = 3 WHERE au_Number = 'A2'"), S_OK);
    // A transaction begun ends it too and is the caller's own, with its write lock from its start.
    conn_->BeginTrans();
    EXPECT_EQ(platform::ado::TransactionDepth(conn_), 1);
    EXPECT_EQ(Count(L"au_Qty = 3"), 3);
    if (grouped) {
      EXPECT_NE(otherSets(L"UPDATE au__Auction SET au_Qty = 5"), S_OK);
    }
    conn_->Execute(L"UPDATE au__Auction SET au_Qty = 6 WHERE au_Number = 'A1'", nullptr, adCmdText | adExecuteNoRecords);
    conn_->CommitTrans();
    EXPECT_EQ(ended, 1);
    EXPECT_EQ(Count(L"au_Qty = 6"), 1);
    EXPECT_EQ(otherSets(L"UPDATE au__Auction SET au_Qty = 6"), S_OK);
    EXPECT_EQ(Count(L"au_Qty = 6"), grouped ? 1 : 3);
  }
  // Its end: the others' commits show, and no transaction of the caller's was begun or ended.
  EXPECT_EQ(Count(L"au_Qty = 6"), 3);
  EXPECT_EQ(ended, 1);
  EXPECT_EQ(platform::ado::TransactionDepth(conn_), 0);
  conn_->BeginTrans();
  conn_->CommitTrans();
  EXPECT_EQ(ended, 2);
  { platform::ado::ReadGroup none(nullptr); }
  platform::ado::SetTransactionEndHandler(conn_, {});
}

TEST_F(AdoTest, TransactionDepthAndTheEndOfTheOutermostTransaction) {
  int ended = 0;
  LONG depthSeen = -2;
  platform::ado::SetTransactionEndHandler(conn_, [&] {
    ++ended;
    depthSeen = platform::ado::TransactionDepth(conn_);
  });
  EXPECT_EQ(platform::ado::TransactionDepth(conn_), 0);
  conn_->BeginTrans();
  conn_->BeginTrans();
  EXPECT_EQ(platform::ado::TransactionDepth(conn_), 2);
  conn_->RollbackTrans();  // a savepoint: the transaction goes on
  EXPECT_EQ(ended, 0);
  conn_->CommitTrans();
  EXPECT_EQ(ended, 1);
  EXPECT_EQ(depthSeen, 0);
  // The lock is given back before the handler runs: another connection can write in it.
  _ConnectionPtr other(__uuidof(Connection));
  other->Open((L"Data Source=" + source_ + L";Busy Timeout=0").c_str());
  HRESULT written = E_FAIL;
  platform::ado::SetTransactionEndHandler(conn_, [&] {
    written = HrOf([&] { other->Execute(L"UPDATE au__Auction SET au_Qty = 9", nullptr, adCmdText | adExecuteNoRecords); });
    throw std::runtime_error("swallowed");
  });
  conn_->BeginTrans();
  conn_->Execute(L"UPDATE au__Auction SET au_Qty = 1", nullptr, adCmdText | adExecuteNoRecords);
  EXPECT_NO_THROW(conn_->RollbackTrans());
  EXPECT_EQ(written, S_OK);
  EXPECT_EQ(Count(L"au_Qty = 9"), 3);
  // Closing with an open transaction ends it too.
  written = E_FAIL;
  conn_->BeginTrans();
  conn_->Close();
  EXPECT_EQ(written, S_OK);
  EXPECT_EQ(platform::ado::TransactionDepth(conn_), -1);
  platform::ado::SetTransactionEndHandler(conn_, {});
  EXPECT_EQ(platform::ado::TransactionDepth(nullptr), -1);
}

}  // namespace
