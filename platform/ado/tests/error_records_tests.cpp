// The provider's error information: a failing database call leaves error records (one per
// database error, source and description each) beside its description; the object model's own
// failures carry none.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <string>

#include "platform/ado/ado.h"
#include "platform/base/utf8.h"
#include "testing/support/temp_folder.h"

namespace {

std::wstring Text(BSTR b) { return b ? std::wstring(b) : std::wstring(); }

// The error a call raises (a failure of the test when it raises none).
_com_error Raised(const std::function<void()>& f) {
  try {
    f();
  } catch (const _com_error& e) {
    return e;
  }
  ADD_FAILURE() << "no error was raised";
  return _com_error(S_OK);
}

struct Record {
  HRESULT hr = S_OK;
  DWORD minor = 0;
  GUID iid = GUID_NULL;
  std::wstring source, description;
};

std::vector<Record> Records(const _com_error& e) {
  std::vector<Record> out;
  const IErrorInfoPtr held(e.ErrorInfo(), false);
  IErrorRecordsPtr records(held);
  if (!records) return out;
  ULONG count = 0;
  EXPECT_EQ(records->GetRecordCount(&count), S_OK);
  for (ULONG i = 0; i < count; ++i) {
    Record r;
    ERRORINFO basic{};
    EXPECT_EQ(records->GetBasicErrorInfo(i, &basic), S_OK);
    r.hr = basic.hrError;
    r.minor = basic.dwMinor;
    IErrorInfo* info = nullptr;
    EXPECT_EQ(records->GetErrorInfo(i, 0, &info), S_OK);
    if (!info) continue;
    IErrorInfoPtr record(info, false);
    BSTR source = nullptr, description = nullptr;
    EXPECT_EQ(record->GetSource(&source), S_OK);
    EXPECT_EQ(record->GetDescription(&description), S_OK);
    EXPECT_EQ(record->GetGUID(&r.iid), S_OK);
    r.source = Text(source);
    r.description = Text(description);
    SysFreeString(source);
    SysFreeString(description);
    out.push_back(r);
  }
  return out;
}

class ErrorRecordsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    conn_.CreateInstance(__uuidof(Connection));
    ASSERT_TRUE(conn_);
    conn_->Open(_bstr_t((L"Data Source=" + platform::utf8::ToWide(folder_.Database("e.db"))).c_str()));
    conn_->Execute(L"CREATE TABLE kd_blokada (obid int, obtype int, CONSTRAINT pk PRIMARY KEY (obtype, obid))",
                   nullptr, adCmdText | adExecuteNoRecords);
    conn_->Execute(kLock, nullptr, adCmdText | adExecuteNoRecords);
  }
  void TearDown() override { conn_ = nullptr; }
  static constexpr const wchar_t* kLock = L"INSERT INTO kd_blokada (obid, obtype) VALUES (11, 726)";
  testtemp::TempFolder folder_{"vx_ado_err"};
  _ConnectionPtr conn_;
};

TEST_F(ErrorRecordsTest, ARefusedStatementLeavesOneRecordOfTheProvider) {
  const _com_error e = Raised([&] { conn_->Execute(kLock, nullptr, adCmdText | adExecuteNoRecords); });
  ASSERT_EQ(e.Error(), DB_E_ERRORSINCOMMAND);
  const std::vector<Record> records = Records(e);
  ASSERT_EQ(records.size(), 1u);
  ErrorPtr error = conn_->GetErrors()->GetItem(_variant_t(LONG{0}));
  EXPECT_EQ(records[0].hr, DB_E_ERRORSINCOMMAND);
  EXPECT_EQ(records[0].minor, static_cast<DWORD>(error->GetNativeError()));
  EXPECT_NE(records[0].minor, 0u);
  EXPECT_EQ(records[0].source, L"Vantor SQLite Provider");
  EXPECT_EQ(records[0].source, Text(error->GetSource()));
  EXPECT_EQ(records[0].description, Text(error->GetDescription()));
  EXPECT_NE(records[0].description.find(L"UNIQUE"), std::wstring::npos);
  EXPECT_EQ(records[0].description, Text(e.Description()));
  EXPECT_TRUE(records[0].iid == __uuidof(_Connection));
}

TEST_F(ErrorRecordsTest, EachFailureHasItsOwnRecordsAlsoThroughARecordset) {
  const _com_error first = Raised([&] { conn_->Execute(L"SELECT * FROM nowhere", nullptr, adCmdText); });
  const _com_error second = Raised([&] { conn_->Execute(L"SELEKT 1", nullptr, adCmdText); });
  ASSERT_EQ(Records(first).size(), 1u);
  ASSERT_EQ(Records(second).size(), 1u);
  EXPECT_EQ(Records(first)[0].hr, DB_E_NOTABLE);
  EXPECT_EQ(Records(second)[0].hr, DB_E_ERRORSINCOMMAND);
  EXPECT_NE(Records(first)[0].description, Records(second)[0].description);

  // A row written back from a recordset that the table refuses.
  _RecordsetPtr rs(__uuidof(Recordset));
  rs->PutCursorLocation(adUseClient);
  rs->Open(L"SELECT * FROM kd_blokada", _variant_t(static_cast<IDispatch*>(conn_.GetInterfacePtr())), adOpenStatic,
           adLockOptimistic, adCmdText);
  rs->AddNew();
  rs->GetFields()->GetItem(_variant_t(L"obid"))->PutValue(_variant_t(LONG{11}));
  rs->GetFields()->GetItem(_variant_t(L"obtype"))->PutValue(_variant_t(LONG{726}));
  const _com_error written = Raised([&] { rs->Update(); });
  EXPECT_EQ(written.Error(), DB_E_INTEGRITYVIOLATION);
  const std::vector<Record> records = Records(written);
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].hr, DB_E_INTEGRITYVIOLATION);
  EXPECT_EQ(records[0].source, L"Vantor SQLite Provider");
  EXPECT_FALSE(records[0].description.empty());
  rs->CancelUpdate();
}

TEST_F(ErrorRecordsTest, RecordNumbersOutsideTheCountAndNullArgumentsAreRefused) {
  const _com_error e = Raised([&] { conn_->Execute(kLock, nullptr, adCmdText | adExecuteNoRecords); });
  const IErrorInfoPtr held(e.ErrorInfo(), false);
  IErrorRecordsPtr records(held);
  ASSERT_TRUE(records);
  ERRORINFO basic{};
  EXPECT_EQ(records->GetBasicErrorInfo(1, &basic), DB_E_BADRECORDNUM);
  EXPECT_EQ(records->GetBasicErrorInfo(0, nullptr), E_INVALIDARG);
  IErrorInfo* info = reinterpret_cast<IErrorInfo*>(1);
  EXPECT_EQ(records->GetErrorInfo(1, 0, &info), DB_E_BADRECORDNUM);
  EXPECT_EQ(info, nullptr);
  EXPECT_EQ(records->GetErrorInfo(0, 0, nullptr), E_INVALIDARG);
  IUnknown* custom = reinterpret_cast<IUnknown*>(1);
  EXPECT_EQ(records->GetCustomErrorObject(0, IID_IUnknown, &custom), S_OK);
  EXPECT_EQ(custom, nullptr);
  EXPECT_EQ(records->GetRecordCount(nullptr), E_INVALIDARG);
  // Records are the provider's to add.
  EXPECT_EQ(records->AddErrorRecord(&basic, 0, nullptr, nullptr, 0), E_NOTIMPL);
}

TEST_F(ErrorRecordsTest, TheObjectModelsOwnFailuresCarryNoRecords) {
  _RecordsetPtr rs(__uuidof(Recordset));
  rs->GetFields()->Append(L"id", adInteger, 4, adFldUpdatable);
  rs->Open(vtMissing, vtMissing, adOpenUnspecified, adLockUnspecified, 0);
  const _com_error e = Raised([&] { rs->GetFields()->GetItem(_variant_t(L"nope")); });
  EXPECT_EQ(e.Error(), static_cast<HRESULT>(0x800A0CC1u));
  const IErrorInfoPtr held(e.ErrorInfo(), false);
  ASSERT_TRUE(held);
  EXPECT_FALSE(IErrorRecordsPtr(held));
}

}  // namespace
