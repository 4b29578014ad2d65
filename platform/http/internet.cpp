// Handles, options and the API entry points of the internet client.
#include <algorithm>
#include <cstring>
#include <cwchar>
#include <unordered_map>

#include "platform/base/utf8.h"
#include "platform/http/internal.h"

namespace platform::http {
namespace {

thread_local DWORD tLastError = 0;

std::mutex gMutex;
std::unordered_map<void*, std::shared_ptr<Handle>> gHandles;
ProxyConfig gProcessProxy;  // the process-wide proxy setting: direct until set
std::string gTrustedCertificates;

void GlobalInit() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

HINTERNET Register(std::shared_ptr<Handle> h) {
  std::lock_guard lock(gMutex);
  void* key = h.get();
  gHandles.emplace(key, std::move(h));
  return key;
}

std::shared_ptr<Handle> Find(HINTERNET h) {
  std::lock_guard lock(gMutex);
  auto it = gHandles.find(h);
  return it == gHandles.end() ? nullptr : it->second;
}

template <class T>
std::shared_ptr<T> FindAs(HINTERNET h, HandleKind kind) {
  auto found = Find(h);
  if (!found) {
    SetError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  if (found->kind != kind) {
    SetError(ERROR_INTERNET_INCORRECT_HANDLE_TYPE);
    return nullptr;
  }
  return std::static_pointer_cast<T>(found);
}

BOOL Fail(DWORD code) {
  SetError(code);
  return FALSE;
}

BOOL Succeed() {
  SetError(0);
  return TRUE;
}

std::string Str(LPCSTR s) { return s ? std::string(s) : std::string(); }

void LockShare(CURL*, curl_lock_data data, curl_lock_access, void* user) {
  static_cast<Session*>(user)->shareLocks[data].lock();
}
void UnlockShare(CURL*, curl_lock_data data, void* user) { static_cast<Session*>(user)->shareLocks[data].unlock(); }

// Copies a text value to a caller's buffer (length in bytes, NUL included on the way in).
template <class Ch>
BOOL CopyText(const std::basic_string<Ch>& text, LPVOID buffer, LPDWORD length) {
  DWORD need = static_cast<DWORD>((text.size() + 1) * sizeof(Ch));
  if (!length) return Fail(ERROR_INVALID_PARAMETER);
  if (!buffer || *length < need) {
    *length = need;
    return Fail(ERROR_INSUFFICIENT_BUFFER);
  }
  std::memcpy(buffer, text.c_str(), need);
  *length = need - sizeof(Ch);
  return Succeed();
}

template <class Ch>
std::basic_string<Ch> Convert(const std::string& s) {
  if constexpr (sizeof(Ch) == 1)
    return s;
  else
    return Widen(s);
}

template <class Ch>
std::string ToUtf8(const Ch* s) {
  if (!s) return {};
  if constexpr (sizeof(Ch) == 1)
    return std::string(s);
  else
    return Narrow(s);
}

ProxyConfig EffectiveProxy(const Handle* h) {
  for (; h; h = h->parent.get())
    if (h->options.proxy) return *h->options.proxy;
  return ProxyConfig{};
}

template <class Ch, class Info>
BOOL SetProxy(HINTERNET handle, LPVOID buffer, DWORD length) {
  if (!buffer || length < sizeof(Info)) return Fail(ERROR_INTERNET_BAD_OPTION_LENGTH);
  const auto* info = static_cast<const Info*>(buffer);
  ProxyConfig cfg;
  cfg.accessType = info->dwAccessType;
  if (cfg.accessType == INTERNET_OPEN_TYPE_PROXY) {
    cfg.proxy = ToUtf8<Ch>(info->lpszProxy);
    cfg.bypass = ToUtf8<Ch>(info->lpszProxyBypass);
  } else if (cfg.accessType != INTERNET_OPEN_TYPE_DIRECT && cfg.accessType != INTERNET_OPEN_TYPE_PRECONFIG) {
    return Fail(ERROR_INVALID_PARAMETER);
  }
  if (!handle) {
    std::lock_guard lock(gMutex);
    gProcessProxy = cfg.accessType == INTERNET_OPEN_TYPE_PRECONFIG ? ProxyConfig{} : cfg;
    return Succeed();
  }
  auto h = Find(handle);
  if (!h) return Fail(ERROR_INVALID_HANDLE);
  if (cfg.accessType == INTERNET_OPEN_TYPE_PRECONFIG) {
    std::lock_guard lock(gMutex);
    cfg = gProcessProxy;
  }
  h->options.proxy = cfg;
  return Succeed();
}

// The proxy block: the structure followed by its two texts.
template <class Ch, class Info>
BOOL QueryProxy(HINTERNET handle, LPVOID buffer, LPDWORD length) {
  if (!length) return Fail(ERROR_INVALID_PARAMETER);
  ProxyConfig cfg;
  if (!handle) {
    std::lock_guard lock(gMutex);
    cfg = gProcessProxy;
  } else {
    auto h = Find(handle);
    if (!h) return Fail(ERROR_INVALID_HANDLE);
    cfg = EffectiveProxy(h.get());
  }
  auto proxy = Convert<Ch>(cfg.proxy);
  auto bypass = Convert<Ch>(cfg.bypass);
  DWORD need = static_cast<DWORD>(sizeof(Info) + (proxy.size() + 1 + bypass.size() + 1) * sizeof(Ch));
  if (!buffer || *length < need) {
    *length = need;
    return Fail(ERROR_INSUFFICIENT_BUFFER);
  }
  auto* info = static_cast<Info*>(buffer);
  Ch* text = reinterpret_cast<Ch*>(static_cast<char*>(buffer) + sizeof(Info));
  std::copy(proxy.c_str(), proxy.c_str() + proxy.size() + 1, text);
  Ch* text2 = text + proxy.size() + 1;
  std::copy(bypass.c_str(), bypass.c_str() + bypass.size() + 1, text2);
  info->dwAccessType = cfg.accessType;
  info->lpszProxy = text;
  info->lpszProxyBypass = text2;
  *length = need;
  return Succeed();
}

template <class Ch, class Info>
BOOL SetOption(HINTERNET handle, DWORD option, LPVOID buffer, DWORD length) {
  GlobalInit();
  if (option == INTERNET_OPTION_PROXY) return SetProxy<Ch, Info>(handle, buffer, length);
  if (!handle) return Fail(ERROR_INTERNET_INCORRECT_HANDLE_TYPE);
  auto h = Find(handle);
  if (!h) return Fail(ERROR_INVALID_HANDLE);
  auto text = [&]() -> std::optional<std::string> {
    if (!buffer) return std::string();
    const Ch* s = static_cast<const Ch*>(buffer);
    // The length counts characters; a text may also simply end in NUL.
    size_t n = 0;
    while ((length == 0 || n < length) && s[n]) ++n;
    if constexpr (sizeof(Ch) == 1)
      return std::string(s, n);
    else
      return Narrow(s, n);
  };
  switch (option) {
    case INTERNET_OPTION_CONNECT_TIMEOUT:
    case INTERNET_OPTION_SEND_TIMEOUT:
    case INTERNET_OPTION_RECEIVE_TIMEOUT: {
      if (!buffer || length < sizeof(DWORD)) return Fail(ERROR_INTERNET_BAD_OPTION_LENGTH);
      DWORD v;
      std::memcpy(&v, buffer, sizeof v);
      auto& slot = option == INTERNET_OPTION_CONNECT_TIMEOUT ? h->options.connectTimeout
                   : option == INTERNET_OPTION_SEND_TIMEOUT  ? h->options.sendTimeout
                                                             : h->options.receiveTimeout;
      slot = v;
      return Succeed();
    }
    case INTERNET_OPTION_HTTP_DECODING: {
      if (!buffer || length < sizeof(BOOL)) return Fail(ERROR_INTERNET_BAD_OPTION_LENGTH);
      BOOL on;
      std::memcpy(&on, buffer, sizeof on);
      h->options.decoding = on != FALSE;
      return Succeed();
    }
    case INTERNET_OPTION_PROXY_USERNAME: h->options.proxyUser = text(); return Succeed();
    case INTERNET_OPTION_PROXY_PASSWORD: h->options.proxyPassword = text(); return Succeed();
    case INTERNET_OPTION_USERNAME: h->options.user = text(); return Succeed();
    case INTERNET_OPTION_PASSWORD: h->options.password = text(); return Succeed();
    case INTERNET_OPTION_USER_AGENT: h->options.agent = text(); return Succeed();
    default: return Fail(ERROR_INTERNET_INVALID_OPTION);
  }
}

template <class Ch, class Info>
BOOL QueryOption(HINTERNET handle, DWORD option, LPVOID buffer, LPDWORD length) {
  if (option == INTERNET_OPTION_PROXY) return QueryProxy<Ch, Info>(handle, buffer, length);
  if (!length) return Fail(ERROR_INVALID_PARAMETER);
  if (!handle) return Fail(ERROR_INTERNET_INCORRECT_HANDLE_TYPE);
  auto h = Find(handle);
  if (!h) return Fail(ERROR_INVALID_HANDLE);
  EffectiveOptions eff = Resolve(*h);
  auto number = [&](DWORD v) -> BOOL {
    if (!buffer || *length < sizeof(DWORD)) {
      *length = sizeof(DWORD);
      return Fail(ERROR_INSUFFICIENT_BUFFER);
    }
    std::memcpy(buffer, &v, sizeof v);
    *length = sizeof(DWORD);
    return Succeed();
  };
  switch (option) {
    case INTERNET_OPTION_CONNECT_TIMEOUT: return number(eff.connectTimeoutMs);
    case INTERNET_OPTION_SEND_TIMEOUT: return number(eff.sendTimeoutMs);
    case INTERNET_OPTION_RECEIVE_TIMEOUT: return number(eff.receiveTimeoutMs);
    case INTERNET_OPTION_HANDLE_TYPE: return number(static_cast<DWORD>(h->kind));
    case INTERNET_OPTION_HTTP_DECODING: return number(eff.decoding ? TRUE : FALSE);
    case INTERNET_OPTION_PROXY_USERNAME: return CopyText(Convert<Ch>(eff.proxyUser.value_or("")), buffer, length);
    case INTERNET_OPTION_PROXY_PASSWORD:
      return CopyText(Convert<Ch>(eff.proxyPassword.value_or("")), buffer, length);
    case INTERNET_OPTION_USERNAME: return CopyText(Convert<Ch>(eff.user.value_or("")), buffer, length);
    case INTERNET_OPTION_PASSWORD: return CopyText(Convert<Ch>(eff.password.value_or("")), buffer, length);
    case INTERNET_OPTION_USER_AGENT: return CopyText(Convert<Ch>(eff.agent), buffer, length);
    default: return Fail(ERROR_INTERNET_INVALID_OPTION);
  }
}

template <class Ch>
BOOL QueryInfo(HINTERNET handle, DWORD level, LPVOID buffer, LPDWORD length, LPDWORD index) {
  auto r = FindAs<Request>(handle, HandleKind::Request);
  if (!r) return FALSE;
  if (!length) return Fail(ERROR_INVALID_PARAMETER);
  if (!r->HasResponse()) return Fail(ERROR_INTERNET_INCORRECT_HANDLE_STATE);
  if (index && *index > 0) return Fail(ERROR_HTTP_HEADER_NOT_FOUND);
  const DWORD modifiers = level & HTTP_QUERY_MODIFIER_FLAGS_MASK;
  std::optional<std::string> value;
  switch (level & HTTP_QUERY_HEADER_MASK) {
    case HTTP_QUERY_STATUS_CODE: value = std::to_string(r->Status()); break;
    case HTTP_QUERY_STATUS_TEXT: {
      const std::string& raw = r->RawHeaders();
      auto eol = raw.find("\r\n");
      auto sp1 = raw.find(' ');
      auto sp2 = sp1 == std::string::npos ? sp1 : raw.find(' ', sp1 + 1);
      value = sp2 != std::string::npos && sp2 < eol ? raw.substr(sp2 + 1, eol - sp2 - 1) : std::string();
      break;
    }
    case HTTP_QUERY_RAW_HEADERS_CRLF: value = r->RawHeaders(); break;
    case HTTP_QUERY_RAW_HEADERS: {
      std::string raw = r->RawHeaders();
      std::string out;
      size_t i = 0;
      while (i < raw.size()) {
        size_t e = raw.find("\r\n", i);
        if (e == std::string::npos) e = raw.size();
        if (e > i) out.append(raw, i, e - i);
        out.push_back('\0');
        i = e + 2;
      }
      value = out;
      break;
    }
    case HTTP_QUERY_CONTENT_LENGTH: value = r->ResponseHeader("Content-Length"); break;
    case HTTP_QUERY_CONTENT_TYPE: value = r->ResponseHeader("Content-Type"); break;
    case HTTP_QUERY_CUSTOM: {
      if (!buffer) return Fail(ERROR_INVALID_PARAMETER);
      value = r->ResponseHeader(ToUtf8<Ch>(static_cast<const Ch*>(buffer)));
      break;
    }
    default: return Fail(ERROR_HTTP_INVALID_QUERY_REQUEST);
  }
  if (!value) return Fail(ERROR_HTTP_HEADER_NOT_FOUND);
  if (modifiers & HTTP_QUERY_FLAG_NUMBER) {
    char* end = nullptr;
    unsigned long n = std::strtoul(value->c_str(), &end, 10);
    if (value->empty() || (end && *end)) return Fail(ERROR_HTTP_INVALID_HEADER);
    if (!buffer || *length < sizeof(DWORD)) {
      *length = sizeof(DWORD);
      return Fail(ERROR_INSUFFICIENT_BUFFER);
    }
    DWORD v = static_cast<DWORD>(n);
    std::memcpy(buffer, &v, sizeof v);
    *length = sizeof(DWORD);
    return Succeed();
  }
  return CopyText(Convert<Ch>(*value), buffer, length);
}

}  // namespace

void SetError(DWORD code) { tLastError = code; }

std::string TrustedCertificates() {
  std::lock_guard lock(gMutex);
  return gTrustedCertificates;
}

Session::Session() : Handle(HandleKind::Session, nullptr) {
  share = curl_share_init();
  if (share) {
    curl_share_setopt(share, CURLSHOPT_LOCKFUNC, &LockShare);
    curl_share_setopt(share, CURLSHOPT_UNLOCKFUNC, &UnlockShare);
    curl_share_setopt(share, CURLSHOPT_USERDATA, this);
    curl_share_setopt(share, CURLSHOPT_SHARE, CURL_LOCK_DATA_CONNECT);
    curl_share_setopt(share, CURLSHOPT_SHARE, CURL_LOCK_DATA_SSL_SESSION);
    curl_share_setopt(share, CURLSHOPT_SHARE, CURL_LOCK_DATA_DNS);
  }
}

Session::~Session() {
  for (Transfer& t : transfers_) {
    curl_easy_cleanup(t.easy);
    curl_multi_cleanup(t.multi);
  }
  if (share) curl_share_cleanup(share);
}

Session::Transfer Session::TakeTransfer() {
  {
    std::lock_guard lock(transfersMutex_);
    if (!transfers_.empty()) {
      Transfer t = transfers_.back();
      transfers_.pop_back();
      return t;
    }
  }
  Transfer t{curl_multi_init(), curl_easy_init()};
  if (!t.multi || !t.easy) {
    if (t.easy) curl_easy_cleanup(t.easy);
    if (t.multi) curl_multi_cleanup(t.multi);
    return {};
  }
  return t;
}

void Session::GiveBack(Transfer t) {
  constexpr size_t kKept = 4;
  curl_easy_reset(t.easy);
  std::lock_guard lock(transfersMutex_);
  if (transfers_.size() < kKept) {
    transfers_.push_back(t);
    return;
  }
  curl_easy_cleanup(t.easy);
  curl_multi_cleanup(t.multi);
}

EffectiveOptions Resolve(const Handle& start) {
  EffectiveOptions e;
  bool ct = false, st = false, rt = false, dc = false;
  for (const Handle* h = &start; h; h = h->parent.get()) {
    const OptionSet& o = h->options;
    if (!ct && o.connectTimeout) e.connectTimeoutMs = *o.connectTimeout, ct = true;
    if (!st && o.sendTimeout) e.sendTimeoutMs = *o.sendTimeout, st = true;
    if (!rt && o.receiveTimeout) e.receiveTimeoutMs = *o.receiveTimeout, rt = true;
    if (!e.proxyUser && o.proxyUser) e.proxyUser = o.proxyUser;
    if (!e.proxyPassword && o.proxyPassword) e.proxyPassword = o.proxyPassword;
    if (!e.user && o.user) e.user = o.user;
    if (!e.password && o.password) e.password = o.password;
    if (e.agent.empty() && o.agent) e.agent = *o.agent;
    if (!dc && o.decoding) e.decoding = *o.decoding, dc = true;
  }
  e.proxy = EffectiveProxy(&start);
  return e;
}

std::string Narrow(LPCWSTR text) { return text ? Narrow(text, std::wcslen(text)) : std::string(); }

std::string Narrow(LPCWSTR text, size_t length) {
  return platform::utf8::FromWide(std::wstring_view(text, length));
}

std::wstring Widen(const std::string& s) { return platform::utf8::ToWide(s); }

}  // namespace platform::http

using namespace platform::http;

DWORD GetLastError() { return tLastError; }
void SetLastError(DWORD error) { tLastError = error; }

void InternetSetTrustedCertificates(LPCSTR pemFile) {
  std::lock_guard lock(gMutex);
  gTrustedCertificates = pemFile ? pemFile : "";
}

HINTERNET InternetOpenA(LPCSTR agent, DWORD accessType, LPCSTR proxy, LPCSTR proxyBypass, DWORD flags) {
  GlobalInit();
  auto s = std::make_shared<Session>();
  if (!s->share) {
    SetError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  ProxyConfig cfg;
  switch (accessType) {
    case INTERNET_OPEN_TYPE_PRECONFIG: {
      std::lock_guard lock(gMutex);
      cfg = gProcessProxy;
      break;
    }
    case INTERNET_OPEN_TYPE_DIRECT: break;
    case INTERNET_OPEN_TYPE_PROXY:
      if (!proxy || !*proxy) {
        SetError(ERROR_INVALID_PARAMETER);
        return nullptr;
      }
      cfg.accessType = INTERNET_OPEN_TYPE_PROXY;
      cfg.proxy = proxy;
      cfg.bypass = Str(proxyBypass);
      break;
    default: SetError(ERROR_INVALID_PARAMETER); return nullptr;
  }
  s->options.proxy = cfg;
  s->options.agent = Str(agent);
  SetError(0);
  return Register(std::move(s));
}

HINTERNET InternetOpenW(LPCWSTR agent, DWORD accessType, LPCWSTR proxy, LPCWSTR proxyBypass, DWORD flags) {
  std::string a = Narrow(agent), p = Narrow(proxy), b = Narrow(proxyBypass);
  return InternetOpenA(agent ? a.c_str() : nullptr, accessType, proxy ? p.c_str() : nullptr,
                       proxyBypass ? b.c_str() : nullptr, flags);
}

HINTERNET InternetConnectA(HINTERNET session, LPCSTR serverName, INTERNET_PORT port, LPCSTR userName,
                           LPCSTR password, DWORD service, DWORD flags, DWORD_PTR context) {
  auto s = FindAs<Session>(session, HandleKind::Session);
  if (!s) return nullptr;
  if (!serverName || !*serverName) {
    SetError(ERROR_INTERNET_INVALID_URL);
    return nullptr;
  }
  if (service != INTERNET_SERVICE_HTTP) {
    SetError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  auto c = std::make_shared<Connection>(HandleKind::Connection, s);
  c->host = serverName;
  c->port = port;
  if (userName) c->options.user = userName;
  if (password) c->options.password = password;
  SetError(0);
  return Register(std::move(c));
}

HINTERNET InternetConnectW(HINTERNET session, LPCWSTR serverName, INTERNET_PORT port, LPCWSTR userName,
                           LPCWSTR password, DWORD service, DWORD flags, DWORD_PTR context) {
  std::string h = Narrow(serverName), u = Narrow(userName), p = Narrow(password);
  return InternetConnectA(session, serverName ? h.c_str() : nullptr, port, userName ? u.c_str() : nullptr,
                          password ? p.c_str() : nullptr, service, flags, context);
}

HINTERNET HttpOpenRequestA(HINTERNET connection, LPCSTR verb, LPCSTR objectName, LPCSTR version, LPCSTR referrer,
                           LPCSTR* acceptTypes, DWORD flags, DWORD_PTR context) {
  auto c = FindAs<Connection>(connection, HandleKind::Connection);
  if (!c) return nullptr;
  auto r = std::make_shared<Request>(c, Str(verb), Str(objectName), flags);
  if (referrer && *referrer) r->AddHeaders(std::string("Referer: ") + referrer, HTTP_ADDREQ_FLAG_ADD);
  if (acceptTypes) {
    std::string accept;
    for (LPCSTR* t = acceptTypes; *t; ++t) accept += (accept.empty() ? "" : ", ") + std::string(*t);
    if (!accept.empty()) r->AddHeaders("Accept: " + accept, HTTP_ADDREQ_FLAG_ADD);
  }
  SetError(0);
  return Register(std::move(r));
}

HINTERNET HttpOpenRequestW(HINTERNET connection, LPCWSTR verb, LPCWSTR objectName, LPCWSTR version,
                           LPCWSTR referrer, LPCWSTR* acceptTypes, DWORD flags, DWORD_PTR context) {
  std::string v = Narrow(verb), o = Narrow(objectName), ver = Narrow(version), ref = Narrow(referrer);
  std::vector<std::string> types;
  std::vector<LPCSTR> typePtrs;
  if (acceptTypes) {
    for (LPCWSTR* t = acceptTypes; *t; ++t) types.push_back(Narrow(*t));
    for (auto& t : types) typePtrs.push_back(t.c_str());
    typePtrs.push_back(nullptr);
  }
  return HttpOpenRequestA(connection, verb ? v.c_str() : nullptr, objectName ? o.c_str() : nullptr,
                          version ? ver.c_str() : nullptr, referrer ? ref.c_str() : nullptr,
                          acceptTypes ? typePtrs.data() : nullptr, flags, context);
}

BOOL HttpAddRequestHeadersA(HINTERNET request, LPCSTR headers, DWORD length, DWORD modifiers) {
  auto r = FindAs<Request>(request, HandleKind::Request);
  if (!r) return FALSE;
  if (!headers) return Fail(ERROR_INVALID_PARAMETER);
  std::string text = length == static_cast<DWORD>(-1) ? std::string(headers) : std::string(headers, length);
  if (!r->AddHeaders(text, modifiers)) return Fail(ERROR_HTTP_INVALID_HEADER);
  return Succeed();
}

BOOL HttpAddRequestHeadersW(HINTERNET request, LPCWSTR headers, DWORD length, DWORD modifiers) {
  if (!headers) return HttpAddRequestHeadersA(request, nullptr, 0, modifiers);
  std::string text = length == static_cast<DWORD>(-1) ? Narrow(headers) : Narrow(headers, length);
  return HttpAddRequestHeadersA(request, text.c_str(), static_cast<DWORD>(text.size()), modifiers);
}

BOOL HttpSendRequestA(HINTERNET request, LPCSTR headers, DWORD headersLength, LPVOID optional,
                      DWORD optionalLength) {
  auto r = FindAs<Request>(request, HandleKind::Request);
  if (!r) return FALSE;
  std::string extra;
  if (headers) extra = headersLength == static_cast<DWORD>(-1) ? std::string(headers) : std::string(headers, headersLength);
  std::string body;
  if (optional && optionalLength) body.assign(static_cast<const char*>(optional), optionalLength);
  r->streaming = false;
  if (DWORD err = r->Send(extra, std::move(body))) return Fail(err);
  return Succeed();
}

BOOL HttpSendRequestW(HINTERNET request, LPCWSTR headers, DWORD headersLength, LPVOID optional,
                      DWORD optionalLength) {
  std::string extra;
  if (headers) extra = headersLength == static_cast<DWORD>(-1) ? Narrow(headers) : Narrow(headers, headersLength);
  return HttpSendRequestA(request, headers ? extra.c_str() : nullptr, static_cast<DWORD>(extra.size()), optional,
                          optionalLength);
}

BOOL HttpSendRequestExA(HINTERNET request, LPINTERNET_BUFFERSA buffersIn, LPINTERNET_BUFFERSA buffersOut,
                        DWORD flags, DWORD_PTR context) {
  auto r = FindAs<Request>(request, HandleKind::Request);
  if (!r) return FALSE;
  r->streaming = true;
  r->streamedBody.clear();
  if (buffersIn) {
    if (buffersIn->lpcszHeader) {
      std::string h(buffersIn->lpcszHeader, buffersIn->dwHeadersLength == static_cast<DWORD>(-1)
                                                 ? std::strlen(buffersIn->lpcszHeader)
                                                 : buffersIn->dwHeadersLength);
      r->AddHeaders(h, HTTP_ADDREQ_FLAG_ADD);
    }
    if (buffersIn->lpvBuffer && buffersIn->dwBufferLength)
      r->streamedBody.assign(static_cast<const char*>(buffersIn->lpvBuffer), buffersIn->dwBufferLength);
  }
  return Succeed();
}

BOOL InternetWriteFile(HINTERNET request, LPCVOID buffer, DWORD toWrite, LPDWORD written) {
  auto r = FindAs<Request>(request, HandleKind::Request);
  if (!r) return FALSE;
  if (!written || (!buffer && toWrite)) return Fail(ERROR_INVALID_PARAMETER);
  if (!r->streaming) return Fail(ERROR_INTERNET_INCORRECT_HANDLE_STATE);
  try {
    r->streamedBody.append(static_cast<const char*>(buffer), toWrite);
  } catch (const std::bad_alloc&) {
    return Fail(ERROR_NOT_ENOUGH_MEMORY);
  }
  *written = toWrite;
  return Succeed();
}

BOOL HttpEndRequestA(HINTERNET request, LPINTERNET_BUFFERSA buffersOut, DWORD flags, DWORD_PTR context) {
  auto r = FindAs<Request>(request, HandleKind::Request);
  if (!r) return FALSE;
  if (!r->streaming) return Fail(ERROR_INTERNET_INCORRECT_HANDLE_STATE);
  r->streaming = false;
  if (DWORD err = r->Send(std::string(), std::move(r->streamedBody))) return Fail(err);
  return Succeed();
}

BOOL InternetReadFile(HINTERNET request, LPVOID buffer, DWORD toRead, LPDWORD read) {
  auto r = FindAs<Request>(request, HandleKind::Request);
  if (!r) return FALSE;
  if (!read || (!buffer && toRead)) return Fail(ERROR_INVALID_PARAMETER);
  if (DWORD err = r->Read(buffer, toRead, read)) return Fail(err);
  return Succeed();
}

BOOL HttpQueryInfoA(HINTERNET request, DWORD infoLevel, LPVOID buffer, LPDWORD bufferLength, LPDWORD index) {
  return QueryInfo<char>(request, infoLevel, buffer, bufferLength, index);
}

BOOL HttpQueryInfoW(HINTERNET request, DWORD infoLevel, LPVOID buffer, LPDWORD bufferLength, LPDWORD index) {
  return QueryInfo<wchar_t>(request, infoLevel, buffer, bufferLength, index);
}

BOOL InternetSetOptionA(HINTERNET handle, DWORD option, LPVOID buffer, DWORD bufferLength) {
  return SetOption<char, INTERNET_PROXY_INFOA>(handle, option, buffer, bufferLength);
}

BOOL InternetSetOptionW(HINTERNET handle, DWORD option, LPVOID buffer, DWORD bufferLength) {
  return SetOption<wchar_t, INTERNET_PROXY_INFOW>(handle, option, buffer, bufferLength);
}

BOOL InternetQueryOptionA(HINTERNET handle, DWORD option, LPVOID buffer, LPDWORD bufferLength) {
  return QueryOption<char, INTERNET_PROXY_INFOA>(handle, option, buffer, bufferLength);
}

BOOL InternetQueryOptionW(HINTERNET handle, DWORD option, LPVOID buffer, LPDWORD bufferLength) {
  return QueryOption<wchar_t, INTERNET_PROXY_INFOW>(handle, option, buffer, bufferLength);
}

BOOL InternetCloseHandle(HINTERNET handle) {
  std::shared_ptr<Handle> h;
  {
    std::lock_guard lock(gMutex);
    auto it = gHandles.find(handle);
    if (it == gHandles.end()) return Fail(ERROR_INVALID_HANDLE);
    h = std::move(it->second);
    gHandles.erase(it);
  }
  h.reset();  // the object goes when the last child that holds it goes
  return Succeed();
}

DWORD InternetErrorDlg(HWND parent, HINTERNET request, DWORD error, DWORD flags, LPVOID* data) {
  return ERROR_CANCELLED;
}
