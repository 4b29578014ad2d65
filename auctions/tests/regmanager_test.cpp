// The account manager over the host's product database and the reference site connector: the
// list, adding with the administrator's rights, editing, deleting, activating with the account's
// e-mail address; and the caption language support of its list.
#include "testing/support/test_database.h"
#include "accounts_fixture.h"
#include "auctions/regmanager.h"
#include "auctions/regmanagerdlg.h"
#include "framework/messages.h"
#include "testing/host_doubles/host_doubles.h"
#include "platform/gui/headless.h"

namespace accounts_test {
namespace {

class RegManager : public AccountsTest {
 protected:
  void SetUp() override {
    AccountsTest::SetUp();
    manager = CreateNamed(L"Vantor.RegManager");
    ASSERT_TRUE(manager);
    platform::gui::ClearScripts();
    platform::gui::ClearRecords();
    zephra::ClearTips();
    zephra::SetTipsPrinted(false);
    host->Object().ClearEvents();
  }
  void TearDown() override {
    manager = nullptr;
    platform::gui::ClearScripts();
    AccountsTest::TearDown();
  }
  void Account(LONG id, const wchar_t* login, bool active = true, LONG email = 0, LONGLONG userId = 0) {
    CString sql;
    sql.Format(L"INSERT INTO reg__Registration (reg_Id, reg_SvcProvId, reg_Username, reg_Accesskey, reg_Active, "
               L"reg_EmailId, reg_SvcUserId) VALUES (%ld, 1, '%ls', 'x', %d, %ls, %I64d)",
               id, login, active ? 1 : 0, email ? std::to_wstring(email).c_str() : L"NULL", userId);
    Run(sql.GetString());
  }
  void Address(LONG id, const wchar_t* address, bool locked) {
    CString sql;
    sql.Format(L"INSERT INTO kd_EmailAddress (em_Id, em_Address, em_Name, em_Locked) VALUES (%ld, '%ls', 'Sklep', %d)",
               id, address, locked ? 1 : 0);
    Run(sql.GetString());
  }
  std::vector<std::wstring> Messages() {
    std::vector<std::wstring> out;
    for (const host::HostEvent& e : host->Object().Events())
      if (e.kind == L"message") out.push_back(e.text);
    return out;
  }
  _RecordsetPtr List() {
    _Recordset* raw = nullptr;
    EXPECT_EQ(manager->GetRegList(&raw), S_OK);
    return _RecordsetPtr(raw, false);
  }
  // A bit column (VT_BOOL) as a flag.
  bool Flag(const std::wstring& sql) {
    const _variant_t v = Value(sql);
    EXPECT_EQ(v.vt, VT_BOOL) << sql;
    return v.vt == VT_BOOL && v.boolVal != VARIANT_FALSE;
  }
  IHxStartCheckPtr Selection() { return IHxStartCheckPtr(host->Instance()); }

  IRegManagerPtr manager;
};

TEST_F(RegManager, TheListHasTheSevenFieldsLongLoginsAnd64BitServiceIds) {
  _RecordsetPtr empty = List();
  ASSERT_TRUE(empty);
  EXPECT_EQ(empty->GetFields()->GetCount(), 7);
  EXPECT_EQ(empty->RecordCount, 0);
  const std::wstring longLogin(60, L'a');
  Account(5, longLogin.c_str(), true, 0, 9000000000LL);
  Run(L"INSERT INTO reg__Registration (reg_Id, reg_SvcProvId, reg_Username) VALUES (6, 77, 'bez_serwisu')");
  _RecordsetPtr list = List();
  ASSERT_EQ(list->RecordCount, 2);
  list->MoveFirst();
  EXPECT_EQ(std::wstring(_bstr_t(list->GetFields()->GetItem(_variant_t(L"reg_Username"))->GetValue())), longLogin);
  const _variant_t svcUser = list->GetFields()->GetItem(_variant_t(L"reg_SvcUserId"))->GetValue();
  EXPECT_EQ(svcUser.vt, VT_I8);
  EXPECT_EQ(static_cast<LONGLONG>(svcUser), 9000000000LL);
  EXPECT_EQ(list->GetFields()->GetItem(_variant_t(L"reg_Active"))->GetValue().vt, VT_BOOL);
  // A provider without a row and a NULL service id leave their fields empty.
  list->MoveNext();
  const _variant_t service = list->GetFields()->GetItem(_variant_t(L"ss_Name"))->GetValue();
  EXPECT_TRUE(service.vt == VT_NULL || service.vt == VT_EMPTY);
  EXPECT_EQ(manager->GetRegList(nullptr), E_POINTER);
}

TEST_F(RegManager, ArgumentsOutOfRangeDoNothing) {
  EXPECT_EQ(manager->RegEdit(0, 0), E_INVALIDARG);
  EXPECT_EQ(manager->RegDelete(0, 0), S_OK);
  EXPECT_EQ(manager->RegDelete(0, -3), S_OK);
  EXPECT_EQ(manager->RegActivate(0, VARIANT_TRUE), S_OK);
  EXPECT_EQ(manager->RegActivate(-1, VARIANT_FALSE), S_OK);
  EXPECT_EQ(manager->RegAdd(0, 1, nullptr), E_POINTER);
  // Unknown accounts are errors.
  EXPECT_LT(manager->RegEdit(0, 99), 0);
  EXPECT_LT(manager->RegDelete(0, 99), 0);
  EXPECT_LT(manager->RegActivate(99, VARIANT_TRUE), 0);
  EXPECT_LT(manager->RegEditStatuses(0, 99), 0);
}

TEST_F(RegManager, AddingStoresTheAccountGrantsItAndTellsTheHostOfItsSites) {
  connector->ScriptEditAccount(VARIANT_TRUE, _bstr_t(L"nowy"), _bstr_t(L"tajne"), nullptr);
  connector->ScriptEditSites(_bstr_t(L"1=Pierwsza;2=Druga"));
  Selection()->SetSelection(3, 4);
  LONG id = -1;
  ASSERT_EQ(manager->RegAdd(0, 1, &id), S_OK);
  ASSERT_GT(id, 0);
  EXPECT_EQ(String(L"SELECT reg_Username FROM reg__Registration WHERE reg_Id=" + std::to_wstring(id)), L"nowy");
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM kd_UserRight WHERE ur_UserId=1 AND ur_Right=" + std::to_wstring((id << 16) | 1)), 1);
  // The selection is back as it was.
  LONG account = 0;
  Selection()->GetSelectedAccount(&account);
  EXPECT_EQ(account, 3);
}

TEST_F(RegManager, ACancelledDialogStoresNothing) {
  connector->ScriptEditAccount(VARIANT_FALSE, nullptr, nullptr, nullptr);
  LONG id = -1;
  EXPECT_EQ(manager->RegAdd(0, 1, &id), S_OK);
  EXPECT_EQ(id, 0);
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM reg__Registration"), 0);
}

TEST_F(RegManager, AConnectorThatCannotConnectOrIsMissingIsToldWithItsReason) {
  connector->FailSlot(8, E_ACCESSDENIED);
  LONG id = -1;
  EXPECT_EQ(manager->RegAdd(0, 1, &id), S_OK);
  EXPECT_EQ(id, 0);
  // A provider without a row: no connector.
  EXPECT_EQ(manager->RegAdd(0, 42, &id), S_OK);
  EXPECT_EQ(id, 0);
  const auto boxes = zephra::RecordedTips();
  ASSERT_EQ(boxes.size(), 2u);
  for (const auto& box : boxes) {
    EXPECT_EQ(std::wstring(box.caption), L"Dodanie konta");
    const std::wstring text(box.text);
    EXPECT_EQ(text.rfind(L"Wystąpił błąd przy próbie połączenia z serwisem aukcyjnym.\n", 0), 0u) << text;
    EXPECT_GT(text.size(), std::wstring(L"Wystąpił błąd przy próbie połączenia z serwisem aukcyjnym.\n").size());
    EXPECT_EQ(box.flags & MB_ICONMASK, static_cast<UINT>(MB_ICONERROR));
  }
  EXPECT_NE(std::wstring(boxes[1].text).find(L"dostawca 42"), std::wstring::npos);
  EXPECT_EQ(platform::gui::MessageBeeps(), (std::vector<UINT>{MB_ICONERROR, MB_ICONERROR}));
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM reg__Registration"), 0);
}

TEST_F(RegManager, ARightsGrantFailureDeletesTheNewAccountAndFails) {
  connector->ScriptEditAccount(VARIANT_TRUE, _bstr_t(L"nowy"), _bstr_t(L"tajne"), nullptr);
  connector->ScriptEditSites(_bstr_t(L"1=Pierwsza"));
  for (const std::wstring& sql : testdb::RefusingTrigger(
           L"CREATE TRIGGER refuse_rights BEFORE INSERT ON kd_UserRight BEGIN SELECT RAISE(ABORT, 'odmowa'); END"))
    Run(sql);
  LONG id = -1;
  EXPECT_EQ(manager->RegAdd(0, 1, &id), E_FAIL);
  EXPECT_EQ(id, 0);
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM reg__Registration"), 0);
  const auto messages = Messages();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0], L"Dodanie konta: Nie powiodło się nadawanie uprawnień do nowego konta użytkownikowi Szef.\n"
                         L"Być może ktoś w tej chwili poprawia dane tego użytkownika.");
}

TEST_F(RegManager, AnAccountThatCannotBeDeletedAgainKeepsItsIdAndStillFails) {
  connector->ScriptEditAccount(VARIANT_TRUE, _bstr_t(L"nowy"), _bstr_t(L"tajne"), nullptr);
  connector->ScriptEditSites(_bstr_t(L"1=Pierwsza"));
  for (const wchar_t* trigger :
       {L"CREATE TRIGGER refuse_rights BEFORE INSERT ON kd_UserRight BEGIN SELECT RAISE(ABORT, 'odmowa'); END",
        L"CREATE TRIGGER keep_accounts BEFORE DELETE ON reg__Registration BEGIN SELECT RAISE(ABORT, 'zostaje'); END"})
    for (const std::wstring& sql : testdb::RefusingTrigger(trigger)) Run(sql);
  LONG id = -1;
  EXPECT_EQ(manager->RegAdd(0, 1, &id), E_FAIL);
  EXPECT_GT(id, 0);
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM reg__Registration WHERE reg_Id=" + std::to_wstring(id)), 1);
}

TEST_F(RegManager, EditingOpensTheConnectorsDialogAndPassesOnItsFailure) {
  Account(5, L"jan");
  Account(6, L"ewa", false);
  connector->ScriptEditAccount(VARIANT_FALSE, nullptr, nullptr, nullptr);
  EXPECT_EQ(manager->RegEdit(0, 5), S_OK);   // cancelled
  EXPECT_EQ(manager->RegEdit(0, 6), S_OK);   // read only
  const auto calls = ConnectorCalls();
  EXPECT_EQ(std::count_if(calls.begin(), calls.end(), [](const std::wstring& c) { return c.rfind(L"9 ", 0) == 0; }), 2);
  connector->FailSlot(9, E_ACCESSDENIED);
  EXPECT_EQ(manager->RegEdit(0, 5), E_ACCESSDENIED);
  // The edit lock is gone again.
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM kd_blokada"), 0);
}

TEST_F(RegManager, DeletingClearsTheHostsSelectionOfThatAccountOnly) {
  Account(5, L"jan");
  Account(6, L"ewa");
  Selection()->SetSelection(6, 0);
  ASSERT_EQ(manager->RegDelete(0, 5), S_OK);
  LONG selected = 0;
  Selection()->GetSelectedAccount(&selected);
  EXPECT_EQ(selected, 6);
  ASSERT_EQ(manager->RegDelete(0, 6), S_OK);
  Selection()->GetSelectedAccount(&selected);
  EXPECT_EQ(selected, 0);
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM reg__Registration"), 0);
}

// Auctions (templates among them) and transactions keep their account: its delete is refused
// with the integrity violation and nothing goes; an account without them goes with its sites and
// the rights users held to it.
TEST_F(RegManager, AnAccountThatRecordsNameIsKeptAndOneWithoutGoesWithItsRights) {
  Account(5, L"jan");
  Account(6, L"ewa");
  Run(L"INSERT INTO st__Site (st_Id, st_SiteId, st_SvcProvId) VALUES (1, 1, 1)");
  Run(L"INSERT INTO reg_Site (rs_Id, rs_RegId, rs_SiteId) VALUES (1, 5, 1), (2, 6, 1)");
  // 5 << 16 | kind, 6 << 16 | 1, and a right of no account.
  Run(L"INSERT INTO kd_UserRight (ur_UserId, ur_Right) VALUES (1, 327681), (1, 327682), (2, 327683), (1, 393217), "
      L"(1, 100)");
  const wchar_t* const records[] = {
      L"INSERT INTO au__Auction (au_Id, au_RegId, au_Template) VALUES (1, 6, 0)",
      L"INSERT INTO au__Auction (au_Id, au_RegId, au_Template) VALUES (1, 6, 1)",
      L"INSERT INTO tr__Transaction (tr_Id, tr_RegId) VALUES (1, 6)",
  };
  for (const wchar_t* record : records) {
    Run(record);
    EXPECT_EQ(manager->RegDelete(0, 6), static_cast<HRESULT>(0x80040F1Cu)) << record;
    EXPECT_NE(TakeError().description.find(L"Naruszenie integralności danych"), std::wstring::npos) << record;
    EXPECT_EQ(Long(L"SELECT COUNT(*) FROM reg__Registration WHERE reg_Id = 6"), 1) << record;
    EXPECT_EQ(Long(L"SELECT COUNT(*) FROM reg_Site WHERE rs_RegId = 6"), 1) << record;
    EXPECT_EQ(Long(L"SELECT COUNT(*) FROM kd_UserRight WHERE ur_Right = 393217"), 1) << record;
    EXPECT_EQ(Long(L"SELECT COUNT(*) FROM kd_blokada"), 0) << record;
    Run(L"DELETE FROM au__Auction");
    Run(L"DELETE FROM tr__Transaction");
  }
  ASSERT_EQ(manager->RegDelete(0, 5), S_OK);
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM reg__Registration WHERE reg_Id = 5"), 0);
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM reg_Site"), 1);
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM kd_UserRight WHERE ur_Right IN (327681, 327682, 327683)"), 0);
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM kd_UserRight WHERE ur_Right IN (393217, 100)"), 2);
  ASSERT_EQ(manager->RegDelete(0, 6), S_OK);
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM kd_UserRight"), 1);
}

TEST_F(RegManager, ADeleteIsRefusedWhileAnotherWorkstationEditsTheAccount) {
  Account(5, L"jan");
  Run(L"INSERT INTO kd_blokada (obid, obextra, obtype, workstation, username) VALUES (5, 0, 701, 'KASA2', 'Ewa')");
  EXPECT_LT(manager->RegDelete(0, 5), 0);
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM reg__Registration"), 1);
}

TEST_F(RegManager, DeactivatingAsksAboutAnAddressOnlyItsAccountUses) {
  Address(7, L"wspolny@example.com", false);
  Address(8, L"sklep@example.com", false);
  Account(5, L"jan", true, 7);
  Account(4, L"adam", false, 7);
  Account(6, L"ewa", true, 8);
  // Shared (with an inactive account too): nothing is asked, the address stays.
  ASSERT_EQ(manager->RegActivate(5, VARIANT_FALSE), S_OK);
  EXPECT_TRUE(platform::gui::MessageBoxes().empty());
  EXPECT_EQ(Flag(L"SELECT reg_Active FROM reg__Registration WHERE reg_Id=5"), false);
  EXPECT_EQ(Flag(L"SELECT em_Locked FROM kd_EmailAddress WHERE em_Id=7"), false);
  EXPECT_EQ(Flag(L"SELECT em_Locked FROM kd_EmailAddress WHERE em_Id=8"), false);
  // The only user: asked with the address, locked on Yes; the selection of it is cleared.
  Selection()->SetSelection(6, 0);
  platform::gui::QueueMessageBoxAnswer(IDYES);
  ASSERT_EQ(manager->RegActivate(6, VARIANT_FALSE), S_OK);
  const auto boxes = platform::gui::MessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text.rfind(L"Dezaktywowane konto ma przypisany adres email sklep@example.com (Sklep).\n", 0), 0u);
  EXPECT_EQ(boxes[0].type & 0xF, static_cast<UINT>(MB_YESNO));
  EXPECT_EQ(Flag(L"SELECT em_Locked FROM kd_EmailAddress WHERE em_Id=8"), true);
  LONG selected = -1;
  Selection()->GetSelectedAccount(&selected);
  EXPECT_EQ(selected, 0);
  // Activating an account whose address is locked asks; No keeps it locked.
  platform::gui::QueueMessageBoxAnswer(IDNO);
  ASSERT_EQ(manager->RegActivate(6, VARIANT_TRUE), S_OK);
  EXPECT_EQ(platform::gui::MessageBoxes().back().text.rfind(L"Aktywowane konto ma przypisany zablokowany adres email", 0), 0u);
  EXPECT_EQ(Flag(L"SELECT em_Locked FROM kd_EmailAddress WHERE em_Id=8"), true);
  EXPECT_EQ(Flag(L"SELECT reg_Active FROM reg__Registration WHERE reg_Id=6"), true);
  // Activating with an unlocked address asks nothing.
  platform::gui::ClearRecords();
  ASSERT_EQ(manager->RegActivate(5, VARIANT_TRUE), S_OK);
  EXPECT_TRUE(platform::gui::MessageBoxes().empty());
}

TEST_F(RegManager, AFailedSaveRollsBackBothTheAddressAndTheAccount) {
  Address(7, L"sklep@example.com", false);
  Account(5, L"jan", true, 7);
  for (const std::wstring& sql : testdb::RefusingTrigger(
           L"CREATE TRIGGER no_updates BEFORE UPDATE ON reg__Registration BEGIN SELECT RAISE(ABORT, 'nie'); END"))
    Run(sql);
  platform::gui::QueueMessageBoxAnswer(IDYES);
  EXPECT_LT(manager->RegActivate(5, VARIANT_FALSE), 0);
  EXPECT_EQ(platform::gui::MessageBoxes().size(), 1u);
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM reg__Registration"), 1);
  EXPECT_EQ(Flag(L"SELECT em_Locked FROM kd_EmailAddress WHERE em_Id=7"), false);
  EXPECT_EQ(Flag(L"SELECT reg_Active FROM reg__Registration WHERE reg_Id=5"), true);
}

TEST_F(RegManager, ShowIsCreatedByItsProgIdAndRunsTheListDialog) {
  Account(5, L"jan");
  platform::gui::QueueModal(platform::gui::ModalScript(L"#101").Do([](HWND dialog) {
    HWND grid = GetDlgItem(dialog, 1024);
    wchar_t name[32] = {};
    GetClassNameW(grid, name, 32);
    EXPECT_STREQ(name, kFlgGridClass);
  }));
  EXPECT_EQ(manager->Show(0), S_OK);
  const auto runs = platform::gui::ModalRuns();
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_EQ(runs[0].dialog, L"#101");
  EXPECT_TRUE(runs[0].owner != nullptr);   // the host's main window
}

TEST_F(RegManager, ShowWithoutTheRightTellsTheUserAndShowsNothing) {
  auto recorder = std::make_shared<doubles::Recorder>();
  auto* fake = new CFlgComObject<doubles::FakeInstance>(recorder);
  IFlgInstancePtr instance(static_cast<IFlgInstance*>(fake));
  fake->lackingRights.insert(kRightAccountManager);
  CHxInstance::SetInstance(instance);
  EXPECT_EQ(manager->Show(77), E_ACCESSDENIED);
  CHxInstance::SetInstance(host->Instance());
  EXPECT_EQ(recorder->ArgsOf(L"IFlgInstance::ShowRightRefused"), (std::vector<std::wstring>{L"100"}));
  EXPECT_TRUE(platform::gui::ModalRuns().empty());
}

// --- caption language support

TEST(GridLangSupp, IdsBecomeLotrixTextsThatKeepTheirAddresses) {
  AFX_MANAGE_STATE(LotrixModule().State());
  CHxGridLangSupp support;
  FlgColumnInfo columns[2] = {
      {L"a", MAKEINTRESOURCEW(253), MAKEINTRESOURCEW(256), nullptr, L"cx=15", 10, 0},
      {L"b", L"Własny", nullptr, MAKEINTRESOURCEW(9999), nullptr, 10, 0},
  };
  const wchar_t* own = columns[1].caption;
  support.TranslateColumns(columns, 2);
  EXPECT_STREQ(columns[0].caption, L"Nazwa konta");
  EXPECT_STREQ(columns[0].shortCaption, L"A");
  EXPECT_STREQ(columns[0].cellStyle, L"cx=15");
  EXPECT_EQ(columns[1].caption, own);
  EXPECT_STREQ(columns[1].hint, L"");   // no such string
  EXPECT_EQ(columns[1].shortCaption, nullptr);
  EXPECT_EQ(support.TextCount(), 3u);
  // Again: nothing changes.
  support.TranslateColumns(columns, 2);
  EXPECT_EQ(support.TextCount(), 3u);
  // Many more texts: the first ones stay where they were.
  const wchar_t* first = columns[0].caption;
  for (int i = 0; i < 1000; ++i) {
    LPCWSTR text = MAKEINTRESOURCEW(254);
    support.TranslateText(&text);
    ASSERT_STREQ(text, L"Serwis");
  }
  EXPECT_EQ(columns[0].caption, first);
  EXPECT_STREQ(first, L"Nazwa konta");
  support.TranslateText(nullptr);
}

}  // namespace
}  // namespace accounts_test
