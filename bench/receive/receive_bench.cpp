// A generated site of 10,000 auctions, each with one buyer and one purchase, stored through the
// receive path (the stores, the host's and the provider's business objects, their recordsets)
// into a fresh product database; then the same lookups and inserts through prepared SQLite
// statements, one transaction per record, into a database of the same tables (and the same
// journal settings as the ADO layer). Prints both rates in records per second and their ratio; then,
// when a PostgreSQL server answers at libpq's environment, the receive path's rate into a database
// made on it for the run, beside SQLite's.
#include <sqlite3.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include "auctions/module.h"
#include "auctions/sync/receivestores.h"
#include "bench/support/receive_context.h"
#include "bench/support/sqlite_statement.h"
#include "host/host.h"
#include "platform/base/utf8.h"
#include "platform/gui/headless.h"
#include "platform/registry/registry.h"
#include "shared/hxinstance.h"
#include "testing/site_connector/reference_connector.h"
#include "testing/support/server_database.h"

namespace {

constexpr LONG kAuctions = 10000;

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

void Check(HRESULT hr, const char* what) {
  if (FAILED(hr)) {
    std::fprintf(stderr, "%s: 0x%08X\n", what, static_cast<unsigned>(hr));
    std::exit(1);
  }
}

struct Column {
  const wchar_t* name;
  DataTypeEnum type;
  LONG size;
};

_RecordsetPtr Container(std::initializer_list<Column> columns) {
  _RecordsetPtr rs;
  Check(rs.CreateInstance(__uuidof(Recordset)), "Recordset");
  for (const Column& c : columns) rs->GetFields()->Append(_bstr_t(c.name), c.type, c.size, adFldUpdatable);
  rs->Open(vtMissing, vtMissing, adOpenUnspecified, adLockUnspecified, 0);
  return rs;
}

_variant_t Money(LONGLONG hundredths) {
  _variant_t v;
  v.vt = VT_CY;
  v.cyVal.int64 = hundredths * 100;
  return v;
}

using benchsupport::ReceiveContext;
using benchsupport::Statement;

double ThroughStores(const std::wstring& path) {
  host::Host h(path);
  CHxInstance::SetInstance(h.Instance());
  h.Connection()->Execute(_bstr_t(L"INSERT INTO sl_ServiceProvider (ss_Id, ss_Name, ss_ProgId, ss_AuctionProgId) "
                                  L"VALUES (1, N'Serwis wzorcowy', 'Reference.SiteConnector', 'Reference.Auction')"),
                          nullptr, adCmdText | adExecuteNoRecords);
  // The account the records are stored for (auctions and transactions keep theirs).
  h.Connection()->Execute(_bstr_t(L"INSERT INTO reg__Registration (reg_Id, reg_SvcProvId, reg_Username) "
                                  L"VALUES (3, 1, 'sprzedawca')"),
                          nullptr, adCmdText | adExecuteNoRecords);
  _RecordsetPtr accountSite = h.Connection()->Execute(
      _bstr_t(L"SELECT 3 AS reg_id, 9 AS regsite_id, 5 AS site_id, 1 AS service_id"), nullptr, adCmdText);
  _RecordsetPtr auctions = Container({
      {L"number", adVarChar, 255},      {L"title", adVarWChar, 255},        {L"category", adInteger, 4},
      {L"country", adInteger, 4},       {L"region", adInteger, 4},          {L"location", adVarWChar, 100},
      {L"description", adVarWChar, 5000}, {L"quantity", adInteger, 4},      {L"start_price", adCurrency, 8},
      {L"price", adCurrency, 8},        {L"min_price", adCurrency, 8},      {L"bin_price", adCurrency, 8},
      {L"has_bin_price", adBoolean, 1}, {L"duration", adInteger, 4},        {L"start_date", adDate, 8},
      {L"end_date", adDate, 8},         {L"ended", adBoolean, 1},           {L"sold", adInteger, 4},
      {L"sold_sum", adInteger, 4},      {L"bid_count", adInteger, 4},       {L"hit_count", adInteger, 4},
      {L"watcher_count", adInteger, 4}, {L"fee", adCurrency, 8},            {L"commission", adCurrency, 8},
      {L"shipping_pay", adInteger, 4},  {L"blocked", adBoolean, 1},         {L"private", adBoolean, 1},
      {L"future", adBoolean, 1},        {L"enh_opts", adInteger, 4},        {L"pay_opts", adInteger, 4},
      {L"ship_opts", adInteger, 4},     {L"additional_info", adVarWChar, 255}, {L"shipping_cost", adCurrency, 8},
      {L"transfer_cost", adCurrency, 8}, {L"shop_item", adBoolean, 1},      {L"service_id", adInteger, 4},
      {L"auction_id", adInteger, 4},    {L"counted", adBoolean, 1},         {L"has_full_data", adBoolean, 1},
      {L"has_full_header", adBoolean, 1}, {L"errors", adVarWChar, 1000}});
  _RecordsetPtr customers = Container({
      {L"user_id", adInteger, 4},       {L"user_name", adVarWChar, 255}, {L"user_rank", adInteger, 4},
      {L"first_name", adVarWChar, 255}, {L"last_name", adVarWChar, 255}, {L"company", adVarWChar, 255},
      {L"email", adVarWChar, 255},      {L"street", adVarWChar, 255},    {L"postcode", adVarWChar, 255},
      {L"city", adVarWChar, 255},       {L"country_name", adVarWChar, 50}, {L"country_id", adInteger, 4},
      {L"phone", adVarWChar, 255},      {L"phone2", adVarWChar, 255},    {L"service_id", adInteger, 4},
      {L"customer_id", adInteger, 4},   {L"activated", adBoolean, 1},    {L"closed", adBoolean, 1},
      {L"blocked", adBoolean, 1},       {L"terminated", adBoolean, 1}});
  _RecordsetPtr purchases = Container({
      {L"id", adInteger, 4},        {L"item_number", adVarWChar, 255}, {L"item_name", adVarWChar, 255},
      {L"user_id", adInteger, 4},   {L"user_name", adVarWChar, 255},   {L"country", adInteger, 4},
      {L"quantity", adInteger, 4},  {L"price", adCurrency, 8},         {L"currency", adVarChar, 4},
      {L"date", adDate, 8},         {L"service_id", adInteger, 4}});
  ReceiveContext context;
  AFX_MANAGE_STATE(LotrixModule().State());
  const auto start = std::chrono::steady_clock::now();
  for (LONG i = 0; i < kAuctions; ++i) {
    const std::wstring number = L"B" + std::to_wstring(100000 + i);
    const std::wstring nick = L"kupiec_" + std::to_wstring(i);
    auctions->AddNew();
    FieldsPtr a = auctions->GetFields();
    a->GetItem(_variant_t(L"number"))->PutValue(_variant_t(number.c_str()));
    a->GetItem(_variant_t(L"title"))->PutValue(_variant_t((L"Kubek nr " + std::to_wstring(i)).c_str()));
    a->GetItem(_variant_t(L"category"))->PutValue(_variant_t(LONG{40 + i % 50}));
    a->GetItem(_variant_t(L"quantity"))->PutValue(_variant_t(LONG{1}));
    a->GetItem(_variant_t(L"start_price"))->PutValue(Money(1000 + i));
    a->GetItem(_variant_t(L"price"))->PutValue(Money(1500 + i));
    a->GetItem(_variant_t(L"blocked"))->PutValue(_variant_t(false));
    a->GetItem(_variant_t(L"description"))->PutValue(_variant_t(L"Opis kubka z uszkiem."));
    auctions->Update();
    lotrix::StoreReceivedAuction(context, auctions, nullptr, accountSite, 1, false, true);

    customers->AddNew();
    FieldsPtr c = customers->GetFields();
    c->GetItem(_variant_t(L"user_id"))->PutValue(_variant_t(LONG{500000 + i}));
    c->GetItem(_variant_t(L"user_name"))->PutValue(_variant_t(nick.c_str()));
    c->GetItem(_variant_t(L"first_name"))->PutValue(_variant_t(L"Jan"));
    c->GetItem(_variant_t(L"last_name"))->PutValue(_variant_t(L"Kowalski"));
    c->GetItem(_variant_t(L"street"))->PutValue(_variant_t(L"ul. Długa 1"));
    c->GetItem(_variant_t(L"postcode"))->PutValue(_variant_t(L"00-950"));
    c->GetItem(_variant_t(L"city"))->PutValue(_variant_t(L"Łódź"));
    c->GetItem(_variant_t(L"email"))->PutValue(_variant_t(L"jan@example.com"));
    customers->Update();
    lotrix::StoreReceivedCustomer(context, customers, accountSite);

    purchases->AddNew();
    FieldsPtr p = purchases->GetFields();
    p->GetItem(_variant_t(L"item_number"))->PutValue(_variant_t(number.c_str()));
    p->GetItem(_variant_t(L"item_name"))->PutValue(_variant_t(L"Kubek"));
    p->GetItem(_variant_t(L"user_id"))->PutValue(_variant_t(LONG{500000 + i}));
    p->GetItem(_variant_t(L"user_name"))->PutValue(_variant_t(nick.c_str()));
    p->GetItem(_variant_t(L"quantity"))->PutValue(_variant_t(LONG{1}));
    p->GetItem(_variant_t(L"price"))->PutValue(Money(1500 + i));
    p->GetItem(_variant_t(L"currency"))->PutValue(_variant_t(L"PLN"));
    purchases->Update();
    lotrix::StoreReceivedTransaction(context, purchases, accountSite);
  }
  const double seconds = Seconds(start);
  if (context.failed || context.stored != 3 * kAuctions) {
    std::fprintf(stderr, "stored %ld of %ld records, %ld failures\n", context.stored, static_cast<long>(3 * kAuctions),
                 context.failed);
    std::exit(1);
  }
  accountSite = nullptr;
  CHxInstance::SetInstance(nullptr);
  return seconds;
}

// The same lookups and inserts, each record in a transaction of its own, through prepared statements.
double Direct(const std::string& path) {
  sqlite3* db = nullptr;
  if (sqlite3_open(path.c_str(), &db) != SQLITE_OK) std::exit(1);
  sqlite3_exec(db,
               "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL; PRAGMA foreign_keys=ON; PRAGMA temp_store=MEMORY;"
               "CREATE TABLE kd_keys (ki_Table TEXT PRIMARY KEY, ki_NextId INTEGER);"
               "CREATE TABLE au__Auction (au_Id INTEGER PRIMARY KEY, au_Number TEXT COLLATE NOCASE, au_Title TEXT, "
               "au_UserId INTEGER, au_RegId INTEGER, au_SiteId INTEGER, au_RegSiteId INTEGER, au_SvcProvId INTEGER, "
               "au_CatId INTEGER, au_Quantity INTEGER, au_StartPrice REAL, au_Price REAL, au_ShopItem INTEGER);"
               "CREATE INDEX ix1 ON au__Auction (au_Number, au_RegId);"
               "CREATE INDEX ix2 ON au__Auction (au_Number, au_SvcProvId);"
               "CREATE TABLE au_SiteDetail (aal_AuctionId INTEGER PRIMARY KEY, aal_Description TEXT, aal_SaleType INTEGER);"
               "CREATE TABLE cs__Customer (cs_Id INTEGER PRIMARY KEY, cs_Name TEXT, cs_Surname TEXT, "
               "cs_Nick TEXT COLLATE NOCASE, cs_ExtServiceId INTEGER, cs_SvcProvId INTEGER, cs_Email TEXT, "
               "cs_AddressName TEXT, cs_Street TEXT, cs_Postcode TEXT, cs_City TEXT);"
               "CREATE INDEX ix3 ON cs__Customer (cs_SvcProvId, cs_ExtServiceId);"
               "CREATE INDEX ix4 ON cs__Customer (cs_Nick, cs_SvcProvId);"
               "CREATE TABLE tr__Transaction (tr_Id INTEGER PRIMARY KEY, tr_Name TEXT, tr_CustomerId INTEGER, "
               "tr_AuctionId INTEGER, tr_RegId INTEGER, tr_RegSiteId INTEGER, tr_OrigQuantity INTEGER, tr_Currency TEXT, "
               "tr_Original INTEGER, tr_Remainder INTEGER, tr_LastModified TEXT);"
               "CREATE INDEX ix5 ON tr__Transaction (tr_AuctionId, tr_CustomerId);"
               "CREATE TABLE tr_Position (tp_Id INTEGER PRIMARY KEY, tp_TransId INTEGER, tp_Name TEXT, "
               "tp_Quantity REAL, tp_Price REAL);"
               "INSERT INTO kd_keys VALUES ('au__Auction', 1), ('cs__Customer', 1), ('tr__Transaction', 1), "
               "('tr_Position', 1);",
               nullptr, nullptr, nullptr);
  Statement begin(db, "BEGIN IMMEDIATE"), commit(db, "COMMIT");
  Statement key(db, "UPDATE kd_keys SET ki_NextId = ki_NextId + 1 WHERE ki_Table = ? RETURNING ki_NextId - 1");
  Statement findAuction(db, "SELECT au_Id, au_UserId, au_RegId, au_SiteId, au_CatId FROM au__Auction "
                            "WHERE au_Number = ? AND au_RegId = ?");
  Statement addAuction(db, "INSERT INTO au__Auction (au_Id, au_Number, au_Title, au_UserId, au_RegId, au_SiteId, "
                           "au_RegSiteId, au_SvcProvId, au_CatId, au_Quantity, au_StartPrice, au_Price, au_ShopItem) "
                           "VALUES (?, ?, ?, 1, 3, 5, 9, 1, ?, 1, ?, ?, 0)");
  Statement addDetail(db, "INSERT INTO au_SiteDetail (aal_AuctionId, aal_Description, aal_SaleType) VALUES (?, ?, 0)");
  Statement byService(db, "SELECT cs_Id FROM cs__Customer WHERE cs_ExtServiceId = ? AND cs_SvcProvId = 1");
  Statement byNick(db, "SELECT cs_Id, cs_Name || ' ' || cs_Surname FROM cs__Customer WHERE cs_Nick = ? AND cs_SvcProvId = 1");
  Statement addCustomer(db, "INSERT INTO cs__Customer (cs_Id, cs_Name, cs_Nick, cs_ExtServiceId, cs_SvcProvId, cs_Email, "
                            "cs_AddressName, cs_Street, cs_Postcode, cs_City) VALUES (?, ?, ?, ?, 1, ?, ?, ?, ?, ?)");
  Statement findPurchase(db, "SELECT cs_Id, tr_Id, au_Id, au_UserId, au_RegId, au_RegSiteId, tr_OrigQuantity FROM "
                             "(cs__Customer INNER JOIN tr__Transaction ON cs_Id = tr_CustomerId AND cs_ExtServiceId = ?) "
                             "RIGHT JOIN au__Auction ON tr_AuctionId = au_Id WHERE au_Number = ? AND au_SvcProvId = 1");
  Statement buyer(db, "SELECT cs_Id FROM cs__Customer WHERE cs_SvcProvId = 1 AND cs_ExtServiceId = ?");
  Statement addTransaction(db, "INSERT INTO tr__Transaction (tr_Id, tr_Name, tr_CustomerId, tr_AuctionId, tr_RegId, "
                               "tr_RegSiteId, tr_OrigQuantity, tr_Currency, tr_Original, tr_Remainder, tr_LastModified) "
                               "VALUES (?, ?, ?, ?, 3, 9, 1, 'PLN', 1, 0, datetime('now'))");
  Statement addPosition(db, "INSERT INTO tr_Position (tp_Id, tp_TransId, tp_Name, tp_Quantity, tp_Price) VALUES (?, ?, ?, 1, ?)");
  auto next = [&](const char* table) {
    key.Reset().Text(1, table).Run();
    const long long id = sqlite3_column_int64(key.s, 0);
    key.Reset();
    return id;
  };
  const auto start = std::chrono::steady_clock::now();
  for (LONG i = 0; i < kAuctions; ++i) {
    char text[32];
    std::snprintf(text, sizeof text, "B%ld", static_cast<long>(100000 + i));
    const std::string number = text;
    std::snprintf(text, sizeof text, "kupiec_%ld", static_cast<long>(i));
    const std::string nick = text;
    std::snprintf(text, sizeof text, "Kubek nr %ld", static_cast<long>(i));
    const std::string title = text;
    begin.Reset().Run();
    if (!findAuction.Reset().Text(1, number).Int(2, 3).Run()) {
      const long long id = next("au__Auction");
      addAuction.Reset().Int(1, id).Text(2, number).Text(3, title).Int(4, 40 + i % 50)
          .Real(5, 10 + i / 100.0).Real(6, 15 + i / 100.0).Run();
      addDetail.Reset().Int(1, id).Text(2, "Opis kubka z uszkiem.").Run();
    }
    findAuction.Reset();
    commit.Reset().Run();

    begin.Reset().Run();
    if (!byService.Reset().Int(1, 500000 + i).Run() && !byNick.Reset().Text(1, nick).Run())
      addCustomer.Reset().Int(1, next("cs__Customer")).Text(2, "Jan Kowalski").Text(3, nick).Int(4, 500000 + i)
          .Text(5, "jan@example.com").Text(6, "Jan Kowalski").Text(7, "ul. Długa 1").Text(8, "00-950").Text(9, "Łódź").Run();
    byService.Reset();
    byNick.Reset();
    commit.Reset().Run();

    begin.Reset().Run();
    if (findPurchase.Reset().Int(1, 500000 + i).Text(2, number).Run() &&
        sqlite3_column_type(findPurchase.s, 1) == SQLITE_NULL) {
      const long long auction = sqlite3_column_int64(findPurchase.s, 2);
      if (buyer.Reset().Int(1, 500000 + i).Run()) {
        const long long customer = sqlite3_column_int64(buyer.s, 0);
        const long long id = next("tr__Transaction");
        addTransaction.Reset().Int(1, id).Text(2, std::string("Kubek (").append(number).append(")")).Int(3, customer).Int(4, auction).Run();
        addPosition.Reset().Int(1, next("tr_Position")).Int(2, id).Text(3, "Kubek").Real(4, 15 + i / 100.0).Run();
      }
      buyer.Reset();
    }
    findPurchase.Reset();
    commit.Reset().Run();
  }
  const double seconds = Seconds(start);
  sqlite3_close(db);
  return seconds;
}

}  // namespace

int main(int argc, char** argv) {
  CoInitialize(nullptr);
  platform::registry::UseMemoryStore();
  platform::gui::SetEcho(false);
  Check(platform::com::RegisterServerLibrary(platform::utf8::ToWide(VANTOR_LOTRIX_LIBRARY)), "Lotrix");
  Check(platform::com::RegisterServerLibrary(platform::utf8::ToWide(VANTOR_REFERENCE_CONNECTOR_LIBRARY)), "connector");
  const std::string folder = argc > 1 ? argv[1] : "/tmp";
  const std::string base = folder + "/vantor-bench-receive-" + std::to_string(::getpid());
  const double stores = ThroughStores(platform::utf8::ToWide((base + "-stores.db").c_str()));
  const double direct = Direct(base + "-direct.db");
  for (const char* name : {"-stores.db", "-direct.db"})
    for (const char* suffix : {"", "-wal", "-shm"}) std::filesystem::remove(base + name + suffix);
  const double records = 3.0 * kAuctions;
  std::printf("receive path on SQLite: %.0f records/s (%.2f s for %ld auctions with a buyer and a purchase each)\n",
              records / stores, stores, static_cast<long>(kAuctions));
  std::printf("prepared SQLite statements: %.0f records/s (%.2f s)\n", records / direct, direct);
  std::printf("ratio: %.2fx\n", stores / direct);
  // The same receive into a database on a PostgreSQL server, when one answers at libpq's
  // environment (PGHOST, PGPORT, PGUSER, PGDATABASE).
  std::string why;
  if (!testdb::ServerDatabase::Reachable(why)) {
    std::printf("receive path on PostgreSQL: no server answers at libpq's environment (%s)\n", why.c_str());
  } else {
    testdb::ServerDatabase server("bench_receive");
    const double onServer = ThroughStores(platform::utf8::ToWide(server.Uri()));
    std::printf("receive path on PostgreSQL: %.0f records/s (%.2f s), %.2fx SQLite's time (goal: within 2x)\n",
                records / onServer, onServer, onServer / stores);
  }
  CoUninitialize();
  return 0;
}
