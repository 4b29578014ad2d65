// The receive-buyer-data job against the test service over HTTPS: the cut-off and its move, no
// selection, no changes, pages already current, grouped matches and provider 4, bids that name
// no transaction of the asked pages or hostile auction numbers, a page whose save failed, the
// account's edit refused, latest dates kept per account, and send running before receive.
#include "zone/containers.h"
#include "zone/pagedata.h"
#include "zone/tests/fixtures.h"
#include "testing/plans/plans.h"
#include "zone/tests/pagedata_fixture.h"

namespace vorlen::test {
namespace {

constexpr LONG kReceiveLog = 17;

class ReceiveData : public PageDataTest {
 protected:
  std::wstring LastSynch(LONG account = kAccountA) {
    return Text(L"SELECT reg_ST_LastSynch FROM reg__Registration WHERE reg_Id = " + std::to_wstring(account));
  }
  std::wstring EntryDate(LONG id) {
    return Text(L"SELECT tr_StatusBuyerEntryDate FROM tr__Transaction WHERE tr_Id = " + std::to_wstring(id));
  }
  std::wstring DeliveryCity(LONG id) {
    return Text(L"SELECT ta_City FROM tr_Address WHERE ta_Kind = 2 AND ta_TransId = " + std::to_wstring(id));
  }
  // What a buyer enters: notes and a delivery address in `city`, at `hour`:`minute` of the day.
  void Enter(int page, const std::string& city, int hour, int minute = 0,
             std::optional<std::vector<zone_service::Bid>> bids = std::nullopt) {
    zone_service::BuyerData data;
    data.bids = std::move(bids);
    data.notes = zone_service::Notes{true, "Proszę dzwonić przed dostawą"};
    zone_service::Address delivery;
    delivery.trusted = true;
    delivery.name = "Jan Kowalski";
    delivery.firstLine = "ul. Morska 1";
    delivery.zipCode = "80-001";
    delivery.city = city;
    data.deliveryAddress = delivery;
    ASSERT_TRUE(model.EnterBuyerData(page, data, LocalSeconds(kYear, kMonth, kDay, hour, minute)));
  }
};

TEST_F(ReceiveData, WhatTheBuyerEnteredComesInOnceAndTheCutOffMoves) {
  const int page = AddPagedPurchase(1);
  AddPagedPurchase(2);  // its buyer entered nothing
  Enter(page, "Gdańsk", 9, 30);
  ASSERT_EQ(Run(sjReceiveBuyerData), S_OK);

  EXPECT_EQ(DeliveryCity(1), L"Gdańsk");
  EXPECT_EQ(Text(L"SELECT tr_StatusNotes FROM tr__Transaction WHERE tr_Id = 1"), L"Proszę dzwonić przed dostawą");
  EXPECT_EQ(EntryDate(1), L"2024-06-15 09:30:00");
  EXPECT_EQ(EntryDate(2), L"<null>");
  EXPECT_EQ(LastSynch(), L"2024-06-15 09:30:00");
  Job job = LastJob(kReceiveLog);
  ASSERT_FALSE(job.lines.empty());
  EXPECT_TRUE(job.Has(L"Data ostatniej zmiany wprowadzonej przez klientów: 2007-11-21 00:00:00")) << job.Text();
  EXPECT_TRUE(job.Has(L"Liczba zmodyfikowanych stron od poprzedniej synchronizacji: 1"));
  EXPECT_TRUE(job.Has(L"Aktualizacja transakcji: 1"));
  EXPECT_TRUE(job.Has(L"Zaktualizowano 1 z 1 transakcji"));
  EXPECT_FALSE(job.Has(L"Pobieranie informacji o zmienionych stronach")) << "progress is not logged at level 0";
  EXPECT_EQ(job.count, 1);
  EXPECT_EQ(model.Calls("getBuyerData"), 1);

  // The next run asks from the new cut-off: nothing changed since.
  ASSERT_EQ(Run(sjReceiveBuyerData), S_OK);
  job = LastJob(kReceiveLog);
  EXPECT_TRUE(job.Has(L"Data ostatniej zmiany wprowadzonej przez klientów: 2024-06-15 09:30:00")) << job.Text();
  EXPECT_TRUE(job.Has(L"Nie wprowadzono żadnych zmian na stronach statusów od ostatniej synchronizacji"));
  EXPECT_EQ(model.Calls("getBuyerData"), 1);

  // Asked again from the first cut-off, the page already carries its entry date.
  Exec(L"UPDATE reg__Registration SET reg_ST_LastSynch = NULL WHERE reg_Id = 1");
  ASSERT_EQ(Run(sjReceiveBuyerData), S_OK);
  job = LastJob(kReceiveLog);
  EXPECT_TRUE(job.Has(L"Wszystkie dane adresowe są aktualne")) << job.Text();
  EXPECT_EQ(model.Calls("getBuyerData"), 1);
  EXPECT_EQ(LastSynch(), L"2024-06-15 09:30:00");
}

TEST_F(ReceiveData, NoTransactionToAskAboutMakesNoCall) {
  AddPagedPurchase(1);
  Exec(L"UPDATE tr__Transaction SET tr_Complete = 2");
  AddPurchase(2);  // no page
  ASSERT_EQ(Run(sjReceiveBuyerData), S_OK);
  const Job job = LastJob(kReceiveLog);
  EXPECT_TRUE(job.Has(L"Nie ma transakcji, dla których trzeba pobrać dane")) << job.Text();
  EXPECT_EQ(model.Calls("getPageChangesInfo"), 0);
  EXPECT_EQ(LastSynch(), L"<null>");
}

TEST_F(ReceiveData, NoChangesLeaveTheCutOffAndAFailedFetchWritesNothing) {
  const int page = AddPagedPurchase(1);
  Exec(L"UPDATE reg__Registration SET reg_ST_LastSynch = '2024-06-01 08:00:00' WHERE reg_Id = 1");
  ASSERT_EQ(Run(sjReceiveBuyerData), S_OK);
  EXPECT_TRUE(LastJob(kReceiveLog).Has(L"Nie wprowadzono żadnych zmian na stronach statusów od ostatniej synchronizacji"));
  EXPECT_EQ(LastSynch(), L"2024-06-01 08:00:00");

  Enter(page, "Gdańsk", 9);
  model.InjectFault("getBuyerData", "ServiceUnavailableFault");
  ClearEventsAndCalls();
  ASSERT_EQ(Run(sjReceiveBuyerData), S_OK);
  const Job job = LastJob(kReceiveLog);
  EXPECT_TRUE(job.HasPrefix(L"", 2)) << job.Text();
  EXPECT_EQ(job.result, static_cast<LONG>(CHxLog::jrError));
  EXPECT_EQ(DeliveryCity(1), L"<none>");
  EXPECT_EQ(LastSynch(), L"2024-06-01 08:00:00");
  EXPECT_EQ(States().back(), L"1");
}

TEST_F(ReceiveData, AGroupMembersBidWritesTheGroupAndProvider1MatchesAuctionsOf4) {
  AddPurchase(3);  // customers and auctions 1 to 3
  Exec(L"UPDATE tr__Transaction SET tr_Complete = 3 WHERE tr_Id = 3");
  const int groupPage = OpenServicePage(1000, "1000-1", 501);
  AddTransaction(10, kAccountA, 1, 0, L"tr_Group = 1, tr_StatusPageId = " + std::to_wstring(groupPage));
  AddTransaction(11, kAccountA, 1, 1, L"tr_Grouped = 1");
  Exec(L"INSERT INTO tr_Group (tg_Id, tg_TransId, tg_PrimaryTransId) VALUES (1, 10, 11)");
  Exec(L"UPDATE au__Auction SET au_SvcProvId = 4 WHERE au_Id = 2");
  const int otherPage = OpenServicePage(1000, "1000-2", 502);
  AddTransaction(2, kAccountA, 2, 2, L"tr_StatusPageId = " + std::to_wstring(otherPage));
  Enter(groupPage, "Gdynia", 8);
  Enter(otherPage, "Sopot", 9);
  ASSERT_EQ(Run(sjReceiveBuyerData), S_OK);

  EXPECT_EQ(DeliveryCity(10), L"Gdynia");
  EXPECT_EQ(DeliveryCity(11), L"<none>");
  EXPECT_EQ(EntryDate(10), L"2024-06-15 08:00:00");
  EXPECT_EQ(DeliveryCity(2), L"Sopot");
  EXPECT_TRUE(LastJob(kReceiveLog).Has(L"Zaktualizowano 2 z 2 transakcji")) << LastJob(kReceiveLog).Text();
  EXPECT_EQ(LastSynch(), L"2024-06-15 09:00:00") << LastJob(kReceiveLog).Text();
}

TEST_F(ReceiveData, EveryLookupOfTheFourJobsSearchesAnIndexInsteadOfReadingTheHistory) {
  const int paged = AddPagedPurchase(1);  // its page data sent, then what its buyer entered received
  AddAddress(1, 2, L"Łódź");
  AddPosition(11, 1, L"Lampa", L"2", L"99.99");
  AddPackage(21, 1, L"paczka.example/1", true);
  AddPackageItem(31, 21, 1, L"Lampa", 2, L"99.99");
  AddPurchase(2);  // its page opened
  AddPurchase(3);  // its buyer and auction: a member of a group whose page the buyer entered into
  Exec(L"DELETE FROM tr__Transaction WHERE tr_Id = 3");
  const int groupPage = OpenServicePage(1000, "1000-3", 503);
  AddTransaction(10, kAccountA, 3, 0, L"tr_Group = 1, tr_StatusPageId = " + std::to_wstring(groupPage));
  AddTransaction(11, kAccountA, 3, 3, L"tr_Grouped = 1");
  Exec(L"INSERT INTO tr_Group (tg_Id, tg_TransId, tg_PrimaryTransId) VALUES (1, 10, 11)");
  Enter(paged, "Gdańsk", 9);
  Enter(groupPage, "Gdynia", 8);
  testplans::StatementLog log(host->Connection());
  ASSERT_EQ(Run(sjAll), S_OK);
  EXPECT_EQ(DeliveryCity(10), L"Gdynia");
  EXPECT_GT(log.Statements().size(), 20u);
  EXPECT_EQ(log.FullReads(), std::vector<std::string>{});
}

// A buyer who bought twice in one auction: the page is the newer purchase's, and the data goes
// there (not skipped for the older one), so the cut-off moves.
TEST_F(ReceiveData, ABuyerWhoBoughtTwiceInAnAuctionGetsTheDataIntoThePagedPurchase) {
  AddPurchase(1);                          // buyer 501, auction "1000-1", no page
  const int page = AddPagedPurchase(4);    // the same buyer and auction, with the page
  Enter(page, "Gdańsk", 9, 30);
  ASSERT_EQ(Run(sjReceiveBuyerData), S_OK);
  EXPECT_EQ(DeliveryCity(4), L"Gdańsk");
  EXPECT_EQ(DeliveryCity(1), L"<none>");
  EXPECT_EQ(EntryDate(4), L"2024-06-15 09:30:00");
  const Job job = LastJob(kReceiveLog);
  EXPECT_TRUE(job.Has(L"Zaktualizowano 1 z 1 transakcji")) << job.Text();
  EXPECT_FALSE(job.HasPrefix(L"Dane kupującego ze Strefy Vantor pominięto")) << job.Text();
  EXPECT_EQ(LastSynch(), L"2024-06-15 09:30:00");
}

TEST_F(ReceiveData, TwoBidsOfOnePageDoNotMakeUpForAPageWhoseTransactionWasNotFound) {
  SetLogLevel(2);
  const int shared = AddPagedPurchase(1);
  AddPagedPurchase(2);
  Exec(L"UPDATE tr__Transaction SET tr_StatusPageId = " + std::to_wstring(shared) + L" WHERE tr_Id = 2");
  const int lost = AddPagedPurchase(3);
  Exec(L"UPDATE cs__Customer SET cs_ExtServiceId = 999 WHERE cs_Id = 3");  // the bid's buyer is unknown here
  Enter(shared, "Gdańsk", 9, 0, std::vector<zone_service::Bid>{{"1000-1", 1, 501}, {"1000-2", 1, 502}});
  Enter(lost, "Sopot", 10);
  ASSERT_EQ(Run(sjReceiveBuyerData), S_OK);

  EXPECT_EQ(DeliveryCity(1), L"Gdańsk");
  EXPECT_EQ(DeliveryCity(2), L"Gdańsk");
  EXPECT_EQ(DeliveryCity(3), L"<none>");
  const Job job = LastJob(kReceiveLog);
  EXPECT_TRUE(job.Has(L"--- UWAGA! Różna ilość danych w BidInfo i BuyerInfo!")) << job.Text();
  EXPECT_TRUE(job.Has(L"Zaktualizowano 2 z 2 transakcji")) << job.Text();
  EXPECT_EQ(LastSynch(), L"<null>") << "the lost page's changes are asked for again";
}

TEST_F(ReceiveData, BadBidsAreSkippedAndNeverWriteIntoAnotherTransaction) {
  const int page = AddPagedPurchase(1);
  const int other = AddPagedPurchase(2);
  IStatusMgrPtr object = NewManager();
  CCoStatusMgr& manager = Manager(object);
  manager.m_lCurrentRegId = kAccountA;
  manager.m_log.StartJobs(sjReceiveBuyerData);

  _RecordsetPtr changes = CreatePageChangesInfoContainer();
  changes->AddNew();
  PutRecordsetField(changes, L"page_id", static_cast<LONG>(page));
  _variant_t when;
  when.vt = VT_DATE;
  when.date = Date(kYear, kMonth, kDay, 9);
  PutRecordsetField(changes, L"last_dataEntry_date", when);
  _RecordsetPtr bids = CreateAuctionBidInfoContainer();
  _RecordsetPtr buyers = CreateBuyerDataInfoContainer();
  struct BidRow {
    LONG id;
    LONG buyer;
    const wchar_t* auction;
    bool buyerRow;
  };
  const BidRow rows[] = {
      {0, 999, L"1000-1", true},                // unknown buyer
      {1, 501, L"1000-9", true},                // unknown auction
      {2, 501, L"1000-1' OR 'a'='a", true},     // quotes
      {3, 501, L"1000-%", true},                // wildcards
      {4, 501, L"1000_1", true},
      {5, 501, L"[1]000-1", true},
      {6, 502, L"1000-2", true},                // a transaction of a page not asked for
      {7, 501, L"1000-1", false},               // no buyer row
  };
  for (const BidRow& row : rows) {
    bids->AddNew();
    PutRecordsetField(bids, L"id", row.id);
    PutRecordsetField(bids, L"buyer_id", row.buyer);
    PutRecordsetField(bids, L"auction_id", row.auction);
    PutRecordsetField(bids, L"service_id", LONG{1});
    if (!row.buyerRow) continue;
    buyers->AddNew();
    PutRecordsetField(buyers, L"id", row.id);
    PutRecordsetField(buyers, L"deliv_trusted", true);
    PutRecordsetField(buyers, L"deliv_city", L"Zły adres");
  }
  const std::set<LONG> requested = {page};
  std::set<LONG> saved;
  LONG count = -1;
  EXPECT_EQ(ApplyReceivedBuyerData(manager, changes, bids, buyers, count, &saved, &requested), S_OK);
  EXPECT_EQ(count, 0);
  EXPECT_TRUE(saved.empty());
  EXPECT_EQ(DeliveryCity(1), L"<none>");
  EXPECT_EQ(DeliveryCity(2), L"<none>");
  EXPECT_EQ(EntryDate(1), L"<null>");
  EXPECT_EQ(EntryDate(2), L"<null>");

  // A good bid after the bad ones is written.
  bids->PutFilter(_variant_t(L""));
  bids->AddNew();
  PutRecordsetField(bids, L"id", LONG{8});
  PutRecordsetField(bids, L"buyer_id", LONG{501});
  PutRecordsetField(bids, L"auction_id", L"1000-1");
  PutRecordsetField(bids, L"service_id", LONG{1});
  buyers->PutFilter(_variant_t(L""));
  buyers->AddNew();
  PutRecordsetField(buyers, L"id", LONG{8});
  PutRecordsetField(buyers, L"deliv_trusted", true);
  PutRecordsetField(buyers, L"deliv_city", L"Gdańsk");
  changes->PutFilter(_variant_t(L""));
  EXPECT_EQ(ApplyReceivedBuyerData(manager, changes, bids, buyers, count, &saved, &requested), S_OK);
  EXPECT_EQ(count, 1);
  EXPECT_EQ(saved, requested);
  EXPECT_EQ(DeliveryCity(1), L"Gdańsk");
  EXPECT_EQ(EntryDate(1), L"2024-06-15 09:00:00");
  manager.m_log.EndJobs();

  const Job job = LastJob(kReceiveLog);
  EXPECT_TRUE(job.HasPrefix(L"Strefa Vantor nie podała danych kupującego dla oferty:\r\nkupujący: 501\r\naukcja: 1000-1", 2))
      << job.Text();
  EXPECT_TRUE(job.HasPrefix(L"Dane kupującego ze Strefy Vantor pominięto", 1)) << job.Text();
  (void)other;
}

TEST_F(ReceiveData, ChangedPagesAreSelectedByTheirEntryDateAndAPageWithoutOneAsIfDated1899) {
  const int dated = AddPagedPurchase(1);
  const int undated = AddPagedPurchase(2);
  const int current = AddPagedPurchase(3);
  Exec(L"UPDATE tr__Transaction SET tr_StatusBuyerEntryDate = '2024-06-15 07:00:00' WHERE tr_Id = 3");
  Exec(L"UPDATE tr__Transaction SET tr_StatusBuyerEntryDate = '1899-12-30 00:00:00' WHERE tr_Id = 2");
  IStatusMgrPtr object = NewManager();
  CCoStatusMgr& manager = Manager(object);
  manager.m_latestEntryDate = COleDateTime(2024, 6, 1, 0, 0, 0);

  _RecordsetPtr changes = CreatePageChangesInfoContainer();
  auto add = [&](int page, DATE date) {
    changes->AddNew();
    PutRecordsetField(changes, L"page_id", static_cast<LONG>(page));
    if (date == 0) return;
    _variant_t v;
    v.vt = VT_DATE;
    v.date = date;
    PutRecordsetField(changes, L"last_dataEntry_date", v);
  };
  add(dated, Date(kYear, kMonth, kDay, 9));
  add(undated, 0);
  add(current, Date(kYear, kMonth, kDay, 7));
  _RecordsetPtr pages;
  EXPECT_EQ(SelectPagesToUpdate(manager, changes, pages), S_OK);
  ASSERT_TRUE(pages);
  ASSERT_EQ(Rows(pages), 1);
  pages->MoveFirst();
  EXPECT_EQ(test::Long(pages, L"page_id"), dated);
  EXPECT_EQ(static_cast<DATE>(manager.m_latestEntryDate), Date(kYear, kMonth, kDay, 9));
  EXPECT_EQ(SelectPagesToUpdate(manager, nullptr, pages), E_INVALIDARG);
}

TEST_F(ReceiveData, ARefusedEditOfTheAccountIsAnErrorAndTheCutOffWaits) {
  const int page = AddPagedPurchase(1);
  Enter(page, "Gdańsk", 9);
  // Another workstation edits the account: its edit lock is refused.
  Exec(L"INSERT INTO kd_blokada (obid, obextra, obtype, workstation, username) VALUES (1, 0, 701, 'INNA', 'ktoś')");
  ASSERT_EQ(Run(sjReceiveBuyerData), S_OK);
  EXPECT_EQ(DeliveryCity(1), L"Gdańsk");
  const Job job = LastJob(kReceiveLog);
  EXPECT_TRUE(job.HasPrefix(L"", 2)) << job.Text();
  EXPECT_EQ(LastSynch(), L"<null>");
  Exec(L"DELETE FROM kd_blokada");
  ASSERT_EQ(Run(sjReceiveBuyerData), S_OK);
  EXPECT_TRUE(LastJob(kReceiveLog).Has(L"Wszystkie dane adresowe są aktualne")) << LastJob(kReceiveLog).Text();
  EXPECT_EQ(LastSynch(), L"2024-06-15 09:00:00");
}

TEST_F(ReceiveData, EachAccountKeepsItsOwnLatestEntryDate) {
  Exec(L"UPDATE reg__Registration SET reg_ST_StatusesServiceActive = 1 WHERE reg_Id = 2");
  const int pageA = AddPagedPurchase(1);
  AddCustomer(60, 601, L"Ewa Nowak");
  AddAuction(60, L"1001-1", kAccountB);
  const int pageB = OpenServicePage(1001, "1001-1", 601);
  AddTransaction(60, kAccountB, 60, 60, L"tr_StatusPageId = " + std::to_wstring(pageB));
  Enter(pageA, "Gdańsk", 11);
  Enter(pageB, "Sopot", 9, 30);
  ASSERT_EQ(Run(sjReceiveBuyerData), S_OK);
  EXPECT_EQ(DeliveryCity(60), L"Sopot");
  EXPECT_EQ(LastSynch(kAccountA), L"2024-06-15 11:00:00");
  EXPECT_EQ(LastSynch(kAccountB), L"2024-06-15 09:30:00");
}

TEST_F(ReceiveData, FlagsTwelveSendBeforeTheyReceive) {
  // Buyer data received before and not acknowledged: the send leaves the buyer's entry alone.
  const int page = AddPagedPurchase(1);
  Exec(L"UPDATE tr__Transaction SET tr_StatusBuyerDataTrusted = -1, tr_StatusBuyerDataAcknowledged = 0");
  Enter(page, "Gdańsk", 9);
  ASSERT_EQ(Run(sjSendData | sjReceiveBuyerData), S_OK);
  auto first = [&](LONG subtype) {
    return Long(L"SELECT MIN(jll_Id) FROM kd_JobLogLine JOIN kd_JobLog ON jl_Id = jll_JobId WHERE jl_Subtype = " +
                std::to_wstring(subtype) + L" AND jll_Text LIKE 'Uaktualniono%' OR jl_Subtype = " +
                std::to_wstring(subtype) + L" AND jll_Text LIKE 'Zaktualizowano%'");
  };
  const LONG sent = first(18), received = first(kReceiveLog);
  ASSERT_GT(sent, 0);
  ASSERT_GT(received, 0);
  EXPECT_LT(sent, received);
  EXPECT_EQ(DeliveryCity(1), L"Gdańsk");
  EXPECT_EQ(Long(L"SELECT tr_StatusDataModified FROM tr__Transaction WHERE tr_Id = 1"), 0);
}

}  // namespace
}  // namespace vorlen::test
