#pragma once
// The host tests' shared set-up: a host over a database file of its own, set into the gateway.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <initializer_list>
#include <memory>
#include <stdexcept>
#include <system_error>
#include <string>
#include <vector>

#include "host/host.h"
#include "platform/base/utf8.h"
#include "shared/hxinstance.h"

namespace {

// A database file in a new folder of its own: tests running at once, or files left by a test that
// was killed, share nothing with it. RemoveDatabase removes the folder with the file.
std::wstring TempPath() {
  char pattern[] = "/tmp/vantor-host-test-XXXXXX";
  if (!::mkdtemp(pattern)) throw std::runtime_error("mkdtemp failed");
  return platform::utf8::ToWide(std::string(pattern) + "/vantor.db");
}

void RemoveDatabase(const std::wstring& path) {
  const std::filesystem::path folder = std::filesystem::path(platform::utf8::FromWide(path)).parent_path();
  std::error_code error;
  std::filesystem::remove_all(folder, error);
  EXPECT_FALSE(error) << folder << ": " << error.message();
}

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
