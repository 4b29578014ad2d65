#include "zone/tests/manager_fixture.h"

#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <filesystem>

#include "auctions/lotrix.h"
#include "platform/base/utf8.h"
#include "platform/http/wininet.h"
#include "platform/registry/registry.h"
#include "platform/threads/clock.h"
#include "shared/hxinstance.h"
#include "host/objects.h"
#include "zone/tests/fixtures.h"

namespace vorlen::test {

namespace {

std::wstring LibraryPath(const char* path) {
  return platform::utf8::ToWide(std::filesystem::canonical(path).string());
}

}  // namespace

CCoStatusMgr& Manager(const IStatusMgrPtr& manager) {
  return *static_cast<CCoStatusMgr*>(static_cast<IStatusMgr*>(manager.GetInterfacePtr()));
}

std::wstring Job::Text() const {
  std::wstring out;
  for (const LogLine& line : lines) out += (out.empty() ? L"" : L"\n") + line.text;
  return out;
}

bool Job::Has(const std::wstring& text) const {
  for (const LogLine& line : lines)
    if (line.text == text) return true;
  return false;
}

bool Job::HasPrefix(const std::wstring& prefix, LONG status) const {
  for (const LogLine& line : lines)
    if (line.text.compare(0, prefix.size(), prefix) == 0 && (status < 0 || line.status == status)) return true;
  return false;
}

bool ManagerTest::PrepareProcess() {
  PinTimeZone();
  platform::clock::SetTime(LocalSeconds(kYear, kMonth, kDay, 12, 0, 0));
  platform::registry::UseMemoryStore();
  CoInitialize(nullptr);
  for (const char* library : {VANTOR_VORLEN_LIBRARY, VANTOR_LOTRIX_LIBRARY, VANTOR_ACCESS_KEY_LIBRARY})
    if (platform::com::RegisterServerLibrary(LibraryPath(library)) != S_OK) return false;
  InternetSetTrustedCertificates(Certificates().CaFile().c_str());
  return true;
}

void ManagerTest::SetUp() {
  ASSERT_TRUE(PrepareProcess());

  folder = std::make_unique<testtemp::TempFolder>("vantor-manager-test");
  path = platform::utf8::ToWide(folder->Database());
  host = std::make_unique<host::Host>(path);
  recorder = std::make_shared<doubles::Recorder>();
  instance = doubles::ScriptedInstance::New(recorder, host->Instance(), &script);
  CHxInstance::SetInstance(instance);

  model.Seed(0);
  server = StartService(model);
  ASSERT_TRUE(server);
  UseService(server->port());

  // The accounts and the sites they work on (the host lists a row for each account and site).
  Exec(L"INSERT INTO reg__Registration (reg_Id, reg_SvcProvId, reg_SvcUserId, reg_Username, reg_Name, "
       L"reg_ST_StatusesServiceActive) VALUES (1, 1, 1000, 'sprzedawca_a', 'Konto A', 1), "
       L"(2, 1, 1001, 'sprzedawca_b', 'Konto B', 1), (3, 1, 1002, 'sprzedawca_c', 'Konto C', 0)");
  Exec(L"INSERT INTO kd_SellerZoneAccount (sz_RegId, sz_RegistrationId) VALUES (1, 'REG-1000'), (2, 'REG-1001'), "
       L"(3, 'REG-1002')");
  Exec(L"INSERT INTO st__Site (st_Id, st_SiteId, st_SvcProvId, st_Name) VALUES (1, 1, 1, 'Serwis'), "
       L"(2, 2, 1, 'Serwis drugi')");
  Exec(L"INSERT INTO reg_Site (rs_Id, rs_RegId, rs_SiteId) VALUES (1, 1, 1), (2, 3, 1), (3, 2, 1), (4, 1, 2)");
  // The host sends its automatic messages.
  SetSetting(host::kMailSettingSection, host::kAutomaticMessagesKey, L"1");
  ClearEventsAndCalls();
}

void ManagerTest::ReplaceHostList(const std::wstring& rows) {
  Exec(L"DROP VIEW vw_HostAccountSites");
  Exec(L"CREATE TABLE test_HostList (reg_id int NULL, reg_name nvarchar(100) NULL, site_id int NULL, "
       L"site_name nvarchar(100) NULL, subsite_id int NULL, service_id int NULL)");
  Exec(L"CREATE VIEW vw_HostAccountSites AS SELECT *, subsite_id AS regsite_id FROM test_HostList");
  Exec(L"INSERT INTO test_HostList VALUES " + rows);
}

void ManagerTest::UseService(int port) { SetProfile(kHostKey, L"127.0.0.1:" + std::to_wstring(port)); }

void ManagerTest::ClearEventsAndCalls() {
  host->Object().ClearEvents();
  recorder->Clear();
}

void ManagerTest::TearDown() {
  if (server) server->Stop();
  server.reset();
  InternetSetTrustedCertificates(nullptr);
  CHxInstance::SetInstance(nullptr);
  instance = nullptr;
  host.reset();
  folder.reset();
  CoUninitialize();
  platform::registry::UseMemoryStore();
  platform::clock::UseRealTime();
}

void ManagerTest::Exec(const std::wstring& sql) {
  try {
    host->Connection()->Execute(_bstr_t(sql.c_str()), nullptr, kCmdTextNoRecords);
  } catch (const _com_error& e) {
    FAIL() << "SQL failed: " << platform::utf8::FromWide(sql) << ": "
           << platform::utf8::FromWide(static_cast<const wchar_t*>(e.Description()) ? static_cast<const wchar_t*>(e.Description()) : L"");
  }
}

LONG ManagerTest::Long(const std::wstring& sql) {
  _RecordsetPtr rs;
  if (FAILED(OpenRS(rs, host->Connection(), sql.c_str()))) return -999;
  if (rs->GetadoEOF()) return -1;
  const _variant_t v = rs->GetFields()->GetItem(_variant_t(LONG{0}))->GetValue();
  return v.vt == VT_NULL ? -2 : static_cast<LONG>(v);
}

std::wstring ManagerTest::Text(const std::wstring& sql) {
  _RecordsetPtr rs;
  if (FAILED(OpenRS(rs, host->Connection(), sql.c_str()))) return L"<failed>";
  if (rs->GetadoEOF()) return L"<none>";
  const _variant_t v = rs->GetFields()->GetItem(_variant_t(LONG{0}))->GetValue();
  return v.vt == VT_NULL ? L"<null>" : std::wstring(static_cast<const wchar_t*>(_bstr_t(v)));
}

void ManagerTest::SetSetting(const wchar_t* section, const wchar_t* key, const wchar_t* value) {
  ASSERT_EQ(host->Instance()->PutSetting(_bstr_t(section), _bstr_t(key), _variant_t(value)), S_OK);
}

void ManagerTest::SetLogLevel(LONG level) {
  SetSetting(kLogLevelSection, kLogLevelKey, std::to_wstring(level).c_str());
}

void ManagerTest::AddCustomer(LONG id, LONGLONG buyer, const wchar_t* name) {
  Exec(L"INSERT INTO cs__Customer (cs_Id, cs_Name, cs_ExtServiceId, cs_SvcProvId) VALUES (" + std::to_wstring(id) +
       L", '" + name + L"', " + std::to_wstring(buyer) + L", 1)");
}

void ManagerTest::AddAuction(LONG id, const wchar_t* number, LONG account, LONG service) {
  Exec(L"INSERT INTO au__Auction (au_Id, au_Number, au_RegId, au_SvcProvId) VALUES (" + std::to_wstring(id) + L", '" +
       number + L"', " + std::to_wstring(account) + L", " + std::to_wstring(service) + L")");
}

std::wstring ManagerTest::DayText(int days, int seconds) {
  const DATE date = Date(kYear, kMonth, kDay) + days + seconds / 86400.0;
  SYSTEMTIME st{};
  VariantTimeToSystemTime(date, &st);
  CString text;
  text.Format(L"'%04d-%02d-%02d %02d:%02d:%02d'", st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond);
  return text.GetString();
}

void ManagerTest::AddTransaction(LONG id, LONG account, LONG customer, LONG auction, const std::wstring& more) {
  Exec(L"INSERT INTO tr__Transaction (tr_Id, tr_Name, tr_RegId, tr_CustomerId, tr_AuctionId, tr_CreationDate, "
       L"tr_LastModified) VALUES (" +
       std::to_wstring(id) + L", 'Zakup " + std::to_wstring(id) + L"', " + std::to_wstring(account) + L", " +
       std::to_wstring(customer) + L", " + (auction ? std::to_wstring(auction) : std::wstring(L"NULL")) + L", " +
       DayText(-1) + L", " + DayText(0, 12 * 3600) + L")");
  if (!more.empty()) Exec(L"UPDATE tr__Transaction SET " + more + L" WHERE tr_Id = " + std::to_wstring(id));
}

void ManagerTest::AddPurchase(LONG id) {
  if (Long(L"SELECT COUNT(*) FROM cs__Customer") <= 0) {
    AddCustomer(1, 501, L"Jan Kowalski");
    AddCustomer(2, 502, L"Anna Nowak");
    AddCustomer(3, 503, L"Piotr Wiśniewski");
    AddAuction(1, L"1000-1", kAccountA);
    AddAuction(2, L"1000-2", kAccountA);
    AddAuction(3, L"1000-3", kAccountA);
  }
  const LONG bid = (id - 1) % 3 + 1;
  AddTransaction(id, kAccountA, bid, bid);
}

IStatusMgrPtr ManagerTest::NewManager() {
  IUnknown* raw = nullptr;
  HRESULT hr = CoCreateInstance(CLSID_CoStatusMgr, nullptr, 23, __uuidof(IUnknown), reinterpret_cast<void**>(&raw));
  EXPECT_EQ(hr, S_OK);
  IUnknownPtr object(raw, false);
  if (!object) return nullptr;
  EXPECT_EQ(OleRun(object), S_OK);
  IStatusMgrPtr manager(object);
  EXPECT_TRUE(manager);
  return manager;
}

void ManagerTest::RemoveConnectorRegistration() {
  const std::wstring key = L"CLSID\\" + doubles::GuidText(CLSID_CoVorlenConnector);
  ASSERT_EQ(SHDeleteKeyW(HKEY_CLASSES_ROOT, key.c_str()), ERROR_SUCCESS);
}

std::vector<Job> ManagerTest::Jobs(LONG subtype) {
  std::vector<Job> jobs;
  std::wstring sql = L"SELECT jl_Id, jl_Subtype, jl_Count, jl_Result, jl_End FROM kd_JobLog";
  if (subtype) sql += L" WHERE jl_Subtype = " + std::to_wstring(subtype);
  sql += L" ORDER BY jl_Id";
  _RecordsetPtr rs;
  if (FAILED(OpenRS(rs, host->Connection(), sql.c_str()))) return jobs;
  for (; !rs->GetadoEOF(); rs->MoveNext()) {
    FieldsPtr f = rs->GetFields();
    Job job;
    job.id = f->GetItem(_variant_t(L"jl_Id"))->GetValue();
    job.subtype = f->GetItem(_variant_t(L"jl_Subtype"))->GetValue();
    const bool ended = f->GetItem(_variant_t(L"jl_End"))->GetValue().vt != VT_NULL;
    if (ended) {
      job.count = f->GetItem(_variant_t(L"jl_Count"))->GetValue();
      job.result = f->GetItem(_variant_t(L"jl_Result"))->GetValue();
    }
    _RecordsetPtr lines;
    const std::wstring linesSql =
        L"SELECT jll_Status, jll_Text FROM kd_JobLogLine WHERE jll_JobId = " + std::to_wstring(job.id) + L" ORDER BY jll_Id";
    if (SUCCEEDED(OpenRS(lines, host->Connection(), linesSql.c_str())))
      for (; !lines->GetadoEOF(); lines->MoveNext()) {
        const _variant_t text = lines->GetFields()->GetItem(_variant_t(L"jll_Text"))->GetValue();
        job.lines.push_back({static_cast<LONG>(lines->GetFields()->GetItem(_variant_t(L"jll_Status"))->GetValue()),
                             text.vt == VT_NULL ? L"" : std::wstring(static_cast<const wchar_t*>(_bstr_t(text)))});
      }
    jobs.push_back(std::move(job));
  }
  return jobs;
}

Job ManagerTest::LastJob(LONG subtype) {
  std::vector<Job> jobs = Jobs(subtype);
  return jobs.empty() ? Job{} : jobs.back();
}

std::vector<std::wstring> ManagerTest::Events(const wchar_t* kind) {
  std::vector<std::wstring> out;
  for (const host::HostEvent& e : host->Object().Events())
    if (e.kind == kind) out.push_back(e.text);
  return out;
}

int ManagerTest::OpenServicePage(LONGLONG seller, const std::string& auction, LONGLONG buyer) {
  auto lock = model.Lock();
  zone_service::Page page;
  page.id = model.NextPageId();
  page.owner = {seller, 1};
  page.bids = {zone_service::Bid{auction, 1, buyer}};
  page.urlPart = "s/" + std::to_string(page.id);
  model.pages()[page.id] = page;
  return page.id;
}

bool ManagerTest::ServicePageClosed(int page) {
  auto lock = model.Lock();
  auto it = model.pages().find(page);
  return it != model.pages().end() && it->second.closed;
}

int ManagerTest::ServicePages() {
  auto lock = model.Lock();
  return static_cast<int>(model.pages().size());
}

}  // namespace vorlen::test
