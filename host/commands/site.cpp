// `vantor site ID KIND [IDENT [KONTO]]`: one dictionary of an auction site as the site object gives
// it, by its kind (lotrixSpecificDataType); IDENT restricts it (a category's children or parent,
// a category's or field's entries), KONTO takes the account's own categories.
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

#include "auctions/lotrix.h"
#include "host/command.h"
#include "host/commands/objects.h"
#include "host/host.h"

namespace {

const wchar_t* const kKindNames[lotrixSpecificDataLast] = {
    L"kraje", L"regiony", L"rodzaje aukcji", L"wyróżnienia", L"płatności", L"wysyłki", L"kategorie",
    L"kategoria nadrzędna", L"czasy trwania", L"konta", L"pola kategorii", L"słowniki pól kategorii",
    L"kategorie sklepu", L"kategoria nadrzędna sklepu",
};

void Rows(const _RecordsetPtr& rs, std::wostringstream& out) {
  FieldsPtr fields = rs->GetFields();
  const LONG count = fields->GetCount();
  out << L" ";
  for (LONG i = 0; i < count; ++i)
    out << L" " << static_cast<const wchar_t*>(fields->GetItem(_variant_t(i))->GetName());
  out << L"\n";
  if (rs->GetBOF() && rs->GetadoEOF()) return;
  for (rs->MoveFirst(); !rs->GetadoEOF(); rs->MoveNext()) {
    out << L" ";
    for (LONG i = 0; i < count; ++i) out << (i ? L"\t" : L" ") << host::ValueText(fields->GetItem(_variant_t(i))->GetValue());
    out << L"\n";
  }
}

int Site(host::CommandContext& context) {
  const auto& args = context.args;
  long id = 0, ident = 0, account = 0;
  char* end = nullptr;
  const long kind = args.size() >= 2 ? std::strtol(args[1].c_str(), &end, 10) : 0;
  const bool parsed = args.size() >= 2 && host::ParsePositive(args[0], id) && !args[1].empty() && end && !*end &&
                      (args.size() < 3 || host::ParseNumber(args[2], ident, 0)) &&
                      (args.size() < 4 || host::ParsePositive(args[3], account));
  if (!parsed) {
    host::Write(stderr, L"vantor: polecenie site wymaga numeru serwisu i rodzaju słownika (liczb), a po nich "
                        L"numeru pozycji (0: najwyższy poziom) i konta (liczby dodatniej)\n");
    return 2;
  }
  IUnknownPtr object = host::LoadObject(context.host, L"Vantor.CoSite", static_cast<LONG>(id));
  if (!object) {
    host::Write(stderr, L"vantor: nie ma serwisu o numerze " + std::to_wstring(id) + L"\n");
    return 1;
  }
  ISitePtr site(object);
  if (!site) _com_issue_error(E_NOINTERFACE);
  const auto type = static_cast<lotrixSpecificDataType>(kind);
  _Recordset* raw = nullptr;
  HRESULT hr = E_NOTIMPL;
  if (kind >= INT32_MIN && kind <= INT32_MAX) {
    if (args.size() == 2) hr = site->GetSpecificData(type, &raw);
    else if (args.size() == 3) hr = site->GetSpecificDataExt(type, static_cast<LONG>(ident), &raw);
    else hr = site->GetSpecificRegDataExt(type, static_cast<LONG>(ident), static_cast<LONG>(account), &raw);
  }
  _RecordsetPtr rs(raw, false);
  if (hr == E_NOTIMPL) {
    host::Write(stderr, L"vantor: serwis nie ma słownika rodzaju " + host::Widen(args[1]) +
                            (args.size() > 2 ? L" dla podanych numerów" : L"") + L"\n");
    return 1;
  }
  host::Check(hr);
  LONG siteId = 0, provider = 0;
  host::Check(site->GetSiteId(&siteId));
  host::Check(site->GetSvcProvId(&provider));
  std::wostringstream out;
  out << L"Serwis " << id << L" (numer w serwisie " << siteId << L", dostawca " << provider << L"), słownik "
      << kind << L" (" << kKindNames[kind] << L"): " << rs->GetRecordCount() << L"\n";
  Rows(rs, out);
  host::Write(stdout, out.str());
  return 0;
}

}  // namespace

VANTOR_COMMAND(.name = "site",
               .usage = L"  site ID RODZAJ [POZYCJA [KONTO]]\n"
                        L"             słownik serwisu aukcyjnego ID rodzaju 0-13 (kraje, regiony, ..., kategorie\n"
                        L"             sklepu); POZYCJA: kategoria lub pole (0: najwyższy poziom kategorii),\n"
                        L"             KONTO: konto kategorii sklepu\n",
               .order = 51, .run = Site, .readOnly = true, .maxArgs = 4);
