#pragma once
// Loopback test servers for HTTP clients: a server with scripted answers (plain or TLS), an HTTP
// proxy that wants Basic credentials, and throw-away certificates made with the openssl command.
// Everything listens on 127.0.0.1 with a port chosen by the system.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

typedef struct ssl_ctx_st SSL_CTX;
typedef struct ssl_st SSL;

namespace testing_net {

// Certificates for one test run in a temporary folder, removed on destruction. Every server
// certificate names localhost and 127.0.0.1 unless said otherwise.
class Certificates {
 public:
  Certificates();  // throws std::runtime_error when openssl fails
  ~Certificates();
  Certificates(const Certificates&) = delete;
  Certificates& operator=(const Certificates&) = delete;

  struct Pair {
    std::string cert, key;
  };
  const std::string& CaFile() const { return ca_; }  // the authority clients should trust
  const Pair& Good() const { return good_; }         // signed by the authority
  const Pair& Expired() const { return expired_; }   // signed by it, validity ended yesterday
  const Pair& WrongName() const { return wrongName_; }  // signed by it, for another host name only
  const Pair& OtherCa() const { return otherCa_; }   // self-signed: an authority nobody trusts
  const std::string& Dir() const { return dir_; }

 private:
  std::string dir_, ca_;
  Pair good_, expired_, wrongName_, otherCa_;
};

struct HttpRequest {
  std::string method, target, version;
  std::vector<std::pair<std::string, std::string>> headers;
  std::string body;
  std::string Header(const std::string& name) const;  // case-insensitive; "" when absent
};

class Server;

// One accepted connection, handed to the server's script.
class Peer {
 public:
  Peer(Server& server, int fd, SSL* ssl);
  ~Peer();
  // Reads one request (headers, and a body by Content-Length). False at end of stream or error.
  bool ReadRequest(HttpRequest& out);
  bool Write(const std::string& bytes);
  // A whole answer with Content-Length, and "Connection: close" when `close` is set.
  bool Respond(int status, const std::string& body, const std::string& extraHeaders = "",
               const std::string& contentType = "text/xml; charset=utf-8");
  void Reset();  // closes with a TCP reset (SO_LINGER 0)
  // Blocks until the server stops: a peer that accepts and never answers.
  void Hang();
  int Fd() const { return fd_; }
  Server& Owner() { return server_; }
  // Raw reads and writes (the proxy's tunnel uses them).
  long RecvSome(char* buf, size_t n);

 private:
  Server& server_;
  int fd_;
  SSL* ssl_;
  std::string buffered_;
};

// Listens on 127.0.0.1; each connection runs the script on a thread of its own.
class Server {
 public:
  using Script = std::function<void(Peer&)>;
  // TLS when `tls` is given (certificate and key files).
  explicit Server(Script script, const Certificates::Pair* tls = nullptr);
  virtual ~Server();
  Server(const Server&) = delete;
  Server& operator=(const Server&) = delete;

  uint16_t Port() const { return port_; }
  int Accepted() const { return accepted_.load(); }
  bool Stopping() const { return stopping_.load(); }
  void WaitStopped();
  void Stop();

 private:
  void AcceptLoop();
  Script script_;
  SSL_CTX* ctx_ = nullptr;
  int listenFd_ = -1;
  uint16_t port_ = 0;
  std::atomic<int> accepted_{0};
  std::atomic<bool> stopping_{false};
  std::thread acceptor_;
  std::mutex mutex_;
  std::condition_variable stopped_;
  std::vector<std::thread> workers_;
  std::vector<int> openFds_;
  friend class Peer;
};

// An HTTP proxy on loopback: absolute-URI requests are forwarded and CONNECT opens a tunnel, both
// only to 127.0.0.1. Until a request carries Basic credentials for `user`/`password`, the answer is
// 407 with a small HTML page. With an empty user no credentials are asked.
class Proxy {
 public:
  Proxy(std::string user, std::string password);
  uint16_t Port() const { return server_.Port(); }
  int Refused() const { return refused_.load(); }     // 407 answers given
  int Forwarded() const { return forwarded_.load(); }  // requests or tunnels let through
  std::string LastAuthorization() const;

 private:
  void Handle(Peer& peer);
  std::string expected_;
  std::atomic<int> refused_{0}, forwarded_{0};
  mutable std::mutex mutex_;
  std::string lastAuthorization_;
  Server server_;
};

std::string Base64(const std::string& bytes);

// Compressed forms of a body, as a server sends them with Content-Encoding gzip or deflate
// (deflate comes with its zlib wrapper or, from some servers, raw).
enum class Encoding { Gzip, Zlib, RawDeflate };
std::string Compress(const std::string& bytes, Encoding encoding);

}  // namespace testing_net
