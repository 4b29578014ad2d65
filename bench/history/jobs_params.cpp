// The parameter update of a new site: its category tree, the categories' form fields with the
// values of their dictionaries, and a site dictionary (countries), merged through the site object
// as an update does (each kind saved); beside a program that looks each row up by its index and
// inserts it, one transaction per row.
#include <sqlite3.h>

#include "auctions/sync/containers.h"
#include "auctions/sync/paramstore.h"
#include "bench/history/history.h"
#include "bench/support/sqlite_statement.h"
#include "shared/hxinstance.h"

namespace history {
namespace {

using benchsupport::Statement;

void Put(const _RecordsetPtr& rs, const wchar_t* name, const _variant_t& value) {
  rs->GetFields()->GetItem(_variant_t(name))->PutValue(value);
}

// The site of the run: row and number `site` of the reference provider.
void AddSite(const Context& c, long site) {
  const std::string n = std::to_string(site);
  sqlite3_exec(c.db, ("INSERT INTO st__Site (st_Id, st_SiteId, st_SvcProvId, st_Name) VALUES (" + n + ", " + n +
                      ", 1, 'Nowy serwis')").c_str(),
               nullptr, nullptr, nullptr);
}

IUnknownPtr Site(long site) {
  CLSID clsid = GUID_NULL;
  IUnknownPtr object;
  if (FAILED(CLSIDFromProgID(L"Vantor.CoSite", &clsid)) ||
      FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_ALL, __uuidof(IUnknown), reinterpret_cast<void**>(&object))))
    return nullptr;
  IFlgItemPtr item(object);
  if (!item || FAILED(item->Load(IFlgDataFactoryPtr(CHxInstance::GetInstance()), _variant_t(static_cast<LONG>(site)))) ||
      FAILED(item->BeginEdit()))
    return nullptr;
  return object;
}

Result Parameters(Context& c) {
  Result r;
  const long categories = c.records, fields = c.records / 10 + 1, values = 10 * fields, countries = c.records / 10 + 1;
  r.records = categories + fields + values + countries;
  const long site = 100 + c.serial % 400;  // a site number of three digits at most
  AddSite(c, site);
  // What the service delivers.
  _RecordsetPtr tree = lotrix::CreateCategoriesContainer(), form = lotrix::CreateCatSpecificContainer(),
                dictionary = lotrix::CreateFieldDictContainer(), countryList = lotrix::CreateSiteDictContainer(5);
  for (long i = 1; i <= categories; ++i) {
    tree->AddNew();
    Put(tree, L"id", static_cast<LONG>(i));
    Put(tree, L"name", Named(L"Kategoria ", i).c_str());
    Put(tree, L"parent_id", static_cast<LONG>(i / 10));
    Put(tree, L"position", static_cast<LONG>(i % 10));
    tree->Update();
  }
  for (long i = 1; i <= fields; ++i) {
    form->AddNew();
    Put(form, L"id", static_cast<LONG>(i));
    Put(form, L"cat_id", static_cast<LONG>(1 + i % categories));
    Put(form, L"title", Named(L"Pole ", i).c_str());
    form->Update();
    for (long k = 1; k <= 10; ++k) {
      dictionary->AddNew();
      Put(dictionary, L"field_id", static_cast<LONG>(i));
      Put(dictionary, L"ident", static_cast<LONG>(k));
      Put(dictionary, L"name", Named(L"Wartość ", k).c_str());
      dictionary->Update();
    }
  }
  for (long i = 1; i <= countries; ++i) {
    countryList->AddNew();
    Put(countryList, L"ident", static_cast<LONG>(i));
    Put(countryList, L"name", Named(L"Kraj ", i).c_str());
    countryList->Update();
  }
  const double start = Now();
  IUnknownPtr object = Site(site);
  if (!object) {
    r.failure = "no site object";
    return r;
  }
  lotrix::StoreCategories(object, tree, nullptr, 0);
  if (FAILED(IFlgItemPtr(object)->Save())) r.failure = "the categories were not saved";
  object = nullptr;  // its edit lock goes with it
  object = Site(site);
  if (object) lotrix::StoreCategorySpecific(object, form, dictionary);
  object = nullptr;
  object = Site(site);
  if (object) lotrix::StoreSiteDictionary(5, object, countryList);
  object = nullptr;
  r.system = Since(start);
  // The baseline's own site.
  const long other = site + 400;
  AddSite(c, other);
  Statement key(c.db, "UPDATE kd_keys SET ki_NextId = ki_NextId + 1 WHERE ki_Table = ? RETURNING ki_NextId - 1");
  auto next = [&key](const char* table) {
    key.Reset().Text(1, table).Run();
    const long long id = key.Long(0);
    key.Reset();
    return id;
  };
  Statement findCategory(c.db, "SELECT cat_Id FROM st_Category WHERE cat_SiteId = ? AND cat_CatId = ?");
  Statement addCategory(c.db, "INSERT INTO st_Category (cat_Id, cat_CatId, cat_Name, cat_ParentId, cat_SiteId, "
                              "cat_Position, cat_Expired, cat_Leaf) VALUES (?, ?, ?, ?, ?, ?, 0, ?)");
  Statement findField(c.db, "SELECT cs_Id FROM st_CategorySpecific WHERE cs_SiteId = ? AND cs_SvcProvId = 1 AND "
                            "cs_ItemId = ?");
  Statement addField(c.db, "INSERT INTO st_CategorySpecific (cs_Id, cs_SvcProvId, cs_SiteId, cs_ItemId, cs_Title, "
                           "cs_CatId) VALUES (?, 1, ?, ?, ?, ?)");
  Statement findValue(c.db, "SELECT csd_Id FROM st_CategorySpecificDict WHERE csd_CatSpecId = ? AND csd_Ident = ?");
  Statement addValue(c.db, "INSERT INTO st_CategorySpecificDict (csd_Id, csd_CatSpecId, csd_Ident, csd_Name) "
                           "VALUES (?, ?, ?, ?)");
  Statement findCountry(c.db, "SELECT sc_Id FROM st_Country WHERE sc_SiteId = ? AND sc_SvcProvId = 1 AND sc_Ident = ?");
  Statement addCountry(c.db, "INSERT INTO st_Country (sc_Id, sc_Name, sc_Ident, sc_Expired, sc_SvcProvId, sc_SiteId) "
                             "VALUES (?, ?, ?, 0, 1, ?)");
  double baseline = EachInATransaction(c.db, categories, [&](long k) {
    const long i = k + 1;
    if (!findCategory.Reset().Int(1, other).Int(2, i).Run())
      addCategory.Reset().Int(1, next("st_Category")).Int(2, i).Text(3, Named("Kategoria ", i)).Int(4, i / 10)
          .Int(5, other).Int(6, i % 10).Int(7, i * 10 > categories ? 1 : 0).Run();
    findCategory.Reset();
  });
  long long field = 0;
  baseline += EachInATransaction(c.db, fields + values, [&](long k) {
    const long i = k / 11 + 1, value = k % 11;
    if (value == 0) {
      if (findField.Reset().Int(1, other).Int(2, i).Run()) field = findField.Long(0);
      else addField.Reset().Int(1, field = next("st_CategorySpecific")).Int(2, other).Int(3, i)
               .Text(4, Named("Pole ", i)).Int(5, 1 + i % categories).Run();
      findField.Reset();
    } else {
      if (!findValue.Reset().Int(1, field).Int(2, value).Run())
        addValue.Reset().Int(1, next("st_CategorySpecificDict")).Int(2, field).Int(3, value)
            .Text(4, Named("Wartość ", value)).Run();
      findValue.Reset();
    }
  });
  baseline += EachInATransaction(c.db, countries, [&](long k) {
    if (!findCountry.Reset().Int(1, other).Int(2, k + 1).Run())
      addCountry.Reset().Int(1, 100000000LL + other * 100000LL + k + 1).Text(2, Named("Kraj ", k + 1)).Int(3, k + 1).Int(4, other).Run();
    findCountry.Reset();
  });
  r.baseline = baseline;
  _RecordsetPtr stored = c.connection->Execute(
      _bstr_t(Named(L"SELECT COUNT(*) FROM st_Category WHERE cat_SiteId = ", site).c_str()), nullptr, adCmdText);
  const long made = stored->GetFields()->GetItem(_variant_t(LONG{0}))->GetValue();
  if (made != categories) r.failure = Named("categories stored: ", made);
  return r;
}

}  // namespace

std::vector<Job> ParameterJobs() { return {{"parameters: a new site", Parameters}}; }

}  // namespace history
