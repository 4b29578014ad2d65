#pragma once
// The host tests' shared set-up: a host over a database file of its own, set into the gateway.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <initializer_list>
#include <map>
#include <memory>
#include <stdexcept>
#include <system_error>
#include <string>
#include <vector>

#include "host/host.h"
#include "platform/base/utf8.h"
#include "shared/hxinstance.h"
#include "testing/support/temp_folder.h"

namespace {

// The folders of the databases TempPath made, by database.
inline std::map<std::wstring, std::unique_ptr<testtemp::TempFolder>>& TempDatabases() {
  static std::map<std::wstring, std::unique_ptr<testtemp::TempFolder>> folders;
  return folders;
}

// A product database in a new folder of its own (testing/support/test_database.h): tests running at
// once, or files left by a test that was killed, share nothing with it. RemoveDatabase removes it
// with the folder.
inline std::wstring TempPath() {
  auto folder = std::make_unique<testtemp::TempFolder>("vantor-host-test");
  const std::wstring path = platform::utf8::ToWide(folder->Database());
  TempDatabases()[path] = std::move(folder);
  return path;
}

inline void RemoveDatabase(const std::wstring& path) { TempDatabases().erase(path); }

LONG Long(const _ConnectionPtr& cn, const wchar_t* sql) {
  _RecordsetPtr rs;
  if (FAILED(OpenRS(rs, cn, sql))) return -999;
  if (rs->GetadoEOF()) return -1;
  _variant_t v = rs->GetFields()->GetItem(_variant_t(LONG{0}))->GetValue();
  return v.vt == VT_NULL ? -2 : static_cast<LONG>(v);
}

// The recordset of a business object's data set.
inline _RecordsetPtr DataSetOf(const IFlgItemPtr& item, LONG index) {
  IFlgDataSetPtr sets(item);
  IUnknown* raw = nullptr;
  EXPECT_EQ(sets->GetDataSet(index, &raw), S_OK);
  IUnknownPtr unknown(raw, false);
  return _RecordsetPtr(unknown);
}

class HostFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    CoInitialize(nullptr);
    path = TempPath();
    host = std::make_unique<host::Host>(path);
    CHxInstance::SetInstance(host->Instance());
  }
  void TearDown() override {
    CHxInstance::SetInstance(nullptr);
    host.reset();
    RemoveDatabase(path);
    CoUninitialize();
  }
  host::CHostInstance& Obj() { return host->Object(); }
  // Accounts (a login and nothing more) for the auctions and transactions a test writes: those
  // name an account that exists.
  void AddAccounts(std::initializer_list<LONG> ids) {
    for (LONG id : ids) {
      const std::wstring sql = L"INSERT INTO reg__Registration (reg_Id, reg_Username) VALUES (" + std::to_wstring(id) +
                               L", 'konto" + std::to_wstring(id) + L"')";
      host->Connection()->Execute(_bstr_t(sql.c_str()), nullptr, kCmdTextNoRecords);
    }
  }
  std::vector<std::wstring> Events(const wchar_t* kind) {
    std::vector<std::wstring> out;
    for (const auto& e : Obj().Events())
      if (e.kind == kind) out.push_back(e.text);
    return out;
  }

  std::wstring path;
  std::unique_ptr<host::Host> host;
};

}  // namespace
