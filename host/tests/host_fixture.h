#pragma once
// The host tests' shared set-up: a host over a database file of its own, set into the gateway.
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "host/host.h"
#include "shared/hxinstance.h"

namespace {

std::wstring TempPath() {
  static std::atomic<int> counter{0};
  // The counter's address tells the test files of one program apart.
  return L"/tmp/vantor-host-test-" + std::to_wstring(::getpid()) + L"-" +
         std::to_wstring(reinterpret_cast<std::uintptr_t>(&counter) % 100000) + L"-" + std::to_wstring(counter++) + L".db";
}

void RemoveDatabase(const std::wstring& path) {
  std::string narrow = static_cast<const char*>(_bstr_t(path.c_str()));
  for (const char* suffix : {"", "-wal", "-shm", "-journal"}) std::remove((narrow + suffix).c_str());
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
