// The receive step of the synchronisation manager over a real product database: the reference
// site connector's session delivers its data file's records through the manager's callbacks,
// which store them through the host's and the provider's business objects.
#include <algorithm>

#include "auctions/sync/auctservmgr.h"
#include "auctions/sync/containers.h"
#include "auctions/sync/receive.h"
#include "auctions/tests/receive_fixture.h"
#include "testing/plans/plans.h"

namespace {

using receive_test::ReceiveTest;
using lotrix::AuctSyncOptions;

constexpr LONG kError = 2;

// The reference site: three sold auctions with four purchases by three buyers (one nick with an
// apostrophe, one buyer without a surname), two running auctions, one unsold; images, one of
// them on two auctions; comments received and given.
const char kSiteData[] = R"json({
  "auctions": [
    {"number": "7100001", "state": "sold", "title": "Kubek ceramiczny z żurawiem", "category": 1, "quantity": 3,
     "start_price": 19.99, "price": 25.0, "duration": 7, "start_date": "2026-11-20T10:00:00",
     "end_date": "2026-11-27T10:00:00", "ended": true, "sold": 2, "bid_count": 5, "location": "Kraków",
     "description": "Ręcznie malowany kubek.", "pay_opts": 3, "ship_opts": 1, "shipping_cost": 12.0,
     "images": [{"type": 3, "image": "AQID"}, {"type": 3, "image": "BAUG"}, {"type": 1, "image": "BwgJ"}]},
    {"number": "7100002", "state": "sold", "title": "Lampka nocna \"Księżyc\"", "category": 1, "quantity": 1,
     "price": 89.0, "bin_price": 89.0, "has_bin_price": true, "start_date": "2026-11-15T18:30:00",
     "end_date": "2026-11-25T18:30:00", "ended": true, "sold": 1, "ship_opts": 1, "shipping_cost": 15.0,
     "images": [{"type": 3, "image": "AQID"}]},
    {"number": "7100003", "state": "sold", "title": "Pędzle", "category": 1, "quantity": 10, "price": 34.5,
     "bin_price": 34.5, "start_date": "2026-11-10T09:00:00", "end_date": "2026-11-24T09:00:00", "ended": true,
     "sold": 3, "ship_opts": 0},
    {"number": "7100004", "state": "running", "title": "Obraz olejny", "category": 1, "quantity": 1,
     "start_price": 150.0, "start_date": "2026-12-05T20:00:00", "end_date": "2026-12-19T20:00:00", "ended": false},
    {"number": "7100005", "state": "running", "title": "Szal wełniany", "category": 1, "quantity": 5,
     "bin_price": 59.0, "start_date": "2026-12-01T08:00:00", "end_date": "2026-12-31T08:00:00", "ended": false},
    {"number": "7100006", "state": "unsold", "title": "Stary zegar", "category": 1, "quantity": 1,
     "start_price": 300.0, "start_date": "2026-11-01T12:00:00", "end_date": "2026-11-08T12:00:00", "ended": true}
  ],
  "customers": [
    {"user_id": 8100001, "user_name": "jan_kowalski", "first_name": "Jan", "last_name": "Kowalski",
     "email": "jan@example.com", "street": "ul. Długa 5", "postcode": "30-001", "city": "Kraków",
     "country_name": "Polska", "activated": true},
    {"user_id": 8100002, "user_name": "o'neill", "first_name": "Małgorzata", "last_name": "O'Neill",
     "email": "m@example.com", "street": "ul. Źródlana 12", "postcode": "90-002", "city": "Łódź",
     "country_name": "Polska", "activated": true},
    {"user_id": 8100003, "user_name": "zosia", "first_name": "Zofia", "email": "z@example.com",
     "street": "ul. Morska 1", "postcode": "80-003", "city": "Gdańsk", "country_name": "Polska"}
  ],
  "transactions": [
    {"id": 9100001, "journal": 1, "item_number": "7100001", "user_id": 8100001, "user_name": "jan_kowalski",
     "quantity": 1, "price": 25.0, "currency": "PLN", "date": "2026-11-27T10:00:00"},
    {"id": 9100002, "journal": 2, "item_number": "7100001", "user_id": 8100002, "user_name": "o'neill",
     "quantity": 1, "price": 25.0, "currency": "PLN", "date": "2026-11-27T10:00:00"},
    {"id": 9100003, "journal": 3, "item_number": "7100002", "user_id": 8100002, "user_name": "o'neill",
     "quantity": 1, "price": 89.0, "currency": "PLN", "date": "2026-11-25T18:30:00"},
    {"id": 9100004, "journal": 4, "item_number": "7100003", "user_id": 8100003, "user_name": "zosia",
     "quantity": 3, "price": 34.5, "currency": "PLN", "date": "2026-11-18T16:42:00"}
  ],
  "comments": [
    {"type": 0, "auction_number": "7100001", "from_user_id": 8100001, "to_user_id": 7000001, "id": 1,
     "comment": "Polecam!", "score": 1, "date": "2026-12-01T19:05:00", "user_name": "jan_kowalski"},
    {"type": 0, "auction_number": "7100002", "from_user_id": 8100002, "to_user_id": 7000001, "id": 2,
     "comment": "Zgodnie z opisem.", "score": 1, "date": "2026-12-02T08:15:00", "user_name": "o'neill"},
    {"type": 1, "auction_number": "7100001", "from_user_id": 7000001, "to_user_id": 8100001, "id": 3,
     "comment": "Wzorowy kupujący.", "score": 1, "date": "2026-12-01T20:00:00", "user_name": "jan_kowalski"},
    {"type": 1, "auction_number": "7100002", "from_user_id": 7000001, "to_user_id": 8100002, "id": 4,
     "comment": "Szybka płatność.", "score": 1, "date": "2026-12-02T09:00:00", "user_name": "o'neill"},
    {"type": 1, "auction_number": "7100003", "from_user_id": 7000001, "to_user_id": 8100003, "id": 5,
     "comment": "Dziękuję.", "score": 1, "date": "2026-12-03T09:00:00", "user_name": "zosia"}
  ]
})json";


class Receive : public ReceiveTest {
 protected:
  void SetUp() override {
    ReceiveTest::SetUp();
    Run(L"INSERT INTO kd_keys (ki_Table, ki_NextId) VALUES ('reg_Data', 100)");
    AddAccount(3, L"sprzedawca");
    UseSiteData(kSiteData);
    SetParams(L"pa_AuctSyncTransaction = 1, pa_AuctSyncFeedback = 1, pa_AuctSyncFeedbackMax = 0, "
              L"pa_AuctSyncSellAuction = 1, pa_AuctSyncSoldAuction = 1, pa_AuctSyncNotSoldAuction = 1, "
              L"pa_AuctSyncFullAuctionData = 1, pa_AuctSyncUseJournal = 0, pa_AuctionsReceiveDialog = 0");
    manager = Create(CLSID_CoAuctServMgr);
    ASSERT_TRUE(manager);
    sync = LotrixSyncPtr(manager);
    ASSERT_TRUE(sync);
    object = static_cast<CCoAuctServMgr*>(static_cast<LotrixSync*>(sync.GetInterfacePtr()));
  }
  void TearDown() override {
    object = nullptr;
    sync = nullptr;
    manager = nullptr;
    ReceiveTest::TearDown();
  }

  // An active account of the reference provider working on site row 5, which passes its check.
  void AddAccount(LONG id, const wchar_t* login) {
    Run(L"INSERT INTO reg__Registration (reg_Id, reg_SvcProvId, reg_SvcUserId, reg_Username, reg_Accesskey, "
        L"reg_Active) VALUES (" + std::to_wstring(id) + L", 1, 7000001, N'" + login + L"', 'ak1:3e3f3735', 1)");
    Run(L"INSERT INTO reg_Site (rs_Id, rs_RegId, rs_SiteId) VALUES (" + std::to_wstring(id + 20) + L", " +
        std::to_wstring(id) + L", 5)");
  }
  void SetParams(const std::wstring& assignments) { Run(L"UPDATE kd_ProgramParams SET " + assignments); }
  void UseSiteData(const std::string& json) {
    ASSERT_EQ(connector->SetSiteData(_bstr_t(platform::utf8::ToWide(json).c_str())), S_OK);
  }
  HRESULT ReceiveAll() { return IAuctServMgrPtr(manager)->ReceiveUserData(TRUE); }

  // The account-site row of an account as the walk gives it.
  _RecordsetPtr AccountSite(LONG account = 3) {
    return cn->Execute(_bstr_t((L"SELECT reg_id, reg_name, site_id, site_name, subsite_id, service_id, regsite_id "
                                L"FROM vw_HostAccountSites WHERE reg_id = " + std::to_wstring(account)).c_str()),
                       nullptr, adCmdText);
  }
  // A session of the reference connector for account 3, given the manager's callback.
  IAuctionSiteConnectorPtr Session() {
    IUnknownPtr account = Load(L"Vantor.CoRegistration", 3);
    IAuctionSiteAccountPtr provider(Create(CLSID_ReferenceConnector));
    IAuctionSiteConnector* raw = nullptr;
    EXPECT_EQ(provider->OpenSession(LotrixRegistrationPtr(account), &raw), S_OK);
    IAuctionSiteConnectorPtr session(raw, false);
    if (session) {
      EXPECT_EQ(session->SetSync(sync), S_OK);
      EXPECT_EQ(session->SetRegSite(_variant_t(LONG{1})), S_OK);
    }
    return session;
  }
  // Runs the receive step of an account with the options, as the walk does, with the account
  // object the walk loaded (none: no account loaded).
  void ReceiveStep(const AuctSyncOptions& options, IUnknownPtr account = nullptr, LONG id = 3) {
    IAuctionSiteConnectorPtr session = Session();
    ASSERT_TRUE(session);
    object->m_options = options;
    object->m_accountSites = AccountSite(id);
    object->m_registration = LotrixRegistrationPtr(account);
    {
      AFX_MANAGE_STATE(LotrixModule().State());
      object->ReceiveAccountData(session, object->m_accountSites);
    }
    object->m_accountSites = nullptr;
    object->m_registration = nullptr;
  }
  // What the sessions recorded that starts with `prefix` ("41 ReceiveAuctions 0x1000"), without
  // the session's number.
  std::vector<std::wstring> Calls(const std::wstring& prefix) {
    std::vector<std::wstring> out;
    for (const std::wstring& call : ConnectorCalls()) {
      if (call.rfind(L"session ", 0) != 0) continue;
      const std::wstring line = call.substr(call.find(L' ', 8) + 1);
      if (line.compare(0, prefix.size(), prefix) == 0) out.push_back(line);
    }
    return out;
  }
  std::vector<std::wstring> Summaries() {
    std::vector<std::wstring> out;
    for (const host::HostEvent& e : host->Object().Events())
      if (e.kind == L"summary") out.push_back(e.text);
    return out;
  }
  // The numbers of rows in the tables the receive fills.
  std::vector<LONG> Counts() {
    std::vector<LONG> out;
    for (const wchar_t* table : {L"au__Auction", L"au_Image", L"kd_Image", L"cs__Customer", L"tr__Transaction",
                                 L"tr_Comment"})
      out.push_back(Long(std::wstring(L"SELECT COUNT(*) FROM ") + table));
    return out;
  }

  IUnknownPtr manager;
  LotrixSyncPtr sync;
  CCoAuctServMgr* object = nullptr;
};

AuctSyncOptions Options(std::initializer_list<bool AuctSyncOptions::*> set) {
  AuctSyncOptions options;
  for (bool AuctSyncOptions::*field : set) options.*field = true;
  return options;
}

TEST(AuctionRequest, FlagsFollowTheKindsOfAuctionsAndWhetherTheTransactionsBringTheSoldOnes) {
  using O = AuctSyncOptions;
  EXPECT_EQ(lotrix::AuctionRequestFlags(Options({&O::soldAuctions, &O::transactions})), 0);
  EXPECT_EQ(lotrix::AuctionRequestFlags(Options({&O::soldAuctions, &O::transactions, &O::fullAuctionData})), 0x100C);
  EXPECT_EQ(lotrix::AuctionRequestFlags(Options({&O::soldAuctions})), 0x1000);
  EXPECT_EQ(lotrix::AuctionRequestFlags(Options({&O::runningAuctions, &O::soldAuctions, &O::unsoldAuctions})), 0x3100);
  EXPECT_EQ(lotrix::AuctionRequestFlags(Options({&O::runningAuctions, &O::fullAuctionData})), 0x10C);
  EXPECT_EQ(lotrix::AuctionRequestFlags(Options({&O::unsoldAuctions, &O::transactions})), 0x2000);
}

TEST_F(Receive, TheStepsAskTheConnectorForWhatTheOptionsSelect) {
  using O = AuctSyncOptions;
  ReceiveStep(Options({&O::soldAuctions, &O::transactions}));
  ReceiveStep(Options({&O::soldAuctions, &O::transactions, &O::fullAuctionData}));
  ReceiveStep(Options({&O::soldAuctions}));
  ReceiveStep(Options({&O::runningAuctions, &O::soldAuctions, &O::unsoldAuctions}));
  EXPECT_EQ(Calls(L"41 ReceiveAuctions"),
            (std::vector<std::wstring>{L"41 ReceiveAuctions 0x0", L"41 ReceiveAuctions 0x100C",
                                       L"41 ReceiveAuctions 0x1000", L"41 ReceiveAuctions 0x3100"}));
  EXPECT_EQ(Calls(L"40 ReceiveTransactions"),
            (std::vector<std::wstring>{L"40 ReceiveTransactions 1 null", L"40 ReceiveTransactions 1 null"}));
  EXPECT_TRUE(Calls(L"42 ReceiveComments").empty());

  // Comments: received ones, then given ones, the last N of each when a number is set.
  AuctSyncOptions comments = Options({&O::comments});
  comments.commentsMax = 2;
  ReceiveStep(comments);
  EXPECT_EQ(Calls(L"42 ReceiveComments"),
            (std::vector<std::wstring>{L"42 ReceiveComments 0 2", L"42 ReceiveComments 1 2"}));
  EXPECT_EQ(Calls(L"42 comment"), (std::vector<std::wstring>{L"42 comment 7100001 type=0", L"42 comment 7100002 type=0",
                                                             L"42 comment 7100002 type=1", L"42 comment 7100003 type=1"}));
}

TEST_F(Receive, WithTheJournalAndNoAccountLoadedTheTransactionsComeInModeTwoWithoutCustomData) {
  AuctSyncOptions options = Options({&AuctSyncOptions::transactions, &AuctSyncOptions::useJournal});
  ReceiveStep(options);
  EXPECT_EQ(Calls(L"40 ReceiveTransactions"), (std::vector<std::wstring>{L"40 ReceiveTransactions 2 null"}));
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM tr__Transaction"), 4);
  ReceiveStep(options, Load(L"Vantor.CoRegistration", 3));
  EXPECT_EQ(Calls(L"40 ReceiveTransactions").back(), L"40 ReceiveTransactions 2 data");
}

TEST_F(Receive, TheJournalPositionIsSavedForEveryAccountLoadedIntoTheSameObject) {
  AddAccount(4, L"drugi");
  const AuctSyncOptions options = Options({&AuctSyncOptions::transactions, &AuctSyncOptions::useJournal});
  // The walk loads each account into one object; the first account's edit must not outlive its
  // step, or the second one's edit is refused and its position lost.
  IUnknownPtr account = CreateNamed(L"Vantor.CoRegistration");
  for (int round = 0; round < 2; ++round) {
    for (LONG id : {3, 4}) {
      ASSERT_EQ(IFlgItemPtr(account)->Load(factory, _variant_t(id)), S_OK);
      ReceiveStep(options, account, id);
      EXPECT_EQ(Long(L"SELECT COUNT(*) FROM kd_blokada"), 0);
    }
  }
  EXPECT_TRUE(Lines(CHxLog::jsReceiveTransactions, kError).empty());
  for (LONG id : {3, 4})
    EXPECT_EQ(Long(L"SELECT rd_vint FROM reg_Data WHERE rd_Name = 'JournalPosition' AND rd_RegId = " +
                   std::to_wstring(id)),
              4);
  // The second round asks from each account's position and gets no purchase again.
  EXPECT_EQ(Calls(L"40 journal from"), (std::vector<std::wstring>{L"40 journal from 0", L"40 journal from 0",
                                                                  L"40 journal from 4", L"40 journal from 4"}));
  EXPECT_EQ(Calls(L"40 transaction").size(), 8u);
}

TEST_F(Receive, ACancelledJobAsksTheConnectorForNothing) {
  host->Object().RequestCancel();
  ReceiveStep(Options({&AuctSyncOptions::transactions, &AuctSyncOptions::runningAuctions, &AuctSyncOptions::comments}));
  EXPECT_TRUE(Calls(L"40").empty());
  EXPECT_TRUE(Calls(L"41").empty());
  EXPECT_TRUE(Calls(L"42").empty());
}

TEST_F(Receive, WithTheProgressEchoEveryRecordIsShownAndTheConnectorStopsWhenTheUserCancels) {
  IFlgInstancePtr instance = host->Instance();
  ASSERT_EQ(instance->PutSetting(_bstr_t(L"Test"), _bstr_t(L"AuctSyncProgress"), _variant_t(LONG{1})), S_OK);
  // The user cancels once the first running auction is shown.
  host->Object().SetOutput([&](const std::wstring& text) {
    if (text == L"== Odebrano aukcję nr 7100004") host->Object().RequestCancel();
  });
  AuctSyncOptions options = Options({&AuctSyncOptions::runningAuctions, &AuctSyncOptions::fullAuctionData});
  ReceiveStep(options);
  host->Object().SetOutput(nullptr);
  EXPECT_EQ(Summaries(), (std::vector<std::wstring>{L"pobieranie aukcji", L"Odebrano aukcję nr 7100004",
                                                    L"pobieranie aukcji zakończone"}));
  EXPECT_EQ(Calls(L"41"), (std::vector<std::wstring>{L"41 ReceiveAuctions 0x10C",
                                                     L"41 auction 7100004 id=null counted=1 sold_sum=null errors=null",
                                                     L"41 terminated"}));
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM au__Auction"), 1);
}

TEST_F(Receive, CategoryProgressIsShownInStepsOfTenAndAtTheEnd) {
  object->m_categoryProgress.siteName = L"Wzorcowo";
  // A following 3 starts a new pass, silent; its threshold is 3, so 12 is silent too and 13 shown.
  for (LONG percent : {5, 12, 15, 25, 100, 3, 12, 13}) EXPECT_EQ(sync->CategoriesProgress(percent), S_OK);
  EXPECT_EQ(Summaries(), (std::vector<std::wstring>{
                             L"Wzorcowo - pobieranie kategorii 12%", L"Wzorcowo - pobieranie kategorii 25%",
                             L"Wzorcowo - pobieranie kategorii 100%", L"Wzorcowo - pobieranie kategorii 13%"}));
}

TEST_F(Receive, ACallbackWithoutARecordOrOutsideAReceiveStoresNothing) {
  _RecordsetPtr auctions = lotrix::CreateAuctionsContainer();
  _RecordsetPtr images = lotrix::CreateAuctionImagesContainer();
  EXPECT_EQ(sync->AuctionReceived(nullptr, images, VARIANT_FALSE), E_INVALIDARG);
  EXPECT_EQ(sync->TransactionReceived(nullptr), E_INVALIDARG);
  EXPECT_EQ(sync->CustomerReceived(nullptr), E_INVALIDARG);
  EXPECT_EQ(sync->CommentReceived(nullptr), E_INVALIDARG);
  VARIANT_BOOL* none = nullptr;
  EXPECT_EQ(sync->IsTerminated(none), E_POINTER);

  // At the end of its container a row holds no record: nothing is stored, and that is no error.
  object->m_accountSites = AccountSite();
  EXPECT_EQ(sync->AuctionReceived(auctions, images, VARIANT_FALSE), S_OK);
  object->m_accountSites = nullptr;

  // A record outside a receive has no account to be stored for.
  auctions->AddNew();
  auctions->GetFields()->GetItem(_variant_t(L"number"))->PutValue(_variant_t(L"1"));
  auctions->GetFields()->GetItem(_variant_t(L"title"))->PutValue(_variant_t(L"Kubek"));
  auctions->GetFields()->GetItem(_variant_t(L"blocked"))->PutValue(_variant_t(false));
  auctions->Update();
  EXPECT_EQ(sync->AuctionReceived(auctions, images, VARIANT_FALSE), E_UNEXPECTED);
  EXPECT_EQ(accounts_test::TakeError().description, L"Rekord odebrany poza odbieraniem danych z serwisu aukcyjnego.");
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM au__Auction"), 0);
}

TEST_F(Receive, RowsOfNullsThroughTheCallbacksAreShownAndLoggedAndStoreNothing) {
  IFlgInstancePtr instance = host->Instance();
  ASSERT_EQ(instance->PutSetting(_bstr_t(L"Test"), _bstr_t(L"AuctSyncProgress"), _variant_t(LONG{1})), S_OK);
  object->m_logs.StartForOptions(Options({&AuctSyncOptions::transactions, &AuctSyncOptions::comments}));
  object->m_accountSites = AccountSite();
  _RecordsetPtr auctions = lotrix::CreateAuctionsContainer();
  _RecordsetPtr customers = lotrix::CreateCustomersContainer();
  _RecordsetPtr transactions = lotrix::CreateTransactionsContainer();
  _RecordsetPtr comments = lotrix::CreateCommentsContainer();
  for (_Recordset* rs : {auctions.GetInterfacePtr(), customers.GetInterfacePtr(), transactions.GetInterfacePtr(),
                         comments.GetInterfacePtr()}) {
    rs->AddNew();
    rs->Update();
  }
  EXPECT_EQ(sync->AuctionReceived(auctions, nullptr, VARIANT_FALSE), S_OK);
  EXPECT_EQ(sync->CustomerReceived(customers), S_OK);
  EXPECT_EQ(sync->TransactionReceived(transactions), S_OK);
  EXPECT_EQ(sync->CommentReceived(comments), S_OK);
  object->m_accountSites = nullptr;
  object->m_logs.EndAll(object->m_receiveCounts, false);
  EXPECT_EQ(Summaries(), (std::vector<std::wstring>{L"Odebrano aukcję nr ", L"Odebrano klienta  (0)",
                                                    L"Odebrano transakcję dla użytkownika  do aukcji nr ",
                                                    L"Odebrano komentarz od  do aukcji nr ", L"odbieranie transakcji "
                                                    L"zakończone błędem", L"odbieranie klientów zakończone błędem"}));
  EXPECT_EQ(Lines(CHxLog::jsReceiveTransactions, kError).size(), 1u);
  EXPECT_EQ(Lines(CHxLog::jsReceiveCustomers, kError).size(), 1u);
  EXPECT_EQ(Counts(), (std::vector<LONG>{0, 0, 0, 0, 0, 0}));
}

TEST_F(Receive, AReceiveStoresTheSitesRecordsOnceAndASecondOneChangesNoCount) {
  ASSERT_EQ(ReceiveAll(), S_OK);
  // Six auctions with three distinct type-3 images (one on two auctions), three buyers, four
  // purchases, and the comments of the three purchases commented.
  EXPECT_EQ(Counts(), (std::vector<LONG>{6, 3, 2, 3, 4, 3}));
  EXPECT_EQ(String(L"SELECT cs_Nick FROM cs__Customer WHERE cs_ExtServiceId = 8100002"), L"o'neill");
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM tr__Transaction INNER JOIN cs__Customer ON cs_Id = tr_CustomerId "
                 L"WHERE cs_Nick = 'o''neill'"),
            2);
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM tr_Comment WHERE tc_ReceivedComment IS NOT NULL AND tc_SentComment IS NOT NULL"),
            2);
  EXPECT_TRUE(Lines(CHxLog::jsReceiveTransactions, kError).empty());
  EXPECT_TRUE(Lines(CHxLog::jsReceiveAuctions, kError).empty());
  EXPECT_TRUE(Lines(CHxLog::jsReceiveComments, kError).empty());
  const std::vector<std::wstring> summaries = Summaries();
  EXPECT_NE(std::find(summaries.begin(), summaries.end(), L"Odebrano aukcji: 6"), summaries.end());

  const std::vector<LONG> first = Counts();
  ASSERT_EQ(ReceiveAll(), S_OK);
  EXPECT_EQ(Counts(), first);
  EXPECT_TRUE(Lines(CHxLog::jsReceiveTransactions, kError).empty());
}

TEST_F(Receive, EveryLookupOfAReceiveSearchesAnIndexInsteadOfReadingTheHistory) {
  testplans::StatementLog log(cn);
  ASSERT_EQ(ReceiveAll(), S_OK);  // everything new
  ASSERT_EQ(ReceiveAll(), S_OK);  // everything found
  EXPECT_GT(log.Statements().size(), 20u);
  EXPECT_EQ(log.FullReads(), std::vector<std::string>{});
}

TEST_F(Receive, AFailedDownloadIsLoggedInItsStepsLogWithTheConnectorsErrorAndTheNextStepFollows) {
  std::string data = kSiteData;
  const std::string quantity = "\"quantity\": 1, \"price\": 25.0, \"currency\": \"PLN\"";
  data.replace(data.find(quantity), quantity.size(), "\"quantity\": \"dwa\"");
  UseSiteData(data);
  using O = AuctSyncOptions;
  const AuctSyncOptions options = Options({&O::transactions, &O::runningAuctions, &O::fullAuctionData});
  object->m_logs.StartForOptions(options);
  ReceiveStep(options);
  object->m_logs.EndAll(object->m_receiveCounts, false);
  EXPECT_EQ(Lines(CHxLog::jsReceiveTransactions, kError),
            (std::vector<std::wstring>{L"Ostatnia operacja nie powiodła się.\r\nPlik danych serwisu wzorcowego: pole "
                                       L"quantity nie jest liczbą całkowitą."}));
  // What came before the bad purchase is stored; the auctions step still runs.
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM tr__Transaction"), 0);
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM cs__Customer"), 1);
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM au__Auction"), 3);
  EXPECT_TRUE(Lines(CHxLog::jsReceiveAuctions, kError).empty());
}

TEST_F(Receive, TheJournalPositionOfEveryAccountIsSavedAndTheNextReceiveBringsOnlyNewPurchases) {
  AddAccount(4, L"drugi");
  SetParams(L"pa_AuctSyncUseJournal = 1, pa_AuctSyncFeedback = 0, pa_AuctSyncSellAuction = 0, "
            L"pa_AuctSyncSoldAuction = 0, pa_AuctSyncNotSoldAuction = 0");
  ASSERT_EQ(ReceiveAll(), S_OK);
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM reg_Data WHERE rd_Name = 'JournalPosition' AND rd_RegId = 3"), 1);
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM reg_Data WHERE rd_Name = 'JournalPosition' AND rd_RegId = 4"), 1);
  EXPECT_TRUE(Lines(CHxLog::jsReceiveTransactions, kError).empty());
  // Neither account is left locked.
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM kd_blokada"), 0);

  ASSERT_EQ(ReceiveAll(), S_OK);
  EXPECT_EQ(Calls(L"40 journal from"),
            (std::vector<std::wstring>{L"40 journal from 0", L"40 journal from 0", L"40 journal from 4",
                                       L"40 journal from 4"}));
  EXPECT_EQ(Calls(L"40 transaction").size(), 8u);  // the first receive of each account
}

// In journal mode a purchase refused for want of its buyer (not on the site yet, or not stored)
// comes again with the next receive, and is stored once its buyer is.
TEST_F(Receive, APurchaseRefusedForWantOfItsBuyerComesAgainWithTheNextJournalReceive) {
  SetParams(L"pa_AuctSyncUseJournal = 1, pa_AuctSyncFeedback = 0, pa_AuctSyncSellAuction = 0, "
            L"pa_AuctSyncSoldAuction = 0, pa_AuctSyncNotSoldAuction = 0");
  auto site = [](const std::string& ewa) {
    return R"({"auctions": [{"number": "7100001", "state": "sold", "title": "Kubek", "quantity": 5, "ended": true},
                     {"number": "7100002", "state": "sold", "title": "Talerz", "quantity": 5, "ended": true}],
      "customers": [{"user_id": 8100001, "user_name": "jan", "first_name": "Jan"})" + ewa + R"(],
      "transactions": [
        {"id": 1, "journal": 1, "item_number": "7100001", "user_id": 8100001, "user_name": "jan", "quantity": 1,
         "price": 10.0, "currency": "PLN", "date": "2026-11-27T10:00:00"},
        {"id": 2, "journal": 2, "item_number": "7100001", "user_id": 8100002, "user_name": "ewa", "quantity": 1,
         "price": 10.0, "currency": "PLN", "date": "2026-11-27T11:00:00"},
        {"id": 3, "journal": 3, "item_number": "7100002", "user_id": 8100001, "user_name": "jan", "quantity": 1,
         "price": 10.0, "currency": "PLN", "date": "2026-11-27T12:00:00"}]})";
  };
  struct Step {
    std::string ewa;   // the second buyer on the site
    LONG stored;       // purchases stored after the receive
    size_t refusals;   // the second buyer's purchase refused so far
  };
  const Step steps[] = {
      {"", 2, 1},                                                // not on the site yet
      {R"(, {"user_id": 8100002})", 2, 2},                      // on it, without a name or nick
      {R"(, {"user_id": 8100002, "user_name": "ewa"})", 3, 2},  // stored at last
      {R"(, {"user_id": 8100002, "user_name": "ewa"})", 3, 2},  // nothing new
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.ewa);
    UseSiteData(site(step.ewa));
    ASSERT_EQ(ReceiveAll(), S_OK);
    EXPECT_EQ(Long(L"SELECT COUNT(*) FROM tr__Transaction"), step.stored);
    const std::vector<std::wstring> errors = Lines(CHxLog::jsReceiveTransactions, kError);
    EXPECT_EQ(std::count_if(errors.begin(), errors.end(),
                            [](const std::wstring& e) { return e.find(L"Nie istnieje klient ewa (8100002)") != std::wstring::npos; }),
              static_cast<std::ptrdiff_t>(step.refusals));
  }
  EXPECT_EQ(Calls(L"40 journal from"), (std::vector<std::wstring>{L"40 journal from 0", L"40 journal from 1",
                                                                  L"40 journal from 1", L"40 journal from 3"}));
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM tr__Transaction INNER JOIN cs__Customer ON cs_Id = tr_CustomerId "
                 L"WHERE cs_ExtServiceId = 8100002"),
            1);
}

TEST_F(Receive, AListingNamingItsSellerComesOnlyToThatAccountOfTheSite) {
  AddAccount(4, L"drugi");
  UseSiteData(R"json({"auctions": [
    {"number": "7200001", "state": "running", "title": "Wazon", "category": 1, "quantity": 1, "start_price": 10.0,
     "start_date": "2026-12-01T08:00:00", "end_date": "2026-12-20T08:00:00", "ended": false, "seller": "sprzedawca"},
    {"number": "7200002", "state": "running", "title": "Misa", "category": 1, "quantity": 1, "start_price": 20.0,
     "start_date": "2026-12-01T08:00:00", "end_date": "2026-12-20T08:00:00", "ended": false, "seller": "DRUGI"},
    {"number": "7200003", "state": "running", "title": "Dzban", "category": 1, "quantity": 1, "start_price": 30.0,
     "start_date": "2026-12-01T08:00:00", "end_date": "2026-12-20T08:00:00", "ended": false}
  ]})json");
  SetParams(L"pa_AuctSyncTransaction = 0, pa_AuctSyncFeedback = 0");
  ASSERT_EQ(ReceiveAll(), S_OK);
  EXPECT_EQ(String(L"SELECT au_Number FROM au__Auction WHERE au_RegId = 3 AND au_Number <> '7200003'"), L"7200001");
  EXPECT_EQ(String(L"SELECT au_Number FROM au__Auction WHERE au_RegId = 4 AND au_Number <> '7200003'"), L"7200002");
  // A listing without a seller is every account's.
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM au__Auction WHERE au_Number = '7200003'"), 2);
  EXPECT_TRUE(Lines(CHxLog::jsReceiveAuctions, kError).empty());
}

}  // namespace
