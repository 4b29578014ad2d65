// The generated history: written through SQLite's own statements on the product database's
// handle (with the layer's collations), in one transaction, so that 400,000 transactions take
// seconds rather than the hours a receive of them would.
#include <sqlite3.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <string>

#include "bench/history/history.h"
#include "bench/support/sqlite_statement.h"
#include "testing/plans/plans.h"

namespace history {
namespace {

using benchsupport::Statement;

void Exec(sqlite3* db, const std::string& sql) {
  char* error = nullptr;
  if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
    std::fprintf(stderr, "generator: %s\n%s\n", error ? error : "?", sql.c_str());
    std::exit(1);
  }
}

// "YYYY-MM-DD HH:MM:SS" of the local time `days` days and `seconds` seconds before now.
std::string DaysAgo(double days, long seconds = 0) {
  const std::time_t at = std::time(nullptr) - static_cast<std::time_t>(days * 86400) - seconds;
  std::tm local{};
  localtime_r(&at, &local);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
  return text;
}

}  // namespace

Sizes SizesOf(long transactions) {
  Sizes s;
  s.transactions = transactions;
  s.auctions = transactions / 4;
  s.customers = transactions / 2;
  s.categories = transactions / 20;
  return s;
}

void Generate(host::Host& host, long transactions) {
  const Sizes size = SizesOf(transactions);
  sqlite3* db = testplans::DatabaseHandle(host.Connection());
  // The seller: the reference provider, its site, the account with its site row and seller zone.
  Exec(db, "INSERT OR REPLACE INTO sl_ServiceProvider (ss_Id, ss_Name, ss_ProgId, ss_AuctionProgId) VALUES "
           "(1, 'Serwis wzorcowy', 'Reference.SiteConnector', 'Reference.Auction')");
  Exec(db, "INSERT INTO st__Site (st_Id, st_SiteId, st_SvcProvId, st_Name, st_Currency) VALUES (1, 1, 1, 'Wzorcowo', 'PLN')");
  Exec(db, "INSERT INTO reg__Registration (reg_Id, reg_SvcProvId, reg_SvcUserId, reg_Username, reg_Accesskey, reg_Name, "
           "reg_Active, reg_HasShop, reg_ST_StatusesServiceActive) VALUES (1, 1, 1000, 'sprzedawca', 'ak1:3e3f', 'Konto', "
           "1, 0, 1)");
  Exec(db, "INSERT INTO kd_SellerZoneAccount (sz_RegId, sz_RegistrationId) VALUES (1, 'REG-1000')");
  Exec(db, "INSERT INTO reg_Site (rs_Id, rs_RegId, rs_SiteId, rs_Name) VALUES (1, 1, 1, 'Wzorcowo')");
  Exec(db, "PRAGMA synchronous = OFF");
  Exec(db, "BEGIN IMMEDIATE");
  {
    Statement category(db, "INSERT INTO st_Category (cat_Id, cat_CatId, cat_Name, cat_ParentId, cat_SiteId, "
                           "cat_Position, cat_Expired, cat_Leaf) VALUES (?, ?, ?, ?, 1, ?, 0, ?)");
    for (long i = 1; i <= size.categories; ++i)
      category.Reset().Int(1, i).Int(2, i).Text(3, Named("Kategoria ", i)).Int(4, i / 10).Int(5, i % 10)
          .Int(6, i * 10 > size.categories ? 1 : 0).Run();
    Statement auction(db, "INSERT INTO au__Auction (au_Id, au_Number, au_Title, au_UserId, au_RegId, au_SiteId, "
                          "au_RegSiteId, au_SvcProvId, au_CatId, au_State, au_Quantity, au_SoldCount, au_StartPrice, "
                          "au_Price, au_StartDate, au_Duration, au_EndDate, au_Template) "
                          "VALUES (?, ?, ?, 1, 1, 1, 1, 1, ?, 4, 4, 4, ?, ?, ?, 7, ?, 0)");
    Statement detail(db, "INSERT INTO au_SiteDetail (aal_AuctionId, aal_Description, aal_SaleType) VALUES (?, ?, 0)");
    for (long i = 1; i <= size.auctions; ++i) {
      const double days = 3650.0 * (size.auctions - i) / size.auctions + 40;
      auction.Reset().Int(1, i).Text(2, Named("H", 1000000 + i)).Text(3, Named("Przedmiot nr ", i))
          .Int(4, size.categories ? 1 + i % size.categories : 0).Real(5, 10 + i % 90).Real(6, 15 + i % 90)
          .Text(7, DaysAgo(days + 7)).Text(8, DaysAgo(days)).Run();
      detail.Reset().Int(1, i).Text(2, Named("Opis przedmiotu ", i) + " z kilkoma zdaniami.").Run();
    }
    Statement customer(db, "INSERT INTO cs__Customer (cs_Id, cs_Name, cs_Nick, cs_ExtServiceId, cs_SvcProvId, "
                           "cs_Email, cs_AddressName, cs_Street, cs_Postcode, cs_City) "
                           "VALUES (?, ?, ?, ?, 1, ?, ?, 'ul. Długa 1', '00-950', 'Łódź')");
    for (long i = 1; i <= size.customers; ++i) {
      const std::string n = std::to_string(i);
      customer.Reset().Int(1, i).Text(2, "Jan Kowalski " + n).Text(3, "kupiec_" + n).Int(4, 1000000 + i)
          .Text(5, "kupiec" + n + "@example.com").Text(6, "Jan Kowalski " + n).Run();
    }
    Statement transaction(db, "INSERT INTO tr__Transaction (tr_Id, tr_Name, tr_CustomerId, tr_AuctionId, tr_RegId, "
                              "tr_RegSiteId, tr_AuctionOwnerId, tr_Date, tr_CreationDate, tr_LastModified, tr_Currency, "
                              "tr_ValueCurrency, tr_Kind, tr_KindDetail, tr_Original, tr_OrigQuantity, tr_Payment, "
                              "tr_Paid, tr_Complete) VALUES (?, ?, ?, ?, 1, 1, 1, ?, ?, ?, 'PLN', 'PLN', 2, 1, 1, 1, ?, 1, 2)");
    Statement position(db, "INSERT INTO tr_Position (tp_Id, tp_TransId, tp_Order, tp_Name, tp_Quantity, tp_Price) "
                           "VALUES (?, ?, 1, ?, 1, ?)");
    Statement address(db, "INSERT INTO tr_Address (ta_Id, ta_TransId, ta_Kind, ta_Name, ta_FirstLine, ta_ZipCode, "
                          "ta_City, ta_Country) VALUES (?, ?, 2, ?, 'ul. Długa 1', '00-950', 'Łódź', 'Polska')");
    Statement comment(db, "INSERT INTO tr_Comment (tc_Id, tc_TransId, tc_ReceivedComment, tc_ReceivedDate, "
                          "tc_ReceivedScore, tc_SentComment, tc_SentDate, tc_SentScore, tc_SentExternalId) "
                          "VALUES (?, ?, 'Polecam!', ?, 1, 'Dziękuję, polecam.', ?, 1, ?)");
    for (long i = 1; i <= size.transactions; ++i) {
      const long auctionId = 1 + (i - 1) % (size.auctions ? size.auctions : 1);
      const long customerId = 1 + (i - 1) % (size.customers ? size.customers : 1);
      const double days = 3650.0 * (size.transactions - i) / size.transactions + 40;
      const std::string when = DaysAgo(days), n = std::to_string(i);
      transaction.Reset().Int(1, i).Text(2, Named("Przedmiot nr ", auctionId) + Named(" (H", 1000000 + auctionId) + ")")
          .Int(3, customerId).Int(4, auctionId).Text(5, when).Text(6, when).Text(7, DaysAgo(days - 5))
          .Real(8, 15 + i % 90).Run();
      position.Reset().Int(1, i).Int(2, i).Text(3, Named("Przedmiot nr ", auctionId)).Real(4, 15 + i % 90).Run();
      address.Reset().Int(1, i).Int(2, i).Text(3, Named("Jan Kowalski ", customerId)).Run();
      comment.Reset().Int(1, i).Int(2, i).Text(3, DaysAgo(days - 3)).Text(4, DaysAgo(days - 4)).Int(5, 5000000 + i).Run();
    }
  }
  // The key table continues after what was written.
  for (const char* table : {"st_Category:cat_Id", "au__Auction:au_Id", "cs__Customer:cs_Id", "tr__Transaction:tr_Id",
                            "tr_Position:tp_Id", "tr_Address:ta_Id", "tr_Comment:tc_Id", "st__Site:st_Id",
                            "reg__Registration:reg_Id", "reg_Site:rs_Id"}) {
    const std::string pair = table;
    const std::string name = pair.substr(0, pair.find(':')), key = pair.substr(pair.find(':') + 1);
    Exec(db, "INSERT OR REPLACE INTO kd_keys (ki_Table, ki_NextId) SELECT '" + name + "', IFNULL(MAX(" + key +
                 "), 0) + 1 FROM " + name);
  }
  Exec(db, "COMMIT");
  Exec(db, "PRAGMA synchronous = NORMAL");
  Exec(db, "PRAGMA wal_checkpoint(TRUNCATE)");
}

}  // namespace history
