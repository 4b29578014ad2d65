// `vantor unlock`: removes the synchronisation locks (object type 726) that this workstation
// holds, which a receive or a send killed midway leaves behind, naming the workstation and user
// of each.
#include <sstream>
#include <string>

#include "host/command.h"
#include "host/host.h"
#include "host/item.h"
#include "platform/resources/resources.h"
#include "shared/sqltools.h"

namespace {

constexpr LONG kSyncLockType = 726;

int Unlock(host::CommandContext& context) {
  wchar_t computer[MAX_COMPUTERNAME_LENGTH + 1] = {};
  DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
  if (!GetComputerNameW(computer, &size)) computer[0] = 0;
  _ConnectionPtr cn = context.host.Connection();
  CString where;
  where.Format(L"obtype = %ld AND workstation = '%ls'", kSyncLockType, hxSqlQuote(computer).GetString());
  std::wostringstream out;
  long count = 0;
  host::InTransaction(cn, [&] {
    _RecordsetPtr rs;
    const HRESULT hr = OpenRS(rs, cn, L"SELECT obid, obextra, workstation, username FROM kd_blokada WHERE " + where +
                                          L" ORDER BY obid, obextra");
    if (FAILED(hr)) _com_issue_error(hr);
    for (; !rs->GetadoEOF(); rs->MoveNext(), ++count) {
      FieldsPtr f = rs->GetFields();
      out << L"Usunięto blokadę synchronizacji nr " << host::ValueText(f->GetItem(_variant_t(L"obid"))->GetValue())
          << L" (stanowisko " << host::ValueText(f->GetItem(_variant_t(L"workstation"))->GetValue()) << L", użytkownik "
          << host::ValueText(f->GetItem(_variant_t(L"username"))->GetValue()) << L").\n";
    }
    rs->Close();
    cn->Execute(_bstr_t(L"DELETE FROM kd_blokada WHERE " + where), nullptr, kCmdTextNoRecords);
  });
  if (count == 0) out << L"Stanowisko " << computer << L" nie ma blokad synchronizacji.\n";
  host::Write(stdout, out.str());
  return 0;
}

}  // namespace

VANTOR_COMMAND(.name = "unlock",
               .usage = L"  unlock     usuwa blokady synchronizacji tego stanowiska (po przerwanym odbieraniu\n"
                        L"             lub wysyłaniu)\n",
               .order = 31, .run = Unlock, .readOnly = false, .maxArgs = 0);
