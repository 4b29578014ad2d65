// Reads a data object whose sub data set has 50,000 rows, changes every tenth row, adds 5,000 rows
// and saves it through the data factory; then does the same work on a second object's rows with
// plain ADO statements (a recordset read, parameterised updates and inserts) in one transaction.
// Each way runs three times on rows of its own; the best times are printed with, on the last
// line, their ratio.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include "auctions/flgobject.h"
#include "host/host.h"
#include "platform/registry/registry.h"

namespace {

constexpr LONG kRows = 50000;
constexpr LONG kAdded = 5000;

const FlgDataSetDef kDefs[] = {
    {0, 0, 0, L"SITE", L"bench_site", L"s_Id", L"", L"*", L"", 0, 0},
    {1, 1, 0, L"CAT", L"bench_cat", L"c_Id", L"c_SiteId", L"*", L"", 1, 1},
};

struct BenchSiteClass;
VANTOR_UUIDOF(BenchSiteClass, "3E1C5B20-7A4D-4F60-9B18-2C6D8E0A1F37");

class BenchSite : public CComFlgObject {
 public:
  BenchSite() {
    SetDefinitions(kDefs, 2);
    m_lObjectType = -1;
  }
  CLSID GetObjectClsid() override { return __uuidof(BenchSiteClass); }
};

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

void Check(HRESULT hr, const char* what) {
  if (FAILED(hr)) {
    std::fprintf(stderr, "%s failed: 0x%08X\n", what, static_cast<unsigned>(hr));
    std::exit(1);
  }
}

// The parameterised insert of a category row, and one row's values put into it.
_CommandPtr InsertCommand(const _ConnectionPtr& cn) {
  _CommandPtr cmd(__uuidof(Command));
  cmd->ActiveConnection = cn;
  cmd->CommandText =
      L"INSERT INTO bench_cat (c_Id, c_SiteId, c_Number, c_Name, c_Parent, c_Leaf) VALUES (?, ?, ?, ?, ?, ?)";
  ParametersPtr params = cmd->Parameters;
  params->Append(cmd->CreateParameter(L"id", adInteger, adParamInput, 4));
  params->Append(cmd->CreateParameter(L"site", adInteger, adParamInput, 4));
  params->Append(cmd->CreateParameter(L"number", adInteger, adParamInput, 4));
  params->Append(cmd->CreateParameter(L"name", adVarWChar, adParamInput, 100));
  params->Append(cmd->CreateParameter(L"parent", adInteger, adParamInput, 4));
  params->Append(cmd->CreateParameter(L"leaf", adBoolean, adParamInput, 1));
  return cmd;
}

void Insert(const _CommandPtr& cmd, LONG id, LONG site, LONG number, const std::wstring& name, LONG parent, bool leaf) {
  ParametersPtr params = cmd->Parameters;
  params->Item[0L]->Value = _variant_t(id);
  params->Item[1L]->Value = _variant_t(site);
  params->Item[2L]->Value = _variant_t(number);
  params->Item[3L]->Value = _variant_t(name.c_str());
  params->Item[4L]->Value = _variant_t(parent);
  params->Item[5L]->Value = _variant_t(leaf);
  cmd->Execute(nullptr, nullptr, adCmdText | adExecuteNoRecords);
}

void Seed(const _ConnectionPtr& cn, LONG site, LONG firstKey) {
  cn->BeginTrans();
  CString sql;
  sql.Format(L"INSERT INTO bench_site (s_Id, s_Name) VALUES (%ld, 'Serwis %ld')", site, site);
  cn->Execute(_bstr_t(sql.GetString()), nullptr, kCmdTextNoRecords);
  _CommandPtr cmd = InsertCommand(cn);
  for (LONG i = 0; i < kRows; ++i)
    Insert(cmd, firstKey + i, site, 100000 + i, L"Kategoria " + std::to_wstring(i), i / 20, i % 3 == 0);
  cn->CommitTrans();
}

struct Phases {
  double read = 0, changes = 0, additions = 0, total = 0;
};

// The object's way: read, change, add, save.
Phases ThroughObject(const host::Host& host, LONG site) {
  Phases phases;
  auto start = std::chrono::steady_clock::now();
  auto* object = new CFlgComObject<BenchSite>();
  IFlgItemPtr item(static_cast<IFlgItem*>(object));
  IFlgDataFactoryPtr factory(host.Instance());
  Check(item->Load(factory, _variant_t(site)), "Load");
  _RecordsetPtr cats = object->DataSet(1);
  phases.read = Seconds(start);
  FieldsPtr fields = cats->Fields;
  FieldPtr name = fields->Item[L"c_Name"];
  LONG row = 0;
  for (cats->MoveFirst(); !cats->adoEOF; cats->MoveNext(), ++row)
    if (row % 10 == 0) name->Value = _variant_t((L"Zmieniona " + std::to_wstring(row)).c_str());
  phases.changes = Seconds(start);
  IFlgDataSetPtr data(item);
  for (LONG i = 0; i < kAdded; ++i) {
    Check(data->AddSubRow(1), "AddSubRow");
    fields->Item[L"c_Number"]->Value = _variant_t(900000 + i);
    name->Value = _variant_t((L"Nowa " + std::to_wstring(i)).c_str());
    fields->Item[L"c_Parent"]->Value = _variant_t(i / 20);
    fields->Item[L"c_Leaf"]->Value = _variant_t(true);
  }
  phases.additions = Seconds(start);
  Check(item->BeginEdit(), "BeginEdit");
  Check(item->Save(), "Save");
  Check(item->EndEdit(), "EndEdit");
  phases.total = Seconds(start);
  return phases;
}

// The same work with plain statements in one transaction.
double ThroughStatements(const _ConnectionPtr& cn, LONG site) {
  auto start = std::chrono::steady_clock::now();
  cn->BeginTrans();
  CString sql;
  sql.Format(L"SELECT * FROM bench_site WHERE s_Id = %ld", site);
  _RecordsetPtr main;
  Check(OpenRS(main, cn, sql), "site");
  sql.Format(L"SELECT * FROM bench_cat WHERE c_SiteId = %ld", site);
  _RecordsetPtr cats;
  Check(OpenRS(cats, cn, sql), "categories");
  _CommandPtr update(__uuidof(Command));
  update->ActiveConnection = cn;
  update->CommandText = L"UPDATE bench_cat SET c_Name = ? WHERE c_Id = ?";
  update->Parameters->Append(update->CreateParameter(L"name", adVarWChar, adParamInput, 100));
  update->Parameters->Append(update->CreateParameter(L"id", adInteger, adParamInput, 4));
  FieldPtr id = cats->Fields->Item[L"c_Id"];
  LONG row = 0;
  for (; !cats->adoEOF; cats->MoveNext(), ++row) {
    if (row % 10 != 0) continue;
    update->Parameters->Item[0L]->Value = _variant_t((L"Zmieniona " + std::to_wstring(row)).c_str());
    update->Parameters->Item[1L]->Value = id->Value;
    update->Execute(nullptr, nullptr, adCmdText | adExecuteNoRecords);
  }
  const LONG first = host::ReserveKeys(cn, L"bench_cat", kAdded, L"c_Id");
  _CommandPtr insert = InsertCommand(cn);
  for (LONG i = 0; i < kAdded; ++i) Insert(insert, first + i, site, 900000 + i, L"Nowa " + std::to_wstring(i), i / 20, true);
  cn->CommitTrans();
  return Seconds(start);
}

LONG Count(const _ConnectionPtr& cn, const wchar_t* sql) {
  _RecordsetPtr rs;
  if (FAILED(OpenRS(rs, cn, sql)) || rs->adoEOF) return -1;
  return static_cast<LONG>(rs->Fields->Item[0L]->Value);
}

}  // namespace

int main() {
  CoInitialize(nullptr);
  platform::registry::UseMemoryStore();
  char tmpl[] = "/tmp/vx_bench_object_XXXXXX";
  const std::string dir = mkdtemp(tmpl);
  int rc = 0;
  {
    host::Host host(std::wstring(dir.begin(), dir.end()) + L"/bench.db");
    _ConnectionPtr cn = host.Connection();
    cn->Execute(L"CREATE TABLE bench_site (s_Id int NOT NULL PRIMARY KEY, s_Name nvarchar(50) NULL)", nullptr,
                kCmdTextNoRecords);
    cn->Execute(L"CREATE TABLE bench_cat (c_Id int NOT NULL PRIMARY KEY, c_SiteId int NOT NULL, c_Number int NOT NULL, "
                L"c_Name nvarchar(100) NULL, c_Parent int NULL, c_Leaf bit NULL)",
                nullptr, kCmdTextNoRecords);
    cn->Execute(L"CREATE INDEX bench_cat_site ON bench_cat (c_SiteId)", nullptr, kCmdTextNoRecords);
    constexpr int kRounds = 3;
    for (LONG site = 1; site <= 2 * kRounds; ++site) Seed(cn, site, 1 + (site - 1) * kRows);
    double direct = 1e9;
    Phases best;
    best.total = 1e9;
    // Each way starts with the database's log written out, so that neither pays for the other's
    // checkpoint.
    auto checkpoint = [&] { cn->Execute(L"PRAGMA wal_checkpoint(TRUNCATE)", nullptr, kCmdTextNoRecords); };
    for (int round = 0; round < kRounds; ++round) {
      checkpoint();
      direct = std::min(direct, ThroughStatements(cn, 2 * round + 1));
      checkpoint();
      const Phases phases = ThroughObject(host, 2 * round + 2);
      if (phases.total < best.total) best = phases;
    }
    const double object = best.total;
    const LONG changed = Count(cn, L"SELECT COUNT(*) FROM bench_cat WHERE c_Name LIKE 'Zmieniona%'");
    const LONG added = Count(cn, L"SELECT COUNT(*) FROM bench_cat WHERE c_Name LIKE 'Nowa%'");
    std::printf("rows: %ld, changed %ld, added %ld per object\n", static_cast<long>(kRows), static_cast<long>(kRows / 10),
                static_cast<long>(kAdded));
    std::printf("statements %.3f s\n", direct);
    std::printf("object     %.3f s (read %.3f s, changes %.3f s, additions %.3f s, save %.3f s)\n", object, best.read,
                best.changes - best.read, best.additions - best.changes, best.total - best.additions);
    if (changed != 2 * kRounds * kRows / 10 || added != 2 * kRounds * kAdded) {
      std::printf("wrong result: %ld changed, %ld added\n", static_cast<long>(changed), static_cast<long>(added));
      rc = 1;
    }
    std::printf("ratio %.2f\n", object / direct);
  }
  std::filesystem::remove_all(dir);
  CoUninitialize();
  return rc;
}
