// Merges category trees of 3,000 and 30,000 categories (ten children a category, no leaf given, so
// the leaf rule searches the container for every one) into two sites, and 5,000 form fields with
// ten values each into a third, through the site object on a product database: the first store
// (everything new) and the store again (everything matched), each with its save. Prints the
// times and the ratios of the large tree's times to the small one's (ten times the rows).
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include "auctions/sync/paramstore.h"
#include "host/host.h"
#include "platform/base/utf8.h"
#include "platform/registry/registry.h"
#include "shared/hxinstance.h"

namespace {

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

void Check(HRESULT hr, const char* what) {
  if (FAILED(hr)) {
    std::fprintf(stderr, "%s failed: 0x%08X\n", what, static_cast<unsigned>(hr));
    std::exit(1);
  }
}

_RecordsetPtr Container(std::initializer_list<std::pair<const wchar_t*, DataTypeEnum>> fields,
                        std::initializer_list<const wchar_t*> indexed) {
  _RecordsetPtr rs(__uuidof(Recordset));
  for (const auto& [name, type] : fields)
    rs->Fields->Append(name, type, type == adVarWChar ? 255 : 4, static_cast<FieldAttributeEnum>(100));
  rs->Open(vtMissing, vtMissing, adOpenUnspecified, adLockUnspecified, 0);
  for (const wchar_t* name : indexed) rs->Fields->Item[name]->Properties->Item[L"Optimize"]->Value = _variant_t(true);
  return rs;
}

_RecordsetPtr Tree(LONG count) {
  _RecordsetPtr rs = Container({{L"id", adInteger}, {L"name", adVarWChar}, {L"parent_id", adInteger},
                                {L"position", adInteger}, {L"expired", adBoolean}, {L"leaf", adBoolean},
                                {L"virtual", adBoolean}, {L"cat_id", adInteger}},
                               {L"id", L"cat_id", L"parent_id"});
  FieldsPtr f = rs->Fields;
  for (LONG i = 1; i <= count; ++i) {
    rs->AddNew();
    f->Item[L"id"]->Value = _variant_t(i);
    f->Item[L"name"]->Value = _variant_t((L"Kategoria " + std::to_wstring(i)).c_str());
    f->Item[L"parent_id"]->Value = _variant_t(static_cast<LONG>(i / 10));
    f->Item[L"position"]->Value = _variant_t(i % 10);
    f->Item[L"expired"]->Value = _variant_t(false);
    rs->Update();
  }
  return rs;
}

void FieldsAndValues(LONG fields, LONG values, _RecordsetPtr& outFields, _RecordsetPtr& outValues) {
  outFields = Container({{L"id", adInteger}, {L"cat_id", adInteger}, {L"title", adVarWChar}, {L"input_type", adInteger},
                         {L"data_type", adInteger}, {L"default", adInteger}, {L"required", adBoolean},
                         {L"position", adInteger}, {L"length", adInteger}, {L"min_val", adDouble},
                         {L"max_val", adDouble}, {L"description", adVarWChar}, {L"help", adVarWChar},
                         {L"internal_id", adInteger}},
                        {L"id"});
  outValues = Container({{L"field_id", adInteger}, {L"name", adVarWChar}, {L"ident", adInteger}, {L"code", adVarWChar},
                         {L"position", adInteger}, {L"internal_id", adInteger}},
                        {L"ident", L"field_id", L"internal_id"});
  for (LONG i = 1; i <= fields; ++i) {
    outFields->AddNew();
    outFields->Fields->Item[L"id"]->Value = _variant_t(i);
    outFields->Fields->Item[L"cat_id"]->Value = _variant_t(i % 300);
    outFields->Fields->Item[L"title"]->Value = _variant_t((L"Pole " + std::to_wstring(i)).c_str());
    outFields->Update();
    for (LONG k = 1; k <= values / fields; ++k) {
      outValues->AddNew();
      outValues->Fields->Item[L"field_id"]->Value = _variant_t(i);
      outValues->Fields->Item[L"ident"]->Value = _variant_t(k);
      outValues->Fields->Item[L"name"]->Value = _variant_t((L"Wartość " + std::to_wstring(k)).c_str());
      outValues->Update();
    }
  }
}

IUnknownPtr Site(LONG id, const IFlgDataFactoryPtr& factory) {
  CLSID clsid = GUID_NULL;
  Check(CLSIDFromProgID(L"Vantor.CoSite", &clsid), "CLSIDFromProgID");
  IUnknownPtr site;
  Check(CoCreateInstance(clsid, nullptr, CLSCTX_ALL, __uuidof(IUnknown), reinterpret_cast<void**>(&site)), "create");
  IFlgItemPtr item(site);
  Check(item->Load(factory, _variant_t(id)), "Load");
  Check(item->BeginEdit(), "BeginEdit");
  return site;
}

double StoreTree(LONG siteId, LONG count, const IFlgDataFactoryPtr& factory) {
  _RecordsetPtr tree = Tree(count);
  const auto start = std::chrono::steady_clock::now();
  IUnknownPtr site = Site(siteId, factory);
  lotrix::StoreCategories(site, tree, nullptr, 0);
  Check(IFlgItemPtr(site)->Save(), "Save");
  return Seconds(start);
}

double StoreFields(LONG siteId, const IFlgDataFactoryPtr& factory) {
  _RecordsetPtr fields, values;
  FieldsAndValues(5000, 50000, fields, values);
  const auto start = std::chrono::steady_clock::now();
  IUnknownPtr site = Site(siteId, factory);
  lotrix::StoreCategorySpecific(site, fields, values);
  return Seconds(start);
}

LONG Count(const _ConnectionPtr& cn, const wchar_t* sql) {
  _RecordsetPtr rs = cn->Execute(sql, nullptr, adCmdText);
  return static_cast<LONG>(rs->Fields->Item[0L]->Value);
}

}  // namespace

int main() {
  CoInitialize(nullptr);
  platform::registry::UseMemoryStore();
  Check(platform::com::RegisterServerLibrary(platform::utf8::ToWide(VANTOR_LOTRIX_LIBRARY)), "register Lotrix");
  char tmpl[] = "/tmp/vx_bench_params_XXXXXX";
  const std::string dir = mkdtemp(tmpl);
  int rc = 0;
  {
    host::Host host(std::wstring(dir.begin(), dir.end()) + L"/bench.db");
    CHxInstance::SetInstance(host.Instance());
    IFlgDataFactoryPtr factory(host.Instance());
    _ConnectionPtr cn = host.Connection();
    // Each round on sites of its own; the best time of each step counts, so that a busy machine
    // shows less.
    constexpr int kRounds = 3;
    for (int round = 0; round < kRounds; ++round)
      for (LONG site : {10 + round, 20 + round, 30 + round})
        cn->Execute(_bstr_t((L"INSERT INTO st__Site (st_Id, st_SiteId, st_SvcProvId, st_Name) VALUES (" +
                             std::to_wstring(site) + L", " + std::to_wstring(site) + L", 1, 'serwis')").c_str()),
                    nullptr, kCmdTextNoRecords);
    double small1 = 1e9, small2 = 1e9, large1 = 1e9, large2 = 1e9, fields1 = 1e9, fields2 = 1e9;
    auto best = [](double& slot, double t) { slot = t < slot ? t : slot; };
    for (int round = 0; round < kRounds; ++round) {
      best(small1, StoreTree(10 + round, 3000, factory));
      best(small2, StoreTree(10 + round, 3000, factory));
      best(large1, StoreTree(20 + round, 30000, factory));
      best(large2, StoreTree(20 + round, 30000, factory));
      best(fields1, StoreFields(30 + round, factory));
      best(fields2, StoreFields(30 + round, factory));
    }
    std::printf("best of %d rounds\n", kRounds);
    std::printf("categories  3,000: first store %.3f s, store again %.3f s\n", small1, small2);
    std::printf("categories 30,000: first store %.3f s, store again %.3f s\n", large1, large2);
    std::printf("ratio 30,000 / 3,000: first store %.1f, store again %.1f\n", large1 / small1, large2 / small2);
    std::printf("5,000 form fields with 50,000 values: first store %.3f s, store again %.3f s\n", fields1, fields2);
    const LONG cats = Count(cn, L"SELECT COUNT(*) FROM st_Category");
    const LONG leaves = Count(cn, L"SELECT COUNT(*) FROM st_Category WHERE cat_Leaf = 1");
    const LONG specific = Count(cn, L"SELECT COUNT(*) FROM st_CategorySpecific");
    const LONG dict = Count(cn, L"SELECT COUNT(*) FROM st_CategorySpecificDict");
    if (cats != kRounds * 33000 || leaves != kRounds * 29700 || specific != kRounds * 5000 || dict != kRounds * 50000) {
      std::printf("wrong result: %ld categories (%ld leaves), %ld fields, %ld values\n", static_cast<long>(cats),
                  static_cast<long>(leaves), static_cast<long>(specific), static_cast<long>(dict));
      rc = 1;
    }
    CHxInstance::SetInstance(nullptr);
  }
  std::filesystem::remove_all(dir);
  CoUninitialize();
  return rc;
}
