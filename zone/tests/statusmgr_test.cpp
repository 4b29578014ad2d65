// The status manager's runs: the lock, readiness, cancel and account walk of Synchronize with
// the logs each leaves, the routing of the jobs' messages by log level, and ForceSendAll.
#include "zone/tests/manager_fixture.h"

namespace vorlen::test {
namespace {

using Manager = ManagerTest;

const std::wstring kTerminated = L"Użytkownik przerwał działanie operacji lub zamknął aplikację";

int CountOf(const Job& job, const std::wstring& text) {
  int n = 0;
  for (const LogLine& line : job.lines) n += line.text == text;
  return n;
}

bool Contains(const std::vector<std::wstring>& texts, const std::wstring& text) {
  for (const std::wstring& t : texts)
    if (t == text) return true;
  return false;
}

TEST_F(Manager, FlagsZeroTakesTheLockAndWalksTheAccountsWithoutAJob) {
  AddPurchase(1);
  IStatusMgrPtr manager = NewManager();
  EXPECT_EQ(manager->Synchronize(sjNoJob), S_OK);
  EXPECT_TRUE(Jobs().empty());
  EXPECT_EQ(States(), (std::vector<std::wstring>{L"0", L"1"}));
  EXPECT_EQ(Events(L"refresh"), std::vector<std::wstring>{L"{00000000-0000-0000-0000-000000000000} 0"});
  EXPECT_EQ(model.Calls("openTrustedPage"), 0);
  EXPECT_EQ(LockRows(), 0);

  // The lock is taken all the same: held elsewhere, even a run without jobs is refused.
  Exec(L"INSERT INTO kd_blokada (obid, obextra, obtype, workstation, username) VALUES (1, 0, 726, 'KASA2', 'Ewa')");
  EXPECT_EQ(manager->Synchronize(sjNoJob), kLockRefused);
}

TEST_F(Manager, ALockHeldElsewhereWarnsEveryFlaggedLogAndTouchesNoAccount) {
  AddPurchase(1);
  Exec(L"INSERT INTO kd_blokada (obid, obextra, obtype, workstation, username) VALUES (1, 0, 726, 'KASA2', 'Ewa')");
  IStatusMgrPtr manager = NewManager();
  ClearEventsAndCalls();
  EXPECT_EQ(manager->Synchronize(sjClosePages | sjOpenPages), kLockRefused);
  for (LONG subtype : {15, 16}) {
    const Job job = LastJob(subtype);
    ASSERT_EQ(job.lines.size(), 3u) << job.id;
    EXPECT_EQ(job.lines[1].status, 1);
    const std::wstring prefix = std::wstring(kSyncElsewhere) + L"\r\nSzczegóły: ";
    EXPECT_EQ(job.lines[1].text.substr(0, prefix.size()), prefix);
    EXPECT_GT(job.lines[1].text.size(), prefix.size()) << "the database's explanation follows";
    EXPECT_EQ(job.count, 0);
    EXPECT_EQ(job.result, 1);
  }
  EXPECT_TRUE(Jobs(17).empty());
  EXPECT_TRUE(Contains(Events(L"summary"), kSyncElsewhere));
  EXPECT_TRUE(States().empty());
  EXPECT_EQ(model.Calls("openTrustedPage"), 0);
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM tr__Transaction WHERE tr_StatusPageId IS NOT NULL"), 0);
  EXPECT_EQ(Text(L"SELECT workstation FROM kd_blokada"), L"KASA2");
}

TEST_F(Manager, RefusedReadinessEndsTheRunsLogsAsFailedAndTheHostReady) {
  AddPurchase(1);
  host->Object().SetReadiness(E_ACCESSDENIED, L"Program nie jest gotowy do synchronizacji.");
  IStatusMgrPtr manager = NewManager();
  EXPECT_EQ(manager->Synchronize(sjClosePages | sjOpenPages), E_ACCESSDENIED);
  const Job close = LastJob(15), open = LastJob(16);
  EXPECT_EQ(close.result, 2);
  EXPECT_EQ(open.result, 2);
  EXPECT_EQ(close.lines[1].text, L"Program nie jest gotowy do synchronizacji.");
  EXPECT_EQ(close.lines[1].status, 2);
  EXPECT_EQ(open.lines.size(), 1u);
  EXPECT_EQ(States(), (std::vector<std::wstring>{L"0", L"1"}));
  EXPECT_EQ(LockRows(), 0);
  EXPECT_EQ(model.Calls("openTrustedPage"), 0);

  // The next run of the same manager keeps logs of its own.
  host->Object().SetReadiness(S_OK, L"");
  EXPECT_EQ(manager->Synchronize(sjOpenPages), S_OK);
  ASSERT_EQ(Jobs(16).size(), 2u);
  const Job again = LastJob(16);
  EXPECT_NE(again.id, open.id);
  EXPECT_EQ(again.result, 0);
  EXPECT_EQ(again.count, 1);
  EXPECT_TRUE(again.Has(L"Utworzono nowych stron: 1 z 1"));
}

TEST_F(Manager, ACancelBeforeTheFirstAccountTerminatesEveryLogOnce) {
  AddPurchase(1);
  script->cancelAt = 1;
  IStatusMgrPtr manager = NewManager();
  EXPECT_EQ(manager->Synchronize(sjClosePages | sjOpenPages), kCancelled);
  for (LONG subtype : {15, 16}) {
    const Job job = LastJob(subtype);
    EXPECT_EQ(CountOf(job, kTerminated), 1);
    EXPECT_EQ(job.result, 1);
    EXPECT_FALSE(job.Text().find(L"Konto:") != std::wstring::npos);
  }
  EXPECT_EQ(script->asks.load(), 1);
  EXPECT_EQ(States(), (std::vector<std::wstring>{L"0", L"1"}));
  EXPECT_EQ(LockRows(), 0);
  EXPECT_EQ(model.Calls("openTrustedPage"), 0);
}

// A cancel during the last account's jobs ends the run as cancelled: seen by a job (before its
// second page) or after the job (its only page), the logs end once, as terminated, and are not
// ended again.
TEST_F(Manager, ACancelDuringTheLastAccountsJobsEndsTheRunAsCancelled) {
  // The host lists one row: account A on one site.
  Exec(L"UPDATE reg__Registration SET reg_Active = 0 WHERE reg_Id <> 1");
  Exec(L"DELETE FROM reg_Site WHERE rs_Id = 4");
  struct Case {
    std::vector<LONG> purchases;
  };
  for (const Case& c : {Case{{1, 2}}, Case{{3}}}) {
    SCOPED_TRACE(c.purchases.size());
    for (LONG id : c.purchases) AddPurchase(id);
    ClearEventsAndCalls();
    script->cancelAt = 0;
    // The user asks to cancel once the job went on from opening its first page: at the first ask
    // after the job showed that page's line, as the user sees it (not by the service's count of
    // calls, which another thread writes and any client of the service moves).
    const int opened = model.Calls("openTrustedPage");
    script->onAsk = [this](int ask) {
      if (script->cancelAt != 0) return;
      for (const std::wstring& line : Events(L"line"))
        if (line.rfind(L"Otwieranie strony 1 z ", 0) == 0) script->cancelAt = ask;
    };
    IStatusMgrPtr manager = NewManager();
    EXPECT_EQ(manager->Synchronize(sjOpenPages | sjReceiveBuyerData), kCancelled);
    script->onAsk = nullptr;
    EXPECT_EQ(model.Calls("openTrustedPage"), opened + 1);
    for (LONG subtype : {16, 17}) {
      const Job job = LastJob(subtype);
      EXPECT_EQ(CountOf(job, kTerminated), 1) << job.Text();
      EXPECT_EQ(job.result, 1);
      EXPECT_FALSE(job.Has(L"Zakończono: " + std::wstring(CHxLog::Descr(static_cast<CHxLog::JobSubtype>(subtype)))))
          << job.Text();
    }
    EXPECT_EQ(States().back(), L"1");
    EXPECT_FALSE(Contains(Events(L"refresh"), L"{00000000-0000-0000-0000-000000000000} 0")) << "the run's end";
    EXPECT_EQ(LockRows(), 0);
  }
}

TEST_F(Manager, AccountsAreWalkedOncePerRunAndOnlyWhenTheirSellerZoneIsOn) {
  // Besides the accounts' sites, an account the host still lists whose registration is gone.
  ReplaceHostList(L"(1, 'Konto A', 1, 'Serwis', 1, 1), (3, 'Konto C', 1, 'Serwis', 2, 1), "
                  L"(2, 'Konto B', 1, 'Serwis', 3, 1), (1, 'Konto A', 2, 'Serwis drugi', 4, 1), "
                  L"(9, 'Konto usunięte', 1, 'Serwis', 5, 1)");
  IStatusMgrPtr manager = NewManager();
  EXPECT_EQ(manager->Synchronize(sjOpenPages), S_OK);
  const Job job = LastJob(16);
  EXPECT_EQ(CountOf(job, L"Konto: Konto A na Serwis"), 1) << job.Text();
  EXPECT_EQ(CountOf(job, L"Konto: Konto B na Serwis"), 1);
  EXPECT_EQ(job.Text().find(L"Konto C"), std::wstring::npos);
  EXPECT_EQ(job.Text().find(L"usunięte"), std::wstring::npos);
  EXPECT_EQ(CountOf(job, L"Nie ma nowych stron do otwarcia"), 2);
  EXPECT_EQ(job.result, 0);
}

TEST_F(Manager, AnEmptyAccountListEndsLikeARun) {
  Exec(L"UPDATE reg__Registration SET reg_Active = 0");
  IStatusMgrPtr manager = NewManager();
  EXPECT_EQ(manager->Synchronize(sjOpenPages), S_OK);
  const Job job = LastJob(16);
  EXPECT_EQ(job.result, 0);
  EXPECT_EQ(job.lines.back().text, L"Zakończono: otwieranie nowych stron");
  EXPECT_EQ(States(), (std::vector<std::wstring>{L"0", L"1"}));
  EXPECT_EQ(Events(L"refresh").size(), 1u);
  EXPECT_EQ(LockRows(), 0);
}

// The host lists an active account without a site once, with no site row: its jobs run all the
// same (its pages are its transactions'), once, its line naming no site.
TEST_F(Manager, AnAccountWithoutASiteIsWalkedOnce) {
  Exec(L"DELETE FROM reg_Site WHERE rs_RegId = 2");
  AddCustomer(7, 601, L"Kupujący B");
  AddAuction(7, L"1001-1", kAccountB);
  AddTransaction(7, kAccountB, 7, 7);
  IStatusMgrPtr manager = NewManager();
  EXPECT_EQ(manager->Synchronize(sjOpenPages), S_OK);
  const Job job = LastJob(16);
  EXPECT_EQ(CountOf(job, L"Konto: sprzedawca_a na Serwis"), 1) << job.Text();
  EXPECT_EQ(CountOf(job, L"Konto: sprzedawca_b na "), 1) << job.Text();
  EXPECT_EQ(CountOf(job, L"Nie ma nowych stron do otwarcia"), 1);
  EXPECT_TRUE(job.Has(L"Utworzono nowych stron: 1 z 1")) << job.Text();
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM tr__Transaction WHERE tr_Id = 7 AND tr_StatusPageId IS NOT NULL"), 1);
  EXPECT_EQ(job.result, 0);
}

TEST_F(Manager, AFailureOutsideTheJobsIsLoggedAndEndsTheRunsLogs) {
  ReplaceHostList(L"(NULL, 'Zepsute', 1, 'Serwis', 1, 1), (1, 'Konto A', 1, 'Serwis', 2, 1)");
  IStatusMgrPtr manager = NewManager();
  const HRESULT hr = manager->Synchronize(sjOpenPages);
  EXPECT_TRUE(FAILED(hr));
  const Job job = LastJob(16);
  EXPECT_EQ(job.result, 2);
  ASSERT_GE(job.lines.size(), 2u);
  EXPECT_EQ(job.lines.back().status, 2);
  EXPECT_EQ(States().back(), L"1");
  EXPECT_EQ(LockRows(), 0);
  EXPECT_TRUE(Events(L"refresh").empty());
}

TEST_F(Manager, LogLevelsRouteTheJobsMessages) {
  for (LONG level : {0, 1, 2}) {
    SetLogLevel(level);
    AddPurchase(10 + level);
    ClearEventsAndCalls();
    IStatusMgrPtr manager = NewManager();
    ASSERT_EQ(manager->Synchronize(sjOpenPages), S_OK);
    const Job job = LastJob(16);
    EXPECT_TRUE(job.Has(L"Utworzono nowych stron: 1 z 1")) << level;
    EXPECT_EQ(job.Has(L"Otwieranie strony 1 z 1"), level >= 1) << level;
    EXPECT_EQ(Contains(Events(L"line"), L"Otwieranie strony 1 z 1"), true) << level;
    EXPECT_EQ(job.Has(L"- transakcja zapisana"), level == 2) << level;
    EXPECT_EQ(job.Has(L"Wypełnianie BidInfo"), level == 2) << level;
    EXPECT_EQ(Contains(Events(L"line"), L"- transakcja zapisana"), level == 2) << "detail goes nowhere else";
  }
}

TEST_F(Manager, EachRunCountsAndJudgesItsOwnItems) {
  AddPurchase(1);
  AddPurchase(2);
  model.InjectFault("openTrustedPage", "ServiceUnavailableFault");
  IStatusMgrPtr manager = NewManager();
  ASSERT_EQ(manager->Synchronize(sjOpenPages), S_OK);
  Job first = LastJob(16);
  EXPECT_EQ(first.count, 1);
  EXPECT_EQ(first.result, 2);

  AddPurchase(3);
  ClearEventsAndCalls();
  ASSERT_EQ(manager->Synchronize(sjOpenPages), S_OK);
  Job second = LastJob(16);
  EXPECT_EQ(second.count, 2) << "the page refused before and the new one";
  EXPECT_EQ(second.result, 0);
  EXPECT_TRUE(Contains(Events(L"summary"), L"Otworzono nowych stron: 2"));
}

TEST_F(Manager, ForceSendAllMarksThePagedTransactionsOfTheAccount) {
  AddPurchase(1);
  LONG count = 0;
  IStatusMgrPtr manager = NewManager();
  EXPECT_EQ(manager->ForceSendAll(kAccountOff, &count), S_FALSE);
  EXPECT_EQ(count, -1);
  EXPECT_EQ(manager->ForceSendAll(77, &count), S_FALSE);
  EXPECT_EQ(count, -1);
  EXPECT_TRUE(States().empty());

  // Nothing to mark: the host is ready again all the same.
  EXPECT_EQ(manager->ForceSendAll(kAccountA, &count), S_OK);
  EXPECT_EQ(count, 0);
  EXPECT_EQ(States(), (std::vector<std::wstring>{L"0", L"1"}));
  EXPECT_EQ(recorder->Count(L"IHxProgress::Open"), 0);

  const std::wstring paged = L"tr_StatusPageId = ";
  AddTransaction(2, kAccountA, 1, 1, paged + L"102, tr_StatusSendState = 3");
  AddTransaction(3, kAccountA, 1, 1, paged + L"103, tr_StatusDataModified = 1");  // marked already
  AddTransaction(4, kAccountA, 1, 1, paged + L"104");
  AddTransaction(5, kAccountA, 1, 1, paged + L"105, tr_StatusDataModified = 1");  // a package of it is
  AddTransaction(6, kAccountB, 1, 1, paged + L"106");
  Exec(L"INSERT INTO pc__Package (pc_Id, pc_TransId, pc_RegId, pc_StatusDataModified) VALUES (1, 5, 1, 1)");
  // The save of transaction 4 is refused.
  Exec(L"CREATE TRIGGER test_RefuseSave BEFORE UPDATE ON tr__Transaction FOR EACH ROW WHEN OLD.tr_Id = 4 "
       L"BEGIN SELECT RAISE(ABORT, 'odmowa'); END");
  ClearEventsAndCalls();
  EXPECT_EQ(manager->ForceSendAll(kAccountA, &count), S_OK);
  EXPECT_EQ(count, 2);
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM tr__Transaction WHERE tr_StatusDataModified = 1"), 3);
  EXPECT_EQ(Long(L"SELECT tr_StatusSendState FROM tr__Transaction WHERE tr_Id = 2"), 0);
  EXPECT_EQ(Long(L"SELECT tr_StatusDataModified FROM tr__Transaction WHERE tr_Id = 4"), 0);
  EXPECT_EQ(Long(L"SELECT tr_StatusDataModified FROM tr__Transaction WHERE tr_Id = 6"), 0);
  EXPECT_EQ(recorder->Calls(),
            (std::vector<std::wstring>{L"IHxProgress::Open()", L"IHxProgress::SetText(Aktualizowanie transakcji 0)",
                                       L"IHxProgress::SetMode( 0 3)", L"IHxProgress::Step(-1)",
                                       L"IHxProgress::Step(-1)", L"IHxProgress::Stop()", L"IHxProgress::Hide()"}));
  EXPECT_EQ(States(), (std::vector<std::wstring>{L"0", L"1"}));

  // Without the host's progress bar the failure is the call's, and the host is ready again.
  script->hideProgress = true;
  ClearEventsAndCalls();
  EXPECT_EQ(manager->ForceSendAll(kAccountA, &count), E_POINTER);
  EXPECT_EQ(States(), (std::vector<std::wstring>{L"0", L"1"}));
}

}  // namespace
}  // namespace vorlen::test
