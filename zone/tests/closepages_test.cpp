// The close-pages job against the test service: the pages of deleted, switched-off and old
// completed transactions, pages closed by hand, failures that leave the items for later, and a
// cancel inside the first phase.
#include "shared/objtools.h"
#include "zone/tests/manager_fixture.h"

namespace vorlen::test {
namespace {

class ClosePages : public ManagerTest {
 protected:
  void SetUp() override {
    ManagerTest::SetUp();
    AddPurchase(1000);  // the customers and auctions; this one has no page and stays out
    // Only account A is walked unless a test says otherwise.
    Exec(L"UPDATE reg__Registration SET reg_ST_StatusesServiceActive = 0 WHERE reg_Id = 2");
  }
  // A transaction of account A with a page open on the service.
  int Paged(LONG id, const std::wstring& more = L"") {
    const int page = OpenServicePage(1000, "1000-1", 501);
    AddTransaction(id, kAccountA, 1, 1,
                   L"tr_StatusPageId = " + std::to_wstring(page) + L", tr_StatusPageAddress = 's/" +
                       std::to_wstring(page) + L"'" + (more.empty() ? L"" : L", " + more));
    return page;
  }
  void CloseByHand(int page) {
    auto lock = model.Lock();
    model.pages()[page].closed = true;
  }
  LONG PageOf(LONG id) { return Long(L"SELECT tr_StatusPageId FROM tr__Transaction WHERE tr_Id = " + std::to_wstring(id)); }
  HRESULT Run() {
    IStatusMgrPtr manager = NewManager();
    return manager->Synchronize(sjClosePages);
  }
};

const std::wstring kAlreadyClosed = L"Próba zamknięcia strony już nieistniejącej:\r\n";

TEST_F(ClosePages, PagesOfDeletedTransactionsCloseForTheirAccountOnly) {
  const int deleted = Paged(1);
  CHxObjTools::Delete(__uuidof(HxTransaction), 1);
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM tr_TransStatus WHERE ts_TransId = 1 AND ts_TransRegId = 1 AND ts_PageId = " +
                 std::to_wstring(deleted) + L" AND ts_ClosePage = 1"),
            1);
  const int byHand = OpenServicePage(1000, "1000-2", 502);
  CloseByHand(byHand);
  const int other = OpenServicePage(1001, "1001-1", 501);
  const int living = Paged(4);
  Exec(L"INSERT INTO tr_TransStatus (ts_Id, ts_TransId, ts_TransRegId, ts_PageId, ts_ClosePage) VALUES (100, 3, 1, " +
       std::to_wstring(byHand) + L", 1), (101, 7, 2, " + std::to_wstring(other) + L", 1), (102, 4, 1, " +
       std::to_wstring(living) + L", 1)");

  ASSERT_EQ(Run(), S_OK);
  const Job job = LastJob(15);
  EXPECT_TRUE(ServicePageClosed(deleted));
  EXPECT_FALSE(ServicePageClosed(other));
  EXPECT_FALSE(ServicePageClosed(living));
  EXPECT_TRUE(job.HasPrefix(kAlreadyClosed + L"Strona ")) << job.Text();
  EXPECT_TRUE(job.Has(L"Zamknięto stron dla transakcji usuniętych: 2 z 2")) << job.Text();
  EXPECT_EQ(job.count, 1) << "a page closed before counts in the phase only";
  EXPECT_EQ(job.result, 0);
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM tr_TransStatus"), 2);
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM tr_TransStatus WHERE ts_Id IN (101, 102)"), 2);

  // Nothing left for account A.
  ASSERT_EQ(Run(), S_OK);
  EXPECT_TRUE(LastJob(15).Has(L"Nie ma stron do zamknięcia dla transakcji usuniętych"));
}

TEST_F(ClosePages, UnusedPagesCloseAndTheirTransactionsForgetThem) {
  SetLogLevel(2);
  const int disabled = Paged(1, L"tr_StatusDisabled = 1");
  const int unsupported = Paged(2, L"tr_StatusNotSupported = 1");
  const int grouped = Paged(3, L"tr_StatusDisabled = 1, tr_Grouped = 1");
  const int byHand = Paged(4, L"tr_StatusDisabled = 1");
  CloseByHand(byHand);
  const int inUse = Paged(5);
  ASSERT_EQ(Run(), S_OK);
  for (int page : {disabled, unsupported, grouped}) EXPECT_TRUE(ServicePageClosed(page)) << page;
  EXPECT_FALSE(ServicePageClosed(inUse));
  for (LONG id : {1, 2, 3, 4}) {
    EXPECT_EQ(PageOf(id), -2) << id;
    EXPECT_EQ(Text(L"SELECT tr_StatusPageAddress FROM tr__Transaction WHERE tr_Id = " + std::to_wstring(id)), L"<null>");
  }
  EXPECT_EQ(PageOf(5), inUse);
  const Job job = LastJob(15);
  EXPECT_TRUE(job.Has(L"Zamknięto stron nieużywanych: 4 z 4")) << job.Text();
  EXPECT_TRUE(job.Has(L"Zamykanie strony 4 z 4"));
  EXPECT_TRUE(job.Has(L"- wyczyszczono informacje o stronie w transakcji"));
  EXPECT_TRUE(job.Has(L"- transakcja zapisana"));
  EXPECT_TRUE(job.HasPrefix(kAlreadyClosed));
  EXPECT_EQ(job.count, 4);
  EXPECT_TRUE(job.Has(L"Nie ma starych stron do zamknięcia"));
}

TEST_F(ClosePages, OldPagesAreThoseLastModifiedBeforeMidnightThirtyDaysBack) {
  SetLogLevel(2);
  const std::wstring complete = L"tr_Complete = 2, tr_LastModified = ";
  const int old = Paged(1, complete + DayText(-30, -1));
  const int midnight = Paged(2, complete + DayText(-30));
  const int later = Paged(3, complete + DayText(-30, 1));
  const int grouped = Paged(4, L"tr_Grouped = 1, " + complete + DayText(-60));
  const int open = Paged(5, L"tr_Complete = 1, tr_LastModified = " + DayText(-60));
  ASSERT_EQ(Run(), S_OK);
  EXPECT_TRUE(ServicePageClosed(old));
  for (int page : {midnight, later, grouped, open}) EXPECT_FALSE(ServicePageClosed(page)) << page;
  EXPECT_EQ(PageOf(1), -2);
  EXPECT_EQ(PageOf(2), midnight);
  const Job job = LastJob(15);
  EXPECT_TRUE(job.Has(L"Zamknięto starych stron: 1 z 1")) << job.Text();
  EXPECT_TRUE(job.Has(L"- czyszczenie informacji o stronie w transakcji"));
  EXPECT_TRUE(job.Has(L"Nie ma stron nieużywanych do zamknięcia"));
  EXPECT_EQ(job.count, 1);
}

TEST_F(ClosePages, PagesThatCannotBeClosedAreWarningsAndStayForLater) {
  const int deleted = Paged(1);
  CHxObjTools::Delete(__uuidof(HxTransaction), 1);
  const int disabled = Paged(2, L"tr_StatusDisabled = 1");
  const int old = Paged(3, L"tr_Complete = 3, tr_LastModified = " + DayText(-40));
  model.InjectFault("closePage", "ServiceUnavailableFault", -1);
  ASSERT_EQ(Run(), S_OK);
  Job job = LastJob(15);
  int warnings = 0;
  for (const LogLine& line : job.lines)
    if (line.status == 1) {
      ++warnings;
      EXPECT_NE(line.text.find(L"Błąd na żądanie testu"), std::wstring::npos) << line.text;
    }
  EXPECT_EQ(warnings, 3);
  EXPECT_TRUE(job.Has(L"Zamknięto stron dla transakcji usuniętych: 0 z 1"));
  EXPECT_TRUE(job.Has(L"Zamknięto stron nieużywanych: 0 z 1"));
  EXPECT_TRUE(job.Has(L"Zamknięto starych stron: 0 z 1"));
  EXPECT_EQ(job.result, 1) << "a job that closed nothing is not a success";
  EXPECT_EQ(job.count, 0);
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM tr_TransStatus"), 1);
  EXPECT_EQ(PageOf(2), disabled);
  EXPECT_EQ(PageOf(3), old);

  // Without a connector likewise.
  model.ClearFaults();
  RemoveConnectorRegistration();
  ASSERT_EQ(Run(), S_OK);
  job = LastJob(15);
  EXPECT_EQ(job.result, 1);
  EXPECT_TRUE(job.Has(L"Zamknięto stron nieużywanych: 0 z 1")) << job.Text();
  EXPECT_FALSE(ServicePageClosed(deleted));
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM tr_TransStatus"), 1);
  EXPECT_EQ(PageOf(2), disabled);
}

TEST_F(ClosePages, ACancelInThePhaseOfDeletedTransactionsEndsTheRun) {
  const int first = Paged(1);
  const int second = Paged(2);
  CHxObjTools::Delete(__uuidof(HxTransaction), 1);
  CHxObjTools::Delete(__uuidof(HxTransaction), 2);
  Paged(3, L"tr_StatusDisabled = 1");
  // Asks: the run's first check, account A, phase 1, its first page, its second page.
  script->cancelAt = 5;
  EXPECT_EQ(Run(), kCancelled);
  EXPECT_TRUE(ServicePageClosed(first));
  EXPECT_FALSE(ServicePageClosed(second));
  const Job job = LastJob(15);
  int terminated = 0;
  for (const LogLine& line : job.lines) terminated += line.text == L"Użytkownik przerwał działanie operacji lub zamknął aplikację";
  EXPECT_EQ(terminated, 1);
  EXPECT_FALSE(job.HasPrefix(L"Zamknięto stron"));
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM tr_TransStatus"), 2) << "the rows of a cancelled phase stay";
  EXPECT_EQ(model.Calls("closePage"), 1) << "phases 2 and 3 stop at their first check";
  EXPECT_EQ(States().back(), L"1");

  // The next run closes the rest; the page closed before is known as closed.
  script->cancelAt = 0;
  ASSERT_EQ(Run(), S_OK);
  EXPECT_TRUE(ServicePageClosed(second));
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM tr_TransStatus"), 0);
  EXPECT_TRUE(LastJob(15).HasPrefix(kAlreadyClosed));
}

}  // namespace
}  // namespace vorlen::test
