// The send job: the prepared auctions and the comments to give, sent through the synchronisation
// manager to the reference connector (its site in memory), each written back; beside a program
// that reads the prepared records through the indexes and writes each one's answer back in a
// transaction of its own.
#include <sqlite3.h>

#include "auctions/lotrix.h"
#include "bench/history/history.h"
#include "bench/support/sqlite_statement.h"
#include "testing/site_connector/reference_connector.h"

namespace history {
namespace {

using benchsupport::Statement;

void Exec(const Context& c, const std::string& sql) {
  char* error = nullptr;
  if (sqlite3_exec(c.db, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
    std::fprintf(stderr, "send: %s\n", error ? error : "?");
    std::exit(1);
  }
}

// `records` new auctions of the seller in the prepared state, from `first` on, and the comments
// to give on `records` purchases of the history's buyers (new ones).
void Prepare(const Context& c, long first) {
  Exec(c, "BEGIN");
  Statement auction(c.db, "INSERT INTO au__Auction (au_Id, au_Title, au_UserId, au_RegId, au_SiteId, au_RegSiteId, "
                          "au_SvcProvId, au_CatId, au_State, au_Quantity, au_StartPrice, au_Duration, au_Template) "
                          "VALUES (?, ?, 1, 1, 1, 1, 1, 1, 1, 1, 10.5, 7, 0)");
  Statement detail(c.db, "INSERT INTO au_SiteDetail (aal_AuctionId, aal_Description, aal_SaleType) VALUES (?, 'Opis', 0)");
  Statement buyer(c.db, "INSERT INTO cs__Customer (cs_Id, cs_Nick, cs_ExtServiceId, cs_SvcProvId) VALUES (?, ?, ?, 1)");
  Statement sold(c.db, "INSERT INTO au__Auction (au_Id, au_Number, au_Title, au_UserId, au_RegId, au_SiteId, "
                       "au_RegSiteId, au_SvcProvId, au_State, au_Template) VALUES (?, ?, 'Sprzedana', 1, 1, 1, 1, 1, 4, 0)");
  Statement purchase(c.db, "INSERT INTO tr__Transaction (tr_Id, tr_CustomerId, tr_AuctionId, tr_RegId) VALUES (?, ?, ?, 1)");
  Statement comment(c.db, "INSERT INTO tr_Comment (tc_Id, tc_TransId, tc_SentComment, tc_SentScore) "
                          "VALUES (?, ?, 'Dziękuję, polecam.', 1)");
  for (long k = 0; k < c.records; ++k) {
    const long id = first + k;
    auction.Reset().Int(1, id).Text(2, Named("Kubek wystawiany ", k)).Run();
    detail.Reset().Int(1, id).Run();
    const long other = first + c.records + k;
    buyer.Reset().Int(1, id).Text(2, Named("kupiec_wysylki_", id)).Int(3, 90000000 + id).Run();
    sold.Reset().Int(1, other).Text(2, Named("W", id)).Run();
    purchase.Reset().Int(1, id).Int(2, id).Int(3, other).Run();
    comment.Reset().Int(1, id).Int(2, id).Run();
  }
  Exec(c, "COMMIT");
}

Result Send(Context& c) {
  Result r;
  r.records = 2 * c.records;
  // Past the keys of the history and of the jobs before.
  const long system = 30000000 + c.serial * 100000, baseline = system + 50000;
  Exec(c, "UPDATE kd_ProgramParams SET pa_AuctionsSendDialog = 0, pa_AuctionsReceiveDialog = 0");
  Prepare(c, system);
  {
    IReferenceConnectorControlPtr connector;
    IUnknownPtr manager;
    if (FAILED(connector.CreateInstance(CLSID_ReferenceConnector)) ||
        FAILED(manager.CreateInstance(CLSID_CoAuctServMgr)) ||
        connector->SetSiteData(_bstr_t(L"{\"sites\": [{\"number\": 1, \"name\": \"Wzorcowo\"}]}")) != S_OK) {
      r.failure = "no connector or manager";
      return r;
    }
    const double start = Now();
    const HRESULT hr = IAuctServMgrPtr(manager)->SendUserData(TRUE);
    r.system = Since(start);
    _RecordsetPtr left = c.connection->Execute(
        _bstr_t(Named("SELECT COUNT(*) FROM au__Auction WHERE au_State = 1 AND au_Id >= ", system).c_str()), nullptr,
        adCmdText);
    const long prepared = left->GetFields()->GetItem(_variant_t(LONG{0}))->GetValue();
    if (hr != S_OK || prepared != 0) r.failure = Named("auctions left prepared: ", prepared);
  }
  // The baseline's own records, prepared once the system's are sent.
  Prepare(c, baseline);
  Statement auctions(c.db, "SELECT au_Id, au_Title FROM au__Auction WHERE au_State = 1 AND au_RegId = 1 AND au_SiteId = 1 "
                           "ORDER BY au_Id");
  Statement listed(c.db, "UPDATE au__Auction SET au_Number = ?, au_State = 3 WHERE au_Id = ?");
  Statement comments(c.db, "SELECT tc_Id, au_Number, cs_ExtServiceId FROM tr_Comment INNER JOIN tr__Transaction ON "
                           "tr_Id = tc_TransId INNER JOIN au__Auction ON au_Id = tr_AuctionId INNER JOIN cs__Customer ON "
                           "cs_Id = tr_CustomerId WHERE tc_SentDate IS NULL AND tc_SentComment > '' AND au_RegId = 1 "
                           "AND au_SiteId = 1 ORDER BY tr_Id");
  Statement given(c.db, "UPDATE tr_Comment SET tc_SentDate = datetime('now'), tc_SentExternalId = ? WHERE tc_Id = ?");
  const double start = Now();
  std::vector<long long> ids;
  while (auctions.Run()) ids.push_back(auctions.Long(0));
  auctions.Reset();
  long number = 200000;
  EachInATransaction(c.db, static_cast<long>(ids.size()), [&](long k) {
    listed.Reset().Text(1, Named("", ++number)).Int(2, ids[static_cast<size_t>(k)]).Run();
  });
  ids.clear();
  while (comments.Run()) ids.push_back(comments.Long(0));
  comments.Reset();
  EachInATransaction(c.db, static_cast<long>(ids.size()), [&](long k) {
    given.Reset().Int(1, ++number).Int(2, ids[static_cast<size_t>(k)]).Run();
  });
  r.baseline = Since(start);
  if (ids.size() != static_cast<size_t>(c.records)) r.failure = Named("baseline comments: ", static_cast<long>(ids.size()));
  return r;
}

}  // namespace

std::vector<Job> SendJobs() { return {{"send: auctions and comments", Send}}; }

}  // namespace history
