// The binding against the test service: every operation over HTTP (one over HTTPS, one
// against the zone-service program), typed arguments and answers, each named fault, and the
// service's worker threads.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <stdio.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

#include "testing/zone_service/ZoneServer.h"
#include "zone/protocol/SoapStatus.h"
#include "zone/protocol/StatusServiceBinding.h"
#include "zone/protocol/tests/Values.h"

using namespace vorlen::test;
namespace zs = zone_service;

namespace {

constexpr LONG64 kSeller = 1000;      // seeded: REG-1000, auctions 1000-1..3 (bidders 50x/60x)
constexpr LONG64 kOtherSeller = 1001;

void PrepareClient(StatusServiceBinding& b) {
  soap_set_imode(b.soap, SOAP_C_UTFSTRING);
  soap_set_omode(b.soap, SOAP_C_UTFSTRING | SOAP_XML_TREE);
  b.soap->connect_timeout = b.soap->recv_timeout = b.soap->send_timeout = 10;
}

class ServiceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    model.Seed(0);
    std::string error;
    ASSERT_TRUE(server.Bind({}, &error)) << error;
    server.StartThread();
    url = server.Url();
    binding.endpoint = url.c_str();
    PrepareClient(binding);
  }
  ss__RegisteredServiceUserInfo* Me() { return User(binding.soap, kSeller, "REG-1000"); }
  int OpenPage(const char* auction, LONG64 buyer) {
    ss__openTrustedPageResponse r;
    int rc = binding.openTrustedPage(Me(), Bids(binding.soap, {{auction, buyer}}), false, r);
    EXPECT_EQ(rc, 0) << (binding.FaultString() ? binding.FaultString() : "");
    return rc == 0 && r.openTrustedPageReturn ? r.openTrustedPageReturn->pageId : 0;
  }

  zs::Model model;
  zs::Server server{model};
  std::string url;
  StatusServiceBinding binding;
};

TEST_F(ServiceTest, PageConfigRoundTripsWithUtf8Texts) {
  ss__getPageConfigResponse got;
  ASSERT_EQ(binding.getPageConfig(Me(), got), 0);
  ASSERT_NE(got.getPageConfigReturn, nullptr);
  EXPECT_TRUE(got.getPageConfigReturn->statusesEnabled);
  ASSERT_NE(got.getPageConfigReturn->sellerShortDescription, nullptr);
  EXPECT_STREQ(*got.getPageConfigReturn->sellerShortDescription, "Sprzedawca 1000");

  auto* config = soap_new_ss__PageConfigInfo(binding.soap);
  config->statusesEnabled = true;
  config->allowBillingAddressEntry = false;
  config->allowDeliveryAddressEntry = true;
  config->sellerShortDescription = TextPtr(binding.soap, "Sklep \xC5\xBB\xC3\xB3\xC5\x82\xC4\x87");  // "Sklep Żółć"
  config->sellerUrl = nullptr;
  ss__setPageConfigResponse none;
  ASSERT_EQ(binding.setPageConfig(Me(), config, none), 0);
  {
    auto lock = model.Lock();
    const zs::PageConfig& stored = model.accounts().at({kSeller, 1}).config;
    EXPECT_EQ(stored.sellerShortDescription, "Sklep \xC5\xBB\xC3\xB3\xC5\x82\xC4\x87");
    EXPECT_FALSE(stored.sellerUrl.has_value());
    EXPECT_FALSE(stored.allowBillingAddressEntry);
  }
  ASSERT_EQ(binding.getPageConfig(Me(), got), 0);
  EXPECT_STREQ(*got.getPageConfigReturn->sellerShortDescription, "Sklep \xC5\xBB\xC3\xB3\xC5\x82\xC4\x87");
  EXPECT_EQ(got.getPageConfigReturn->sellerUrl, nullptr);
  EXPECT_FALSE(got.getPageConfigReturn->allowBillingAddressEntry);
  EXPECT_TRUE(got.getPageConfigReturn->allowDeliveryAddressEntry);
}

TEST_F(ServiceTest, PageDataItemsPackagesAndConstraintsReachTheService) {
  int page = OpenPage("1000-1", 501);
  ASSERT_GT(page, 0);
  struct soap* s = binding.soap;

  auto* data = soap_new_ss__StatusPageDataInfo(s);
  data->remittanceDate = ValuePtr<time_t>(s, 1709290800);
  data->sentAll = true;
  data->baseCurrency = soap_strdup(s, "PLN");
  data->payment = ValuePtr(s, 123456.78125);
  data->buyDate = nullptr;
  ss__setPageDataResponse r1;
  ASSERT_EQ(binding.setPageData(Me(), page, data, r1), 0);

  ArrayOfItemInfo* items = Items(s, {Item(s, "Kubek", 2, ValuePtr(s, 0.0), 1), Item(s, "Talerz", 1, nullptr, 2)});
  ss__setItemDataResponse r2;
  ASSERT_EQ(binding.setItemData(Me(), page, items, r2), 0);

  auto* package = soap_new_ss__PackageInfo(s);
  package->symbol = soap_strdup(s, "PACZKA-1");
  package->charge = ValuePtr(s, 12.5);
  package->chargeCurrency = soap_strdup(s, "PLN");
  package->sentDate = ValuePtr<time_t>(s, 1700000000);
  package->items = Items(s, {Item(s, "Kubek", 2, nullptr, 1)});
  package->sortOrder = 3;
  auto* packages = soap_new_ArrayOfPackageInfo(s);
  packages->__size = 1;
  packages->__ptr = static_cast<ss__PackageInfo**>(soap_malloc(s, sizeof(ss__PackageInfo*)));
  packages->__ptr[0] = package;
  ss__setPackageDataResponse r3;
  ASSERT_EQ(binding.setPackageData(Me(), page, packages, r3), 0);

  ss__setDataEntryConstraintsResponse r4;
  ASSERT_EQ(binding.setDataEntryConstraints(Me(), page, true, false, true, false, r4), 0);

  auto lock = model.Lock();
  const zs::Page& stored = model.pages().at(page);
  ASSERT_TRUE(stored.pageData);
  EXPECT_EQ(stored.pageData->remittanceDate, 1709290800);
  EXPECT_FALSE(stored.pageData->buyDate);
  EXPECT_TRUE(stored.pageData->sentAll);
  EXPECT_EQ(stored.pageData->payment, 123456.78125);
  EXPECT_EQ(stored.pageData->baseCurrency, "PLN");
  EXPECT_FALSE(stored.pageData->paymentCurrency);
  ASSERT_TRUE(stored.items);
  ASSERT_EQ(stored.items->size(), 2u);
  EXPECT_EQ((*stored.items)[0].price, 0.0);
  EXPECT_FALSE((*stored.items)[1].price);
  EXPECT_EQ((*stored.items)[1].name, "Talerz");
  ASSERT_TRUE(stored.packages);
  ASSERT_EQ(stored.packages->size(), 1u);
  const zs::Package& p = (*stored.packages)[0];
  EXPECT_EQ(p.symbol, "PACZKA-1");
  EXPECT_FALSE(p.statusLink);
  EXPECT_EQ(p.sentDate, 1700000000);
  EXPECT_EQ(p.sortOrder, 3);
  ASSERT_TRUE(p.items);
  EXPECT_EQ(p.items->size(), 1u);
  ASSERT_TRUE(stored.constraints);
  EXPECT_TRUE(stored.constraints->allEnabled);
  EXPECT_FALSE(stored.constraints->billAddressEnabled);
  EXPECT_TRUE(stored.constraints->delivAddressEnabled);
  EXPECT_FALSE(stored.constraints->notesEnabled);
}

TEST_F(ServiceTest, BuyerDataIsFetchedAcknowledgedAndThePageClosed) {
  int page = OpenPage("1000-1", 501);
  int second = OpenPage("1000-2", 502);
  zs::BuyerData entered;
  entered.notes = zs::Notes{false, std::string("Proszę o fakturę")};
  zs::Address address;
  address.name = "Jan Kowalski";
  address.firstLine = "ul. Polna 1";
  address.secondLine = "";
  address.city = "Łódź";
  address.nip = "123-456-78-90";
  entered.billingAddress = address;
  ASSERT_TRUE(model.EnterBuyerData(page, entered, 1709290800));

  struct soap* s = binding.soap;
  ss__getPageChangesInfoResponse changes;
  ASSERT_EQ(binding.getPageChangesInfo(Me(), PageIds(s, {page, second}), 1709290000, changes), 0);
  ASSERT_NE(changes.getPageChangesInfoReturn, nullptr);
  ASSERT_EQ(changes.getPageChangesInfoReturn->__size, 1);
  EXPECT_EQ(changes.getPageChangesInfoReturn->__ptr[0]->pageId, page);
  ASSERT_NE(changes.getPageChangesInfoReturn->__ptr[0]->lastBuyerDataEntryDate, nullptr);
  EXPECT_EQ(*changes.getPageChangesInfoReturn->__ptr[0]->lastBuyerDataEntryDate, 1709290800);
  ASSERT_EQ(binding.getPageChangesInfo(Me(), nullptr, 1709290800, changes), 0);
  EXPECT_EQ(changes.getPageChangesInfoReturn->__size, 0);

  ss__getBuyerDataResponse buyer;
  ASSERT_EQ(binding.getBuyerData(Me(), PageIds(s, {page}), buyer), 0);
  ASSERT_NE(buyer.getBuyerDataReturn, nullptr);
  ASSERT_EQ(buyer.getBuyerDataReturn->__size, 1);
  ss__BuyerDataInfo* info = buyer.getBuyerDataReturn->__ptr[0];
  ASSERT_NE(info->notes, nullptr);
  EXPECT_STREQ(*info->notes->notes, "Proszę o fakturę");
  ASSERT_NE(info->billingAddress, nullptr);
  EXPECT_STREQ(info->billingAddress->city, "Łódź");
  EXPECT_STREQ(info->billingAddress->secondLine, "");
  EXPECT_EQ(info->billingAddress->zipCode, nullptr);
  ASSERT_NE(info->billingAddress->nip, nullptr);
  EXPECT_STREQ(*info->billingAddress->nip, "123-456-78-90");
  EXPECT_EQ(info->deliveryAddress, nullptr);
  ASSERT_NE(info->bids, nullptr);
  ASSERT_EQ(info->bids->__size, 1);
  EXPECT_STREQ(info->bids->__ptr[0]->auction.auctionId, "1000-1");
  EXPECT_EQ(info->bids->__ptr[0]->buyerId, 501);

  info->notes->trusted = true;
  ss__setAcknowledgedBuyerDataResponse ack;
  ASSERT_EQ(binding.setAcknowledgedBuyerData(Me(), page, info, ack), 0);

  auto* closing = soap_new_ss__PageClosingInfo(s);
  closing->closedPageId = second;
  ss__closePageResponse closed;
  ASSERT_EQ(binding.closePage(Me(), closing, closed), 0);

  auto lock = model.Lock();
  const zs::Page& stored = model.pages().at(page);
  ASSERT_TRUE(stored.acknowledgedBuyerData);
  EXPECT_TRUE(stored.acknowledgedBuyerData->notes->trusted);
  EXPECT_TRUE(stored.untrustedBuyerData.empty());
  EXPECT_TRUE(model.pages().at(second).closed);
  EXPECT_FALSE(model.pages().at(second).regroupedInto);
}

TEST_F(ServiceTest, OpenTrustedPageReturnsTheNewPage) {
  ss__openTrustedPageResponse r;
  ASSERT_EQ(binding.openTrustedPage(Me(), Bids(binding.soap, {{"1000-1", 501}, {"1000-2", 502}}), true, r), 0);
  ASSERT_NE(r.openTrustedPageReturn, nullptr);
  EXPECT_GT(r.openTrustedPageReturn->pageId, 0);
  ASSERT_NE(r.openTrustedPageReturn->pageUrlPart, nullptr);
  EXPECT_EQ(r.openTrustedPageReturn->lastBuyerDataEntryDate, nullptr);
  EXPECT_EQ(r.openTrustedPageReturn->lastEnteredUntrustedBuyerData, nullptr);
  auto lock = model.Lock();
  const zs::Page& stored = model.pages().at(r.openTrustedPageReturn->pageId);
  EXPECT_TRUE(stored.autoRegroup);
  EXPECT_EQ(stored.bids.size(), 2u);
}

TEST_F(ServiceTest, ConnectionsKeptAliveDoNotHoldUpOtherClients) {
  StatusServiceBinding second;
  second.endpoint = url.c_str();
  PrepareClient(second);
  for (StatusServiceBinding* b : {&binding, &second}) {
    soap_set_imode(b->soap, SOAP_IO_KEEPALIVE);
    soap_set_omode(b->soap, SOAP_IO_KEEPALIVE);
    b->soap->recv_timeout = 3;  // a server busy with the other connection would time out
  }
  for (int i = 0; i < 3; ++i) {
    ss__getPageConfigResponse r1, r2;
    EXPECT_EQ(binding.getPageConfig(Me(), r1), 0) << i;
    EXPECT_EQ(second.getPageConfig(User(second.soap, kSeller, "REG-1000"), r2), 0) << i;
  }
  EXPECT_EQ(server.connectionsServed(), 0) << "both connections are still open";
}

// ---- the test service's workers ---------------------------------------------------------------
namespace {

int ConnectTo(int port) {
  int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(static_cast<uint16_t>(port));
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

}  // namespace

TEST_F(ServiceTest, FinishedWorkersAreJoinedAtOnce) {
  for (int i = 1; i <= 300; ++i) {
    ss__getPageConfigResponse r;
    ASSERT_EQ(binding.getPageConfig(Me(), r), 0) << i;
    // The worker counts its connection just after the answer went out, then ends; it is joined
    // with no further connection coming to wake the server's acceptor.
    ASSERT_TRUE(server.WaitUntil([&] { return server.connectionsServed() == i; })) << i;
    ASSERT_TRUE(server.WaitUntil([&] { return server.workerThreads() == 0; })) << i << ": " << server.workerThreads();
  }
}

TEST_F(ServiceTest, WorkersAreBoundedAndTheRestWaitInTheQueue) {
  std::vector<int> idle;
  for (int i = 0; i < zs::Server::kMaxWorkers + 3; ++i) idle.push_back(ConnectTo(server.port()));
  ASSERT_TRUE(server.WaitUntil([&] { return server.workerThreads() == zs::Server::kMaxWorkers; }));
  // With every worker busy the acceptor waits for one to end: the rest stay in the queue.
  ASSERT_TRUE(server.WaitUntil([&] { return server.waitingForAWorker(); }));
  EXPECT_EQ(server.workerThreads(), zs::Server::kMaxWorkers);
  EXPECT_EQ(server.connectionsServed(), 0);
  // Connections that end free their workers for those waiting.
  for (size_t i = 0; i < 10; ++i) ::close(idle[i]);
  EXPECT_TRUE(server.WaitUntil([&] { return server.connectionsServed() >= 10; }));
  EXPECT_TRUE(server.WaitUntil([&] { return server.workerThreads() == zs::Server::kMaxWorkers - 7; }));
  for (size_t i = 10; i < idle.size(); ++i) ::close(idle[i]);
  EXPECT_TRUE(server.WaitUntil([&] { return server.workerThreads() == 0; }));
  ss__getPageConfigResponse r;
  EXPECT_EQ(binding.getPageConfig(Me(), r), 0);
}

// ---- faults ---------------------------------------------------------------------------
struct FaultCase {
  const char* name;
  int (*provoke)(ServiceTest&, StatusServiceBinding&);
  bool (*isClass)(ss__StatusServiceFault*);
};

// Exactly class T, not merely derived from it.
template <class T>
bool Is(ss__StatusServiceFault* f) {
  return dynamic_cast<T*>(f) != nullptr && f->soap_type() == T().soap_type();
}

class ServiceFaultTest : public ServiceTest {
 public:
  ss__RegisteredServiceUserInfo* MeFor(StatusServiceBinding& b) { return User(b.soap, kSeller, "REG-1000"); }
  int Page(const char* auction, LONG64 buyer) { return OpenPage(auction, buyer); }
  zs::Model& Model() { return model; }
};

TEST_F(ServiceFaultTest, EveryNamedFaultDecodesIntoItsClass) {
  const FaultCase cases[] = {
      {"UserAuthenticationFault",
       [](ServiceTest&, StatusServiceBinding& b) {
         ss__getPageConfigResponse r;
         return b.getPageConfig(User(b.soap, kSeller, "WRONG"), r);
       },
       Is<ss__UserAuthenticationFault>},
      {"IllegalArgumentFault",
       [](ServiceTest& t, StatusServiceBinding& b) {
         ss__setPageConfigResponse r;
         return b.setPageConfig(static_cast<ServiceFaultTest&>(t).MeFor(b), nullptr, r);
       },
       Is<ss__IllegalArgumentFault>},
      {"UnsupportedOperationFault",
       [](ServiceTest& t, StatusServiceBinding& b) {
         ss__setAllDataResponse r;
         return b.setAllData(static_cast<ServiceFaultTest&>(t).MeFor(b), 1, nullptr, nullptr, nullptr, nullptr, r);
       },
       Is<ss__UnsupportedOperationFault>},
      {"PageDoesNotExistFault",
       [](ServiceTest& t, StatusServiceBinding& b) {
         ss__setAcknowledgedBuyerDataResponse r;
         return b.setAcknowledgedBuyerData(static_cast<ServiceFaultTest&>(t).MeFor(b), 0,
                                           soap_new_ss__BuyerDataInfo(b.soap), r);
       },
       Is<ss__PageDoesNotExistFault>},
      {"UserIsNotPageOwnerFault",
       [](ServiceTest& t, StatusServiceBinding& b) {
         int page = static_cast<ServiceFaultTest&>(t).Page("1000-1", 501);
         ss__setItemDataResponse r;
         return b.setItemData(User(b.soap, kOtherSeller, "REG-1001"), page, Items(b.soap, {}), r);
       },
       Is<ss__UserIsNotPageOwnerFault>},
      {"PageClosedFault",
       [](ServiceTest& t, StatusServiceBinding& b) {
         auto& f = static_cast<ServiceFaultTest&>(t);
         int page = f.Page("1000-1", 501);
         auto* closing = soap_new_ss__PageClosingInfo(b.soap);
         closing->closedPageId = page;
         ss__closePageResponse r;
         b.closePage(f.MeFor(b), closing, r);
         return b.closePage(f.MeFor(b), closing, r);
       },
       Is<ss__PageClosedFault>},
      {"PageAlreadyOpenedFault",
       [](ServiceTest& t, StatusServiceBinding& b) {
         auto& f = static_cast<ServiceFaultTest&>(t);
         f.Page("1000-1", 501);
         ss__openTrustedPageResponse r;
         return b.openTrustedPage(f.MeFor(b), Bids(b.soap, {{"1000-1", 501}}), false, r);
       },
       Is<ss__PageAlreadyOpenedFault>},
      {"PageNotOpenedFault",
       [](ServiceTest& t, StatusServiceBinding& b) {
         // The service takes a seller's buyer data on any open page: the fault comes on request.
         auto& f = static_cast<ServiceFaultTest&>(t);
         int page = f.Page("1000-1", 501);
         f.Model().InjectFault("setAcknowledgedBuyerData", "PageNotOpenedFault");
         ss__setAcknowledgedBuyerDataResponse r;
         return b.setAcknowledgedBuyerData(f.MeFor(b), page, soap_new_ss__BuyerDataInfo(b.soap), r);
       },
       Is<ss__PageNotOpenedFault>},
      {"PagesDoNotHaveCommonBidsFault",
       [](ServiceTest& t, StatusServiceBinding& b) {
         auto& f = static_cast<ServiceFaultTest&>(t);
         int first = f.Page("1000-1", 501);
         int second = f.Page("1000-2", 502);
         auto* closing = soap_new_ss__PageClosingInfo(b.soap);
         closing->closedPageId = first;
         closing->regroupedPageId = ValuePtr(b.soap, second);
         ss__closePageResponse r;
         return b.closePage(f.MeFor(b), closing, r);
       },
       Is<ss__PagesDoNotHaveCommonBidsFault>},
      {"StatusesDisabledFault",
       [](ServiceTest& t, StatusServiceBinding& b) {
         auto& f = static_cast<ServiceFaultTest&>(t);
         {
           auto lock = f.Model().Lock();
           f.Model().accounts().at({kSeller, 1}).config.statusesEnabled = false;
         }
         ss__openTrustedPageResponse r;
         return b.openTrustedPage(f.MeFor(b), Bids(b.soap, {{"1000-1", 501}}), false, r);
       },
       Is<ss__StatusesDisabledFault>},
      {"BidDoesNotExistFault",
       [](ServiceTest& t, StatusServiceBinding& b) {
         ss__openTrustedPageResponse r;
         return b.openTrustedPage(static_cast<ServiceFaultTest&>(t).MeFor(b), Bids(b.soap, {{"1000-1", 999}}), false,
                                  r);
       },
       Is<ss__BidDoesNotExistFault>},
      {"AuctionDoesNotExistFault",
       [](ServiceTest& t, StatusServiceBinding& b) {
         ss__openTrustedPageResponse r;
         return b.openTrustedPage(static_cast<ServiceFaultTest&>(t).MeFor(b), Bids(b.soap, {{"nope", 501}}), false,
                                  r);
       },
       Is<ss__AuctionDoesNotExistFault>},
      {"UserIsNotSellerInAuctionFault",
       [](ServiceTest& t, StatusServiceBinding& b) {
         ss__openTrustedPageResponse r;
         return b.openTrustedPage(static_cast<ServiceFaultTest&>(t).MeFor(b), Bids(b.soap, {{"1001-1", 501}}), false,
                                  r);
       },
       Is<ss__UserIsNotSellerInAuctionFault>},
      {"ServiceUnavailableFault",
       [](ServiceTest& t, StatusServiceBinding& b) {
         static_cast<ServiceFaultTest&>(t).Model().SetUnavailable(true);
         ss__getPageConfigResponse r;
         return b.getPageConfig(static_cast<ServiceFaultTest&>(t).MeFor(b), r);
       },
       Is<ss__ServiceUnavailableFault>},
  };
  for (const FaultCase& c : cases) {
    SCOPED_TRACE(c.name);
    StatusServiceBinding b;
    b.endpoint = url.c_str();
    PrepareClient(b);
    EXPECT_EQ(c.provoke(*this, b), vorlen::soapstatus::kFault);
    ASSERT_NE(b.FaultCode(), nullptr);
    EXPECT_NE(std::strstr(b.FaultCode(), "userException"), nullptr);
    ASSERT_NE(b.FaultString(), nullptr);
    EXPECT_NE(std::strstr(b.FaultString(), c.name), nullptr) << b.FaultString();
    ASSERT_NE(b.DetailFault(), nullptr);
    EXPECT_TRUE(c.isClass(b.DetailFault()));
    model.SetUnavailable(false);
    auto lock = model.Lock();
    model.accounts().at({kSeller, 1}).config.statusesEnabled = true;
    model.pages().clear();
  }
}

TEST_F(ServiceFaultTest, FaultObjectsCarryInheritedAndOwnMembers) {
  int page = OpenPage("1000-1", 501);
  ss__setItemDataResponse r;
  ASSERT_EQ(binding.setItemData(User(binding.soap, kOtherSeller, "REG-1001"), page, Items(binding.soap, {}), r), 12);
  auto* owner = dynamic_cast<ss__UserIsNotPageOwnerFault*>(binding.DetailFault());
  ASSERT_NE(owner, nullptr);
  EXPECT_EQ(owner->pageId, page);
  ASSERT_NE(owner->userInfo, nullptr);
  EXPECT_EQ(owner->userInfo->serviceUserId, kOtherSeller);

  ss__openTrustedPageResponse again;
  ASSERT_EQ(binding.openTrustedPage(Me(), Bids(binding.soap, {{"1000-1", 501}}), false, again), 12);
  auto* opened = dynamic_cast<ss__PageAlreadyOpenedFault*>(binding.DetailFault());
  ASSERT_NE(opened, nullptr);
  ASSERT_NE(opened->pageInfo, nullptr);
  EXPECT_EQ(opened->pageInfo->pageId, page);
  EXPECT_EQ(again.openTrustedPageReturn, nullptr);
  // A later call does not free what earlier answers decoded.
  ss__getPageConfigResponse cfg;
  ASSERT_EQ(binding.getPageConfig(Me(), cfg), 0);
  EXPECT_NE(opened->pageInfo, nullptr);  // decoded objects live until the binding dies
}

// ---- contexts, transports, the program ---------------------------------------------------
TEST(BindingWithoutContext, EveryOperationAnswersOutOfMemory) {
  StatusServiceBinding b(nullptr);
  ss__getPageConfigResponse r1;
  ss__setPageConfigResponse r2;
  ss__openTrustedPageResponse r3;
  ss__closePageResponse r4;
  ss__setPageDataResponse r5;
  ss__setAcknowledgedBuyerDataResponse r6;
  ss__setItemDataResponse r7;
  ss__setPackageDataResponse r8;
  ss__setAllDataResponse r9;
  ss__getPageChangesInfoResponse r10;
  ss__getBuyerDataResponse r11;
  ss__setDataEntryConstraintsResponse r12;
  const int results[] = {b.getPageConfig(nullptr, r1),
                         b.setPageConfig(nullptr, nullptr, r2),
                         b.openTrustedPage(nullptr, nullptr, true, r3),
                         b.closePage(nullptr, nullptr, r4),
                         b.setPageData(nullptr, 1, nullptr, r5),
                         b.setAcknowledgedBuyerData(nullptr, 1, nullptr, r6),
                         b.setItemData(nullptr, 1, nullptr, r7),
                         b.setPackageData(nullptr, 1, nullptr, r8),
                         b.setAllData(nullptr, 1, nullptr, nullptr, nullptr, nullptr, r9),
                         b.getPageChangesInfo(nullptr, nullptr, 0, r10),
                         b.getBuyerData(nullptr, nullptr, r11),
                         b.setDataEntryConstraints(nullptr, 1, true, true, true, true, r12)};
  for (int rc : results) EXPECT_EQ(rc, 15);
  EXPECT_EQ(b.FaultCode(), nullptr);
  EXPECT_EQ(b.DetailFault(), nullptr);
}

TEST(BindingTransport, RefusedConnectionGivesTheClassicTcpStatus) {
  int port;
  {
    zs::Model model;
    zs::Server probe(model);
    ASSERT_TRUE(probe.Bind({}, nullptr));
    port = probe.port();
  }  // closed again: nothing listens there now
  std::string url = "http://127.0.0.1:" + std::to_string(port) + "/rpcrouter";
  StatusServiceBinding b;
  b.endpoint = url.c_str();
  ss__getPageConfigResponse r;
  EXPECT_EQ(b.getPageConfig(User(b.soap, kSeller, "REG-1000"), r), vorlen::soapstatus::kTcpError);
  EXPECT_EQ(r.getPageConfigReturn, nullptr);
}

class TempDir {
 public:
  TempDir() {
    char pattern[] = "/tmp/zone-protocol-XXXXXX";
    path_ = mkdtemp(pattern);
  }
  ~TempDir() { std::filesystem::remove_all(path_); }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

TEST(BindingHttps, CallsGoOverTlsAndAnUntrustedCertificateIsRefused) {
  TempDir dir;
  std::string cert, key;
  ASSERT_TRUE(zs::MakeSelfSignedCertificate(dir.path(), &cert, &key));
  zs::Model model;
  model.Seed(0);
  zs::Server server(model);
  std::string error;
  ASSERT_TRUE(server.Bind({0, true, cert, key}, &error)) << error;
  server.StartThread();
  std::string url = server.Url();

  StatusServiceBinding trusted;
  trusted.endpoint = url.c_str();
  PrepareClient(trusted);
  ASSERT_EQ(soap_ssl_client_context(trusted.soap, SOAP_SSL_DEFAULT, nullptr, nullptr, cert.c_str(), nullptr, nullptr),
            SOAP_OK);
  ss__getPageConfigResponse r;
  ASSERT_EQ(trusted.getPageConfig(User(trusted.soap, kSeller, "REG-1000"), r), 0);
  ASSERT_NE(r.getPageConfigReturn, nullptr);
  ss__openTrustedPageResponse opened;
  ASSERT_EQ(trusted.openTrustedPage(User(trusted.soap, kSeller, "REG-1000"), Bids(trusted.soap, {{"1000-3", 503}}),
                                    false, opened),
            0);
  EXPECT_GT(opened.openTrustedPageReturn->pageId, 0);

  StatusServiceBinding untrusted;
  untrusted.endpoint = url.c_str();
  ASSERT_EQ(soap_ssl_client_context(untrusted.soap, SOAP_SSL_DEFAULT, nullptr, nullptr, nullptr, nullptr, nullptr),
            SOAP_OK);
  EXPECT_EQ(untrusted.getPageConfig(User(untrusted.soap, kSeller, "REG-1000"), r), vorlen::soapstatus::kSslError);
}

// A page with every part, its texts holding spaces, '%', line breaks and Polish letters.
zone_service::Page RichPage() {
  zone_service::Page p;
  p.id = 42;
  p.owner = {7000001, 1};
  p.bids = {{"DEMO 1%", 1, 501}, {"DEMO-2", 4, 502}};
  p.closed = true;
  p.buyerOpened = true;
  p.regroupedInto = 43;
  p.urlPart = "s/42";
  p.lastBuyerDataEntryDate = 1718440200;
  zone_service::BuyerData entered;
  entered.notes = zone_service::Notes{false, "dwa\r\nwiersze 100%"};
  zone_service::Address a;
  a.trusted = true;
  a.name = "Łukasz Żółć";
  a.city = "Łódź";
  entered.deliveryAddress = a;
  p.untrustedBuyerData = {entered, zone_service::BuyerData{}};
  zone_service::BuyerData acknowledged;
  acknowledged.bids = std::vector<zone_service::Bid>{{"DEMO-3", 1, 503}};
  acknowledged.billingAddress = a;
  p.acknowledgedBuyerData = acknowledged;
  p.pageData = zone_service::PageData{1718300000, std::nullopt, true, "PLN", std::nullopt, 1234567.89};
  p.items = std::vector<zone_service::Item>{{"Lampa biurkowa", 2, 99.99, 0}, {std::nullopt, 1, std::nullopt, 1}};
  zone_service::Package k;
  k.symbol = "PKG 1";
  k.statusLink = "http://kurier.example/a b";
  k.charge = 15.5;
  k.sentDate = 1718400000;
  k.items = std::vector<zone_service::Item>{{"Klosz", 3, std::nullopt, 0}};
  p.packages = std::vector<zone_service::Package>{k, zone_service::Package{}};
  p.constraints = zone_service::EntryConstraints{true, false, true, false};
  return p;
}

TEST(ZoneServiceState, APageSavedIsReadBackWhole) {
  TempDir dir;
  const std::string path = dir.path() + "/state";
  zone_service::Model saved;
  {
    auto lock = saved.Lock();
    saved.pages()[42] = RichPage();
    saved.NextPageId();
  }
  std::string error;
  ASSERT_TRUE(saved.SaveState(path, &error)) << error;
  zone_service::Model read;
  ASSERT_TRUE(read.LoadState(path, &error)) << error;
  auto lock = read.Lock();
  ASSERT_EQ(read.pages().count(42), 1u);
  const zone_service::Page& p = read.pages()[42];
  const zone_service::Page want = RichPage();
  EXPECT_EQ(p.owner, want.owner);
  EXPECT_EQ(p.bids, want.bids);
  EXPECT_TRUE(p.closed && p.buyerOpened && !p.autoRegroup);
  EXPECT_EQ(p.regroupedInto, 43);
  EXPECT_EQ(p.urlPart, "s/42");
  EXPECT_EQ(p.lastBuyerDataEntryDate, want.lastBuyerDataEntryDate);
  ASSERT_EQ(p.untrustedBuyerData.size(), 2u);
  EXPECT_EQ(p.untrustedBuyerData[0].notes->text, "dwa\r\nwiersze 100%");
  EXPECT_FALSE(p.untrustedBuyerData[0].notes->trusted);
  EXPECT_EQ(p.untrustedBuyerData[0].deliveryAddress->name, "Łukasz Żółć");
  EXPECT_FALSE(p.untrustedBuyerData[0].deliveryAddress->zipCode);
  EXPECT_FALSE(p.untrustedBuyerData[0].bids);
  EXPECT_FALSE(p.untrustedBuyerData[1].notes || p.untrustedBuyerData[1].deliveryAddress);
  ASSERT_TRUE(p.acknowledgedBuyerData && p.acknowledgedBuyerData->bids);
  EXPECT_EQ(*p.acknowledgedBuyerData->bids, *want.acknowledgedBuyerData->bids);
  EXPECT_EQ(p.acknowledgedBuyerData->billingAddress->city, "Łódź");
  ASSERT_TRUE(p.pageData);
  EXPECT_EQ(p.pageData->payment, 1234567.89);
  EXPECT_EQ(p.pageData->remittanceDate, want.pageData->remittanceDate);
  EXPECT_FALSE(p.pageData->buyDate);
  EXPECT_FALSE(p.pageData->paymentCurrency);
  ASSERT_TRUE(p.items);
  ASSERT_EQ(p.items->size(), 2u);
  EXPECT_EQ((*p.items)[0].price, 99.99);
  EXPECT_FALSE((*p.items)[1].name);
  ASSERT_TRUE(p.packages);
  ASSERT_EQ(p.packages->size(), 2u);
  EXPECT_EQ((*p.packages)[0].statusLink, "http://kurier.example/a b");
  ASSERT_TRUE((*p.packages)[0].items);
  EXPECT_EQ((*(*p.packages)[0].items)[0].name, "Klosz");
  EXPECT_FALSE((*p.packages)[1].items);
  ASSERT_TRUE(p.constraints);
  EXPECT_TRUE(p.constraints->allEnabled && !p.constraints->billAddressEnabled && p.constraints->delivAddressEnabled &&
              !p.constraints->notesEnabled);
  EXPECT_EQ(read.NextPageId(), 2);
}

TEST(ZoneServiceState, AMalformedStateChangesNothing) {
  TempDir dir;
  const std::string path = dir.path() + "/state";
  for (const char* text : {"", "zone-service-state 2\n", "zone-service-state 1\nbid 'x 1 2\n",
                           "zone-service-state 1\npage 1 7 1 0 0 0 ~ 's/1 ~\nitem 'a 1 ~ 0\n",
                           "zone-service-state 1\npage 1 7 1 0 0 0 ~ 's/1 ~ extra\n"}) {
    {
      FILE* f = std::fopen(path.c_str(), "w");
      std::fputs(text, f);
      std::fclose(f);
    }
    zone_service::Model model;
    std::string error;
    EXPECT_FALSE(model.LoadState(path, &error)) << text;
    EXPECT_FALSE(error.empty());
    auto lock = model.Lock();
    EXPECT_TRUE(model.pages().empty()) << text;
  }
  zone_service::Model model;
  std::string error;
  EXPECT_FALSE(model.LoadState(dir.path() + "/missing", &error));
}

#ifdef ZONE_SERVICE_PROGRAM
// Runs the program to its end; its exit status (-1 when it did not end by itself).
int RunProgram(std::vector<const char*> args) {
  args.insert(args.begin(), ZONE_SERVICE_PROGRAM);
  args.push_back(nullptr);
  pid_t child = fork();
  if (child == 0) {
    execv(ZONE_SERVICE_PROGRAM, const_cast<char* const*>(args.data()));
    _exit(127);
  }
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(ZoneServiceProgram, EntersTheDemonstrationBuyerEntryOnTheOpenPagesOfItsState) {
  TempDir dir;
  const std::string path = dir.path() + "/state";
  zone_service::Model model;
  {
    auto lock = model.Lock();
    for (int id : {1, 2, 3}) {
      zone_service::Page p;
      p.id = id;
      p.owner = {id == 3 ? 7000002 : 7000001, 1};
      p.closed = id == 2;
      p.bids = {{"DEMO-1001", 1, 500 + id}};
      model.pages()[id] = p;
    }
  }
  std::string error;
  ASSERT_TRUE(model.SaveState(path, &error)) << error;
  ASSERT_EQ(RunProgram({"--state", path.c_str(), "--enter-buyer-data", "7000001"}), 0);
  EXPECT_EQ(RunProgram({"--enter-buyer-data", "7000001"}), 2) << "it needs the state";
  zone_service::Model read;
  ASSERT_TRUE(read.LoadState(path, &error)) << error;
  auto lock = read.Lock();
  const zone_service::Page& open = read.pages()[1];
  ASSERT_EQ(open.untrustedBuyerData.size(), 1u);
  EXPECT_TRUE(open.lastBuyerDataEntryDate);
  EXPECT_EQ(open.untrustedBuyerData[0].deliveryAddress->city, "Łódź");
  EXPECT_TRUE(open.untrustedBuyerData[0].billingAddress->nip);
  EXPECT_TRUE(open.untrustedBuyerData[0].notes->text);
  EXPECT_TRUE(read.pages()[2].untrustedBuyerData.empty()) << "closed";
  EXPECT_TRUE(read.pages()[3].untrustedBuyerData.empty()) << "another seller's";
}

TEST(ZoneServiceProgram, ServesAsAChildProcess) {
  TempDir dir;
  std::string accounts = dir.path() + "/accounts.txt";
  {
    FILE* f = std::fopen(accounts.c_str(), "w");
    std::fputs("# id service registration\n7001 2 REG-7001\n", f);
    std::fclose(f);
  }
  const std::string state = dir.path() + "/state";
  int out[2];
  ASSERT_EQ(pipe(out), 0);
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    dup2(out[1], 1);
    close(out[0]);
    execl(ZONE_SERVICE_PROGRAM, ZONE_SERVICE_PROGRAM, "--port", "0", "--accounts-file", accounts.c_str(), "--seed",
          "3", "--state", state.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  close(out[1]);
  FILE* lines = fdopen(out[0], "r");
  char line[256] = {};
  ASSERT_NE(std::fgets(line, sizeof line, lines), nullptr);
  std::string url = line;
  ASSERT_EQ(url.rfind("listening on ", 0), 0u) << url;
  url = url.substr(13);
  url.erase(url.find_last_not_of("\r\n") + 1);

  StatusServiceBinding b;
  b.endpoint = url.c_str();
  PrepareClient(b);
  ss__getPageConfigResponse r;
  EXPECT_EQ(b.getPageConfig(User(b.soap, 7001, "REG-7001", 2), r), 0);
  EXPECT_EQ(b.getPageConfig(User(b.soap, 7001, "REG-7002", 2), r), 12);

  kill(child, SIGTERM);
  int status = 0;
  waitpid(child, &status, 0);
  std::fclose(lines);
  EXPECT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  // Its pages were kept when it stopped.
  zone_service::Model kept;
  std::string error;
  EXPECT_TRUE(kept.LoadState(state, &error)) << error;
}
#endif

}  // namespace
