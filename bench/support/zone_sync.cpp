#include "bench/support/zone_sync.h"

#include <cstdio>
#include <ctime>
#include <vector>

#include "platform/registry/registry.h"
#include "zone/protocol/StatusServiceBinding.h"
#include "zone/protocol/tests/Values.h"

namespace benchsupport {
namespace {

void Execute(const _ConnectionPtr& cn, const std::wstring& sql) {
  cn->Execute(_bstr_t(sql.c_str()), nullptr, adCmdText | adExecuteNoRecords);
}

using vorlen::test::TextPtr;
using vorlen::test::ValuePtr;

ArrayOfItemInfo* TwoItems(struct soap* s, bool prices) {
  auto* a = soap_new_ArrayOfItemInfo(s);
  a->__size = 2;
  a->__ptr = static_cast<ss__ItemInfo**>(soap_malloc(s, sizeof(ss__ItemInfo*) * 2));
  for (int i = 0; i < 2; ++i) {
    auto* it = soap_new_ss__ItemInfo(s);
    it->name = soap_strdup(s, i == 0 ? "Lampa biurkowa" : "\xC5\xBB" "ar\xC3\xB3wka LED");
    it->quantity = i + 1;
    if (prices) it->price = ValuePtr(s, i == 0 ? 129.99 : 9.99);
    it->sortOrder = i;
    a->__ptr[i] = it;
  }
  return a;
}

// The calls of the synchronisation, made with the bare generated client over HTTPS: its seconds,
// or a negative value when a call failed.
double TimeBareCallsImpl(const testing_net::Certificates& certificates, int transactions, double (*clock)()) {
  HttpsService service(certificates, transactions);
  if (!service.ok) return -1;
  const std::string url = "https://127.0.0.1:" + std::to_string(service.server.port()) + "/rpcrouter";
  struct soap* s = soap_new();
  PrepareZoneSoap(s);
  s->connect_timeout = s->recv_timeout = s->send_timeout = 5;
  if (soap_ssl_client_context(s, SOAP_SSL_REQUIRE_SERVER_AUTHENTICATION | SOAP_SSL_SKIP_HOST_CHECK, nullptr, nullptr,
                              certificates.CaFile().c_str(), nullptr, nullptr) != SOAP_OK) {
    std::fprintf(stderr, "bench_zone: no TLS context for the bare client\n");
    soap_free(s);
    return -1;
  }
  const char* endpoint = url.c_str();
  ss__RegisteredServiceUserInfo* user = ZoneUser(s);
  std::vector<int> pages;
  bool ok = true;
  const double start = clock();
  for (int i = 1; i <= transactions && ok; ++i) {
    auto* bids = soap_new_ArrayOfAuctionBidInfo(s);
    bids->__size = 1;
    bids->__ptr = static_cast<ss__AuctionBidInfo**>(soap_malloc(s, sizeof(ss__AuctionBidInfo*)));
    bids->__ptr[0] = soap_new_ss__AuctionBidInfo(s);
    bids->__ptr[0]->auction.auctionId = soap_strdup(s, AuctionOf(i).c_str());
    bids->__ptr[0]->auction.serviceId = 1;
    bids->__ptr[0]->buyerId = kFirstBuyer + i;
    ss__openTrustedPageResponse opened;
    if (soap_call_ss__openTrustedPage(s, endpoint, "", user, bids, true, opened) != SOAP_OK ||
        !opened.openTrustedPageReturn) {
      ok = false;
      break;
    }
    const int page = opened.openTrustedPageReturn->pageId;
    pages.push_back(page);

    auto* buyer = soap_new_ss__BuyerDataInfo(s);
    buyer->bids = bids;
    buyer->notes = soap_new_ss__NotesInfo(s);
    buyer->notes->trusted = true;
    buyer->deliveryAddress = soap_new_ss__AddressInfo(s);
    buyer->deliveryAddress->trusted = true;
    buyer->deliveryAddress->name = soap_strdup(s, "Kupuj\xC4\x85" "cy");
    buyer->deliveryAddress->firstLine = soap_strdup(s, "ul. D\xC5\x82uga 5");
    buyer->deliveryAddress->secondLine = soap_strdup(s, "");
    buyer->deliveryAddress->zipCode = TextPtr(s, "00-950");
    buyer->deliveryAddress->city = soap_strdup(s, "Warszawa");
    buyer->deliveryAddress->country = TextPtr(s, "Polska");
    ss__setAcknowledgedBuyerDataResponse acknowledged;
    ok = soap_call_ss__setAcknowledgedBuyerData(s, endpoint, "", user, page, buyer, acknowledged) == SOAP_OK;

    auto* packages = soap_new_ArrayOfPackageInfo(s);
    packages->__size = 1;
    packages->__ptr = static_cast<ss__PackageInfo**>(soap_malloc(s, sizeof(ss__PackageInfo*)));
    auto* package = packages->__ptr[0] = soap_new_ss__PackageInfo(s);
    package->symbol = soap_strdup(s, "PX");
    package->statusLink = soap_strdup(s, "http://kurier.example/PX");
    package->charge = ValuePtr(s, 15.0);
    package->chargeCurrency = soap_strdup(s, "PLN");
    package->sentDate = ValuePtr(s, std::time(nullptr));
    package->items = TwoItems(s, false);
    ss__setPackageDataResponse packaged;
    ok = ok && soap_call_ss__setPackageData(s, endpoint, "", user, page, packages, packaged) == SOAP_OK;

    auto* data = soap_new_ss__StatusPageDataInfo(s);
    data->baseCurrency = soap_strdup(s, "PLN");
    data->paymentCurrency = soap_strdup(s, "PLN");
    data->payment = ValuePtr(s, 149.98);
    data->buyDate = ValuePtr(s, std::time(nullptr) - 86400);
    ss__setPageDataResponse dataSet;
    ok = ok && soap_call_ss__setPageData(s, endpoint, "", user, page, data, dataSet) == SOAP_OK;
    ss__setItemDataResponse itemsSet;
    ok = ok && soap_call_ss__setItemData(s, endpoint, "", user, page, TwoItems(s, true), itemsSet) == SOAP_OK;
    ss__setDataEntryConstraintsResponse constraints;
    ok = ok &&
         soap_call_ss__setDataEntryConstraints(s, endpoint, "", user, page, true, true, true, true, constraints) ==
             SOAP_OK;
    soap_destroy(s);  // what this page's calls decoded and built
    soap_end(s);
    user = ZoneUser(s);
  }
  if (ok) {
    auto* ids = soap_new_ArrayOf_xsd_int(s);
    ids->__size = static_cast<int>(pages.size());
    ids->__ptr = static_cast<int*>(soap_malloc(s, sizeof(int) * (pages.size() + 1)));
    std::copy(pages.begin(), pages.end(), ids->__ptr);
    ss__getPageChangesInfoResponse changes;
    ok = soap_call_ss__getPageChangesInfo(s, endpoint, "", user, ids, std::time(nullptr) - 86400, changes) == SOAP_OK;
  }
  const double seconds = clock() - start;
  if (!ok) std::fprintf(stderr, "bench_zone: a bare call failed (%d)\n", s->error);
  soap_destroy(s);
  soap_end(s);
  soap_free(s);
  return ok ? seconds : -1;
}



}  // namespace

ss__RegisteredServiceUserInfo* ZoneUser(struct soap* s) {
  auto* u = soap_new_ss__RegisteredServiceUserInfo(s);
  u->serviceUserId = 1000;
  u->serviceId = 1;
  u->registrationId = static_cast<char**>(soap_malloc(s, sizeof(char*)));
  *u->registrationId = soap_strdup(s, "REG-1000");
  return u;
}

void PrepareZoneSoap(struct soap* s) {
  soap_set_imode(s, SOAP_C_UTFSTRING);
  soap_set_omode(s, SOAP_C_UTFSTRING | SOAP_XML_TREE);
}

std::string AuctionOf(int i) { return "B-" + std::to_string(i); }

HttpsService::HttpsService(const testing_net::Certificates& certificates, int transactions) : server(model) {
  model.Seed(0);
  for (int i = 1; i <= transactions; ++i) model.AddAuction({AuctionOf(i), 1, {kSeller, 1}, {kFirstBuyer + i}});
  zone_service::ServerOptions options;
  options.https = true;
  options.certFile = certificates.Good().cert;
  options.keyFile = certificates.Good().key;
  std::string error;
  if (!server.Bind(options, &error)) {
    std::fprintf(stderr, "zone service: %s\n", error.c_str());
    return;
  }
  server.StartThread();
  ok = true;
}

HttpsService::~HttpsService() { server.Stop(); }

void UseZoneService(const HttpsService& service) {
  const std::wstring host = L"127.0.0.1:" + std::to_wstring(service.server.port());
  SHSetValueW(HKEY_CURRENT_USER, L"Software\\Kordel\\Vantor\\Vorlen\\1.0\\StrefaVantor", L"Host", REG_SZ,
              host.c_str(), static_cast<DWORD>((host.size() + 1) * sizeof(wchar_t)));
}

double TimeBareCalls(const testing_net::Certificates& certificates, int transactions, double (*clock)()) {
  return TimeBareCallsImpl(certificates, transactions, clock);
}

void SeedZoneAccount(const _ConnectionPtr& cn) {
  Execute(cn, L"INSERT INTO reg__Registration (reg_Id, reg_SvcProvId, reg_SvcUserId, reg_Username, reg_Accesskey, "
              L"reg_Name, reg_Active, reg_ST_StatusesServiceActive) VALUES (1, 1, 1000, 'sprzedawca', 'ak1:3e3f', "
              L"'Konto', 1, 1)");
  Execute(cn, L"INSERT INTO kd_SellerZoneAccount (sz_RegId, sz_RegistrationId) VALUES (1, 'REG-1000')");
  Execute(cn, L"INSERT INTO st__Site (st_Id, st_SiteId, st_SvcProvId, st_Name) VALUES (1, 1, 1, 'Serwis')");
  Execute(cn, L"INSERT INTO reg_Site (rs_Id, rs_RegId, rs_SiteId) VALUES (1, 1, 1)");
}

void SeedZonePurchases(const _ConnectionPtr& cn, long firstId, int transactions) {
  cn->BeginTrans();
  for (int i = 1; i <= transactions; ++i) {
    const std::wstring n = std::to_wstring(firstId + i);
    const std::wstring k = std::to_wstring(i);
    Execute(cn, L"INSERT INTO cs__Customer (cs_Id, cs_Name, cs_ExtServiceId, cs_SvcProvId) VALUES (" + n +
                    L", 'Kupujący " + k + L"', " + std::to_wstring(kFirstBuyer + i) + L", 1)");
    Execute(cn, L"INSERT INTO au__Auction (au_Id, au_Number, au_RegId, au_SvcProvId) VALUES (" + n + L", 'B-" + k +
                    L"', 1, 1)");
    Execute(cn, L"INSERT INTO tr__Transaction (tr_Id, tr_Name, tr_RegId, tr_CustomerId, tr_AuctionId, "
                L"tr_CreationDate, tr_Date, tr_LastModified, tr_Currency, tr_ValueCurrency, tr_Payment) VALUES (" +
                    n + L", 'Zakup " + k + L"', 1, " + n + L", " + n + L", GETDATE() - 1, GETDATE() - 1, "
                    L"GETDATE() - 1, 'PLN', 'PLN', 149.98)");
    Execute(cn, L"INSERT INTO tr_Address (ta_Id, ta_TransId, ta_Kind, ta_Name, ta_FirstLine, ta_ZipCode, ta_City, "
                L"ta_Country) VALUES (" + n + L", " + n + L", 2, 'Kupujący " + k +
                    L"', 'ul. Długa 5', '00-950', 'Warszawa', 'Polska')");
    Execute(cn, L"INSERT INTO tr_Position (tp_Id, tp_TransId, tp_Order, tp_Name, tp_Quantity, tp_Price) VALUES (" +
                    std::to_wstring(2 * (firstId + i)) + L", " + n + L", 1, 'Lampa biurkowa', 1, 129.99), (" +
                    std::to_wstring(2 * (firstId + i) + 1) + L", " + n + L", 2, 'Żarówka LED', 2, 9.99)");
    Execute(cn, L"INSERT INTO pc__Package (pc_Id, pc_TransId, pc_RegId, pc_Symbol, pc_TrackingLink, pc_Charge, "
                L"pc_ChargeCurrency, pc_SendDate, pc_StatusDataModified) VALUES (" + n + L", " + n +
                    L", 1, 'PX-" + k + L"', 'kurier.example/PX-" + k + L"', 15, 'PLN', GETDATE(), 1)");
    Execute(cn, L"INSERT INTO pc_PackageItem (pi_Id, pi_PackageId, pi_Order, pi_Name, pi_Quantity, pi_Price) VALUES (" +
                    std::to_wstring(2 * (firstId + i)) + L", " + n + L", 1, 'Lampa biurkowa', 1, 129.99), (" +
                    std::to_wstring(2 * (firstId + i) + 1) + L", " + n + L", 2, 'Żarówka LED', 2, 9.99)");
  }
  cn->CommitTrans();
}

}  // namespace benchsupport
