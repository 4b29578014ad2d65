#include "testing/zone_service/ZoneServer.h"

#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "StatusServiceH.h"

namespace zone_service {
namespace {

// Class names of the service's faults begin with this package in fault strings.
constexpr char kFaultPackage[] = "pl.kordel.webservices.status.";
constexpr char kUserExceptionCode[] = "SOAP-ENV:Server.userException";

Model& ModelOf(struct soap* s) { return *static_cast<Model*>(s->user); }

// ---- texts and values -------------------------------------------------------------
char* Dup(struct soap* s, const std::optional<std::string>& text) {
  return text ? soap_strdup(s, text->c_str()) : nullptr;
}
char** DupPtr(struct soap* s, const std::optional<std::string>& text) {
  if (!text) return nullptr;
  auto** p = static_cast<char**>(soap_malloc(s, sizeof(char*)));
  *p = soap_strdup(s, text->c_str());
  return p;
}
template <class T>
T* ValuePtr(struct soap* s, const std::optional<T>& v) {
  if (!v) return nullptr;
  auto* p = static_cast<T*>(soap_malloc(s, sizeof(T)));
  *p = *v;
  return p;
}
std::optional<std::string> Text(const char* p) { return p ? std::optional<std::string>(p) : std::nullopt; }
std::optional<std::string> Text(char* const* p) { return p && *p ? std::optional<std::string>(*p) : std::nullopt; }
template <class T>
std::optional<T> Value(const T* p) {
  return p ? std::optional<T>(*p) : std::nullopt;
}

// ---- model <-> service values -------------------------------------------------------
Bid FromSoap(const ss__AuctionBidInfo& b) {
  return Bid{b.auction.auctionId ? b.auction.auctionId : "", b.auction.serviceId, b.buyerId};
}

std::vector<Bid> FromSoap(const ArrayOfAuctionBidInfo* a) {
  std::vector<Bid> bids;
  if (a && a->__ptr)
    for (int i = 0; i < a->__size; ++i)
      if (a->__ptr[i]) bids.push_back(FromSoap(*a->__ptr[i]));
  return bids;
}

Address FromSoap(const ss__AddressInfo& a) {
  Address r;
  r.trusted = a.trusted;
  r.name = Text(a.name);
  r.firstLine = Text(a.firstLine);
  r.secondLine = Text(a.secondLine);
  r.zipCode = Text(a.zipCode);
  r.city = Text(a.city);
  r.country = Text(a.country);
  r.company = Text(a.company);
  r.nip = Text(a.nip);
  return r;
}

BuyerData FromSoap(const ss__BuyerDataInfo& b) {
  BuyerData r;
  if (b.bids) r.bids = FromSoap(b.bids);
  if (b.notes) r.notes = Notes{b.notes->trusted, Text(b.notes->notes)};
  if (b.billingAddress) r.billingAddress = FromSoap(*b.billingAddress);
  if (b.deliveryAddress) r.deliveryAddress = FromSoap(*b.deliveryAddress);
  return r;
}

std::vector<Item> FromSoap(const ArrayOfItemInfo& a) {
  std::vector<Item> items;
  for (int i = 0; a.__ptr && i < a.__size; ++i)
    if (const ss__ItemInfo* it = a.__ptr[i])
      items.push_back(Item{Text(it->name), it->quantity, Value(it->price), it->sortOrder});
  return items;
}

std::vector<Package> FromSoap(const ArrayOfPackageInfo& a) {
  std::vector<Package> packages;
  for (int i = 0; a.__ptr && i < a.__size; ++i) {
    const ss__PackageInfo* p = a.__ptr[i];
    if (!p) continue;
    Package r;
    r.symbol = Text(p->symbol);
    r.statusLink = Text(p->statusLink);
    r.chargeCurrency = Text(p->chargeCurrency);
    r.charge = Value(p->charge);
    r.sentDate = Value(p->sentDate);
    if (p->items) r.items = FromSoap(*p->items);
    r.sortOrder = p->sortOrder;
    packages.push_back(r);
  }
  return packages;
}

PageData FromSoap(const ss__StatusPageDataInfo& d) {
  PageData r;
  r.remittanceDate = Value(d.remittanceDate);
  r.buyDate = Value(d.buyDate);
  r.sentAll = d.sentAll;
  r.baseCurrency = Text(d.baseCurrency);
  r.paymentCurrency = Text(d.paymentCurrency);
  r.payment = Value(d.payment);
  return r;
}

ss__AuctionInfo* ToSoapAuction(struct soap* s, const std::string& id, int serviceId) {
  auto* a = soap_new_ss__AuctionInfo(s);
  a->auctionId = soap_strdup(s, id.c_str());
  a->serviceId = static_cast<char>(serviceId);
  return a;
}

ArrayOfAuctionBidInfo* ToSoap(struct soap* s, const std::vector<Bid>& bids) {
  auto* a = soap_new_ArrayOfAuctionBidInfo(s);
  a->__size = static_cast<int>(bids.size());
  a->__ptr = static_cast<ss__AuctionBidInfo**>(soap_malloc(s, sizeof(ss__AuctionBidInfo*) * (bids.size() + 1)));
  for (size_t i = 0; i < bids.size(); ++i) {
    auto* b = soap_new_ss__AuctionBidInfo(s);
    b->auction.auctionId = soap_strdup(s, bids[i].auctionId.c_str());
    b->auction.serviceId = static_cast<char>(bids[i].serviceId);
    b->buyerId = bids[i].buyerId;
    a->__ptr[i] = b;
  }
  return a;
}

ss__AddressInfo* ToSoap(struct soap* s, const Address& a) {
  auto* r = soap_new_ss__AddressInfo(s);
  r->trusted = a.trusted;
  r->name = Dup(s, a.name);
  r->firstLine = Dup(s, a.firstLine);
  r->secondLine = Dup(s, a.secondLine);
  r->zipCode = DupPtr(s, a.zipCode);
  r->city = Dup(s, a.city);
  r->country = DupPtr(s, a.country);
  r->company = DupPtr(s, a.company);
  r->nip = DupPtr(s, a.nip);
  return r;
}

ss__BuyerDataInfo* ToSoap(struct soap* s, const BuyerData& b) {
  auto* r = soap_new_ss__BuyerDataInfo(s);
  if (b.bids) r->bids = ToSoap(s, *b.bids);
  if (b.notes) {
    r->notes = soap_new_ss__NotesInfo(s);
    r->notes->trusted = b.notes->trusted;
    r->notes->notes = DupPtr(s, b.notes->text);
  }
  if (b.billingAddress) r->billingAddress = ToSoap(s, *b.billingAddress);
  if (b.deliveryAddress) r->deliveryAddress = ToSoap(s, *b.deliveryAddress);
  return r;
}

ArrayOfBuyerDataInfo* ToSoap(struct soap* s, const std::vector<BuyerData>& list) {
  auto* a = soap_new_ArrayOfBuyerDataInfo(s);
  a->__size = static_cast<int>(list.size());
  a->__ptr = static_cast<ss__BuyerDataInfo**>(soap_malloc(s, sizeof(ss__BuyerDataInfo*) * (list.size() + 1)));
  for (size_t i = 0; i < list.size(); ++i) a->__ptr[i] = ToSoap(s, list[i]);
  return a;
}

ss__StatusPageInfo* ToSoap(struct soap* s, const Page& page) {
  auto* r = soap_new_ss__StatusPageInfo(s);
  r->pageUrlPart = DupPtr(s, page.urlPart);
  r->pageId = page.id;
  r->lastBuyerDataEntryDate = ValuePtr(s, page.lastBuyerDataEntryDate);
  if (!page.untrustedBuyerData.empty()) r->lastEnteredUntrustedBuyerData = ToSoap(s, page.untrustedBuyerData);
  return r;
}

ss__PageConfigInfo* ToSoap(struct soap* s, const PageConfig& c) {
  auto* r = soap_new_ss__PageConfigInfo(s);
  r->statusesEnabled = c.statusesEnabled;
  r->allowBillingAddressEntry = c.allowBillingAddressEntry;
  r->allowDeliveryAddressEntry = c.allowDeliveryAddressEntry;
  r->sellerShortDescription = DupPtr(s, c.sellerShortDescription);
  r->sellerUrl = Dup(s, c.sellerUrl);
  return r;
}

// ---- faults -----------------------------------------------------------------------
// A fault of the service: code "Server.userException", the string "<class>: <text>" and a
// detail whose element "fault" holds the fault object with its class as xsi:type.
int SendFault(struct soap* s, int type, void* fault, const char* name, const std::string& text) {
  std::string faultString = std::string(kFaultPackage) + name + ": " + text;
  soap_receiver_fault(s, soap_strdup(s, faultString.c_str()), nullptr);
  s->fault->faultcode = soap_strdup(s, kUserExceptionCode);
  s->fault->detail = soap_new_SOAP_ENV__Detail(s);
  s->fault->detail->__type = type;
  s->fault->detail->fault = fault;
  return SOAP_FAULT;
}

#define ZONE_FAULT(s, Name, text, fill)                                 \
  [&]() {                                                               \
    auto* f = soap_new_ss__##Name(s);                                   \
    fill(f);                                                            \
    return SendFault(s, SOAP_TYPE_ss__##Name, f, #Name, text);          \
  }()
#define NO_FILL [](auto*) {}

// The caller's account, or a fault.
int Authenticate(struct soap* s, Model& m, ss__RegisteredServiceUserInfo* user, Account** account) {
  if (m.unavailable()) return ZONE_FAULT(s, ServiceUnavailableFault, "Usługa jest chwilowo niedostępna", NO_FILL);
  if (!user) return ZONE_FAULT(s, IllegalArgumentFault, "Brak danych użytkownika", NO_FILL);
  auto it = m.accounts().find(AccountKey{user->serviceUserId, user->serviceId});
  bool registrationMatches = it != m.accounts().end() &&
                             (it->second.registrationId.empty() ||
                              (user->registrationId && *user->registrationId &&
                               it->second.registrationId == *user->registrationId));
  if (!registrationMatches)
    return ZONE_FAULT(s, UserAuthenticationFault, "Nieznany użytkownik " + std::to_string(user->serviceUserId),
                      [&](ss__UserAuthenticationFault* f) { f->userInfo = user; });
  *account = &it->second;
  return SOAP_OK;
}

// The caller's page `pageId`, or a fault (also for a closed page when `open` is asked).
int FindPage(struct soap* s, Model& m, const Account& account, ss__RegisteredServiceUserInfo* user, int pageId,
             bool open, Page** page) {
  auto it = m.pages().find(pageId);
  if (it == m.pages().end())
    return ZONE_FAULT(s, PageDoesNotExistFault, "Strona " + std::to_string(pageId) + " nie istnieje",
                      [&](ss__PageDoesNotExistFault* f) { f->pageId = pageId; });
  if (it->second.owner != account.key)
    return ZONE_FAULT(s, UserIsNotPageOwnerFault, "Strona " + std::to_string(pageId) + " należy do innego sprzedawcy",
                      [&](ss__UserIsNotPageOwnerFault* f) {
                        f->userInfo = user;
                        f->pageId = pageId;
                      });
  if (open && it->second.closed)
    return ZONE_FAULT(s, PageClosedFault, "Strona " + std::to_string(pageId) + " jest zamknięta",
                      [&](ss__PageClosedFault* f) { f->pageInfo = ToSoap(s, it->second); });
  *page = &it->second;
  return SOAP_OK;
}

int Illegal(struct soap* s, const std::string& text) { return ZONE_FAULT(s, IllegalArgumentFault, text, NO_FILL); }

// One operation's hold on the model: the lock, the fault the tests made it answer, the caller's
// account and, when asked, page.
struct Session {
  Session(struct soap* s, const char* operation)
      : model(ModelOf(s)), lock(model.Lock()), injected(model.TakeFault(operation)) {}
  Model& model;
  std::unique_lock<std::mutex> lock;
  std::optional<std::string> injected;
  Account* account = nullptr;
  Page* page = nullptr;
};

// What Begin answers for an operation that is to succeed without doing anything.
constexpr int kEmptyAnswer = -1000;
int Done(int rc) { return rc == kEmptyAnswer ? SOAP_OK : rc; }

// A named fault of the service with no members.
int NamedFault(struct soap* s, const std::string& name) {
  const std::string text = "Błąd na żądanie testu";
#define ZONE_NAMED(Name) \
  if (name == #Name) return ZONE_FAULT(s, Name, text, NO_FILL);
  ZONE_NAMED(IllegalArgumentFault)
  ZONE_NAMED(UserAuthenticationFault)
  ZONE_NAMED(ServiceUnavailableFault)
  ZONE_NAMED(UnsupportedOperationFault)
  ZONE_NAMED(UserIsNotPageOwnerFault)
  ZONE_NAMED(BidDoesNotExistFault)
  ZONE_NAMED(PageClosedFault)
  ZONE_NAMED(StatusesDisabledFault)
  ZONE_NAMED(AuctionDoesNotExistFault)
  ZONE_NAMED(UserIsNotSellerInAuctionFault)
  ZONE_NAMED(PageAlreadyOpenedFault)
  ZONE_NAMED(PageNotOpenedFault)
  ZONE_NAMED(PageDoesNotExistFault)
  ZONE_NAMED(PagesDoNotHaveCommonBidsFault)
#undef ZONE_NAMED
  return soap_receiver_fault(s, soap_strdup(s, ("Nieznany błąd testu: " + name).c_str()), nullptr);
}

// Answers what the tests made the operation answer; then authenticates the caller and, for a
// page operation, finds the caller's open page.
int Begin(struct soap* s, Session& c, ss__RegisteredServiceUserInfo* user, std::optional<int> pageId = {}) {
  if (c.injected) return c.injected->empty() ? kEmptyAnswer : NamedFault(s, *c.injected);
  if (int rc = Authenticate(s, c.model, user, &c.account)) return rc;
  return pageId ? FindPage(s, c.model, *c.account, user, *pageId, true, &c.page) : SOAP_OK;
}

}  // namespace
}  // namespace zone_service

using namespace zone_service;

// ---- the twelve operations ----------------------------------------------------------
int ss__getPageConfig(struct soap* s, ss__RegisteredServiceUserInfo* userInfo, ss__getPageConfigResponse& result) {
  Session c(s, "getPageConfig");
  if (int rc = Begin(s, c, userInfo)) return Done(rc);
  Account* account = c.account;
  result.getPageConfigReturn = ToSoap(s, account->config);
  return SOAP_OK;
}

int ss__setPageConfig(struct soap* s, ss__RegisteredServiceUserInfo* userInfo, ss__PageConfigInfo* configInfo,
                      ss__setPageConfigResponse&) {
  Session c(s, "setPageConfig");
  if (int rc = Begin(s, c, userInfo)) return Done(rc);
  Account* account = c.account;
  if (!configInfo) return Illegal(s, "Brak ustawień strony");
  PageConfig& config = account->config;
  config.statusesEnabled = configInfo->statusesEnabled;
  config.allowBillingAddressEntry = configInfo->allowBillingAddressEntry;
  config.allowDeliveryAddressEntry = configInfo->allowDeliveryAddressEntry;
  config.sellerShortDescription = Text(configInfo->sellerShortDescription);
  config.sellerUrl = Text(configInfo->sellerUrl);
  return SOAP_OK;
}

int ss__openTrustedPage(struct soap* s, ss__RegisteredServiceUserInfo* userInfo, ArrayOfAuctionBidInfo* bidsInfo,
                        bool autoRegroup, ss__openTrustedPageResponse& result) {
  Session c(s, "openTrustedPage");
  if (int rc = Begin(s, c, userInfo)) return Done(rc);
  Account* account = c.account;
  if (!account->config.statusesEnabled)
    return ZONE_FAULT(s, StatusesDisabledFault, "Strony statusowe są wyłączone",
                      [&](ss__StatusesDisabledFault* f) { f->configInfo = ToSoap(s, account->config); });
  if (!bidsInfo || bidsInfo->__size <= 0 || !bidsInfo->__ptr) return Illegal(s, "Brak ofert");
  for (int i = 0; i < bidsInfo->__size; ++i) {
    ss__AuctionBidInfo* b = bidsInfo->__ptr[i];
    if (!b || !b->auction.auctionId) return Illegal(s, "Niepełna oferta");
    const Auction* auction = c.model.FindAuction(b->auction.auctionId, b->auction.serviceId);
    if (!auction)
      return ZONE_FAULT(s, AuctionDoesNotExistFault, std::string("Aukcja ") + b->auction.auctionId + " nie istnieje",
                        [&](ss__AuctionDoesNotExistFault* f) {
                          f->auctionInfo = ToSoapAuction(s, b->auction.auctionId, b->auction.serviceId);
                        });
    if (auction->seller != account->key)
      return ZONE_FAULT(s, UserIsNotSellerInAuctionFault,
                        std::string("Aukcja ") + b->auction.auctionId + " należy do innego sprzedawcy",
                        [&](ss__UserIsNotSellerInAuctionFault* f) {
                          f->userInfo = userInfo;
                          f->auctionInfo = ToSoapAuction(s, b->auction.auctionId, b->auction.serviceId);
                        });
    if (std::find(auction->bidders.begin(), auction->bidders.end(), b->buyerId) == auction->bidders.end())
      return ZONE_FAULT(s, BidDoesNotExistFault, "Kupujący " + std::to_string(b->buyerId) + " nie licytował",
                        [&](ss__BidDoesNotExistFault* f) { f->bidInfo = b; });
  }
  std::vector<Bid> bids = FromSoap(bidsInfo);
  for (auto& [id, page] : c.model.pages()) {
    if (page.closed || page.owner != account->key) continue;
    for (const Bid& bid : bids)
      if (std::find(page.bids.begin(), page.bids.end(), bid) != page.bids.end())
        return ZONE_FAULT(s, PageAlreadyOpenedFault, "Strona " + std::to_string(id) + " jest już otwarta",
                          [&](ss__PageAlreadyOpenedFault* f) { f->pageInfo = ToSoap(s, page); });
  }
  Page page;
  page.id = c.model.NextPageId();
  page.owner = account->key;
  page.bids = bids;
  page.autoRegroup = autoRegroup;
  page.urlPart = "s/" + std::to_string(page.id) + "-" + std::to_string(account->key.serviceUserId);
  c.model.pages()[page.id] = page;
  result.openTrustedPageReturn = ToSoap(s, c.model.pages()[page.id]);
  return SOAP_OK;
}

int ss__closePage(struct soap* s, ss__RegisteredServiceUserInfo* userInfo, ss__PageClosingInfo* closingInfo,
                  ss__closePageResponse&) {
  Session c(s, "closePage");
  if (int rc = Begin(s, c, userInfo)) return Done(rc);
  Account* account = c.account;
  if (!closingInfo) return Illegal(s, "Brak danych zamykanej strony");
  Page* page = nullptr;
  if (int rc = FindPage(s, c.model, *account, userInfo, closingInfo->closedPageId, true, &page)) return rc;
  if (closingInfo->regroupedPageId) {
    Page* target = nullptr;
    if (int rc = FindPage(s, c.model, *account, userInfo, *closingInfo->regroupedPageId, true, &target)) return rc;
    bool common = std::any_of(page->bids.begin(), page->bids.end(), [&](const Bid& b) {
      return std::find(target->bids.begin(), target->bids.end(), b) != target->bids.end();
    });
    if (!common || target == page)
      return ZONE_FAULT(s, PagesDoNotHaveCommonBidsFault, "Strony nie mają wspólnych ofert",
                        [&](ss__PagesDoNotHaveCommonBidsFault* f) {
                          f->page1Id = page->id;
                          f->page2Id = target->id;
                        });
    page->regroupedInto = target->id;
  }
  page->closed = true;
  return SOAP_OK;
}

int ss__setPageData(struct soap* s, ss__RegisteredServiceUserInfo* userInfo, int pageId,
                    ss__StatusPageDataInfo* pageDataInfo, ss__setPageDataResponse&) {
  Session c(s, "setPageData");
  if (int rc = Begin(s, c, userInfo, pageId)) return Done(rc);
  Page* page = c.page;
  if (!pageDataInfo) return Illegal(s, "Brak danych strony");
  page->pageData = FromSoap(*pageDataInfo);
  return SOAP_OK;
}

int ss__setAcknowledgedBuyerData(struct soap* s, ss__RegisteredServiceUserInfo* userInfo, int pageId,
                                 ss__BuyerDataInfo* buyerDataInfo, ss__setAcknowledgedBuyerDataResponse&) {
  Session c(s, "setAcknowledgedBuyerData");
  if (int rc = Begin(s, c, userInfo, pageId)) return Done(rc);
  Page* page = c.page;
  if (!buyerDataInfo) return Illegal(s, "Brak danych kupującego");
  // The seller's data of the buyer stands on the page whether or not the buyer has been there.
  page->acknowledgedBuyerData = FromSoap(*buyerDataInfo);
  page->untrustedBuyerData.clear();
  return SOAP_OK;
}

int ss__setItemData(struct soap* s, ss__RegisteredServiceUserInfo* userInfo, int pageId, ArrayOfItemInfo* itemsInfo,
                    ss__setItemDataResponse&) {
  Session c(s, "setItemData");
  if (int rc = Begin(s, c, userInfo, pageId)) return Done(rc);
  Page* page = c.page;
  if (!itemsInfo) return Illegal(s, "Brak pozycji");
  page->items = FromSoap(*itemsInfo);
  return SOAP_OK;
}

int ss__setPackageData(struct soap* s, ss__RegisteredServiceUserInfo* userInfo, int pageId,
                       ArrayOfPackageInfo* packagesInfo, ss__setPackageDataResponse&) {
  Session c(s, "setPackageData");
  if (int rc = Begin(s, c, userInfo, pageId)) return Done(rc);
  Page* page = c.page;
  if (!packagesInfo) return Illegal(s, "Brak paczek");
  page->packages = FromSoap(*packagesInfo);
  return SOAP_OK;
}

int ss__setAllData(struct soap* s, ss__RegisteredServiceUserInfo* userInfo, int, ss__StatusPageDataInfo*,
                   ss__BuyerDataInfo*, ArrayOfItemInfo*, ArrayOfPackageInfo*, ss__setAllDataResponse&) {
  Session c(s, "setAllData");
  if (int rc = Begin(s, c, userInfo)) return Done(rc);
  return ZONE_FAULT(s, UnsupportedOperationFault, "Operacja setAllData nie jest obsługiwana", NO_FILL);
}

int ss__getPageChangesInfo(struct soap* s, ss__RegisteredServiceUserInfo* userInfo, ArrayOf_xsd_int* pageIds,
                           time_t cutoffEntryDate, ss__getPageChangesInfoResponse& result) {
  Session c(s, "getPageChangesInfo");
  if (int rc = Begin(s, c, userInfo)) return Done(rc);
  Account* account = c.account;
  std::vector<Page*> pages;
  if (pageIds) {
    for (int i = 0; pageIds->__ptr && i < pageIds->__size; ++i) {
      Page* page = nullptr;
      if (int rc = FindPage(s, c.model, *account, userInfo, pageIds->__ptr[i], false, &page)) return rc;
      pages.push_back(page);
    }
  } else {
    for (auto& [id, page] : c.model.pages())
      if (page.owner == account->key) pages.push_back(&page);
  }
  std::erase_if(pages, [&](Page* p) { return !p->lastBuyerDataEntryDate || *p->lastBuyerDataEntryDate <= cutoffEntryDate; });
  auto* a = soap_new_ArrayOfStatusPageInfo(s);
  a->__size = static_cast<int>(pages.size());
  a->__ptr = static_cast<ss__StatusPageInfo**>(soap_malloc(s, sizeof(ss__StatusPageInfo*) * (pages.size() + 1)));
  for (size_t i = 0; i < pages.size(); ++i) {
    a->__ptr[i] = ToSoap(s, *pages[i]);
    a->__ptr[i]->lastEnteredUntrustedBuyerData = nullptr;  // changes only
  }
  result.getPageChangesInfoReturn = a;
  return SOAP_OK;
}

int ss__getBuyerData(struct soap* s, ss__RegisteredServiceUserInfo* userInfo, ArrayOf_xsd_int* pageIds,
                     ss__getBuyerDataResponse& result) {
  Session c(s, "getBuyerData");
  if (int rc = Begin(s, c, userInfo)) return Done(rc);
  Account* account = c.account;
  if (!pageIds) return Illegal(s, "Brak numerów stron");
  std::vector<BuyerData> all;
  for (int i = 0; pageIds->__ptr && i < pageIds->__size; ++i) {
    Page* page = nullptr;
    if (int rc = FindPage(s, c.model, *account, userInfo, pageIds->__ptr[i], false, &page)) return rc;
    all.insert(all.end(), page->untrustedBuyerData.begin(), page->untrustedBuyerData.end());
  }
  result.getBuyerDataReturn = ToSoap(s, all);
  return SOAP_OK;
}

int ss__setDataEntryConstraints(struct soap* s, ss__RegisteredServiceUserInfo* in0, int in1, bool in2, bool in3,
                                bool in4, bool in5, ss__setDataEntryConstraintsResponse&) {
  Session c(s, "setDataEntryConstraints");
  if (int rc = Begin(s, c, in0, in1)) return Done(rc);
  Page* page = c.page;
  page->constraints = EntryConstraints{in2, in3, in4, in5};
  return SOAP_OK;
}

// ---- the server -------------------------------------------------------------------
namespace zone_service {

Server::Server(Model& model) : model_(model) {}

Server::~Server() {
  Stop();
  if (soap_) {
    soap_destroy(soap_);
    soap_end(soap_);
    soap_free(soap_);
  }
  if (!combinedPem_.empty()) std::filesystem::remove(combinedPem_);
}

bool Server::Bind(const ServerOptions& options, std::string* error) {
  auto fail = [&](const std::string& text) {
    if (error) *error = text;
    return false;
  };
  // A client that goes away mid-answer must not kill the process.
  signal(SIGPIPE, SIG_IGN);
  options_ = options;
  soap_ = soap_new1(SOAP_C_UTFSTRING | SOAP_IO_KEEPALIVE);  // keep-alive when the client asks for it
  if (!soap_) return fail("out of memory");
  soap_->user = &model_;
  soap_->bind_flags = SO_REUSEADDR;
  soap_->accept_timeout = -200000;  // 0.2 s, to notice Stop()
  soap_->recv_timeout = soap_->send_timeout = 10;
  soap_->socket_flags = MSG_NOSIGNAL;
  if (options.https) {
    std::string pem = options.certFile;
    if (options.keyFile != options.certFile) {
      // The TLS set-up wants the key and the certificate in one file.
      // A file of its own (servers of other processes do the same at once).
      std::string name = (std::filesystem::temp_directory_path() / "zone-service-XXXXXX").string();
      const int fd = mkstemp(name.data());
      if (fd < 0) return fail("cannot make a file for the key and certificate");
      close(fd);
      combinedPem_ = name;
      std::ofstream out(combinedPem_);
      std::ifstream key(options.keyFile), cert(options.certFile);
      if (!key || !cert) return fail("cannot read the key or certificate file");
      out << key.rdbuf() << cert.rdbuf();
      pem = combinedPem_;
    }
    if (soap_ssl_server_context(soap_, SOAP_SSL_DEFAULT, pem.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr,
                                nullptr)) {
      char text[512];
      soap_sprint_fault(soap_, text, sizeof text);
      return fail(text);
    }
  }
  if (!soap_valid_socket(soap_bind(soap_, "127.0.0.1", options.port, 64))) {
    char text[512];
    soap_sprint_fault(soap_, text, sizeof text);
    return fail(text);
  }
  sockaddr_in addr{};
  socklen_t len = sizeof addr;
  getsockname(soap_->master, reinterpret_cast<sockaddr*>(&addr), &len);
  port_ = ntohs(addr.sin_port);
  return true;
}

void Server::JoinFinishedWorkers() {
  const size_t before = workers_.size();
  for (auto it = workers_.begin(); it != workers_.end();) {
    if (it->done) {
      it->thread.join();
      it = workers_.erase(it);
    } else {
      ++it;
    }
  }
  if (workers_.size() != before) Changed();
}

void Server::Changed() {
  ++changes_;
  changed_.notify_all();
}

int Server::workerThreads() {
  std::lock_guard<std::mutex> lock(workersMutex_);
  return static_cast<int>(workers_.size());
}

bool Server::waitingForAWorker() {
  std::lock_guard<std::mutex> lock(workersMutex_);
  return waitingForAWorker_;
}

bool Server::WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  for (;;) {
    unsigned long seen;
    {
      std::lock_guard<std::mutex> lock(workersMutex_);
      seen = changes_;
    }
    if (done()) return true;
    std::unique_lock<std::mutex> lock(workersMutex_);
    if (!changed_.wait_until(lock, deadline, [&] { return changes_ != seen; })) return false;
  }
}

void Server::Run() {
  // Finished workers are joined as soon as they end, also while the acceptor waits for a
  // connection.
  bool ending = false;
  std::thread reaper([this, &ending] {
    std::unique_lock<std::mutex> lock(workersMutex_);
    for (;;) {
      JoinFinishedWorkers();
      if (ending) return;
      workerDone_.wait(lock);
    }
  });
  while (!stop_.load()) {
    {
      // A free worker first: connections beyond the bound wait in the listen queue.
      std::unique_lock<std::mutex> lock(workersMutex_);
      JoinFinishedWorkers();
      const bool full = static_cast<int>(workers_.size()) >= kMaxWorkers;
      if (full != waitingForAWorker_) {
        waitingForAWorker_ = full;
        Changed();
      }
      if (full) {
        workerDone_.wait_for(lock, std::chrono::milliseconds(200));
        continue;
      }
    }
    if (!soap_valid_socket(soap_accept(soap_))) {
      if (soap_->errnum) std::this_thread::sleep_for(std::chrono::milliseconds(10));
      continue;
    }
    // Each connection on its own thread, so that a client keeping its connection alive
    // does not hold up the others; the model locks per operation.
    struct soap* connection = soap_copy(soap_);
    if (!connection) {
      soap_force_closesock(soap_);
      continue;
    }
    std::lock_guard<std::mutex> lock(workersMutex_);
    Worker& worker = workers_.emplace_back();
    Changed();
    worker.thread = std::thread([this, connection, &worker] {
      if (!options_.https || soap_ssl_accept(connection) == SOAP_OK) soap_serve(connection);
      ++served_;
      soap_destroy(connection);
      soap_end(connection);
      soap_free(connection);
      std::lock_guard<std::mutex> done(workersMutex_);
      worker.done = true;
      Changed();
      workerDone_.notify_all();
    });
  }
  {
    std::unique_lock<std::mutex> lock(workersMutex_);
    workerDone_.wait(lock, [this] {
      JoinFinishedWorkers();
      return workers_.empty();
    });
    ending = true;
  }
  workerDone_.notify_all();
  reaper.join();
}

void Server::StartThread() {
  stop_ = false;
  thread_ = std::thread([this] { Run(); });
}

void Server::Stop() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
}

std::string Server::Url() const {
  return std::string(options_.https ? "https" : "http") + "://127.0.0.1:" + std::to_string(port_) + "/rpcrouter";
}

bool MakeSelfSignedCertificate(const std::string& dir, std::string* certFile, std::string* keyFile) {
  *certFile = dir + "/cert.pem";
  *keyFile = dir + "/key.pem";
  std::string command = "openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -keyout '" +
                        *keyFile + "' -out '" + *certFile +
                        "' -days 2 -subj /CN=localhost -addext 'subjectAltName=DNS:localhost,IP:127.0.0.1'"
                        " >/dev/null 2>&1";
  return std::system(command.c_str()) == 0 && std::filesystem::exists(*certFile);
}

}  // namespace zone_service
