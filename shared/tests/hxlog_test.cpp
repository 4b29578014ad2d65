#include "shared/hxlog.h"
#include "shared/tests/fixture.h"

namespace {

using testutil::HostTest;

class JobLog : public HostTest {
 protected:
  std::vector<std::wstring> Args(const wchar_t* method) { return host->recorder->ArgsOf(method); }
};

TEST_F(JobLog, StartAnnounceAndEndWithSummary) {
  {
    CHxLog log(CHxLog::jsReceiveAuctions);
    log.StartJob();
    EXPECT_TRUE(log.Started());
    log.ShowStartMsg();
    log.Echo(L"pierwsza");
    log.ShowEndMsg();
    log.EndJobOk(3);
    EXPECT_FALSE(log.Started());
  }
  EXPECT_EQ(Args(L"IHxJobLogStore::StartJob"), (std::vector<std::wstring>{L"1,2"}));
  EXPECT_EQ(Args(L"IHxJobLogStore::AddString"),
            (std::vector<std::wstring>{L"0,Rozpoczęto odbieranie aukcji", L"0,pierwsza", L"0,Zakończono: odbieranie aukcji"}));
  EXPECT_EQ(Args(L"IHxStatusWindow::ShowLine").size(), 3u);
  EXPECT_EQ(Args(L"IHxJobLogStore::EndJob"), (std::vector<std::wstring>{L"3,0"}));  // ended once
  EXPECT_EQ(Args(L"IHxStatusWindow::ShowSummary"), (std::vector<std::wstring>{L"Odebrano aukcji: 3"}));
}

TEST_F(JobLog, SummaryOnlyForSuccessWithACount) {
  {
    CHxLog log(CHxLog::jsReceiveAuctions);
    log.StartJob();
    log.Warning(L"uwaga");
    log.EndJobAutoResult(5);
  }
  EXPECT_EQ(Args(L"IHxJobLogStore::EndJob"), (std::vector<std::wstring>{L"5,1"}));
  EXPECT_TRUE(Args(L"IHxStatusWindow::ShowSummary").empty());
  EXPECT_EQ(host->recorder->Count(L"IHxAppServices::NotifyWarning"), 1);

  CHxLog zero(CHxLog::jsSendAuctions);
  zero.StartJob();
  zero.EndJobOk(0);
  EXPECT_TRUE(Args(L"IHxStatusWindow::ShowSummary").empty());

  CHxLog failed(CHxLog::jsClosePages);
  failed.StartJob();
  failed.Error(L"zły");
  failed.EndJobAutoResult(2);
  EXPECT_EQ(Args(L"IHxStatusWindow::ShowSummary"), (std::vector<std::wstring>{L"zamykanie stron zakończone błędem"}));
  EXPECT_EQ(host->recorder->Count(L"IHxAppServices::NotifyError"), 1);
}

TEST_F(JobLog, HostOnlySubtypesShowNoSummary) {
  CHxLog log(CHxLog::jsSendMessages);
  log.StartJob();
  log.EndJob(0, CHxLog::jrError);
  EXPECT_EQ(Args(L"IHxJobLogStore::EndJob"), (std::vector<std::wstring>{L"0,2"}));
  EXPECT_TRUE(Args(L"IHxStatusWindow::ShowSummary").empty());
}

TEST_F(JobLog, AnOpenJobEndsAsFailedWhenTheLogGoesAway) {
  {
    CHxLog log(CHxLog::jsOpenPages);
    log.StartJob();
    CHxLog copy(log);  // shares the store
    EXPECT_TRUE(copy.Started());
  }
  // Both holders end the one job: the first ends it, the second finds it ended... as the store
  // answers; the stored result is an error either way.
  auto ends = Args(L"IHxJobLogStore::EndJob");
  ASSERT_FALSE(ends.empty());
  EXPECT_EQ(ends[0], L"0,2");
}

TEST_F(JobLog, WorstStatusFollowsEveryWarningAndErrorEvenWhenTheStoreRefusesTheLine) {
  CHxLog log(CHxLog::jsSendAuctions);
  log.StartJob();
  host->recorder->FailOn(L"IHxJobLogStore::AddString", E_FAIL, 1);
  log.Error(L"nie zapisano");
  EXPECT_EQ(log.WorstStatus(), CHxLog::jrError);
  log.EndJobAutoResult(4);
  EXPECT_EQ(Args(L"IHxJobLogStore::EndJob"), (std::vector<std::wstring>{L"4,2"}));
  EXPECT_EQ(Args(L"IHxStatusWindow::ShowSummary"), (std::vector<std::wstring>{L"wysyłanie aukcji zakończone błędem"}));
}

TEST_F(JobLog, ErrorCodesBecomeText) {
  CHxLog log(CHxLog::jsReceivePageData);
  log.StartJob();
  log.Error(static_cast<LONG>(S_OK));
  log.Error(static_cast<LONG>(S_FALSE));
  EXPECT_TRUE(Args(L"IHxJobLogStore::AddString").empty());
  EXPECT_EQ(log.WorstStatus(), CHxLog::jrOk);

  log.Error(static_cast<LONG>(zephra::KD_E_DB_UNSPECIFIED));
  log.Error(static_cast<LONG>(0x80044599u));
  // With COM error information the description is written as it is.
  ICreateErrorInfo* create = nullptr;
  ASSERT_EQ(CreateErrorInfo(&create), S_OK);
  create->SetDescription(const_cast<LPOLESTR>(L"Opis z serwera"));
  IErrorInfoPtr info;
  create->QueryInterface(__uuidof(IErrorInfo), reinterpret_cast<void**>(&info.GetInterfacePtr()));
  create->Release();
  SetErrorInfo(0, info);
  log.Error(static_cast<LONG>(E_FAIL));
  // The library's seller-zone texts end their line, as system message texts do.
  EXPECT_EQ(Args(L"IHxJobLogStore::AddString"),
            (std::vector<std::wstring>{L"2,Nieznany błąd", L"2,Błąd: Strona została zamknięta.\r\n", L"2,Opis z serwera"}));
  log.EndJobNoAffected();
  EXPECT_EQ(Args(L"IHxJobLogStore::EndJob"), (std::vector<std::wstring>{L"0,0"}));
  EXPECT_TRUE(Args(L"IHxStatusWindow::ShowSummary").empty());
}

TEST_F(JobLog, TerminatedJobWarnsAndEndsOnce) {
  CHxLog log(CHxLog::jsReceivePageData);
  log.StartJob();
  log.EndJobTerminated(0);
  log.EndJobTerminated(0);
  EXPECT_EQ(Args(L"IHxJobLogStore::AddString"),
            (std::vector<std::wstring>{L"1,Użytkownik przerwał działanie operacji lub zamknął aplikację"}));
  EXPECT_EQ(Args(L"IHxJobLogStore::EndJob"), (std::vector<std::wstring>{L"0,1"}));
}

TEST_F(JobLog, AFailedEndKeepsTheJobOpenForTheDestructor) {
  {
    CHxLog log(CHxLog::jsSendComments);
    log.StartJob();
    host->recorder->FailOn(L"IHxJobLogStore::EndJob", E_FAIL, 1);
    log.EndJobOk(1);
    EXPECT_TRUE(log.Started());
  }
  EXPECT_EQ(Args(L"IHxJobLogStore::EndJob"), (std::vector<std::wstring>{L"1,0", L"0,2"}));
}

TEST_F(JobLog, WithoutAStoreNothingIsLoggedAndNothingFails) {
  host->UnregisterJobLogStore();
  CHxLog log(CHxLog::jsSendAuctions);
  log.StartJob();
  EXPECT_FALSE(log.Started());
  log.Error(L"x");
  log.EndJobOk(3);
  EXPECT_TRUE(Args(L"IHxStatusWindow::ShowLine").empty());
  EXPECT_TRUE(Args(L"IHxStatusWindow::ShowSummary").empty());
  // The host's status window failing does not fail the log either.
  CHxInstance::SetInstance(nullptr);
  CHxLog::DeleteAll();
}

TEST(JobLogTables, DescriptionsAndSummaries) {
  EXPECT_STREQ(CHxLog::Descr(CHxLog::jsSendPageData), L"wysyłanie danych na strony");
  EXPECT_STREQ(CHxLog::SummaryText(CHxLog::jsReceiveParams), L"Odebrano parametry");
  EXPECT_EQ(CHxLog::TypeFromSubtype(CHxLog::jsSyncProducts), CHxLog::jtErp);
  EXPECT_EQ(CHxLog::TypeFromSubtype(static_cast<CHxLog::JobSubtype>(19)), CHxLog::jtOther);
  EXPECT_TRUE(CHxLog::Descr(static_cast<CHxLog::JobSubtype>(0)).IsEmpty());
  EXPECT_STREQ(CHxLog::Descr(CHxLog::jtSellerZone), L"Strefa Vantor");
  EXPECT_STREQ(CHxLog::Descr(CHxLog::jtOther), L"???");
  EXPECT_FALSE(CHxLog::ShowSummary(CHxLog::jsOtherErpOperations));
  EXPECT_TRUE(CHxLog::ShowSummary(CHxLog::jsReceiveMessages));
}

TEST(FormatError, TextsOfCodes) {
  EXPECT_TRUE(hxFormatError(S_OK).IsEmpty());
  ICreateErrorInfo* create = nullptr;
  ASSERT_EQ(CreateErrorInfo(&create), S_OK);
  create->SetDescription(const_cast<LPOLESTR>(L"Serwer niedostępny"));
  IErrorInfo* info = nullptr;
  create->QueryInterface(__uuidof(IErrorInfo), reinterpret_cast<void**>(&info));
  create->Release();
  SetErrorInfo(0, info);
  info->Release();
  EXPECT_STREQ(hxFormatError(zephra::KD_E_DB_UNSPECIFIED), L"Serwer niedostępny");
  EXPECT_STREQ(hxFormatError(zephra::KD_E_DB_UNSPECIFIED), L"Nieznany błąd");
  EXPECT_STREQ(hxFormatError(E_INVALIDARG), L"Błąd: Niepoprawny parametr.");
}

}  // namespace
