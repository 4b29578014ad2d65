// The runtime plug-in: installs the transport hooks on a SOAP runtime context and carries them
// out with the platform's internet client; the decisions are TransportPolicy's.
#include "zone/protocol/transport.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string>

#include <stdsoap2.h>

#include "zone/protocol/SoapStatus.h"

namespace vorlen::transport {
namespace {

// The value put in the context's socket slot while a request is open: the runtime only compares
// it with its invalid value, and every hook that would touch a socket is the plug-in's.
constexpr SOAP_SOCKET kRequestSocket = 0x3FFFFFFF;

std::string ErrorTextOf(DWORD error) {
  char buf[512];
  DWORD n = InternetFormatMessageA(error, buf, sizeof buf);
  if (n < 2) return {};
  return std::string(buf, n - 2);  // without the line end
}

// One open request of the internet client.
class ClientExchange final : public HttpExchange {
 public:
  explicit ClientExchange(HINTERNET request) : request_(request) {}
  ~ClientExchange() override { InternetCloseHandle(request_); }
  ClientExchange(const ClientExchange&) = delete;
  ClientExchange& operator=(const ClientExchange&) = delete;

  HINTERNET Handle() const override { return request_; }
  bool Send(const std::string& body) override {
    return Check(HttpSendRequestA(request_, nullptr, 0, const_cast<char*>(body.data()), static_cast<DWORD>(body.size())));
  }
  DWORD LastError() const override { return error_; }
  bool QueryStatus(DWORD& status) override {
    DWORD length = sizeof status;
    return Check(HttpQueryInfoA(request_, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &length, nullptr));
  }
  bool QueryRawHeaders(std::string& headers) override {
    wchar_t buffer[512] = {};
    DWORD length = sizeof buffer;
    if (!HttpQueryInfoW(request_, HTTP_QUERY_RAW_HEADERS_CRLF, buffer, &length, nullptr)) return false;
    headers.clear();
    for (const wchar_t* p = buffer; *p; ++p) headers += *p < 0x80 ? static_cast<char>(*p) : '?';
    return true;
  }
  bool QueryContentLength(uint64_t& length) override {
    char text[32];
    DWORD size = sizeof text;
    if (!HttpQueryInfoA(request_, HTTP_QUERY_CONTENT_LENGTH, text, &size, nullptr)) return false;
    char* end = nullptr;
    errno = 0;
    unsigned long long n = std::strtoull(text, &end, 10);
    if (end == text || *end || errno == ERANGE) return false;
    length = n;
    return true;
  }
  bool Read(char* buffer, size_t size, size_t& got) override {
    DWORD read = 0;
    DWORD ask = size > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<DWORD>(size);
    bool ok = Check(InternetReadFile(request_, buffer, ask, &read));
    got = read;
    return ok;
  }
  DWORD ErrorDialog(DWORD error) override {
    return InternetErrorDlg(nullptr, request_, error,
                            FLAGS_ERROR_UI_FILTER_FOR_ERRORS | FLAGS_ERROR_UI_FLAGS_CHANGE_OPTIONS |
                                FLAGS_ERROR_UI_FLAGS_GENERATE_DATA,
                            nullptr);
  }

 private:
  bool Check(BOOL ok) {
    error_ = ok ? 0 : GetLastError();
    return ok != FALSE;
  }
  HINTERNET request_;
  DWORD error_ = 0;
};

struct State {
  explicit State(struct soap* s)
      : soap(s),
        policy(
            s, [this](const std::string& line) { WriteLog(line); }, &ErrorTextOf,
            [this] { return soap->logfile[SOAP_INDEX_TEST] != nullptr; }) {}
  ~State() {
    CloseRequest();
    if (client) InternetCloseHandle(client);
    if (log) std::fclose(log);
  }
  State(const State&) = delete;
  State& operator=(const State&) = delete;

  void WriteLog(const std::string& line) {
    const char* path = soap->logfile[SOAP_INDEX_TEST];
    if (!path) return;
    if (log && logPath != path) {
      std::fclose(log);
      log = nullptr;
    }
    if (!log) {
      log = std::fopen(path, "a");
      if (!log) return;
      logPath = path;
    }
    std::fputs(line.c_str(), log);
    std::fflush(log);
  }

  void CloseRequest() {
    policy.SetExchange(nullptr);
    request.reset();
    if (connection) InternetCloseHandle(connection);
    connection = nullptr;
  }

  struct soap* soap;
  HINTERNET client = nullptr;
  HINTERNET connection = nullptr;
  std::unique_ptr<ClientExchange> request;
  DWORD requestFlags = 0;  // extra request flags; none in this system
  int (*nextFinalReceive)(struct soap*) = nullptr;  // a hook installed before ours
  TransportPolicy policy;
  FILE* log = nullptr;
  std::string logPath;
};

State* StateOf(struct soap* s) { return s ? static_cast<State*>(soap_lookup_plugin(s, kPluginId)) : nullptr; }

// "scheme://host[:port][/path]"; the path keeps its leading slash.
struct Url {
  bool secure = false;
  std::string host, path = "/";
  int port = 0;
};

bool ParseUrl(const char* endpoint, Url& url) {
  if (!endpoint) return false;
  std::string text = endpoint;
  auto scheme = text.find("://");
  std::string rest = text;
  if (scheme != std::string::npos) {
    std::string name = text.substr(0, scheme);
    if (name == "https") {
      url.secure = true;
    } else if (name != "http") {
      return false;
    }
    rest = text.substr(scheme + 3);
  }
  auto slash = rest.find('/');
  std::string authority = rest.substr(0, slash);
  if (slash != std::string::npos) url.path = rest.substr(slash);
  auto at = authority.rfind('@');
  if (at != std::string::npos) authority.erase(0, at + 1);
  std::string portText;
  if (!authority.empty() && authority.front() == '[') {
    auto close = authority.find(']');
    if (close == std::string::npos) return false;
    url.host = authority.substr(1, close - 1);
    if (close + 1 < authority.size() && authority[close + 1] == ':') portText = authority.substr(close + 2);
  } else {
    auto colon = authority.rfind(':');
    url.host = authority.substr(0, colon);
    if (colon != std::string::npos) portText = authority.substr(colon + 1);
  }
  url.port = url.secure ? INTERNET_DEFAULT_HTTPS_PORT : INTERNET_DEFAULT_HTTP_PORT;
  if (!portText.empty()) {
    char* end = nullptr;
    long p = std::strtol(portText.c_str(), &end, 10);
    if (*end || p <= 0 || p > 65535) return false;
    url.port = static_cast<int>(p);
  }
  return !url.host.empty();
}

SOAP_SOCKET OnConnect(struct soap* s, const char* endpoint, const char*, int) {
  State* st = StateOf(s);
  if (!st) return SOAP_INVALID_SOCKET;
  st->CloseRequest();
  TransportPolicy& p = st->policy;
  p.Log("wininet %p: connect, endpoint = '%s'\n", static_cast<void*>(s), endpoint ? endpoint : "");
  Url url;
  if (!ParseUrl(endpoint, url)) {
    p.Log("wininet %p: connect, invalid endpoint\n", static_cast<void*>(s));
    s->error = SOAP_TCP_ERROR;
    return SOAP_INVALID_SOCKET;
  }
  st->connection = InternetConnectA(st->client, url.host.c_str(), static_cast<INTERNET_PORT>(url.port), nullptr,
                                    nullptr, INTERNET_SERVICE_HTTP, 0, 0);
  if (!st->connection) {
    DWORD e = GetLastError();
    p.Log("wininet %p: connect, error %d (%s) in InternetConnect\n", static_cast<void*>(s), static_cast<int>(e),
          p.Text(e).c_str());
    s->error = SOAP_TCP_ERROR;
    return SOAP_INVALID_SOCKET;
  }
  // The runtime gets the body alone (the client has read status and headers), so it must not
  // look for an HTTP header in it, whatever the body starts with.
  s->imode |= SOAP_ENC_PLAIN;
  DWORD flags = st->requestFlags | INTERNET_FLAG_NO_AUTO_REDIRECT | INTERNET_FLAG_NO_UI;
  if (url.secure) flags |= INTERNET_FLAG_SECURE;
  if (s->omode & SOAP_IO_KEEPALIVE) flags |= INTERNET_FLAG_KEEP_CONNECTION;
  HINTERNET request = HttpOpenRequestA(st->connection, "POST", url.path.c_str(), "HTTP/1.1", nullptr, nullptr, flags, 0);
  if (!request) {
    DWORD e = GetLastError();
    p.Log("wininet %p: connect, error %d (%s) in HttpOpenRequest\n", static_cast<void*>(s), static_cast<int>(e),
          p.Text(e).c_str());
    st->CloseRequest();
    s->error = SOAP_TCP_ERROR;
    return SOAP_INVALID_SOCKET;
  }
  st->request = std::make_unique<ClientExchange>(request);
  p.SetExchange(st->request.get());
  p.SetExpectedLength(0xFFFFFFFFu);
  p.SetDisconnect(false);
  p.Log("wininet %p: connected to '%s' port %d, request %p\n", static_cast<void*>(s), url.host.c_str(), url.port,
        request);
  return kRequestSocket;
}

int OnPostHeader(struct soap* s, const char* name, const char* value) {
  State* st = StateOf(s);
  // The request line and the end of the header block come without a value: the client writes them.
  if (!st || !name || !value) return SOAP_OK;
  // Proxy credentials go to the proxy only, from the client's options, never into the request,
  // which a tunnelled HTTPS request would carry to the service itself.
  if (strcasecmp(name, "Proxy-Authorization") == 0) return SOAP_OK;
  // The client offers the codings it decodes; the runtime would offer its own.
  if (strcasecmp(name, "Accept-Encoding") == 0) return SOAP_OK;
  if (strcasecmp(name, "Content-Length") == 0) {
    char* end = nullptr;
    unsigned long long n = std::strtoull(value, &end, 10);
    st->policy.SetExpectedLength(end != value && n < 0xFFFFFFFFull ? static_cast<DWORD>(n) : 0xFFFFFFFFu);
  }
  if (!st->request) return SOAP_OK;
  std::string line = std::string(name) + ": " + value;
  st->policy.Log("wininet %p: header '%s'\n", static_cast<void*>(s), line.c_str());
  if (!HttpAddRequestHeadersA(st->request->Handle(), line.c_str(), static_cast<DWORD>(line.size()),
                              HTTP_ADDREQ_FLAG_ADD | HTTP_ADDREQ_FLAG_REPLACE)) {
    DWORD e = GetLastError();
    st->policy.Log("wininet %p: error %d (%s) in HttpAddRequestHeaders\n", static_cast<void*>(s),
                   static_cast<int>(e), st->policy.Text(e).c_str());
  }
  return SOAP_OK;
}

int OnSend(struct soap* s, const char* data, size_t count) {
  State* st = StateOf(s);
  if (!st) return SOAP_EOF;
  SendResult r = st->policy.Send(data, count);
  s->errnum = static_cast<int>(st->policy.ErrorNumber());
  switch (r) {
    case SendResult::Ok: return SOAP_OK;
    case SendResult::OutOfMemory: return SOAP_EOM;
    case SendResult::HttpError: return SOAP_HTTP_ERROR;
    case SendResult::Eof: return SOAP_EOF;
  }
  return SOAP_EOF;
}

// The runtime's status for an answer that failed on its way in.
int StatusOf(ReceiveFailure failure) {
  switch (failure) {
    case ReceiveFailure::None: return SOAP_OK;
    case ReceiveFailure::Transport: return SOAP_EOF;
    case ReceiveFailure::TooLarge: return soapstatus::FromLegacySoapStatus(soapstatus::kLength);
  }
  return SOAP_EOF;
}

size_t OnReceive(struct soap* s, char* buffer, size_t capacity) {
  State* st = StateOf(s);
  if (!st) return 0;
  size_t n = st->policy.Receive(buffer, capacity);
  s->errnum = static_cast<int>(st->policy.ErrorNumber());
  if (n == 0 && st->policy.Failure() != ReceiveFailure::None) s->error = StatusOf(st->policy.Failure());
  return n;
}

// The runtime has read its envelope: the rest of the body must arrive whole as well.
int OnFinalReceive(struct soap* s) {
  State* st = StateOf(s);
  if (!st) return SOAP_OK;
  ReceiveFailure failure = st->policy.FinishReceive();
  s->errnum = static_cast<int>(st->policy.ErrorNumber());
  if (failure != ReceiveFailure::None) return StatusOf(failure);
  return st->nextFinalReceive ? st->nextFinalReceive(s) : SOAP_OK;
}

int OnDisconnect(struct soap* s) {
  State* st = StateOf(s);
  if (st) {
    if (st->request || st->connection) st->policy.Log("wininet %p: disconnect\n", static_cast<void*>(s));
    st->policy.SetDisconnect(true);
    st->CloseRequest();
  }
  s->socket = SOAP_INVALID_SOCKET;
  return SOAP_OK;
}

// A kept-alive request may be used again unless it was closed or asked to close, or its last
// answer failed or was left unread: then the runtime connects anew, and closing the request
// drops its connection with whatever the service still had to send on it.
int OnPoll(struct soap* s) {
  State* st = StateOf(s);
  return st && st->request && !st->policy.DisconnectRequested() && st->policy.AnswerComplete() ? SOAP_OK : SOAP_EOF;
}

int OnCloseSocket(struct soap*, SOAP_SOCKET) { return SOAP_OK; }
int OnShutdownSocket(struct soap*, SOAP_SOCKET, int) { return SOAP_OK; }

int RefuseCopy(struct soap*, struct soap_plugin*, struct soap_plugin*) { return SOAP_EOM; }

void Delete(struct soap* s, struct soap_plugin* plugin) {
  auto* st = static_cast<State*>(plugin->data);
  if (s->fpreparefinalrecv == OnFinalReceive) s->fpreparefinalrecv = st->nextFinalReceive;
  delete st;
  plugin->data = nullptr;
}

void ApplyTimeouts(State& st) {
  struct {
    int seconds;
    DWORD option;
    const char* name;
  } const timeouts[] = {{st.soap->connect_timeout, INTERNET_OPTION_CONNECT_TIMEOUT, "connect"},
                        {st.soap->recv_timeout, INTERNET_OPTION_RECEIVE_TIMEOUT, "receive"},
                        {st.soap->send_timeout, INTERNET_OPTION_SEND_TIMEOUT, "send"}};
  for (const auto& t : timeouts) {
    if (t.seconds <= 0) continue;  // the client's default stays
    DWORD ms = static_cast<DWORD>(t.seconds) * 1000u;
    if (!InternetSetOptionA(st.client, t.option, &ms, sizeof ms)) {
      DWORD e = GetLastError();
      st.policy.Log("wininet %p: failed to set %s timeout, error %d (%s)\n", static_cast<void*>(st.soap), t.name,
                    static_cast<int>(e), st.policy.Text(e).c_str());
    }
  }
}

// Sets a text option on the client handle; logs "failed to set proxy <what>" when refused.
bool SetTextOption(State& st, DWORD option, const char* text, const char* what) {
  if (InternetSetOptionA(st.client, option, const_cast<char*>(text), static_cast<DWORD>(std::strlen(text) + 1)))
    return true;
  DWORD e = GetLastError();
  st.policy.Log("wininet %p: failed to set proxy %s, error %d (%s)\n", static_cast<void*>(st.soap), what,
                static_cast<int>(e), st.policy.Text(e).c_str());
  return false;
}

void ApplyProxy(State& st) {
  struct soap* s = st.soap;
  if (!s->proxy_host || !*s->proxy_host) return;
  char text[260];
  std::snprintf(text, sizeof text, "%s:%d", s->proxy_host, s->proxy_port);
  INTERNET_PROXY_INFOA info{INTERNET_OPEN_TYPE_PROXY, text, nullptr};
  if (!InternetSetOptionA(st.client, INTERNET_OPTION_PROXY, &info, sizeof info)) {
    DWORD e = GetLastError();
    st.policy.Log("wininet %p: failed to set proxy server, error %d (%s)\n", static_cast<void*>(s),
                  static_cast<int>(e), st.policy.Text(e).c_str());
    return;
  }
  if (s->proxy_userid && !SetTextOption(st, INTERNET_OPTION_PROXY_USERNAME, s->proxy_userid, "username")) return;
  if (s->proxy_passwd) SetTextOption(st, INTERNET_OPTION_PROXY_PASSWORD, s->proxy_passwd, "password");
}

int Create(struct soap* s, struct soap_plugin* plugin, void*) {
  auto* st = new (std::nothrow) State(s);
  if (!st) return SOAP_EOM;
  st->client = InternetOpenA("gSOAP", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
  if (!st->client) {
    delete st;
    return SOAP_EOM;
  }
  plugin->id = kPluginId;
  plugin->data = st;
  plugin->fcopy = RefuseCopy;
  plugin->fdelete = Delete;
  st->policy.Log("wininet %p: init, client handle %p\n", static_cast<void*>(s), st->client);
  ApplyTimeouts(*st);
  ApplyProxy(*st);
  // Answers are read decoded: the runtime always receives the identity body.
  BOOL decode = TRUE;
  InternetSetOptionA(st->client, INTERNET_OPTION_HTTP_DECODING, &decode, sizeof decode);
  s->imode |= SOAP_ENC_PLAIN;
  st->nextFinalReceive = s->fpreparefinalrecv;
  s->fpreparefinalrecv = OnFinalReceive;
  s->fopen = OnConnect;
  s->fposthdr = OnPostHeader;
  s->fsend = OnSend;
  s->frecv = OnReceive;
  s->fclose = OnDisconnect;
  s->fpoll = OnPoll;
  s->fclosesocket = OnCloseSocket;
  s->fshutdownsocket = OnShutdownSocket;
  return SOAP_OK;
}

}  // namespace

int Register(struct soap* soap) {
  if (!soap) return soapstatus::kOutOfMemory;
  if (StateOf(soap)) return soapstatus::kPluginError;  // one transport per context
  return soap_register_plugin(soap, Create) == SOAP_OK ? soapstatus::kOk : soapstatus::kOutOfMemory;
}

void SetMaxAnswerSize(struct soap* soap, uint64_t bytes) {
  if (State* st = StateOf(soap)) st->policy.SetAnswerLimit(bytes);
}

uint64_t MaxAnswerSize(struct soap* soap) {
  State* st = StateOf(soap);
  return st ? st->policy.AnswerLimit() : 0;
}

ResolveSendErrorCallback GetResolveSendError(struct soap* soap) {
  State* st = StateOf(soap);
  return st ? st->policy.Callback() : nullptr;
}

void SetResolveSendError(struct soap* soap, ResolveSendErrorCallback callback) {
  if (State* st = StateOf(soap)) st->policy.SetCallback(callback);
}

void SetTestLog(struct soap* soap, const char* path) {
  if (soap) soap->logfile[SOAP_INDEX_TEST] = path;
}

HINTERNET ClientHandle(struct soap* soap) {
  State* st = StateOf(soap);
  return st ? st->client : nullptr;
}

TransportPolicy* Policy(struct soap* soap) {
  State* st = StateOf(soap);
  return st ? &st->policy : nullptr;
}

}  // namespace vorlen::transport
