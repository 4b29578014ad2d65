// `vantor locks`: the object locks held between workstations (the rows of kd_blokada), and how one
// left behind is removed.
#include <iomanip>
#include <sstream>
#include <string>

#include "host/command.h"
#include "host/host.h"

namespace {

std::wstring Text(const _variant_t& value) { return host::ValueText(value); }

int Locks(host::CommandContext& context) {
  _RecordsetPtr rs;
  const HRESULT hr = OpenRS(rs, context.host.Connection(),
                            L"SELECT obtype, obid, obextra, workstation, username FROM kd_blokada "
                            L"ORDER BY obtype, obid, obextra");
  host::Check(hr);
  std::wostringstream rows;
  long count = 0;
  for (; !rs->GetadoEOF(); rs->MoveNext(), ++count) {
    FieldsPtr fields = rs->GetFields();
    rows << L"  " << std::left << std::setw(12) << Text(fields->GetItem(_variant_t(LONG{0}))->GetValue())
         << std::setw(12) << Text(fields->GetItem(_variant_t(LONG{1}))->GetValue()) << std::setw(12)
         << Text(fields->GetItem(_variant_t(LONG{2}))->GetValue()) << std::setw(18)
         << Text(fields->GetItem(_variant_t(LONG{3}))->GetValue()) << Text(fields->GetItem(_variant_t(LONG{4}))->GetValue())
         << L"\n";
  }
  std::wostringstream out;
  if (count == 0) {
    out << L"Brak blokad obiektów.\n";
  } else {
    out << L"Blokady obiektów (" << count << L"):\n"
        << L"  " << std::left << std::setw(12) << L"typ" << std::setw(12) << L"id" << std::setw(12) << L"dodatkowy"
        << std::setw(18) << L"stanowisko" << L"użytkownik\n"
        << rows.str()
        << L"To stanowisko: " << host::ThisWorkstation() << L". Blokadę, która została po przerwanym programie, usuwa "
           L"vantor unlock TYP ID [DODATKOWY].\n";
  }
  host::Write(stdout, out.str());
  return 0;
}

}  // namespace

VANTOR_COMMAND(.name = "locks", .usage = L"  locks      blokady obiektów trzymane przez stanowiska\n",
               .order = 30, .run = Locks, .readOnly = true, .maxArgs = 0);
