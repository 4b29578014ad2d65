#include "shared/tests/fixture.h"

#include "platform/base/utf8.h"

namespace testutil {

TempDatabase::TempDatabase() : m_path(platform::utf8::ToWide(m_folder.Database())) {}

std::wstring TempDatabase::File(const std::wstring& name) const {
  return platform::utf8::ToWide(m_folder.File(platform::utf8::FromWide(name)));
}

_ConnectionPtr TempDatabase::Open() const {
  _ConnectionPtr cn;
  HRESULT hr = cn.CreateInstance(__uuidof(Connection));
  if (FAILED(hr)) _com_issue_error(hr);
  std::wstring text = L"Data Source=" + m_path;
  cn->Open(_bstr_t(text.c_str()), _bstr_t(L""), _bstr_t(L""), adConnectUnspecified);
  return cn;
}

void Exec(const _ConnectionPtr& cn, const wchar_t* sql) {
  cn->Execute(_bstr_t(sql), nullptr, kCmdTextNoRecords);
}

void HostTest::SetUp() {
  CoInitialize(nullptr);
  cn = db.Open();
  host = std::make_unique<doubles::HostDoubles>();
  host->instance->connection = cn;
  CHxInstance::SetInstance(host->instancePtr);
}

void HostTest::TearDown() {
  CHxInstance::SetInstance(nullptr);
  host.reset();
  if (cn) cn->Close();
  cn = nullptr;
  CoUninitialize();
}

std::wstring HostTest::Last(const wchar_t* method) const {
  auto args = host->recorder->ArgsOf(method);
  return args.empty() ? L"<none>" : args.back();
}

}  // namespace testutil
