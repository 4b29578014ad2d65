// One HTTP exchange of a request handle, driven step by step through a libcurl multi handle so
// that the answer's headers are available before its body is read, and the body is pulled by the
// reader instead of being held whole in memory.
#include <algorithm>
#include <cctype>
#include <cstring>

#include <openssl/x509_vfy.h>
#include <zlib.h>

#include "platform/http/internal.h"

namespace platform::http {
namespace {

// Bytes of body kept ahead of the reader before the transfer is paused.
constexpr size_t kMaxPending = 1u << 20;

bool IEquals(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r' || s.back() == '\n'))
    s.remove_suffix(1);
  return s;
}

std::string HeaderName(std::string_view line) {
  auto colon = line.find(':');
  return std::string(Trim(line.substr(0, colon == std::string_view::npos ? line.size() : colon)));
}

// Calls f(item) for each non-empty item of a list separated by any of `separators`.
template <class F>
void ForEachItem(const std::string& list, const char* separators, F f) {
  size_t i = 0;
  while (i < list.size()) {
    size_t end = list.find_first_of(separators, i);
    if (end == std::string::npos) end = list.size();
    std::string item = list.substr(i, end - i);
    i = end + 1;
    if (!item.empty()) f(std::move(item));
  }
}

// Picks the proxy of a list for the scheme: "host:port", or entries "scheme=host:port".
std::string ProxyFor(const std::string& list, bool secure) {
  std::string plain, http, https;
  ForEachItem(list, "; ", [&](std::string item) {
    auto eq = item.find('=');
    if (eq == std::string::npos) {
      if (plain.empty()) plain = item;
    } else if (IEquals(item.substr(0, eq), "https")) {
      https = item.substr(eq + 1);
    } else if (IEquals(item.substr(0, eq), "http")) {
      http = item.substr(eq + 1);
    }
  });
  if (secure && !https.empty()) return https;
  if (!secure && !http.empty()) return http;
  return plain;
}

std::string NoProxyList(const std::string& bypass) {
  std::string out;
  ForEachItem(bypass, "; ,", [&](std::string item) {
    if (item == "<local>") item = "localhost,127.0.0.1,::1";
    if (!out.empty()) out += ',';
    out += item;
  });
  return out;
}

}  // namespace

Request::Request(std::shared_ptr<Handle> connection, std::string verb, std::string path, DWORD flags)
    : Handle(HandleKind::Request, std::move(connection)), verb_(std::move(verb)), path_(std::move(path)),
      flags_(flags) {
  if (verb_.empty()) verb_ = "GET";
  if (path_.empty() || path_[0] != '/') path_.insert(path_.begin(), '/');
}

Request::~Request() { Reset(); }

void Request::Reset() {
  if (multi_ && easy_) {
    curl_multi_remove_handle(multi_, easy_);
    auto* connection = static_cast<Connection*>(parent.get());
    static_cast<Session*>(connection->parent.get())->GiveBack({multi_, easy_});
  }
  curl_slist_free_all(headerList_);
  multi_ = nullptr;
  easy_ = nullptr;
  headerList_ = nullptr;
  pending_.clear();
  pendingPos_ = 0;
  paused_ = false;
  block_.clear();
  rawHeaders_.clear();
  status_ = 0;
  headersDone_ = false;
  finished_ = false;
  result_ = CURLE_OK;
  timeoutError_ = 0;
  uploadDone_ = false;
  errorText_[0] = 0;
  coding_ = Coding::Identity;
  inflater_.reset();
  codedIn_ = 0;
  streamEnded_ = false;
  decodeError_ = 0;
}

void Request::InflaterDeleter::operator()(z_stream_s* z) const {
  inflateEnd(z);
  delete z;
}

bool AddHeaderLines(std::vector<std::string>& headers_, const std::string& text, DWORD modifiers) {
  size_t i = 0;
  bool any = false;
  while (i < text.size()) {
    size_t end = text.find_first_of("\r\n", i);
    if (end == std::string::npos) end = text.size();
    std::string_view line = Trim(std::string_view(text).substr(i, end - i));
    i = end + 1;
    if (line.empty()) continue;
    if (line.find(':') == std::string_view::npos) return false;
    std::string name = HeaderName(line);
    if (name.empty()) return false;
    auto same = [&](const std::string& h) { return IEquals(HeaderName(h), name); };
    bool exists = std::any_of(headers_.begin(), headers_.end(), same);
    if ((modifiers & HTTP_ADDREQ_FLAG_ADD_IF_NEW) && exists) continue;
    if (modifiers & HTTP_ADDREQ_FLAG_REPLACE) {
      headers_.erase(std::remove_if(headers_.begin(), headers_.end(), same), headers_.end());
      if (Trim(line.substr(line.find(':') + 1)).empty()) continue;  // "Name:" only removes
    }
    headers_.emplace_back(line);
    any = true;
  }
  return any || !text.empty();
}

bool Request::AddHeaders(const std::string& text, DWORD modifiers) { return AddHeaderLines(headers_, text, modifiers); }

std::optional<std::string> Request::ResponseHeader(const std::string& name) const {
  size_t i = rawHeaders_.find("\r\n");  // skip the status line
  while (i != std::string::npos && i + 2 < rawHeaders_.size()) {
    size_t start = i + 2, end = rawHeaders_.find("\r\n", start);
    std::string_view line(rawHeaders_.data() + start, (end == std::string::npos ? rawHeaders_.size() : end) - start);
    if (!line.empty() && IEquals(HeaderName(line), name))
      return std::string(Trim(line.substr(line.find(':') + 1)));
    i = end;
  }
  return std::nullopt;
}

size_t Request::OnHeader(char* data, size_t size, size_t count, void* self) {
  auto* r = static_cast<Request*>(self);
  std::string_view line(data, size * count);
  r->lastActivity_ = std::chrono::steady_clock::now();
  if (line.rfind("HTTP/", 0) == 0) r->block_.clear();
  r->block_.append(line);
  if (line == "\r\n" || line == "\n") {
    // End of one header block: interim (1xx) blocks are dropped, the final one is kept.
    unsigned code = 0;
    auto sp = r->block_.find(' ');
    if (sp != std::string::npos) code = static_cast<unsigned>(std::strtoul(r->block_.c_str() + sp + 1, nullptr, 10));
    if (code >= 200) {
      r->rawHeaders_ = r->block_;
      r->status_ = code;
      r->headersDone_ = true;
    }
    r->block_.clear();
  }
  return size * count;
}

size_t Request::OnBody(char* data, size_t size, size_t count, void* self) {
  auto* r = static_cast<Request*>(self);
  if (r->pending_.size() - r->pendingPos_ >= kMaxPending) {
    r->paused_ = true;
    return CURL_WRITEFUNC_PAUSE;
  }
  if (r->pendingPos_ > 0 && r->pendingPos_ == r->pending_.size()) {
    r->pending_.clear();
    r->pendingPos_ = 0;
  }
  r->pending_.append(data, size * count);
  r->lastActivity_ = std::chrono::steady_clock::now();
  return size * count;
}

int Request::OnProgress(void* self, curl_off_t, curl_off_t, curl_off_t ultotal, curl_off_t ulnow) {
  auto* r = static_cast<Request*>(self);
  static_cast<void>(ultotal);
  if (!r->uploadDone_ && ulnow >= static_cast<curl_off_t>(r->body_.size())) {
    curl_off_t pretransfer = 0;
    curl_easy_getinfo(r->easy_, CURLINFO_PRETRANSFER_TIME_T, &pretransfer);
    if (pretransfer > 0 && ulnow > 0) {
      r->uploadDone_ = true;
      r->lastActivity_ = std::chrono::steady_clock::now();
    }
  }
  return 0;
}

DWORD Request::Configure(const std::string& extraHeaders) {
  auto* connection = static_cast<Connection*>(parent.get());
  auto* session = static_cast<Session*>(connection->parent.get());
  effective_ = Resolve(*this);
  Session::Transfer transfer = session->TakeTransfer();
  if (!transfer.easy) return ERROR_NOT_ENOUGH_MEMORY;
  multi_ = transfer.multi;
  easy_ = transfer.easy;

  const bool secure = (flags_ & INTERNET_FLAG_SECURE) != 0;
  std::string host = connection->host;
  if (host.find(':') != std::string::npos && host.front() != '[') host = "[" + host + "]";
  INTERNET_PORT port = connection->port;
  if (port == INTERNET_INVALID_PORT_NUMBER) port = secure ? INTERNET_DEFAULT_HTTPS_PORT : INTERNET_DEFAULT_HTTP_PORT;
  std::string url = (secure ? "https://" : "http://") + host + ":" + std::to_string(port) + path_;

  CURL* e = easy_;
  curl_easy_setopt(e, CURLOPT_URL, url.c_str());
  curl_easy_setopt(e, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(e, CURLOPT_FOLLOWLOCATION, 0L);
  curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(e, CURLOPT_ERRORBUFFER, errorText_);
  curl_easy_setopt(e, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
  curl_easy_setopt(e, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(effective_.connectTimeoutMs));
  curl_easy_setopt(e, CURLOPT_SHARE, session->share);
  curl_easy_setopt(e, CURLOPT_HEADERFUNCTION, &Request::OnHeader);
  curl_easy_setopt(e, CURLOPT_HEADERDATA, this);
  curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, &Request::OnBody);
  curl_easy_setopt(e, CURLOPT_WRITEDATA, this);
  curl_easy_setopt(e, CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(e, CURLOPT_XFERINFOFUNCTION, &Request::OnProgress);
  curl_easy_setopt(e, CURLOPT_XFERINFODATA, this);
  curl_easy_setopt(e, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
  // The body always comes as it was sent; decoding is this layer's (Decode), so that a coded
  // stream cut short is an error and a small coded answer never becomes a huge buffer.
  curl_easy_setopt(e, CURLOPT_HTTP_CONTENT_DECODING, 0L);
  if (!effective_.agent.empty()) curl_easy_setopt(e, CURLOPT_USERAGENT, effective_.agent.c_str());
  // The trusted file alone is what certificates are checked against (no folder of authorities
  // beside it), and the client then keeps the authorities it read for the next connections.
  if (auto ca = TrustedCertificates(); !ca.empty()) {
    curl_easy_setopt(e, CURLOPT_CAINFO, ca.c_str());
    curl_easy_setopt(e, CURLOPT_CAPATH, nullptr);
  }
  curl_easy_setopt(e, CURLOPT_SSL_VERIFYPEER, 1L);
  curl_easy_setopt(e, CURLOPT_SSL_VERIFYHOST, 2L);

  // The proxy is always set explicitly, so nothing is taken from the environment.
  std::string proxy;
  if (effective_.proxy.accessType == INTERNET_OPEN_TYPE_PROXY) proxy = ProxyFor(effective_.proxy.proxy, secure);
  if (!proxy.empty() && proxy.find("://") == std::string::npos) proxy = "http://" + proxy;
  curl_easy_setopt(e, CURLOPT_PROXY, proxy.c_str());
  std::string noProxy = NoProxyList(effective_.proxy.bypass);
  curl_easy_setopt(e, CURLOPT_NOPROXY, noProxy.c_str());
  if (!proxy.empty() && (effective_.proxyUser || effective_.proxyPassword)) {
    curl_easy_setopt(e, CURLOPT_PROXYAUTH, static_cast<long>(CURLAUTH_BASIC));
    curl_easy_setopt(e, CURLOPT_PROXYUSERNAME, effective_.proxyUser.value_or("").c_str());
    curl_easy_setopt(e, CURLOPT_PROXYPASSWORD, effective_.proxyPassword.value_or("").c_str());
  }
  if (effective_.user || effective_.password) {
    curl_easy_setopt(e, CURLOPT_HTTPAUTH, static_cast<long>(CURLAUTH_BASIC));
    curl_easy_setopt(e, CURLOPT_USERNAME, effective_.user.value_or("").c_str());
    curl_easy_setopt(e, CURLOPT_PASSWORD, effective_.password.value_or("").c_str());
  }

  if (IEquals(verb_, "GET")) {
    curl_easy_setopt(e, CURLOPT_HTTPGET, 1L);
  } else if (IEquals(verb_, "HEAD")) {
    curl_easy_setopt(e, CURLOPT_NOBODY, 1L);
  } else {
    curl_easy_setopt(e, CURLOPT_POST, 1L);
    curl_easy_setopt(e, CURLOPT_POSTFIELDS, body_.data());
    curl_easy_setopt(e, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body_.size()));
    if (!IEquals(verb_, "POST")) curl_easy_setopt(e, CURLOPT_CUSTOMREQUEST, verb_.c_str());
  }

  std::vector<std::string> lines = headers_;
  if (!extraHeaders.empty()) AddHeaderLines(lines, extraHeaders, HTTP_ADDREQ_FLAG_ADD);
  // With decoding, exactly the codings Decode reads are offered.
  if (effective_.decoding) AddHeaderLines(lines, "Accept-Encoding: gzip, deflate", HTTP_ADDREQ_FLAG_REPLACE);
  for (const auto& l : lines) {
    // The length of the body actually sent is announced, whatever the caller wrote.
    if (IEquals(HeaderName(l), "Content-Length")) continue;
    headerList_ = curl_slist_append(headerList_, l.c_str());
  }
  headerList_ = curl_slist_append(headerList_, "Expect:");
  if (!headerList_) return ERROR_NOT_ENOUGH_MEMORY;
  curl_easy_setopt(e, CURLOPT_HTTPHEADER, headerList_);

  if (curl_multi_add_handle(multi_, easy_) != CURLM_OK) return ERROR_INTERNET_INTERNAL_ERROR;
  return 0;
}

bool Request::Drive() {
  if (finished_) return false;
  int running = 0;
  curl_multi_perform(multi_, &running);
  int left = 0;
  while (CURLMsg* m = curl_multi_info_read(multi_, &left)) {
    if (m->msg == CURLMSG_DONE) {
      finished_ = true;
      result_ = m->data.result;
    }
  }
  if (finished_ || running == 0) {
    finished_ = true;
    return false;
  }
  auto now = std::chrono::steady_clock::now();
  if (now >= deadline_) {
    timeoutError_ = ERROR_INTERNET_TIMEOUT;
    finished_ = true;
    result_ = CURLE_OPERATION_TIMEDOUT;
    return false;
  }
  if (paused_) return true;

  // Idle time-outs (the deadline above bounds them all): the connect time-out is libcurl's; once
  // the request is on its way, the send time-out applies until the body has gone out and the
  // receive time-out after that.
  curl_off_t pretransfer = 0;
  curl_easy_getinfo(easy_, CURLINFO_PRETRANSFER_TIME_T, &pretransfer);
  if (pretransfer > 0) {
    if (lastActivity_ == std::chrono::steady_clock::time_point{}) lastActivity_ = now;
    DWORD limit = uploadDone_ || body_.empty() ? effective_.receiveTimeoutMs : effective_.sendTimeoutMs;
    auto idle = std::chrono::duration_cast<std::chrono::milliseconds>(now - lastActivity_).count();
    if (idle >= static_cast<long long>(limit)) {
      timeoutError_ = ERROR_INTERNET_TIMEOUT;
      finished_ = true;
      result_ = CURLE_OPERATION_TIMEDOUT;
      return false;
    }
  }
  curl_multi_poll(multi_, nullptr, 0, 50, nullptr);
  return true;
}

DWORD Request::FinishError() {
  if (timeoutError_) return timeoutError_;
  if (result_ == CURLE_OK) return 0;
  return MapCurlError(result_, easy_);
}

DWORD Request::Send(const std::string& extraHeaders, std::string body) {
  Reset();
  body_ = std::move(body);
  if (DWORD err = Configure(extraHeaders)) return err;
  lastActivity_ = {};
  deadline_ = std::chrono::steady_clock::now() + std::chrono::milliseconds(effective_.DeadlineMs());
  while (!headersDone_ && Drive()) {
  }
  if (headersDone_) return StartDecoding();
  // A proxy that refused the tunnel answers the CONNECT with its own status: that is the answer.
  long connectCode = 0;
  curl_easy_getinfo(easy_, CURLINFO_HTTP_CONNECTCODE, &connectCode);
  if (result_ != CURLE_OK && connectCode >= 300 && !timeoutError_) {
    status_ = static_cast<DWORD>(connectCode);
    rawHeaders_ = "HTTP/1.1 " + std::to_string(connectCode) +
                  (connectCode == 407 ? " Proxy Authentication Required" : " Proxy Error") + "\r\n\r\n";
    headersDone_ = true;
    result_ = CURLE_OK;
    return 0;
  }
  DWORD err = FinishError();
  return err ? err : ERROR_HTTP_INVALID_SERVER_RESPONSE;
}

bool Request::WaitForBody() {
  while (pendingPos_ == pending_.size()) {
    if (paused_) {
      paused_ = false;
      lastActivity_ = std::chrono::steady_clock::now();
      curl_easy_pause(easy_, CURLPAUSE_CONT);
      continue;
    }
    if (!Drive()) return pendingPos_ < pending_.size();
  }
  return true;
}

DWORD Request::Read(void* buffer, DWORD size, DWORD* read) {
  *read = 0;
  if (!easy_ || !headersDone_) return ERROR_INTERNET_INCORRECT_HANDLE_STATE;
  if (size == 0) return 0;
  if (coding_ != Coding::Identity) return Decode(buffer, size, read);
  if (!WaitForBody()) return FinishError();
  size_t n = std::min<size_t>(size, pending_.size() - pendingPos_);
  std::memcpy(buffer, pending_.data() + pendingPos_, n);
  pendingPos_ += n;
  *read = static_cast<DWORD>(n);
  return 0;
}

DWORD Request::StartDecoding() {
  if (!effective_.decoding) return 0;
  std::string coding = ResponseHeader("Content-Encoding").value_or("");
  for (char& c : coding) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (coding.empty() || coding == "identity") return 0;
  if (coding == "gzip" || coding == "x-gzip") {
    coding_ = Coding::Gzip;
  } else if (coding == "deflate") {
    coding_ = Coding::Deflate;
  } else {
    return ERROR_HTTP_INVALID_SERVER_RESPONSE;  // a coding that was not offered
  }
  return 0;
}

// Inflates the coded body straight into the reader's buffer. "deflate" comes with its zlib
// wrapper or, from some servers, without: the first two bytes tell. The body must hold one
// whole stream; what follows its end is read and dropped, so the transfer still ends cleanly.
DWORD Request::Decode(void* buffer, DWORD size, DWORD* read) {
  if (decodeError_) return decodeError_;
  for (;;) {
    if (!WaitForBody()) {
      if (DWORD e = FinishError()) return e;
      if (streamEnded_ || codedIn_ == 0) return 0;  // complete, or an empty body
      return decodeError_ = ERROR_HTTP_INVALID_SERVER_RESPONSE;
    }
    if (streamEnded_) {
      pendingPos_ = pending_.size();
      continue;
    }
    const auto* in = reinterpret_cast<const unsigned char*>(pending_.data() + pendingPos_);
    const size_t available = pending_.size() - pendingPos_;
    if (!inflater_) {
      int windowBits = 15 + 16;  // gzip
      if (coding_ == Coding::Deflate) {
        bool wrapped = (in[0] & 0x0F) == Z_DEFLATED && (in[0] >> 4) <= 7 &&
                       (available < 2 || ((in[0] << 8) | in[1]) % 31 == 0);
        windowBits = wrapped ? 15 : -15;
      }
      auto* z = new z_stream{};
      if (inflateInit2(z, windowBits) != Z_OK) {
        delete z;
        return decodeError_ = ERROR_NOT_ENOUGH_MEMORY;
      }
      inflater_.reset(z);
    }
    z_stream* z = inflater_.get();
    z->next_in = const_cast<Bytef*>(in);
    z->avail_in = static_cast<uInt>(std::min<size_t>(available, 1u << 30));
    z->next_out = static_cast<Bytef*>(buffer);
    z->avail_out = size;
    const uInt offered = z->avail_in;
    int r = inflate(z, Z_NO_FLUSH);
    const size_t taken = offered - z->avail_in;
    pendingPos_ += taken;
    codedIn_ += taken;
    if (r == Z_STREAM_END) {
      streamEnded_ = true;
    } else if (r != Z_OK && r != Z_BUF_ERROR) {
      return decodeError_ = r == Z_MEM_ERROR ? ERROR_NOT_ENOUGH_MEMORY : ERROR_HTTP_INVALID_SERVER_RESPONSE;
    }
    if (DWORD produced = size - z->avail_out) {
      *read = produced;
      return 0;
    }
  }
}

DWORD MapCurlError(CURLcode code, CURL* easy) {
  switch (code) {
    case CURLE_OK: return 0;
    case CURLE_OPERATION_TIMEDOUT: return ERROR_INTERNET_TIMEOUT;
    // Requests are always http or https: refused is an answer that is no HTTP (HTTP/0.9).
    case CURLE_UNSUPPORTED_PROTOCOL: return ERROR_HTTP_INVALID_SERVER_RESPONSE;
    case CURLE_URL_MALFORMAT: return ERROR_INTERNET_INVALID_URL;
    case CURLE_COULDNT_RESOLVE_PROXY:
    case CURLE_COULDNT_RESOLVE_HOST: return ERROR_INTERNET_NAME_NOT_RESOLVED;
    case CURLE_COULDNT_CONNECT: return ERROR_INTERNET_CANNOT_CONNECT;
    case CURLE_OUT_OF_MEMORY: return ERROR_NOT_ENOUGH_MEMORY;
    case CURLE_WEIRD_SERVER_REPLY:
    case CURLE_GOT_NOTHING:
    case CURLE_BAD_CONTENT_ENCODING: return ERROR_HTTP_INVALID_SERVER_RESPONSE;
    case CURLE_PARTIAL_FILE: return ERROR_INTERNET_CONNECTION_ABORTED;
    case CURLE_SEND_ERROR:
    case CURLE_RECV_ERROR: return ERROR_INTERNET_CONNECTION_RESET;
    case CURLE_LOGIN_DENIED: return ERROR_INTERNET_INCORRECT_PASSWORD;
    case CURLE_SSL_CACERT_BADFILE: return ERROR_INTERNET_INVALID_CA;
    case CURLE_PEER_FAILED_VERIFICATION: {
      long verify = X509_V_OK;
      if (easy) curl_easy_getinfo(easy, CURLINFO_SSL_VERIFYRESULT, &verify);
      switch (verify) {
        case X509_V_ERR_CERT_HAS_EXPIRED:
        case X509_V_ERR_CERT_NOT_YET_VALID:
        case X509_V_ERR_CRL_HAS_EXPIRED:
          return ERROR_INTERNET_SEC_CERT_DATE_INVALID;
        case X509_V_OK:
        case X509_V_ERR_UNSPECIFIED:  // the chain is trusted: libcurl's own name check refused it
        case X509_V_ERR_HOSTNAME_MISMATCH:
        case X509_V_ERR_IP_ADDRESS_MISMATCH:
          return ERROR_INTERNET_SEC_CERT_CN_INVALID;
        default:
          return ERROR_INTERNET_INVALID_CA;
      }
    }
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_ENGINE_NOTFOUND:
    case CURLE_SSL_ENGINE_SETFAILED:
    case CURLE_USE_SSL_FAILED: return ERROR_INTERNET_SECURITY_CHANNEL_ERROR;
    case CURLE_ABORTED_BY_CALLBACK: return ERROR_INTERNET_TIMEOUT;
    default: return ERROR_INTERNET_INTERNAL_ERROR;
  }
}

}  // namespace platform::http
