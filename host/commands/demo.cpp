// `vantor demo`: a database to try the synchronisation on. On a database without accounts it
// makes the reference site's working copy beside the database (from the repository's data file)
// and adds two accounts of the reference service (provider 1) on its site through the
// connector: one with a shop and one without. A database that holds accounts is left as it is.
#include <string>

#include "auctions/lotrix.h"
#include "host/command.h"
#include "host/commands/objects.h"
#include "host/commands/reference_site.h"
#include "host/commands/zone.h"
#include "host/host.h"
#ifdef VANTOR_REFERENCE_CONNECTOR_LIBRARY
#include "testing/site_connector/reference_connector.h"
#endif

namespace {

#ifdef VANTOR_REFERENCE_CONNECTOR_LIBRARY
// The demonstration accounts as the reference site knows them (its data file's "accounts").
struct DemoAccount {
  const wchar_t* login;
  LONGLONG userId;
  const wchar_t* name;
  const wchar_t* fullName;
  bool hasShop;
};
const DemoAccount kDemoAccounts[] = {
    {L"sklep_wzorcowy", 8100001, L"Sklep wzorcowy", L"Anna Wzorcowa", true},
    {L"bez_sklepu", 8100002, L"Bez sklepu", L"Jan Wzorcowy", false},
};
const wchar_t kDemoPassword[] = L"demo";
// The reference site they sell on (its number at the service and its name).
const wchar_t kDemoSite[] = L"1=Wzorcowo";

// Adds one account through the account manager, the connector's dialog answering for it; its id.
LONG AddAccount(IReferenceConnectorControl* control, const DemoAccount& account) {
  host::Check(control->Reset());
  host::Check(control->ScriptEditAccount(VARIANT_TRUE, _bstr_t(account.login), _bstr_t(kDemoPassword), nullptr));
  host::Check(control->ScriptEditSites(_bstr_t(kDemoSite)));
  host::Check(control->ScriptServiceData(account.userId, _bstr_t(account.name), _bstr_t(account.fullName),
                                         account.hasShop ? VARIANT_TRUE : VARIANT_FALSE));
  IRegManagerPtr manager;
  HRESULT hr = manager.CreateInstance(L"Vantor.RegManager", nullptr, CLSCTX_ALL);
  LONG id = 0;
  if (SUCCEEDED(hr)) hr = manager->RegAdd(0, kReferenceProviderId, &id);
  if (FAILED(hr)) _com_issue_error(hr);
  if (id <= 0) _com_issue_error(E_ABORT);
  return id;
}
#endif

int Demo(host::CommandContext& context) {
#ifdef VANTOR_REFERENCE_CONNECTOR_LIBRARY
  const _ConnectionPtr& cn = context.host.Connection();
  const LONG accounts = host::zone::Long(cn, L"SELECT COUNT(*) FROM reg__Registration");
  if (accounts > 0) {
    host::Write(stderr, L"vantor: baza danych ma już konta serwisów aukcyjnych (" + std::to_wstring(accounts) +
                            L"); demo niczego nie zmienia\n");
    return 2;
  }
  if (!host::MakeReferenceSiteCopy(context.databasePath, true)) return 1;
  IReferenceConnectorControl* raw = nullptr;
  const HRESULT hr = CoCreateInstance(CLSID_ReferenceConnector, nullptr, CLSCTX_ALL,
                                      __uuidof(IReferenceConnectorControl), reinterpret_cast<void**>(&raw));
  IReferenceConnectorControlPtr control(raw, false);
  if (FAILED(hr)) return host::ReportFailure(L"nie można utworzyć łącznika serwisu wzorcowego", hr);
  for (const DemoAccount& account : kDemoAccounts) {
    const LONG id = AddAccount(control, account);
    host::Write(stdout, L"Dodano konto " + std::to_wstring(id) + L" (" + account.login +
                            (account.hasShop ? L", ze sklepem" : L", bez sklepu") + L").\n");
  }
  control->Reset();
  host::Write(stdout, L"Dane serwisu wzorcowego: " + host::ReferenceSiteCopy(context.databasePath) + L"\n");
  return 0;
#else
  (void)context;
  host::Write(stderr, L"vantor: ten program nie ma łącznika serwisu wzorcowego\n");
  return 1;
#endif
}

}  // namespace

VANTOR_COMMAND(.name = "demo",
               .usage = L"  demo       baza do wypróbowania synchronizacji: dwa konta serwisu wzorcowego (jedno ze\n"
                        L"             sklepem) i kopia robocza danych serwisu obok bazy; gdy baza ma już konta,\n"
                        L"             niczego nie zmienia (wynik 2)\n",
               .order = 31, .run = Demo, .maxArgs = 0);
