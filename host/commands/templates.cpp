// `vantor templates`: the auction templates of the database by site (a database without any first
// gets the demonstration's: templates of two sites of the demonstration account, one of them bound
// to no account); `vantor templates print SITE [ACCOUNT]` prints the template chooser's list of a
// site into the print spool. The chooser's sample for `vantor dialog #13030` shows the
// demonstration site's templates.
#include <memory>
#include <string>

#include "host/command.h"
#include "host/commands/zone.h"
#include "host/host.h"
#include "platform/gui/gallery.h"
#include "platform/gui/headless.h"
#include "platform/gui/webbrowser.h"
#include "shared/controls/gridprint.h"
#include "shared/controls/szablonwybordlg.h"
#include "shared/hxinstance.h"
#include "shared/sqltools.h"

namespace {

using host::zone::Long;

constexpr LONG kSecondSite = 2;
constexpr wchar_t kSecondSiteName[] = L"Serwis demonstracyjny: ogłoszenia lokalne";

void Run(const _ConnectionPtr& cn, const CString& sql) { cn->Execute(_bstr_t(sql.GetString()), nullptr, kCmdTextNoRecords); }

// The local id of the site (number at provider 1), made when missing.
LONG Site(const _ConnectionPtr& cn, LONG number, const wchar_t* name) {
  CString find;
  find.Format(L"SELECT st_Id FROM st__Site WHERE st_SiteId = %ld AND st_SvcProvId = %ld", number,
              host::zone::kDemoServiceProvider);
  LONG id = Long(cn, find);
  if (id != 0) return id;
  id = host::ReserveKeys(cn, L"st__Site", 1, L"st_Id");
  CString insert;
  insert.Format(L"INSERT INTO st__Site (st_Id, st_SiteId, st_SvcProvId, st_Name, st_Currency) VALUES (%ld, %ld, %ld, N'%s', 'PLN')",
                id, number, host::zone::kDemoServiceProvider, name);
  Run(cn, insert);
  return id;
}

// A dictionary row of the demonstration's sites ("st_AuctionType" with prefix "at", ...).
LONG Dictionary(const _ConnectionPtr& cn, const wchar_t* table, const wchar_t* prefix, const wchar_t* name) {
  CString key;
  key.Format(L"%s_Id", prefix);
  const LONG id = host::ReserveKeys(cn, table, 1, key);
  CString insert;
  insert.Format(L"INSERT INTO %s (%s_Id, %s_Name, %s_SvcProvId, %s_SiteId) VALUES (%ld, N'%s', %ld, %ld)", table,
                prefix, prefix, prefix, prefix, id, name, host::zone::kDemoServiceProvider, host::zone::kDemoSite);
  Run(cn, insert);
  return id;
}

struct DemoTemplate {
  int site;          // 0 the demonstration site, 1 the second one
  bool anyAccount;   // bound to no account
  const wchar_t* note;
  const wchar_t* title;
  int type;          // 0 auction, 1 buy now
  int duration;      // 0 seven days, 1 fourteen
  const wchar_t* start;
};

const DemoTemplate kDemoTemplates[] = {
    {0, false, L"Lampy mosiężne", L"Lampa stołowa mosiężna, klosz z mlecznego szkła", 0, 0, L"2024-03-04 19:00:00"},
    {0, false, L"Porcelana", L"Kubek porcelanowy <limitowany> & spodek", 1, 1, L"2024-03-05 20:30:00"},
    {0, true, L"Ogólny", L"Przedmiot z kolekcji - stan bardzo dobry", 0, 0, L"2024-03-06 18:00:00"},
    {1, false, L"Meble", L"Krzesło gięte, lata 30.", 1, 1, L"2024-03-07 21:00:00"},
    {1, false, L"Książki", L"Atlas ptaków Polski, wydanie I", 0, 0, L"2024-03-08 17:15:00"},
};

}  // namespace

namespace host {

// The demonstration's templates, given to a database that has no template; the demonstration
// site's local id.
LONG DemoTemplates(const _ConnectionPtr& cn) {
  const LONG account = zone::DemoAccount(cn);
  const LONG first = Site(cn, zone::kDemoSite, zone::kDemoSiteName);
  if (Long(cn, L"SELECT COUNT(*) FROM vw_AuctionTemplate") > 0) return first;
  cn->BeginTrans();
  try {
    const LONG sites[] = {first, Site(cn, kSecondSite, kSecondSiteName)};
    const LONG types[] = {Dictionary(cn, L"st_AuctionType", L"at", L"Licytacja"),
                          Dictionary(cn, L"st_AuctionType", L"at", L"Kup teraz")};
    const LONG durations[] = {Dictionary(cn, L"st_Duration", L"sd", L"7 dni"), Dictionary(cn, L"st_Duration", L"sd", L"14 dni")};
    for (const DemoTemplate& t : kDemoTemplates) {
      const CString title = hxSqlQuote(t.title);
      CString regId;
      if (t.anyAccount)
        regId = L"NULL";
      else
        regId.Format(L"%ld", account);
      CString insert;
      insert.Format(L"INSERT INTO au__Auction (au_Id, au_Template, au_SiteId, au_SvcProvId, au_RegId, au_Note, au_Title, "
                    L"au_TypeId, au_DurationId, au_StartDate) VALUES (%ld, 1, %ld, %ld, %s, N'%s', N'%s', %ld, %ld, '%s')",
                    ReserveKeys(cn, L"au__Auction", 1, L"au_Id"), sites[t.site], zone::kDemoServiceProvider,
                    regId.GetString(), t.note, title.GetString(), types[t.type], durations[t.duration], t.start);
      Run(cn, insert);
    }
    cn->CommitTrans();
  } catch (const _com_error&) {
    cn->RollbackTrans();
    throw;
  }
  return first;
}

}  // namespace host

namespace {

int List(host::CommandContext& context) {
  const _ConnectionPtr cn = context.host.Connection();
  host::DemoTemplates(cn);
  _RecordsetPtr rs;
  const HRESULT hr = OpenRS(rs, cn,
                            L"SELECT au_Id, au_SiteId, st_Name, au_RegId, au_Note, au_Title FROM vw_AuctionTemplate "
                            L"LEFT JOIN st__Site ON st_Id = au_SiteId ORDER BY au_SiteId, au_Id");
  host::Check(hr);
  std::wstring out = L"Szablony aukcji:\n";
  LONG site = 0;
  bool first = true;
  for (; !rs->GetadoEOF(); rs->MoveNext()) {
    auto value = [&](const wchar_t* name) { return rs->GetFields()->GetItem(_variant_t(name))->GetValue(); };
    const _variant_t siteValue = value(L"au_SiteId");
    const LONG thisSite = siteValue.vt == VT_NULL ? 0 : static_cast<LONG>(siteValue);
    if (first || thisSite != site) {
      out += L"  serwis " + std::to_wstring(thisSite) + L" (" + host::ValueText(value(L"st_Name")) + L"):\n";
      site = thisSite;
      first = false;
    }
    const _variant_t reg = value(L"au_RegId");
    out += L"    " + host::ValueText(value(L"au_Id")) + L"  " + host::ValueText(value(L"au_Note")) + L": " +
           host::ValueText(value(L"au_Title")) + L"  [" +
           (reg.vt == VT_NULL ? std::wstring(L"dowolne konto") : L"konto " + host::ValueText(reg)) + L"]\n";
  }
  if (first) out += L"  (brak)\n";
  host::Write(stdout, out);
  return 0;
}

int PrintList(host::CommandContext& context) {
  long site = 0;
  long account = 0;
  if (context.args.size() < 2 || context.args.size() > 3 || !host::ParsePositive(context.args[1], site) ||
      (context.args.size() == 3 && !host::ParsePositive(context.args[2], account))) {
    host::Write(stderr, L"vantor: użycie: vantor templates print SERWIS [KONTO]\n");
    return 2;
  }
  host::DemoTemplates(context.host.Connection());
  platform::gui::SetEcho(false);
  CSzablonAukcjiWyborDlg chooser;
  chooser.m_siteId = static_cast<LONG>(site);
  chooser.m_regId = static_cast<LONG>(account);
  if (!chooser.Create(MAKEINTRESOURCEW(kIddSzablonAukcjiWybor))) {
    host::Write(stderr, L"vantor: nie można utworzyć okna wyboru szablonu\n");
    return 1;
  }
  // An empty list is printed too (the header alone).
  platform::gui::QueueMessageBoxAnswer(IDYES);
  const size_t before = platform::gui::PrintJobs().size();
  CHtmlPrintGridSupport support(&chooser.m_list);
  const HRESULT hr = chooser.m_list.PrintList();
  chooser.DestroyWindow();
  platform::gui::ClearScripts();
  const std::vector<platform::gui::PrintJob> jobs = platform::gui::PrintJobs();
  if (FAILED(hr)) return host::ReportFailure(L"nie wydrukowano listy szablonów", hr);
  if (jobs.size() <= before || jobs.back().file.empty()) {
    CString reason;
    reason.Format(L" (błąd 0x%08X)", static_cast<unsigned>(jobs.size() > before ? jobs.back().result : E_FAIL));
    host::Write(stderr, L"vantor: nie wydrukowano listy szablonów" + std::wstring(reason.GetString()) + L"\n");
    return 1;
  }
  host::Write(stdout, L"Wydrukowano listę szablonów serwisu " + std::to_wstring(site) + L" (" +
                          host::Count(static_cast<unsigned>(chooser.m_list.Grid().GetRowCount()), L"szablon", L"szablony", L"szablonów") + L"): " + jobs.back().file + L"\n");
  return 0;
}

int Templates(host::CommandContext& context) {
  if (context.args.empty()) return List(context);
  if (context.args[0] == "print") return PrintList(context);
  host::Write(stderr, L"vantor: użycie: vantor templates [print SERWIS [KONTO]]\n");
  return 2;
}

}  // namespace

VANTOR_COMMAND(.name = "templates",
               .usage = L"  templates          szablony aukcji według serwisów (baza bez szablonów dostaje\n"
                        L"                     przykładowe szablony konta demonstracyjnego)\n"
                        L"  templates print SERWIS [KONTO]\n"
                        L"                     drukuje listę okna wyboru szablonu serwisu SERWIS (i konta) do\n"
                        L"                     kolejki wydruków obok bazy danych i wypisuje plik zadania\n",
               .order = 47, .run = Templates, .maxArgs = 3);

VANTOR_DIALOG_SAMPLE(L"#13030", L"Vantor", L"wybór szablonu aukcji (CSzablonAukcjiWyborDlg, szablony serwisu demonstracyjnego)", [] {
  auto dialog = std::make_unique<CSzablonAukcjiWyborDlg>();
  try {
    dialog->m_siteId = host::DemoTemplates(CHxInstance::GetConnection());
  } catch (const _com_error&) {
  }
  if (!dialog->Create(MAKEINTRESOURCEW(kIddSzablonAukcjiWybor))) return std::unique_ptr<CWnd>();
  dialog->ShowWindow(SW_SHOW);
  return std::unique_ptr<CWnd>(std::move(dialog));
});
