#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>

#include "framework/zephra.h"
#include "testing/support/temp_folder.h"

namespace {

class FrameworkSql : public ::testing::Test {
 protected:
  void SetUp() override {
    CoInitialize(nullptr);
    path = folder.Database();
    ASSERT_EQ(cn.CreateInstance(__uuidof(Connection)), S_OK);
    cn->Open(_bstr_t((L"Data Source=" + std::wstring(CString(path.c_str()).GetString())).c_str()),
             _bstr_t(L""), _bstr_t(L""), adConnectUnspecified);
    cn->Execute(_bstr_t(L"CREATE TABLE t (id int NOT NULL PRIMARY KEY, name nvarchar(20) NULL)"), nullptr,
                kCmdTextNoRecords);
    cn->Execute(_bstr_t(L"INSERT INTO t (id, name) VALUES (1, 'a')"), nullptr, kCmdTextNoRecords);
    cn->Execute(_bstr_t(L"INSERT INTO t (id, name) VALUES (2, 'b')"), nullptr, kCmdTextNoRecords);
  }
  void TearDown() override {
    cn->Close();
    cn = nullptr;
    CoUninitialize();
  }
  testtemp::TempFolder folder{"vantor-framework-sql"};
  std::string path;
  _ConnectionPtr cn;
};

TEST_F(FrameworkSql, OpensReadOnlyClientRecordsets) {
  _RecordsetPtr rs;
  ASSERT_EQ(OpenRS(rs, cn, L"SELECT id, name FROM t ORDER BY id"), S_OK);
  EXPECT_EQ(rs->GetRecordCount(), 2);
  EXPECT_EQ(static_cast<LONG>(rs->GetFields()->GetItem(_variant_t(L"id"))->GetValue()), 1);
  // A failure is returned, never raised, and leaves no recordset.
  EXPECT_LT(OpenRS(rs, cn, L"SELECT x FROM missing_table"), 0);
  EXPECT_FALSE(rs);
  EXPECT_EQ(OpenRS(rs, nullptr, L"SELECT 1"), E_INVALIDARG);
}

TEST_F(FrameworkSql, ExistenceAndCounts) {
  EXPECT_EQ(exeExistSql(cn, L"SELECT id FROM t WHERE id = 2"), 1);
  EXPECT_EQ(exeExistSql(cn, L"SELECT id FROM t WHERE id = 3"), 0);
  EXPECT_LT(exeExistSql(cn, L"SELECT id FROM missing_table"), 0);
  _variant_t count;
  ASSERT_EQ(exeSql_GetLongValue(cn, L"SELECT ?=CONVERT( int, COUNT(*)) FROM t  ", count), S_OK);
  EXPECT_EQ(count.vt, VT_I4);
  EXPECT_EQ(count.lVal, 2);
  ASSERT_EQ(exeSql_GetLongValue(cn, L"SELECT ?=CONVERT( int, COUNT(*)) FROM t WHERE name = 'b'", count), S_OK);
  EXPECT_EQ(count.lVal, 1);
  EXPECT_LT(exeSql_GetLongValue(cn, L"SELECT ?=CONVERT( int, COUNT(*)) FROM missing_table", count), 0);
}

TEST_F(FrameworkSql, CommandConnection) {
  _CommandPtr command;
  ASSERT_EQ(command.CreateInstance(__uuidof(Command)), S_OK);
  utCmdPutRefActiveConnection(command, cn);
  command->PutCommandText(_bstr_t(L"DELETE FROM t WHERE id = 1"));
  command->Execute(nullptr, nullptr, kCmdTextNoRecords);
  EXPECT_EQ(exeExistSql(cn, L"SELECT id FROM t WHERE id = 1"), 0);
  EXPECT_THROW(utCmdPutRefActiveConnection(nullptr, cn), _com_error);
}

}  // namespace
