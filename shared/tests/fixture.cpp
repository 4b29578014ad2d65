#include "shared/tests/fixture.h"

#include <unistd.h>

#include <atomic>
#include <cstdio>

namespace testutil {

TempDatabase::TempDatabase() {
  static std::atomic<int> counter{0};
  m_path = L"/tmp/vantor-shared-test-" + std::to_wstring(::getpid()) + L"-" + std::to_wstring(counter++) + L".db";
}

TempDatabase::~TempDatabase() {
  std::string narrow = static_cast<const char*>(_bstr_t(m_path.c_str()));
  for (const char* suffix : {"", "-wal", "-shm", "-journal"}) std::remove((narrow + suffix).c_str());
}

_ConnectionPtr TempDatabase::Open() const {
  _ConnectionPtr cn;
  HRESULT hr = cn.CreateInstance(__uuidof(Connection));
  if (FAILED(hr)) _com_issue_error(hr);
  std::wstring text = L"Provider=SQLite;Data Source=" + m_path;
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
