#pragma once
// The site and account objects over the host's data factory and a product database in a temporary
// file, created by their ProgIDs: Lotrix, the reference access-key converter and the reference site
// connector are registered in a registry held in memory. Service provider 1 is the reference
// connector's; the tests script the connector and the converter through their controls.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "auctions/lotrix.h"
#include "auctions/module.h"
#include "framework/objerrors.h"
#include "host/host.h"
#include "platform/base/utf8.h"
#include "platform/gui/headless.h"
#include "platform/registry/registry.h"
#include "shared/hxinstance.h"
#include "testing/access_key/access_key.h"
#include "testing/site_connector/reference_connector.h"
#include "testing/support/temp_folder.h"

namespace accounts_test {

// A one-dimensional VT_I4 array of the values, starting at index `lower`, as the host passes ids.
inline _variant_t I4Array(const std::vector<LONG>& values, LONG lower = 0) {
  SAFEARRAYBOUND bound{static_cast<ULONG>(values.size()), lower};
  SAFEARRAY* array = SafeArrayCreate(VT_I4, 1, &bound);
  LONG index = lower;
  for (LONG value : values) {
    SafeArrayPutElement(array, &index, &value);
    ++index;
  }
  _variant_t v;
  v.vt = VT_ARRAY | VT_I4;
  v.parray = array;
  return v;
}

inline std::wstring Library(const char* path) { return platform::utf8::ToWide(path); }

// The thread's error information: its description and interface.
struct ErrorInfo {
  std::wstring description;
  GUID iid = GUID_NULL;
};
inline ErrorInfo TakeError() {
  ErrorInfo out;
  IErrorInfo* raw = nullptr;
  if (GetErrorInfo(0, &raw) != S_OK || !raw) return out;
  IErrorInfoPtr info(raw, false);
  BSTR text = nullptr;
  info->GetDescription(&text);
  out.description = text ? text : L"";
  SysFreeString(text);
  info->GetGUID(&out.iid);
  return out;
}

inline std::wstring Text(BSTR text) {
  std::wstring out = text ? text : L"";
  SysFreeString(text);
  return out;
}

class AccountsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    CoInitialize(nullptr);
    platform::registry::UseMemoryStore();
    platform::gui::SetEcho(false);
    ASSERT_EQ(platform::com::RegisterServerLibrary(Library(VANTOR_LOTRIX_LIBRARY)), S_OK);
    ASSERT_EQ(platform::com::RegisterServerLibrary(Library(VANTOR_ACCESS_KEY_LIBRARY)), S_OK);
    ASSERT_EQ(platform::com::RegisterServerLibrary(Library(VANTOR_REFERENCE_CONNECTOR_LIBRARY)), S_OK);
    folder = std::make_unique<testtemp::TempFolder>("vantor-accounts-test");
    path = platform::utf8::ToWide(folder->Database());
    host = std::make_unique<host::Host>(path);
    cn = host->Connection();
    CHxInstance::SetInstance(host->Instance());
    factory = IFlgDataFactoryPtr(host->Instance());
    Run(L"INSERT INTO sl_ServiceProvider (ss_Id, ss_Name, ss_ProgId) VALUES (1, N'Serwis wzorcowy', "
        L"'Reference.SiteConnector')");
    connector = Create(CLSID_ReferenceConnector);
    converter = Create(CLSID_AccessKeyConverter);
    ASSERT_TRUE(connector);
    ASSERT_TRUE(converter);
    connector->Reset();
    converter->Reset();
  }
  void TearDown() override {
    if (connector) connector->Reset();
    if (converter) converter->Reset();
    connector = nullptr;
    converter = nullptr;
    factory = nullptr;
    cn = nullptr;
    CHxInstance::SetInstance(nullptr);
    host.reset();
    folder.reset();
    platform::gui::ClearRecords();
    CoUninitialize();
    EXPECT_EQ(LotrixModule().GetLockCount(), 0);  // every object released its lock on the library
  }

  void Run(const std::wstring& sql) { cn->Execute(_bstr_t(sql.c_str()), nullptr, kCmdTextNoRecords); }
  _variant_t Value(const std::wstring& sql) {
    _RecordsetPtr rs = cn->Execute(_bstr_t(sql.c_str()), nullptr, adCmdText);
    if (rs->GetadoEOF()) return _variant_t();
    return rs->GetFields()->GetItem(_variant_t(LONG{0}))->GetValue();
  }
  LONG Long(const std::wstring& sql) {
    const _variant_t v = Value(sql);
    return v.vt == VT_NULL || v.vt == VT_EMPTY ? -1 : static_cast<LONG>(v);
  }
  std::wstring String(const std::wstring& sql) {
    const _variant_t v = Value(sql);
    return v.vt == VT_BSTR ? std::wstring(v.bstrVal) : L"<" + std::to_wstring(v.vt) + L">";
  }

  // A new object of the class, by its class id (in-process, run).
  static IUnknownPtr Create(REFCLSID clsid) {
    IUnknown* raw = nullptr;
    const HRESULT hr = CoCreateInstance(clsid, nullptr, CLSCTX_ALL, __uuidof(IUnknown), reinterpret_cast<void**>(&raw));
    EXPECT_EQ(hr, S_OK);
    return IUnknownPtr(raw, false);
  }
  // A new object of the class named by a ProgID.
  static IUnknownPtr CreateNamed(const wchar_t* progId) {
    CLSID clsid = GUID_NULL;
    EXPECT_EQ(CLSIDFromProgID(progId, &clsid), S_OK) << progId;
    return Create(clsid);
  }
  // The object of the class read by key.
  IUnknownPtr Load(const wchar_t* progId, LONG id) {
    IUnknownPtr object = CreateNamed(progId);
    IFlgItemPtr item(object);
    EXPECT_TRUE(item);
    if (!item) return nullptr;
    EXPECT_EQ(item->Load(factory, _variant_t(id)), S_OK) << progId << " " << id;
    return object;
  }
  IUnknownPtr NewObject(const wchar_t* progId) {
    IUnknownPtr object = CreateNamed(progId);
    IFlgItemPtr item(object);
    EXPECT_TRUE(item);
    if (item) {
      EXPECT_EQ(item->InitNew(factory, _variant_t()), S_OK);
    }
    return object;
  }

  // The lines of the job logs of a subtype, oldest first, as "status text".
  std::vector<std::wstring> JobLines(LONG subtype) {
    std::vector<std::wstring> out;
    _RecordsetPtr rs = cn->Execute(
        _bstr_t((L"SELECT jll_Status, jll_Text FROM kd_JobLogLine INNER JOIN kd_JobLog ON jl_Id = jll_JobId WHERE "
                 L"jl_Subtype = " + std::to_wstring(subtype) + L" ORDER BY jll_Id")
                    .c_str()),
        nullptr, adCmdText);
    for (; !rs->GetadoEOF(); rs->MoveNext()) {
      const _variant_t status = rs->GetFields()->GetItem(_variant_t(LONG{0}))->GetValue();
      const _variant_t text = rs->GetFields()->GetItem(_variant_t(LONG{1}))->GetValue();
      out.push_back(std::to_wstring(static_cast<LONG>(status)) + L" " + (text.vt == VT_BSTR ? text.bstrVal : L""));
    }
    return out;
  }

  // The calls the reference connector recorded.
  std::vector<std::wstring> ConnectorCalls() {
    LONG count = 0;
    connector->GetCallCount(&count);
    std::vector<std::wstring> calls;
    for (LONG i = 0; i < count; ++i) {
      BSTR call = nullptr;
      connector->GetCall(i, &call);
      calls.push_back(Text(call));
    }
    return calls;
  }

  std::unique_ptr<testtemp::TempFolder> folder;  // the database's
  std::wstring path;
  std::unique_ptr<host::Host> host;
  _ConnectionPtr cn;
  IFlgDataFactoryPtr factory;
  IReferenceConnectorControlPtr connector;
  IAccessKeyControlPtr converter;
};

}  // namespace accounts_test
