// The site object: its row, and its dictionaries of every kind over sites of two providers whose
// own numbers and local keys cross (site row 12 is site number 10; site row 10 is number 1).
#include "auctions/tests/accounts_fixture.h"

namespace {

using accounts_test::AccountsTest;

// The values of one column of every row, in order, as texts.
std::vector<std::wstring> Column(const _RecordsetPtr& rs, const wchar_t* name) {
  std::vector<std::wstring> out;
  if (!rs || (rs->GetBOF() && rs->GetadoEOF())) return out;
  for (rs->MoveFirst(); !rs->GetadoEOF(); rs->MoveNext()) {
    _variant_t v = rs->GetFields()->GetItem(_variant_t(name))->GetValue();
    out.push_back(v.vt == VT_NULL ? L"null" : std::wstring(static_cast<const wchar_t*>(_bstr_t(v))));
  }
  return out;
}

using Texts = std::vector<std::wstring>;

class SiteTest : public AccountsTest {
 protected:
  void SetUp() override {
    AccountsTest::SetUp();
    Run(L"INSERT INTO st__Site (st_Id, st_SiteId, st_SvcProvId, st_Currency) VALUES (10, 1, 1, 'PLN'), "
        L"(11, 1, 2, 'EUR'), (12, 10, 1, 'USD')");
    // The generic dictionaries: two entries of site 1 of provider 1 (the second by name first),
    // one of the same site number of provider 2, one of site number 10.
    struct Dictionary {
      const wchar_t* table;
      const wchar_t* prefix;
      bool expired;
    };
    for (const Dictionary& d : {Dictionary{L"st_Country", L"sc", true}, Dictionary{L"st_Region", L"sr", true},
                                Dictionary{L"st_AuctionType", L"at", false}, Dictionary{L"st_Enhancement", L"se", true},
                                Dictionary{L"st_Payment", L"sp", true}, Dictionary{L"st_Shipping", L"ss", true},
                                Dictionary{L"st_Duration", L"sd", true}}) {
      const std::wstring p = d.prefix;
      const std::wstring columns = p + L"_Id, " + p + L"_Name, " + p + L"_Code, " + p + L"_Ident, " + p +
                                   L"_SiteId, " + p + L"_SvcProvId";
      Run(L"INSERT INTO " + std::wstring(d.table) + L" (" + columns + L") VALUES (1, 'B pierwszy', 'b', 11, 1, 1), "
          L"(2, 'A drugi', 'a', 12, 1, 1), (3, 'inny dostawca', 'x', 13, 1, 2), (4, 'inny serwis', 'y', 14, 10, 1)");
    }
    // Accounts on site row 10: one active, one not; one active on site row 12.
    Run(L"INSERT INTO reg__Registration (reg_Id, reg_SvcProvId, reg_Username, reg_Active, reg_HasShop) VALUES "
        L"(1, 1, 'aktywny', 1, 1), (2, 1, 'nieaktywny', 0, 0), (3, 1, 'gdzie indziej', 1, 0)");
    Run(L"INSERT INTO reg_Site (rs_Id, rs_RegId, rs_SiteId, rs_Name) VALUES (1, 1, 10, 'a'), (2, 2, 10, 'b'), "
        L"(3, 3, 12, 'c')");
    // Categories of site row 10: a root with three children (one expired), a shop root of account
    // 1 with a child, a child of account 2 under that root, and an account's child under the root.
    // Site row 12 and the number 1 (not a site row of these) also have children of category 100.
    Run(L"INSERT INTO st_Category (cat_Id, cat_CatId, cat_Name, cat_ParentId, cat_SiteId, cat_Expired, cat_RegId) "
        L"VALUES (1, 100, 'Korzeń', 0, 10, 0, NULL), (2, 101, 'Liść', 100, 10, 0, NULL), "
        L"(3, 102, 'Wygasła', 100, 10, 1, NULL), (4, 103, 'Druga', 100, 10, 0, NULL), "
        L"(5, 200, 'Sklep', 0, 10, 0, 1), (6, 201, 'Półka', 200, 10, 0, 1), (7, 202, 'Cudza', 200, 10, 0, 2), "
        L"(8, 104, 'Sklepowa', 100, 10, 0, 1), (9, 105, 'Obca', 100, 12, 0, NULL), (10, 106, 'Pomyłka', 100, 1, 0, NULL), "
        L"(11, 300, 'Numer serwisu', 0, 1, 0, NULL)");
    Run(L"INSERT INTO st_CategorySpecific (cs_Id, cs_SvcProvId, cs_SiteId, cs_ItemId, cs_Title, cs_CatId, cs_Position) "
        L"VALUES (1, 1, 1, 500, 'Stan', 100, 2), (2, 1, 1, 501, 'Kolor', 101, 1), (3, 1, 10, 502, 'Obce', 100, 0)");
    Run(L"INSERT INTO st_CategorySpecificDict (csd_Id, csd_CatSpecId, csd_Ident, csd_Code, csd_Name, csd_Position) "
        L"VALUES (1, 1, 1, 'n', 'Nowy', 1), (2, 1, 2, 'u', 'Używany', 2), (3, 2, 1, 'c', 'Czerwony', 1)");
    site = Load(L"Vantor.CoSite", 10);
    ASSERT_TRUE(site);
  }
  void TearDown() override {
    site = nullptr;
    AccountsTest::TearDown();
  }

  _RecordsetPtr Get(LONG kind, HRESULT expected = S_OK) {
    _Recordset* raw = nullptr;
    EXPECT_EQ(site->GetSpecificData(static_cast<lotrixSpecificDataType>(kind), &raw), expected) << "kind " << kind;
    return _RecordsetPtr(raw, false);
  }
  _RecordsetPtr GetExt(LONG kind, LONG ident, HRESULT expected = S_OK) {
    _Recordset* raw = nullptr;
    EXPECT_EQ(site->GetSpecificDataExt(static_cast<lotrixSpecificDataType>(kind), ident, &raw), expected)
        << "kind " << kind;
    return _RecordsetPtr(raw, false);
  }
  _RecordsetPtr GetReg(LONG kind, LONG ident, LONG regId, HRESULT expected = S_OK) {
    _Recordset* raw = nullptr;
    EXPECT_EQ(site->GetSpecificRegDataExt(static_cast<lotrixSpecificDataType>(kind), ident, regId, &raw), expected);
    return _RecordsetPtr(raw, false);
  }
  _RecordsetPtr ForEdit(LONG kind, HRESULT expected = S_OK) {
    _Recordset* raw = nullptr;
    EXPECT_EQ(site->GetSpecificDataForEdit(static_cast<lotrixSpecificDataType>(kind), &raw), expected);
    return _RecordsetPtr(raw, false);
  }
  _RecordsetPtr ExtForEdit(LONG kind, LONG ident, HRESULT expected = S_OK) {
    _Recordset* raw = nullptr;
    EXPECT_EQ(site->GetSpecificDataExtForEdit(static_cast<lotrixSpecificDataType>(kind), ident, &raw), expected);
    return _RecordsetPtr(raw, false);
  }

  ISitePtr site;
};

TEST_F(SiteTest, GenericDictionariesAreTheSitesOwnNumberAndProvider) {
  const struct {
    LONG kind;
    const wchar_t* name;
    bool byName;
  } kinds[] = {{0, L"sc_Name", true},  {1, L"sr_Name", true},  {2, L"at_Name", true}, {3, L"se_Name", false},
               {4, L"sp_Name", false}, {5, L"ss_Name", false}, {8, L"sd_Name", false}};
  for (const auto& k : kinds) {
    SCOPED_TRACE(k.kind);
    const Texts expected = k.byName ? Texts{L"A drugi", L"B pierwszy"} : Texts{L"B pierwszy", L"A drugi"};
    EXPECT_EQ(Column(Get(k.kind), k.name), expected);
    _RecordsetPtr editable = ForEdit(k.kind);
    EXPECT_EQ(Column(editable, k.name), expected);
    // The editable form adds the provider and the site number.
    const std::wstring prefix = std::wstring(k.name).substr(0, 2);
    EXPECT_EQ(Column(editable, (prefix + L"_SvcProvId").c_str()), (Texts{L"1", L"1"}));
    EXPECT_EQ(Column(editable, (prefix + L"_SiteId").c_str()), (Texts{L"1", L"1"}));
  }
  // The same site number of another provider, and the site whose number is another row's key.
  ISitePtr other(Load(L"Vantor.CoSite", 11));
  _Recordset* raw = nullptr;
  ASSERT_EQ(other->GetSpecificData(lotrixSpecificDataCountry, &raw), S_OK);
  EXPECT_EQ(Column(_RecordsetPtr(raw, false), L"sc_Name"), Texts{L"inny dostawca"});
  ISitePtr numberTen(Load(L"Vantor.CoSite", 12));
  ASSERT_EQ(numberTen->GetSpecificData(lotrixSpecificDataShipping, &raw), S_OK);
  EXPECT_EQ(Column(_RecordsetPtr(raw, false), L"ss_Name"), Texts{L"inny serwis"});
}

TEST_F(SiteTest, AccountsCategoriesAndFormFieldsByTheLocalRowOrTheSitesNumber) {
  // The active accounts of this site row.
  EXPECT_EQ(Column(Get(lotrixSpecificDataRegistration), L"reg_Username"), Texts{L"aktywny"});
  // The categories read with the object: every category of the row, the data set itself.
  _RecordsetPtr categories = Get(lotrixSpecificDataCategory);
  EXPECT_EQ(Column(categories, L"cat_CatId").size(), 8u);
  IFlgDataSetPtr data(site);
  IUnknown* set = nullptr;
  ASSERT_EQ(data->GetDataSet(1, &set), S_OK);
  IUnknownPtr held(set, false);
  EXPECT_EQ(IUnknownPtr(categories).GetInterfacePtr(), IUnknownPtr(_RecordsetPtr(held)).GetInterfacePtr());
  // Children with the number of children the list would show: not expired, of this site row, of
  // no account (the site's) or of the same account (a shop's).
  _RecordsetPtr roots = GetExt(lotrixSpecificDataCategory, 0);
  EXPECT_EQ(Column(roots, L"cat_CatId"), Texts{L"100"});
  EXPECT_EQ(Column(roots, L"ncount"), Texts{L"2"});
  roots->MoveFirst();
  EXPECT_EQ(roots->GetFields()->GetItem(_variant_t(L"ncount"))->GetValue().vt, VT_I4);
  EXPECT_EQ(Column(GetExt(lotrixSpecificDataCategory, 100), L"cat_Name"), (Texts{L"Liść", L"Druga"}));
  EXPECT_EQ(Column(GetExt(lotrixSpecificDataCategoryParent, 101), L"cat_ParentId"), Texts{L"100"});
  _RecordsetPtr shop = GetReg(lotrixSpecificDataShopCategory, 0, 1);
  EXPECT_EQ(Column(shop, L"cat_CatId"), Texts{L"200"});
  EXPECT_EQ(Column(shop, L"ncount"), Texts{L"1"});
  EXPECT_EQ(Column(GetReg(lotrixSpecificDataShopCategory, 200, 2), L"cat_Name"), Texts{L"Cudza"});
  EXPECT_EQ(Column(GetReg(lotrixSpecificDataShopCategoryParent, 201, 1), L"cat_ParentId"), Texts{L"200"});
  EXPECT_TRUE(Column(GetReg(lotrixSpecificDataShopCategoryParent, 201, 2), L"cat_ParentId").empty());
  // Form fields of the site number and provider: all by position, a category's, an item's.
  EXPECT_EQ(Column(Get(lotrixSpecificDataCatSpecific), L"cs_Title"), (Texts{L"Kolor", L"Stan"}));
  EXPECT_EQ(Column(GetExt(lotrixSpecificDataCatSpecific, 100), L"cs_Title"), Texts{L"Stan"});
  EXPECT_EQ(Column(ExtForEdit(lotrixSpecificDataCatSpecific, 501), L"cs_Title"), Texts{L"Kolor"});
  EXPECT_TRUE(Column(ExtForEdit(lotrixSpecificDataCatSpecific, 100), L"cs_Title").empty());
  // Their dictionaries: every entry, or one field's, with the field and key for editing.
  EXPECT_EQ(Column(Get(lotrixSpecificDataCatSpecificDict), L"csd_Name"), (Texts{L"Czerwony", L"Nowy", L"Używany"}));
  EXPECT_EQ(Column(GetExt(lotrixSpecificDataCatSpecificDict, 1), L"csd_Name"), (Texts{L"Nowy", L"Używany"}));
  _RecordsetPtr entries = ExtForEdit(lotrixSpecificDataCatSpecificDict, 2);
  EXPECT_EQ(Column(entries, L"csd_CatSpecId"), Texts{L"2"});
  EXPECT_EQ(Column(entries, L"csd_Id"), Texts{L"3"});
}

TEST_F(SiteTest, ReadOnlyFormsAreKeptEditableFormsAreNewAndDetached) {
  _RecordsetPtr first = Get(lotrixSpecificDataCountry);
  first->PutFilter(_variant_t(L"sc_Code='b'"));
  first->MoveFirst();
  _RecordsetPtr second = Get(lotrixSpecificDataCountry);
  // The same recordset, with the caller's position and filter; connected.
  EXPECT_EQ(first.GetInterfacePtr(), second.GetInterfacePtr());
  EXPECT_EQ(second->GetRecordCount(), 1);
  EXPECT_EQ(second->GetActiveConnection().vt, VT_DISPATCH);
  EXPECT_EQ(second->GetLockType(), adLockReadOnly);
  // Read-only dictionaries are read once: a row added later is not seen by this object.
  Run(L"INSERT INTO st_Country (sc_Id, sc_Name, sc_Ident, sc_SiteId, sc_SvcProvId) VALUES (9, 'C nowy', 19, 1, 1)");
  second->PutFilter(_variant_t(L""));
  EXPECT_EQ(second->GetRecordCount(), 2);
  // The editable form: a new recordset on each call, detached, with the rows as they are now.
  _RecordsetPtr edit1 = ForEdit(lotrixSpecificDataCountry);
  _RecordsetPtr edit2 = ForEdit(lotrixSpecificDataCountry);
  EXPECT_NE(edit1.GetInterfacePtr(), edit2.GetInterfacePtr());
  EXPECT_EQ(edit1->GetRecordCount(), 3);
  const _variant_t detached = edit1->GetActiveConnection();
  EXPECT_TRUE(detached.vt == VT_EMPTY || detached.vt == VT_NULL || (detached.vt == VT_DISPATCH && !detached.pdispVal));
  EXPECT_EQ(edit1->GetLockType(), adLockBatchOptimistic);
  // Restricted forms are never kept.
  EXPECT_NE(GetExt(lotrixSpecificDataCategory, 0).GetInterfacePtr(), GetExt(lotrixSpecificDataCategory, 0).GetInterfacePtr());
}

TEST_F(SiteTest, UnsupportedKindsAndNullPointersGetTheirCodes) {
  for (LONG kind : {-1, 7, 12, 13, 14, 99}) Get(kind, E_NOTIMPL);
  for (LONG kind : {7, 12, 13, -5}) ForEdit(kind, E_NOTIMPL);
  for (LONG kind : {0, 8, 9, 12, 13}) GetExt(kind, 1, E_NOTIMPL);
  for (LONG kind : {6, 7, 0}) ExtForEdit(kind, 1, E_NOTIMPL);
  for (LONG kind : {0, 6, 7, 10}) GetReg(kind, 0, 1, E_NOTIMPL);
  EXPECT_EQ(site->GetSpecificData(lotrixSpecificDataCountry, nullptr), E_POINTER);
  EXPECT_EQ(site->GetSpecificDataExt(lotrixSpecificDataCategory, 0, nullptr), E_POINTER);
  EXPECT_EQ(site->GetSpecificRegDataExt(lotrixSpecificDataShopCategory, 0, 1, nullptr), E_POINTER);
  EXPECT_EQ(site->GetSpecificDataForEdit(lotrixSpecificDataCountry, nullptr), E_POINTER);
  EXPECT_EQ(site->GetSpecificDataExtForEdit(lotrixSpecificDataCatSpecific, 0, nullptr), E_POINTER);
  EXPECT_EQ(site->GetId(nullptr), E_POINTER);
  EXPECT_EQ(site->GetCurrency(nullptr), E_POINTER);
}

TEST_F(SiteTest, AFailedOpenIsReturnedAndCachesNothing) {
  Run(L"ALTER TABLE st_Payment RENAME TO st_PaymentAside");
  _Recordset* raw = nullptr;
  const HRESULT hr = site->GetSpecificData(lotrixSpecificDataPayment, &raw);
  EXPECT_EQ(hr, static_cast<HRESULT>(0x80040E37u));  // no such table
  EXPECT_EQ(raw, nullptr);
  EXPECT_FALSE(accounts_test::TakeError().description.empty());
  Run(L"ALTER TABLE st_PaymentAside RENAME TO st_Payment");
  EXPECT_EQ(Column(Get(lotrixSpecificDataPayment), L"sp_Name"), (Texts{L"B pierwszy", L"A drugi"}));
}

TEST_F(SiteTest, TheSiteRowIsReadWrittenAndSavedAsADataObject) {
  LONG id = 0, number = 0, provider = 0;
  BSTR currency = nullptr;
  ASSERT_EQ(site->GetId(&id), S_OK);
  ASSERT_EQ(site->GetSiteId(&number), S_OK);
  ASSERT_EQ(site->GetSvcProvId(&provider), S_OK);
  ASSERT_EQ(site->GetCurrency(&currency), S_OK);
  EXPECT_EQ(id, 10);
  EXPECT_EQ(number, 1);
  EXPECT_EQ(provider, 1);
  EXPECT_EQ(accounts_test::Text(currency), L"PLN");
  // A new site row, saved with its own key.
  ISitePtr created(NewObject(L"Vantor.CoSite.1"));
  ASSERT_EQ(created->PutSiteId(77), S_OK);
  ASSERT_EQ(created->PutSvcProvId(2), S_OK);
  ASSERT_EQ(created->PutCurrency(_bstr_t(L"CZK")), S_OK);
  ASSERT_EQ(IFlgItemPtr(created)->Save(), S_OK);
  ASSERT_EQ(created->GetId(&id), S_OK);
  EXPECT_GT(id, 12);
  EXPECT_EQ(String(L"SELECT st_Currency FROM st__Site WHERE st_SiteId = 77 AND st_SvcProvId = 2"), L"CZK");
  EXPECT_EQ(Long(L"SELECT st_Id FROM st__Site WHERE st_SiteId = 77"), id);
}

}  // namespace
