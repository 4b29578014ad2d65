#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <set>
#include <sstream>

#include "host/host.h"
#include "host/item.h"
#include "host/joblog.h"
#include "host/schema.h"
#include "framework/skin.h"
#include "shared/controls/hximage.h"
#include "shared/controls/hxviews.h"
#include "shared/hxlog.h"
#include "shared/objtools.h"
#include "host/tests/host_fixture.h"
#include "testing/processes/expect.h"

namespace {

_ConnectionPtr Connect(const std::wstring& path) {
  _ConnectionPtr cn;
  if (FAILED(cn.CreateInstance(__uuidof(Connection)))) throw std::runtime_error("no connection class");
  std::wstring text = L"Data Source=" + path;
  cn->Open(_bstr_t(text.c_str()), _bstr_t(L""), _bstr_t(L""), adConnectUnspecified);
  return cn;
}

// ---------------------------------------------------------------------------------------------

class Schema : public ::testing::Test {
 protected:
  void SetUp() override {
    CoInitialize(nullptr);
    path = TempPath();
    cn = Connect(path);
  }
  void TearDown() override {
    cn->Close();
    cn = nullptr;
    RemoveDatabase(path);
    CoUninitialize();
  }
  std::wstring path;
  _ConnectionPtr cn;
};

TEST_F(Schema, FreshDatabaseGetsEveryTableAndTheSeedRows) {
  EXPECT_EQ(host::StoredSchemaVersion(cn), 0);
  EXPECT_EQ(host::UpgradeSchema(cn), 0);
  EXPECT_EQ(host::StoredSchemaVersion(cn), host::CurrentSchemaVersion());
  for (const wchar_t* table : {L"kd_counter", L"kd_keys", L"sl_ServiceProvider", L"kd_User", L"kd_UserRight",
                               L"kd_DataParams", L"kd_ProgramParams", L"kd_JobLog", L"kd_JobLogLine",
                               L"kd_blokada", L"kd_Setting", L"kd_EmailAddress"}) {
    std::wstring sql = std::wstring(L"SELECT COUNT(*) FROM ") + table;
    EXPECT_GE(Long(cn, sql.c_str()), 0) << table;
  }
  EXPECT_EQ(Long(cn, L"SELECT COUNT(*) FROM kd_User WHERE us_Id = 1"), 1);
  EXPECT_EQ(Long(cn, L"SELECT COUNT(*) FROM kd_DataParams"), 1);
  // Opening again changes nothing.
  EXPECT_EQ(host::UpgradeSchema(cn), host::CurrentSchemaVersion());
  EXPECT_EQ(Long(cn, L"SELECT COUNT(*) FROM kd_User"), 1);
}

TEST_F(Schema, UpgradeKeepsTheDataOfAnOlderDatabase) {
  host::UpgradeSchemaTo(cn, 1);
  EXPECT_EQ(host::StoredSchemaVersion(cn), 1);
  cn->Execute(_bstr_t(L"INSERT INTO kd_User (us_Id, us_Name) VALUES (2, 'Anna')"), nullptr, kCmdTextNoRecords);
  cn->Execute(_bstr_t(L"INSERT INTO sl_ServiceProvider (ss_Id, ss_ProgId) VALUES (1, 'Serwis.Connector')"), nullptr,
              kCmdTextNoRecords);
  EXPECT_EQ(host::UpgradeSchema(cn), 1);
  EXPECT_EQ(host::StoredSchemaVersion(cn), host::CurrentSchemaVersion());
  EXPECT_EQ(Long(cn, L"SELECT COUNT(*) FROM kd_User"), 2);
  EXPECT_EQ(Long(cn, L"SELECT COUNT(*) FROM sl_ServiceProvider"), 1);
  EXPECT_EQ(Long(cn, L"SELECT COUNT(*) FROM kd_JobLog"), 0);
}

TEST_F(Schema, TheLookupIndexesComeToADatabaseOfTheVersionBeforeAndItKeepsItsRows) {
  host::UpgradeSchemaTo(cn, 15);
  for (const wchar_t* sql :
       {L"INSERT INTO cs__Customer (cs_Id, cs_Nick, cs_ExtServiceId, cs_SvcProvId) VALUES (1, N'ania', 4242, 1)",
        L"INSERT INTO au__Auction (au_Id, au_Number, au_SvcProvId, au_State) VALUES (1, '100', 1, 1)",
        L"INSERT INTO tr__Transaction (tr_Id, tr_CustomerId, tr_AuctionId, tr_RegId, tr_StatusPageId) "
        L"VALUES (1, 1, 1, 3, 77), (2, 1, 1, 3, NULL)",
        L"INSERT INTO tr_Comment (tc_Id, tc_TransId, tc_SentComment) VALUES (1, 1, N'Dziękuję')",
        L"INSERT INTO tr_Group (tg_Id, tg_TransId, tg_PrimaryTransId) VALUES (1, 1, 2)"})
    cn->Execute(_bstr_t(sql), nullptr, kCmdTextNoRecords);
  EXPECT_EQ(host::UpgradeSchema(cn), 15);
  EXPECT_EQ(host::StoredSchemaVersion(cn), host::CurrentSchemaVersion());
  EXPECT_EQ(Long(cn, L"SELECT COUNT(*) FROM tr__Transaction WHERE tr_RegId = 3 AND tr_CustomerId = 1"), 2);
  EXPECT_EQ(Long(cn, L"SELECT tr_Id FROM tr__Transaction WHERE tr_StatusPageId = 77"), 1);
  EXPECT_EQ(Long(cn, L"SELECT COUNT(*) FROM tr_Comment WHERE tc_SentDate IS NULL AND tc_SentComment IS NOT NULL"), 1);
  EXPECT_EQ(Long(cn, L"SELECT tg_TransId FROM tr_Group WHERE tg_PrimaryTransId = 2"), 1);
  EXPECT_EQ(Long(cn, L"SELECT COUNT(*) FROM cs__Customer WHERE cs_ExtServiceId = 4242"), 1);
  // The account's index was made again with the creation date after the page.
  EXPECT_EQ(Long(cn, L"SELECT COUNT(*) FROM sqlite_master WHERE type = 'index' AND name = 'ix_Transaction_Account' "
                     L"AND sql LIKE '%tr_CreationDate%'"),
            1);
  EXPECT_EQ(Long(cn, L"SELECT COUNT(*) FROM sqlite_master WHERE type = 'index' AND name IN ('ix_Customer_ExtService', "
                     L"'ix_Transaction_Customer', 'ix_Transaction_Page', 'ix_Group_Transaction', 'ix_Group_Primary', "
                     L"'ix_TransStatus_Page', 'ix_Package_Account', 'ix_PackageItem_Package', 'ix_Comment_Sent', "
                     L"'ix_Auction_State', 'ix_Auction_Template')"),
            11);
}

// The keys from records to their account come over older rows: rows naming a missing account
// stay and are told; from then on the keys hold, while a kept row still changes in its other
// columns.
TEST_F(Schema, RecordsKeepTheirAccountAndOlderRowsThatDoNotAreKeptAndTold) {
  host::UpgradeSchemaTo(cn, 15);
  for (const wchar_t* sql : {
           L"INSERT INTO reg__Registration (reg_Id, reg_Username) VALUES (1, 'jan')",
           L"INSERT INTO au__Auction (au_Id, au_RegId, au_Title) VALUES (10, 1, 'Kubek'), (11, 9, 'Dzbanek'), "
           L"(12, NULL, 'Szablon ogólny'), (13, 9, 'Talerz')",
           L"INSERT INTO tr__Transaction (tr_Id, tr_RegId) VALUES (20, 1), (21, 8)",
       })
    cn->Execute(_bstr_t(sql), nullptr, kCmdTextNoRecords);
  std::vector<std::wstring> report;
  EXPECT_EQ(host::UpgradeSchema(cn, &report), 15);
  ASSERT_EQ(report.size(), 2u);
  EXPECT_EQ(report[0], L"Uaktualnienie schematu bazy danych do wersji 16: aukcje (au__Auction), które wskazują konto "
                       L"nieobecne w bazie danych, zostają bez zmian (2): au_Id 11 (au_RegId 9), au_Id 13 (au_RegId 9).");
  EXPECT_NE(report[1].find(L"transakcje (tr__Transaction)"), std::wstring::npos) << report[1];
  EXPECT_NE(report[1].find(L"(1): tr_Id 21 (tr_RegId 8)."), std::wstring::npos) << report[1];
  EXPECT_EQ(Long(cn, L"SELECT COUNT(*) FROM au__Auction"), 4);
  EXPECT_EQ(Long(cn, L"SELECT COUNT(*) FROM tr__Transaction"), 2);

  auto refused = [&](const wchar_t* sql) {
    try {
      cn->Execute(_bstr_t(sql), nullptr, kCmdTextNoRecords);
    } catch (const _com_error& e) {
      return e.Error();
    }
    return S_OK;
  };
  EXPECT_EQ(refused(L"UPDATE au__Auction SET au_Title = 'Dzbanek duży' WHERE au_Id = 11"), S_OK);
  EXPECT_EQ(refused(L"DELETE FROM reg__Registration WHERE reg_Id = 1"), DB_E_INTEGRITYVIOLATION);
  EXPECT_EQ(refused(L"INSERT INTO au__Auction (au_Id, au_RegId) VALUES (14, 7)"), DB_E_INTEGRITYVIOLATION);
  EXPECT_EQ(refused(L"UPDATE tr__Transaction SET tr_RegId = 7 WHERE tr_Id = 20"), DB_E_INTEGRITYVIOLATION);
  EXPECT_EQ(refused(L"UPDATE au__Auction SET au_RegId = 1 WHERE au_Id = 11"), S_OK);  // mended by hand
  // A database upgraded before tells nothing again.
  report.clear();
  EXPECT_EQ(host::UpgradeSchema(cn, &report), host::CurrentSchemaVersion());
  EXPECT_TRUE(report.empty());
}

TEST_F(Schema, AFailedStepLeavesThePreviousVersionAndItsData) {
  host::UpgradeSchemaTo(cn, 1);
  cn->Execute(_bstr_t(L"INSERT INTO kd_User (us_Id, us_Name) VALUES (2, 'Anna')"), nullptr, kCmdTextNoRecords);
  // A table in the way of the next step makes it fail.
  cn->Execute(_bstr_t(L"CREATE TABLE kd_blokada (x int)"), nullptr, kCmdTextNoRecords);
  EXPECT_THROW(host::UpgradeSchema(cn), _com_error);
  EXPECT_EQ(host::StoredSchemaVersion(cn), 1);
  EXPECT_EQ(Long(cn, L"SELECT COUNT(*) FROM kd_User"), 2);
  EXPECT_EQ(Long(cn, L"SELECT COUNT(*) FROM kd_JobLog"), -999);  // rolled back with its step
}

TEST_F(Schema, ANewerDatabaseIsRefused) {
  host::UpgradeSchema(cn);
  std::wstring sql = L"INSERT INTO kd_SchemaVersion (sv_Version) VALUES (" +
                     std::to_wstring(host::CurrentSchemaVersion() + 1) + L")";
  cn->Execute(_bstr_t(sql.c_str()), nullptr, kCmdTextNoRecords);
  try {
    host::UpgradeSchema(cn);
    FAIL() << "a newer database must be refused";
  } catch (const _com_error& e) {
    EXPECT_EQ(e.Error(), E_FAIL);
    EXPECT_NE(std::wstring(static_cast<const wchar_t*>(e.Description())).find(L"nowszej"), std::wstring::npos);
  }
}

// ---------------------------------------------------------------------------------------------

TEST_F(HostFixture, KeysAreConsecutiveAndSafeBetweenProcesses) {
  IFlgDataFactoryPtr factory = CHxInstance::GetDataFactory();
  LONG first = 0;
  ASSERT_EQ(factory->ReserveIds(_bstr_t(L"tr__Transaction"), 3, &first), S_OK);
  EXPECT_EQ(first, 1);
  ASSERT_EQ(factory->ReserveIds(_bstr_t(L"tr__Transaction"), 1, &first), S_OK);
  EXPECT_EQ(first, 4);
  ASSERT_EQ(factory->ReserveIds(_bstr_t(L"it's"), 2, &first), S_OK);  // a quote in the name
  EXPECT_EQ(first, 1);
  EXPECT_EQ(factory->ReserveIds(_bstr_t(L"x"), 0, &first), E_INVALIDARG);
  // Within a caller's transaction the keys are that transaction's: its rollback gives them back,
  // a table's first keys among them.
  _ConnectionPtr cn = CHxInstance::GetConnection();
  cn->BeginTrans();
  EXPECT_EQ(host::ReserveKeys(cn, L"tr__Transaction", 2), 5);
  EXPECT_EQ(host::ReserveKeys(cn, L"tr__Transaction", 1), 7);
  EXPECT_EQ(host::ReserveKeys(cn, L"new one", 1), 1);
  EXPECT_EQ(host::ReserveKeys(cn, L"new one", 3), 2);
  cn->RollbackTrans();
  EXPECT_EQ(host::ReserveKeys(cn, L"tr__Transaction", 1), 5);
  EXPECT_EQ(host::ReserveKeys(cn, L"new one", 1), 1);

  constexpr int kDraws = 30;
  int fds[2][2];
  pid_t pids[2];
  for (int c = 0; c < 2; ++c) {
    ASSERT_EQ(pipe(fds[c]), 0);
    pids[c] = fork();
    if (pids[c] == 0) {
      close(fds[c][0]);
      int status = 0;
      try {
        _ConnectionPtr own = Connect(path);
        for (int i = 0; i < kDraws; ++i) {
          LONG k = host::ReserveKeys(own, L"shared", 2);
          if (write(fds[c][1], &k, sizeof k) != sizeof k) status = 3;
        }
      } catch (...) {
        status = 2;
      }
      _exit(status);
    }
    close(fds[c][1]);
  }
  std::set<LONG> starts;
  for (int c = 0; c < 2; ++c) {
    LONG k;
    while (read(fds[c][0], &k, sizeof k) == sizeof k) EXPECT_TRUE(starts.insert(k).second) << k;
    close(fds[c][0]);
    int status = -1;
    waitpid(pids[c], &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  EXPECT_EQ(starts.size(), 2u * kDraws);
  for (LONG k : starts) EXPECT_EQ(k % 2, 1);  // blocks of two never overlap
}

TEST_F(HostFixture, AccountIdsEndWhereTheAccountRightsEnd) {
  IFlgDataFactoryPtr factory = CHxInstance::GetDataFactory();
  _ConnectionPtr cn = CHxInstance::GetConnection();
  cn->Execute(_bstr_t(L"INSERT INTO kd_keys (ki_Table, ki_NextId) VALUES ('reg__Registration', 65534)"), nullptr,
              adCmdText);
  LONG first = 0;
  ASSERT_EQ(factory->ReserveIds(_bstr_t(L"reg__Registration"), 2, &first), S_OK);
  EXPECT_EQ(first, 65534);
  try {
    host::ReserveKeys(cn, L"reg__Registration", 1, L"reg_Id");
    FAIL() << "id 65,536 must be refused";
  } catch (const _com_error& e) {
    EXPECT_EQ(e.Error(), E_FAIL);
    EXPECT_NE(std::wstring(static_cast<const wchar_t*>(e.Description())).find(L"65536"), std::wstring::npos);
  }
  // Nothing was taken: the refusal stays, other tables go on.
  EXPECT_EQ(factory->ReserveIds(_bstr_t(L"reg__Registration"), 1, &first), E_FAIL);
  ASSERT_EQ(factory->ReserveIds(_bstr_t(L"tr__Transaction"), 1, &first), S_OK);
  EXPECT_EQ(first, 1);
}

// Keys reserved through the data factory of a host of its own on `connection`.
testproc::Draw KeysOn(const _ConnectionPtr& connection) {
  auto own = std::make_shared<host::Host>(connection);
  return [own] {
    IFlgDataFactoryPtr factory(own->Instance());
    LONG first = 0;
    HRESULT hr = factory->ReserveIds(_bstr_t(L"held"), 1, &first);
    if (FAILED(hr)) {
      IErrorInfo* info = nullptr;
      if (GetErrorInfo(0, &info) != S_OK) info = nullptr;
      throw _com_error(hr, info);
    }
    return first;
  };
}

// Another process holding the write lock past the busy timeout: a reservation is refused after
// one wait with the database's error (its explanation kept) and reserves nothing; the waiting
// ones get every key once when the lock goes.
TEST_F(HostFixture, AHeldLockRefusesAReservationAfterOneWaitAndKeysStayUnique) {
  constexpr int kRounds = 20, kDrawers = 3, kDraws = 4, kBusyMs = 150;
  const auto start = std::chrono::steady_clock::now();
  testproc::Draws draws = testproc::DrawUnderHeldLock(path, kRounds, kDrawers, kDraws, kBusyMs, KeysOn);
  testproc::ExpectOneWaitAndEveryNumberOnce(draws, kRounds, kDrawers, kDraws, kBusyMs);
  // A bound against a hang, not a speed check: a loaded machine may take minutes.
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(300));

  // The refusal carries the database's explanation.
  testproc::LockHolder holder(path);
  try {
    KeysOn(testproc::Connect(path, 50))();
    ADD_FAILURE() << "reserved while the lock was held";
  } catch (const _com_error& e) {
    EXPECT_EQ(e.Error(), DB_E_ABORTLIMITREACHED);
    EXPECT_NE(std::wstring(static_cast<const wchar_t*>(e.Description())).find(L"locked"), std::wstring::npos);
  }
}

TEST_F(HostFixture, InstanceReachableThroughTheGlobalInterfaceTable) {
  IFlgInstancePtr global = GetGlobalFlgInstance();
  ASSERT_TRUE(global);
  EXPECT_TRUE(global == host->Instance());
  // The host captions the system's message boxes.
  IHxAppCaptionPtr caption(global);
  ASSERT_TRUE(caption);
  BSTR text = nullptr;
  ASSERT_EQ(caption->GetCaption(0, &text), S_OK);
  EXPECT_STREQ(text, L"Vantor");
  SysFreeString(text);
  host.reset();
  EXPECT_FALSE(GetGlobalFlgInstance());
  host = std::make_unique<host::Host>(path);
}

TEST_F(HostFixture, ParametersAreOneRowRecordsetsFromTheDatabase) {
  EXPECT_STREQ(static_cast<const wchar_t*>(CHxInstance::GetBaseCurrency()), L"PLN");
  host->Connection()->Execute(_bstr_t(L"UPDATE kd_DataParams SET pd_BaseCurrency = 'EUR'"), nullptr,
                              kCmdTextNoRecords);
  EXPECT_STREQ(static_cast<const wchar_t*>(CHxInstance::GetBaseCurrency()), L"EUR");
  EXPECT_EQ(hxGetParamLong(5004, L"pa_AuctSyncFeedbackMax"), 0);
  _RecordsetPtr params = CHxInstance::HxParams();
  EXPECT_EQ(params->GetRecordCount(), 1);
  EXPECT_THROW(hxGetParam(5003, L"x"), _com_error);
}

// A new database's thumbnail box has room below the picture for the whole caption: both lines,
// with their descenders and the hooks of "ą" and "ę", in the font the cells draw it in.
TEST_F(HostFixture, ANewDatabasesThumbnailBoxHoldsTheWholeCaption) {
  LONG cx = 0, cy = 0;
  ASSERT_EQ(CImgTools::GetDefaultImageSize(cx, cy), 0);
  EXPECT_EQ(cx, cy);   // the picture list's cells are square
  int width = 0, height = 0, x = 0, y = 0;
  CRect caption;
  CHalvexImage::CalcThumbnailSize(nullptr, cx, cy, width, height, x, y, &caption);
  HDC dc = CreateCompatibleDC(nullptr);
  const HGDIOBJ old = SelectObject(dc, GetStockObject(ANSI_VAR_FONT));
  RECT needed{0, 0, caption.Width(), 0};
  DrawTextW(dc, L"gęś ząb.jpg\n1600 x 1200 (512.0 KB)", -1, &needed, DT_CENTER | DT_CALCRECT | DT_NOPREFIX);
  SelectObject(dc, old);
  DeleteDC(dc);
  EXPECT_LE(needed.bottom, caption.Height());
  EXPECT_LE(needed.right, caption.Width());
}

TEST_F(HostFixture, RightsPerUserWithTheAdministratorHoldingAll) {
  IFlgInstancePtr instance = host->Instance();
  EXPECT_EQ(instance->CheckRight(182, 0), S_OK);
  EXPECT_EQ(CHxInstance::UserId(), 1);
  host->Connection()->Execute(_bstr_t(L"INSERT INTO kd_User (us_Id, us_Name) VALUES (2, 'Anna')"), nullptr,
                              kCmdTextNoRecords);
  Obj().SetUser(2);
  EXPECT_EQ(instance->CheckRight(182, 0), E_ACCESSDENIED);
  BSTR why = nullptr;
  EXPECT_EQ(instance->CheckRightText(182, &why), E_ACCESSDENIED);
  EXPECT_NE(why, nullptr);
  SysFreeString(why);
  Obj().GrantRight(2, 182, true);
  EXPECT_EQ(instance->CheckRight(182, 0), S_OK);
  EXPECT_EQ(instance->CheckRight(184, 0), E_ACCESSDENIED);
  Obj().GrantRight(2, 182, false);
  EXPECT_EQ(instance->CheckRight(182, 0), E_ACCESSDENIED);
  IHxUserPtr user(instance);
  BSTR name = nullptr;
  user->GetUserName(&name);
  EXPECT_STREQ(name, L"Anna");
  SysFreeString(name);
}

TEST_F(HostFixture, SettingsBySectionAndKey) {
  IFlgInstancePtr instance = host->Instance();
  _variant_t level(LONG{0});
  EXPECT_EQ(instance->GetSetting(_bstr_t(L"Test"), _bstr_t(L"StrefaVantorLogLevel"), &level), S_FALSE);
  EXPECT_EQ(level.lVal, 0);
  EXPECT_EQ(instance->PutSetting(_bstr_t(L"Test"), _bstr_t(L"StrefaVantorLogLevel"), _variant_t(LONG{2})), S_OK);
  EXPECT_EQ(instance->GetSetting(_bstr_t(L"Test"), _bstr_t(L"StrefaVantorLogLevel"), &level), S_OK);
  EXPECT_EQ(level.vt, VT_I4);
  EXPECT_EQ(level.lVal, 2);
  EXPECT_EQ(instance->PutSetting(_bstr_t(L"Te'st"), _bstr_t(L"k"), _variant_t(L"O'Brien")), S_OK);
  _variant_t text;
  EXPECT_EQ(instance->GetSetting(_bstr_t(L"Te'st"), _bstr_t(L"k"), &text), S_OK);
  EXPECT_STREQ(text.bstrVal, L"O'Brien");
}

TEST_F(HostFixture, StatusWindowAppServicesAndStartCheck) {
  std::vector<std::wstring> printed;
  Obj().SetOutput([&printed](const std::wstring& line) { printed.push_back(line); });
  IHxStatusWindowPtr window(host->Instance());
  window->ShowLine(_bstr_t(L"linia"));
  window->ShowSummary(_bstr_t(L"podsumowanie"));
  EXPECT_EQ(printed, (std::vector<std::wstring>{L"linia", L"== podsumowanie"}));
  VARIANT_BOOL cancel = VARIANT_TRUE;
  window->IsCancelRequested(&cancel);
  EXPECT_EQ(cancel, VARIANT_FALSE);
  Obj().RequestCancel();
  window->IsCancelRequested(&cancel);
  EXPECT_EQ(cancel, VARIANT_TRUE);
  window->Reset();
  window->IsCancelRequested(&cancel);
  EXPECT_EQ(cancel, VARIANT_FALSE);

  IHxAppServicesPtr services(host->Instance());
  services->SetRefreshState(0);
  EXPECT_EQ(Obj().RefreshState(), 0);
  services->SetRefreshState(1);  // the seller-zone jobs resume with 1
  EXPECT_EQ(Obj().RefreshState(), -1);
  VARIANT_BOOL erp = VARIANT_TRUE;
  services->IsErpAvailable(&erp);
  EXPECT_EQ(erp, VARIANT_FALSE);

  IHxStartCheckPtr check(host->Instance());
  BSTR reason = nullptr;
  EXPECT_EQ(check->CheckReady(&reason), S_OK);
  Obj().SetReadiness(E_ACCESSDENIED, L"trwa archiwizacja");
  EXPECT_EQ(check->CheckReady(&reason), E_ACCESSDENIED);
  EXPECT_STREQ(reason, L"trwa archiwizacja");
  SysFreeString(reason);
  IUnknown* raw = nullptr;
  ASSERT_EQ(check->GetAccountSites(&raw), S_OK);
  _RecordsetPtr sites(raw);
  raw->Release();
  EXPECT_EQ(sites->GetRecordCount(), 0);
  EXPECT_EQ(sites->GetFields()->GetCount(), 7);
}

// The account list holds every site of each active account, by account and the account's site
// row; an active account without a site comes once with its site columns NULL. The name is the
// login; subsite_id is the site's number at its service, regsite_id the account's site row.
TEST_F(HostFixture, AccountSitesListEverySiteOfTheActiveAccounts) {
  const _ConnectionPtr cn = host->Connection();
  for (const wchar_t* sql :
       {L"INSERT INTO st__Site (st_Id, st_SiteId, st_SvcProvId, st_Name) VALUES (1, 10, 1, 'Serwis'), "
        L"(2, 20, 1, 'Serwis drugi')",
        L"INSERT INTO reg__Registration (reg_Id, reg_SvcProvId, reg_Username, reg_Name, reg_Active) VALUES "
        L"(4, 1, 'o''brien', NULL, 1), (2, 1, 'anna', 'Konto Anny', 1), (3, 1, 'stare', 'Stare', 0), "
        L"(9, 2, 'bez_strony', 'Bez strony', 1)",
        L"INSERT INTO reg_Site (rs_Id, rs_RegId, rs_SiteId, rs_Name) VALUES (7, 2, 2, NULL), (5, 2, 1, 'Mój serwis'), "
        L"(6, 4, 1, NULL), (8, 3, 1, NULL)"})
    cn->Execute(_bstr_t(sql), nullptr, kCmdTextNoRecords);
  IHxStartCheckPtr check(host->Instance());
  IUnknown* raw = nullptr;
  ASSERT_EQ(check->GetAccountSites(&raw), S_OK);
  _RecordsetPtr sites(raw);
  raw->Release();
  std::vector<std::wstring> rows;
  for (; !sites->GetadoEOF(); sites->MoveNext()) {
    std::wstring row;
    for (const wchar_t* field :
         {L"reg_id", L"reg_name", L"site_id", L"site_name", L"subsite_id", L"service_id", L"regsite_id"}) {
      const _variant_t value = sites->GetFields()->GetItem(field)->GetValue();
      row += (row.empty() ? L"" : L"|") + (value.vt == VT_NULL ? std::wstring(L"NULL") : std::wstring(_bstr_t(value)));
    }
    rows.push_back(row);
  }
  EXPECT_EQ(rows, (std::vector<std::wstring>{L"2|anna|1|Mój serwis|10|1|5", L"2|anna|2|Serwis drugi|20|1|7",
                                             L"4|o'brien|1|Serwis|10|1|6", L"9|bez_strony|NULL|NULL|NULL|2|NULL"}));
  EXPECT_EQ(sites->GetFields()->GetItem(L"reg_id")->GetType(), adInteger);
  EXPECT_EQ(sites->GetFields()->GetItem(L"subsite_id")->GetType(), adInteger);
  EXPECT_EQ(sites->GetFields()->GetItem(L"regsite_id")->GetType(), adInteger);
  EXPECT_EQ(sites->GetFields()->GetItem(L"site_name")->GetType(), adVarWChar);
}

TEST_F(HostFixture, NavigationAndTheTabStripColours) {
  CHxSwitcher::SwitchOnCustomer(17);
  EXPECT_EQ(Events(L"navigation"),
            (std::vector<std::wstring>{L"view {B8900073-DE4B-490E-83AD-0774F42737F0} 0", L"customer 17"}));
  IFlgSkinPtr skin(host->Instance());
  COLORREF face = 0, line = 0, other = 0;
  ASSERT_EQ(skin->GetColor(9, &face), S_OK);
  skin->GetColor(10, &line);
  skin->GetColor(17, &other);
  EXPECT_EQ(face, host::kSkinTabFace);
  EXPECT_EQ(line, host::kSkinTabLine);
  EXPECT_EQ(other, FlgGetStockColor(17));
  EXPECT_EQ(skin->GetColor(99, &other), E_INVALIDARG);
  // What the host records is bounded: a long job's saves keep only the latest events.
  Obj().ClearEvents();
  const std::size_t saves = host::kKeptHostEvents + 3;
  for (std::size_t k = 0; k < saves; ++k) Obj().RefreshObjectType(GUID_NULL, static_cast<LONG>(k), _variant_t());
  const std::vector<std::wstring> refreshed = Events(L"refresh");
  ASSERT_EQ(refreshed.size(), host::kKeptHostEvents);
  EXPECT_TRUE(refreshed.front().ends_with(L" 3"));
  EXPECT_TRUE(refreshed.back().ends_with(L" " + std::to_wstring(saves - 1)));
}

TEST_F(HostFixture, JobLogIsKeptInTheDatabaseAndListed) {
  {
    CHxLog log(CHxLog::jsReceiveTransactions);
    log.StartJob();
    log.ShowStartMsg();
    log.Warning(L"Transakcja bez adresu: O'Brien");
    log.EndJobAutoResult(2);
  }
  {
    CHxLog failed(CHxLog::jsClosePages);
    failed.StartJob();
  }  // ended as failed by the destructor
  _ConnectionPtr cn = host->Connection();
  EXPECT_EQ(Long(cn, L"SELECT COUNT(*) FROM kd_JobLog"), 2);
  EXPECT_EQ(Long(cn, L"SELECT jl_Result FROM kd_JobLog WHERE jl_Subtype = 4"), 1);
  EXPECT_EQ(Long(cn, L"SELECT jl_Count FROM kd_JobLog WHERE jl_Subtype = 4"), 2);
  EXPECT_EQ(Long(cn, L"SELECT jl_Result FROM kd_JobLog WHERE jl_Subtype = 15"), 2);
  EXPECT_EQ(Long(cn, L"SELECT COUNT(*) FROM kd_JobLogLine"), 2);
  EXPECT_EQ(Events(L"warning").size(), 1u);

  std::wostringstream list;
  host::ListJobs(cn, list);
  EXPECT_NE(list.str().find(L"\t4\t2\t1\n"), std::wstring::npos) << list.str();
  std::wostringstream described;
  host::ListJobs(cn, described, [](LONG subtype) { return L"opis " + std::to_wstring(subtype); });
  EXPECT_NE(described.str().find(L"\t4\t2\t1\topis 4\n"), std::wstring::npos) << described.str();
  std::wostringstream lines;
  const LONG job = Long(cn, L"SELECT jl_Id FROM kd_JobLog WHERE jl_Subtype = 4");
  ASSERT_TRUE(host::ShowJob(cn, job, lines));
  EXPECT_NE(lines.str().find(L"Rozpoczęto odbieranie transakcji"), std::wstring::npos);
  EXPECT_NE(lines.str().find(L"ostrzeżenie\tTransakcja bez adresu: O'Brien"), std::wstring::npos);
  std::wostringstream none;
  EXPECT_FALSE(host::ShowJob(cn, 999, none));

  CHxLog::DeleteAll();
  EXPECT_EQ(Long(cn, L"SELECT COUNT(*) FROM kd_JobLog"), 0);
  EXPECT_EQ(Long(cn, L"SELECT COUNT(*) FROM kd_JobLogLine"), 0);
}

// The job log is written on a connection of its own: a caller's rollback keeps it, and inside the
// caller's transaction nothing waits for the lock that the caller itself holds.
TEST_F(HostFixture, JobLogSurvivesTheCallersRollback) {
  _ConnectionPtr cn = host->Connection();
  const auto start = std::chrono::steady_clock::now();
  for (int round = 1; round <= 20; ++round) {
    const auto before = std::chrono::steady_clock::now();
    cn->BeginTrans();
    cn->Execute(_bstr_t(L"INSERT INTO kd_Setting (st_Section, st_Key, st_Value) VALUES ('t', 'k', 'v')"), nullptr,
                kCmdTextNoRecords);
    {
      CHxLog log(CHxLog::jsSendAuctions);
      log.StartJob();
      log.Echo(L"Wysyłanie aukcji");
      log.Error(L"Serwis odrzucił aukcję");
      log.EndJobAutoResult(0);
    }
    cn->RollbackTrans();
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(2)) << "waited for its own caller";
    ASSERT_EQ(Long(cn, L"SELECT COUNT(*) FROM kd_Setting WHERE st_Section = 't'"), 0);  // the caller's row is gone
    ASSERT_EQ(Long(cn, L"SELECT COUNT(*) FROM kd_JobLog"), round);                   // the log is not
    ASSERT_EQ(Long(cn, L"SELECT COUNT(*) FROM kd_JobLogLine WHERE jll_Status = 2"), round);
    ASSERT_EQ(Long(cn, L"SELECT COUNT(*) FROM kd_JobLogLine"), 2 * round);
    ASSERT_EQ(Long(cn, L"SELECT COUNT(*) FROM kd_JobLog WHERE jl_Result = 2 AND jl_End IS NOT NULL"), round);
  }
  // A bound against a hang, not a speed check: a loaded machine may take minutes.
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(300));
  // Lines keep their order and their job.
  std::wostringstream lines;
  ASSERT_TRUE(host::ShowJob(cn, 20, lines));
  const std::wstring text = lines.str();
  EXPECT_LT(text.find(L"info\tWysyłanie aukcji"), text.find(L"błąd\tSerwis odrzucił aukcję"));
  EXPECT_EQ(host->JobLog()->Waiting(), 0u);
}

// Another process holds the write lock past the busy timeout: each write of the log waits once
// and the line is kept; when the lock goes, the next write takes everything, in order.
TEST_F(HostFixture, JobLogWaitsOnceForAnotherProcessAndLosesNothing) {
  constexpr int kBusyMs = 150;
  CHxInstance::SetInstance(nullptr);
  host.reset();
  host = std::make_unique<host::Host>(testproc::Connect(path, kBusyMs));
  CHxInstance::SetInstance(host->Instance());
  _ConnectionPtr cn = host->Connection();
  const auto start = std::chrono::steady_clock::now();
  std::vector<std::pair<double, double>> times;  // of each write while the lock was held, and of one wait
  for (int round = 1; round <= 20; ++round) {
    CHxLog log(CHxLog::jsReceiveComments);
    {
      testproc::LockHolder holder(path);
      const double oneWait = testproc::OneLockWait(path, kBusyMs);
      for (int step = 0; step < 2; ++step) {
        const auto before = std::chrono::steady_clock::now();
        if (step == 0) log.StartJob();
        else log.Echo(L"Odebrano komentarz");
        times.emplace_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - before).count(), oneWait);
      }
      EXPECT_TRUE(log.Started());
      EXPECT_EQ(host->JobLog()->Waiting(), 2u);
      ASSERT_TRUE(holder.Release());
    }
    log.Error(L"Komentarz bez transakcji");
    log.EndJobAutoResult(1);
    ASSERT_EQ(host->JobLog()->Waiting(), 0u) << "round " << round;
    ASSERT_EQ(Long(cn, L"SELECT COUNT(*) FROM kd_JobLog WHERE jl_Result = 2"), round);
    ASSERT_EQ(Long(cn, L"SELECT COUNT(*) FROM kd_JobLogLine"), 2 * round);
  }
  testproc::ExpectOneWaitEach(times);
  // A bound against a hang, not a speed check: a loaded machine may take minutes.
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(300));
  EXPECT_EQ(Events(L"error").size(), 20u);  // the error lines only; nothing was reported lost
}

// A database that refuses the log's writes: the store says so, and the host reports what was lost.
// Four workstations write their jobs at once, each a process with a host of its own: every line
// is kept, each job's in the order written.
TEST_F(HostFixture, JobLogsOfSeveralWorkstationsAtOnceKeepEveryLineInOrder) {
  constexpr int kProcesses = 4, kLines = 25;
  pid_t children[kProcesses];
  int go[2];
  ASSERT_EQ(pipe(go), 0);
  for (int c = 0; c < kProcesses; ++c) {
    children[c] = fork();
    ASSERT_GE(children[c], 0);
    if (children[c] == 0) {
      close(go[1]);
      int status = 0;
      try {
        char start = 0;
        if (read(go[0], &start, 1) != 1) _exit(4);  // all start together
        CoInitialize(nullptr);
        {
          host::Host own(path);
          CHxInstance::SetInstance(own.Instance());
          CHxLog log(CHxLog::jsReceiveComments);
          log.StartJob();
          for (int line = 0; line < kLines; ++line)
            log.Echo(CString(L"stanowisko ") + CString(std::to_wstring(c).c_str()) + L" wiersz " +
                     CString(std::to_wstring(line).c_str()));
          log.EndJobAutoResult(kLines);
          CHxInstance::SetInstance(nullptr);
        }
        CoUninitialize();
      } catch (...) {
        status = 2;
      }
      _exit(status);
    }
  }
  close(go[0]);
  const char start[kProcesses] = {'g', 'g', 'g', 'g'};
  ASSERT_EQ(write(go[1], start, kProcesses), kProcesses);
  close(go[1]);
  for (pid_t child : children) {
    int status = -1;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  _ConnectionPtr cn = host->Connection();
  EXPECT_EQ(Long(cn, L"SELECT COUNT(*) FROM kd_JobLog WHERE jl_End IS NOT NULL"), kProcesses);
  for (int c = 0; c < kProcesses; ++c) {
    const std::wstring prefix = L"stanowisko " + std::to_wstring(c) + L" wiersz ";
    _RecordsetPtr rs;
    ASSERT_TRUE(SUCCEEDED(OpenRS(rs, cn, (L"SELECT jll_JobId, jll_Text FROM kd_JobLogLine WHERE jll_Text LIKE '" +
                                          prefix + L"%' ORDER BY jll_Id").c_str())));
    std::vector<std::wstring> texts;
    std::set<LONG> jobs;
    for (; !rs->GetadoEOF(); rs->MoveNext()) {
      jobs.insert(static_cast<LONG>(rs->GetFields()->GetItem(_variant_t(LONG{0}))->GetValue()));
      texts.emplace_back(static_cast<const wchar_t*>(_bstr_t(rs->GetFields()->GetItem(_variant_t(LONG{1}))->GetValue())));
    }
    EXPECT_EQ(jobs.size(), 1u) << c;
    ASSERT_EQ(texts.size(), static_cast<size_t>(kLines)) << c;
    for (int line = 0; line < kLines; ++line) EXPECT_EQ(texts[line], prefix + std::to_wstring(line));
  }
}

TEST_F(HostFixture, JobLogThatCannotBeWrittenIsReported) {
  host->Connection()->Execute(_bstr_t(L"DROP TABLE kd_JobLogLine"), nullptr, kCmdTextNoRecords);
  IHxJobLogStorePtr store;
  ASSERT_EQ(store.CreateInstance(__uuidof(HxJobLogStore)), S_OK);
  ASSERT_EQ(store->StartJob(1, 2), S_OK);
  EXPECT_EQ(store->AddString(KdNow(), _bstr_t(L"x"), 0), DB_E_NOTABLE);
  auto errors = Events(L"error");
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_NE(errors[0].find(L"Dziennik zadań: nie zapisano wpisów (1).\nSzczegóły: "), std::wstring::npos) << errors[0];
  EXPECT_EQ(store->EndJob(0, 0), S_OK);
  EXPECT_EQ(Long(host->Connection(), L"SELECT COUNT(*) FROM kd_JobLog WHERE jl_End IS NOT NULL"), 1);
}

TEST_F(HostFixture, JobLogStoreWithoutAnOpenJobRefusesLines) {
  IHxJobLogStorePtr store;
  ASSERT_EQ(store.CreateInstance(__uuidof(HxJobLogStore)), S_OK);
  EXPECT_LT(store->AddString(0, _bstr_t(L"x"), 0), 0);
  EXPECT_LT(store->EndJob(0, 0), 0);
  VARIANT_BOOL started = VARIANT_TRUE;
  store->Started(&started);
  EXPECT_EQ(started, VARIANT_FALSE);
}

TEST_F(HostFixture, AccountRightsGrantedToTheAdministrator) {
  IFlgItemPtr user = CHxObjTools::Fetch(__uuidof(HxFrameworkUser), 1, CHxObjTools::omEdit);
  IHxUserRightsPtr rights(user);
  ASSERT_TRUE(rights);
  EXPECT_EQ(rights->GrantAccount(0, -1, -1, -1, -1), E_INVALIDARG);
  ASSERT_EQ(rights->GrantAccount(5, -1, -1, -1, -1), S_OK);
  CHxObjTools::Save(user);
  _ConnectionPtr cn = host->Connection();
  EXPECT_EQ(Long(cn, L"SELECT COUNT(*) FROM kd_UserRight WHERE ur_UserId = 1"), 3);
  EXPECT_EQ(Long(cn, L"SELECT COUNT(*) FROM kd_UserRight WHERE ur_Right = 327682"), 1);  // 5 << 16 | 2
  // Granting again keeps one row per right.
  ASSERT_EQ(user->BeginEdit(), S_OK);
  rights->GrantAccount(5, -1, 0, 0, 0);
  CHxObjTools::Save(user);
  EXPECT_EQ(Long(cn, L"SELECT COUNT(*) FROM kd_UserRight WHERE ur_UserId = 1"), 3);
}

TEST_F(HostFixture, MailAddressLockedAndUnlocked) {
  host->Connection()->Execute(
      _bstr_t(L"INSERT INTO kd_EmailAddress (em_Id, em_Address, em_Name) VALUES (4, 'sklep@example.pl', 'Sklep')"),
      nullptr, kCmdTextNoRecords);
  IFlgItemPtr item = CHxObjTools::Fetch(__uuidof(HxMailAddress), 4, CHxObjTools::omReadOnly);
  IHxMailAddressPtr mail(item);
  ASSERT_TRUE(mail);
  BSTR text = nullptr;
  ASSERT_EQ(mail->GetAddress(&text), S_OK);
  EXPECT_STREQ(text, L"sklep@example.pl");
  SysFreeString(text);
  ASSERT_EQ(mail->GetAddressName(&text), S_OK);
  EXPECT_STREQ(text, L"Sklep");
  SysFreeString(text);
  VARIANT_BOOL locked = VARIANT_TRUE;
  ASSERT_EQ(mail->GetLocked(&locked), S_OK);
  EXPECT_EQ(locked, VARIANT_FALSE);

  ASSERT_EQ(item->BeginEdit(), S_OK);
  ASSERT_EQ(mail->PutLocked(VARIANT_TRUE), S_OK);
  CHxObjTools::Save(item);
  EXPECT_EQ(Long(host->Connection(), L"SELECT COUNT(*) FROM kd_EmailAddress WHERE em_Locked = 1"), 1);
  IHxMailAddressPtr fresh(CHxObjTools::Fetch(__uuidof(HxMailAddress), 4, CHxObjTools::omReadOnly));
  ASSERT_EQ(fresh->GetLocked(&locked), S_OK);
  EXPECT_EQ(locked, VARIANT_TRUE);
}

// ---------------------------------------------------------------------------------------------

constexpr GUID kProviderClass = {0x7E57AB1E, 0x0001, 0x4000, {0x80, 0, 0, 0, 0, 0, 0, 0x01}};

TEST_F(HostFixture, GenericBusinessObjectOverOneRow) {
  CFlgClassRegistration registration =
      host::RegisterItemClass({kProviderClass, L"sl_ServiceProvider", L"ss_Id", {L"ss_Name"}});
  ASSERT_EQ(registration.Result(), S_OK);
  _ConnectionPtr cn = host->Connection();

  IFlgItemPtr item = CHxObjTools::New(kProviderClass);
  IFlgDataSetPtr data(item);
  IUnknown* raw = nullptr;
  ASSERT_EQ(data->GetDataSet(0, &raw), S_OK);
  _RecordsetPtr row(raw);
  raw->Release();
  // A required column left empty fails the check, and nothing is saved.
  EXPECT_THROW(CHxObjTools::Save(item), _com_error);
  LONG errors = 0;
  item->GetErrorCount(&errors);
  EXPECT_EQ(errors, 1);
  row->GetFields()->GetItem(_variant_t(L"ss_Name"))->PutValue(_variant_t(L"Serwis O'Brien"));
  row->GetFields()->GetItem(_variant_t(L"ss_ProgId"))->PutValue(_variant_t(L"Serwis.Connector"));
  CHxObjTools::Save(item);
  const LONG id = CHxObjTools::ObjectId(IFlgDataPtr(item));
  EXPECT_GT(id, 0);
  EXPECT_EQ(Long(cn, L"SELECT COUNT(*) FROM sl_ServiceProvider WHERE ss_Name = 'Serwis O''Brien'"), 1);
  ASSERT_FALSE(Events(L"refresh").empty());

  IFlgItemPtr loaded = CHxObjTools::Fetch(kProviderClass, id, CHxObjTools::omEdit);
  IFlgDataSetPtr loadedData(loaded);
  ASSERT_EQ(loadedData->GetDataSet(0, &raw), S_OK);
  _RecordsetPtr loadedRow(raw);
  raw->Release();
  loadedRow->GetFields()->GetItem(_variant_t(L"ss_TemplateProgId"))->PutValue(_variant_t(L"Serwis.Template"));
  CHxObjTools::Save(loaded);
  std::wstring sql = L"SELECT COUNT(*) FROM sl_ServiceProvider WHERE ss_TemplateProgId = 'Serwis.Template' AND ss_Id = " +
                     std::to_wstring(id);
  EXPECT_EQ(Long(cn, sql.c_str()), 1);

  EXPECT_THROW(CHxObjTools::Fetch(kProviderClass, id + 100, CHxObjTools::omReadOnly), _com_error);
  CHxObjTools::Delete(kProviderClass, id);
  EXPECT_EQ(Long(cn, L"SELECT COUNT(*) FROM sl_ServiceProvider"), 0);
}

}  // namespace
