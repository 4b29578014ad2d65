// The seller-zone connector: construction and its settings, every method against the test
// service over HTTPS, the fault map, and answers the raw responder makes bad.
#include <sys/socket.h>
#include <netinet/in.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>

#include "zone/protocol/transport.h"
#include "zone/tests/fixtures.h"

namespace vorlen::test {
namespace {

namespace tr = transport;

_variant_t Money(LONGLONG tenThousandths) {
  _variant_t v;
  v.vt = VT_CY;
  v.cyVal.int64 = tenThousandths;
  return v;
}

_RecordsetPtr Take(_Recordset* raw) { return _RecordsetPtr(raw, false); }

std::string Fault(const std::string& code, const std::string& text) {
  return "<SOAP-ENV:Fault><faultcode>" + code + "</faultcode><faultstring>" + text +
         "</faultstring></SOAP-ENV:Fault>";
}
const std::string kUserException = "SOAP-ENV:Server.userException";
const std::string kPackage = "pl.kordel.webservices.status.";

std::wstring LibraryText(HRESULT hr) {
  return CKdSmartMessage(L"Error.dll").FormatMessage(hr, 1045).GetString();
}

// ---------------------------------------------------------------------------------------------
// Construction and settings

using Construction = ConnectorTest;

TEST_F(Construction, FailsWithoutTheHostOrItsSettingsObjectAndRefusesAnOuterObject) {
  IVorlenConnectorPtr connector;
  CHxInstance::SetInstance(nullptr);
  EXPECT_EQ(TryNewConnector(connector), E_POINTER);
  CHxInstance::SetInstance(host->instancePtr);
  host->RemoveConnectionSettings();
  EXPECT_EQ(TryNewConnector(connector), REGDB_E_CLASSNOTREG);
  host->SetConnectionSettings(doubles::FakeConnectionSettings{});
  EXPECT_EQ(TryNewConnector(connector), S_OK);
  void* outer = nullptr;
  EXPECT_EQ(CreateConnector(connector, __uuidof(IUnknown), &outer), CLASS_E_NOAGGREGATION);
  EXPECT_EQ(outer, nullptr);
  // Its faces: error information for IVorlenConnector only, IDispatch not implemented.
  ISupportErrorInfoPtr errors(connector);
  ASSERT_TRUE(errors);
  EXPECT_EQ(errors->InterfaceSupportsErrorInfo(__uuidof(IVorlenConnector)), S_OK);
  EXPECT_EQ(errors->InterfaceSupportsErrorInfo(__uuidof(IDispatch)), S_FALSE);
  UINT count = 9;
  EXPECT_EQ(connector->GetTypeInfoCount(&count), E_NOTIMPL);
  EXPECT_EQ(count, 0u);
}

TEST_F(Construction, ProfileSettingsGiveTheEndpointTimeOutsAndAnswerLimit) {
  {
    IVorlenConnectorPtr connector = NewConnector();
    EXPECT_EQ(Impl(connector).Endpoint(), kStatusServiceDefaultEndpoint);
    struct soap* s = Impl(connector).Binding().soap;
    EXPECT_EQ(s->send_timeout, 5);
    EXPECT_EQ(s->recv_timeout, 5);
    EXPECT_EQ(s->connect_timeout, 5);
    EXPECT_EQ(s->accept_timeout, 5);
    EXPECT_TRUE(s->imode & SOAP_C_UTFSTRING);
    EXPECT_TRUE(s->omode & SOAP_C_UTFSTRING);
    EXPECT_TRUE(s->omode & SOAP_XML_TREE);
    EXPECT_EQ(tr::MaxAnswerSize(s), tr::kDefaultMaxAnswerSize);
  }
  SetProfile(kHostKey, L"  strefa.example:8443 ");
  SetProfile(L"ReceiveTimeout", DWORD{0});
  SetProfile(L"SendTimeout", DWORD{7});
  SetProfile(CString(tr::kMaxAnswerSizeKey), DWORD{2});
  IVorlenConnectorPtr connector = NewConnector();
  EXPECT_EQ(Impl(connector).Endpoint(), "https://strefa.example:8443/rpcrouter");
  EXPECT_STREQ(Impl(connector).Binding().endpoint, "https://strefa.example:8443/rpcrouter");
  struct soap* s = Impl(connector).Binding().soap;
  EXPECT_EQ(tr::MaxAnswerSize(s), uint64_t{2} << 20);
  // A time-out of 0 leaves the internet client's own default.
  DWORD ms = 0, size = sizeof ms;
  ASSERT_TRUE(InternetQueryOptionA(tr::ClientHandle(s), INTERNET_OPTION_RECEIVE_TIMEOUT, &ms, &size));
  EXPECT_EQ(ms, 30000u);
  ASSERT_TRUE(InternetQueryOptionA(tr::ClientHandle(s), INTERNET_OPTION_SEND_TIMEOUT, &ms, &size));
  EXPECT_EQ(ms, 7000u);
}

TEST_F(Construction, TheTestLogFollowsBitZeroOfTheSwitch) {
  const struct {
    _variant_t value;
    bool on;
  } cases[] = {{_variant_t(LONG{2}), false}, {_variant_t(LONG{3}), true}, {_variant_t(LONG{1}), true},
               {_variant_t(LONG{-1}), false}, {_variant_t(L"3"), true}, {_variant_t(L"włącz"), false}};
  for (const auto& c : cases) {
    host->instance->settings[L"Test/StrefaVantorLog"] = c.value;
    IVorlenConnectorPtr connector = NewConnector();
    const char* log = Impl(connector).Binding().soap->logfile[SOAP_INDEX_TEST];
    EXPECT_EQ(log != nullptr && std::string(log) == kTestLogFile, c.on) << static_cast<const char*>(_bstr_t(c.value));
    EXPECT_EQ(Impl(connector).Binding().soap->logfile[SOAP_INDEX_RECV], nullptr);
  }
  EXPECT_EQ(host->recorder->ArgsOf(L"IFlgInstance::GetSetting").front(), L"Test,StrefaVantorLog");
}

TEST_F(Construction, TheProxyComesFromTheStoredSettingsOrTheSystem) {
  doubles::FakeConnectionSettings stored;
  stored.kind = doubles::FakeConnectionSettings::Kind::Stored;
  stored.host = L"proxy.example";
  stored.port = 3128;
  stored.user = L"sprzedawca";
  stored.password = L"tajne";
  host->SetConnectionSettings(stored);
  INTERNET_PROXY_INFOA system{INTERNET_OPEN_TYPE_PROXY, "system.example:8080", nullptr};
  ASSERT_TRUE(InternetSetOptionA(nullptr, INTERNET_OPTION_PROXY, &system, sizeof system));
  {
    IVorlenConnectorPtr connector = NewConnector();
    struct soap* s = Impl(connector).Binding().soap;
    EXPECT_STREQ(s->proxy_host, "proxy.example");
    EXPECT_EQ(s->proxy_port, 3128);
    EXPECT_STREQ(s->proxy_userid, "sprzedawca");
    EXPECT_STREQ(s->proxy_passwd, "tajne");
    EXPECT_EQ(host->recorder->ArgsOf(L"IFlgItem::Load").back(), L"factory,I4:1");
  }
  // The object defers to the system, cannot be loaded, or has no settings face: the system's.
  for (auto kind : {doubles::FakeConnectionSettings::Kind::System, doubles::FakeConnectionSettings::Kind::LoadFails,
                    doubles::FakeConnectionSettings::Kind::WithoutInterface}) {
    doubles::FakeConnectionSettings settings;
    settings.kind = kind;
    host->SetConnectionSettings(settings);
    IVorlenConnectorPtr connector = NewConnector();
    struct soap* s = Impl(connector).Binding().soap;
    EXPECT_STREQ(s->proxy_host, "system.example") << static_cast<int>(kind);
    EXPECT_EQ(s->proxy_port, 8080);
    EXPECT_EQ(s->proxy_userid, nullptr);
  }
  // A system proxy without a colon is the host alone, with the runtime's default port.
  INTERNET_PROXY_INFOA bare{INTERNET_OPEN_TYPE_PROXY, "bare.example", nullptr};
  ASSERT_TRUE(InternetSetOptionA(nullptr, INTERNET_OPTION_PROXY, &bare, sizeof bare));
  {
    IVorlenConnectorPtr connector = NewConnector();
    EXPECT_STREQ(Impl(connector).Binding().soap->proxy_host, "bare.example");
    EXPECT_EQ(Impl(connector).Binding().soap->proxy_port, 8080);
  }
  INTERNET_PROXY_INFOA direct{INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr};
  ASSERT_TRUE(InternetSetOptionA(nullptr, INTERNET_OPTION_PROXY, &direct, sizeof direct));
  IVorlenConnectorPtr connector = NewConnector();
  EXPECT_STREQ(Impl(connector).Binding().soap->proxy_host, "");
}

// ---------------------------------------------------------------------------------------------
// Every method against the test service

TEST_F(ConnectorServiceTest, PageSettingsRoundTrip) {
  IVorlenConnectorPtr connector = NewConnector();
  _Recordset* raw = nullptr;
  ASSERT_EQ(connector->GetPageConfig(kAccount, &raw), S_OK);
  _RecordsetPtr config = Take(raw);
  ASSERT_EQ(Rows(config), 1);
  config->MoveFirst();
  EXPECT_EQ(Text(config, L"Description"), L"Sprzedawca 1000");
  EXPECT_EQ(Text(config, L"WWW"), L"http://sklep.example/1000");
  EXPECT_EQ(Value(config, L"StatusesServiceActive").boolVal, VARIANT_TRUE);

  PutRecordsetField(config, L"Description", L"Sklep „Żółw” — Łódź");
  PutRecordsetField(config, L"ShowDocumentAddressForm", static_cast<short>(0));
  ASSERT_EQ(connector->SetPageConfig(kAccount, config), S_OK);
  {
    auto lock = model.Lock();
    const zone_service::PageConfig& stored = model.accounts()[{kSeller, 1}].config;
    EXPECT_EQ(*stored.sellerShortDescription, "Sklep \xE2\x80\x9E\xC5\xBB\xC3\xB3\xC5\x82w\xE2\x80\x9D \xE2\x80\x94 \xC5\x81\xC3\xB3\x64\xC5\xBA");
    EXPECT_FALSE(stored.allowBillingAddressEntry);
    EXPECT_TRUE(stored.allowDeliveryAddressEntry);
  }
  ASSERT_EQ(connector->GetPageConfig(kAccount, &raw), S_OK);
  config = Take(raw);
  config->MoveFirst();
  EXPECT_EQ(Text(config, L"Description"), L"Sklep „Żółw” — Łódź");
  EXPECT_EQ(Value(config, L"ShowDocumentAddressForm").boolVal, VARIANT_FALSE);
}

TEST_F(ConnectorServiceTest, PagesOpenTakeDataAndClose) {
  IVorlenConnectorPtr connector = NewConnector();
  _Recordset *pageRaw = nullptr, *buyersRaw = nullptr, *bidsRaw = nullptr;
  ASSERT_EQ(connector->OpenTrustedPage(kAccount, OneBid(L"1000-1", 501), TRUE, &pageRaw, &buyersRaw, &bidsRaw), S_OK);
  _RecordsetPtr page = Take(pageRaw);
  EXPECT_EQ(buyersRaw, nullptr);  // the service holds no buyer data yet
  EXPECT_EQ(bidsRaw, nullptr);
  page->MoveFirst();
  const LONG pageId = Long(page, L"page_id");
  EXPECT_EQ(Text(page, L"page_urlPart"), L"s/" + std::to_wstring(pageId) + L"-1000");
  {
    auto lock = model.Lock();
    EXPECT_TRUE(model.pages()[pageId].autoRegroup);
  }

  // The buyer enters data; opening the same bids again answers S_FALSE with that page.
  zone_service::BuyerData entered;
  entered.notes = zone_service::Notes{false, "Proszę o paragon"};
  entered.deliveryAddress = zone_service::Address{false, "Anna Nowak", "ul. Długa 1", "", "90-001", "Łódź", "Polska", {}, {}};
  ASSERT_TRUE(model.EnterBuyerData(pageId, entered, LocalSeconds(2024, 10, 27, 2, 30)));
  ASSERT_EQ(connector->OpenTrustedPage(kAccount, OneBid(L"1000-1", 501), FALSE, &pageRaw, &buyersRaw, &bidsRaw),
            S_FALSE);
  EXPECT_EQ(ErrorDescription(), L"");
  page = Take(pageRaw);
  _RecordsetPtr buyers = Take(buyersRaw), bids = Take(bidsRaw);
  page->MoveFirst();
  EXPECT_EQ(Long(page, L"page_id"), pageId);
  EXPECT_DOUBLE_EQ(Value(page, L"last_entryDate").date, Date(2024, 10, 27, 2, 30));
  ASSERT_EQ(Rows(buyers), 1);
  buyers->MoveFirst();
  EXPECT_EQ(Text(buyers, L"notes"), L"Proszę o paragon");
  EXPECT_EQ(Text(buyers, L"deliv_city"), L"Łódź");
  EXPECT_EQ(Value(buyers, L"bill_trusted").vt, VT_NULL);
  ASSERT_EQ(Rows(bids), 1);

  // Buyer data of the page, then the seller's acknowledgement.
  _RecordsetPtr pageIds = CreatePageIdsContainer();
  pageIds->AddNew();
  PutRecordsetField(pageIds, L"page_id", pageId);
  ASSERT_EQ(connector->GetBuyerData(kAccount, pageIds, &bidsRaw, &buyersRaw), S_OK);
  buyers = Take(buyersRaw);
  bids = Take(bidsRaw);
  ASSERT_EQ(Rows(buyers), 1);
  ASSERT_EQ(Rows(bids), 1);
  bids->MoveFirst();
  EXPECT_EQ(Long(bids, L"buyer_id"), 501);
  EXPECT_EQ(Text(bids, L"auction_id"), L"1000-1");
  buyers->MoveFirst();
  PutRecordsetField(buyers, L"deliv_trusted", static_cast<short>(-1));
  PutRecordsetField(buyers, L"notes_trusted", static_cast<short>(-1));
  ASSERT_EQ(connector->SetAcknowledgedBuyerData(kAccount, pageId, bids, buyers), S_OK);
  {
    auto lock = model.Lock();
    const zone_service::Page& stored = model.pages()[pageId];
    ASSERT_TRUE(stored.acknowledgedBuyerData);
    EXPECT_TRUE(stored.acknowledgedBuyerData->deliveryAddress->trusted);
    EXPECT_EQ(*stored.acknowledgedBuyerData->deliveryAddress->city, "\xC5\x81\xC3\xB3\x64\xC5\xBA");
    EXPECT_FALSE(stored.acknowledgedBuyerData->billingAddress);
    ASSERT_TRUE(stored.acknowledgedBuyerData->bids);
    EXPECT_EQ(stored.acknowledgedBuyerData->bids->at(0).buyerId, 501);
  }

  // The changes since a cut-off date.
  _Recordset* changesRaw = nullptr;
  ASSERT_EQ(connector->GetPageChangesInfo(kAccount, pageIds, Date(2024, 10, 27, 2, 0), &changesRaw), S_OK);
  _RecordsetPtr changes = Take(changesRaw);
  ASSERT_EQ(Rows(changes), 1);
  changes->MoveFirst();
  EXPECT_EQ(Long(changes, L"page_id"), pageId);
  ASSERT_EQ(connector->GetPageChangesInfo(kAccount, pageIds, Date(2024, 10, 27, 3, 0), &changesRaw), S_OK);
  EXPECT_EQ(Rows(Take(changesRaw)), 0);

  // Closing: a second page with the same bids would be refused while the first is open.
  EXPECT_EQ(connector->ClosePage(kAccount, pageId, _variant_t(LONG{-1})), S_OK);
  {
    auto lock = model.Lock();
    EXPECT_TRUE(model.pages()[pageId].closed);
    EXPECT_FALSE(model.pages()[pageId].regroupedInto);
  }
  EXPECT_EQ(connector->ClosePage(kAccount, pageId, vtMissing), static_cast<HRESULT>(0x80044599u));
  EXPECT_EQ(ErrorDescription(), LibraryText(static_cast<HRESULT>(0x80044599u)) + L"Serwer zwrócił błąd: : Strona " +
                                    std::to_wstring(pageId) + L" jest zamknięta");
}

TEST_F(ConnectorServiceTest, PageDataItemsPackagesAndConstraintsReachThePage) {
  IVorlenConnectorPtr connector = NewConnector();
  _Recordset *pageRaw = nullptr, *buyersRaw = nullptr, *bidsRaw = nullptr;
  ASSERT_EQ(connector->OpenTrustedPage(kAccount, OneBid(L"1000-2", 602), FALSE, &pageRaw, &buyersRaw, &bidsRaw), S_OK);
  _RecordsetPtr page = Take(pageRaw);
  page->MoveFirst();
  const LONG pageId = Long(page, L"page_id");

  _Recordset* raw = nullptr;
  ASSERT_EQ(connector->CreatePageDataInfoContainer(&raw), S_OK);
  _RecordsetPtr data = Take(raw);
  data->AddNew();
  PutRecordsetField(data, L"base_currency", L"PLN");
  PutRecordsetField(data, L"payment", Money(12345678900));
  PutRecordsetField(data, L"payment_currency", L"PLN");
  PutRecordsetField(data, L"buy_date", static_cast<double>(Date(2024, 3, 31, 3, 15)));
  PutRecordsetField(data, L"remittance_date", static_cast<double>(Date(2024, 7, 1, 12)));
  PutRecordsetField(data, L"sent_all", true);
  ASSERT_EQ(connector->SetPageData(kAccount, pageId, data), S_OK);

  ASSERT_EQ(connector->CreateItemInfoContainer(&raw), S_OK);
  _RecordsetPtr items = Take(raw);
  const std::pair<const wchar_t*, LONGLONG> rows[] = {{L"Kubek żółty", 1234567800}, {L"Gratis", 0}, {L"Bez ceny", -1}};
  LONG order = 0;
  for (const auto& [name, price] : rows) {
    items->AddNew();
    PutRecordsetField(items, L"id", LONG{1});
    PutRecordsetField(items, L"name", name);
    PutRecordsetField(items, L"quantity", LONG{3});
    if (price >= 0) PutRecordsetField(items, L"price", Money(price));
    PutRecordsetField(items, L"sort_order", order++);
  }
  ASSERT_EQ(connector->SetItemData(kAccount, pageId, items), S_OK);

  ASSERT_EQ(connector->CreatePackageInfoContainer(&raw), S_OK);
  _RecordsetPtr packages = Take(raw);
  packages->AddNew();
  PutRecordsetField(packages, L"id", LONG{1});
  PutRecordsetField(packages, L"symbol", L"PP-1");
  PutRecordsetField(packages, L"status_link", L"http://kurier.example/PP-1");
  PutRecordsetField(packages, L"charge", Money(155000));
  PutRecordsetField(packages, L"charge_currency", L"PLN");
  PutRecordsetField(packages, L"send_date", static_cast<double>(Date(2024, 10, 27, 2, 30)));
  PutRecordsetField(packages, L"sort_order", LONG{0});
  ASSERT_EQ(connector->SetPackageData(kAccount, pageId, packages, items), S_OK);

  EntryConstraints constraints{TRUE, FALSE, 5, FALSE};
  ASSERT_EQ(connector->SetDataEntryConstraints(kAccount, pageId, constraints), S_OK);

  auto lock = model.Lock();
  const zone_service::Page& stored = model.pages()[pageId];
  ASSERT_TRUE(stored.pageData);
  EXPECT_EQ(*stored.pageData->payment, 1234567.89);  // to the cent
  EXPECT_EQ(*stored.pageData->baseCurrency, "PLN");
  EXPECT_EQ(*stored.pageData->buyDate, LocalSeconds(2024, 3, 31, 3, 15));
  EXPECT_EQ(*stored.pageData->remittanceDate, 1719828000);
  EXPECT_TRUE(stored.pageData->sentAll);
  ASSERT_TRUE(stored.items);
  ASSERT_EQ(stored.items->size(), 3u);
  EXPECT_EQ(*stored.items->at(0).name, "Kubek \xC5\xBC\xC3\xB3\xC5\x82ty");
  EXPECT_EQ(*stored.items->at(0).price, 123456.78);
  EXPECT_EQ(*stored.items->at(1).price, 0.0);
  EXPECT_FALSE(stored.items->at(2).price);
  EXPECT_EQ(stored.items->at(2).quantity, 3);
  EXPECT_EQ(stored.items->at(2).sortOrder, 2);
  ASSERT_TRUE(stored.packages);
  ASSERT_EQ(stored.packages->size(), 1u);
  const zone_service::Package& parcel = stored.packages->at(0);
  EXPECT_EQ(*parcel.symbol, "PP-1");
  EXPECT_EQ(*parcel.charge, 15.5);
  EXPECT_EQ(*parcel.sentDate, LocalSeconds(2024, 10, 27, 2, 30));
  ASSERT_TRUE(parcel.items);
  ASSERT_EQ(parcel.items->size(), 3u);
  for (const zone_service::Item& item : *parcel.items) EXPECT_FALSE(item.price);  // never priced in a package
  ASSERT_TRUE(stored.constraints);
  EXPECT_TRUE(stored.constraints->allEnabled);
  EXPECT_FALSE(stored.constraints->billAddressEnabled);
  EXPECT_TRUE(stored.constraints->delivAddressEnabled);
  EXPECT_FALSE(stored.constraints->notesEnabled);
}

TEST_F(ConnectorServiceTest, AnUnknownAccountEndsInTheAuthenticationFault) {
  IVorlenConnectorPtr connector = NewConnector();
  _Recordset* raw = reinterpret_cast<_Recordset*>(0x1);
  EXPECT_EQ(connector->GetPageConfig(42, &raw), static_cast<HRESULT>(0x80044593u));
  EXPECT_EQ(raw, nullptr);
  EXPECT_EQ(ErrorDescription(), LibraryText(static_cast<HRESULT>(0x80044593u)) +
                                    L"Serwer zwrócił błąd: : Nieznany użytkownik 0");
  host->recorder->FailOn(L"IHxRegistrationTable::GetRecord", E_UNEXPECTED);
  EXPECT_EQ(connector->GetPageConfig(kAccount, &raw), static_cast<HRESULT>(0x80044593u));
}

TEST_F(ConnectorServiceTest, CallsGoThroughTheStoredProxyWithItsCredentials) {
  testing_net::Proxy proxy("sprzedawca", "tajne");
  doubles::FakeConnectionSettings stored;
  stored.kind = doubles::FakeConnectionSettings::Kind::Stored;
  stored.host = L"127.0.0.1";
  stored.port = proxy.Port();
  stored.user = L"sprzedawca";
  stored.password = L"tajne";
  host->SetConnectionSettings(stored);
  IVorlenConnectorPtr connector = NewConnector();
  _Recordset* raw = nullptr;
  ASSERT_EQ(connector->GetPageConfig(kAccount, &raw), S_OK) << ErrorDescription();
  Take(raw);
  EXPECT_GE(proxy.Forwarded(), 1);
  EXPECT_EQ(proxy.LastAuthorization(), "Basic " + testing_net::Base64("sprzedawca:tajne"));
  // The system's proxy, when the settings defer to it.
  testing_net::Proxy open("", "");
  const std::string text = "127.0.0.1:" + std::to_string(open.Port());
  INTERNET_PROXY_INFOA system{INTERNET_OPEN_TYPE_PROXY, text.c_str(), nullptr};
  ASSERT_TRUE(InternetSetOptionA(nullptr, INTERNET_OPTION_PROXY, &system, sizeof system));
  host->SetConnectionSettings(doubles::FakeConnectionSettings{});
  IVorlenConnectorPtr viaSystem = NewConnector();
  const HRESULT hr = viaSystem->GetPageConfig(kAccount, &raw);
  Take(raw);
  INTERNET_PROXY_INFOA direct{INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr};
  InternetSetOptionA(nullptr, INTERNET_OPTION_PROXY, &direct, sizeof direct);
  EXPECT_EQ(hr, S_OK);
  EXPECT_GE(open.Forwarded(), 1);
}

TEST_F(ConnectorServiceTest, ArgumentChecksCallNothing) {
  IVorlenConnectorPtr connector = NewConnector();
  _RecordsetPtr rs = CreatePageIdsContainer();
  _Recordset *a = nullptr, *b = nullptr, *c = nullptr;
  EXPECT_EQ(connector->GetPageConfig(0, &a), E_INVALIDARG);
  EXPECT_EQ(connector->GetPageConfig(kAccount, nullptr), E_INVALIDARG);
  EXPECT_EQ(connector->SetPageConfig(0, rs), E_INVALIDARG);
  EXPECT_EQ(connector->SetPageConfig(kAccount, nullptr), E_INVALIDARG);
  EXPECT_EQ(connector->OpenTrustedPage(0, rs, FALSE, &a, &b, &c), E_INVALIDARG);
  EXPECT_EQ(connector->OpenTrustedPage(kAccount, rs, FALSE, &a, nullptr, &c), E_INVALIDARG);
  EXPECT_EQ(connector->ClosePage(kAccount, 0, vtMissing), E_INVALIDARG);
  EXPECT_EQ(connector->SetPageData(kAccount, 0, rs), E_INVALIDARG);
  EXPECT_EQ(connector->SetAcknowledgedBuyerData(kAccount, 3, rs, nullptr), E_INVALIDARG);
  EXPECT_EQ(connector->GetBuyerData(kAccount, rs, &a, nullptr), E_INVALIDARG);
  EXPECT_EQ(connector->SetItemData(kAccount, 0, rs), E_INVALIDARG);
  EXPECT_EQ(connector->SetPackageData(kAccount, 3, rs, nullptr), E_INVALIDARG);
  EXPECT_EQ(connector->GetPageChangesInfo(0, rs, 0, &a), E_INVALIDARG);
  EXPECT_EQ(connector->SetDataEntryConstraints(kAccount, 0, EntryConstraints{}), E_INVALIDARG);
  EXPECT_EQ(connector->SetAllData(kAccount, 3, nullptr, rs, nullptr, nullptr, nullptr, rs, rs, nullptr), E_INVALIDARG);
  // Everything given: not implemented, and nothing is sent.
  EXPECT_EQ(connector->SetAllData(kAccount, 3, nullptr, rs, nullptr, nullptr, nullptr, rs, rs, rs), E_NOTIMPL);
  EXPECT_EQ(server->connectionsServed(), 0);
  EXPECT_EQ(host->recorder->Count(L"IHxRegistrationTable::GetRecord"), 0);
  // A date that cannot convert fails before any call, with the conversion's code.
  EXPECT_EQ(connector->GetPageChangesInfo(kAccount, rs, Date(1850, 1, 1), &a), E_FAIL);
  EXPECT_EQ(server->connectionsServed(), 0);
}

TEST_F(ConnectorServiceTest, TheRuntimeKeepsNoAnswerAfterAThousandCalls) {
  IVorlenConnectorPtr connector = NewConnector();
  struct soap* s = Impl(connector).Binding().soap;
  for (int i = 0; i < 1000; ++i) {
    _Recordset* raw = nullptr;
    const HRESULT hr = i % 2 ? connector->GetPageConfig(kAccount, &raw) : connector->GetPageConfig(42, &raw);
    ASSERT_EQ(hr, i % 2 ? S_OK : static_cast<HRESULT>(0x80044593u));
    Take(raw);
  }
  EXPECT_EQ(s->alist, nullptr);  // nothing decoded is kept
  EXPECT_EQ(s->clist, nullptr);
  EXPECT_EQ(s->fault, nullptr);
  // The good calls went on the connection of the call before them: at most one connection for
  // the first call and one after each refused call (the service ends a connection after a fault).
  connector = nullptr;
  ASSERT_TRUE(server->WaitUntil([&] { return server->workerThreads() == 0; }));
  EXPECT_LE(server->connectionsServed(), 501);
}

// ---------------------------------------------------------------------------------------------
// Faults

TEST_F(ConnectorRawTest, EveryNamedFaultHasItsCodeAndDescription) {
  IVorlenConnectorPtr connector = NewConnector();
  const std::pair<const char*, unsigned> faults[] = {
      {"IllegalArgumentFault", 0x80070057u},          {"UserAuthenticationFault", 0x80044593u},
      {"ServiceUnavailableFault", 0x80044595u},       {"UnsupportedOperationFault", 0x80044596u},
      {"UserIsNotPageOwnerFault", 0x80044597u},       {"BidDoesNotExistFault", 0x80044598u},
      {"PageClosedFault", 0x80044599u},               {"StatusesDisabledFault", 0x8004459Au},
      {"AuctionDoesNotExistFault", 0x8004459Bu},      {"UserIsNotSellerInAuctionFault", 0x8004459Cu},
      {"PageAlreadyOpenedFault", 0x8004459Du},        {"PageNotOpenedFault", 0x8004459Eu},
      {"PageDoesNotExistFault", 0x8004459Fu},         {"PagesDoNotHaveCommonBidsFault", 0x800445A0u},
  };
  for (const auto& [name, code] : faults) {
    SCOPED_TRACE(name);
    raw->PushEnvelope(Fault(kUserException, kPackage + name + ": Opis błędu"), 500);
    const HRESULT hr = connector->SetItemData(kAccount, 3, CreateItemInfoContainer());
    EXPECT_EQ(hr, static_cast<HRESULT>(code));
    EXPECT_EQ(ErrorDescription(), LibraryText(hr) + L"Serwer zwrócił błąd: : Opis błędu");
  }
  // The first name of the table found in the string gives the code.
  raw->PushEnvelope(Fault(kUserException, kPackage + "PageDoesNotExistFault wrapping PageNotOpenedFault"), 500);
  EXPECT_EQ(connector->SetItemData(kAccount, 3, CreateItemInfoContainer()), static_cast<HRESULT>(0x8004459Eu));
  // A string without a colon is given whole.
  EXPECT_EQ(ErrorDescription(), LibraryText(static_cast<HRESULT>(0x8004459Eu)) + L"Serwer zwrócił błąd: " +
                                    L"pl.kordel.webservices.status.PageDoesNotExistFault wrapping PageNotOpenedFault");
  // A name outside the table: E_FAIL, without the library's text.
  raw->PushEnvelope(Fault(kUserException, kPackage + "QuotaExceededFault: za dużo stron"), 500);
  EXPECT_EQ(connector->SetItemData(kAccount, 3, CreateItemInfoContainer()), E_FAIL);
  EXPECT_EQ(ErrorDescription(), L"Serwer zwrócił błąd: : za dużo stron");
  // A fault of another kind: 0x8004450E, with its code and string.
  raw->PushEnvelope(Fault("SOAP-ENV:Server.generalException", "java.lang.NullPointerException"), 500);
  EXPECT_EQ(connector->SetItemData(kAccount, 3, CreateItemInfoContainer()), static_cast<HRESULT>(0x8004450Eu));
  EXPECT_EQ(ErrorDescription(), LibraryText(static_cast<HRESULT>(0x8004450Eu)) +
                                    L"SOAP-ENV:Server.generalException: java.lang.NullPointerException");
  // A plain Server or Client fault has a status of its own, and the library's text alone.
  raw->PushEnvelope(Fault("SOAP-ENV:Server", "java.lang.NullPointerException"), 500);
  EXPECT_EQ(connector->SetItemData(kAccount, 3, CreateItemInfoContainer()), static_cast<HRESULT>(0x80044504u));
  EXPECT_EQ(ErrorDescription(), LibraryText(static_cast<HRESULT>(0x80044504u)));
  raw->PushEnvelope(Fault("SOAP-ENV:Client", "bad request"), 500);
  EXPECT_EQ(connector->SetItemData(kAccount, 3, CreateItemInfoContainer()), static_cast<HRESULT>(0x80044503u));
  // Each failure's source is the connector.
  IErrorInfo* info = nullptr;
  raw->PushEnvelope(Fault(kUserException, kPackage + "PageClosedFault: x"), 500);
  connector->SetItemData(kAccount, 3, CreateItemInfoContainer());
  ASSERT_EQ(GetErrorInfo(0, &info), S_OK);
  BSTR source = nullptr;
  info->GetSource(&source);
  EXPECT_STREQ(source, L"Vantor.CoVorlenConnector.1");
  SysFreeString(source);
  info->Release();
}

TEST_F(ConnectorRawTest, RequestsCarryTheCredentialsAndWhatTheArgumentsSay) {
  host->instance->registrations[kAccount] = {_variant_t(kSeller), _variant_t(LONG{4}), _variant_t(L"REG-1000")};
  IVorlenConnectorPtr connector = NewConnector();
  raw->PushEnvelope("<ss:closePageResponse/>");
  ASSERT_EQ(connector->ClosePage(kAccount, 9, vtMissing), S_OK);
  std::string request = raw->LastRequest();
  EXPECT_NE(request.find("<serviceId>1</serviceId>"), std::string::npos) << request;  // 4 is sent as 1
  EXPECT_NE(request.find("<serviceUserId>1000</serviceUserId>"), std::string::npos);
  EXPECT_NE(request.find("<closedPageId>9</closedPageId>"), std::string::npos);
  EXPECT_EQ(request.find("regroupedPageId"), std::string::npos);
  for (const _variant_t& other : {_variant_t(LONG{-1}), _variant_t(L"12"), _variant_t(12.0)}) {
    raw->PushEnvelope("<ss:closePageResponse/>");
    ASSERT_EQ(connector->ClosePage(kAccount, 9, other), S_OK);
    EXPECT_EQ(raw->LastRequest().find("regroupedPageId"), std::string::npos);
  }
  raw->PushEnvelope("<ss:closePageResponse/>");
  ASSERT_EQ(connector->ClosePage(kAccount, 9, _variant_t(LONG{12})), S_OK);
  EXPECT_NE(raw->LastRequest().find("<regroupedPageId>12</regroupedPageId>"), std::string::npos);
  // Page 0 of SetAcknowledgedBuyerData still calls the service, which answers for it.
  raw->PushEnvelope(Fault(kUserException, kPackage + "PageDoesNotExistFault: 0"), 500);
  EXPECT_EQ(connector->SetAcknowledgedBuyerData(kAccount, 0, CreateAuctionBidInfoContainer(), CreateBuyerDataInfoContainer()),
            static_cast<HRESULT>(0x8004459Fu));
  EXPECT_NE(raw->LastRequest().find("<pageId>0</pageId>"), std::string::npos);
  // An empty page-data container sends sentAll alone.
  raw->PushEnvelope("<ss:setPageDataResponse/>");
  ASSERT_EQ(connector->SetPageData(kAccount, 3, CreatePageDataInfoContainer()), S_OK);
  request = raw->LastRequest();
  EXPECT_NE(request.find("<sentAll>false</sentAll>"), std::string::npos) << request;
  EXPECT_EQ(request.find("payment"), std::string::npos);
  EXPECT_EQ(request.find("Date"), std::string::npos);
}

std::atomic<int> gCallbackAsked{0};
DWORD CountingCallback(HINTERNET, DWORD) {
  ++gCallbackAsked;
  return static_cast<DWORD>(tr::ResolveSendErrorAnswer::Fail);
}

TEST_F(ConnectorTest, TransportFailuresAndTheOpenPageCallback) {
  UseService(ClosedPort());
  IVorlenConnectorPtr connector = NewConnector();
  struct soap* s = Impl(connector).Binding().soap;
  tr::SetResolveSendError(s, CountingCallback);
  gCallbackAsked = 0;
  _Recordset *page = nullptr, *buyers = nullptr, *bids = nullptr;
  EXPECT_EQ(connector->OpenTrustedPage(kAccount, OneBid(L"1000-1", 501), FALSE, &page, &buyers, &bids),
            static_cast<HRESULT>(0x80044518u));
  EXPECT_EQ(ErrorDescription(), LibraryText(static_cast<HRESULT>(0x80044518u)));
  EXPECT_EQ(gCallbackAsked.load(), 0);  // no dialog, no resend while a page opens
  EXPECT_EQ(tr::GetResolveSendError(s), &CountingCallback);  // and the callback is back
  EXPECT_EQ(page, nullptr);
  EXPECT_EQ(connector->SetItemData(kAccount, 3, CreateItemInfoContainer()), static_cast<HRESULT>(0x80044518u));
  EXPECT_EQ(s->alist, nullptr);
}

// ---------------------------------------------------------------------------------------------
// Bad answers

TEST_F(ConnectorRawTest, BadAnswersFailWithADescriptionOrGiveNullResults) {
  IVorlenConnectorPtr connector = NewConnector();
  _Recordset* out = reinterpret_cast<_Recordset*>(0x1);
  // No result element: S_OK, and the output is null rather than left as it was.
  raw->PushEnvelope("<ss:getPageConfigResponse/>");
  EXPECT_EQ(connector->GetPageConfig(kAccount, &out), S_OK);
  EXPECT_EQ(out, nullptr);
  _Recordset *a = reinterpret_cast<_Recordset*>(0x1), *b = reinterpret_cast<_Recordset*>(0x1);
  raw->PushEnvelope("<ss:getBuyerDataResponse/>");
  EXPECT_EQ(connector->GetBuyerData(kAccount, CreatePageIdsContainer(), &a, &b), S_OK);
  EXPECT_EQ(a, nullptr);
  EXPECT_EQ(b, nullptr);

  const std::string wrongType =
      "<ss:getPageConfigResponse><getPageConfigReturn><statusesEnabled>może</statusesEnabled>"
      "</getPageConfigReturn></ss:getPageConfigResponse>";
  const std::string truncated =
      "<ss:getPageConfigResponse><getPageConfigReturn><statusesEnabled>true</statusesEnabled>";
  const std::string undefinedEntity =
      "<ss:getPageConfigResponse><getPageConfigReturn><sellerUrl>&oops;</sellerUrl></getPageConfigReturn>"
      "</ss:getPageConfigResponse>";
  const std::string badDate =
      "<ss:getPageChangesInfoResponse><getPageChangesInfoReturn SOAP-ENC:arrayType=\"ss:StatusPageInfo[1]\" "
      "xsi:type=\"SOAP-ENC:Array\"><item><pageId>1</pageId><lastBuyerDataEntryDate>kiedyś</lastBuyerDataEntryDate>"
      "</item></getPageChangesInfoReturn></ss:getPageChangesInfoResponse>";
  raw->PushEnvelope(badDate);
  out = reinterpret_cast<_Recordset*>(0x1);
  EXPECT_TRUE(FAILED(connector->GetPageChangesInfo(kAccount, CreatePageIdsContainer(), Date(2024, 1, 1), &out)));
  EXPECT_EQ(out, nullptr);
  EXPECT_NE(ErrorDescription(), L"");
  for (const std::string& body : {wrongType, undefinedEntity}) {
    raw->PushEnvelope(body);
    out = reinterpret_cast<_Recordset*>(0x1);
    const HRESULT hr = connector->GetPageConfig(kAccount, &out);
    EXPECT_TRUE(FAILED(hr)) << body;
    EXPECT_EQ(out, nullptr);
    EXPECT_NE(ErrorDescription(), L"") << body;
  }
  raw->PushHttp(zone_service::EnvelopeOf(truncated).substr(0, 300));
  EXPECT_TRUE(FAILED(connector->GetPageConfig(kAccount, &out)));
  EXPECT_NE(ErrorDescription(), L"");
  raw->PushHttp("<html><body>502 Bad Gateway</body></html>", 502);
  EXPECT_TRUE(FAILED(connector->GetPageConfig(kAccount, &out)));
  EXPECT_NE(ErrorDescription(), L"");
  // A buyer id past 32 bits: the recordset's error, nothing handed out.
  raw->PushEnvelope(
      "<ss:getBuyerDataResponse><getBuyerDataReturn SOAP-ENC:arrayType=\"ss:BuyerDataInfo[1]\" xsi:type=\"SOAP-ENC:Array\">"
      "<item><bids SOAP-ENC:arrayType=\"ss:AuctionBidInfo[1]\" xsi:type=\"SOAP-ENC:Array\"><item><auction>"
      "<auctionId>1000-1</auctionId><serviceId>1</serviceId></auction><buyerId>8589934592</buyerId></item></bids>"
      "</item></getBuyerDataReturn></ss:getBuyerDataResponse>");
  a = b = reinterpret_cast<_Recordset*>(0x1);
  EXPECT_EQ(connector->GetBuyerData(kAccount, CreatePageIdsContainer(), &a, &b), static_cast<HRESULT>(0x80040E21u));
  EXPECT_EQ(a, nullptr);
  EXPECT_EQ(b, nullptr);
  EXPECT_NE(ErrorDescription(), L"");
}

TEST_F(ConnectorRawTest, AHundredThousandPageChangesConvertWhole) {
  constexpr int kPages = 100000;
  std::string body = "<ss:getPageChangesInfoResponse><getPageChangesInfoReturn SOAP-ENC:arrayType=\"ss:StatusPageInfo[" +
                     std::to_string(kPages) + "]\" xsi:type=\"SOAP-ENC:Array\">";
  body.reserve(body.size() + kPages * 100);
  for (int i = 1; i <= kPages; ++i) {
    body += "<item><pageId>" + std::to_string(i) + "</pageId>";
    if (i % 2) body += "<lastBuyerDataEntryDate>2024-10-27T00:30:00Z</lastBuyerDataEntryDate>";
    body += "</item>";
  }
  body += "</getPageChangesInfoReturn></ss:getPageChangesInfoResponse>";
  raw->PushEnvelope(body);
  IVorlenConnectorPtr connector = NewConnector();
  _Recordset* out = nullptr;
  ASSERT_EQ(connector->GetPageChangesInfo(kAccount, CreatePageIdsContainer(), Date(2024, 1, 1), &out), S_OK);
  _RecordsetPtr changes = Take(out);
  ASSERT_EQ(Rows(changes), kPages);
  changes->MoveLast();
  EXPECT_EQ(Long(changes, L"page_id"), kPages);
  EXPECT_DOUBLE_EQ(Value(changes, L"last_dataEntry_date").date, Date(2000, 1, 1));
  changes->MovePrevious();
  EXPECT_DOUBLE_EQ(Value(changes, L"last_dataEntry_date").date, Date(2024, 10, 27, 2, 30));
  EXPECT_EQ(Impl(connector).Binding().soap->alist, nullptr);
}

}  // namespace
}  // namespace vorlen::test
