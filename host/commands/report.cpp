// `vantor` without a command: what the product database holds.
#include <sstream>
#include <string>
#include <vector>

#include "host/command.h"
#include "host/host.h"
#include "host/schema.h"

namespace {

int Report(host::CommandContext& context) {
  _ConnectionPtr cn = context.host.Connection();
  std::wostringstream out;
  out << L"Baza danych: " << context.databasePath << L"\n";
  out << L"Wersja schematu: " << host::StoredSchemaVersion(cn) << L"\n";
  _RecordsetPtr tables;
  HRESULT hr = OpenRS(tables, cn,
                      L"SELECT TABLE_NAME FROM INFORMATION_SCHEMA.TABLES WHERE TABLE_TYPE = 'BASE TABLE' "
                      L"ORDER BY TABLE_NAME");
  host::Check(hr);
  std::vector<std::wstring> names;
  for (; !tables->GetadoEOF(); tables->MoveNext())
    names.emplace_back(static_cast<const wchar_t*>(_bstr_t(tables->GetFields()->GetItem(_variant_t(LONG{0}))->GetValue())));
  out << L"Tabele (" << names.size() << L"):\n";
  for (const std::wstring& name : names) {
    std::wstring sql = L"SELECT COUNT(*) FROM [" + name + L"]";
    _RecordsetPtr count;
    LONG rows = -1;
    if (SUCCEEDED(OpenRS(count, cn, sql.c_str())) && !count->GetadoEOF())
      rows = static_cast<LONG>(count->GetFields()->GetItem(_variant_t(LONG{0}))->GetValue());
    out << L"  " << name << L": " << rows << L"\n";
  }
  host::Write(stdout, out.str());
  return 0;
}

}  // namespace

VANTOR_COMMAND(.name = "", .usage = L"", .order = 0, .run = Report, .maxArgs = 0);
