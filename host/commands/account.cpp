// `vantor account ID`: an auction-site account as the account object gives it: its fields (but the
// password), its custom values and its sites.
#include <sstream>
#include <string>
#include <vector>

#include "auctions/lotrix.h"
#include "host/command.h"
#include "host/commands/objects.h"
#include "host/commands/zone.h"
#include "host/host.h"
#include "framework/controls.h"
#include "platform/base/utf8.h"
#include "platform/gui/headless.h"
#include "testing/site_connector/reference_connector.h"

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

int Show(host::CommandContext& context, long id) {
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


int Usage(const std::wstring& text) {
  host::Write(stderr, L"vantor: " + text + L"\n");
  return 2;
}

IRegManagerPtr Manager() {
  IRegManagerPtr manager;
  host::Check(manager.CreateInstance(L"Vantor.RegManager", nullptr, CLSCTX_ALL));
  return manager;
}

// The words and switches of an account command.
struct Words {
  std::vector<std::string> words;
  std::wstring login, password;
  std::vector<std::wstring> sites;   // "number=name"
  std::vector<std::pair<std::wstring, std::wstring>> sets;
  std::wstring serviceHost;
  bool hasLogin = false, hasPassword = false, yes = false, no = false, cancel = false;
  std::wstring error;
};

Words Parse(const std::vector<std::string>& args) {
  Words w;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    const bool value = i + 1 < args.size();
    if (a == "--yes") w.yes = true;
    else if (a == "--no") w.no = true;
    else if (a == "--cancel") w.cancel = true;
    else if (a == "--login" && value) w.login = host::Widen(args[++i]), w.hasLogin = true;
    else if (a == "--host" && value) w.serviceHost = host::Widen(args[++i]);
    else if (a == "--password" && value) w.password = host::Widen(args[++i]), w.hasPassword = true;
    else if (a == "--site" && value) {
      const std::wstring site = host::Widen(args[++i]);
      const size_t colon = site.find(L':');
      long number = 0;
      if (colon == std::wstring::npos || colon + 1 >= site.size() ||
          !host::ParsePositive(platform::utf8::FromWide(site.substr(0, colon)), number)) {
        w.error = L"--site wymaga postaci NUMER:NAZWA: " + site;
        return w;
      }
      w.sites.push_back(std::to_wstring(number) + L"=" + site.substr(colon + 1));
    } else if (a == "--set" && value) {
      const std::wstring set = host::Widen(args[++i]);
      const size_t equals = set.find(L'=');
      if (equals == std::wstring::npos || equals == 0) {
        w.error = L"--set wymaga postaci NAZWA=WARTOŚĆ: " + set;
        return w;
      }
      w.sets.emplace_back(set.substr(0, equals), set.substr(equals + 1));
    } else {
      w.words.push_back(a);
    }
  }
  if (w.yes && w.no) w.error = L"--yes i --no wykluczają się";
  return w;
}

int List(host::CommandContext&) {
  _Recordset* raw = nullptr;
  host::Check(Manager()->GetRegList(&raw));
  _RecordsetPtr list(raw, false);
  std::wostringstream out;
  out << L"Konta (" << list->GetRecordCount() << L"):\n";
  out << L"  id\tlogin\tserwis\taktywne\tsklep\tidentyfikator\n";
  if (!(list->GetBOF() && list->GetadoEOF())) {
    for (list->MoveFirst(); !list->GetadoEOF(); list->MoveNext()) {
      auto field = [&](const wchar_t* name) { return list->GetFields()->GetItem(_variant_t(name))->GetValue(); };
      const _variant_t active = field(L"reg_Active");
      const _variant_t shop = field(L"reg_HasShop");
      out << L"  " << host::ValueText(field(L"reg_Id")) << L"\t" << host::ValueText(field(L"reg_Username")) << L"\t"
          << host::ValueText(field(L"ss_Name")) << L"\t"
          << (active.vt == VT_BOOL ? YesNo(active.boolVal != VARIANT_FALSE) : L"") << L"\t"
          << (shop.vt == VT_BOOL ? YesNo(shop.boolVal != VARIANT_FALSE) : L"") << L"\t"
          << host::ValueText(field(L"reg_SvcUserId")) << L"\n";
    }
  }
  host::Write(stdout, out.str());
  return 0;
}

int Add(host::CommandContext&, const Words& w) {
  long provider = 0;
  if (w.words.size() != 2 || !host::ParsePositive(w.words[1], provider))
    return Usage(L"account add wymaga numeru serwisu (dostawcy)");
  // The reference connector's dialog answers with these words.
  IReferenceConnectorControlPtr control;
  if (SUCCEEDED(control.CreateInstance(CLSID_ReferenceConnector, nullptr, CLSCTX_ALL)) && control) {
    control->Reset();
    control->ScriptEditAccount(w.cancel ? VARIANT_FALSE : VARIANT_TRUE, w.hasLogin ? _bstr_t(w.login.c_str()) : _bstr_t(),
                               w.hasPassword ? _bstr_t(w.password.c_str()) : _bstr_t(), nullptr);
    std::wstring sites;
    for (const std::wstring& site : w.sites) sites += (sites.empty() ? L"" : L";") + site;
    control->ScriptEditSites(w.sites.empty() ? _bstr_t() : _bstr_t(sites.c_str()));
  }
  LONG id = 0;
  const HRESULT hr = Manager()->RegAdd(0, static_cast<LONG>(provider), &id);
  if (FAILED(hr))
    return host::ReportFailure(
        L"konto nie zostało dodane" + (id > 0 ? L" (zostało jako " + std::to_wstring(id) + L")" : std::wstring()), hr);
  if (id <= 0) {
    // Why the connector's dialog did not store it, when the dialog said so.
    BSTR info = nullptr;
    if (control && SUCCEEDED(control->GetDialogInfo(&info)) && info) host::Write(stderr, std::wstring(info) + L"\n");
    SysFreeString(info);
    host::Write(stdout, L"Nie dodano konta.\n");
    return 1;
  }
  host::Write(stdout, L"Dodano konto " + std::to_wstring(id) + L".\n");
  return 0;
}

// The dialog's questions (Lotrix's texts).
const wchar_t kDeleteQuestion[] = L"Czy na pewno usunąć informacje rejestracyjne użytkownika serwisu aukcyjnego?";
const wchar_t kActivateQuestion[] =
    L"Czy na pewno aktywować wybrane konto? Aktywacja dotyczy tylko pracy Vantor z wybranym kontem, a nie aktywności "
    L"konta w serwisie aukcyjnym.";
const wchar_t kDeactivateQuestion[] =
    L"Dezaktywowanie konta spowoduje, że nie będzie możliwa obsługa w tej bazie danych Vantor aukcji i transakcji "
    L"związanych z tym kontem.\nCzy na pewno dezaktywować wybrane konto?";

// The data object's code for a change the database's keys refused.
constexpr HRESULT kIntegrityRefused = static_cast<HRESULT>(0x80040F1Cu);

// Why an account cannot be deleted: the records that name it.
void TellRecords(host::CommandContext& context, LONG id) {
  CString auctions, transactions;
  auctions.Format(L"SELECT COUNT(*) FROM au__Auction WHERE au_RegId = %ld", id);
  transactions.Format(L"SELECT COUNT(*) FROM tr__Transaction WHERE tr_RegId = %ld", id);
  const LONG counts[] = {host::zone::Long(context.host.Connection(), auctions),
                         host::zone::Long(context.host.Connection(), transactions)};
  host::Write(stderr, L"Konto " + std::to_wstring(id) + L" ma w bazie danych aukcje (także szablony): " +
                          std::to_wstring(counts[0]) + L", transakcje: " + std::to_wstring(counts[1]) +
                          L"; zostają z nim. Konto, z którym program nie ma już pracować, można dezaktywować: vantor "
                          L"account deactivate " + std::to_wstring(id) + L"\n");
}

bool Exists(host::CommandContext& context, long id) {
  return host::LoadObject(context.host, L"Vantor.CoRegistration", static_cast<LONG>(id)) != nullptr;
}

int Change(host::CommandContext& context, const Words& w) {
  const std::string& verb = w.words[0];
  long id = 0;
  if (w.words.size() != 2 || !host::ParsePositive(w.words[1], id))
    return Usage(L"account " + host::Widen(verb) + L" wymaga numeru konta (liczby dodatniej)");
  if (!Exists(context, id)) {
    host::Write(stderr, L"vantor: nie ma konta o numerze " + std::to_wstring(id) + L"\n");
    return 1;
  }
  const bool deleting = verb == "delete";
  const bool activating = verb == "activate";
  if (!host::Ask(deleting ? kDeleteQuestion : activating ? kActivateQuestion : kDeactivateQuestion, w.yes, w.no)) {
    host::Write(stdout, L"Bez zmian.\n");
    return 0;
  }
  // The manager's own question (the account's e-mail address) takes the same answer.
  if (w.yes || w.no) platform::gui::QueueMessageBoxAnswer(w.yes ? IDYES : IDNO);
  const HRESULT hr = deleting ? Manager()->RegDelete(0, static_cast<LONG>(id))
                              : Manager()->RegActivate(static_cast<LONG>(id), activating ? VARIANT_TRUE : VARIANT_FALSE);
  platform::gui::ClearScripts();
  if (FAILED(hr)) {
    const host::LockKey lock{host::kAccountObjectType, static_cast<LONG>(id), 0};
    const int failed = host::ReportFailure(std::wstring(deleting ? L"nie usunięto" : activating ? L"nie aktywowano"
                                                                                               : L"nie dezaktywowano") +
                                               L" konta " + std::to_wstring(id),
                                           hr, &lock);
    if (deleting && hr == kIntegrityRefused) TellRecords(context, static_cast<LONG>(id));
    return failed;
  }
  host::Write(stdout, std::wstring(deleting ? L"Usunięto" : activating ? L"Aktywowano" : L"Dezaktywowano") + L" konto " +
                          std::to_wstring(id) + L".\n");
  return 0;
}

// The seller-zone settings through the settings dialog: the server's settings are read into it,
// shown, changed by --set and saved with OK (without --set the dialog is cancelled).
int Zone(host::CommandContext& context, const Words& w) {
  long id = 0;
  if (w.words.size() != 2 || !host::ParsePositive(w.words[1], id))
    return Usage(L"account zone wymaga numeru konta (liczby dodatniej)");
  if (!Exists(context, id)) {
    host::Write(stderr, L"vantor: nie ma konta o numerze " + std::to_wstring(id) + L"\n");
    return 1;
  }
  if (!w.serviceHost.empty() && !host::zone::SetServiceHost(w.serviceHost))
    return host::zone::Failed(L"nie można zapisać adresu Strefy Vantor w ustawieniach", E_FAIL);
  struct Control {
    const wchar_t* name;
    int id;
    bool check;
  };
  const Control controls[] = {{L"active", 1027, true},      {L"delivery", 1028, true}, {L"document", 1029, true},
                              {L"description", 1030, false}, {L"www", 1025, false}};
  for (const auto& [name, value] : w.sets) {
    bool known = false;
    for (const Control& c : controls) known = known || name == c.name;
    if (!known) return Usage(L"nieznane ustawienie " + name + L" (active, delivery, document, description, www)");
  }
  std::wstring shown;
  bool ended = false;
  platform::gui::QueueModal(platform::gui::ModalScript(L"#106").Do([&](HWND dialog) {
    // The server's settings.
    NMHDR header{GetDlgItem(dialog, 1032), 1032, kFlgLinkClicked};
    SendMessageW(dialog, WM_NOTIFY, 1032, reinterpret_cast<LPARAM>(&header));
    for (const auto& [name, value] : w.sets) {
      for (const Control& c : controls) {
        if (name != c.name) continue;
        if (c.check) CheckDlgButton(dialog, c.id, value == L"1" || value == L"tak" ? BST_CHECKED : BST_UNCHECKED);
        else SetDlgItemTextW(dialog, c.id, value.c_str());
      }
    }
    std::wostringstream out;
    for (const Control& c : controls) {
      wchar_t text[600] = {};
      if (c.check) wcscpy(text, IsDlgButtonChecked(dialog, c.id) == BST_CHECKED ? L"tak" : L"nie");
      else GetDlgItemTextW(dialog, c.id, text, 600);
      out << L"  " << c.name << L": " << text << L"\n";
    }
    shown = out.str();
    SendMessageW(dialog, WM_COMMAND, w.sets.empty() ? IDCANCEL : IDOK, 0);
    ended = !IsWindow(dialog) || !IsWindowVisible(dialog);
  }));
  const HRESULT hr = Manager()->RegEditStatuses(0, static_cast<LONG>(id));
  platform::gui::ClearScripts();
  if (SUCCEEDED(hr) || !shown.empty()) host::Write(stdout, L"Strefa Vantor konta " + std::to_wstring(id) + L":\n" + shown);
  if (FAILED(hr)) {
    const host::LockKey lock{host::kAccountObjectType, static_cast<LONG>(id), 0};
    return host::ReportFailure(L"ustawienia Strefy Vantor konta " + std::to_wstring(id) + L" nie zostały otwarte", hr,
                               &lock);
  }
  if (!w.sets.empty()) {
    if (hr != S_OK) {
      host::Write(stderr, L"vantor: ustawienia nie zostały zapisane\n");
      return 1;
    }
    host::Write(stdout, L"Zapisano ustawienia.\n");
  }
  (void)ended;
  return 0;
}

int Account(host::CommandContext& context) {
  const Words w = Parse(context.args);
  if (!w.error.empty()) return Usage(w.error);
  if (w.words.empty()) return Usage(L"polecenie account wymaga numeru konta (liczby dodatniej)");
  const std::string& verb = w.words[0];
  if (verb == "add") return Add(context, w);
  if (verb == "delete" || verb == "activate" || verb == "deactivate") return Change(context, w);
  if (verb == "zone") return Zone(context, w);
  if (!w.serviceHost.empty()) return Usage(L"--host należy do account zone");
  long id = 0;
  if (w.words.size() != 1 || !host::ParsePositive(verb, id))
    return Usage(L"polecenie account wymaga numeru konta (liczby dodatniej)");
  return Show(context, id);
}

bool Writes(const std::vector<std::string>& words) {
  return !words.empty() && (words[0] == "add" || words[0] == "delete" || words[0] == "activate" ||
                            words[0] == "deactivate" || words[0] == "zone");
}

const char* const kAccountOptions[] = {"--login", "--password", "--site", "--set", "--host", nullptr};
const char* const kAccountFlags[] = {"--yes", "--no", "--cancel", nullptr};

}  // namespace

VANTOR_COMMAND(.name = "accounts",
               .usage = L"  accounts    konta serwisów aukcyjnych: numer, login, serwis, aktywne, sklep, identyfikator\n",
               .order = 49, .run = List, .readOnly = true, .maxArgs = 0);
VANTOR_COMMAND(.name = "account",
               .usage = L"  account ID\n             konto serwisu aukcyjnego: dane (bez hasła), wartości własne i serwisy\n"
                        L"  account add DOSTAWCA [--login L] [--password H] [--site NUMER:NAZWA]... [--cancel]\n"
                        L"             dodaje konto przez łącznik serwisu (łącznik wzorcowy bierze odpowiedzi\n"
                        L"             swojego okna z tych opcji; --cancel je anuluje)\n"
                        L"  account delete|activate|deactivate ID [--yes|--no]\n"
                        L"             usuwa, aktywuje albo dezaktywuje konto (pyta, chyba że --yes albo --no)\n"
                        L"  account zone ID [--host HOST[:PORT]] [--set NAZWA=WARTOŚĆ]...\n"
                        L"             ustawienia Strefy Vantor konta odczytane z usługi przez okno ustawień;\n"
                        L"             --set (active, delivery, document, description, www) zmienia je i zapisuje\n",
               .order = 50, .run = Account, .readOnly = true, .maxArgs = -1, .options = kAccountOptions,
               .switches = kAccountFlags, .writes = Writes);
