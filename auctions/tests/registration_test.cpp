// The account object: a new account's defaults, validation, the site list and its write-back, the
// default context, the connector's class and its account dialog, the password's stored form, the
// service user id, check and save through the extension interface, the connector's texts, the
// seller-zone properties.
#include "auctions/registration.h"
#include "auctions/tests/accounts_fixture.h"

namespace {

using accounts_test::AccountsTest;
using accounts_test::TakeError;
using accounts_test::Text;

constexpr LONGLONG kBigUserId = 9007199254740993LL;  // 2^53 + 1: no double holds it
constexpr HRESULT kNotRegistered = REGDB_E_CLASSNOTREG;

std::wstring Get(LotrixRegistration* account, HRESULT (STDMETHODCALLTYPE LotrixRegistration::*get)(BSTR*)) {
  BSTR text = nullptr;
  EXPECT_EQ((account->*get)(&text), S_OK);
  return Text(text);
}

// The site list's rows as "number=name".
std::vector<std::wstring> Sites(LotrixRegistration* account) {
  IUnknown* raw = nullptr;
  EXPECT_EQ(account->GetSubData(&raw), S_OK);
  _RecordsetPtr list(IUnknownPtr(raw, false));
  std::vector<std::wstring> out;
  if (!list || (list->GetBOF() && list->GetadoEOF())) return out;
  for (list->MoveFirst(); !list->GetadoEOF(); list->MoveNext()) {
    out.push_back(std::wstring(static_cast<const wchar_t*>(_bstr_t(list->GetFields()->GetItem(L"site_id")->GetValue()))) +
                  L"=" + static_cast<const wchar_t*>(_bstr_t(list->GetFields()->GetItem(L"site_name")->GetValue())));
  }
  return out;
}

_RecordsetPtr SiteList(LotrixRegistration* account) {
  IUnknown* raw = nullptr;
  EXPECT_EQ(account->GetSubData(&raw), S_OK);
  return _RecordsetPtr(IUnknownPtr(raw, false));
}

class AccountTest : public AccountsTest {
 protected:
  void SetUp() override {
    AccountsTest::SetUp();
    // Account 5 of provider 1 works on site rows 10 (site 1) and 11 (site 2); site number 3 of
    // provider 1 is row 12; site number 3 of provider 2 is row 13.
    Run(L"INSERT INTO st__Site (st_Id, st_SiteId, st_SvcProvId) VALUES (10, 1, 1), (11, 2, 1), (12, 3, 1), (13, 4, 2)");
    Run(L"INSERT INTO reg__Registration (reg_Id, reg_SvcProvId, reg_Username, reg_Accesskey, reg_Version, reg_Active) "
        L"VALUES (5, 1, 'jan', 'ak1:2E3B33', '0.9', 1)");
    Run(L"INSERT INTO reg_Site (rs_Id, rs_RegId, rs_SiteId, rs_Name) VALUES (21, 5, 10, 'pierwszy'), "
        L"(22, 5, 11, 'drugi')");
    Run(L"INSERT INTO kd_keys (ki_Table, ki_NextId) VALUES ('reg__Registration', 100), ('st__Site', 100), "
        L"('reg_Site', 100), ('reg_Data', 100)");
  }
  IUnknownPtr Account(LONG id = 5) { return Load(L"Vantor.CoRegistration", id); }
  IUnknownPtr EditedAccount(LONG id = 5) {
    IUnknownPtr account = Account(id);
    EXPECT_EQ(IFlgItemPtr(account)->BeginEdit(), S_OK);
    return account;
  }
  std::vector<LONG> ErrorFields(IUnknown* account) {
    LONG handle = 0;
    EXPECT_EQ(LotrixRegistrationPtr(account)->GetErrorList(&handle), S_OK);
    std::vector<LONG> fields;
    if (const CObjErrorInfoArray* errors = CCoRegistration::ErrorListOf(handle))
      for (const FLG_OBJECT_ERROR_INFO& e : *errors) fields.push_back(e.fieldId);
    return fields;
  }
};

TEST_F(AccountTest, ANewAccountIsEmptyAndActiveAndTakesItsProvider) {
  IUnknownPtr object = NewObject(L"Vantor.CoRegistration");
  LotrixRegistrationPtr account(object);
  IRegistrationPtr registration(object);
  ASSERT_TRUE(account && registration);
  ASSERT_EQ(registration->InitNew(1), S_OK);
  EXPECT_EQ(Get(account, &LotrixRegistration::GetUsername), L"");
  EXPECT_EQ(Get(account, &LotrixRegistration::GetAccesskey), L"");
  EXPECT_EQ(Get(account, &LotrixRegistration::GetDescription), L"");
  EXPECT_EQ(Get(account, &LotrixRegistration::GetVersion), L"");
  BOOL active = FALSE;
  ASSERT_EQ(account->GetActive(&active), S_OK);
  EXPECT_TRUE(active);
  LONG provider = 0;
  ASSERT_EQ(account->GetSvcProvId(&provider), S_OK);
  EXPECT_EQ(provider, 1);
  LONGLONG user = -1;
  ASSERT_EQ(account->GetSvcUserId(&user), S_OK);
  EXPECT_EQ(user, 0);
  EXPECT_EQ(account->PutSvcUserId(0), E_INVALIDARG);
  EXPECT_EQ(Get(account, &LotrixRegistration::GetServiceName), L"Serwis wzorcowy");
  EXPECT_EQ(account->PutUsername(nullptr), E_INVALIDARG);
  EXPECT_EQ(account->GetUsername(nullptr), E_POINTER);
  EXPECT_EQ(registration->GetST_StatusesServiceActive(nullptr), E_INVALIDARG);
}

TEST_F(AccountTest, ValidationCollectsBothMissingFieldsAndTheEmptySiteList) {
  IUnknownPtr object = NewObject(L"Vantor.CoRegistration");
  LotrixRegistrationPtr account(object);
  IFlgItemPtr item(object);
  EXPECT_EQ(item->Check(), E_FAIL);
  EXPECT_EQ(ErrorFields(object), (std::vector<LONG>{5001, 5002}));
  BSTR text = nullptr;
  ASSERT_EQ(item->GetErrorText(0, &text), S_OK);
  EXPECT_EQ(Text(text), L"Należy podać nazwę użytkownika zarejestrowanego na serwisie aukcyjnym");
  ASSERT_EQ(item->GetErrorText(1, &text), S_OK);
  EXPECT_EQ(Text(text), L"Należy podać hasło użytkownika serwisu aukcyjnego");
  // Valid tells the errors of its own check only.
  ASSERT_EQ(account->PutAccesskey(_bstr_t(L"hasło")), S_OK);
  VARIANT_BOOL valid = VARIANT_TRUE;
  ASSERT_EQ(account->GetValid(&valid), S_OK);
  EXPECT_EQ(valid, VARIANT_FALSE);
  EXPECT_EQ(ErrorFields(object), (std::vector<LONG>{5001}));
  // A site list never asked for: nothing to write, S_FALSE.
  ASSERT_EQ(account->PutUsername(_bstr_t(L"nowy")), S_OK);
  EXPECT_EQ(item->Check(), S_FALSE);
  // Asked for and left empty: 1006 at once.
  EXPECT_TRUE(Sites(account).empty());
  EXPECT_EQ(item->Check(), E_FAIL);
  EXPECT_EQ(ErrorFields(object), (std::vector<LONG>{5001, 1006}));
  ASSERT_EQ(account->GetValid(&valid), S_OK);
  EXPECT_EQ(ErrorFields(object), (std::vector<LONG>{1006}));
  EXPECT_EQ(CCoRegistration::ErrorListOf(-5), nullptr);
}

TEST_F(AccountTest, TheSiteListIsWrittenBackAtEveryValidation) {
  IUnknownPtr object = EditedAccount();
  LotrixRegistrationPtr account(object);
  EXPECT_EQ(Sites(account), (std::vector<std::wstring>{L"1=pierwszy", L"2=drugi"}));
  _RecordsetPtr list = SiteList(account);
  // The list is one recordset, handed out again as it is.
  EXPECT_EQ(list.GetInterfacePtr(), SiteList(account).GetInterfacePtr());
  // Site 2 goes, site 1 is renamed, site 3 (row 12 of this provider) and site 4 (known only for
  // provider 2) come.
  list->PutFilter(_variant_t(L"site_id=2"));
  list->Delete(adAffectCurrent);
  list->PutFilter(_variant_t(L"site_id=1"));
  list->GetFields()->GetItem(L"site_name")->PutValue(_variant_t(L"główny"));
  list->PutFilter(_variant_t(L""));
  for (LONG number : {3, 4}) {
    list->AddNew();
    list->GetFields()->GetItem(L"site_id")->PutValue(_variant_t(number));
    list->GetFields()->GetItem(L"site_name")->PutValue(_variant_t(number == 3 ? L"trzeci" : L"czwarty"));
    list->Update();
  }
  IFlgItemPtr item(object);
  ASSERT_EQ(item->Check(), S_OK);
  // The account's sites are all seen afterwards (no filter left on them).
  IUnknown* raw = nullptr;
  ASSERT_EQ(IFlgDataSetPtr(object)->GetDataSet(2, &raw), S_OK);
  _RecordsetPtr sites(IUnknownPtr(raw, false));
  EXPECT_EQ(sites->GetRecordCount(), 3);
  // The new site number got a site row of the account's provider before the save.
  const LONG created = Long(L"SELECT st_Id FROM st__Site WHERE st_SiteId = 4 AND st_SvcProvId = 1");
  EXPECT_GT(created, 13);
  ASSERT_EQ(item->Save(), S_OK);
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM reg_Site WHERE rs_RegId = 5"), 3);
  EXPECT_EQ(String(L"SELECT rs_Name FROM reg_Site WHERE rs_RegId = 5 AND rs_SiteId = 10"), L"główny");
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM reg_Site WHERE rs_SiteId = 11"), 0);
  EXPECT_EQ(String(L"SELECT rs_Name FROM reg_Site WHERE rs_RegId = 5 AND rs_SiteId = 12"), L"trzeci");
  EXPECT_EQ(Long(L"SELECT rs_SiteId FROM reg_Site WHERE rs_RegId = 5 AND rs_Name = 'czwarty'"), created);
  // A second validation with nothing changed writes nothing new.
  ASSERT_EQ(item->BeginEdit(), S_OK);
  ASSERT_EQ(item->Check(), S_OK);
  ASSERT_EQ(item->Save(), S_OK);
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM reg_Site WHERE rs_RegId = 5"), 3);
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM st__Site"), 5);
  // Read again, the account lists what was saved.
  EXPECT_EQ(Sites(LotrixRegistrationPtr(Account())),
            (std::vector<std::wstring>{L"1=główny", L"3=trzeci", L"4=czwarty"}));
}

TEST_F(AccountTest, AnAccountWhoseSiteListWasNeverAskedForSavesWithoutTouchingItsSites) {
  IUnknownPtr object = EditedAccount();
  ASSERT_EQ(LotrixRegistrationPtr(object)->PutDescription(_bstr_t(L"opis")), S_OK);
  ASSERT_EQ(IFlgItemPtr(object)->Check(), S_FALSE);
  ASSERT_EQ(IFlgItemPtr(object)->Save(), S_OK);
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM reg_Site WHERE rs_RegId = 5"), 2);
  EXPECT_EQ(String(L"SELECT reg_Description FROM reg__Registration WHERE reg_Id = 5"), L"opis");
}

TEST_F(AccountTest, TheDefaultContextIsTheAccountAndItsFirstSite) {
  IRegistrationPtr registration(Account());
  LONG regId = 0, regSiteId = 0;
  ASSERT_EQ(registration->GetDefaultCtx(&regId, &regSiteId), S_OK);
  EXPECT_EQ(regId, 5);
  EXPECT_EQ(regSiteId, 21);
  EXPECT_EQ(registration->GetDefaultCtx(nullptr, &regSiteId), E_POINTER);
  EXPECT_EQ(registration->GetDefaultCtx(&regId, nullptr), E_POINTER);
  Run(L"INSERT INTO reg__Registration (reg_Id, reg_SvcProvId, reg_Username) VALUES (6, 1, 'bez serwisów')");
  IRegistrationPtr bare(Account(6));
  regId = 0;
  regSiteId = -7;
  EXPECT_EQ(bare->GetDefaultCtx(&regId, &regSiteId), E_FAIL);
  EXPECT_EQ(regId, 6);
  EXPECT_EQ(regSiteId, -7);
}

TEST_F(AccountTest, TheConnectorsClassComesFromTheProvidersProgId) {
  IRegistrationPtr registration(Account());
  GUID clsid = GUID_NULL;
  ASSERT_EQ(registration->GetConnectorClsid(&clsid), S_OK);
  EXPECT_EQ(clsid, CLSID_ReferenceConnector);
  EXPECT_EQ(registration->GetConnectorClsid(nullptr), E_INVALIDARG);
  // A provider without a row, and one whose ProgID is not registered.
  Run(L"UPDATE reg__Registration SET reg_SvcProvId = 9 WHERE reg_Id = 5");
  EXPECT_EQ(IRegistrationPtr(Account())->GetConnectorClsid(&clsid), E_FAIL);
  EXPECT_NE(TakeError().description.find(L"dostawca 9"), std::wstring::npos);
  Run(L"INSERT INTO sl_ServiceProvider (ss_Id, ss_Name, ss_ProgId) VALUES (9, 'Bez łącznika', 'Nikt.Nie.Zarejestrowal')");
  const HRESULT hr = IRegistrationPtr(Account())->GetConnectorClsid(&clsid);
  EXPECT_TRUE(FAILED(hr));
  GUID expected = GUID_NULL;
  EXPECT_EQ(hr, CLSIDFromProgID(L"Nikt.Nie.Zarejestrowal", &expected));
}

TEST_F(AccountTest, ThePasswordIsStoredInTheConvertersFormAndReadBackAsTyped) {
  IUnknownPtr object = EditedAccount();
  LotrixRegistrationPtr account(object);
  EXPECT_EQ(Get(account, &LotrixRegistration::GetAccesskey), L"tai");  // the stored 'ak1:2E3B33'
  ASSERT_EQ(account->PutAccesskey(_bstr_t(L"Tajne hasło")), S_OK);
  EXPECT_EQ(Get(account, &LotrixRegistration::GetAccesskey), L"Tajne hasło");
  ASSERT_EQ(IFlgItemPtr(object)->Save(), S_OK);
  const std::wstring stored = String(L"SELECT reg_Accesskey FROM reg__Registration WHERE reg_Id = 5");
  EXPECT_EQ(stored.rfind(L"ak1:", 0), 0u);
  EXPECT_EQ(stored.find(L"Tajne"), std::wstring::npos);
  EXPECT_EQ(Get(LotrixRegistrationPtr(Account()), &LotrixRegistration::GetAccesskey), L"Tajne hasło");
  EXPECT_EQ(account->PutAccesskey(nullptr), E_INVALIDARG);
  // A failing conversion is returned with the converter's text, and the stored form stays.
  ASSERT_EQ(converter->FailConversions(E_ACCESSDENIED), S_OK);
  EXPECT_EQ(account->PutAccesskey(_bstr_t(L"inne")), E_ACCESSDENIED);
  EXPECT_EQ(TakeError().description, L"Konwerter hasła zawiódł.");
  ASSERT_EQ(converter->FailConversions(S_OK), S_OK);
  EXPECT_EQ(Get(account, &LotrixRegistration::GetAccesskey), L"Tajne hasło");
  // A stored text that is not the converter's form cannot be read back.
  Run(L"UPDATE reg__Registration SET reg_Accesskey = 'jawne' WHERE reg_Id = 5");
  BSTR text = nullptr;
  EXPECT_EQ(LotrixRegistrationPtr(Account())->GetAccesskey(&text), E_INVALIDARG);
  EXPECT_EQ(text, nullptr);
}

TEST_F(AccountTest, TheConverterIsNeededToCreateTheAccountOrAtItsFirstUse) {
  // A converter class that refuses its interface: the account is created, the converter is
  // asked for again when the password is first used.
  ASSERT_EQ(converter->RefuseInterface(TRUE), S_OK);
  LotrixRegistrationPtr account(Account());
  ASSERT_TRUE(account);
  BSTR text = nullptr;
  EXPECT_EQ(account->GetAccesskey(&text), E_NOINTERFACE);
  ASSERT_EQ(converter->RefuseInterface(FALSE), S_OK);
  EXPECT_EQ(Get(account, &LotrixRegistration::GetAccesskey), L"tai");
  // Without the converter registered no account can be created.
  ASSERT_EQ(platform::com::UnregisterServerLibrary(accounts_test::Library(VANTOR_ACCESS_KEY_LIBRARY)), S_OK);
  IUnknown* raw = nullptr;
  EXPECT_EQ(CoCreateInstance(CLSID_CoRegistration, nullptr, CLSCTX_ALL, __uuidof(IUnknown),
                             reinterpret_cast<void**>(&raw)),
            kNotRegistered);
  EXPECT_EQ(raw, nullptr);
}

TEST_F(AccountTest, AServiceUserIdAbove2To53SurvivesSaveAndReload) {
  IUnknownPtr object = EditedAccount();
  ASSERT_EQ(LotrixRegistrationPtr(object)->PutSvcUserId(kBigUserId), S_OK);
  ASSERT_EQ(IFlgItemPtr(object)->Save(), S_OK);
  const _variant_t stored = Value(L"SELECT reg_SvcUserId FROM reg__Registration WHERE reg_Id = 5");
  ASSERT_EQ(stored.vt, VT_I8);
  EXPECT_EQ(stored.llVal, kBigUserId);
  LONGLONG read = 0;
  ASSERT_EQ(LotrixRegistrationPtr(Account())->GetSvcUserId(&read), S_OK);
  EXPECT_EQ(read, kBigUserId);
  // A stored decimal gives its 64 bits.
  IUnknown* raw = nullptr;
  ASSERT_EQ(IFlgDataSetPtr(object)->GetDataSet(0, &raw), S_OK);
  _RecordsetPtr(IUnknownPtr(raw, false))->GetFields()->GetItem(L"reg_SvcUserId")->PutValue(_variant_t(LONG{77}));
  ASSERT_EQ(LotrixRegistrationPtr(object)->GetSvcUserId(&read), S_OK);
  EXPECT_EQ(read, 77);
}

TEST_F(AccountTest, ValidAndSaveThroughTheExtensionInterface) {
  IUnknownPtr object = EditedAccount();
  LotrixRegistrationPtr account(object);
  ASSERT_EQ(account->PutUsername(_bstr_t(L"")), S_OK);
  VARIANT_BOOL valid = VARIANT_TRUE;
  ASSERT_EQ(account->GetValid(&valid), S_OK);
  EXPECT_EQ(valid, VARIANT_FALSE);
  EXPECT_EQ(ErrorFields(object), std::vector<LONG>{5001});
  ASSERT_EQ(account->PutUsername(_bstr_t(L"anna")), S_OK);
  ASSERT_EQ(account->GetValid(&valid), S_OK);
  EXPECT_EQ(valid, VARIANT_TRUE);
  EXPECT_TRUE(ErrorFields(object).empty());
  ASSERT_EQ(account->Save(), S_OK);
  EXPECT_EQ(String(L"SELECT reg_Username FROM reg__Registration WHERE reg_Id = 5"), L"anna");
  // A save the database refuses: its text, as this interface's error.
  IUnknown* raw = nullptr;
  ASSERT_EQ(IFlgItemPtr(object)->BeginEdit(), S_OK);
  ASSERT_EQ(IFlgDataSetPtr(object)->GetDataSet(0, &raw), S_OK);
  _variant_t null;
  null.vt = VT_NULL;
  _RecordsetPtr(IUnknownPtr(raw, false))->GetFields()->GetItem(L"reg_Username")->PutValue(null);
  const HRESULT hr = account->Save();
  EXPECT_TRUE(FAILED(hr));
  const accounts_test::ErrorInfo error = TakeError();
  EXPECT_EQ(error.iid, __uuidof(LotrixRegistration));
  EXPECT_NE(error.description.find(L"zapisu"), std::wstring::npos) << error.description;
  EXPECT_EQ(String(L"SELECT reg_Username FROM reg__Registration WHERE reg_Id = 5"), L"anna");
  // A read account is not saved.
  LotrixRegistrationPtr read(Account());
  EXPECT_EQ(read->Save(), E_FAIL);
}

TEST_F(AccountTest, TheAccountsTextsAreAskedFromItsConnector) {
  IUnknownPtr object = EditedAccount();
  LotrixRegistrationPtr account(object);
  ASSERT_EQ(account->PutSvcUserId(kBigUserId), S_OK);
  EXPECT_EQ(Get(account, &LotrixRegistration::GetConnectorValue), L"9007199254740993@1");
  EXPECT_EQ(Get(account, &LotrixRegistration::GetMyAuctionsUrl),
            L"https://aukcje.wzorzec.example/uzytkownik/9007199254740993/aukcje?serwis=1");
  EXPECT_EQ(Get(account, &LotrixRegistration::GetMyPageUrl),
            L"https://aukcje.wzorzec.example/uzytkownik/9007199254740993?serwis=1");
  EXPECT_EQ(ConnectorCalls(), (std::vector<std::wstring>{L"16 GetConnectorValue 9007199254740993 1",
                                                         L"17 GetMyAuctionsUrl 9007199254740993 1",
                                                         L"18 GetMyPageUrl 9007199254740993 1"}));
  // The connector's failures come back with its text.
  BSTR text = nullptr;
  for (LONG slot : {16, 17, 18}) {
    ASSERT_EQ(connector->FailSlot(slot, E_UNEXPECTED), S_OK);
    EXPECT_EQ(slot == 16 ? account->GetConnectorValue(&text) : slot == 17 ? account->GetMyAuctionsUrl(&text)
                                                                           : account->GetMyPageUrl(&text),
              E_UNEXPECTED);
    EXPECT_NE(TakeError().description.find(L"Łącznik wzorcowy"), std::wstring::npos);
    EXPECT_EQ(text, nullptr);
  }
  EXPECT_EQ(account->GetMyPageUrl(nullptr), E_POINTER);
  // A provider whose connector is not registered, and one whose class is not a connector.
  Run(L"INSERT INTO sl_ServiceProvider (ss_Id, ss_Name, ss_ProgId) VALUES (8, 'Bez łącznika', 'Nikt.Nie.Zarejestrowal'), "
      L"(7, 'Nie łącznik', 'Reference.AccessKey')");
  Run(L"UPDATE reg__Registration SET reg_SvcProvId = 8 WHERE reg_Id = 5");
  EXPECT_TRUE(FAILED(LotrixRegistrationPtr(Account())->GetConnectorValue(&text)));
  Run(L"UPDATE reg__Registration SET reg_SvcProvId = 7 WHERE reg_Id = 5");
  EXPECT_EQ(LotrixRegistrationPtr(Account())->GetMyAuctionsUrl(&text), E_POINTER);
}

TEST_F(AccountTest, TheSellerZonePathReadsAndWritesItsPropertiesAndTheLastSynchronisation) {
  // Fetched read-only: the properties are read, a change is never saved.
  IUnknownPtr read = Account();
  IRegistrationPtr zone(read);
  BOOL active = TRUE;
  ASSERT_EQ(zone->GetST_StatusesServiceActive(&active), S_OK);
  EXPECT_FALSE(active);
  _variant_t emergency(39083.0, VT_DATE);  // 1 January 2007 00:00:00
  emergency.vt = VT_R8;                    // as the seller-zone library writes it
  ASSERT_EQ(zone->PutST_LastSynch(emergency), S_OK);
  EXPECT_EQ(IFlgItemPtr(read)->Save(), E_FAIL);
  EXPECT_EQ(Value(L"SELECT reg_ST_LastSynch FROM reg__Registration WHERE reg_Id = 5").vt, VT_NULL);
  // In edit: stored, and read back as that date exactly.
  IRegistrationPtr edited(EditedAccount());
  ASSERT_EQ(edited->PutST_LastSynch(emergency), S_OK);
  ASSERT_EQ(edited->PutST_StatusesServiceActive(TRUE), S_OK);
  ASSERT_EQ(edited->PutST_ShowDeliveryAddressForm(TRUE), S_OK);
  ASSERT_EQ(edited->PutST_WWW(_bstr_t(L"https://sklep.example")), S_OK);
  ASSERT_EQ(IFlgItemPtr(edited)->Save(), S_OK);
  IRegistrationPtr again(Account());
  _variant_t synch;
  ASSERT_EQ(again->GetST_LastSynch(&synch), S_OK);
  ASSERT_EQ(synch.vt, VT_DATE);
  EXPECT_EQ(synch.date, 39083.0);
  EXPECT_EQ(String(L"SELECT CONVERT(varchar(19), reg_ST_LastSynch, 120) FROM reg__Registration WHERE reg_Id = 5"),
            L"2007-01-01 00:00:00");
  ASSERT_EQ(again->GetST_StatusesServiceActive(&active), S_OK);
  EXPECT_TRUE(active);
  ASSERT_EQ(again->GetST_ShowDocumentAddressForm(&active), S_OK);
  EXPECT_FALSE(active);
  BSTR www = nullptr;
  ASSERT_EQ(again->GetST_WWW(&www), S_OK);
  EXPECT_EQ(Text(www), L"https://sklep.example");
  EXPECT_EQ(again->GetST_LastSynch(nullptr), E_INVALIDARG);
  // The settings dialog needs the framework instance.
  EXPECT_EQ(again->StatusesOptionsEdit(nullptr, nullptr), E_INVALIDARG);
}

// The connector's account dialog, as the data object's show operation opens it.
class AccountDialogTest : public AccountTest {
 protected:
  HRESULT Show(IUnknown* object) { return IFlgItemViewPtr(object)->Show(nullptr, IFlgInstancePtr(host->Instance())); }
};

TEST_F(AccountDialogTest, ANewAccountIsDescribedEditedValidatedAndSavedByTheConnector) {
  ASSERT_EQ(connector->SetVersion(_bstr_t(L"2.5")), S_OK);
  ASSERT_EQ(connector->ScriptEditAccount(VARIANT_TRUE, _bstr_t(L"nowy"), _bstr_t(L"sekret"), _bstr_t(L"Witaj")), S_OK);
  ASSERT_EQ(connector->ScriptEditSites(_bstr_t(L"1=pierwszy;3=trzeci")), S_OK);
  IUnknownPtr object = NewObject(L"Vantor.CoRegistration");
  ASSERT_EQ(IRegistrationPtr(object)->InitNew(1), S_OK);
  ASSERT_EQ(Show(object), S_OK);
  EXPECT_EQ(ConnectorCalls(), (std::vector<std::wstring>{L"7 DescribeConnector", L"9 EditAccount"}));
  BSTR info = nullptr;
  ASSERT_EQ(IRegistrationPtr(object)->GetInfo(&info), S_OK);
  EXPECT_EQ(Text(info), L"Witaj");
  const LONG id = Long(L"SELECT reg_Id FROM reg__Registration WHERE reg_Username = 'nowy'");
  ASSERT_GT(id, 0);
  EXPECT_EQ(String(L"SELECT reg_Version FROM reg__Registration WHERE reg_Id = " + std::to_wstring(id)), L"2.5");
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM reg_Site WHERE rs_RegId = " + std::to_wstring(id)), 2);
  EXPECT_EQ(Get(LotrixRegistrationPtr(Account(id)), &LotrixRegistration::GetAccesskey), L"sekret");
}

TEST_F(AccountDialogTest, AnExistingAccountKeepsItsVersionAndACancelStoresNothing) {
  ASSERT_EQ(connector->ScriptEditAccount(VARIANT_TRUE, _bstr_t(L"zmieniony"), nullptr, nullptr), S_OK);
  IUnknownPtr object = Account();
  ASSERT_EQ(Show(object), S_OK);
  EXPECT_EQ(ConnectorCalls(), std::vector<std::wstring>{L"9 EditAccount"});
  EXPECT_EQ(String(L"SELECT reg_Version FROM reg__Registration WHERE reg_Id = 5"), L"0.9");
  EXPECT_EQ(String(L"SELECT reg_Username FROM reg__Registration WHERE reg_Id = 5"), L"zmieniony");
  BSTR info = nullptr;
  ASSERT_EQ(IRegistrationPtr(object)->GetInfo(&info), S_OK);
  EXPECT_EQ(Text(info), L"Konto zostało zapisane.");
  // Cancelled: nothing is stored, and the edit lock is gone.
  ASSERT_EQ(connector->ScriptEditAccount(VARIANT_FALSE, _bstr_t(L"porzucony"), nullptr, nullptr), S_OK);
  EXPECT_EQ(Show(object), S_FALSE);
  EXPECT_EQ(String(L"SELECT reg_Username FROM reg__Registration WHERE reg_Id = 5"), L"zmieniony");
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM kd_blokada"), 0);
  // An account the connector finds invalid is not saved; its first error is told.
  ASSERT_EQ(connector->ScriptEditAccount(VARIANT_TRUE, _bstr_t(L""), nullptr, nullptr), S_OK);
  EXPECT_EQ(Show(object), S_FALSE);
  ASSERT_EQ(IRegistrationPtr(object)->GetInfo(&info), S_OK);
  EXPECT_EQ(Text(info), L"Konto nie zostało zapisane: Należy podać nazwę użytkownika zarejestrowanego na serwisie "
                        L"aukcyjnym");
}

// The dialog refuses a login or a password that its column would cut (the site knows no cut login,
// and a cut password never converts back), naming the column and its size; nothing is stored. The
// account's putters still cut, as every text written into a fixed-size field is cut.
TEST_F(AccountDialogTest, ALoginOrPasswordItsColumnWouldCutIsRefusedAndNothingIsStored) {
  struct Case {
    std::wstring login, password;  // empty: left as it is
    std::wstring told;             // empty: saved
  };
  const std::wstring refused = L"Konto nie zostało zapisane: ";
  const Case cases[] = {
      {std::wstring(101, L'ł'), L"", refused + L"Login ma 101 znaków, a pole reg_Username mieści 100."},
      {L"", std::wstring(126, L'p'),
       refused + L"Hasło (126 znaków) w postaci zapisywanej przez konwerter nie mieści się w polu reg_Accesskey (255 "
                 L"znaków)."},
      // Two bytes each in the converter's form.
      {L"", std::wstring(63, L'ż'),
       refused + L"Hasło (63 znaków) w postaci zapisywanej przez konwerter nie mieści się w polu reg_Accesskey (255 "
                 L"znaków)."},
      {std::wstring(100, L'ł'), std::wstring(125, L'p'), L""},
  };
  for (const Case& c : cases) {
    const std::wstring before = String(L"SELECT reg_Username FROM reg__Registration WHERE reg_Id = 5") + L"|" +
                                String(L"SELECT reg_Accesskey FROM reg__Registration WHERE reg_Id = 5");
    ASSERT_EQ(connector->ScriptEditAccount(VARIANT_TRUE, c.login.empty() ? _bstr_t() : _bstr_t(c.login.c_str()),
                                           c.password.empty() ? _bstr_t() : _bstr_t(c.password.c_str()), nullptr),
              S_OK);
    IUnknownPtr object = Account();
    EXPECT_EQ(Show(object), c.told.empty() ? S_OK : S_FALSE) << c.told;
    BSTR info = nullptr;
    ASSERT_EQ(IRegistrationPtr(object)->GetInfo(&info), S_OK);
    EXPECT_EQ(Text(info), c.told.empty() ? L"Konto zostało zapisane." : c.told);
    BSTR left = nullptr;
    ASSERT_EQ(connector->GetDialogInfo(&left), S_OK);
    EXPECT_EQ(Text(left), c.told.empty() ? L"Konto zostało zapisane." : c.told);
    EXPECT_EQ(Long(L"SELECT COUNT(*) FROM kd_blokada"), 0);
    if (!c.told.empty()) {
      EXPECT_EQ(String(L"SELECT reg_Username FROM reg__Registration WHERE reg_Id = 5") + L"|" +
                    String(L"SELECT reg_Accesskey FROM reg__Registration WHERE reg_Id = 5"),
                before);
    }
  }
  EXPECT_EQ(String(L"SELECT reg_Username FROM reg__Registration WHERE reg_Id = 5"), std::wstring(100, L'ł'));
  EXPECT_EQ(Get(LotrixRegistrationPtr(Account()), &LotrixRegistration::GetAccesskey), std::wstring(125, L'p'));
  // A new account with a login too long is not stored at all.
  ASSERT_EQ(connector->ScriptEditAccount(VARIANT_TRUE, _bstr_t(std::wstring(150, L'a').c_str()), _bstr_t(L"x"), nullptr),
            S_OK);
  ASSERT_EQ(connector->ScriptEditSites(_bstr_t(L"1=pierwszy")), S_OK);
  IUnknownPtr fresh = NewObject(L"Vantor.CoRegistration");
  ASSERT_EQ(IRegistrationPtr(fresh)->InitNew(1), S_OK);
  EXPECT_EQ(Show(fresh), S_FALSE);
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM reg__Registration"), 1);
  // The account's own putter cuts.
  LotrixRegistrationPtr account(NewObject(L"Vantor.CoRegistration"));
  ASSERT_EQ(IRegistrationPtr(account)->InitNew(1), S_OK);
  ASSERT_EQ(account->PutUsername(_bstr_t(std::wstring(150, L'a').c_str())), S_OK);
  EXPECT_EQ(Get(account, &LotrixRegistration::GetUsername), std::wstring(100, L'a'));
}

TEST_F(AccountDialogTest, TheConnectorsFailuresEndTheDialog) {
  // The dialog operation itself: a provider without a row, a class that is no connector.
  auto dialogFailure = [&] {
    IUnknownPtr object = Account();
    auto* account = static_cast<CCoRegistration*>(IRegistrationPtr(object).GetInterfacePtr());
    try {
      account->ShowEditDialog(nullptr);
    } catch (const _com_error& e) {
      return e.Error();
    }
    return S_OK;
  };
  Run(L"INSERT INTO sl_ServiceProvider (ss_Id, ss_Name, ss_ProgId) VALUES (7, 'Nie łącznik', 'Reference.AccessKey')");
  Run(L"UPDATE reg__Registration SET reg_SvcProvId = 9 WHERE reg_Id = 5");
  EXPECT_EQ(dialogFailure(), E_FAIL);
  Run(L"UPDATE reg__Registration SET reg_SvcProvId = 7 WHERE reg_Id = 5");
  EXPECT_EQ(dialogFailure(), E_POINTER);
  Run(L"UPDATE reg__Registration SET reg_SvcProvId = 1 WHERE reg_Id = 5");
  EXPECT_TRUE(ConnectorCalls().empty());
  // A failing account dialog or description: the show fails, nothing is stored, no lock stays.
  ASSERT_EQ(connector->FailSlot(9, E_ABORT), S_OK);
  ASSERT_EQ(connector->ScriptEditAccount(VARIANT_TRUE, _bstr_t(L"x"), nullptr, nullptr), S_OK);
  EXPECT_TRUE(FAILED(Show(Account())));
  EXPECT_EQ(String(L"SELECT reg_Username FROM reg__Registration WHERE reg_Id = 5"), L"jan");
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM kd_blokada"), 0);
  ASSERT_EQ(connector->FailSlot(9, S_OK), S_OK);
  ASSERT_EQ(connector->FailSlot(7, E_ABORT), S_OK);
  IUnknownPtr object = NewObject(L"Vantor.CoRegistration");
  ASSERT_EQ(IRegistrationPtr(object)->InitNew(1), S_OK);
  EXPECT_TRUE(FAILED(Show(object)));
  EXPECT_EQ(ConnectorCalls().back(), L"7 DescribeConnector");
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM reg__Registration"), 1);
}

}  // namespace
