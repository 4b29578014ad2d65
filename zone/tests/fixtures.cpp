#include "zone/tests/fixtures.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace vorlen::test {

namespace {
constexpr wchar_t kProfileKey[] = L"Software\\Kordel\\Vantor\\Vorlen\\1.0\\StrefaVantor";

testing_net::Certificates* gCertificates = nullptr;

// The certificates live for the whole program; their folder goes at its end.
class CertificateEnvironment : public ::testing::Environment {
 public:
  void TearDown() override {
    delete gCertificates;
    gCertificates = nullptr;
  }
};
[[maybe_unused]] const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new CertificateEnvironment);
}  // namespace

testing_net::Certificates& Certificates() {
  if (!gCertificates) gCertificates = new testing_net::Certificates();
  return *gCertificates;
}

void PinTimeZone() {
  setenv("TZ", "Europe/Warsaw", 1);
  tzset();
}

DATE Date(int year, int month, int day, int hour, int minute, int second) {
  SYSTEMTIME st{};
  st.wYear = static_cast<WORD>(year);
  st.wMonth = static_cast<WORD>(month);
  st.wDay = static_cast<WORD>(day);
  st.wHour = static_cast<WORD>(hour);
  st.wMinute = static_cast<WORD>(minute);
  st.wSecond = static_cast<WORD>(second);
  DATE date = 0;
  SystemTimeToVariantTime(&st, &date);
  return date;
}

time_t LocalSeconds(int year, int month, int day, int hour, int minute, int second) {
  std::tm tm{};
  tm.tm_year = year - 1900;
  tm.tm_mon = month - 1;
  tm.tm_mday = day;
  tm.tm_hour = hour;
  tm.tm_min = minute;
  tm.tm_sec = second;
  tm.tm_isdst = -1;
  return std::mktime(&tm);
}

void SetProfile(const wchar_t* key, const std::wstring& text) {
  ASSERT_EQ(SHSetValueW(HKEY_CURRENT_USER, kProfileKey, key, REG_SZ, text.c_str(),
                        static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))),
            ERROR_SUCCESS);
}

void SetProfile(const wchar_t* key, DWORD value) {
  ASSERT_EQ(SHSetValueW(HKEY_CURRENT_USER, kProfileKey, key, REG_DWORD, &value, sizeof value), ERROR_SUCCESS);
}

_variant_t Value(const _RecordsetPtr& rs, const wchar_t* field) {
  return rs->GetFields()->GetItem(_variant_t(field))->GetValue();
}

std::wstring Text(const _RecordsetPtr& rs, const wchar_t* field) {
  const _variant_t v = Value(rs, field);
  if (v.vt == VT_NULL || v.vt == VT_EMPTY) return L"<null>";
  return static_cast<const wchar_t*>(_bstr_t(v));
}

LONG Long(const _RecordsetPtr& rs, const wchar_t* field) {
  const _variant_t v = Value(rs, field);
  return v.vt == VT_NULL ? LONG{-999} : static_cast<LONG>(v);
}

LONG Rows(const _RecordsetPtr& rs) {
  if (!rs) return -1;
  return static_cast<LONG>(rs->GetRecordCount());
}

void ConnectorTest::SetUp() {
  PinTimeZone();
  platform::registry::UseMemoryStore();
  CoInitialize(nullptr);
  host = std::make_unique<doubles::HostDoubles>();
  host->instance->registrations[kAccount] = {_variant_t(kSeller), _variant_t(LONG{1}), _variant_t(L"REG-1000")};
  CHxInstance::SetInstance(host->instancePtr);
  InternetSetTrustedCertificates(Certificates().CaFile().c_str());
}

void ConnectorTest::TearDown() {
  InternetSetTrustedCertificates(nullptr);
  CHxInstance::SetInstance(nullptr);
  host.reset();
  CoUninitialize();
  platform::registry::UseMemoryStore();
}

int ClosedPort() {
  // Bound and never listened on, for the rest of the process: a connection is refused, and no
  // service of another test process can be given the port meanwhile (a port freed again could
  // be, and the test would then reach that service).
  static const int fd = [] {
    const int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in any{};
    any.sin_family = AF_INET;
    any.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(s, reinterpret_cast<sockaddr*>(&any), sizeof any);
    return s;
  }();
  sockaddr_in addr{};
  socklen_t len = sizeof addr;
  getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
  return ntohs(addr.sin_port);
}

void ConnectorTest::UseService(int port) { SetProfile(kHostKey, L"127.0.0.1:" + std::to_wstring(port)); }

HRESULT ConnectorTest::TryNewConnector(IVorlenConnectorPtr& connector) {
  IVorlenConnector* raw = nullptr;
  const HRESULT hr = CreateConnector(nullptr, __uuidof(IVorlenConnector), reinterpret_cast<void**>(&raw));
  connector.Attach(raw);
  return hr;
}

IVorlenConnectorPtr ConnectorTest::NewConnector() {
  IVorlenConnectorPtr connector;
  EXPECT_EQ(TryNewConnector(connector), S_OK);
  return connector;
}

CCoVorlenConnector& ConnectorTest::Impl(const IVorlenConnectorPtr& connector) {
  return *dynamic_cast<CCoVorlenConnector*>(connector.GetInterfacePtr());
}

std::wstring ConnectorTest::ErrorDescription() {
  IErrorInfo* info = nullptr;
  if (GetErrorInfo(0, &info) != S_OK || !info) return L"";
  BSTR text = nullptr;
  info->GetDescription(&text);
  std::wstring description = text ? text : L"";
  SysFreeString(text);
  info->Release();
  return description;
}

std::unique_ptr<zone_service::Server> StartService(zone_service::Model& model) {
  auto server = std::make_unique<zone_service::Server>(model);
  zone_service::ServerOptions options;
  options.https = true;
  options.certFile = Certificates().Good().cert;
  options.keyFile = Certificates().Good().key;
  std::string error;
  if (!server->Bind(options, &error)) {
    ADD_FAILURE() << error;
    return nullptr;
  }
  server->StartThread();
  return server;
}

void ConnectorServiceTest::SetUp() {
  ConnectorTest::SetUp();
  model.Seed(0);
  server = StartService(model);
  ASSERT_TRUE(server);
  UseService(server->port());
}

void ConnectorServiceTest::TearDown() {
  server->Stop();
  server.reset();
  ConnectorTest::TearDown();
}

void ConnectorRawTest::SetUp() {
  ConnectorTest::SetUp();
  raw = std::make_unique<zone_service::RawResponder>(Certificates().Good().cert, Certificates().Good().key);
  UseService(raw->port());
}

void ConnectorRawTest::TearDown() {
  raw.reset();
  ConnectorTest::TearDown();
}

_RecordsetPtr OneBid(const wchar_t* auction, LONG buyer, LONG service) {
  _RecordsetPtr bids = CreateAuctionBidInfoContainer();
  bids->AddNew();
  PutRecordsetField(bids, L"auction_id", auction);
  PutRecordsetField(bids, L"buyer_id", buyer);
  PutRecordsetField(bids, L"service_id", service);
  return bids;
}

}  // namespace vorlen::test
