// `vantor account ID`: an auction-site account as the account object gives it: its fields (but the
// password), its custom values and its sites.
#include <sstream>
#include <string>
#include <vector>

#include "auctions/lotrix.h"
#include "host/command.h"
#include "host/commands/objects.h"
#include "host/host.h"

namespace {

std::wstring Text(BSTR text) {
  const std::wstring value = text ? text : L"";
  SysFreeString(text);
  return value;
}

// A text member of the account; "?" when the account cannot tell it.
template <class Getter>
std::wstring TextOf(Getter get) {
  BSTR text = nullptr;
  return FAILED(get(&text)) ? std::wstring(L"?") : Text(text);
}

const wchar_t* YesNo(BOOL value) { return value ? L"tak" : L"nie"; }

void Fields(LotrixRegistration* account, IRegistration* registration, std::wostringstream& out) {
  LONG provider = 0, email = 0;
  LONGLONG user = 0;
  BOOL active = FALSE, shop = FALSE, statuses = FALSE, documentForm = FALSE, deliveryForm = FALSE;
  host::Check(account->GetSvcProvId(&provider));
  host::Check(account->GetSvcUserId(&user));
  host::Check(account->GetActive(&active));
  host::Check(account->GetHasShop(&shop));
  host::Check(account->GetEmailId(&email));
  host::Check(registration->GetST_StatusesServiceActive(&statuses));
  host::Check(registration->GetST_ShowDocumentAddressForm(&documentForm));
  host::Check(registration->GetST_ShowDeliveryAddressForm(&deliveryForm));
  _variant_t lastSynch;
  host::Check(registration->GetST_LastSynch(&lastSynch));
  BSTR service = nullptr;
  const std::wstring serviceName = SUCCEEDED(account->GetServiceName(&service)) ? Text(service) : L"(nieznany)";
  out << L"  login: " << TextOf([&](BSTR* t) { return account->GetUsername(t); }) << L"\n"
      << L"  serwis: " << serviceName << L" (dostawca " << provider << L")\n"
      << L"  numer użytkownika w serwisie: " << (user ? std::to_wstring(user) : std::wstring()) << L"\n"
      << L"  opis: " << TextOf([&](BSTR* t) { return account->GetDescription(t); }) << L"\n"
      << L"  wersja łącznika: " << TextOf([&](BSTR* t) { return account->GetVersion(t); }) << L"\n"
      << L"  aktywne: " << YesNo(active) << L"\n"
      << L"  sklep: " << YesNo(shop) << L"\n"
      << L"  nazwa: " << TextOf([&](BSTR* t) { return account->GetName(t); }) << L"\n"
      << L"  imię i nazwisko: " << TextOf([&](BSTR* t) { return account->GetFullName(t); }) << L"\n"
      << L"  adres e-mail: " << (email ? std::to_wstring(email) : std::wstring()) << L"\n"
      << L"  strefa sprzedawcy: " << YesNo(statuses) << L"\n"
      << L"  formularz adresu dokumentu: " << YesNo(documentForm) << L"\n"
      << L"  formularz adresu dostawy: " << YesNo(deliveryForm) << L"\n"
      << L"  wizytówka: " << TextOf([&](BSTR* t) { return registration->GetST_Description(t); }) << L"\n"
      << L"  strona WWW: " << TextOf([&](BSTR* t) { return registration->GetST_WWW(t); }) << L"\n"
      << L"  ostatnia synchronizacja strefy: " << host::ValueText(lastSynch) << L"\n";
}

std::wstring CustomValue(const _variant_t& value) {
  switch (value.vt) {
    case VT_EMPTY: return L"(brak)";
    case VT_BSTR: return L"'" + host::ValueText(value) + L"'";
    case VT_ARRAY | VT_UI1: {
      LONG low = 0, high = -1;
      SafeArrayGetLBound(value.parray, 1, &low);
      SafeArrayGetUBound(value.parray, 1, &high);
      return L"(dane binarne, " + std::to_wstring(high - low + 1) + L" B)";
    }
    default: return host::ValueText(value);
  }
}

void CustomValues(IFlgDataSet* data, LotrixRegCustData* values, std::wostringstream& out) {
  LONG count = 0;
  host::Check(values->GetCount(&count));
  out << L"Wartości własne (" << count << L"):\n";
  IUnknown* raw = nullptr;
  host::Check(data->GetDataSet(1, &raw));
  IUnknownPtr unknown(raw, false);
  _RecordsetPtr rows(unknown);
  if (!rows || (rows->GetBOF() && rows->GetadoEOF())) return;
  // The names first: looking a value up filters these same rows.
  std::vector<_variant_t> names;
  for (rows->MoveFirst(); !rows->GetadoEOF(); rows->MoveNext())
    names.push_back(rows->GetFields()->GetItem(_variant_t(L"rd_Name"))->GetValue());
  for (const _variant_t& name : names) {
    _variant_t value;
    host::Check(values->GetValue(name, &value));
    out << L"  " << host::ValueText(name) << L" = " << CustomValue(value) << L"\n";
  }
}

void Sites(LotrixRegistration* account, std::wostringstream& out) {
  IUnknown* raw = nullptr;
  host::Check(account->GetSubData(&raw));
  IUnknownPtr unknown(raw, false);
  _RecordsetPtr sites(unknown);
  if (!sites) _com_issue_error(E_NOINTERFACE);
  out << L"Serwisy (" << sites->GetRecordCount() << L"):\n";
  if (sites->GetBOF() && sites->GetadoEOF()) return;
  for (sites->MoveFirst(); !sites->GetadoEOF(); sites->MoveNext()) {
    out << L"  " << host::ValueText(sites->GetFields()->GetItem(_variant_t(L"site_id"))->GetValue()) << L"\t"
        << host::ValueText(sites->GetFields()->GetItem(_variant_t(L"site_name"))->GetValue()) << L"\n";
  }
}

int Account(host::CommandContext& context) {
  long id = 0;
  if (context.args.size() != 1 || !host::ParsePositive(context.args[0], id)) {
    host::Write(stderr, L"vantor: polecenie account wymaga numeru konta (liczby dodatniej)\n");
    return 2;
  }
  IUnknownPtr object = host::LoadObject(context.host, L"Vantor.CoRegistration", static_cast<LONG>(id));
  if (!object) {
    host::Write(stderr, L"vantor: nie ma konta o numerze " + std::to_wstring(id) + L"\n");
    return 1;
  }
  LotrixRegistrationPtr account(object);
  IRegistrationPtr registration(object);
  LotrixRegCustDataPtr values(object);
  IFlgDataSetPtr data(object);
  if (!account || !registration || !values || !data) _com_issue_error(E_NOINTERFACE);
  std::wostringstream out;
  out << L"Konto " << id << L"\n";
  Fields(account, registration, out);
  CustomValues(data, values, out);
  Sites(account, out);
  host::Write(stdout, out.str());
  return 0;
}

}  // namespace

VANTOR_COMMAND(.name = "account",
               .usage = L"  account ID\n             konto serwisu aukcyjnego: dane (bez hasła), wartości własne i serwisy\n",
               .order = 50, .run = Account, .readOnly = true, .maxArgs = 1);
