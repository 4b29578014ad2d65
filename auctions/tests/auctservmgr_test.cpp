// The auction services manager: its queues of ids to send, its creation by ProgID, and the run
// over the host's product database against the reference site connector.
#include <algorithm>

#include "accounts_fixture.h"
#include "auctions/sync/auctservmgr.h"
#include "auctions/sync/syncparamsdlg.h"
#include "auctions/tests/session_hook.h"
#include "platform/gui/headless.h"

namespace accounts_test {
namespace {

using lotrix::IdQueue;
using session_hook::SessionHook;

_variant_t I4(LONG value) {
  _variant_t v;
  v.vt = VT_I4;
  v.lVal = value;
  return v;
}


TEST(IdQueueTest, SingleIdsAreQueuedAsTheyAre) {
  IdQueue queue;
  EXPECT_EQ(queue.Enqueue(I4(0)), 1);
  EXPECT_EQ(queue.Enqueue(I4(-5)), 1);
  EXPECT_EQ(queue.Enqueue(I4(12)), 1);
  EXPECT_EQ(queue.Ids(), (std::vector<LONG>{0, -5, 12}));
  EXPECT_EQ(queue.Count(), 3);
}

TEST(IdQueueTest, ArraysQueueTheirPositiveIdsInOrder) {
  IdQueue queue;
  EXPECT_EQ(queue.Enqueue(I4Array({7, 0, -3, 4, 9})), 3);
  EXPECT_EQ(queue.Enqueue(I4Array({11, 2}, 5)), 2);
  EXPECT_EQ(queue.Ids(), (std::vector<LONG>{7, 4, 9, 11, 2}));
  EXPECT_EQ(queue.Enqueue(I4Array({})), 0);
  EXPECT_EQ(queue.Enqueue(I4Array({0, -1})), 0);
  EXPECT_EQ(queue.Count(), 5);
}

TEST(IdQueueTest, OtherTypesQueueNothing) {
  IdQueue queue;
  EXPECT_EQ(queue.Enqueue(_variant_t(L"12")), 0);
  _variant_t wide;
  wide.vt = VT_I2;
  wide.iVal = 3;
  EXPECT_EQ(queue.Enqueue(wide), 0);
  EXPECT_EQ(queue.Enqueue(_variant_t()), 0);
  // A two-dimensional array is no list of ids.
  SAFEARRAYBOUND bounds[2] = {{2, 0}, {2, 0}};
  _variant_t square;
  square.vt = VT_ARRAY | VT_I4;
  square.parray = SafeArrayCreate(VT_I4, 2, bounds);
  EXPECT_EQ(queue.Enqueue(square), 0);
  // Nor is an array of another element type.
  SAFEARRAYBOUND bound{2, 0};
  _variant_t texts;
  texts.vt = VT_ARRAY | VT_BSTR;
  texts.parray = SafeArrayCreate(VT_BSTR, 1, &bound);
  EXPECT_EQ(queue.Enqueue(texts), 0);
  EXPECT_TRUE(queue.IsEmpty());
}

TEST(IdQueueTest, IdsAreTakenOutFirstFirst) {
  IdQueue queue;
  queue.Enqueue(I4Array({5, 6, 7}));
  LONG id = 0;
  ASSERT_TRUE(queue.TakeFirst(id));
  EXPECT_EQ(id, 5);
  ASSERT_TRUE(queue.TakeFirst(id));
  EXPECT_EQ(id, 6);
  EXPECT_EQ(queue.Clear(), 1);
  EXPECT_FALSE(queue.TakeFirst(id));
  EXPECT_EQ(id, 6);
  EXPECT_EQ(queue.Clear(), 0);
}

TEST(AccountRightTest, TheAccountIdFillsTheHighWord) {
  EXPECT_EQ(lotrix::AccountRight(3, 1), 0x30001);
  EXPECT_EQ(lotrix::AccountRight(0x7FFF, 3), 0x7FFF0003);
  // 32 bits: the high half of the account id is lost.
  EXPECT_EQ(lotrix::AccountRight(0x10000, 1), 1);
  EXPECT_EQ(lotrix::AccountRight(1, 0x10002), 0x10002);
}

class AuctServMgr : public AccountsTest {
 protected:
  void SetUp() override {
    AccountsTest::SetUp();
    manager = CreateNamed(L"Vantor.AuctServMgr");
    ASSERT_TRUE(manager);
  }
  void TearDown() override {
    manager = nullptr;
    AccountsTest::TearDown();
  }
  std::vector<std::wstring> Lines(CHxLog::JobSubtype subtype) { return JobLines(subtype); }
  LONG Jobs(CHxLog::JobSubtype subtype) {
    return Long(L"SELECT COUNT(*) FROM kd_JobLog WHERE jl_Subtype = " + std::to_wstring(subtype));
  }

  // The manager object behind its interface (the same library serves and links it).
  CCoAuctServMgr& Object() {
    return *static_cast<CCoAuctServMgr*>(static_cast<platform::com::DispatchFace<IAuctServMgr>*>(manager.GetInterfacePtr()));
  }

  IAuctServMgrPtr manager;
};

// The walk over accounts served by the reference connector (provider 1): account 3 "sprzedawca"
// on sites 1 and 2, account 4 "kupiec" on site 1.
class Walk : public AuctServMgr {
 protected:
  void SetUp() override {
    AuctServMgr::SetUp();
    Run(L"INSERT INTO st__Site (st_Id, st_SiteId, st_SvcProvId, st_Name) VALUES (5, 1, 1, N'Pierwsza')");
    Run(L"INSERT INTO st__Site (st_Id, st_SiteId, st_SvcProvId, st_Name) VALUES (6, 2, 1, N'Druga')");
    Account(3, L"sprzedawca", {{1, 5}, {2, 6}});
    Account(4, L"kupiec", {{3, 5}});
    Params(L"pa_AuctionsReceiveDialog = 0, pa_AuctionsSendDialog = 0");
    platform::gui::ClearScripts();
  }
  void TearDown() override {
    platform::gui::SetKeyDown(VK_CONTROL, false);
    platform::gui::ClearScripts();
    host->Object().ClearCancel();
    AuctServMgr::TearDown();
  }
  void Account(LONG id, const wchar_t* login, std::initializer_list<std::pair<LONG, LONG>> sites, LONG provider = 1) {
    CString sql;
    sql.Format(L"INSERT INTO reg__Registration (reg_Id, reg_SvcProvId, reg_Username, reg_Accesskey) VALUES (%ld, %ld, "
               L"'%ls', 'x')",
               id, provider, login);
    Run(sql.GetString());
    for (const auto& [row, site] : sites) {
      sql.Format(L"INSERT INTO reg_Site (rs_Id, rs_RegId, rs_SiteId) VALUES (%ld, %ld, %ld)", row, id, site);
      Run(sql.GetString());
    }
  }
  void Params(const wchar_t* assignments) { Run(std::wstring(L"UPDATE kd_ProgramParams SET ") + assignments); }
  // The connector's calls of the walk: the sessions opened, their callback and sites (the steps'
  // own calls and what their downloads record are left out).
  std::vector<std::wstring> Calls() {
    std::vector<std::wstring> out;
    for (const std::wstring& call : ConnectorCalls()) {
      if (call.rfind(L"session ", 0) == 0) {
        const std::wstring slot = call.substr(call.find(L' ', 8) + 1);
        if (slot.rfind(L"12 ", 0) != 0 && slot.rfind(L"39 ", 0) != 0) continue;
      }
      out.push_back(call);
    }
    return out;
  }
  // Forgets the calls (and the connector's failures); sessions are numbered from 1 again.
  void ClearCalls() { connector->Reset(); }
  std::vector<std::wstring> Events(const wchar_t* kind) {
    std::vector<std::wstring> out;
    for (const host::HostEvent& e : host->Object().Events())
      if (e.kind == kind) out.push_back(e.text);
    return out;
  }
  // Whether every job of the subtype has ended.
  bool Ended(CHxLog::JobSubtype subtype) {
    return Jobs(subtype) > 0 &&
           Long(L"SELECT COUNT(*) FROM kd_JobLog WHERE jl_End IS NULL AND jl_Subtype = " + std::to_wstring(subtype)) == 0;
  }
  static bool Has(const std::vector<std::wstring>& lines, const std::wstring& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
  }

  // Both accounts walked: one session each, its callback, then a site per row.
  const std::vector<std::wstring> kBoth = {L"13 OpenSession",           L"session 1 39 SetSync set",
                                           L"session 1 12 SetRegSite 1", L"session 1 12 SetRegSite 2",
                                           L"13 OpenSession",           L"session 2 39 SetSync set",
                                           L"session 2 12 SetRegSite 1"};
};

TEST_F(Walk, RowsOfOneAccountShareItsSessionAndAccountsOfOneConnectorShareIt) {
  ASSERT_EQ(manager->ReceiveUserData(TRUE), S_OK);
  EXPECT_EQ(Calls(), kBoth);
  // The job: started for the stored options, ended, lock released, lists refreshed.
  for (CHxLog::JobSubtype subtype : {CHxLog::jsReceiveAuctions, CHxLog::jsReceiveTransactions,
                                     CHxLog::jsReceiveCustomers, CHxLog::jsReceiveComments}) {
    EXPECT_TRUE(Ended(subtype)) << subtype;
    const std::vector<std::wstring> lines = Lines(subtype);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.front(), L"0 Rozpoczęto " + std::wstring(CHxLog::Descr(subtype).GetString()));
  }
  EXPECT_EQ(Jobs(CHxLog::jsReceiveParams), 0);
  EXPECT_EQ(Jobs(CHxLog::jsSendAuctions), 0);
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM kd_blokada"), 0);
  EXPECT_TRUE(Has(Events(L"refresh"), L"{00000000-0000-0000-0000-000000000000} 0"));
}

// The send takes a lock of its own (12): the receive's does not stop it.
TEST_F(Walk, TheSendWalkIsNotStoppedByTheReceivesLockAndStartsTheLogsOfAllPreparedData) {
  Run(L"INSERT INTO kd_blokada (obid, obextra, obtype, workstation, username) VALUES (11, 0, 726, 'INNA', 'jan')");
  ASSERT_EQ(manager->SendUserData(TRUE), S_OK);
  EXPECT_EQ(Calls(), kBoth);
  EXPECT_TRUE(Ended(CHxLog::jsSendAuctions));
  EXPECT_TRUE(Ended(CHxLog::jsSendComments));
  EXPECT_EQ(Jobs(CHxLog::jsReceiveAuctions), 0);
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM kd_blokada WHERE obid = 12"), 0);
}

TEST_F(Walk, TheDemoAccountIsSkippedWhateverItsCase) {
  Account(5, L"KD_Demo", {{4, 5}});
  Run(L"UPDATE reg__Registration SET reg_Active = 0 WHERE reg_Id <> 5");
  ASSERT_EQ(manager->ReceiveUserData(TRUE), S_OK);
  EXPECT_TRUE(Calls().empty());
  for (CHxLog::JobSubtype subtype : {CHxLog::jsReceiveAuctions, CHxLog::jsReceiveTransactions,
                                     CHxLog::jsReceiveCustomers, CHxLog::jsReceiveComments})
    EXPECT_TRUE(Has(Lines(subtype), L"0 Dane z konta kd_demo nie są przetwarzane.")) << subtype;
}

TEST_F(Walk, WithoutTheReceiveRightOnlyTheAuctionsLogIsToldAndNoLockIsTaken) {
  host->Object().SetUser(2);
  Run(L"INSERT INTO kd_blokada (obid, obextra, obtype, workstation, username) VALUES (11, 0, 726, 'INNA', 'jan')");
  ASSERT_EQ(manager->ReceiveUserData(TRUE), S_OK);
  EXPECT_TRUE(Calls().empty());
  EXPECT_TRUE(Has(Lines(CHxLog::jsReceiveAuctions), L"2 Brak uprawnień do pobierania aukcji"));
  for (CHxLog::JobSubtype subtype : {CHxLog::jsReceiveTransactions, CHxLog::jsReceiveCustomers,
                                     CHxLog::jsReceiveComments}) {
    EXPECT_FALSE(Has(Lines(subtype), L"2 Brak uprawnień do pobierania aukcji"));
    EXPECT_TRUE(Ended(subtype));
  }
  EXPECT_TRUE(Ended(CHxLog::jsReceiveAuctions));
  // The lock was never asked for: nothing tells of another workstation.
  EXPECT_FALSE(Has(Events(L"summary"), L"Aktualnie trwa synchronizacja z serwisem aukcyjnym na innej stacji roboczej."));
}

TEST_F(Walk, AnAccountWithoutItsOwnRightIsSkipped) {
  host->Object().SetUser(2);
  host->Object().GrantRight(2, lotrix::kRightReceiveAuctions, true);
  host->Object().GrantRight(2, lotrix::AccountRight(4, lotrix::kAccountRightReceive), true);
  // The right of another kind does not count.
  host->Object().GrantRight(2, lotrix::AccountRight(3, lotrix::kAccountRightSendAuctions), true);
  ASSERT_EQ(manager->ReceiveUserData(TRUE), S_OK);
  const std::vector<std::wstring> expected = {L"13 OpenSession", L"session 1 39 SetSync set",
                                              L"session 1 12 SetRegSite 1"};
  EXPECT_EQ(Calls(), expected);
  const std::wstring refused = L"2 Brak uprawnień do pobierania danych dla konta sprzedawca na Pierwsza";
  EXPECT_TRUE(Has(Lines(CHxLog::jsReceiveAuctions), refused));
  EXPECT_TRUE(Has(Lines(CHxLog::jsReceiveComments), refused));
}

TEST_F(Walk, OnlyTheSelectedAccountWhenAskedAndAllWithoutASelection) {
  Params(L"pa_AuctSyncReceiveCurReg = 1");
  ASSERT_EQ(manager->ReceiveUserData(TRUE), S_OK);
  EXPECT_EQ(Calls(), kBoth);
  ClearCalls();
  host->Object().SetSelection(4, 0, 0);
  ASSERT_EQ(manager->ReceiveUserData(TRUE), S_OK);
  const std::vector<std::wstring> expected = {L"13 OpenSession", L"session 1 39 SetSync set",
                                              L"session 1 12 SetRegSite 1"};
  EXPECT_EQ(Calls(), expected);
  // The send side follows its own option.
  ClearCalls();
  ASSERT_EQ(manager->SendUserData(TRUE), S_OK);
  EXPECT_EQ(Calls(), kBoth);
}

TEST_F(Walk, RowsThatCannotBeServedAreToldAndTheWalkGoesOn) {
  Account(6, L"bezstrony", {});
  Account(7, L"obcy", {{5, 5}}, 9);  // a provider that does not exist
  ASSERT_EQ(manager->ReceiveUserData(TRUE), S_OK);
  const std::vector<std::wstring> lines = Lines(CHxLog::jsReceiveTransactions);
  EXPECT_TRUE(Has(lines, L"2 Nie udało się uzyskać informacji o stronie, na której handluje użytkownik bezstrony "
                         L"serwisu "));
  EXPECT_TRUE(Has(lines, L"2 Nie udało się wczytać informacji o rodzaju konta obcy z Pierwsza"));
  EXPECT_EQ(Calls(), kBoth);
}

TEST_F(Walk, AConnectorThatCannotBeCreatedIsToldPerAccount) {
  // A class that is no site connector.
  Run(L"UPDATE sl_ServiceProvider SET ss_ProgId = 'Vantor.CoSite' WHERE ss_Id = 1");
  ASSERT_EQ(manager->ReceiveUserData(TRUE), S_OK);
  const std::vector<std::wstring> lines = Lines(CHxLog::jsReceiveAuctions);
  for (const wchar_t* line : {L"2 Nie udało się utworzyć obiektu do obsługi konta sprzedawca z Pierwsza",
                              L"2 Nie udało się utworzyć obiektu do obsługi konta sprzedawca z Druga",
                              L"2 Nie udało się utworzyć obiektu do obsługi konta kupiec z Pierwsza"})
    EXPECT_TRUE(Has(lines, line)) << line;
  EXPECT_TRUE(Calls().empty());
}

TEST_F(Walk, AFailedConnectorCallEndsTheWalkWithItsError) {
  connector->FailSessionSlot(12, E_FAIL, _bstr_t(L"Serwis nie odpowiada"));
  ASSERT_EQ(manager->ReceiveUserData(TRUE), S_OK);
  const std::vector<std::wstring> expected = {L"13 OpenSession", L"session 1 39 SetSync set",
                                              L"session 1 12 SetRegSite 1"};
  EXPECT_EQ(Calls(), expected);
  for (CHxLog::JobSubtype subtype : {CHxLog::jsReceiveAuctions, CHxLog::jsReceiveComments}) {
    EXPECT_TRUE(Has(Lines(subtype), L"2 Ostatnia operacja nie powiodła się.\r\nSerwis nie odpowiada")) << subtype;
    EXPECT_TRUE(Ended(subtype));
  }
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM kd_blokada"), 0);
}

TEST_F(Walk, AFailedSessionEndsTheWalkToo) {
  connector->FailSlot(13, static_cast<HRESULT>(0x80040005));
  ASSERT_EQ(manager->SendUserData(TRUE), S_OK);
  EXPECT_EQ(Calls(), std::vector<std::wstring>{L"13 OpenSession"});
  const std::vector<std::wstring> lines = Lines(CHxLog::jsSendAuctions);
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines[1].rfind(L"2 Ostatnia operacja nie powiodła się.\r\n", 0), 0u) << lines[1];
}

TEST_F(Walk, ACancelBetweenRowsEndsTheWalkAndTheLogsAsTerminated) {
  const IReferenceSessionHookPtr hook = SessionHook::Make([this](IUnknown*, LONG) {
    host->Object().RequestCancel();
    return S_OK;
  });
  connector->HookSessionSlot(12, hook);
  ASSERT_EQ(manager->ReceiveUserData(TRUE), S_OK);
  EXPECT_EQ(Calls().back(), L"session 1 12 SetRegSite 1");
  const std::vector<std::wstring> lines = Lines(CHxLog::jsReceiveAuctions);
  EXPECT_TRUE(Has(lines, L"1 Użytkownik przerwał działanie operacji lub zamknął aplikację"));
  EXPECT_TRUE(Ended(CHxLog::jsReceiveAuctions));
  // A job asked for while the cancel stands starts nothing.
  const LONG jobs = Jobs(CHxLog::jsReceiveAuctions);
  ASSERT_EQ(manager->ReceiveUserData(TRUE), S_OK);
  EXPECT_EQ(Jobs(CHxLog::jsReceiveAuctions), jobs);
}

// A session holds the manager's callback while it lives: the walk lets go of each session, so
// the last references to the sessions and then to the manager are the test's.
TEST_F(Walk, TheWalkLetsGoOfItsSessionsAndTheManagerIsFreedAfterIt) {
  for (bool receive : {true, false}) {
    SCOPED_TRACE(receive ? "receive" : "send");
    manager = CreateNamed(L"Vantor.AuctServMgr");
    ASSERT_TRUE(manager);
    // Every session the slot ran on, once.
    std::vector<IUnknownPtr> sessions;
    const IReferenceSessionHookPtr hook = SessionHook::Make([&sessions](IUnknown* session, LONG) {
      IUnknownPtr identity(session);
      if (std::find(sessions.begin(), sessions.end(), identity) == sessions.end()) sessions.push_back(identity);
      return S_OK;
    });
    connector->HookSessionSlot(12, hook);
    ASSERT_EQ(receive ? manager->ReceiveUserData(TRUE) : manager->SendUserData(TRUE), S_OK);
    connector->HookSessionSlot(12, nullptr);
    ASSERT_EQ(sessions.size(), 2u);
    for (IUnknownPtr& session : sessions) {
      LotrixSync* sync = nullptr;
      ASSERT_EQ(IReferenceSessionPtr(session)->GetSync(&sync), S_OK);
      ASSERT_NE(sync, nullptr);
      sync->Release();
      EXPECT_EQ(session.Detach()->Release(), 0u);
    }
    sessions.clear();
    EXPECT_EQ(manager.Detach()->Release(), 0u);
  }
}

// A receive (lock 11) or a send (lock 12) while another workstation runs one: the holder is told
// in every started log, which ends with the job's counts; nothing reaches the site.
TEST_F(Walk, ALockHeldElsewhereIsToldAndEndsTheJob) {
  struct Case {
    LONG lock;
    bool receive;
    CHxLog::JobSubtype log;
  };
  for (const Case& c : {Case{11, true, CHxLog::jsReceiveComments}, Case{12, false, CHxLog::jsSendComments}}) {
    SCOPED_TRACE(c.lock);
    Run(L"DELETE FROM kd_blokada");
    Run(L"DELETE FROM kd_JobLogLine");
    Run(L"DELETE FROM kd_JobLog");
    host->Object().ClearEvents();
    ClearCalls();
    Run(L"INSERT INTO kd_blokada (obid, obextra, obtype, workstation, username) VALUES (" + std::to_wstring(c.lock) +
        L", 0, 726, 'INNA', 'jan')");
    ASSERT_EQ(c.receive ? manager->ReceiveUserData(TRUE) : manager->SendUserData(TRUE), S_OK);
    EXPECT_TRUE(Calls().empty());
    EXPECT_EQ(Events(L"summary"),
              std::vector<std::wstring>{L"Aktualnie trwa synchronizacja z serwisem aukcyjnym na innej stacji roboczej."});
    const std::vector<std::wstring> lines = Lines(c.log);
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[1].rfind(L"1 Aktualnie trwa synchronizacja z serwisem aukcyjnym na innej stacji roboczej.\r\n"
                             L"Szczegóły:\r\n",
                             0),
              0u)
        << lines[1];
    // Then the lock's own explanation of the refusal.
    EXPECT_GT(lines[1].size(), std::wstring(L"1 Aktualnie trwa synchronizacja z serwisem aukcyjnym na innej stacji "
                                            L"roboczej.\r\nSzczegóły:\r\n").size());
    EXPECT_TRUE(Ended(c.log));
    EXPECT_EQ(Long(L"SELECT COUNT(*) FROM kd_blokada"), 1);
  }
  // Ids queued for a refused send do not wait for the next one.
  Run(L"INSERT INTO au__Auction (au_Id, au_Title, au_RegId, au_SiteId, au_SvcProvId, au_State) VALUES "
      L"(70, N'Kubek', 3, 5, 1, 1)");
  ASSERT_EQ(manager->SendAuctions(I4(70)), S_OK);
  EXPECT_TRUE(Object().m_auctionQueue.IsEmpty());
  Run(L"DELETE FROM kd_blokada");
  ASSERT_EQ(manager->SendFeedbacks(I4(1)), S_OK);
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM vw_AuctionsPrepared WHERE au_Id = 70"), 1);
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM kd_blokada"), 0);
}

TEST_F(Walk, TheDialogIsOfferedWhenStoredOrWithControlAndCancelRunsNothing) {
  Params(L"pa_AuctionsReceiveDialog = 1");
  EXPECT_EQ(manager->ReceiveUserData(FALSE), S_FALSE);  // unscripted: cancelled
  EXPECT_EQ(manager->ReceiveUserData(TRUE), S_OK);      // defaults: no dialog
  ClearCalls();
  Params(L"pa_AuctionsReceiveDialog = 0, pa_AuctionsSendDialog = 0");
  platform::gui::SetKeyDown(VK_CONTROL, true);
  EXPECT_EQ(manager->SendUserData(FALSE), S_FALSE);
  EXPECT_TRUE(Calls().empty());
  platform::gui::SetKeyDown(VK_CONTROL, false);
  EXPECT_EQ(manager->SendUserData(FALSE), S_OK);
  EXPECT_EQ(Calls(), kBoth);
}

TEST_F(Walk, OkCopiesTheDialogIntoTheRun) {
  Params(L"pa_AuctionsReceiveDialog = 1");
  platform::gui::QueueModal(platform::gui::ModalScript(L"#108")
                                .Check(1043, false)
                                .Check(1037, false)
                                .Check(1040, false)
                                .Check(1038, false)
                                .Check(1041, false)
                                .Check(1042, false)
                                .Click(IDOK));
  ASSERT_EQ(manager->ReceiveUserData(FALSE), S_OK);
  // Nothing left to receive: no log is started, and the options stay for the run only.
  EXPECT_EQ(Jobs(CHxLog::jsReceiveAuctions), 0);
  EXPECT_EQ(Jobs(CHxLog::jsReceiveComments), 0);
  EXPECT_NE(Long(L"SELECT pa_AuctSyncTransaction FROM kd_ProgramParams"), 0);
}

TEST_F(Walk, QueuedIdsStartTheirLogAndQueuedNotesAreToldAsNotSent) {
  ASSERT_EQ(manager->SendAuctions(I4(0)), S_OK);
  EXPECT_TRUE(Ended(CHxLog::jsSendAuctions));
  EXPECT_EQ(Lines(CHxLog::jsSendAuctions).front(), L"0 Rozpoczęto " + std::wstring(CHxLog::Descr(CHxLog::jsSendAuctions).GetString()));
  EXPECT_EQ(Jobs(CHxLog::jsSendComments), 0);
  // Nothing prepared has the id: it is taken out and named.
  EXPECT_TRUE(Object().m_auctionQueue.IsEmpty());
  EXPECT_TRUE(Has(Lines(CHxLog::jsSendAuctions),
                  L"1 Nie wysłano aukcji o identyfikatorach: 0. Nie są przygotowane do wysłania, ich konta lub "
                  L"serwisu nie przetworzono albo ich wysyłanie nie powiodło się."));

  ASSERT_EQ(manager->SendAuctionsNotes(I4Array({8, 9})), S_OK);
  std::vector<std::wstring> lines = Lines(CHxLog::jsSendAuctions);
  EXPECT_TRUE(Has(lines, L"0 Wysyłanie notatek do opisów aukcji"));
  EXPECT_TRUE(Has(lines, L"1 Notatki do opisów aukcji (2) nie zostały wysłane: wysyłanie notatek nie jest "
                         L"obsługiwane."));
  EXPECT_TRUE(Object().m_notesQueue.IsEmpty());

  ASSERT_EQ(manager->SendFeedbacks(I4Array({4})), S_OK);
  EXPECT_TRUE(Ended(CHxLog::jsSendComments));
  EXPECT_TRUE(Object().m_commentQueue.IsEmpty());
  EXPECT_TRUE(Has(Lines(CHxLog::jsSendComments),
                  L"1 Nie wysłano komentarzy do transakcji o identyfikatorach: 4. Nie są przygotowane do wysłania, ich "
                  L"konta lub serwisu nie przetworzono albo ich wysyłanie nie powiodło się."));
}

TEST_F(Walk, ParameterRequestsSetTheirFlags) {
  lotrix::ReceiveParamsFlags& flags = Object().m_paramsFlags;
  ASSERT_EQ(manager->ReceiveParams(FALSE, TRUE), S_OK);
  EXPECT_TRUE(flags.plain);
  EXPECT_FALSE(flags.versionCheck);
  EXPECT_FALSE(flags.force);
  ASSERT_EQ(manager->ReceiveParams(TRUE, FALSE), S_OK);
  EXPECT_FALSE(flags.plain);
  EXPECT_TRUE(flags.versionCheck);
  EXPECT_FALSE(flags.force);
  ASSERT_EQ(manager->ReceiveParams(TRUE, TRUE), S_OK);
  EXPECT_TRUE(flags.force);
}

TEST_F(AuctServMgr, TheProgressEchoFollowsTheHostSetting) {
  AFX_MANAGE_STATE(LotrixModule().State());
  EXPECT_FALSE(Object().IsProgressEcho());
  Run(L"INSERT INTO kd_Setting (st_Section, st_Key, st_Value) VALUES ('Test', 'AuctSyncProgress', '2')");
  EXPECT_FALSE(Object().IsProgressEcho());  // read again: only 1 switches it on
  Run(L"UPDATE kd_Setting SET st_Value = '1'");
  EXPECT_TRUE(Object().IsProgressEcho());
  Run(L"UPDATE kd_Setting SET st_Value = '0'");
  EXPECT_TRUE(Object().IsProgressEcho());  // once on, it stays for the manager's life
}

TEST_F(AuctServMgr, StepErrorsTellTheirTextOrTheirCode) {
  AFX_MANAGE_STATE(LotrixModule().State());
  CHxLog log(CHxLog::jsReceiveAuctions);
  log.StartJob();
  platform::com::ReportError(E_FAIL, L"Brak połączenia");
  IErrorInfo* info = nullptr;
  GetErrorInfo(0, &info);
  EXPECT_EQ(Object().ReportStepError(_com_error(E_FAIL, info), L"Krok", &log), L"Krok\r\nBrak połączenia");
  // Without a description: the message library's text, else the code.
  const CString unknown = Object().ReportStepError(_com_error(static_cast<HRESULT>(0x80041234)), L"Krok", nullptr);
  EXPECT_EQ(unknown, L"Krok\r\nBłąd -2147216844 (80041234)");
  const CString unspecified = Object().ReportStepError(_com_error(static_cast<HRESULT>(0x80040F20)), L"Krok", nullptr);
  EXPECT_NE(unspecified, L"Krok\r\n");
  EXPECT_EQ(unspecified.Find(L"Błąd -"), -1) << unspecified.GetString();
  log.EndJobAutoResult(0);
  EXPECT_EQ(Lines(CHxLog::jsReceiveAuctions)[0], L"2 Krok\r\nBrak połączenia");
}

TEST_F(AuctServMgr, ADatabaseFailureAddsItsErrorRecords) {
  AFX_MANAGE_STATE(LotrixModule().State());
  try {
    Run(L"INSERT INTO nie_ma_takiej_tabeli (x) VALUES (1)");
    FAIL() << "the statement must fail";
  } catch (const _com_error& e) {
    const std::wstring description = static_cast<const wchar_t*>(e.Description());
    ASSERT_FALSE(description.empty());
    const std::wstring text = Object().ReportStepError(e, L"Ostatnia operacja nie powiodła się.", nullptr).GetString();
    // The description, then each record on a line of its own with its source.
    EXPECT_EQ(text.rfind(L"Ostatnia operacja nie powiodła się.\r\n" + description + L"\r\n(Vantor SQLite Provider) ", 0),
              0u)
        << text;
    EXPECT_NE(text.find(L"nie_ma_takiej_tabeli", description.size() + 40), std::wstring::npos) << text;
  }
}

TEST_F(AuctServMgr, IsServedByItsProgIdWithTheCallbackInterface) {
  LotrixSyncPtr sync(manager);
  ASSERT_TRUE(sync);
  ISupportErrorInfoPtr errors(manager);
  ASSERT_TRUE(errors);
  EXPECT_EQ(errors->InterfaceSupportsErrorInfo(__uuidof(IAuctServMgr)), S_OK);
  CLSID clsid = GUID_NULL;
  ASSERT_EQ(CLSIDFromProgID(L"Vantor.AuctServMgr.1", &clsid), S_OK);
  EXPECT_EQ(clsid, CLSID_CoAuctServMgr);
}

TEST_F(AuctServMgr, SendingWithNoIdQueuedStartsNoLog) {
  EXPECT_EQ(manager->SendAuctions(_variant_t(L"5")), S_OK);
  EXPECT_EQ(manager->SendFeedbacks(I4Array({0, -2})), S_OK);
  EXPECT_EQ(manager->SendAuctionsNotes(_variant_t()), S_OK);
  EXPECT_EQ(Jobs(CHxLog::jsSendAuctions), 0);
  EXPECT_EQ(Jobs(CHxLog::jsSendComments), 0);
}

}  // namespace
}  // namespace accounts_test

namespace accounts_test {
namespace {

// ---------------------------------------------------------------------------------------------
// The options and their dialogs.

using lotrix::AuctSyncOptions;

// A program-parameter row of the named int columns with the values, in that order.
_RecordsetPtr ParamsRow(std::initializer_list<std::pair<const wchar_t*, LONG>> values) {
  _RecordsetPtr rs;
  EXPECT_EQ(rs.CreateInstance(__uuidof(Recordset)), S_OK);
  for (const auto& [name, value] : values) rs->GetFields()->Append(_bstr_t(name), adInteger, 4, adFldIsNullable);
  rs->Open(vtMissing, vtMissing, adOpenUnspecified, adLockUnspecified, 0);
  rs->AddNew();
  for (const auto& [name, value] : values) rs->GetFields()->GetItem(_variant_t(name))->PutValue(_variant_t(value));
  rs->Update();
  return rs;
}

// The parameters read before the full-data one, all 0, and that one.
_RecordsetPtr FullDataRow(LONG value) {
  return ParamsRow({{L"pa_AuctionsReceiveDialog", 0},
                    {L"pa_AuctSyncTransaction", 0},
                    {L"pa_AuctSyncFeedback", 0},
                    {L"pa_AuctSyncFeedbackMax", 0},
                    {L"pa_AuctSyncSellAuction", 0},
                    {L"pa_AuctSyncSoldAuction", 0},
                    {L"pa_AuctSyncNotSoldAuction", 0},
                    {L"pa_AuctSyncFullAuctionData", value}});
}

TEST(SyncOptionsTest, FullDataAndItsIncompleteOnlyVariantComeFromOneParameter) {
  AuctSyncOptions options;
  options.LoadFrom(FullDataRow(2));
  EXPECT_TRUE(options.fullAuctionData);
  EXPECT_TRUE(options.fullDataIncompleteOnly);
  EXPECT_TRUE(options.ReceivesAuctions());
  options.LoadFrom(FullDataRow(1));
  EXPECT_TRUE(options.fullAuctionData);
  EXPECT_FALSE(options.fullDataIncompleteOnly);
  options.LoadFrom(FullDataRow(-1));
  EXPECT_FALSE(options.fullAuctionData);
  EXPECT_FALSE(options.fullDataIncompleteOnly);
  EXPECT_FALSE(options.ReceivesAuctions());
  // The low 16 bits decide: 0x10002 is 2, 0x18000 negative.
  options.LoadFrom(FullDataRow(0x10002));
  EXPECT_TRUE(options.fullDataIncompleteOnly);
  options.LoadFrom(FullDataRow(0x18000));
  EXPECT_FALSE(options.fullAuctionData);
}

TEST(SyncOptionsTest, AMissingParameterStopsTheLoadingThere) {
  AuctSyncOptions options;
  options.sendAllAuctions = true;
  // Everything up to the comments count, then no running-auctions column.
  options.LoadFrom(ParamsRow({{L"pa_AuctionsReceiveDialog", 1},
                              {L"pa_AuctSyncTransaction", 0x10000},  // low word 0: false
                              {L"pa_AuctSyncFeedback", 1},
                              {L"pa_AuctSyncFeedbackMax", 0x12345},
                              {L"pa_AuctSyncSoldAuction", 1},
                              {L"pa_AuctSyncSendCurReg", 1}}));
  EXPECT_TRUE(options.receiveDialog);
  EXPECT_FALSE(options.transactions);
  EXPECT_TRUE(options.comments);
  EXPECT_EQ(options.commentsMax, 0x12345);
  EXPECT_FALSE(options.soldAuctions);
  EXPECT_FALSE(options.sendCurrentAccount);
  EXPECT_FALSE(options.sendAllAuctions);  // reset first
}

TEST_F(AuctServMgr, OptionsAreLoadedFromTheProgramParameters) {
  Run(L"UPDATE kd_ProgramParams SET pa_AuctSyncFeedbackMax = 50, pa_AuctSyncFullAuctionData = 2, "
      L"pa_AuctSyncUseJournal = 1, pa_AuctSyncSendImgMaxSize = 640, pa_AuctSyncSendImgMaxLen = 90000, "
      L"pa_AuctionsSendDialog = 0");
  AuctSyncOptions options;
  options.Load();
  EXPECT_TRUE(options.receiveDialog);
  EXPECT_TRUE(options.transactions);
  EXPECT_TRUE(options.comments);
  EXPECT_EQ(options.commentsMax, 50);
  EXPECT_TRUE(options.runningAuctions && options.soldAuctions && options.unsoldAuctions);
  EXPECT_TRUE(options.fullDataIncompleteOnly);
  EXPECT_FALSE(options.receiveCurrentAccount);
  EXPECT_TRUE(options.useJournal);
  EXPECT_FALSE(options.sendDialog);
  EXPECT_EQ(options.imageMaxSize, 640);
  EXPECT_EQ(options.imageMaxLength, 90000);
  // Without the host nothing is read.
  CHxInstance::SetInstance(nullptr);
  options.Load();
  EXPECT_FALSE(options.receiveDialog);
  CHxInstance::SetInstance(host->Instance());
}

class SyncDialogs : public AuctServMgr {
 protected:
  void SetUp() override {
    AuctServMgr::SetUp();
    platform::gui::ClearScripts();
    host->Object().SetSelection(3, 0, 0);
  }
  void TearDown() override {
    platform::gui::ClearScripts();
    AuctServMgr::TearDown();
  }
  static bool Enabled(HWND dialog, int id) { return IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE; }
  static bool Checked(HWND dialog, int id) { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; }
  static std::wstring Selected(HWND dialog) {
    HWND list = GetDlgItem(dialog, 1039);
    const LRESULT index = SendMessageW(list, CB_GETCURSEL, 0, 0);
    if (index < 0) return L"<none>";
    wchar_t text[32] = {};
    SendMessageW(list, CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text));
    return text;
  }
  // Runs the receive dialog on the options with the steps; the dialog's answer.
  INT_PTR Receive(AuctSyncOptions& options, platform::gui::ModalScript script) {
    AFX_MANAGE_STATE(LotrixModule().State());
    CAuctServReceiveParamsDlg dialog;
    dialog.SetOptions(options);
    platform::gui::QueueModal(std::move(script));
    const INT_PTR answer = dialog.DoModal();
    if (answer == IDOK) dialog.GetOptions(options);
    return answer;
  }
};

TEST_F(SyncDialogs, TheReceiveDialogEnablesWhatTheChecksAllow) {
  AuctSyncOptions options;
  options.soldAuctions = true;
  std::vector<std::wstring> seen;
  auto state = [&](HWND h) {
    std::wstring s;
    for (int id : {5088, 1043, 5091, 1044, 1039, 1045}) s += Enabled(h, id) ? L'1' : L'0';
    HWND after = GetWindow(GetDlgItem(h, 1043), GW_HWNDNEXT);
    s += IsWindowEnabled(after) ? L'1' : L'0';
    seen.push_back(s);
  };
  platform::gui::ModalScript script(L"#108");
  script.Do(state)
      .Check(1037)
      .Check(1043)
      .Check(1040)
      .Do(state)
      .Check(1044)
      .Check(1041, false)
      .Do(state)
      .Check(1040, false)
      .Do(state)
      .Click(IDOK);
  ASSERT_EQ(Receive(options, script), IDOK);
  // 5088 1043 5091 1044 1039 1045 and the static after 1043.
  EXPECT_EQ(seen, (std::vector<std::wstring>{L"010001" L"1", L"111101" L"1", L"100111" L"0", L"100001" L"0"}));
  EXPECT_TRUE(options.transactions);
  EXPECT_TRUE(options.fullAuctionData);
  EXPECT_FALSE(options.soldAuctions);
  EXPECT_FALSE(options.comments);
  EXPECT_EQ(options.commentsMax, 25);  // checked "last only" with the first number
}

TEST_F(SyncDialogs, ANumberTheListDoesNotOfferStaysAsItWas) {
  AuctSyncOptions options;
  options.comments = true;
  options.commentsMax = 30;
  std::wstring shown;
  bool last = false;
  ASSERT_EQ(Receive(options, platform::gui::ModalScript(L"#108")
                                 .Do([&](HWND h) {
                                   shown = Selected(h);
                                   last = Checked(h, 1044);
                                 })
                                 .Click(IDOK)),
            IDOK);
  EXPECT_TRUE(last);
  EXPECT_EQ(shown, L"<none>");
  EXPECT_EQ(options.commentsMax, 30);
  // An offered number is selected and a chosen one taken.
  options.commentsMax = 200;
  ASSERT_EQ(Receive(options, platform::gui::ModalScript(L"#108")
                                 .Do([&](HWND h) { shown = Selected(h); })
                                 .Select(1039, L"75")
                                 .Click(IDOK)),
            IDOK);
  EXPECT_EQ(shown, L"200");
  EXPECT_EQ(options.commentsMax, 75);
  // Clearing "last only" receives them all; a shown 0 selects the first number, unchecked.
  ASSERT_EQ(Receive(options, platform::gui::ModalScript(L"#108").Check(1044, false).Click(IDOK)), IDOK);
  EXPECT_EQ(options.commentsMax, 0);
  ASSERT_EQ(Receive(options, platform::gui::ModalScript(L"#108")
                                 .Do([&](HWND h) {
                                   shown = Selected(h);
                                   last = Checked(h, 1044);
                                 })
                                 .Click(IDCANCEL)),
            IDCANCEL);
  EXPECT_EQ(shown, L"25");
  EXPECT_FALSE(last);
}

TEST_F(SyncDialogs, WithoutASelectedAccountTheCurrentAccountChoiceIsCleared) {
  host->Object().SetSelection(0, 0, 0);
  AuctSyncOptions options;
  options.receiveCurrentAccount = true;
  options.sendCurrentAccount = true;
  bool enabled = true;
  ASSERT_EQ(Receive(options, platform::gui::ModalScript(L"#108").Do([&](HWND h) { enabled = Enabled(h, 1045); }).Click(IDOK)),
            IDOK);
  EXPECT_FALSE(enabled);
  EXPECT_FALSE(options.receiveCurrentAccount);

  AFX_MANAGE_STATE(LotrixModule().State());
  CAuctServSendParamsDlg send;
  send.SetOptions(options);
  platform::gui::QueueModal(platform::gui::ModalScript(L"#109").Do([&](HWND h) { enabled = Enabled(h, 1040); }).Click(IDOK));
  ASSERT_EQ(send.DoModal(), IDOK);
  send.GetOptions(options);
  EXPECT_FALSE(enabled);
  EXPECT_FALSE(options.sendCurrentAccount);
  // With a selection the send choice is the user's; the help button shows the dialog's topic.
  host->Object().SetSelection(3, 0, 0);
  CAuctServSendParamsDlg again;
  again.SetOptions(options);
  platform::gui::QueueModal(platform::gui::ModalScript(L"#109").Check(1040).Click(57670).Click(IDOK));
  ASSERT_EQ(again.DoModal(), IDOK);
  again.GetOptions(options);
  EXPECT_TRUE(options.sendCurrentAccount);
  EXPECT_EQ(FlgShownHelpTopics().back(), L"Okno_Wysylanie_danych_do_serwisu");
}

}  // namespace
}  // namespace accounts_test
