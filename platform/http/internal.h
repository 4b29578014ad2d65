#pragma once
// Handle objects of the internet client and the libcurl exchange behind a request handle.
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include <curl/curl.h>

struct z_stream_s;

#include "platform/http/wininet.h"

namespace platform::http {

// What a handle's proxy settings say: the access type and, for a named proxy, its list text.
struct ProxyConfig {
  DWORD accessType = INTERNET_OPEN_TYPE_DIRECT;
  std::string proxy;   // "host:port", or "scheme=host:port" entries
  std::string bypass;  // names separated by ';' or blanks
};

// Options that a handle may set; a request uses the first one set on itself, its connection or
// its session.
struct OptionSet {
  std::optional<DWORD> connectTimeout, sendTimeout, receiveTimeout;
  std::optional<ProxyConfig> proxy;
  std::optional<std::string> proxyUser, proxyPassword, user, password, agent;
  std::optional<bool> decoding;
};

enum class HandleKind { Session = 1, Connection = 2, Request = 3 };

class Request;

struct Handle {
  explicit Handle(HandleKind k, std::shared_ptr<Handle> p) : kind(k), parent(std::move(p)) {}
  virtual ~Handle() = default;
  HandleKind kind;
  std::shared_ptr<Handle> parent;
  OptionSet options;
};

struct Session : Handle {
  Session();
  ~Session() override;
  CURLSH* share = nullptr;         // connection, TLS-session and name cache shared by its requests
  std::mutex shareLocks[CURL_LOCK_DATA_LAST];

  // Transfer handles of finished exchanges, kept for the next ones (a multi handle with its
  // easy handle, the easy handle reset to its defaults).
  struct Transfer {
    CURLM* multi = nullptr;
    CURL* easy = nullptr;
  };
  Transfer TakeTransfer();
  void GiveBack(Transfer t);

 private:
  std::mutex transfersMutex_;
  std::vector<Transfer> transfers_;
};

struct Connection : Handle {
  using Handle::Handle;
  std::string host;
  INTERNET_PORT port = 0;
};

// The effective settings of one request, resolved from its handle chain.
struct EffectiveOptions {
  DWORD connectTimeoutMs = 60000, sendTimeoutMs = 30000, receiveTimeoutMs = 30000;
  ProxyConfig proxy;
  std::optional<std::string> proxyUser, proxyPassword, user, password;
  std::string agent;
  bool decoding = false;
  // The whole exchange's deadline: the three idle time-outs together.
  uint64_t DeadlineMs() const { return uint64_t{connectTimeoutMs} + sendTimeoutMs + receiveTimeoutMs; }
};
EffectiveOptions Resolve(const Handle& h);

class Request : public Handle {
 public:
  Request(std::shared_ptr<Handle> connection, std::string verb, std::string path, DWORD flags);
  ~Request() override;

  // Header lines "Name: value" added by the caller; a later REPLACE drops earlier ones of the name.
  bool AddHeaders(const std::string& text, DWORD modifiers);
  // Runs the exchange until the answer's headers are in (or it failed). Returns 0 or an error code.
  DWORD Send(const std::string& extraHeaders, std::string body);
  // Copies up to `size` body bytes; `*read` = 0 at the end. Returns 0 or an error code.
  DWORD Read(void* buffer, DWORD size, DWORD* read);
  // Body written with InternetWriteFile between HttpSendRequestEx and HttpEndRequest.
  bool streaming = false;
  std::string streamedBody;

  bool HasResponse() const { return headersDone_; }
  DWORD Status() const { return status_; }
  const std::string& RawHeaders() const { return rawHeaders_; }
  // Value of the first header of that name (case-insensitive) in the answer.
  std::optional<std::string> ResponseHeader(const std::string& name) const;

 private:
  static size_t OnHeader(char* data, size_t size, size_t count, void* self);
  static size_t OnBody(char* data, size_t size, size_t count, void* self);
  static int OnProgress(void* self, curl_off_t, curl_off_t, curl_off_t ultotal, curl_off_t ulnow);
  void Reset();
  DWORD Configure(const std::string& extraHeaders);
  // One round of the transfer; false when it has ended.
  bool Drive();
  DWORD FinishError();
  // Runs the transfer until body bytes are pending; false when it ended without more.
  bool WaitForBody();
  // The coding named by the answer's Content-Encoding when decoding is on; 0 or an error.
  DWORD StartDecoding();
  DWORD Decode(void* buffer, DWORD size, DWORD* read);

  enum class Coding { Identity, Gzip, Deflate };
  struct InflaterDeleter {
    void operator()(z_stream_s* z) const;
  };

  std::string verb_, path_;
  DWORD flags_;
  std::vector<std::string> headers_;
  std::string body_;

  CURLM* multi_ = nullptr;
  CURL* easy_ = nullptr;
  curl_slist* headerList_ = nullptr;
  char errorText_[CURL_ERROR_SIZE] = {};

  std::string pending_;
  size_t pendingPos_ = 0;
  bool paused_ = false;
  std::string block_;  // header block being received
  std::string rawHeaders_;
  DWORD status_ = 0;
  bool headersDone_ = false;
  bool finished_ = false;
  CURLcode result_ = CURLE_OK;
  DWORD timeoutError_ = 0;
  bool uploadDone_ = false;
  std::chrono::steady_clock::time_point lastActivity_;
  std::chrono::steady_clock::time_point deadline_;
  Coding coding_ = Coding::Identity;
  std::unique_ptr<z_stream_s, InflaterDeleter> inflater_;  // made at the first coded byte
  uint64_t codedIn_ = 0;                                   // coded bytes taken by the inflater
  bool streamEnded_ = false;
  DWORD decodeError_ = 0;
  EffectiveOptions effective_;
};

// Adds header lines ("Name: value", CR LF separated) to a list, honouring the
// HTTP_ADDREQ_FLAG_* modifiers. False when a line is not a header.
bool AddHeaderLines(std::vector<std::string>& headers, const std::string& text, DWORD modifiers);

// The PEM file set by InternetSetTrustedCertificates ("" = the system's authorities).
std::string TrustedCertificates();

// Last-error slot of the calling thread.
void SetError(DWORD code);

// Text conversions at the API edge (wchar_t holds UTF-32 here).
std::string Narrow(LPCWSTR text);
std::string Narrow(LPCWSTR text, size_t length);
std::wstring Widen(const std::string& text);

// The internet-client error for a finished libcurl transfer.
DWORD MapCurlError(CURLcode code, CURL* easy);

}  // namespace platform::http
