// The site parameter store on a product database through the site object: categories of the
// site and of a shop account (expiry, revival, the leaf rule, progress lines), form fields with
// their dictionary values (deleted with their field, fresh ids from the reservation), generic
// dictionaries (composed ids), refused containers and cancelling.
#include <tuple>

#include "auctions/sync/containers.h"
#include "auctions/sync/paramstore.h"
#include "auctions/tests/accounts_fixture.h"

namespace {

using accounts_test::AccountsTest;

using lotrix::CreateCategoriesContainer;
using lotrix::CreateCatSpecificContainer;
using lotrix::CreateFieldDictContainer;

// Adds a row of (field, value) pairs; a VT_EMPTY value leaves the field NULL.
void Add(const _RecordsetPtr& rs, std::initializer_list<std::pair<const wchar_t*, _variant_t>> values) {
  rs->AddNew();
  for (const auto& [name, v] : values)
    if (v.vt != VT_EMPTY) rs->Fields->Item[name]->Value = v;
  rs->Update();
}

void AddCategory(const _RecordsetPtr& rs, LONG id, const wchar_t* name, LONG parent, _variant_t leaf = _variant_t(),
                 bool expired = false) {
  Add(rs, {{L"id", _variant_t(id)},
           {L"name", _variant_t(name)},
           {L"parent_id", _variant_t(parent)},
           {L"position", _variant_t(id)},
           {L"expired", _variant_t(expired)},
           {L"leaf", leaf}});
}

HRESULT Raised(const std::function<void()>& work, std::wstring* description = nullptr) {
  try {
    work();
    return S_OK;
  } catch (const _com_error& e) {
    if (description) *description = e.Description().length() ? static_cast<const wchar_t*>(e.Description()) : L"";
    return e.Error();
  }
}

class ParamStoreTest : public AccountsTest {
 protected:
  void SetUp() override {
    AccountsTest::SetUp();
    // Site row 10 is site number 1 of provider 2; an account with a shop works on it.
    Run(L"INSERT INTO st__Site (st_Id, st_SiteId, st_SvcProvId, st_Name, st_Currency) VALUES (10, 1, 2, 'Serwis', 'PLN')");
    Run(L"INSERT INTO reg__Registration (reg_Id, reg_SvcProvId, reg_Username, reg_Active, reg_HasShop) VALUES "
        L"(1, 2, 'sklep', 1, 1)");
    Run(L"INSERT INTO reg_Site (rs_Id, rs_RegId, rs_SiteId) VALUES (1, 1, 10)");
  }
  void TearDown() override {
    site = nullptr;
    AccountsTest::TearDown();
  }
  // The site object, loaded anew and put in edit mode.
  IUnknownPtr Site() {
    site = Load(L"Vantor.CoSite", 10);
    IFlgItemPtr item(site);
    EXPECT_EQ(item->BeginEdit(), S_OK);
    return site;
  }
  void Save() {
    IFlgItemPtr item(site);
    EXPECT_EQ(item->Save(), S_OK);
    site = nullptr;
  }
  std::vector<std::wstring> Lines() {
    std::vector<std::wstring> out;
    for (const host::HostEvent& e : host->Object().Events())
      if (e.kind == L"line") out.push_back(e.text);
    return out;
  }
  // "catid:name:parent:expired:leaf" of the categories of `where`, by cat_CatId.
  std::vector<std::wstring> CategoryRows(const std::wstring& where) {
    std::vector<std::wstring> out;
    _RecordsetPtr rs = cn->Execute(_bstr_t((L"SELECT cat_CatId, cat_Name, cat_ParentId, cat_Expired, cat_Leaf "
                                            L"FROM st_Category WHERE " + where + L" ORDER BY cat_CatId").c_str()),
                                   nullptr, adCmdText);
    for (; !rs->GetadoEOF(); rs->MoveNext()) {
      std::wstring row;
      for (LONG i = 0; i < 5; ++i) {
        _variant_t v = rs->Fields->Item[i]->Value;
        if (i) row += L":";
        row += v.vt == VT_NULL ? L"null" : v.vt == VT_BOOL ? (v.boolVal ? L"1" : L"0") : std::wstring(_bstr_t(v));
      }
      out.push_back(row);
    }
    return out;
  }
  IUnknownPtr site;
};

using Rows = std::vector<std::wstring>;

}  // namespace

TEST_F(ParamStoreTest, SiteCategoriesExpireReviveAndGetTheirLeafAndShopCategoriesStayTheirOwn) {
  // Stored: a root with a child; an expired category; one the service dropped; a shop category of
  // the account whose number is also a site category's.
  Run(L"INSERT INTO st_Category (cat_Id, cat_CatId, cat_Name, cat_ParentId, cat_SiteId, cat_Expired, cat_Leaf, cat_RegId) "
      L"VALUES (1, 100, 'Stara nazwa', 0, 10, 0, 0, NULL), (2, 101, 'Dziecko', 100, 10, 0, 1, NULL), "
      L"(3, 102, 'Wróciła', 0, 10, 1, 1, NULL), (4, 103, 'Znikła', 0, 10, 0, 1, NULL), "
      L"(5, 104, 'Półka sklepu', 0, 10, 0, 1, 1)");
  _RecordsetPtr c = CreateCategoriesContainer();
  AddCategory(c, 100, L"Korzeń", 0);        // renamed; leaf computed: it has a child
  AddCategory(c, 101, L"Dziecko", 100);     // leaf computed: no child
  AddCategory(c, 102, L"Wróciła", 0, _variant_t(true));
  AddCategory(c, 104, L"Nowa", 101);         // a site category with the shop category's number
  lotrix::CategoryProgress unnamed;
  lotrix::StoreCategories(Site(), c, &unnamed, 0);
  Save();
  EXPECT_EQ(CategoryRows(L"cat_RegId IS NULL"),
            (Rows{L"100:Korzeń:0:0:0", L"101:Dziecko:100:0:0", L"102:Wróciła:0:0:1", L"103:Znikła:0:1:1",
                  L"104:Nowa:101:0:1"}));
  EXPECT_EQ(CategoryRows(L"cat_RegId = 1"), (Rows{L"104:Półka sklepu:0:0:1"}));  // untouched by the site's merge
  // Every delivered row was matched or added: the container marks the matched ones.
  c->Filter = L"cat_id=NULL";
  EXPECT_EQ(c->RecordCount, 1);
  EXPECT_EQ(Lines(), Rows{});  // no site name, no progress

  // The account's own categories: only its rows change, new ones carry its id.
  _RecordsetPtr shop = CreateCategoriesContainer();
  AddCategory(shop, 105, L"Druga półka", 0);
  lotrix::StoreCategories(Site(), shop, nullptr, 1);
  Save();
  EXPECT_EQ(CategoryRows(L"cat_RegId = 1"), (Rows{L"104:Półka sklepu:0:1:1", L"105:Druga półka:0:0:1"}));
  EXPECT_EQ(CategoryRows(L"cat_RegId IS NULL").size(), 5u);
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM st_Category WHERE cat_Expired = 1 AND cat_RegId IS NULL"), 1);
}

TEST_F(ParamStoreTest, ProgressLinesRiseByTenAndAlwaysShowTheEnd) {
  _RecordsetPtr c = CreateCategoriesContainer();
  for (LONG i = 1; i <= 40; ++i) AddCategory(c, i, L"k", 0);
  lotrix::CategoryProgress progress{L"Serwis"};
  lotrix::StoreCategories(Site(), c, &progress, 0);
  // 40 new rows of 40: 2.5 points each; a line at 10, 20, ... and 100.
  EXPECT_EQ(Lines(), (Rows{L"Serwis - aktualizowanie kategorii 10%", L"Serwis - aktualizowanie kategorii 20%",
                           L"Serwis - aktualizowanie kategorii 30%", L"Serwis - aktualizowanie kategorii 40%",
                           L"Serwis - aktualizowanie kategorii 50%", L"Serwis - aktualizowanie kategorii 60%",
                           L"Serwis - aktualizowanie kategorii 70%", L"Serwis - aktualizowanie kategorii 80%",
                           L"Serwis - aktualizowanie kategorii 90%", L"Serwis - aktualizowanie kategorii 100%"}));
  Save();
  // A lower percent than the last one lowers the threshold: the next merge starts over.
  host->Object().ClearEvents();
  _RecordsetPtr again = CreateCategoriesContainer();
  for (LONG i = 1; i <= 40; ++i) AddCategory(again, i, L"k", 0);
  lotrix::StoreCategories(Site(), again, &progress, 0);
  // 80 rows in all (40 stored, 40 delivered), each stored row matched counts twice: 2.5 points a
  // row. The first percent (2) lowers the threshold; then a line at every rise of ten, and 100.
  Rows expected;
  for (int p : {12, 22, 32, 42, 52, 62, 72, 82, 92, 100})
    expected.push_back(L"Serwis - aktualizowanie kategorii " + std::to_wstring(p) + L"%");
  EXPECT_EQ(Lines(), expected);
}

TEST_F(ParamStoreTest, FormFieldsAndTheirValuesAreMergedAndGoneFieldsTakeTheirValues) {
  Run(L"INSERT INTO st_CategorySpecific (cs_Id, cs_SvcProvId, cs_SiteId, cs_ItemId, cs_Title, cs_CatId) VALUES "
      L"(1, 2, 1, 500, 'Stan', 100), (2, 2, 1, 501, 'Kolor', 100), (3, 2, 2, 500, 'Inny serwis', 100)");
  Run(L"INSERT INTO st_CategorySpecificDict (csd_Id, csd_CatSpecId, csd_Ident, csd_Code, csd_Name, csd_Position) VALUES "
      L"(1, 1, 1, 'n', 'Nowy', 1), (2, 1, 2, 'u', 'Używany', 2), (3, 2, 1, 'c', 'Czerwony', 1), "
      L"(4, 3, 1, 'x', 'Obcy', 1)");
  Run(L"INSERT INTO kd_keys (ki_Table, ki_NextId) VALUES ('st_CategorySpecific', 50), ('st_CategorySpecificDict', 70)");
  _RecordsetPtr fields = CreateCatSpecificContainer(), values = CreateFieldDictContainer();
  Add(fields, {{L"id", _variant_t(500L)}, {L"cat_id", _variant_t(100L)}, {L"title", _variant_t(L"Stan przedmiotu")},
               {L"required", _variant_t(true)}, {L"min_val", _variant_t(1.5)}});
  Add(fields, {{L"id", _variant_t(502L)}, {L"cat_id", _variant_t(101L)}, {L"title", _variant_t(L"Rozmiar")}});
  Add(values, {{L"field_id", _variant_t(500L)}, {L"ident", _variant_t(1L)}, {L"code", _variant_t(L"N")},
               {L"name", _variant_t(L"Nowy!")}, {L"position", _variant_t(1L)}});
  Add(values, {{L"field_id", _variant_t(500L)}, {L"ident", _variant_t(3L)}, {L"name", _variant_t(L"Uszkodzony")}});
  Add(values, {{L"field_id", _variant_t(502L)}, {L"ident", _variant_t(1L)}, {L"name", _variant_t(L"S")}});
  Add(values, {{L"field_id", _variant_t(502L)}, {L"ident", _variant_t(2L)}, {L"name", _variant_t(L"M")}});
  lotrix::StoreCategorySpecific(Site(), fields, values);
  site = nullptr;
  // Field 501 is gone with its value; 500 is updated; 502 is new with the first reserved id.
  EXPECT_EQ(String(L"SELECT cs_Title FROM st_CategorySpecific WHERE cs_Id = 1"), L"Stan przedmiotu");
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM st_CategorySpecific WHERE cs_Id = 2"), 0);
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM st_CategorySpecificDict WHERE csd_CatSpecId = 2"), 0);
  EXPECT_EQ(Long(L"SELECT cs_Id FROM st_CategorySpecific WHERE cs_ItemId = 502"), 50);
  EXPECT_EQ(Long(L"SELECT cs_SvcProvId * 10 + cs_SiteId FROM st_CategorySpecific WHERE cs_Id = 50"), 21);
  EXPECT_EQ(String(L"SELECT cs_Title FROM st_CategorySpecific WHERE cs_Id = 3"), L"Inny serwis");  // another site's
  // Values: ident 1 of field 500 updated, 2 deleted, 3 new; field 502's two are new; one block of ids.
  EXPECT_EQ(String(L"SELECT csd_Name FROM st_CategorySpecificDict WHERE csd_Id = 1"), L"Nowy!");
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM st_CategorySpecificDict WHERE csd_Id = 2"), 0);
  EXPECT_EQ(Long(L"SELECT csd_Id FROM st_CategorySpecificDict WHERE csd_CatSpecId = 1 AND csd_Ident = 3"), 70);
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM st_CategorySpecificDict WHERE csd_CatSpecId = 50 AND csd_Id > 70"), 2);
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM st_CategorySpecificDict WHERE csd_Id = 4"), 1);
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM st_CategorySpecificDict"), 5);
  EXPECT_EQ(fields->RecordCount, 0);  // matched and stored rows leave the containers
  EXPECT_EQ(values->RecordCount, 0);

  // The same delivery again changes nothing and adds nothing.
  _RecordsetPtr fields2 = CreateCatSpecificContainer(), values2 = CreateFieldDictContainer();
  Add(fields2, {{L"id", _variant_t(500L)}, {L"title", _variant_t(L"Stan przedmiotu")}});
  Add(fields2, {{L"id", _variant_t(502L)}, {L"title", _variant_t(L"Rozmiar")}});
  Add(values2, {{L"field_id", _variant_t(500L)}, {L"ident", _variant_t(1L)}, {L"name", _variant_t(L"Nowy!")}});
  lotrix::StoreCategorySpecific(Site(), fields2, values2);
  site = nullptr;
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM st_CategorySpecific"), 3);
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM st_CategorySpecificDict"), 2);  // 500's ident 1 and the other site's
}

TEST_F(ParamStoreTest, GenericDictionariesExpireAndNumberNewRowsByProviderSiteAndCounter) {
  _RecordsetPtr d = CreateFieldDictContainer();
  Add(d, {{L"ident", _variant_t(7L)}, {L"name", _variant_t(L"Polska")}, {L"code", _variant_t(L"PL")}});
  lotrix::StoreSiteDictionary(5, Site(), d);
  site = nullptr;
  EXPECT_EQ(Long(L"SELECT sc_Id FROM st_Country WHERE sc_Ident = 7"), 200100001);
  EXPECT_EQ(Long(L"SELECT sc_SvcProvId * 10 + sc_SiteId FROM st_Country"), 21);
  // After a stored largest id of 200100041 the next new row gets 200100042; one not delivered expires.
  Run(L"INSERT INTO st_Payment (sp_Id, sp_Name, sp_Ident, sp_Expired, sp_SvcProvId, sp_SiteId) VALUES "
      L"(200100041, 'Przelew', 1, 1, 2, 1), (200100005, 'Gotówka', 2, 0, 2, 1)");
  _RecordsetPtr p = CreateFieldDictContainer();
  Add(p, {{L"ident", _variant_t(1L)}, {L"name", _variant_t(L"Przelew bankowy")}});
  Add(p, {{L"ident", _variant_t(3L)}, {L"name", _variant_t(L"Karta")}});
  lotrix::StoreSiteDictionary(2, Site(), p);
  site = nullptr;
  EXPECT_EQ(Long(L"SELECT sp_Id FROM st_Payment WHERE sp_Ident = 3"), 200100042);
  EXPECT_EQ(String(L"SELECT sp_Name FROM st_Payment WHERE sp_Id = 200100041"), L"Przelew bankowy");
  // Written as VT_I2 0 and -1, stored as the bit's 0 and 1.
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM st_Payment WHERE sp_Id = 200100041 AND sp_Expired = 0"), 1);  // again
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM st_Payment WHERE sp_Id = 200100005 AND sp_Expired = 1"), 1);
  // Kinds 0 to 4 reach their own tables; another kind changes nothing.
  const std::pair<const wchar_t*, const wchar_t*> tables[] = {
      {L"st_Duration", L"sd"}, {L"st_Enhancement", L"se"}, {L"st_Payment", L"sp"}, {L"st_Region", L"sr"},
      {L"st_Shipping", L"ss"}};
  for (LONG kind = 0; kind <= 4; ++kind) {
    _RecordsetPtr k = CreateFieldDictContainer();
    Add(k, {{L"ident", _variant_t(90L)}, {L"name", _variant_t(L"x")}});
    lotrix::StoreSiteDictionary(kind, Site(), k);
    site = nullptr;
    const auto [table, prefix] = tables[kind];
    EXPECT_EQ(Long(std::wstring(L"SELECT COUNT(*) FROM ") + table + L" WHERE " + prefix + L"_Ident = 90"), 1) << kind;
  }
  for (LONG kind : {-1L, 6L, 8L}) {
    _RecordsetPtr k = CreateFieldDictContainer();
    Add(k, {{L"ident", _variant_t(91L)}});
    EXPECT_EQ(Raised([&] { lotrix::StoreSiteDictionary(kind, Site(), k); }), S_OK);
    site = nullptr;
  }
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM st_Country"), 1);
}

TEST_F(ParamStoreTest, IdsThatBreakTheirLayoutOrALongAreRefusedAndNothingIsStored) {
  EXPECT_EQ(lotrix::ComposeDictionaryId(21, 474, 83647), 2147483647);
  EXPECT_EQ(Raised([] { lotrix::ComposeDictionaryId(21, 474, 83648); }), E_FAIL);
  EXPECT_EQ(Raised([] { lotrix::ComposeDictionaryId(22, 1, 1); }), E_FAIL);
  EXPECT_EQ(Raised([] { lotrix::ComposeDictionaryId(1, 1000, 1); }), E_FAIL);
  std::wstring why;
  EXPECT_EQ(Raised([] { lotrix::ComposeDictionaryId(1, 1, 100000); }, &why), E_FAIL);
  EXPECT_NE(why.find(L"nie mieści się"), std::wstring::npos) << platform::utf8::FromWide(why);
  // A site of provider 22: its first new row cannot be numbered, so the kind stores nothing.
  Run(L"UPDATE st__Site SET st_SvcProvId = 22 WHERE st_Id = 10");
  _RecordsetPtr d = CreateFieldDictContainer();
  Add(d, {{L"ident", _variant_t(7L)}, {L"name", _variant_t(L"Polska")}});
  EXPECT_EQ(Raised([&] { lotrix::StoreSiteDictionary(5, Site(), d); }), E_FAIL);
  site = nullptr;
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM st_Country"), 0);
}

TEST_F(ParamStoreTest, ContainersWithoutIdsOrWithRepeatedIdsAreRefusedBeforeAnythingChanges) {
  Run(L"INSERT INTO st_Category (cat_Id, cat_CatId, cat_Name, cat_ParentId, cat_SiteId, cat_Expired) VALUES "
      L"(1, 100, 'Korzeń', 0, 10, 0)");
  std::wstring why;
  _RecordsetPtr twice = CreateCategoriesContainer();
  AddCategory(twice, 5, L"a", 0);
  AddCategory(twice, 5, L"b", 0);
  EXPECT_EQ(Raised([&] { lotrix::StoreCategories(Site(), twice, nullptr, 0); }, &why), E_FAIL);
  EXPECT_EQ(why, L"Dane serwisu zawierają kategorię 5 więcej niż raz.");
  site = nullptr;
  _RecordsetPtr noId = CreateCategoriesContainer();
  Add(noId, {{L"name", _variant_t(L"bez numeru")}});
  EXPECT_EQ(Raised([&] { lotrix::StoreCategories(Site(), noId, nullptr, 0); }, &why), E_FAIL);
  EXPECT_EQ(why, L"Dane serwisu zawierają kategorię bez numeru.");
  site = nullptr;
  EXPECT_EQ(CategoryRows(L"1 = 1"), (Rows{L"100:Korzeń:0:0:null"}));
  _RecordsetPtr values = CreateFieldDictContainer();
  Add(values, {{L"field_id", _variant_t(1L)}, {L"ident", _variant_t(2L)}});
  Add(values, {{L"field_id", _variant_t(1L)}, {L"ident", _variant_t(2L)}});
  EXPECT_EQ(Raised([&] { lotrix::StoreCategorySpecific(Site(), CreateCatSpecificContainer(), values); }, &why), E_FAIL);
  EXPECT_EQ(why, L"Dane serwisu zawierają wartość 2 pola formularza 1 więcej niż raz.");
  site = nullptr;
  // A parent cycle and a missing parent are stored as delivered; a long name is kept whole.
  _RecordsetPtr odd = CreateCategoriesContainer();
  AddCategory(odd, 100, L"Korzeń", 101);
  AddCategory(odd, 101, L"Cykl", 100);
  AddCategory(odd, 102, L"Sierota", 999);
  lotrix::StoreCategories(Site(), odd, nullptr, 0);
  Save();
  EXPECT_EQ(CategoryRows(L"1 = 1"), (Rows{L"100:Korzeń:101:0:0", L"101:Cykl:100:0:0", L"102:Sierota:999:0:1"}));
}

TEST_F(ParamStoreTest, ACancelStopsTheMergeAndSavesNoBatch) {
  Run(L"INSERT INTO st_Country (sc_Id, sc_Name, sc_Ident, sc_Expired, sc_SvcProvId, sc_SiteId) VALUES "
      L"(200100001, 'Polska', 1, 0, 2, 1)");
  _RecordsetPtr d = CreateFieldDictContainer();
  Add(d, {{L"ident", _variant_t(2L)}, {L"name", _variant_t(L"Czechy")}});
  host->Object().RequestCancel();
  EXPECT_TRUE(lotrix::IsSyncTerminated());
  lotrix::StoreSiteDictionary(5, Site(), d);
  site = nullptr;
  _RecordsetPtr fields = CreateCatSpecificContainer(), values = CreateFieldDictContainer();
  Add(fields, {{L"id", _variant_t(1L)}});
  lotrix::StoreCategorySpecific(Site(), fields, values);
  site = nullptr;
  host->Object().ClearCancel();
  EXPECT_FALSE(lotrix::IsSyncTerminated());
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM st_Country"), 1);
  EXPECT_EQ(Long(L"SELECT sc_Expired FROM st_Country"), 0);
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM st_CategorySpecific"), 0);
}

TEST_F(ParamStoreTest, TheUpdateViewListsActiveAccountSitesByAccountAndWhetherEachNeedsAFullUpdate) {
  Run(L"DELETE FROM reg_Site");
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM vw_SubsitesParamsUpdate"), 0);
  Run(L"INSERT INTO st__Site (st_Id, st_SiteId, st_SvcProvId, st_Name, st_CategoriesVersion, st_FormVersion, "
      L"st_AttributesVersion, st_UpdateNeeded) VALUES (11, 7, 2, 'Drugi', 'k1', 'f1', 'a1', 0), "
      L"(12, 8, 2, 'Trzeci', 'k1', '', 'a1', 0), (13, 9, 2, 'Czwarty', 'k1', 'f1', 'a1', 1)");
  Run(L"INSERT INTO reg__Registration (reg_Id, reg_SvcProvId, reg_Username, reg_Active) VALUES "
      L"(2, 2, 'drugie', 1), (3, 2, 'wyłączone', 0)");
  Run(L"INSERT INTO reg_Site (rs_Id, rs_RegId, rs_SiteId, rs_Name) VALUES (1, 2, 11, 'Mój serwis'), (2, 1, 13, NULL), "
      L"(3, 1, 10, NULL), (4, 2, 12, NULL), (5, 3, 11, NULL), (6, 1, 11, NULL)");
  _RecordsetPtr rs = cn->Execute(L"SELECT * FROM vw_SubsitesParamsUpdate", nullptr, adCmdText);
  Rows rows;
  for (; !rs->GetadoEOF(); rs->MoveNext()) {
    _variant_t need = rs->Fields->Item[L"need_upd"]->Value;
    EXPECT_EQ(need.vt, VT_BOOL);
    rows.push_back(std::wstring(_bstr_t(rs->Fields->Item[L"reg_id"]->Value)) + L":" +
                   std::wstring(_bstr_t(rs->Fields->Item[L"site_id"]->Value)) + L":" +
                   std::wstring(_bstr_t(rs->Fields->Item[L"subsite_id"]->Value)) + L":" +
                   std::wstring(_bstr_t(rs->Fields->Item[L"site_name"]->Value)) + L":" +
                   (need.vt == VT_BOOL && need.boolVal ? L"1" : L"0"));
  }
  // Site 10 has no versions, 12 an empty one, 13 waits for an update; the inactive account is out.
  EXPECT_EQ(rows, (Rows{L"1:10:1:Serwis:1", L"1:11:7:Drugi:0", L"1:13:9:Czwarty:1", L"2:11:7:Mój serwis:0",
                        L"2:12:8:Trzeci:1"}));
}
