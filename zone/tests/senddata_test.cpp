// The send-page-data job against the test service over HTTPS: what each page holds after a send
// (buyer data with and without the ERP, packages and their items, page data, positions, entry
// constraints), the markers cleared only after all five sends, failing steps and fillers, the
// empty cases, log levels and a cancel.
#include <optional>

#include "host/objects.h"
#include "shared/objtools.h"
#include "zone/containers.h"
#include "zone/pagedata.h"
#include "zone/tests/fixtures.h"
#include "zone/tests/pagedata_fixture.h"

namespace vorlen::test {
namespace {

constexpr LONG kSendLog = 18;
const std::wstring kItemsFailed = L"Wysyłanie informacji o towarach transakcji nie powiodło się:\r\ndotyczy: Zakup 1\r\n";

class SendData : public PageDataTest {
 protected:
  LONG Modified(LONG id) {
    return Flag(L"SELECT tr_StatusDataModified FROM tr__Transaction WHERE tr_Id = " + std::to_wstring(id));
  }
  LONG PackageModified(LONG id) {
    return Flag(L"SELECT pc_StatusDataModified FROM pc__Package WHERE pc_Id = " + std::to_wstring(id));
  }
  // Every operation of the send job called so far.
  int SendCalls() {
    int calls = 0;
    for (const char* op : {"setAcknowledgedBuyerData", "setPackageData", "setPageData", "setItemData",
                           "setDataEntryConstraints"})
      calls += model.Calls(op);
    return calls;
  }
};

std::string Or(const std::optional<std::string>& text) { return text ? *text : "<none>"; }

TEST_F(SendData, APageGetsTheBuyersDeliveryAddressPageDataItemsPackagesAndConstraints) {
  const int page = AddPagedPurchase(1);
  Exec(L"UPDATE tr__Transaction SET tr_Payment = 1234.5, tr_Paid = 1, tr_RemittanceDate = '2024-06-14 08:30:00', "
       L"tr_Date = '2024-06-13 10:00:00', tr_Currency = 'PLN', tr_ValueCurrency = 'EUR', tr_SentAll = 1, "
       L"tr_ItemsSent = 1, tr_StatusNotes = 'Proszę o fakturę' WHERE tr_Id = 1");
  AddAddress(1, 2, L"Łódź");
  AddAddress(1, 3, L"Kraków");
  AddPosition(11, 1, L"Lampa", L"2", L"99.99");
  AddPosition(12, 1, L"Żarówka", L"3", L"0");
  ASSERT_EQ(Run(sjSendData), S_OK);

  const zone_service::Page p = PageAt(page);
  ASSERT_TRUE(p.acknowledgedBuyerData);
  const zone_service::BuyerData& buyer = *p.acknowledgedBuyerData;
  ASSERT_TRUE(buyer.bids);
  EXPECT_EQ(*buyer.bids, (std::vector<zone_service::Bid>{{"1000-1", 1, 501}}));
  ASSERT_TRUE(buyer.notes);
  EXPECT_TRUE(buyer.notes->trusted);
  EXPECT_EQ(Or(buyer.notes->text), "Proszę o fakturę");
  ASSERT_TRUE(buyer.deliveryAddress);
  EXPECT_TRUE(buyer.deliveryAddress->trusted);
  EXPECT_EQ(Or(buyer.deliveryAddress->name), "Nazwa 2");
  EXPECT_EQ(Or(buyer.deliveryAddress->firstLine), "ul. Polna 2");
  EXPECT_EQ(Or(buyer.deliveryAddress->secondLine), "lok. 2");
  EXPECT_EQ(Or(buyer.deliveryAddress->zipCode), "92-100");
  EXPECT_EQ(Or(buyer.deliveryAddress->city), "Łódź");
  EXPECT_EQ(Or(buyer.deliveryAddress->country), "Polska");
  EXPECT_EQ(Or(buyer.deliveryAddress->company), "Firma 2");
  EXPECT_EQ(Or(buyer.deliveryAddress->nip), "211222333");
  // Without the ERP the billing address is not the page's.
  EXPECT_FALSE(buyer.billingAddress && buyer.billingAddress->trusted);

  ASSERT_TRUE(p.pageData);
  EXPECT_EQ(p.pageData->payment, 1234.5);
  EXPECT_EQ(Or(p.pageData->baseCurrency), "PLN");
  EXPECT_EQ(Or(p.pageData->paymentCurrency), "EUR");
  EXPECT_TRUE(p.pageData->sentAll);
  EXPECT_EQ(p.pageData->remittanceDate, LocalSeconds(2024, 6, 14, 8, 30));
  EXPECT_EQ(p.pageData->buyDate, LocalSeconds(2024, 6, 13, 10));

  ASSERT_TRUE(p.items);
  ASSERT_EQ(p.items->size(), 2u);
  EXPECT_EQ(Or((*p.items)[0].name), "Lampa");
  EXPECT_EQ((*p.items)[0].quantity, 2);
  EXPECT_EQ((*p.items)[0].price, 99.99);
  EXPECT_EQ((*p.items)[0].sortOrder, 0);
  EXPECT_EQ(Or((*p.items)[1].name), "Żarówka");
  EXPECT_EQ((*p.items)[1].price, 0.0);
  EXPECT_EQ((*p.items)[1].sortOrder, 1);

  ASSERT_TRUE(p.packages);
  EXPECT_TRUE(p.packages->empty());
  ASSERT_TRUE(p.constraints);
  EXPECT_TRUE(p.constraints->allEnabled && p.constraints->billAddressEnabled && p.constraints->delivAddressEnabled &&
              p.constraints->notesEnabled);

  EXPECT_EQ(Modified(1), 0);
  EXPECT_EQ(Long(L"SELECT tr_StatusSendState FROM tr__Transaction WHERE tr_Id = 1"), 0);
  const Job job = LastJob(kSendLog);
  EXPECT_TRUE(job.Has(L"Uaktualniono stron: 1 z 1")) << job.Text();
  EXPECT_EQ(job.count, 1);
  EXPECT_EQ(job.result, 0);

  // Nothing is left to send.
  ASSERT_EQ(Run(sjSendData), S_OK);
  EXPECT_TRUE(LastJob(kSendLog).Has(L"Nie ma danych do uaktualnienia"));
  EXPECT_EQ(model.Calls("setPageData"), 1);
}

TEST_F(SendData, TheBillingAddressGoesOutOnlyWithTheErpAndADocumentOfKind4Or5) {
  struct Case {
    const wchar_t* document;  // tr_ErpDocumentKind
    bool skipBilling;
    bool erp;
    bool sent;
  };
  const Case cases[] = {
      {L"4", false, true, true},  {L"5", false, true, true},   {L"6", false, true, false},
      {L"NULL", false, true, false}, {L"4", true, true, false}, {L"4", false, false, false},
  };
  LONG id = 1;
  for (const Case& c : cases) {
    const int page = AddPagedPurchase(id);
    Exec(L"UPDATE tr__Transaction SET tr_ErpDocumentId = 77, tr_ErpDocumentKind = " + std::wstring(c.document) +
         L" WHERE tr_Id = " + std::to_wstring(id));
    AddAddress(id, 3, L"Kraków", c.skipBilling);
    AddAddress(id, 2, L"Łódź");
    IStatusMgrPtr manager = NewManager();
    Manager(manager).m_bErpAvailable = c.erp;
    ASSERT_EQ(manager->Synchronize(sjSendData), S_OK);
    const zone_service::Page p = PageAt(page);
    ASSERT_TRUE(p.acknowledgedBuyerData) << id;
    const auto& billing = p.acknowledgedBuyerData->billingAddress;
    if (c.sent) {
      ASSERT_TRUE(billing && billing->trusted) << id;
      EXPECT_EQ(Or(billing->city), "Kraków");
      EXPECT_EQ(Or(billing->nip), "311222333");
    } else {
      EXPECT_FALSE(billing && billing->trusted) << id;
    }
    ASSERT_TRUE(p.acknowledgedBuyerData->deliveryAddress) << id;
    EXPECT_EQ(Or(p.acknowledgedBuyerData->deliveryAddress->city), "Łódź");
    ++id;
  }
}

TEST_F(SendData, PackagesAreNumberedWithTheirItemsWithoutPricesAndTheirLinksGetAScheme) {
  SetLogLevel(2);
  const int page = AddPagedPurchase(1);
  AddPackage(21, 1, L"  kurier.example/21  ", true, L"pc_Charge = 15.5, pc_ChargeCurrency = 'PLN'");
  AddPackage(22, 1, L"HTTPS://Kurier.example/22", false);  // not modified: sent all the same
  AddPackage(23, 1, nullptr, true, L"pc_SendDate = '2024-06-14 16:00:00'");
  AddPackage(24, 1, L"see http://kurier.example/24", true);
  AddPackageItem(1, 21, 1, L"Lampa", 1, L"99.99");
  AddPackageItem(2, 21, 2, L"Klosz", 2, L"10");
  AddPackageItem(3, 23, 1, L"Żarówka", 4, L"5");
  ASSERT_EQ(Run(sjSendData), S_OK);

  const zone_service::Page p = PageAt(page);
  ASSERT_TRUE(p.packages);
  ASSERT_EQ(p.packages->size(), 4u);
  const auto& packages = *p.packages;
  EXPECT_EQ(Or(packages[0].symbol), "PKG-21");
  EXPECT_EQ(Or(packages[0].statusLink), "http://kurier.example/21");
  EXPECT_EQ(packages[0].charge, 15.5);
  EXPECT_EQ(Or(packages[0].chargeCurrency), "PLN");
  EXPECT_EQ(Or(packages[1].statusLink), "HTTPS://Kurier.example/22");
  EXPECT_FALSE(packages[1].charge);
  EXPECT_EQ(Or(packages[2].statusLink), "");
  EXPECT_EQ(packages[2].sentDate, LocalSeconds(2024, 6, 14, 16));
  EXPECT_EQ(Or(packages[3].statusLink), "see http://kurier.example/24");
  for (int i = 0; i < 4; ++i) EXPECT_EQ(packages[i].sortOrder, i);

  ASSERT_TRUE(packages[0].items);
  ASSERT_EQ(packages[0].items->size(), 2u);
  EXPECT_EQ(Or((*packages[0].items)[0].name), "Lampa");
  EXPECT_EQ((*packages[0].items)[0].quantity, 1);
  EXPECT_EQ((*packages[0].items)[1].quantity, 2);
  EXPECT_EQ((*packages[0].items)[0].sortOrder, 0);
  EXPECT_EQ((*packages[0].items)[1].sortOrder, 1);
  for (const auto& item : *packages[0].items) EXPECT_FALSE(item.price);
  EXPECT_TRUE(!packages[1].items || packages[1].items->empty());
  ASSERT_TRUE(packages[2].items);
  ASSERT_EQ(packages[2].items->size(), 1u);
  EXPECT_EQ(Or((*packages[2].items)[0].name), "Żarówka");
  EXPECT_EQ((*packages[2].items)[0].sortOrder, 0);
  EXPECT_FALSE((*packages[2].items)[0].price);

  for (LONG id : {21, 22, 23, 24}) EXPECT_EQ(PackageModified(id), 0) << id;
  const Job job = LastJob(kSendLog);
  EXPECT_TRUE(job.Has(L"---- usuwanie paczki z listy (niezmodyfikowana)")) << job.Text();
  EXPECT_TRUE(job.Has(L"--- paczka\r\nid: 22"));
  EXPECT_TRUE(job.Has(L"-- wypełnianie informacji o towarach\r\npaczka: 21"));
  EXPECT_TRUE(job.Has(L"- wszystkie dane wysłane"));
}

TEST_F(SendData, ATransactionWithOnlyAModifiedPackageIsSelectedOnceAndItsPackagesCleared) {
  const int page = AddPagedPurchase(1);
  Exec(L"UPDATE tr__Transaction SET tr_StatusDataModified = 0 WHERE tr_Id = 1");
  AddPackage(21, 1, L"a", true);
  AddPackage(22, 1, L"b", true);
  ASSERT_EQ(Run(sjSendData), S_OK);
  EXPECT_TRUE(LastJob(kSendLog).Has(L"Uaktualniono stron: 1 z 1")) << LastJob(kSendLog).Text();
  EXPECT_EQ(PageAt(page).packages->size(), 2u);
  EXPECT_EQ(PackageModified(21), 0);
  EXPECT_EQ(PackageModified(22), 0);
  ASSERT_EQ(Run(sjSendData), S_OK);
  EXPECT_TRUE(LastJob(kSendLog).Has(L"Nie ma danych do uaktualnienia"));
}

TEST_F(SendData, EntryConstraintsFollowTheCompletionStateTheLocksAndTheDocument) {
  struct Case {
    const wchar_t* columns;
    zone_service::EntryConstraints expected;
  };
  const Case cases[] = {
      {L"tr_Complete = 1", {true, true, true, true}},
      {L"tr_Complete = 2", {false, true, true, true}},
      {L"tr_Complete = 3", {false, true, true, true}},
      {L"tr_AllLocked = 1", {false, true, true, true}},
      {L"tr_AddressLocked = 1", {true, false, false, false}},
      {L"tr_ErpDocumentId = 5", {true, false, true, true}},
      {L"tr_AddressLocked = 1, tr_ErpDocumentId = 5", {true, false, false, false}},
  };
  LONG id = 1;
  std::vector<int> pages;
  for (const Case& c : cases) {
    pages.push_back(AddPagedPurchase(id));
    Exec(L"UPDATE tr__Transaction SET " + std::wstring(c.columns) + L" WHERE tr_Id = " + std::to_wstring(id));
    ++id;
  }
  ASSERT_EQ(Run(sjSendData), S_OK);
  for (size_t i = 0; i < std::size(cases); ++i) {
    const zone_service::Page p = PageAt(pages[i]);
    ASSERT_TRUE(p.constraints) << i;
    const auto& e = cases[i].expected;
    EXPECT_EQ(p.constraints->allEnabled, e.allEnabled) << i;
    EXPECT_EQ(p.constraints->billAddressEnabled, e.billAddressEnabled) << i;
    EXPECT_EQ(p.constraints->delivAddressEnabled, e.delivAddressEnabled) << i;
    EXPECT_EQ(p.constraints->notesEnabled, e.notesEnabled) << i;
  }
}

TEST_F(SendData, EmptyCasesStillSendAndMarkTheTransactionSent) {
  // No positions: an empty item list. No packages: empty packages. No auction: no buyer data.
  // Acknowledged mark false, or NULL beside a trusted mark: no buyer data either.
  const int noAuction = AddPagedPurchase(1);
  Exec(L"UPDATE tr__Transaction SET tr_AuctionId = NULL, tr_Group = 1 WHERE tr_Id = 1");
  const int notAcknowledged = AddPagedPurchase(2);
  Exec(L"UPDATE tr__Transaction SET tr_StatusBuyerDataTrusted = -1, tr_StatusBuyerDataAcknowledged = 0 WHERE tr_Id = 2");
  const int trustedOnly = AddPagedPurchase(3);
  Exec(L"UPDATE tr__Transaction SET tr_StatusBuyerDataTrusted = -1 WHERE tr_Id = 3");
  const int acknowledged = AddPagedPurchase(4);
  Exec(L"UPDATE tr__Transaction SET tr_StatusBuyerDataTrusted = 0, tr_StatusBuyerDataAcknowledged = 1 WHERE tr_Id = 4");
  ASSERT_EQ(Run(sjSendData), S_OK);

  for (int page : {noAuction, notAcknowledged, trustedOnly}) {
    const zone_service::Page p = PageAt(page);
    EXPECT_FALSE(p.acknowledgedBuyerData) << page;
    ASSERT_TRUE(p.items) << page;
    EXPECT_TRUE(p.items->empty());
    ASSERT_TRUE(p.packages) << page;
    EXPECT_TRUE(p.packages->empty());
    EXPECT_TRUE(p.pageData && p.constraints) << page;
  }
  EXPECT_TRUE(PageAt(acknowledged).acknowledgedBuyerData);
  EXPECT_EQ(model.Calls("setAcknowledgedBuyerData"), 1);
  for (LONG id : {1, 2, 3, 4}) EXPECT_EQ(Modified(id), 0) << id;
  EXPECT_TRUE(LastJob(kSendLog).Has(L"Uaktualniono stron: 4 z 4")) << LastJob(kSendLog).Text();
}

TEST_F(SendData, AFailedSendKeepsTheMarkersAndTheOtherStepsStillRun) {
  AddPagedPurchase(1);
  AddPackage(21, 1, L"a", true);
  model.InjectFault("setItemData", "ServiceUnavailableFault");
  ASSERT_EQ(Run(sjSendData), S_OK);
  Job job = LastJob(kSendLog);
  EXPECT_TRUE(job.HasPrefix(kItemsFailed, 2)) << job.Text();
  EXPECT_TRUE(job.Has(L"Uaktualniono stron: 0 z 1"));
  EXPECT_EQ(job.count, 0);
  EXPECT_EQ(model.Calls("setDataEntryConstraints"), 1) << "the steps after the failed one run";
  EXPECT_EQ(Modified(1), 1);
  EXPECT_EQ(PackageModified(21), 1);

  // The next run sends it all again and clears the markers.
  ASSERT_EQ(Run(sjSendData), S_OK);
  EXPECT_TRUE(LastJob(kSendLog).Has(L"Uaktualniono stron: 1 z 1"));
  EXPECT_EQ(model.Calls("setPageData"), 2);
  EXPECT_EQ(Modified(1), 0);
  EXPECT_EQ(PackageModified(21), 0);
}

TEST_F(SendData, AFillerThatFailsFailsItsStepWithoutAServiceCall) {
  struct Case {
    const char* call;
    const char* operation;  // not called
    const wchar_t* line;
  };
  const Case cases[] = {
      {"GetPositionData", "setItemData", L"Wysyłanie informacji o towarach transakcji nie powiodło się:\r\n"},
      {"GetPositions", "setItemData", L"Wysyłanie informacji o towarach transakcji nie powiodło się:\r\n"},
      {"GetItemName", "setPackageData", L"Wysyłanie informacji o paczkach nie powiodło się:\r\n"},
      {"GetTrackingLink", "setPackageData", L"Wysyłanie informacji o paczkach nie powiodło się:\r\n"},
      {"GetAddress", "setAcknowledgedBuyerData", L"Wysyłanie danych adresowych nie powiodło się:\r\n"},
      {"GetIsGroup", "setAcknowledgedBuyerData", L"Wysyłanie danych adresowych nie powiodło się:\r\n"},
      {"GetPayment", "setPageData", L"Wysyłanie informacji podstawowych o stronie nie powiodło się:\r\n"},
      {"GetCompletionState", "setDataEntryConstraints",
       L"Ustawianie dostępności edycji danych przez klienta zakończone niepowodzeniem:\r\n"},
  };
  LONG id = 1;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.call);
    AddPagedPurchase(id);
    AddPosition(id * 10, id, L"Lampa", L"1", L"10");
    AddPackage(id * 10, id, L"a", true);
    AddPackageItem(id * 10, id * 10, 1, L"Lampa", 1, L"10");
    FailHostCall(c.call);
    const int before = model.Calls(c.operation);
    ASSERT_EQ(Run(sjSendData), S_OK);
    EXPECT_EQ(model.Calls(c.operation), before);
    const Job job = LastJob(kSendLog);
    EXPECT_TRUE(job.HasPrefix(c.line, 2)) << job.Text();
    EXPECT_TRUE(job.Text().find(L"Access is denied.") != std::wstring::npos) << job.Text();
    EXPECT_TRUE(job.Has(L"Uaktualniono stron: 0 z 1")) << job.Text();
    EXPECT_EQ(Modified(id), 1);
    EXPECT_EQ(PackageModified(id * 10), 1);
    // The next case on its own: this one's failure and markers go.
    ClearHostFailures();
    Exec(L"UPDATE tr__Transaction SET tr_StatusDataModified = 0");
    Exec(L"UPDATE pc__Package SET pc_StatusDataModified = 0");
    ++id;
  }
}

TEST_F(SendData, AFailureWithoutAnyTextIsLoggedByItsCodeAndKeepsTheMarkers) {
  AddPagedPurchase(1);
  AddPosition(10, 1, L"Lampa", L"1", L"10");
  FailHostCall("GetPositionData", kHostBroken);
  ASSERT_EQ(Run(sjSendData), S_OK);
  const Job job = LastJob(kSendLog);
  EXPECT_TRUE(job.HasPrefix(L"Błąd", 2)) << job.Text();
  EXPECT_TRUE(job.Has(L"Uaktualniono stron: 0 z 1"));
  EXPECT_EQ(Modified(1), 1) << "a step failing without a text is still a failure";
}

TEST_F(SendData, LogLevelsRouteTheJobsLines) {
  for (LONG level : {0, 1, 2}) {
    SCOPED_TRACE(level);
    SetLogLevel(level);
    AddPagedPurchase(level + 1);
    ClearEventsAndCalls();
    ASSERT_EQ(Run(sjSendData), S_OK);
    const Job job = LastJob(kSendLog);
    EXPECT_TRUE(job.Has(L"Uaktualniono stron: 1 z 1")) << job.Text();
    EXPECT_EQ(job.Has(L"Aktualizowanie stron"), level >= 1);
    EXPECT_EQ(job.Has(L"-- dane wysłano"), level == 2);
    EXPECT_EQ(job.Has(L"- wysyłanie informacji o stronie\r\ntransakcja: " + std::to_wstring(level + 1) +
                      L"\r\nklient: " + std::to_wstring(level % 3 + 1)),
              level == 2);
    EXPECT_EQ(job.Has(L"Wysyłanie danych do transakcji:\r\nid: " + std::to_wstring(level + 1)), level == 2);
    const std::vector<std::wstring> shown = Events(L"line");
    const bool onStatusLine = std::find(shown.begin(), shown.end(), L"Aktualizowanie stron") != shown.end();
    if (level == 0) {
      EXPECT_TRUE(onStatusLine) << "progress goes to the status line when it is not logged";
    }
  }
}

TEST_F(SendData, ACancelBetweenTransactionsKeepsThoseSentAndEndsTheLogAsTerminated) {
  AddPagedPurchase(1);
  AddPagedPurchase(2);
  AddPagedPurchase(3);
  // Asks: the run's start, the account, the job's start, then one before each transaction.
  script->cancelAt = 5;
  EXPECT_EQ(Run(sjSendData), kCancelled);
  EXPECT_EQ(Modified(1), 0);
  EXPECT_EQ(Modified(2), 1);
  EXPECT_EQ(Modified(3), 1);
  const Job job = LastJob(kSendLog);
  EXPECT_FALSE(job.HasPrefix(L"Uaktualniono stron:")) << job.Text();
  EXPECT_TRUE(job.Has(L"Użytkownik przerwał działanie operacji lub zamknął aplikację"));
  EXPECT_EQ(job.count, 0);
  EXPECT_EQ(LockRows(), 0);
}

}  // namespace
}  // namespace vorlen::test

namespace vorlen::test {
namespace {

TEST_F(SendData, FillersAnswerMissingArgumentsAndNoPositionsWithoutAppending) {
  AddPagedPurchase(1);
  IStatusMgrPtr object = NewManager();
  CCoStatusMgr& manager = Manager(object);
  IFlgItemPtr item = CHxObjTools::Fetch(__uuidof(HxTransaction), 1, CHxObjTools::omReadOnly);
  IHxTransactionPtr transaction(item);
  IFlgItemPtr customerItem = CHxObjTools::Fetch(__uuidof(HxCustomer), 1, CHxObjTools::omReadOnly);
  IHxCustomerPtr customer(customerItem);
  _RecordsetPtr items = CreateItemInfoContainer();
  EXPECT_EQ(FillItems(manager, items, transaction), E_FAIL);
  EXPECT_EQ(Rows(items), 0);
  EXPECT_EQ(FillItems(manager, nullptr, transaction), E_INVALIDARG);
  EXPECT_EQ(FillItems(manager, items, nullptr), E_INVALIDARG);
  EXPECT_EQ(FillPageData(manager, nullptr, transaction), E_INVALIDARG);
  EXPECT_EQ(FillBuyerData(nullptr, manager, transaction, customer), E_INVALIDARG);
  std::vector<LONG> none;
  EXPECT_EQ(FillPackages(manager, nullptr, items, none), E_INVALIDARG);
  EXPECT_EQ(FillPackageItems(manager, items, nullptr, 0), E_INVALIDARG);
  EntryConstraints record{7, 7, 7, 7};
  EXPECT_EQ(FillEntryConstraints(nullptr, record), E_INVALIDARG);
  EXPECT_EQ(record.allEnabled, 7) << "untouched";

  // A host call failing halfway: the filler answers its code and keeps the rows made before it.
  AddPosition(10, 1, L"Lampa", L"1", L"10");
  AddPosition(11, 1, L"Klosz", L"1", L"5");
  EXPECT_EQ(FillItems(manager, items, transaction), S_OK);
  EXPECT_EQ(Rows(items), 2);
  FailHostCall("GetPositionData");
  EXPECT_EQ(FillItems(manager, items, transaction), kHostRefused);
  EXPECT_EQ(Rows(items), 2);
}

}  // namespace
}  // namespace vorlen::test
