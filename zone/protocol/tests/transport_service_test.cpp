// The transport under the binding: every operation against the test service over verified
// HTTPS, certificate failures, the resend policy on a real time-out, 401/407 and the proxy,
// the test log, one transport per context, and answers that break off, drip, come coded or
// come huge.
#include <gtest/gtest.h>

#include <stdsoap2.h>

#include <sys/resource.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/http/wininet.h"
#include "testing/net/net.h"
#include "testing/zone_service/ZoneServer.h"
#include "zone/protocol/SoapStatus.h"
#include "zone/protocol/StatusServiceBinding.h"
#include "zone/protocol/transport.h"

namespace tr = vorlen::transport;
namespace status = vorlen::soapstatus;
using testing_net::Certificates;
using testing_net::HttpRequest;
using testing_net::Peer;

namespace {

Certificates* gCerts = nullptr;

class CertificateEnvironment : public ::testing::Environment {
 public:
  void SetUp() override { gCerts = new Certificates(); }
  void TearDown() override {
    delete gCerts;
    gCerts = nullptr;
  }
};
const auto* const kEnv = ::testing::AddGlobalTestEnvironment(new CertificateEnvironment);

// A binding set up as the connector sets it up, then the transport registered on it.
struct Client {
  explicit Client(const std::string& url, int timeoutSeconds = 5, const char* proxyHost = nullptr, int proxyPort = 0,
                  const char* user = nullptr, const char* password = nullptr, const char* log = nullptr)
      : endpoint(url) {
    struct soap* s = binding.soap;
    soap_set_imode(s, SOAP_C_UTFSTRING);
    soap_set_omode(s, SOAP_C_UTFSTRING | SOAP_XML_TREE);
    s->send_timeout = s->recv_timeout = s->connect_timeout = s->accept_timeout = timeoutSeconds;
    if (proxyHost) s->proxy_host = proxyHost;
    if (proxyPort > 0) s->proxy_port = proxyPort;
    if (user) s->proxy_userid = user;
    if (password) s->proxy_passwd = password;
    tr::SetTestLog(s, log);
    registered = tr::Register(s);
    binding.endpoint = endpoint.c_str();
  }
  int GetPageConfig(ss__getPageConfigResponse& out) {
    auto* user = soap_new_ss__RegisteredServiceUserInfo(binding.soap);
    user->serviceUserId = 1000;
    user->serviceId = 1;
    user->registrationId = static_cast<char**>(soap_malloc(binding.soap, sizeof(char*)));
    *user->registrationId = soap_strdup(binding.soap, "REG-1000");
    return binding.getPageConfig(user, out);
  }
  int GetPageConfig() {
    ss__getPageConfigResponse out;
    return GetPageConfig(out);
  }
  std::string endpoint;
  StatusServiceBinding binding;
  int registered = -1;
};

// The test service on HTTPS with a certificate of the test authority.
struct Service {
  Service() : server(model) {
    model.Seed(0);
    zone_service::ServerOptions o;
    o.https = true;
    o.certFile = gCerts->Good().cert;
    o.keyFile = gCerts->Good().key;
    std::string error;
    EXPECT_TRUE(server.Bind(o, &error)) << error;
    server.StartThread();
  }
  ~Service() { server.Stop(); }
  zone_service::Model model;
  zone_service::Server server;
};

std::string Envelope(const std::string& body) {
  return std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
                     "<SOAP-ENV:Envelope xmlns:SOAP-ENV=\"http://schemas.xmlsoap.org/soap/envelope/\" xmlns:ss=\"") +
         vorlen::kStatusServiceNamespaces[4].ns + "\"><SOAP-ENV:Body>" + body + "</SOAP-ENV:Body></SOAP-ENV:Envelope>";
}

const std::string kConfigAnswer = Envelope(
    "<ss:getPageConfigResponse><getPageConfigReturn><statusesEnabled>true</statusesEnabled>"
    "<allowBillingAddressEntry>false</allowBillingAddressEntry>"
    "<allowDeliveryAddressEntry>true</allowDeliveryAddressEntry></getPageConfigReturn></ss:getPageConfigResponse>");

std::string Https(uint16_t port) { return "https://127.0.0.1:" + std::to_string(port) + "/rpcrouter"; }
std::string Http(uint16_t port) { return "http://127.0.0.1:" + std::to_string(port) + "/rpcrouter"; }


std::string ReadFile(const std::string& path) {
  std::ifstream in(path);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

int Count(const std::string& text, const std::string& needle) {
  int n = 0;
  for (size_t i = text.find(needle); i != std::string::npos; i = text.find(needle, i + 1)) ++n;
  return n;
}

class Transport : public ::testing::Test {
 protected:
  void SetUp() override {
    InternetSetTrustedCertificates(gCerts->CaFile().c_str());
    logPath = gCerts->Dir() + "/" + ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".log";
  }
  void TearDown() override {
    InternetSetTrustedCertificates(nullptr);
    std::remove(logPath.c_str());
  }
  std::string logPath;
};

// Callbacks are plain functions; what they were asked is kept here.
std::atomic<int> gAsked{0};
DWORD AlwaysBudget(HINTERNET, DWORD) {
  ++gAsked;
  return static_cast<DWORD>(tr::ResolveSendErrorAnswer::ResendWithinBudget);
}
DWORD AlwaysFail(HINTERNET, DWORD) {
  ++gAsked;
  return static_cast<DWORD>(tr::ResolveSendErrorAnswer::Fail);
}
DWORD ResendWithCredentials(HINTERNET request, DWORD code) {
  ++gAsked;
  if (code != HTTP_STATUS_PROXY_AUTH_REQ) return 0;
  InternetSetOptionA(request, INTERNET_OPTION_PROXY_USERNAME, const_cast<char*>("seller"), 6);
  InternetSetOptionA(request, INTERNET_OPTION_PROXY_PASSWORD, const_cast<char*>("pa55"), 4);
  return static_cast<DWORD>(tr::ResolveSendErrorAnswer::Resend);
}
DWORD ResendOnce(HINTERNET, DWORD) {
  return static_cast<DWORD>(gAsked++ == 0 ? tr::ResolveSendErrorAnswer::Resend : tr::ResolveSendErrorAnswer::Fail);
}

}  // namespace

TEST_F(Transport, EveryOperationRunsOverVerifiedHttps) {
  Service service;
  Client c(service.server.Url(), 5, nullptr, 0, nullptr, nullptr, logPath.c_str());
  ASSERT_EQ(c.registered, SOAP_OK);
  struct soap* s = c.binding.soap;
  auto* user = soap_new_ss__RegisteredServiceUserInfo(s);
  user->serviceUserId = 1000;
  user->serviceId = 1;
  user->registrationId = static_cast<char**>(soap_malloc(s, sizeof(char*)));
  *user->registrationId = soap_strdup(s, "REG-1000");

  ss__getPageConfigResponse config;
  ASSERT_EQ(c.binding.getPageConfig(user, config), status::kOk);
  ASSERT_NE(config.getPageConfigReturn, nullptr);
  ASSERT_NE(config.getPageConfigReturn->sellerShortDescription, nullptr);
  EXPECT_STREQ(*config.getPageConfigReturn->sellerShortDescription, "Sprzedawca 1000");

  ss__setPageConfigResponse setConfig;
  EXPECT_EQ(c.binding.setPageConfig(user, config.getPageConfigReturn, setConfig), status::kOk);

  auto* bids = soap_new_ArrayOfAuctionBidInfo(s);
  bids->__size = 1;
  bids->__ptr = static_cast<ss__AuctionBidInfo**>(soap_malloc(s, sizeof(ss__AuctionBidInfo*)));
  bids->__ptr[0] = soap_new_ss__AuctionBidInfo(s);
  bids->__ptr[0]->auction.auctionId = soap_strdup(s, "1000-1");
  bids->__ptr[0]->auction.serviceId = 1;
  bids->__ptr[0]->buyerId = 501;
  ss__openTrustedPageResponse opened;
  ASSERT_EQ(c.binding.openTrustedPage(user, bids, false, opened), status::kOk);
  ASSERT_NE(opened.openTrustedPageReturn, nullptr);
  const int page = opened.openTrustedPageReturn->pageId;

  auto* pageData = soap_new_ss__StatusPageDataInfo(s);
  ss__setPageDataResponse setData;
  EXPECT_EQ(c.binding.setPageData(user, page, pageData, setData), status::kOk);

  auto* items = soap_new_ArrayOfItemInfo(s);
  items->__size = 1;
  items->__ptr = static_cast<ss__ItemInfo**>(soap_malloc(s, sizeof(ss__ItemInfo*)));
  items->__ptr[0] = soap_new_ss__ItemInfo(s);
  items->__ptr[0]->name = soap_strdup(s, "Czajnik żółty");
  items->__ptr[0]->quantity = 2;
  ss__setItemDataResponse setItems;
  EXPECT_EQ(c.binding.setItemData(user, page, items, setItems), status::kOk);

  auto* packages = soap_new_ArrayOfPackageInfo(s);
  packages->__size = 0;
  ss__setPackageDataResponse setPackages;
  EXPECT_EQ(c.binding.setPackageData(user, page, packages, setPackages), status::kOk);

  auto* ids = soap_new_ArrayOf_xsd_int(s);
  ids->__size = 1;
  ids->__ptr = static_cast<int*>(soap_malloc(s, sizeof(int)));
  ids->__ptr[0] = page;
  ss__getBuyerDataResponse buyers;
  EXPECT_EQ(c.binding.getBuyerData(user, ids, buyers), status::kOk);
  ss__getPageChangesInfoResponse changes;
  EXPECT_EQ(c.binding.getPageChangesInfo(user, ids, 0, changes), status::kOk);

  auto* buyer = soap_new_ss__BuyerDataInfo(s);
  buyer->bids = bids;
  // The seller's data of the buyer goes on the page before the buyer has been there.
  ss__setAcknowledgedBuyerDataResponse ack;
  EXPECT_EQ(c.binding.setAcknowledgedBuyerData(user, page, buyer, ack), status::kOk);
  {
    auto lock = service.model.Lock();
    EXPECT_TRUE(service.model.pages()[page].acknowledgedBuyerData.has_value());
  }

  ss__setDataEntryConstraintsResponse constraints;
  EXPECT_EQ(c.binding.setDataEntryConstraints(user, page, true, true, false, true, constraints), status::kOk);

  ss__setAllDataResponse all;
  EXPECT_EQ(c.binding.setAllData(user, page, pageData, nullptr, nullptr, nullptr, all), status::kFault);
  EXPECT_NE(dynamic_cast<ss__UnsupportedOperationFault*>(c.binding.DetailFault()), nullptr);

  auto* closing = soap_new_ss__PageClosingInfo(s);
  closing->closedPageId = page;
  ss__closePageResponse closed;
  EXPECT_EQ(c.binding.closePage(user, closing, closed), status::kOk);
  ss__closePageResponse closedAgain;
  EXPECT_EQ(c.binding.closePage(user, closing, closedAgain), status::kFault);

  std::string log = ReadFile(logPath);
  EXPECT_EQ(Count(log, "HTTP status code = "), 13) << log.substr(0, 2000);
  EXPECT_EQ(Count(log, "fsend, error"), 0);
  EXPECT_NE(log.find("header 'SOAPAction: \"\"'"), std::string::npos);
}

TEST_F(Transport, CertificateFailuresGiveTheirCodesAsHttpErrors) {
  struct Case {
    const Certificates::Pair* pair;
    DWORD error;
  } cases[] = {{&gCerts->OtherCa(), ERROR_INTERNET_INVALID_CA},
               {&gCerts->Expired(), ERROR_INTERNET_SEC_CERT_DATE_INVALID},
               {&gCerts->WrongName(), ERROR_INTERNET_SEC_CERT_CN_INVALID}};
  for (const auto& k : cases) {
    testing_net::Server server([](Peer& p) { p.Hang(); }, k.pair);
    gAsked = 0;
    Client c(Https(server.Port()));
    tr::SetResolveSendError(c.binding.soap, AlwaysFail);
    EXPECT_EQ(c.GetPageConfig(), status::kHttpError) << k.pair->cert;
    EXPECT_EQ(static_cast<DWORD>(c.binding.soap->errnum), k.error);
    EXPECT_EQ(gAsked, 1);
    EXPECT_EQ(server.Accepted(), 1);
  }
}

TEST_F(Transport, RepeatedTimeoutIsTriedThreeTimesWithinTheBudget) {
  testing_net::Server silent([](Peer& p) { p.Hang(); });
  Client c(Http(silent.Port()), 1, nullptr, 0, nullptr, nullptr, logPath.c_str());
  tr::SetResolveSendError(c.binding.soap, AlwaysBudget);
  gAsked = 0;
  EXPECT_EQ(c.GetPageConfig(), status::kHttpError);
  EXPECT_EQ(c.binding.soap->errnum, ERROR_INTERNET_TIMEOUT);
  EXPECT_EQ(gAsked, 3);
  EXPECT_EQ(silent.Accepted(), 3);
  std::string log = ReadFile(logPath);
  EXPECT_EQ(Count(log, "fsend - resending request - 2 chance"), 1);
  EXPECT_EQ(Count(log, "fsend - resending request - 3 chance"), 1);
  EXPECT_EQ(Count(log, "error 12002 (The operation timed out) in HttpSendRequest"), 3);
  EXPECT_NE(log.find("resolve_send_error callback = '0x"), std::string::npos);

  // Without a callback the (absent) dialog resolves nothing: one try.
  tr::SetResolveSendError(c.binding.soap, nullptr);
  EXPECT_EQ(c.GetPageConfig(), status::kHttpError);
  EXPECT_EQ(silent.Accepted(), 4);
}

TEST_F(Transport, UnresolvedAuthenticationHandsTheRuntimeTheBody) {
  std::atomic<int> calls{0};
  testing_net::Server server([&](Peer& p) {
    HttpRequest r;
    while (p.ReadRequest(r)) {
      if (calls++ == 0)
        p.Respond(401, "<html><body>Login</body></html>", "WWW-Authenticate: Basic realm=\"z\"\r\n", "text/html");
      else
        p.Respond(200, kConfigAnswer);
    }
  });
  Client c(Http(server.Port()));
  // No callback: the dialog is not there, so the HTML page reaches the SOAP parser.
  EXPECT_EQ(c.GetPageConfig(), status::kTagMismatch);
  EXPECT_EQ(calls, 1);

  // A callback answering Resend has the request sent again.
  calls = 0;
  gAsked = 0;
  tr::SetResolveSendError(c.binding.soap, ResendOnce);
  ss__getPageConfigResponse out;
  ASSERT_EQ(c.GetPageConfig(out), status::kOk);
  EXPECT_EQ(calls, 2);
  ASSERT_NE(out.getPageConfigReturn, nullptr);
  EXPECT_FALSE(out.getPageConfigReturn->allowBillingAddressEntry);
}

TEST_F(Transport, ProxyCredentialsComeFromTheContextOrTheCallback) {
  Service service;
  testing_net::Proxy proxy("seller", "pa55");
  const std::string url = service.server.Url();

  // No credentials: 407; the budget answer does not resolve it and the call fails.
  {
    Client c(url, 5, "127.0.0.1", proxy.Port());
    tr::SetResolveSendError(c.binding.soap, AlwaysBudget);
    // The refused tunnel's answer has no body: the SOAP layer meets its end at once.
    EXPECT_EQ(c.GetPageConfig(), status::kEof);
    EXPECT_EQ(proxy.Refused(), 1);
    EXPECT_EQ(proxy.Forwarded(), 0);
  }
  // Credentials of the context.
  {
    Client c(url, 5, "127.0.0.1", proxy.Port(), "seller", "pa55");
    EXPECT_EQ(c.GetPageConfig(), status::kOk);
    EXPECT_EQ(proxy.Forwarded(), 1);
  }
  // Credentials given by the callback, which then asks for a resend.
  {
    Client c(url, 5, "127.0.0.1", proxy.Port());
    gAsked = 0;
    tr::SetResolveSendError(c.binding.soap, ResendWithCredentials);
    EXPECT_EQ(c.GetPageConfig(), status::kOk);
    EXPECT_EQ(gAsked, 1);
    EXPECT_EQ(proxy.Refused(), 2);
    EXPECT_EQ(proxy.Forwarded(), 2);
  }
  // An empty proxy host means no proxy, whatever user and password say.
  {
    Client c(url, 5, "", proxy.Port(), "seller", "pa55");
    EXPECT_EQ(c.GetPageConfig(), status::kOk);
    EXPECT_EQ(proxy.Forwarded(), 2);
    EXPECT_EQ(proxy.Refused(), 2);
  }
}

TEST_F(Transport, ProxyCredentialsNeverReachTheService) {
  testing_net::Proxy proxy("seller", "pa55");
  HttpRequest seen;
  testing_net::Server server(
      [&](Peer& p) {
        if (p.ReadRequest(seen)) p.Respond(200, kConfigAnswer);
      },
      &gCerts->Good());
  Client c(Https(server.Port()), 5, "127.0.0.1", proxy.Port(), "seller", "pa55");
  EXPECT_EQ(c.GetPageConfig(), status::kOk);
  EXPECT_EQ(seen.Header("Proxy-Authorization"), "");
  EXPECT_EQ(seen.Header("SOAPAction"), "\"\"");
  EXPECT_NE(proxy.LastAuthorization(), "");
}

TEST_F(Transport, TestLogIsWrittenOnlyWhenNamed) {
  testing_net::Server server([](Peer& p) {
    HttpRequest r;
    while (p.ReadRequest(r)) p.Respond(200, kConfigAnswer);
  });
  {
    Client c(Http(server.Port()));
    EXPECT_EQ(c.GetPageConfig(), status::kOk);
  }
  EXPECT_FALSE(std::filesystem::exists(logPath));
  {
    std::ofstream(logPath) << "earlier line\n";
    Client c(Http(server.Port()), 5, nullptr, 0, nullptr, nullptr, logPath.c_str());
    EXPECT_EQ(c.GetPageConfig(), status::kOk);
    std::string log = ReadFile(logPath);
    EXPECT_EQ(log.rfind("earlier line\n", 0), 0u);  // appended
    EXPECT_NE(log.find("fsend, data len = "), std::string::npos);
    EXPECT_NE(log.find("fsend, HTTP status code = 200"), std::string::npos);
    EXPECT_NE(log.find("frecv, available buffer len = "), std::string::npos);
    EXPECT_NE(log.find("header:\nHTTP/1.1 200 OK\r\n"), std::string::npos);
  }
}

TEST_F(Transport, LongHeadersAreLeftOutOfTheLogOnly) {
  testing_net::Server server([](Peer& p) {
    HttpRequest r;
    while (p.ReadRequest(r)) p.Respond(200, kConfigAnswer, "X-Padding: " + std::string(1100, 'p') + "\r\n");
  });
  Client c(Http(server.Port()), 5, nullptr, 0, nullptr, nullptr, logPath.c_str());
  EXPECT_EQ(c.GetPageConfig(), status::kOk);
  std::string log = ReadFile(logPath);
  EXPECT_EQ(log.find("header:\n"), std::string::npos);
  EXPECT_NE(log.find("HTTP status code = 200"), std::string::npos);
}

// ---- answers that break off, drip, come coded or come huge --------------------------------------
// Each server below ends by itself: its script returns once the answer is out or the client
// has gone.

namespace {

std::string Chunk(const std::string& bytes) {
  char size[32];
  std::snprintf(size, sizeof size, "%zx\r\n", bytes.size());
  return size + bytes + "\r\n";
}

// The call's status and error number, and whether the answer's value reached the caller.
struct Outcome {
  int status;
  DWORD errnum;
  bool value;
};

Outcome Call(const std::string& url, uint64_t limit = 0, int timeoutSeconds = 5) {
  Client c(url, timeoutSeconds);
  if (limit) tr::SetMaxAnswerSize(c.binding.soap, limit);
  ss__getPageConfigResponse out;
  int r = c.GetPageConfig(out);
  return {r, static_cast<DWORD>(c.binding.soap->errnum), out.getPageConfigReturn != nullptr};
}

long PeakKilobytes() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return u.ru_maxrss;
}

}  // namespace

TEST_F(Transport, BrokenTransfersFailWhateverTheRuntimeHasRead) {
  const std::string& a = kConfigAnswer;
  const std::string blanks(200000, ' ');  // the envelope is whole in the runtime's first buffer
  testing_net::Server server([&](Peer& p) {
    HttpRequest r;
    if (!p.ReadRequest(r)) return;
    const std::string ok = "HTTP/1.1 200 OK\r\n";
    if (r.target == "/reset") {
      p.Write(ok + "Content-Length: " + std::to_string(a.size()) + "\r\n\r\n" + a.substr(0, 100));
      p.Reset();
    } else if (r.target == "/short") {
      p.Write(ok + "Connection: close\r\nContent-Length: " + std::to_string(a.size() + 50) + "\r\n\r\n" + a);
    } else if (r.target == "/short-after-envelope") {
      p.Write(ok + "Connection: close\r\nContent-Length: " + std::to_string(a.size() + 2 * blanks.size()) +
              "\r\n\r\n" + a + blanks);
    } else if (r.target == "/reset-after-envelope") {
      p.Write(ok + "Content-Length: " + std::to_string(a.size() + 2 * blanks.size()) + "\r\n\r\n" + a + blanks);
      p.Reset();
    } else if (r.target == "/truncated") {
      p.Write(ok + "Connection: close\r\nContent-Length: 120\r\n\r\n" + a);
    } else if (r.target == "/bad-chunk") {
      p.Write(ok + "Transfer-Encoding: chunked\r\n\r\n" + Chunk(a) + "qq\r\n");
    } else if (r.target == "/huge-chunk") {
      p.Write(ok + "Connection: close\r\nTransfer-Encoding: chunked\r\n\r\n" + Chunk(a) + "7fffffffffffffff\r\n  ");
    } else if (r.target == "/chunked") {
      p.Write(ok + "Transfer-Encoding: chunked\r\n\r\n" + Chunk(a.substr(0, 50)) + Chunk(a.substr(50)) + "0\r\n\r\n");
    } else if (r.target == "/long") {
      p.Write(ok + "Content-Length: " + std::to_string(a.size()) + "\r\n\r\n" + a + "<junk/>junk");
    }
  });
  const std::string base = "http://127.0.0.1:" + std::to_string(server.Port());
  struct Case {
    const char* path;
    int status;
    DWORD errnum;
  } const cases[] = {
      {"/reset", status::kEof, ERROR_INTERNET_CONNECTION_RESET},
      {"/short", status::kEof, ERROR_INTERNET_CONNECTION_ABORTED},
      {"/short-after-envelope", status::kEof, ERROR_INTERNET_CONNECTION_ABORTED},
      {"/reset-after-envelope", status::kEof, ERROR_INTERNET_CONNECTION_RESET},
      {"/truncated", status::kEof, 0},  // the announced 120 bytes arrived: they are no envelope
      {"/bad-chunk", status::kEof, ERROR_INTERNET_CONNECTION_RESET},
      {"/huge-chunk", status::kEof, ERROR_INTERNET_CONNECTION_ABORTED},
      {"/chunked", status::kOk, 0},
      {"/long", status::kOk, 0},  // what comes past the announced length is never read
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    Outcome o = Call(base + c.path);
    EXPECT_EQ(o.status, c.status);
    EXPECT_EQ(o.errnum, c.errnum);
    EXPECT_EQ(o.value, c.status == status::kOk);
  }
}

// Headers or body a piece every 300 ms, well within the 1 s idle time-outs: the deadline of
// 3 s (connect + send + receive) ends the call, where the whole answer would take 9 s.
TEST_F(Transport, DrippingServersAreCutOffAtTheDeadline) {
  auto drip = [](Peer& p, const std::string& text, size_t piece) {
    for (size_t i = 0; i < text.size(); i += piece) {
      if (p.Owner().Stopping() || !p.Write(text.substr(i, piece))) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(300));
    }
    return true;
  };
  testing_net::Server server([&](Peer& p) {
    HttpRequest r;
    if (!p.ReadRequest(r)) return;
    const std::string& a = kConfigAnswer;
    if (r.target == "/headers") {
      std::string head = "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(a.size()) + "\r\n";
      for (int i = 0; i < 30; ++i) head += "X-Slow: " + std::string(10 - std::to_string(i).size(), 'x') + "\r\n";
      if (drip(p, head, 20)) p.Write("\r\n" + a);
    } else {
      p.Write("HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(a.size()) + "\r\n\r\n");
      drip(p, a, a.size() / 30 + 1);
    }
  });
  const std::string base = "http://127.0.0.1:" + std::to_string(server.Port());
  // In the send: a time-out like any other, which (without a callback) nothing resolves.
  Outcome headers = Call(base + "/headers", 0, 1);
  EXPECT_EQ(headers.status, status::kHttpError);
  EXPECT_EQ(headers.errnum, static_cast<DWORD>(ERROR_INTERNET_TIMEOUT));
  // In the body: the answer breaks off.
  Outcome body = Call(base + "/body", 0, 1);
  EXPECT_EQ(body.status, status::kEof);
  EXPECT_EQ(body.errnum, static_cast<DWORD>(ERROR_INTERNET_TIMEOUT));
  EXPECT_FALSE(body.value);
}

TEST_F(Transport, CodedAnswersReachTheRuntimeDecoded) {
  using testing_net::Compress;
  using testing_net::Encoding;
  std::mutex mutex;
  std::vector<std::string> offered;
  testing_net::Server server([&](Peer& p) {
    HttpRequest r;
    if (!p.ReadRequest(r)) return;
    {
      std::lock_guard lock(mutex);
      offered.push_back(r.Header("Accept-Encoding"));
    }
    const std::string& a = kConfigAnswer;
    std::string gzip = Compress(a, Encoding::Gzip);
    if (r.target == "/gzip") p.Respond(200, gzip, "Content-Encoding: gzip\r\n");
    if (r.target == "/zlib") p.Respond(200, Compress(a, Encoding::Zlib), "Content-Encoding: deflate\r\n");
    if (r.target == "/raw") p.Respond(200, Compress(a, Encoding::RawDeflate), "Content-Encoding: deflate\r\n");
    if (r.target == "/cut") p.Respond(200, gzip.substr(0, gzip.size() - 12), "Content-Encoding: gzip\r\n");
    if (r.target == "/unknown") p.Respond(200, a, "Content-Encoding: br2\r\n");
    if (r.target == "/unannounced") p.Respond(200, gzip);
  });
  const std::string base = "http://127.0.0.1:" + std::to_string(server.Port());
  for (const char* path : {"/gzip", "/zlib", "/raw"}) {
    SCOPED_TRACE(path);
    Outcome o = Call(base + path);
    EXPECT_EQ(o.status, status::kOk);
    EXPECT_TRUE(o.value);
  }
  Outcome cut = Call(base + "/cut");
  EXPECT_EQ(cut.status, status::kEof);
  EXPECT_EQ(cut.errnum, static_cast<DWORD>(ERROR_HTTP_INVALID_SERVER_RESPONSE));
  Outcome unknown = Call(base + "/unknown");  // refused in the send, where nothing resolves it
  EXPECT_EQ(unknown.status, status::kHttpError);
  EXPECT_EQ(unknown.errnum, static_cast<DWORD>(ERROR_HTTP_INVALID_SERVER_RESPONSE));
  // Coded bytes the server did not announce are no XML: the runtime does not unpack them.
  Outcome unannounced = Call(base + "/unannounced");
  EXPECT_EQ(unannounced.status, status::kSyntaxError);
  EXPECT_FALSE(unannounced.value);

  std::lock_guard lock(mutex);
  ASSERT_EQ(offered.size(), 6u);
  for (const auto& o : offered) EXPECT_EQ(o, "gzip, deflate");  // what the client decodes, once
}

TEST_F(Transport, AnswersAboveTheLimitAreRefusedBeforeTheyAreReadWhole) {
  constexpr size_t kHuge = size_t{300} << 20;
  const std::string& a = kConfigAnswer;
  const std::string head = a.substr(0, a.find("<statusesEnabled>"));
  const std::string tail = a.substr(head.size());
  std::atomic<size_t> sent{0};
  // 20 MB of blanks inside the envelope, a few dozen kilobytes once compressed.
  const std::string bomb =
      testing_net::Compress(head + std::string(20u << 20, ' ') + tail, testing_net::Encoding::Gzip);
  testing_net::Server server([&](Peer& p) {
    HttpRequest r;
    if (!p.ReadRequest(r)) return;
    // A text member of 300 MB, announced or in chunks.
    const std::string open = head + "<sellerUrl>", close = "</sellerUrl>" + tail;
    std::string piece(1 << 20, 'u');
    if (r.target == "/announced") {
      if (!p.Write("HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(open.size() + kHuge + close.size()) +
                   "\r\n\r\n" + open))
        return;
      for (size_t i = 0; i < kHuge / piece.size() && p.Write(piece); ++i) sent += piece.size();
    } else if (r.target == "/chunked") {
      if (!p.Write("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n" + Chunk(open))) return;
      std::string chunk = Chunk(piece);
      for (size_t i = 0; i < kHuge / piece.size() && p.Write(chunk); ++i) sent += piece.size();
    } else if (r.target == "/bomb") {
      p.Respond(200, bomb, "Content-Encoding: gzip\r\n");
    } else {
      p.Respond(200, a);
    }
  });
  const std::string base = "http://127.0.0.1:" + std::to_string(server.Port());
  const int tooLarge = status::kLength;

  // Announced: refused before a byte of the body is read.
  Outcome announced = Call(base + "/announced", 1 << 20);
  EXPECT_EQ(announced.status, tooLarge);
  EXPECT_EQ(announced.errnum, 0u);
  EXPECT_FALSE(announced.value);

  // Unannounced, under the default limit of 64 MB: refused at the limit, memory stays far below
  // what the whole member would take.
  const long before = PeakKilobytes();
  sent = 0;
  Outcome chunked = Call(base + "/chunked", 0, 30);  // 64 MB to read: time enough on a slow machine
  EXPECT_EQ(chunked.status, tooLarge);
  EXPECT_LT(sent.load(), kHuge);
  EXPECT_LT(PeakKilobytes() - before, 256L * 1024);

  // Decoded bytes count: a small coded answer that unpacks above the limit is refused too.
  Outcome unpacked = Call(base + "/bomb", 1 << 20);
  EXPECT_EQ(unpacked.status, tooLarge);

  // An answer within the limit passes.
  Outcome fits = Call(base + "/", 1 << 20);
  EXPECT_EQ(fits.status, status::kOk);
  EXPECT_TRUE(fits.value);
}

TEST_F(Transport, OneTransportPerContext) {
  EXPECT_EQ(tr::Register(nullptr), status::kOutOfMemory);
  testing_net::Server server([](Peer& p) {
    HttpRequest r;
    while (p.ReadRequest(r)) p.Respond(200, kConfigAnswer);
  });
  Client c(Http(server.Port()), 3);
  ASSERT_EQ(c.registered, status::kOk);
  HINTERNET first = tr::ClientHandle(c.binding.soap);
  EXPECT_EQ(tr::MaxAnswerSize(c.binding.soap), tr::kDefaultMaxAnswerSize);
  EXPECT_EQ(tr::kDefaultMaxAnswerSize, uint64_t{64} << 20);
  // A second registration is refused and leaves the first as it was, time-outs included.
  c.binding.soap->recv_timeout = 9;
  EXPECT_EQ(tr::Register(c.binding.soap), status::kPluginError);
  EXPECT_EQ(tr::ClientHandle(c.binding.soap), first);
  DWORD ms = 0, len = sizeof ms;
  ASSERT_TRUE(InternetQueryOptionA(first, INTERNET_OPTION_RECEIVE_TIMEOUT, &ms, &len));
  EXPECT_EQ(ms, 3000u);
  EXPECT_EQ(c.GetPageConfig(), status::kOk);
  EXPECT_EQ(server.Accepted(), 1);
}

TEST_F(Transport, TimeoutsAreTakenAtRegistrationAndZeroKeepsTheDefault) {
  auto query = [](HINTERNET h, DWORD option) {
    DWORD v = 0, len = sizeof v;
    EXPECT_TRUE(InternetQueryOptionA(h, option, &v, &len));
    return v;
  };
  Client set("https://127.0.0.1:1/rpcrouter", 3);
  HINTERNET h = tr::ClientHandle(set.binding.soap);
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(query(h, INTERNET_OPTION_CONNECT_TIMEOUT), 3000u);
  EXPECT_EQ(query(h, INTERNET_OPTION_RECEIVE_TIMEOUT), 3000u);
  EXPECT_EQ(query(h, INTERNET_OPTION_SEND_TIMEOUT), 3000u);

  HINTERNET fresh = InternetOpenA("x", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
  for (int seconds : {0, -4}) {
    Client unset("https://127.0.0.1:1/rpcrouter", seconds);
    HINTERNET u = tr::ClientHandle(unset.binding.soap);
    for (DWORD option : {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_RECEIVE_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT})
      EXPECT_EQ(query(u, option), query(fresh, option)) << seconds;
  }
  InternetCloseHandle(fresh);
}

TEST_F(Transport, KeptAliveContextReusesItsRequestAndConnection) {
  std::atomic<int> answered{0};
  testing_net::Server server([&](Peer& p) {
    HttpRequest r;
    while (p.ReadRequest(r)) {
      ++answered;
      p.Respond(200, kConfigAnswer);
    }
  });
  Client c(Http(server.Port()));
  soap_set_omode(c.binding.soap, SOAP_IO_KEEPALIVE);
  soap_set_imode(c.binding.soap, SOAP_IO_KEEPALIVE);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(c.GetPageConfig(), status::kOk) << i;
  EXPECT_EQ(answered, 3);
  EXPECT_EQ(server.Accepted(), 1);

  // Without keep-alive every call opens and closes its own request.
  Client plain(Http(server.Port()), 5, nullptr, 0, nullptr, nullptr, logPath.c_str());
  for (int i = 0; i < 2; ++i) EXPECT_EQ(plain.GetPageConfig(), status::kOk) << i;
  std::string log = ReadFile(logPath);
  EXPECT_EQ(Count(log, ": disconnect\n"), 2);
  EXPECT_EQ(Count(log, ": connected to '127.0.0.1'"), 2);
}

// A kept-alive context never carries one call's answer into the next: a connection whose answer
// was refused half-read, or that the service ended (saying so or not), is dropped and the next
// call goes through on a new one; after an answer read whole, a fault too, the connection stays.
TEST_F(Transport, KeptAliveContextDropsAConnectionItCannotUseAgain) {
  const std::string fault = Envelope(
      "<SOAP-ENV:Fault><faultcode>SOAP-ENV:Server</faultcode><faultstring>busy</faultstring></SOAP-ENV:Fault>");
  const std::string huge = Envelope(std::string(4 << 20, ' '));
  struct Case {
    const char* name;
    // Answers the first request; false when the connection ends there.
    std::function<bool(Peer&)> first;
    int firstResult;
    int connections;
  } const cases[] = {
      {"answer above the limit, unread", [&](Peer& p) { return p.Respond(200, huge); }, status::kLength, 2},
      {"closed after the answer", [&](Peer& p) { return !p.Respond(200, kConfigAnswer); }, status::kOk, 2},
      {"answer saying it closes",
       [&](Peer& p) {
         p.Respond(200, kConfigAnswer, "Connection: close\r\n");
         return false;
       },
       status::kOk, 2},
      {"fault read whole", [&](Peer& p) { return p.Respond(500, fault); }, status::kServerFault, 1},
  };
  for (const Case& c : cases) {
    std::atomic<int> requests{0};
    std::atomic<bool> leftover{false};
    testing_net::Server server(
        [&](Peer& p) {
          HttpRequest r;
          while (p.ReadRequest(r)) {
            // A request that starts with what an earlier answer left would not parse.
            if (r.method != "POST" || r.body.find("getPageConfig") == std::string::npos) leftover = true;
            if (requests++ == 0) {
              if (!c.first(p)) return;
            } else if (!p.Respond(200, kConfigAnswer)) {
              return;
            }
          }
        },
        &gCerts->Good());
    Client client(Https(server.Port()));
    soap_set_omode(client.binding.soap, SOAP_IO_KEEPALIVE);
    soap_set_imode(client.binding.soap, SOAP_IO_KEEPALIVE);
    tr::SetMaxAnswerSize(client.binding.soap, 1 << 20);
    EXPECT_EQ(client.GetPageConfig(), c.firstResult) << c.name;
    ss__getPageConfigResponse out;
    EXPECT_EQ(client.GetPageConfig(out), status::kOk) << c.name;
    EXPECT_TRUE(out.getPageConfigReturn && out.getPageConfigReturn->statusesEnabled) << c.name;
    EXPECT_EQ(client.GetPageConfig(), status::kOk) << c.name;
    EXPECT_EQ(requests, 3) << c.name;
    EXPECT_EQ(server.Accepted(), c.connections) << c.name;
    EXPECT_FALSE(leftover) << c.name;
  }
}
