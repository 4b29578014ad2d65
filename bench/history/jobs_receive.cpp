// The receive jobs: new auctions, buyers, their purchases and the comments on them, each stored
// through the receive stores as a download delivers them (the rows of one exchange container),
// beside a program that makes the same lookups and inserts with prepared statements, one
// transaction per record.
#include <sqlite3.h>

#include <string>

#include "auctions/module.h"
#include "auctions/sync/containers.h"
#include "auctions/sync/receivestores.h"
#include "bench/history/history.h"
#include "bench/support/receive_context.h"
#include "bench/support/sqlite_statement.h"

namespace history {
namespace {

using benchsupport::Statement;

_variant_t Money(LONGLONG hundredths) {
  _variant_t v;
  v.vt = VT_CY;
  v.cyVal.int64 = hundredths * 100;
  return v;
}

// The records of a size: the auction numbers and buyer ids of the system's side and of the
// baseline's (the purchases and comments are of the auctions and buyers received before them).
std::string Number(const Context& c, bool baseline, long k) { return Named(baseline ? "D" : "S", c.batch) + Named("-", k); }
long long Buyer(const Context& c, bool baseline, long k) {
  return (baseline ? 70000000LL : 60000000LL) + c.batch * 100000LL + k;
}
std::wstring Wide(const std::string& s) { return std::wstring(s.begin(), s.end()); }

// The next key of a table, as the host's key table hands it out (inside the caller's transaction).
long long NextKey(Statement& key, const char* table) {
  key.Reset().Text(1, table).Run();
  const long long id = key.Long(0);
  key.Reset();
  return id;
}

// What a receive job stores: its container, a record's fields, the store.
struct Kind {
  _RecordsetPtr (*container)();
  void (*fill)(const Context& c, const FieldsPtr& f, long k);
  void (*store)(lotrix::CReceiveContext& context, const _RecordsetPtr& row, const _RecordsetPtr& site);
};

Result System(Context& c, const Kind& kind) {
  Result r;
  r.records = c.records;
  benchsupport::ReceiveContext context;
  AFX_MANAGE_STATE(LotrixModule().State());
  _RecordsetPtr rows = kind.container();
  _RecordsetPtr site = c.connection->Execute(
      _bstr_t(L"SELECT 1 AS reg_id, 1 AS regsite_id, 1 AS site_id, 1 AS service_id"), nullptr, adCmdText);
  const double start = Now();
  for (long k = 0; k < c.records; ++k) {
    rows->AddNew();
    kind.fill(c, rows->GetFields(), k);
    rows->Update();
    kind.store(context, rows, site);
  }
  r.system = Since(start);
  if (context.stored != c.records || context.failed)
    r.failure = Named("stored ", context.stored) + Named(" of ", c.records) + Named(", failures: ", context.failed);
  return r;
}

void Put(const FieldsPtr& fields, const wchar_t* name, const _variant_t& value) {
  fields->GetItem(_variant_t(name))->PutValue(value);
}

const Kind kAuctions = {
    lotrix::CreateAuctionsContainer,
    [](const Context& c, const FieldsPtr& f, long k) {
      Put(f, L"number", Wide(Number(c, false, k)).c_str());
      Put(f, L"title", (L"Kubek nr " + std::to_wstring(k)).c_str());
      Put(f, L"category", LONG{1});
      Put(f, L"quantity", LONG{1});
      Put(f, L"start_price", Money(1000 + k));
      Put(f, L"price", Money(1500 + k));
      Put(f, L"blocked", false);
      Put(f, L"description", L"Opis kubka z uszkiem.");
    },
    [](lotrix::CReceiveContext& context, const _RecordsetPtr& row, const _RecordsetPtr& site) {
      lotrix::StoreReceivedAuction(context, row, nullptr, site, 1, false, true);
    }};

const Kind kBuyers = {
    lotrix::CreateCustomersContainer,
    [](const Context& c, const FieldsPtr& f, long k) {
      Put(f, L"user_id", static_cast<LONG>(Buyer(c, false, k)));
      Put(f, L"user_name", (L"nowy_" + Wide(Number(c, false, k))).c_str());
      Put(f, L"first_name", L"Anna");
      Put(f, L"last_name", L"Nowak");
      Put(f, L"street", L"ul. Krótka 2");
      Put(f, L"postcode", L"30-001");
      Put(f, L"city", L"Kraków");
      Put(f, L"email", L"anna@example.com");
    },
    lotrix::StoreReceivedCustomer};

const Kind kPurchases = {
    lotrix::CreateTransactionsContainer,
    [](const Context& c, const FieldsPtr& f, long k) {
      Put(f, L"item_number", Wide(Number(c, false, k)).c_str());
      Put(f, L"item_name", L"Kubek");
      Put(f, L"user_id", static_cast<LONG>(Buyer(c, false, k)));
      Put(f, L"user_name", (L"nowy_" + Wide(Number(c, false, k))).c_str());
      Put(f, L"quantity", LONG{1});
      Put(f, L"price", Money(1500 + k));
      Put(f, L"currency", L"PLN");
    },
    lotrix::StoreReceivedTransaction};

const Kind kComments = {
    lotrix::CreateCommentsContainer,
    [](const Context& c, const FieldsPtr& f, long k) {
      Put(f, L"auction_number", Wide(Number(c, false, k)).c_str());
      Put(f, L"type", LONG{0});
      _variant_t from;
      from.vt = VT_I8;
      from.llVal = Buyer(c, false, k);
      Put(f, L"from_user_id", from);
      Put(f, L"comment", L"Polecam sprzedawcę!");
      Put(f, L"score", LONG{1});
      _variant_t date;
      date.vt = VT_DATE;
      date.date = 45000.5 + k / 1440.0;
      Put(f, L"date", date);
      Put(f, L"user_name", (L"nowy_" + Wide(Number(c, false, k))).c_str());
    },
    lotrix::StoreReceivedComment};

constexpr const char* kNextKey = "UPDATE kd_keys SET ki_NextId = ki_NextId + 1 WHERE ki_Table = ? RETURNING ki_NextId - 1";

Result Auctions(Context& c) {
  Result r = System(c, kAuctions);
  Statement key(c.db, kNextKey);
  Statement find(c.db, "SELECT au_Id, au_UserId, au_RegId, au_SiteId, au_CatId FROM au__Auction WHERE au_Number = ? "
                       "AND au_RegId = 1");
  Statement add(c.db, "INSERT INTO au__Auction (au_Id, au_Number, au_Title, au_UserId, au_RegId, au_SiteId, au_RegSiteId, "
                      "au_SvcProvId, au_CatId, au_State, au_Quantity, au_StartPrice, au_Price, au_ShopItem, au_Template) "
                      "VALUES (?, ?, ?, 1, 1, 1, 1, 1, 1, 3, 1, ?, ?, 0, 0)");
  Statement detail(c.db, "INSERT INTO au_SiteDetail (aal_AuctionId, aal_Description, aal_SaleType) VALUES (?, ?, 0)");
  r.baseline = EachInATransaction(c.db, c.records, [&](long k) {
    if (!find.Reset().Text(1, Number(c, true, k)).Run()) {
      const long long id = NextKey(key, "au__Auction");
      add.Reset().Int(1, id).Text(2, Number(c, true, k)).Text(3, Named("Kubek nr ", k)).Real(4, 10 + k / 100.0)
          .Real(5, 15 + k / 100.0).Run();
      detail.Reset().Int(1, id).Text(2, "Opis kubka z uszkiem.").Run();
    }
    find.Reset();
  });
  return r;
}

Result Buyers(Context& c) {
  Result r = System(c, kBuyers);
  Statement key(c.db, kNextKey);
  Statement byService(c.db, "SELECT cs_Id FROM cs__Customer WHERE cs_ExtServiceId = ? AND cs_SvcProvId = 1");
  Statement byNick(c.db, "SELECT cs_Id, cs_Name FROM cs__Customer WHERE cs_Nick = ? AND cs_SvcProvId = 1");
  Statement add(c.db, "INSERT INTO cs__Customer (cs_Id, cs_Name, cs_Nick, cs_ExtServiceId, cs_SvcProvId, cs_Email, "
                      "cs_AddressName, cs_Street, cs_Postcode, cs_City) VALUES (?, 'Anna Nowak', ?, ?, 1, "
                      "'anna@example.com', 'Anna Nowak', 'ul. Krótka 2', '30-001', 'Kraków')");
  r.baseline = EachInATransaction(c.db, c.records, [&](long k) {
    const std::string nick = "nowy_" + Number(c, true, k);
    if (!byService.Reset().Int(1, Buyer(c, true, k)).Run() && !byNick.Reset().Text(1, nick).Run())
      add.Reset().Int(1, NextKey(key, "cs__Customer")).Text(2, nick).Int(3, Buyer(c, true, k)).Run();
    byService.Reset();
    byNick.Reset();
  });
  return r;
}

Result Purchases(Context& c) {
  Result r = System(c, kPurchases);
  Statement key(c.db, kNextKey);
  Statement auction(c.db, "SELECT au_Id, au_UserId, au_RegId, au_RegSiteId, au_ProductId FROM au__Auction "
                          "WHERE au_Number = ? AND au_SvcProvId = 1");
  Statement earlier(c.db, "SELECT tr_Id, tr_OrigQuantity FROM tr__Transaction INNER JOIN cs__Customer ON "
                          "cs_Id = tr_CustomerId WHERE tr_AuctionId = ? AND cs_ExtServiceId = ?");
  Statement buyer(c.db, "SELECT cs_Id FROM cs__Customer WHERE cs_SvcProvId = 1 AND cs_ExtServiceId = ?");
  Statement add(c.db, "INSERT INTO tr__Transaction (tr_Id, tr_Name, tr_CustomerId, tr_AuctionId, tr_RegId, tr_RegSiteId, "
                      "tr_AuctionOwnerId, tr_Date, tr_CreationDate, tr_LastModified, tr_Currency, tr_ValueCurrency, "
                      "tr_Kind, tr_KindDetail, tr_Original, tr_OrigQuantity, tr_Remainder) VALUES (?, ?, ?, ?, 1, 1, 1, "
                      "datetime('now'), datetime('now'), datetime('now'), 'PLN', 'PLN', 2, 1, 1, 1, 0)");
  Statement position(c.db, "INSERT INTO tr_Position (tp_Id, tp_TransId, tp_Order, tp_Name, tp_Quantity, tp_Price) "
                           "VALUES (?, ?, 1, 'Kubek', 1, ?)");
  r.baseline = EachInATransaction(c.db, c.records, [&](long k) {
    if (auction.Reset().Text(1, Number(c, true, k)).Run()) {
      const long long auctionId = auction.Long(0);
      if (!earlier.Reset().Int(1, auctionId).Int(2, Buyer(c, true, k)).Run() &&
          buyer.Reset().Int(1, Buyer(c, true, k)).Run()) {
        const long long id = NextKey(key, "tr__Transaction");
        add.Reset().Int(1, id).Text(2, "Kubek (" + Number(c, true, k) + ")").Int(3, buyer.Long(0)).Int(4, auctionId).Run();
        position.Reset().Int(1, NextKey(key, "tr_Position")).Int(2, id).Real(3, 15 + k / 100.0).Run();
      }
      earlier.Reset();
      buyer.Reset();
    }
    auction.Reset();
  });
  return r;
}

Result Comments(Context& c) {
  Result r = System(c, kComments);
  Statement key(c.db, kNextKey);
  Statement purchase(c.db, "SELECT tr_Id FROM au__Auction INNER JOIN tr__Transaction ON tr_AuctionId = au_Id "
                           "INNER JOIN cs__Customer ON cs_Id = tr_CustomerId WHERE au_Number = ? AND au_SvcProvId = 1 "
                           "AND cs_ExtServiceId = ?");
  Statement record(c.db, "SELECT tc_Id FROM tr_Comment WHERE tc_TransId = ?");
  Statement add(c.db, "INSERT INTO tr_Comment (tc_Id, tc_TransId, tc_ReceivedComment, tc_ReceivedDate, tc_ReceivedScore) "
                      "VALUES (?, ?, 'Polecam sprzedawcę!', datetime('now'), 1)");
  Statement update(c.db, "UPDATE tr_Comment SET tc_ReceivedComment = 'Polecam sprzedawcę!', tc_ReceivedDate = "
                         "datetime('now'), tc_ReceivedScore = 1 WHERE tc_Id = ?");
  r.baseline = EachInATransaction(c.db, c.records, [&](long k) {
    if (purchase.Reset().Text(1, Number(c, true, k)).Int(2, Buyer(c, true, k)).Run()) {
      const long long transaction = purchase.Long(0);
      if (record.Reset().Int(1, transaction).Run()) update.Reset().Int(1, record.Long(0)).Run();
      else add.Reset().Int(1, NextKey(key, "tr_Comment")).Int(2, transaction).Run();
      record.Reset();
    }
    purchase.Reset();
  });
  return r;
}

}  // namespace

std::vector<Job> ReceiveJobs() {
  return {{"receive: auctions", Auctions},
          {"receive: buyers", Buyers},
          {"receive: purchases", Purchases},
          {"receive: comments", Comments}};
}

}  // namespace history
