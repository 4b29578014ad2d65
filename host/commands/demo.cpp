// `vantor demo`: a database to try the synchronisation on. On a database without accounts it
// makes the reference site's working copy beside the database (from the repository's data file)
// and adds two accounts of the reference service (provider 1) on its site through the
// connector: one with a shop and one without. It then prepares an auction on each account and a
// comment to give the buyer of a purchase the site holds, so that a send has work to do and a
// receive finds the rows it stores already. A database that holds accounts is left as it is.
#include <string>

#include "auctions/lotrix.h"
#include "host/command.h"
#include "host/commands/demo.h"
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
  host::Check(hr);
  if (id <= 0) _com_issue_error(E_ABORT);
  return id;
}

// A text as an SQL literal, its quotes doubled.
std::wstring SqlText(const std::wstring& text) {
  std::wstring quoted = L"N'";
  for (wchar_t c : text) {
    quoted += c;
    if (c == L'\'') quoted += L'\'';
  }
  return quoted + L"'";
}

void Run(const _ConnectionPtr& cn, const std::wstring& sql) {
  cn->Execute(_bstr_t(sql.c_str()), nullptr, adCmdText | adExecuteNoRecords);
}

// The next id of a table, reserved as the business objects reserve theirs.
LONG NextId(const _ConnectionPtr& cn, const wchar_t* table, const wchar_t* column) {
  return host::ReserveKeys(cn, table, 1, column);
}

// The purchase of the site's data file that the demonstration comments on: a sold auction of
// the first account, its buyer and the purchase, stored as a receive stores them (the auction
// by its number and account, the buyer by the service's user id), with a comment to give.
struct DemoPurchase {
  const wchar_t* number;
  const wchar_t* title;
  LONG quantity;
  const wchar_t* price;
  const wchar_t* date;
  LONGLONG buyerId;
  const wchar_t* nick;
  const wchar_t* buyerName;
  const wchar_t* email;
  const wchar_t* city;
};
const DemoPurchase kDemoPurchase = {L"7100003", L"Zestaw pędzli akwarelowych", 3, L"34.5", L"2026-11-18 16:42:00",
                                    8100003, L"zosia_maluje", L"Zofia", L"zosia@example.com", L"Gdańsk"};
const wchar_t kDemoComment[] = L"Dziękuję za zakupy, polecam!";

// Seeds a prepared auction on each account's site, and the purchase with its prepared comment
// on the first account, in one transaction.
void SeedSends(const _ConnectionPtr& cn, const LONG (&accounts)[2]) {
  cn->BeginTrans();
  try {
    for (size_t i = 0; i < 2; ++i) {
      const std::wstring account = std::to_wstring(accounts[i]);
      const std::wstring title = std::wstring(L"Demonstracyjna aukcja konta ") + kDemoAccounts[i].login;
      Run(cn, L"INSERT INTO au__Auction (au_Id, au_Title, au_RegId, au_RegSiteId, au_SiteId, au_SvcProvId, au_State, "
              L"au_Quantity, au_StartPrice, au_Duration) SELECT " +
                  std::to_wstring(NextId(cn, L"au__Auction", L"au_Id")) + L", " + SqlText(title) +
                  L", rs_RegId, rs_Id, rs_SiteId, " + std::to_wstring(kReferenceProviderId) +
                  L", 1, 2, 15, 7 FROM reg_Site WHERE rs_RegId = " + account);
    }
    const DemoPurchase& p = kDemoPurchase;
    const std::wstring provider = std::to_wstring(kReferenceProviderId);
    const std::wstring account = std::to_wstring(accounts[0]);
    const std::wstring auctionId = std::to_wstring(NextId(cn, L"au__Auction", L"au_Id"));
    Run(cn, L"INSERT INTO au__Auction (au_Id, au_Number, au_Title, au_RegId, au_RegSiteId, au_SiteId, au_SvcProvId, "
            L"au_State, au_Quantity, au_SoldCount, au_Price, au_BuyNowPrice, au_ShopItem) SELECT " +
                auctionId + L", " + SqlText(p.number) + L", " + SqlText(p.title) + L", rs_RegId, rs_Id, rs_SiteId, " +
                provider + L", 4, 10, " + std::to_wstring(p.quantity) + L", " + p.price + L", " + p.price +
                L", 1 FROM reg_Site WHERE rs_RegId = " + account);
    const std::wstring customerId = std::to_wstring(NextId(cn, L"cs__Customer", L"cs_Id"));
    Run(cn, L"INSERT INTO cs__Customer (cs_Id, cs_Name, cs_Nick, cs_ExtServiceId, cs_SvcProvId, cs_Email, cs_City) "
            L"VALUES (" + customerId + L", " + SqlText(p.buyerName) + L", " + SqlText(p.nick) + L", " +
                std::to_wstring(p.buyerId) + L", " + provider + L", " + SqlText(p.email) + L", " + SqlText(p.city) + L")");
    const std::wstring transactionId = std::to_wstring(NextId(cn, L"tr__Transaction", L"tr_Id"));
    Run(cn, L"INSERT INTO tr__Transaction (tr_Id, tr_Name, tr_CustomerId, tr_AuctionId, tr_RegId, tr_RegSiteId, "
            L"tr_Date, tr_CreationDate, tr_Currency, tr_ValueCurrency, tr_Kind, tr_KindDetail, tr_Original, "
            L"tr_OrigQuantity) SELECT " + transactionId + L", " + SqlText(p.title) + L", " + customerId + L", " +
                auctionId + L", au_RegId, au_RegSiteId, '" + p.date + L"', GETDATE(), 'PLN', 'PLN', 2, 1, 1, " +
                std::to_wstring(p.quantity) + L" FROM au__Auction WHERE au_Id = " + auctionId);
    Run(cn, L"INSERT INTO tr_Position (tp_Id, tp_TransId, tp_Order, tp_Name, tp_Quantity, tp_Price) VALUES (" +
                std::to_wstring(NextId(cn, L"tr_Position", L"tp_Id")) + L", " + transactionId + L", 1, " +
                SqlText(p.title) + L", " + std::to_wstring(p.quantity) + L", " + p.price + L")");
    Run(cn, L"INSERT INTO tr_Comment (tc_Id, tc_TransId, tc_SentComment, tc_SentScore) VALUES (" +
                std::to_wstring(NextId(cn, L"tr_Comment", L"tc_Id")) + L", " + transactionId + L", " +
                SqlText(kDemoComment) + L", 1)");
    cn->CommitTrans();
  } catch (...) {
    cn->RollbackTrans();
    throw;
  }
}
#endif

}  // namespace

namespace host {

LONG AccountCount(const _ConnectionPtr& cn) { return zone::Long(cn, L"SELECT COUNT(*) FROM reg__Registration"); }

int MakeDemonstration(CommandContext& context) {
#ifdef VANTOR_REFERENCE_CONNECTOR_LIBRARY
  const _ConnectionPtr& cn = context.host.Connection();
  if (!MakeReferenceSiteCopy(context.databasePath, true)) return 1;
  IReferenceConnectorControl* raw = nullptr;
  const HRESULT hr = CoCreateInstance(CLSID_ReferenceConnector, nullptr, CLSCTX_ALL,
                                      __uuidof(IReferenceConnectorControl), reinterpret_cast<void**>(&raw));
  IReferenceConnectorControlPtr control(raw, false);
  if (FAILED(hr)) return ReportFailure(L"nie można utworzyć łącznika serwisu wzorcowego", hr);
  LONG ids[2] = {};
  for (size_t i = 0; i < 2; ++i) {
    const DemoAccount& account = kDemoAccounts[i];
    ids[i] = AddAccount(control, account);
    Write(stdout, L"Dodano konto " + std::to_wstring(ids[i]) + L" (" + account.login +
                      (account.hasShop ? L", ze sklepem" : L", bez sklepu") + L").\n");
  }
  control->Reset();
  SeedSends(cn, ids);
  Write(stdout, L"Przygotowano do wysłania 2 aukcje i komentarz do zakupu aukcji " + std::wstring(kDemoPurchase.number) +
                    L" przez " + kDemoPurchase.nick + L".\n");
  Write(stdout, L"Dane serwisu wzorcowego: " + ReferenceSiteCopy(context.databasePath) + L"\n");
  return 0;
#else
  (void)context;
  Write(stderr, L"vantor: ten program nie ma łącznika serwisu wzorcowego\n");
  return 1;
#endif
}

}  // namespace host

namespace {

int Demo(host::CommandContext& context) {
  const LONG accounts = host::AccountCount(context.host.Connection());
  if (accounts > 0) {
    host::Write(stderr, L"vantor: baza danych ma już konta serwisów aukcyjnych (" + std::to_wstring(accounts) +
                            L"); demo niczego nie zmienia\n");
    return 2;
  }
  return host::MakeDemonstration(context);
}

}  // namespace

VANTOR_COMMAND(.name = "demo",
               .usage = L"  demo       baza do wypróbowania synchronizacji: dwa konta serwisu wzorcowego (jedno ze\n"
                        L"             sklepem), na każdym aukcja do wysłania, komentarz do wysłania do zakupu\n"
                        L"             z serwisu i kopia robocza danych serwisu obok bazy; gdy baza ma już konta,\n"
                        L"             niczego nie zmienia (wynik 2)\n",
               .order = 31, .run = Demo, .maxArgs = 0);
