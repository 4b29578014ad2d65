// The open-pages job against the test service: the selection and its cut-off, pages already
// open, groups, the buyer data taken over, the automatic message, bad answers, a cancel; and the
// operations the other jobs use (FillBidInfo, WriteBuyerData).
#include "shared/objtools.h"
#include "zone/tests/fixtures.h"
#include "host/objects.h"
#include "zone/containers.h"
#include "zone/tests/fixtures.h"
#include "zone/tests/manager_fixture.h"

namespace vorlen::test {
namespace {

class OpenPages : public ManagerTest {
 protected:
  void SetUp() override {
    ManagerTest::SetUp();
    // Only account A is walked unless a test says otherwise.
    Exec(L"UPDATE reg__Registration SET reg_ST_StatusesServiceActive = 0 WHERE reg_Id = 2");
  }
  HRESULT Run() {
    IStatusMgrPtr manager = NewManager();
    return manager->Synchronize(sjOpenPages);
  }
  LONG PageOf(LONG id) { return Long(L"SELECT tr_StatusPageId FROM tr__Transaction WHERE tr_Id = " + std::to_wstring(id)); }
  std::wstring Column(LONG id, const wchar_t* column) {
    return Text(std::wstring(L"SELECT ") + column + L" FROM tr__Transaction WHERE tr_Id = " + std::to_wstring(id));
  }
  std::vector<zone_service::Bid> BidsOfPage(int page) {
    auto lock = model.Lock();
    return model.pages()[page].bids;
  }
  // A bit column as 0 or 1 (-2 for NULL).
  LONG Flag(LONG id, const wchar_t* column) {
    const LONG v = Long(std::wstring(L"SELECT ") + column + L" FROM tr__Transaction WHERE tr_Id = " + std::to_wstring(id));
    return v == -2 ? -2 : v != 0;
  }
  LONG Outbox() { return Long(L"SELECT COUNT(*) FROM kd_MessageOutbox"); }
  // The manager behind its interface, for the job's operations.
  CCoStatusMgr& Impl(const IStatusMgrPtr& manager) { return *dynamic_cast<CCoStatusMgr*>(manager.GetInterfacePtr()); }
};

const std::wstring kFailedOpen = L"Otwieranie strony w Strefie Vantor nie powiodło się:\r\n";

TEST_F(OpenPages, RecentTransactionsGetPagesThatTheyKeep) {
  AddPurchase(1);
  Exec(L"UPDATE tr__Transaction SET tr_CreationDate = " + DayText(-30, 1) + L" WHERE tr_Id = 1");
  AddPurchase(2);
  Exec(L"UPDATE tr__Transaction SET tr_CreationDate = " + DayText(-30) + L" WHERE tr_Id = 2");  // midnight: too old
  AddTransaction(3, kAccountA, 3, 3, L"tr_StatusDisabled = 1");
  AddTransaction(4, kAccountA, 3, 3, L"tr_StatusNotSupported = 1");
  AddTransaction(5, kAccountA, 3, 3, L"tr_Grouped = 1");
  AddTransaction(6, kAccountA, 3, 3, L"tr_Complete = 2");
  AddTransaction(7, kAccountA, 3, 0);  // no auction: skipped without a word
  AddTransaction(8, kAccountB, 3, 3);
  ASSERT_EQ(Run(), S_OK);

  const LONG page = PageOf(1);
  ASSERT_GT(page, 0);
  EXPECT_EQ(BidsOfPage(page), (std::vector<zone_service::Bid>{{"1000-1", 1, 501}}));
  EXPECT_EQ(Column(1, L"tr_StatusPageAddress"), L"s/" + std::to_wstring(page) + L"-1000");
  EXPECT_EQ(Flag(1, L"tr_StatusDataModified"), 1);
  for (LONG id : {2, 3, 4, 5, 6, 7, 8}) EXPECT_EQ(PageOf(id), -2) << id;
  EXPECT_EQ(model.Calls("openTrustedPage"), 1);
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM kd_MessageOutbox WHERE mo_TransId = 1 AND mo_CustomerId = 1 AND "
                 L"mo_PageAddress = 's/" + std::to_wstring(page) + L"-1000'"),
            1);
  const Job job = LastJob(16);
  EXPECT_TRUE(job.Has(L"Utworzono nowych stron: 1 z 2")) << job.Text();
  EXPECT_TRUE(job.Has(L"Odebrano niepotwierdzonych danych: 0"));
  EXPECT_EQ(job.count, 1);
  EXPECT_EQ(job.result, 0);
  EXPECT_TRUE(Events(L"line").size() > 0);

  ASSERT_EQ(Run(), S_OK);
  EXPECT_TRUE(LastJob(16).Has(L"Utworzono nowych stron: 0 z 1")) << "only the one without an auction is left";
}

TEST_F(OpenPages, APageAlreadyOpenIsWrittenWithTheBuyersDataAndCounted) {
  SetLogLevel(2);
  AddPurchase(1);
  const int page = OpenServicePage(1000, "1000-1", 501);
  AddTransaction(20, kAccountA, 1, 1, L"tr_StatusPageId = " + std::to_wstring(page));  // an older one with the page
  zone_service::BuyerData entered;
  zone_service::Address delivery;
  delivery.trusted = true;
  delivery.name = "Jan Kowalski";
  delivery.firstLine = "ul. Długa 5";
  delivery.zipCode = "00-950";
  delivery.city = "Łódź";
  entered.deliveryAddress = delivery;
  ASSERT_TRUE(model.EnterBuyerData(page, entered, LocalSeconds(kYear, kMonth, kDay, 9)));
  ASSERT_EQ(Run(), S_OK);

  EXPECT_EQ(PageOf(1), page);
  EXPECT_EQ(Text(L"SELECT ta_City FROM tr_Address WHERE ta_TransId = 1 AND ta_Kind = 2"), L"Łódź");
  EXPECT_EQ(Text(L"SELECT ta_FirstLine FROM tr_Address WHERE ta_TransId = 1 AND ta_Kind = 2"), L"ul. Długa 5");
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM tr_Address WHERE ta_TransId = 1 AND ta_Kind = 3"), 0);
  EXPECT_EQ(Column(1, L"tr_StatusBuyerDataTrusted"), L"-1");
  EXPECT_EQ(Flag(1, L"tr_StatusBuyerDataAcknowledged"), 0);
  const Job job = LastJob(16);
  EXPECT_TRUE(job.Has(L"- strona jest już otwarta")) << job.Text();
  EXPECT_TRUE(job.Has(L"- nowy adres do wysyłki"));
  EXPECT_TRUE(job.HasPrefix(L"UWAGA! istnieje już w bazie transakcja z tą stroną!\r\nid: 20", 1));
  EXPECT_TRUE(job.Has(L"Utworzono nowych stron: 1 z 1"));
  EXPECT_TRUE(job.Has(L"Odebrano niepotwierdzonych danych: 1"));
  EXPECT_EQ(job.count, 1);
}

TEST_F(OpenPages, AGroupIsKnownByTheBidOfItsFirstMemberOfTheGroupsAccountWithAnAuction) {
  SetLogLevel(2);
  AddPurchase(1000);  // customers and auctions; this one is not selected
  Exec(L"UPDATE tr__Transaction SET tr_Complete = 3 WHERE tr_Id = 1000");
  AddTransaction(10, kAccountA, 1, 0, L"tr_Group = 1");
  AddTransaction(11, kAccountA, 1, 0, L"tr_Grouped = 1");
  AddTransaction(12, kAccountB, 1, 1, L"tr_Grouped = 1");
  AddTransaction(13, kAccountA, 2, 2, L"tr_Grouped = 1");
  AddTransaction(14, kAccountA, 3, 3, L"tr_Grouped = 1");
  Exec(L"INSERT INTO tr_Group (tg_Id, tg_TransId, tg_PrimaryTransId) VALUES (1, 10, 11), (2, 10, 12), (3, 10, 13), "
       L"(4, 10, 14)");
  AddTransaction(15, kAccountA, 1, 0, L"tr_Group = 1");  // a group with no member of its own
  Exec(L"INSERT INTO tr_Group (tg_Id, tg_TransId, tg_PrimaryTransId) VALUES (5, 15, 12)");

  IStatusMgrPtr manager = NewManager();
  {
    // The bid info of the group: the third member's bid, once.
    IFlgItemPtr item = CHxObjTools::Fetch(__uuidof(HxTransaction), 10, CHxObjTools::omReadOnly);
    IFlgItemPtr customer = CHxObjTools::Fetch(__uuidof(HxCustomer), 1, CHxObjTools::omReadOnly);
    _RecordsetPtr bids = CreateAuctionBidInfoContainer();
    EXPECT_EQ(FillBidInfo(Impl(manager), IHxTransactionPtr(item), IHxCustomerPtr(customer), bids), S_OK);
    ASSERT_EQ(Rows(bids), 1);
    bids->MoveFirst();
    EXPECT_EQ(test::Long(bids, L"buyer_id"), 502);
    EXPECT_EQ(test::Text(bids, L"auction_id"), L"1000-2");
    EXPECT_EQ(test::Long(bids, L"service_id"), 1);
    EXPECT_EQ(Value(bids, L"id").vt, VT_NULL);
    IFlgItemPtr lonely = CHxObjTools::Fetch(__uuidof(HxTransaction), 15, CHxObjTools::omReadOnly);
    EXPECT_EQ(FillBidInfo(Impl(manager), IHxTransactionPtr(lonely), IHxCustomerPtr(customer), bids), E_FAIL);
    EXPECT_EQ(FillBidInfo(Impl(manager), nullptr, IHxCustomerPtr(customer), bids), E_INVALIDARG);
    EXPECT_EQ(AddBidInfoRow(nullptr, Impl(manager), 1, L"x", 1), E_INVALIDARG);
  }
  ASSERT_EQ(manager->Synchronize(sjOpenPages), S_OK);
  ASSERT_GT(PageOf(10), 0);
  EXPECT_EQ(BidsOfPage(PageOf(10)), (std::vector<zone_service::Bid>{{"1000-2", 1, 502}}));
  EXPECT_EQ(PageOf(15), -2);
  const Job job = LastJob(16);
  EXPECT_TRUE(job.Has(L"--- ominięta, nie powiązana z aukcją")) << job.Text();
  EXPECT_TRUE(job.Has(L"--- ominięta, inne konto\r\nkonto grupy: 1\r\nkonto trans: 2"));
  EXPECT_TRUE(job.Has(L"-- wypełnianie podstawowego BidInfo\r\nkupujący: 502\r\naukcja: 1000-2"));
  EXPECT_TRUE(job.Has(L"Utworzono nowych stron: 1 z 2"));
  EXPECT_FALSE(job.HasPrefix(kFailedOpen));
}

TEST_F(OpenPages, BuyerDataIsWrittenByItsTrustedMarks) {
  AddPurchase(1);
  IStatusMgrPtr manager = NewManager();
  CCoStatusMgr& impl = Impl(manager);
  auto write = [&](LONG keyId, const _RecordsetPtr& data) {
    IFlgItemPtr item = CHxObjTools::Fetch(__uuidof(HxTransaction), 1, CHxObjTools::omEdit);
    const HRESULT hr = WriteBuyerData(keyId, data, impl, IHxTransactionPtr(item));
    CHxObjTools::Save(item);
    return hr;
  };
  auto address = [&](LONG kind, const wchar_t* column) {
    return Text(std::wstring(L"SELECT ") + column + L" FROM tr_Address WHERE ta_TransId = 1 AND ta_Kind = " +
                std::to_wstring(kind));
  };

  // All marks missing: nothing is written, the marks stay.
  Exec(L"UPDATE tr__Transaction SET tr_StatusBuyerDataTrusted = 7, tr_StatusBuyerDataAcknowledged = 1 WHERE tr_Id = 1");
  _RecordsetPtr none = CreateBuyerDataInfoContainer();
  none->AddNew();
  PutRecordsetField(none, L"id", LONG{0});
  PutRecordsetField(none, L"bill_name", L"Nikt");
  EXPECT_EQ(write(-1, none), S_OK);
  EXPECT_EQ(Column(1, L"tr_StatusBuyerDataTrusted"), L"7");
  EXPECT_EQ(Flag(1, L"tr_StatusBuyerDataAcknowledged"), 1);
  EXPECT_EQ(address(3, L"ta_Name"), L"<none>");

  // Two entries: the filter picks one; an untrusted billing address is written, but the data as
  // a whole is not trusted.
  _RecordsetPtr two = CreateBuyerDataInfoContainer();
  two->AddNew();
  PutRecordsetField(two, L"id", LONG{0});
  PutRecordsetField(two, L"deliv_trusted", true);
  PutRecordsetField(two, L"deliv_city", L"Kraków");
  two->AddNew();
  PutRecordsetField(two, L"id", LONG{1});
  PutRecordsetField(two, L"bill_trusted", false);
  PutRecordsetField(two, L"bill_name", L"Firma O'Brien");
  PutRecordsetField(two, L"bill_nip", L"123-456-78-90");
  PutRecordsetField(two, L"notes_trusted", true);
  PutRecordsetField(two, L"notes", L"Proszę o fakturę.");
  EXPECT_EQ(write(1, two), S_OK);
  EXPECT_EQ(address(3, L"ta_Name"), L"Firma O'Brien");
  EXPECT_EQ(address(3, L"ta_TaxNumber"), L"123-456-78-90");
  EXPECT_EQ(address(2, L"ta_City"), L"<none>");
  EXPECT_EQ(Column(1, L"tr_StatusNotes"), L"Proszę o fakturę.");
  EXPECT_EQ(Column(1, L"tr_StatusBuyerDataTrusted"), L"0");
  EXPECT_EQ(Flag(1, L"tr_StatusBuyerDataAcknowledged"), 0);

  // Only the delivery address trusted: it alone is written, and the data is trusted.
  EXPECT_EQ(write(0, two), S_OK);
  EXPECT_EQ(address(2, L"ta_City"), L"Kraków");
  EXPECT_EQ(address(3, L"ta_Name"), L"Firma O'Brien");
  EXPECT_EQ(Column(1, L"tr_StatusBuyerDataTrusted"), L"-1");

  EXPECT_EQ(write(7, two), E_FAIL);
  EXPECT_EQ(write(-1, nullptr), E_INVALIDARG);
  _RecordsetPtr pageless = CreateStatusPageInfoContainer();
  IFlgItemPtr item = CHxObjTools::Fetch(__uuidof(HxTransaction), 1, CHxObjTools::omEdit);
  EXPECT_EQ(WritePageInfo(impl, IHxTransactionPtr(item), pageless), E_INVALIDARG);
  EXPECT_EQ(WritePageInfo(impl, nullptr, pageless), E_INVALIDARG);
}

TEST_F(OpenPages, TheAutomaticMessageFollowsTheHostsAnswer) {
  const std::wstring mailOff = L"Tworzenie automatycznej wiadomości nie powiodło się.\r\nPrawdopodbnie klient poczty nie "
                               L"jest poprawnie skonfigurowany lub nie zostały włączone wiadomości automatyczne.\r\n"
                               L"dotyczy: Zakup 1\r\nklient: Jan Kowalski\r\nadres: ";
  SetSetting(host::kMailSettingSection, host::kAutomaticMessagesKey, L"0");
  AddPurchase(1);
  ASSERT_EQ(Run(), S_OK);
  Job job = LastJob(16);
  EXPECT_TRUE(job.HasPrefix(mailOff, 1)) << job.Text();
  EXPECT_EQ(job.count, 1);
  EXPECT_EQ(Outbox(), 0);
  EXPECT_GT(PageOf(1), 0);

  SetSetting(host::kMailSettingSection, host::kAutomaticMessagesKey, L"1");
  Exec(L"DROP TABLE kd_MessageOutbox");
  AddPurchase(2);
  Exec(L"INSERT INTO tr_Address (ta_Id, ta_TransId, ta_Kind, ta_Name, ta_City) VALUES (1, 2, 2, 'Anna Nowak', 'Gdańsk')");
  ASSERT_EQ(Run(), S_OK);
  job = LastJob(16);
  EXPECT_TRUE(job.Has(L"Tworzenie automatycznej wiadomości nie powiodło się :\r\ndotyczy: Zakup 2\r\nklient: Anna "
                      L"Nowak\r\nadres: Anna Nowak Gdańsk"))
      << job.Text();
  EXPECT_EQ(job.count, 1);
  EXPECT_GT(PageOf(2), 0);
}

TEST_F(OpenPages, BadAnswersAreErrorsOfTheirTransactionsAndTheRunGoesOn) {
  AddPurchase(1);
  AddPurchase(2);
  model.InjectFault("openTrustedPage", "ServiceUnavailableFault", -1);
  ASSERT_EQ(Run(), S_OK);
  Job job = LastJob(16);
  EXPECT_TRUE(job.HasPrefix(kFailedOpen + L"dotyczy: Zakup 1\r\nklient: Jan Kowalski\r\n", 2)) << job.Text();
  EXPECT_TRUE(job.HasPrefix(kFailedOpen + L"dotyczy: Zakup 2\r\nklient: Anna Nowak\r\n", 2));
  EXPECT_NE(job.Text().find(L"Błąd na żądanie testu"), std::wstring::npos);
  EXPECT_TRUE(job.Has(L"Utworzono nowych stron: 0 z 2"));
  EXPECT_EQ(job.count, 0);
  EXPECT_EQ(job.result, 2);
  EXPECT_EQ(Flag(1, L"tr_StatusDataModified"), 0);
  EXPECT_EQ(model.Calls("openTrustedPage"), 2);

  // A success without the page: nothing of a page is written and the buyer is not told.
  model.InjectFault("openTrustedPage", "", -1);
  ASSERT_EQ(Run(), S_OK);
  job = LastJob(16);
  EXPECT_TRUE(job.HasPrefix(kFailedOpen + L"dotyczy: Zakup 1\r\nklient: Jan Kowalski\r\nStrefa Vantor nie podała "
                                           L"danych otwartej strony.",
                        2))
      << job.Text();
  EXPECT_TRUE(job.Has(L"Utworzono nowych stron: 0 z 2"));
  EXPECT_EQ(PageOf(1), -2);
  EXPECT_EQ(Outbox(), 0);
  EXPECT_EQ(Flag(1, L"tr_StatusDataModified"), 1);

  // Without a connector every transaction fails alike.
  model.ClearFaults();
  RemoveConnectorRegistration();
  ASSERT_EQ(Run(), S_OK);
  job = LastJob(16);
  EXPECT_EQ(job.result, 2);
  EXPECT_EQ(job.count, 0);
  EXPECT_EQ(model.Calls("openTrustedPage"), 4);
}

// A transport failure is one line of its transaction: the message library's text (which ends
// its line) closes the whole text, and no empty line follows it in the log.
TEST_F(OpenPages, ATransportFailureIsOneLineWithoutATrailingLineEnd) {
  AddPurchase(1);
  UseService(ClosedPort());
  ASSERT_EQ(Run(), S_OK);
  const Job job = LastJob(16);
  EXPECT_TRUE(job.HasPrefix(kFailedOpen + L"dotyczy: Zakup 1\r\nklient: Jan Kowalski\r\n", 2)) << job.Text();
  size_t failures = 0;
  for (const LogLine& line : job.lines) {
    EXPECT_FALSE(line.text.empty()) << job.Text();
    if (line.status != 2) continue;
    ++failures;
    ASSERT_FALSE(line.text.empty());
    EXPECT_NE(line.text.back(), L'\n') << job.Text();
    EXPECT_NE(line.text.back(), L'\r') << job.Text();
  }
  EXPECT_GE(failures, 1u);
}

TEST_F(OpenPages, ACancelBetweenTransactionsStopsTheJob) {
  AddPurchase(1);
  AddPurchase(2);
  // Asks: the run's first check, account A, the job, its first transaction, its second one.
  script->cancelAt = 5;
  EXPECT_EQ(Run(), kCancelled);
  EXPECT_GT(PageOf(1), 0);
  EXPECT_EQ(PageOf(2), -2);
  const Job job = LastJob(16);
  EXPECT_TRUE(job.Has(L"Użytkownik przerwał działanie operacji lub zamknął aplikację"));
  EXPECT_FALSE(job.HasPrefix(L"Utworzono nowych stron"));
  EXPECT_EQ(job.count, 0);
  EXPECT_EQ(LockRows(), 0);
}

}  // namespace
}  // namespace vorlen::test
