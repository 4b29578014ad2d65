// `vantor zone config`: the seller-zone page settings of the demonstration account, read (and,
// with --description and --www, written) through the seller-zone connector. `vantor zone sync`:
// a seller-zone synchronisation of the demonstration account (zone_sync.cpp).
#include <cstdio>
#include <string>

#include "host/command.h"
#include "host/commands/zone.h"
#include "host/host.h"
#include "platform/registry/registry.h"
#include "zone/vorlen.h"

namespace host::zone {

namespace {

// Where the connector reads the service's host: its profile section.
constexpr wchar_t kConnectorProfileKey[] = L"Software\\Kordel\\Vantor\\Vorlen\\1.0\\StrefaVantor";

int Usage(const std::wstring& problem) {
  host::Write(stderr, L"vantor: " + problem +
                          L"\nUżycie: vantor zone config [--host HOST[:PORT]] [--description TEKST] [--www ADRES]\n"
                          L"       vantor zone sync [--host HOST[:PORT]]\n");
  return 2;
}

}  // namespace

LONG Long(const _ConnectionPtr& cn, const wchar_t* sql) {
  _RecordsetPtr rs;
  const HRESULT hr = OpenRS(rs, cn, sql);
  host::Check(hr);
  if (rs->GetadoEOF()) return 0;
  const _variant_t v = rs->GetFields()->GetItem(_variant_t(LONG{0}))->GetValue();
  return v.vt == VT_NULL ? 0 : static_cast<LONG>(v);
}

// The demonstration account's id, made with its site and credentials when they are missing.
LONG DemoAccount(const _ConnectionPtr& cn) {
  CString find;
  find.Format(L"SELECT reg_Id FROM reg__Registration WHERE reg_Username = '%s'", kDemoLogin);
  cn->BeginTrans();
  try {
    LONG id = Long(cn, find);
    if (id == 0) {
      id = host::ReserveKeys(cn, L"reg__Registration", 1, L"reg_Id");
      CString insert;
      insert.Format(L"INSERT INTO reg__Registration (reg_Id, reg_SvcProvId, reg_SvcUserId, reg_Username, reg_Name, "
                    L"reg_Active, reg_ST_StatusesServiceActive) VALUES (%ld, %ld, %I64d, '%s', "
                    L"'Konto demonstracyjne', 1, 1)",
                    id, kDemoServiceProvider, kDemoServiceUserId, kDemoLogin);
      cn->Execute(_bstr_t(insert), nullptr, kCmdTextNoRecords);
    }
    // The account passes its check (the synchronisation saves its cut-off) with an access key
    // (the converter's stored form), also in a database made before the key was given.
    CString key;
    key.Format(L"UPDATE reg__Registration SET reg_Accesskey = '%s' WHERE reg_Id = %ld AND (reg_Accesskey IS NULL OR "
               L"reg_Accesskey = '')",
               kDemoAccessKey, id);
    cn->Execute(_bstr_t(key), nullptr, kCmdTextNoRecords);
    // The site it works on, which puts it on the host's list of accounts (under the name the
    // site's other accounts know it by, where the site row has none of its own).
    CString site;
    site.Format(L"SELECT st_Id FROM st__Site WHERE st_SiteId = %ld AND st_SvcProvId = %ld", kDemoSite,
                kDemoServiceProvider);
    LONG siteId = Long(cn, site);
    if (siteId == 0) {
      siteId = host::ReserveKeys(cn, L"st__Site", 1, L"st_Id");
      CString insert;
      insert.Format(L"INSERT INTO st__Site (st_Id, st_SiteId, st_SvcProvId, st_Name, st_Currency) "
                    L"VALUES (%ld, %ld, %ld, '%s', 'PLN')",
                    siteId, kDemoSite, kDemoServiceProvider, kDemoSiteName);
      cn->Execute(_bstr_t(insert), nullptr, kCmdTextNoRecords);
    }
    site.Format(L"SELECT COUNT(*) FROM reg_Site WHERE rs_RegId = %ld AND rs_SiteId = %ld", id, siteId);
    if (Long(cn, site) == 0) {
      CString insert;
      insert.Format(L"INSERT INTO reg_Site (rs_Id, rs_RegId, rs_SiteId, rs_Name) SELECT %ld, %ld, %ld, "
                    L"(SELECT MAX(rs_Name) FROM reg_Site WHERE rs_SiteId = %ld)",
                    host::ReserveKeys(cn, L"reg_Site", 1, L"rs_Id"), id, siteId, siteId);
      cn->Execute(_bstr_t(insert), nullptr, kCmdTextNoRecords);
    }
    CString credentials;
    credentials.Format(L"SELECT COUNT(*) FROM kd_SellerZoneAccount WHERE sz_RegId = %ld", id);
    if (Long(cn, credentials) == 0) {
      CString insert;
      insert.Format(L"INSERT INTO kd_SellerZoneAccount (sz_RegId, sz_RegistrationId) VALUES (%ld, '%s')", id,
                    kDemoRegistrationId);
      cn->Execute(_bstr_t(insert), nullptr, kCmdTextNoRecords);
    }
    cn->CommitTrans();
    return id;
  } catch (const _com_error&) {
    cn->RollbackTrans();
    throw;
  }
}

int Failed(const std::wstring& what, HRESULT hr, const LockKey* lock) { return ReportFailure(what, hr, lock); }

namespace {

std::wstring Text(const _variant_t& v) {
  if (v.vt == VT_NULL || v.vt == VT_EMPTY) return L"";
  return static_cast<const wchar_t*>(_bstr_t(v)) ? static_cast<const wchar_t*>(_bstr_t(v)) : L"";
}

std::wstring Flag(const _variant_t& v) {
  if (v.vt == VT_NULL || v.vt == VT_EMPTY) return L"-";
  return static_cast<bool>(v) ? L"tak" : L"nie";
}

void Print(const _RecordsetPtr& rs, LONG account) {
  FieldsPtr f = rs->GetFields();
  auto value = [&](const wchar_t* name) { return f->GetItem(_variant_t(name))->GetValue(); };
  std::wstring out = L"Ustawienia strony w Strefie Vantor (konto " + std::wstring(kDemoLogin) + L", nr " +
                     std::to_wstring(account) + L"):\n";
  out += L"  StatusesServiceActive    " + Flag(value(L"StatusesServiceActive")) + L"\n";
  out += L"  ShowDocumentAddressForm  " + Flag(value(L"ShowDocumentAddressForm")) + L"\n";
  out += L"  ShowDeliveryAddressForm  " + Flag(value(L"ShowDeliveryAddressForm")) + L"\n";
  out += L"  Description              " + Text(value(L"Description")) + L"\n";
  out += L"  WWW                      " + Text(value(L"WWW")) + L"\n";
  host::Write(stdout, out);
}

}  // namespace

bool SetServiceHost(const std::wstring& host) {
  const DWORD bytes = static_cast<DWORD>((host.size() + 1) * sizeof(wchar_t));
  return SHSetValueW(HKEY_CURRENT_USER, kConnectorProfileKey, L"Host", REG_SZ, host.c_str(), bytes) == ERROR_SUCCESS;
}

namespace {

int Zone(host::CommandContext& context) {
  // The command's options (each with its value) and its one word, "config".
  const std::vector<std::string>& args = context.args;
  std::vector<std::string> words;
  std::wstring serviceHost;
  bool hasDescription = false, hasWww = false;
  std::wstring description, www;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    const bool hasValue = i + 1 < args.size();
    if (arg == "--host" && hasValue) {
      serviceHost = host::Widen(args[++i]);
    } else if (arg == "--description" && hasValue) {
      description = host::Widen(args[++i]);
      hasDescription = true;
    } else if (arg == "--www" && hasValue) {
      www = host::Widen(args[++i]);
      hasWww = true;
    } else {
      words.push_back(arg);
    }
  }
  if (words.empty()) return Usage(L"polecenie zone wymaga słowa config albo sync");
  if (words[0] != "config" && words[0] != "sync") return Usage(L"nieznane polecenie zone " + host::Widen(words[0]));
  if (words.size() > 1)
    return Usage(L"nadmiarowe argumenty polecenia zone " + host::Widen(words[0]) + L": " + host::Widen(words[1]));
  if (words[0] == "sync" && (hasDescription || hasWww)) return Usage(L"zone sync nie przyjmuje --description ani --www");

  if (!serviceHost.empty() && !SetServiceHost(serviceHost))
    return Failed(L"nie można zapisać adresu Strefy Vantor w ustawieniach", E_FAIL);

  const LONG account = DemoAccount(context.host.Connection());
  if (words[0] == "sync") return Sync(context, account);
  IVorlenConnectorPtr connector;
  HRESULT hr = connector.CreateInstance(L"Vantor.CoVorlenConnector", nullptr, CLSCTX_ALL);
  if (FAILED(hr)) return Failed(L"nie można utworzyć połączenia ze Strefą Vantor", hr);

  _RecordsetPtr config;
  if (hasDescription || hasWww) {
    _Recordset* raw = nullptr;
    hr = connector->GetPageConfig(account, &raw);
    config.Attach(raw);
    if (FAILED(hr)) return Failed(L"nie udało się odczytać ustawień strony ze Strefy Vantor", hr);
    if (!config) {
      // The service gave no settings: start from a new row.
      hr = connector->CreateStatusesOptionsContainer(&raw);
      config.Attach(raw);
      if (FAILED(hr)) return Failed(L"nie można przygotować ustawień strony", hr);
      config->AddNew();
    } else {
      config->MoveFirst();
    }
    if (hasDescription) config->GetFields()->GetItem(_variant_t(L"Description"))->PutValue(_variant_t(description.c_str()));
    if (hasWww) config->GetFields()->GetItem(_variant_t(L"WWW"))->PutValue(_variant_t(www.c_str()));
    hr = connector->SetPageConfig(account, config);
    if (FAILED(hr)) return Failed(L"nie udało się zapisać ustawień strony w Strefie Vantor", hr);
  }

  _Recordset* raw = nullptr;
  hr = connector->GetPageConfig(account, &raw);
  config.Attach(raw);
  if (FAILED(hr)) return Failed(L"nie udało się odczytać ustawień strony ze Strefy Vantor", hr);
  if (!config) {
    host::Write(stdout, L"Strefa Vantor nie podała ustawień strony.\n");
    return 0;
  }
  config->MoveFirst();
  Print(config, account);
  return 0;
}

const char* const kZoneOptions[] = {"--host", "--description", "--www", nullptr};

}  // namespace
}  // namespace host::zone

VANTOR_COMMAND(.name = "zone",
               .usage = L"  zone config [--host HOST[:PORT]] [--description TEKST] [--www ADRES]\n"
                        L"             ustawienia strony konta demonstracyjnego w Strefie Vantor (konto kd_demo\n"
                        L"             powstaje, gdy go nie ma); --description i --www najpierw je zmieniają,\n"
                        L"             --host zapisuje adres usługi (domyślnie strefa.vantor.pl)\n"
                        L"  zone sync [--host HOST[:PORT]]\n"
                        L"             synchronizacja ze Strefą Vantor: zamyka niepotrzebne strony statusowe,\n"
                        L"             otwiera nowe, wysyła dane transakcji na strony i odbiera dane wpisane\n"
                        L"             przez kupujących; baza bez transakcji konta demonstracyjnego dostaje\n"
                        L"             przykładowe transakcje (Ctrl+C przerywa)\n",
               .order = 40, .run = host::zone::Zone, .options = host::zone::kZoneOptions);
