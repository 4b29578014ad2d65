// The send job of the services manager: prepared auctions and comments read from their views on a
// real product database, handed to the reference site connector (whose sends land in its site's
// document; hooks around its send slots script the site's answers) and written back through the
// reference provider's auction object and the host's comment record.
#include <algorithm>

#include "accounts_fixture.h"
#include "auctions/sync/auctservmgr.h"
#include "auctions/tests/session_hook.h"
#include <nlohmann/json.hpp>

#include "platform/strings/convert.h"
#include "platform/strings/oledatetime.h"
#include "platform/threads/clock.h"
#include "testing/plans/plans.h"
#include "testing/site_connector/reference_connector.h"
#include "testing/support/test_database.h"

namespace accounts_test {
namespace {

using session_hook::SendObject;
using session_hook::SessionHook;

constexpr std::int64_t kNow = 1767268800;  // 2026-01-01 12:00:00 UTC
constexpr LONG kSendCommentsSlot = 30;
constexpr LONG kSendAuctionSlot = 33;

std::wstring Text(IHxAuction* auction, HRESULT (IHxAuction::*get)(BSTR*)) {
  BSTR raw = nullptr;
  (auction->*get)(&raw);
  _bstr_t held(raw, false);
  return raw ? std::wstring(raw) : std::wstring();
}

std::wstring Wide(const nlohmann::json& value) {
  return value.is_string() ? platform::Utf8ToWide(value.get<std::string>()) : platform::Utf8ToWide(value.dump());
}

// A send job over the reference provider (1, whose auction class is the reference auction) on a
// test database, at a fixed time: the job logs and the reference site's document.
class SendTest : public AccountsTest {
 protected:
  void SetUp() override {
    AccountsTest::SetUp();
    platform::clock::SetTime(kNow);
    Run(L"UPDATE sl_ServiceProvider SET ss_AuctionProgId = 'Reference.Auction' WHERE ss_Id = 1");
  }
  void TearDown() override {
    IReferenceAuctionControlPtr control(CreateNamed(kReferenceAuctionProgId));
    if (control) control->FailSave(S_OK);
    host->Object().ClearCancel();
    manager = nullptr;
    platform::clock::UseRealTime();
    AccountsTest::TearDown();
  }
  void StartManager() {
    manager = CreateNamed(L"Vantor.AuctServMgr");
    ASSERT_TRUE(manager);
  }
  // The reference site: its sites and the more members given.
  void Site(const std::string& sites, const std::string& more = std::string()) {
    const std::string json = R"({"sites": )" + sites + more + "}";
    ASSERT_EQ(connector->SetSiteData(_bstr_t(platform::Utf8ToWide(json).c_str())), S_OK);
  }
  nlohmann::json SiteNow() {
    BSTR raw = nullptr;
    EXPECT_EQ(connector->GetSiteData(&raw), S_OK);
    _bstr_t held(raw, false);
    return nlohmann::json::parse(platform::WideToUtf8(raw ? raw : L""));
  }
  std::vector<std::wstring> Lines(CHxLog::JobSubtype subtype) { return JobLines(subtype); }
  // The lines of a status (2 errors, 1 warnings).
  std::vector<std::wstring> Lines(CHxLog::JobSubtype subtype, wchar_t status) {
    std::vector<std::wstring> out;
    for (const std::wstring& line : Lines(subtype))
      if (line[0] == status) out.push_back(line.substr(2));
    return out;
  }

  IAuctServMgrPtr manager;
};

// Account 3 "sprzedawca" on sites 1 (row 5, "Pierwsza") and 2 (row 6, "Druga"), account 4
// "kupiec" on site 1, all of the reference provider. Hooks around the session's sends note the
// queue's length at each listing and run the test's own answers of the site before and after it.
class SendJob : public SendTest {
 protected:
  void SetUp() override {
    SendTest::SetUp();
    StartManager();
    Site(R"([{"number": 1, "name": "Pierwsza"}, {"number": 2, "name": "Druga"}])");
    Run(L"INSERT INTO st__Site (st_Id, st_SiteId, st_SvcProvId, st_Name) VALUES (5, 1, 1, N'Pierwsza'), "
        L"(6, 2, 1, N'Druga')");
    Run(L"INSERT INTO reg__Registration (reg_Id, reg_SvcProvId, reg_Username, reg_Accesskey) VALUES "
        L"(3, 1, 'sprzedawca', 'x'), (4, 1, 'kupiec', 'x')");
    Run(L"INSERT INTO reg_Site (rs_Id, rs_RegId, rs_SiteId) VALUES (1, 3, 5), (2, 3, 6), (3, 4, 5)");
    Run(L"UPDATE kd_ProgramParams SET pa_AuctionsReceiveDialog = 0, pa_AuctionsSendDialog = 0");
    Run(L"INSERT INTO cs__Customer (cs_Id, cs_Nick, cs_ExtServiceId, cs_SvcProvId) VALUES (1, N'ania', 4242, 1)");
    ASSERT_EQ(connector->HookSessionSlot(
                  kSendAuctionSlot,
                  SessionHook::Make(
                      [this](IUnknown* session, LONG) -> HRESULT {
                        queuedAtSend.push_back(Object().m_auctionQueue.Count());
                        const IHxAuctionPtr auction = SendObject<IHxAuctionPtr>(session);
                        if (!auction) return E_POINTER;
                        return beforeListing ? beforeListing(auction) : S_OK;
                      },
                      [this](IUnknown* session, LONG, HRESULT result) {
                        if (SUCCEEDED(result) && afterListing) afterListing(SendObject<IHxAuctionPtr>(session));
                      })),
              S_OK);
    ASSERT_EQ(connector->HookSessionSlot(kSendCommentsSlot, SessionHook::Make([this](IUnknown* session, LONG) -> HRESULT {
                                           const _RecordsetPtr comments = SendObject<_RecordsetPtr>(session);
                                           if (!comments) return E_POINTER;
                                           return beforeComment ? beforeComment(comments) : S_OK;
                                         })),
              S_OK);
  }
  CCoAuctServMgr& Object() {
    return *static_cast<CCoAuctServMgr*>(static_cast<platform::com::DispatchFace<IAuctServMgr>*>(manager.GetInterfacePtr()));
  }
  // A prepared auction of the account on the local site.
  void Auction(LONG id, LONG account, LONG site, const std::wstring& title, LONG state = kReferenceAuctionPrepared) {
    Run(L"INSERT INTO au__Auction (au_Id, au_Title, au_RegId, au_SiteId, au_SvcProvId, au_State) VALUES (" +
        std::to_wstring(id) + L", N'" + title + L"', " + std::to_wstring(account) + L", " + std::to_wstring(site) +
        L", 1, " + std::to_wstring(state) + L")");
  }
  // Prepared auctions 1 to n of account 3 on site row 5, "Aukcja <id>"; their ids.
  std::vector<LONG> Auctions(LONG n) {
    std::vector<LONG> ids;
    for (LONG id = 1; id <= n; ++id) {
      Auction(id, 3, 5, L"Aukcja " + std::to_wstring(id));
      ids.push_back(id);
    }
    return ids;
  }
  // A transaction on a listed auction with a comment given to buyer 1 and not sent yet.
  void Comment(LONG transaction, LONG account, LONG site, const wchar_t* number, const wchar_t* text,
               const wchar_t* externalId = L"NULL") {
    const std::wstring t = std::to_wstring(transaction);
    Run(L"INSERT INTO au__Auction (au_Id, au_Number, au_Title, au_RegId, au_SiteId, au_SvcProvId, au_State) VALUES (" +
        std::to_wstring(1000 + transaction) + L", '" + number + L"', N'Sprzedana', " + std::to_wstring(account) +
        L", " + std::to_wstring(site) + L", 1, 4)");
    Run(L"INSERT INTO tr__Transaction (tr_Id, tr_AuctionId, tr_CustomerId) VALUES (" + t + L", " +
        std::to_wstring(1000 + transaction) + L", 1)");
    Run(L"INSERT INTO tr_Comment (tc_Id, tc_TransId, tc_SentComment, tc_SentScore, tc_SentExternalId) VALUES (" + t +
        L", " + t + L", N'" + text + L"', 1, " + externalId + L")");
  }
  // The titles the site listed, oldest first.
  std::vector<std::wstring> Listed() {
    std::vector<std::wstring> out;
    const nlohmann::json site = SiteNow();
    if (site.contains("auctions_sent"))
      for (const nlohmann::json& sent : site["auctions_sent"]) out.push_back(Wide(sent["title"]));
    return out;
  }
  // The comments the site took, oldest first, as "auction buyer text score".
  std::vector<std::wstring> Given() {
    std::vector<std::wstring> out;
    const nlohmann::json site = SiteNow();
    if (site.contains("comment_sent"))
      for (const nlohmann::json& sent : site["comment_sent"])
        out.push_back(Wide(sent["auction_number"]) + L" " + Wide(sent["to_user_id"]) + L" " + Wide(sent["comment"]) +
                      L" " + Wide(sent["score"]));
    return out;
  }
  // The count and result of the last job of a subtype.
  std::pair<LONG, LONG> End(CHxLog::JobSubtype subtype) {
    const std::wstring last = L" FROM kd_JobLog WHERE jl_Subtype = " + std::to_wstring(subtype) + L" ORDER BY jl_Id DESC";
    return {Long(L"SELECT jl_Count" + last), Long(L"SELECT jl_Result" + last)};
  }
  std::vector<std::wstring> Prepared() {
    std::vector<std::wstring> out;
    _RecordsetPtr rs = cn->Execute(_bstr_t(L"SELECT au_Id FROM vw_AuctionsPrepared"), nullptr, adCmdText);
    for (; !rs->GetadoEOF(); rs->MoveNext())
      out.push_back(std::to_wstring(static_cast<LONG>(rs->GetFields()->GetItem(_variant_t(LONG{0}))->GetValue())));
    return out;
  }
  // How many sends (" 33 SendAuction", " 30 SendComments") the sessions were asked for.
  LONG Sends() {
    const std::vector<std::wstring> calls = ConnectorCalls();
    return static_cast<LONG>(std::count_if(calls.begin(), calls.end(), [](const std::wstring& c) {
      return c.find(L" 33 SendAuction") != std::wstring::npos || c.find(L" 30 SendComments") != std::wstring::npos;
    }));
  }

  // The test's answers of the site: before a listing (a failure refuses it), after a listing that
  // went, before a comment (a failure refuses it).
  std::function<HRESULT(IHxAuction*)> beforeListing;
  std::function<void(IHxAuction*)> afterListing;
  std::function<HRESULT(_Recordset*)> beforeComment;
  std::vector<LONG> queuedAtSend;  // the manager's queue at each listing asked for
};

TEST_F(SendJob, EveryPreparedRecordOfEachRowIsSentWrittenBackAndCounted) {
  Auction(1, 3, 5, L"Kubek");
  Auction(2, 3, 6, L"Dzbanek");
  Auction(3, 4, 5, L"Talerz");
  Auction(4, 3, 5, L"Już wystawiona", kReferenceAuctionRunning);
  Comment(20, 3, 5, L"1001", L"Dziękuję, polecam");
  ASSERT_EQ(manager->SendUserData(TRUE), S_OK);

  EXPECT_EQ(Listed(), (std::vector<std::wstring>{L"Kubek", L"Dzbanek", L"Talerz"}));
  // Each listing's number and running state are written back to its own row.
  const nlohmann::json site = SiteNow();
  ASSERT_EQ(site["auctions_sent"].size(), 3u);
  for (const nlohmann::json& sent : site["auctions_sent"]) {
    const std::wstring title = Wide(sent["title"]);
    EXPECT_EQ(String(L"SELECT au_Number FROM au__Auction WHERE au_Title = N'" + title + L"'"), Wide(sent["number"]));
    EXPECT_EQ(Long(L"SELECT au_State FROM au__Auction WHERE au_Title = N'" + title + L"'"), kReferenceAuctionRunning);
  }
  EXPECT_EQ(site["auctions_sent"][1]["site"], 2);
  EXPECT_EQ(site["auctions_sent"][2]["seller"], "kupiec");
  EXPECT_TRUE(Prepared().empty());
  EXPECT_EQ(Given(), std::vector<std::wstring>{L"1001 4242 Dziękuję, polecam 1"});
  EXPECT_EQ(Long(L"SELECT tc_SentExternalId FROM tr_Comment WHERE tc_TransId = 20"), 1);
  const _variant_t sent = Value(L"SELECT tc_SentDate FROM tr_Comment WHERE tc_TransId = 20");
  ASSERT_EQ(sent.vt, VT_DATE);
  EXPECT_NEAR(sent.date, COleDateTime::GetCurrentTime().m_dt, 1.0 / 86400);

  const std::vector<std::wstring> auctions = Lines(CHxLog::jsSendAuctions);
  for (const wchar_t* row : {L"0 Wysyłanie danych na konto sprzedawca na Pierwsza",
                             L"0 Wysyłanie danych na konto sprzedawca na Druga",
                             L"0 Wysyłanie danych na konto kupiec na Pierwsza"})
    EXPECT_NE(std::find(auctions.begin(), auctions.end(), row), auctions.end()) << row;
  EXPECT_TRUE(Lines(CHxLog::jsSendAuctions, L'2').empty());
  EXPECT_EQ(End(CHxLog::jsSendAuctions), std::make_pair(LONG{3}, LONG{0}));
  EXPECT_EQ(End(CHxLog::jsSendComments), std::make_pair(LONG{1}, LONG{0}));

  // Nothing is prepared any more: a second send sends nothing.
  const LONG sends = Sends();
  EXPECT_EQ(sends, 4);
  ASSERT_EQ(manager->SendUserData(TRUE), S_OK);
  EXPECT_EQ(Sends(), sends);
  EXPECT_EQ(End(CHxLog::jsSendAuctions).first, 0);
}

TEST_F(SendJob, QueuedIdsGoInQueriesOfTenAndEachAccountSendsItsOwn) {
  std::vector<LONG> ids = Auctions(23);
  // Queued together with them: an auction of the other account, one of the other site, one that
  // is not prepared and one that does not exist.
  Auction(30, 4, 5, L"Kupca");
  Auction(31, 3, 6, L"Na drugiej");
  Auction(32, 3, 5, L"Trwa", kReferenceAuctionRunning);
  Auction(33, 3, 5, L"Nie w kolejce");
  ids.insert(ids.begin() + 5, 30);
  ids.insert(ids.begin() + 12, 31);
  ids.push_back(32);
  ids.push_back(99);
  ASSERT_EQ(manager->SendAuctions(I4Array(ids)), S_OK);

  // Row sprzedawca/Pierwsza looks at all 27 ids once: queries of 10, 10 and 7, the ids of other
  // rows put back behind; row sprzedawca/Druga sends 31, row kupiec/Pierwsza 30.
  const std::vector<std::wstring> listed = Listed();
  ASSERT_EQ(listed.size(), 25u);
  std::vector<LONG> expected(9, 17);
  expected.insert(expected.end(), 9, 8);
  expected.insert(expected.end(), 5, 2);
  EXPECT_EQ(std::vector<LONG>(queuedAtSend.begin(), queuedAtSend.begin() + 23), expected);
  EXPECT_EQ(listed[23], L"Na drugiej");
  EXPECT_EQ(listed[24], L"Kupca");
  EXPECT_EQ(Prepared(), (std::vector<std::wstring>{L"33"}));
  EXPECT_EQ(End(CHxLog::jsSendAuctions).first, 25);
  EXPECT_TRUE(Object().m_auctionQueue.IsEmpty());
  // What no row sent is named once.
  EXPECT_EQ(Lines(CHxLog::jsSendAuctions, L'1'),
            std::vector<std::wstring>{L"Nie wysłano aukcji o identyfikatorach: 32, 99. Nie są przygotowane do "
                                      L"wysłania, ich konta lub serwisu nie przetworzono albo ich wysyłanie nie "
                                      L"powiodło się."});
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM kd_JobLog WHERE jl_Subtype = 5"), 0);
}

TEST_F(SendJob, TwentyThreeQueuedIdsOfOneRowGiveQueriesOfTenTenAndThree) {
  std::vector<LONG> ids = Auctions(23);
  ASSERT_EQ(manager->SendAuctions(I4Array(ids)), S_OK);
  std::vector<LONG> expected(10, 13);
  expected.insert(expected.end(), 10, 3);
  expected.insert(expected.end(), 3, 0);
  EXPECT_EQ(queuedAtSend, expected);
  EXPECT_TRUE(Lines(CHxLog::jsSendAuctions, L'1').empty());
}

TEST_F(SendJob, AStateOf1AfterSendingIsSavedButNotCountedAndACommentId0KeepsTheStoredId) {
  // A site that queues the listing (its number given, the auction still prepared) and gives no
  // comment ids.
  Site(R"([{"number": 1, "name": "Pierwsza"}])", R"(, "comment_ids": false)");
  Auction(1, 3, 5, L"Czeka na serwis");
  Comment(20, 3, 5, L"1001", L"Polecam", L"77");
  afterListing = [](IHxAuction* auction) { auction->PutState(kReferenceAuctionPrepared); };
  ASSERT_EQ(manager->SendUserData(TRUE), S_OK);
  EXPECT_EQ(String(L"SELECT au_Number FROM au__Auction WHERE au_Id = 1"), L"100001");
  EXPECT_EQ(Long(L"SELECT au_State FROM au__Auction WHERE au_Id = 1"), kReferenceAuctionPrepared);
  EXPECT_EQ(End(CHxLog::jsSendAuctions).first, 0);
  EXPECT_EQ(Long(L"SELECT tc_SentExternalId FROM tr_Comment WHERE tc_TransId = 20"), 77);
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM tr_Comment WHERE tc_TransId = 20 AND tc_SentDate IS NOT NULL"), 1);
  EXPECT_EQ(End(CHxLog::jsSendComments).first, 1);
}

TEST_F(SendJob, FailuresOfTheSiteOrOfTheSaveAreErrorsAndTheNextRecordIsSent) {
  Auction(1, 3, 5, L"Odrzucona z opisem");
  Auction(2, 3, 5, L"Odrzucona bez opisu");
  Auction(3, 3, 5, L"Niezapisana");
  Auction(4, 3, 5, L"Wysłana");
  Comment(20, 3, 5, L"1001", L"Odrzucony");
  Comment(21, 3, 5, L"1002", L"Przyjęty");
  // The database refuses to write one comment back, with its own reason.
  Comment(22, 3, 5, L"1003", L"Niezapisany");
  for (const std::wstring& sql : testdb::RefusingTrigger(
           L"CREATE TRIGGER test_RefuseComment BEFORE UPDATE ON tr_Comment WHEN NEW.tc_TransId = 22 BEGIN "
           L"SELECT RAISE(ABORT, 'komentarz zablokowany przez test'); END"))
    Run(sql);
  beforeListing = [](IHxAuction* auction) -> HRESULT {
    const std::wstring title = Text(auction, &IHxAuction::GetTitle);
    if (title == L"Odrzucona z opisem")
      return platform::com::ReportError(E_FAIL, L"Serwis: kategoria nie istnieje.", kReferenceConnectorProgId,
                                        __uuidof(IAuctionSiteConnector));
    if (title == L"Odrzucona bez opisu") {
      SetErrorInfo(0, nullptr);
      return static_cast<HRESULT>(0x80040F20u);
    }
    IReferenceAuctionControlPtr control(auction);
    control->FailSave(title == L"Niezapisana" ? E_ACCESSDENIED : S_OK);
    return S_OK;
  };
  beforeComment = [](_Recordset* comments) -> HRESULT {
    if (std::wstring(_bstr_t(comments->GetFields()->GetItem(_variant_t(L"auction_number"))->GetValue())) == L"1001")
      return E_UNEXPECTED;
    return S_OK;
  };
  ASSERT_EQ(manager->SendUserData(TRUE), S_OK);

  const std::vector<std::wstring> errors = Lines(CHxLog::jsSendAuctions, L'2');
  ASSERT_EQ(errors.size(), 3u);
  EXPECT_EQ(errors[0], L"Wysyłanie aukcji 'Odrzucona z opisem' nie powiodło się.\r\nSerwis: kategoria nie istnieje.");
  EXPECT_EQ(errors[1].rfind(L"Wysyłanie aukcji 'Odrzucona bez opisu' nie powiodło się.\r\n", 0), 0u);
  EXPECT_GT(errors[1].size(), std::wstring(L"Wysyłanie aukcji 'Odrzucona bez opisu' nie powiodło się.\r\n").size());
  EXPECT_EQ(errors[2], L"Wysyłanie aukcji 'Niezapisana' nie powiodło się.\r\nNie udało się zapisać aukcji.");
  // Refused or not saved, they stay prepared for the next send; the last one went. The one not
  // saved reached the site, which listed it.
  EXPECT_EQ(Prepared(), (std::vector<std::wstring>{L"1", L"2", L"3"}));
  EXPECT_EQ(Listed(), (std::vector<std::wstring>{L"Niezapisana", L"Wysłana"}));
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM au__Auction WHERE au_Id = 3 AND au_Number IS NULL"), 1);
  EXPECT_EQ(End(CHxLog::jsSendAuctions), std::make_pair(LONG{1}, LONG{2}));

  const std::vector<std::wstring> comments = Lines(CHxLog::jsSendComments, L'2');
  ASSERT_EQ(comments.size(), 2u);
  EXPECT_EQ(comments[0].rfind(L"Wysyłanie komentarza dla ania do aukcji nr 1001 nie powiodło się.\r\n", 0), 0u);
  // A refused save says why, in the database's words.
  EXPECT_EQ(comments[1], L"Wysyłanie komentarza dla ania do aukcji nr 1003 nie powiodło się.\r\n"
                         L"komentarz zablokowany przez test");
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM vw_CommentsPrepared"), 2);
  EXPECT_EQ(Given(), (std::vector<std::wstring>{L"1002 4242 Przyjęty 1", L"1003 4242 Niezapisany 1"}));
  EXPECT_EQ(Long(L"SELECT tc_SentExternalId FROM tr_Comment WHERE tc_TransId = 21"), 1);
  EXPECT_EQ(End(CHxLog::jsSendComments), std::make_pair(LONG{1}, LONG{2}));
}

TEST_F(SendJob, AnUnknownAuctionClassIsAnErrorAndARecordThatCannotBeLoadedIsSkippedSilently) {
  Run(L"INSERT INTO sl_ServiceProvider (ss_Id, ss_Name, ss_AuctionProgId) VALUES (7, N'Nieznany', 'Brak.Aukcji')");
  Auction(1, 3, 5, L"Obcego serwisu");
  Run(L"UPDATE au__Auction SET au_SvcProvId = 7 WHERE au_Id = 1");
  Auction(2, 3, 5, L"Dobra");
  // The view also names an auction and a transaction that are gone (as another workstation may
  // just have deleted them).
  Run(L"DROP VIEW vw_AuctionsPrepared");
  Run(L"CREATE VIEW vw_AuctionsPrepared AS SELECT au_Id, au_RegId, au_SiteId, au_Title, ss_AuctionProgId "
      L"FROM au__Auction LEFT JOIN sl_ServiceProvider ON ss_Id = au_SvcProvId WHERE au_State = 1 "
      L"UNION ALL SELECT 98, 3, 5, N'Usunięta', 'Reference.Auction'");
  Comment(20, 3, 5, L"1001", L"Polecam");
  Run(L"DROP VIEW vw_CommentsPrepared");
  Run(L"CREATE VIEW vw_CommentsPrepared AS SELECT 97 AS tr_Id, 3 AS au_RegId, 5 AS au_SiteId, '1000' AS au_Number, "
      L"4242 AS cs_ExtServiceId, N'ania' AS cs_Nick UNION ALL SELECT tr_Id, au_RegId, au_SiteId, au_Number, "
      L"cs_ExtServiceId, cs_Nick FROM tr__Transaction INNER JOIN tr_Comment ON tc_TransId = tr_Id INNER JOIN "
      L"au__Auction ON au_Id = tr_AuctionId LEFT JOIN cs__Customer ON cs_Id = tr_CustomerId WHERE tc_SentDate IS NULL");
  ASSERT_EQ(manager->SendUserData(TRUE), S_OK);

  EXPECT_EQ(Lines(CHxLog::jsSendAuctions, L'2'),
            std::vector<std::wstring>{L"Ostatnia operacja nie powiodła się.\r\nNie jest zarejestrowana klasa obiektu "
                                      L"aukcji \"Brak.Aukcji\"."});
  EXPECT_EQ(Listed(), std::vector<std::wstring>{L"Dobra"});
  EXPECT_EQ(End(CHxLog::jsSendAuctions), std::make_pair(LONG{1}, LONG{2}));
  EXPECT_TRUE(Lines(CHxLog::jsSendComments, L'2').empty());
  EXPECT_EQ(Given(), std::vector<std::wstring>{L"1001 4242 Polecam 1"});
  EXPECT_EQ(End(CHxLog::jsSendComments), std::make_pair(LONG{1}, LONG{0}));
}

// A job takes each provider's auction class once; the next job reads the registration again.
TEST_F(SendJob, AnAuctionClassIsLookedUpAgainByTheNextJob) {
  wchar_t clsid[40] = {};
  ASSERT_GT(StringFromGUID2(CLSID_ReferenceAuction, clsid, 40), 0);
  const DWORD bytes = static_cast<DWORD>((std::wcslen(clsid) + 1) * sizeof(wchar_t));
  ASSERT_EQ(SHSetValueW(HKEY_CLASSES_ROOT, L"Wzorcowy.Drugi\\CLSID", nullptr, REG_SZ, clsid, bytes), ERROR_SUCCESS);
  Run(L"INSERT INTO sl_ServiceProvider (ss_Id, ss_Name, ss_AuctionProgId) VALUES (7, N'Drugi', 'Wzorcowy.Drugi')");
  Auction(1, 3, 5, L"Pierwsza");
  Auction(2, 3, 5, L"Druga");
  Run(L"UPDATE au__Auction SET au_SvcProvId = 7");
  ASSERT_EQ(manager->SendUserData(TRUE), S_OK);
  EXPECT_EQ(Listed(), (std::vector<std::wstring>{L"Pierwsza", L"Druga"}));

  ASSERT_EQ(SHDeleteKeyW(HKEY_CLASSES_ROOT, L"Wzorcowy.Drugi"), ERROR_SUCCESS);
  Auction(3, 3, 5, L"Trzecia");
  Run(L"UPDATE au__Auction SET au_SvcProvId = 7 WHERE au_Id = 3");
  ASSERT_EQ(manager->SendUserData(TRUE), S_OK);
  EXPECT_EQ(Listed(), (std::vector<std::wstring>{L"Pierwsza", L"Druga"}));
  EXPECT_EQ(Lines(CHxLog::jsSendAuctions, L'2'),
            std::vector<std::wstring>{L"Ostatnia operacja nie powiodła się.\r\nNie jest zarejestrowana klasa obiektu "
                                      L"aukcji \"Wzorcowy.Drugi\"."});
  EXPECT_EQ(Prepared(), std::vector<std::wstring>{L"3"});
}

TEST_F(SendJob, AFailedBatchIsLoggedTheNextFollowsAndItsIdsAreNamedAtTheEnd) {
  std::vector<LONG> ids = Auctions(23);
  // Reading auction 15 fails, and with it the query of the second batch.
  Run(L"DROP VIEW vw_AuctionsPrepared");
  Run(L"CREATE VIEW vw_AuctionsPrepared AS SELECT au_Id, au_RegId, au_SiteId, au_Title, ss_AuctionProgId, "
      L"CASE WHEN au_Id = 15 THEN json('zepsute') ELSE NULL END AS au_Broken "
      L"FROM au__Auction LEFT JOIN sl_ServiceProvider ON ss_Id = au_SvcProvId WHERE au_State = 1");
  ASSERT_EQ(manager->SendAuctions(I4Array(ids)), S_OK);
  const std::vector<std::wstring> listed = Listed();
  EXPECT_EQ(listed.size(), 13u);
  ASSERT_GT(listed.size(), 10u);
  EXPECT_EQ(listed[10], L"Aukcja 21");
  const std::vector<std::wstring> errors = Lines(CHxLog::jsSendAuctions, L'2');
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0].rfind(L"Ostatnia operacja nie powiodła się.\r\n", 0), 0u);
  EXPECT_EQ(Lines(CHxLog::jsSendAuctions, L'1'),
            std::vector<std::wstring>{L"Nie wysłano aukcji o identyfikatorach: 11, 12, 13, 14, 15, 16, 17, 18, 19, 20. "
                                      L"Nie są przygotowane do wysłania, ich konta lub serwisu nie przetworzono albo ich "
                                      L"wysyłanie nie powiodło się."});
  EXPECT_EQ(End(CHxLog::jsSendAuctions).first, 13);
}

TEST_F(SendJob, ACancelStopsBetweenRecordsAndBetweenBatchesAndTheRestIsNamed) {
  const std::vector<LONG> ids = Auctions(12);
  // The cancel comes while the third listing is asked for: that one still goes.
  beforeListing = [this](IHxAuction*) {
    if (queuedAtSend.size() == 3) host->Object().RequestCancel();
    return S_OK;
  };
  ASSERT_EQ(manager->SendAuctions(I4Array(ids)), S_OK);
  EXPECT_EQ(Listed().size(), 3u);
  EXPECT_EQ(End(CHxLog::jsSendAuctions).first, 3);
  // The job ends as interrupted, naming what was left.
  const std::vector<std::wstring> warnings = Lines(CHxLog::jsSendAuctions, L'1');
  ASSERT_EQ(warnings.size(), 2u);
  EXPECT_EQ(warnings[0].rfind(L"Nie wysłano aukcji o identyfikatorach: 11, 12, 4, 5, 6, 7, 8, 9, 10. ", 0), 0u);
  EXPECT_EQ(warnings[1], L"Użytkownik przerwał działanie operacji lub zamknął aplikację");

  // Between batches: the cancel comes with the last record of the first one.
  host->Object().ClearCancel();
  Run(L"UPDATE au__Auction SET au_State = 1");
  queuedAtSend.clear();
  beforeListing = [this](IHxAuction*) {
    if (queuedAtSend.size() == 10) host->Object().RequestCancel();
    return S_OK;
  };
  ASSERT_EQ(manager->SendAuctions(I4Array(ids)), S_OK);
  EXPECT_EQ(queuedAtSend.size(), 10u);
  EXPECT_EQ(Listed().size(), 13u);
  const std::vector<std::wstring> later = Lines(CHxLog::jsSendAuctions, L'1');
  ASSERT_EQ(later.size(), 4u);
  EXPECT_EQ(later[2].rfind(L"Nie wysłano aukcji o identyfikatorach: 11, 12. ", 0), 0u);
}

TEST_F(SendJob, EachRefusedRightAbandonsOnlyItsPart) {
  Auction(1, 3, 5, L"Kubek");
  Auction(2, 4, 5, L"Talerz");
  Comment(20, 3, 5, L"1001", L"Polecam");
  Comment(21, 4, 5, L"1002", L"Dziękuję");
  host->Object().SetUser(2);
  // The user may send comments but no auctions.
  host->Object().GrantRight(2, 222, true);
  for (LONG account : {3, 4}) host->Object().GrantRight(2, lotrix::AccountRight(account, 3), true);
  ASSERT_EQ(manager->SendUserData(TRUE), S_OK);
  EXPECT_TRUE(Listed().empty());
  EXPECT_EQ(Lines(CHxLog::jsSendAuctions, L'2'),
            std::vector<std::wstring>(3, L"Brak uprawnień do wystawiania aukcji"));
  EXPECT_TRUE(Lines(CHxLog::jsSendComments, L'2').empty());
  EXPECT_EQ(Given().size(), 2u);

  // Auctions of every account, comments of account 4 only; account 3's own auction right missing.
  Run(L"UPDATE tr_Comment SET tc_SentDate = NULL");
  host->Object().GrantRight(2, 182, true);
  host->Object().GrantRight(2, lotrix::AccountRight(4, 2), true);
  host->Object().GrantRight(2, lotrix::AccountRight(3, 3), false);
  ASSERT_EQ(manager->SendUserData(TRUE), S_OK);
  EXPECT_EQ(Listed(), std::vector<std::wstring>{L"Talerz"});
  const std::vector<std::wstring> given = Given();
  ASSERT_EQ(given.size(), 3u);
  EXPECT_EQ(given[2], L"1002 4242 Dziękuję 1");
  const std::wstring auctions = L"Brak uprawnień do wysyłania aukcji na konto sprzedawca na Pierwsza";
  const std::wstring comments = L"Brak uprawnień do wysyłania komentarzy na rzecz konta sprzedawca na Pierwsza";
  for (CHxLog::JobSubtype subtype : {CHxLog::jsSendAuctions, CHxLog::jsSendComments}) {
    const std::vector<std::wstring> errors = Lines(subtype, L'2');
    EXPECT_NE(std::find(errors.begin(), errors.end(), auctions), errors.end()) << subtype;
    EXPECT_NE(std::find(errors.begin(), errors.end(), comments), errors.end()) << subtype;
  }
}

TEST_F(SendJob, QueuedCommentsOfTwoAccountsAreEachSentByTheirRow) {
  Comment(20, 3, 5, L"1001", L"Pierwszy");
  Comment(21, 4, 5, L"1002", L"Drugi");
  Comment(22, 3, 6, L"1003", L"Trzeci");
  ASSERT_EQ(manager->SendFeedbacks(I4Array({21, 22, 20, 55})), S_OK);
  EXPECT_EQ(Given(), (std::vector<std::wstring>{L"1001 4242 Pierwszy 1", L"1003 4242 Trzeci 1",
                                                L"1002 4242 Drugi 1"}));
  // Each went through the session of its account, to its site.
  const nlohmann::json site = SiteNow();
  EXPECT_EQ(site["comment_sent"][1]["site"], 2);
  EXPECT_EQ(site["comment_sent"][2]["seller"], "kupiec");
  EXPECT_EQ(End(CHxLog::jsSendComments).first, 3);
  EXPECT_EQ(Lines(CHxLog::jsSendComments, L'1').size(), 1u);
  EXPECT_EQ(Lines(CHxLog::jsSendComments, L'1')[0].rfind(L"Nie wysłano komentarzy do transakcji o identyfikatorach: 55. ", 0),
            0u);
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM kd_JobLog WHERE jl_Subtype = 1"), 0);
}

// The same job against the reference connector (provider 1): what it sends lands in its site.
class ReferenceSend : public SendTest {
 protected:
  void SetUp() override {
    SendTest::SetUp();
    Run(L"INSERT INTO st__Site (st_Id, st_SiteId, st_SvcProvId, st_Name) VALUES (5, 1, 1, N'Wzorcowo')");
    Run(L"INSERT INTO reg__Registration (reg_Id, reg_SvcProvId, reg_Username, reg_Accesskey) VALUES "
        L"(3, 1, 'sprzedawca', 'x')");
    Run(L"INSERT INTO reg_Site (rs_Id, rs_RegId, rs_SiteId) VALUES (1, 3, 5)");
    Run(L"INSERT INTO cs__Customer (cs_Id, cs_Nick, cs_ExtServiceId, cs_SvcProvId) VALUES (1, N'ania', 4242, 1)");
    Run(L"INSERT INTO au__Auction (au_Id, au_Number, au_Title, au_RegId, au_SiteId, au_SvcProvId, au_State) VALUES "
        L"(1, NULL, N'Kubek', 3, 5, 1, 1), (2, '1001', N'Sprzedana', 3, 5, 1, 4), (3, NULL, N' ', 3, 5, 1, 1)");
    Run(L"UPDATE au__Auction SET au_Quantity = 2, au_StartPrice = 10.5, au_Duration = 7 WHERE au_Id = 1");
    Run(L"INSERT INTO tr__Transaction (tr_Id, tr_AuctionId, tr_CustomerId) VALUES (20, 2, 1)");
    Run(L"INSERT INTO tr_Comment (tc_Id, tc_TransId, tc_SentComment, tc_SentScore) VALUES (1, 20, N'Dziękuję', 1)");
    StartManager();
  }
  void Site(const std::string& more = std::string()) { SendTest::Site(R"([{"number": 1, "name": "Wzorcowo"}])", more); }
};

TEST_F(ReferenceSend, TheListingAndTheCommentLandOnTheSiteAndTheirAnswersInTheDatabase) {
  Site();
  ASSERT_EQ(manager->SendUserData(TRUE), S_OK);
  EXPECT_EQ(String(L"SELECT au_Number FROM au__Auction WHERE au_Id = 1"), L"100001");
  EXPECT_EQ(Long(L"SELECT au_State FROM au__Auction WHERE au_Id = 1"), 3);
  EXPECT_EQ(Long(L"SELECT tc_SentExternalId FROM tr_Comment WHERE tc_TransId = 20"), 1);
  // The auction without a title is refused with the site's reason and stays prepared.
  EXPECT_EQ(Lines(CHxLog::jsSendAuctions, L'2'),
            std::vector<std::wstring>{L"Wysyłanie aukcji ' ' nie powiodło się.\r\nSerwis wzorcowy: aukcja nie ma tytułu."});
  EXPECT_EQ(Long(L"SELECT au_State FROM au__Auction WHERE au_Id = 3"), 1);

  const nlohmann::json site = SiteNow();
  ASSERT_EQ(site["auctions"].size(), 1u);
  const nlohmann::json& listed = site["auctions"][0];
  EXPECT_EQ(listed["number"], "100001");
  EXPECT_EQ(listed["title"], "Kubek");
  EXPECT_EQ(listed["quantity"], 2);
  EXPECT_EQ(listed["start_price"], 10.5);
  EXPECT_EQ(listed["state"], "running");
  EXPECT_EQ(listed["site"], 1);
  EXPECT_EQ(listed["seller"], "sprzedawca");
  EXPECT_EQ(listed["start_date"], "2026-01-01T" + platform::WideToUtf8(COleDateTime::GetCurrentTime().Format(L"%H:%M:%S").GetString()));
  EXPECT_EQ(listed["end_date"], "2026-01-08T" + platform::WideToUtf8(COleDateTime::GetCurrentTime().Format(L"%H:%M:%S").GetString()));
  ASSERT_EQ(site["comments"].size(), 1u);
  const nlohmann::json& given = site["comments"][0];
  EXPECT_EQ(given["auction_number"], "1001");
  EXPECT_EQ(given["to_user_id"], 4242);
  EXPECT_EQ(given["comment"], "Dziękuję");
  EXPECT_EQ(given["type"], 1);
  EXPECT_EQ(given["id"], 1);
  EXPECT_EQ(site["auctions_sent"].size(), 1u);
  EXPECT_EQ(site["comment_sent"].size(), 1u);

  // The next listing takes the next number.
  Run(L"UPDATE au__Auction SET au_State = 1, au_Number = NULL WHERE au_Id = 1");
  ASSERT_EQ(manager->SendAuctions(_variant_t(LONG{1})), S_OK);
  EXPECT_EQ(String(L"SELECT au_Number FROM au__Auction WHERE au_Id = 1"), L"100002");
}

TEST_F(ReferenceSend, EveryLookupOfASendSearchesAnIndexInsteadOfReadingTheHistory) {
  Site();
  testplans::StatementLog log(cn);
  ASSERT_EQ(manager->SendUserData(TRUE), S_OK);
  ASSERT_EQ(manager->SendAuctions(_variant_t(LONG{3})), S_OK);
  EXPECT_GT(log.Statements().size(), 10u);
  EXPECT_EQ(log.FullReads(), std::vector<std::string>{});
}

TEST_F(ReferenceSend, ASiteWithoutCommentIdsAnswers0AndFailingSlotsAreLoggedWithTheirReasons) {
  Site(R"(, "comment_ids": false)");
  Run(L"UPDATE tr_Comment SET tc_SentExternalId = 77");
  ASSERT_EQ(connector->FailSessionSlot(33, E_FAIL, _bstr_t(L"Serwis wzorcowy: kategoria zamknięta.")), S_OK);
  ASSERT_EQ(manager->SendUserData(TRUE), S_OK);
  EXPECT_EQ(Long(L"SELECT tc_SentExternalId FROM tr_Comment WHERE tc_TransId = 20"), 77);
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM vw_CommentsPrepared"), 0);
  EXPECT_EQ(SiteNow()["comments"][0]["id"], nullptr);
  const std::vector<std::wstring> errors = Lines(CHxLog::jsSendAuctions, L'2');
  ASSERT_EQ(errors.size(), 2u);
  EXPECT_EQ(errors[0], L"Wysyłanie aukcji 'Kubek' nie powiodło się.\r\nSerwis wzorcowy: kategoria zamknięta.");
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM vw_AuctionsPrepared"), 2);

  Run(L"UPDATE tr_Comment SET tc_SentDate = NULL");
  ASSERT_EQ(connector->FailSessionSlot(33, S_OK, nullptr), S_OK);
  ASSERT_EQ(connector->FailSessionSlot(30, E_UNEXPECTED, nullptr), S_OK);
  ASSERT_EQ(manager->SendFeedbacks(_variant_t(LONG{20})), S_OK);
  const std::vector<std::wstring> comments = Lines(CHxLog::jsSendComments, L'2');
  ASSERT_EQ(comments.size(), 1u);
  EXPECT_EQ(comments[0].rfind(L"Wysyłanie komentarza dla ania do aukcji nr 1001 nie powiodło się.\r\n", 0), 0u);
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM vw_CommentsPrepared"), 1);
}

}  // namespace
}  // namespace accounts_test
