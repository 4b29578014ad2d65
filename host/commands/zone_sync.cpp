// `vantor zone sync`: a seller-zone synchronisation of the demonstration account through the
// status manager, as the host runs it: its four jobs (close pages, open pages, send page data,
// receive buyer data). The job logs show as they are written; Ctrl+C asks the run to stop at its
// next check.
//
// A database in which the demonstration account has no transactions first gets the
// demonstration's: purchases to open pages for (one of them a group), and transactions whose
// pages are to be closed (deleted ones, one switched off, an old completed one). Their buyers,
// auctions and pages are those that the test service's demonstration data knows
// (testing/zone_service/demo-accounts.txt).
#include <string>

#include "host/commands/job_status.h"
#include "host/commands/zone.h"
#include "host/host.h"
#include "host/objects.h"
#include "platform/strings/oledatetime.h"
#include "shared/objtools.h"
#include "zone/vorlen.h"

namespace host::zone {
namespace {

constexpr HRESULT kCancelled = static_cast<HRESULT>(0x800445A1u);

struct DemoBuyer {
  LONGLONG id;
  const wchar_t* name;
  const wchar_t* surname;
};
const DemoBuyer kBuyers[] = {
    {501, L"Jan", L"Kowalski"},    {502, L"Anna", L"Nowak"},         {503, L"Piotr", L"Wiśniewski"},
    {504, L"Maria", L"Wójcik"},    {505, L"Tomasz", L"Kamiński"},    {506, L"Katarzyna", L"Lewandowska"},
    {507, L"Michał", L"Zieliński"}, {508, L"Agnieszka", L"Szymańska"},
};

struct DemoAuction {
  const wchar_t* number;
  const wchar_t* title;
};
const DemoAuction kAuctions[] = {
    {L"DEMO-1001", L"Lampa biurkowa"},
    {L"DEMO-1002", L"Kubek ceramiczny"},
    {L"DEMO-1003", L"Plecak turystyczny"},
    {L"DEMO-1004", L"Zegar ścienny"},
};

// A transaction of the demonstration: its buyer and auction (by index; -1 none), when it was
// made and last changed (days back), and its state.
struct DemoTransaction {
  const wchar_t* name;
  int buyer;
  int auction;
  double createdDaysBack;
  double modifiedDaysBack;
  const wchar_t* more;  // further columns; the page when it has one
  bool deleted;         // deleted after it was made (its page is then to be closed)
};
const DemoTransaction kTransactions[] = {
    {L"Lampa biurkowa", 0, 0, 1, 1, L"", false},
    {L"Lampa biurkowa", 1, 0, 2, 2, L"", false},
    {L"Kubek ceramiczny", 2, 1, 0.125, 0.125, L"", false},
    {L"Podstawka pod kubek", 2, 1, 40, 40, L"", false},  // older than 30 days: no page
    {L"Plecak turystyczny", 4, 2, 3, 3, L"tr_StatusPageId = 9003, tr_StatusDisabled = 1", false},
    {L"Kubek ceramiczny", 7, 1, 50, 45, L"tr_StatusPageId = 9004, tr_Complete = 2", false},
    {L"Zegar ścienny", 5, 3, 5, 5, L"tr_StatusPageId = 9001", true},
    {L"Zegar ścienny", 6, 3, 6, 6, L"tr_StatusPageId = 9002", true},  // its page was closed on the service
};

CString DaysBack(double days) {
  return (COleDateTime::GetCurrentTime() - COleDateTimeSpan(days)).Format(L"'%Y-%m-%d %H:%M:%S'");
}

void Execute(const _ConnectionPtr& cn, const CString& sql) { cn->Execute(_bstr_t(sql), nullptr, kCmdTextNoRecords); }

// The demonstration's buyers, auctions and transactions for `account`; the ids of those to delete.
std::vector<LONG> Seed(const _ConnectionPtr& cn, LONG account) {
  std::vector<LONG> toDelete;
  LONG customers[std::size(kBuyers)];
  for (size_t i = 0; i < std::size(kBuyers); ++i) {
    customers[i] = ReserveKeys(cn, L"cs__Customer", 1, L"cs_Id");
    CString sql;
    sql.Format(L"INSERT INTO cs__Customer (cs_Id, cs_Name, cs_Surname, cs_ExtServiceId, cs_SvcProvId) "
               L"VALUES (%ld, '%s', '%s', %I64d, %ld)",
               customers[i], kBuyers[i].name, kBuyers[i].surname, kBuyers[i].id, kDemoServiceProvider);
    Execute(cn, sql);
  }
  LONG auctions[std::size(kAuctions)];
  for (size_t i = 0; i < std::size(kAuctions); ++i) {
    auctions[i] = ReserveKeys(cn, L"au__Auction", 1, L"au_Id");
    CString sql;
    sql.Format(L"INSERT INTO au__Auction (au_Id, au_Number, au_Title, au_RegId, au_SvcProvId) "
               L"VALUES (%ld, '%s', '%s', %ld, %ld)",
               auctions[i], kAuctions[i].number, kAuctions[i].title, account, kDemoServiceProvider);
    Execute(cn, sql);
  }
  auto transaction = [&](const DemoTransaction& t) {
    const LONG id = ReserveKeys(cn, L"tr__Transaction", 1, L"tr_Id");
    CString auction(L"NULL");
    if (t.auction >= 0) auction.Format(L"%ld", auctions[t.auction]);
    CString sql;
    sql.Format(L"INSERT INTO tr__Transaction (tr_Id, tr_Name, tr_RegId, tr_CustomerId, tr_AuctionId, tr_CreationDate, "
               L"tr_Date, tr_LastModified, tr_Currency, tr_ValueCurrency) VALUES (%ld, '%s', %ld, %ld, %s, %s, %s, "
               L"%s, 'PLN', 'PLN')",
               id, t.name, account, customers[t.buyer], auction.GetString(), DaysBack(t.createdDaysBack).GetString(),
               DaysBack(t.createdDaysBack).GetString(), DaysBack(t.modifiedDaysBack).GetString());
    Execute(cn, sql);
    if (*t.more) {
      sql.Format(L"UPDATE tr__Transaction SET %s WHERE tr_Id = %ld", t.more, id);
      Execute(cn, sql);
    }
    return id;
  };
  LONG first = 0;
  for (const DemoTransaction& t : kTransactions) {
    const LONG id = transaction(t);
    if (!first) first = id;
    if (t.deleted) toDelete.push_back(id);
  }
  // The first purchase has its buyer's delivery address, two positions and a package on its way.
  CString sql;
  sql.Format(L"INSERT INTO tr_Address (ta_Id, ta_TransId, ta_Kind, ta_Name, ta_FirstLine, ta_ZipCode, ta_City, "
             L"ta_Country) VALUES (%ld, %ld, 2, 'Jan Kowalski', 'ul. Długa 5', '00-950', 'Warszawa', 'Polska')",
             ReserveKeys(cn, L"tr_Address", 1, L"ta_Id"), first);
  Execute(cn, sql);
  sql.Format(L"UPDATE tr__Transaction SET tr_Payment = 149.98, tr_Paid = 1, tr_RemittanceDate = %s WHERE tr_Id = %ld",
             DaysBack(0.5).GetString(), first);
  Execute(cn, sql);
  const LONG position = ReserveKeys(cn, L"tr_Position", 2, L"tp_Id");
  sql.Format(L"INSERT INTO tr_Position (tp_Id, tp_TransId, tp_Order, tp_Name, tp_Quantity, tp_Price) VALUES "
             L"(%ld, %ld, 1, 'Lampa biurkowa', 1, 129.99), (%ld, %ld, 2, 'Żarówka LED', 2, 9.995)",
             position, first, position + 1, first);
  Execute(cn, sql);
  const LONG package = ReserveKeys(cn, L"pc__Package", 1, L"pc_Id");
  sql.Format(L"INSERT INTO pc__Package (pc_Id, pc_TransId, pc_RegId, pc_Symbol, pc_TrackingLink, pc_Charge, "
             L"pc_ChargeCurrency, pc_SendDate) VALUES (%ld, %ld, %ld, 'PX-1001', 'kurier.example/PX-1001', 15, 'PLN', %s)",
             package, first, account, DaysBack(0.25).GetString());
  Execute(cn, sql);
  sql.Format(L"INSERT INTO pc_PackageItem (pi_Id, pi_PackageId, pi_Order, pi_Name, pi_Quantity, pi_Price) VALUES "
             L"(%ld, %ld, 1, 'Lampa biurkowa', 1, 129.99)",
             ReserveKeys(cn, L"pc_PackageItem", 1, L"pi_Id"), package);
  Execute(cn, sql);
  // A group of two purchases of one buyer: its page is known by the member linked to an auction.
  const LONG group = transaction({L"Zestaw: plecak z pokrowcem", 3, -1, 1, 1, L"tr_Group = 1", false});
  const LONG members[] = {
      transaction({L"Pokrowiec (bez aukcji)", 3, -1, 1, 1, L"tr_Grouped = 1", false}),
      transaction({L"Plecak turystyczny", 3, 2, 1, 1, L"tr_Grouped = 1", false}),
  };
  for (LONG member : members) {
    CString sql;
    sql.Format(L"INSERT INTO tr_Group (tg_Id, tg_TransId, tg_PrimaryTransId) VALUES (%ld, %ld, %ld)",
               ReserveKeys(cn, L"tr_Group", 1, L"tg_Id"), group, member);
    Execute(cn, sql);
  }
  return toDelete;
}

// Gives the demonstration's data to a database whose demonstration account has no transactions
// (nor pages of deleted ones); true when it did.
bool SeedWhenEmpty(const _ConnectionPtr& cn, LONG account) {
  CString count;
  count.Format(L"SELECT (SELECT COUNT(*) FROM tr__Transaction WHERE tr_RegId = %ld) + "
               L"(SELECT COUNT(*) FROM tr_TransStatus WHERE ts_TransRegId = %ld)",
               account, account);
  if (Long(cn, count) != 0) return false;
  std::vector<LONG> toDelete;
  cn->BeginTrans();
  try {
    toDelete = Seed(cn, account);
    // The host sends its automatic messages to buyers (into its outbox).
    CString setting;
    setting.Format(L"SELECT COUNT(*) FROM kd_Setting WHERE st_Section = '%s' AND st_Key = '%s'", kMailSettingSection,
                   kAutomaticMessagesKey);
    if (Long(cn, setting) == 0) {
      setting.Format(L"INSERT INTO kd_Setting (st_Section, st_Key, st_Value) VALUES ('%s', '%s', '1')",
                     kMailSettingSection, kAutomaticMessagesKey);
      Execute(cn, setting);
    }
    cn->CommitTrans();
  } catch (const _com_error&) {
    cn->RollbackTrans();
    throw;
  }
  // Deleted as the host deletes them: their pages stay known, to be closed.
  for (LONG id : toDelete) CHxObjTools::Delete(__uuidof(HxTransaction), id);
  return true;
}

}  // namespace

void SeedDemoTransactions(CommandContext& context, LONG account) {
  if (SeedWhenEmpty(context.host.Connection(), account))
    Write(stdout, L"Konto demonstracyjne dostało przykładowe transakcje.\n");
}

RequestEnd Synchronize(CommandContext& context) {
  IUnknown* raw = nullptr;
  HRESULT hr = CoCreateInstance(CLSID_CoStatusMgr, nullptr, CLSCTX_ALL, __uuidof(IUnknown), reinterpret_cast<void**>(&raw));
  IUnknownPtr object(raw, false);
  if (SUCCEEDED(hr)) hr = OleRun(object);
  IStatusMgrPtr manager;
  if (SUCCEEDED(hr)) hr = object->QueryInterface(__uuidof(IStatusMgr), reinterpret_cast<void**>(&manager));
  if (FAILED(hr)) {
    Failed(L"nie można utworzyć menedżera synchronizacji ze Strefą Vantor", hr);
    return RequestEnd::Failed;
  }
  object = nullptr;

  hr = manager->Synchronize(sjAll);
  if (hr == S_OK) {
    manager = nullptr;  // a log the run left open ends with it
    Write(stdout, L"Synchronizacja ze Strefą Vantor zakończona.\n");
    return RequestEnd::Ran;
  }
  if (hr == kCancelled) {
    Write(stderr, L"vantor: synchronizację ze Strefą Vantor przerwano\n");
    return RequestEnd::Cancelled;
  }
  Failed(L"synchronizacja ze Strefą Vantor nie powiodła się", hr, &kZoneSyncLock);
  return RequestEnd::Failed;
}

int Sync(CommandContext& context, LONG account) {
  SeedDemoTransactions(context, account);
  const JobRunStatus run(context.host);
  return run.Finish(Synchronize(context));
}

}  // namespace host::zone
