// The parameter job of the synchronisation manager on a product database against the reference
// site connector: version checks (checked today, force, missing and null versions, sites that
// already wait, shared sites, sessions per account, the demonstration account), updates (what each version brings, a failing dictionary kind and the form version,
// sites updated again by the same manager, the refused lock, a site that cannot be saved,
// cancelling) and the accounts' own data (shop categories, an account whose shop is gone,
// inactive accounts, the step text of a failed account).
#include <string>
#include <vector>

#include "testing/support/test_database.h"
#include "auctions/tests/accounts_fixture.h"
#include "platform/strings/oledatetime.h"
#include "platform/threads/clock.h"
#include "testing/plans/plans.h"

namespace {

using accounts_test::AccountsTest;

constexpr LONG kParamsSubtype = 7;

// The reference site's parameters: site number 1 with two categories, a dictionary per kind and
// one form field with two values; the shop account "sklep" with a shop category of its own.
const char kSiteData[] = R"({
  "sites": [{"number": 1, "name": "Wzorcowo", "currency": "PLN"}],
  "versions": {"categories": "k1", "attributes": "a1", "form": "f1"},
  "categories": [
    {"id": 1, "name": "Dom", "parent_id": 0, "position": 1},
    {"id": 2, "name": "Ogród", "parent_id": 1, "position": 1}
  ],
  "dictionaries": {
    "0": [{"ident": 3, "name": "3 dni", "code": "3"}, {"ident": 7, "name": "7 dni", "code": "7"}],
    "1": [{"ident": 1, "name": "Pogrubienie", "code": "B"}],
    "2": [{"ident": 1, "name": "Przelew", "code": "P"}],
    "3": [{"ident": 12, "name": "Mazowieckie", "code": "MZ"}],
    "4": [{"ident": 1, "name": "Kurier", "code": "K"}],
    "5": [{"ident": 1, "name": "Polska", "code": "PL"}]
  },
  "category_fields": [
    {"id": 500, "cat_id": 2, "title": "Stan", "input_type": 1, "data_type": 1, "required": true,
     "position": 1, "values": [{"ident": 1, "code": "N", "name": "Nowy", "position": 1},
                               {"ident": 2, "code": "U", "name": "Używany", "position": 2}]}
  ],
  "accounts": [
    {"login": "sklep", "shop_version": "s1",
     "shop_categories": [{"id": 9001, "name": "Moje", "parent_id": 0, "position": 1}]},
    {"login": "zamkniety", "shop": false}
  ]
})";

// The data set with one text replaced.
std::string Replaced(std::string data, const std::string& from, const std::string& to) {
  const std::size_t at = data.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  if (at != std::string::npos) data.replace(at, from.size(), to);
  return data;
}

class ParamsUpdateTest : public AccountsTest {
 protected:
  void SetUp() override {
    AccountsTest::SetUp();
    platform::clock::SetTime(1733740800);  // 2024-12-09 10:40 UTC
    // Site row 10 is the reference site number 1; the shop account works on it.
    Run(L"INSERT INTO st__Site (st_Id, st_SiteId, st_SvcProvId, st_Name) VALUES (10, 1, 1, 'Aukcje wzorcowe')");
    AddAccount(1, L"sklep", true, true);
    AddSite(1, 1, 10);
    SetData(kSiteData);
    manager = Create(CLSID_CoAuctServMgr);
    ASSERT_TRUE(manager);
  }
  void TearDown() override {
    manager = nullptr;
    platform::clock::UseRealTime();
    AccountsTest::TearDown();
  }

  void AddAccount(LONG id, const wchar_t* login, bool active, bool shop) {
    Run(L"INSERT INTO reg__Registration (reg_Id, reg_SvcProvId, reg_Username, reg_Accesskey, reg_Active, reg_HasShop) "
        L"VALUES (" + std::to_wstring(id) + L", 1, '" + login + L"', 'x', " + (active ? L"1" : L"0") + L", " +
        (shop ? L"1" : L"0") + L")");
  }
  void AddSite(LONG rsId, LONG account, LONG site) {
    Run(L"INSERT INTO reg_Site (rs_Id, rs_RegId, rs_SiteId) VALUES (" + std::to_wstring(rsId) + L", " +
        std::to_wstring(account) + L", " + std::to_wstring(site) + L")");
  }
  void SetData(const std::string& json) { ASSERT_EQ(connector->SetSiteData(_bstr_t(json.c_str())), S_OK); }
  // The calls of the connector and its sessions whose slot and member are `call` ("18 GetParamVersions").
  int CallsOf(const std::wstring& call) {
    int n = 0;
    for (const std::wstring& c : ConnectorCalls()) {
      const std::wstring bare = c.rfind(L"session ", 0) == 0 ? c.substr(c.find(L' ', 8) + 1) : c;
      if (bare.rfind(call, 0) == 0) ++n;
    }
    return n;
  }
  void SetVersions(const wchar_t* categories, const wchar_t* attributes, const wchar_t* form) {
    Run(std::wstring(L"UPDATE st__Site SET st_CategoriesVersion = ") + Quoted(categories) +
        L", st_AttributesVersion = " + Quoted(attributes) + L", st_FormVersion = " + Quoted(form) +
        L", st_UpdateNeeded = 0 WHERE st_Id = 10");
  }
  static std::wstring Quoted(const wchar_t* text) { return text ? L"'" + std::wstring(text) + L"'" : L"NULL"; }

  HRESULT Check(bool force = false) { return IAuctServMgrPtr(manager)->ReceiveParams(TRUE, force ? TRUE : FALSE); }
  HRESULT Update() { return IAuctServMgrPtr(manager)->ReceiveParams(FALSE, FALSE); }

  // The lines of the last parameter job, "status:text".
  std::vector<std::wstring> Lines() {
    std::vector<std::wstring> out;
    const LONG job = Long(L"SELECT MAX(jl_Id) FROM kd_JobLog WHERE jl_Subtype = " + std::to_wstring(kParamsSubtype));
    _RecordsetPtr rs = cn->Execute(
        _bstr_t((L"SELECT jll_Status, jll_Text FROM kd_JobLogLine WHERE jll_JobId = " + std::to_wstring(job) +
                 L" ORDER BY jll_Id").c_str()),
        nullptr, adCmdText);
    for (; !rs->GetadoEOF(); rs->MoveNext()) {
      const _variant_t text = rs->Fields->Item[1L]->Value;
      out.push_back(std::to_wstring(static_cast<LONG>(rs->Fields->Item[0L]->Value)) + L":" +
                    (text.vt == VT_BSTR ? std::wstring(text.bstrVal) : std::wstring()));
    }
    return out;
  }
  LONG JobCount() {
    return Long(L"SELECT jl_Count FROM kd_JobLog WHERE jl_Id = (SELECT MAX(jl_Id) FROM kd_JobLog WHERE jl_Subtype = " +
                std::to_wstring(kParamsSubtype) + L")");
  }
  bool HasLine(const std::wstring& line) {
    for (const std::wstring& l : Lines())
      if (l == line) return true;
    return false;
  }
  bool HasLineStarting(const std::wstring& start) {
    for (const std::wstring& l : Lines())
      if (l.rfind(start, 0) == 0) return true;
    return false;
  }
  LONG UpdateNeeded() { return Long(L"SELECT CASE WHEN st_UpdateNeeded = 1 THEN 1 ELSE 0 END FROM st__Site WHERE st_Id = 10"); }
  LONG HasShop(LONG account) {
    return Long(L"SELECT CASE WHEN reg_HasShop = 1 THEN 1 ELSE 0 END FROM reg__Registration WHERE reg_Id = " +
                std::to_wstring(account));
  }
  std::wstring SiteText(const wchar_t* column) {
    return String(std::wstring(L"SELECT ") + column + L" FROM st__Site WHERE st_Id = 10");
  }

  IUnknownPtr manager;
};

// ---------------------------------------------------------------------------------------------
// Version checks

TEST_F(ParamsUpdateTest, MissingStoredVersionMarksTheSiteWithoutAskingTheConnector) {
  SetVersions(L"k1", L"", L"f1");
  ASSERT_EQ(Check(), S_OK);
  EXPECT_EQ(UpdateNeeded(), 1);
  EXPECT_EQ(CallsOf(L"18 "), 0);
  EXPECT_EQ(JobCount(), 1);
  const std::vector<std::wstring> lines = Lines();
  ASSERT_GE(lines.size(), 3u);
  EXPECT_TRUE(HasLine(L"0:Rozpoczęto sprawdzanie wersji parametrów w serwisach."));
  EXPECT_TRUE(HasLine(L"0:Sprawdzenie wersji parametrów na serwisie Aukcje wzorcowe"));
  EXPECT_TRUE(HasLine(L"0:Zakończono sprawdzanie wersji parametrów."));
  // Checked now, by the platform's clock.
  EXPECT_NEAR(static_cast<double>(static_cast<_variant_t>(Value(L"SELECT st_Checked FROM st__Site WHERE st_Id = 10"))
                                      .date),
              COleDateTime::GetCurrentTime().m_dt, 1.0 / 86400);
}

TEST_F(ParamsUpdateTest, VersionsAreComparedAsTheyComeAndAMissingOneIsNotCompared) {
  SetVersions(L"k1", L"a1", L"f1");
  ASSERT_EQ(Check(), S_OK);
  EXPECT_EQ(UpdateNeeded(), 0);
  EXPECT_EQ(CallsOf(L"18 "), 1);
  EXPECT_EQ(JobCount(), 0);

  // Versions compare case-sensitively.
  SetVersions(L"k1", L"A1", L"f1");
  ASSERT_EQ(Check(true), S_OK);
  EXPECT_EQ(UpdateNeeded(), 1);
  EXPECT_EQ(JobCount(), 1);

  // A version the connector does not name never makes the site wait.
  std::string data = kSiteData;
  data = Replaced(data, R"("attributes": "a1")", R"("attributes": null)");
  SetData(data);
  SetVersions(L"k1", L"zzz", L"f1");
  ASSERT_EQ(Check(true), S_OK);
  EXPECT_EQ(UpdateNeeded(), 0);
}

TEST_F(ParamsUpdateTest, ASiteCheckedTodayIsSkippedUnlessForced) {
  SetVersions(L"k1", L"a1", L"f1");
  ASSERT_EQ(Check(), S_OK);
  EXPECT_EQ(CallsOf(L"18 "), 1);
  platform::clock::SetTime(1733740800 + 3600);
  ASSERT_EQ(Check(), S_OK);
  EXPECT_EQ(CallsOf(L"18 "), 1);
  EXPECT_FALSE(HasLineStarting(L"0:Sprawdzenie wersji"));
  ASSERT_EQ(Check(true), S_OK);
  EXPECT_EQ(CallsOf(L"18 "), 2);
  // The next day it is checked again.
  platform::clock::SetTime(1733740800 + 86400);
  ASSERT_EQ(Check(), S_OK);
  EXPECT_EQ(CallsOf(L"18 "), 3);
}

TEST_F(ParamsUpdateTest, AWaitingSiteIsCountedPerRowAndACheckedOneOncePerCall) {
  AddAccount(2, L"drugi", true, false);
  AddSite(2, 2, 10);
  // Waiting: counted for each of its rows, the connector never asked.
  Run(L"UPDATE st__Site SET st_UpdateNeeded = 1 WHERE st_Id = 10");
  ASSERT_EQ(Check(), S_OK);
  EXPECT_EQ(JobCount(), 2);
  EXPECT_EQ(CallsOf(L"18 "), 0);
  // Checked: once in the call, whatever the number of its rows; and again in the next call.
  SetVersions(L"k1", L"a1", L"f0");
  ASSERT_EQ(Check(), S_OK);
  EXPECT_EQ(CallsOf(L"18 "), 1);
  EXPECT_EQ(JobCount(), 1);
}

TEST_F(ParamsUpdateTest, TheDemonstrationAccountIsSkippedWithAMessage) {
  Run(L"UPDATE reg__Registration SET reg_Username = 'KD_Demo' WHERE reg_Id = 1");
  SetVersions(L"k1", L"a1", L"f1");
  ASSERT_EQ(Check(), S_OK);
  EXPECT_TRUE(HasLine(L"0:Konto kd_demo jest pomijane przy synchronizacji parametrów."));
  EXPECT_EQ(CallsOf(L"13 "), 0);
  EXPECT_EQ(Value(L"SELECT st_Checked FROM st__Site WHERE st_Id = 10").vt, VT_NULL);
}

TEST_F(ParamsUpdateTest, AnAccountWithoutSitesGivesNoRow) {
  AddAccount(2, L"bezstron", true, false);
  SetVersions(L"k1", L"a1", L"f1");
  ASSERT_EQ(Check(), S_OK);
  EXPECT_EQ(CallsOf(L"13 "), 1);  // the shop account's session only
  EXPECT_FALSE(HasLineStarting(L"2:"));
}

TEST_F(ParamsUpdateTest, RowsOfOneAccountShareItsSessionAndAnotherAccountOpensItsOwn) {
  Run(L"INSERT INTO st__Site (st_Id, st_SiteId, st_SvcProvId, st_Name) VALUES (11, 2, 1, 'Aukcje drugie')");
  AddSite(2, 1, 11);
  Run(L"INSERT INTO st__Site (st_Id, st_SiteId, st_SvcProvId, st_Name) VALUES (12, 3, 1, 'Aukcje trzecie')");
  AddAccount(2, L"drugi", true, false);
  AddSite(3, 2, 11);
  AddSite(4, 2, 12);
  Run(L"UPDATE st__Site SET st_CategoriesVersion = 'k1', st_AttributesVersion = 'a1', st_FormVersion = 'f1'");
  ASSERT_EQ(Check(true), S_OK);
  // Account 1 on sites 10 and 11 (one session, a site each); account 2 on site 11, already
  // checked in this call, and on site 12 (a session of its own).
  EXPECT_EQ(CallsOf(L"13 OpenSession"), 2);
  EXPECT_EQ(CallsOf(L"39 SetSync"), 2);
  EXPECT_EQ(CallsOf(L"12 SetRegSite"), 3);
  EXPECT_EQ(CallsOf(L"18 GetParamVersions"), 3);
  // Sites 2 and 3 answer the document's versions, as stored.
  EXPECT_EQ(Long(L"SELECT CASE WHEN st_UpdateNeeded = 1 THEN 1 ELSE 0 END FROM st__Site WHERE st_Id = 11"), 0);
}

// ---------------------------------------------------------------------------------------------
// Updates

TEST_F(ParamsUpdateTest, AnEmptyViewEndsAtOnce) {
  Run(L"UPDATE reg__Registration SET reg_Active = 0");
  ASSERT_EQ(Update(), S_OK);
  EXPECT_EQ(Lines(), (std::vector<std::wstring>{L"0:Rozpoczęto odbieranie parametrów",
                                                L"0:Rozpoczęto aktualizację wersji parametrów.",
                                                L"0:Parametry wszystkich serwisów są aktualne.",
                                                L"0:Zakończono aktualizację parametrów.",
                                                L"0:Zakończono: odbieranie parametrów"}));
  EXPECT_EQ(JobCount(), 0);
}

TEST_F(ParamsUpdateTest, TheFirstUpdateStoresEverythingAndTheNextOnlyTheShopCategories) {
  ASSERT_EQ(Update(), S_OK);
  EXPECT_EQ(JobCount(), 1);
  EXPECT_TRUE(HasLine(L"0:Aktualizacja parametrów z serwisu Aukcje wzorcowe"));
  EXPECT_TRUE(HasLine(L"0:Aukcje wzorcowe - zakończono pobieranie i aktualizowanie kategorii"));
  EXPECT_TRUE(HasLine(L"0:Aukcje wzorcowe - zakończono pobieranie i aktualizowanie słowników formularza"));
  EXPECT_TRUE(HasLine(L"0:Aukcje wzorcowe - zakończono pobieranie i aktualizowanie atrybutów"));
  for (const std::wstring& line : Lines()) EXPECT_NE(line.substr(0, 2), L"2:") << line;
  EXPECT_EQ(SiteText(L"st_CategoriesVersion"), L"k1");
  EXPECT_EQ(SiteText(L"st_FormVersion"), L"f1");
  EXPECT_EQ(SiteText(L"st_AttributesVersion"), L"a1");
  EXPECT_EQ(SiteText(L"st_Currency"), L"PLN");
  EXPECT_EQ(UpdateNeeded(), 0);
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM st_Category WHERE cat_RegId IS NULL"), 2);
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM st_Category WHERE cat_RegId = 1 AND cat_CatId = 9001"), 1);
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM st_Duration"), 2);
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM st_Country"), 1);
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM st_CategorySpecific"), 1);
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM st_CategorySpecificDict"), 2);
  EXPECT_EQ(CallsOf(L"12 FixAccount"), 1);  // the account fixed
  // The same manager again: the site's parameters are current, only the shop is refreshed.
  const int categoriesBefore = CallsOf(L"24 "), shopBefore = CallsOf(L"25 ");
  ASSERT_EQ(Update(), S_OK);
  EXPECT_FALSE(HasLineStarting(L"0:Aktualizacja parametrów z serwisu"));
  EXPECT_TRUE(HasLine(L"0:Zakończono aktualizację parametrów."));
  EXPECT_EQ(CallsOf(L"24 "), categoriesBefore);
  EXPECT_EQ(CallsOf(L"25 "), shopBefore + 1);
  EXPECT_EQ(CallsOf(L"12 FixAccount"), 1);  // no fix with the shops only
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM st_Category"), 3);
  EXPECT_EQ(JobCount(), 0);
}

TEST_F(ParamsUpdateTest, TheRepositorysReferenceSiteIsStoredOnceAndThenOnlyItsShopsAreRefreshed) {
  ASSERT_EQ(connector->LoadSiteData(_bstr_t(VANTOR_REFERENCE_SITE_DATA)), S_OK);
  Run(L"UPDATE reg__Registration SET reg_Username = 'sklep_wzorcowy' WHERE reg_Id = 1");
  AddAccount(2, L"bez_sklepu", true, true);
  AddSite(2, 2, 10);
  ASSERT_EQ(Update(), S_OK);
  for (const std::wstring& line : Lines()) EXPECT_NE(line.substr(0, 2), L"2:") << line;
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM st_Category WHERE cat_RegId IS NULL"), 7);
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM st_Category WHERE cat_RegId = 1"), 3);
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM st_Category WHERE cat_Leaf = 1 AND cat_RegId IS NULL"), 4);
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM st_CategorySpecific"), 2);
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM st_Shipping"), 2);
  EXPECT_EQ(SiteText(L"st_CategoriesVersion"), L"kategorie-2026.12");
  EXPECT_EQ(HasShop(2), 0);
  EXPECT_EQ(HasShop(1), 1);
  const LONG categories = Long(L"SELECT COUNT(*) FROM st_Category");
  ASSERT_EQ(Update(), S_OK);
  EXPECT_FALSE(HasLineStarting(L"0:Aktualizacja parametrów z serwisu"));
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM st_Category"), categories);
}

TEST_F(ParamsUpdateTest, EveryLookupOfAnUpdateSearchesAnIndexInsteadOfReadingTheHistory) {
  ASSERT_EQ(connector->LoadSiteData(_bstr_t(VANTOR_REFERENCE_SITE_DATA)), S_OK);
  testplans::StatementLog log(cn);
  ASSERT_EQ(Update(), S_OK);
  Run(L"UPDATE st__Site SET st_UpdateNeeded = 1");
  ASSERT_EQ(Update(), S_OK);
  EXPECT_GT(log.Statements().size(), 10u);
  EXPECT_EQ(log.FullReads(), std::vector<std::string>{});
}

TEST_F(ParamsUpdateTest, OnlyTheKindsWhoseVersionsChangedAreDownloaded) {
  ASSERT_EQ(Update(), S_OK);
  std::string data = kSiteData;
  // The site's own versions stand for the document's.
  data = Replaced(data, R"("currency": "PLN"})",
                  R"("currency": "PLN", "versions": {"categories": "k1", "attributes": "a1", "form": "f2"}})");
  SetData(data);
  Run(L"UPDATE st__Site SET st_UpdateNeeded = 1 WHERE st_Id = 10");
  manager = Create(CLSID_CoAuctServMgr);
  const int categories = CallsOf(L"24 "), kinds = CallsOf(L"20 "), attributes = CallsOf(L"19 ");
  ASSERT_EQ(Update(), S_OK);
  EXPECT_EQ(CallsOf(L"24 "), categories);
  EXPECT_EQ(CallsOf(L"19 "), attributes);
  EXPECT_EQ(CallsOf(L"20 "), kinds + 6);
  EXPECT_EQ(SiteText(L"st_FormVersion"), L"f2");
  EXPECT_EQ(UpdateNeeded(), 0);
}

TEST_F(ParamsUpdateTest, ANullVersionFromTheConnectorNeverDownloadsItsKind) {
  std::string data = kSiteData;
  data = Replaced(data, R"("categories": "k1")", R"("categories": null)");
  SetData(data);
  ASSERT_EQ(Update(), S_OK);
  EXPECT_EQ(CallsOf(L"24 "), 0);
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM st_Category WHERE cat_RegId IS NULL"), 0);
  EXPECT_EQ(SiteText(L"st_FormVersion"), L"f1");
}

TEST_F(ParamsUpdateTest, AFailingKindLeavesTheOthersStoredAndTheFormVersionUnwritten) {
  std::string data = kSiteData;
  data = Replaced(data, R"({"ident": 12, "name": "Mazowieckie")", R"({"ident": 12, "nazwa": "Mazowieckie")");
  SetData(data);
  ASSERT_EQ(Update(), S_OK);
  EXPECT_TRUE(HasLine(L"2:W trakcie ostatniej operacji wystąpił błąd\r\nŁącznik wzorcowy: nieznane pole nazwa"));
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM st_Region"), 0);
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM st_Country"), 1);
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM st_Duration"), 2);
  // The form waits for the next update: its version is not taken as stored.
  EXPECT_EQ(Value(L"SELECT st_FormVersion FROM st__Site WHERE st_Id = 10").vt, VT_NULL);
  EXPECT_EQ(SiteText(L"st_CategoriesVersion"), L"k1");
  EXPECT_EQ(UpdateNeeded(), 1);
  EXPECT_EQ(JobCount(), 1);
  // Mended in the data, the next update takes the form again and marks the site current.
  SetData(kSiteData);
  manager = Create(CLSID_CoAuctServMgr);
  ASSERT_EQ(Update(), S_OK);
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM st_Region"), 1);
  EXPECT_EQ(SiteText(L"st_FormVersion"), L"f1");
  EXPECT_EQ(UpdateNeeded(), 0);
}

TEST_F(ParamsUpdateTest, BadDeliveriesAreLoggedAndLeaveTheSiteWaiting) {
  std::string data = kSiteData;
  // A category delivered twice, and a field title longer than its container field.
  data = Replaced(data, R"({"id": 2, "name": "Ogród")", R"({"id": 1, "name": "Ogród")");
  data = Replaced(data, R"("title": "Stan")", "\"title\": \"" + std::string(60, 'x') + "\"");
  SetData(data);
  ASSERT_EQ(Update(), S_OK);
  EXPECT_TRUE(HasLine(L"2:Ostatnia operacja nie powiodła się.\r\nDane serwisu zawierają kategorię 1 więcej niż raz."));
  int failures = 0;
  for (const std::wstring& line : Lines())
    if (line.rfind(L"2:", 0) == 0) ++failures;
  EXPECT_EQ(failures, 1);  // the categories only
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM st_Category WHERE cat_RegId IS NULL"), 0);
  EXPECT_EQ(Value(L"SELECT st_CategoriesVersion FROM st__Site WHERE st_Id = 10").vt, VT_NULL);
  // The title comes cut to its container field.
  EXPECT_EQ(String(L"SELECT cs_Title FROM st_CategorySpecific"), std::wstring(50, L'x'));
  EXPECT_EQ(SiteText(L"st_AttributesVersion"), L"a1");
  // The dictionaries came through, and the site waits for the rest.
  EXPECT_EQ(SiteText(L"st_FormVersion"), L"f1");
  EXPECT_EQ(UpdateNeeded(), 1);
}

TEST_F(ParamsUpdateTest, ARefusedLockEndsTheLogsWithNoCount) {
  Run(L"UPDATE st__Site SET st_UpdateNeeded = 1 WHERE st_Id = 10");
  ASSERT_EQ(Check(), S_OK);
  EXPECT_EQ(JobCount(), 1);
  Run(L"INSERT INTO kd_blokada (obid, obextra, obtype, workstation, username) VALUES (10, 0, 726, 'INNA', 'Ktoś')");
  ASSERT_EQ(Check(), S_OK);
  EXPECT_EQ(JobCount(), 0);
  EXPECT_TRUE(HasLineStarting(L"1:Aktualnie trwa synchronizacja z serwisem aukcyjnym na innej stacji roboczej."));
  EXPECT_FALSE(HasLine(L"0:Rozpoczęto sprawdzanie wersji parametrów w serwisach."));
}

TEST_F(ParamsUpdateTest, ASiteThatCannotBeSavedIsReportedAndNotCounted) {
  for (const std::wstring& sql : testdb::RefusingTrigger(
           L"CREATE TRIGGER no_site_update BEFORE UPDATE ON st__Site BEGIN SELECT RAISE(ABORT, 'zablokowane'); END"))
    Run(sql);
  ASSERT_EQ(Update(), S_OK);
  EXPECT_TRUE(HasLineStarting(L"2:Ostatnia operacja nie powiodła się.\r\n"));
  EXPECT_EQ(JobCount(), 0);
  EXPECT_EQ(Value(L"SELECT st_CategoriesVersion FROM st__Site WHERE st_Id = 10").vt, VT_NULL);
}

TEST_F(ParamsUpdateTest, CancellingEndsTheJobWithoutItsClosingLine) {
  host->Object().RequestCancel();
  ASSERT_EQ(Update(), S_OK);
  host->Object().ClearCancel();
  EXPECT_FALSE(HasLine(L"0:Zakończono aktualizację parametrów."));
  EXPECT_EQ(CallsOf(L"18 "), 0);
}

// ---------------------------------------------------------------------------------------------
// The accounts' own data

TEST_F(ParamsUpdateTest, AnAccountWhoseShopIsGoneLosesItsShopFlag) {
  AddAccount(2, L"zamkniety", true, true);
  AddSite(2, 2, 10);
  ASSERT_EQ(Update(), S_OK);
  EXPECT_EQ(HasShop(2), 0);
  EXPECT_EQ(HasShop(1), 1);
  EXPECT_EQ(CallsOf(L"29 "), 1);
}

TEST_F(ParamsUpdateTest, AFailureTheConnectorConfirmsLeavesTheShopFlag) {
  ASSERT_EQ(connector->FailSessionSlot(25, E_FAIL, nullptr), S_OK);
  ASSERT_EQ(Update(), S_OK);
  EXPECT_EQ(HasShop(1), 1);
  EXPECT_TRUE(HasLineStarting(L"2:Ostatnia operacja nie powiodła się.\r\n"));
  // The site itself is updated.
  EXPECT_EQ(JobCount(), 1);
  EXPECT_EQ(UpdateNeeded(), 0);
}

TEST_F(ParamsUpdateTest, InactiveAndDemonstrationAccountsAreLeftAlone) {
  AddAccount(2, L"uspione", false, true);
  AddSite(2, 2, 10);
  AddAccount(3, L"KD_DEMO", true, true);
  AddSite(3, 3, 10);
  ASSERT_EQ(Update(), S_OK);
  // Only the shop account is fixed and given its shop categories; kd_demo silently here.
  EXPECT_EQ(CallsOf(L"12 FixAccount"), 1);
  EXPECT_EQ(CallsOf(L"25 "), 1);
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM st_Category WHERE cat_RegId IN (2, 3)"), 0);
}

TEST_F(ParamsUpdateTest, AFailedAccountStepIsLoggedWithItsTextAndTheWalkGoesOn) {
  AddAccount(2, L"drugi", true, false);
  AddSite(2, 2, 10);
  ASSERT_EQ(connector->FailSlot(12, E_FAIL), S_OK);
  ASSERT_EQ(Update(), S_OK);
  int failed = 0;
  for (const std::wstring& line : Lines())
    if (line.rfind(L"2:W trakcie aktualizacji parametrów specyficznych dla konta w serwisie wystąpił błąd. "
                   L"\nNie udało się poprawić konta ",
                   0) == 0)
      ++failed;
  EXPECT_EQ(failed, 2);
  EXPECT_TRUE(HasLineStarting(L"2:W trakcie aktualizacji parametrów specyficznych dla konta w serwisie wystąpił błąd. "
                              L"\nNie udało się poprawić konta sklepŁącznik wzorcowy: wywołanie 12 (FixAccount) zawiodło."));
  // The site is still updated in full.
  EXPECT_EQ(JobCount(), 1);
}

}  // namespace
