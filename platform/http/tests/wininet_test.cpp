// The internet client against loopback servers: exchanges, failures, certificates and proxies.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "platform/http/wininet.h"
#include "testing/net/net.h"

using testing_net::Certificates;
using testing_net::HttpRequest;
using testing_net::Peer;
using testing_net::Proxy;
using testing_net::Server;

namespace {

struct Handles {
  HINTERNET session = nullptr, connection = nullptr, request = nullptr;
  ~Handles() {
    if (request) InternetCloseHandle(request);
    if (connection) InternetCloseHandle(connection);
    if (session) InternetCloseHandle(session);
  }
};

// Opens session, connection and a POST request on `path` (TLS when `secure`).
void Open(Handles& h, uint16_t port, bool secure, const char* path = "/rpcrouter",
          DWORD access = INTERNET_OPEN_TYPE_DIRECT, const char* proxy = nullptr) {
  h.session = InternetOpenA("tests", access, proxy, nullptr, 0);
  ASSERT_NE(h.session, nullptr);
  h.connection = InternetConnectA(h.session, "127.0.0.1", port, nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0);
  ASSERT_NE(h.connection, nullptr);
  h.request = HttpOpenRequestA(h.connection, "POST", path, "HTTP/1.1", nullptr, nullptr,
                               secure ? INTERNET_FLAG_SECURE : 0, 0);
  ASSERT_NE(h.request, nullptr);
}

void SetTimeout(HINTERNET h, DWORD option, DWORD ms) { ASSERT_TRUE(InternetSetOptionA(h, option, &ms, sizeof ms)); }

DWORD StatusOf(HINTERNET request) {
  DWORD status = 0, len = sizeof status;
  EXPECT_TRUE(HttpQueryInfoA(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &len, nullptr));
  return status;
}

// Reads the whole body; returns the error of a failed read in `error` (0 when it ended normally).
std::string ReadAll(HINTERNET request, DWORD& error, size_t* total = nullptr, bool keep = true) {
  std::string body;
  char buf[65536];
  error = 0;
  for (;;) {
    DWORD n = 0;
    if (!InternetReadFile(request, buf, sizeof buf, &n)) {
      error = GetLastError();
      break;
    }
    if (n == 0) break;
    if (total) *total += n;
    if (keep) body.append(buf, n);
  }
  return body;
}

bool Send(HINTERNET request, const std::string& body) {
  return HttpSendRequestA(request, nullptr, 0, const_cast<char*>(body.data()), static_cast<DWORD>(body.size()));
}

class InternetClient : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { certs_ = new Certificates(); }
  static void TearDownTestSuite() {
    delete certs_;
    certs_ = nullptr;
  }
  void SetUp() override { InternetSetTrustedCertificates(certs_->CaFile().c_str()); }
  void TearDown() override { InternetSetTrustedCertificates(nullptr); }
  static Certificates* certs_;
};
Certificates* InternetClient::certs_ = nullptr;

}  // namespace

TEST_F(InternetClient, PostCarriesHeadersAndBodyAndAnswerIsQueryable) {
  HttpRequest seen;
  Server server([&](Peer& p) {
    if (p.ReadRequest(seen)) p.Respond(200, "<answer/>", "X-Extra: yes\r\n");
  });
  Handles h;
  Open(h, server.Port(), false);
  ASSERT_TRUE(HttpAddRequestHeadersA(h.request, "SOAPAction: \"\"\r\nContent-Type: text/xml; charset=utf-8",
                                     static_cast<DWORD>(-1), HTTP_ADDREQ_FLAG_ADD | HTTP_ADDREQ_FLAG_REPLACE));
  // A wrong Content-Length from the caller is replaced by the real one.
  ASSERT_TRUE(HttpAddRequestHeadersA(h.request, "Content-Length: 999", static_cast<DWORD>(-1), HTTP_ADDREQ_FLAG_ADD));
  ASSERT_TRUE(Send(h.request, "<request/>"));
  EXPECT_EQ(seen.method, "POST");
  EXPECT_EQ(seen.target, "/rpcrouter");
  EXPECT_EQ(seen.body, "<request/>");
  EXPECT_EQ(seen.Header("SOAPAction"), "\"\"");
  EXPECT_EQ(seen.Header("Content-Length"), "10");
  EXPECT_EQ(seen.Header("User-Agent"), "tests");
  EXPECT_EQ(seen.Header("Expect"), "");

  EXPECT_EQ(StatusOf(h.request), 200u);
  char raw[1024];
  DWORD len = sizeof raw;
  ASSERT_TRUE(HttpQueryInfoA(h.request, HTTP_QUERY_RAW_HEADERS_CRLF, raw, &len, nullptr));
  std::string rawText(raw, len);
  EXPECT_EQ(rawText.rfind("HTTP/1.1 200 OK\r\n", 0), 0u);
  EXPECT_NE(rawText.find("X-Extra: yes\r\n"), std::string::npos);
  EXPECT_EQ(rawText.substr(rawText.size() - 4), "\r\n\r\n");

  // Too small a buffer: the size needed (with the NUL), in bytes, for both forms.
  wchar_t small[4];
  DWORD smallLen = sizeof small;
  EXPECT_FALSE(HttpQueryInfoW(h.request, HTTP_QUERY_RAW_HEADERS_CRLF, small, &smallLen, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(smallLen, (rawText.size() + 1) * sizeof(wchar_t));

  DWORD length = 0, lengthSize = sizeof length;
  ASSERT_TRUE(HttpQueryInfoA(h.request, HTTP_QUERY_CONTENT_LENGTH | HTTP_QUERY_FLAG_NUMBER, &length, &lengthSize,
                             nullptr));
  EXPECT_EQ(length, 9u);
  DWORD err;
  EXPECT_EQ(ReadAll(h.request, err), "<answer/>");
  EXPECT_EQ(err, 0u);
}

TEST_F(InternetClient, HeaderTextIsReadAsUtf8) {
  Server server([&](Peer& p) {
    HttpRequest seen;
    if (p.ReadRequest(seen)) p.Respond(200, "", "X-Name: Łódź\xC0\xAF\r\n");
  });
  Handles h;
  Open(h, server.Port(), false);
  ASSERT_TRUE(Send(h.request, ""));
  // An overlong form is not read as the character it imitates.
  wchar_t name[32] = L"X-Name";
  DWORD nameLen = sizeof name;
  ASSERT_TRUE(HttpQueryInfoW(h.request, HTTP_QUERY_CUSTOM, name, &nameLen, nullptr));
  EXPECT_STREQ(name, L"Łódź\xFFFD\xFFFD");
}

TEST_F(InternetClient, RedirectsAndErrorStatusesComeBackAsTheyAre) {
  Server server([](Peer& p) {
    HttpRequest r;
    while (p.ReadRequest(r)) {
      if (r.target == "/moved")
        p.Respond(302, "", "Location: https://127.0.0.1:1/elsewhere\r\n");
      else
        p.Respond(401, "<html>no</html>", "WWW-Authenticate: Basic realm=\"x\"\r\n", "text/html");
    }
  });
  Handles h;
  Open(h, server.Port(), false, "/moved");
  ASSERT_TRUE(Send(h.request, "x"));
  EXPECT_EQ(StatusOf(h.request), 302u);

  Handles h2;
  Open(h2, server.Port(), false, "/private");
  ASSERT_TRUE(Send(h2.request, "x"));
  EXPECT_EQ(StatusOf(h2.request), 401u);
  DWORD err;
  EXPECT_EQ(ReadAll(h2.request, err), "<html>no</html>");
  // The same request handle can be sent again.
  ASSERT_TRUE(Send(h2.request, "y"));
  EXPECT_EQ(StatusOf(h2.request), 401u);
}

TEST_F(InternetClient, StreamedBodyIsSentWhenTheRequestEnds) {
  HttpRequest seen;
  Server server([&](Peer& p) {
    if (p.ReadRequest(seen)) p.Respond(200, "ok");
  });
  Handles h;
  Open(h, server.Port(), false);
  ASSERT_TRUE(HttpSendRequestExA(h.request, nullptr, nullptr, 0, 0));
  DWORD written = 0;
  ASSERT_TRUE(InternetWriteFile(h.request, "abc", 3, &written));
  ASSERT_TRUE(InternetWriteFile(h.request, "def", 3, &written));
  EXPECT_EQ(written, 3u);
  ASSERT_TRUE(HttpEndRequestA(h.request, nullptr, 0, 0));
  EXPECT_EQ(seen.body, "abcdef");
  EXPECT_EQ(StatusOf(h.request), 200u);
}

TEST_F(InternetClient, ConnectionFailuresGiveTheirCodes) {
  uint16_t closedPort;
  {
    Server gone([](Peer&) {});
    closedPort = gone.Port();
  }
  Handles refused;
  Open(refused, closedPort, false);
  EXPECT_FALSE(Send(refused.request, "x"));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INTERNET_CANNOT_CONNECT));

  // Accepts and never answers: the receive time-out ends the wait.
  Server silent([](Peer& p) { p.Hang(); });
  Handles slow;
  Open(slow, silent.Port(), false);
  SetTimeout(slow.session, INTERNET_OPTION_RECEIVE_TIMEOUT, 300);
  EXPECT_FALSE(Send(slow.request, "x"));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INTERNET_TIMEOUT));

  // Closes without a word, and answers garbage.
  Server mute([](Peer& p) {
    HttpRequest r;
    p.ReadRequest(r);
  });
  Handles nothing;
  Open(nothing, mute.Port(), false);
  EXPECT_FALSE(Send(nothing.request, "x"));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_HTTP_INVALID_SERVER_RESPONSE));

  Server resetting([](Peer& p) {
    HttpRequest r;
    p.ReadRequest(r);
    p.Reset();
  });
  Handles reset;
  Open(reset, resetting.Port(), false);
  EXPECT_FALSE(Send(reset.request, "x"));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INTERNET_CONNECTION_RESET));
}

TEST_F(InternetClient, BrokenBodiesFailTheReadOrStopAtTheirLength) {
  Server server([](Peer& p) {
    HttpRequest r;
    if (!p.ReadRequest(r)) return;
    if (r.target == "/reset") {
      p.Write("HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n" + std::string(5000, 'a'));
      p.Reset();
    } else if (r.target == "/short") {
      p.Write("HTTP/1.1 200 OK\r\nContent-Length: 100\r\nConnection: close\r\n\r\n0123456789");
    } else if (r.target == "/long") {
      p.Write("HTTP/1.1 200 OK\r\nContent-Length: 4\r\n\r\n0123456789");
    } else if (r.target == "/stall") {
      p.Write("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n0123");
      p.Hang();
    }
  });
  DWORD err;
  Handles reset;
  Open(reset, server.Port(), false, "/reset");
  ASSERT_TRUE(Send(reset.request, "x"));
  std::string got = ReadAll(reset.request, err);
  EXPECT_LE(got.size(), 5000u);
  EXPECT_EQ(err, static_cast<DWORD>(ERROR_INTERNET_CONNECTION_RESET));

  Handles shortBody;
  Open(shortBody, server.Port(), false, "/short");
  ASSERT_TRUE(Send(shortBody.request, "x"));
  EXPECT_EQ(ReadAll(shortBody.request, err), "0123456789");
  EXPECT_EQ(err, static_cast<DWORD>(ERROR_INTERNET_CONNECTION_ABORTED));

  Handles longBody;
  Open(longBody, server.Port(), false, "/long");
  ASSERT_TRUE(Send(longBody.request, "x"));
  EXPECT_EQ(ReadAll(longBody.request, err), "0123");
  EXPECT_EQ(err, 0u);

  Handles stall;
  Open(stall, server.Port(), false, "/stall");
  SetTimeout(stall.connection, INTERNET_OPTION_RECEIVE_TIMEOUT, 300);
  ASSERT_TRUE(Send(stall.request, "x"));
  EXPECT_EQ(ReadAll(stall.request, err), "0123");
  EXPECT_EQ(err, static_cast<DWORD>(ERROR_INTERNET_TIMEOUT));
}

TEST_F(InternetClient, HundredMegabyteAnswerIsStreamed) {
  constexpr size_t kSize = 100u << 20;
  Server server([](Peer& p) {
    HttpRequest r;
    if (!p.ReadRequest(r)) return;
    p.Write("HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(kSize) + "\r\n\r\n");
    std::string chunk(1 << 20, 'z');
    for (size_t i = 0; i < kSize / chunk.size(); ++i)
      if (!p.Write(chunk)) return;
  });
  Handles h;
  Open(h, server.Port(), false);
  ASSERT_TRUE(Send(h.request, "x"));
  DWORD err;
  size_t total = 0;
  ReadAll(h.request, err, &total, false);
  EXPECT_EQ(err, 0u);
  EXPECT_EQ(total, kSize);
}

// A peer that keeps the exchange alive with a piece now and then: each piece comes well within
// the idle time-outs (300 ms), but the whole answer would take far longer than their sum.
TEST_F(InternetClient, DeadlineCutsOffPeersThatDripHeadersOrBody) {
  auto drip = [](Peer& p, const std::vector<std::string>& pieces, int ms) {
    for (const auto& piece : pieces) {
      if (p.Owner().Stopping() || !p.Write(piece)) return;
      std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    }
  };
  Server server([&](Peer& p) {
    HttpRequest r;
    if (!p.ReadRequest(r)) return;
    const std::string body(40, 'b');
    if (r.target == "/headers") {
      std::vector<std::string> lines{"HTTP/1.1 200 OK\r\nContent-Length: 40\r\n"};
      for (int i = 0; i < 30; ++i) lines.push_back("X-Slow-" + std::to_string(i) + ": x\r\n");
      drip(p, lines, 100);
      p.Write("\r\n" + body);
    } else {
      p.Write("HTTP/1.1 200 OK\r\nContent-Length: 40\r\n\r\n");
      drip(p, std::vector<std::string>(body.size(), "b"), 40);
    }
  });
  auto open = [&](Handles& h, const char* path) {
    Open(h, server.Port(), false, path);
    for (DWORD option : {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT, INTERNET_OPTION_RECEIVE_TIMEOUT})
      SetTimeout(h.session, option, 300);
  };
  Handles headers;
  open(headers, "/headers");
  EXPECT_FALSE(Send(headers.request, "x"));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INTERNET_TIMEOUT));

  Handles body;
  open(body, "/body");
  ASSERT_TRUE(Send(body.request, "x"));
  DWORD err;
  std::string got = ReadAll(body.request, err);
  EXPECT_EQ(err, static_cast<DWORD>(ERROR_INTERNET_TIMEOUT));
  EXPECT_LT(got.size(), 40u);
}

TEST_F(InternetClient, BodiesAreDecodedOnlyWhenAsked) {
  const std::string text = "<answer>" + std::string(5000, 'z') + "</answer>";
  std::atomic<int> offered{0};
  Server server([&](Peer& p) {
    HttpRequest r;
    while (p.ReadRequest(r)) {
      if (r.Header("Accept-Encoding") == "gzip, deflate") ++offered;
      if (r.target == "/gzip")
        p.Respond(200, testing_net::Compress(text, testing_net::Encoding::Gzip), "Content-Encoding: gzip\r\n");
      else if (r.target == "/zlib")
        p.Respond(200, testing_net::Compress(text, testing_net::Encoding::Zlib), "Content-Encoding: deflate\r\n");
      else if (r.target == "/raw")
        p.Respond(200, testing_net::Compress(text, testing_net::Encoding::RawDeflate), "Content-Encoding: deflate\r\n");
      else if (r.target == "/unknown")
        p.Respond(200, text, "Content-Encoding: x-mystery\r\n");
      else if (r.target == "/corrupt")
        p.Respond(200, "\x1f\x8b\x08\x00 this is not a gzip stream", "Content-Encoding: gzip\r\n");
      else if (r.target == "/cut") {
        std::string z = testing_net::Compress(text, testing_net::Encoding::Gzip);
        p.Respond(200, z.substr(0, z.size() / 2), "Content-Encoding: gzip\r\n");
      } else if (r.target == "/cutraw") {
        std::string z = testing_net::Compress(text, testing_net::Encoding::RawDeflate);
        p.Respond(200, z.substr(0, z.size() / 2), "Content-Encoding: deflate\r\n");
      }
      else
        p.Respond(200, text);
    }
  });
  // The error of whichever step failed: the send, or a read of the body.
  auto exchange = [&](const char* path, bool decode, DWORD& error) {
    Handles h;
    Open(h, server.Port(), false, path);
    BOOL on = decode ? TRUE : FALSE;
    EXPECT_TRUE(InternetSetOptionA(h.session, INTERNET_OPTION_HTTP_DECODING, &on, sizeof on));
    if (!Send(h.request, "x")) {
      error = GetLastError();
      return std::string();
    }
    return ReadAll(h.request, error);
  };
  DWORD err;
  for (const char* path : {"/gzip", "/zlib", "/raw", "/plain"}) {
    SCOPED_TRACE(path);
    EXPECT_EQ(exchange(path, true, err), text);
    EXPECT_EQ(err, 0u);
  }
  EXPECT_EQ(offered, 4);
  for (const char* path : {"/unknown", "/corrupt", "/cut", "/cutraw"}) {
    SCOPED_TRACE(path);
    exchange(path, true, err);
    EXPECT_EQ(err, static_cast<DWORD>(ERROR_HTTP_INVALID_SERVER_RESPONSE));
  }
  // Not asked: the body comes as sent and nothing is offered.
  EXPECT_EQ(exchange("/gzip", false, err), testing_net::Compress(text, testing_net::Encoding::Gzip));
  EXPECT_EQ(err, 0u);
  EXPECT_EQ(offered, 8);
}

TEST_F(InternetClient, BrokenChunksFailTheRead) {
  Server server([](Peer& p) {
    HttpRequest r;
    if (!p.ReadRequest(r)) return;
    const std::string head = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nabcde\r\n";
    if (r.target == "/qq")
      p.Write(head + "qq\r\nmore\r\n0\r\n\r\n");
    else if (r.target == "/huge")
      p.Write(head + "7fffffffffffffff\r\nsome");
    else
      p.Write(head + "0\r\n\r\n");
  });
  struct Case {
    const char* path;
    DWORD error;
  } const cases[] = {{"/qq", ERROR_INTERNET_CONNECTION_RESET},
                     {"/huge", ERROR_INTERNET_CONNECTION_ABORTED},
                     {"/whole", 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    Handles h;
    Open(h, server.Port(), false, c.path);
    ASSERT_TRUE(Send(h.request, "x"));
    DWORD err;
    std::string got = ReadAll(h.request, err);
    EXPECT_EQ(err, c.error);
    if (!c.error) {
      EXPECT_EQ(got, "abcde");
    }
  }
}

TEST_F(InternetClient, CertificatesAreVerified) {
  struct Case {
    const Certificates::Pair* pair;
    DWORD error;
  } cases[] = {{&certs_->Good(), 0},
               {&certs_->OtherCa(), ERROR_INTERNET_INVALID_CA},
               {&certs_->Expired(), ERROR_INTERNET_SEC_CERT_DATE_INVALID},
               {&certs_->WrongName(), ERROR_INTERNET_SEC_CERT_CN_INVALID}};
  for (const auto& c : cases) {
    Server server(
        [](Peer& p) {
          HttpRequest r;
          if (p.ReadRequest(r)) p.Respond(200, "secure");
        },
        c.pair);
    Handles h;
    Open(h, server.Port(), true);
    bool sent = Send(h.request, "x");
    if (c.error == 0) {
      ASSERT_TRUE(sent) << GetLastError();
      DWORD err;
      EXPECT_EQ(ReadAll(h.request, err), "secure");
    } else {
      EXPECT_FALSE(sent) << c.pair->cert;
      EXPECT_EQ(GetLastError(), c.error) << c.pair->cert;
    }
  }
  // Without the test authority the system's authorities do not know the server either.
  InternetSetTrustedCertificates(nullptr);
  Server server([](Peer& p) { p.Hang(); }, &certs_->Good());
  Handles h;
  Open(h, server.Port(), true);
  EXPECT_FALSE(Send(h.request, "x"));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INTERNET_INVALID_CA));
}

TEST_F(InternetClient, ProxyWantsCredentialsForPlainAndTunnelledRequests) {
  Proxy proxy("user", "secret");
  const std::string proxyText = "127.0.0.1:" + std::to_string(proxy.Port());
  auto script = [](Peer& p) {
    HttpRequest r;
    while (p.ReadRequest(r)) p.Respond(200, "through " + r.target);
  };
  Server plain(script);
  Server secure(script, &certs_->Good());

  for (bool tls : {false, true}) {
    SCOPED_TRACE(tls ? "https" : "http");
    uint16_t port = tls ? secure.Port() : plain.Port();
    Handles refused;
    Open(refused, port, tls, "/rpcrouter", INTERNET_OPEN_TYPE_PROXY, proxyText.c_str());
    ASSERT_TRUE(Send(refused.request, "x")) << GetLastError();
    EXPECT_EQ(StatusOf(refused.request), 407u);
    DWORD err;
    std::string page = ReadAll(refused.request, err);
    if (!tls) {
      EXPECT_NE(page.find("Proxy authentication required"), std::string::npos);
    }

    Handles allowed;
    Open(allowed, port, tls, "/rpcrouter", INTERNET_OPEN_TYPE_PROXY, proxyText.c_str());
    ASSERT_TRUE(InternetSetOptionA(allowed.session, INTERNET_OPTION_PROXY_USERNAME, const_cast<char*>("user"), 4));
    ASSERT_TRUE(InternetSetOptionA(allowed.session, INTERNET_OPTION_PROXY_PASSWORD, const_cast<char*>("secret"), 6));
    ASSERT_TRUE(Send(allowed.request, "x")) << GetLastError();
    EXPECT_EQ(StatusOf(allowed.request), 200u);
    EXPECT_EQ(ReadAll(allowed.request, err), "through /rpcrouter");
  }
  EXPECT_EQ(proxy.Refused(), 2);
  EXPECT_EQ(proxy.Forwarded(), 2);
}

TEST_F(InternetClient, ProcessProxySettingStartsDirectAndIsUsedByPreconfiguredSessions) {
  char buf[512];
  DWORD len = sizeof buf;
  ASSERT_TRUE(InternetQueryOptionA(nullptr, INTERNET_OPTION_PROXY, buf, &len));
  auto* info = reinterpret_cast<INTERNET_PROXY_INFOA*>(buf);
  EXPECT_EQ(info->dwAccessType, static_cast<DWORD>(INTERNET_OPEN_TYPE_DIRECT));
  EXPECT_STREQ(info->lpszProxy, "");

  Proxy proxy("", "");
  std::wstring text = L"127.0.0.1:" + std::to_wstring(proxy.Port());
  INTERNET_PROXY_INFOW set{INTERNET_OPEN_TYPE_PROXY, text.c_str(), L"<local>"};
  ASSERT_TRUE(InternetSetOptionW(nullptr, INTERNET_OPTION_PROXY, &set, sizeof set));
  wchar_t wbuf[256];
  DWORD wlen = 10;  // too small: the size is reported
  EXPECT_FALSE(InternetQueryOptionW(nullptr, INTERNET_OPTION_PROXY, wbuf, &wlen));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  wlen = sizeof wbuf;
  ASSERT_TRUE(InternetQueryOptionW(nullptr, INTERNET_OPTION_PROXY, wbuf, &wlen));
  auto* winfo = reinterpret_cast<INTERNET_PROXY_INFOW*>(wbuf);
  EXPECT_EQ(std::wstring(winfo->lpszProxy), text);

  // The bypass list names loopback: a preconfigured session goes direct.
  Server server([](Peer& p) {
    HttpRequest r;
    if (p.ReadRequest(r)) p.Respond(200, "direct");
  });
  {
    Handles h;
    Open(h, server.Port(), false, "/", INTERNET_OPEN_TYPE_PRECONFIG);
    ASSERT_TRUE(Send(h.request, "x"));
    EXPECT_EQ(proxy.Forwarded(), 0);
  }
  set.lpszProxyBypass = nullptr;
  ASSERT_TRUE(InternetSetOptionW(nullptr, INTERNET_OPTION_PROXY, &set, sizeof set));
  {
    Handles h;
    Open(h, server.Port(), false, "/", INTERNET_OPEN_TYPE_PRECONFIG);
    ASSERT_TRUE(Send(h.request, "x"));
    EXPECT_EQ(proxy.Forwarded(), 1);
  }
  INTERNET_PROXY_INFOW direct{INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr};
  ASSERT_TRUE(InternetSetOptionW(nullptr, INTERNET_OPTION_PROXY, &direct, sizeof direct));
}

TEST(InternetHandles, OptionsInheritAndBadHandlesAreRefused) {
  HINTERNET s = InternetOpenW(L"agent", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
  HINTERNET c = InternetConnectW(s, L"localhost", 1, nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0);
  HINTERNET r = HttpOpenRequestW(c, L"POST", L"/x", nullptr, nullptr, nullptr, 0, 0);
  ASSERT_TRUE(s && c && r);
  DWORD v = 7000, out = 0, len = sizeof out;
  ASSERT_TRUE(InternetSetOptionW(s, INTERNET_OPTION_CONNECT_TIMEOUT, &v, sizeof v));
  ASSERT_TRUE(InternetQueryOptionW(r, INTERNET_OPTION_CONNECT_TIMEOUT, &out, &len));
  EXPECT_EQ(out, 7000u);
  v = 1234;
  ASSERT_TRUE(InternetSetOptionW(c, INTERNET_OPTION_CONNECT_TIMEOUT, &v, sizeof v));
  ASSERT_TRUE(InternetQueryOptionW(r, INTERNET_OPTION_CONNECT_TIMEOUT, &out, &len));
  EXPECT_EQ(out, 1234u);
  EXPECT_FALSE(InternetSetOptionW(s, INTERNET_OPTION_CONNECT_TIMEOUT, &v, 2));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INTERNET_BAD_OPTION_LENGTH));

  // Queries before a send, wrong handle kinds, closed handles.
  DWORD status, slen = sizeof status;
  EXPECT_FALSE(HttpQueryInfoW(r, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &slen, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INTERNET_INCORRECT_HANDLE_STATE));
  EXPECT_EQ(HttpOpenRequestW(s, L"GET", L"/", nullptr, nullptr, nullptr, 0, 0), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INTERNET_INCORRECT_HANDLE_TYPE));
  EXPECT_FALSE(HttpAddRequestHeadersW(r, L"no colon here", static_cast<DWORD>(-1), HTTP_ADDREQ_FLAG_ADD));
  EXPECT_TRUE(InternetCloseHandle(s));  // the children stay usable until closed
  ASSERT_TRUE(InternetQueryOptionW(r, INTERNET_OPTION_CONNECT_TIMEOUT, &out, &len));
  EXPECT_TRUE(InternetCloseHandle(r));
  EXPECT_TRUE(InternetCloseHandle(c));
  EXPECT_FALSE(InternetCloseHandle(c));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  DWORD read;
  char b[4];
  EXPECT_FALSE(InternetReadFile(r, b, 4, &read));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  EXPECT_EQ(InternetErrorDlg(nullptr, nullptr, ERROR_INTERNET_INVALID_CA, 7, nullptr),
            static_cast<DWORD>(ERROR_CANCELLED));
}

TEST(InternetMessages, TextsEndInALineBreakAndUnknownCodesHaveNone) {
  char buf[256];
  DWORD n = InternetFormatMessageA(ERROR_INTERNET_TIMEOUT, buf, sizeof buf);
  ASSERT_GT(n, 2u);
  EXPECT_EQ(std::string(buf + n - 2), "\r\n");
  for (DWORD code : {12002u, 12014u, 12031u, 12037u, 12038u, 12039u, 12043u, 12045u, 12152u}) {
    wchar_t w[256];
    EXPECT_GT(InternetFormatMessageW(code, w, 256), 2u) << code;
  }
  EXPECT_EQ(InternetFormatMessageA(99999, buf, sizeof buf), 0u);
  EXPECT_EQ(InternetFormatMessageA(ERROR_INTERNET_TIMEOUT, buf, 5), 0u);
}
